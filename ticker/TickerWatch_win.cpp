#include "ticker/TickerWatch_win.h"

#include <wtsapi32.h>

#include <cstring>

namespace mq {

namespace {

// The console display's state (GUID_CONSOLE_DISPLAY_STATE): 0 off, 1 on, 2 dimmed.
constexpr GUID kConsoleDisplayState = {
    0x6FE69556, 0x704A, 0x47A0, {0x8F, 0x24, 0xC2, 0x8D, 0x93, 0x6F, 0xDA, 0x47}};

}  // namespace

void TTickerWatch::SessionTraits::Close(HWND h) noexcept { ::WTSUnRegisterSessionNotification(h); }

void TTickerWatch::Attach(HWND window) {
  sessionNotify_.Reset();
  powerNotify_.Reset();
  if (window == nullptr) return;
  if (::WTSRegisterSessionNotification(window, NOTIFY_FOR_THIS_SESSION)) sessionNotify_.Reset(window);
  powerNotify_.Reset(
      ::RegisterPowerSettingNotification(window, &kConsoleDisplayState, DEVICE_NOTIFY_WINDOW_HANDLE));
}

void TTickerWatch::WindowMessage(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_WINDOWPOSCHANGED:
      // Shown, hidden, minimised and restored all end here.
      ticker_.SetHeld(TTickerHold::WindowHidden, !::IsWindowVisible(window) || ::IsIconic(window));
      break;
    case WM_WTSSESSION_CHANGE:
      session_ = AfterSessionEvent(session_, static_cast<std::uint32_t>(wp));
      ticker_.SetHeld(TTickerHold::SessionAway, session_.Away());
      break;
    case WM_POWERBROADCAST: {
      if (wp != PBT_POWERSETTINGCHANGE || lp == 0) break;
      const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(lp);
      if (setting->PowerSetting != kConsoleDisplayState || setting->DataLength < sizeof(DWORD)) break;
      DWORD state = 0;
      std::memcpy(&state, setting->Data, sizeof state);
      ticker_.SetHeld(TTickerHold::DisplayOff, DisplayOffFor(state));
      break;
    }
    case WM_DESTROY:
      sessionNotify_.Reset();
      powerNotify_.Reset();
      break;
    default:
      break;
  }
}

}  // namespace mq
