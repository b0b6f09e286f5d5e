// The fetch state of a feed: validators kept for the feed shown, and the back-off after
// failures, on a clock the test moves.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "feeds/FeedFetchState.h"

namespace mq {
namespace {

using Clock = TFeedFetchState::Clock;
using std::chrono::seconds;

struct Timed : ::testing::Test {
  Clock::time_point t0 = Clock::now();
  Clock::time_point now = t0;
  TFeedFetchState state{[this] { return now; }};
  const std::string url = "http://a.example/rss";

  Clock::time_point At(int s) const { return t0 + seconds(s); }
  // A download of `url` that began at `s` seconds and failed one second later.
  void FailAt(int s, std::optional<seconds> retryAfter = std::nullopt) {
    state.Failed(url, At(s), At(s + 1), retryAfter);
  }
  bool MayReloadAt(int s) {
    now = At(s);
    return state.MayReload(url);
  }
};

// Each failure in a row doubles the wait from one minute, up to an hour, counted from the
// start of the failed download (a tick up to five seconds early passes).
TEST_F(Timed, ExponentialBackoffUpToAnHour) {
  struct Step {
    int failures;
    int wait;  // seconds from the start of the last failed download
  };
  const Step steps[] = {{1, 60},   {2, 120},  {3, 240},  {4, 480},  {5, 960},
                        {6, 1920}, {7, 3600}, {8, 3600}, {30, 3600}};
  int started = 0;
  int count = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE("failure " + std::to_string(step.failures));
    while (count < step.failures) {
      FailAt(started);
      ++count;
    }
    EXPECT_EQ(state.Failures(), step.failures);
    EXPECT_EQ(state.HeldUntil(), At(started + step.wait));
    EXPECT_FALSE(MayReloadAt(started + 1));
    EXPECT_FALSE(MayReloadAt(started + step.wait - 6));
    EXPECT_TRUE(MayReloadAt(started + step.wait - 5));
    EXPECT_TRUE(MayReloadAt(started + step.wait));
    started += step.wait;
  }
}

// Retry-After holds reloads until then, exactly, from the end of the download; it can hold
// longer than the back-off but not shorter, and at most a day.
TEST_F(Timed, RetryAfterHoldsReloads) {
  struct Case {
    const char* name;
    std::optional<seconds> retryAfter;
    int heldUntil;  // seconds from t0 (the download ran from 0 to 1)
  };
  const Case cases[] = {
      {"none: the back-off alone", std::nullopt, 60},
      {"shorter than the back-off", seconds(10), 60},
      {"longer than the back-off", seconds(600), 601},
      {"a week is cut to a day", seconds(7 * 86400), 86401},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    state.ResetBackoff();
    FailAt(0, c.retryAfter);
    EXPECT_EQ(state.HeldUntil(), At(c.heldUntil));
    if (c.retryAfter && At(1) + *c.retryAfter > At(60)) {
      // No slack for the server's own time.
      EXPECT_FALSE(MayReloadAt(c.heldUntil - 1));
    }
    EXPECT_TRUE(MayReloadAt(c.heldUntil));
  }
}

// What ends the back-off and the Retry-After.
TEST_F(Timed, WhatEndsTheBackoff) {
  const TFeedValidators v{"\"v1\"", ""};
  struct Case {
    const char* name;
    std::function<void(Timed&)> event;
  };
  const Case cases[] = {
      {"a feed read", [&](Timed& t) { t.state.Succeeded(t.url, v); }},
      {"unchanged (304)", [](Timed& t) { t.state.NotModified(t.url); }},
      {"a feed choice or the network back", [](Timed& t) { t.state.ResetBackoff(); }},
      {"news of another address", [](Timed& t) { t.state.NotModified("http://b.example/"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    state.ResetBackoff();
    FailAt(0, seconds(900));
    FailAt(2);
    ASSERT_FALSE(MayReloadAt(4));
    c.event(*this);
    EXPECT_TRUE(MayReloadAt(4));
    EXPECT_EQ(state.Failures(), 0);
  }
}

// Validators are sent only for the address they came from and only while its feed is shown.
TEST_F(Timed, ValidatorsBelongToTheFeedShown) {
  const TFeedValidators v{"\"v1\"", "Tue, 08 Dec 2026 10:00:00 GMT"};
  state.Succeeded(url, v);
  EXPECT_EQ(state.ValidatorsFor(url), v);
  EXPECT_EQ(state.ValidatorsFor("http://b.example/"), TFeedValidators{});
  state.NotModified(url);
  state.ResetBackoff();
  EXPECT_EQ(state.ValidatorsFor(url), v);
  FailAt(0);
  EXPECT_EQ(state.ValidatorsFor(url), TFeedValidators{});
  state.Succeeded(url, v);
  state.Succeeded("http://b.example/", {"\"b\"", ""});
  EXPECT_EQ(state.ValidatorsFor(url), TFeedValidators{});
}

// The cause of the last failure is kept for the feed shown until a feed (or a 304) comes.
TEST_F(Timed, LastFailureUntilAFeedComes) {
  state.Failed(url, At(0), At(1), std::nullopt, "The server refused the connection");
  EXPECT_EQ(state.LastFailure(url), "The server refused the connection");
  EXPECT_EQ(state.LastFailure("http://b.example/"), "");
  state.ResetBackoff();
  EXPECT_EQ(state.LastFailure(url), "The server refused the connection") << "the items are still gone";
  state.NotModified(url);
  EXPECT_EQ(state.LastFailure(url), "");
  state.Failed(url, At(2), At(3), std::nullopt, "Service Unavailable (503)");
  state.Succeeded(url, {});
  EXPECT_EQ(state.LastFailure(url), "");
}

}  // namespace
}  // namespace mq
