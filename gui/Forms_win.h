// Top-level windows (TCustomForm, TForm) and the application object: title, hint
// settings, the hidden window that carries the program's task-bar button, the message
// loop, and the default exception handler.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "gui/Controls_win.h"

namespace mq {

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TFormStyle { fsNormal, fsStayOnTop };
enum class TPosition { poDesigned, poScreenCenter, poDefault };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2;

class TCustomForm : public TWinControl {
 public:
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;
  void BeforeDestruction() override;

  // Second half of construction, run by CreateForm once the most derived constructor has
  // finished: reads the form's description (when ResourceName gives one) and raises
  // OnCreate (FormCreate).
  virtual void AfterConstruction();

  const std::string& Caption() const noexcept { return caption_; }
  void SetCaption(const std::string& c);
  TFormBorderStyle BorderStyle() const noexcept { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle s) { borderStyle_ = s; }
  TFormStyle FormStyle() const noexcept { return formStyle_; }
  void SetFormStyle(TFormStyle s);
  TPosition Position() const noexcept { return position_; }
  void SetPosition(TPosition p) { position_ = p; }

  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  void SetVisible(bool v) override;
  // Asks OnClose; frees, hides or keeps the form as it answers. Closing the main form
  // terminates the application.
  void Close();
  // Runs a modal loop until ModalResult is set; other windows are disabled meanwhile.
  TModalResult ShowModal();
  TModalResult ModalResult() const noexcept { return modalResult_; }
  void SetModalResult(TModalResult r) { modalResult_ = r; }

  // Applies a description to this form (its own settings and its components).
  void LoadFromText(std::string_view text);
  // The form's description is a resource of type RCDATA with this name, or none when empty.
  virtual std::wstring ResourceName() const { return {}; }

  // Whether the form follows the screen's resolution (the description's sizes are design
  // units at 96 pixels per inch). On by default.
  bool Scaled() const noexcept { return scaled_; }
  void SetScaled(bool on) noexcept { scaled_ = on; }
  // Scales the form and its controls from their present resolution to dpi.
  void ScaleToDpi(int dpi);
  // WM_DPICHANGED: the window moved to a screen of another resolution. The default scales
  // to it and takes the rectangle the system suggests (when there is one).
  virtual void DpiChanged(int dpi, const RECT* suggested);

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnDestroy;
  TCloseEvent OnClose;

  bool ReadProperty(const std::string& name, const FormValue& value, TFormReader& reader) override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 protected:
  void CreateParams(TCreateParams& params) override;
  void FrameStyles(DWORD& style, DWORD& exStyle) const override;
  void ScaleBounds(int toDpi, int fromDpi) override;
  // The window exists: when its screen's resolution is not the one the form was scaled to
  // before, the form is scaled again.
  void CreateWnd() override;
  virtual void DoCreate();
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoDestroy();

 private:
  std::string caption_;
  TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSizeable;
  TFormStyle formStyle_ = TFormStyle::fsNormal;
  TPosition position_ = TPosition::poDesigned;
  TModalResult modalResult_ = mrNone;
  bool shownOnce_ = false;
  bool destroying_ = false;
  bool scaled_ = true;
};

class TForm : public TCustomForm {
 public:
  explicit TForm(TComponent* owner) : TCustomForm(owner) {}
};

using TExceptionEvent = std::function<void(TObject* Sender, std::exception_ptr E)>;
// A hook on the application window's messages: returns true when it handled the message
// (with `result` as the answer), false to let it go on.
using TWindowHook = std::function<bool(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)>;

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  // Creates the application window and notes the main thread. Idempotent.
  void Initialize();

  const std::string& Title() const noexcept { return title_; }
  void SetTitle(const std::string& t);

  // The hidden top-level window that owns the forms and carries the task-bar button.
  HWND Handle();
  // A message-only window on the main thread for timers and hand-overs from threads.
  HWND UtilityWindow();
  DWORD MainThreadId() const noexcept { return mainThreadId_; }

  // Hints: delays in milliseconds and the colour of the hint window.
  int HintHidePause = 2500;
  int HintPause = 500;
  int HintShortPause = 50;
  TColor HintColor = clInfoBk;
  bool ShowHint = true;
  // Called when settings of the hints change so open hint windows follow.
  void HintSettingsChanged();
  void RegisterHintWindow(HWND tip);
  void UnregisterHintWindow(HWND tip) noexcept;
  void ApplyHintSettings(HWND tip) const;

