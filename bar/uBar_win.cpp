#include "bar/uBar.h"

#include <shellapi.h>
#include <windowsx.h>

#include "base/Utf.h"

namespace mq {

// The shell's record has the platform's own size: 48 bytes in a 64-bit build (36 in 32-bit).
static_assert(sizeof(void*) != 8 || sizeof(APPBARDATA) == 48);

namespace {

using bar::BarPoint;
using bar::BarRect;

RECT ToRect(const BarRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }
BarRect FromRect(const RECT& r) { return BarRect{r.left, r.top, r.right, r.bottom}; }

// A registry root as the 32-bit number the settings name it by; predefined keys are
// sign-extended handles on 64-bit Windows.
HKEY RootHandle(std::uint32_t root) {
  return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(root))));
}

class Win32BarRegistry : public bar::BarRegistry {
 public:
  ~Win32BarRegistry() override { CloseKey(); }

  bool OpenKey(std::uint32_t root, const std::string& keyName, bool create) override {
    CloseKey();
    const std::wstring name = ToWide(keyName);
    LONG rc;
    if (create) {
      rc = ::RegCreateKeyExW(RootHandle(root), name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_READ | KEY_WRITE, nullptr, &key_, nullptr);
    } else {
      rc = ::RegOpenKeyExW(RootHandle(root), name.c_str(), 0, KEY_READ, &key_);
    }
    if (rc != ERROR_SUCCESS) key_ = nullptr;
    return key_ != nullptr;
  }

