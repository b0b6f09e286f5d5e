// TRssLoader under Wine: the real registry of the test prefix, the real winhttp.dll, a
// loopback server started here and tinyproxy on 127.0.0.1 (the test runs inside
// tests/http/with-tinyproxy.sh, which passes the proxy's port in MQ_TINYPROXY_PORT).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/Utf.h"
#include "feeds/uRSSLoader.h"
#include "gui/Forms_win.h"
#include "tests/support/FeedTestSupport.h"
#include "tests/support/LoopbackServer_win.h"
#include "tests/support/Pump_win.h"

namespace mq {
namespace {

using test::LoopbackServer;
using Reply = LoopbackServer::Reply;

std::string Feed(const std::string& title, int items) {
  std::string body = "<title>" + title + "</title><link>http://example.org/</link>";
  for (int i = 1; i <= items; ++i) body += test::Item(title + " item " + std::to_string(i));
  return test::Rss(body);
}

LoopbackServer::Handler Serve(std::string body) {
  return [body](const LoopbackServer::Request&) { return Reply{200, "OK", {}, body}; };
}

// The main thread's hand-overs and end events, for a download of at most 20 seconds.
bool PumpUntil(const std::function<bool()>& done, int ms = 20000) { return test::PumpUntil(done, ms); }

// Starts a loader for the handler; `ended` is set by its end event on the main thread.
void StartLoader(TRSSHandler& handler, std::atomic<int>& ended,
                 std::vector<std::string>* order = nullptr, std::string tag = {},
                 int deadlineMs = kFeedDownloadDeadlineMs) {
  auto* loader = new TRssLoader(handler, deadlineMs);
  loader->OnTerminate = [&ended, order, tag](TObject*) {
    EXPECT_EQ(::GetCurrentThreadId(), Application().MainThreadId());
    if (order != nullptr) order->push_back(tag);
    ++ended;
  };
  loader->Start();
}

bool RunLoader(TRSSHandler& handler, int deadlineMs = kFeedDownloadDeadlineMs) {
  std::atomic<int> ended{0};
  StartLoader(handler, ended, nullptr, {}, deadlineMs);
  return PumpUntil([&] { return ended == 1; });
}

// One registry value as it was, put back at the end of a test.
class SavedValue {
 public:
  SavedValue(HKEY key, const wchar_t* name) : key_(key), name_(name) {
    DWORD size = 0;
    if (::RegQueryValueExW(key_, name_, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
      data_.resize(size);
      ::RegQueryValueExW(key_, name_, nullptr, &type_, data_.data(), &size);
      present_ = true;
    }
  }
  ~SavedValue() {
    if (present_) {
      ::RegSetValueExW(key_, name_, 0, type_, data_.data(), static_cast<DWORD>(data_.size()));
    } else {
      ::RegDeleteValueW(key_, name_);
    }
  }

 private:
  HKEY key_;
  const wchar_t* name_;
  DWORD type_ = 0;
  std::vector<BYTE> data_;
  bool present_ = false;
};

// The per-user Internet settings for one test, put back as they were at its end.
class InternetSettings {
 public:
  InternetSettings() {
    ::RegCreateKeyExW(HKEY_CURRENT_USER, kInternetSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key_, nullptr);
    for (const wchar_t* name : {L"ProxyEnable", L"ProxyServer", L"ProxyOverride", L"AutoConfigURL"})
      saved_.emplace_back(std::make_unique<SavedValue>(key_, name));
  }
  ~InternetSettings() {
    saved_.clear();
    ::RegCloseKey(key_);
  }
  void SetEnable(std::optional<DWORD> value) {
    if (value) {
      ::RegSetValueExW(key_, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*value),
                       sizeof(DWORD));
    } else {
      ::RegDeleteValueW(key_, L"ProxyEnable");
    }
  }
  void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    ::RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), size);
  }
  void SetServer(std::optional<std::string> value) { SetString(L"ProxyServer", value); }
  void SetOverride(std::optional<std::string> value) { SetString(L"ProxyOverride", value); }
  void SetAutoConfigUrl(std::optional<std::string> value) { SetString(L"AutoConfigURL", value); }

 private:
  void SetString(const wchar_t* name, const std::optional<std::string>& value) {
    if (!value) {
      ::RegDeleteValueW(key_, name);
      return;
    }
    const std::wstring text = ToWide(*value);
    ::RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
  HKEY key_ = nullptr;
  std::vector<std::unique_ptr<SavedValue>> saved_;
};

