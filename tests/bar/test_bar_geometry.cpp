// The bar's geometry and its settings block, as pure functions.
#include "bar/AppBarGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "tests/bar/BarTestScreen.h"

namespace mq::bar {
namespace {

std::int32_t Int32At(const unsigned char* b, int offset) {
  return static_cast<std::int32_t>(b[offset] | b[offset + 1] << 8 | b[offset + 2] << 16 |
                                   static_cast<std::uint32_t>(b[offset + 3]) << 24);
}

TEST(BarSettings, DefaultBlockHasTheStoredLayoutByteForByte) {
  // 1025 x 769 checks the halving truncates.
  const TAppBarSettings s = DefaultBarSettings(1025, 769);
  unsigned char b[84];
  std::memcpy(b, &s, sizeof b);
  struct Int {
    int offset;
    std::int32_t value;
  };
  const Int ints[] = {{0, 84},    {12, 200}, {16, 1}, {20, 1}, {24, 32},  {28, 32},
                      {32, 0},    {36, 0},   {40, 0}, {44, 0}, {48, 0},   {52, 0},
                      {56, 1025}, {60, 769}, {64, 0}, {68, 0}, {72, 512}, {76, 384}};
  for (const Int& i : ints) EXPECT_EQ(Int32At(b, i.offset), i.value) << "offset " << i.offset;
  EXPECT_EQ(b[4], abeFloat);
  EXPECT_EQ(b[5], 31);  // every flag
  EXPECT_EQ(b[6], 0);   // AutoHide
  EXPECT_EQ(b[7], 1);   // AlwaysOnTop
  EXPECT_EQ(b[8], 1);   // SlideEffect
  EXPECT_EQ(b[80], abtFloatDependent);
  for (int zero : {9, 10, 11, 81, 82, 83}) EXPECT_EQ(b[zero], 0) << "offset " << zero;
}

TEST(BarFlags, SetBitsFollowTheFlagNumbers) {
  const TAppBarFlags topBottom{abfAllowTop, abfAllowBottom};
  EXPECT_EQ(topBottom.Byte(), 0x0A);
  EXPECT_TRUE(topBottom.AllowsEdge(abeTop));
  EXPECT_FALSE(topBottom.AllowsEdge(abeLeft));
  EXPECT_FALSE(topBottom.AllowsEdge(abeFloat));
  EXPECT_FALSE(TAppBarFlags{abfAllowFloat}.AllowsAnyEdge());
  EXPECT_EQ(TAppBarFlags::All().Byte(), 31);
}

struct EdgeCase {
  const char* what;
  TAppBarFlags flags;
  BarPoint p;
  TAppBarEdge stored;
  TAppBarEdge expected;
};

TEST(BarEdgeFromPoint, NearestAllowedEdgeOrFloatOrStoredEdge) {
  const TAppBarFlags edges{abfAllowLeft, abfAllowTop, abfAllowRight, abfAllowBottom};
  const TAppBarFlags topBottom{abfAllowTop, abfAllowBottom};
  const TAppBarFlags topBottomFloat{abfAllowTop, abfAllowBottom, abfAllowFloat};
  const EdgeCase cases[] = {
      // The centre is (512, 384); 1024 x 768 makes the diagonals run at dx:dy = 4:3.
      {"left side", edges, {5, 384}, abeTop, abeLeft},
      {"right side", edges, {1020, 384}, abeTop, abeRight},
      {"top side", edges, {512, 3}, abeLeft, abeTop},
      {"bottom side", edges, {512, 760}, abeLeft, abeBottom},
      {"diagonal up-left ties to left", edges, {0, 0}, abeTop, abeLeft},
      {"diagonal 4:3 ties to right", edges, {516, 387}, abeTop, abeRight},
      {"diagonal -4:-3 ties to left", edges, {508, 381}, abeTop, abeLeft},
      {"just below the diagonal", edges, {516, 388}, abeTop, abeBottom},
      {"just above the diagonal", edges, {508, 380}, abeBottom, abeTop},
      {"diagonal to the lower right corner", edges, {1024, 768}, abeTop, abeRight},
      // Only top and bottom: nearer the sides keeps the stored edge.
      {"top/bottom, near the left keeps top", topBottom, {5, 384}, abeTop, abeTop},
      {"top/bottom, near the right keeps bottom", topBottom, {1020, 300}, abeBottom, abeBottom},
      {"top/bottom, lower half", topBottom, {512, 700}, abeTop, abeBottom},
      {"top/bottom, upper half", topBottom, {400, 90}, abeBottom, abeTop},
      {"top/bottom, centre of the screen", topBottom, {512, 384}, abeBottom, abeBottom},
      // Floating allowed: the inside of the work area (less a scroll bar on each side) floats.
      {"float, middle", TAppBarFlags::All(), {512, 384}, abeTop, abeFloat},
      {"float, inside the margin", TAppBarFlags::All(), {16, 384}, abeTop, abeFloat},
      {"float, in the left margin", TAppBarFlags::All(), {15, 384}, abeTop, abeLeft},
      {"float, in the bottom margin", TAppBarFlags::All(), {512, 724}, abeTop, abeBottom},
      {"float, below the work area", TAppBarFlags::All(), {512, 750}, abeTop, abeBottom},
      {"float, nearest edge not allowed", topBottomFloat, {3, 384}, abeTop, abeFloat},
      {"float, nearest edge allowed", topBottomFloat, {512, 2}, abeBottom, abeTop},
      {"float only, even at an edge", TAppBarFlags{abfAllowFloat}, {0, 384}, abeTop, abeFloat},
      {"nothing allowed keeps the stored edge", TAppBarFlags{}, {0, 384}, abeRight, abeRight},
  };
  const BarMetrics m = Screen1024();
  for (const EdgeCase& c : cases) {
    EXPECT_EQ(EdgeFromPoint(c.flags, c.p, c.stored, m), c.expected) << c.what;
  }
}

TEST(BarEdgeFromPoint, CtrlFloatsOnlyWhenFloatingIsAllowed) {
  const BarMetrics m = Screen1024();
  const TAppBarFlags topBottom{abfAllowTop, abfAllowBottom};
  EXPECT_EQ(ProposedEdge(true, TAppBarFlags::All(), {512, 2}, abeTop, m), abeFloat);
  EXPECT_EQ(ProposedEdge(false, TAppBarFlags::All(), {512, 2}, abeTop, m), abeTop);
  EXPECT_EQ(ProposedEdge(true, topBottom, {512, 700}, abeTop, m), abeBottom);
}

TEST(BarDockStrip, KeepsTheStripAlongTheEdgeOfTheFreeSpace) {
  const BarRect free{0, 24, 1024, 740};
  struct Case {
    TAppBarEdge edge;
    BarRect expected;
  };
  const Case cases[] = {
      {abeLeft, {0, 24, 40, 740}},      {abeTop, {0, 24, 1024, 56}}, {abeRight, {984, 24, 1024, 740}},
      {abeBottom, {0, 708, 1024, 740}}, {abeUnknown, free},          {abeFloat, free},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DockStrip(c.edge, free, 40, 32), c.expected) << "edge " << int(c.edge);
  }
}

// The part of `r` that lies on the screen.
BarRect OnScreen(const BarRect& r, const BarMetrics& m) {
  return {std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, m.screenWidth),
          std::min(r.bottom, m.screenHeight)};
}

