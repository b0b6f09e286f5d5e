// The loader's portable rules: the proxy taken from the Internet settings, the limited
// download over the recording WinHTTP stand-in, and the hand-over that drops the result of
// an address the handler has left.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "base/DiagLog.h"
#include "feeds/LoaderProxy.h"
#include "tests/support/Compress.h"
#include "tests/support/FeedTestSupport.h"
#include "tests/http/FakeWinHttp.h"

namespace mq {

// Readable values in failure messages.
void PrintTo(const TLoaderProxy& p, std::ostream* os) {
  *os << (p.named ? "named " + p.server + ":" + std::to_string(p.port) + " bypass " + p.bypass
                  : "direct");
}
void PrintTo(const TProxyEntry& e, std::ostream* os) { *os << e.host << ":" << e.port; }

namespace {

using test::FakeWinHttp;

TLoaderProxy Named(std::string server, int port, std::string bypass = "<local>") {
  return TLoaderProxy{true, std::move(server), port, std::move(bypass)};
}

TInternetSettings Manual(std::optional<bool> enable, std::string server,
                         std::optional<std::string> override = std::nullopt) {
  TInternetSettings s;
  s.proxyEnable = enable;
  s.proxyServer = std::move(server);
  s.proxyOverride = std::move(override);
  return s;
}

// One "host:port" for every scheme; the rules of the port and the host.
TEST(LoaderProxyRule, SingleProxyText) {
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
      {"http:// before the host", true, "http://proxy:8080", Named("proxy", 8080)},
      {"port 1", true, "p:1", Named("p", 1)},
      {"port 65535", true, "p:65535", Named("p", 65535)},
      {"disabled with a server", false, "proxy.example:8080", {}},
      {"key or value missing", std::nullopt, "proxy.example:8080", {}},
      {"enabled, no server", true, "", {}},
      {"enabled, no colon", true, "proxy.example", {}},
      {"port not a number", true, "proxy:http", {}},
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
    EXPECT_EQ(ManualLoaderProxy(Manual(c.enable, c.server), "http"), c.expected);
    EXPECT_EQ(ManualLoaderProxy(Manual(c.enable, c.server), "https"), c.expected);
  }
}

// The per-protocol form: the entry of the address's scheme, else "http=", else a bare one.
TEST(LoaderProxyRule, PerProtocolEntries) {
  struct Case {
    const char* server;
    const char* scheme;
    std::optional<TProxyEntry> expected;
  };
  const Case cases[] = {
      {"http=p:8080;https=s:8443", "http", TProxyEntry{"p", 8080}},
      {"http=p:8080;https=s:8443", "https", TProxyEntry{"s", 8443}},
      {"https=s:8443;http=p:8080", "http", TProxyEntry{"p", 8080}},
      {"HTTP=p:8080;HTTPS=s:8443", "https", TProxyEntry{"s", 8443}},
      {"http=p:8080", "https", TProxyEntry{"p", 8080}},
      {"https=s:8443", "http", std::nullopt},
      {"socks=k:1080", "http", std::nullopt},
      {"socks=k:1080;http=p:8080", "https", TProxyEntry{"p", 8080}},
      {"ftp=f:21;p:3128", "https", TProxyEntry{"p", 3128}},
      {" http=p:8080 ; https = s:8443 ", "https", TProxyEntry{"s", 8443}},
      {"http=http://p:8080/;", "http", TProxyEntry{"p", 8080}},
      {"https=s:bad;http=p:8080", "https", TProxyEntry{"p", 8080}},
      {";;", "http", std::nullopt},
      {"http=", "http", std::nullopt},
      {"=p:8080", "http", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.server) + " for " + c.scheme);
    EXPECT_EQ(ProxyEntryFor(c.server, c.scheme), c.expected);
  }
}