int ProxyPort() {
  const char* port = std::getenv("MQ_TINYPROXY_PORT");
  return port != nullptr ? std::atoi(port) : 0;
}

// Runs one loader for a feed served at `address` and tells whether its request reached the
// server through tinyproxy (which adds its Via line).
struct Route {
  bool loaded = false;
  bool viaProxy = false;
};
Route LoadThrough(const char* address) {
  LoopbackServer server(Serve(Feed("Route", 2)), address);
  test::TRecordingReporter reporter;
  TRSSHandler handler(&reporter);
  handler.SetUrl(server.Url("/route.xml"));
  std::atomic<int> ended{0};
  auto* loader = new TRssLoader(handler);
  loader->OnTerminate = [&ended](TObject*) { ++ended; };
  loader->Start();
  EXPECT_TRUE(PumpUntil([&] { return ended == 1; }));
  const auto requests = server.Requests();
  Route route;
  route.loaded = handler.Items().Count() == 2;
  route.viaProxy = requests.size() == 1 && requests[0].headers.find("tinyproxy") != std::string::npos;
  EXPECT_TRUE(reporter.messages.empty());
  return route;
}

// tinyproxy refuses 127.0.0.1 as a destination, so feeds that should pass through it are
// served from 127.0.0.2 (or 127.0.0.3).
TEST(LoaderProxy, ManualSettingsDecideTheRoute) {
  const int proxyPort = ProxyPort();
  ASSERT_GT(proxyPort, 0) << "run through tests/http/with-tinyproxy.sh (ctest does)";
  const std::string proxy = "127.0.0.1:" + std::to_string(proxyPort);
  const std::string nowhere = "127.0.0.1:9";  // nothing listens there
  struct Case {
    const char* name;
    std::optional<DWORD> enable;
    std::optional<std::string> server;
    std::optional<std::string> bypass;
    const char* address;
    bool viaProxy;
  };
  const Case cases[] = {
      {"enabled host:port", 1, proxy, std::nullopt, "127.0.0.2", true},
      {"disabled, server present", 0, proxy, std::nullopt, "127.0.0.2", false},
      {"ProxyEnable missing", std::nullopt, proxy, std::nullopt, "127.0.0.2", false},
      {"ProxyServer missing", 1, std::nullopt, std::nullopt, "127.0.0.2", false},
      {"server without a colon", 1, "127.0.0.1", std::nullopt, "127.0.0.2", false},
      {"per-protocol form: the http entry", 1,
       "https=" + nowhere + ";http=" + proxy + ";socks=" + nowhere, std::nullopt, "127.0.0.2", true},
      {"per-protocol form without an http entry", 1, "https=" + proxy + ";socks=" + proxy, std::nullopt,
       "127.0.0.2", false},
      {"bypass list names the host", 1, proxy, "<local>;127.0.0.3", "127.0.0.3", false},
      {"bypass list names another host", 1, proxy, "<local>;127.0.0.3", "127.0.0.2", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InternetSettings settings;
    settings.SetEnable(c.enable);
    settings.SetServer(c.server);
    settings.SetOverride(c.bypass);
    settings.SetAutoConfigUrl(std::nullopt);
    const Route route = LoadThrough(c.address);
    EXPECT_TRUE(route.loaded);
    EXPECT_EQ(route.viaProxy, c.viaProxy);
  }
}

// "<local>" in the bypass list: a name without a dot goes directly, even with a proxy.
TEST(LoaderProxy, LocalNamesBypassTheProxy) {
  InternetSettings settings;
  settings.SetEnable(1);
  settings.SetServer("127.0.0.1:" + std::to_string(ProxyPort()));
  settings.SetOverride("<local>");
  settings.SetAutoConfigUrl(std::nullopt);
  LoopbackServer server(Serve(Feed("Local", 2)), "127.0.0.1");
  TRSSHandler handler;
  handler.SetUrl("http://localhost:" + std::to_string(server.Port()) + "/local.xml");
  ASSERT_TRUE(RunLoader(handler));
  EXPECT_EQ(handler.Items().Count(), 2);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].headers.find("tinyproxy"), std::string::npos);
}

