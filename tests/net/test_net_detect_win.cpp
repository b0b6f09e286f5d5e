// The connection detector against real sockets. Run through with-routes.sh, which sets up the
// namespace's conditions: 192.0.2.0/24 unrouted, 198.51.100.0/24 dropped, 203.0.113.0/24
// refused; a listening socket on 127.0.0.1 accepts.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <new>
#include <memory>
#include <vector>

#include "base/UniqueHandle.h"
#include "gui/Forms_win.h"
#include "net/QNetDetect.h"
#include "net/QuConnCheckThread.h"
#include "net/QuNetUtil.h"
#include "tests/support/Pump_win.h"

namespace mq {
namespace {

constexpr char kUnrouted[] = "192.0.2.1";
constexpr char kDropped[] = "198.51.100.1";
constexpr char kRefusing[] = "203.0.113.1";

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A probe ends within a few seconds.
bool PumpUntil(const std::function<bool()>& done, int ms = 4000) { return test::PumpUntil(done, ms); }

// A TCP socket listening on 127.0.0.1 at a port the system picks.
class Listener {
 public:
  Listener() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    s_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int size = sizeof a;
    if (::bind(s_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(s_, 16) == 0 &&
        ::getsockname(s_, reinterpret_cast<sockaddr*>(&a), &size) == 0)
      port_ = ::ntohs(a.sin_port);
  }
  ~Listener() {
    ::closesocket(s_);
    ::WSACleanup();
  }
  std::uint16_t Port() const { return port_; }

 private:
  SOCKET s_ = INVALID_SOCKET;
  std::uint16_t port_ = 0;
};

struct Detector {
  std::vector<bool> events;
  std::unique_ptr<TQNetDetect, TComponentDeleter> d;