TEST(BarAutoHide, HiddenBarLeavesTwoBordersOnScreenAndShownBarSitsAtTheEdge) {
  const BarMetrics m = Screen1024();  // cxBorder 1, cyBorder 2
  struct Case {
    TAppBarEdge edge;
    BarRect docked;
    BarRect shown;
    BarRect hidden;
  };
  const Case cases[] = {
      {abeLeft, {0, 0, 40, 768}, {0, 0, 40, 768}, {-38, 0, 2, 768}},
      {abeTop, {0, 0, 1024, 32}, {0, 0, 1024, 32}, {0, -28, 1024, 4}},
      {abeRight, {984, 0, 1024, 768}, {984, 0, 1024, 768}, {1022, 0, 1062, 768}},
      {abeBottom, {0, 736, 1024, 768}, {0, 736, 1024, 768}, {0, 764, 1024, 796}},
  };
  for (const Case& c : cases) {
    BarRect r = c.docked;
    // Start from the other state so that the move is visible.
    ASSERT_TRUE(PlaceAutoHide(c.edge, true, false, r, m));
    EXPECT_EQ(r, c.hidden) << "edge " << int(c.edge);
    const BarRect visible = OnScreen(r, m);
    if (c.edge == abeLeft || c.edge == abeRight) {
      EXPECT_EQ(visible.Width(), 2 * m.cxBorder);
    } else {
      EXPECT_EQ(visible.Height(), 2 * m.cyBorder);
    }
    ASSERT_TRUE(PlaceAutoHide(c.edge, true, true, r, m));
    EXPECT_EQ(r, c.shown) << "edge " << int(c.edge);
  }
}

