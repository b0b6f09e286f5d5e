// Helpers the suites over the feed handler share: a reporter that keeps failures, and small
// RSS documents.
#pragma once

#include <string>
#include <vector>

#include "feeds/FeedFailure.h"

namespace mq::test {

// Keeps every failure the handler reports instead of showing it.
class TRecordingReporter final : public TFeedFailureReporter {
 public:
  void ReportFailure(std::string_view message, std::string_view detail) override {
    messages.emplace_back(message);
    details.emplace_back(detail);
  }
  std::vector<std::string> messages;
  std::vector<std::string> details;
};

// A well-formed RSS 2.0 document: the channel's inner text is `channelBody`.
inline std::string Rss(const std::string& channelBody) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n<channel>\n" + channelBody +
         "\n</channel>\n</rss>\n";
}

inline std::string Item(const std::string& title, const std::string& rest = {}) {
  return "<item><title>" + title + "</title>" + rest + "</item>\n";
}

}  // namespace mq::test
