#include "net/NetDetectCore.h"

namespace mq {

std::uint16_t BoundedCancelTime(std::uint16_t current, std::uint16_t wanted) {
  return wanted >= kMinCancelTimeMs ? wanted : current;
}

int BoundedInterval(int current, int wanted) { return wanted >= kMinProbeIntervalMs ? wanted : current; }

bool TDetectorState::TickStartsProbe() {
  if (running_) return false;
  running_ = true;
  return true;
}

std::optional<bool> TDetectorState::ProbeFinished(bool connected) {
  running_ = false;
  const bool changed = connected != connected_;
  connected_ = connected;
  if (!changed) return std::nullopt;
  return connected;
}

}  // namespace mq
