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

TSWResChange::TSWResChange(TComponent* owner) : TComponent(owner) {
  hookId_ = Application().HookMainWindow(
      [this](UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) { return AppWindowMessage(msg, wp, lp, result); });
  current_ = ReadDisplayResolution();
}

TSWResChange::~TSWResChange() {
  if (hookId_ != 0) Application().UnhookMainWindow(hookId_);
}

bool TSWResChange::AppWindowMessage(UINT msg, WPARAM, LPARAM, LRESULT&) {
  if (msg == WM_DISPLAYCHANGE) {
    const TDisplayResolution old = current_;
    current_ = ReadDisplayResolution();
    if (OnResChanged) OnResChanged(old, current_);
  }
  return false;
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
