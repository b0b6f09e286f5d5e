// TBcBarPopupMenu: a popup menu that draws all its items itself, with a gradient bar and a
// rotated caption along one edge, caption separators on gradient strips and faded lines, in
// the XP or the standard look. The settings objects (TBcBar, TBcSeparators and their parts)
// belong to their menu; the bar is painted once into a cached bitmap and then only copied.
// The painters are in shell/BcDrawModule_win.h, the arithmetic in shell/BcUtilities.h.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "gui/Graphics_win.h"
#include "gui/Menus_win.h"
#include "shell/BcFontUtilities_win.h"
#include "shell/BcUtilities.h"

namespace mq {

class TBcCustomBarPopupMenu;
class TBcPaintCache;

// A settings object made without its menu, or a gradient colour read by a wrong index.
class EBcBarMenuError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Colours and style of a gradient; index 0 of the colour pair is the start, 1 the end.
class TBcGradientBar : public TObject {
 public:
  explicit TBcGradientBar(TBcCustomBarPopupMenu* menu);
  TColor Border() const noexcept { return border_; }
  void SetBorder(TColor c);
  TGradientStyle GradientStyle() const noexcept { return style_; }
  void SetGradientStyle(TGradientStyle s);
  TColor GradientStart() const { return Color(0); }
  TColor GradientEnd() const { return Color(1); }
  void SetGradientStart(TColor c) { SetColor(0, c); }
  void SetGradientEnd(TColor c) { SetColor(1, c); }
  TColor Color(int index) const;
  void SetColor(int index, TColor c);
  void Assign(const TBcGradientBar& other);
  virtual bool ReadProperty(const std::string& name, const FormValue& v, TFormReader& reader);

 protected:
  TBcGradientBar(TBcCustomBarPopupMenu* menu, const char* className);
  void Changed();
  TBcCustomBarPopupMenu* menu_;

 private:
  TColor border_ = clNone;
  TGradientStyle style_ = gsVertical;
  TColor colors_[2] = {14204335, 0};
};

class TBcBarPicture : public TObject {
 public:
  explicit TBcBarPicture(TBcCustomBarPopupMenu* menu);
  bool Transparent() const noexcept { return transparent_; }
  void SetTransparent(bool on);
  // The picture, made on first use.
  TPicture& Picture();
  bool HasPicture() const { return picture_ && picture_->Graphic() && !picture_->Graphic()->Empty(); }
  int OffsetX = 0, OffsetY = 0;
  TVertAlignment VertAlignment = vaBottom;
  THorzAlignment HorzAlignment = haCenter;
  bool Visible = true;
  // Copies the settings and picture; Visible stays.
  void Assign(const TBcBarPicture& other);
  virtual bool ReadProperty(const std::string& name, const FormValue& v, TFormReader& reader);

 protected:
  TBcBarPicture(TBcCustomBarPopupMenu* menu, const char* className);
  TBcCustomBarPopupMenu* menu_;

 private:
  bool transparent_ = true;
  std::unique_ptr<TPicture> picture_;
};

class TBcBarBackPicture : public TBcBarPicture {
 public:
  explicit TBcBarBackPicture(TBcCustomBarPopupMenu* menu);
  TDrawStyle DrawStyle = dsNormal;
  // Copies as the picture does; DrawStyle stays.
  void Assign(const TBcBarBackPicture& other) { TBcBarPicture::Assign(other); }
  bool ReadProperty(const std::string& name, const FormValue& v, TFormReader& reader) override;
};

class TBcBarCaption : public TObject {
 public:
  explicit TBcBarCaption(TBcCustomBarPopupMenu* menu);
  std::string Caption;
  TFont Font;
  int OffsetY = 6;
  TVertAlignment Alignment = vaBottom;
  TDirection Direction = dDownToUp;
  TColor ShadowColor = clNone;
  TColor HighlightColor = clNone;
  int Depth = 1;
  bool Visible = true;
  // Copies everything but Visible.
  void Assign(const TBcBarCaption& other);
  bool ReadProperty(const std::string& name, const FormValue& v, TFormReader& reader);

