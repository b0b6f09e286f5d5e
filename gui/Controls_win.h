// Controls: TControl (a rectangle on a parent, with font, colour, cursor, hint and mouse
// events), TGraphicControl (window-less: painted on its parent's surface and fed mouse
// input by it) and TWinControl (a control with its own window, which paints and routes
// mouse input to the window-less controls it contains).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "gui/Classes.h"
#include "gui/Dpi.h"
#include "gui/Gdi_win.h"
#include "gui/Graphics_win.h"

namespace mq {

// True for a system message that always carries a pointer in lParam (WM_NCCREATE, WM_MOVING,
// WM_GETMINMAXINFO, WM_NOTIFY, ...) but came without one, as any other program can send it.
// The framework's window procedures answer such a message 0 and never handle it.
bool MissingMessagePointer(UINT msg, LPARAM lp) noexcept;

class TWinControl;

using TCursor = int;
constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4, crSizeNESW = -6,
                  crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10, crHourGlass = -11,
                  crNo = -18, crHandPoint = -21, crSizeAll = -22;
// The system cursor for a TCursor value (crDefault: the arrow).
HCURSOR CursorHandle(TCursor c);
// Registers a plain window class of this module, unless it exists already.
void EnsureWindowClass(const wchar_t* name, WNDPROC proc);

using TAnchors = unsigned;
constexpr TAnchors akLeft = 1, akTop = 2, akRight = 4, akBottom = 8;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const noexcept { return parent_; }
  virtual void SetParent(TWinControl* parent);
  void SetParentComponent(TComponent* parent) override;

