// TRssLoader's downloads as a feed server sees them, under Wine: the real winhttp.dll against
// a loopback server that records every request and counts the bytes it sends. Conditional
// GET, compressed bodies, the size limit after decompression, Retry-After and the back-off.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "feeds/uRSSLoader.h"
#include "gui/Forms_win.h"
#include "tests/support/Compress.h"
#include "tests/support/FeedTestSupport.h"
#include "tests/support/LoopbackServer_win.h"
#include "tests/support/Pump_win.h"

namespace mq {
namespace {

using test::LoopbackServer;
using Reply = LoopbackServer::Reply;
using Clock = TFeedFetchState::Clock;

constexpr const char* kETag = "\"feed-v1\"";
constexpr const char* kLastModified = "Tue, 08 Dec 2026 10:00:00 GMT";

std::string Feed(const std::string& title, int items) {
  std::string body = "<title>" + title + "</title><link>http://example.org/</link>";
  for (int i = 1; i <= items; ++i) body += test::Item(title + " item " + std::to_string(i));
  return test::Rss(body);
}

// A feed of about `bytes` bytes whose items read like news: numbered titles and varied
// descriptions, so that it packs as a real feed does, not as repeated text.
std::string NewsFeed(std::size_t bytes) {
  static const char* const kWords[] = {"market", "storm",   "council", "river",  "election", "school",
                                       "bridge", "harvest", "museum",  "league", "festival", "budget",
                                       "rail",   "clinic",  "harbour", "forest", "court",    "airport"};
  std::string body = "<title>Measured</title><link>http://example.org/</link>";
  unsigned seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  for (int i = 1; body.size() < bytes; ++i) {
    std::string description;
    for (int w = 0; w < 40; ++w)
      description +=
          std::string(kWords[(next() >> 16) % 18]) + " " + std::to_string(next() % 1000) + " ";
    body += test::Item("Story " + std::to_string(i) + " " + kWords[(next() >> 16) % 18],
                       "<description>" + description + "</description><link>http://example.org/story/" +
                           std::to_string(i) + "</link><guid>story-" + std::to_string(i) + "</guid>");
  }
  return test::Rss(body);
}

std::string HeaderValue(const LoopbackServer::Request& r, const std::string& name) {
  const std::string key = "\r\n" + name + ": ";
  const std::string headers = "\r\n" + r.headers;
  const size_t at = headers.find(key);
  if (at == std::string::npos) return "";
  const size_t start = at + key.size();
  return headers.substr(start, headers.find("\r\n", start) - start);
}

// A server as a careful feed host runs it: validators on every answer, 304 to a request that
// sends them back, gzip to a client that asks for it.
LoopbackServer::Handler WellBehaved(std::string feed) {
  return [feed](const LoopbackServer::Request& r) {
    if (HeaderValue(r, "If-None-Match") == kETag)
      return Reply{304, "Not Modified", {"ETag: " + std::string(kETag)}, ""};
    Reply reply{200,
                "OK",
                {"ETag: " + std::string(kETag), "Last-Modified: " + std::string(kLastModified)},
                feed};
    if (HeaderValue(r, "Accept-Encoding").find("gzip") != std::string::npos) {
      reply.headers.push_back("Content-Encoding: gzip");
      reply.headers.push_back("Vary: Accept-Encoding");
      reply.body = test::Compress(feed, test::kGzipBits);
    }
    return reply;
  };
}

bool RunLoader(TRSSHandler& handler) {
  std::atomic<int> ended{0};
  auto* loader = new TRssLoader(handler);
  loader->OnTerminate = [&ended](TObject*) { ++ended; };
  loader->Start();
  return test::PumpUntil([&] { return ended == 1; }, 20000);
}

TEST(LoaderFetch, AnUnchangedFeedIsAnsweredWith304AndKeepsItsItems) {
  LoopbackServer server(WellBehaved(Feed("Kept", 3)));
  test::TRecordingReporter reporter;
  TRSSHandler handler(&reporter);
  handler.SetUrl(server.Url("/feed.xml"));
  ASSERT_TRUE(RunLoader(handler));
  ASSERT_EQ(handler.Items().Count(), 3);
  handler.SelectNext();
  const TRSSItem* shown = handler.CurrentItem();

  ASSERT_TRUE(RunLoader(handler));
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  std::printf("---- the reload's request ----\n%s---- end ----\n",
              test::Escape(requests[1].raw).c_str());
  EXPECT_EQ(HeaderValue(requests[0], "If-None-Match"), "");
  EXPECT_EQ(HeaderValue(requests[1], "If-None-Match"), kETag);
  EXPECT_EQ(HeaderValue(requests[1], "If-Modified-Since"), kLastModified);
  EXPECT_EQ(HeaderValue(requests[1], "Accept-Encoding"), "gzip, deflate");
  // The same items, the same item shown: nothing was parsed again.
  EXPECT_EQ(handler.Items().Count(), 3);
  EXPECT_EQ(handler.CurrentIndex(), 1);
  EXPECT_EQ(handler.CurrentItem(), shown);
  EXPECT_EQ(handler.FetchState().Failures(), 0);
  EXPECT_TRUE(reporter.messages.empty());
}

// The feed changed behind the validators: a 200 replaces the items.
TEST(LoaderFetch, AChangedFeedReplacesTheItems) {
  std::atomic<int> version{1};
  LoopbackServer server([&](const LoopbackServer::Request& r) {
    const std::string etag = "\"v" + std::to_string(version.load()) + "\"";
    if (HeaderValue(r, "If-None-Match") == etag) return Reply{304, "Not Modified", {}, ""};
    return Reply{
        200, "OK", {"ETag: " + etag}, Feed("Version " + std::to_string(version.load()), version + 1)};
  });
  TRSSHandler handler;
  handler.SetUrl(server.Url("/changing.xml"));
  ASSERT_TRUE(RunLoader(handler));
  EXPECT_EQ(handler.Items().Count(), 2);
  version = 2;
  ASSERT_TRUE(RunLoader(handler));
  EXPECT_EQ(handler.Title(), "Version 2");
  EXPECT_EQ(handler.Items().Count(), 3);
  EXPECT_EQ(HeaderValue(server.Requests()[1], "If-None-Match"), "\"v1\"");
}

TEST(LoaderFetch, CompressedBodiesAndTheLimitAfterDecompression) {
  const std::string feed = Feed("Packed", 2);
  const std::string bomb = test::Compress(std::string(100 * 1000 * 1000, '\0'), test::kGzipBits);
  LoopbackServer server([&](const LoopbackServer::Request& r) {
    if (r.target == "/gzip")
      return Reply{200, "OK", {"Content-Encoding: gzip"}, test::Compress(feed, test::kGzipBits)};
    if (r.target == "/deflate")
      return Reply{200, "OK", {"Content-Encoding: deflate"}, test::Compress(feed, test::kZlibBits)};
    return Reply{200, "OK", {"Content-Encoding: gzip"}, bomb};
  });
  struct Case {
    const char* path;
    int items;
    const char* errorHas;
  };
  const Case cases[] = {
      {"/gzip", 2, ""},
      {"/deflate", 2, ""},
      {"/bomb", 0, "larger than the feed size limit once decompressed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    TALWinHttpClient client;
    const TFeedFetch fetch = FetchFeed(client, server.Url(c.path));
    EXPECT_NE(fetch.error.find(c.errorHas), std::string::npos) << fetch.error;
    if (*c.errorHas != '\0') {
      EXPECT_EQ(fetch.bytes, bomb.size());
      std::printf("%s: %zu bytes received, failed: %s\n", c.path, fetch.bytes, fetch.error.c_str());
    }
    TRSSHandler handler;
    handler.SetUrl(server.Url(c.path));
    handler.LoadFromText(Feed("Old", 4));
    ASSERT_TRUE(RunLoader(handler));
    EXPECT_EQ(handler.Items().Count(), c.items);
  }
}

// 429 and 503 with Retry-After hold the reloads for as long as the server asked; other
// failures back off from a minute, doubling; a feed read ends it.
TEST(LoaderFetch, RetryAfterAndTheBackoff) {
  std::atomic<bool> healthy{false};
  LoopbackServer server([&](const LoopbackServer::Request& r) {
    if (healthy) return Reply{200, "OK", {}, Feed("Back", 2)};
    if (r.target == "/busy") return Reply{503, "Service Unavailable", {"Retry-After: 120"}, "busy"};
    if (r.target == "/limited")
      return Reply{429,
                   "Too Many Requests",
                   {"Date: Tue, 08 Dec 2026 10:00:00 GMT", "Retry-After: Tue, 08 Dec 2026 10:30:00 GMT"},
                   ""};
    return Reply{500, "Internal Server Error", {}, ""};
  });
  struct Case {
    const char* path;
    int failures;  // in a row, each a download
    int heldFor;   // seconds from the end of the last download, about
  };
  const Case cases[] = {
      {"/busy", 1, 120},
      {"/limited", 1, 1800},
      {"/broken", 1, 60},
      {"/broken", 3, 240},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " x" + std::to_string(c.failures));
    TRSSHandler handler;
    handler.SetUrl(server.Url(c.path));
    for (int i = 0; i < c.failures; ++i) ASSERT_TRUE(RunLoader(handler));
    const TFeedFetchState& state = handler.FetchState();
    EXPECT_EQ(state.Failures(), c.failures);
    EXPECT_FALSE(state.MayReload(handler.Url()));
    ASSERT_TRUE(state.HeldUntil().has_value());
    const auto held =
        std::chrono::duration_cast<std::chrono::seconds>(*state.HeldUntil() - Clock::now()).count();
    EXPECT_GE(held, c.heldFor - 10);
    EXPECT_LE(held, c.heldFor);
  }
  // The server recovers: the next download (a feed choice, say) reads the feed and ends it.
  TRSSHandler handler;
  handler.SetUrl(server.Url("/broken"));
  ASSERT_TRUE(RunLoader(handler));
  ASSERT_EQ(handler.FetchState().Failures(), 1);
  healthy = true;
  ASSERT_TRUE(RunLoader(handler));
  EXPECT_EQ(handler.Items().Count(), 2);
  EXPECT_EQ(handler.FetchState().Failures(), 0);
  EXPECT_TRUE(handler.FetchState().MayReload(handler.Url()));
}

// What ten reloads of an unchanged 200 KB feed cost its server: the request the loader made
// before (a plain GET, no validators, no compression) against the loader's own.
TEST(LoaderFetch, TenReloadsOfAnUnchangedFeedCostItsServerLittle) {
  const std::string feed = NewsFeed(200 * 1024);
  LoopbackServer server(WellBehaved(feed));
  const std::string url = server.Url("/news.xml");

  TALWinHttpClient plain;  // the request as it was: nothing but a GET
  for (int i = 0; i < 10; ++i) ASSERT_EQ(plain.Get(url).size(), feed.size());
  const long long before = server.BytesSent();

  TRSSHandler handler;
  handler.SetUrl(url);
  ASSERT_TRUE(RunLoader(handler));  // the first load
  const long long firstLoad = server.BytesSent() - before;
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(RunLoader(handler));
  const long long reloads = server.BytesSent() - before - firstLoad;
  EXPECT_GT(handler.Items().Count(), 100);

  std::printf("feed %zu bytes (gzip %zu)\n", feed.size(), test::Compress(feed, test::kGzipBits).size());
  std::printf("ten reloads, plain GET:          %lld bytes sent by the server\n", before);
  std::printf("first load, gzip:                %lld bytes\n", firstLoad);
  std::printf(
      "ten reloads, conditional + gzip: %lld bytes = %.3f%% of before (%.2f%% with the first load)\n",
      reloads, 100.0 * reloads / before, 100.0 * (reloads + firstLoad) / before);
  EXPECT_LT(reloads * 50, before) << "under 2%";
}

}  // namespace
}  // namespace mq
