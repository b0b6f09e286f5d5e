// The loader's portable rules: the proxy taken from the Internet settings, the limited
// download over the recording WinHTTP stand-in, and the hand-over that drops the result of
// an address the handler has left.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "base/DiagLog.h"
#include "feeds/LoaderProxy.h"
#include "tests/support/FeedTestSupport.h"
#include "tests/http/FakeWinHttp.h"

namespace mq {
namespace {

using test::FakeWinHttp;

TLoaderProxy Named(std::string server, int port) {
  return TLoaderProxy{true, std::move(server), port, "<local>"};
}

TEST(LoaderProxyRule, SettingsTable) {
  struct Case {
    const char* name;
    std::optional<bool> enable;
    const char* server;
    TLoaderProxy expected;
  };
  const Case cases[] = {
      {"enabled host:port", true, "proxy.example:8080", Named("proxy.example", 8080)},
      {"enabled address:port", true, "127.0.0.1:3128", Named("127.0.0.1", 3128)},
      {"blanks around the port", true, "proxy:  8080 ", Named("proxy", 8080)},
      {"port 1", true, "p:1", Named("p", 1)},
      {"port 65535", true, "p:65535", Named("p", 65535)},
      {"disabled with a server", false, "proxy.example:8080", {}},
      {"key or value missing", std::nullopt, "proxy.example:8080", {}},
      {"enabled, no server", true, "", {}},
      {"enabled, no colon", true, "proxy.example", {}},
      {"per-protocol form", true, "http=proxy:8080;https=proxy:8443", {}},
      {"port not a number", true, "proxy:http", {}},
      {"port with trailing text", true, "proxy:8080/", {}},
      {"second colon", true, "proxy:80:81", {}},
      {"port 0", true, "proxy:0", {}},
      {"port above 65535", true, "proxy:65536", {}},
      {"port far too long", true, "proxy:00000000008080", {}},
      {"negative port", true, "proxy:-80", {}},
      {"empty port", true, "proxy:", {}},
      {"empty host", true, ":8080", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LoaderProxyFromSettings(c.enable, c.server), c.expected);
  }
}

std::string FirstCall(const FakeWinHttp& api, const std::string& prefix) {
  for (const std::string& c : api.calls)
    if (c.rfind(prefix, 0) == 0) return c;
  return "(no call " + prefix + ")";
}

TEST(LoaderProxyRule, NamedProxyReachesThePlatformOpenCall) {
  FakeWinHttp api;
  api.response.chunks = {"x"};
  TALWinHttpClient client(api);
  ApplyLoaderProxy(client, LoaderProxyFromSettings(true, "proxy.example:8080"));
  FetchFeedText(client, "http://feeds.example/rss.xml");
  EXPECT_EQ(FirstCall(api, "Open("),
            "Open(\"Mozilla/3.0 (compatible; TALWinHttpClient)\", 3, \"proxy.example:8080\", "
            "\"<local>\", 0) -> session1");
}

TEST(LoaderProxyRule, NoProxyLeavesTheClientDirect) {
  FakeWinHttp api;
  api.response.chunks = {"x"};
  TALWinHttpClient client(api);
  ApplyLoaderProxy(client, LoaderProxyFromSettings(std::nullopt, ""));
  EXPECT_EQ(client.AccessType(), wHttpAt_NO_PROXY);
  FetchFeedText(client, "http://feeds.example/rss.xml");
  EXPECT_EQ(FirstCall(api, "Open("),
            "Open(\"Mozilla/3.0 (compatible; TALWinHttpClient)\", 1, null, null, 0) -> session1");
}

int CountCalls(const FakeWinHttp& api, const std::string& prefix) {
  return static_cast<int>(std::count_if(api.calls.begin(), api.calls.end(),
                                        [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

TEST(LoaderDownload, SizeLimit) {
  struct Case {
    const char* name;
    std::size_t chunks;  // of the chunk size below
    std::size_t limit;
    bool loaded;
    int readsAtMost;
  };
  constexpr std::size_t kChunk = 1024;
  const Case cases[] = {
      {"well under", 3, 10 * kChunk, true, 3},
      {"exactly the limit", 10, 10 * kChunk, true, 10},
      {"one chunk over", 11, 10 * kChunk, false, 11},
      {"endless stream stops at the limit", 1000, 10 * kChunk, false, 11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeWinHttp api;
    const std::string feed = test::Rss("<title>T</title>" + test::Item("one"));
    std::string body = feed + std::string(c.chunks * kChunk - feed.size(), ' ');
    for (std::size_t i = 0; i < c.chunks; ++i)
      api.response.chunks.push_back(body.substr(i * kChunk, kChunk));
    TALWinHttpClient client(api);
    const std::string text = FetchFeedText(client, "http://feeds.example/rss.xml", c.limit);
    EXPECT_EQ(!text.empty(), c.loaded);
    if (c.loaded) {
      EXPECT_EQ(text, body);
    }
    EXPECT_LE(CountCalls(api, "ReadData("), c.readsAtMost);
    // The stopped request leaves no handle open behind it.
    if (!c.loaded) {
      EXPECT_FALSE(client.Connected());
    }
  }
}

TEST(LoaderDownload, FailuresGiveAnEmptyTextAndKeepTheirCause) {
  struct Case {
    const char* name;
    int status;    // served; 0: no answer
    int failCode;  // a platform call that fails with this code; 0: none
    const char* url;
    int keptStatus;
    const char* causeHas;
  };
  const Case cases[] = {
      {"status 404", 404, 0, "http://feeds.example/rss.xml", 404, "404"},
      {"connection refused", 0, 12029, "http://feeds.example/rss.xml", 0, "could not be established"},
      {"not an address", 0, 0, "no scheme at all", 0, "no scheme at all"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeWinHttp api;
    if (c.status != 0) {
      api.response.status = c.status;
      api.response.statusText = "Not Found";
      api.response.chunks = {"<rss/>"};
    }
    if (c.failCode != 0) api.FailNext("SendRequest", c.failCode);
    TALWinHttpClient client(api);
    const TFeedFetch fetch = FetchFeed(client, c.url);
    EXPECT_EQ(fetch.text, "");
    EXPECT_EQ(fetch.status, c.keptStatus);
    EXPECT_NE(fetch.error.find(c.causeHas), std::string::npos) << fetch.error;
  }
  // A success keeps its status and size, and no cause.
  FakeWinHttp api;
  api.response.chunks = {"<rss>", "</rss>"};
  TALWinHttpClient client(api);
  const TFeedFetch fetch = FetchFeed(client, "http://feeds.example/rss.xml");
  EXPECT_EQ(fetch.status, 200);
  EXPECT_EQ(fetch.bytes, 11u);
  EXPECT_EQ(fetch.error, "");
}

// The diagnostics log, when on, tells the proxy chosen, each download's start and end, and
// what the handler made of the text.
TEST(LoaderDownload, TheLogTellsWhatHappened) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "mq-loader-rules.log";
  std::filesystem::remove(file);
  ASSERT_TRUE(DiagLog().Open(file.string()));
  {
    FakeWinHttp api;
    api.response.chunks = {test::Rss("<title>T</title>" + test::Item("one") + test::Item("two"))};
    TALWinHttpClient client(api);
    ApplyLoaderProxy(client, LoaderProxyFromSettings(true, "127.0.0.1:3128"));
    test::TRecordingReporter reporter;
    TRSSHandler handler(&reporter);
    handler.SetUrl("http://a.example/rss");
    HandOverFeed(handler, "http://a.example/rss", FetchFeedText(client, "http://a.example/rss"));
    HandOverFeed(handler, "http://a.example/rss", "<rss><channel><item></channel></rss>");
  }
  {
    FakeWinHttp api;
    api.FailNext("SendRequest", 12029);
    TALWinHttpClient client(api);
    ApplyLoaderProxy(client, TLoaderProxy{});
    FetchFeedText(client, "http://b.example/rss");
  }
  DiagLog().Close();
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> events;
  for (std::string line; std::getline(in, line);) events.push_back(line.substr(line.find(' ', 25) + 1));
  in.close();  // Windows refuses to remove a file that is still open
  std::filesystem::remove(file);
  ASSERT_EQ(events.size(), 8u);
  EXPECT_EQ(events[0], "proxy: named 127.0.0.1:3128, bypass <local>");
  EXPECT_EQ(events[1], "download: start GET http://a.example/rss");
  EXPECT_TRUE(events[2].starts_with("download: end http://a.example/rss: status 200, ")) << events[2];
  EXPECT_EQ(events[3], "feed: loaded http://a.example/rss: 2 items");
  EXPECT_TRUE(events[4].starts_with("feed: load failed http://a.example/rss: ")) << events[4];
  EXPECT_EQ(events[5], "proxy: none: direct connection");
  EXPECT_EQ(events[6], "download: start GET http://b.example/rss");
  EXPECT_TRUE(events[7].starts_with("download: failed http://b.example/rss: status 0, 0 bytes, "))
      << events[7];
  EXPECT_NE(events[7].find("could not be established"), std::string::npos) << events[7];
}

TEST(LoaderDownload, BodyIsDecodedBeforeTheHandOver) {
  FakeWinHttp api;
  // "新闻" in GB2312, declared by the document.
  api.response.chunks = {
      "<?xml version=\"1.0\" encoding=\"gb2312\"?><rss><channel><title>\xD0\xC2\xCE\xC5</title>"
      "</channel></rss>"};
  TALWinHttpClient client(api);
  const std::string text = FetchFeedText(client, "http://feeds.example/rss.xml");
  EXPECT_NE(text.find("<title>\xE6\x96\xB0\xE9\x97\xBB</title>"), std::string::npos) << text;
}

TEST(LoaderHandOver, OnlyForTheHandlersCurrentAddress) {
  test::TRecordingReporter reporter;
  TRSSHandler handler(&reporter);
  handler.SetUrl("http://a.example/rss");
  handler.LoadFromText(test::Rss("<title>A</title>" + test::Item("a1") + test::Item("a2")));
  ASSERT_EQ(handler.Items().Count(), 2);

  // A download of another address changes nothing.
  EXPECT_FALSE(
      HandOverFeed(handler, "http://b.example/rss", test::Rss("<title>B</title>" + test::Item("b1"))));
  EXPECT_EQ(handler.Items().Count(), 2);
  EXPECT_EQ(handler.Title(), "A");

  // The current address replaces the items.
  EXPECT_TRUE(
      HandOverFeed(handler, "http://a.example/rss", test::Rss("<title>A2</title>" + test::Item("x"))));
  EXPECT_EQ(handler.Items().Count(), 1);
  EXPECT_EQ(handler.CurrentIndex(), 0);

  // A failed download of the current address empties the feed, silently.
  EXPECT_TRUE(HandOverFeed(handler, "http://a.example/rss", ""));
  EXPECT_EQ(handler.Items().Count(), 0);
  EXPECT_EQ(handler.CurrentIndex(), -1);
  EXPECT_TRUE(reporter.messages.empty());
}

}  // namespace
}  // namespace mq
