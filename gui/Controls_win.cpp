#include "gui/Controls_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <stdexcept>

#include "base/Utf.h"
#include "gui/Forms_win.h"

namespace mq {

HCURSOR CursorHandle(TCursor c) {
  LPCWSTR id = IDC_ARROW;
  switch (c) {
    case crNone:
      return nullptr;
    case crCross:
      id = IDC_CROSS;
      break;
    case crIBeam:
      id = IDC_IBEAM;
      break;
    case crSizeNESW:
      id = IDC_SIZENESW;
      break;
    case crSizeNS:
      id = IDC_SIZENS;
      break;
    case crSizeNWSE:
      id = IDC_SIZENWSE;
      break;
    case crSizeWE:
      id = IDC_SIZEWE;
      break;
    case crUpArrow:
      id = IDC_UPARROW;
      break;
    case crHourGlass:
      id = IDC_WAIT;
      break;
    case crNo:
      id = IDC_NO;
      break;
    case crHandPoint:
      id = IDC_HAND;
      break;
    case crSizeAll:
      id = IDC_SIZEALL;
      break;
    default:
      break;
  }
  return ::LoadCursorW(nullptr, id);
}

void EnsureWindowClass(const wchar_t* name, WNDPROC proc) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (::GetClassInfoExW(::GetModuleHandleW(nullptr), name, &wc)) return;
  wc.lpfnWndProc = proc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = name;
  ::RegisterClassExW(&wc);
}

// --- TControl ---------------------------------------------------------------------------

TControl::TControl(TComponent* owner) : TComponent(owner) {
  font_.OnChange = [this](TObject*) {
    if (!applyingParentFont_) parentFont_ = false;
    FontChanged();
  };
}

TControl::~TControl() {
  if (parent_) parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent_) {
    Invalidate();
    parent_->RemoveControl(this);
  }
  parent_ = nullptr;
  if (parent) {
    parent->InsertControl(this);
    parent_ = parent;
    if (parentFont_) ParentFontChanged();
    if (parentColor_) ParentColorChanged();
    Invalidate();
  }
}

void TControl::SetParentComponent(TComponent* parent) {
  if (auto* w = dynamic_cast<TWinControl*>(parent)) SetParent(w);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  Invalidate();
  const bool resized = width != width_ || height != height_;
  left_ = left, top_ = top, width_ = width, height_ = height;
  if (resized) Resize();
  Invalidate();
}

void TControl::Resize() {
  if (OnResize) OnResize(this);
}

bool TControl::Showing() const {
  for (const TControl* c = this; c; c = c->parent_)
    if (!c->visible_) return false;
  return true;
}

void TControl::SetVisible(bool v) {
  if (v == visible_) return;
  if (!v) Invalidate();
  visible_ = v;
  VisibleChanged();
}

void TControl::VisibleChanged() { Invalidate(); }

void TControl::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  Invalidate();
}

void TControl::SetColor(TColor c) {
  parentColor_ = false;
  if (c == color_) return;
  color_ = c;
  ColorChanged();
}

void TControl::SetParentColor(bool on) {
  parentColor_ = on;
  if (on) ParentColorChanged();
}

void TControl::ParentColorChanged() {
  if (parentColor_ && parent_ && parent_->Color() != color_) {
    color_ = parent_->Color();
    ColorChanged();
  }
}

void TControl::SetParentFont(bool on) {
  parentFont_ = on;
  if (on) ParentFontChanged();
}

void TControl::ParentFontChanged() {
  if (!parentFont_ || !parent_) return;
  applyingParentFont_ = true;
  try {
    font_ = parent_->Font();
  } catch (...) {
    applyingParentFont_ = false;
    throw;
  }
  applyingParentFont_ = false;
}

bool TControl::FontChanged() {
  Invalidate();
  return true;
}

bool TControl::EffectiveShowHint() const {
  if (!parentShowHint_ || !parent_) return showHint_;
  return parent_->EffectiveShowHint();
}

void TControl::SetAlign(TAlign a) {
  align_ = a;
  if (parent_) parent_->AlignControls();
}

void TControl::Invalidate() {
  if (!parent_ || !parent_->HandleAllocated() || width_ == 0 || height_ == 0) return;
  RECT r = BoundsRect();
  ::InvalidateRect(parent_->handle_, &r, FALSE);
}

