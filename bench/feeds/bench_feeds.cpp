// A downloaded feed from its bytes to items: decoding, recognition, cleaning, parsing and
// reading, for the generated 1 MB and 5 MB feeds; the same bytes parsed by libmrss into its
// items in the same run.
#include <benchmark/benchmark.h>

#include <mrss.h>

#include <map>
#include <string>

#include "feeds/FeedDecode.h"
#include "feeds/uRSSHandler.h"
#include "tests/feeds/FeedGenerator.h"

namespace {

using namespace mq;

const test::TGeneratedFeed& Feed(size_t megabytes) {
  static std::map<size_t, test::TGeneratedFeed> feeds;
  auto it = feeds.find(megabytes);
  if (it == feeds.end())
    it = feeds.emplace(megabytes, test::GenerateFeed(megabytes * 1024 * 1024)).first;
  return it->second;
}

class TSilentReporter final : public TFeedFailureReporter {
 public:
  void ReportFailure(std::string_view, std::string_view) override { ++failures; }
  int failures = 0;
};

void BM_Marquelle_BytesToItems(benchmark::State& state) {
  const test::TGeneratedFeed& feed = Feed(static_cast<size_t>(state.range(0)));
  TSilentReporter reporter;
  TRSSHandler handler(&reporter);
  for (auto _ : state) {
    handler.ClearItems();
    handler.LoadFromText(DecodeFeedBytes(feed.bytes));
    benchmark::DoNotOptimize(handler.CurrentItem());
  }
  if (reporter.failures != 0 || handler.Items().Count() != static_cast<int>(feed.titles.size())) {
    state.SkipWithError("the feed did not load whole");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * feed.bytes.size()));
  state.counters["items"] = handler.Items().Count();
}

void BM_libmrss_ParseBuffer(benchmark::State& state) {
  const test::TGeneratedFeed& feed = Feed(static_cast<size_t>(state.range(0)));
  std::string buffer = feed.bytes;  // the library wants a mutable buffer
  int items = 0;
  for (auto _ : state) {
    mrss_t* data = nullptr;
    if (mrss_parse_buffer(buffer.data(), buffer.size(), &data) != MRSS_OK) {
      state.SkipWithError("libmrss could not parse the feed");
      break;
    }
    items = 0;
    for (mrss_item_t* item = data->item; item; item = item->next) {
      benchmark::DoNotOptimize(item->title);
      ++items;
    }
    mrss_free(data);
  }
  if (items != static_cast<int>(feed.titles.size()))
    state.SkipWithError("libmrss did not read every item");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * feed.bytes.size()));
  state.counters["items"] = items;
}

BENCHMARK(BM_Marquelle_BytesToItems)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_libmrss_ParseBuffer)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