// The bypass list is the settings' own when they have one.
TEST(LoaderProxyRule, BypassList) {
  struct Case {
    const char* name;
    std::optional<std::string> override;
    std::string bypass;
  };
  const Case cases[] = {
      {"ProxyOverride missing", std::nullopt, "<local>"},
      {"ProxyOverride with <local> and names", "*.intranet;<local>;10.*", "*.intranet;<local>;10.*"},
      {"ProxyOverride with blanks around", "  feeds.example ", "feeds.example"},
      {"ProxyOverride empty: nothing bypassed", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ManualLoaderProxy(Manual(true, "p:3128", c.override), "http"), Named("p", 3128, c.bypass));
  }
}

TEST(LoaderProxyRule, SchemeOfAnAddress) {
  EXPECT_EQ(SchemeOf("https://a.example/"), "https");
  EXPECT_EQ(SchemeOf(" HTTPS://a.example/"), "https");
  EXPECT_EQ(SchemeOf("http://a.example/"), "http");
  EXPECT_EQ(SchemeOf("httpsx"), "http");
}

// A stand-in for the platform's automatic configuration that records what it was asked.
class ScriptedAutoProxy : public IAutoProxy {
 public:
  std::optional<TAutoProxyConfig> config;
  std::optional<TAutoProxyAnswer> answer;
  std::vector<std::string> asked;

  std::optional<TAutoProxyConfig> CurrentUserConfig() override { return config; }
  std::optional<TAutoProxyAnswer> ProxyForUrl(const std::string& url, const TAutoProxyConfig& c,
                                              std::string& error) override {
    asked.push_back(url + (c.autoDetect ? " detect" : "") +
                    (c.autoConfigUrl.empty() ? "" : " " + c.autoConfigUrl));
    if (!answer) error = "no answer";
    return answer;
  }
};