  // Creates a form owned by the application; the first one becomes the main form.
  template <typename F, typename... A>
  F* CreateForm(A&&... args) {
    auto* form = new F(this, std::forward<A>(args)...);
    try {
      form->AfterConstruction();
    } catch (...) {
      FreeComponent(form);
      throw;
    }
    if (mainForm_ == nullptr) mainForm_ = form;
    return form;
  }
  TCustomForm* MainForm() const noexcept { return mainForm_; }
  void SetMainForm(TCustomForm* f) noexcept { mainForm_ = f; }
  bool ShowMainForm = true;

  // Shows the main form and dispatches messages until Terminate.
  void Run();
  void Terminate();
  bool Terminated() const noexcept { return terminated_; }
  // Dispatches the messages waiting now.
  void ProcessMessages();
  // Waits for and dispatches one message.
  void HandleMessage();

  void Minimize();
  void Restore();
  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;

  int HookMainWindow(TWindowHook hook);
  void UnhookMainWindow(int id);

  // Where exceptions that escape event handlers end: OnException when assigned, otherwise
  // ShowException. Never throws.
  void HandleException(TObject* sender, std::exception_ptr e) noexcept;
  void HandleCurrentException(TObject* sender) noexcept {
    HandleException(sender, std::current_exception());
  }
  // Shows the message of an exception in a message box titled with the application title.
  void ShowException(std::exception_ptr e) noexcept;
  TExceptionEvent OnException;

  // A form is going away (so the application forgets it as main form).
  void FormDestroyed(TCustomForm* f) noexcept;

  // Runs fn on the main thread and waits for it (TThread::Synchronize).
  void SynchronizeCall(const std::function<void()>& fn);
  // Frees a component once the messages now waiting have been handled (a form closing with
  // caFree). Asking again for one already waiting does nothing; a component freed meanwhile
  // by other means is forgotten (ForgetRelease).
  void ReleaseLater(TComponent* component);
  void ForgetRelease(TComponent* component) noexcept;

 private:
  struct SyncRequest;
  // The private messages carry only a token, looked up in these tables of pending work: a
  // token that is not there (another program's message, or one handled already) does nothing.
  WPARAM NewToken() noexcept;
  void RunSynchronized(WPARAM token);
  void ReleasePending(WPARAM token);
  static LRESULT CALLBACK AppWndProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK UtilityWndProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT AppMessage(UINT msg, WPARAM wp, LPARAM lp);

  std::string title_;
  HWND handle_ = nullptr;
  HWND utility_ = nullptr;
  DWORD mainThreadId_ = 0;
  TCustomForm* mainForm_ = nullptr;
  bool terminated_ = false;
  bool minimized_ = false;
  std::vector<std::pair<int, TWindowHook>> hooks_;
  int nextHook_ = 1;
  std::vector<HWND> hintWindows_;
  std::mutex pendingLock_;  // the token counter and the hand-overs, which workers add to
  WPARAM lastToken_ = 0;
  std::unordered_map<WPARAM, SyncRequest*> pendingSync_;
  std::vector<std::pair<WPARAM, TComponent*>> pendingRelease_;  // main thread only
};

// The one application object of the process.
TApplication& Application();

// Creates a form that the caller owns (tests, secondary forms): construction, then
// AfterConstruction.
template <typename F, typename... A>
Owned<F> CreateOwnedForm(A&&... args) {
  Owned<F> form(new F(nullptr, std::forward<A>(args)...));
  form->AfterConstruction();
  return form;
}

// The private messages the framework uses on its own windows.
constexpr UINT WM_MQ_SYNCHRONIZE = WM_APP + 0x3F00;  // wp: token of a pending hand-over
constexpr UINT WM_MQ_FONTCHANGED = WM_APP + 0x3F01;
constexpr UINT WM_MQ_RELEASE = WM_APP + 0x3F02;  // wp: token of a pending release

// Registers the framework's component classes (TLabel, TImage, TTimer, ...) for form
// descriptions. Idempotent; Application().Initialize() calls it.
void RegisterGuiClasses();

}  // namespace mq
