// TfrMain under Wine: the real window from its description, on the shell's app bar, with
// real "app.config" files beside the test program and a loopback feed server.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/uMain.h"
#include "base/Utf.h"
#include "tests/http/LoopbackServer_win.h"

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

bool PumpUntil(const std::function<bool()>& done, int ms = 15000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    Application().ProcessMessages();
  }
  return true;
}

std::string ConfigPath() { return ConfigFileFor(ExecutablePath()); }

void WriteConfig(const std::string& text) {
  ::DeleteFileW(ToWide(ConfigPath()).c_str());
  if (text.empty()) return;
  std::FILE* f = _wfopen(ToWide(ConfigPath()).c_str(), L"wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

class MainWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Application().Initialize();
    RegisterMainWindowClasses();
    Application().SetTitle(std::string(kAppTitle));
  }
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
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
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
  EXPECT_EQ(f.lblTicker->Hint(), "无效 url 或服务器无响应!");
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
