// TfrMain under Wine: the real window from its description, on the shell's app bar, with
// real "app.config" files beside the test program and a loopback feed server.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <wtsapi32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/uMain.h"
#include "tests/main/MainWindowSuite_win.h"
#include "base/Utf.h"
#include "tests/support/LoopbackServer_win.h"
#include "tests/support/RealInput_win.h"
#include "tests/support/Pump_win.h"
#include "tests/support/Screen_win.h"

namespace mq {
namespace {

using test::LoopbackServer;
using Reply = LoopbackServer::Reply;

const std::string kFeed = R"(<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0"><channel><title>Test &#26032;&#38395;</title><link>http://127.0.0.1/channel</link>
<item><title>Storm</title><link>http://127.0.0.1/1</link><description>First &#169;</description></item>
<item><title>Harbour</title><link>http://127.0.0.1/2</link><description>Second</description></item>
<item><title>Kite</title><link>http://127.0.0.1/3</link><description>Third</description></item>
</channel></rss>)";

using test::PumpUntil;

std::string ConfigPath() { return ConfigFileFor(ExecutablePath()); }

void WriteConfig(const std::string& text) {
  ::DeleteFileW(ToWide(ConfigPath()).c_str());
  if (text.empty()) return;
  std::FILE* f = _wfopen(ToWide(ConfigPath()).c_str(), L"wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

class MainWindow : public test::MainWindowSuite {
 protected:
  void TearDown() override {
    form_.reset();
    WriteConfig("");
  }
  TfrMain& Create() {
    form_ = CreateOwnedForm<TfrMain>();
    return *form_;
  }
  Owned<TfrMain> form_;
};

TEST_F(MainWindow, ComponentsComeFromTheDescription) {
  WriteConfig("");
  TfrMain& f = Create();
  ASSERT_NE(f.imgBckg, nullptr);
  ASSERT_NE(f.lblTicker, nullptr);
  ASSERT_NE(f.imgStart, nullptr);
  ASSERT_NE(f.lblTitle, nullptr);
  ASSERT_NE(f.imgPrevRssItem, nullptr);
  ASSERT_NE(f.imgNextRssItem, nullptr);
  ASSERT_NE(f.pngImages, nullptr);
  ASSERT_NE(f.tmrReload, nullptr);
  ASSERT_NE(f.ResChanger, nullptr);
  ASSERT_NE(f.netDetect, nullptr);
  EXPECT_EQ(f.netDetect->CancelTimeMs(), 1000);
  EXPECT_EQ(f.netDetect->Interval(), 5000);
  EXPECT_TRUE(f.netDetect->OnConnectionStatusChanged);

  EXPECT_EQ(f.Color(), static_cast<TColor>(0x009A9A9A));
  EXPECT_EQ(f.Font().Name(), "宋体");
  EXPECT_EQ(f.Font().Height(), -13);

  EXPECT_EQ(f.lblTicker->Text(), "正在载入 RSS...");
  EXPECT_EQ(f.lblTicker->BackgroundColor(), static_cast<TColor>(0x003C3028));
  EXPECT_EQ(f.lblTicker->Layout(), TTextLayout::tlBottom);
  EXPECT_EQ(f.lblTicker->TextDirection(), TTextDirection::tdRightToLeft);
  EXPECT_EQ(f.lblTicker->Top(), 8);
  EXPECT_EQ(f.lblTicker->Height(), 13);
  EXPECT_EQ(f.lblTicker->Cursor(), crHandPoint);
  EXPECT_EQ(f.lblTicker->Font().Color(), static_cast<TColor>(0x00E6F5FF));

  EXPECT_EQ(f.imgStart->Hint(), "点击此处轻松浏览 RSS Feeds");
  EXPECT_EQ(f.imgStart->Cursor(), crHandPoint);
  EXPECT_TRUE(f.imgStart->Transparent());
  EXPECT_EQ(f.lblTitle->Caption(), "Marquelle v0.93");
  EXPECT_EQ(f.lblTitle->Left(), 30);
  EXPECT_EQ(f.lblTitle->Top(), 5);
  EXPECT_EQ(f.lblTitle->Font().Name(), "Tahoma");
  EXPECT_EQ(f.lblTitle->Font().Size(), 8);
  EXPECT_EQ(f.lblTitle->Font().Style(), fsBold);
  EXPECT_EQ(f.lblTitle->Font().Color(), static_cast<TColor>(0x00A8FDF7));
  EXPECT_TRUE(f.lblTitle->Transparent());
  EXPECT_TRUE(f.lblTitle->ShowHint());
  EXPECT_EQ(f.imgPrevRssItem->Hint(), "前一个 RSS 项目");
  EXPECT_EQ(f.imgNextRssItem->Hint(), "下一个 RSS 项目");
  for (TImage* button : {f.imgPrevRssItem, f.imgNextRssItem}) {
    EXPECT_EQ(button->Top(), 5);
    EXPECT_EQ(button->Width(), 16);
    EXPECT_EQ(button->Height(), 16);
    EXPECT_EQ(button->Cursor(), crHandPoint);
  }
  ASSERT_EQ(f.pngImages->Count(), 3u);
  EXPECT_EQ(f.pngImages->Items(0).PngImage.Width(), 22);
  EXPECT_EQ(f.pngImages->Items(1).PngImage.Width(), 16);
  EXPECT_EQ(f.pngImages->Items(2).PngImage.Width(), 16);
}

TEST_F(MainWindow, StartUpWithoutSettingsFile) {
  WriteConfig("");
  TfrMain& f = Create();
  // Hint timing of the application.
  EXPECT_EQ(Application().HintHidePause, 20000);
  EXPECT_EQ(Application().HintPause, 200);
  EXPECT_EQ(Application().HintShortPause, 40);
  EXPECT_EQ(Application().HintColor, static_cast<TColor>(0x00FFECD9));
  // The bar.
  EXPECT_EQ(f.Edge(), abeTop);
  EXPECT_TRUE(f.AlwaysOnTop());
  EXPECT_EQ(f.TaskEntry(), abtHide);
  EXPECT_EQ(f.Flags(), (TAppBarFlags{abfAllowTop, abfAllowBottom}));
  EXPECT_EQ(f.HorzSizeInc(), 0);
  EXPECT_EQ(f.VertSizeInc(), 0);
  // Pictures and the start button's place.
  EXPECT_EQ(f.imgStart->Left(), 4);
  EXPECT_EQ(f.imgStart->Top(), 2);
  EXPECT_EQ(f.imgStart->Picture().Width(), 22);
  EXPECT_EQ(f.imgPrevRssItem->Picture().Width(), 16);
  EXPECT_EQ(f.imgNextRssItem->Picture().Width(), 16);
  // Defaults: the second built-in feed, 5 minutes, a first run, nothing loading yet.
  EXPECT_TRUE(f.FirstRun());
  EXPECT_FALSE(f.Loading());
  EXPECT_EQ(f.Feed()->Url(), DefaultFeedUrl());
  EXPECT_EQ(f.DefaultUrl(), DefaultFeedUrl());
  EXPECT_EQ(f.ConfigFile(), ConfigPath());
  EXPECT_EQ(f.DefaultLinks.Count(), 14u);
  EXPECT_EQ(f.tmrReload->Interval(), 300000u);
  EXPECT_TRUE(f.tmrReload->Enabled());
  // The layout: previous button 10 pixels right of the title, next button 10 pixels before
  // the work area's right end, the ticker between them, one pixel every 30 ms.
  const RECT work = test::WorkArea();
  EXPECT_EQ(f.imgPrevRssItem->Left(), f.lblTitle->Left() + f.lblTitle->Width() + 10);
  EXPECT_EQ(f.imgNextRssItem->Left(), work.right - work.left - 16 - 10);
  EXPECT_EQ(f.lblTicker->Left(), f.imgPrevRssItem->Left() + 16);
  EXPECT_EQ(f.lblTicker->Width(), f.imgNextRssItem->Left() - f.lblTicker->Left());
  EXPECT_EQ(f.lblTicker->PixelJump(), 1);
  EXPECT_EQ(f.lblTicker->Speed(), 30);
  EXPECT_TRUE(f.lblTicker->Visible());
  EXPECT_TRUE(f.lblTicker->ShowHint());
  // The background covers the client area of the docked bar.
  f.Show();
  PumpUntil([] { return false; }, 300);
  EXPECT_EQ(f.imgBckg->Width(), f.ClientWidth());
  EXPECT_EQ(f.imgBckg->Height(), f.ClientHeight());
}

TEST_F(MainWindow, ShowingTheWindowLoadsTheFeedAndTheButtonsStep) {
  LoopbackServer server([](const LoopbackServer::Request&) { return Reply{200, "OK", {}, kFeed}; });
  WriteConfig("[Global]\r\nUrl=" + server.Url("/feed.xml") + "\r\nReload_Time=7\r\n");
  TfrMain& f = Create();
  EXPECT_FALSE(f.FirstRun());
  EXPECT_EQ(f.tmrReload->Interval(), 7u * 60000u);
  // Nothing is fetched before the window shows.
  PumpUntil([] { return false; }, 300);
  EXPECT_TRUE(server.Requests().empty());

  f.Show();
  EXPECT_TRUE(f.Loading());
  ASSERT_TRUE(PumpUntil([&] { return !f.Loading(); }));
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(f.lblTitle->Caption(), "Test 新闻");
  EXPECT_EQ(f.lblTitle->Hint(), "http://127.0.0.1/channel");
  EXPECT_EQ(f.lblTicker->Text(), "1/3 Storm");
  EXPECT_EQ(f.lblTicker->Hint(), "First ©");
  EXPECT_EQ(f.imgPrevRssItem->Left(), f.lblTitle->Left() + f.lblTitle->Width() + 10);

  struct Step {
    void (TfrMain::*handler)(TObject*);
    const char* text;
  };
  const Step steps[] = {
      {&TfrMain::imgNextRssItemClick, "2/3 Harbour"},   {&TfrMain::imgNextRssItemClick, "3/3 Kite"},
      {&TfrMain::imgNextRssItemClick, "1/3 Storm"},     {&TfrMain::imgPrevRssItemClick, "1/3 Storm"},
      {&TfrMain::lblTickerTextScrolled, "2/3 Harbour"}, {&TfrMain::imgPrevRssItemClick, "1/3 Storm"},
  };
  for (const Step& s : steps) {
    // Each step comes in the middle of a pass; the chosen item enters at the right edge.
    for (int i = 0; i < 150; ++i) f.lblTicker->Step();
    (f.*s.handler)(&f);
    EXPECT_EQ(f.lblTicker->Text(), s.text);
    EXPECT_EQ(f.lblTicker->ScrollOffset(), 0) << s.text;
  }

  // A reload tick starts a download at once; while it runs the ticker keeps its text even
  // when the user steps. The reload brings back the item shown, which keeps its place.
  for (int i = 0; i < 200; ++i) f.lblTicker->Step();
  f.tmrReloadTimer(f.tmrReload);
  EXPECT_TRUE(f.Loading());
  f.imgNextRssItemClick(&f);
  EXPECT_EQ(f.lblTicker->Text(), "1/3 Storm");
  ASSERT_TRUE(PumpUntil([&] { return !f.Loading(); }));
  EXPECT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(f.lblTicker->Text(), "1/3 Storm");
  EXPECT_LE(f.lblTicker->ScrollOffset(), -200);
}

// A server that answers the validators with 304: a reload keeps the item the ticker shows,
// at the place it has scrolled to, and nothing is downloaded again.
TEST_F(MainWindow, AnUnchangedFeedKeepsTheTickersItemAndPlace) {
  LoopbackServer server([](const LoopbackServer::Request& r) {
    if (r.headers.find("If-None-Match: \"v1\"\r\n") != std::string::npos)
      return Reply{304, "Not Modified", {"ETag: \"v1\""}, ""};
    return Reply{200, "OK", {"ETag: \"v1\""}, kFeed};
  });
  WriteConfig("[Global]\r\nUrl=" + server.Url("/feed.xml") + "\r\n");
  TfrMain& f = Create();
  f.Show();
  ASSERT_TRUE(PumpUntil([&] { return !f.Loading(); }));
  f.imgNextRssItemClick(&f);
  ASSERT_EQ(f.lblTicker->Text(), "2/3 Harbour");
  for (int i = 0; i < 200; ++i) f.lblTicker->Step();
  const int place = f.lblTicker->ScrollOffset();
  const long long sentBefore = server.BytesSent();

  f.tmrReloadTimer(f.tmrReload);
  ASSERT_TRUE(PumpUntil([&] { return !f.Loading(); }));
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[1].headers.find("If-None-Match: \"v1\"\r\n"), std::string::npos)
      << requests[1].headers;
  EXPECT_LT(server.BytesSent() - sentBefore, 200) << "a bare 304";
  EXPECT_EQ(f.lblTicker->Text(), "2/3 Harbour");
  EXPECT_EQ(f.Feed()->CurrentIndex(), 1);
  EXPECT_EQ(f.lblTitle->Caption(), "Test 新闻");
  EXPECT_LE(f.lblTicker->ScrollOffset(), place) << "the ticker went on from where it was";
}

TEST_F(MainWindow, AFailedDownloadShowsTheErrorText) {
  std::string refused;
  {
    LoopbackServer gone([](const LoopbackServer::Request&) { return Reply{}; });
    refused = gone.Url("/feed.xml");
  }
  WriteConfig("[Global]\r\nUrl=" + refused + "\r\n");
  TfrMain& f = Create();
  f.Show();
  ASSERT_TRUE(PumpUntil([&] { return !f.Loading(); }));
  EXPECT_EQ(f.lblTitle->Caption(), "N/A");
  EXPECT_EQ(f.lblTitle->Hint(), "");
  EXPECT_EQ(f.lblTicker->Text(), "现在无法从当前地址获取 feeds!");
  // The general hint, and on a line of its own why the download failed.
  EXPECT_EQ(f.lblTicker->Hint(),
            "无效 url 或服务器无响应!\nA connection with the server could not be established - URL:" +
                refused);
}

TEST_F(MainWindow, TheNetworkComingBackLoadsAnEmptyIdleFeedAtOnce) {
  // The sandbox has no route to the probe address: the detector starts not connected. Moved
  // to 127.0.0.1 (port 80 refuses), its next probe reports the network back.
  const std::string empty =
      R"(<?xml version="1.0"?><rss version="2.0"><channel><title>E</title></channel></rss>)";
  bool withItems = false;
  LoopbackServer server([&](const LoopbackServer::Request&) {
    return Reply{200, "OK", {}, withItems ? kFeed : empty};
  });
  WriteConfig("[Global]\r\nUrl=" + server.Url("/feed.xml") + "\r\n");
  TfrMain& f = Create();
  ASSERT_FALSE(f.netDetect->Connected());
  f.Show();
  ASSERT_TRUE(PumpUntil([&] { return !f.Loading(); }));
  ASSERT_EQ(f.Feed()->Items().Count(), 0);
  ASSERT_EQ(server.Requests().size(), 1u);

  withItems = true;
  const auto probe = [&](const char* address) {
    f.netDetect->SetProbeAddress(address);
    f.netDetect->TimerTick();
    ASSERT_TRUE(PumpUntil([&] { return !f.netDetect->ProbeRunning(); }));
  };
  probe("127.0.0.1");
  EXPECT_TRUE(f.netDetect->Connected());
  ASSERT_TRUE(PumpUntil([&] { return server.Requests().size() == 2 && !f.Loading(); }));
  EXPECT_EQ(f.lblTicker->Text(), "1/3 Storm");
  EXPECT_TRUE(f.tmrReload->Running());

  // With items shown, the network going and coming back starts nothing.
  probe("192.0.2.1");
  probe("127.0.0.1");
  PumpUntil([] { return false; }, 300);
  EXPECT_EQ(server.Requests().size(), 2u);
}

// The error boxes of this thread that are open now.
std::vector<HWND> OpenErrorBoxes() {
  return test::VisibleWindowsOfClass(L"#32770", ::GetCurrentThreadId());
}

// What a thread timer saw while the first error box was open; its callback runs inside the
// box's message loop.
struct WhileTheBoxIsOpen {
  TfrMain* form = nullptr;
  LoopbackServer* server = nullptr;
  int stage = 0;  // 0 waiting for the box, 1 second load running, 2 done
  bool loadingWhenBoxOpened = true;
  std::string tickerWhenBoxOpened;
  bool secondLoadEnded = false;
  std::size_t mostBoxes = 0;
  std::chrono::steady_clock::time_point since;
};
WhileTheBoxIsOpen* g_watch = nullptr;

void CALLBACK WatchTheBox(HWND, UINT, UINT_PTR, DWORD) {
  WhileTheBoxIsOpen& w = *g_watch;
  const std::vector<HWND> boxes = OpenErrorBoxes();
  w.mostBoxes = std::max(w.mostBoxes, boxes.size());
  const auto now = std::chrono::steady_clock::now();
  if (w.stage == 0 && !boxes.empty()) {
    w.loadingWhenBoxOpened = w.form->Loading();
    w.tickerWhenBoxOpened = w.form->lblTicker->Text();
    // The next reload tick, once the back-off after the failure has passed, fails too.
    w.form->Feed()->FetchState().SetClock(
        [] { return std::chrono::steady_clock::now() + TFeedFetchState::kFirstBackoff; });
    w.form->tmrReloadTimer(w.form->tmrReload);
    w.stage = 1;
    w.since = now;
  } else if (w.stage == 1) {
    if (!w.secondLoadEnded && w.server->Requests().size() == 2 && !w.form->Loading()) {
      w.secondLoadEnded = true;
      w.since = now;
    }
    // Some time for a second box to show up, then the user closes what is open.
    if ((w.secondLoadEnded && now - w.since > std::chrono::milliseconds(500)) ||
        now - w.since > std::chrono::seconds(10)) {
      for (HWND box : boxes) ::PostMessageW(box, WM_COMMAND, IDOK, 0);
      w.stage = 2;
    }
  }
}

TEST_F(MainWindow, AFailedLoadShowsOneErrorBoxAfterTheLoaderEnded) {
  // Recognised as a feed, but not well-formed: the handler reports a failure.
  LoopbackServer server([](const LoopbackServer::Request&) {
    return Reply{
        200,
        "OK",
        {},
        "<rss version=\"2.0\"><channel><title>T</title><item><title>a</wrong></item></channel></rss>"};
  });
  WriteConfig("[Global]\r\nUrl=" + server.Url("/broken.xml") + "\r\n");
  TfrMain& f = Create();
  WhileTheBoxIsOpen watch;
  watch.form = &f;
  watch.server = &server;
  g_watch = &watch;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, &WatchTheBox);
  f.Show();
  const bool done = PumpUntil([&] { return watch.stage == 2 && OpenErrorBoxes().empty(); }, 20000);
  // No box comes back once the one open is closed.
  PumpUntil([] { return false; }, 500);
  ::KillTimer(nullptr, timer);
  const std::size_t left = OpenErrorBoxes().size();
  for (HWND box : OpenErrorBoxes()) ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  g_watch = nullptr;

  ASSERT_TRUE(done) << "the box never opened or never closed";
  EXPECT_FALSE(watch.loadingWhenBoxOpened) << "the box opened before the loader's end was handled";
  EXPECT_EQ(watch.tickerWhenBoxOpened, kNoFeedText);
  EXPECT_TRUE(watch.secondLoadEnded) << "the reload while the box was open did not end";
  EXPECT_EQ(watch.mostBoxes, 1u);
  EXPECT_EQ(left, 0u);
  EXPECT_FALSE(f.Loading());
  EXPECT_EQ(server.Requests().size(), 2u);
}

// ---- the strip under the user's pointer (real input through the X server) ----------------

using test::DragArgs;
using test::MoveTo;
using test::Xdotool;

// Serves the window's messages while xdotool runs, and a little after.
bool RunInput(const std::string& args) {
  Xdotool x(args);
  if (!x.Started()) {
    ADD_FAILURE() << "xdotool did not start: " << ::GetLastError();
    return false;
  }
  PumpUntil([&] { return x.Done() && x.Status() >= 0; }, 20000);
  PumpUntil([] { return false; }, 400);
  if (x.Status() != 0) ADD_FAILURE() << "xdotool " << args << " ended with " << x.Status();
  return x.Status() == 0;
}

POINT OnScreen(TfrMain& f, int x, int y) {
  POINT p{x, y};
  ::ClientToScreen(f.Handle(), &p);
  return p;
}

TfrMain& ShownBar(TfrMain& f) {
  f.Show();
  PumpUntil([] { return false; }, 600);  // the start-up's enter/exit pair
  return f;
}

// ---- keyboard and screen readers ---------------------------------------------------------

std::wstring TextOf(HWND h) {
  wchar_t text[256] = {};
  ::GetWindowTextW(h, text, 256);
  return text;
}

std::vector<HWND> g_nameChanges;
void CALLBACK OnNameChange(HWINEVENTHOOK, DWORD, HWND h, LONG object, LONG child, DWORD, DWORD) {
  if (object == OBJID_CLIENT && child == CHILDID_SELF) g_nameChanges.push_back(h);
}

// The ticker's top row as painted: the focus rectangle lies on it, the background otherwise.
bool TickerFramed(TfrMain& f) {
  const int w = f.ClientWidth(), h = f.ClientHeight();
  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  HBITMAP bmp = ::CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = ::SelectObject(mem, bmp);
  f.PaintContent(mem, RECT{0, 0, w, h});
  bool framed = false;
  for (int x = f.lblTicker->Left() + 1; x < f.lblTicker->Left() + 20; ++x)
    framed |= ::GetPixel(mem, x, f.lblTicker->Top()) != 0x003C3028;
  ::SelectObject(mem, old);
  ::DeleteObject(bmp);
  ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
  return framed;
}

TEST_F(MainWindow, TheStripIsUsedFromTheKeyboardAndNamedForScreenReaders) {
  LoopbackServer server([](const LoopbackServer::Request&) { return Reply{200, "OK", {}, kFeed}; });
  WriteConfig("[Global]\r\nUrl=" + server.Url("/feed.xml") + "\r\n");
  TfrMain& f = Create();
  ShownBar(f);
  ASSERT_TRUE(PumpUntil([&] { return !f.Loading(); }));
  ASSERT_EQ(f.lblTicker->Text(), "1/3 Storm");
  const HWND ticker = f.AccessibleWindowOf(f.lblTicker);
  ASSERT_NE(ticker, nullptr);
  EXPECT_EQ(TextOf(ticker), L"1/3 Storm");
  EXPECT_EQ(TextOf(f.AccessibleWindowOf(f.imgNextRssItem)), L"下一个 RSS 项目");
  EXPECT_EQ(TextOf(f.AccessibleWindowOf(f.lblTitle)), L"Test 新闻");
  HWINEVENTHOOK hook =
      ::SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr, &OnNameChange,
                        ::GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  g_nameChanges.clear();

  // A click on the background activates the strip; Tab goes from the start button along the
  // strip to the ticker.
  const POINT tile = OnScreen(f, f.lblTicker->Left() + 40, f.ClientHeight() - 3);
  ASSERT_TRUE(RunInput(MoveTo(tile) + " sleep 0.2 click 1"));
  ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == f.Handle(); }, 3000));
  EXPECT_FALSE(TickerFramed(f));
  ASSERT_TRUE(RunInput("key Tab"));
  EXPECT_EQ(f.FocusedControl(), f.imgStart);
  EXPECT_EQ(::GetFocus(), f.AccessibleWindowOf(f.imgStart));
  ASSERT_TRUE(RunInput("key Tab sleep 0.1 key Tab sleep 0.1 key Tab"));
  EXPECT_EQ(f.FocusedControl(), f.lblTicker);
  EXPECT_EQ(::GetFocus(), ticker);
  EXPECT_TRUE(TickerFramed(f));

  // The right arrow reaches the next button and Enter presses it: the ticker's name follows
  // the new item, with a name-change event.
  ASSERT_TRUE(RunInput("key Right sleep 0.1 key Return"));
  EXPECT_EQ(f.FocusedControl(), f.imgNextRssItem);
  EXPECT_FALSE(TickerFramed(f));
  EXPECT_EQ(f.lblTicker->Text(), "2/3 Harbour");
  EXPECT_EQ(TextOf(ticker), L"2/3 Harbour");
  PumpUntil([&] { return !g_nameChanges.empty(); }, 2000);
  EXPECT_NE(std::find(g_nameChanges.begin(), g_nameChanges.end(), ticker), g_nameChanges.end());
  // Shift+Tab goes back; the left end wraps to the right end.
  ASSERT_TRUE(RunInput("key shift+Tab"));
  EXPECT_EQ(f.FocusedControl(), f.lblTicker);
  ASSERT_TRUE(RunInput("key Left key Left key Left key Left"));
  EXPECT_EQ(f.FocusedControl(), f.imgNextRssItem);
  ::UnhookWinEvent(hook);
}

