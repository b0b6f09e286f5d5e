// Menus on real Win32 menus: TMenuItem (a tree of items, each owning its sub-items),
// TMenu and TPopupMenu, and TImageList for their pictures.
//
// Every item is owner-drawn and also carries its text (MIIM_STRING), so keyboard navigation
// and screen readers see the real captions. A popup menu keeps one platform menu, built from
// the items on first use and again after any change; a hidden window of its own owns it while
// it is open and hands WM_MEASUREITEM, WM_DRAWITEM, WM_COMMAND, WM_MENUCHAR and WM_MENUSELECT
// to the items. Captions are literal text: an '&' is drawn and read as itself.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/UniqueHandle.h"
#include "gui/Classes.h"
#include "gui/Graphics_win.h"
#include "gui/Menus.h"

namespace mq {

class TMenu;

// The state of an item being drawn (from DRAWITEMSTRUCT::itemState).
using TOwnerDrawState = unsigned;
constexpr TOwnerDrawState odSelected = 1, odGrayed = 2, odDisabled = 4, odChecked = 8, odFocused = 16,
                          odDefault = 32, odInactive = 64, odNoAccel = 128, odNoFocusRect = 256,
                          odHotLight = 512;
TOwnerDrawState OwnerDrawStateFrom(UINT itemState) noexcept;

enum class TMenuBreak { mbNone, mbBreak, mbBarBreak };

using TMenuMeasureItemEvent =
    std::function<void(TObject* Sender, TCanvas& ACanvas, int& Width, int& Height)>;
using TMenuDrawItemEvent =
    std::function<void(TObject* Sender, TCanvas& ACanvas, const RECT& ARect, bool Selected)>;
using TAdvancedMenuDrawItemEvent =
    std::function<void(TObject* Sender, TCanvas& ACanvas, const RECT& ARect, TOwnerDrawState State)>;

// A list of equally sized pictures (a comctl32 image list with a mask).
class TImageList : public TComponent {
 public:
  explicit TImageList(TComponent* owner, int width = 16, int height = 16);
  int Width() const noexcept { return width_; }
  int Height() const noexcept { return height_; }
  int Count() const;
  // Adds a picture of the list's size; pixels of `maskColor` are transparent. Returns its index.
  int AddMasked(const TBitmap& image, TColor maskColor);
  // Draws picture `index` at (x, y); a disabled picture is drawn greyed.
  void Draw(TCanvas& canvas, int x, int y, int index, bool enabled = true) const;
  HIMAGELIST Handle() const noexcept { return list_.Get(); }