void TControl::Repaint() {
  if (!visible_ || !parent_ || !parent_->HandleAllocated()) return;
  if (opaque_ && parent_->Showing()) {
    // The parent's DC as GetDC gives it, but not reset to its defaults when released: the
    // painting below restores what it changes, and a reset costs more than the paint (it
    // selects the default font anew, which under Wine reads the X resource database).
    const LONG_PTR style = ::GetWindowLongPtrW(parent_->handle_, GWL_STYLE);
    WindowDc dc(parent_->handle_, DCX_CACHE | DCX_NORESETATTRS |
                                      ((style & WS_CLIPCHILDREN) ? DCX_CLIPCHILDREN : 0) |
                                      ((style & WS_CLIPSIBLINGS) ? DCX_CLIPSIBLINGS : 0));
    if (!dc) return;
    parent_->PaintControls(dc.Get(), BoundsRect(), this);
  } else {
    Invalidate();
    parent_->Update();
  }
}

void TControl::Update() {
  if (parent_) parent_->Update();
}

void TControl::PaintOn(HDC dc) {
  DcStateGuard state(dc);
  ::IntersectClipRect(dc, left_, top_, left_ + width_, top_ + height_);
  POINT old;
  ::OffsetViewportOrgEx(dc, left_, top_, &old);
  TCanvas canvas(dc);
  canvas.Font = font_;
  canvas.BrushColor = color_;
  Paint(canvas);
}

void TControl::MouseDown(TMouseButton b, TShiftState s, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, b, s, x, y);
}
void TControl::MouseUp(TMouseButton b, TShiftState s, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, b, s, x, y);
}
void TControl::MouseMove(TShiftState s, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, s, x, y);
}
void TControl::Click() {
  if (OnClick) OnClick(this);
}
void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

POINT TControl::ClientToScreen(POINT p) const {
  POINT r{p.x + left_, p.y + top_};
  if (parent_) return parent_->ClientToScreen(r);
  return p;
}

void TControl::ParentResized(int oldW, int oldH, int newW, int newH) {
  if (align_ != TAlign::alNone) return;
  const int dw = newW - oldW, dh = newH - oldH;
  int l = left_, t = top_, w = width_, h = height_;
  if (anchors_ & akRight) {
    if (anchors_ & akLeft)
      w += dw;
    else
      l += dw;
  } else if (!(anchors_ & akLeft)) {
    l += dw / 2;
  }
  if (anchors_ & akBottom) {
    if (anchors_ & akTop)
      h += dh;
    else
      t += dh;
  } else if (!(anchors_ & akTop)) {
    t += dh / 2;
  }
  SetBounds(l, t, w, h);
}

void TControl::ScaleForDpi(int toDpi, int fromDpi) {
  if (toDpi == fromDpi || toDpi <= 0 || fromDpi <= 0) return;
  pixelsPerInch_ = toDpi;
  ScaleBounds(toDpi, fromDpi);
  if (!parentFont_ || !parent_) font_.SetPixelsPerInch(toDpi);
}

void TControl::ScaleBounds(int toDpi, int fromDpi) {
  const ScaledSpan x = ScaleSpan(left_, width_, toDpi, fromDpi),
                   y = ScaleSpan(top_, height_, toDpi, fromDpi);
  SetBounds(x.start, y.start, x.length, y.length);
}

void TControl::Loaded() {
  TComponent::Loaded();
  if (parentFont_) ParentFontChanged();
  if (parentColor_) ParentColorChanged();
}

