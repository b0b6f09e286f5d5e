// The application bar's geometry: which edge a point proposes, the strip of an edge, the
// auto-hide sliver, the frames of a slide, size snapping and limits, and the mapping of hit
// tests. Pure functions of their arguments, so they are portable and tested natively.
#pragma once

#include <cstdint>

#include "bar/AppBarTypes.h"

namespace mq::bar {

// What the geometry needs to know about the primary screen and the system's sizes.
struct BarMetrics {
  std::int32_t screenWidth = 0;   // SM_CXSCREEN
  std::int32_t screenHeight = 0;  // SM_CYSCREEN
  BarRect workArea;               // SPI_GETWORKAREA
  std::int32_t cxBorder = 1;      // SM_CXBORDER
  std::int32_t cyBorder = 1;      // SM_CYBORDER
  std::int32_t cxVScroll = 0;     // SM_CXVSCROLL
  std::int32_t cyHScroll = 0;     // SM_CYHSCROLL
  std::int32_t cxDoubleClk = 0;   // SM_CXDOUBLECLK
  std::int32_t cyDoubleClk = 0;   // SM_CYDOUBLECLK
};

// Hit-test answers (WM_NCHITTEST), with the platform's values.
enum : int {
  kHtClient = 1,
  kHtCaption = 2,
  kHtLeft = 10,
  kHtRight = 11,
  kHtTop = 12,
  kHtTopLeft = 13,
  kHtTopRight = 14,
  kHtBottom = 15,
  kHtBottomLeft = 16,
  kHtBottomRight = 17,
  kHtBorder = 18,
};

// The side being dragged in WM_SIZING, with the platform's values.
enum : int {
  kSizeLeft = 1,
  kSizeRight = 2,
  kSizeTop = 3,
  kSizeTopLeft = 4,
  kSizeTopRight = 5,
  kSizeBottom = 6,
  kSizeBottomLeft = 7,
  kSizeBottomRight = 8,
};

// The window style bits that a floating bar has and a docked bar lacks.
inline constexpr std::uint32_t kCaptionStyleBits = 0x00C80000;  // WS_CAPTION | WS_SYSMENU

// The edge nearest to screen point `p` that `flags` allow. With abfAllowFloat, a point well
// inside the work area (or flags that allow no edge) floats the bar; otherwise a disallowed
// nearest edge gives abeFloat when floating is allowed, else `storedEdge`.
TAppBarEdge EdgeFromPoint(TAppBarFlags flags, BarPoint p, TAppBarEdge storedEdge, const BarMetrics& m);

// The edge a drag at `p` proposes: abeFloat while Ctrl is held and floating is allowed.
TAppBarEdge ProposedEdge(bool ctrlDown, TAppBarFlags flags, BarPoint p, TAppBarEdge storedEdge,
                         const BarMetrics& m);

// Cuts `free` (the space other bars leave) down to the strip along `edge`; abeUnknown and
// abeFloat leave it as it is.
BarRect DockStrip(TAppBarEdge edge, BarRect free, std::int32_t vertDockSize, std::int32_t horzDockSize);

// Moves `r` (keeping its size) to where a docked auto-hide bar shows (`show`) or hides leaving
// a two-border sliver on screen. Answers false, leaving `r` alone, for abeUnknown, abeFloat
// and bars that do not auto-hide.
bool PlaceAutoHide(TAppBarEdge edge, bool autoHide, bool show, BarRect& r, const BarMetrics& m);

// The frame of a slide from `from` to `to` after `elapsed` of `slideTime` milliseconds
// (0 <= elapsed < slideTime, slideTime > 0): position and size move linearly, products first,
// division truncating toward zero.
BarRect SlideFrame(const BarRect& from, const BarRect& to, std::uint32_t elapsed,
                   std::int32_t slideTime);

// The drag rectangle when a drag leaves the edges: the float rectangle's size, centred
// horizontally on the cursor, its top at the cursor.
BarRect FloatRectAtCursor(BarPoint cursor, const BarRect& floatRect);

// The float rectangle for a bar undocked with window rectangle `w`: a window as wide or as
// high as the work area takes the size of the previous float rectangle instead.
BarRect UndockedFloatRect(const BarRect& w, const BarRect& floatRect, const BarRect& workArea);

// Snaps `r` during WM_SIZING on `side` to whole size increments above the minimum; an
// increment of 0 leaves that dimension as the user dragged it.
void SnapSize(int side, BarRect& r, std::int32_t minWidth, std::int32_t minHeight,
              std::int32_t horzSizeInc, std::int32_t vertSizeInc);

struct BarSizeLimits {
  BarPoint minTrack;
  BarPoint maxTrack;
};

// The tracking limits of WM_GETMINMAXINFO for `edge` (the edge as read).
BarSizeLimits SizeLimits(TAppBarEdge edge, const TAppBarSettings& s, const BarMetrics& m);

// The answer to WM_NCHITTEST. `hit` is the default answer; `clientOnScreen` the client area
// in screen coordinates; `dragButtonDown` the asynchronous state of the primary button;
// `controlAtPoint` whether a visible, enabled window-less control lies at `p`.
int MapHitTest(int hit, TAppBarEdge edge, std::int32_t horzSizeInc, std::int32_t vertSizeInc, BarPoint p,
               const BarRect& clientOnScreen, bool dragButtonDown, bool controlAtPoint);

// The style of a bar shown on `newEdge`: caption and system menu only when floating.
constexpr std::uint32_t CaptionStyleFor(std::uint32_t style, TAppBarEdge newEdge) {
  return newEdge == abeFloat ? (style | kCaptionStyleBits) : (style & ~kCaptionStyleBits);
}

// True when `p` lies outside the window rectangle grown by twice the double-click size on
// each side: far enough away for the auto-hide watch to hide the bar.
bool OutsideAutoHideWatch(const BarRect& window, BarPoint p, const BarMetrics& m);

}  // namespace mq::bar