TEST(BarAutoHide, NoPlacementForBarsThatDoNotAutoHide) {
  const BarMetrics m = Screen1024();
  const BarRect start{10, 20, 110, 52};
  for (auto [edge, autoHide] :
       {std::pair{abeTop, false}, std::pair{abeFloat, true}, std::pair{abeUnknown, true}}) {
    BarRect r = start;
    EXPECT_FALSE(PlaceAutoHide(edge, autoHide, false, r, m));
    EXPECT_EQ(r, start);
  }
}

TEST(BarSlide, FramesMoveLinearlyAndTruncateTowardZero) {
  const BarRect from{-30, 0, 994, 32};
  const BarRect to{0, 736, 1024, 768};
  EXPECT_EQ(SlideFrame(from, to, 0, 200), from);
  // left: -30 - (-30 * 1 / 200) = -30 - 0 (toward zero; flooring would give -29);
  // top: 0 - (-736 * 1 / 200) = 3.
  EXPECT_EQ(SlideFrame(from, to, 1, 200), (BarRect{-30, 3, 994, 35}));
  EXPECT_EQ(SlideFrame(from, to, 100, 200), (BarRect{-15, 368, 1009, 400}));
  EXPECT_EQ(SlideFrame(from, to, 199, 200), (BarRect{-1, 732, 1023, 764}));
  // Size changes too: 100 x 50 growing to 300 x 250.
  EXPECT_EQ(SlideFrame({0, 0, 100, 50}, {0, 0, 300, 250}, 50, 200), (BarRect{0, 0, 150, 100}));
}

TEST(BarDrag, LeavingTheEdgesCentresTheFloatRectangleOnTheCursor) {
  EXPECT_EQ(FloatRectAtCursor({500, 300}, {10, 10, 211, 60}), (BarRect{400, 300, 601, 350}));
}

TEST(BarDrag, UndockingTakesTheWindowSizeUnlessItFillsTheWorkArea) {
  const BarRect work{0, 0, 1024, 740};
  const BarRect oldFloat{100, 100, 400, 150};
  EXPECT_EQ(UndockedFloatRect({20, 30, 220, 62}, oldFloat, work), (BarRect{20, 30, 220, 62}));
  // As wide as the work area: the previous float size.
  EXPECT_EQ(UndockedFloatRect({0, 30, 1024, 62}, oldFloat, work), (BarRect{0, 30, 300, 80}));
  // As high as the work area.
  EXPECT_EQ(UndockedFloatRect({5, 0, 45, 740}, oldFloat, work), (BarRect{5, 0, 305, 50}));
  EXPECT_EQ(UndockedFloatRect({5, 0, 45, 739}, oldFloat, work), (BarRect{5, 0, 45, 739}));
}

