#include "gui/Menus_win.h"

#include <windowsx.h>

#include <algorithm>
#include <stdexcept>

#include "base/Utf.h"
#include "gui/Controls_win.h"
#include "gui/Forms_win.h"

namespace mq {

namespace {
// Gives `field` the new value; false when it had it already, so nothing changed.
template <typename T>
bool Replace(T& field, const T& value) {
  if (field == value) return false;
  field = value;
  return true;
}
}  // namespace

TOwnerDrawState OwnerDrawStateFrom(UINT s) noexcept {
  TOwnerDrawState r = 0;
  if (s & ODS_SELECTED) r |= odSelected;
  if (s & ODS_GRAYED) r |= odGrayed;
  if (s & ODS_DISABLED) r |= odDisabled;
  if (s & ODS_CHECKED) r |= odChecked;
  if (s & ODS_FOCUS) r |= odFocused;
  if (s & ODS_DEFAULT) r |= odDefault;
  if (s & ODS_INACTIVE) r |= odInactive;
  if (s & ODS_NOACCEL) r |= odNoAccel;
  if (s & ODS_NOFOCUSRECT) r |= odNoFocusRect;
  if (s & ODS_HOTLIGHT) r |= odHotLight;
  return r;
}

// --- TImageList -----------------------------------------------------------------------------

TImageList::TImageList(TComponent* owner, int width, int height)
    : TComponent(owner),
      width_(width),
      height_(height),
      list_(::ImageList_Create(width, height, ILC_COLOR32 | ILC_MASK, 4, 4)) {
  if (!list_) throw std::runtime_error("Cannot create the image list");
}

int TImageList::Count() const { return ::ImageList_GetImageCount(list_.Get()); }

int TImageList::AddMasked(const TBitmap& image, TColor maskColor) {
  if (image.Width() != width_ || image.Height() != height_)
    throw std::invalid_argument("Image size does not match the list");
  // The list copies the picture; a bitmap selected into a DC cannot be added, so a copy goes in.
  TBitmap copy(image);
  UniqueBitmap bitmap(::CreateBitmap(width_, height_, 1, 32, copy.Bits()));
  return ::ImageList_AddMasked(list_.Get(), bitmap.Get(), ColorToRgb(maskColor));
}

void TImageList::Draw(TCanvas& canvas, int x, int y, int index, bool enabled) const {
  if (index < 0 || index >= Count()) return;
  if (enabled) {
    ::ImageList_Draw(list_.Get(), index, canvas.Handle(), x, y, ILD_TRANSPARENT);
    return;
  }
  IMAGELISTDRAWPARAMS p{};
  p.cbSize = sizeof p;
  p.himl = list_.Get();
  p.i = index;
  p.hdcDst = canvas.Handle();
  p.x = x;
  p.y = y;
  p.rgbBk = CLR_NONE;
  p.rgbFg = CLR_DEFAULT;
  p.fStyle = ILD_TRANSPARENT;
  p.fState = ILS_SATURATE;
  ::ImageList_DrawIndirect(&p);
}

// --- TMenuItem ------------------------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}

TMenuItem::~TMenuItem() {
  if (TMenu* menu = GetParentMenu()) menu->ItemGone(this);
  // Sub-items still here (an item freed without FreeComponent) go while this item is whole.
  for (TMenuItem* child : items_) child->parent_ = nullptr;
  items_.clear();
  DestroyComponents();
  if (parent_) {
    auto& siblings = parent_->items_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    parent_ = nullptr;
  }
}

TMenu* TMenuItem::GetParentMenu() const noexcept {
  const TMenuItem* item = this;
  while (item->parent_) item = item->parent_;
  return item->menu_;
}

void TMenuItem::Changed(bool rebuild) {
  if (TMenu* menu = GetParentMenu()) menu->MenuChanged(this, rebuild);
}

void TMenuItem::SetCaption(const std::string& c) {
  if (Replace(caption_, c)) Changed(true);
}
void TMenuItem::SetHint(const std::string& h) {
  if (Replace(hint_, h)) Changed(false);
}
void TMenuItem::SetEnabled(bool on) {
  if (Replace(enabled_, on)) Changed(true);
}
void TMenuItem::SetChecked(bool on) {
  if (Replace(checked_, on)) Changed(true);
}
void TMenuItem::SetRadioItem(bool on) {
  if (Replace(radioItem_, on)) Changed(true);
}
void TMenuItem::SetDefault(bool on) {
  if (Replace(default_, on)) Changed(true);
}
void TMenuItem::SetVisible(bool on) {
  if (Replace(visible_, on)) Changed(true);
}
void TMenuItem::SetImageIndex(int i) {
  if (Replace(imageIndex_, i)) Changed(true);
}
void TMenuItem::SetShortCut(TShortCut s) {
  if (Replace(shortCut_, s)) Changed(true);
}
void TMenuItem::SetBreak(TMenuBreak b) {
  if (Replace(break_, b)) Changed(true);
}
void TMenuItem::SetBitmap(const TBitmap& b) {
  bitmap_ = b;
  Changed(true);
}

int TMenuItem::IndexOf(const TMenuItem* item) const noexcept {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : int(it - items_.begin());
}

void TMenuItem::Insert(int index, TMenuItem* item) {
  if (item == nullptr || item == this) return;
  for (const TMenuItem* p = this; p; p = p->parent_)
    if (p == item) throw std::invalid_argument("A menu item cannot hold itself");
  if (item->parent_) {
    auto& old = item->parent_->items_;
    old.erase(std::remove(old.begin(), old.end(), item), old.end());
  }
  InsertComponent(item);
  index = std::clamp(index, 0, Count());
  items_.insert(items_.begin() + index, item);
  item->parent_ = this;
  item->Changed(true);
}

void TMenuItem::Delete(int index) {
  if (index < 0 || index >= Count()) throw std::out_of_range("Menu index out of bounds");
  TMenuItem* item = items_[std::size_t(index)];
  FreeComponent(item);  // its destructor unlinks it from this item
  if (TMenu* menu = GetParentMenu()) menu->MenuChanged(parent_ ? this : nullptr, true);
}

void TMenuItem::Clear() {
  if (items_.empty()) return;
  while (!items_.empty()) FreeComponent(items_.back());
  if (TMenu* menu = GetParentMenu()) menu->MenuChanged(parent_ ? this : nullptr, true);
}

void TMenuItem::Click() {
  if (enabled_ && OnClick) OnClick(this);
}

void TMenuItem::InstallHandlers(const void* installer, const TMenuMeasureItemEvent& measure,
                                const TAdvancedMenuDrawItemEvent& draw) {
  if (!OnMeasureItem) OnMeasureItem = measure;
  if (!OnDrawItem && !OnAdvancedDrawItem) OnAdvancedDrawItem = draw;
  installer_ = installer;
}

bool TMenuItem::ReadProperty(const std::string& name, const FormValue& v, TFormReader& reader) {
  if (name == "Caption") return SetCaption(TFormReader::AsString(v)), true;
  if (name == "Hint") return SetHint(TFormReader::AsString(v)), true;
  if (name == "Enabled") return SetEnabled(TFormReader::AsBool(v)), true;
  if (name == "Checked") return SetChecked(TFormReader::AsBool(v)), true;
  if (name == "RadioItem") return SetRadioItem(TFormReader::AsBool(v)), true;
  if (name == "Default") return SetDefault(TFormReader::AsBool(v)), true;
  if (name == "Visible") return SetVisible(TFormReader::AsBool(v)), true;
  if (name == "ImageIndex") return SetImageIndex(TFormReader::AsInt(v)), true;
  if (name == "ShortCut") return SetShortCut(TShortCut(TFormReader::AsInt(v) & 0xFFFF)), true;
  if (name == "Break")
    return SetBreak(TFormReader::AsEnum<TMenuBreak>(v, {{"mbNone", TMenuBreak::mbNone},
                                                        {"mbBreak", TMenuBreak::mbBreak},
                                                        {"mbBarBreak", TMenuBreak::mbBarBreak}})),
           true;
  if (name == "Bitmap.Data") {
    if (v.kind != FormValue::Kind::Binary) TFormReader::Fail(v, "Binary data expected");
    bitmap_.LoadFromData(v.binary);
    return BitmapChanged(), true;
  }
  if (name == "OnClick") return OnClick = reader.Event<TNotifyEvent>(v), true;
  return TComponent::ReadProperty(name, v, reader);
}

void TMenuItem::SetParentComponent(TComponent* parent) {
  if (auto* menu = dynamic_cast<TMenu*>(parent))
    menu->Items().Add(this);
  else if (auto* item = dynamic_cast<TMenuItem*>(parent))
    item->Add(this);
}

// --- TMenu ----------------------------------------------------------------------------------

TMenu::TMenu(TComponent* owner) : TComponent(owner), items_(new TMenuItem(nullptr)) {
  items_->menu_ = this;
}

TMenu::~TMenu() {
  // The items go first, without telling a menu that is half gone.
  items_->menu_ = nullptr;
  items_.reset();
}

void TMenu::SetImages(TImageList* list) {
  if (list != images_) images_ = list, MenuChanged(nullptr, true);
}
void TMenu::SetOwnerDraw(bool on) {
  if (on != ownerDraw_) ownerDraw_ = on, MenuChanged(nullptr, true);
}
void TMenu::SetRightToLeft(bool on) {
  if (on != rightToLeft_) rightToLeft_ = on, MenuChanged(nullptr, true);
}

void TMenu::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) MenuChanged(nullptr, true);
}

