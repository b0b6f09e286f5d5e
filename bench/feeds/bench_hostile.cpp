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

namespace {

using namespace mq;

constexpr const char* kHead = "<rss version=\"2.0\"><channel><title>c</title>";
constexpr const char* kTail = "</channel></rss>";

// Repeats `unit` until the document would reach `bytes` with `before` and `after` around it.
std::string Fill(const std::string& before, const std::string& unit, const std::string& after,
                 size_t bytes) {
  std::string s = before;
  s.reserve(bytes + unit.size());
  while (s.size() + unit.size() + after.size() <= bytes) s += unit;
  return s + after;
}

// One long run of "<" in an RSS 1.0 document: the root's end tag is searched past it.
std::string LessThanRun(size_t bytes) {
  return Fill("<rdf:RDF xmlns:rdf=\"r\"><channel><title>c</title></channel><item><title>t</title>"
              "<description>",
              std::string(64, '<'), "</description></item></rdf:RDF>", bytes);
}

// Many declarations, none with an internal subset.
std::string Declarations(size_t bytes) {
  return Fill(kHead, "<!x>", std::string("<item><title>t</title></item>") + kTail, bytes);
}

// A description of stray ">" with one tag at its end.
std::string StrayGreaterThan(size_t bytes) {
  return Fill(std::string(kHead) + "<item><title>t</title><description>", "a>",
              std::string("&lt;b&gt;</description></item>") + kTail, bytes);
}

// One start tag with 20,000 attributes, then the same names again and again.
std::string ManyAttributes(size_t bytes) {
  std::string s = std::string(kHead) + "<item";
  const std::string after = std::string("><title>t</title></item>") + kTail;
  for (int n = 0; s.size() + after.size() + 16 <= bytes; n = (n + 1) % 20000) {
    s += " a" + std::to_string(n) + "=\"v\"";
  }
  return s + after;
}

// A description nested as deep as the size allows.
std::string DeepNesting(size_t bytes) {
  const std::string head = std::string(kHead) + "<item><title>t</title><description>";
  const std::string tail = std::string("</description></item>") + kTail;
  const size_t levels = (bytes - head.size() - tail.size()) / 7;
  std::string s = head;
  s.reserve(bytes);
  for (size_t i = 0; i < levels; ++i) s += "<a>";
  for (size_t i = 0; i < levels; ++i) s += "</a>";
  return s + tail;
}

// Millions of empty items.
std::string EmptyItems(size_t bytes) { return Fill(kHead, "<item/>", kTail, bytes); }

std::string OrdinaryFeed(size_t bytes) { return test::GenerateFeed(bytes).bytes; }

using TShape = std::string (*)(size_t);

const std::string& Document(TShape shape, size_t mebibytes) {
  static std::map<std::pair<TShape, size_t>, std::string> documents;
  auto it = documents.find({shape, mebibytes});
  if (it == documents.end()) it = documents.emplace(std::make_pair(shape, mebibytes), shape(mebibytes << 20)).first;
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
