// The Windows build's failure reporter: the modal error box with one OK button.
#include <windows.h>

#include "base/Utf.h"
#include "feeds/FeedFailure.h"

namespace mq {

namespace {

class TMessageBoxReporter final : public TFeedFailureReporter {
 public:
  void ReportFailure(std::string_view message, std::string_view /*detail*/) override {
    // Owned by the active window of the thread, so the box is modal to the program's window.
    MessageBoxW(GetActiveWindow(), ToWide(message).c_str(), L"Error",
                MB_OK | MB_ICONERROR | MB_TASKMODAL);
  }
};

}  // namespace

TFeedFailureReporter& PlatformFailureReporter() {
  static TMessageBoxReporter reporter;
  return reporter;
}

}  // namespace mq