  int Left() const noexcept { return left_; }
  int Top() const noexcept { return top_; }
  int Width() const noexcept { return width_; }
  int Height() const noexcept { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  RECT BoundsRect() const noexcept { return RECT{left_, top_, left_ + width_, top_ + height_}; }
  virtual RECT ClientRect() const { return RECT{0, 0, width_, height_}; }

  bool Visible() const noexcept { return visible_; }
  virtual void SetVisible(bool v);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible here and in every parent.
  bool Showing() const;
  bool Enabled() const noexcept { return enabled_; }
  virtual void SetEnabled(bool v);

  TColor Color() const noexcept { return color_; }
  void SetColor(TColor c);
  bool ParentColor() const noexcept { return parentColor_; }
  void SetParentColor(bool on);
  TFont& Font() noexcept { return font_; }
  const TFont& Font() const noexcept { return font_; }
  void SetFont(const TFont& f) { font_ = f; }
  bool ParentFont() const noexcept { return parentFont_; }
  void SetParentFont(bool on);

  TCursor Cursor() const noexcept { return cursor_; }
  void SetCursor(TCursor c) { cursor_ = c; }
  const std::string& Hint() const noexcept { return hint_; }
  void SetHint(std::string h) {
    hint_ = std::move(h);
    AccessibleNameChanged();
  }
  bool ShowHint() const noexcept { return showHint_; }
  void SetShowHint(bool on) {
    showHint_ = on;
    parentShowHint_ = false;
  }
  bool ParentShowHint() const noexcept { return parentShowHint_; }
  // ShowHint, following the parent while ParentShowHint is set.
  bool EffectiveShowHint() const;
  TAnchors Anchors() const noexcept { return anchors_; }
  void SetAnchors(TAnchors a) { anchors_ = a; }
  TAlign Align() const noexcept { return align_; }
  void SetAlign(TAlign a);

  // Opaque controls paint every pixel of their rectangle; the parent need not paint under
  // them, and Repaint can draw them straight onto the parent's surface.
  bool Opaque() const noexcept { return opaque_; }

  // Marks the control's rectangle for the next paint of the parent.
  virtual void Invalidate();
  // Paints at once: an opaque visible control is drawn straight onto its parent's window
  // (with any control above it that overlaps); otherwise the rectangle is invalidated and
  // the parent updated.
  virtual void Repaint();
  void Update();

  // Mouse input, in the control's own coordinates. The default raises the events.
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void Click();
  virtual void DblClick();
  virtual void MouseEnter() {}
  virtual void MouseLeave() {}
  // Whether a press on the control does something (a click or button handler is set). A
  // control that does nothing with a press, such as a background picture, leaves the press
  // to its window.
  bool HandlesPress() const noexcept { return OnClick || OnDblClick || OnMouseDown || OnMouseUp; }

  // Keyboard and screen-reader access. A window-less control with TabStop is reached with
  // the keyboard in its window (see TWinControl) and is shown to accessibility tools as a
  // child window of its parent named by AccessibleName.
  bool TabStop() const noexcept { return tabStop_; }
  void SetTabStop(bool on);
  // The name a screen reader reads: the hint by default.
  virtual std::string AccessibleName() const { return Hint(); }

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnResize;

  bool ReadProperty(const std::string& name, const FormValue& value, TFormReader& reader) override;
  void Loaded() override;

  // Point in the parent's client coordinates to this control's coordinates.
  POINT ParentToClient(POINT p) const noexcept { return POINT{p.x - left_, p.y - top_}; }
  // Screen coordinates of a point of this control.
  POINT ClientToScreen(POINT p) const;

  // Called by the parent when the parent's own colour or font changed.
  virtual void ParentColorChanged();
  virtual void ParentFontChanged();
  // Called when the parent's client area changed size, to apply anchors.
  void ParentResized(int oldWidth, int oldHeight, int newWidth, int newHeight);

  // The resolution the control's sizes are in: 96 (design units) until its form scales it.
  int PixelsPerInch() const noexcept { return pixelsPerInch_; }
  // A size in design units at the control's resolution.
  int ScaleValue(int designValue) const noexcept { return ScaleDpi(designValue, pixelsPerInch_); }
  // Scales position, size and an own font (a parent's font follows the parent) from
  // fromDpi to toDpi; derived controls scale what else they measure in pixels.
  virtual void ScaleForDpi(int toDpi, int fromDpi);

 protected:
  // Window-less painting: the canvas is the parent's surface with its origin at this
  // control's top-left corner and clipped to its rectangle.
  virtual void Paint(TCanvas& canvas) {}
  friend class TWinControl;
  // The control's size changed (after bounds are stored).
  virtual void Resize();
  // The font's settings changed. Returns true when the change was handled.
  virtual bool FontChanged();
  virtual void ColorChanged() { Invalidate(); }
  virtual void VisibleChanged();
  void SetOpaque(bool on) noexcept { opaque_ = on; }

  // The part of ScaleForDpi that moves and sizes the control (a form keeps its place on the
  // screen and scales its client area).
  virtual void ScaleBounds(int toDpi, int fromDpi);

  // Paints this control on a DC whose origin is the parent's client origin, clipped to the
  // area being painted; whatever it changes in the DC it restores. The default narrows the
  // clipping to the control, moves the origin to its corner and calls Paint; a control that
  // puts a finished picture in its rectangle with one block transfer can do just that.
  virtual void PaintOn(HDC parentDc);
  // Tells the parent that AccessibleName changed.
  void AccessibleNameChanged();

  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  int pixelsPerInch_ = kDesignDpi;

 private:
  bool visible_ = true;
  bool enabled_ = true;
  TColor color_ = clBtnFace;
  bool parentColor_ = false;
  TFont font_;
  bool parentFont_ = true;
  TCursor cursor_ = crDefault;
  std::string hint_;
  bool showHint_ = false;
  bool parentShowHint_ = true;
  TAnchors anchors_ = akLeft | akTop;
  TAlign align_ = TAlign::alNone;
  bool opaque_ = false;
  bool applyingParentFont_ = false;
  bool tabStop_ = false;
};

// A control without its own window.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* owner) : TControl(owner) {}
};

