// TConnCheckThread: one probe of the connection detector in a thread of its own. Created
// suspended; frees itself when it has finished and its end has been handled.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "gui/Threads_win.h"

namespace mq {

class TConnCheckThread : public TThread {
 public:
  TConnCheckThread(std::string address, int mode, std::uint16_t cancelTimeMs, std::uint16_t port);
  ~TConnCheckThread() override;

  // The probe's answer: false until it has run.
  bool Result() const noexcept { return result_; }
  // Probe threads that exist in the process (the tests wait for stragglers with it).
  static int LiveCount() noexcept;

 protected:
  void Execute() override;

 private:
  const std::string address_;
  const int mode_;
  const std::uint16_t cancelTimeMs_;
  const std::uint16_t port_;
  std::atomic<bool> result_{false};
};

}  // namespace mq
