// The application bar's behaviour without the window system: its settings and run-time
// state, the application of an edge, the auto-hide placement, sliding, the move/size loop,
// hit testing and the persistence of the settings block.
//
// AppBarCore names each platform operation it needs as a pure virtual function; the Win32
// TAppBar (uBar.h) implements them with the shell, user32 and the registry, and tests
// implement them with a recorder. Platform calls are made in exactly the order the algorithms
// below give, so a recorder can check whole call sequences.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bar/AppBarGeometry.h"
#include "bar/AppBarTypes.h"

namespace mq::bar {

// Shell requests (SHAppBarMessage) and the notifications the shell sends back.
enum : std::uint32_t {
  kAbmNew = 0,
  kAbmRemove = 1,
  kAbmQueryPos = 2,
  kAbmSetPos = 3,
  kAbmActivate = 6,
  kAbmGetAutoHideBar = 7,
  kAbmSetAutoHideBar = 8,
  kAbmWindowPosChanged = 9,
};
enum : std::uintptr_t {
  kAbnStateChange = 0,
  kAbnPosChanged = 1,
  kAbnFullScreenApp = 2,
  kAbnWindowArrange = 3,
};
// The message number the shell's notifications arrive with (WM_USER + 100).
inline constexpr std::uint32_t kAppBarNotifyMessage = 0x464;

// Registry root of the settings block: HKEY_CURRENT_USER.
inline constexpr std::uint32_t kHkeyCurrentUser = 0x80000001u;
inline constexpr const char* kDefaultBarKeyName = "Software\\Pendrake\\Marquelle\\uBar";
inline constexpr std::uint32_t kRegBinary = 3;  // REG_BINARY

inline constexpr const char* kAutoHideRefusedCaption = "Information";
inline constexpr const char* kAutoHideRefusedText =
    "There is already an auto hidden window on this edge.\n\r"
    "Only one auto hidden window is allowed on each edge.";

// The registry's read error.
class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The message of the registry's read error for the value `name` ("" for the default value).
std::string RegistryReadErrorText(const std::string& name);

// One registry key at a time, as the settings block needs it.
class BarRegistry {
 public:
  struct Value {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
  };
  virtual ~BarRegistry() = default;
  // Opens `keyName` under `root`; with `create`, a missing key is created. False on failure.
  virtual bool OpenKey(std::uint32_t root, const std::string& keyName, bool create) = 0;
  // The open key's default (unnamed) value; nullopt when it has none.
  virtual std::optional<Value> ReadDefaultValue() = 0;
  // Writes the open key's default value with type REG_BINARY.
  virtual void WriteDefaultBinary(const void* data, std::size_t size) = 0;
  virtual void CloseKey() = 0;
};

// Where the bar goes in the z-order (SetWindowPos without moving, sizing or activating).
enum class BarZOrder { Topmost, Bottom, NoTopmost };

class AppBarCore {
 public:
  // The defaults of the settings block for a primary screen of the given size.
  AppBarCore(std::int32_t screenWidth, std::int32_t screenHeight);
  virtual ~AppBarCore() = default;
  AppBarCore(const AppBarCore&) = delete;
  AppBarCore& operator=(const AppBarCore&) = delete;

  // --- Properties. Only Edge and SlideTime act at once; the others are plain fields that
  // take effect at the next application of the edge.
  // `DragEdge` while a move/size loop runs, else the stored edge.
  TAppBarEdge Edge() const;
  // Applies the bar on `edge` (abeUnknown unregisters it).
  void SetEdge(TAppBarEdge edge);
  std::int32_t SlideTime() const { return s_.nSlideTime; }
  void SetSlideTime(std::int32_t ms);

