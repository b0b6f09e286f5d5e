// Holds back the failure of a feed load until the loader's hand-over is over. The handler
// reports while the hand-over runs, inside the loader's call synchronised with the main
// thread; a modal box opened there keeps the loader from ending (so the main window stays
// "loading" and the ticker keeps its old text), and the next failing reload, handed over
// from inside the box's message loop, opens another box inside the first.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "feeds/FeedFailure.h"

namespace mq {

class TDeferredFailureReporter final : public TFeedFailureReporter {
 public:
  // Failures are shown through `sink` (not owned; it must outlive this reporter).
  explicit TDeferredFailureReporter(TFeedFailureReporter& sink) : sink_(sink) {}

  // Keeps the failure for ShowPending. One reported while a failure is being shown is
  // dropped: the user is looking at that message already.
  void ReportFailure(std::string_view message, std::string_view detail) override;

  // Shows the failure kept, if any, through the sink. Called again while the sink shows one
  // (from the message loop of a modal box), it shows nothing and drops what was kept.
  void ShowPending();

  bool Pending() const noexcept { return pending_.has_value(); }
  bool Showing() const noexcept { return showing_; }

 private:
  struct Failure {
    std::string message;
    std::string detail;
  };
  TFeedFailureReporter& sink_;
  std::optional<Failure> pending_;
  bool showing_ = false;
};

}  // namespace mq
