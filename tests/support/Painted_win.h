// What a form shows, painted into a memory bitmap the way WM_PRINTCLIENT paints it, and its
// pixels as colours: the suites of the controls check their drawing pixel by pixel.
#pragma once

#include <windows.h>

#include "gui/Forms_win.h"
#include "gui/Graphics_win.h"

namespace mq::test {

// The form's client area, painted into a new bitmap of its size.
inline TBitmap PaintForm(TForm& form) {
  TBitmap target(form.ClientWidth(), form.ClientHeight());
  form.PaintContent(target.Dc(), RECT{0, 0, target.Width(), target.Height()});
  ::GdiFlush();
  return target;
}

// The colour of one pixel of a painted bitmap.
inline TColor PixelAt(const TBitmap& b, int x, int y) {
  return PixelToColor(b.ScanLine(y)[x] & 0xFFFFFF);
}

}  // namespace mq::test