bool TControl::ReadProperty(const std::string& name, const FormValue& v, TFormReader& r) {
  if (name == "Left") return SetLeft(r.AsInt(v)), true;
  if (name == "Top") return SetTop(r.AsInt(v)), true;
  if (name == "Width") return SetWidth(r.AsInt(v)), true;
  if (name == "Height") return SetHeight(r.AsInt(v)), true;
  if (name == "Visible") return SetVisible(r.AsBool(v)), true;
  if (name == "Enabled") return SetEnabled(r.AsBool(v)), true;
  if (name == "Color") return SetColor(r.AsColor(v)), true;
  if (name == "ParentColor") return SetParentColor(r.AsBool(v)), true;
  if (name == "ParentFont") return SetParentFont(r.AsBool(v)), true;
  if (name.rfind("Font.", 0) == 0) return font_.ReadProperty(name.substr(5), v, r);
  if (name == "Hint") return SetHint(r.AsString(v)), true;
  if (name == "ShowHint") return SetShowHint(r.AsBool(v)), true;
  if (name == "TabStop") return SetTabStop(r.AsBool(v)), true;
  if (name == "ParentShowHint") return parentShowHint_ = r.AsBool(v), true;
  if (name == "Cursor") {
    if (v.kind == FormValue::Kind::Integer) return SetCursor(r.AsInt(v)), true;
    return SetCursor(r.AsEnum<TCursor>(v, {{"crDefault", crDefault},
                                           {"crNone", crNone},
                                           {"crArrow", crArrow},
                                           {"crCross", crCross},
                                           {"crIBeam", crIBeam},
                                           {"crSizeNESW", crSizeNESW},
                                           {"crSizeNS", crSizeNS},
                                           {"crSizeNWSE", crSizeNWSE},
                                           {"crSizeWE", crSizeWE},
                                           {"crUpArrow", crUpArrow},
                                           {"crHourGlass", crHourGlass},
                                           {"crNo", crNo},
                                           {"crHandPoint", crHandPoint},
                                           {"crSizeAll", crSizeAll}})),
           true;
  }
  if (name == "Anchors") return SetAnchors(r.AsSet(v, {"akLeft", "akTop", "akRight", "akBottom"})), true;
  if (name == "Align")
    return SetAlign(r.AsEnum<TAlign>(v, {{"alNone", TAlign::alNone},
                                         {"alTop", TAlign::alTop},
                                         {"alBottom", TAlign::alBottom},
                                         {"alLeft", TAlign::alLeft},
                                         {"alRight", TAlign::alRight},
                                         {"alClient", TAlign::alClient}})),
           true;
  if (name == "OnClick") return OnClick = r.Event<TNotifyEvent>(v), true;
  if (name == "OnDblClick") return OnDblClick = r.Event<TNotifyEvent>(v), true;
  if (name == "OnMouseDown") return OnMouseDown = r.Event<TMouseEvent>(v), true;
  if (name == "OnMouseUp") return OnMouseUp = r.Event<TMouseEvent>(v), true;
  if (name == "OnMouseMove") return OnMouseMove = r.Event<TMouseMoveEvent>(v), true;
  if (name == "OnResize") return OnResize = r.Event<TNotifyEvent>(v), true;
  return TComponent::ReadProperty(name, v, r);
}

// --- TWinControl ------------------------------------------------------------------------

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  for (TControl* c : controls_) c->parent_ = nullptr;
  controls_.clear();
  DestroyHandle();
}

void TWinControl::BeforeDestruction() {
  DestroyHandle();
  TControl::BeforeDestruction();
}

HWND TWinControl::Handle() {
  if (!handle_) CreateHandle();
  return handle_;
}

void TWinControl::CreateParams(TCreateParams& p) {
  p.x = left_;
  p.y = top_;
  p.width = width_;
  p.height = height_;
  if (parent_) p.parent = parent_->Handle();
  if (Visible()) p.style |= WS_VISIBLE;
  if (!Enabled()) p.style |= WS_DISABLED;
}

namespace {

void RegisterWindowClass(const TCreateParams& p, WNDPROC proc) {
  HINSTANCE inst = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (::GetClassInfoExW(inst, p.className.c_str(), &existing)) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = p.classStyle;
  wc.lpfnWndProc = proc;
  wc.hInstance = inst;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = p.className.c_str();
  if (!::RegisterClassExW(&wc)) throw std::runtime_error("Cannot register the window class");
}

}  // namespace