TEST(BarSnap, SizesSnapToTheNearestStepAboveTheMinimum) {
  struct Case {
    const char* what;
    int side;
    BarRect r;
    std::int32_t minW, minH, horzInc, vertInc;
    BarRect expected;
  };
  const Case cases[] = {
      {"34 snaps down to 30", kSizeRight, {100, 0, 134, 20}, 0, 0, 10, 0, {100, 0, 130, 20}},
      {"35 snaps up to 40", kSizeRight, {100, 0, 135, 20}, 0, 0, 10, 0, {100, 0, 140, 20}},
      {"left side moves left", kSizeLeft, {100, 0, 134, 20}, 0, 0, 10, 0, {104, 0, 134, 20}},
      {"steps count from the minimum", kSizeRight, {0, 0, 34, 20}, 5, 0, 10, 0, {0, 0, 35, 20}},
      {"height, bottom side", kSizeBottom, {0, 0, 50, 27}, 0, 0, 0, 5, {0, 0, 50, 25}},
      {"height, top side", kSizeTop, {0, 10, 50, 38}, 0, 0, 0, 5, {0, 8, 50, 38}},
      {"corner applies both", kSizeBottomRight, {0, 0, 34, 27}, 0, 0, 10, 5, {0, 0, 30, 25}},
      {"top-left corner", kSizeTopLeft, {0, 0, 35, 28}, 0, 0, 10, 5, {-5, -2, 35, 28}},
      {"top-right corner", kSizeTopRight, {0, 0, 35, 28}, 0, 0, 10, 5, {0, -2, 40, 28}},
      {"bottom-left corner", kSizeBottomLeft, {0, 0, 35, 28}, 0, 0, 10, 5, {-5, 0, 35, 30}},
      {"increment 0 keeps the size", kSizeBottomRight, {0, 0, 34, 27}, 0, 0, 0, 0, {0, 0, 34, 27}},
  };
  for (const Case& c : cases) {
    BarRect r = c.r;
    SnapSize(c.side, r, c.minW, c.minH, c.horzInc, c.vertInc);
    EXPECT_EQ(r, c.expected) << c.what;
  }
}

TEST(BarSizeLimits, FloatingUsesItsOwnLimitsAndDockedEdgesCapTheirDepth) {
  TAppBarSettings s = DefaultBarSettings(1024, 768);
  s.nMinWidth = 50;
  s.nMinHeight = 20;
  s.nMaxWidth = 600;
  s.nMaxHeight = 300;
  s.nMinVertDockSize = 10;
  s.nMinHorzDockSize = 12;
  s.nMaxVertDockSize = 200;
  s.nMaxHorzDockSize = 100;
  const BarMetrics m = Screen1024();
  struct Case {
    TAppBarEdge edge;
    BarSizeLimits expected;
  };
  const Case cases[] = {
      {abeFloat, {{50, 20}, {600, 300}}},   {abeLeft, {{10, 12}, {200, 768}}},
      {abeRight, {{10, 12}, {200, 768}}},   {abeTop, {{10, 12}, {1024, 100}}},
      {abeBottom, {{10, 12}, {1024, 100}}}, {abeUnknown, {{10, 12}, {200, 100}}},
  };
  for (const Case& c : cases) {
    const BarSizeLimits l = SizeLimits(c.edge, s, m);
    EXPECT_EQ(l.minTrack, c.expected.minTrack) << "edge " << int(c.edge);
    EXPECT_EQ(l.maxTrack, c.expected.maxTrack) << "edge " << int(c.edge);
  }
}

TEST(BarHitTest, DockedBarResizesOnlyOnTheSideFacingTheMiddle) {
  // Client area of a bar docked at the top, in screen coordinates.
  const BarRect client{2, 2, 1022, 30};
  const int borders[] = {kHtLeft,     kHtRight,  kHtTop,        kHtTopLeft,
                         kHtTopRight, kHtBottom, kHtBottomLeft, kHtBottomRight};
  // Both increments 0: every border hit on every edge is a plain border.
  for (TAppBarEdge edge : {abeLeft, abeTop, abeRight, abeBottom}) {
    for (int hit : borders) {
      for (BarPoint p : {BarPoint{0, 0}, BarPoint{1023, 31}, BarPoint{500, 31}, BarPoint{0, 10}}) {
        EXPECT_EQ(MapHitTest(hit, edge, 0, 0, p, client, false, false), kHtBorder)
            << "edge " << int(edge) << " hit " << hit;
      }
    }
  }
  struct Case {
    const char* what;
    TAppBarEdge edge;
    std::int32_t horzInc, vertInc;
    int hit;
    BarPoint p;
    int expected;
  };
  const Case cases[] = {
      {"top, below the client", abeTop, 1, 1, kHtBottom, {500, 30}, kHtBottom},
      {"top, bottom corner below the client", abeTop, 1, 1, kHtBottomLeft, {0, 31}, kHtBottom},
      {"top, above the client", abeTop, 1, 1, kHtTop, {500, 0}, kHtBorder},
      {"top, no height steps", abeTop, 1, 0, kHtBottom, {500, 31}, kHtBorder},
      {"bottom, above the client", abeBottom, 1, 1, kHtTop, {500, 1}, kHtTop},
      {"bottom, below the client", abeBottom, 1, 1, kHtBottom, {500, 31}, kHtBorder},
      {"left, right of the client", abeLeft, 1, 1, kHtRight, {1022, 10}, kHtRight},
      {"left, no width steps", abeLeft, 0, 1, kHtRight, {1023, 10}, kHtBorder},
      {"right, left of the client", abeRight, 1, 1, kHtLeft, {1, 10}, kHtLeft},
      {"right, right of the client", abeRight, 1, 1, kHtRight, {1023, 10}, kHtBorder},
      {"client stays client", abeTop, 0, 0, kHtClient, {500, 10}, kHtClient},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MapHitTest(c.hit, c.edge, c.horzInc, c.vertInc, c.p, client, false, false), c.expected)
        << c.what;
  }
}

