#include "gui/Forms_win.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>
#include <stdexcept>

#include "base/Utf.h"
#include "gui/Dpi_win.h"
#include "gui/Menus_win.h"
#include "gui/StdCtrls_win.h"
#include "gui/Threads_win.h"

namespace mq {

// --- TCustomForm ------------------------------------------------------------------------

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {
  SetVisible(false);
  SetBounds(0, 0, 320, 240);
  SetShowHint(false);
}

TCustomForm::~TCustomForm() { Application().FormDestroyed(this); }

void TCustomForm::BeforeDestruction() {
  if (!destroying_) {
    destroying_ = true;
    try {
      DoDestroy();
    } catch (...) {
      Application().HandleCurrentException(this);
    }
  }
  Application().FormDestroyed(this);
  TWinControl::BeforeDestruction();
}

void TCustomForm::AfterConstruction() {
  const std::wstring res = ResourceName();
  if (!res.empty()) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(module, res.c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!found) throw std::runtime_error("Resource " + FromWide(res) + " not found");
    HGLOBAL loaded = ::LoadResource(module, found);
    const auto* data = static_cast<const char*>(::LockResource(loaded));
    const DWORD size = ::SizeofResource(module, found);
    if (!data) throw std::runtime_error("Resource " + FromWide(res) + " cannot be read");
    LoadFromText(std::string_view(data, size));
  }
  // Before the window exists: the resolution of the screen the form will appear on.
  const RECT r = BoundsRect();
  ScaleToDpi(DpiAtPoint(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
  DoCreate();
}

void TCustomForm::ScaleToDpi(int dpi) {
  if (scaled_) ScaleForDpi(dpi, PixelsPerInch());
}

void TCustomForm::ScaleBounds(int toDpi, int fromDpi) {
  const RECT c = ClientRect();
  SetClientSize(ScaleDpi(c.right, toDpi, fromDpi), ScaleDpi(c.bottom, toDpi, fromDpi));
}

void TCustomForm::CreateWnd() {
  TWinControl::CreateWnd();
  ScaleToDpi(WindowDpi(handle_));
}

void TCustomForm::DpiChanged(int dpi, const RECT* suggested) {
  ScaleToDpi(dpi);
  if (suggested && handle_)
    ::SetWindowPos(handle_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TCustomForm::LoadFromText(std::string_view text) {
  FormObject description = ParseFormText(text);
  if (!description.name.empty()) SetName(description.name);
  TFormReader(*this).Read(description);
}

void TCustomForm::SetCaption(const std::string& c) {
  caption_ = c;
  if (handle_) ::SetWindowTextW(handle_, ToWide(c).c_str());
}

void TCustomForm::SetFormStyle(TFormStyle s) {
  formStyle_ = s;
  if (handle_)
    ::SetWindowPos(handle_, s == TFormStyle::fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::FrameStyles(DWORD& style, DWORD& ex) const {
  ex = 0;
  switch (borderStyle_) {
    case TFormBorderStyle::bsNone:
      style = WS_POPUP;
      break;
    case TFormBorderStyle::bsSingle:
      style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_BORDER;
      break;
    case TFormBorderStyle::bsDialog:
      style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
      ex = WS_EX_DLGMODALFRAME;
      break;
    case TFormBorderStyle::bsToolWindow:
      style = WS_CAPTION | WS_SYSMENU | WS_BORDER;
      ex = WS_EX_TOOLWINDOW;
      break;
    case TFormBorderStyle::bsSizeToolWin:
      style = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
      ex = WS_EX_TOOLWINDOW;
      break;
    default:
      style = WS_OVERLAPPEDWINDOW;
      break;
  }
  if (formStyle_ == TFormStyle::fsStayOnTop) ex |= WS_EX_TOPMOST;
}

void TCustomForm::CreateParams(TCreateParams& p) {
  p.className = L"MqWindow";
  p.caption = ToWide(caption_);
  FrameStyles(p.style, p.exStyle);
  p.style |= WS_CLIPCHILDREN;
  if (!Enabled()) p.style |= WS_DISABLED;
  p.x = left_;
  p.y = top_;
  p.width = width_;
  p.height = height_;
  if (position_ == TPosition::poScreenCenter) {
    RECT work;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    p.x = work.left + (work.right - work.left - width_) / 2;
    p.y = work.top + (work.bottom - work.top - height_) / 2;
  } else if (position_ == TPosition::poDefault) {
    p.x = p.y = CW_USEDEFAULT;
  }
  p.parent = Application().Handle();
}

void TCustomForm::SetVisible(bool v) {
  if (v == Visible() && (!v || (handle_ && ::IsWindowVisible(handle_)))) return;
  TControl::SetVisible(v);
  if (v) {
    HWND h = Handle();
    if (!shownOnce_ && Application().MainForm() == this)
      ::ShowWindow(Application().Handle(), SW_SHOWNOACTIVATE);
    shownOnce_ = true;
    ::ShowWindow(h, SW_SHOWNORMAL);
    ::UpdateWindow(h);
  } else if (handle_) {
    ::ShowWindow(handle_, SW_HIDE);
  }
}

void TCustomForm::Close() {
  TCloseAction action = TCloseAction::caHide;
  if (OnClose) OnClose(this, action);
  if (action == TCloseAction::caNone) return;
  if (modalResult_ == mrNone && ::IsWindowEnabled(Application().Handle()) == FALSE)
    modalResult_ = mrCancel;
  if (Application().MainForm() == this) {
    Hide();
    Application().Terminate();
    return;
  }
  switch (action) {
    case TCloseAction::caHide:
      Hide();
      break;
    case TCloseAction::caMinimize:
      if (handle_) ::ShowWindow(handle_, SW_MINIMIZE);
      break;
    case TCloseAction::caFree:
      Hide();
      Application().ReleaseLater(this);
      break;
    default:
      break;
  }
}

TModalResult TCustomForm::ShowModal() {
  if (Visible()) throw std::runtime_error("Cannot make a visible window modal");
  std::vector<HWND> disabled;
  HWND self = Handle();
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND w, LPARAM lp) -> BOOL {
        auto* list = reinterpret_cast<std::vector<HWND>*>(lp);
        if (w != list->front() && ::IsWindowVisible(w) && ::IsWindowEnabled(w)) list->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&(disabled = {self})));
  disabled.erase(disabled.begin());
  for (HWND w : disabled) ::EnableWindow(w, FALSE);
  modalResult_ = mrNone;
  try {
    Show();
    ::SetActiveWindow(self);
    while (modalResult_ == mrNone && !Application().Terminated()) {
      Application().HandleMessage();
      if (modalResult_ != mrNone) {
        TCloseAction action = TCloseAction::caHide;
        if (OnClose) OnClose(this, action);
        if (action == TCloseAction::caNone) modalResult_ = mrNone;
      }
    }
  } catch (...) {
    for (HWND w : disabled) ::EnableWindow(w, TRUE);
    Hide();
    throw;
  }
  for (HWND w : disabled) ::EnableWindow(w, TRUE);
  Hide();
  return modalResult_;
}

void TCustomForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}
void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}
void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}
void TCustomForm::DoDestroy() {
  if (OnDestroy) OnDestroy(this);
}

bool TCustomForm::ReadProperty(const std::string& name, const FormValue& v, TFormReader& r) {
  if (name == "Caption") return SetCaption(r.AsString(v)), true;
  if (name == "ClientWidth") return SetClientSize(r.AsInt(v), ClientHeight()), true;
  if (name == "ClientHeight") return SetClientSize(ClientWidth(), r.AsInt(v)), true;
  if (name == "BorderStyle")
    return SetBorderStyle(
               r.AsEnum<TFormBorderStyle>(v, {{"bsNone", TFormBorderStyle::bsNone},
                                              {"bsSingle", TFormBorderStyle::bsSingle},
                                              {"bsSizeable", TFormBorderStyle::bsSizeable},
                                              {"bsDialog", TFormBorderStyle::bsDialog},
                                              {"bsToolWindow", TFormBorderStyle::bsToolWindow},
                                              {"bsSizeToolWin", TFormBorderStyle::bsSizeToolWin}})),
           true;
  if (name == "FormStyle")
    return SetFormStyle(r.AsEnum<TFormStyle>(
               v, {{"fsNormal", TFormStyle::fsNormal}, {"fsStayOnTop", TFormStyle::fsStayOnTop}})),
           true;
  if (name == "Position")
    return SetPosition(r.AsEnum<TPosition>(v, {{"poDesigned", TPosition::poDesigned},
                                               {"poScreenCenter", TPosition::poScreenCenter},
                                               {"poDefault", TPosition::poDefault}})),
           true;
  if (name == "Scaled") return SetScaled(r.AsBool(v)), true;
  if (name == "OnCreate") return OnCreate = r.Event<TNotifyEvent>(v), true;
  if (name == "OnShow") return OnShow = r.Event<TNotifyEvent>(v), true;
  if (name == "OnHide") return OnHide = r.Event<TNotifyEvent>(v), true;
  if (name == "OnDestroy") return OnDestroy = r.Event<TNotifyEvent>(v), true;
  if (name == "OnClose") return OnClose = r.Event<TCloseEvent>(v), true;
  // A form shows itself only when asked to, whatever its description says.
  if (name == "Visible") return r.AsBool(v), true;
  return TWinControl::ReadProperty(name, v, r);
}

LRESULT TCustomForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_SHOWWINDOW:
      if (wp)
        DoShow();
      else
        DoHide();
      break;
    case WM_DPICHANGED:
      DpiChanged(HIWORD(wp), reinterpret_cast<const RECT*>(lp));
      return 0;
    case WM_SYSCOMMAND:
      if ((wp & 0xFFF0) == SC_MINIMIZE && Application().MainForm() == this) {
        Application().Minimize();
        return 0;
      }
      break;
    default:
      break;
  }
  return TWinControl::WndProc(msg, wp, lp);
}

