// Rectangles of the gradient-bar menus without the platform: where an item is drawn beside
// the bar and where the bar's slice goes. Coordinates as in RECT: right and bottom exclusive.
#pragma once

namespace mq {

struct BcRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const BcRect&) const = default;
};

enum TSide { sLeft, sRight };

// The part of an item's rectangle left for the item: with the bar beside it, the bar's
// width and the space after it come off the bar's side.
BcRect ItemRectBesideBar(const BcRect& item, bool barHere, int barWidth, int barSpace, TSide side);

// The x at which the bar's column starts in an item rectangle of the given width.
int BarColumnLeft(int itemWidth, int barWidth, TSide side);

// The rectangle grown by dx on the left and right and dy on the top and bottom (shrunk for
// negative values).
BcRect Inflated(const BcRect& r, int dx, int dy);
BcRect Offset(const BcRect& r, int dx, int dy);

}  // namespace mq
