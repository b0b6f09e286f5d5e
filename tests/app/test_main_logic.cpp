// The main window's decisions over the real feed handler, loaded with RSS documents through
// the loader's hand-over, and a window that only records what it is asked to do.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/MainLogic.h"
#include "feeds/LoaderProxy.h"
#include "feeds/uRSSHandler.h"
#include "tests/support/FeedTestSupport.h"
#include "tests/support/TextCase.h"

namespace mq {
namespace {

struct Item {
  std::string title, description, link;
};

// Text as XML character data: what a feed carries so that the handler reads `text` back.
std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else
      out += c;
  }
  return out;
}

// An RSS document with `items`, as a download brings it.
std::string Document(const std::vector<Item>& items, std::string_view channelTitle = "News",
                     std::string_view channelLink = "https://news.example/") {
  std::string body =
      "<title>" + Escaped(channelTitle) + "</title><link>" + Escaped(channelLink) + "</link>";
  for (const Item& i : items)
    body += test::Item(Escaped(i.title), "<description>" + Escaped(i.description) +
                                             "</description><link>" + Escaped(i.link) + "</link>");
  return test::Rss(body);
}

// What a failed download hands over: no text.
const std::string kFailedDownload;

// The real feed handler, its failures kept rather than shown.
struct Feed {
  test::TRecordingReporter reporter;
  TRSSHandler handler{&reporter};

  // A download's text handed over the way the loader does it, with `selected` steps forward.
  void Load(const std::string& text, int selected = 0) {
    HandOverFeed(handler, handler.Url(), text);
    for (int i = 0; i < selected; ++i) handler.SelectNext();
  }
  void Load(const std::vector<Item>& items, int selected = 0) { Load(Document(items), selected); }
  // The items stay, without a current item: a load that failed after the items were read.
  void LoadUnselected(const std::vector<Item>& items) {
    Load(items);
    handler.LoadFromText(test::Rss("<item><title>broken</titel></item>"));
  }
};

class FakeView final : public IMainView {
 public:
  void SetTicker(const std::string& text, const std::string& hint, TTickerPass pass) override {
    tickerText = text;
    tickerHint = hint;
    tickerPass = pass;
    calls.push_back("ticker");
  }
  void SetTitle(const std::string& caption, const std::string& hint) override {
    titleCaption = caption;
    titleHint = hint;
    calls.push_back("title");
  }
  void LayoutTicker() override { calls.push_back("layout"); }
  void ShowQuickStartBalloon() override { calls.push_back("balloon"); }
  void OpenLink(const std::string& link) override { opened.push_back(link); }
  void RestartReloadTimer() override { calls.push_back("restart"); }
  void SetReloadInterval(std::uint32_t ms) override {
    calls.push_back("interval " + std::to_string(ms));
  }
  void EnsureAlwaysOnTop() override { calls.push_back("ontop"); }
  void CreateLoader() override {
    if (failCreate) throw std::runtime_error("proxy settings");
    calls.push_back("create");
  }
  void StartLoaderThread() override { calls.push_back("start"); }

  std::string tickerText = std::string(kLoadingText), tickerHint;
  std::optional<TTickerPass> tickerPass;
  std::string titleCaption = std::string(kAppTitle), titleHint;
  std::vector<std::string> calls;
  std::vector<std::string> opened;
  bool failCreate = false;
};

std::vector<Item> Items(int n) {
  std::vector<Item> v;
  for (int i = 1; i <= n; ++i)
    v.push_back({"Title " + std::to_string(i), "Desc " + std::to_string(i),
                 "https://news.example/" + std::to_string(i)});
  return v;
}

struct Flow : ::testing::Test {
  Feed feed;
  FakeView view;
  TMainFlow flow{feed.handler, view};

  // One completed download that left `items` in the feed.
  void Download(const std::string& text) {
    flow.NewLoader(true);
    feed.Load(text);
    flow.LoaderFinished();
  }
  void Download(const std::vector<Item>& items) { Download(Document(items)); }
};