  TAppBarFlags Flags() const { return TAppBarFlags::FromByte(s_.abFlags); }
  void SetFlags(TAppBarFlags f) { s_.abFlags = f.Byte(); }
  bool AutoHide() const { return s_.bAutoHide != 0; }
  void SetAutoHide(bool v) { s_.bAutoHide = v ? 1 : 0; }
  bool AlwaysOnTop() const { return s_.bAlwaysOnTop != 0; }
  void SetAlwaysOnTop(bool v) { s_.bAlwaysOnTop = v ? 1 : 0; }
  bool SlideEffect() const { return s_.bSlideEffect != 0; }
  void SetSlideEffect(bool v) { s_.bSlideEffect = v ? 1 : 0; }
  std::int32_t HorzSizeInc() const { return s_.nHorzSizeInc; }
  void SetHorzSizeInc(std::int32_t v) { s_.nHorzSizeInc = v; }
  std::int32_t VertSizeInc() const { return s_.nVertSizeInc; }
  void SetVertSizeInc(std::int32_t v) { s_.nVertSizeInc = v; }
  std::int32_t VertDockSize() const { return s_.nVertDockSize; }
  void SetVertDockSize(std::int32_t v) { s_.nVertDockSize = v; }
  std::int32_t HorzDockSize() const { return s_.nHorzDockSize; }
  void SetHorzDockSize(std::int32_t v) { s_.nHorzDockSize = v; }
  std::int32_t FloatLeft() const { return s_.rcFloat.left; }
  void SetFloatLeft(std::int32_t v) { s_.rcFloat.left = v; }
  std::int32_t FloatTop() const { return s_.rcFloat.top; }
  void SetFloatTop(std::int32_t v) { s_.rcFloat.top = v; }
  std::int32_t FloatRight() const { return s_.rcFloat.right; }
  void SetFloatRight(std::int32_t v) { s_.rcFloat.right = v; }
  std::int32_t FloatBottom() const { return s_.rcFloat.bottom; }
  void SetFloatBottom(std::int32_t v) { s_.rcFloat.bottom = v; }
  std::int32_t MinWidth() const { return s_.nMinWidth; }
  void SetMinWidth(std::int32_t v) { s_.nMinWidth = v; }
  std::int32_t MinHeight() const { return s_.nMinHeight; }
  void SetMinHeight(std::int32_t v) { s_.nMinHeight = v; }
  std::int32_t MaxWidth() const { return s_.nMaxWidth; }
  void SetMaxWidth(std::int32_t v) { s_.nMaxWidth = v; }
  std::int32_t MaxHeight() const { return s_.nMaxHeight; }
  void SetMaxHeight(std::int32_t v) { s_.nMaxHeight = v; }
  std::int32_t MinVertDockSize() const { return s_.nMinVertDockSize; }
  void SetMinVertDockSize(std::int32_t v) { s_.nMinVertDockSize = v; }
  std::int32_t MinHorzDockSize() const { return s_.nMinHorzDockSize; }
  void SetMinHorzDockSize(std::int32_t v) { s_.nMinHorzDockSize = v; }
  std::int32_t MaxVertDockSize() const { return s_.nMaxVertDockSize; }
  void SetMaxVertDockSize(std::int32_t v) { s_.nMaxVertDockSize = v; }
  std::int32_t MaxHorzDockSize() const { return s_.nMaxHorzDockSize; }
  void SetMaxHorzDockSize(std::int32_t v) { s_.nMaxHorzDockSize = v; }
  TAppBarTaskEntry TaskEntry() const { return static_cast<TAppBarTaskEntry>(s_.abTaskEntry); }
  void SetTaskEntry(TAppBarTaskEntry v) { s_.abTaskEntry = v; }
  std::uint32_t RootKey() const { return rootKey_; }
  void SetRootKey(std::uint32_t v) { rootKey_ = v; }
  const std::string& KeyName() const { return keyName_; }
  void SetKeyName(std::string v) { keyName_ = std::move(v); }

  // Run-time state.
  TAppBarEdge StoredEdge() const { return static_cast<TAppBarEdge>(s_.abEdge); }
  TAppBarEdge DragEdge() const { return dragEdge_; }
  bool FullScreenAppOpen() const { return fullScreenAppOpen_; }
  bool AutoHideShown() const { return autoHideShown_; }
  const TAppBarSettings& Settings() const { return s_; }

  // --- Virtual operations.
  // Caption and system menu for a floating bar, none for a docked one. While dragging,
  // only when the system drags full windows.
  virtual void AdjustCaption(bool dragging, TAppBarEdge newEdge);
  // Tells the user that the edge already has an auto-hide bar.
  virtual void AutoHideRefused();
  virtual void FullScreenAppChanged(bool open);
  virtual void ShellPositionChanged();
  virtual void ShellWindowArrange(bool beginning);
  // Writes Edge with its current value.
  virtual void RefreshPosition();
  // Replaces the whole settings block with the registry's 84 bytes; false (nothing changed)
  // for a missing key or value or a shorter value. Throws ERegistryException for a value of
  // another type or a longer one. Does not re-apply the bar.
  virtual bool LoadBarState();
  // Writes the settings block as REG_BINARY, creating the key; false when it cannot be opened.
  virtual bool SaveBarState();