// --- TApplication -----------------------------------------------------------------------

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() = default;

TApplication& Application() {
  // Never destroyed: the forms it owns are freed when Run ends, not at static destruction.
  static TApplication* app = new TApplication;
  return *app;
}

void TApplication::Initialize() {
  if (mainThreadId_ != 0) return;
  mainThreadId_ = ::GetCurrentThreadId();
  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof icc;
  icc.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES;
  ::InitCommonControlsEx(&icc);
  RegisterGuiClasses();
  HINSTANCE inst = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &AppWndProc;
  wc.hInstance = inst;
  wc.hIcon = ::LoadIconW(inst, L"MAINICON");
  if (!wc.hIcon) wc.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = L"MqApplication";
  ::RegisterClassExW(&wc);
  handle_ = ::CreateWindowExW(0, L"MqApplication", ToWide(title_).c_str(),
                              WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                              ::GetSystemMetrics(SM_CXSCREEN) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2,
                              0, 0, nullptr, nullptr, inst, nullptr);
  WNDCLASSEXW uc{};
  uc.cbSize = sizeof uc;
  uc.lpfnWndProc = &UtilityWndProc;
  uc.hInstance = inst;
  uc.lpszClassName = L"MqUtility";
  ::RegisterClassExW(&uc);
  utility_ =
      ::CreateWindowExW(0, L"MqUtility", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, inst, nullptr);
  if (!handle_ || !utility_) throw std::runtime_error("Cannot create the application window");
}

