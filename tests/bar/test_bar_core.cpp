// The bar's behaviour against a recording stand-in for the window system: the shell requests
// and window operations of each algorithm, in order.
#include "bar/AppBarCore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "tests/bar/BarTestScreen.h"

namespace mq::bar {

void PrintTo(TAppBarEdge e, std::ostream* os) { *os << "edge " << static_cast<int>(e); }

namespace {

std::string Str(const BarRect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

class FakeRegistry : public BarRegistry {
 public:
  using Key = std::pair<std::uint32_t, std::string>;
  std::map<Key, std::optional<Value>> keys;  // a key that exists, with its default value
  bool refuseOpen = false;
  bool isOpen = false;
  bool lastCreate = false;
  int closes = 0;
  Key current;

  bool OpenKey(std::uint32_t root, const std::string& keyName, bool create) override {
    lastCreate = create;
    const Key k{root, keyName};
    if (refuseOpen || (!create && !keys.count(k))) return false;
    keys.try_emplace(k);
    current = k;
    isOpen = true;
    return true;
  }
  std::optional<Value> ReadDefaultValue() override {
    EXPECT_TRUE(isOpen);
    return keys[current];
  }
  void WriteDefaultBinary(const void* data, std::size_t size) override {
    EXPECT_TRUE(isOpen);
    const auto* b = static_cast<const std::uint8_t*>(data);
    keys[current] = Value{kRegBinary, std::vector<std::uint8_t>(b, b + size)};
  }
  void CloseKey() override {
    isOpen = false;
    ++closes;
  }
};

// A bar whose platform is a log. The simulated shell hands out the free area (a 28-pixel task
// bar at the bottom, plus whatever `takenTop` other bars hold at the top) and keeps one
// auto-hide bar per edge.
class RecordingBar : public AppBarCore {
 public:
  RecordingBar() : AppBarCore(1024, 768) {
    metrics.cyBorder = 1;
    metrics.cyDoubleClk = 4;
  }

  std::vector<std::string> log;
  BarMetrics metrics = Screen1024();
  std::uintptr_t self = 0x1234;
  std::uintptr_t autoHideOwner[4] = {};
  std::int32_t takenTop = 0;
  std::int32_t setPosShift = 0;  // the shell moves a SETPOS rectangle down by this much
  BarRect window{100, 100, 300, 140};
  bool dragFull = false;
  std::uint32_t tick = 1000;
  std::uint32_t tickStep = 250;       // by default a slide is over at the first reading
  std::uint32_t style = 0x80000000u;  // WS_POPUP
  BarPoint cursor;
  bool ctrl = false;
  bool active = false;
  std::int32_t timerInterval = -1;
  int prepared = 0;
  std::vector<std::string> infos;
  FakeRegistry registry;

  // The log entries that start with `prefix`.
  std::vector<std::string> Only(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& e : log)
      if (e.rfind(prefix, 0) == 0) out.push_back(e);
    return out;
  }
  void Clear() { log.clear(); }

 protected:
  std::uintptr_t AppBarMessage(std::uint32_t msg, std::uint32_t edge, BarRect* rect,
                               std::intptr_t param) override {
    static const std::map<std::uint32_t, std::string> names = {
        {kAbmNew, "NEW"},
        {kAbmRemove, "REMOVE"},
        {kAbmQueryPos, "QUERYPOS"},
        {kAbmSetPos, "SETPOS"},
        {kAbmActivate, "ACTIVATE"},
        {kAbmGetAutoHideBar, "GETAUTOHIDEBAR"},
        {kAbmSetAutoHideBar, "SETAUTOHIDEBAR"},
        {kAbmWindowPosChanged, "WINDOWPOSCHANGED"}};
    std::string entry = names.at(msg);
    if (msg == kAbmGetAutoHideBar || msg == kAbmSetAutoHideBar || msg == kAbmQueryPos ||
        msg == kAbmSetPos) {
      entry += " " + std::to_string(edge);
    }
    if (msg == kAbmSetAutoHideBar) entry += " " + std::to_string(param);
    if (rect) entry += " " + Str(*rect);
    std::uintptr_t result = 1;
    switch (msg) {
      case kAbmGetAutoHideBar:
        result = edge < 4 ? autoHideOwner[edge] : 0;
        break;
      case kAbmSetAutoHideBar:
        if (param != 0) {
          if (autoHideOwner[edge] != 0 && autoHideOwner[edge] != self) {
            result = 0;
          } else {
            autoHideOwner[edge] = self;
          }
        } else if (autoHideOwner[edge] == self) {
          autoHideOwner[edge] = 0;
        }
        break;
      case kAbmQueryPos:
      case kAbmSetPos:
        if (edge <= abeBottom) {
          rect->top = std::max(rect->top, takenTop);
          rect->bottom = std::min(rect->bottom, 740);
          if (msg == kAbmSetPos) {
            rect->top += setPosShift;
            rect->bottom += setPosShift;
          }
        }
        break;
      default:
        break;
    }
    if (rect && (msg == kAbmQueryPos || msg == kAbmSetPos)) entry += " -> " + Str(*rect);
    log.push_back(entry);
    return result;
  }
  void PrepareWindow() override { ++prepared; }
  std::uintptr_t BarWindowId() override { return self; }
  BarMetrics Metrics() override { return metrics; }
  bool DragFullWindows() override { return dragFull; }
  std::uint32_t TickCount() override {
    const std::uint32_t t = tick;
    tick += tickStep;
    return t;
  }
  BarRect CurrentWindowRect() override { return window; }
  void SetWindowLeft(std::int32_t v) override {
    window = {v, window.top, v + window.Width(), window.bottom};
    log.push_back("left " + std::to_string(v));
  }
  void SetWindowTop(std::int32_t v) override {
    window = {window.left, v, window.right, v + window.Height()};
    log.push_back("top " + std::to_string(v));
  }
  void SetWindowWidth(std::int32_t v) override {
    window.right = window.left + v;
    log.push_back("width " + std::to_string(v));
  }
  void SetWindowHeight(std::int32_t v) override {
    window.bottom = window.top + v;
    log.push_back("height " + std::to_string(v));
  }
  void PlaceSlideFrame(const BarRect& r) override {
    window = r;
    log.push_back("frame " + Str(r));
  }
  void SetZOrder(BarZOrder z) override {
    log.push_back(z == BarZOrder::Topmost  ? "z topmost"
                  : z == BarZOrder::Bottom ? "z bottom"
                                           : "z notopmost");
  }
  std::uint32_t WindowStyle() override { return style; }
  void SetWindowStyle(std::uint32_t s) override {
    style = s;
    log.push_back((s & kCaptionStyleBits) ? "style caption" : "style plain");
  }
  void ShowTaskBarButton(bool show) override { log.push_back(show ? "button show" : "button hide"); }
  BarPoint MessageCursorPos() override { return cursor; }
  bool CtrlKeyDown() override { return ctrl; }
  bool IsActiveWindow() override { return active; }
  void SetAutoHideTimerInterval(std::int32_t ms) override { timerInterval = ms; }
  void ShowInformation(const std::string& caption, const std::string& text) override {
    infos.push_back(caption + "|" + text);
    log.push_back("info");
  }
  BarRegistry& Registry() override { return registry; }
};

using Log = std::vector<std::string>;

// Every application of an edge first asks the shell about the auto-hide bar of each edge.
Log AfterAutoHideQuestions(std::initializer_list<Log> rest) {
  Log log = {"GETAUTOHIDEBAR 0", "GETAUTOHIDEBAR 1", "GETAUTOHIDEBAR 2", "GETAUTOHIDEBAR 3"};
  for (const Log& part : rest) log.insert(log.end(), part.begin(), part.end());
  return log;
}

// The window put at its place and size, then raised above the others and activated.
Log Placed(int left, int top, int width, int height) {
  return {"left " + std::to_string(left),
          "top " + std::to_string(top),
          "width " + std::to_string(width),
          "height " + std::to_string(height),
          "z topmost",
          "ACTIVATE"};
}

TEST(BarApply, DockingToTheTopRunsTheWholeSequence) {
  RecordingBar bar;
  bar.SetEdge(abeTop);
  const Log expected = AfterAutoHideQuestions(
      {{"QUERYPOS 1 0,0,1024,768 -> 0,0,1024,740", "SETPOS 1 0,0,1024,32 -> 0,0,1024,32"},
       Placed(0, 0, 1024, 32),
       {"button hide"}});
  EXPECT_EQ(bar.log, expected);
  EXPECT_EQ(bar.prepared, 1);
  EXPECT_EQ(bar.window, (BarRect{0, 0, 1024, 32}));
  EXPECT_EQ(bar.Edge(), abeTop);
  EXPECT_EQ(bar.StoredEdge(), abeTop);
}

TEST(BarApply, TakesTheRectanglesTheShellReturns) {
  RecordingBar bar;
  bar.takenTop = 24;    // another bar holds the top 24 pixels
  bar.setPosShift = 3;  // and the shell moves ours a little further
  bar.SetHorzDockSize(20);
  bar.SetEdge(abeTop);
  EXPECT_EQ(bar.Only("SETPOS"), Log{"SETPOS 1 0,24,1024,44 -> 0,27,1024,47"});
  EXPECT_EQ(bar.window, (BarRect{0, 27, 1024, 47}));

  bar.Clear();
  bar.SetEdge(abeBottom);
  EXPECT_EQ(bar.Only("QUERYPOS"), Log{"QUERYPOS 3 0,0,1024,768 -> 0,24,1024,740"});
  EXPECT_EQ(bar.window, (BarRect{0, 723, 1024, 743}));
}

TEST(BarApply, FloatingClaimsNoSpaceAndShowsTheCaption) {
  RecordingBar bar;
  bar.SetFloatLeft(50);
  bar.SetFloatTop(60);
  bar.SetFloatRight(350);
  bar.SetFloatBottom(100);
  bar.SetEdge(abeFloat);
  const Log expected = AfterAutoHideQuestions(
      {{"SETPOS 5 0,0,0,0 -> 0,0,0,0"}, Placed(50, 60, 300, 40), {"style caption", "button show"}});
  EXPECT_EQ(bar.log, expected);
  EXPECT_EQ(bar.window, (BarRect{50, 60, 350, 100}));

  bar.Clear();
  bar.SetEdge(abeLeft);
  EXPECT_EQ(bar.Only("style"), Log{"style plain"});
  EXPECT_EQ(bar.window, (BarRect{0, 0, 32, 740}));
}

TEST(BarApply, UnknownUnregistersAndLeavesTheButtonOfAFloatDependentBar) {
  RecordingBar bar;
  bar.SetEdge(abeUnknown);
  const Log expected = AfterAutoHideQuestions({{"REMOVE", "z topmost", "ACTIVATE"}});
  EXPECT_EQ(bar.log, expected);
}

TEST(BarApply, NoWindowYetAsksNoAutoHideQuestion) {
  RecordingBar bar;
  bar.self = 0;  // the shell's "no bar" answer must not be taken for this window
  bar.SetEdge(abeTop);
  EXPECT_TRUE(bar.Only("GETAUTOHIDEBAR").empty());
  EXPECT_TRUE(bar.Only("SETAUTOHIDEBAR").empty());
}

TEST(BarApply, TaskBarButtonFollowsTaskEntry) {
  struct Case {
    TAppBarTaskEntry entry;
    TAppBarEdge edge;
    Log expected;
  };
  const Case cases[] = {
      {abtShow, abeTop, {"button show"}},
      {abtShow, abeFloat, {"button show"}},
      {abtShow, abeUnknown, {"button show"}},
      {abtHide, abeTop, {"button hide"}},
      {abtHide, abeFloat, {"button hide"}},
      {abtHide, abeUnknown, {"button hide"}},
      {abtFloatDependent, abeBottom, {"button hide"}},
      {abtFloatDependent, abeFloat, {"button show"}},
      {abtFloatDependent, abeUnknown, {}},
  };
  for (const Case& c : cases) {
    RecordingBar bar;
    bar.SetTaskEntry(c.entry);
    bar.SetEdge(c.edge);
    EXPECT_EQ(bar.Only("button"), c.expected) << int(c.entry) << " on " << int(c.edge);
  }
}

TEST(BarApply, ZOrderFollowsAlwaysOnTopAndTheFullScreenState) {
  RecordingBar bar;
  bar.SetEdge(abeTop);
  EXPECT_EQ(bar.Only("z"), Log{"z topmost"});

  bar.Clear();
  bar.HandleShellNotify(kAbnFullScreenApp, 1);
  EXPECT_TRUE(bar.FullScreenAppOpen());
  EXPECT_EQ(bar.Only("z"), Log{"z bottom"});

  bar.Clear();
  bar.HandleShellNotify(kAbnFullScreenApp, 0);
  EXPECT_FALSE(bar.FullScreenAppOpen());
  EXPECT_EQ(bar.Only("z"), Log{"z topmost"});

  bar.SetAlwaysOnTop(false);
  bar.Clear();
  bar.FullScreenAppChanged(true);
  EXPECT_EQ(bar.Only("z"), Log{"z notopmost"});
}

TEST(BarApply, PlainFieldsActOnlyAtTheNextApplication) {
  RecordingBar bar;
  bar.SetEdge(abeTop);
  bar.Clear();
  bar.SetAlwaysOnTop(false);
  bar.SetAutoHide(true);
  bar.SetHorzDockSize(50);
  bar.SetTaskEntry(abtShow);
  EXPECT_TRUE(bar.log.empty());
  EXPECT_EQ(bar.window, (BarRect{0, 0, 1024, 32}));

  bar.RefreshPosition();
  EXPECT_EQ(bar.Only("z"), Log{"z notopmost"});
  EXPECT_EQ(bar.Only("SETAUTOHIDEBAR"), Log{"SETAUTOHIDEBAR 1 1"});
  EXPECT_EQ(bar.Only("button"), Log{"button show"});
  EXPECT_EQ(bar.window.Height(), 50);
}

TEST(BarApply, SlideTimeActsAtOnceOnTheTimer) {
  RecordingBar bar;
  bar.SetSlideTime(120);
  EXPECT_EQ(bar.timerInterval, 120);
  EXPECT_EQ(bar.SlideTime(), 120);
}

TEST(BarAutoHide, RefusedEdgeTurnsAutoHideOffAndTellsTheUserOncePerAttempt) {
  RecordingBar bar;
  bar.autoHideOwner[abeTop] = 0x9999;  // another window hides on the top edge
  bar.SetAutoHide(true);
  bar.SetEdge(abeTop);
  EXPECT_FALSE(bar.AutoHide());
  ASSERT_EQ(bar.infos.size(), 1u);
  EXPECT_EQ(bar.infos[0],
            "Information|There is already an auto hidden window on this edge.\n\r"
            "Only one auto hidden window is allowed on each edge.");
  // It docks normally: the space is claimed on the edge.
  EXPECT_EQ(bar.Only("SETPOS"), Log{"SETPOS 1 0,0,1024,32 -> 0,0,1024,32"});
  EXPECT_EQ(bar.window, (BarRect{0, 0, 1024, 32}));
  // Its refusal comes before anything is placed.
  const auto refusal = std::find(bar.log.begin(), bar.log.end(), "SETAUTOHIDEBAR 1 1");
  ASSERT_NE(refusal, bar.log.end());
  EXPECT_EQ(*(refusal + 1), "info");

  bar.RefreshPosition();  // AutoHide is off now: no second message
  EXPECT_EQ(bar.infos.size(), 1u);
  bar.SetAutoHide(true);
  bar.RefreshPosition();  // a second attempt
  EXPECT_EQ(bar.infos.size(), 2u);
  EXPECT_EQ(bar.autoHideOwner[abeTop], 0x9999u);
}

TEST(BarAutoHide, AcceptedBarClaimsNoSpaceAndHidesToASliver) {
  RecordingBar bar;
  bar.SetAutoHide(true);
  bar.SetEdge(abeTop);
  const Log expected = AfterAutoHideQuestions({{"SETAUTOHIDEBAR 1 1", "SETPOS 0 0,0,0,0 -> 0,0,0,0"},
                                               Placed(0, -30, 1024, 32),
                                               {"button hide"}});
  EXPECT_EQ(bar.log, expected);
  EXPECT_EQ(bar.autoHideOwner[abeTop], bar.self);
  EXPECT_FALSE(bar.AutoHideShown());

  // The mouse over the frame slides it out, deactivation slides it back.
  bar.HandleNcMouseMove();
  EXPECT_TRUE(bar.AutoHideShown());
  EXPECT_EQ(bar.window, (BarRect{0, 0, 1024, 32}));
  bar.Clear();
  bar.HandleActivate(true);
  EXPECT_FALSE(bar.AutoHideShown());
  EXPECT_EQ(bar.window, (BarRect{0, -30, 1024, 2}));
  EXPECT_EQ(bar.log.back(), "ACTIVATE");

  // Moving to another edge first leaves the registration on the old one.
  bar.Clear();
  bar.SetEdge(abeBottom);
  const Log prefix = {"GETAUTOHIDEBAR 0", "GETAUTOHIDEBAR 1", "SETAUTOHIDEBAR 1 0",
                      "SETAUTOHIDEBAR 3 1"};
  EXPECT_EQ(Log(bar.log.begin(), bar.log.begin() + 4), prefix);
  EXPECT_EQ(bar.autoHideOwner[abeTop], 0u);
  EXPECT_EQ(bar.autoHideOwner[abeBottom], bar.self);
  EXPECT_EQ(bar.window, (BarRect{0, 766, 1024, 798}));
}

TEST(BarAutoHide, BarThatDoesNotAutoHideIsAlwaysMarkedShown) {
  RecordingBar bar;
  bar.SetEdge(abeTop);
  bar.HandleActivate(true);
  EXPECT_TRUE(bar.AutoHideShown());
  EXPECT_EQ(bar.window, (BarRect{0, 0, 1024, 32}));
}

TEST(BarAutoHide, WatchHidesOnlyAnInactiveBarWithTheCursorFarAway) {
  RecordingBar bar;
  bar.SetAutoHide(true);
  bar.SetEdge(abeTop);
  bar.HandleNcMouseMove();
  ASSERT_TRUE(bar.AutoHideShown());

  bar.active = true;
  bar.cursor = {500, 700};
  bar.AutoHideWatchTick();
  EXPECT_TRUE(bar.AutoHideShown());

  bar.active = false;
  bar.cursor = {500, 39};  // within twice the double-click height below the bar
  bar.AutoHideWatchTick();
  EXPECT_TRUE(bar.AutoHideShown());

  bar.cursor = {500, 40};
  bar.AutoHideWatchTick();
  EXPECT_FALSE(bar.AutoHideShown());
}

TEST(BarSlide, FramesFollowTheClockAndTheLastPlacementIsTheTarget) {
  RecordingBar bar;
  bar.SetEdge(abeTop);
  bar.SetAutoHide(true);
  bar.RefreshPosition();  // hidden at 0,-30
  bar.dragFull = true;
  bar.tickStep = 50;  // each reading of the clock is 50 ms later
  bar.Clear();
  bar.HandleNcMouseMove();
  const Log expected = {
      "frame 0,-23,1024,9", "frame 0,-15,1024,17", "frame 0,-8,1024,24", "left 0", "top 0",
      "width 1024",         "height 32",
  };
  EXPECT_EQ(bar.log, expected);
  EXPECT_EQ(bar.window, (BarRect{0, 0, 1024, 32}));
}

TEST(BarSlide, MovesInOneStepWithoutTheEffect) {
  struct Case {
    const char* what;
    bool slideEffect;
    bool dragFull;
    std::int32_t slideTime;
  };
  const Case cases[] = {
      {"slide time 0", true, true, 0},
      {"negative slide time", true, true, -5},
      {"no full-window dragging", true, false, 200},
      {"effect off", false, true, 200},
  };
  for (const Case& c : cases) {
    RecordingBar bar;
    bar.SetSlideEffect(c.slideEffect);
    bar.SetSlideTime(c.slideTime);
    bar.dragFull = c.dragFull;
    bar.tick = 3;  // near the counter's start, where a wrapped end time would loop
    bar.tickStep = 1;
    bar.SetEdge(abeTop);
    EXPECT_TRUE(bar.Only("frame").empty()) << c.what;
    EXPECT_EQ(bar.window, (BarRect{0, 0, 1024, 32})) << c.what;
  }
}

TEST(BarSlide, NoFramesWhenAlreadyOnTheTarget) {
  RecordingBar bar;
  bar.dragFull = true;
  bar.tickStep = 10;
  bar.window = {0, 0, 1024, 32};
  bar.SetEdge(abeTop);
  EXPECT_TRUE(bar.Only("frame").empty());
}

TEST(BarDrag, LowerHalfMovesATopBottomBarToTheBottomAndBack) {
  RecordingBar bar;
  bar.SetFlags({abfAllowTop, abfAllowBottom});
  bar.SetHorzSizeInc(0);
  bar.SetVertSizeInc(0);
  bar.SetEdge(abeTop);

  bar.HandleEnterSizeMove();
  EXPECT_EQ(bar.DragEdge(), abeTop);
  // Nearer the left side: the bar keeps its edge and the outline stays on top.
  bar.cursor = {5, 384};
  BarRect drag{5, 370, 1029, 402};
  bar.HandleMoving(drag);
  EXPECT_EQ(bar.DragEdge(), abeTop);
  EXPECT_EQ(drag, (BarRect{0, 0, 1024, 32}));
  // Into the lower half: the outline follows to the bottom at once.
  bar.cursor = {512, 600};
  drag = {0, 590, 1024, 622};
  bar.Clear();
  bar.HandleMoving(drag);
  EXPECT_EQ(bar.DragEdge(), abeBottom);
  EXPECT_EQ(bar.Edge(), abeBottom);
  EXPECT_EQ(bar.StoredEdge(), abeTop);
  EXPECT_EQ(drag, (BarRect{0, 708, 1024, 740}));
  EXPECT_EQ(bar.log, Log{"QUERYPOS 3 0,0,1024,768 -> 0,0,1024,740"});
  // The system moved the window to the outline; the loop ends there.
  bar.window = drag;
  bar.HandleExitSizeMove();
  EXPECT_EQ(bar.DragEdge(), abeUnknown);
  EXPECT_EQ(bar.StoredEdge(), abeBottom);
  EXPECT_EQ(bar.window, (BarRect{0, 708, 1024, 740}));
  EXPECT_EQ(bar.Only("SETPOS"), Log{"SETPOS 3 0,708,1024,740 -> 0,708,1024,740"});

  // And back to the top.
  bar.HandleEnterSizeMove();
  bar.cursor = {512, 100};
  drag = {0, 90, 1024, 122};
  bar.HandleMoving(drag);
  bar.window = drag;
  bar.HandleExitSizeMove();
  EXPECT_EQ(bar.StoredEdge(), abeTop);
  EXPECT_EQ(bar.window, (BarRect{0, 0, 1024, 32}));
}

TEST(BarDrag, EndOfALoopOnTheSameEdgeRecordsTheDockSize) {
  RecordingBar bar;
  bar.SetEdge(abeTop);
  bar.HandleEnterSizeMove();
  bar.window = {0, 0, 1024, 24};  // the user (or the real window) made it 24 high
  bar.HandleExitSizeMove();
  EXPECT_EQ(bar.HorzDockSize(), 24);
  EXPECT_EQ(bar.VertDockSize(), 32);
  EXPECT_EQ(bar.window, (BarRect{0, 0, 1024, 24}));

  bar.SetEdge(abeRight);
  bar.HandleEnterSizeMove();
  bar.window = {974, 0, 1024, 740};
  bar.HandleExitSizeMove();
  EXPECT_EQ(bar.VertDockSize(), 50);
  EXPECT_EQ(bar.HorzDockSize(), 24);
}

TEST(BarDrag, PullingLooseFloatsTheBarWithTheOldFloatSize) {
  RecordingBar bar;  // every flag, floating allowed
  bar.SetFloatLeft(10);
  bar.SetFloatTop(10);
  bar.SetFloatRight(210);
  bar.SetFloatBottom(50);
  bar.SetEdge(abeTop);
  bar.dragFull = true;

  bar.HandleEnterSizeMove();
  bar.cursor = {500, 300};
  BarRect drag{0, 290, 1024, 322};
  bar.Clear();
  bar.HandleMoving(drag);
  EXPECT_EQ(bar.DragEdge(), abeFloat);
  EXPECT_EQ(drag, (BarRect{400, 300, 600, 340}));
  EXPECT_EQ(bar.log, Log{"style caption"});  // full-window dragging shows the frame at once
  // A second move while floating keeps the system's rectangle.
  drag = {410, 310, 610, 350};
  bar.HandleMoving(drag);
  EXPECT_EQ(drag, (BarRect{410, 310, 610, 350}));

  bar.window = drag;
  bar.HandleExitSizeMove();
  EXPECT_EQ(bar.StoredEdge(), abeFloat);
  EXPECT_EQ(bar.window, (BarRect{410, 310, 610, 350}));
  EXPECT_EQ(bar.FloatLeft(), 410);
  EXPECT_EQ(bar.FloatBottom(), 350);

  // Undocking a window as wide as the work area takes the previous float size.
  bar.SetEdge(abeTop);
  bar.HandleEnterSizeMove();
  bar.cursor = {500, 300};
  drag = {0, 290, 1024, 322};
  bar.HandleMoving(drag);
  bar.window = {0, 290, 1024, 322};  // as if the system had kept the docked size
  bar.HandleExitSizeMove();
  EXPECT_EQ(bar.window, (BarRect{0, 290, 200, 330}));
}

TEST(BarDrag, CtrlFloatsOnlyWithAbfAllowFloat) {
  RecordingBar bar;
  bar.SetEdge(abeTop);
  bar.ctrl = true;
  bar.cursor = {512, 5};
  bar.HandleEnterSizeMove();
  BarRect drag{0, 0, 1024, 32};
  bar.HandleMoving(drag);
  EXPECT_EQ(bar.DragEdge(), abeFloat);
  bar.HandleExitSizeMove();

  bar.SetFlags({abfAllowTop, abfAllowBottom});
  bar.SetEdge(abeTop);
  bar.HandleEnterSizeMove();
  bar.HandleMoving(drag);
  EXPECT_EQ(bar.DragEdge(), abeTop);
}

TEST(BarDrag, CaptionWaitsForTheEndWithoutFullWindowDragging) {
  RecordingBar bar;
  bar.SetEdge(abeTop);
  bar.dragFull = false;
  bar.HandleEnterSizeMove();
  bar.cursor = {500, 300};
  BarRect drag{0, 290, 1024, 322};
  bar.Clear();
  bar.HandleMoving(drag);
  EXPECT_TRUE(bar.Only("style").empty());
  bar.window = drag;
  bar.HandleExitSizeMove();
  EXPECT_EQ(bar.Only("style"), Log{"style caption"});
}

TEST(BarSizing, MinimumDependsOnTheStoredEdge) {
  RecordingBar bar;
  bar.SetHorzSizeInc(10);
  bar.SetVertSizeInc(10);
  bar.SetMinWidth(5);
  bar.SetMinHorzDockSize(3);
  bar.SetEdge(abeFloat);
  BarRect r{0, 0, 34, 20};
  bar.HandleSizing(kSizeRight, r);
  EXPECT_EQ(r, (BarRect{0, 0, 35, 20}));  // steps of 10 above MinWidth 5

  bar.SetEdge(abeTop);
  r = {0, 0, 1024, 34};
  bar.HandleSizing(kSizeBottom, r);
  EXPECT_EQ(r, (BarRect{0, 0, 1024, 33}));  // steps of 10 above MinHorzDockSize 3
}

TEST(BarSizing, LimitsUseTheEdgeAsReadDuringALoop) {
  RecordingBar bar;
  bar.SetMaxHorzDockSize(100);
  bar.SetMaxVertDockSize(200);
  bar.SetEdge(abeTop);
  EXPECT_EQ(bar.HandleGetMinMaxInfo().maxTrack, (BarPoint{1024, 100}));
  bar.HandleEnterSizeMove();
  bar.cursor = {3, 384};
  BarRect drag{0, 0, 1024, 32};
  bar.HandleMoving(drag);
  ASSERT_EQ(bar.Edge(), abeLeft);
  EXPECT_EQ(bar.HandleGetMinMaxInfo().maxTrack, (BarPoint{200, 768}));
}

TEST(BarHitTest, DockedBarWithoutIncrementsCannotBeResized) {
  RecordingBar bar;
  bar.SetHorzSizeInc(0);
  bar.SetVertSizeInc(0);
  bar.SetEdge(abeTop);
  const BarRect client{1, 1, 1023, 31};
  for (int hit = kHtLeft; hit <= kHtBottomRight; ++hit) {
    EXPECT_EQ(bar.HandleNcHitTest(hit, {500, 31}, client, false, false), kHtBorder) << hit;
  }
  bar.SetVertSizeInc(1);
  EXPECT_EQ(bar.HandleNcHitTest(kHtBottom, {500, 31}, client, false, false), kHtBottom);
}

TEST(BarShell, NotificationsReachTheirOperations) {
  RecordingBar bar;
  bar.SetEdge(abeTop);
  bar.Clear();
  bar.HandleShellNotify(kAbnPosChanged, 0);
  EXPECT_EQ(bar.Only("SETPOS").size(), 1u);

  bar.Clear();
  bar.HandleShellNotify(kAbnStateChange, 0);
  bar.HandleShellNotify(kAbnWindowArrange, 1);
  bar.HandleShellNotify(7, 0);
  EXPECT_TRUE(bar.log.empty());

  // No re-application for a floating or an auto-hide bar.
  bar.SetEdge(abeFloat);
  bar.Clear();
  bar.HandleShellNotify(kAbnPosChanged, 0);
  EXPECT_TRUE(bar.log.empty());
  bar.SetAutoHide(true);
  bar.SetEdge(abeLeft);
  bar.Clear();
  bar.HandleShellNotify(kAbnPosChanged, 0);
  EXPECT_TRUE(bar.log.empty());
}

TEST(BarLifecycle, CreationRegistersAndDocksDestructionUnregisters) {
  RecordingBar bar;
  bar.SetEdge(abeTop);  // as the owner does before the window exists...
  bar.Clear();
  bar.window = {40, 50, 240, 90};
  bar.HandleCreate({40, 50});
  EXPECT_EQ(bar.FloatLeft(), 40);
  EXPECT_EQ(bar.FloatTop(), 50);
  ASSERT_FALSE(bar.log.empty());
  EXPECT_EQ(bar.log.front(), "NEW");
  EXPECT_EQ(bar.Only("SETPOS"), Log{"SETPOS 1 0,0,1024,32 -> 0,0,1024,32"});
  EXPECT_EQ(bar.window, (BarRect{0, 0, 1024, 32}));

  bar.HandleWindowPosChanged();
  EXPECT_EQ(bar.log.back(), "WINDOWPOSCHANGED");

  bar.Clear();
  bar.HandleDestroy();
  EXPECT_EQ(bar.StoredEdge(), abeUnknown);
  EXPECT_EQ(bar.Only("REMOVE"), Log{"REMOVE"});
}

TEST(BarState, LoadTakesExactlyEightyFourBytes) {
  RecordingBar bar;
  const FakeRegistry::Key key{kHkeyCurrentUser, "Software\\Pendrake\\Marquelle\\uBar"};
  const TAppBarSettings before = bar.Settings();

  EXPECT_FALSE(bar.LoadBarState());  // no key
  bar.registry.keys[key] = std::nullopt;
  EXPECT_FALSE(bar.LoadBarState());  // no value
  EXPECT_FALSE(bar.registry.lastCreate);

  // 83 bytes: false, nothing changes.
  bar.registry.keys[key] = BarRegistry::Value{kRegBinary, std::vector<std::uint8_t>(83, 0x07)};
  EXPECT_FALSE(bar.LoadBarState());
  EXPECT_EQ(std::memcmp(&before, &bar.Settings(), sizeof before), 0);

  // 84 bytes: every field replaced, the size field included, and nothing moves.
  TAppBarSettings stored = DefaultBarSettings(800, 600);
  stored.cbSize = 99;
  stored.abEdge = abeBottom;
  stored.abFlags = 0x0A;
  stored.bAutoHide = 1;
  stored.bAlwaysOnTop = 0;
  stored.bSlideEffect = 0;
  stored.nSlideTime = 77;
  stored.nHorzSizeInc = 0;
  stored.nVertSizeInc = 0;
  stored.nVertDockSize = 41;
  stored.nHorzDockSize = 24;
  stored.rcFloat = {1, 2, 3, 4};
  stored.nMinWidth = 5;
  stored.nMinHeight = 6;
  stored.nMinVertDockSize = 7;
  stored.nMinHorzDockSize = 8;
  stored.abTaskEntry = abtHide;
  std::vector<std::uint8_t> bytes(84);
  std::memcpy(bytes.data(), &stored, 84);
  bar.registry.keys[key] = BarRegistry::Value{kRegBinary, bytes};
  bar.Clear();
  EXPECT_TRUE(bar.LoadBarState());
  EXPECT_EQ(std::memcmp(&stored, &bar.Settings(), sizeof stored), 0);
  EXPECT_EQ(bar.Edge(), abeBottom);
  EXPECT_EQ(bar.HorzDockSize(), 24);
  EXPECT_TRUE(bar.log.empty());
  EXPECT_EQ(bar.window, (BarRect{100, 100, 300, 140}));
  EXPECT_FALSE(bar.registry.isOpen);

  bar.RefreshPosition();           // now it moves, with the loaded settings
  EXPECT_EQ(bar.window.top, 766);  // auto-hide on the bottom edge, hidden
  EXPECT_EQ(bar.window.Height(), 24);
}

TEST(BarState, WrongTypeOrLongerValueIsTheRegistryReadError) {
  RecordingBar bar;
  const FakeRegistry::Key key{kHkeyCurrentUser, "Software\\Pendrake\\Marquelle\\uBar"};
  const TAppBarSettings before = bar.Settings();
  const BarRegistry::Value bad[] = {
      {1 /* REG_SZ */, std::vector<std::uint8_t>(84, 0x31)},
      {4 /* REG_DWORD */, std::vector<std::uint8_t>(4, 0x01)},
      {kRegBinary, std::vector<std::uint8_t>(85, 0x02)},
  };
  for (const auto& v : bad) {
    bar.registry.keys[key] = v;
    try {
      bar.LoadBarState();
      ADD_FAILURE() << "no error for type " << v.type << " size " << v.data.size();
    } catch (const ERegistryException& e) {
      EXPECT_STREQ(e.what(), "Invalid data type for ''");
    }
    EXPECT_EQ(std::memcmp(&before, &bar.Settings(), sizeof before), 0);
    EXPECT_FALSE(bar.registry.isOpen);
  }
}

TEST(BarState, SaveCreatesTheKeyAndWritesTheBlock) {
  RecordingBar bar;
  bar.SetKeyName("Software\\Test\\Bar");
  bar.SetRootKey(0x80000002u);
  bar.SetHorzDockSize(24);
  EXPECT_TRUE(bar.SaveBarState());
  EXPECT_TRUE(bar.registry.lastCreate);
  EXPECT_FALSE(bar.registry.isOpen);
  const auto& v = bar.registry.keys.at({0x80000002u, "Software\\Test\\Bar"});
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(v->type, kRegBinary);
  ASSERT_EQ(v->data.size(), 84u);
  EXPECT_EQ(std::memcmp(v->data.data(), &bar.Settings(), 84), 0);

  // And back into another bar.
  RecordingBar other;
  other.registry = bar.registry;
  other.SetKeyName("Software\\Test\\Bar");
  other.SetRootKey(0x80000002u);
  EXPECT_TRUE(other.LoadBarState());
  EXPECT_EQ(other.HorzDockSize(), 24);

  bar.registry.refuseOpen = true;
  EXPECT_FALSE(bar.SaveBarState());
}

}  // namespace
}  // namespace mq::bar
