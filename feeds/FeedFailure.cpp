// The native build's failure reporter: one line on standard error.
#include "feeds/FeedFailure.h"

#include <cstdio>

namespace mq {

namespace {

class TStderrReporter final : public TFeedFailureReporter {
 public:
  void ReportFailure(std::string_view message, std::string_view detail) override {
    std::fprintf(stderr, "%.*s (%.*s)\n", static_cast<int>(message.size()), message.data(),
                 static_cast<int>(detail.size()), detail.data());
  }
};

}  // namespace

TFeedFailureReporter& PlatformFailureReporter() {
  static TStderrReporter reporter;
  return reporter;
}

}  // namespace mq
