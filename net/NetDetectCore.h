// The connection detector's rules apart from threads and sockets: its settings and their
// bounds, when a tick starts a probe, and when a finished probe is a change worth reporting.
#pragma once

#include <cstdint>
#include <optional>

namespace mq {

inline constexpr std::uint16_t kDefaultCancelTimeMs = 1000;
inline constexpr std::uint16_t kMinCancelTimeMs = 500;
inline constexpr int kDefaultProbeIntervalMs = 5000;
inline constexpr int kMinProbeIntervalMs = 1000;

// A cancel time of kMinCancelTimeMs or more is taken; a smaller one leaves the current.
std::uint16_t BoundedCancelTime(std::uint16_t current, std::uint16_t wanted);
// An interval of kMinProbeIntervalMs or more is taken; a smaller one leaves the current.
int BoundedInterval(int current, int wanted);

// The status and the probe in flight, as the detector's main thread sees them.
class TDetectorState {
 public:
  explicit TDetectorState(bool connected) : connected_(connected) {}

  bool Connected() const noexcept { return connected_; }
  bool ProbeRunning() const noexcept { return running_; }

  // A timer tick: true when a probe is to start now (and it is then counted as running).
  // While the latest probe still runs the tick is skipped, so results never arrive out of
  // order and no stale one can flip the status back.
  bool TickStartsProbe();
  // The probe of the last tick could not be started: the next tick tries again.
  void ProbeNotStarted() noexcept { running_ = false; }
  // The latest probe has finished with `connected`: the new status when it differs from the
  // one held, nothing otherwise. The status is taken in either case.
  std::optional<bool> ProbeFinished(bool connected);

 private:
  bool connected_;
  bool running_ = false;
};

}  // namespace mq