void TMenu::MenuChanged(TMenuItem*, bool rebuild) {
  if (Updating()) return;
  if (rebuild) stale_ = true;
  if (OnChange) OnChange(this);
}

void TMenu::ItemGone(TMenuItem* item) noexcept {
  for (auto it = commands_.begin(); it != commands_.end();)
    it = it->second == item ? commands_.erase(it) : std::next(it);
  for (auto it = submenus_.begin(); it != submenus_.end();)
    it = it->second == item ? submenus_.erase(it) : std::next(it);
  if (selected_ == item) selected_ = nullptr;
  stale_ = true;
}

HMENU TMenu::Handle() {
  if (handle_ && !stale_) return handle_.Get();
  commands_.clear();
  submenus_.clear();
  selected_ = nullptr;
  handle_.Reset(::CreatePopupMenu());
  if (!handle_) throw std::runtime_error("Cannot create the menu");
  submenus_[handle_.Get()] = items_.get();
  Build(handle_.Get(), *items_);
  stale_ = false;
  ++buildCount_;
  return handle_.Get();
}

void TMenu::Build(HMENU menu, TMenuItem& parent) {
  UINT position = 0;
  for (TMenuItem* item : parent.items_) {
    if (!item->Visible()) continue;
    const UINT command = UINT(commands_.size() + 1);
    commands_[command] = item;
    const std::wstring text = ToWide(MenuItemPlatformText(item->Caption(), item->ShortCut()));
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_ID | MIIM_STATE | MIIM_DATA;
    mii.fType = (ownerDraw_ ? MFT_OWNERDRAW : 0) | (item->IsLine() ? MFT_SEPARATOR : 0) |
                (item->RadioItem() ? MFT_RADIOCHECK : 0) | (rightToLeft_ ? MFT_RIGHTORDER : 0);
    if (item->Break() == TMenuBreak::mbBreak) mii.fType |= MFT_MENUBREAK;
    if (item->Break() == TMenuBreak::mbBarBreak) mii.fType |= MFT_MENUBARBREAK;
    mii.fState = (item->Enabled() ? 0 : MFS_DISABLED) | (item->Checked() ? MFS_CHECKED : 0) |
                 (item->Default() ? MFS_DEFAULT : 0);
    mii.wID = command;
    mii.dwItemData = ULONG_PTR(command);
    mii.dwTypeData = const_cast<wchar_t*>(text.c_str());
    mii.cch = UINT(text.size());
    if (item->Count() > 0) {
      HMENU sub = ::CreatePopupMenu();
      if (!sub) throw std::runtime_error("Cannot create the menu");
      submenus_[sub] = item;
      mii.fMask |= MIIM_SUBMENU;
      mii.hSubMenu = sub;
      Build(sub, *item);
    }
    ::InsertMenuItemW(menu, position++, TRUE, &mii);
  }
}