 private:
  TBcCustomBarPopupMenu* menu_;
};

class TBcBar : public TBcGradientBar {
 public:
  explicit TBcBar(TBcCustomBarPopupMenu* menu);
  int Width() const noexcept { return width_; }
  void SetWidth(int w);
  bool Visible() const noexcept { return visible_; }
  // Switching the bar off lets its cached image go.
  void SetVisible(bool on);
  int Space = 1;
  TSide Side = sLeft;
  TBcBarPicture BarPicture;
  TBcBarBackPicture BarBackPicture;
  TBcBarCaption BarCaption;
  void Assign(const TBcBar& other);
  bool ReadProperty(const std::string& name, const FormValue& v, TFormReader& reader) override;

 private:
  int width_ = 32;
  bool visible_ = true;
};

class TBcSeparators : public TBcGradientBar {
 public:
  explicit TBcSeparators(TBcCustomBarPopupMenu* menu);
  TFont Font;
  bool UseSystemFont = true;
  TAlignment Alignment = TAlignment::taCenter;
  TSeparatorStyle SeparatorStyle = ssNormal;
  bool Fade = false;
  int FadeWidth = 32;
  TColor FadeColor = clBtnShadow;
  bool FlatLines = false;
  // Copies all but Fade, FadeWidth, FadeColor and FlatLines.
  void Assign(const TBcSeparators& other);
  bool ReadProperty(const std::string& name, const FormValue& v, TFormReader& reader) override;
};

// The per-menu bar cache.
class TBcBarProtected : public TObject {
 public:
  explicit TBcBarProtected(TBcCustomBarPopupMenu* menu);
  int BarHeight = 0;
  bool CacheValid = false;
  bool Measuring() const noexcept { return measuring_; }
  // Measuring again starts the height from 0.
  void SetMeasuring(bool on);
  TBitmap& BarBitmap() { return bitmap_; }
  // Lets the bitmap go and measures again.
  void Reset();
  // The last height above 0 the bar was drawn at: the fallback when a showing finds none.
  int LastGoodHeight = 0;

 private:
  bool measuring_ = true;
  TBitmap bitmap_;
};

// What the painters read from their menu.
class IBarMenusIntf {
 public:
  virtual ~IBarMenusIntf() = default;
  virtual const TBcSeparators& SeparatorSettings() const = 0;
  virtual TImageList* ImageList() const = 0;
  virtual bool IsRightToLeft() const = 0;
  virtual TBcMenuStyle EffectiveStyle() const = 0;
  virtual TBcPaintCache& PaintCache() = 0;
};

// A plug-in offered every item before the menu's own measuring and drawing.
class TBcBarMenusDrawModule : public TComponent {
 public:
  using TComponent::TComponent;
  ~TBcBarMenusDrawModule() override;
  TBcCustomBarPopupMenu* Menu() const noexcept { return menu_; }
  virtual void DrawMenuItem(TMenuItem& item, TCanvas& canvas, bool& defaultDraw, bool barVisible,
                            TOwnerDrawState state, RECT& itemRect) {}
  virtual void MeasureMenuItem(TMenuItem& item, TCanvas& canvas, bool& defaultMeasure, bool barVisible,
                               int& height, int& width) {}

 private:
  friend class TBcCustomBarPopupMenu;
  TBcCustomBarPopupMenu* menu_ = nullptr;
};

using TOnMeasureMenuItemEvent =
    std::function<void(TObject* Sender, TMenuItem* AMenuItem, TCanvas& ACanvas, int& Width, int& Height,
                       bool ABarVisible, bool& DefaultMeasure)>;
using TOnBeforeDrawBarEvent =
    std::function<void(TObject* Sender, TCanvas& ACanvas, const RECT& ARect, bool& DefaultDraw)>;
using TOnAdvancedBeforeDrawBarEvent =
    std::function<void(TObject* Sender, TCanvas& ACanvas, const RECT& ARect, TBarParts& DrawParts)>;
using TOnAfterDrawBarEvent = std::function<void(TObject* Sender, TCanvas& ACanvas, const RECT& ARect)>;

class TBcCustomBarPopupMenu : public TPopupMenu, public IBarMenusIntf {
 public:
  explicit TBcCustomBarPopupMenu(TComponent* owner);
  ~TBcCustomBarPopupMenu() override;

