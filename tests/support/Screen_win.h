// The screen as the shell gives it to the test desktop: its size and the work area left
// beside the task bar and the application bars.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace mq::test {

inline SIZE ScreenSize() {
  return SIZE{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

inline RECT WorkArea() {
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return work;
}

// The visible windows of a window class ("#32768" a menu, "#32770" a dialog box): of one
// thread, or with thread 0 every top-level window of the desktop.
inline std::vector<HWND> VisibleWindowsOfClass(const wchar_t* className, DWORD thread = 0) {
  struct Search {
    const wchar_t* className;
    std::vector<HWND> found;
  } search{className, {}};
  const WNDENUMPROC visit = [](HWND h, LPARAM p) -> BOOL {
    auto* s = reinterpret_cast<Search*>(p);
    wchar_t cls[64] = {};
    ::GetClassNameW(h, cls, 64);
    if (std::wstring(cls) == s->className && ::IsWindowVisible(h)) s->found.push_back(h);
    return TRUE;
  };
  if (thread != 0)
    ::EnumThreadWindows(thread, visit, reinterpret_cast<LPARAM>(&search));
  else
    ::EnumWindows(visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace mq::test