TEST(BarHitTest, FloatingBarBordersFollowTheIncrements) {
  const BarRect client{10, 30, 210, 80};
  struct Case {
    std::int32_t horzInc, vertInc;
    int hit;
    int expected;
  };
  const Case cases[] = {
      {0, 0, kHtLeft, kHtBorder},     {0, 0, kHtBottom, kHtBorder},
      {0, 0, kHtTopLeft, kHtBorder},  {0, 0, kHtBottomRight, kHtBorder},
      {0, 1, kHtLeft, kHtBorder},     {0, 1, kHtTop, kHtTop},
      {0, 1, kHtTopLeft, kHtTop},     {0, 1, kHtBottomRight, kHtBottom},
      {1, 0, kHtRight, kHtRight},     {1, 0, kHtBottom, kHtBorder},
      {1, 0, kHtTopRight, kHtRight},  {1, 0, kHtBottomLeft, kHtLeft},
      {1, 1, kHtTopLeft, kHtTopLeft}, {1, 1, kHtRight, kHtRight},
      {0, 0, kHtCaption, kHtCaption},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MapHitTest(c.hit, abeFloat, c.horzInc, c.vertInc, {0, 0}, client, false, false),
              c.expected)
        << "incs " << c.horzInc << "," << c.vertInc << " hit " << c.hit;
  }
}

TEST(BarHitTest, PressedButtonOnAnEmptySpotDragsTheBar) {
  const BarRect client{0, 0, 1024, 32};
  EXPECT_EQ(MapHitTest(kHtClient, abeTop, 0, 0, {5, 5}, client, true, false), kHtCaption);
  EXPECT_EQ(MapHitTest(kHtClient, abeTop, 0, 0, {5, 5}, client, true, true), kHtClient);
  EXPECT_EQ(MapHitTest(kHtClient, abeTop, 0, 0, {5, 5}, client, false, false), kHtClient);
  EXPECT_EQ(MapHitTest(kHtClient, abeFloat, 0, 0, {5, 5}, client, true, false), kHtCaption);
}

TEST(BarCaption, OnlyAFloatingBarHasCaptionAndSystemMenu) {
  const std::uint32_t popup = 0x80000000u | 0x00800000u;  // WS_POPUP | WS_BORDER
  EXPECT_EQ(CaptionStyleFor(popup, abeFloat), popup | 0x00C80000u);
  EXPECT_EQ(CaptionStyleFor(popup | 0x00C80000u, abeTop), 0x80000000u);
  EXPECT_EQ(CaptionStyleFor(0x10000000u, abeUnknown), 0x10000000u);
}

TEST(BarAutoHideWatch, HidesOnlyBeyondTwiceTheDoubleClickSize) {
  const BarMetrics m = Screen1024();  // double-click 4 x 5
  const BarRect w{0, 0, 1024, 32};
  EXPECT_FALSE(OutsideAutoHideWatch(w, {500, 41}, m));
  EXPECT_TRUE(OutsideAutoHideWatch(w, {500, 42}, m));
  EXPECT_FALSE(OutsideAutoHideWatch({100, 100, 200, 200}, {92, 150}, m));
  EXPECT_TRUE(OutsideAutoHideWatch({100, 100, 200, 200}, {91, 150}, m));
}

}  // namespace
}  // namespace mq::bar
