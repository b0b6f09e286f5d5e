// TDeferredFailureReporter: a load failure is shown after the hand-over, one at a time.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "feeds/DeferredFailure.h"
#include "feeds/uRSSHandler.h"
#include "tests/support/FeedTestSupport.h"

namespace mq {
namespace {

// A sink standing for the modal box: `whileOpen` runs as the box's message loop would run
// other work (hand-overs and end events of further loaders).
class BoxSink final : public TFeedFailureReporter {
 public:
  void ReportFailure(std::string_view message, std::string_view) override {
    shown.emplace_back(message);
    if (whileOpen) whileOpen();
  }
  std::vector<std::string> shown;
  std::function<void()> whileOpen;
};

const std::string kBroken = test::Rss("<title>T</title><item><title>a</wrong></item>");

TEST(DeferredFailure, TheHandlersFailureWaitsForShowPending) {
  BoxSink box;
  TDeferredFailureReporter deferred(box);
  TRSSHandler handler(&deferred);
  handler.LoadFromText(kBroken);
  ASSERT_FALSE(handler.LastError().empty()) << "the document must fail to load";
  EXPECT_TRUE(box.shown.empty()) << "nothing is shown during the load itself";
  EXPECT_TRUE(deferred.Pending());
  deferred.ShowPending();
  EXPECT_EQ(box.shown, std::vector<std::string>{std::string(TRSSHandler::kLoadErrorMessage)});
  deferred.ShowPending();
  EXPECT_EQ(box.shown.size(), 1u) << "a failure is shown once";
}

TEST(DeferredFailure, AtMostOneBoxAtATime) {
  struct Case {
    const char* name;
    // What happens while the first box is open.
    std::function<void(TDeferredFailureReporter&)> whileOpen;
  };
  const Case cases[] = {
      {"a later failure and its end",
       [](TDeferredFailureReporter& d) {
         d.ReportFailure("second", "");
         d.ShowPending();
       }},
      {"a later failure without its end yet",
       [](TDeferredFailureReporter& d) { d.ReportFailure("second", ""); }},
      {"an end without a failure", [](TDeferredFailureReporter& d) { d.ShowPending(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BoxSink box;
    TDeferredFailureReporter deferred(box);
    box.whileOpen = [&] {
      EXPECT_TRUE(deferred.Showing());
      c.whileOpen(deferred);
    };
    deferred.ReportFailure("first", "");
    deferred.ShowPending();
    EXPECT_EQ(box.shown, std::vector<std::string>{"first"});
    EXPECT_FALSE(deferred.Showing());
    deferred.ShowPending();
    EXPECT_EQ(box.shown.size(), 1u) << "what failed while the box was open is not shown later";

    // Once the box is closed, the next failure shows again.
    box.whileOpen = nullptr;
    deferred.ReportFailure("third", "");
    deferred.ShowPending();
    EXPECT_EQ(box.shown, (std::vector<std::string>{"first", "third"}));
  }
}

TEST(DeferredFailure, ASinkThatThrowsLeavesTheReporterUsable) {
  BoxSink box;
  TDeferredFailureReporter deferred(box);
  box.whileOpen = [] { throw std::runtime_error("no box"); };
  deferred.ReportFailure("first", "");
  EXPECT_THROW(deferred.ShowPending(), std::runtime_error);
  EXPECT_FALSE(deferred.Showing());
  box.whileOpen = nullptr;
  deferred.ReportFailure("second", "");
  deferred.ShowPending();
  EXPECT_EQ(box.shown, (std::vector<std::string>{"first", "second"}));
}

}  // namespace
}  // namespace mq
