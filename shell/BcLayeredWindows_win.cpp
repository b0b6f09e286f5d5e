#include "shell/BcLayeredWindows_win.h"

namespace mq {

namespace {
using SetLayeredFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

SetLayeredFn SetLayered() noexcept {
  static const SetLayeredFn fn = [] {
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<SetLayeredFn>(
                        reinterpret_cast<void*>(::GetProcAddress(user32, "SetLayeredWindowAttributes")))
                  : nullptr;
  }();
  return fn;
}
}  // namespace

bool LayeredWindowsAvailable() noexcept { return SetLayered() != nullptr; }

void ApplyOpacity(HWND window, BYTE alpha) noexcept {
  if (window == nullptr || alpha == 255 || !LayeredWindowsAvailable()) return;
  const LONG_PTR ex = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
  if (ex & WS_EX_LAYERED) return;
  ::SetWindowLongPtrW(window, GWL_EXSTYLE, ex | WS_EX_LAYERED);
  SetLayered()(window, 0, alpha, LWA_ALPHA);
}

}  // namespace mq