void TWinControl::CreateHandle() {
  Application().Initialize();
  TCreateParams p;
  CreateParams(p);
  RegisterWindowClass(p, &StaticWndProc);
  HWND hwnd = ::CreateWindowExW(p.exStyle, p.className.c_str(), p.caption.c_str(), p.style, p.x, p.y,
                                p.width, p.height, p.parent, nullptr, ::GetModuleHandleW(nullptr), this);
  if (!hwnd) {
    const DWORD error = ::GetLastError();
    handle_ = nullptr;
    throw std::runtime_error("Error creating window (" + std::to_string(error) + ")");
  }
  handle_ = hwnd;
  if (!(p.style & WS_CHILD)) {
    toolTip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                 WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    if (toolTip_) {
      TTTOOLINFOW ti{};
      ti.cbSize = TTTOOLINFOW_V2_SIZE;
      ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      ti.hwnd = hwnd;
      ti.uId = reinterpret_cast<UINT_PTR>(hwnd);
      ti.lpszText = LPSTR_TEXTCALLBACKW;
      ::SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
      ::SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0, 400);
      Application().RegisterHintWindow(toolTip_);
    }
  }
  SyncBoundsFromWindow();
  RECT rc;
  ::GetClientRect(hwnd, &rc);
  clientWidth_ = rc.right;
  clientHeight_ = rc.bottom;
  AlignControls();
  CreateAccessibleWindows();
  CreateWnd();
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  if (toolTip_) {
    Application().UnregisterHintWindow(toolTip_);
    toolTip_ = nullptr;
  }
  ::DestroyWindow(handle_);  // WM_NCDESTROY clears handle_
  handle_ = nullptr;
  backBuffer_.Reset();
  backWidth_ = backHeight_ = 0;
}

namespace {
// Marks the framework's own windows, so FromHandle never mistakes another window's user data.
constexpr wchar_t kOwnerProperty[] = L"MqWinControl";
}  // namespace

TWinControl* TWinControl::FromHandle(HWND hwnd) noexcept {
  if (!hwnd) return nullptr;
  void* owner = ::GetPropW(hwnd, kOwnerProperty);
  if (!owner || owner != reinterpret_cast<void*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA)))
    return nullptr;
  return static_cast<TWinControl*>(owner);
}

bool MissingMessagePointer(UINT msg, LPARAM lp) noexcept {
  if (lp != 0) return false;
  switch (msg) {
    case WM_NCCREATE:
    case WM_CREATE:
    case WM_MOVING:
    case WM_SIZING:
    case WM_GETMINMAXINFO:
    case WM_NOTIFY:
    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED:
    case WM_NCCALCSIZE:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_COMPAREITEM:
    case WM_DELETEITEM:
    case WM_STYLECHANGING:
    case WM_STYLECHANGED:
    case WM_COPYDATA:
    case WM_HELP:
      return true;
    default:
      return false;
  }
}

LRESULT CALLBACK TWinControl::StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (MissingMessagePointer(msg, lp)) return 0;
  TWinControl* self;
  if (msg == WM_NCCREATE) {
    self = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    ::SetPropW(hwnd, kOwnerProperty, self);
    if (self) self->handle_ = hwnd;
  } else {
    self = reinterpret_cast<TWinControl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
  LRESULT result = 0;
  try {
    result = self->WndProc(msg, wp, lp);
  } catch (...) {
    Application().HandleCurrentException(self);
    if (msg == WM_NCCREATE) result = TRUE;
  }
  if (msg == WM_NCDESTROY) {
    ::RemovePropW(hwnd, kOwnerProperty);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->handle_ = nullptr;
    self->captureControl_ = self->hoverControl_ = nullptr;
    self->accessible_.clear();  // the child windows went with this one
    self->focusedControl_ = nullptr;
  }
  return result;
}

LRESULT TWinControl::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) {
  return ::DefWindowProcW(handle_, msg, wp, lp);
}

