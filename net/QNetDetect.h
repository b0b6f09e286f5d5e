// TQNetDetect: a non-visual component that asks at a fixed interval whether this machine can
// send a TCP connection attempt out to the Internet, and reports each change of the answer
// on the main thread. The first probe runs synchronously when the component is created (so
// its status is known from the start, at the cost of up to CancelTimeMs); every later one
// runs in a TConnCheckThread, one at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "gui/StdCtrls_win.h"
#include "net/NetDetectCore.h"

namespace mq {

class TConnCheckThread;

// Sender is the probe thread whose result changed the status.
using TConnectionStatusChangedEvent = std::function<void(TObject* Sender, bool isConnected)>;

// The detector probes the configured address itself: a mode outside 1 to 4. (Drawing a
// random host of the address's network would probe hosts that never agreed to it.)
inline constexpr int kDetectorAddressMode = 0;

class TQNetDetect : public TComponent {
 public:
  // Probes kProbeAddress on kProbePort.
  explicit TQNetDetect(TComponent* owner);
  // Probes another address (the tests' own targets; descriptions cannot set it).
  TQNetDetect(TComponent* owner, std::string address, std::uint16_t port);
  ~TQNetDetect() override;

  std::uint16_t CancelTimeMs() const noexcept { return cancelTimeMs_; }
  // Values below kMinCancelTimeMs are ignored.
  void SetCancelTimeMs(std::uint16_t ms) { cancelTimeMs_ = BoundedCancelTime(cancelTimeMs_, ms); }
  int Interval() const noexcept { return static_cast<int>(timer_->Interval()); }
  // Values below kMinProbeIntervalMs are ignored.
  void SetInterval(int ms);

  // The result of the last finished probe.
  bool Connected() const noexcept { return state_.Connected(); }
  bool ProbeRunning() const noexcept { return state_.ProbeRunning(); }
  const std::string& ProbeAddress() const noexcept { return address_; }
  // Later probes go to this address (tests move the target between conditions).
  void SetProbeAddress(std::string address) { address_ = std::move(address); }

  TConnectionStatusChangedEvent OnConnectionStatusChanged;

  // One tick of the probe timer: starts a probe unless the latest one still runs.
  void TimerTick();

  bool ReadProperty(const std::string& name, const FormValue& value, TFormReader& reader) override;

 private:
  struct TLink;
  void ProbeFinished(TConnCheckThread& probe);

  std::string address_;
  std::uint16_t port_;
  std::uint16_t cancelTimeMs_ = kDefaultCancelTimeMs;
  TDetectorState state_;
  std::unique_ptr<TTimer> timer_;
  // Shared with the running probe's end handler; cleared when the detector goes, so a probe
  // that ends later reports to nobody.
  std::shared_ptr<TLink> link_;
};

// Makes TQNetDetect known to form descriptions. Idempotent.
void RegisterNetClasses();

}  // namespace mq
