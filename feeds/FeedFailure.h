// How the feed handler tells the user that a recognised feed could not be loaded. The
// Windows build shows a modal error box; tests and tools put their own reporter in.
#pragma once

#include <string_view>

namespace mq {

class TFeedFailureReporter {
 public:
  virtual ~TFeedFailureReporter() = default;
  // `message` is the text for the user; `detail` says what went wrong, for people debugging.
  virtual void ReportFailure(std::string_view message, std::string_view detail) = 0;
};

// The platform's reporter: a modal error message box with one OK button in the Windows
// build, a line on standard error in the native build.
TFeedFailureReporter& PlatformFailureReporter();

}  // namespace mq