void TApplication::SetTitle(const std::string& t) {
  title_ = t;
  if (handle_) ::SetWindowTextW(handle_, ToWide(t).c_str());
}

HWND TApplication::Handle() {
  Initialize();
  return handle_;
}

HWND TApplication::UtilityWindow() {
  Initialize();
  return utility_;
}

void TApplication::RegisterHintWindow(HWND tip) {
  hintWindows_.push_back(tip);
  ApplyHintSettings(tip);
}

void TApplication::UnregisterHintWindow(HWND tip) noexcept {
  hintWindows_.erase(std::remove(hintWindows_.begin(), hintWindows_.end(), tip), hintWindows_.end());
}

void TApplication::ApplyHintSettings(HWND tip) const {
  ::SendMessageW(tip, TTM_SETDELAYTIME, TTDT_INITIAL, MAKELPARAM(std::clamp(HintPause, 0, 0x7FFF), 0));
  ::SendMessageW(tip, TTM_SETDELAYTIME, TTDT_AUTOPOP,
                 MAKELPARAM(std::clamp(HintHidePause, 0, 0x7FFF), 0));
  ::SendMessageW(tip, TTM_SETDELAYTIME, TTDT_RESHOW,
                 MAKELPARAM(std::clamp(HintShortPause, 0, 0x7FFF), 0));
  // The themed tool-tip ignores colours; the classic look honours the hint colour.
  ::SetWindowTheme(tip, L"", L"");
  ::SendMessageW(tip, TTM_SETTIPBKCOLOR, ColorToRgb(HintColor), 0);
  ::SendMessageW(tip, TTM_SETTIPTEXTCOLOR, ColorToRgb(clInfoText), 0);
}