TEST(MainTicker, ComposesNumberCountAndDecodedTitle) {
  Feed feed;
  std::vector<Item> items(25);
  items[2] = {"Storm", "Rain &#39;all day&#39;", "https://x"};
  feed.Load(items, 2);
  EXPECT_EQ(TickerTextFor(feed.handler), (TTextAndHint{"3/25 Storm", "Rain 'all day'"}));
  items[2].title = "It&#39;s 中文";
  feed.Load(items, 2);
  EXPECT_EQ(TickerTextFor(feed.handler).Text, "3/25 It's 中文");
}

TEST(MainTicker, NoCurrentItemGivesTheErrorText) {
  Feed empty;
  EXPECT_EQ(TickerTextFor(empty.handler),
            (TTextAndHint{std::string(kNoFeedText), std::string(kNoFeedHint)}));
  Feed unselected;
  unselected.LoadUnselected(Items(2));  // a parse that stopped without a current item
  ASSERT_EQ(unselected.handler.Items().Count(), 2);
  EXPECT_EQ(TickerTextFor(unselected.handler).Text, kNoFeedText);
  // After a failed download the hint says why, until a feed is read.
  Feed failed;
  failed.handler.SetUrl("https://a.example/rss");
  TFeedFetch refused;
  refused.error = "The server refused the connection - URL:https://a.example/rss";
  HandOverFeed(failed.handler, failed.handler.Url(), refused);
  EXPECT_EQ(TickerTextFor(failed.handler),
            (TTextAndHint{std::string(kNoFeedText), std::string(kNoFeedHint) + "\n" + refused.error}));
  failed.Load(Items(1));
  EXPECT_EQ(TickerTextFor(failed.handler).Hint, "Desc 1");
}

TEST(MainTitle, DecodesTheChannelTitleButNotItsLink) {
  Feed feed;
  feed.Load(Document(Items(1), "Bob&#39;s news", "https://bob.example/?a=&#39;"));
  EXPECT_EQ(TitleFor(feed.handler), (TTextAndHint{"Bob's news", "https://bob.example/?a=&#39;"}));
  Feed empty;
  empty.Load(Document({}, "Left over"));
  EXPECT_EQ(TitleFor(empty.handler), (TTextAndHint{"N/A", ""}));
}

std::string Repeat(std::string_view unit, std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += unit;
  return s;
}

TEST(MainTicker, LongTitlesAndDescriptionsAreCutForDisplay) {
  const std::string ellipsis = "\xE2\x80\xA6";
  struct Case {
    const char* name;
    std::string text;   // used as item title, item description and channel title
    std::string title;  // what the ticker and the feed title show of it
    std::string hint;   // what the tool-tip shows of it
  };
  const Case cases[] = {
      {"short", "Storm", "Storm", "Storm"},
      {"exactly the title limit", Repeat("a", 1000), Repeat("a", 1000), Repeat("a", 1000)},
      {"one over the title limit", Repeat("a", 1001), Repeat("a", 999) + ellipsis, Repeat("a", 1001)},
      {"Chinese, counted in characters", Repeat("新", 1500), Repeat("新", 999) + ellipsis,
       Repeat("新", 1500)},
      {"references count once decoded", Repeat("&#39;", 1000), Repeat("'", 1000), Repeat("'", 1000)},
      {"over the description limit", Repeat("b", 380 * 1024), Repeat("b", 999) + ellipsis,
       Repeat("b", 3999) + ellipsis},
      {"four-byte characters", Repeat("\xF0\x9F\x93\xB0", 4001),
       Repeat("\xF0\x9F\x93\xB0", 999) + ellipsis, Repeat("\xF0\x9F\x93\xB0", 3999) + ellipsis},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Feed feed;
    feed.Load(Document({{c.text, c.text, "https://x"}}, c.text));
    EXPECT_EQ(TickerTextFor(feed.handler), (TTextAndHint{"1/1 " + c.title, c.hint}));
    EXPECT_EQ(TitleFor(feed.handler).Text, c.title);
  }
}

