// The failure reporter of the feed fuzz targets: failures are expected there and say nothing.
#pragma once

#include <string_view>

#include "feeds/FeedFailure.h"

class TSilentReporter final : public mq::TFeedFailureReporter {
 public:
  void ReportFailure(std::string_view, std::string_view) override {}
};
