// TAppBar and TSWResChange on the real platform: Wine's shell in the sandbox's virtual
// desktop (with its task bar), user32 and the test prefix's registry.
//
// Wine's shell never refuses ABM_SETAUTOHIDEBAR and answers ABM_GETAUTOHIDEBAR with NULL, so
// the refusal case alone answers those two requests from a stand-in that keeps one auto-hide
// bar per edge; every other request of every test goes to the real shell.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bar/SWResChange.h"
#include "bar/uBar.h"
#include "base/Utf.h"
#include "tests/support/Pump_win.h"
#include "tests/support/Screen_win.h"

namespace mq {
namespace bar {
void PrintTo(TAppBarEdge e, std::ostream* os) { *os << "edge " << static_cast<int>(e); }
}  // namespace bar
namespace {

struct ShellCall {
  std::uint32_t msg;
  std::uint32_t edge;
  bool hasRect;
  RECT in;
  RECT out;
  std::intptr_t param;
  std::uintptr_t result;
};

// One auto-hide bar per edge, as Windows' shell keeps them.
std::map<std::uint32_t, std::uintptr_t>& StandInAutoHideBars() {
  static std::map<std::uint32_t, std::uintptr_t> bars;
  return bars;
}

class TestBar : public TAppBar {
 public:
  explicit TestBar(TComponent* owner) : TAppBar(owner) {}

  // Where the shell requests are recorded; it outlives the bar, so that the requests of its
  // destruction can be checked.
  std::shared_ptr<std::vector<ShellCall>> calls = std::make_shared<std::vector<ShellCall>>();
  bool standInAutoHide = false;
  std::vector<bar::BarZOrder> zOrders;

  std::vector<ShellCall> Calls(std::uint32_t msg) const {
    std::vector<ShellCall> out;
    for (const auto& c : *calls)
      if (c.msg == msg) out.push_back(c);
    return out;
  }

 protected:
  void SetZOrder(bar::BarZOrder z) override {
    zOrders.push_back(z);
    TAppBar::SetZOrder(z);
  }
  std::uintptr_t AppBarMessage(std::uint32_t msg, std::uint32_t edge, bar::BarRect* rect,
                               std::intptr_t param) override {
    ShellCall c{msg, edge, rect != nullptr, {}, {}, param, 0};
    if (rect) c.in = RECT{rect->left, rect->top, rect->right, rect->bottom};
    const auto self = reinterpret_cast<std::uintptr_t>(handle_);
    if (standInAutoHide && msg == bar::kAbmGetAutoHideBar) {
      auto it = StandInAutoHideBars().find(edge);
      c.result = it == StandInAutoHideBars().end() ? 0 : it->second;
    } else if (standInAutoHide && msg == bar::kAbmSetAutoHideBar) {
      auto& owner = StandInAutoHideBars()[edge];
      c.result = 1;
      if (param != 0) {
        if (owner != 0 && owner != self)
          c.result = 0;
        else
          owner = self;
      } else if (owner == self) {
        owner = 0;
      }
    } else {
      c.result = TAppBar::AppBarMessage(msg, edge, rect, param);
    }
    if (rect) c.out = RECT{rect->left, rect->top, rect->right, rect->bottom};
    calls->push_back(c);
    return c.result;
  }
};

// Dispatches messages for a while, so that posted messages and the shell's notifications
// arrive.
void Pump(int ms = 150) { test::PumpFor(ms); }

RECT WindowRectOf(HWND h) {
  RECT r{};
  ::GetWindowRect(h, &r);
  return r;
}

std::string Str(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

// A plain window registered as a second bar, to ask the real shell what space is left.
class ProbeBar {
 public:
  ProbeBar() {
    hwnd_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"probe", WS_POPUP, 0, 0, 10, 10, nullptr,
                              nullptr, ::GetModuleHandleW(nullptr), nullptr);
    APPBARDATA abd = Data();
    ::SHAppBarMessage(ABM_NEW, &abd);
  }
  ~ProbeBar() {
    APPBARDATA abd = Data();
    ::SHAppBarMessage(ABM_REMOVE, &abd);
    ::DestroyWindow(hwnd_);
  }
  // What the shell leaves of the whole screen for a bar on `edge`.
  RECT Query(UINT edge) {
    APPBARDATA abd = Data();
    abd.uEdge = edge;
    abd.rc = RECT{0, 0, test::ScreenSize().cx, test::ScreenSize().cy};
    ::SHAppBarMessage(ABM_QUERYPOS, &abd);
    return abd.rc;
  }

 private:
  APPBARDATA Data() const {
    APPBARDATA abd{};
    abd.cbSize = sizeof abd;
    abd.hWnd = hwnd_;
    abd.uCallbackMessage = WM_APP + 7;
    return abd;
  }
  HWND hwnd_;
};

// Where a new bar docked at the top starts: below the bars other programs of the desktop may
// hold there (normally none).
int FreeTop() {
  ProbeBar probe;
  return probe.Query(ABE_TOP).top;
}

// The strip a 32-pixel bar docked at the top takes.
std::string TopStrip(int freeTop) {
  return "0," + std::to_string(freeTop) + "," + std::to_string(test::ScreenSize().cx) + "," +
         std::to_string(freeTop + 32);
}

class AppBarWin : public ::testing::Test {
 protected:
  void SetUp() override {
    Application().Initialize();
    freeTop = FreeTop();
  }
  int freeTop = 0;