void TWinControl::SyncBoundsFromWindow() {
  if (!handle_) return;
  RECT r;
  ::GetWindowRect(handle_, &r);
  if (HWND parent = ::GetParent(handle_); parent && (::GetWindowLongPtrW(handle_, GWL_STYLE) & WS_CHILD))
    ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  left_ = r.left;
  top_ = r.top;
  width_ = r.right - r.left;
  height_ = r.bottom - r.top;
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT:
      OnPaintMessage();
      return 0;
    case WM_PRINTCLIENT: {
      RECT rc;
      ::GetClientRect(handle_, &rc);
      PaintContent(reinterpret_cast<HDC>(wp), rc);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_MOVE:
      SyncBoundsFromWindow();
      break;
    case WM_SIZE: {
      const int oldW = width_, oldH = height_;
      SyncBoundsFromWindow();
      const int cw = LOWORD(lp), ch = HIWORD(lp);
      if ((clientWidth_ > 0 || clientHeight_ > 0) && !scalingDpi_)
        for (TControl* c : std::vector<TControl*>(controls_))
          c->ParentResized(clientWidth_, clientHeight_, cw, ch);
      clientWidth_ = cw;
      clientHeight_ = ch;
      AlignControls();
      if (oldW != width_ || oldH != height_) Resize();
      break;
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      return HandleMouse(msg, wp, lp);
    case WM_MOUSELEAVE:
      trackingLeave_ = false;
      if (hoverControl_) {
        TControl* old = hoverControl_;
        hoverControl_ = nullptr;
        old->MouseLeave();
      }
      UpdateHint(nullptr);
      return 0;
    case WM_KEYDOWN:
      if (HandleNavigationKey(wp)) return 0;
      break;
    case WM_SETFOCUS:
      // Back to the control that had the keyboard when the window lost it.
      if (HWND w = AccessibleWindowOf(focusedControl_)) ::SetFocus(w);
      break;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lp) != handle_) captureControl_ = nullptr;
      break;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wp) == handle_ && LOWORD(lp) == HTCLIENT) {
        POINT pt;
        ::GetCursorPos(&pt);
        ::ScreenToClient(handle_, &pt);
        TControl* c = captureControl_ ? captureControl_ : ControlAtPos(pt, true);
        TCursor cursor = (c && c->Cursor() != crDefault) ? c->Cursor() : Cursor();
        ::SetCursor(CursorHandle(cursor));
        return TRUE;
      }
      break;
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      if (toolTip_ && hdr->hwndFrom == toolTip_ && hdr->code == TTN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(lp);
        info->lpszText = const_cast<wchar_t*>(hintText_.c_str());
        return 0;
      }
      break;
    }
    default:
      break;
  }
  return DefaultHandler(msg, wp, lp);
}

LRESULT TWinControl::HandleMouse(UINT msg, WPARAM wp, LPARAM lp) {
  const POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  TShiftState shift = 0;
  if (wp & MK_SHIFT) shift |= ssShift;
  if (wp & MK_CONTROL) shift |= ssCtrl;
  if (wp & MK_LBUTTON) shift |= ssLeft;
  if (wp & MK_RBUTTON) shift |= ssRight;
  if (wp & MK_MBUTTON) shift |= ssMiddle;
  if (::GetKeyState(VK_MENU) < 0) shift |= ssAlt;

  TControl* under = ControlAtPos(pt);
  if (under && dynamic_cast<TWinControl*>(under))
    under = nullptr;  // windowed children get their own input
  TControl* target = captureControl_ ? captureControl_ : under;
  TControl* receiver = target ? target : this;
  const POINT local = target ? target->ParentToClient(pt) : pt;

  TMouseButton button = TMouseButton::mbLeft;
  switch (msg) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
      button = TMouseButton::mbRight;
      break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      button = TMouseButton::mbMiddle;
      break;
    default:
      break;
  }

  switch (msg) {
    case WM_MOUSEMOVE:
      if (!trackingLeave_) {
        TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, handle_, 0};
        trackingLeave_ = ::TrackMouseEvent(&tme) != FALSE;
      }
      if (under != hoverControl_) {
        TControl* old = hoverControl_;
        hoverControl_ = under;
        if (old) old->MouseLeave();
        if (under) under->MouseEnter();
        UpdateHint(under);
      }
      receiver->MouseMove(shift, local.x, local.y);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
      const bool dbl = msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK;
      if (toolTip_) ::SendMessageW(toolTip_, TTM_POP, 0, 0);
      if (target && target->Enabled()) {
        captureControl_ = target;
        ::SetCapture(handle_);
      }
      if (dbl) shift |= ssDouble;
      if (receiver->Enabled() || receiver == this) {
        receiver->MouseDown(button, shift, local.x, local.y);
        if (dbl && button == TMouseButton::mbLeft) receiver->DblClick();
      }
      return 0;
    }
    default: {  // button up
      const bool pressedHere = target == nullptr || captureControl_ == target;
      if (captureControl_ && !(wp & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON))) {
        captureControl_ = nullptr;
        ::ReleaseCapture();
      }
      receiver->MouseUp(button, shift, local.x, local.y);
      const RECT inside = receiver == this ? ClientRect() : receiver->ClientRect();
      if (button == TMouseButton::mbLeft && pressedHere && ::PtInRect(&inside, local) &&
          receiver->Enabled())
        receiver->Click();
      return 0;
    }
  }
}