  TBcBar& Bar() noexcept { return *bar_; }
  void SetBar(const TBcBar& b) { bar_->Assign(b); }
  TBcSeparators& Separators() noexcept { return *separators_; }
  void SetSeparators(const TBcSeparators& s) { separators_->Assign(s); }
  TFont& MenuFont() noexcept { return menuFont_; }
  void SetMenuFont(const TFont& f) { menuFont_ = f; }
  TBcMenuStyle MenuStyle() const noexcept { return menuStyle_; }
  void SetMenuStyle(TBcMenuStyle s) { menuStyle_ = s; }
  bool UseSystemFont() const noexcept { return useSystemFont_; }
  void SetUseSystemFont(bool on) { useSystemFont_ = on; }
  TBcBarMenusDrawModule* DrawModule() const noexcept { return drawModule_; }
  void SetDrawModule(TBcBarMenusDrawModule* module);
  // Below 255 the popup window is made translucent where the platform allows it.
  BYTE Opacity() const noexcept { return opacity_; }
  void SetOpacity(BYTE alpha) noexcept { opacity_ = alpha; }

  TOnMeasureMenuItemEvent OnMeasureMenuItem;
  TOnBeforeDrawBarEvent OnBeforeDrawBar;
  TOnAdvancedBeforeDrawBarEvent OnAdvancedBeforeDrawBar;
  TOnAfterDrawBarEvent OnAfterDrawBar;

  // Each showing measures the bar's height anew, at the resolution of the screen it opens on.
  void Popup(int X, int Y) override;
  // The settings are design units (pixels at 96 dpi) until the menu is scaled: the bar's
  // width, the caption's offset, the fade width, the fonts and the separators' heights follow
  // the resolution of the screen the menu opens on.
  int PixelsPerInch() const noexcept { return dpi_; }
  void ScaleToDpi(int dpi);
  void MenuChanged(TMenuItem* source, bool rebuild) override;
  void Loaded() override;
  bool ReadProperty(const std::string& name, const FormValue& value, TFormReader& reader) override;

  // The measure and draw steps the items' handlers run.
  void MeasureMenuItem(TMenuItem& item, TCanvas& canvas, int& width, int& height);
  void DrawMenuItem(TMenuItem& item, TCanvas& canvas, const RECT& r, TOwnerDrawState state);

  TBcBarProtected& BarCache() noexcept { return *cache_; }
  // The popup window found at the last drawing (null when drawn elsewhere).
  HWND PopupWindow() const noexcept { return popupWindow_; }
  // How many times the bar image was painted in full.
  int BarPaintCount() const noexcept { return barPaints_; }
  // The bar's settings changed: its image is painted again at the next showing.
  void BarChanged();

  // IBarMenusIntf
  const TBcSeparators& SeparatorSettings() const override { return *separators_; }
  TImageList* ImageList() const override { return Images(); }
  bool IsRightToLeft() const override { return RightToLeft(); }
  TBcMenuStyle EffectiveStyle() const override;
  TBcPaintCache& PaintCache() override { return *paintCache_; }

 protected:
  void BeforeDestruction() override;

 private:
  void InstallHandlers(TMenuItem& item);
  void InstallHandlersOnAll(TMenuItem& parent);
  bool IsBarHere(const TMenuItem& item) const;
  int SeparatorCaptionWidth(const TMenuItem& item, TCanvas& canvas) const;
  void DrawBar(TCanvas& canvas, const RECT& r);
  void PaintBarImage();
  void PaintBarCaption(TCanvas& canvas, const RECT& barRect);
  void PaintBackPicture(TCanvas& canvas);

  // The cache comes first: setting up the bar and the separators already tells it.
  std::unique_ptr<TBcBarProtected> cache_;
  std::unique_ptr<TBcBar> bar_;
  std::unique_ptr<TBcSeparators> separators_;
  std::unique_ptr<TBcPaintCache> paintCache_;
  TRotatedFont captionFont_;
  TFont menuFont_;
  TBcMenuStyle menuStyle_ = msAuto;
  bool useSystemFont_ = true;
  TBcBarMenusDrawModule* drawModule_ = nullptr;
  BYTE opacity_ = 255;
  HWND popupWindow_ = nullptr;
  int barPaints_ = 0;
  int dpi_ = 96;
};

class TBcBarPopupMenu : public TBcCustomBarPopupMenu {
 public:
  using TBcCustomBarPopupMenu::TBcCustomBarPopupMenu;
};

// Registers TBcBarPopupMenu for form descriptions. Idempotent.
void RegisterShellMenuClasses();

}  // namespace mq