 private:
  struct ImageListTraits {
    using Handle = HIMAGELIST;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::ImageList_Destroy(h); }
  };
  int width_, height_;
  UniqueHandle<ImageListTraits> list_;
};

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* owner);
  ~TMenuItem() override;

  const std::string& Caption() const noexcept { return caption_; }
  void SetCaption(const std::string& c);
  const std::string& Hint() const noexcept { return hint_; }
  void SetHint(const std::string& h);
  bool Enabled() const noexcept { return enabled_; }
  void SetEnabled(bool on);
  bool Checked() const noexcept { return checked_; }
  void SetChecked(bool on);
  bool RadioItem() const noexcept { return radioItem_; }
  void SetRadioItem(bool on);
  bool Default() const noexcept { return default_; }
  void SetDefault(bool on);
  bool Visible() const noexcept { return visible_; }
  void SetVisible(bool on);
  int ImageIndex() const noexcept { return imageIndex_; }
  void SetImageIndex(int i);
  TShortCut ShortCut() const noexcept { return shortCut_; }
  void SetShortCut(TShortCut s);
  TMenuBreak Break() const noexcept { return break_; }
  void SetBreak(TMenuBreak b);
  // The item's own picture (empty unless one is given); changing it in place is followed
  // by BitmapChanged().
  TBitmap& Bitmap() noexcept { return bitmap_; }
  const TBitmap& Bitmap() const noexcept { return bitmap_; }
  void SetBitmap(const TBitmap& b);
  void BitmapChanged() { Changed(true); }
  // A separator: the caption "-".
  bool IsLine() const noexcept { return caption_ == "-"; }

  // --- The sub-items. An item added here is owned by this item from then on (it leaves the
  // owner it had), and Delete and Clear free them.
  int Count() const noexcept { return int(items_.size()); }
  TMenuItem* Items(int index) const { return items_.at(std::size_t(index)); }
  int IndexOf(const TMenuItem* item) const noexcept;
  void Add(TMenuItem* item) { Insert(Count(), item); }
  void Insert(int index, TMenuItem* item);
  void Delete(int index);
  void Clear();
  // The item that holds this one (null for a menu's root item and for a loose item).
  TMenuItem* Parent() const noexcept { return parent_; }
  // The menu this item belongs to, through its parents.
  TMenu* GetParentMenu() const noexcept;
  // The item sits directly in its menu's root (not in a submenu).
  bool IsTopLevel() const noexcept { return parent_ != nullptr && parent_->parent_ == nullptr; }

  // Runs OnClick.
  virtual void Click();

  TNotifyEvent OnClick;
  TMenuMeasureItemEvent OnMeasureItem;
  TMenuDrawItemEvent OnDrawItem;
  TAdvancedMenuDrawItemEvent OnAdvancedDrawItem;

  // Measure and draw handlers put in by a menu: a handler of the item's own is kept, and the
  // menu's go in only where the item has none. `installer` marks who put them in.
  void InstallHandlers(const void* installer, const TMenuMeasureItemEvent& measure,
                       const TAdvancedMenuDrawItemEvent& draw);
  const void* HandlersInstalledBy() const noexcept { return installer_; }

  bool ReadProperty(const std::string& name, const FormValue& value, TFormReader& reader) override;
  void SetParentComponent(TComponent* parent) override;

 protected:
  friend class TMenu;
  // Tells the menu that this item changed; `rebuild` when the platform menu must change.
  void Changed(bool rebuild);

 private:
  std::string caption_, hint_;
  bool enabled_ = true, checked_ = false, radioItem_ = false, default_ = false, visible_ = true;
  int imageIndex_ = -1;
  TShortCut shortCut_ = scNone;
  TMenuBreak break_ = TMenuBreak::mbNone;
  TBitmap bitmap_;
  TMenuItem* parent_ = nullptr;
  TMenu* menu_ = nullptr;  // set on a menu's root item only
  std::vector<TMenuItem*> items_;
  const void* installer_ = nullptr;
};

class TMenu : public TComponent {
 public:
  explicit TMenu(TComponent* owner);
  ~TMenu() override;

  // The root item; the menu's items are its sub-items.
  TMenuItem& Items() noexcept { return *items_; }
  const TMenuItem& Items() const noexcept { return *items_; }
  TImageList* Images() const noexcept { return images_; }
  void SetImages(TImageList* list);
  bool OwnerDraw() const noexcept { return ownerDraw_; }
  void SetOwnerDraw(bool on);
  bool RightToLeft() const noexcept { return rightToLeft_; }
  void SetRightToLeft(bool on);

  // Changes between these two are told once, at the end, as a change of the whole menu.
  void BeginUpdate() noexcept { ++updateCount_; }
  void EndUpdate();
  bool Updating() const noexcept { return updateCount_ > 0; }

  // An item changed (null: the whole menu). The platform menu is made again before it is
  // next shown. Derived menus react and then call this.
  virtual void MenuChanged(TMenuItem* source, bool rebuild);
  // How many times the platform menu was built (tests see a rebuild through it).
  int BuildCount() const noexcept { return buildCount_; }

  bool ReadProperty(const std::string& name, const FormValue& value, TFormReader& reader) override;

  TNotifyEvent OnChange;

