// Atom and JSON Feed documents of 1 MB and 5 MB from their bytes to items, each beside a
// peer reading the same bytes in the same run: libxml2 building the Atom tree and walking
// its entries, and nlohmann/json parsing the JSON text into its own tree and walking its
// items.
#include <benchmark/benchmark.h>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "feeds/FeedDecode.h"
#include "feeds/uRSSHandler.h"

namespace {

using namespace mq;

struct TDoc {
  std::string bytes;
  int items = 0;
};

// Entries in the shapes blog engines and code hosts send: an HTML summary, a longer HTML
// content, several links, dates, an author, non-ASCII text.
TDoc MakeAtom(size_t target) {
  TDoc d;
  d.bytes =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<feed xmlns=\"http://www.w3.org/2005/Atom\" "
      "xml:base=\"https://bulk.example.test/\">\n<title>Bulk \xE2\x80\x93 Atom</title>\n"
      "<link rel=\"self\" href=\"/feed.atom\"/><link "
      "href=\"/\"/><updated>2024-05-01T00:00:00Z</updated>\n";
  while (d.bytes.size() < target) {
    const std::string n = std::to_string(d.items++);
    d.bytes +=
        "<entry><id>tag:bulk.example.test," + n + "</id><title type=\"html\">Release " + n +
        " &amp;amp; Z\xC3\xBCrich &lt;b&gt;notes&lt;/b&gt;</title>"
        "<link rel=\"alternate\" type=\"text/html\" href=\"posts/" +
        n +
        ".html\"/>"
        "<link rel=\"replies\" href=\"posts/" +
        n +
        "/comments\"/>"
        "<published>2024-05-01T10:00:00Z</published><updated>2024-05-02T10:00:00Z</updated>"
        "<author><name>Bulk Writer</name></author>"
        "<summary type=\"html\">&lt;p&gt;What changed in " +
        n +
        "&lt;/p&gt;</summary>"
        "<content type=\"html\">&lt;p&gt;Long text &amp;eacute;t&amp;eacute; with &lt;a "
        "href=&quot;x&quot;&gt;"
        "a link&lt;/a&gt; and more words to make the entry the size of a real one.&lt;/p&gt;</content>"
        "</entry>\n";
  }
  d.bytes += "</feed>\n";
  return d;
}

TDoc MakeJson(size_t target) {
  TDoc d;
  d.bytes =
      "{\"version\":\"https://jsonfeed.org/version/1.1\",\"title\":\"Bulk \xE2\x80\x93 JSON\","
      "\"home_page_url\":\"https://bulk.example.test/\",\"feed_url\":\"https://bulk.example.test/"
      "feed.json\","
      "\"items\":[\n";
  while (d.bytes.size() < target) {
    const std::string n = std::to_string(d.items);
    if (d.items++) d.bytes += ",\n";
    d.bytes += "{\"id\":\"" + n + "\",\"url\":\"https://bulk.example.test/posts/" + n +
               "\","
               "\"title\":\"Release " +
               n +
               " & Z\xC3\xBCrich \\u201Cnotes\\u201D\","
               "\"content_html\":\"<p>Long text \\u00e9t\\u00e9 with <a href=\\\"x\\\">a link</a> and "
               "more words "
               "to make the item the size of a real one.</p>\",\"summary\":\"What changed in " +
               n +
               "\","
               "\"date_published\":\"2024-05-01T10:00:00Z\",\"authors\":[{\"name\":\"Bulk Writer\"}],"
               "\"tags\":[\"release\",\"notes\"]}";
  }
  d.bytes += "]}\n";
  return d;
}

const TDoc& Doc(bool json, size_t megabytes) {
  static std::map<std::pair<bool, size_t>, TDoc> docs;
  const auto key = std::make_pair(json, megabytes);
  auto it = docs.find(key);
  if (it == docs.end())
    it = docs.emplace(key, json ? MakeJson(megabytes << 20) : MakeAtom(megabytes << 20)).first;
  return it->second;
}

class TSilentReporter final : public TFeedFailureReporter {
 public:
  void ReportFailure(std::string_view, std::string_view) override { ++failures; }
  int failures = 0;
};

void BytesToItems(benchmark::State& state, bool json) {
  const TDoc& doc = Doc(json, static_cast<size_t>(state.range(0)));
  TSilentReporter reporter;
  TRSSHandler handler(&reporter);
  handler.SetUrl("https://bulk.example.test/feed");
  for (auto _ : state) {
    handler.ClearItems();
    handler.LoadFromText(DecodeFeedBytes(doc.bytes));
    benchmark::DoNotOptimize(handler.CurrentItem());
  }
  if (reporter.failures != 0 || handler.Items().Count() != std::min(doc.items, TRSSHandler::kMaxItems))
    state.SkipWithError("the feed did not load whole");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.bytes.size()));
  state.counters["items"] = handler.Items().Count();
}

void BM_Marquelle_Atom(benchmark::State& state) { BytesToItems(state, false); }
void BM_Marquelle_JsonFeed(benchmark::State& state) { BytesToItems(state, true); }

void BM_libxml2_AtomTree(benchmark::State& state) {
  const TDoc& doc = Doc(false, static_cast<size_t>(state.range(0)));
  int items = 0;
  for (auto _ : state) {
    xmlDocPtr tree = xmlReadMemory(doc.bytes.data(), static_cast<int>(doc.bytes.size()), "feed.atom",
                                   nullptr, XML_PARSE_NONET | XML_PARSE_HUGE);
    if (!tree) {
      state.SkipWithError("libxml2 could not parse the feed");
      break;
    }
    items = 0;
    for (xmlNodePtr n = xmlDocGetRootElement(tree)->children; n; n = n->next) {
      if (n->type != XML_ELEMENT_NODE || xmlStrcmp(n->name, BAD_CAST "entry") != 0) continue;
      for (xmlNodePtr f = n->children; f; f = f->next) {
        if (f->type == XML_ELEMENT_NODE && xmlStrcmp(f->name, BAD_CAST "title") == 0) {
          xmlChar* text = xmlNodeGetContent(f);
          benchmark::DoNotOptimize(text);
          xmlFree(text);
        }
      }
      ++items;
    }
    xmlFreeDoc(tree);
  }
  if (items != doc.items) state.SkipWithError("libxml2 did not read every entry");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.bytes.size()));
  state.counters["items"] = items;
}

void BM_nlohmann_JsonTree(benchmark::State& state) {
  const TDoc& doc = Doc(true, static_cast<size_t>(state.range(0)));
  int items = 0;
  for (auto _ : state) {
    const nlohmann::json tree = nlohmann::json::parse(doc.bytes);
    items = 0;
    for (const nlohmann::json& item : tree.at("items")) {
      benchmark::DoNotOptimize(item.at("title").get_ref<const std::string&>().data());
      ++items;
    }
  }
  if (items != doc.items) state.SkipWithError("nlohmann/json did not read every item");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.bytes.size()));
  state.counters["items"] = items;
}

BENCHMARK(BM_Marquelle_Atom)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_libxml2_AtomTree)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Marquelle_JsonFeed)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_nlohmann_JsonTree)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
