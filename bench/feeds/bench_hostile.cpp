// A feed load (bytes to items, as the loader hands a download over) on hostile documents of
// 1, 4 and 16 MiB, each shaped to make a careless parser do quadratic work or hold far more
// memory than the document. Time must grow linearly with the size; `peak_heap_x` is the most
// heap the load held at any moment (decoded text, cleaned text, tree, items), divided by the
// document's size, from one extra untimed load with every malloc counted. An ordinary 5 MiB
// feed gives the reference multiple.
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <utility>

#include "bench/heap/HeapCounter.h"
#include "feeds/FeedDecode.h"
#include "feeds/uRSSHandler.h"
#include "tests/feeds/FeedGenerator.h"
#include "tests/feeds/HostileFeeds.h"

namespace {

using namespace mq;
using namespace mq::test;

std::string OrdinaryFeed(size_t bytes) { return test::GenerateFeed(bytes).bytes; }

using TShape = std::string (*)(size_t);

const std::string& Document(TShape shape, size_t mebibytes) {
  static std::map<std::pair<TShape, size_t>, std::string> documents;
  auto it = documents.find({shape, mebibytes});
  if (it == documents.end())
    it = documents.emplace(std::make_pair(shape, mebibytes), shape(mebibytes << 20)).first;
  return it->second;
}

class TSilentReporter final : public TFeedFailureReporter {
 public:
  void ReportFailure(std::string_view, std::string_view) override {}
};

void Load(TRSSHandler& handler, const std::string& bytes) {
  handler.ClearItems();
  handler.LoadFromText(DecodeFeedBytes(bytes));
}

template <TShape Shape>
void BM_Load(benchmark::State& state) {
  const std::string& bytes = Document(Shape, static_cast<size_t>(state.range(0)));
  TSilentReporter reporter;
  TRSSHandler handler(&reporter);
  for (auto _ : state) {
    Load(handler, bytes);
    benchmark::DoNotOptimize(handler.CurrentItem());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
  state.counters["items"] = handler.Items().Count();
  state.counters["loaded"] = handler.LastError().empty() ? 1 : 0;

  // The handler between loads holds the items of the last one; measure a load into an empty
  // handler, as the loader's first hand-over is.
  TRSSHandler fresh(&reporter);
  const auto peak = static_cast<double>(bench::MeasurePeakHeap([&] { Load(fresh, bytes); }));
  state.counters["peak_heap_x"] = peak / static_cast<double>(bytes.size());
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond)->Iterations(4);
}

BENCHMARK(BM_Load<LessThanRun>)->Name("hostile/less_than_run")->Apply(Sizes);
BENCHMARK(BM_Load<Declarations>)->Name("hostile/declarations")->Apply(Sizes);
BENCHMARK(BM_Load<StrayGreaterThan>)->Name("hostile/stray_greater_than")->Apply(Sizes);
BENCHMARK(BM_Load<ManyAttributes>)->Name("hostile/many_attributes")->Apply(Sizes);
BENCHMARK(BM_Load<DeepNesting>)->Name("hostile/deep_nesting")->Apply(Sizes);
BENCHMARK(BM_Load<EmptyItems>)->Name("hostile/empty_items")->Apply(Sizes);
BENCHMARK(BM_Load<OrdinaryFeed>)->Name("ordinary/feed")->Arg(5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