TMenuItem* TMenu::FindItem(UINT command) const {
  auto it = commands_.find(command);
  return it == commands_.end() ? nullptr : it->second;
}

TFont& TMenu::MenuFont() {
  if (!menuFont_) {
    menuFont_ = std::make_unique<TFont>();
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof ncm;
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) {
      menuFont_->SetName(FromWide(ncm.lfMenuFont.lfFaceName));
      menuFont_->SetHeight(ncm.lfMenuFont.lfHeight);
      menuFont_->SetCharset(ncm.lfMenuFont.lfCharSet);
    }
    menuFont_->SetColor(clMenuText);
  }
  return *menuFont_;
}

namespace {
SIZE MeasureText(TCanvas& canvas, const std::wstring& text, UINT flags) {
  SelectGuard font(canvas.Handle(), canvas.Font.Handle());
  RECT r{0, 0, 0, 0};
  ::DrawTextW(canvas.Handle(), text.c_str(), int(text.size()), &r, flags | DT_CALCRECT);
  return SIZE{r.right - r.left, r.bottom - r.top};
}
}  // namespace

void TMenu::DefaultMeasure(TMenuItem& item, TCanvas& canvas, int& width, int& height) {
  std::string text = item.Caption();
  const std::string keys = ShortCutToText(item.ShortCut());
  if (!keys.empty()) text += std::string(1, kShortCutTab) + keys;
  const SIZE s = MeasureText(canvas, ToWide(text.empty() ? " " : text),
                             DT_SINGLELINE | DT_EXPANDTABS | DT_NOPREFIX);
  const bool image =
      images_ != nullptr && item.ImageIndex() >= 0 && item.ImageIndex() < images_->Count();
  const bool bitmap = !item.Bitmap().Empty();
  const int gw = image ? images_->Width() : 16, gh = image ? images_->Height() : 16;
  const TMenuItemSize size = DefaultMenuItemSize(item.IsLine(), image || bitmap, gw, gh, s.cx, s.cy);
  width = size.width;
  height = size.height;
}

