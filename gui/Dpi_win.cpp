#include "gui/Dpi_win.h"

namespace mq {
namespace {

template <typename F>
F Lookup(const wchar_t* module, const char* name) {
  HMODULE m = ::GetModuleHandleW(module);
  if (!m) m = ::LoadLibraryW(module);
  return m ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(m, name))) : nullptr;
}

int Valid(UINT dpi) { return dpi >= 48 && dpi <= 960 ? int(dpi) : 0; }

}  // namespace

int SystemDpi() {
  using Fn = UINT(WINAPI*)();
  static const Fn getDpiForSystem = Lookup<Fn>(L"user32.dll", "GetDpiForSystem");
  if (getDpiForSystem)
    if (const int dpi = Valid(getDpiForSystem())) return dpi;
  HDC dc = ::GetDC(nullptr);
  const int dpi = dc ? Valid(UINT(::GetDeviceCaps(dc, LOGPIXELSY))) : 0;
  if (dc) ::ReleaseDC(nullptr, dc);
  return dpi ? dpi : kDesignDpi;
}

int WindowDpi(HWND window) {
  using Fn = UINT(WINAPI*)(HWND);
  static const Fn getDpiForWindow = Lookup<Fn>(L"user32.dll", "GetDpiForWindow");
  if (window && getDpiForWindow)
    if (const int dpi = Valid(getDpiForWindow(window))) return dpi;
  return SystemDpi();
}

int DpiAtPoint(POINT p) {
  using Fn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  static const Fn getDpiForMonitor = Lookup<Fn>(L"shcore.dll", "GetDpiForMonitor");
  if (getDpiForMonitor) {
    UINT x = 0, y = 0;
    if (SUCCEEDED(getDpiForMonitor(::MonitorFromPoint(p, MONITOR_DEFAULTTOPRIMARY), 0 /* effective */,
                                   &x, &y)))
      if (const int dpi = Valid(y)) return dpi;
  }
  return SystemDpi();
}

}  // namespace mq
