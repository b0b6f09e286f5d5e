// How the session's change notifications and the display's power state turn into reasons
// for the ticker to hold still.
#include "ticker/TickerHold.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using mq::AfterSessionEvent;
using mq::TSessionPresence;

constexpr std::uint32_t kConsoleConnect = 1, kConsoleDisconnect = 2, kRemoteConnect = 3,
                        kRemoteDisconnect = 4, kLogon = 5, kLock = 7, kUnlock = 8, kRemoteControl = 9;

TEST(SessionPresence, LockAndDisconnectComeAndGoIndependently) {
  struct Case {
    const char* what;
    std::vector<std::uint32_t> events;
    bool away;
  } cases[] = {
      {"nothing happened", {}, false},
      {"locked", {kLock}, true},
      {"unlocked again", {kLock, kUnlock}, false},
      {"console disconnected", {kConsoleDisconnect}, true},
      {"remote session disconnected", {kRemoteDisconnect}, true},
      {"reconnected over the network", {kConsoleDisconnect, kRemoteConnect}, false},
      {"locked, disconnected, reconnected: still locked",
       {kLock, kConsoleDisconnect, kConsoleConnect},
       true},
      {"... and unlocked", {kLock, kConsoleDisconnect, kConsoleConnect, kUnlock}, false},
      {"unlocked while still disconnected", {kLock, kRemoteDisconnect, kUnlock}, true},
      {"a new logon is present", {kLock, kConsoleDisconnect, kLogon}, false},
      {"remote control changes nothing", {kLock, kRemoteControl}, true},
      {"an unknown code changes nothing", {kConsoleDisconnect, 42}, true},
  };
  for (const Case& c : cases) {
    TSessionPresence s;
    for (std::uint32_t e : c.events) s = AfterSessionEvent(s, e);
    EXPECT_EQ(s.Away(), c.away) << c.what;
  }
}

TEST(DisplayState, OnlyOffHidesTheTicker) {
  EXPECT_TRUE(mq::DisplayOffFor(0));
  EXPECT_FALSE(mq::DisplayOffFor(1));  // on
  EXPECT_FALSE(mq::DisplayOffFor(2));  // dimmed: still readable
}

}  // namespace