void TMenu::MeasureItem(MEASUREITEMSTRUCT& mis) {
  TMenuItem* item = FindItem(mis.itemID);
  if (item == nullptr) return;
  WindowDc screen(nullptr);
  measureCanvas_.SetHandle(screen.Get());
  measureCanvas_.Font = MenuFont();
  int width = 0, height = 0;
  DefaultMeasure(*item, measureCanvas_, width, height);
  if (item->OnMeasureItem) item->OnMeasureItem(item, measureCanvas_, width, height);
  measureCanvas_.SetHandle(nullptr);
  mis.itemWidth = UINT(std::max(width, 0));
  mis.itemHeight = UINT(std::max(height, 0));
}

void TMenu::DrawItem(const DRAWITEMSTRUCT& dis) {
  TMenuItem* item = FindItem(dis.itemID);
  if (item == nullptr) return;
  drawCanvas_.SetHandle(dis.hDC);
  drawCanvas_.Font = MenuFont();
  const TOwnerDrawState state = OwnerDrawStateFrom(dis.itemState);
  if (item->OnAdvancedDrawItem)
    item->OnAdvancedDrawItem(item, drawCanvas_, dis.rcItem, state);
  else if (item->OnDrawItem)
    item->OnDrawItem(item, drawCanvas_, dis.rcItem, (state & odSelected) != 0);
  else
    DefaultDraw(*item, drawCanvas_, dis.rcItem, state);
  drawCanvas_.SetHandle(nullptr);
}