  // A bar set up as the program's main window sets itself up.
  static Owned<TestBar> MainWindowLikeBar(bool slide = false) {
    Owned<TestBar> b = CreateOwnedForm<TestBar>();
    b->SetSlideEffect(slide);
    b->SetTaskEntry(abtHide);
    b->SetFlags({abfAllowTop, abfAllowBottom});
    b->SetHorzSizeInc(0);
    b->SetVertSizeInc(0);
    b->SetEdge(abeTop);
    b->SetAlwaysOnTop(true);
    b->Show();
    Pump();
    return b;
  }
};

TEST_F(AppBarWin, CreationRegistersDocksToTheShellsRectangleAndDestructionUnregisters) {
  Owned<TestBar> b = MainWindowLikeBar(/*slide=*/true);
  HWND h = b->Handle();
  const auto calls = b->calls;
  ASSERT_FALSE(calls->empty());
  EXPECT_EQ(calls->front().msg, bar::kAbmNew);
  EXPECT_EQ(calls->front().edge, 0u);

  // The window sits where the shell's last answer to ABM_SETPOS on the top edge put it.
  const RECT wr = WindowRectOf(h);
  const ShellCall* lastSetPos = nullptr;
  for (const auto& c : *calls)
    if (c.msg == bar::kAbmSetPos && c.edge == ABE_TOP) lastSetPos = &c;
  ASSERT_NE(lastSetPos, nullptr);
  EXPECT_EQ(Str(wr), Str(lastSetPos->out));
  EXPECT_EQ(Str(wr), TopStrip(freeTop));
  // The posted enter/exit pair recorded the real height as the dock size.
  EXPECT_EQ(b->HorzDockSize(), 32);
  EXPECT_EQ(b->Edge(), abeTop);
  EXPECT_EQ(b->DragEdge(), abeUnknown);

  // The shell now keeps the strip for it (Wine's shell clips a bar's query only by the bars
  // registered before it).
  ProbeBar probe;
  EXPECT_EQ(probe.Query(ABE_TOP).top, freeTop + 32);

  // Topmost, a tool window without a task-bar button, without the window commands.
  const LONG_PTR ex = ::GetWindowLongPtrW(h, GWL_EXSTYLE);
  const LONG_PTR style = ::GetWindowLongPtrW(h, GWL_STYLE);
  EXPECT_TRUE(ex & WS_EX_TOPMOST);
  EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
  EXPECT_FALSE(ex & WS_EX_APPWINDOW);
  EXPECT_FALSE(style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CAPTION));
  EXPECT_FALSE(::IsWindowVisible(Application().Handle()));
  // The frame follows the style: the caption the window had while floating at creation left
  // no dead strip behind, the client area is the window less its sizing borders.
  RECT client{};
  ::GetClientRect(h, &client);
  RECT frame{0, 0, 0, 0};
  ::AdjustWindowRectEx(&frame, static_cast<DWORD>(style), FALSE, static_cast<DWORD>(ex));
  EXPECT_EQ(client.bottom, (wr.bottom - wr.top) - (frame.bottom - frame.top));
  EXPECT_EQ(client.right, (wr.right - wr.left) - (frame.right - frame.left));
  HMENU sys = ::GetSystemMenu(h, FALSE);
  ASSERT_NE(sys, nullptr);
  for (UINT cmd : {SC_RESTORE, SC_MINIMIZE, SC_MAXIMIZE})
    EXPECT_EQ(::GetMenuState(sys, cmd, MF_BYCOMMAND), static_cast<UINT>(-1)) << cmd;
  ASSERT_NE(b->AutoHideTimer(), nullptr);
  EXPECT_FALSE(b->AutoHideTimer()->Enabled());
  EXPECT_EQ(b->AutoHideTimer()->Interval(), 200u);

