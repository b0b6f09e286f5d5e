#include "shell/BcDrawModule_win.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/Utf.h"

namespace mq {

// --- the paint cache ----------------------------------------------------------------------------

namespace {
constexpr WORD kObmCheck = 32760;  // OBM_CHECK, which <windows.h> names only with OEMRESOURCE
}

HBITMAP TBcPaintCache::CheckMark() {
  if (!check_) check_.Reset(::LoadBitmapW(nullptr, MAKEINTRESOURCEW(kObmCheck)));
  return check_.Get();
}

HBITMAP TBcPaintCache::RadioMark() {
  if (!radio_) radio_.Reset(::LoadBitmapW(::GetModuleHandleW(nullptr), L"BCRADIOITEM"));
  return radio_.Get();
}

HDC TBcPaintCache::MarkDc() {
  if (!markDc_) markDc_.Reset(::CreateCompatibleDC(nullptr));
  return markDc_.Get();
}

HBRUSH TBcPaintCache::DitherBrush() {
  if (!ditherBrush_) {
    // A 2 x 2 checkerboard of button face and button highlight, repeated in an 8 x 8 tile.
    const std::uint32_t face = ColorToPixel(ColorToRgb(clBtnFace));
    const std::uint32_t light = ColorToPixel(ColorToRgb(clBtnHighlight));
    std::uint32_t pixels[64];
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) pixels[y * 8 + x] = ((x + y) % 2 == 0) ? face : light;
    dither_.Reset(::CreateBitmap(8, 8, 1, 32, pixels));
    ditherBrush_.Reset(::CreatePatternBrush(dither_.Get()));
  }
  return ditherBrush_.Get();
}

HFONT TBcPaintCache::Bold(const TFont& font) {
  TFont wanted(font);
  wanted.SetStyle(font.Style() | fsBold);
  if (!boldMade_ || !bold_.SameAs(wanted)) {
    bold_ = wanted;
    boldMade_ = true;
  }
  return bold_.Handle();
}

// --- gradients ----------------------------------------------------------------------------------

void GradientFillBitmap(TBitmap& bitmap, const RECT& rect, TGradientStyle style, TColor start,
                        TColor end) {
  RECT r{std::max<LONG>(rect.left, 0), std::max<LONG>(rect.top, 0),
         std::min<LONG>(rect.right, bitmap.Width()), std::min<LONG>(rect.bottom, bitmap.Height())};
  const int w = rect.right - rect.left, h = rect.bottom - rect.top;
  if (r.right <= r.left || r.bottom <= r.top || h < 1) return;
  start = ColorToRgb(start);
  end = ColorToRgb(end);
  ::GdiFlush();
  auto pixel = [&](int x, int y) {
    return ColorToPixel(GradientColorAt(style, start, end, x - rect.left, y - rect.top, w, h));
  };
  if (style == gsHorizontal || start == end) {
    std::uint32_t* first = bitmap.ScanLine(r.top);
    for (int x = r.left; x < r.right; ++x) first[x] = pixel(x, r.top);
    for (int y = r.top + 1; y < r.bottom; ++y)
      std::memcpy(bitmap.ScanLine(y) + r.left, first + r.left, std::size_t(r.right - r.left) * 4);
    return;
  }
  for (int y = r.top; y < r.bottom; ++y) {
    std::uint32_t* row = bitmap.ScanLine(y);
    if (style == gsVertical) {
      std::fill(row + r.left, row + r.right, pixel(r.left, y));
    } else {
      for (int x = r.left; x < r.right; ++x) row[x] = pixel(x, y);
    }
  }
}

