#include "app/QuickStartMenu.h"

namespace mq {

TQuickStartAnchor QuickStartMenuAnchor(bool dockedAtBottom, int barLeft, int barTop, int barHeight) {
  if (dockedAtBottom) return TQuickStartAnchor{barLeft, barTop, true};
  return TQuickStartAnchor{barLeft, barTop + barHeight - 3, false};
}

}  // namespace mq