  // The platform menu, built from the items when it is missing or out of date.
  HMENU Handle();
  // The item the platform knows by this command number (null when there is none).
  TMenuItem* FindItem(UINT command) const;
  // What the owner window does with the platform's messages about the items (a test can
  // hand them a memory DC).
  void MeasureItem(MEASUREITEMSTRUCT& mis);
  void DrawItem(const DRAWITEMSTRUCT& dis);
  LRESULT MenuChar(WPARAM wp, LPARAM lp);
  void MenuSelect(WPARAM wp, LPARAM lp);
  // The item the user is on (WM_MENUSELECT), null when none.
  TMenuItem* SelectedItem() const noexcept { return selected_; }

 protected:
  friend class TMenuItem;
  // An item is being freed: nothing may refer to it any more.
  void ItemGone(TMenuItem* item) noexcept;

 private:
  struct MenuTraits {
    using Handle = HMENU;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::DestroyMenu(h); }
  };
  void Build(HMENU menu, TMenuItem& parent);
  void DefaultMeasure(TMenuItem& item, TCanvas& canvas, int& width, int& height);
  void DefaultDraw(TMenuItem& item, TCanvas& canvas, const RECT& r, TOwnerDrawState state);
  TFont& MenuFont();
  // The item whose sub-items the platform menu shows (the root for the menu itself).
  TMenuItem* ListOf(HMENU menu) const;

  Owned<TMenuItem> items_;
  TImageList* images_ = nullptr;
  bool ownerDraw_ = true;
  bool rightToLeft_ = false;
  int updateCount_ = 0;
  UniqueHandle<MenuTraits> handle_;
  bool stale_ = true;
  int buildCount_ = 0;
  std::map<UINT, TMenuItem*> commands_;
  std::map<HMENU, TMenuItem*> submenus_;
  TMenuItem* selected_ = nullptr;
  std::unique_ptr<TFont> menuFont_;
  // Kept between messages so that their fonts are made once, not for every item.
  TCanvas measureCanvas_, drawCanvas_;
};

// Where a popup menu opens relative to its point.
enum class TPopupAlignment { paLeft, paRight, paCenter };

class TPopupMenu : public TMenu {
 public:
  explicit TPopupMenu(TComponent* owner);
  ~TPopupMenu() override;

  bool AutoPopup() const noexcept { return autoPopup_; }
  void SetAutoPopup(bool on) noexcept { autoPopup_ = on; }
  TPopupAlignment Alignment() const noexcept { return alignment_; }
  void SetAlignment(TPopupAlignment a) noexcept { alignment_ = a; }
  // Opens upward: the menu's bottom edge at the point's Y instead of its top.
  bool OpenAbove() const noexcept { return openAbove_; }
  void SetOpenAbove(bool on) noexcept { openAbove_ = on; }
  // The component that popped the menu up (a tray icon, a control), for the handlers.
  TComponent* PopupComponent() const noexcept { return popupComponent_; }
  void SetPopupComponent(TComponent* c) noexcept { popupComponent_ = c; }

  // Shows the menu at screen point (X, Y) and returns when it has closed; the chosen item's
  // OnClick has run by then.
  virtual void Popup(int X, int Y);
  // True while Popup runs.
  bool Showing() const noexcept { return showing_; }
  // The hidden window that owns the menu while it is open.
  HWND OwnerWindow();

  bool ReadProperty(const std::string& name, const FormValue& value, TFormReader& reader) override;

  TNotifyEvent OnPopup;

 private:
  static LRESULT CALLBACK OwnerProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT OwnerMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  struct WindowTraits {
    using Handle = HWND;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::DestroyWindow(h); }
  };
  UniqueHandle<WindowTraits> owner_;
  bool autoPopup_ = true;
  TPopupAlignment alignment_ = TPopupAlignment::paLeft;
  bool openAbove_ = false;
  bool showing_ = false;
  TComponent* popupComponent_ = nullptr;
};

// Registers TMenuItem, TPopupMenu and TImageList for form descriptions. Idempotent.
void RegisterMenuClasses();

}  // namespace mq
