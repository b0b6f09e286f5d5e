// Parsing speed and peak heap of TALXMLDocument beside libxml2 (xmlReadMemory, a DOM),
// pugixml (a DOM) and expat (a stream parser that builds no tree), on the same generated
// feed-shaped documents of about 1 MB and 10 MB.
//
// Every benchmark reports bytes per second of source, and a `peak_heap_x` counter: the most
// heap the parse held at any moment (tree, buffers and all), divided by the document's size,
// measured by counting every malloc of the process during one extra untimed parse.
// expat's figure is its stream buffers only: it builds no tree.
#include <benchmark/benchmark.h>
#include <expat.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdint>
#include <pugixml.hpp>
#include <string>

#include "bench/heap/HeapCounter.h"
#include "xml/ALXmlDoc.h"

namespace {

// --- The documents -----------------------------------------------------------------------------

class Lcg {
 public:
  explicit Lcg(uint64_t seed) : state_(seed) {}
  uint32_t Next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state_ >> 33);
  }
  uint32_t Below(uint32_t n) { return Next() % n; }

 private:
  uint64_t state_;
};

const char* const kWords[] = {"market",
                              "city",
                              "council",
                              "report",
                              "weather",
                              "season",
                              "new",
                              "plan",
                              "update",
                              "r\xC3\xA9sum\xC3\xA9",
                              "caf\xC3\xA9",
                              "\xE6\x96\xB0\xE9\x97\xBB",
                              "\xE5\xB8\x82\xE5\x9C\xBA",
                              "energy",
                              "school",
                              "election",
                              "river",
                              "bridge",
                              "team",
                              "wins",
                              "final",
                              "after",
                              "talks",
                              "budget",
                              "&amp;",
                              "&lt;b&gt;",
                              "&quot;quoted&quot;",
                              "it&apos;s"};

void Words(std::string& out, Lcg& rng, int count) {
  for (int i = 0; i < count; ++i) {
    if (i) out += ' ';
    out += kWords[rng.Below(sizeof kWords / sizeof kWords[0])];
  }
}

// A feed of RSS 2.0 items, indented the way real feeds are, until it reaches `bytes`.
std::string MakeFeed(size_t bytes) {
  Lcg rng(20240501);
  std::string xml;
  xml.reserve(bytes + 4096);
  xml +=
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<rss version=\"2.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
      "  <channel>\n"
      "    <title>Generated news</title>\n"
      "    <link>http://127.0.0.1/</link>\n"
      "    <description>A deterministic feed for benchmarks</description>\n";
  for (int n = 0; xml.size() < bytes; ++n) {
    const std::string id = std::to_string(n);
    xml += "    <item>\n      <title>";
    Words(xml, rng, 4 + static_cast<int>(rng.Below(8)));
    xml += "</title>\n      <link>http://127.0.0.1/news/" + id + ".html?ref=rss&amp;src=feed</link>\n";
    xml += "      <description>";
    Words(xml, rng, 30 + static_cast<int>(rng.Below(70)));
    xml += "</description>\n      <pubDate>Mon, 06 May 2024 10:";
    xml += std::to_string(10 + rng.Below(50)) + ":00 GMT</pubDate>\n";
    xml += "      <guid isPermaLink=\"false\">urn:item:" + id + "</guid>\n";
    xml += "      <dc:creator>Reporter " + std::to_string(rng.Below(40)) + "</dc:creator>\n";
    xml += "      <category>";
    Words(xml, rng, 1);
    xml += "</category>\n    </item>\n";
  }
  xml += "  </channel>\n</rss>\n";
  return xml;
}

const std::string& Feed(int64_t megabytes) {
  static const std::string one = MakeFeed(1u << 20);
  static const std::string ten = MakeFeed(10u << 20);
  return megabytes == 1 ? one : ten;
}

// --- The parsers -------------------------------------------------------------------------------

bool ParseTAL(const std::string& xml) {
  mq::TALXMLDocument doc;
  doc.LoadFromXML(xml);
  return doc.DocumentElement() != nullptr;
}

bool ParseLibxml2(const std::string& xml) {
  xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "feed.xml", nullptr, 0);
  const bool ok = doc && xmlDocGetRootElement(doc);
  xmlFreeDoc(doc);
  return ok;
}

bool ParsePugixml(const std::string& xml) {
  pugi::xml_document doc;
  return static_cast<bool>(doc.load_buffer(xml.data(), xml.size()));
}

bool ParseExpat(const std::string& xml) {
  XML_Parser parser = XML_ParserCreate(nullptr);
  long elements = 0;
  XML_SetUserData(parser, &elements);
  XML_SetElementHandler(
      parser, [](void* data, const XML_Char*, const XML_Char**) { ++*static_cast<long*>(data); },
      [](void*, const XML_Char*) {});
  XML_SetCharacterDataHandler(parser, [](void*, const XML_Char*, int) {});
  const bool ok = XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), 1) == XML_STATUS_OK;
  XML_ParserFree(parser);
  return ok && elements > 0;
}

template <bool (*Parse)(const std::string&)>
void BM_Parse(benchmark::State& state) {
  const std::string& xml = Feed(state.range(0));
  if (!Parse(xml)) {
    state.SkipWithError("parse failed");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(Parse(xml));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(xml.size()));

  // One more parse, untimed, for the heap peak above what was live before it. Everything the
  // parse allocates it also frees before it returns.
  const double peak = static_cast<double>(mq::bench::MeasurePeakHeap([&] { Parse(xml); }));
  state.counters["doc_MB"] = static_cast<double>(xml.size()) / (1 << 20);
  state.counters["peak_heap_MB"] = peak / (1 << 20);
  state.counters["peak_heap_x"] = peak / static_cast<double>(xml.size());
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->MinTime(0.5);
}

BENCHMARK(BM_Parse<ParseTAL>)->Name("xml_parse/TALXMLDocument")->Apply(Sizes);
BENCHMARK(BM_Parse<ParseLibxml2>)->Name("xml_parse/libxml2_xmlReadMemory")->Apply(Sizes);
BENCHMARK(BM_Parse<ParsePugixml>)->Name("xml_parse/pugixml")->Apply(Sizes);
BENCHMARK(BM_Parse<ParseExpat>)->Name("xml_parse/expat_no_tree")->Apply(Sizes);

}  // namespace

int main(int argc, char** argv) {
  xmlInitParser();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  xmlCleanupParser();
  return 0;
}
