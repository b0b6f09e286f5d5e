#include "gui/Gdi_win.h"

#include <atomic>

#include "gui/Color.h"

namespace mq {

namespace {
std::atomic<long> g_liveObjects{0};
}

long GdiObjectCount() noexcept { return g_liveObjects.load(); }

namespace gdi_detail {
void Track() noexcept { ++g_liveObjects; }
void Untrack() noexcept { --g_liveObjects; }
}  // namespace gdi_detail

COLORREF ColorToRgb(unsigned int color) noexcept {
  if (IsSystemColor(color)) return ::GetSysColor(SystemColorIndex(color));
  return color & 0x00FFFFFF;
}

}  // namespace mq