void TApplication::HintSettingsChanged() {
  for (HWND tip : hintWindows_) ApplyHintSettings(tip);
}

void TApplication::Run() {
  Initialize();
  if (mainForm_ && ShowMainForm) mainForm_->Show();
  while (!terminated_) HandleMessage();
  // The forms go while the application window still exists.
  DestroyComponents();
  mainForm_ = nullptr;
}

void TApplication::HandleMessage() {
  MSG m;
  const BOOL got = ::GetMessageW(&m, nullptr, 0, 0);
  if (got == 0 || got == -1) {
    terminated_ = true;
    return;
  }
  ::TranslateMessage(&m);
  ::DispatchMessageW(&m);
}

void TApplication::ProcessMessages() {
  MSG m;
  while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      terminated_ = true;
      break;
    }
    ::TranslateMessage(&m);
    ::DispatchMessageW(&m);
  }
}

void TApplication::Terminate() {
  terminated_ = true;
  ::PostQuitMessage(0);
}

void TApplication::Minimize() {
  if (minimized_) return;
  minimized_ = true;
  ::ShowWindow(Handle(), SW_MINIMIZE);
  if (OnMinimize) OnMinimize(this);
}

void TApplication::Restore() {
  if (!minimized_) return;
  minimized_ = false;
  ::ShowWindow(Handle(), SW_RESTORE);
  if (mainForm_ && mainForm_->HandleAllocated()) ::SetActiveWindow(mainForm_->Handle());
  if (OnRestore) OnRestore(this);
}

int TApplication::HookMainWindow(TWindowHook hook) {
  const int id = nextHook_++;
  hooks_.emplace_back(id, std::move(hook));
  return id;
}

void TApplication::UnhookMainWindow(int id) {
  hooks_.erase(
      std::remove_if(hooks_.begin(), hooks_.end(), [id](const auto& h) { return h.first == id; }),
      hooks_.end());
}

void TApplication::FormDestroyed(TCustomForm* f) noexcept {
  if (mainForm_ == f) mainForm_ = nullptr;
  ForgetRelease(f);
}

void TApplication::HandleException(TObject* sender, std::exception_ptr e) noexcept {
  try {
    if (OnException)
      OnException(sender, e);
    else
      ShowException(e);
  } catch (...) {
  }
}

void TApplication::ShowException(std::exception_ptr e) noexcept {
  try {
    std::string message;
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& ex) {
      message = ex.what();
    } catch (...) {
      message = "Unknown exception";
    }
    if (!message.empty() && message.back() != '.') message += '.';
    HWND owner = ::GetActiveWindow();
    if (!owner) owner = handle_;
    ::MessageBoxW(owner, ToWide(message).c_str(), ToWide(title_).c_str(), MB_OK | MB_ICONSTOP);
  } catch (...) {
  }
}

LRESULT CALLBACK TApplication::AppWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  TApplication& app = Application();
  if (MissingMessagePointer(msg, lp)) return 0;
  if (app.handle_ == nullptr || app.handle_ != hwnd) return ::DefWindowProcW(hwnd, msg, wp, lp);
  try {
    return app.AppMessage(msg, wp, lp);
  } catch (...) {
    app.HandleCurrentException(&app);
    return 0;
  }
}

