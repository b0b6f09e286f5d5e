// Where the quick-start menu opens: under the bar when it is docked at the top (at the bar's
// left, 3 pixels above its bottom edge, over the start button's lower edge), above it when it
// is docked at the bottom (the menu's bottom edge on the bar's top, so it stays on the screen).
#pragma once

namespace mq {

struct TQuickStartAnchor {
  int x = 0, y = 0;
  bool above = false;  // the menu's bottom edge goes at y
  bool operator==(const TQuickStartAnchor&) const = default;
};

TQuickStartAnchor QuickStartMenuAnchor(bool dockedAtBottom, int barLeft, int barTop, int barHeight);

}  // namespace mq
