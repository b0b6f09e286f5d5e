#include "feeds/DeferredFailure.h"

#include <utility>

namespace mq {

void TDeferredFailureReporter::ReportFailure(std::string_view message, std::string_view detail) {
  if (showing_) return;
  pending_ = Failure{std::string(message), std::string(detail)};
}

void TDeferredFailureReporter::ShowPending() {
  if (!pending_) return;
  const Failure failure = std::move(*pending_);
  pending_.reset();
  if (showing_) return;
  showing_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{showing_};
  sink_.ReportFailure(failure.message, failure.detail);
}

}  // namespace mq
