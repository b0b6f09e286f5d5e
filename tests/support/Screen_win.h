// The screen as the shell gives it to the test desktop: its size and the work area left
// beside the task bar and the application bars.
#pragma once

#include <windows.h>

namespace mq::test {

inline SIZE ScreenSize() {
  return SIZE{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

inline RECT WorkArea() {
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return work;
}

}  // namespace mq::test
