#include "bar/AppBarCore.h"

#include <cstring>

namespace mq::bar {

std::string RegistryReadErrorText(const std::string& name) {
  return "Invalid data type for '" + name + "'";
}

AppBarCore::AppBarCore(std::int32_t screenWidth, std::int32_t screenHeight)
    : s_(DefaultBarSettings(screenWidth, screenHeight)) {}

TAppBarEdge AppBarCore::Edge() const { return dragEdge_ != abeUnknown ? dragEdge_ : StoredEdge(); }

void AppBarCore::SetSlideTime(std::int32_t ms) {
  s_.nSlideTime = ms;
  SetAutoHideTimerInterval(ms);
}

void AppBarCore::SetEdge(TAppBarEdge edge) {
  PrepareWindow();
  // Leave the auto-hide registration of whatever edge this window holds. A window that does
  // not exist yet (id 0) holds none, whatever the shell answers for an edge without a bar.
  if (const std::uintptr_t self = BarWindowId(); self != 0) {
    for (std::uint32_t e = abeLeft; e <= abeBottom; ++e) {
      if (AppBarMessage(kAbmGetAutoHideBar, e, nullptr, 0) == self) {
        AppBarMessage(kAbmSetAutoHideBar, e, nullptr, 0);
        break;
      }
    }
  }

  s_.abEdge = edge;

  if (edge == abeUnknown) {
    AppBarMessage(kAbmRemove, 0, nullptr, 0);
  } else if (edge == abeFloat) {
    BarRect none{};
    AppBarMessage(kAbmSetPos, abeFloat, &none, 0);
    SetWindowLeft(s_.rcFloat.left);
    SetWindowTop(s_.rcFloat.top);
    SetWindowWidth(s_.rcFloat.Width());
    SetWindowHeight(s_.rcFloat.Height());
  } else {
    if (AutoHide() && AppBarMessage(kAbmSetAutoHideBar, Edge(), nullptr, 1) == 0) {
      s_.bAutoHide = 0;
      AutoHideRefused();
    }
    BarRect r;
    DockRect(Edge(), r);
    if (AutoHide()) {
      // An auto-hide bar claims no space of its own.
      BarRect none{};
      AppBarMessage(kAbmSetPos, abeLeft, &none, 0);
    } else {
      AppBarMessage(kAbmSetPos, edge, &r, 0);
    }
    AutoHidePlacement(autoHideShown_, r);
    SlideTo(r);
  }

  if (AlwaysOnTop()) {
    SetZOrder(fullScreenAppOpen_ ? BarZOrder::Bottom : BarZOrder::Topmost);
  } else {
    SetZOrder(BarZOrder::NoTopmost);
  }

  AppBarMessage(kAbmActivate, 0, nullptr, 0);
  AdjustCaption(false, edge);

  switch (TaskEntry()) {
    case abtShow:
      ShowTaskBarButton(true);
      break;
    case abtHide:
      ShowTaskBarButton(false);
      break;
    case abtFloatDependent:
      if (edge == abeFloat) {
        ShowTaskBarButton(true);
      } else if (edge <= abeBottom) {
        ShowTaskBarButton(false);
      }
      break;
  }
}

void AppBarCore::DockRect(TAppBarEdge edge, BarRect& r) {
  if (edge == abeFloat) return;
  const BarMetrics m = Metrics();
  BarRect free{0, 0, m.screenWidth, m.screenHeight};
  if (!AutoHide()) AppBarMessage(kAbmQueryPos, edge, &free, 0);
  r = DockStrip(edge, free, s_.nVertDockSize, s_.nHorzDockSize);
}

bool AppBarCore::AutoHidePlacement(bool show, BarRect& r) {
  return PlaceAutoHide(Edge(), AutoHide(), show, r, Metrics());
}

void AppBarCore::ShowAutoHideBar(bool show) {
  BarRect r = CurrentWindowRect();
  autoHideShown_ = true;
  if (AutoHidePlacement(show, r)) {
    autoHideShown_ = show;
    SlideTo(r);
  }
}

void AppBarCore::SlideTo(const BarRect& target) {
  const BarRect start = CurrentWindowRect();
  const std::int32_t slideTime = s_.nSlideTime;
  // A slide time of 0 or less draws no intermediate frame (a negative one would otherwise
  // make the unsigned end time wrap and the loop run for weeks).
  if (SlideEffect() && slideTime > 0 && DragFullWindows() && !(start == target)) {
    const std::uint32_t t0 = TickCount();
    const std::uint32_t end = t0 + static_cast<std::uint32_t>(slideTime);
    for (std::uint32_t now = TickCount(); now < end; now = TickCount()) {
      PlaceSlideFrame(SlideFrame(start, target, now - t0, slideTime));
    }
  }
  SetWindowLeft(target.left);
  SetWindowTop(target.top);
  SetWindowWidth(target.Width());
  SetWindowHeight(target.Height());
}

void AppBarCore::AdjustCaption(bool dragging, TAppBarEdge newEdge) {
  if (dragging && !DragFullWindows()) return;
  const std::uint32_t style = WindowStyle();
  const std::uint32_t wanted = CaptionStyleFor(style, newEdge);
  if (wanted != style) SetWindowStyle(wanted);
}

void AppBarCore::AutoHideRefused() { ShowInformation(kAutoHideRefusedCaption, kAutoHideRefusedText); }

void AppBarCore::FullScreenAppChanged(bool open) {
  fullScreenAppOpen_ = open;
  RefreshPosition();
}

void AppBarCore::ShellPositionChanged() {
  if (Edge() != abeFloat && !AutoHide()) RefreshPosition();
}

void AppBarCore::ShellWindowArrange(bool /*beginning*/) {}

void AppBarCore::RefreshPosition() { SetEdge(Edge()); }

bool AppBarCore::LoadBarState() { return LoadBarStateFrom(Registry()); }

bool AppBarCore::SaveBarState() { return SaveBarStateTo(Registry()); }

namespace {

struct KeyCloser {
  BarRegistry& registry;
  ~KeyCloser() { registry.CloseKey(); }
};

}  // namespace

bool AppBarCore::LoadBarStateFrom(BarRegistry& registry) {
  if (!registry.OpenKey(rootKey_, keyName_, false)) return false;
  KeyCloser closer{registry};
  const std::optional<BarRegistry::Value> value = registry.ReadDefaultValue();
  if (!value) return false;
  if (value->type != kRegBinary || value->data.size() > sizeof(TAppBarSettings)) {
    throw ERegistryException(RegistryReadErrorText(""));
  }
  if (value->data.size() != sizeof(TAppBarSettings)) return false;
  std::memcpy(&s_, value->data.data(), sizeof(TAppBarSettings));
  return true;
}

bool AppBarCore::SaveBarStateTo(BarRegistry& registry) {
  if (!registry.OpenKey(rootKey_, keyName_, true)) return false;
  KeyCloser closer{registry};
  registry.WriteDefaultBinary(&s_, sizeof(TAppBarSettings));
  return true;
}

void AppBarCore::HandleCreate(BarPoint origin) {
  s_.rcFloat.left = origin.x;
  s_.rcFloat.top = origin.y;
  AppBarMessage(kAbmNew, 0, nullptr, 0);
  RefreshPosition();
}

void AppBarCore::HandleDestroy() { SetEdge(abeUnknown); }

void AppBarCore::HandleActivate(bool becameInactive) {
  if (becameInactive) ShowAutoHideBar(false);
  AppBarMessage(kAbmActivate, 0, nullptr, 0);
}

void AppBarCore::HandleWindowPosChanged() { AppBarMessage(kAbmWindowPosChanged, 0, nullptr, 0); }

void AppBarCore::HandleNcMouseMove() { ShowAutoHideBar(true); }

void AppBarCore::HandleEnterSizeMove() { dragEdge_ = Edge(); }

void AppBarCore::HandleExitSizeMove() {
  const TAppBarEdge proposed = dragEdge_;
  dragEdge_ = abeUnknown;
  const BarRect w = CurrentWindowRect();
  const TAppBarEdge stored = StoredEdge();

  if (proposed == stored) {
    // Same edge as before: the user resized the docked bar.
    if (stored == abeTop || stored == abeBottom) s_.nHorzDockSize = w.Height();
    if (stored == abeLeft || stored == abeRight) s_.nVertDockSize = w.Width();
  }
  if (proposed == abeFloat) {
    s_.rcFloat = stored == abeFloat ? w : UndockedFloatRect(w, s_.rcFloat, Metrics().workArea);
  }
  SetEdge(proposed);
}

void AppBarCore::HandleMoving(BarRect& dragRect) {
  const BarPoint p = MessageCursorPos();
  const TAppBarEdge proposed = ProposedEdge(CtrlKeyDown(), Flags(), p, StoredEdge(), Metrics());
  if (dragEdge_ != abeFloat && proposed == abeFloat) {
    dragRect = FloatRectAtCursor(p, s_.rcFloat);
  }
  dragEdge_ = proposed;
  DockRect(proposed, dragRect);
  AdjustCaption(true, proposed);
}

void AppBarCore::HandleSizing(int side, BarRect& r) {
  const bool floating = StoredEdge() == abeFloat;
  const std::int32_t minW = floating ? s_.nMinWidth : s_.nMinVertDockSize;
  const std::int32_t minH = floating ? s_.nMinHeight : s_.nMinHorzDockSize;
  SnapSize(side, r, minW, minH, s_.nHorzSizeInc, s_.nVertSizeInc);
}

BarSizeLimits AppBarCore::HandleGetMinMaxInfo() { return SizeLimits(Edge(), s_, Metrics()); }

int AppBarCore::HandleNcHitTest(int defaultHit, BarPoint p, const BarRect& clientOnScreen,
                                bool dragButtonDown, bool controlAtPoint) {
  return MapHitTest(defaultHit, Edge(), s_.nHorzSizeInc, s_.nVertSizeInc, p, clientOnScreen,
                    dragButtonDown, controlAtPoint);
}

void AppBarCore::HandleShellNotify(std::uintptr_t wParam, std::intptr_t lParam) {
  switch (wParam) {
    case kAbnPosChanged:
      ShellPositionChanged();
      break;
    case kAbnFullScreenApp:
      FullScreenAppChanged(lParam != 0);
      break;
    case kAbnWindowArrange:
      ShellWindowArrange(lParam != 0);
      break;
    default:
      break;
  }
}

void AppBarCore::AutoHideWatchTick() {
  if (IsActiveWindow()) return;
  if (OutsideAutoHideWatch(CurrentWindowRect(), MessageCursorPos(), Metrics())) {
    ShowAutoHideBar(false);
  }
}

}  // namespace mq::bar