void TWinControl::UpdateHint(TControl* c) {
  std::string text;
  if (Application().ShowHint) {
    if (c && c->EffectiveShowHint())
      text = c->Hint();
    else if (!c && EffectiveShowHint())
      text = Hint();
  }
  std::wstring wide = ToWide(text);
  if (wide == hintText_) return;
  hintText_ = std::move(wide);
  if (toolTip_) {
    ::SendMessageW(toolTip_, TTM_POP, 0, 0);
    ::SendMessageW(toolTip_, TTM_ACTIVATE, hintText_.empty() ? FALSE : TRUE, 0);
  }
}

TControl* TWinControl::ControlAtPos(POINT p, bool allowDisabled) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* c = *it;
    if (!c->Visible() || (!allowDisabled && !c->Enabled())) continue;
    RECT r = c->BoundsRect();
    if (::PtInRect(&r, p)) return c;
  }
  return nullptr;
}

void TWinControl::InsertControl(TControl* c) { controls_.push_back(c); }

void TWinControl::RemoveControl(TControl* c) noexcept {
  RemoveAccessibleWindow(c);
  auto it = std::find(controls_.begin(), controls_.end(), c);
  if (it != controls_.end()) controls_.erase(it);
  if (captureControl_ == c) captureControl_ = nullptr;
  if (hoverControl_ == c) hoverControl_ = nullptr;
  c->parent_ = nullptr;
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (handle_) {
    ::SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    SyncBoundsFromWindow();
    return;
  }
  const RECT before = ClientRect();
  const bool resized = width != width_ || height != height_;
  left_ = left, top_ = top, width_ = width, height_ = height;
  if (resized) {
    const RECT after = ClientRect();
    if (!Loading() && !scalingDpi_ && (before.right > 0 || before.bottom > 0))
      for (TControl* c : std::vector<TControl*>(controls_))
        c->ParentResized(before.right, before.bottom, after.right, after.bottom);
    clientWidth_ = after.right;
    clientHeight_ = after.bottom;
    AlignControls();
    Resize();
  }
}

RECT TWinControl::ClientRect() const {
  if (handle_) {
    RECT rc;
    ::GetClientRect(handle_, &rc);
    return rc;
  }
  DWORD style = 0, exStyle = 0;
  FrameStyles(style, exStyle);
  if (style & WS_CHILD) return RECT{0, 0, width_, height_};
  RECT frame{0, 0, 0, 0};
  ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  return RECT{0, 0, std::max<LONG>(0, width_ - (frame.right - frame.left)),
              std::max<LONG>(0, height_ - (frame.bottom - frame.top))};
}

void TWinControl::SetClientSize(int w, int h) {
  const RECT c = ClientRect();
  SetBounds(left_, top_, width_ + (w - c.right), height_ + (h - c.bottom));
}