TEST(LoaderProxyRule, AutomaticConfigurationAndItsFallbacks) {
  const TAutoProxyAnswer direct{true, "", ""};
  const TAutoProxyAnswer viaPac{false, "pac:8000;other:9000", "<local>"};
  const TAutoProxyAnswer perScheme{false, "http=h:1;https=s:2", ""};
  const TAutoProxyAnswer unusable{false, "socks=k:1080", ""};
  const TAutoProxyConfig detect{true, ""};
  const TAutoProxyConfig script{false, "http://127.0.0.1/proxy.pac"};
  const TAutoProxyConfig nothing{false, ""};
  struct Case {
    const char* name;
    std::optional<TAutoProxyConfig> config;
    const char* autoConfigValue;  // the "AutoConfigURL" value
    std::optional<TAutoProxyAnswer> answer;
    TInternetSettings manual;
    const char* url;
    TLoaderProxy expected;
    const char* asked;  // empty: the platform was not asked for the address
  };
  const Case cases[] = {
      {"detection finds a proxy",
       detect,
       "",
       viaPac,
       {},
       "http://f.example/",
       Named("pac", 8000, "<local>"),
       "http://f.example/ detect"},
      {"the script says direct over manual settings",
       script,
       "",
       direct,
       Manual(true, "m:1"),
       "http://f.example/",
       {},
       "http://f.example/ http://127.0.0.1/proxy.pac"},
      {"the script's per-scheme answer for https",
       script,
       "",
       perScheme,
       {},
       "https://f.example/",
       Named("s", 2, ""),
       "https://f.example/ http://127.0.0.1/proxy.pac"},
      {"the AutoConfigURL value names the script",
       nothing,
       "http://pac.example/p.pac",
       viaPac,
       {},
       "http://f.example/",
       Named("pac", 8000, "<local>"),
       "http://f.example/ http://pac.example/p.pac"},
      {"settings unreadable, AutoConfigURL value",
       std::nullopt,
       "http://pac.example/p.pac",
       viaPac,
       {},
       "http://f.example/",
       Named("pac", 8000, "<local>"),
       "http://f.example/ http://pac.example/p.pac"},
      {"no answer: the manual settings", detect, "", std::nullopt, Manual(true, "m:3128"),
       "http://f.example/", Named("m", 3128), "http://f.example/ detect"},
      {"no answer, no manual settings: direct",
       script,
       "",
       std::nullopt,
       {},
       "http://f.example/",
       {},
       "http://f.example/ http://127.0.0.1/proxy.pac"},
      {"an answer without a usable entry: manual", detect, "", unusable, Manual(true, "m:3128"),
       "http://f.example/", Named("m", 3128), "http://f.example/ detect"},
      {"nothing automatic: manual, platform not asked", nothing, "", viaPac, Manual(true, "m:3128"),
       "http://f.example/", Named("m", 3128), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedAutoProxy platform;
    platform.config = c.config;
    platform.answer = c.answer;
    TInternetSettings settings = c.manual;
    settings.autoConfigUrl = c.autoConfigValue;
    EXPECT_EQ(ResolveLoaderProxy(settings, &platform, c.url), c.expected);
    EXPECT_EQ(platform.asked, std::string(c.asked).empty() ? std::vector<std::string>{}
                                                           : std::vector<std::string>{c.asked});
  }
  // Without a platform, the manual settings alone.
  EXPECT_EQ(ResolveLoaderProxy(Manual(true, "m:3128"), nullptr, "http://f.example/"), Named("m", 3128));
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
  ApplyLoaderProxy(client, ManualLoaderProxy(Manual(true, "proxy.example:8080"), "http"));
  FetchFeedText(client, "http://feeds.example/rss.xml");
  EXPECT_EQ(FirstCall(api, "Open("),
            "Open(\"Mozilla/3.0 (compatible; TALWinHttpClient)\", 3, \"proxy.example:8080\", "
            "\"<local>\", 0) -> session1");
}

TEST(LoaderProxyRule, NoProxyLeavesTheClientDirect) {
  FakeWinHttp api;
  api.response.chunks = {"x"};
  TALWinHttpClient client(api);
  ApplyLoaderProxy(client, ManualLoaderProxy(Manual(std::nullopt, ""), "http"));
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
    ApplyLoaderProxy(
        client, ResolveLoaderProxy(Manual(true, "127.0.0.1:3128"), nullptr, "http://a.example/rss"));
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
    ApplyLoaderProxy(client, ResolveLoaderProxy({}, nullptr, "http://b.example/rss"));
    FetchFeedText(client, "http://b.example/rss");
  }
  DiagLog().Close();
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> events;
  for (std::string line; std::getline(in, line);) events.push_back(line.substr(line.find(' ', 25) + 1));
  in.close();  // Windows refuses to remove a file that is still open
  std::filesystem::remove(file);
  ASSERT_EQ(events.size(), 9u);
  EXPECT_EQ(events[0], "proxy: manual: named 127.0.0.1:3128, bypass <local> for http://a.example/rss");
  EXPECT_EQ(events[1], "download: start GET http://a.example/rss");
  EXPECT_TRUE(events[2].starts_with("download: end http://a.example/rss: status 200, ")) << events[2];
  EXPECT_EQ(events[3], "feed: loaded http://a.example/rss: 2 items");
  EXPECT_TRUE(events[4].starts_with("feed: load failed http://a.example/rss: ")) << events[4];
  EXPECT_EQ(events[5], "feed: failure 1 in a row for http://a.example/rss: reloads wait 60 s");
  EXPECT_EQ(events[6], "proxy: manual: none: direct connection for http://b.example/rss");
  EXPECT_EQ(events[7], "download: start GET http://b.example/rss");
  EXPECT_TRUE(events[8].starts_with("download: failed http://b.example/rss: status 0, 0 bytes, "))
      << events[8];
  EXPECT_NE(events[8].find("could not be established"), std::string::npos) << events[8];
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

std::string Header(const FakeWinHttp& api) {
  for (const std::string& c : api.calls)
    if (c.rfind("AddRequestHeaders(", 0) == 0) return c;
  return "";
}

// What a download asks for: compression always, validators when it has them.
TEST(LoaderConditionalGet, RequestCarriesTheValidatorsItIsGiven) {
  struct Case {
    const char* name;
    TFeedValidators validators;
    std::vector<std::string> present, absent;
  };
  const Case cases[] = {
      {"none", {}, {"Accept-Encoding: gzip, deflate\r\n"}, {"If-None-Match", "If-Modified-Since"}},
      {"both",
       {"\"v1\"", "Tue, 08 Dec 2026 10:00:00 GMT"},
       {"Accept-Encoding: gzip, deflate\r\n", "If-Modified-Since: Tue, 08 Dec 2026 10:00:00 GMT\r\n",
        "If-None-Match: \"v1\"\r\n"},
       {}},
      {"an ETag alone", {"W/\"x\"", ""}, {"If-None-Match: W/\"x\"\r\n"}, {"If-Modified-Since"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeWinHttp api;
    api.response.chunks = {test::Rss("<title>T</title>" + test::Item("one"))};
    TALWinHttpClient client(api);
    FetchFeed(client, "http://feeds.example/rss.xml", c.validators);
    const std::string header = Header(api);
    for (const std::string& p : c.present)
      EXPECT_NE(header.find(p), std::string::npos) << p << " in " << header;
    for (const std::string& a : c.absent)
      EXPECT_EQ(header.find(a), std::string::npos) << a << " in " << header;
  }
}

// A 304 is "unchanged" only as the answer to validators; the response's own validators and
// a Retry-After (seconds or a date) are kept.
TEST(LoaderConditionalGet, ResponsesAndWhatTheyLeave) {
  const TFeedValidators sent{"\"v1\"", ""};
  struct Case {
    const char* name;
    int status;
    std::string headers;
    TFeedValidators validators;
    bool notModified;
    bool failed;
    TFeedValidators kept;
    std::optional<std::chrono::seconds> retryAfter;
  };
  const Case cases[] = {
      {"304 to validators", 304, "ETag: \"v1\"\r\n", sent, true, false, {"\"v1\"", ""}, std::nullopt},
      {"304 without validators fails", 304, "", {}, false, true, {}, std::nullopt},
      {"200 with validators",
       200,
       "ETag: \"v2\"\r\nLast-Modified: Tue, 08 Dec 2026 10:00:00 GMT\r\n",
       sent,
       false,
       false,
       {"\"v2\"", "Tue, 08 Dec 2026 10:00:00 GMT"},
       std::nullopt},
      {"503 with seconds", 503, "Retry-After: 120\r\n", {}, false, true, {}, std::chrono::seconds(120)},
      {"429 with a date",
       429,
       "Date: Tue, 08 Dec 2026 10:00:00 GMT\r\nRetry-After: Tue, 08 Dec 2026 10:30:00 GMT\r\n",
       {},
       false,
       true,
       {},
       std::chrono::seconds(1800)},
      {"500 with Retry-After: not honoured",
       500,
       "Retry-After: 120\r\n",
       {},
       false,
       true,
       {},
       std::nullopt},
      {"503 with an unreadable Retry-After",
       503,
       "Retry-After: soon\r\n",
       {},
       false,
       true,
       {},
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeWinHttp api;
    api.response.status = c.status;
    api.response.statusText = "Status";
    api.response.rawHeaders =
        "HTTP/1.1 " + std::to_string(c.status) + " Status\r\n" + c.headers + "\r\n";
    if (c.status == 200) api.response.chunks = {test::Rss("<title>T</title>" + test::Item("one"))};
    TALWinHttpClient client(api);
    const TFeedFetch fetch = FetchFeed(client, "http://feeds.example/rss.xml", c.validators);
    EXPECT_EQ(fetch.status, c.status);
    EXPECT_EQ(fetch.notModified, c.notModified);
    EXPECT_EQ(!fetch.error.empty(), c.failed) << fetch.error;
    EXPECT_EQ(fetch.text.empty(), c.status != 200);
    EXPECT_EQ(fetch.validators, c.kept);
    EXPECT_EQ(fetch.retryAfter, c.retryAfter);
  }
}

// Compressed bodies are undone before the text is decoded, inside the size limit.
TEST(LoaderDownload, ContentCodings) {
  const std::string feed = test::Rss("<title>Packed</title>" + test::Item("one") + test::Item("two"));
  struct Case {
    const char* name;
    std::string coding;
    std::string body;
    std::size_t limit;
    bool loaded;
  };
  const Case cases[] = {
      {"gzip", "gzip", test::Compress(feed, test::kGzipBits), kMaxFeedBytes, true},
      {"deflate (zlib)", "deflate", test::Compress(feed, test::kZlibBits), kMaxFeedBytes, true},
      {"deflate sent raw", "deflate", test::Compress(feed, test::kRawDeflateBits), kMaxFeedBytes, true},
      {"not compressed", "", feed, kMaxFeedBytes, true},
      {"inflates past the limit", "gzip", test::Compress(feed, test::kGzipBits), feed.size() - 1, false},
      {"a coding that cannot be read", "br", feed, kMaxFeedBytes, false},
      {"labelled gzip, sent plain", "gzip", feed, kMaxFeedBytes, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeWinHttp api;
    api.response.rawHeaders = "HTTP/1.1 200 OK\r\n" +
                              (c.coding.empty() ? "" : "Content-Encoding: " + c.coding + "\r\n") +
                              "\r\n";
    api.response.chunks = {c.body};
    TALWinHttpClient client(api);
    const TFeedFetch fetch = FetchFeed(client, "http://feeds.example/rss.xml", {}, c.limit);
    EXPECT_EQ(fetch.text == feed, c.loaded) << fetch.error;
    EXPECT_EQ(fetch.error.empty(), c.loaded) << fetch.error;
    EXPECT_EQ(fetch.bytes, c.body.size());
  }
}

// The hand-over of each outcome: what the feed shows and what its fetch state keeps.
TEST(LoaderHandOver, OutcomesAndTheFetchState) {
  const std::string url = "http://a.example/rss";
  const std::string feed =
      test::Rss("<title>A</title>" + test::Item("a1") + test::Item("a2") + test::Item("a3"));
  test::TRecordingReporter reporter;
  TRSSHandler handler(&reporter);
  handler.SetUrl(url);

  TFeedFetch good;
  good.text = feed;
  good.status = 200;
  good.validators = {"\"v1\"", "Tue, 08 Dec 2026 10:00:00 GMT"};
  ASSERT_TRUE(HandOverFeed(handler, url, good));
  EXPECT_EQ(handler.FetchState().ValidatorsFor(url), good.validators);
  EXPECT_EQ(handler.FetchState().ValidatorsFor("http://b.example/rss"), TFeedValidators{});

  // A 304 keeps the items and the item the ticker is on.
  handler.SelectNext();
  TFeedFetch unchanged;
  unchanged.status = 304;
  unchanged.notModified = true;
  ASSERT_TRUE(HandOverFeed(handler, url, unchanged));
  EXPECT_EQ(handler.Items().Count(), 3);
  EXPECT_EQ(handler.CurrentIndex(), 1);
  EXPECT_EQ(handler.FetchState().ValidatorsFor(url), good.validators);
  EXPECT_EQ(handler.FetchState().Failures(), 0);

  // A failure empties the feed and forgets the validators: the next download asks afresh.
  TFeedFetch failed;
  failed.status = 503;
  failed.error = "Service Unavailable (503)";
  failed.retryAfter = std::chrono::seconds(600);
  failed.started = failed.finished = TFeedFetchState::Clock::now();
  ASSERT_TRUE(HandOverFeed(handler, url, failed));
  EXPECT_EQ(handler.Items().Count(), 0);
  EXPECT_EQ(handler.FetchState().ValidatorsFor(url), TFeedValidators{});
  EXPECT_EQ(handler.FetchState().Failures(), 1);
  EXPECT_FALSE(handler.FetchState().MayReload(url));

  // A text that is no feed counts as a failure too.
  TFeedFetch html;
  html.status = 200;
  html.text = "<html><body>maintenance</body></html>";
  ASSERT_TRUE(HandOverFeed(handler, url, html));
  EXPECT_EQ(handler.FetchState().Failures(), 2);

  // A feed again ends the back-off.
  ASSERT_TRUE(HandOverFeed(handler, url, good));
  EXPECT_EQ(handler.FetchState().Failures(), 0);
  EXPECT_TRUE(handler.FetchState().MayReload(url));
  EXPECT_TRUE(reporter.messages.empty());
}

}  // namespace
}  // namespace mq
