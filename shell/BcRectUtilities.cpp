#include "shell/BcRectUtilities.h"

namespace mq {

BcRect ItemRectBesideBar(const BcRect& item, bool barHere, int barWidth, int barSpace, TSide side) {
  BcRect r = item;
  if (!barHere) return r;
  const int taken = barWidth + barSpace;
  r.right -= taken;
  if (side == sLeft) r = Offset(r, taken, 0);
  return r;
}

int BarColumnLeft(int itemWidth, int barWidth, TSide side) {
  return side == sRight ? itemWidth - barWidth : 0;
}

BcRect Inflated(const BcRect& r, int dx, int dy) {
  return BcRect{r.left - dx, r.top - dy, r.right + dx, r.bottom + dy};
}

BcRect Offset(const BcRect& r, int dx, int dy) {
  return BcRect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

}  // namespace mq