// Parameters of the window a TWinControl creates; derived classes adjust them.
struct TCreateParams {
  std::wstring className = L"MqWindow";
  std::wstring caption;
  DWORD style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  DWORD exStyle = 0;
  int x = 0, y = 0, width = 0, height = 0;
  HWND parent = nullptr;
  UINT classStyle = CS_DBLCLKS;
};

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;
  void BeforeDestruction() override;

  // The window, created on first use.
  HWND Handle();
  bool HandleAllocated() const noexcept { return handle_ != nullptr; }
  void HandleNeeded() { Handle(); }
  // Destroys the window (children first, as the platform does); the control can make a
  // new one later.
  void DestroyHandle();

  std::size_t ControlCount() const noexcept { return controls_.size(); }
  TControl* Controls(std::size_t i) const { return controls_.at(i); }
  // The topmost visible control under a client point (window-less or not), or null.
  TControl* ControlAtPos(POINT p, bool allowDisabled = false) const;

  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool v) override;
  void SetEnabled(bool v) override;
  RECT ClientRect() const override;
  int ClientWidth() const { return ClientRect().right; }
  int ClientHeight() const { return ClientRect().bottom; }
  void SetClientSize(int width, int height);

  void Invalidate() override;
  void Repaint() override;
  // Scales the own font, then every contained control; anchors do not act meanwhile.
  void ScaleForDpi(int toDpi, int fromDpi) override;

  // Paints the client area, background and window-less controls, into any DC whose origin
  // is the client origin: the paint message and tests call it.
  virtual void PaintContent(HDC dc, const RECT& area);

  // The control's window procedure. A derived class that handles a message either returns
  // its result or passes it on to this one; whatever it does not handle ends in
  // DefaultHandler. Exceptions never leave the window procedure: they go to the
  // application's exception handler.
  virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
  virtual LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp);
  // The control that owns a window of the framework, or null.
  static TWinControl* FromHandle(HWND hwnd) noexcept;

  // The control that receives mouse input until the buttons are released.
  TControl* MouseCaptureControl() const noexcept { return captureControl_; }

  // Keyboard access to the window-less controls with TabStop, in their order from left to
  // right: Tab and the right or down arrow go to the next, Shift+Tab and the left or up
  // arrow to the previous, Enter and Space click the focused one. Each such control has a
  // zero-sized child window named by its AccessibleName that takes the keyboard focus while
  // the control has it, so screen readers announce the control, and a name change raises
  // EVENT_OBJECT_NAMECHANGE on it. The focused control carries a focus rectangle.
  TControl* FocusedControl() const noexcept { return focusedControl_; }
  // Gives the keyboard focus to a window-less tab stop of this window.
  void FocusControl(TControl* c);
  // The accessibility window of a window-less tab stop, or null.
  HWND AccessibleWindowOf(const TControl* c) const noexcept;

 protected:
  friend class TControl;
  virtual void CreateParams(TCreateParams& params);
  // The styles that decide the window frame (and so the client size before the window
  // exists). Child controls have none.
  virtual void FrameStyles(DWORD& style, DWORD& exStyle) const {
    style = WS_CHILD;
    exStyle = 0;
  }
  virtual void CreateHandle();
  // The window was created (WM_CREATE has been handled).
  virtual void CreateWnd() {}
  // Paints the background under the controls (the default fills with Color).
  virtual void PaintBackground(HDC dc, const RECT& area);
  void ParentColorChangedToChildren();
  void Resize() override;
  bool FontChanged() override;
  void ColorChanged() override;

  // Paints the window-less controls from `from` onward that intersect `area`.
  void PaintControls(HDC dc, const RECT& area, TControl* from = nullptr);
  void InsertControl(TControl* c);
  void RemoveControl(TControl* c) noexcept;
  void AlignControls();
  void UpdateHint(TControl* c);
  // Keyboard access (gui/KeyboardAccess_win.cpp).
  bool HandleNavigationKey(WPARAM key);
  void SyncAccessibleWindow(TControl* c);
  void RemoveAccessibleWindow(TControl* c) noexcept;
  void CreateAccessibleWindows();
  std::vector<TControl*> TabOrder() const;
  void DrawFocusCue(HDC dc, const RECT& area);
  static LRESULT CALLBACK AccessibleWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  HWND handle_ = nullptr;
  // Set while the control and its children are scaled to a new resolution: the size changes
  // that brings are not anchor moves.
  bool scalingDpi_ = false;

 private:
  static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandleMouse(UINT msg, WPARAM wp, LPARAM lp);
  void OnPaintMessage();
  void SyncBoundsFromWindow();

  std::vector<TControl*> controls_;
  // The accessibility windows of the window-less tab stops: child windows of this one,
  // destroyed with it (or when their control leaves it).
  struct AccessibleWindow {
    TControl* control;
    HWND hwnd;
  };
  std::vector<AccessibleWindow> accessible_;
  TControl* focusedControl_ = nullptr;
  TControl* captureControl_ = nullptr;
  TControl* hoverControl_ = nullptr;
  int clientWidth_ = 0, clientHeight_ = 0;  // last known client size, for anchors
  bool trackingLeave_ = false;
  HWND toolTip_ = nullptr;
  std::wstring hintText_;
  UniqueBitmap backBuffer_;
  int backWidth_ = 0, backHeight_ = 0;
};

}  // namespace mq