TEST_F(Flow, ThreeItemsCycleOnePerCompletedPassWithoutReloading) {
  flow.SetFirstRun(false);
  Download(Items(3));
  EXPECT_EQ(view.tickerText, "1/3 Title 1");
  std::vector<std::string> seen;
  view.calls.clear();
  for (int i = 0; i < 4; ++i) {
    flow.TextScrolled();
    seen.push_back(view.tickerText.substr(0, 4));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"2/3 ", "3/3 ", "1/3 ", "2/3 "}));
  EXPECT_EQ(std::count(view.calls.begin(), view.calls.end(), "create"), 0);
  EXPECT_EQ(std::count(view.calls.begin(), view.calls.end(), "ontop"), 4);
}

TEST_F(Flow, PreviousStaysOnTheFirstAndNextWrapsFromTheLast) {
  Download(Items(4));
  flow.PreviousClicked();
  EXPECT_EQ(view.tickerText, "1/4 Title 1");
  EXPECT_EQ(view.tickerHint, "Desc 1");
  flow.NextClicked();
  flow.NextClicked();
  flow.NextClicked();
  EXPECT_EQ(view.tickerText, "4/4 Title 4");
  flow.NextClicked();
  EXPECT_EQ(view.tickerText, "1/4 Title 1");
  flow.PreviousClicked();
  EXPECT_EQ(view.tickerText, "1/4 Title 1");
}

TEST_F(Flow, StepsDuringADownloadMoveTheFeedButNotTheTicker) {
  Download(Items(3));
  flow.NewLoader(true);
  EXPECT_TRUE(flow.Loading());
  flow.NextClicked();
  flow.TextScrolled();
  EXPECT_EQ(feed.handler.CurrentIndex(), 2);
  EXPECT_EQ(view.tickerText, "1/3 Title 1");
  flow.LoaderFinished();  // the download was for another address and left the items as they were
  EXPECT_FALSE(flow.Loading());
  EXPECT_EQ(view.tickerText, "3/3 Title 3");
}

TEST_F(Flow, ANewItemStartsItsPassAndTheSameItemKeepsItsPlace) {
  constexpr auto kRestart = TTickerPass::Restart, kKeep = TTickerPass::Keep;
  auto renamed = Items(3);
  renamed[0].title = "Title 1, updated";
  struct Step {
    const char* what;
    std::function<void(Flow&)> run;
    TTickerPass pass;
  };
  const Step steps[] = {
      {"first download", [](Flow& f) { f.Download(Items(3)); }, kRestart},
      {"reload, same first item", [](Flow& f) { f.Download(Items(3)); }, kKeep},
      {"reload, one item more", [](Flow& f) { f.Download(Items(4)); }, kKeep},
      {"next", [](Flow& f) { f.flow.NextClicked(); }, kRestart},
      {"previous", [](Flow& f) { f.flow.PreviousClicked(); }, kRestart},
      {"previous on the first item", [](Flow& f) { f.flow.PreviousClicked(); }, kRestart},
      {"completed pass", [](Flow& f) { f.flow.TextScrolled(); }, kRestart},
      {"reload back on the first item", [](Flow& f) { f.Download(Items(3)); }, kRestart},
      {"reload, first item retitled", [&](Flow& f) { f.Download(renamed); }, kRestart},
      {"failed reload", [](Flow& f) { f.Download(kFailedDownload); }, kRestart},
      {"failed again", [](Flow& f) { f.Download(kFailedDownload); }, kKeep},
  };
  for (const Step& s : steps) {
    view.tickerPass.reset();
    s.run(*this);
    EXPECT_EQ(view.tickerPass, s.pass) << s.what;
  }
}

TEST_F(Flow, EndOfDownloadSetsTitleThenLayoutThenTicker) {
  flow.SetFirstRun(false);
  view.calls.clear();
  Download(Document(Items(2), "A&#39;B", "https://ab.example/"));
  EXPECT_EQ(view.calls, (std::vector<std::string>{"create", "start", "title", "layout", "ticker"}));
  EXPECT_EQ(view.titleCaption, "A'B");
  EXPECT_EQ(view.titleHint, "https://ab.example/");
  EXPECT_EQ(view.tickerText, "1/2 Title 1");
}