  b.reset();
  EXPECT_FALSE(::IsWindow(h));
  ASSERT_FALSE(calls->empty());
  bool removed = false;
  for (const auto& c : *calls) removed |= c.msg == bar::kAbmRemove;
  EXPECT_TRUE(removed);
  Pump(50);
  EXPECT_EQ(probe.Query(ABE_TOP).top, freeTop);
}

// The information box of a refusal: its caption and text, read from the box before it is
// closed with OK.
struct SeenBox {
  int count = 0;
  std::wstring caption;
  std::wstring text;
};
SeenBox g_seen;

void CALLBACK CloseInformationBox(HWND, UINT, UINT_PTR id, DWORD) {
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND w, LPARAM) -> BOOL {
        wchar_t cls[32] = {};
        ::GetClassNameW(w, cls, 32);
        if (std::wstring(cls) != L"#32770" || !::IsWindowVisible(w)) return TRUE;
        wchar_t caption[64] = {};
        ::GetWindowTextW(w, caption, 64);
        g_seen.caption = caption;
        ::EnumChildWindows(
            w,
            [](HWND c, LPARAM) -> BOOL {
              wchar_t text[256] = {};
              ::GetWindowTextW(c, text, 256);
              if (std::wcslen(text) > g_seen.text.size()) g_seen.text = text;
              return TRUE;
            },
            0);
        ++g_seen.count;
        ::PostMessageW(w, WM_COMMAND, IDOK, 0);
        return FALSE;
      },
      0);
}

