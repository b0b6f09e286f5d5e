#include "net/QNetDetect.h"

#include "net/QuConnCheckThread.h"
#include "net/QuNetUtil.h"

namespace mq {

struct TQNetDetect::TLink {
  TQNetDetect* detector;  // read and cleared on the main thread only
};

TQNetDetect::TQNetDetect(TComponent* owner)
    : TQNetDetect(owner, std::string(kProbeAddress), kProbePort) {}

TQNetDetect::TQNetDetect(TComponent* owner, std::string address, std::uint16_t port)
    : TComponent(owner),
      address_(std::move(address)),
      port_(port),
      state_(ProbeTcpReachable(address_, port_, cancelTimeMs_, kDetectorAddressMode)),
      timer_(std::make_unique<TTimer>(nullptr)),
      link_(std::make_shared<TLink>(TLink{this})) {
  timer_->SetInterval(kDefaultProbeIntervalMs);
  timer_->SetOnTimer([this](TObject*) { TimerTick(); });
  timer_->SetEnabled(true);
}

TQNetDetect::~TQNetDetect() { link_->detector = nullptr; }

void TQNetDetect::SetInterval(int ms) {
  timer_->SetInterval(static_cast<unsigned>(BoundedInterval(Interval(), ms)));
}

void TQNetDetect::TimerTick() {
  if (!state_.TickStartsProbe()) return;
  std::unique_ptr<TConnCheckThread> probe;
  try {
    probe = std::make_unique<TConnCheckThread>(address_, kDetectorAddressMode, cancelTimeMs_, port_);
  } catch (...) {
    state_.ProbeNotStarted();  // no thread to be had now; not a reason to stop probing
    throw;
  }
  probe->OnTerminate = [link = link_](TObject* sender) {
    if (link->detector) link->detector->ProbeFinished(static_cast<TConnCheckThread&>(*sender));
  };
  // From here the thread owns itself.
  probe.release()->Start();
}

void TQNetDetect::ProbeFinished(TConnCheckThread& probe) {
  const std::optional<bool> change = state_.ProbeFinished(probe.Result());
  if (change && OnConnectionStatusChanged) OnConnectionStatusChanged(&probe, *change);
}

bool TQNetDetect::ReadProperty(const std::string& name, const FormValue& v, TFormReader& r) {
  if (name == "CancelTimeMs") {
    const std::int64_t ms = r.AsInteger(v);
    if (ms < 0 || ms > 0xFFFF) TFormReader::Fail(v, "Invalid cancel time");
    return SetCancelTimeMs(static_cast<std::uint16_t>(ms)), true;
  }
  if (name == "Interval") {
    const std::int64_t ms = r.AsInteger(v);
    if (ms < 0 || ms > 0x7FFFFFFF) TFormReader::Fail(v, "Invalid interval");
    return SetInterval(static_cast<int>(ms)), true;
  }
  if (name == "OnConnectionStatusChanged")
    return OnConnectionStatusChanged = r.Event<TConnectionStatusChangedEvent>(v), true;
  return TComponent::ReadProperty(name, v, r);
}

void RegisterNetClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterComponentClass<TQNetDetect>("TQNetDetect");
}

}  // namespace mq
