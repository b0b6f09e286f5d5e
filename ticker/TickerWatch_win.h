// TTickerWatch: tells a ticker when no one can see it move, so that it stops its timer. It
// registers the ticker's window for the session's lock and connect notifications and for
// the console display's power state, and reads the window's own showing and minimising from
// its messages. The window passes it every message it receives and the shell's full-screen
// notice; the registrations end with the watch or the window.
#pragma once

#include <windows.h>

#include "base/UniqueHandle.h"
#include "ticker/ALScrollingText_win.h"
#include "ticker/TickerHold.h"

namespace mq {

class TTickerWatch {
 public:
  explicit TTickerWatch(TALScrollingText& ticker) noexcept : ticker_(ticker) {}

  // Registers the window for the notifications (a window made anew registers again).
  void Attach(HWND window);
  // A message of the window (it handles the message as before; the watch only looks).
  void WindowMessage(HWND window, UINT msg, WPARAM wp, LPARAM lp);
  // The shell reports a full-screen application opening (true) or closing on the screen.
  void FullScreenAppChanged(bool open) { ticker_.SetHeld(TTickerHold::Covered, open); }

 private:
  struct SessionTraits {
    using Handle = HWND;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept;
  };
  struct PowerTraits {
    using Handle = HPOWERNOTIFY;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::UnregisterPowerSettingNotification(h); }
  };

  TALScrollingText& ticker_;
  TSessionPresence session_;
  UniqueHandle<SessionTraits> sessionNotify_;
  UniqueHandle<PowerTraits> powerNotify_;
};

}  // namespace mq
