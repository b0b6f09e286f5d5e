// Translucent popup windows: the layered-window functions are looked up in user32 at run
// time; where they are missing, windows stay opaque.
#pragma once

#include <windows.h>

namespace mq {

// Whether the platform offers layered windows.
bool LayeredWindowsAvailable() noexcept;
// Makes `window` translucent with `alpha` (once: a window that is layered already is left
// alone). 255 leaves it opaque and untouched.
void ApplyOpacity(HWND window, BYTE alpha) noexcept;

}  // namespace mq
