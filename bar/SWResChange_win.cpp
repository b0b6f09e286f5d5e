#include "bar/SWResChange.h"

namespace mq {

TDisplayResolution ReadDisplayResolution() {
  DEVMODEW mode{};
  mode.dmSize = sizeof mode;
  TDisplayResolution r;
  if (::EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) {
    r.Width = static_cast<std::uint16_t>(mode.dmPelsWidth);
    r.Height = static_cast<std::uint16_t>(mode.dmPelsHeight);
    r.BitsPerPixel = static_cast<std::uint16_t>(mode.dmBitsPerPel);
    r.Frequency = static_cast<std::uint16_t>(mode.dmDisplayFrequency);
  }
  return r;
}

namespace {
constexpr wchar_t kWatchClass[] = L"MqDisplayWatch";
}  // namespace

TSWResChange::TSWResChange(TComponent* owner) : TComponent(owner) {
  // A hidden, unowned pop-up: top-level, so the system's display broadcast reaches it, and
  // never shown, so it has no task-bar button and takes no input.
  EnsureWindowClass(kWatchClass, &WatchProc);
  window_.Reset(::CreateWindowExW(WS_EX_TOOLWINDOW, kWatchClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, ::GetModuleHandleW(nullptr), nullptr));
  if (window_) ::SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  current_ = ReadDisplayResolution();
}

TSWResChange::~TSWResChange() {
  if (window_) ::SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, 0);
}

LRESULT CALLBACK TSWResChange::WatchProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DISPLAYCHANGE) {
    if (auto* self = reinterpret_cast<TSWResChange*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
      try {
        self->DisplayChanged();
      } catch (...) {
        Application().HandleCurrentException(self);
      }
    }
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void TSWResChange::DisplayChanged() {
  const TDisplayResolution old = current_;
  current_ = ReadDisplayResolution();
  if (OnResChanged) OnResChanged(old, current_);
}

bool TSWResChange::ReadProperty(const std::string& name, const FormValue& v, TFormReader& r) {
  if (name == "OnResChanged") return OnResChanged = r.Event<TOnResChanged>(v), true;
  return TComponent::ReadProperty(name, v, r);
}

void RegisterBarClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterComponentClass<TSWResChange>("TSWResChange");
}

}  // namespace mq