  // --- The window's messages, called by the window procedure.
  // WM_CREATE after the default handling; `origin` is the window's top-left corner.
  void HandleCreate(BarPoint origin);
  // WM_DESTROY before the default handling.
  void HandleDestroy();
  // WM_ACTIVATE after the default handling.
  void HandleActivate(bool becameInactive);
  // WM_WINDOWPOSCHANGED after the default handling.
  void HandleWindowPosChanged();
  // WM_NCMOUSEMOVE before the default handling.
  void HandleNcMouseMove();
  void HandleEnterSizeMove();
  void HandleExitSizeMove();
  // WM_MOVING: may change the drag rectangle.
  void HandleMoving(BarRect& dragRect);
  // WM_SIZING: may change the sizing rectangle.
  void HandleSizing(int side, BarRect& r);
  BarSizeLimits HandleGetMinMaxInfo();
  // WM_NCHITTEST: maps the default answer.
  int HandleNcHitTest(int defaultHit, BarPoint p, const BarRect& clientOnScreen, bool dragButtonDown,
                      bool controlAtPoint);
  // The shell's notification message: `wParam` is the notification code.
  void HandleShellNotify(std::uintptr_t wParam, std::intptr_t lParam);
  // A tick of AutoHideTimer.
  void AutoHideWatchTick();

  // --- Algorithms (also used by the handlers above).
  // The rectangle a bar docked on `edge` takes, from the whole screen less the space of
  // other bars; abeFloat leaves `r` unchanged.
  void DockRect(TAppBarEdge edge, BarRect& r);
  // Moves `r` to the shown or hidden position of an auto-hide bar on Edge; false for a bar
  // that does not auto-hide.
  bool AutoHidePlacement(bool show, BarRect& r);
  // Slides an auto-hide bar out (`show`) or back, marking it shown when it does not auto-hide.
  void ShowAutoHideBar(bool show);
  // Moves the window to `target`, with the slide effect when it is on.
  void SlideTo(const BarRect& target);
  // Replaces the settings block from or into an open registry (used by Load/SaveBarState).
  bool LoadBarStateFrom(BarRegistry& registry);
  bool SaveBarStateTo(BarRegistry& registry);

 protected:
  // --- Platform operations.
  // Makes the window when it does not exist yet; writing Edge does this first, so that the
  // window's creation (and its registration with the shell) comes before the edge is applied.
  virtual void PrepareWindow() {}
  // The shell request wrapper: one SHAppBarMessage with the bar's window, the notification
  // message, `edge`, `*rect` (0,0,0,0 when null; copied back when given) and `param`.
  virtual std::uintptr_t AppBarMessage(std::uint32_t msg, std::uint32_t edge, BarRect* rect,
                                       std::intptr_t param) = 0;
  // The window's handle as the shell's answers carry it; 0 while there is no window.
  virtual std::uintptr_t BarWindowId() = 0;
  virtual BarMetrics Metrics() = 0;
  // SPI_GETDRAGFULLWINDOWS.
  virtual bool DragFullWindows() = 0;
  // The millisecond tick counter.
  virtual std::uint32_t TickCount() = 0;
  virtual BarRect CurrentWindowRect() = 0;
  // Each sets one of the window's left, top, width and height.
  virtual void SetWindowLeft(std::int32_t v) = 0;
  virtual void SetWindowTop(std::int32_t v) = 0;
  virtual void SetWindowWidth(std::int32_t v) = 0;
  virtual void SetWindowHeight(std::int32_t v) = 0;
  // One frame of a slide: places the window without touching the z-order or activation and
  // repaints it at once.
  virtual void PlaceSlideFrame(const BarRect& r) = 0;
  virtual void SetZOrder(BarZOrder z) = 0;
  virtual std::uint32_t WindowStyle() = 0;
  virtual void SetWindowStyle(std::uint32_t style) = 0;
  // Shows or hides the application's window that carries the program's task-bar button.
  virtual void ShowTaskBarButton(bool show) = 0;
  // The cursor position of the message being handled (screen coordinates).
  virtual BarPoint MessageCursorPos() = 0;
  virtual bool CtrlKeyDown() = 0;
  virtual bool IsActiveWindow() = 0;
  // Sets AutoHideTimer's interval once the timer exists; nothing before.
  virtual void SetAutoHideTimerInterval(std::int32_t ms) = 0;
  // Shows a modal information box with one OK button.
  virtual void ShowInformation(const std::string& caption, const std::string& text) = 0;
  // The registry the settings block is stored in.
  virtual BarRegistry& Registry() = 0;

 private:
  TAppBarSettings s_;
  TAppBarEdge dragEdge_ = abeUnknown;
  bool fullScreenAppOpen_ = false;
  bool autoHideShown_ = false;
  std::uint32_t rootKey_ = kHkeyCurrentUser;
  std::string keyName_ = kDefaultBarKeyName;
};

}  // namespace mq::bar
