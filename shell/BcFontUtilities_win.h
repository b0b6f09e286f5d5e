// Fonts for the bar menus: a copy of a font turned by 90 degrees, kept until the font or the
// direction changes (so a bar repaint makes no font of its own).
#pragma once

#include <windows.h>

#include "gui/Gdi_win.h"
#include "gui/Graphics_win.h"
#include "shell/BcUtilities.h"

namespace mq {

// The LOGFONT of `font` turned to read upward (dDownToUp) or downward (dUpToDown).
LOGFONTW RotatedLogFont(const TFont& font, TDirection direction);

class TRotatedFont {
 public:
  // The turned font for these settings, made when they differ from the last call.
  HFONT For(const TFont& font, TDirection direction);
  // How many fonts were made so far.
  int Created() const noexcept { return created_; }

 private:
  UniqueFont handle_;
  TFont settings_;
  TDirection direction_ = dDownToUp;
  int created_ = 0;
};

}  // namespace mq