void GradientFillCanvas(TCanvas& canvas, const RECT& r, TGradientStyle style, TColor start, TColor end) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (h < 1 || w < 1) return;
  start = ColorToRgb(start);
  end = ColorToRgb(end);
  HDC dc = canvas.Handle();
  SelectGuard brush(dc, ::GetStockObject(DC_BRUSH));
  const COLORREF oldBrush = ::GetDCBrushColor(dc);
  if (start == end) {
    ::SetDCBrushColor(dc, start);
    ::PatBlt(dc, r.left, r.top, w, h, PATCOPY);
  } else if (style == gsHorizontal) {
    for (int d = 0; d < w; ++d) {
      ::SetDCBrushColor(dc, GradientColorAt(style, start, end, d, 0, w, h));
      ::PatBlt(dc, r.left + d, r.top, 1, h, PATCOPY);
    }
  } else if (style == gsVertical) {
    for (int d = 0; d < h; ++d) {
      ::SetDCBrushColor(dc, GradientColorAt(style, start, end, 0, d, w, h));
      ::PatBlt(dc, r.left, r.top + d, w, 1, PATCOPY);
    }
  } else {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        ::SetPixelV(dc, r.left + x, r.top + y, GradientColorAt(style, start, end, x, y, w, h));
  }
  ::SetDCBrushColor(dc, oldBrush);
}

// --- faded lines --------------------------------------------------------------------------------

void DrawFadedLine(TCanvas& canvas, int left, int right, int top, TColor color, int fadeWidth,
                   const RECT* gap) {
  color = ColorToRgb(color);
  const TFadedRuns runs = FadedLineRuns(left, right, top, gap != nullptr, gap ? gap->left : 0,
                                        gap ? gap->right : 0, gap ? gap->top : 0);
  HDC dc = canvas.Handle();
  auto run = [&](int from, int to, bool leftRun) {
    for (int x = from; x <= to; ++x) {
      const TColor old = ::GetPixel(dc, x, runs.row) & 0xFFFFFF;
      ::SetPixelV(dc, x, runs.row, FadedPixel(old, color, x, left, right, fadeWidth, leftRun));
    }
  };
  run(runs.leftFrom, runs.leftTo, true);
  run(runs.rightFrom, runs.rightTo, false);
}

// --- text and check mark ------------------------------------------------------------------------

void DrawMenuItemText(TCanvas& canvas, const TMenuItem& item, std::wstring text, RECT& r, UINT flags,
                      bool selected, bool rightToLeft) {
  HDC dc = canvas.Handle();
  flags |= DT_NOPREFIX;  // a caption is literal text ("&" in an address stays an "&")
  if (rightToLeft) flags |= DT_RIGHT | DT_RTLREADING;
  if ((flags & DT_CALCRECT) && (text.empty() || text == L"&")) text += L' ';
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  auto draw = [&](RECT& where) { ::DrawTextW(dc, text.c_str(), int(text.size()), &where, flags); };
  if (item.Enabled() || (flags & DT_CALCRECT)) {
    draw(r);
  } else if (!selected) {
    const COLORREF old = ::SetTextColor(dc, ColorToRgb(clBtnHighlight));
    RECT moved = r;
    ::OffsetRect(&moved, 1, 1);
    draw(moved);
    ::SetTextColor(dc, ColorToRgb(clBtnShadow));
    draw(r);
    ::SetTextColor(dc, old);
  } else {
    const bool same = ColorToRgb(clHighlight) == ColorToRgb(clBtnShadow);
    const COLORREF old = ::SetTextColor(dc, ColorToRgb(same ? clBtnHighlight : clBtnShadow));
    draw(r);
    ::SetTextColor(dc, old);
  }
  ::SetBkMode(dc, oldMode);
}

void DrawCheckMark(TBcPaintCache& cache, TCanvas& canvas, const RECT& g, bool radio, bool xpStyle) {
  HBITMAP mark = radio ? cache.RadioMark() : cache.CheckMark();
  if (mark == nullptr) return;
  BITMAP info{};
  ::GetObjectW(mark, sizeof info, &info);
  int x = (g.left + g.right - info.bmWidth) / 2;
  int y = (g.top + g.bottom - info.bmHeight) / 2;
  if (!xpStyle) {
    ++x;
    ++y;
  } else if (!radio) {
    ++x;
  }
  HDC dc = canvas.Handle();
  HDC source = cache.MarkDc();
  SelectGuard selected(source, mark);
  // The mark's black pixels take the button-text colour, its white ones leave the item as it is
  // (the raster operation PSDPxax with the DC's own brush).
  SelectGuard brush(dc, ::GetStockObject(DC_BRUSH));
  const COLORREF oldBrush = ::SetDCBrushColor(dc, ColorToRgb(clBtnText));
  const COLORREF oldText = ::SetTextColor(dc, RGB(0, 0, 0));
  const COLORREF oldBack = ::SetBkColor(dc, RGB(255, 255, 255));
  ::BitBlt(dc, x, y, info.bmWidth, info.bmHeight, source, 0, 0, 0x00B8074A);
  ::SetBkColor(dc, oldBack);
  ::SetTextColor(dc, oldText);
  ::SetDCBrushColor(dc, oldBrush);
}