TEST_F(MainWindow, APressOnTheBackgroundDragsTheBarToTheBottomAndBack) {
  WriteConfig("");
  TfrMain& f = Create();
  ShownBar(f);
  const auto [cx, cy] = test::ScreenSize();
  ASSERT_EQ(f.StoredEdge(), abeTop);
  // Below the ticker, on the tile: nothing there takes a press.
  const int spotX = f.lblTicker->Left() + 40, spotY = f.ClientHeight() - 3;
  ASSERT_GE(spotY, f.lblTicker->Top() + f.lblTicker->Height());
  const POINT spot = OnScreen(f, spotX, spotY);
  // The pointer ends nearer the bottom than a side (relative to the screen's proportions).
  ASSERT_TRUE(RunInput(DragArgs(spot, POINT{cx / 2, cy * 3 / 4})));
  EXPECT_EQ(f.StoredEdge(), abeBottom);
  RECT r{};
  ::GetWindowRect(f.Handle(), &r);
  EXPECT_EQ(r.bottom, cy);
  EXPECT_GT(r.top, cy / 2);

  // And back: a drag into the upper half docks it at the top again.
  const POINT back = OnScreen(f, spotX, spotY);
  ASSERT_TRUE(RunInput(DragArgs(back, POINT{cx / 2, cy / 8})));
  EXPECT_EQ(f.StoredEdge(), abeTop);
  ::GetWindowRect(f.Handle(), &r);
  EXPECT_EQ(r.top, 0);

  // A press on a button is the button's: the same drag leaves the bar where it is.
  const POINT button = OnScreen(f, f.imgNextRssItem->Left() + 8, f.imgNextRssItem->Top() + 8);
  ASSERT_TRUE(RunInput(DragArgs(button, POINT{cx / 2, cy * 3 / 4})));
  EXPECT_EQ(f.StoredEdge(), abeTop);
}

