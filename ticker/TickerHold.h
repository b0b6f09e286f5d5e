// Why a ticker holds still, free of the platform: the reasons its timer stops, and how the
// system's session and display notifications turn into them.
#pragma once

#include <cstdint>

namespace mq {

// Each reason stops the ticker's timer while it holds; the ticker moves again when none does.
enum class TTickerHold : std::uint8_t {
  WindowHidden = 1,  // its window is hidden or minimised
  Covered = 2,       // a full-screen application covers the screen
  SessionAway = 4,   // the session is locked or disconnected
  DisplayOff = 8,    // the display is switched off
};

// The session as its change notifications describe it: locked and disconnected come and go
// independently (a locked session can be disconnected and connected again, still locked).
struct TSessionPresence {
  bool locked = false;
  bool disconnected = false;
  bool Away() const noexcept { return locked || disconnected; }
};

// The session after one session-change event (WM_WTSSESSION_CHANGE's code: 1 console
// connect, 2 console disconnect, 3 remote connect, 4 remote disconnect, 5 logon, 6 logoff,
// 7 lock, 8 unlock); other codes change nothing.
TSessionPresence AfterSessionEvent(TSessionPresence s, std::uint32_t event) noexcept;

// The console display state of a power-setting notification (0 off, 1 on, 2 dimmed): only
// "off" hides the ticker, a dimmed display still shows it.
constexpr bool DisplayOffFor(std::uint32_t state) noexcept { return state == 0; }

}  // namespace mq
