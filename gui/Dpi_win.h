// The screen resolution a window is shown at. The per-monitor functions exist from Windows
// 10 (1607) on and are looked up at run time; older systems answer with the system-wide
// resolution of the screen device.
#pragma once

#include <windows.h>

#include "gui/Dpi.h"

namespace mq {

// The resolution every window of the process started with (GetDpiForSystem, else the
// screen's LOGPIXELSY).
int SystemDpi();
// The resolution of the monitor a window is on (GetDpiForWindow, else SystemDpi()).
int WindowDpi(HWND window);
// The resolution of the monitor that holds a screen point (GetDpiForMonitor, else SystemDpi()).
int DpiAtPoint(POINT screenPoint);

}  // namespace mq