LRESULT TApplication::AppMessage(UINT msg, WPARAM wp, LPARAM lp) {
  for (auto hooks = hooks_; const auto& [id, hook] : hooks) {
    LRESULT result = 0;
    if (hook(msg, wp, lp, result)) return result;
  }
  switch (msg) {
    case WM_SYSCOMMAND:
      switch (wp & 0xFFF0) {
        case SC_MINIMIZE:
          Minimize();
          return 0;
        case SC_RESTORE:
          Restore();
          return 0;
        default:
          break;
      }
      break;
    case WM_CLOSE:
      if (mainForm_) mainForm_->Close();
      return 0;
    case WM_ACTIVATE:
      // Activating the hidden window hands the focus to the main form.
      if (LOWORD(wp) != WA_INACTIVE && mainForm_ && mainForm_->HandleAllocated() &&
          ::IsWindowVisible(mainForm_->Handle()))
        ::SetActiveWindow(mainForm_->Handle());
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(handle_, msg, wp, lp);
}

struct TApplication::SyncRequest {
  const std::function<void()>* fn;
  HANDLE done;
  std::exception_ptr error;
};

WPARAM TApplication::NewToken() noexcept {
  // Never 0, so a message without a token is never mistaken for one.
  if (++lastToken_ == 0) ++lastToken_;
  return lastToken_;
}

LRESULT CALLBACK TApplication::UtilityWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_TIMER:
      try {
        TTimer::Dispatch(wp);
      } catch (...) {
        Application().HandleCurrentException(nullptr);
      }
      return 0;
    case WM_MQ_SYNCHRONIZE:
      Application().RunSynchronized(wp);
      return 0;
    case WM_MQ_RELEASE:
      Application().ReleasePending(wp);
      return 0;
    default:
      return ::DefWindowProcW(hwnd, msg, wp, lp);
  }
}

void TApplication::SynchronizeCall(const std::function<void()>& fn) {
  if (mainThreadId_ == 0 || ::GetCurrentThreadId() == mainThreadId_) {
    fn();
    return;
  }
  UniqueKernelHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!done) throw std::runtime_error("Cannot create an event");
  SyncRequest req{&fn, done.Get(), nullptr};
  WPARAM token;
  {
    std::lock_guard lock(pendingLock_);
    token = NewToken();
    pendingSync_.emplace(token, &req);
  }
  if (!::PostMessageW(utility_, WM_MQ_SYNCHRONIZE, token, 0)) {
    std::lock_guard lock(pendingLock_);
    pendingSync_.erase(token);
    throw std::runtime_error("Cannot reach the main thread");
  }
  ::WaitForSingleObject(done.Get(), INFINITE);
  if (req.error) std::rethrow_exception(req.error);
}

void TApplication::RunSynchronized(WPARAM token) {
  SyncRequest* req = nullptr;
  {
    std::lock_guard lock(pendingLock_);
    const auto it = pendingSync_.find(token);
    if (it == pendingSync_.end()) return;
    req = it->second;
    pendingSync_.erase(it);
  }
  try {
    (*req->fn)();
  } catch (...) {
    req->error = std::current_exception();
  }
  ::SetEvent(req->done);
}

void TApplication::ReleaseLater(TComponent* component) {
  for (const auto& [token, waiting] : pendingRelease_)
    if (waiting == component) return;
  WPARAM token;
  {
    std::lock_guard lock(pendingLock_);
    token = NewToken();
  }
  pendingRelease_.emplace_back(token, component);
  if (!::PostMessageW(UtilityWindow(), WM_MQ_RELEASE, token, 0)) pendingRelease_.pop_back();
}

void TApplication::ForgetRelease(TComponent* component) noexcept {
  std::erase_if(pendingRelease_, [component](const auto& entry) { return entry.second == component; });
}

void TApplication::ReleasePending(WPARAM token) {
  const auto it = std::find_if(pendingRelease_.begin(), pendingRelease_.end(),
                               [token](const auto& entry) { return entry.first == token; });
  if (it == pendingRelease_.end()) return;
  TComponent* component = it->second;
  pendingRelease_.erase(it);
  FreeComponent(component);
}

void RegisterGuiClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterComponentClass<TLabel>("TLabel");
  RegisterComponentClass<TImage>("TImage");
  RegisterComponentClass<TTimer>("TTimer");
  RegisterMenuClasses();
}

}  // namespace mq
