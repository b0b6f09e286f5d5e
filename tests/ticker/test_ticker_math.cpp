// The ticker's arithmetic: colour steps, stencil choice, text placement, the scroll step in
// both directions and the tile grid.
#include "ticker/TickerMath.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using mq::TColor;

struct StepCase {
  TColor a, b;
  int k, n;
  TColor expected;
};

TEST(ColorStep, ChannelsMoveLinearlyAndRoundToNearest) {
  const StepCase cases[] = {
      {0x000000, 0xFFFFFF, 1, 15, 0x000000},   // step 1 is the start colour
      {0x000000, 0xFFFFFF, 15, 15, 0xFFFFFF},  // step n is the end colour
      {0x000000, 0xFFFFFF, 2, 15, 0x121212},   // 255 / 14 = 18.21 -> 18
      {0x000000, 0xFFFFFF, 8, 15, 0x808080},   // 7 * 255 / 14 = 127.5 -> 128 (half away from zero)
      {0xFFFFFF, 0x000000, 8, 15, 0x7F7F7F},   // 255 - 127.5 -> 127 (away from zero, downwards)
      {0x003C3028, 0x00E6F5FF, 2, 15,
       0x00483E37},  // red 0x28 + 215/14 = 55.36; green 0x30 + 197/14; blue 0x3C + 170/14
      {0x00E6F5FF, 0x003C3028, 14, 15, 0x00483E37},
      {0x00102030, 0x00102030, 5, 9, 0x00102030},
      {0x00000010, 0x00000020, 2, 3, 0x00000018},
      {0x00123456, 0x00ABCDEF, 1, 1, 0x00123456},  // one step: the start colour
  };
  for (const StepCase& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << std::hex << c.a << " -> " << c.b << " step " << std::dec << c.k << "/" << c.n);
    EXPECT_EQ(mq::ColorStep(c.a, c.b, c.k, c.n), c.expected);
  }
}

TEST(ColorStep, IndexOutsideOneToNIsARangeError) {
  for (auto [k, n] : std::vector<std::pair<int, int>>{{0, 15}, {16, 15}, {-3, 4}, {2, 1}, {1, 0}}) {
    SCOPED_TRACE(::testing::Message() << k << "/" << n);
    try {
      mq::ColorStep(0, 0xFFFFFF, k, n);
      ADD_FAILURE() << "no error";
    } catch (const mq::ERangeError& e) {
      EXPECT_EQ(std::string(e.what()),
                "ColorIndex can't be less than 1 or greater than " + std::to_string(n));
    }
  }
}

TEST(StencilColor, SwitchesWhenTheFontOrTheBackgroundIsTheStencil) {
  struct Case {
    TColor font, background, expected;
  } cases[] = {
      {mq::clWindowText, mq::clBtnFace, 0x003C3028}, {0x00E6F5FF, 0x00000000, 0x003C3028},
      {0x003C3028, 0x00FFFFFF, 0x00E6F5FF},          {0x00FFFFFF, 0x003C3028, 0x00E6F5FF},
      {0x00E6F5FF, 0x003C3028, 0x00E6F5FF},  // the main window's colours
      {0x003C3029, 0x003C3027, 0x003C3028},  // near is not equal
      {0xFF3C3028, 0x00000000, 0x003C3028},  // raw values: a system colour never matches
  };
  for (const Case& c : cases)
    EXPECT_EQ(mq::StencilColorFor(c.font, c.background), c.expected)
        << std::hex << c.font << " on " << c.background;
}

TEST(TextTop, PlacesTheTextByLayout) {
  using mq::TTextLayout;
  EXPECT_EQ(mq::TextTop(TTextLayout::tlTop, 13, 11), 0);
  EXPECT_EQ(mq::TextTop(TTextLayout::tlBottom, 13, 11), 2);
  EXPECT_EQ(mq::TextTop(TTextLayout::tlBottom, 13, 16), -3);
  EXPECT_EQ(mq::TextTop(TTextLayout::tlCenter, 13, 11), 1);   // 6 - 5
  EXPECT_EQ(mq::TextTop(TTextLayout::tlCenter, 24, 13), 6);   // 12 - 6
  EXPECT_EQ(mq::TextTop(TTextLayout::tlCenter, 13, 16), -2);  // 6 - 8
  EXPECT_EQ(mq::TextTop(TTextLayout::tlCenter, 3, 7), -2);    // 1 - 3
}

