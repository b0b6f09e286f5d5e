// The arithmetic of the gradient-bar menus: gradient colours, the centre offset, faded lines,
// item sizes, where the bar and its caption go.
#include <gtest/gtest.h>

#include "shell/BcUtilities.h"

namespace mq {
namespace {

constexpr TColor kStart = RgbColor(122, 138, 154);
constexpr TColor kEnd = RgbColor(44, 50, 58);

TEST(BarMenuMath, CenterOffsetRoundsHalfToEven) {
  struct Case {
    int n, want;
  };
  const Case cases[] = {{4, 2}, {6, 2}, {5, 2}, {7, 3},   {8, 4},  {0, 0},
                        {1, 0}, {2, 0}, {3, 1}, {-2, -2}, {-3, -2}};
  for (const Case& c : cases) EXPECT_EQ(CenterOffset(c.n), c.want) << c.n;
}

TEST(BarMenuMath, GradientStartsWhereTheStyleSays) {
  struct Case {
    TGradientStyle style;
    int startX, startY;  // where the start colour lies in a 10 x 20 rectangle
    int farX, farY;      // a pixel far from it that must differ
  };
  const Case cases[] = {
      {gsHorizontal, 0, 7, 9, 7},
      {gsVertical, 4, 0, 4, 19},
      {gsDiagonalLeftRight, 0, 0, 9, 19},
      {gsDiagonalRightLeft, 9, 0, 0, 19},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GradientColorAt(c.style, kStart, kEnd, c.startX, c.startY, 10, 20), kStart) << c.style;
    EXPECT_NE(GradientColorAt(c.style, kStart, kEnd, c.farX, c.farY, 10, 20), kStart) << c.style;
  }
}

TEST(BarMenuMath, GradientStepsTruncateTowardTheStart) {
  struct Case {
    TGradientStyle style;
    int dx, dy, w, h;
    TColor want;
  };
  // Horizontal, 18 wide: column 9 is start + D * 9 / 18 (D = -78, -88, -96 per channel).
  const Case cases[] = {
      {gsHorizontal, 9, 0, 18, 5, RgbColor(122 - 39, 138 - 44, 154 - 48)},
      {gsHorizontal, 1, 3, 18, 5, RgbColor(122 - 4, 138 - 4, 154 - 5)},    // -78/18 = -4.33 -> -4
      {gsVertical, 0, 1, 7, 14, RgbColor(122 - 5, 138 - 6, 154 - 6)},      // -78/14 = -5.57 -> -5
      {gsVertical, 3, 13, 7, 14, RgbColor(122 - 72, 138 - 81, 154 - 89)},  // -78*13/14 = -72.4
      {gsDiagonalLeftRight, 5, 10, 10, 20, RgbColor(122 - 39, 138 - 44, 154 - 48)},  // t = 512
  };
  for (const Case& c : cases)
    EXPECT_EQ(GradientColorAt(c.style, kStart, kEnd, c.dx, c.dy, c.w, c.h), c.want)
        << c.style << " at " << c.dx << "," << c.dy;
}

TEST(BarMenuMath, RightLeftDiagonalMirrorsLeftRight) {
  const int w = 13, h = 9;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      ASSERT_EQ(GradientColorAt(gsDiagonalRightLeft, kStart, kEnd, x, y, w, h),
                GradientColorAt(gsDiagonalLeftRight, kStart, kEnd, w - 1 - x, y, w, h))
          << x << "," << y;
}

TEST(BarMenuMath, EqualColoursGiveOneColourEverywhere) {
  for (TGradientStyle s : {gsHorizontal, gsVertical, gsDiagonalLeftRight, gsDiagonalRightLeft})
    for (int x : {0, 5, 9})
      EXPECT_EQ(GradientColorAt(s, clSilver, clSilver, x, x, 10, 10), clSilver) << s;
}

TEST(BarMenuMath, FadedLineShorterThanTwoFadeWidthsNeverReachesTheColour) {
  struct Case {
    int left, right, fade;
    bool reachesColour;
  };
  const Case cases[] = {{0, 100, 72, false}, {20, 162, 72, false}, {0, 142, 72, false},
                        {0, 143, 72, true},  {0, 144, 72, true},   {0, 300, 72, true},
                        {0, 40, 10, true}};
  const TColor background = clWhite, line = RgbColor(128, 128, 128);
  for (const Case& c : cases) {
    const TFadedRuns runs = FadedLineRuns(c.left, c.right, 5, false, 0, 0, 0);
    bool reached = false;
    for (int x = runs.leftFrom; x <= runs.leftTo; ++x)
      reached |= FadedPixel(background, line, x, c.left, c.right, c.fade, true) == line;
    for (int x = runs.rightFrom; x <= runs.rightTo; ++x)
      reached |= FadedPixel(background, line, x, c.left, c.right, c.fade, false) == line;
    EXPECT_EQ(reached, c.reachesColour) << c.left << ".." << c.right;
  }
}

TEST(BarMenuMath, FadedLineBlendsFromWhatIsThere) {
  // Ends keep the background; the blend truncates toward the old value.
  EXPECT_EQ(FadedPixel(clWhite, clBlack, 0, 0, 200, 72, true), clWhite);
  EXPECT_EQ(FadedPixel(clWhite, clBlack, 200, 0, 200, 72, false), clWhite);
  EXPECT_EQ(FadeChannel(255, 128, 36, 72), 255 - 63);  // -127 * 36 / 72 = -63.5 -> -63
  EXPECT_EQ(FadeChannel(0, 100, 71, 72), 98);
}

TEST(BarMenuMath, FadedLineRunsLeaveTheTextGap) {
  struct Case {
    bool gap;
    int gl, gr, gt;
    TFadedRuns want;
  };
  const Case cases[] = {
      {false, 0, 0, 0, {4, 10, 60, 60, 110}},
      {true, 40, 80, 2, {4, 10, 39, 80, 110}},
      {true, 70, 90, 9, {9, 10, 59, 90, 110}},  // gap right of the middle: the left run stops at it
  };
  for (const Case& c : cases) {
    const TFadedRuns r = FadedLineRuns(10, 110, 4, c.gap, c.gl, c.gr, c.gt);
    EXPECT_EQ(r.row, c.want.row);
    EXPECT_EQ(r.leftTo, c.want.leftTo);
    EXPECT_EQ(r.rightFrom, c.want.rightFrom);
    EXPECT_EQ(r.leftFrom, 10);
    EXPECT_EQ(r.rightTo, 110);
  }
}

TEST(BarMenuMath, SeparatorHeights) {
  struct Case {
    bool enabled;
    const char* hint;
    bool xp;
    int want;
  };
  const Case cases[] = {{true, "", true, 9},       {true, "", false, 12},
                        {true, "Feeds", true, 14}, {true, "Feeds", false, 14},
                        {false, "Feeds", true, 9}, {false, "Feeds", false, 12}};
  for (const Case& c : cases) {
    const bool hasHint = c.enabled && c.hint[0] != '\0';
    EXPECT_EQ(SeparatorHeight(hasHint, c.xp), c.want) << c.hint << " " << c.enabled << " " << c.xp;
  }
}

TEST(BarMenuMath, ItemMeasure) {
  struct Case {
    TBcItemMeasure in;
    int width, height;
  };
  auto m = [](int w, int h, bool sys, int tw, int th, bool win, bool noGlyph, bool xp) {
    TBcItemMeasure x;
    x.width = w, x.height = h, x.useSystemFont = sys, x.textWidth = tw, x.textHeight = th;
    x.winKey = win, x.winPlusWidth = 25, x.noGlyph = noGlyph, x.xpStyle = xp;
    return x;
  };
  const Case cases[] = {
      {m(60, 17, true, 0, 0, false, true, true), 60 + 23 + 2, 18},         // odd height rounds up in XP
      {m(60, 17, true, 0, 0, false, true, false), 60 + 23, 17},            // standard keeps it
      {m(60, 16, true, 0, 0, false, false, true), 62, 16},                 // a glyph: no 23
      {m(60, 16, true, 0, 0, true, true, true), 60 + 25 + 23 + 2, 16},     // "Win+" widens
      {m(60, 16, false, 40, 13, false, true, false), 40 + 18 + 23, 19},    // own font: text + 6
      {m(60, 16, false, 40, 8, false, true, true), 40 + 18 + 23 + 2, 16},  // at least 16
  };
  for (const Case& c : cases) {
    TBcItemMeasure x = c.in;
    MeasureBarMenuItem(x);
    EXPECT_EQ(x.width, c.width);
    EXPECT_EQ(x.height, c.height);
  }
}

TEST(BarMenuMath, BarPlacement) {
  // Only items directly in the menu and before any column break get the bar.
  EXPECT_TRUE(BarHere(true, true, false));
  EXPECT_FALSE(BarHere(true, false, false));  // a submenu's item
  EXPECT_FALSE(BarHere(true, true, true));    // at or after a column break
  EXPECT_FALSE(BarHere(false, true, false));  // the bar is off
  EXPECT_EQ(WidthWithBar(100, true, 26, 1), 127);
  EXPECT_EQ(WidthWithBar(100, false, 26, 1), 100);

  struct Case {
    bool here;
    TSide side;
    BcRect want;
  };
  const BcRect item{0, 20, 150, 38};
  const Case cases[] = {
      {true, sLeft, {27, 20, 150, 38}}, {true, sRight, {0, 20, 123, 38}}, {false, sRight, item}};
  for (const Case& c : cases)
    EXPECT_EQ(ItemRectBesideBar(item, c.here, 26, 1, c.side), c.want) << c.side;
  EXPECT_EQ(BarColumnLeft(150, 26, sRight), 124);
  EXPECT_EQ(BarColumnLeft(150, 26, sLeft), 0);
}

TEST(BarMenuMath, CaptionOrigin) {
  struct Case {
    TVertAlignment align;
    TDirection dir;
    int pictureHeight;
    TBcPoint want;
  };
  // A bar 26 x 200, caption 80 along and 13 across, offset 6.
  const Case cases[] = {
      {vaBottom, dDownToUp, 0, {6, 194}},   // starts 6 above the bottom, reads upward
      {vaBottom, dDownToUp, 32, {6, 162}},  // above a bottom picture
      {vaTop, dDownToUp, 0, {6, 86}},
      {vaMiddle, dDownToUp, 0, {6, 140}},  // centre offset of 280 = 140
      {vaBottom, dUpToDown, 0, {6 + 14, 114}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(BarCaptionOrigin(26, 200, 80, 13, c.align, c.dir, 6, c.pictureHeight), c.want);
}

TEST(BarMenuMath, PicturePlacementAndTiling) {
  EXPECT_EQ(BarPicturePosition(16, 32, 26, 200, 0, 0, haCenter, vaBottom), (TBcPoint{5, 168}));
  EXPECT_EQ(BarPicturePosition(16, 32, 26, 200, 2, 3, haRight, vaTop), (TBcPoint{12, 3}));
  EXPECT_EQ(BarPicturePosition(16, 32, 26, 200, 0, 0, haLeft, vaMiddle), (TBcPoint{0, 84}));
  EXPECT_EQ(TileStart(0, 0, 16), 0);
  EXPECT_EQ(TileStart(5, 0, 16), -11);
  EXPECT_EQ(TileStart(0, 168, 32), -24);
}

TEST(BarMenuMath, StyleAndHeightFallback) {
  EXPECT_EQ(EffectiveMenuStyle(msAuto, true, 5, 1), msWindowsXP);
  EXPECT_EQ(EffectiveMenuStyle(msAuto, true, 6, 1), msWindowsXP);
  EXPECT_EQ(EffectiveMenuStyle(msAuto, true, 5, 0), msStandard);
  EXPECT_EQ(EffectiveMenuStyle(msAuto, true, 10, 0), msStandard);
  EXPECT_EQ(EffectiveMenuStyle(msAuto, false, 4, 90), msStandard);
  EXPECT_EQ(EffectiveMenuStyle(msStandard, true, 5, 1), msStandard);
  // A showing without a height of its own keeps the last good one; never 0 after one was.
  EXPECT_EQ(UsableBarHeight(0, 180), 180);
  EXPECT_EQ(UsableBarHeight(-4, 180), 180);
  EXPECT_EQ(UsableBarHeight(200, 180), 200);
  EXPECT_EQ(UsableBarHeight(0, 0), 0);
}

}  // namespace
}  // namespace mq
