#include "net/QuConnCheckThread.h"

#include "net/QuNetUtil.h"

namespace mq {
namespace {
std::atomic<int> liveThreads{0};
}  // namespace

TConnCheckThread::TConnCheckThread(std::string address, int mode, std::uint16_t cancelTimeMs,
                                   std::uint16_t port)
    : address_(std::move(address)), mode_(mode), cancelTimeMs_(cancelTimeMs), port_(port) {
  FreeOnTerminate = true;
  ++liveThreads;
}

TConnCheckThread::~TConnCheckThread() { --liveThreads; }

int TConnCheckThread::LiveCount() noexcept { return liveThreads.load(); }

void TConnCheckThread::Execute() { result_ = ProbeTcpReachable(address_, port_, cancelTimeMs_, mode_); }

}  // namespace mq