void TMenu::DefaultDraw(TMenuItem& item, TCanvas& canvas, const RECT& r, TOwnerDrawState state) {
  const bool selected = (state & odSelected) != 0;
  canvas.BrushColor = selected ? clHighlight : clMenu;
  canvas.FillRect(r);
  HDC dc = canvas.Handle();
  if (item.IsLine()) {
    RECT line{r.left, r.top + (r.bottom - r.top) / 2, r.right, r.bottom};
    ::DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
    return;
  }
  SelectGuard font(dc, canvas.Font.Handle());
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  const TColor text = !item.Enabled() ? clGrayText : selected ? clHighlightText : clMenuText;
  const COLORREF oldColor = ::SetTextColor(dc, ColorToRgb(text));
  const int column = ::GetSystemMetrics(SM_CXMENUCHECK) + 4;
  if (item.Checked()) {
    RECT mark{r.left + 2, r.top, r.left + column, r.bottom};
    ::DrawTextW(dc, item.RadioItem() ? L"\x25CF" : L"\x2713", 1, &mark,
                DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
  }
  RECT body{r.left + column, r.top, r.right - 4, r.bottom};
  const std::wstring caption = ToWide(item.Caption());
  ::DrawTextW(dc, caption.c_str(), int(caption.size()), &body, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  const std::wstring keys = ToWide(ShortCutToText(item.ShortCut()));
  ::DrawTextW(dc, keys.c_str(), int(keys.size()), &body,
              DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
  ::SetTextColor(dc, oldColor);
  ::SetBkMode(dc, oldMode);
}

TMenuItem* TMenu::ListOf(HMENU menu) const {
  auto it = submenus_.find(menu);
  return it == submenus_.end() ? nullptr : it->second;
}

LRESULT TMenu::MenuChar(WPARAM wp, LPARAM lp) {
  TMenuItem* list = ListOf(reinterpret_cast<HMENU>(lp));
  if (list == nullptr) return MAKELRESULT(0, MNC_IGNORE);
  std::vector<std::string> captions;
  int current = -1;
  for (TMenuItem* item : list->items_) {
    if (!item->Visible()) continue;
    if (item == selected_) current = int(captions.size());
    captions.push_back(item->Enabled() && !item->IsLine() ? item->Caption() : std::string());
  }
  const TMenuCharMatch match = MatchMenuChar(captions, current, char32_t(LOWORD(wp)));
  if (match.index < 0) return MAKELRESULT(0, MNC_IGNORE);
  return MAKELRESULT(match.index, match.unique ? MNC_EXECUTE : MNC_SELECT);
}

void TMenu::MenuSelect(WPARAM wp, LPARAM lp) {
  const UINT flags = HIWORD(wp);
  if (flags == 0xFFFF && lp == 0) {
    selected_ = nullptr;  // the menu closed
    return;
  }
  if (flags & MF_POPUP) {
    // A submenu's item is named by its position among the visible items.
    selected_ = nullptr;
    TMenuItem* list = ListOf(reinterpret_cast<HMENU>(lp));
    if (list == nullptr) return;
    int position = int(LOWORD(wp));
    for (TMenuItem* item : list->items_)
      if (item->Visible() && position-- == 0) selected_ = item;
    return;
  }
  selected_ = FindItem(LOWORD(wp));
}

bool TMenu::ReadProperty(const std::string& name, const FormValue& v, TFormReader& reader) {
  if (name == "OwnerDraw") return SetOwnerDraw(TFormReader::AsBool(v)), true;
  if (name == "BiDiMode") {
    const bool rtl = TFormReader::AsEnum<bool>(v, {{"bdLeftToRight", false}, {"bdRightToLeft", true}});
    return SetRightToLeft(rtl), true;
  }
  return TComponent::ReadProperty(name, v, reader);
}

// --- TPopupMenu -----------------------------------------------------------------------------

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {}

TPopupMenu::~TPopupMenu() = default;

HWND TPopupMenu::OwnerWindow() {
  if (!owner_) {
    static const wchar_t kClass[] = L"MqPopupMenuOwner";
    EnsureWindowClass(kClass, &TPopupMenu::OwnerProc);
    owner_.Reset(::CreateWindowExW(WS_EX_TOOLWINDOW, kClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), this));
    if (!owner_) throw std::runtime_error("Cannot create the menu's owner window");
  }
  return owner_.Get();
}

void TPopupMenu::Popup(int X, int Y) {
  if (showing_) return;
  if (OnPopup) OnPopup(this);
  HMENU menu = Handle();
  HWND owner = OwnerWindow();
  UINT flags = TPM_RIGHTBUTTON | (openAbove_ ? TPM_BOTTOMALIGN : TPM_TOPALIGN);
  if (alignment_ == TPopupAlignment::paRight) flags |= TPM_RIGHTALIGN;
  if (alignment_ == TPopupAlignment::paCenter) flags |= TPM_CENTERALIGN;
  if (RightToLeft()) flags |= TPM_LAYOUTRTL;
  struct ShowingFlag {
    bool& on;
    explicit ShowingFlag(bool& flag) : on(flag) { on = true; }
    ~ShowingFlag() { on = false; }
  } showing(showing_);
  // The owner comes to the front first, or the menu would not close when the user clicks
  // elsewhere; the empty message afterwards lets the system finish the switch.
  ::SetForegroundWindow(owner);
  ::TrackPopupMenuEx(menu, flags, X, Y, owner, nullptr);
  ::PostMessageW(owner, WM_NULL, 0, 0);
  // The choice was posted as WM_COMMAND: it runs now, so Popup returns after the click.
  MSG msg;
  while (::PeekMessageW(&msg, owner, WM_COMMAND, WM_COMMAND, PM_REMOVE)) ::DispatchMessageW(&msg);
}

LRESULT CALLBACK TPopupMenu::OwnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* self = reinterpret_cast<TPopupMenu*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_NCDESTROY) ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  if (self == nullptr) return ::DefWindowProcW(hwnd, msg, wp, lp);
  try {
    return self->OwnerMessage(hwnd, msg, wp, lp);
  } catch (...) {
    Application().HandleCurrentException(self);
    return 0;
  }
}

