// TSWResChange: a non-visual component that notices changes of the display mode
// (resolution, colour depth, refresh rate) and reports the mode before and after each change.
//
// The system sends WM_DISPLAYCHANGE to top-level windows only. The component therefore
// watches through a hidden top-level window of its own, which stays top-level whatever the
// program does with the application window (start-up puts that one under the desktop's
// window, where the message never reaches it).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "base/UniqueHandle.h"
#include "gui/Forms_win.h"

namespace mq {

// One display mode; each field keeps the low 16 bits of the platform's value.
struct TDisplayResolution {
  std::uint16_t Width = 0;
  std::uint16_t Height = 0;
  std::uint16_t BitsPerPixel = 0;
  std::uint16_t Frequency = 0;
  bool operator==(const TDisplayResolution&) const = default;
};

// Raised after each WM_DISPLAYCHANGE with the mode read before and the mode read now.
using TOnResChanged =
    std::function<void(const TDisplayResolution& OldRes, const TDisplayResolution& NewRes)>;

// The current mode of the default display device.
TDisplayResolution ReadDisplayResolution();

using UniqueWindow = UniqueHandle<HandleTraits<HWND, ::DestroyWindow>>;

class TSWResChange : public TComponent {
 public:
  explicit TSWResChange(TComponent* owner);
  ~TSWResChange() override;

  const TDisplayResolution& CurrentResolution() const noexcept { return current_; }
  // Whether the watching window exists.
  bool Hooked() const noexcept { return window_.Valid(); }
  // The hidden top-level window that receives the display changes.
  HWND WatchWindow() const noexcept { return window_.Get(); }

  TOnResChanged OnResChanged;

  bool ReadProperty(const std::string& name, const FormValue& value, TFormReader& reader) override;

 protected:
  // One WM_DISPLAYCHANGE: reads the new mode and raises OnResChanged.
  void DisplayChanged();

  TDisplayResolution current_;

 private:
  static LRESULT CALLBACK WatchProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  UniqueWindow window_;
};

// Makes TSWResChange known to form descriptions. Idempotent.
void RegisterBarClasses();

}  // namespace mq