// --- the separator painter ----------------------------------------------------------------------

namespace {

void DrawSeparatorEdge(HDC dc, RECT r, bool flat) {
  if (flat)
    ::DrawEdge(dc, &r, BDR_RAISEDOUTER, BF_TOP | BF_FLAT);
  else
    ::DrawEdge(dc, &r, EDGE_ETCHED, BF_TOP);
}

void PaintPlainSeparator(const TBcSeparators& s, TCanvas& canvas, RECT line) {
  line.top += 5;
  if (s.Fade) {
    if (!s.FlatLines)
      DrawFadedLine(canvas, line.left, line.right, line.top, clBtnHighlight, s.FadeWidth);
    line.top -= 1;
    DrawFadedLine(canvas, line.left, line.right, line.top, s.FadeColor, s.FadeWidth);
  } else {
    DrawSeparatorEdge(canvas.Handle(), line, s.FlatLines);
  }
}

void PaintCaptionSeparator(const TBcSeparators& s, TCanvas& canvas, const RECT& line,
                           const std::wstring& text) {
  HDC dc = canvas.Handle();
  UINT flags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
  if (s.Alignment == TAlignment::taRightJustify) flags |= DT_RIGHT;
  if (s.Alignment == TAlignment::taCenter) flags |= DT_CENTER;
  GradientFillCanvas(canvas, line, s.GradientStyle(), s.GradientStart(), s.GradientEnd());
  SelectGuard font(dc, s.UseSystemFont ? nullptr : s.Font.Handle());
  const COLORREF oldColor =
      ::SetTextColor(dc, ColorToRgb(s.UseSystemFont ? clMenuText : s.Font.Color()));
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  RECT r = line;
  ::DrawTextW(dc, text.c_str(), int(text.size()), &r, flags);
  ::SetBkMode(dc, oldMode);
  ::SetTextColor(dc, oldColor);
}

void PaintLinedHintSeparator(const TBcSeparators& s, TCanvas& canvas, RECT line,
                             const std::wstring& text) {
  HDC dc = canvas.Handle();
  SelectGuard font(dc, s.UseSystemFont ? nullptr : s.Font.Handle());
  const COLORREF oldColor =
      ::SetTextColor(dc, ColorToRgb(s.UseSystemFont ? clMenuText : s.Font.Color()));
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  const UINT flags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_CENTER;
  RECT textRect = line;
  textRect.bottom -= 1;
  ::DrawTextW(dc, text.c_str(), int(text.size()), &textRect, flags | DT_CALCRECT);
  const int spare = (line.right - line.left) - (textRect.right - textRect.left);
  if (s.Alignment == TAlignment::taRightJustify) ::OffsetRect(&textRect, spare, 0);
  if (s.Alignment == TAlignment::taCenter) ::OffsetRect(&textRect, CenterOffset(spare), 0);
  line.top += 6;
  if (s.Fade) {
    line.top += 1;
    DrawFadedLine(canvas, line.left, line.right, line.top, s.FadeColor, s.FadeWidth, &textRect);
    if (!s.FlatLines) {
      line.top += 1;
      DrawFadedLine(canvas, line.left, line.right, line.top, clBtnHighlight, s.FadeWidth, &textRect);
    }
  } else {
    if (s.FlatLines) ::OffsetRect(&line, 0, 1);
    const LONG right = line.right;
    line.right = textRect.left;
    DrawSeparatorEdge(dc, line, s.FlatLines);
    line.right = right;
    line.left = textRect.right;
    DrawSeparatorEdge(dc, line, s.FlatLines);
  }
  ::DrawTextW(dc, text.c_str(), int(text.size()), &textRect, flags);
  ::SetBkMode(dc, oldMode);
  ::SetTextColor(dc, oldColor);
}

}  // namespace