  std::optional<Value> ReadDefaultValue() override {
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key_, nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    Value v;
    v.type = type;
    v.data.resize(size);
    if (size > 0 &&
        ::RegQueryValueExW(key_, nullptr, nullptr, &type, v.data.data(), &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    v.data.resize(size);
    return v;
  }

  void WriteDefaultBinary(const void* data, std::size_t size) override {
    ::RegSetValueExW(key_, nullptr, 0, REG_BINARY, static_cast<const BYTE*>(data),
                     static_cast<DWORD>(size));
  }

  void CloseKey() override {
    if (key_) ::RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

std::unique_ptr<bar::BarRegistry> MakeWin32BarRegistry() { return std::make_unique<Win32BarRegistry>(); }

TAppBar::TAppBar(TComponent* owner)
    : TForm(owner),
      bar::AppBarCore(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)),
      registry_(MakeWin32BarRegistry()) {}

TAppBar::~TAppBar() = default;

void TAppBar::BeforeDestruction() {
  // From here on nothing may make a new window: the destruction of the current one writes
  // Edge (to unregister the bar) while the window is going away.
  freeing_ = true;
  TForm::BeforeDestruction();
}

void TAppBar::FrameStyles(DWORD& style, DWORD& exStyle) const {
  TForm::FrameStyles(style, exStyle);
  // The window never carries a task-bar button of its own, nor the commands of a normal
  // top-level window.
  style &= ~(WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
  exStyle = (exStyle & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW;
}

void TAppBar::CreateParams(TCreateParams& params) {
  TForm::CreateParams(params);
  params.style &= ~(WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
  params.exStyle = (params.exStyle & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW;
}

bool TAppBar::ReadProperty(const std::string& name, const FormValue& v, TFormReader& r) {
  if (name == "Flags") {
    SetFlags(TAppBarFlags::FromByte(static_cast<std::uint8_t>(r.AsSet(
        v, {"abfAllowLeft", "abfAllowTop", "abfAllowRight", "abfAllowBottom", "abfAllowFloat"}))));
    return true;
  }
  if (name == "TaskEntry") {
    SetTaskEntry(r.AsEnum<TAppBarTaskEntry>(
        v, {{"abtShow", abtShow}, {"abtHide", abtHide}, {"abtFloatDependent", abtFloatDependent}}));
    return true;
  }
  if (name == "AutoHide") return SetAutoHide(r.AsBool(v)), true;
  if (name == "AlwaysOnTop") return SetAlwaysOnTop(r.AsBool(v)), true;
  if (name == "SlideEffect") return SetSlideEffect(r.AsBool(v)), true;
  if (name == "SlideTime") return SetSlideTime(r.AsInt(v)), true;
  if (name == "HorzSizeInc") return SetHorzSizeInc(r.AsInt(v)), true;
  if (name == "VertSizeInc") return SetVertSizeInc(r.AsInt(v)), true;
  if (name == "HorzDockSize") return SetHorzDockSize(r.AsInt(v)), true;
  if (name == "VertDockSize") return SetVertDockSize(r.AsInt(v)), true;
  if (name == "KeyName") return SetKeyName(r.AsString(v)), true;
  return TForm::ReadProperty(name, v, r);
}

void TAppBar::ScaleForDpi(int toDpi, int fromDpi) {
  if (toDpi == fromDpi || toDpi <= 0 || fromDpi <= 0) return;
  TForm::ScaleForDpi(toDpi, fromDpi);
  const auto scale = [&](std::int32_t v) { return ScaleDpi(v, toDpi, fromDpi); };
  SetHorzDockSize(scale(HorzDockSize()));
  SetVertDockSize(scale(VertDockSize()));
  SetMinHorzDockSize(scale(MinHorzDockSize()));
  SetMinVertDockSize(scale(MinVertDockSize()));
  SetMinWidth(scale(MinWidth()));
  SetMinHeight(scale(MinHeight()));
  SetHorzSizeInc(scale(HorzSizeInc()));
  SetVertSizeInc(scale(VertSizeInc()));
  // Registered (between ABM_NEW and ABM_REMOVE) and docked: claim the strip at its new size.
  const TAppBarEdge edge = StoredEdge();
  if (HandleAllocated() && !freeing_ && edge != abeUnknown && edge != abeFloat) RefreshPosition();
}

void TAppBar::DpiChanged(int dpi, const RECT* suggested) {
  const TAppBarEdge edge = StoredEdge();
  TForm::DpiChanged(dpi, edge == abeFloat ? suggested : nullptr);
}

LRESULT TAppBar::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      return OnCreateMessage(wp, lp);
    case WM_DESTROY:
      if (autoHideTimer_) {
        autoHideTimer_->SetEnabled(false);
        TTimer* timer = std::exchange(autoHideTimer_, nullptr);
        FreeComponent(timer);
      }
      SetEdge(abeUnknown);
      return TForm::WndProc(msg, wp, lp);
    case WM_ACTIVATE: {
      const LRESULT result = TForm::WndProc(msg, wp, lp);
      HandleActivate(LOWORD(wp) == WA_INACTIVE);
      return result;
    }
    case WM_WINDOWPOSCHANGED: {
      const LRESULT result = TForm::WndProc(msg, wp, lp);
      HandleWindowPosChanged();
      return result;
    }
    case WM_NCMOUSEMOVE:
      HandleNcMouseMove();
      return TForm::WndProc(msg, wp, lp);
    case WM_NCHITTEST:
      return OnHitTest(wp, lp);
    case WM_ENTERSIZEMOVE:
      HandleEnterSizeMove();
      return TForm::WndProc(msg, wp, lp);
    case WM_EXITSIZEMOVE:
      HandleExitSizeMove();
      return TForm::WndProc(msg, wp, lp);
    case WM_MOVING: {
      auto* rc = reinterpret_cast<RECT*>(lp);
      BarRect r = FromRect(*rc);
      HandleMoving(r);
      *rc = ToRect(r);
      return TRUE;
    }
    case WM_SIZING: {
      auto* rc = reinterpret_cast<RECT*>(lp);
      BarRect r = FromRect(*rc);
      HandleSizing(static_cast<int>(wp), r);
      *rc = ToRect(r);
      return TRUE;
    }
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lp);
      const bar::BarSizeLimits limits = HandleGetMinMaxInfo();
      info->ptMinTrackSize = POINT{limits.minTrack.x, limits.minTrack.y};
      info->ptMaxTrackSize = POINT{limits.maxTrack.x, limits.maxTrack.y};
      return 0;
    }
    case bar::kAppBarNotifyMessage:
      HandleShellNotify(wp, lp);
      return 0;
    case WM_SETTINGCHANGE:
      if (wp == SPI_SETWORKAREA) OnWorkAreaMessage();
      return TForm::WndProc(msg, wp, lp);
    default:
      return TForm::WndProc(msg, wp, lp);
  }
}

LRESULT TAppBar::OnCreateMessage(WPARAM wp, LPARAM lp) {
  const LRESULT result = TForm::WndProc(WM_CREATE, wp, lp);
  if (result == -1) return result;
  autoHideTimer_ = new TTimer(this);
  autoHideTimer_->SetEnabled(false);
  autoHideTimer_->SetInterval(static_cast<unsigned>(SlideTime() > 0 ? SlideTime() : 0));
  autoHideTimer_->SetOnTimer([this](TObject*) { AutoHideWatchTick(); });
  RECT wr;
  ::GetWindowRect(handle_, &wr);
  HandleCreate(BarPoint{wr.left, wr.top});
  // Once the message loop runs, this pair records the real window size as the dock size
  // (or the float rectangle) and applies the bar again, as after a drag by the user.
  ::PostMessageW(handle_, WM_ENTERSIZEMOVE, 0, 0);
  ::PostMessageW(handle_, WM_EXITSIZEMOVE, 0, 0);
  if (HMENU menu = ::GetSystemMenu(handle_, FALSE)) {
    ::DeleteMenu(menu, SC_RESTORE, MF_BYCOMMAND);
    ::DeleteMenu(menu, SC_MINIMIZE, MF_BYCOMMAND);
    ::DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
  }
  return result;
}

bool TAppBar::GraphicControlAt(POINT p) const {
  for (std::size_t i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (!c->Visible() || !c->Enabled() || dynamic_cast<TWinControl*>(c) != nullptr) continue;
    // A picture under the whole bar does nothing with a press: the press drags the bar.
    if (!c->HandlesPress()) continue;
    const RECT r = c->BoundsRect();
    if (::PtInRect(&r, p)) return true;
  }
  return false;
}

LRESULT TAppBar::OnHitTest(WPARAM wp, LPARAM lp) {
  const LRESULT answer = TForm::WndProc(WM_NCHITTEST, wp, lp);
  const POINT screen{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  RECT client;
  ::GetClientRect(handle_, &client);
  ::MapWindowPoints(handle_, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
  const int button = ::GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
  const bool buttonDown = ::GetAsyncKeyState(button) < 0;
  bool control = false;
  if (buttonDown && answer == HTCLIENT) {
    POINT local = screen;
    ::ScreenToClient(handle_, &local);
    control = GraphicControlAt(local);
  }
  return HandleNcHitTest(static_cast<int>(answer), BarPoint{screen.x, screen.y}, FromRect(client),
                         buttonDown, control);
}

void TAppBar::OnWorkAreaMessage() {
  // The bar's own ABM_SETPOS changes the work area too, and the shell announces that: only a
  // real change is acted on, so applying the bar again cannot start an endless round.
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  if (::EqualRect(&work, &workArea_)) return;
  workArea_ = work;
  if (StoredEdge() == abeUnknown) return;  // unregistered: nothing to re-apply
  ShellPositionChanged();
  WorkAreaChanged();
}

std::uintptr_t TAppBar::AppBarMessage(std::uint32_t msg, std::uint32_t edge, BarRect* rect,
                                      std::intptr_t param) {
  APPBARDATA abd{};
  abd.cbSize = sizeof(APPBARDATA);
  abd.hWnd = handle_;
  abd.uCallbackMessage = bar::kAppBarNotifyMessage;
  abd.uEdge = edge;
  abd.rc = rect ? ToRect(*rect) : RECT{0, 0, 0, 0};
  abd.lParam = static_cast<LPARAM>(param);
  const UINT_PTR result = ::SHAppBarMessage(msg, &abd);
  if (rect) *rect = FromRect(abd.rc);
  return result;
}

void TAppBar::PrepareWindow() {
  if (!HandleAllocated() && !freeing_) HandleNeeded();
}

std::uintptr_t TAppBar::BarWindowId() { return reinterpret_cast<std::uintptr_t>(handle_); }

bar::BarMetrics TAppBar::Metrics() {
  bar::BarMetrics m;
  m.screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
  m.screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
  RECT work{0, 0, m.screenWidth, m.screenHeight};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  m.workArea = FromRect(work);
  m.cxBorder = ::GetSystemMetrics(SM_CXBORDER);
  m.cyBorder = ::GetSystemMetrics(SM_CYBORDER);
  m.cxVScroll = ::GetSystemMetrics(SM_CXVSCROLL);
  m.cyHScroll = ::GetSystemMetrics(SM_CYHSCROLL);
  m.cxDoubleClk = ::GetSystemMetrics(SM_CXDOUBLECLK);
  m.cyDoubleClk = ::GetSystemMetrics(SM_CYDOUBLECLK);
  return m;
}

bool TAppBar::DragFullWindows() {
  BOOL full = FALSE;
  ::SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &full, 0);
  return full != FALSE;
}

std::uint32_t TAppBar::TickCount() { return ::GetTickCount(); }

BarRect TAppBar::CurrentWindowRect() {
  RECT r{};
  if (handle_) ::GetWindowRect(handle_, &r);
  return FromRect(r);
}

void TAppBar::PlaceSlideFrame(const BarRect& r) {
  if (!handle_) return;
  ::SetWindowPos(handle_, nullptr, r.left, r.top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  ::RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void TAppBar::SetZOrder(bar::BarZOrder z) {
  if (!handle_) return;
  HWND after = z == bar::BarZOrder::Topmost  ? HWND_TOPMOST
               : z == bar::BarZOrder::Bottom ? HWND_BOTTOM
                                             : HWND_NOTOPMOST;
  ::SetWindowPos(handle_, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

std::uint32_t TAppBar::WindowStyle() {
  return handle_ ? static_cast<std::uint32_t>(::GetWindowLongPtrW(handle_, GWL_STYLE)) : 0;
}

void TAppBar::SetWindowStyle(std::uint32_t style) {
  if (!handle_) return;
  ::SetWindowLongPtrW(handle_, GWL_STYLE, static_cast<LONG_PTR>(style));
  // The platform keeps the frame it computed for the old style until told otherwise; without
  // this a bar that lost its caption after its last resize would keep a caption-high strip
  // of dead frame above a shrunken client area.
  ::SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TAppBar::ShowTaskBarButton(bool show) {
  ::ShowWindow(Application().Handle(), show ? SW_SHOWNOACTIVATE : SW_HIDE);
}

bar::BarPoint TAppBar::MessageCursorPos() {
  const DWORD pos = ::GetMessagePos();
  return BarPoint{GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
}

bool TAppBar::CtrlKeyDown() { return ::GetKeyState(VK_CONTROL) < 0; }

bool TAppBar::IsActiveWindow() { return handle_ != nullptr && ::GetActiveWindow() == handle_; }

void TAppBar::SetAutoHideTimerInterval(std::int32_t ms) {
  if (autoHideTimer_) autoHideTimer_->SetInterval(static_cast<unsigned>(ms > 0 ? ms : 0));
}

void TAppBar::ShowInformation(const std::string& caption, const std::string& text) {
  ::MessageBoxW(handle_, ToWide(text).c_str(), ToWide(caption).c_str(), MB_OK | MB_ICONINFORMATION);
}

bar::BarRegistry& TAppBar::Registry() { return *registry_; }

}  // namespace mq