// A configuration script served on loopback decides per address; when it cannot be had the
// manual settings decide.
TEST(LoaderProxy, ConfigurationScriptDecidesPerAddress) {
  const int proxyPort = ProxyPort();
  ASSERT_GT(proxyPort, 0) << "run through tests/http/with-tinyproxy.sh (ctest does)";
  const std::string pac =
      "function FindProxyForURL(url, host) {\n"
      "  if (host == \"127.0.0.2\") return \"PROXY 127.0.0.1:" +
      std::to_string(proxyPort) +
      "\";\n"
      "  return \"DIRECT\";\n"
      "}\n";
  LoopbackServer scripts([&](const LoopbackServer::Request& r) {
    if (r.target == "/proxy.pac")
      return Reply{200, "OK", {"Content-Type: application/x-ns-proxy-autoconfig"}, pac};
    return Reply{404, "Not Found", {}, ""};
  });
  struct Case {
    const char* name;
    std::string script;
    std::optional<DWORD> enable;  // with the proxy as the manual setting
    const char* address;
    bool viaProxy;
  };
  const Case cases[] = {
      {"the script names the proxy", scripts.Url("/proxy.pac"), 0, "127.0.0.2", true},
      {"the script says direct, over a manual proxy", scripts.Url("/proxy.pac"), 1, "127.0.0.3", false},
      {"no script there: the manual proxy", scripts.Url("/missing.pac"), 1, "127.0.0.3", true},
      {"no script there, no manual proxy: direct", scripts.Url("/missing.pac"), 0, "127.0.0.2", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InternetSettings settings;
    settings.SetEnable(c.enable);
    settings.SetServer("127.0.0.1:" + std::to_string(proxyPort));
    settings.SetOverride(std::nullopt);
    settings.SetAutoConfigUrl(c.script);
    const Route route = LoadThrough(c.address);
    EXPECT_TRUE(route.loaded);
    EXPECT_EQ(route.viaProxy, c.viaProxy);
  }
  int scriptRequests = 0;
  for (const auto& r : scripts.Requests()) scriptRequests += r.target == "/proxy.pac";
  EXPECT_GE(scriptRequests, 1) << "the platform fetched the script";
}

TEST(LoaderProxy, ValuesOfAnotherTypeMeanNoProxy) {
  const DWORD one = 1;
  const ULONGLONG wideOne = 1;
  const wchar_t text[] = L"1";
  struct Case {
    const char* name;
    const wchar_t* value;
    DWORD type;
    const void* data;
    DWORD size;
  };
  const Case cases[] = {
      {"ProxyEnable as a string", L"ProxyEnable", REG_SZ, text, sizeof text},
      {"ProxyEnable as binary", L"ProxyEnable", REG_BINARY, &one, sizeof one},
      {"ProxyEnable as a 64-bit integer", L"ProxyEnable", REG_QWORD, &wideOne, sizeof wideOne},
      {"ProxyServer as an integer", L"ProxyServer", REG_DWORD, &one, sizeof one},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InternetSettings settings;
    settings.SetEnable(1);
    settings.SetServer("127.0.0.1:8080");
    settings.SetRaw(c.value, c.type, c.data, c.size);
    EXPECT_EQ(ReadInternetProxy(), TLoaderProxy{});
    // The loader is made and fetches directly, as with no proxy settings at all.
    LoopbackServer feed(Serve(Feed("Typed", 2)));
    TRSSHandler handler;
    handler.SetUrl(feed.Url("/typed.xml"));
    auto* loader = new TRssLoader(handler);
    std::atomic<int> ended{0};
    loader->OnTerminate = [&ended](TObject*) { ++ended; };
    loader->Start();
    ASSERT_TRUE(PumpUntil([&] { return ended == 1; }));
    EXPECT_EQ(handler.Items().Count(), 2);
  }
}

TEST(LoaderProxy, MissingKeyMeansNoProxy) {
  EXPECT_EQ(ReadInternetProxy(HKEY_CURRENT_USER, L"Software\\Marquelle Tests\\No Such Key"),
            TLoaderProxy{});
}

TEST(Loader, EmptyAddressEndsWithoutADownload) {
  test::TRecordingReporter reporter;
  TRSSHandler handler(&reporter);
  handler.LoadFromText(Feed("Kept", 3));
  ASSERT_TRUE(handler.Url().empty());
  ASSERT_TRUE(RunLoader(handler)) << "the end event did not come";
  EXPECT_EQ(handler.Items().Count(), 3);
  EXPECT_EQ(handler.Title(), "Kept");
  EXPECT_TRUE(reporter.messages.empty());
}

TEST(Loader, FailedDownloadsEmptyTheFeedSilently) {
  std::string refused;
  {
    LoopbackServer gone(Serve(""));
    refused = gone.Url("/feed.xml");
  }
  LoopbackServer server([](const LoopbackServer::Request& r) {
    if (r.target == "/500") return Reply{500, "Internal Server Error", {}, Feed("Error page", 1)};
    if (r.target == "/404") return Reply{404, "Not Found", {}, ""};
    if (r.target == "/html")
      return Reply{200, "OK", {"Content-Type: text/html"}, "<html><body>hi</body></html>"};
    return Reply{200, "OK", {}, ""};
  });
  struct Case {
    const char* name;
    std::string url;
  };
  const Case cases[] = {
      {"connection refused", refused},
      {"status 500", server.Url("/500")},
      {"status 404", server.Url("/404")},
      {"not a feed", server.Url("/html")},
      {"empty body", server.Url("/empty")},
      {"unresolvable name", "http://no-such-host.invalid/feed.xml"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TRecordingReporter reporter;
    TRSSHandler handler(&reporter);
    handler.SetUrl(c.url);
    handler.LoadFromText(Feed("Old", 2));
    ASSERT_EQ(handler.Items().Count(), 2);
    ASSERT_TRUE(RunLoader(handler)) << "the end event did not come";
    EXPECT_EQ(handler.Items().Count(), 0);
    EXPECT_EQ(handler.CurrentIndex(), -1);
    EXPECT_TRUE(reporter.messages.empty());
  }
}

// Atom and JSON Feed documents over WinHTTP: their relative links resolve against the
// address they were fetched from.
TEST(Loader, AtomAndJsonFeedsLoadWithLinksResolvedAgainstTheirAddress) {
  LoopbackServer server([](const LoopbackServer::Request& r) {
    if (r.target == "/blog/feed.atom")
      return Reply{200,
                   "OK",
                   {"Content-Type: application/atom+xml"},
                   "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>Atom over HTTP</title>"
                   "<entry><title>First entry</title><link href=\"posts/1\"/></entry></feed>"};
    return Reply{200,
                 "OK",
                 {"Content-Type: application/feed+json"},
                 "{\"version\":\"https://jsonfeed.org/version/1.1\",\"title\":\"JSON over HTTP\","
                 "\"items\":[{\"content_text\":\"Untitled post\\nmore\",\"url\":\"/p/2\"}]}"};
  });
  struct Case {
    std::string url, title, firstTitle, firstLink;
    TFeedKind kind;
  };
  const Case cases[] = {
      {server.Url("/blog/feed.atom"), "Atom over HTTP", "First entry", server.Url("/blog/posts/1"),
       TFeedKind::Atom},
      {server.Url("/feed.json"), "JSON over HTTP", "Untitled post", server.Url("/p/2"),
       TFeedKind::JsonFeed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    test::TRecordingReporter reporter;
    TRSSHandler handler(&reporter);
    handler.SetUrl(c.url);
    ASSERT_TRUE(RunLoader(handler)) << "the end event did not come";
    EXPECT_EQ(handler.Kind(), c.kind) << handler.LastError();
    EXPECT_EQ(handler.Title(), c.title);
    ASSERT_EQ(handler.Items().Count(), 1);
    EXPECT_EQ(handler.CurrentItem()->Title(), c.firstTitle);
    EXPECT_EQ(handler.CurrentItem()->Link(), c.firstLink);
    EXPECT_TRUE(reporter.messages.empty());
  }
}

TEST(Loader, TwoLoadersInQuickSuccession) {
  // /slow answers after a pause; /fast at once. Each first request of /same is slow, the
  // second fast.
  std::atomic<int> sameCount{0};
  LoopbackServer server([&](const LoopbackServer::Request& r) {
    if (r.target == "/slow") {
      std::this_thread::sleep_for(std::chrono::milliseconds(1500));
      return Reply{200, "OK", {}, Feed("Slow", 3)};
    }
    if (r.target == "/same") {
      if (++sameCount == 1) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        return Reply{200, "OK", {}, Feed("Same first", 3)};
      }
      return Reply{200, "OK", {}, Feed("Same second", 2)};
    }
    return Reply{200, "OK", {}, Feed("Fast", 2)};
  });
  auto requested = [&](const std::string& target) {
    for (const auto& r : server.Requests())
      if (r.target == target) return true;
    return false;
  };

  // In both cases the first loader finishes last.
  const struct {
    const char* trace;
    const char* first;   // the feed of the first loader
    const char* second;  // the feed when the second starts
    const char* title;   // what the handler shows in the end
    int items;
  } cases[] = {
      {"the user moved on to another feed: the left feed's late result is dropped", "/slow", "/fast",
       "Fast", 2},
      {"two loads of the same feed: the last to finish decides", "/same", "/same", "Same first", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.trace);
    TRSSHandler handler;
    std::atomic<int> ended{0};
    std::vector<std::string> order;
    handler.SetUrl(server.Url(c.first));
    StartLoader(handler, ended, &order, "first");
    ASSERT_TRUE(PumpUntil([&] { return requested(c.first); }));
    if (std::string(c.second) != c.first) handler.SetUrl(server.Url(c.second));
    StartLoader(handler, ended, &order, "second");
    ASSERT_TRUE(PumpUntil([&] { return ended == 2; }));
    EXPECT_EQ(order, (std::vector<std::string>{"second", "first"}));
    EXPECT_EQ(handler.Title(), c.title);
    EXPECT_EQ(handler.Items().Count(), c.items);
  }
}

TEST(Loader, BodiesBeyondSixteenMebibytesCountAsFailed) {
  const std::string feed = Feed("Big", 1);
  struct Case {
    const char* name;
    std::size_t size;
    int items;
  };
  const Case cases[] = {
      {"exactly 16 MiB", kMaxFeedBytes, 1},
      {"one byte more", kMaxFeedBytes + 1, 0},
      {"17 MiB", kMaxFeedBytes + 1024 * 1024, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer server(Serve(feed + std::string(c.size - feed.size(), ' ')));
    test::TRecordingReporter reporter;
    TRSSHandler handler(&reporter);
    handler.SetUrl(server.Url("/big.xml"));
    handler.LoadFromText(Feed("Old", 2));
    ASSERT_TRUE(RunLoader(handler)) << "the end event did not come";
    EXPECT_EQ(handler.Items().Count(), c.items);
    EXPECT_TRUE(reporter.messages.empty());
  }
}

TEST(Loader, ADownloadPastItsDeadlineCountsAsFailed) {
  // One byte every 50 ms: each arrives well within any per-call time-out.
  const std::string feed = Feed("Drip", 2);
  LoopbackServer server([&](const LoopbackServer::Request&) {
    Reply r{200, "OK", {}, feed};
    r.dripMs = 50;
    return r;
  });
  {
    TRSSHandler idle;
    auto unstarted = std::make_unique<TRssLoader>(idle);
    unstarted->FreeOnTerminate = false;
    EXPECT_EQ(unstarted->Client().TotalTimeout(), 60000);
  }

  test::TRecordingReporter reporter;
  TRSSHandler handler(&reporter);
  handler.SetUrl(server.Url("/drip.xml"));
  handler.LoadFromText(Feed("Old", 2));
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(RunLoader(handler, 400)) << "the end event did not come";
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
          .count();
  EXPECT_LT(ms, 3000) << "the whole feed takes " << feed.size() * 50 / 1000 << " s to drip";
  EXPECT_EQ(handler.Items().Count(), 0);
  EXPECT_TRUE(reporter.messages.empty());
}

}  // namespace
}  // namespace mq