  Detector(const std::string& address, std::uint16_t port, bool withHandler = true)
      : d(new TQNetDetect(nullptr, address, port)) {
    if (withHandler) Listen();
  }
  void Listen() {
    d->OnConnectionStatusChanged = [this](TObject* sender, bool connected) {
      EXPECT_NE(dynamic_cast<TConnCheckThread*>(sender), nullptr);
      events.push_back(connected);
    };
  }
  // One tick, and its probe to the end.
  void Probe() {
    d->TimerTick();
    ASSERT_TRUE(d->ProbeRunning());
    ASSERT_TRUE(PumpUntil([&] { return !d->ProbeRunning(); }));
  }
};

class NetDetect : public ::testing::Test {
 protected:
  void SetUp() override { Application().Initialize(); }
  void TearDown() override {
    EXPECT_TRUE(PumpUntil([] { return TConnCheckThread::LiveCount() == 0; }));
  }
  Listener listener;
};

TEST_F(NetDetect, MapsEachNetworkCondition) {
  ASSERT_NE(listener.Port(), 0);
  const struct {
    const char* name;
    const char* address;
    std::uint16_t port;
    bool connected;
    long long minMs, maxMs;
  } cases[] = {
      {"no route", kUnrouted, 80, false, 0, 300},
      {"dropped", kDropped, 80, true, 950, 1700},
      {"refused", kRefusing, 80, true, 0, 300},
      {"accepted", "127.0.0.1", listener.Port(), true, 0, 300},
      {"no address", "not.an.ip.address", 80, false, 0, 300},
  };
  for (const auto& c : cases) {
    const auto start = Clock::now();
    EXPECT_EQ(ProbeTcpReachable(c.address, c.port, 1000, kDetectorAddressMode), c.connected) << c.name;
    const long long ms = MsSince(start);
    EXPECT_GE(ms, c.minMs) << c.name;
    EXPECT_LE(ms, c.maxMs) << c.name;
  }
}

TEST_F(NetDetect, ProbesTheConfiguredAddressItselfFirstWhenCreated) {
  // A random host of 198.51.0.0/16 has no route and would answer "not connected" at once.
  const auto start = Clock::now();
  Detector t(kDropped, 80);
  const long long ms = MsSince(start);
  EXPECT_GE(ms, 950);
  EXPECT_LE(ms, 1700);
  EXPECT_TRUE(t.d->Connected());
  EXPECT_FALSE(t.d->ProbeRunning());
  t.Probe();
  EXPECT_TRUE(t.d->Connected());
  EXPECT_EQ(t.events, std::vector<bool>{});
}

TEST_F(NetDetect, ReportsEachChangeOnce) {
  Detector t("127.0.0.1", listener.Port());
  EXPECT_TRUE(t.d->Connected());
  t.d->SetProbeAddress(kUnrouted);
  for (int i = 0; i < 3; ++i) t.Probe();
  EXPECT_EQ(t.events, std::vector<bool>{false});
  t.d->SetProbeAddress("127.0.0.1");
  t.Probe();
  t.Probe();
  EXPECT_EQ(t.events, (std::vector<bool>{false, true}));
}

TEST_F(NetDetect, KeepsItsBoundsAndDefaults) {
  Detector t(kUnrouted, 80);
  EXPECT_EQ(t.d->CancelTimeMs(), 1000);
  EXPECT_EQ(t.d->Interval(), 5000);
  t.d->SetCancelTimeMs(400);
  t.d->SetInterval(999);
  EXPECT_EQ(t.d->CancelTimeMs(), 1000);
  EXPECT_EQ(t.d->Interval(), 5000);
  t.d->SetCancelTimeMs(500);
  t.d->SetInterval(1000);
  EXPECT_EQ(t.d->CancelTimeMs(), 500);
  EXPECT_EQ(t.d->Interval(), 1000);
}

TEST_F(NetDetect, TheTimerProbesEveryInterval) {
  Detector t(kUnrouted, 80);
  t.d->SetInterval(1000);
  t.d->SetProbeAddress("127.0.0.1");
  // Not a manual tick: the detector's own timer.
  const auto start = Clock::now();
  ASSERT_TRUE(PumpUntil([&] { return !t.events.empty(); }, 2500));
  EXPECT_GE(MsSince(start), 800);
  EXPECT_EQ(t.events, std::vector<bool>{true});
}

TEST_F(NetDetect, AHandlerAssignedLateSeesOnlyLaterChanges) {
  Detector t(kUnrouted, 80, false);
  t.d->SetProbeAddress("127.0.0.1");
  t.Probe();
  EXPECT_TRUE(t.d->Connected());
  t.Listen();
  t.Probe();
  EXPECT_EQ(t.events, std::vector<bool>{});
  t.d->SetProbeAddress(kUnrouted);
  t.Probe();
  EXPECT_EQ(t.events, std::vector<bool>{false});
}

TEST_F(NetDetect, ATickWhileTheProbeRunsStartsNone) {
  Detector t(kUnrouted, 80);
  t.d->SetProbeAddress(kDropped);
  t.d->TimerTick();
  t.d->TimerTick();
  t.d->TimerTick();
  EXPECT_EQ(TConnCheckThread::LiveCount(), 1);
  ASSERT_TRUE(PumpUntil([&] { return !t.d->ProbeRunning(); }));
  EXPECT_EQ(t.events, std::vector<bool>{true});
}

TEST_F(NetDetect, AProbeEndingAfterItsDetectorReportsToNobody) {
  // The detector lives in storage of the test's own, which is poisoned once it has been
  // destroyed: a late report that reached it would call a garbage handler. Its probe, on a
  // dropping target or an unrouted one, would change the status (the control keeps the
  // detector and sees that change).
  ASSERT_NE(listener.Port(), 0);
  const struct {
    const char* start;
    std::uint16_t port;
    const char* target;
    bool change;
  } cases[] = {{kUnrouted, 80, kDropped, true}, {"127.0.0.1", listener.Port(), kUnrouted, false}};
  for (const auto& c : cases) {
    for (const bool destroy : {false, true}) {
      alignas(TQNetDetect) unsigned char storage[sizeof(TQNetDetect)];
      auto* d = new (storage) TQNetDetect(nullptr, c.start, c.port);
      std::vector<bool> seen;
      d->OnConnectionStatusChanged = [&seen](TObject*, bool connected) { seen.push_back(connected); };
      d->SetProbeAddress(c.target);
      d->TimerTick();
      const auto free = [d] {
        d->BeforeDestruction();
        d->~TQNetDetect();
      };
      if (destroy) {
        free();
        std::memset(storage, 0xFF, sizeof storage);
      }
      EXPECT_TRUE(PumpUntil([] { return TConnCheckThread::LiveCount() == 0; })) << c.target << destroy;
      EXPECT_EQ(seen, destroy ? std::vector<bool>{} : std::vector<bool>{c.change})
          << c.target << destroy;
      if (!destroy) free();
    }
  }
}

}  // namespace
}  // namespace mq