// Runs steps until a pass completes; returns the offsets seen (the last one after the reset).
std::vector<int> Pass(int start, mq::TTextDirection d, int jump, int width, int strip, int& steps) {
  std::vector<int> seen;
  int offset = start;
  for (steps = 1; steps < 100000; ++steps) {
    mq::ScrollStep s = mq::StepOffset(offset, d, jump, width, strip);
    offset = s.offset;
    seen.push_back(offset);
    if (s.passCompleted) break;
  }
  return seen;
}

TEST(ScrollStep, RightToLeftRunsFromZeroToMinusTextAndWidthThenResets) {
  // Control 50 wide, text 30 wide: strip 130, the pass ends at offset 50 - 130 = -80.
  int steps = 0;
  std::vector<int> seen = Pass(0, mq::TTextDirection::tdRightToLeft, 1, 50, 130, steps);
  EXPECT_EQ(steps, 80);
  EXPECT_EQ(seen.front(), -1);
  EXPECT_EQ(seen[78], -79);
  EXPECT_EQ(seen.back(), 0);  // the step that reached -80 reset it
  // A jump that overshoots the end still ends the pass on the step that passes it.
  seen = Pass(0, mq::TTextDirection::tdRightToLeft, 7, 50, 130, steps);
  EXPECT_EQ(steps, 12);  // -77 after 11 steps, -84 <= -80 at the 12th
  EXPECT_EQ(seen[10], -77);
  EXPECT_EQ(seen.back(), 0);
}

TEST(ScrollStep, LeftToRightRunsUpToZeroThenResetsToTheStart) {
  const int start = mq::StartOffset(mq::TTextDirection::tdLeftToRight, 50, 130);
  EXPECT_EQ(start, -80);
  int steps = 0;
  std::vector<int> seen = Pass(start, mq::TTextDirection::tdLeftToRight, 1, 50, 130, steps);
  EXPECT_EQ(steps, 80);
  EXPECT_EQ(seen[78], -1);
  EXPECT_EQ(seen.back(), -80);
  // The constructor's offset (minus the width) is an ordinary point of the pass.
  seen = Pass(-50, mq::TTextDirection::tdLeftToRight, 5, 50, 130, steps);
  EXPECT_EQ(steps, 10);
}

TEST(ScrollStep, ZeroJumpNeverCompletesAPass) {
  for (auto d : {mq::TTextDirection::tdLeftToRight, mq::TTextDirection::tdRightToLeft}) {
    mq::ScrollStep s = mq::StepOffset(-20, d, 0, 50, 130);
    EXPECT_EQ(s.offset, -20);
    EXPECT_FALSE(s.passCompleted);
  }
}

TEST(ScrollStep, AnOffsetAlreadyPastTheEndCompletesAtTheNextStep) {
  // A shorter text replaced mid-pass: strip 70, end -20, offset already at -300.
  mq::ScrollStep s = mq::StepOffset(-300, mq::TTextDirection::tdRightToLeft, 1, 50, 70);
  EXPECT_TRUE(s.passCompleted);
  EXPECT_EQ(s.offset, 0);
}

TEST(TileCount, CountsCutColumnsAndRows) {
  struct Case {
    int W, H, w, h, columns, rows;
  } cases[] = {
      {592, 24, 3, 25, 198, 1},  // the bar: last column 1 pixel wide, one row cut to 24 lines
      {591, 25, 3, 25, 197, 1}, {100, 100, 10, 10, 10, 10}, {101, 99, 10, 10, 11, 10},
      {1, 1, 3, 25, 1, 1},      {0, 24, 3, 25, 0, 0},       {10, 10, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    mq::TileGrid g = mq::TileCount(c.W, c.H, c.w, c.h);
    EXPECT_EQ(g.columns, c.columns) << c.W << "x" << c.H;
    EXPECT_EQ(g.rows, c.rows) << c.W << "x" << c.H;
  }
}

}  // namespace