TEST_F(AppBarWin, SecondAutoHideBarOnAnEdgeIsRefusedWithTheMessage) {
  StandInAutoHideBars().clear();
  Owned<TestBar> first = CreateOwnedForm<TestBar>();
  first->standInAutoHide = true;
  first->SetSlideEffect(false);
  first->SetAutoHide(true);
  first->SetEdge(abeTop);
  EXPECT_TRUE(first->AutoHide());
  EXPECT_EQ(StandInAutoHideBars()[ABE_TOP], reinterpret_cast<std::uintptr_t>(first->Handle()));
  // Hidden: only two borders' worth of it stays on the screen.
  EXPECT_EQ(WindowRectOf(first->Handle()).bottom, 2 * ::GetSystemMetrics(SM_CYBORDER));

  Pump();

  // A second bar, docked on the same edge, then asking to auto-hide there.
  Owned<TestBar> second = CreateOwnedForm<TestBar>();
  second->standInAutoHide = true;
  second->SetSlideEffect(false);
  second->SetEdge(abeTop);
  second->Show();
  Pump();
  second->calls->clear();
  second->SetAutoHide(true);
  g_seen = {};
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, &CloseInformationBox);
  second->RefreshPosition();
  ::KillTimer(nullptr, timer);

  EXPECT_FALSE(second->AutoHide());
  EXPECT_TRUE(first->AutoHide());
  EXPECT_EQ(g_seen.count, 1);
  EXPECT_EQ(g_seen.caption, L"Information");
  EXPECT_EQ(g_seen.text, ToWide(bar::kAutoHideRefusedText));
  // It docked normally instead: it claimed its strip from the shell.
  bool claimed = false;
  for (const auto& c : second->Calls(bar::kAbmSetPos)) claimed |= c.edge == ABE_TOP;
  EXPECT_TRUE(claimed);
  EXPECT_EQ(Str(WindowRectOf(second->Handle())), TopStrip(freeTop));
  StandInAutoHideBars().clear();
}

TEST_F(AppBarWin, FullScreenApplicationSendsTheBarToTheBottomAndBack) {
  // Wine keeps a window whose owned pop-ups (here the tool-tip window) are topmost in the
  // topmost group even when it is sent to HWND_BOTTOM, so the bottom placement is checked at
  // the z-order request; the topmost placement is checked on the real window.
  Owned<TestBar> b = MainWindowLikeBar();
  HWND h = b->Handle();
  ASSERT_TRUE(::GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_TOPMOST);

  b->zOrders.clear();
  ::SendMessageW(h, bar::kAppBarNotifyMessage, ABN_FULLSCREENAPP, 1);
  EXPECT_TRUE(b->FullScreenAppOpen());
  EXPECT_EQ(b->zOrders, std::vector<bar::BarZOrder>{bar::BarZOrder::Bottom});

  b->zOrders.clear();
  ::SendMessageW(h, bar::kAppBarNotifyMessage, ABN_FULLSCREENAPP, 0);
  EXPECT_FALSE(b->FullScreenAppOpen());
  EXPECT_EQ(b->zOrders, std::vector<bar::BarZOrder>{bar::BarZOrder::Topmost});
}

