// What a form shows, painted into a memory bitmap the way WM_PRINTCLIENT paints it, and its
// pixels as colours: the suites of the controls check their drawing pixel by pixel.
#pragma once

#include <windows.h>

#include "gui/Forms_win.h"
#include "gui/Graphics_win.h"

namespace mq::test {

// A borderless form with the given client size, for the suites that paint controls on it.
inline Owned<TForm> BorderlessForm(int width, int height) {
  Owned<TForm> form = CreateOwnedForm<TForm>();
  form->SetBorderStyle(TFormBorderStyle::bsNone);
  form->SetClientSize(width, height);
  return form;
}

// A control of type C, owned by `form` and placed on it.
template <typename C>
C* PlaceOn(TForm& form, int left, int top, int width, int height) {
  C* control = new C(&form);
  control->SetParent(&form);
  control->SetBounds(left, top, width, height);
  return control;
}

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
