#include "shell/BarMenus_win.h"

#include <algorithm>
#include <cstdio>

#include "base/Utf.h"
#include "gui/Dpi.h"
#include "gui/Dpi_win.h"
#include "shell/BcDrawModule_win.h"
#include "shell/BcLayeredWindows_win.h"

namespace mq {

namespace {

[[noreturn]] void NoOwner(const char* className) {
  char text[128];
  std::snprintf(text, sizeof text, "Tried to create %s with no owner.", className);
  throw EBcBarMenuError(text);
}

// "Prefix.Rest" -> Rest when the name starts with the prefix and a dot.
bool Under(const std::string& name, const char* prefix, std::string& rest) {
  const std::string p = std::string(prefix) + ".";
  if (name.compare(0, p.size(), p) != 0) return false;
  rest = name.substr(p.size());
  return true;
}

TGradientStyle AsGradientStyle(const FormValue& v) {
  return TFormReader::AsEnum<TGradientStyle>(v, {{"gsHorizontal", gsHorizontal},
                                                 {"gsVertical", gsVertical},
                                                 {"gsDiagonalLeftRight", gsDiagonalLeftRight},
                                                 {"gsDiagonalRightLeft", gsDiagonalRightLeft}});
}
TVertAlignment AsVertAlignment(const FormValue& v) {
  return TFormReader::AsEnum<TVertAlignment>(
      v, {{"vaTop", vaTop}, {"vaBottom", vaBottom}, {"vaMiddle", vaMiddle}});
}
THorzAlignment AsHorzAlignment(const FormValue& v) {
  return TFormReader::AsEnum<THorzAlignment>(
      v, {{"haLeft", haLeft}, {"haRight", haRight}, {"haCenter", haCenter}});
}
TAlignment AsAlignment(const FormValue& v) {
  return TFormReader::AsEnum<TAlignment>(v, {{"taLeftJustify", TAlignment::taLeftJustify},
                                             {"taRightJustify", TAlignment::taRightJustify},
                                             {"taCenter", TAlignment::taCenter}});
}

}  // namespace

// --- settings -----------------------------------------------------------------------------------

TBcGradientBar::TBcGradientBar(TBcCustomBarPopupMenu* menu) : TBcGradientBar(menu, "TBcGradientBar") {}

TBcGradientBar::TBcGradientBar(TBcCustomBarPopupMenu* menu, const char* className) : menu_(menu) {
  if (menu == nullptr) NoOwner(className);
}

void TBcGradientBar::Changed() { menu_->BarChanged(); }

void TBcGradientBar::SetBorder(TColor c) {
  if (c != border_) border_ = c, Changed();
}
void TBcGradientBar::SetGradientStyle(TGradientStyle s) {
  if (s != style_) style_ = s, Changed();
}

TColor TBcGradientBar::Color(int index) const {
  if (index != 0 && index != 1) {
    char text[64];
    std::snprintf(text, sizeof text, "Invalid property index %d.", index);
    throw EBcBarMenuError(text);
  }
  return colors_[index];
}

void TBcGradientBar::SetColor(int index, TColor c) {
  if (Color(index) != c) colors_[index] = c, Changed();
}

void TBcGradientBar::Assign(const TBcGradientBar& other) {
  border_ = other.border_;
  style_ = other.style_;
  colors_[0] = other.colors_[0];
  colors_[1] = other.colors_[1];
  Changed();
}

bool TBcGradientBar::ReadProperty(const std::string& name, const FormValue& v, TFormReader&) {
  if (name == "Border") return SetBorder(TFormReader::AsColor(v)), true;
  if (name == "GradientStyle") return SetGradientStyle(AsGradientStyle(v)), true;
  if (name == "GradientStart") return SetGradientStart(TFormReader::AsColor(v)), true;
  if (name == "GradientEnd") return SetGradientEnd(TFormReader::AsColor(v)), true;
  return false;
}

TBcBarPicture::TBcBarPicture(TBcCustomBarPopupMenu* menu) : TBcBarPicture(menu, "TBcBarPicture") {}

TBcBarPicture::TBcBarPicture(TBcCustomBarPopupMenu* menu, const char* className) : menu_(menu) {
  if (menu == nullptr) NoOwner(className);
}

void TBcBarPicture::SetTransparent(bool on) {
  if (on != transparent_) transparent_ = on, menu_->BarChanged();
}

TPicture& TBcBarPicture::Picture() {
  if (!picture_) {
    picture_ = std::make_unique<TPicture>();
    picture_->OnChange = [this](TObject*) {
      // The picture's own corner colour is its transparent colour.
      if (TGraphic* g = picture_->Graphic()) g->SetTransparent(transparent_);
      menu_->BarChanged();
    };
  }
  return *picture_;
}

void TBcBarPicture::Assign(const TBcBarPicture& other) {
  transparent_ = other.transparent_;
  OffsetX = other.OffsetX;
  OffsetY = other.OffsetY;
  VertAlignment = other.VertAlignment;
  HorzAlignment = other.HorzAlignment;
  if (other.picture_)
    Picture().Assign(*other.picture_);
  else if (picture_)
    picture_->SetGraphic(static_cast<const TGraphic*>(nullptr));
  menu_->BarChanged();
}

bool TBcBarPicture::ReadProperty(const std::string& name, const FormValue& v, TFormReader&) {
  if (name == "Transparent") return SetTransparent(TFormReader::AsBool(v)), true;
  if (name == "OffsetX") return OffsetX = TFormReader::AsInt(v), true;
  if (name == "OffsetY") return OffsetY = TFormReader::AsInt(v), true;
  if (name == "VertAlignment") return VertAlignment = AsVertAlignment(v), true;
  if (name == "HorzAlignment") return HorzAlignment = AsHorzAlignment(v), true;
  if (name == "Visible") return Visible = TFormReader::AsBool(v), true;
  if (name == "Picture.Data") {
    if (v.kind != FormValue::Kind::Binary) TFormReader::Fail(v, "Binary data expected");
    return Picture().LoadFromData(v.binary), true;
  }
  return false;
}

TBcBarBackPicture::TBcBarBackPicture(TBcCustomBarPopupMenu* menu)
    : TBcBarPicture(menu, "TBcBarBackPicture") {
  VertAlignment = vaTop;
  HorzAlignment = haLeft;
}

bool TBcBarBackPicture::ReadProperty(const std::string& name, const FormValue& v, TFormReader& reader) {
  if (name == "DrawStyle")
    return DrawStyle = TFormReader::AsEnum<TDrawStyle>(
               v, {{"dsNormal", dsNormal}, {"dsTile", dsTile}, {"dsStretch", dsStretch}}),
           true;
  return TBcBarPicture::ReadProperty(name, v, reader);
}

TBcBarCaption::TBcBarCaption(TBcCustomBarPopupMenu* menu) : menu_(menu) {
  if (menu == nullptr) NoOwner("TBcBarCaption");
  Font.SetName("Tahoma");
  Font.SetSize(14);
  Font.SetColor(clWhite);
  Font.SetStyle(fsBold | fsItalic);
}

void TBcBarCaption::Assign(const TBcBarCaption& other) {
  Caption = other.Caption;
  Font = other.Font;
  OffsetY = other.OffsetY;
  Alignment = other.Alignment;
  Direction = other.Direction;
  ShadowColor = other.ShadowColor;
  HighlightColor = other.HighlightColor;
  Depth = other.Depth;
  menu_->BarChanged();
}

bool TBcBarCaption::ReadProperty(const std::string& name, const FormValue& v, TFormReader& reader) {
  std::string rest;
  if (Under(name, "Font", rest)) return Font.ReadProperty(rest, v, reader);
  if (name == "Caption") return Caption = TFormReader::AsString(v), true;
  if (name == "OffsetY") return OffsetY = TFormReader::AsInt(v), true;
  if (name == "Alignment") return Alignment = AsVertAlignment(v), true;
  if (name == "Direction")
    return Direction =
               TFormReader::AsEnum<TDirection>(v, {{"dDownToUp", dDownToUp}, {"dUpToDown", dUpToDown}}),
           true;
  if (name == "ShadowColor") return ShadowColor = TFormReader::AsColor(v), true;
  if (name == "HighlightColor") return HighlightColor = TFormReader::AsColor(v), true;
  if (name == "Depth") return Depth = TFormReader::AsInt(v), true;
  if (name == "Visible") return Visible = TFormReader::AsBool(v), true;
  return false;
}

TBcBar::TBcBar(TBcCustomBarPopupMenu* menu)
    : TBcGradientBar(menu, "TBcBar"), BarPicture(menu), BarBackPicture(menu), BarCaption(menu) {}

void TBcBar::SetWidth(int w) {
  if (w != width_) width_ = std::max(w, 0), Changed();
}

void TBcBar::SetVisible(bool on) {
  if (!on) menu_->BarCache().Reset(), menu_->BarCache().CacheValid = false;
  visible_ = on;
}

void TBcBar::Assign(const TBcBar& other) {
  TBcGradientBar::Assign(other);
  width_ = other.width_;
  visible_ = other.visible_;
  Space = other.Space;
  Side = other.Side;
  BarPicture.Assign(other.BarPicture);
  BarBackPicture.Assign(other.BarBackPicture);
  BarCaption.Assign(other.BarCaption);
}

bool TBcBar::ReadProperty(const std::string& name, const FormValue& v, TFormReader& reader) {
  std::string rest;
  if (Under(name, "BarCaption", rest)) return BarCaption.ReadProperty(rest, v, reader);
  if (Under(name, "BarPicture", rest)) return BarPicture.ReadProperty(rest, v, reader);
  if (Under(name, "BarBackPicture", rest)) return BarBackPicture.ReadProperty(rest, v, reader);
  if (name == "Width") return SetWidth(TFormReader::AsInt(v)), true;
  if (name == "Visible") return SetVisible(TFormReader::AsBool(v)), true;
  if (name == "Space") return Space = TFormReader::AsInt(v), true;
  if (name == "Side")
    return Side = TFormReader::AsEnum<TSide>(v, {{"sLeft", sLeft}, {"sRight", sRight}}), true;
  return TBcGradientBar::ReadProperty(name, v, reader);
}

TBcSeparators::TBcSeparators(TBcCustomBarPopupMenu* menu) : TBcGradientBar(menu, "TBcSeparators") {
  SetGradientStart(clGray);
  SetGradientEnd(clSilver);
  SetGradientStyle(gsHorizontal);
}

void TBcSeparators::Assign(const TBcSeparators& other) {
  TBcGradientBar::Assign(other);
  Font = other.Font;
  UseSystemFont = other.UseSystemFont;
  Alignment = other.Alignment;
  SeparatorStyle = other.SeparatorStyle;
}

bool TBcSeparators::ReadProperty(const std::string& name, const FormValue& v, TFormReader& reader) {
  std::string rest;
  if (Under(name, "Font", rest)) return Font.ReadProperty(rest, v, reader);
  if (name == "UseSystemFont") return UseSystemFont = TFormReader::AsBool(v), true;
  if (name == "Alignment") return Alignment = AsAlignment(v), true;
  if (name == "SeparatorStyle")
    return SeparatorStyle = TFormReader::AsEnum<TSeparatorStyle>(
               v, {{"ssNormal", ssNormal}, {"ssShortLine", ssShortLine}, {"ssCaption", ssCaption}}),
           true;
  if (name == "Fade") return Fade = TFormReader::AsBool(v), true;
  if (name == "FadeWidth") return FadeWidth = TFormReader::AsInt(v), true;
  if (name == "FadeColor") return FadeColor = TFormReader::AsColor(v), true;
  if (name == "FlatLines") return FlatLines = TFormReader::AsBool(v), true;
  return TBcGradientBar::ReadProperty(name, v, reader);
}

TBcBarProtected::TBcBarProtected(TBcCustomBarPopupMenu* menu) {
  if (menu == nullptr) NoOwner("TBcBarProtected");
}

void TBcBarProtected::SetMeasuring(bool on) {
  measuring_ = on;
  if (on) BarHeight = 0;
}

void TBcBarProtected::Reset() {
  bitmap_.Release();
  SetMeasuring(true);
}

TBcBarMenusDrawModule::~TBcBarMenusDrawModule() {
  if (menu_) menu_->SetDrawModule(nullptr);
}

// --- the menu -----------------------------------------------------------------------------------

TBcCustomBarPopupMenu::TBcCustomBarPopupMenu(TComponent* owner)
    : TPopupMenu(owner),
      cache_(std::make_unique<TBcBarProtected>(this)),
      bar_(std::make_unique<TBcBar>(this)),
      separators_(std::make_unique<TBcSeparators>(this)),
      paintCache_(std::make_unique<TBcPaintCache>()) {
  menuFont_.SetName("MS Sans Serif");
  menuFont_.SetHeight(-11);
  SetOwnerDraw(true);
}

TBcCustomBarPopupMenu::~TBcCustomBarPopupMenu() = default;

void TBcCustomBarPopupMenu::BeforeDestruction() {
  SetDrawModule(nullptr);
  TPopupMenu::BeforeDestruction();
}

void TBcCustomBarPopupMenu::SetDrawModule(TBcBarMenusDrawModule* module) {
  if (module == drawModule_) return;
  if (drawModule_) drawModule_->menu_ = nullptr;
  drawModule_ = module;
  if (drawModule_) drawModule_->menu_ = this;
  cache_->Reset();
  cache_->CacheValid = false;
}

TBcMenuStyle TBcCustomBarPopupMenu::EffectiveStyle() const {
  if (menuStyle_ != msAuto) return menuStyle_;
  // The version the system reports for itself (the manifest declares the versions it knows).
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  ::GetVersionExW(&v);
#pragma GCC diagnostic pop
  return EffectiveMenuStyle(menuStyle_, v.dwPlatformId == VER_PLATFORM_WIN32_NT, int(v.dwMajorVersion),
                            int(v.dwMinorVersion));
}

void TBcCustomBarPopupMenu::BarChanged() { cache_->CacheValid = false; }

void TBcCustomBarPopupMenu::ScaleToDpi(int dpi) {
  if (dpi <= 0 || dpi == dpi_) return;
  bar_->SetWidth(ScaleDpi(bar_->Width(), dpi, dpi_));
  bar_->BarCaption.OffsetY = ScaleDpi(bar_->BarCaption.OffsetY, dpi, dpi_);
  separators_->FadeWidth = ScaleDpi(separators_->FadeWidth, dpi, dpi_);
  bar_->BarCaption.Font.SetPixelsPerInch(dpi);
  separators_->Font.SetPixelsPerInch(dpi);
  menuFont_.SetPixelsPerInch(dpi);
  dpi_ = dpi;
  MenuChanged(nullptr, true);  // measured again
}

void TBcCustomBarPopupMenu::Popup(int X, int Y) {
  ScaleToDpi(DpiAtPoint(POINT{X, Y}));
  cache_->SetMeasuring(true);
  TPopupMenu::Popup(X, Y);
}

void TBcCustomBarPopupMenu::InstallHandlers(TMenuItem& item) {
  if (Loading() || item.HandlersInstalledBy() == this) return;
  item.InstallHandlers(
      this,
      [this](TObject* sender, TCanvas& canvas, int& width, int& height) {
        MeasureMenuItem(*static_cast<TMenuItem*>(sender), canvas, width, height);
      },
      [this](TObject* sender, TCanvas& canvas, const RECT& r, TOwnerDrawState state) {
        DrawMenuItem(*static_cast<TMenuItem*>(sender), canvas, r, state);
      });
}

void TBcCustomBarPopupMenu::InstallHandlersOnAll(TMenuItem& parent) {
  for (int i = 0; i < parent.Count(); ++i) {
    InstallHandlers(*parent.Items(i));
    InstallHandlersOnAll(*parent.Items(i));
  }
}

void TBcCustomBarPopupMenu::MenuChanged(TMenuItem* source, bool rebuild) {
  if (!Updating()) {
    if (source)
      InstallHandlers(*source), InstallHandlersOnAll(*source);
    else
      InstallHandlersOnAll(Items());
  }
  if (source == nullptr || source->IsTopLevel()) {
    cache_->SetMeasuring(true);
    cache_->CacheValid = false;
  }
  TPopupMenu::MenuChanged(source, rebuild);
}

void TBcCustomBarPopupMenu::Loaded() {
  TPopupMenu::Loaded();
  SetOwnerDraw(true);
  InstallHandlersOnAll(Items());
}

bool TBcCustomBarPopupMenu::IsBarHere(const TMenuItem& item) const {
  if (!bar_->Visible() || !item.IsTopLevel()) return false;
  bool columnBreak = false;
  const TMenuItem& parent = *item.Parent();
  for (int i = 0; i < parent.Count(); ++i) {
    const TMenuItem* sibling = parent.Items(i);
    if (sibling->Visible() && sibling->Break() != TMenuBreak::mbNone) columnBreak = true;
    if (sibling == &item) break;
  }
  return BarHere(true, true, columnBreak);
}

int TBcCustomBarPopupMenu::SeparatorCaptionWidth(const TMenuItem& item, TCanvas& canvas) const {
  const std::wstring text = L" " + ToWide(item.Hint()) + L" ";
  SelectGuard font(canvas.Handle(),
                   separators_->UseSystemFont ? canvas.Font.Handle() : separators_->Font.Handle());
  RECT r{0, 0, 0, 0};
  ::DrawTextW(canvas.Handle(), text.c_str(), int(text.size()), &r,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  return (r.right - r.left) + (separators_->SeparatorStyle == ssCaption ? 8 : 48);
}

void TBcCustomBarPopupMenu::MeasureMenuItem(TMenuItem& item, TCanvas& canvas, int& width, int& height) {
  const bool xp = EffectiveStyle() == msWindowsXP;
  const bool barHere = IsBarHere(item);
  if (item.IsLine()) {
    const bool hint = item.Enabled() && !item.Hint().empty();
    height = ScaleDpi(SeparatorHeight(hint, xp), dpi_);
    // A caption separator is at least as wide as its caption, with room for lines beside it.
    if (hint) width = std::max(width, SeparatorCaptionWidth(item, canvas));
  } else {
    TBcItemMeasure m;
    m.width = width;
    m.height = height;
    m.useSystemFont = useSystemFont_;
    m.xpStyle = xp;
    if (!useSystemFont_) {
      canvas.Font = menuFont_;
      std::string text = item.Caption();
      const std::string keys = ShortCutToText(item.ShortCut());
      if (!keys.empty()) text += keys;
      const std::wstring w = ToWide(text);
      SelectGuard font(canvas.Handle(), canvas.Font.Handle());
      RECT r{0, 0, 0, 0};
      ::DrawTextW(canvas.Handle(), w.c_str(), int(w.size()), &r,
                  DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
      m.textWidth = r.right - r.left;
      m.textHeight = r.bottom - r.top;
    }
    m.winKey = HasWinKey(item.ShortCut());
    if (m.winKey) m.winPlusWidth = canvas.TextWidth("Win+");
    m.noGlyph = Images() == nullptr && item.Bitmap().Empty();
    MeasureBarMenuItem(m);
    width = m.width;
    height = m.height;
  }
  bool defaultMeasure = true;
  if (OnMeasureMenuItem) OnMeasureMenuItem(this, &item, canvas, width, height, barHere, defaultMeasure);
  if (defaultMeasure && drawModule_)
    drawModule_->MeasureMenuItem(item, canvas, defaultMeasure, barHere, height, width);
  if (defaultMeasure && separators_->SeparatorStyle == ssShortLine) width += 10;
  width = WidthWithBar(width, barHere, bar_->Width(), bar_->Space);
  if (barHere && cache_->Measuring() && item.Visible()) cache_->BarHeight += height;
}

void TBcCustomBarPopupMenu::DrawMenuItem(TMenuItem& item, TCanvas& canvas, const RECT& r,
                                         TOwnerDrawState state) {
  popupWindow_ = ::WindowFromDC(canvas.Handle());
  ApplyOpacity(popupWindow_, opacity_);
  const bool barHere = IsBarHere(item);
  const BcRect placed = ItemRectBesideBar(BcRect{r.left, r.top, r.right, r.bottom}, barHere,
                                          bar_->Width(), bar_->Space, bar_->Side);
  RECT itemRect{placed.left, placed.top, placed.right, placed.bottom};
  if (!useSystemFont_) canvas.Font = menuFont_;
  bool defaultDraw = true;
  if (drawModule_) drawModule_->DrawMenuItem(item, canvas, defaultDraw, barHere, state, itemRect);
  if (defaultDraw) {
    if (separators_->SeparatorStyle == ssShortLine) {
      itemRect.right -= 10;
      if (!item.IsLine())
        canvas.FillRect(RECT{itemRect.right, itemRect.top, itemRect.right + 10, itemRect.bottom});
    }
    if (item.IsLine())
      PaintSeparator(*this, item, canvas, itemRect);
    else
      PaintMenuItem(*this, item, canvas, itemRect, state);
  }
  if (barHere) DrawBar(canvas, r);
}

void TBcCustomBarPopupMenu::DrawBar(TCanvas& canvas, const RECT& r) {
  TBcBarProtected& cache = *cache_;
  if (cache.Measuring()) {
    RECT client{};
    if (popupWindow_ && ::GetClientRect(popupWindow_, &client))
      cache.BarHeight = client.bottom - client.top;
    cache.SetMeasuring(false);
  }
  // A showing that found no height (the platform measures a menu only once) keeps the last
  // good one; a bar 0 pixels high is never made.
  const int height = UsableBarHeight(cache.BarHeight, cache.LastGoodHeight);
  if (height <= 0 || bar_->Width() <= 0) return;
  cache.BarHeight = height;
  cache.LastGoodHeight = height;
  TBitmap& bitmap = cache.BarBitmap();
  if (bitmap.Width() != bar_->Width() || bitmap.Height() != height) {
    bitmap.SetSize(bar_->Width(), height);
    cache.CacheValid = false;
  }
  const int x = r.left + BarColumnLeft(r.right - r.left, bar_->Width(), bar_->Side);
  if (cache.CacheValid) {
    const int bottom = std::min<int>(r.bottom, height);
    if (bottom > r.top)
      ::BitBlt(canvas.Handle(), x, r.top, bar_->Width(), bottom - r.top, bitmap.Dc(), 0, r.top, SRCCOPY);
    return;
  }
  PaintBarImage();
  ::BitBlt(canvas.Handle(), x, 0, bitmap.Width(), bitmap.Height(), bitmap.Dc(), 0, 0, SRCCOPY);
  const RECT barRect{0, 0, bitmap.Width(), bitmap.Height()};
  if (OnAfterDrawBar) OnAfterDrawBar(this, bitmap.Canvas(), barRect);
  cache.CacheValid = true;
}

void TBcCustomBarPopupMenu::PaintBarImage() {
  TBitmap& bitmap = cache_->BarBitmap();
  TCanvas& canvas = bitmap.Canvas();
  const RECT barRect{0, 0, bitmap.Width(), bitmap.Height()};
  ++barPaints_;
  bool defaultDraw = true;
  if (OnBeforeDrawBar) OnBeforeDrawBar(this, canvas, barRect, defaultDraw);
  if (!defaultDraw) return;
  TBarParts parts = BarPartBit(bpGradient);
  if (bar_->BarPicture.Visible) parts |= BarPartBit(bpPicture);
  if (bar_->BarBackPicture.Visible) parts |= BarPartBit(bpBackPicture);
  if (bar_->BarCaption.Visible) parts |= BarPartBit(bpCaption);
  if (OnAdvancedBeforeDrawBar) OnAdvancedBeforeDrawBar(this, canvas, barRect, parts);
  TBcBarBackPicture& back = bar_->BarBackPicture;
  const bool covered = !back.Transparent() && back.HasPicture() && back.DrawStyle != dsNormal;
  if ((parts & BarPartBit(bpGradient)) && !covered)
    GradientFillBitmap(bitmap, barRect, bar_->GradientStyle(), bar_->GradientStart(),
                       bar_->GradientEnd());
  if (parts & BarPartBit(bpBackPicture)) PaintBackPicture(canvas);
  if (bar_->Border() != clNone) {
    SelectGuard brush(canvas.Handle(), ::GetStockObject(DC_BRUSH));
    ::SetDCBrushColor(canvas.Handle(), ColorToRgb(bar_->Border()));
    ::FrameRect(canvas.Handle(), &barRect, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
  }
  TBcBarPicture& picture = bar_->BarPicture;
  if ((parts & BarPartBit(bpPicture)) && picture.HasPicture()) {
    const TGraphic& g = *picture.Picture().Graphic();
    const TBcPoint p =
        BarPicturePosition(g.Width(), g.Height(), bitmap.Width(), bitmap.Height(), picture.OffsetX,
                           picture.OffsetY, picture.HorzAlignment, picture.VertAlignment);
    canvas.Draw(p.x, p.y, g);
  }
  if (parts & BarPartBit(bpCaption)) PaintBarCaption(canvas, barRect);
  ::GdiFlush();
}

void TBcCustomBarPopupMenu::PaintBackPicture(TCanvas& canvas) {
  TBcBarBackPicture& back = bar_->BarBackPicture;
  if (!back.HasPicture()) return;
  const TGraphic& g = *back.Picture().Graphic();
  const int bw = cache_->BarBitmap().Width(), bh = cache_->BarBitmap().Height();
  if (back.DrawStyle == dsStretch) return canvas.StretchDraw(RECT{0, 0, bw, bh}, g);
  if (back.DrawStyle == dsNormal) {
    const TBcPoint p = BarPicturePosition(g.Width(), g.Height(), bw, bh, back.OffsetX, back.OffsetY,
                                          back.HorzAlignment, back.VertAlignment);
    return canvas.Draw(p.x, p.y, g);
  }
  auto shift = [](int alignment, int spare) {
    return alignment == 0 ? 0 : alignment == 1 ? spare : spare / 2;
  };
  const int x0 = TileStart(back.OffsetX, shift(int(back.HorzAlignment), bw - g.Width()), g.Width());
  const int y0 = TileStart(back.OffsetY, shift(int(back.VertAlignment), bh - g.Height()), g.Height());
  for (int y = y0; y <= bh; y += g.Height())
    for (int x = x0; x <= bw; x += g.Width()) canvas.Draw(x, y, g);
}

void TBcCustomBarPopupMenu::PaintBarCaption(TCanvas& canvas, const RECT& barRect) {
  const TBcBarCaption& c = bar_->BarCaption;
  if (c.Caption.empty()) return;
  HDC dc = canvas.Handle();
  SelectGuard font(dc, captionFont_.For(c.Font, c.Direction));
  const std::wstring text = ToWide(c.Caption);
  SIZE extent{};
  ::GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &extent);
  int pictureHeight = 0;
  if (bar_->BarPicture.HasPicture() && bar_->BarPicture.VertAlignment == vaBottom)
    pictureHeight = bar_->BarPicture.Picture().Height();
  const TBcPoint p = BarCaptionOrigin(barRect.right, barRect.bottom, extent.cx, extent.cy, c.Alignment,
                                      c.Direction, c.OffsetY, pictureHeight);
  const RECT clip{barRect.left, barRect.top, barRect.right, barRect.bottom + 1};
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColor = ::GetTextColor(dc);
  auto out = [&](int x, int y, TColor color) {
    ::SetTextColor(dc, ColorToRgb(color));
    ::ExtTextOutW(dc, x, y, ETO_CLIPPED, &clip, text.c_str(), UINT(text.size()), nullptr);
  };
  if (c.HighlightColor != clNone) out(p.x - c.Depth, p.y + c.Depth, c.HighlightColor);
  if (c.ShadowColor != clNone) out(p.x + c.Depth, p.y - c.Depth, c.ShadowColor);
  out(p.x, p.y, c.Font.Color());
  ::SetTextColor(dc, oldColor);
  ::SetBkMode(dc, oldMode);
}

bool TBcCustomBarPopupMenu::ReadProperty(const std::string& name, const FormValue& v,
                                         TFormReader& reader) {
  std::string rest;
  if (Under(name, "Bar", rest)) return bar_->ReadProperty(rest, v, reader);
  if (Under(name, "Separators", rest)) return separators_->ReadProperty(rest, v, reader);
  if (Under(name, "MenuFont", rest)) return menuFont_.ReadProperty(rest, v, reader);
  if (name == "MenuStyle")
    return SetMenuStyle(TFormReader::AsEnum<TBcMenuStyle>(
               v, {{"msAuto", msAuto}, {"msStandard", msStandard}, {"msWindowsXP", msWindowsXP}})),
           true;
  if (name == "UseSystemFont") return SetUseSystemFont(TFormReader::AsBool(v)), true;
  return TPopupMenu::ReadProperty(name, v, reader);
}

void RegisterShellMenuClasses() {
  RegisterMenuClasses();
  RegisterComponentClass<TBcBarPopupMenu>("TBcBarPopupMenu");
}

}  // namespace mq
