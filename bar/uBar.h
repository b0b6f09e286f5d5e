// TAppBar: a top-level form that registers itself with the shell as an application bar,
// docks to a screen edge (optionally auto-hiding) or floats, follows the user's drags between
// edges, and can keep its whole state as one registry value.
//
// The behaviour lives in the portable AppBarCore (bar/AppBarCore.h); this class gives it the
// shell, user32 and the registry, and routes the window's messages to it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "bar/AppBarCore.h"
#include "gui/Forms_win.h"
#include "gui/StdCtrls_win.h"

namespace mq {

using bar::abeBottom;
using bar::abeFloat;
using bar::abeLeft;
using bar::abeRight;
using bar::abeTop;
using bar::abeUnknown;
using bar::abfAllowBottom;
using bar::abfAllowFloat;
using bar::abfAllowLeft;
using bar::abfAllowRight;
using bar::abfAllowTop;
using bar::abtFloatDependent;
using bar::abtHide;
using bar::abtShow;
using bar::ERegistryException;
using bar::TAppBarEdge;
using bar::TAppBarFlag;
using bar::TAppBarFlags;
using bar::TAppBarSettings;
using bar::TAppBarTaskEntry;

class TAppBar : public TForm, public bar::AppBarCore {
 public:
  explicit TAppBar(TComponent* owner);
  ~TAppBar() override;
  void BeforeDestruction() override;

  // The timer of the auto-hide watch: created with the window, disabled; null before.
  TTimer* AutoHideTimer() const noexcept { return autoHideTimer_; }

  bool ReadProperty(const std::string& name, const FormValue& value, TFormReader& reader) override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  // Also scales the dock sizes, the size increments and the minimum sizes (design units like
  // the rest of the form) and, once the bar is registered, applies it again so the shell
  // reserves a strip of the new size.
  void ScaleForDpi(int toDpi, int fromDpi) override;
  // A docked bar takes its rectangle from the dock size, not from the system's suggestion.
  void DpiChanged(int dpi, const RECT* suggested) override;

 protected:
  void CreateParams(TCreateParams& params) override;
  void FrameStyles(DWORD& style, DWORD& exStyle) const override;

  // The work area changed (another bar or the task bar moved), after a docked bar has been
  // applied again. The default does nothing; the owner lays its content out here.
  virtual void WorkAreaChanged() {}

  // --- AppBarCore's platform operations.
  std::uintptr_t AppBarMessage(std::uint32_t msg, std::uint32_t edge, bar::BarRect* rect,
                               std::intptr_t param) override;
  void PrepareWindow() override;
  std::uintptr_t BarWindowId() override;
  bar::BarMetrics Metrics() override;
  bool DragFullWindows() override;
  std::uint32_t TickCount() override;
  bar::BarRect CurrentWindowRect() override;
  void SetWindowLeft(std::int32_t v) override { SetLeft(v); }
  void SetWindowTop(std::int32_t v) override { SetTop(v); }
  void SetWindowWidth(std::int32_t v) override { SetWidth(v); }
  void SetWindowHeight(std::int32_t v) override { SetHeight(v); }
  void PlaceSlideFrame(const bar::BarRect& r) override;
  void SetZOrder(bar::BarZOrder z) override;
  std::uint32_t WindowStyle() override;
  void SetWindowStyle(std::uint32_t style) override;
  void ShowTaskBarButton(bool show) override;
  bar::BarPoint MessageCursorPos() override;
  bool CtrlKeyDown() override;
  bool IsActiveWindow() override;
  void SetAutoHideTimerInterval(std::int32_t ms) override;
  void ShowInformation(const std::string& caption, const std::string& text) override;
  bar::BarRegistry& Registry() override;

 private:
  LRESULT OnCreateMessage(WPARAM wp, LPARAM lp);
  LRESULT OnHitTest(WPARAM wp, LPARAM lp);
  void OnWorkAreaMessage();
  // A visible, enabled window-less control that reacts to a press at a client point.
  bool GraphicControlAt(POINT clientPoint) const;

  TTimer* autoHideTimer_ = nullptr;
  std::unique_ptr<bar::BarRegistry> registry_;
  bool freeing_ = false;
  RECT workArea_{};  // the work area last seen by OnWorkAreaMessage
};

// The registry as the settings block needs it, on advapi32.
std::unique_ptr<bar::BarRegistry> MakeWin32BarRegistry();

}  // namespace mq