TEST_F(Flow, FailedOrEmptyDownloadShowsNAAndTheErrorText) {
  flow.SetFirstRun(false);
  Download(Items(2));
  Download(kFailedDownload);
  EXPECT_EQ(view.titleCaption, "N/A");
  EXPECT_EQ(view.titleHint, "");
  EXPECT_EQ(view.tickerText, kNoFeedText);
  EXPECT_EQ(view.tickerHint,
            std::string(kNoFeedHint) + "\nThe document is no RSS, RDF, Atom or JSON Feed");
}

TEST_F(Flow, ParseWithoutCurrentItemShowsErrorUntilNextSelectsTheFirst) {
  flow.NewLoader(true);
  feed.LoadUnselected(Items(3));
  flow.LoaderFinished();
  EXPECT_EQ(view.titleCaption, "N/A");
  EXPECT_EQ(view.tickerText, kNoFeedText);
  flow.NextClicked();
  EXPECT_EQ(view.tickerText, "1/3 Title 1");
}

TEST_F(Flow, BalloonAfterEveryDownloadOfAFirstRunOnly) {
  Download(Items(1));
  Download(kFailedDownload);
  EXPECT_EQ(std::count(view.calls.begin(), view.calls.end(), "balloon"), 2);
  view.calls.clear();
  flow.SetFirstRun(false);
  Download(Items(1));
  EXPECT_EQ(std::count(view.calls.begin(), view.calls.end(), "balloon"), 0);
}

TEST_F(Flow, PreparedLoaderStartsOnceWhenShown) {
  flow.StartLoader();  // nothing prepared yet
  EXPECT_TRUE(view.calls.empty());
  EXPECT_FALSE(flow.Loading());

  flow.NewLoader(false);
  EXPECT_EQ(view.calls, (std::vector<std::string>{"create"}));
  EXPECT_FALSE(flow.Loading());
  EXPECT_EQ(view.tickerText, kLoadingText);

  flow.StartLoader();
  flow.StartLoader();  // already started: a started loader may have freed itself
  EXPECT_EQ(view.calls, (std::vector<std::string>{"create", "start"}));
  EXPECT_TRUE(flow.Loading());
}

TEST_F(Flow, FirstOfTwoLoaderEndsClearsLoading) {
  flow.ReloadTimerTick();
  flow.ReloadTimerTick();
  EXPECT_EQ(view.calls, (std::vector<std::string>{"create", "start", "create", "start"}));
  feed.Load(Items(2));
  flow.LoaderFinished();
  EXPECT_FALSE(flow.Loading());
  EXPECT_EQ(view.tickerText, "1/2 Title 1");
  feed.Load(Items(5));
  flow.LoaderFinished();
  EXPECT_EQ(view.tickerText, "1/5 Title 1");
}

TEST_F(Flow, LoaderCreationErrorLeavesTheHandlerAndTheNextTickTriesAgain) {
  view.failCreate = true;
  EXPECT_THROW(flow.ReloadTimerTick(), std::runtime_error);
  EXPECT_FALSE(flow.Loading());
  flow.StartLoader();  // nothing was prepared
  EXPECT_TRUE(view.calls.empty());
  view.failCreate = false;
  flow.ReloadTimerTick();
  EXPECT_EQ(view.calls, (std::vector<std::string>{"create", "start"}));
  EXPECT_TRUE(flow.Loading());
}

TEST_F(Flow, ChoosingAFeedRestartsTheTimerAndLoadsAtOnceButATickDoesNotRestart) {
  flow.ReloadTimerTick();
  EXPECT_EQ(view.calls, (std::vector<std::string>{"create", "start"}));
  for (const char* url : {"https://a.example/rss", "https://a.example/rss"}) {
    view.calls.clear();
    flow.FeedChosen(url);
    EXPECT_EQ(feed.handler.Url(), "https://a.example/rss");
    EXPECT_EQ(view.calls, (std::vector<std::string>{"restart", "create", "start"}));
  }
}

