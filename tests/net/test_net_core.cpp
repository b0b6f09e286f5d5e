#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "net/NetDetectCore.h"
#include "net/QuNetUtil.h"

namespace mq {
namespace {

TEST(ProbeAddress, ParsesOnlyPlainDottedQuads) {
  const struct {
    const char* text;
    std::optional<std::uint32_t> value;
  } cases[] = {
      {"1.2.3.4", 0x01020304},    {"255.255.255.255", 0xFFFFFFFF}, {"0.0.0.0", 0},
      {"1.2.3", std::nullopt},    {"1.2.3.4.5", std::nullopt},     {"1.2.3.256", std::nullopt},
      {"1..3.4", std::nullopt},   {" 1.2.3.4", std::nullopt},      {"1.2.3.4 ", std::nullopt},
      {"+1.2.3.4", std::nullopt}, {"0001.2.3.4", std::nullopt},    {"", std::nullopt},
      {"a.b.c.d", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseIPv4(c.text), c.value) << c.text;
}

TEST(ProbeAddress, KeepsModeMinusOneOctetsAndDrawsTheRest) {
  std::vector<std::pair<int, int>> ranges;
  int next = 7;
  const TRandomInRange random = [&](int lo, int hi) {
    ranges.emplace_back(lo, hi);
    return next++;
  };
  const struct {
    int mode;
    const char* address;
    const char* expected;
    int draws;
  } cases[] = {
      {1, "10.20.30.40", "7.8.9.10", 4},
      {2, "10.20.30.40", "10.7.8.9", 3},
      {3, "10.20.30.40", "10.20.7.8", 2},
      {4, "10.20.30.40", "10.20.30.7", 1},
      {0, "10.20.30.40", "10.20.30.40", 0},
      {5, "10.20.30.40", "10.20.30.40", 0},
      {-1, "10.20.30.40", "10.20.30.40", 0},
      {3, "not an address", "not an address", 0},
      {3, "1.2.3", "1.2.3", 0},
  };
  for (const auto& c : cases) {
    ranges.clear();
    next = 7;
    EXPECT_EQ(BuildProbeAddress(c.address, c.mode, random), c.expected) << c.mode << " " << c.address;
    EXPECT_EQ(int(ranges.size()), c.draws) << c.mode;
    for (const auto& r : ranges) EXPECT_EQ(r, std::make_pair(1, 253));
  }
}

TEST(ProbeResult, MapsEachOutcome) {
  const struct {
    TConnectStep step;
    bool connected;
  } cases[] = {
      {{TConnectStep::Accepted, 0}, true},
      {{TConnectStep::Pending, 0}, true},
      {{TConnectStep::Failed, kSockRefused}, true},
      {{TConnectStep::Failed, kSockTimedOut}, true},
      {{TConnectStep::Failed, kSockNetUnreachable}, false},
      {{TConnectStep::Failed, kSockHostUnreachable}, false},
      {{TConnectStep::Failed, kSockNetDown}, false},
      {{TConnectStep::Failed, 10004}, false},  // interrupted: no blocking hook cancels any more
      {{TConnectStep::Failed, 10049}, false},  // address not available
  };
  for (const auto& c : cases)
    EXPECT_EQ(CountsAsConnected(c.step), c.connected) << c.step.kind << " " << c.step.error;
}

// A socket whose steps are scripted; each Wait advances the fake clock by what it is given
// (or by `wakeAfter` when that is shorter: an early wake-up).
struct ScriptedSocket : IProbeSocket {
  bool opens = true;
  TConnectStep first{TConnectStep::Pending, 0};
  std::deque<TConnectStep> waits;  // after these, every wait times out
  std::uint64_t* now = nullptr;
  std::uint32_t wakeAfter = 0xFFFFFFFF;
  std::vector<std::uint32_t> waited;

  bool Open() override { return opens; }
  TConnectStep Connect(std::uint32_t, std::uint16_t) override { return first; }
  TConnectStep Wait(std::uint32_t ms) override {
    waited.push_back(ms);
    *now += std::min(ms, wakeAfter);
    if (waits.empty()) return {TConnectStep::Pending, 0};
    TConnectStep s = waits.front();
    waits.pop_front();
    return s;
  }
};

TEST(Probe, EndsAtTheDeadlineWithTheAttemptsOutcome) {
  const TConnectStep pending{TConnectStep::Pending, 0};
  const TConnectStep accepted{TConnectStep::Accepted, 0};
  const TConnectStep unreachable{TConnectStep::Failed, kSockNetUnreachable};
  const struct {
    const char* name;
    bool opens;
    TConnectStep first;
    std::deque<TConnectStep> waits;
    std::uint32_t wakeAfter;
    bool connected;
    std::vector<std::uint32_t> waited;
  } cases[] = {
      {"accepted at once", true, accepted, {}, 0xFFFFFFFF, true, {}},
      {"unreachable at once", true, unreachable, {}, 0xFFFFFFFF, false, {}},
      {"no socket", false, accepted, {}, 0xFFFFFFFF, false, {}},
      {"accepted later", true, pending, {accepted}, 0xFFFFFFFF, true, {1000}},
      {"unreachable later", true, pending, {unreachable}, 0xFFFFFFFF, false, {1000}},
      {"dropped", true, pending, {}, 0xFFFFFFFF, true, {1000}},
      {"early wake-ups wait for the rest only",
       true,
       pending,
       {pending, pending},
       400,
       true,
       {1000, 600, 200}},
  };
  for (const auto& c : cases) {
    std::uint64_t now = 5000;
    ScriptedSocket s;
    s.opens = c.opens;
    s.first = c.first;
    s.waits = c.waits;
    s.now = &now;
    s.wakeAfter = c.wakeAfter;
    EXPECT_EQ(ProbeWith(s, "192.0.2.7", 80, 1000, [&] { return now; }), c.connected) << c.name;
    EXPECT_EQ(s.waited, c.waited) << c.name;
    EXPECT_LE(now, 6000u) << c.name;
  }
}

TEST(DetectorSettings, SmallValuesLeaveTheCurrentOne) {
  EXPECT_EQ(BoundedCancelTime(1000, 400), 1000);
  EXPECT_EQ(BoundedCancelTime(1000, 499), 1000);
  EXPECT_EQ(BoundedCancelTime(1000, 500), 500);
  EXPECT_EQ(BoundedCancelTime(1000, 3000), 3000);
  EXPECT_EQ(BoundedInterval(5000, 999), 5000);
  EXPECT_EQ(BoundedInterval(5000, -1), 5000);
  EXPECT_EQ(BoundedInterval(5000, 1000), 1000);
  EXPECT_EQ(BoundedInterval(5000, 60000), 60000);
}

TEST(DetectorState, ReportsEachChangeOnce) {
  // Connected, three failures, a success: one report of false, one of true.
  TDetectorState s(true);
  std::vector<bool> reports;
  for (bool r : {false, false, false, true, true}) {
    ASSERT_TRUE(s.TickStartsProbe());
    if (auto change = s.ProbeFinished(r)) reports.push_back(*change);
    EXPECT_EQ(s.Connected(), r);
  }
  EXPECT_EQ(reports, (std::vector<bool>{false, true}));
}

TEST(DetectorState, ATickWhileTheProbeRunsStartsNone) {
  TDetectorState s(false);
  EXPECT_TRUE(s.TickStartsProbe());
  EXPECT_FALSE(s.TickStartsProbe());
  EXPECT_FALSE(s.TickStartsProbe());
  EXPECT_EQ(s.ProbeFinished(true), std::optional<bool>(true));
  EXPECT_TRUE(s.TickStartsProbe());
  // A probe that could not be started leaves the status and lets the next tick try.
  s.ProbeNotStarted();
  EXPECT_TRUE(s.Connected());
  EXPECT_TRUE(s.TickStartsProbe());
}

}  // namespace
}  // namespace mq