class BarRegistryWin : public AppBarWin {
 protected:
  const wchar_t* kKey = L"Software\\Pendrake\\Marquelle\\uBarTest";
  void SetUp() override {
    AppBarWin::SetUp();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
  }
  void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }
  void Store(DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(
        ::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(key, nullptr, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
  }
};

TEST_F(BarRegistryWin, SettingsBlockRoundTripsThroughTheRegistry) {
  Owned<TestBar> b = MainWindowLikeBar();
  b->SetKeyName(FromWide(kKey));
  const RECT docked = WindowRectOf(b->Handle());
  TAppBarSettings before = b->Settings();

  EXPECT_FALSE(b->LoadBarState());  // no key yet

  // 83 bytes: false, nothing changes.
  std::vector<std::uint8_t> short83(83, 0x11);
  Store(REG_BINARY, short83.data(), 83);
  EXPECT_FALSE(b->LoadBarState());
  EXPECT_EQ(std::memcmp(&before, &b->Settings(), sizeof before), 0);

  // A value of another type: the registry's read error, nothing changes.
  const wchar_t text[] = L"not a bar";
  Store(REG_SZ, text, sizeof text);
  try {
    b->LoadBarState();
    ADD_FAILURE() << "no error for a REG_SZ value";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for ''");
  }
  EXPECT_EQ(std::memcmp(&before, &b->Settings(), sizeof before), 0);

  // 84 bytes: every field replaced, the bar does not move until Edge is written.
  TAppBarSettings stored = before;
  stored.abEdge = abeBottom;
  stored.nHorzDockSize = 40;
  stored.nSlideTime = 0;
  stored.bSlideEffect = 0;
  stored.rcFloat = {5, 6, 7, 8};
  stored.nMaxWidth = 1234;
  stored.abTaskEntry = abtFloatDependent;
  Store(REG_BINARY, &stored, sizeof stored);
  EXPECT_TRUE(b->LoadBarState());
  EXPECT_EQ(std::memcmp(&stored, &b->Settings(), sizeof stored), 0);
  Pump(50);
  EXPECT_EQ(Str(WindowRectOf(b->Handle())), Str(docked));

  b->RefreshPosition();
  const RECT moved = WindowRectOf(b->Handle());
  EXPECT_EQ(moved.bottom - moved.top, 40);
  ProbeBar probe;
  EXPECT_EQ(probe.Query(ABE_BOTTOM).bottom, moved.top) << Str(moved);

  // Saving writes the block as it is, as REG_BINARY.
  b->SetHorzDockSize(28);
  ASSERT_TRUE(b->SaveBarState());
  HKEY key;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD type = 0;
  std::uint8_t bytes[100];
  DWORD size = sizeof bytes;
  ASSERT_EQ(::RegQueryValueExW(key, nullptr, nullptr, &type, bytes, &size), ERROR_SUCCESS);
  ::RegCloseKey(key);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  ASSERT_EQ(size, 84u);
  EXPECT_EQ(std::memcmp(bytes, &b->Settings(), 84), 0);
}

// Moves the cursor and lets one message be retrieved there, so that GetMessagePos (the
// cursor position of the current message) reports it for the next sent message. Under Wine
// a pointer motion of an earlier test's real input can still arrive after the move and put
// the cursor back, so the move is repeated until a message reports it (two seconds at most).
void CursorForNextMessage(HWND h, int x, int y) {
  DWORD pos = 0;
  for (int attempt = 0; attempt < 40; ++attempt) {
    ASSERT_TRUE(::SetCursorPos(x, y));
    ::PostMessageW(h, WM_NULL, 0, 0);
    Pump(50);
    pos = ::GetMessagePos();
    if (static_cast<short>(LOWORD(pos)) == x && static_cast<short>(HIWORD(pos)) == y) break;
  }
  ASSERT_EQ(static_cast<short>(LOWORD(pos)), x);
  ASSERT_EQ(static_cast<short>(HIWORD(pos)), y);
}

TEST_F(AppBarWin, DragIntoTheLowerHalfMovesTheBarToTheBottomAndBack) {
  Owned<TestBar> b = MainWindowLikeBar();
  HWND h = b->Handle();
  ProbeBar probe;
  const RECT freeBottom = probe.Query(ABE_BOTTOM);
  const auto [cx, cy] = test::ScreenSize();

  // WM_MOVING carries a pointer, so it is sent (as the move loop does), never posted.
  CursorForNextMessage(h, cx / 2, cy * 3 / 4);
  ::SendMessageW(h, WM_ENTERSIZEMOVE, 0, 0);
  RECT drag = WindowRectOf(h);
  OffsetRect(&drag, 0, cy * 3 / 4);
  ::SendMessageW(h, WM_MOVING, WMSZ_BOTTOM, reinterpret_cast<LPARAM>(&drag));
  EXPECT_EQ(b->DragEdge(), abeBottom);
  EXPECT_EQ(b->Edge(), abeBottom);
  EXPECT_EQ(b->StoredEdge(), abeTop);
  // The outline follows to the bottom strip at once.
  EXPECT_EQ(Str(drag), Str(RECT{0, freeBottom.bottom - 32, cx, freeBottom.bottom}));
  ::SendMessageW(h, WM_EXITSIZEMOVE, 0, 0);
  EXPECT_EQ(b->DragEdge(), abeUnknown);
  EXPECT_EQ(b->StoredEdge(), abeBottom);
  EXPECT_EQ(Str(WindowRectOf(h)), Str(drag));

  // Nearer a side than the top or the bottom: the bar keeps its edge.
  CursorForNextMessage(h, 3, cy / 2 - 20);
  ::SendMessageW(h, WM_ENTERSIZEMOVE, 0, 0);
  ::SendMessageW(h, WM_MOVING, WMSZ_BOTTOM, reinterpret_cast<LPARAM>(&drag));
  EXPECT_EQ(b->DragEdge(), abeBottom);

  // Into the upper half: back to the top.
  CursorForNextMessage(h, cx / 2, cy / 8);
  ::SendMessageW(h, WM_MOVING, WMSZ_BOTTOM, reinterpret_cast<LPARAM>(&drag));
  EXPECT_EQ(Str(drag), TopStrip(freeTop));
  ::SendMessageW(h, WM_EXITSIZEMOVE, 0, 0);
  EXPECT_EQ(b->StoredEdge(), abeTop);
  EXPECT_EQ(Str(WindowRectOf(h)), TopStrip(freeTop));
}

TEST_F(AppBarWin, EveryBorderOfTheDockedBarIsAPlainBorder) {
  Owned<TestBar> b = MainWindowLikeBar();
  HWND h = b->Handle();
  const RECT w = WindowRectOf(h);
  const int midX = (w.left + w.right) / 2;
  const int midY = (w.top + w.bottom) / 2;
  const POINT borderPoints[] = {
      {w.left, midY},         {w.right - 1, midY},         {midX, w.bottom - 1},
      {w.left, w.bottom - 1}, {w.right - 1, w.bottom - 1}, {midX, w.top},
      {w.left, w.top},        {w.right - 1, w.top}};
  int framed = 0;
  for (POINT p : borderPoints) {
    const LPARAM lp = MAKELPARAM(p.x, p.y);
    const LRESULT platform = ::DefWindowProcW(h, WM_NCHITTEST, 0, lp);
    if (platform < HTLEFT || platform > HTBOTTOMRIGHT) continue;  // not a sizing border here
    ++framed;
    EXPECT_EQ(::SendMessageW(h, WM_NCHITTEST, 0, lp), HTBORDER)
        << "at " << p.x << "," << p.y << " the platform answers " << platform;
  }
  // The thick frame gives sizing borders on at least the sides and the bottom.
  EXPECT_GE(framed, 5);
  EXPECT_EQ(::SendMessageW(h, WM_NCHITTEST, 0, MAKELPARAM(midX, midY)), HTCLIENT);

  // With height steps, the side facing the middle of the screen sizes the bar again.
  b->SetVertSizeInc(1);
  EXPECT_EQ(::SendMessageW(h, WM_NCHITTEST, 0, MAKELPARAM(midX, w.bottom - 1)), HTBOTTOM);
}

TEST_F(AppBarWin, FormDescriptionSetsThePlainFieldsWithoutApplyingThem) {
  Owned<TestBar> b = CreateOwnedForm<TestBar>();
  b->LoadFromText(
      "object frBar: TAppBar\n"
      "  Flags = [abfAllowTop, abfAllowBottom]\n"
      "  TaskEntry = abtHide\n"
      "  AutoHide = True\n"
      "  AlwaysOnTop = False\n"
      "  SlideEffect = False\n"
      "  SlideTime = 150\n"
      "  HorzSizeInc = 0\n"
      "  VertSizeInc = 0\n"
      "  HorzDockSize = 24\n"
      "  VertDockSize = 40\n"
      "end\n");
  EXPECT_EQ(b->Flags().Byte(), (TAppBarFlags{abfAllowTop, abfAllowBottom}.Byte()));
  EXPECT_EQ(b->TaskEntry(), abtHide);
  EXPECT_TRUE(b->AutoHide());
  EXPECT_FALSE(b->AlwaysOnTop());
  EXPECT_FALSE(b->SlideEffect());
  EXPECT_EQ(b->SlideTime(), 150);
  EXPECT_EQ(b->HorzSizeInc(), 0);
  EXPECT_EQ(b->VertSizeInc(), 0);
  EXPECT_EQ(b->HorzDockSize(), 24);
  EXPECT_EQ(b->VertDockSize(), 40);
  EXPECT_EQ(b->StoredEdge(), abeFloat);
  EXPECT_FALSE(b->HandleAllocated());
  EXPECT_TRUE(b->calls->empty());
  EXPECT_THROW(b->LoadFromText("object frBar: TAppBar\n  TaskEntry = abtSometimes\nend\n"),
               EFormTextError);
}

class TestWatcher : public TSWResChange {
 public:
  explicit TestWatcher(TComponent* owner) : TSWResChange(owner) {}
  void Pretend(const TDisplayResolution& r) { current_ = r; }
};

// Sends a message to every top-level window, the way the system announces a display change.
void Broadcast(UINT msg, WPARAM wp, LPARAM lp) {
  ::SendMessageTimeoutW(HWND_BROADCAST, msg, wp, lp, SMTO_ABORTIFHUNG, 2000, nullptr);
}

TEST(ResChangeWin, EveryDisplayChangeReportsTheOldAndTheNewMode) {
  Application().Initialize();
  struct Event {
    TDisplayResolution oldRes, newRes;
  };
  auto events = std::make_shared<std::vector<Event>>();
  Owned<TestWatcher> w(new TestWatcher(nullptr));
  EXPECT_TRUE(w->Hooked());
  // As at the program's start-up, the application window lives under another window (the
  // desktop's; Wine's desktop has none, a hidden window stands in), where the system's
  // display broadcast does not reach it.
  HWND parent = ::FindWindowA("Progman", nullptr);
  HWND standIn = nullptr;
  if (parent == nullptr)
    parent = standIn =
        ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  ::SetParent(Application().Handle(), parent);
  const TDisplayResolution real = ReadDisplayResolution();
  EXPECT_EQ(w->CurrentResolution(), real);
  EXPECT_EQ(real.Width, ::GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(real.Height, ::GetSystemMetrics(SM_CYSCREEN));
  EXPECT_GT(real.BitsPerPixel, 0);

  // Without a handler the mode is still refreshed.
  w->Pretend({640, 480, 8, 60});
  Broadcast(WM_DISPLAYCHANGE, 32, MAKELPARAM(real.Width, real.Height));
  EXPECT_EQ(w->CurrentResolution(), real);

  w->OnResChanged = [events](const TDisplayResolution& o, const TDisplayResolution& n) {
    events->push_back({o, n});
  };
  w->Pretend({800, 600, 16, 75});
  Broadcast(WM_DISPLAYCHANGE, 32, MAKELPARAM(real.Width, real.Height));
  Broadcast(WM_DISPLAYCHANGE, 32, MAKELPARAM(real.Width, real.Height));
  ASSERT_EQ(events->size(), 2u);
  EXPECT_EQ((*events)[0].oldRes, (TDisplayResolution{800, 600, 16, 75}));
  EXPECT_EQ((*events)[0].newRes, real);
  // The second event's old mode is the first one's new mode, even when nothing changed.
  EXPECT_EQ((*events)[1].oldRes, (*events)[0].newRes);
  EXPECT_EQ((*events)[1].newRes, real);

  // Other messages are not reported.
  Broadcast(WM_SETTINGCHANGE, 0, 0);
  EXPECT_EQ(events->size(), 2u);

  // Freed, it hears nothing more.
  w.reset();
  Broadcast(WM_DISPLAYCHANGE, 32, MAKELPARAM(real.Width, real.Height));
  EXPECT_EQ(events->size(), 2u);
  ::SetParent(Application().Handle(), nullptr);
  if (standIn) ::DestroyWindow(standIn);
}

}  // namespace
}  // namespace mq
