// Where the quick-start menu opens beside the docked bar.
#include <gtest/gtest.h>

#include "app/QuickStartMenu.h"

namespace mq {
namespace {

TEST(QuickStartMenu, OpensUnderATopBarAndAboveABottomBar) {
  struct Case {
    bool bottom;
    int left, top, height;
    TQuickStartAnchor want;
  };
  const Case cases[] = {
      {false, 0, 0, 24, {0, 21, false}},             // over the lower edge of the start button
      {false, 0, 30, 36, {0, 63, false}},            // a bar below another one at the top
      {true, 0, 720, 24, {0, 720, true}},            // the menu's bottom on the bar's top
      {true, -1280, 1416, 24, {-1280, 1416, true}},  // a screen left of the primary one
  };
  for (const Case& c : cases) EXPECT_EQ(QuickStartMenuAnchor(c.bottom, c.left, c.top, c.height), c.want);
}

}  // namespace
}  // namespace mq