void TWinControl::SetVisible(bool v) {
  const bool changed = v != Visible();
  TControl::SetVisible(v);
  if (!changed) return;
  if (v && !handle_ && parent_ && parent_->HandleAllocated()) Handle();
  if (handle_) ::ShowWindow(handle_, v ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::SetEnabled(bool v) {
  TControl::SetEnabled(v);
  if (handle_) ::EnableWindow(handle_, v);
}

void TWinControl::Invalidate() {
  if (handle_) ::InvalidateRect(handle_, nullptr, FALSE);
}

void TWinControl::Repaint() {
  if (handle_) {
    ::InvalidateRect(handle_, nullptr, FALSE);
    ::UpdateWindow(handle_);
  }
}

void TWinControl::ScaleForDpi(int toDpi, int fromDpi) {
  if (toDpi == fromDpi || toDpi <= 0 || fromDpi <= 0) return;
  const bool outer = !scalingDpi_;
  scalingDpi_ = true;
  try {
    TControl::ScaleForDpi(toDpi, fromDpi);
    for (TControl* c : std::vector<TControl*>(controls_)) c->ScaleForDpi(toDpi, fromDpi);
  } catch (...) {
    if (outer) scalingDpi_ = false;
    throw;
  }
  if (outer) scalingDpi_ = false;
}

void TWinControl::PaintBackground(HDC dc, const RECT& area) {
  TCanvas canvas(dc);
  canvas.BrushColor = Color();
  canvas.FillRect(area);
}

void TWinControl::PaintContent(HDC dc, const RECT& area) {
  // The background is painted only where no opaque control covers it.
  bool covered = false;
  for (TControl* c : controls_) {
    if (c->Visible() && c->Opaque() && !dynamic_cast<TWinControl*>(c)) {
      RECT r = c->BoundsRect();
      if (r.left <= area.left && r.top <= area.top && r.right >= area.right && r.bottom >= area.bottom)
        covered = true;
    }
  }
  if (!covered) PaintBackground(dc, area);
  PaintControls(dc, area);
}

void TWinControl::PaintControls(HDC dc, const RECT& area, TControl* from) {
  // Each control's PaintOn keeps its own changes to itself; here only the clipping changes.
  ClipGuard clip(dc);
  ::IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
  auto it = controls_.begin();
  if (from) it = std::find(controls_.begin(), controls_.end(), from);
  for (; it != controls_.end(); ++it) {
    TControl* c = *it;
    if (!c->Visible() || dynamic_cast<TWinControl*>(c)) continue;
    RECT r = c->BoundsRect(), both;
    if (!::IntersectRect(&both, &r, &area)) continue;
    c->PaintOn(dc);
  }
  DrawFocusCue(dc, area);
}

void TWinControl::OnPaintMessage() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(handle_, &ps);
  if (!dc) return;
  struct End {
    HWND h;
    PAINTSTRUCT* ps;
    ~End() { ::EndPaint(h, ps); }
  } end{handle_, &ps};
  RECT client;
  ::GetClientRect(handle_, &client);
  RECT area;
  if (!::IntersectRect(&area, &ps.rcPaint, &client)) return;
  // Composed in a back buffer (kept for the window's size) and put on screen in one copy.
  if (!backBuffer_ || backWidth_ != client.right || backHeight_ != client.bottom) {
    backBuffer_.Reset(
        ::CreateCompatibleBitmap(dc, std::max<int>(client.right, 1), std::max<int>(client.bottom, 1)));
    backWidth_ = client.right;
    backHeight_ = client.bottom;
  }
  UniqueMemoryDc mem(::CreateCompatibleDC(dc));
  if (!mem || !backBuffer_) {
    PaintContent(dc, area);
    return;
  }
  {
    SelectGuard select(mem.Get(), backBuffer_.Get());
    PaintContent(mem.Get(), area);
    ::BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, mem.Get(),
             area.left, area.top, SRCCOPY);
  }
}

void TWinControl::AlignControls() {
  const RECT rc = ClientRect();
  RECT free = rc;
  for (TControl* c : std::vector<TControl*>(controls_)) {
    switch (c->Align()) {
      case TAlign::alTop:
        c->SetBounds(free.left, free.top, free.right - free.left, c->Height());
        free.top += c->Height();
        break;
      case TAlign::alBottom:
        c->SetBounds(free.left, free.bottom - c->Height(), free.right - free.left, c->Height());
        free.bottom -= c->Height();
        break;
      case TAlign::alLeft:
        c->SetBounds(free.left, free.top, c->Width(), free.bottom - free.top);
        free.left += c->Width();
        break;
      case TAlign::alRight:
        c->SetBounds(free.right - c->Width(), free.top, c->Width(), free.bottom - free.top);
        free.right -= c->Width();
        break;
      default:
        break;
    }
  }
  for (TControl* c : std::vector<TControl*>(controls_))
    if (c->Align() == TAlign::alClient)
      c->SetBounds(free.left, free.top, free.right - free.left, free.bottom - free.top);
}

void TWinControl::Resize() { TControl::Resize(); }

bool TWinControl::FontChanged() {
  for (TControl* c : std::vector<TControl*>(controls_)) c->ParentFontChanged();
  Invalidate();
  return true;
}

void TWinControl::ColorChanged() {
  for (TControl* c : std::vector<TControl*>(controls_)) c->ParentColorChanged();
  Invalidate();
}

void TWinControl::ParentColorChangedToChildren() { ColorChanged(); }

}  // namespace mq