// The tool-tip window of the bar that is on screen, or null.
HWND VisibleToolTipOf(HWND bar) {
  struct Search {
    HWND bar, found = nullptr;
  } s{bar};
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND h, LPARAM p) -> BOOL {
        auto* search = reinterpret_cast<Search*>(p);
        wchar_t cls[64] = {};
        ::GetClassNameW(h, cls, 64);
        if (std::wstring(cls) == TOOLTIPS_CLASSW && ::GetWindow(h, GW_OWNER) == search->bar &&
            ::IsWindowVisible(h))
          search->found = h;
        return search->found == nullptr;
      },
      reinterpret_cast<LPARAM>(&s));
  return s.found;
}

TEST_F(MainWindow, ThePointerOverTheBarLeavesTheForegroundAndShowsTheHint) {
  WriteConfig("");
  TfrMain& f = Create();
  Application().SetMainForm(&f);  // as in the program
  ShownBar(f);
  // The user types in another window.
  HWND editor = ::CreateWindowExW(0, L"EDIT", L"typing here", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 200, 300,
                                  300, 120, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(editor, nullptr);
  ::SetForegroundWindow(editor);
  ::SetFocus(editor);
  PumpUntil([&] { return ::GetForegroundWindow() == editor; }, 3000);
  ASSERT_EQ(::GetForegroundWindow(), editor);

  // Across the background to the next button, then resting there.
  const POINT tile = OnScreen(f, f.lblTicker->Left() + 40, f.ClientHeight() - 3);
  const POINT button = OnScreen(f, f.imgNextRssItem->Left() + 8, f.imgNextRssItem->Top() + 8);
  ASSERT_TRUE(RunInput(MoveTo(tile) + " sleep 0.2 " + MoveTo(POINT{tile.x + 5, tile.y}) + " sleep 0.2 " +
                       MoveTo(button) + " sleep 0.1 " + MoveTo(POINT{button.x + 1, button.y})));
  EXPECT_TRUE(PumpUntil([&] { return VisibleToolTipOf(f.Handle()) != nullptr; }, 3000));
  EXPECT_EQ(::GetForegroundWindow(), editor);
  EXPECT_EQ(::GetFocus(), editor);
  ::DestroyWindow(editor);
  Application().SetMainForm(nullptr);
}

TEST_F(MainWindow, TheTickerPausesWhileThePointerIsOverIt) {
  WriteConfig("");
  TfrMain& f = Create();
  ShownBar(f);
  const POINT onTicker =
      OnScreen(f, f.lblTicker->Left() + f.lblTicker->Width() / 2, f.lblTicker->Top() + 6);
  ASSERT_TRUE(RunInput(MoveTo(onTicker) + " sleep 0.1 " + MoveTo(POINT{onTicker.x + 2, onTicker.y})));
  EXPECT_TRUE(f.lblTicker->Paused());
  const int held = f.lblTicker->ScrollOffset();
  PumpUntil([] { return false; }, 400);
  EXPECT_EQ(f.lblTicker->ScrollOffset(), held);

  // Leaving the bar resumes the scrolling.
  ASSERT_TRUE(RunInput(MoveTo(POINT{onTicker.x, 400})));
  EXPECT_FALSE(f.lblTicker->Paused());
  EXPECT_TRUE(PumpUntil([&] { return f.lblTicker->ScrollOffset() != held; }, 2000));
}

// What the system and the shell send when no one can see the bar: the ticker's timer stops
// (no timer message comes for it) and starts again when the bar can be seen.
void SendDisplayState(HWND h, DWORD state) {
  struct {
    POWERBROADCAST_SETTING head;
    BYTE rest[sizeof(DWORD)];
  } setting{};
  setting.head.PowerSetting = {
      0x6FE69556, 0x704A, 0x47A0, {0x8F, 0x24, 0xC2, 0x8D, 0x93, 0x6F, 0xDA, 0x47}};
  setting.head.DataLength = sizeof state;
  std::memcpy(setting.head.Data, &state, sizeof state);
  ::SendMessageW(h, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, reinterpret_cast<LPARAM>(&setting));
}

TEST_F(MainWindow, TheTickerStopsWhileNoOneCanSeeTheBar) {
  WriteConfig("");
  TfrMain& f = Create();
  ShownBar(f);
  const HWND h = f.Handle();
  struct Case {
    const char* what;
    std::function<void()> hold, release;
  } cases[] = {
      {"session locked", [&] { ::SendMessageW(h, WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0); },
       [&] { ::SendMessageW(h, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0); }},
      {"session disconnected",
       [&] { ::SendMessageW(h, WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT, 0); },
       [&] { ::SendMessageW(h, WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT, 0); }},
      {"display off", [&] { SendDisplayState(h, 0); }, [&] { SendDisplayState(h, 1); }},
      // Wine's shell sends no full-screen notice: the test sends the shell's message itself.
      {"full-screen application",
       [&] { ::SendMessageW(h, bar::kAppBarNotifyMessage, ABN_FULLSCREENAPP, 1); },
       [&] { ::SendMessageW(h, bar::kAppBarNotifyMessage, ABN_FULLSCREENAPP, 0); }},
      {"window hidden", [&] { ::ShowWindow(h, SW_HIDE); }, [&] { ::ShowWindow(h, SW_SHOWNA); }},
  };
  ASSERT_TRUE(f.lblTicker->Timer().Running());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.hold();
    EXPECT_FALSE(f.lblTicker->Timer().Running());
    const int held = f.lblTicker->ScrollOffset();
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(f.lblTicker->ScrollOffset(), held);
    c.release();
    EXPECT_TRUE(f.lblTicker->Timer().Running());
    EXPECT_TRUE(PumpUntil([&] { return f.lblTicker->ScrollOffset() != held; }, 2000));
  }
  // Two reasons at once: the ticker moves again only when both have ended.
  ::SendMessageW(h, WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0);
  SendDisplayState(h, 0);
  ::SendMessageW(h, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
  EXPECT_FALSE(f.lblTicker->Timer().Running());
  SendDisplayState(h, 2);  // dimmed is still on
  EXPECT_TRUE(f.lblTicker->Timer().Running());
}

// Sends a message to every top-level window, the way the system announces a change.
void Broadcast(UINT msg, WPARAM wp, LPARAM lp) {
  ::SendMessageTimeoutW(HWND_BROADCAST, msg, wp, lp, SMTO_ABORTIFHUNG, 2000, nullptr);
}

// Puts the application window under another window, as start-up does, for a test's time.
struct UnderAnotherWindow {
  HWND standIn = nullptr;
  UnderAnotherWindow() {
    HWND parent = ::FindWindowA("Progman", nullptr);
    if (parent == nullptr)
      parent = standIn =
          ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ::SetParent(Application().Handle(), parent);
  }
  ~UnderAnotherWindow() {
    ::SetParent(Application().Handle(), nullptr);
    if (standIn) ::DestroyWindow(standIn);
  }
};

// Wine announces a changed system parameter only when it is also to be saved.
constexpr UINT kAnnounce = SPIF_UPDATEINIFILE | SPIF_SENDCHANGE;

TEST_F(MainWindow, DisplayAndWorkAreaChangesLayTheStripOutAgain) {
  WriteConfig("");
  TfrMain& f = Create();
  ShownBar(f);
  RECT work = test::WorkArea();
  const auto [cx, cy] = test::ScreenSize();

  // A display change reaches the window although start-up put the application window under
  // the desktop's (Wine's desktop has no "Progman" window: another parent stands in).
  UnderAnotherWindow child;
  f.imgNextRssItem->SetLeft(5);
  Broadcast(WM_DISPLAYCHANGE, 32, MAKELPARAM(cx, cy));
  EXPECT_EQ(f.imgNextRssItem->Left(), work.right - work.left - 16 - 10);

  // The work area shrinks (another bar took a strip): the ticker is laid out for it and the
  // bar, moved away meanwhile, is docked again.
  ::SetWindowPos(f.Handle(), nullptr, 0, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT narrow = work;
  narrow.right -= 100;
  ASSERT_TRUE(::SystemParametersInfoW(SPI_SETWORKAREA, 0, &narrow, kAnnounce));
  PumpUntil([] { return false; }, 300);
  EXPECT_EQ(f.imgNextRssItem->Left(), narrow.right - narrow.left - 16 - 10);
  RECT r{};
  ::GetWindowRect(f.Handle(), &r);
  EXPECT_EQ(r.top, 0);
  ::SystemParametersInfoW(SPI_SETWORKAREA, 0, &work, kAnnounce);
  PumpUntil([] { return false; }, 300);
  EXPECT_EQ(f.imgNextRssItem->Left(), work.right - work.left - 16 - 10);
}

// A window whose layout fails the first time, which is while it is made.
class TLayoutFailsOnce : public TfrMain {
 public:
  using TfrMain::TfrMain;
  void LayoutTicker() override {
    if (std::exchange(failNext_, false)) throw std::runtime_error("no layout");
    TfrMain::LayoutTicker();
  }

 private:
  bool failNext_ = true;
};

TEST_F(MainWindow, AFailedStartUpStepLeavesAWindowWhoseHandlersWork) {
  WriteConfig("");
  std::vector<std::string> errors;
  Application().OnException = [&](TObject*, std::exception_ptr e) {
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& x) {
      errors.push_back(x.what());
    }
  };
  Owned<TLayoutFailsOnce> f = CreateOwnedForm<TLayoutFailsOnce>();
  Application().OnException = nullptr;
  ASSERT_EQ(errors, std::vector<std::string>{"no layout"});

  // The steps after the failing one never ran: no address, so a download ends at once.
  f->imgNextRssItemClick(f.get());
  f->imgPrevRssItemClick(f.get());
  f->lblTickerTextScrolled(f->lblTicker);
  f->lblTickerClick(f->lblTicker);
  f->lblTitle_Click(f->lblTitle);
  f->tmrReloadTimer(f->tmrReload);
  ASSERT_TRUE(PumpUntil([&] { return !f->Loading(); }));
  EXPECT_EQ(f->lblTicker->Text(), kNoFeedText);
  EXPECT_EQ(f->lblTitle->Caption(), kNoFeedTitle);
}

TEST_F(MainWindow, BarMessagesWithoutTheirPointerAreIgnored) {
  WriteConfig("");
  TfrMain& f = Create();  // not shown: no download may outlive the window
  RECT before{};
  ::GetWindowRect(f.Handle(), &before);
  for (UINT msg : {WM_MOVING, WM_SIZING, WM_GETMINMAXINFO, WM_NOTIFY})
    EXPECT_EQ(::SendMessageW(f.Handle(), msg, WMSZ_BOTTOM, 0), 0) << msg;
  RECT after{};
  ::GetWindowRect(f.Handle(), &after);
  EXPECT_TRUE(::EqualRect(&before, &after));
}

// Last: the end-of-session query ends the application's message loop.
TEST_F(MainWindow, EndOfSessionClosesAndTheStateIsWritten) {
  LoopbackServer server([](const LoopbackServer::Request&) { return Reply{200, "OK", {}, kFeed}; });
  WriteConfig("[Global]\r\nUrl=" + server.Url("/feed.xml") + "\r\nReload_Time=9\r\n");
  TfrMain& f = Create();
  f.Show();
  ASSERT_TRUE(PumpUntil([&] { return !f.Loading(); }));
  const LRESULT answer = ::SendMessageW(f.Handle(), WM_QUERYENDSESSION, 0, 0);
  EXPECT_NE(answer, 0);
  EXPECT_TRUE(Application().Terminated());
  EXPECT_FALSE(::IsWindowVisible(f.Handle()));
  form_.reset();  // destroying the window writes the state

  TWinProfileFile file(ConfigPath());
  EXPECT_EQ(file.ReadString("Global", "Url", ""), server.Url("/feed.xml"));
  EXPECT_EQ(file.ReadString("Global", "Reload_Time", ""), "9");
}

}  // namespace
}  // namespace mq
