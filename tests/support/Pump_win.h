// Running the main thread's messages while a Windows suite waits for something that arrives
// as a message: a thread's hand-over or end, a timer, a shell notification, a repaint.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>

#include "gui/Forms_win.h"

namespace mq::test {

// Dispatches the main thread's messages until `done` holds or `ms` milliseconds have passed;
// returns `done` as it stands then.
inline bool PumpUntil(const std::function<bool()>& done, int ms = 15000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return done();
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    Application().ProcessMessages();
  }
  return true;
}

// Dispatches the main thread's messages for `ms` milliseconds.
inline void PumpFor(int ms) {
  PumpUntil([] { return false; }, ms);
}

}  // namespace mq::test
