// The main window's two popup menus opened by real input in the test desktop: the quick-start
// menu by a press on the start button (under the bar docked at the top, above it docked at the
// bottom), the tray menu by its owner with the pointer on its feed submenu. While a menu is
// open a timer reads it off the screen, keeps a screenshot beside the test program and closes it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/uMain.h"
#include "tests/main/MainWindowSuite_win.h"
#include "base/Utf.h"
#include "tests/support/LoopbackServer_win.h"
#include "tests/support/Pump_win.h"
#include "tests/support/RealInput_win.h"
#include "tests/support/Screen_win.h"

namespace mq {
namespace {

using test::LoopbackServer;
using test::MoveTo;
using test::PumpUntil;
using test::UnixCommand;
using test::Xdotool;

const std::string kFeed = R"(<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0"><channel><title>Menus</title><link>http://127.0.0.1/</link>
<item><title>Storm</title><link>http://127.0.0.1/1</link><description>One</description></item>
</channel></rss>)";

std::vector<HWND> OpenMenus() { return test::VisibleWindowsOfClass(L"#32768"); }

// The test's working folder as a Unix path (Wine maps the Unix root to Z:).
std::string UnixWorkingFolder() {
  wchar_t dir[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, dir);
  std::string path = FromWide(dir);
  if (path.size() > 2 && path[1] == ':') path = path.substr(2);
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

// What the watch saw of the open menus before it closed them.
struct MenuWatch {
  std::string shot;            // where the screenshot goes
  bool submenuWanted = false;  // wait for a second (sub)menu, pointing at the first item
  int ticksOpen = 0;
  HWND mainMenu = nullptr;  // the first menu window seen
  std::unique_ptr<Xdotool> pointer;
  std::vector<RECT> rects;
  COLORREF barPixel = CLR_INVALID;
  bool shotTaken = false;
  bool closed = false;
};
MenuWatch* g_watch = nullptr;

void CALLBACK Watch(HWND, UINT, UINT_PTR, DWORD) {
  MenuWatch& w = *g_watch;
  if (w.closed) return;
  const std::vector<HWND> menus = OpenMenus();
  if (menus.empty()) return;
  ++w.ticksOpen;
  if (w.mainMenu == nullptr) w.mainMenu = menus.front();
  RECT first{};
  ::GetWindowRect(w.mainMenu, &first);
  if (w.submenuWanted && !w.pointer && w.ticksOpen >= 3) {
    // The first item ("RSS Feeds") lies at the top, right of the bar.
    w.pointer = std::make_unique<Xdotool>(MoveTo(POINT{first.left + 60, first.top + 12}));
  }
  const bool ready = w.submenuWanted ? menus.size() >= 2 && w.ticksOpen >= 12 : w.ticksOpen >= 4;
  if (!ready) return;
  for (HWND m : menus) {
    RECT r{};
    ::GetWindowRect(m, &r);
    w.rects.push_back(r);
  }
  // A pixel of the bar's column left of its caption, half-way down the menu (the first one
  // inside the window's frame that is neither the frame's grey nor the menu's colour).
  HDC screen = ::GetDC(nullptr);
  for (int x = first.left + 1; x < first.left + 8 && w.barPixel == CLR_INVALID; ++x) {
    const COLORREF c = ::GetPixel(screen, x, (first.top + first.bottom) / 2);
    if (GetBValue(c) > GetRValue(c) + 16) w.barPixel = c;
  }
  ::ReleaseDC(nullptr, screen);
  UnixCommand shot("import -window root " + w.shot);
  for (int i = 0; i < 200 && !shot.Done(); ++i) ::Sleep(50);
  w.shotTaken = shot.Status() == 0;
  w.closed = true;
  ::EndMenu();
}

class MainMenus : public test::MainWindowSuite {
 protected:
  void SetUp() override {
    server_ = std::make_unique<LoopbackServer>([](const LoopbackServer::Request&) {
      return LoopbackServer::Reply{200, "OK", {}, kFeed};
    });
    WriteConfig("[Global]\r\nUrl=" + server_->Url("/feed.xml") + "\r\n");
    form_ = CreateOwnedForm<TfrMain>();
    form_->Show();
    PumpUntil([] { return false; }, 800);
    g_watch = &watch_;
  }
  void TearDown() override {
    g_watch = nullptr;
    form_.reset();
    WriteConfig("");
  }
  static void WriteConfig(const std::string& text) {
    const std::wstring path = ToWide(ConfigFileFor(ExecutablePath()));
    ::DeleteFileW(path.c_str());
    if (text.empty()) return;
    std::FILE* f = _wfopen(path.c_str(), L"wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  // Runs `open` (which blocks while the menu is open) with the watch ticking.
  void WithWatch(const std::string& shotName, const std::function<void()>& open) {
    watch_.shot = UnixWorkingFolder() + "/" + shotName;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 150, &Watch);
    open();
    PumpUntil([this] { return watch_.closed; }, 20000);
    ::KillTimer(nullptr, timer);
    PumpUntil([] { return false; }, 300);
  }
  void PressStartButton() {
    RECT r = form_->imgStart->BoundsRect();
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ::ClientToScreen(form_->Handle(), &p);
    Xdotool click(MoveTo(p) + " sleep 0.3 click 1");
    PumpUntil([&] { return watch_.closed || (click.Done() && watch_.closed); }, 20000);
  }
  RECT BarRect() {
    RECT r{};
    ::GetWindowRect(form_->Handle(), &r);
    return r;
  }
  // The bar's colours run from (122, 138, 154) to (44, 50, 58): blue above green above red.
  static bool InBarGradient(COLORREF c) {
    return GetRValue(c) >= 44 && GetRValue(c) <= 122 && GetBValue(c) > GetGValue(c) &&
           GetGValue(c) > GetRValue(c);
  }
  std::unique_ptr<LoopbackServer> server_;
  Owned<TfrMain> form_;
  MenuWatch watch_;
};

// Until the feed menus are built, the tests put feeds into the menus themselves.
void AddFeeds(TMenuItem& parent, int at) {
  for (const char* url :
       {"http://127.0.0.1/feed.xml?a=1&b=2", "http://127.0.0.1/news.xml", "http://127.0.0.1/other.xml",
        "http://127.0.0.1/rdf.xml", "http://127.0.0.1/tech.xml?lang=zh&page=1"}) {
    auto* item = new TMenuItem(nullptr);
    item->SetCaption(url);
    parent.Insert(at++, item);
  }
}

TEST_F(MainMenus, StartButtonOpensTheQuickStartMenuUnderTheBar) {
  AddFeeds(form_->pmRSS->Items(), 2);
  const RECT bar = BarRect();
  WithWatch("menu-quick-start.png", [this] { PressStartButton(); });
  ASSERT_TRUE(watch_.closed) << "no menu opened";
  ASSERT_EQ(watch_.rects.size(), 1u);
  const RECT menu = watch_.rects[0];
  EXPECT_EQ(menu.left, bar.left);
  EXPECT_EQ(menu.top, bar.bottom - 3);
  EXPECT_TRUE(InBarGradient(watch_.barPixel)) << std::hex << watch_.barPixel;
  EXPECT_TRUE(watch_.shotTaken);
  EXPECT_EQ(form_->pmRSS->PopupComponent(), form_->imgStart);
  EXPECT_GT(form_->pmRSS->BarPaintCount(), 0);
}

TEST_F(MainMenus, DockedAtTheBottomTheQuickStartMenuOpensAboveTheBar) {
  form_->SetEdge(abeBottom);
  PumpUntil([] { return false; }, 800);
  const RECT bar = BarRect();
  ASSERT_GT(bar.top, 600) << "the bar moved to the bottom";
  WithWatch("menu-quick-start-bottom.png", [this] { PressStartButton(); });
  ASSERT_EQ(watch_.rects.size(), 1u);
  const RECT menu = watch_.rects[0];
  EXPECT_EQ(menu.left, bar.left);
  EXPECT_EQ(menu.bottom, bar.top);
}

TEST_F(MainMenus, TrayMenuShowsItsFeedSubmenu) {
  AddFeeds(*form_->mnuRSSFeeds, 0);
  watch_.submenuWanted = true;
  WithWatch("menu-tray.png", [this] { form_->pmTray->Popup(600, 300); });
  ASSERT_TRUE(watch_.closed);
  ASSERT_EQ(watch_.rects.size(), 2u) << "the menu and its submenu";
  EXPECT_TRUE(InBarGradient(watch_.barPixel)) << std::hex << watch_.barPixel;
  EXPECT_TRUE(watch_.shotTaken);
}

}  // namespace
}  // namespace mq