LRESULT TPopupMenu::OwnerMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_MEASUREITEM:
      if (lp == 0) return FALSE;
      MeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lp));
      return TRUE;
    case WM_DRAWITEM:
      if (lp == 0) return FALSE;
      DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
      return TRUE;
    case WM_MENUCHAR:
      return MenuChar(wp, lp);
    case WM_MENUSELECT:
      MenuSelect(wp, lp);
      return 0;
    case WM_COMMAND:
      if (HIWORD(wp) == 0 && lp == 0) {
        if (TMenuItem* item = FindItem(LOWORD(wp))) item->Click();
        return 0;
      }
      break;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

bool TPopupMenu::ReadProperty(const std::string& name, const FormValue& v, TFormReader& reader) {
  if (name == "AutoPopup") return SetAutoPopup(TFormReader::AsBool(v)), true;
  if (name == "Alignment")
    return SetAlignment(
               TFormReader::AsEnum<TPopupAlignment>(v, {{"paLeft", TPopupAlignment::paLeft},
                                                        {"paRight", TPopupAlignment::paRight},
                                                        {"paCenter", TPopupAlignment::paCenter}})),
           true;
  if (name == "OnPopup") return OnPopup = reader.Event<TNotifyEvent>(v), true;
  return TMenu::ReadProperty(name, v, reader);
}

void RegisterMenuClasses() {
  RegisterComponentClass<TMenuItem>("TMenuItem");
  RegisterComponentClass<TPopupMenu>("TPopupMenu");
  RegisterComponentClass("TImageList",
                         [](TComponent* owner) -> TComponent* { return new TImageList(owner); });
}

}  // namespace mq
