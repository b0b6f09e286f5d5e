// The painters of the bar menus: the gradient fill (into a bitmap's pixel rows or onto any
// canvas), faded lines, the separator painter, the item painter with its text routine and
// check mark, in the XP and the standard look. Everything a paint needs more than once (the
// check-mark bitmaps, a memory DC to draw them from, the dither brush, the bold font) is kept
// in the menu's TBcPaintCache, so painting makes no GDI object of its own.
#pragma once

#include <windows.h>

#include <string>

#include "gui/Gdi_win.h"
#include "gui/Graphics_win.h"
#include "gui/Menus_win.h"
#include "shell/BarMenus_win.h"
#include "shell/BcUtilities.h"

namespace mq {

class TBcPaintCache {
 public:
  // The system check mark, and the radio mark (the "BCRADIOITEM" bitmap of the program's
  // resources), loaded on first use.
  HBITMAP CheckMark();
  HBITMAP RadioMark();
  // A memory DC to draw the marks from.
  HDC MarkDc();
  // The button-face / button-highlight dither of the standard look's checked glyph.
  HBRUSH DitherBrush();
  // `font` in bold, kept while `font` stays the same.
  HFONT Bold(const TFont& font);

 private:
  UniqueBitmap check_, radio_, dither_;
  UniqueBrush ditherBrush_;
  UniqueMemoryDc markDc_;
  TFont bold_;
  bool boldMade_ = false;
};

// Fills `r` of a 32-bit bitmap by writing its rows (a horizontal gradient computes one row and
// copies it). System colours are resolved first.
void GradientFillBitmap(TBitmap& bitmap, const RECT& r, TGradientStyle style, TColor start, TColor end);
// The same gradient drawn on any canvas (rows or columns filled with the DC's own brush).
void GradientFillCanvas(TCanvas& canvas, const RECT& r, TGradientStyle style, TColor start, TColor end);

// A line at row `top` from `left` to `right` (both included) that blends from what is there
// into `color` over `fadeWidth` pixels at each end, leaving out the gap when one is given.
void DrawFadedLine(TCanvas& canvas, int left, int right, int top, TColor color, int fadeWidth,
                   const RECT* gap = nullptr);

// Draws or (with DT_CALCRECT) measures an item's text; captions are never prefix-processed.
void DrawMenuItemText(TCanvas& canvas, const TMenuItem& item, std::wstring text, RECT& r, UINT flags,
                      bool selected, bool rightToLeft);

// The check mark (or radio mark) centred in the glyph rectangle.
void DrawCheckMark(TBcPaintCache& cache, TCanvas& canvas, const RECT& glyph, bool radio, bool xpStyle);

// The separator painter (an item whose caption is "-").
void PaintSeparator(IBarMenusIntf& menu, const TMenuItem& item, TCanvas& canvas, RECT itemRect);
// The item painter (every other item).
void PaintMenuItem(IBarMenusIntf& menu, const TMenuItem& item, TCanvas& canvas, RECT itemRect,
                   TOwnerDrawState state);

}  // namespace mq