void PaintSeparator(IBarMenusIntf& menu, const TMenuItem& item, TCanvas& canvas, RECT itemRect) {
  const TBcSeparators& s = menu.SeparatorSettings();
  const std::string hint = item.Enabled() ? item.Hint() : std::string();
  RECT line = itemRect;
  if (s.SeparatorStyle == ssShortLine) {
    line.right += 10;
    line.left += 12;
    line.right -= 12;
  }
  // The item's own background first: lines blend into it.
  canvas.BrushColor = clMenu;
  canvas.FillRect(itemRect);
  if (hint.empty()) return PaintPlainSeparator(s, canvas, line);
  const std::wstring text = L" " + ToWide(hint) + L" ";
  if (s.SeparatorStyle == ssCaption) return PaintCaptionSeparator(s, canvas, line, text);
  PaintLinedHintSeparator(s, canvas, line, text);
}

// --- the item painter ---------------------------------------------------------------------------

namespace {

struct TGlyph {
  RECT g{};
  bool drawImage = false;
  bool present = false;  // an image or a bitmap of the item's own
};

TGlyph PlaceGlyph(IBarMenusIntf& menu, const TMenuItem& item, const RECT& r, bool xp) {
  TGlyph glyph;
  TImageList* images = menu.ImageList();
  const bool inList = images && item.ImageIndex() >= 0 && item.ImageIndex() < images->Count();
  glyph.drawImage = images && (inList || (item.Checked() && item.Bitmap().Empty()));
  glyph.present = glyph.drawImage || !item.Bitmap().Empty();
  RECT& g = glyph.g;
  g.left = r.left + 1;
  g.top = r.top + 1;
  if (!glyph.present) {
    if (images) {
      g.right = g.left + images->Width();
      g.bottom = g.top + images->Height();
    } else {
      g.left += 1;
      g.right = g.left + 8;
      g.bottom = r.bottom - (xp ? 2 : 3);
    }
    return glyph;
  }
  g.right = g.left + (glyph.drawImage ? images->Width() : 16);
  g.bottom = g.top + (glyph.drawImage ? images->Height() : 16);
  ::OffsetRect(&g, 0, ((r.bottom - r.top) - (g.bottom - g.top)) / 2 - 1);
  return glyph;
}

void PaintGlyphBackground(TCanvas& canvas, TBcPaintCache& cache, const TMenuItem& item, const RECT& r,
                          RECT& g, bool selected, bool xp, TColor brush) {
  if (xp) {
    RECT column = r;
    column.right = g.right + 5;
    if (item.Checked()) {
      if (selected) {
        canvas.BrushColor = clHighlight;
        canvas.FillRect(column);
      }
      ::OffsetRect(&g, 1, 0);
      if (!selected) {
        RECT frame = g;
        ::InflateRect(&frame, 1, 1);
        SelectGuard frameBrush(canvas.Handle(), ::GetStockObject(DC_BRUSH));
        const COLORREF old = ::SetDCBrushColor(canvas.Handle(), ColorToRgb(clHighlight));
        ::FrameRect(canvas.Handle(), &frame, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
        ::SetDCBrushColor(canvas.Handle(), old);
      } else {
        canvas.BrushColor = clMenu;
        canvas.FillRect(g);
      }
    } else {
      canvas.BrushColor = brush;
      canvas.FillRect(column);
      ::OffsetRect(&g, 1, 0);
    }
    return;
  }
  if (!item.Checked()) return;
  g.right += 1;
  g.bottom += 1;
  if (selected) {
    canvas.BrushColor = clBtnFace;
    canvas.FillRect(g);
  } else {
    ::FillRect(canvas.Handle(), &g, cache.DitherBrush());
  }
}

void PaintGlyph(IBarMenusIntf& menu, const TMenuItem& item, TCanvas& canvas, const TGlyph& glyph,
                bool xp) {
  const RECT& g = glyph.g;
  TImageList* images = menu.ImageList();
  if (glyph.drawImage) {
    if (item.ImageIndex() >= 0 && item.ImageIndex() < images->Count())
      images->Draw(canvas, g.left, g.top, item.ImageIndex(), item.Enabled());
    else
      DrawCheckMark(menu.PaintCache(), canvas, g, item.RadioItem(), xp);
    return;
  }
  const TBitmap& b = item.Bitmap();
  RECT dest = g;
  if (b.Width() < dest.right - dest.left) {
    dest.left += ((dest.right - dest.left) - b.Width()) / 2;
    dest.right = dest.left + b.Width();
  }
  if (b.Height() < dest.bottom - dest.top) {
    dest.top += ((dest.bottom - dest.top) - b.Height()) / 2;
    dest.bottom = dest.top + b.Height();
  }
  canvas.StretchDraw(dest, b);
}

}  // namespace

void PaintMenuItem(IBarMenusIntf& menu, const TMenuItem& item, TCanvas& canvas, RECT r,
                   TOwnerDrawState state) {
  HDC dc = canvas.Handle();
  const bool selected = (state & odSelected) != 0;
  const bool xp = menu.EffectiveStyle() == msWindowsXP;
  // 1-2. Colours; the background of an unselected item.
  const TColor brush = selected ? clHighlight : clMenu;
  const TColor text = selected ? clHighlightText : (state & odInactive) ? clGrayText : clMenuText;
  const COLORREF oldText = ::SetTextColor(dc, ColorToRgb(text));
  canvas.BrushColor = brush;
  if (!selected) canvas.FillRect(r);
  // 3-5. The glyph column.
  TGlyph glyph = PlaceGlyph(menu, item, r, xp);
  RECT& g = glyph.g;
  if (glyph.present) {
    PaintGlyphBackground(canvas, menu.PaintCache(), item, r, g, selected, xp, brush);
    PaintGlyph(menu, item, canvas, glyph, xp);
    if (item.Checked()) g.right -= 1, g.bottom -= 1;
  }
  // 6-9.
  g.left -= 1;
  g.top -= 1;
  g.right += 2;
  g.bottom += 2;
  if (!xp && glyph.present && (item.Checked() || selected))
    ::DrawEdge(dc, &g, item.Checked() ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  if (selected) {
    canvas.BrushColor = clHighlight;
    RECT fill = r;
    if (xp)
      fill.left = glyph.present ? g.right - 1 : r.left;
    else if (glyph.present)
      fill.left = g.right;
    canvas.FillRect(fill);
  }
  if (item.Checked() && !glyph.present)
    DrawCheckMark(menu.PaintCache(), canvas, g, item.RadioItem(), xp);
  // 10-12. The caption, centred vertically.
  r.left = g.right + (xp ? 4 : 2);
  r.right -= 1;
  const RECT saved = r;
  UINT flags = DT_LEFT | DT_EXPANDTABS | DT_SINGLELINE;
  if (state & odNoAccel) flags |= DT_HIDEPREFIX;
  SelectGuard font(dc, item.Default() ? menu.PaintCache().Bold(canvas.Font) : canvas.Font.Handle());
  const std::wstring caption = ToWide(item.Caption());
  RECT t = r;
  DrawMenuItemText(canvas, item, caption, t, flags | DT_CALCRECT | DT_NOCLIP, selected,
                   menu.IsRightToLeft());
  ::OffsetRect(&t, 0, ((r.bottom - r.top) - (t.bottom - t.top)) / 2);
  if (menu.IsRightToLeft()) {
    const int width = t.right - t.left;
    t.right = r.right;
    t.left = r.right - width;
  }
  DrawMenuItemText(canvas, item, caption, t, flags, selected, menu.IsRightToLeft());
  // 13. The shortcut, right-aligned 10 pixels before the item's end.
  std::string keys = ShortCutToText(item.ShortCut());
  if (!keys.empty()) {
    if (HasWinKey(item.ShortCut())) keys = "Win+" + keys;
    RECT k{t.right, t.top, saved.right - 10, t.bottom};
    if (menu.IsRightToLeft()) k = RECT{saved.left + 10, t.top, t.left, t.bottom};
    DrawMenuItemText(canvas, item, ToWide(keys), k, flags | DT_RIGHT, selected, false);
  }
  ::SetTextColor(dc, oldText);
}

}  // namespace mq