TEST_F(Flow, NetworkBackLoadsOnlyAnEmptyIdleFeed) {
  const struct {
    bool loading;
    int items;
    bool connected;
    bool loads;
  } cases[] = {
      {false, 0, true, true}, {false, 0, false, false}, {false, 2, true, false},
      {true, 0, true, false}, {true, 2, true, false},   {true, 0, false, false},
  };
  for (const auto& c : cases) {
    Feed f;
    FakeView v;
    TMainFlow m(f.handler, v);
    if (c.loading) m.NewLoader(true);
    f.Load(Items(c.items));
    v.calls.clear();
    m.ConnectionStatusChanged(c.connected);
    const std::vector<std::string> expected =
        c.loads ? std::vector<std::string>{"restart", "create", "start"} : std::vector<std::string>{};
    EXPECT_EQ(v.calls, expected) << c.loading << " " << c.items << " " << c.connected;
  }
}

// Failed downloads hold reload ticks back (the feed's fetch state); a feed choice and the
// network coming back end that at once.
TEST_F(Flow, BackoffSkipsTicksUntilAChoiceOrTheNetworkEndsIt) {
  using Clock = TFeedFetchState::Clock;
  Clock::time_point now = Clock::now();
  feed.handler.FetchState().SetClock([&] { return now; });
  const std::string url = "https://a.example/rss";
  struct Case {
    const char* name;
    std::function<void()> end;  // what ends the back-off; none: time alone
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"a feed choice", [&] { flow.FeedChosen(url); }, {"restart", "create", "start"}},
      {"the network back", [&] { flow.ConnectionStatusChanged(true); }, {"restart", "create", "start"}},
      {"the network lost: still held", [&] { flow.ConnectionStatusChanged(false); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    flow.FeedChosen(url);
    // Three failures in a row: the next reload waits four minutes from the last start.
    for (int i = 0; i < 3; ++i) {
      TFeedFetch failed;
      failed.error = "The server refused the connection";
      failed.started = failed.finished = now;
      HandOverFeed(feed.handler, url, failed);
      flow.LoaderFinished();
    }
    view.calls.clear();
    now += std::chrono::minutes(3);
    flow.ReloadTimerTick();
    EXPECT_TRUE(view.calls.empty()) << "a tick within the back-off";
    c.end();
    EXPECT_EQ(view.calls, c.calls);
    if (!c.calls.empty()) flow.LoaderFinished();
    view.calls.clear();
    flow.ReloadTimerTick();
    EXPECT_EQ(view.calls.empty(), c.calls.empty());
    now += std::chrono::minutes(1);
    view.calls.clear();
    flow.ReloadTimerTick();
    EXPECT_EQ(view.calls, (std::vector<std::string>{"create", "start"})) << "four minutes on";
    flow.LoaderFinished();
  }
}

// A server's Retry-After holds ticks for as long as it asked.
TEST_F(Flow, RetryAfterSkipsTicksUntilThen) {
  using Clock = TFeedFetchState::Clock;
  Clock::time_point now = Clock::now();
  feed.handler.FetchState().SetClock([&] { return now; });
  flow.FeedChosen("https://a.example/rss");
  TFeedFetch busy;
  busy.status = 503;
  busy.error = "Service Unavailable (503)";
  busy.retryAfter = std::chrono::minutes(30);
  busy.started = busy.finished = now;
  HandOverFeed(feed.handler, feed.handler.Url(), busy);
  flow.LoaderFinished();
  for (int minutes : {5, 10, 15, 20, 25, 29}) {
    SCOPED_TRACE(minutes);
    now = busy.finished + std::chrono::minutes(minutes);
    view.calls.clear();
    flow.ReloadTimerTick();
    EXPECT_TRUE(view.calls.empty());
  }
  now = busy.finished + std::chrono::minutes(30);
  view.calls.clear();
  flow.ReloadTimerTick();
  EXPECT_EQ(view.calls, (std::vector<std::string>{"create", "start"}));
}

TEST_F(Flow, AcceptedConfigurationSetsTheIntervalOnlyWhenItChanged) {
  flow.ConfiguredReloadInterval(300000, 300000);
  flow.ConfiguredReloadInterval(600000, 300000);
  EXPECT_EQ(view.calls, (std::vector<std::string>{"interval 600000"}));
}

TEST(MainTrackBar, IntervalsAndPositions) {
  EXPECT_EQ(ReloadIntervalFromTrackBar(0), 300000u);
  EXPECT_EQ(ReloadIntervalFromTrackBar(11), 3600000u);
  const struct {
    std::uint32_t ms;
    int position;
  } cases[] = {{300000, 0}, {420000, 0}, {600000, 1}, {3600000, 11}, {0, 0}, {7200000, 11}, {299999, 0}};
  for (const auto& c : cases) EXPECT_EQ(TrackBarFromReloadInterval(c.ms), c.position) << c.ms;
}

TEST(MainLinks, OpensOnlyWebAddressesAfterTrimming) {
  const test::TextCase accepted[] = {
      {"http://news.example/1", "http://news.example/1"},
      {"https://news.example/1", "https://news.example/1"},
      {"HTTPS://NEWS.EXAMPLE/", "HTTPS://NEWS.EXAMPLE/"},
      {"HtTp://x", "HtTp://x"},
      {"  https://x.example/a b  ", "https://x.example/a b"},
      {"\r\n\thttp://x.example/\r\n", "http://x.example/"},
  };
  for (const test::TextCase& c : accepted) {
    const auto l = LinkToOpen(c.in);
    ASSERT_TRUE(l.has_value()) << c.in;
    EXPECT_EQ(*l, c.out);
  }
  for (const char* link :
       {"C:\\Windows\\System32\\calc.exe?http://x", "calc.exe http://x", "file:///C:/x.exe?https://y",
        "javascript:alert('http://')", "ftp://x.example/", "", "   ", "http:/x", "https:x", "xhttp://y",
        "\\\\server\\share\\a.exe?https://", "mailto:a@b?https://c"}) {
    EXPECT_FALSE(LinkToOpen(link).has_value()) << link;
  }
}

TEST_F(Flow, TickerClickOpensTheCurrentItemsSecureLink) {
  flow.TickerClicked();  // no current item
  EXPECT_TRUE(view.opened.empty());
  Download({{"a", "", "https://secure.example/a"},
            {"b", "", "C:\\x.exe?http://evil"},
            {"c", "", " HTTP://c "}});
  flow.TickerClicked();
  flow.NextClicked();
  flow.TickerClicked();
  flow.NextClicked();
  flow.TickerClicked();
  EXPECT_EQ(view.opened, (std::vector<std::string>{"https://secure.example/a", "HTTP://c"}));
}

TEST_F(Flow, TitleClickOpensTheChannelLinkFromTheHint) {
  flow.TitleClicked("");
  flow.TitleClicked("news.example");
  flow.TitleClicked("https://channel.example/");
  EXPECT_EQ(view.opened, (std::vector<std::string>{"https://channel.example/"}));
}

TEST(MainLayout, ButtonsBesideTheTitleAndAtTheRightEnd) {
  EXPECT_EQ(ComputeTickerLayout(30, 100, 16, 1024), (TTickerLayout{140, 998, 156, 842}));
  EXPECT_EQ(ComputeTickerLayout(30, 0, 16, 800), (TTickerLayout{40, 774, 56, 718}));
  // Narrower than title and buttons: the ticker gets no width rather than a negative one.
  EXPECT_EQ(ComputeTickerLayout(30, 300, 16, 320), (TTickerLayout{340, 294, 356, 0}));
  // At 144 dpi the gaps are scaled like the rest: 15 pixels.
  EXPECT_EQ(ComputeTickerLayout(45, 100, 24, 1024, 15), (TTickerLayout{160, 985, 184, 801}));
}

}  // namespace
}  // namespace mq
