// TSWResChange: a non-visual component that notices changes of the display mode
// (resolution, colour depth, refresh rate) through a hook on the application window's
// messages and reports the mode before and after each change.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

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
using TOnResChanged = std::function<void(const TDisplayResolution& OldRes, const TDisplayResolution& NewRes)>;

// The current mode of the default display device.
TDisplayResolution ReadDisplayResolution();

class TSWResChange : public TComponent {
 public:
  explicit TSWResChange(TComponent* owner);
  ~TSWResChange() override;

  const TDisplayResolution& CurrentResolution() const noexcept { return current_; }
  bool Hooked() const noexcept { return hookId_ != 0; }

  TOnResChanged OnResChanged;

  bool ReadProperty(const std::string& name, const FormValue& value, TFormReader& reader) override;

 protected:
  // Handles one message of the application window; never consumes it.
  bool AppWindowMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

  TDisplayResolution current_;

 private:
  int hookId_ = 0;
};

// Makes TSWResChange known to form descriptions. Idempotent.
void RegisterBarClasses();

}  // namespace mq
