#include "bar/AppBarGeometry.h"

namespace mq::bar {

TAppBarSettings DefaultBarSettings(std::int32_t screenWidth, std::int32_t screenHeight) {
  TAppBarSettings s{};
  s.cbSize = sizeof(TAppBarSettings);
  s.abEdge = abeFloat;
  s.abFlags = TAppBarFlags::All().Byte();
  s.bAutoHide = 0;
  s.bAlwaysOnTop = 1;
  s.bSlideEffect = 1;
  s.nSlideTime = 200;
  s.nHorzSizeInc = 1;
  s.nVertSizeInc = 1;
  s.nVertDockSize = 32;
  s.nHorzDockSize = 32;
  s.rcFloat = {0, 0, 0, 0};
  s.nMinWidth = 0;
  s.nMinHeight = 0;
  s.nMaxWidth = screenWidth;
  s.nMaxHeight = screenHeight;
  s.nMinVertDockSize = 0;
  s.nMinHorzDockSize = 0;
  s.nMaxVertDockSize = screenWidth / 2;
  s.nMaxHorzDockSize = screenHeight / 2;
  s.abTaskEntry = abtFloatDependent;
  return s;
}

TAppBarEdge EdgeFromPoint(TAppBarFlags flags, BarPoint p, TAppBarEdge storedEdge, const BarMetrics& m) {
  const bool mayFloat = flags.Has(abfAllowFloat);
  if (mayFloat) {
    BarRect inner = m.workArea;
    inner.left += m.cxVScroll;
    inner.right -= m.cxVScroll;
    inner.top += m.cyHScroll;
    inner.bottom -= m.cyHScroll;
    if (inner.Contains(p.x, p.y) || !flags.AllowsAnyEdge()) return abeFloat;
  }

  // The offsets from the centre are 16-bit quantities; the comparison scales them by the
  // screen's proportions so that the diagonals split the screen into four triangles.
  const std::int64_t cx = m.screenWidth;
  const std::int64_t cy = m.screenHeight;
  const auto dx = static_cast<std::int16_t>(p.x - m.screenWidth / 2);
  const auto dy = static_cast<std::int16_t>(p.y - m.screenHeight / 2);
  const std::int64_t adx = dx < 0 ? -std::int64_t{dx} : std::int64_t{dx};
  const std::int64_t ady = dy < 0 ? -std::int64_t{dy} : std::int64_t{dy};
  TAppBarEdge nearest;
  if (ady * cx <= adx * cy) {
    nearest = dx < 0 ? abeLeft : abeRight;
  } else {
    nearest = dy < 0 ? abeTop : abeBottom;
  }

  if (flags.AllowsEdge(nearest)) return nearest;
  return mayFloat ? abeFloat : storedEdge;
}

TAppBarEdge ProposedEdge(bool ctrlDown, TAppBarFlags flags, BarPoint p, TAppBarEdge storedEdge,
                         const BarMetrics& m) {
  if (ctrlDown && flags.Has(abfAllowFloat)) return abeFloat;
  return EdgeFromPoint(flags, p, storedEdge, m);
}

BarRect DockStrip(TAppBarEdge edge, BarRect r, std::int32_t vertDockSize, std::int32_t horzDockSize) {
  switch (edge) {
    case abeLeft:
      r.right = r.left + vertDockSize;
      break;
    case abeTop:
      r.bottom = r.top + horzDockSize;
      break;
    case abeRight:
      r.left = r.right - vertDockSize;
      break;
    case abeBottom:
      r.top = r.bottom - horzDockSize;
      break;
    default:
      break;
  }
  return r;
}

bool PlaceAutoHide(TAppBarEdge edge, bool autoHide, bool show, BarRect& r, const BarMetrics& m) {
  if (edge == abeUnknown || edge == abeFloat || !autoHide) return false;
  const std::int32_t w = r.Width();
  const std::int32_t h = r.Height();
  std::int32_t x = 0;
  std::int32_t y = 0;
  switch (edge) {
    case abeLeft:
      x = show ? 0 : 2 * m.cxBorder - w;
      break;
    case abeTop:
      y = show ? 0 : 2 * m.cyBorder - h;
      break;
    case abeRight:
      x = show ? m.screenWidth - w : m.screenWidth - 2 * m.cxBorder;
      break;
    case abeBottom:
      y = show ? m.screenHeight - h : m.screenHeight - 2 * m.cyBorder;
      break;
    default:
      break;
  }
  r = {x, y, x + w, y + h};
  return true;
}

namespace {

// a - (a - b) * e / t with the product formed first and the quotient truncated toward zero.
std::int32_t Interpolate(std::int32_t a, std::int32_t b, std::int64_t e, std::int64_t t) {
  return static_cast<std::int32_t>(a - (std::int64_t{a} - b) * e / t);
}

}  // namespace

BarRect SlideFrame(const BarRect& from, const BarRect& to, std::uint32_t elapsed,
                   std::int32_t slideTime) {
  const std::int32_t left = Interpolate(from.left, to.left, elapsed, slideTime);
  const std::int32_t top = Interpolate(from.top, to.top, elapsed, slideTime);
  const std::int32_t width = Interpolate(from.Width(), to.Width(), elapsed, slideTime);
  const std::int32_t height = Interpolate(from.Height(), to.Height(), elapsed, slideTime);
  return {left, top, left + width, top + height};
}

BarRect FloatRectAtCursor(BarPoint cursor, const BarRect& floatRect) {
  BarRect r;
  r.left = cursor.x - floatRect.Width() / 2;
  r.top = cursor.y;
  r.right = r.left + floatRect.Width();
  r.bottom = cursor.y + floatRect.Height();
  return r;
}

BarRect UndockedFloatRect(const BarRect& w, const BarRect& floatRect, const BarRect& workArea) {
  std::int32_t width = w.Width();
  std::int32_t height = w.Height();
  if (width >= workArea.Width() || height >= workArea.Height()) {
    width = floatRect.Width();
    height = floatRect.Height();
  }
  return {w.left, w.top, w.left + width, w.top + height};
}

namespace {

std::int32_t Snap(std::int32_t size, std::int32_t minimum, std::int32_t inc) {
  if (inc == 0) return size;
  return minimum + inc * ((size - minimum + inc / 2) / inc);
}

}  // namespace

void SnapSize(int side, BarRect& r, std::int32_t minWidth, std::int32_t minHeight,
              std::int32_t horzSizeInc, std::int32_t vertSizeInc) {
  const std::int32_t w = Snap(r.Width(), minWidth, horzSizeInc);
  const std::int32_t h = Snap(r.Height(), minHeight, vertSizeInc);
  const bool left = side == kSizeLeft || side == kSizeTopLeft || side == kSizeBottomLeft;
  const bool right = side == kSizeRight || side == kSizeTopRight || side == kSizeBottomRight;
  const bool top = side == kSizeTop || side == kSizeTopLeft || side == kSizeTopRight;
  const bool bottom = side == kSizeBottom || side == kSizeBottomLeft || side == kSizeBottomRight;
  if (left) r.left = r.right - w;
  if (right) r.right = r.left + w;
  if (top) r.top = r.bottom - h;
  if (bottom) r.bottom = r.top + h;
}

BarSizeLimits SizeLimits(TAppBarEdge edge, const TAppBarSettings& s, const BarMetrics& m) {
  BarSizeLimits l;
  if (edge == abeFloat) {
    l.minTrack = {s.nMinWidth, s.nMinHeight};
    l.maxTrack = {s.nMaxWidth, s.nMaxHeight};
    return l;
  }
  l.minTrack = {s.nMinVertDockSize, s.nMinHorzDockSize};
  l.maxTrack = {m.screenWidth, m.screenHeight};
  if (edge != abeTop && edge != abeBottom) l.maxTrack.x = s.nMaxVertDockSize;
  if (edge != abeLeft && edge != abeRight) l.maxTrack.y = s.nMaxHorzDockSize;
  return l;
}

namespace {

int FloatingHit(int hit, std::int32_t horzSizeInc, std::int32_t vertSizeInc) {
  const bool noWidth = horzSizeInc == 0;
  const bool noHeight = vertSizeInc == 0;
  switch (hit) {
    case kHtLeft:
    case kHtRight:
      return noWidth ? kHtBorder : hit;
    case kHtTop:
    case kHtBottom:
      return noHeight ? kHtBorder : hit;
    case kHtTopLeft:
    case kHtTopRight:
    case kHtBottomLeft:
    case kHtBottomRight: {
      if (noWidth && noHeight) return kHtBorder;
      const bool top = hit == kHtTopLeft || hit == kHtTopRight;
      const bool left = hit == kHtTopLeft || hit == kHtBottomLeft;
      if (noWidth) return top ? kHtTop : kHtBottom;
      if (noHeight) return left ? kHtLeft : kHtRight;
      return hit;
    }
    default:
      return hit;
  }
}

int DockedHit(int hit, TAppBarEdge edge, std::int32_t horzSizeInc, std::int32_t vertSizeInc, BarPoint p,
              const BarRect& client) {
  if (hit < kHtLeft || hit > kHtBottomRight) return hit;
  // Only the side that faces the middle of the screen may resize a docked bar.
  switch (edge) {
    case abeLeft:
      if (horzSizeInc != 0 && p.x >= client.right) return kHtRight;
      break;
    case abeRight:
      if (horzSizeInc != 0 && p.x < client.left) return kHtLeft;
      break;
    case abeTop:
      if (vertSizeInc != 0 && p.y >= client.bottom) return kHtBottom;
      break;
    case abeBottom:
      if (vertSizeInc != 0 && p.y < client.top) return kHtTop;
      break;
    default:
      break;
  }
  return kHtBorder;
}

}  // namespace

int MapHitTest(int hit, TAppBarEdge edge, std::int32_t horzSizeInc, std::int32_t vertSizeInc, BarPoint p,
               const BarRect& clientOnScreen, bool dragButtonDown, bool controlAtPoint) {
  if (dragButtonDown && hit == kHtClient && !controlAtPoint) hit = kHtCaption;
  if (edge == abeFloat) return FloatingHit(hit, horzSizeInc, vertSizeInc);
  if (edge <= abeBottom) return DockedHit(hit, edge, horzSizeInc, vertSizeInc, p, clientOnScreen);
  return hit;
}

bool OutsideAutoHideWatch(const BarRect& window, BarPoint p, const BarMetrics& m) {
  BarRect grown = window;
  grown.left -= 2 * m.cxDoubleClk;
  grown.right += 2 * m.cxDoubleClk;
  grown.top -= 2 * m.cyDoubleClk;
  grown.bottom += 2 * m.cyDoubleClk;
  return !grown.Contains(p.x, p.y);
}

}  // namespace mq::bar
