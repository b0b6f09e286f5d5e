// feeddump: loads one feed file the way the program loads a download, and prints what the
// handler made of it as one JSON object on standard output, the same for RSS, RDF, Atom and
// JSON Feed documents, with the kind named in "kind".
//
//   feeddump [--raw] FILE
//
// The file's bytes are decoded (byte-order mark, XML declaration, UTF-8, ANSI code page),
// recognised, cleaned, parsed and read into items. Titles and descriptions are shown with
// their character references decoded, as the ticker shows them; --raw shows them as the
// handler stores them. The exit status is 0 when the feed loaded, 1 when nothing could be
// loaded (the failure text is on standard error and in the object's "error" member), and 2
// for a usage or file error.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "feeds/FeedDecode.h"
#include "feeds/FeedJson.h"
#include "feeds/FeedText.h"
#include "feeds/uRSSHandler.h"

namespace {

using namespace mq;

class TRecordingReporter final : public TFeedFailureReporter {
 public:
  void ReportFailure(std::string_view message, std::string_view detail) override {
    failure = std::string(message) + " (" + std::string(detail) + ")";
  }
  std::string failure;
};

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  bool raw = false;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg(argv[i]);
    if (arg == "--raw") {
      raw = true;
    } else if (!path && !arg.empty() && arg[0] != '-') {
      path = argv[i];
    } else {
      path = nullptr;
      break;
    }
  }
  if (!path) {
    std::fprintf(stderr, "usage: feeddump [--raw] FILE\n");
    return 2;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "feeddump: cannot open %s\n", path);
    return 2;
  }
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());

  TCodePage used{};
  const std::string text = DecodeFeedBytes(bytes, PlatformCharsetConverter(), &used);
  TRecordingReporter reporter;
  TRSSHandler handler(&reporter);
  handler.ClearItems();
  std::string failure;
  handler.LoadFromText(text);
  if (handler.Kind() == TFeedKind::None) {
    failure = handler.LastError().empty() ? "not an RSS, RDF, Atom or JSON Feed document"
                                          : handler.LastError();
  } else {
    failure = reporter.failure;
  }
  TFeedJsonOptions options;
  options.file = path;
  options.codePage = static_cast<unsigned>(used);
  options.error = failure;
  options.kind = FeedKindName(handler.Kind());
  options.decodeRefs = !raw;
  const std::string out = FeedToJson(handler, options);
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (!failure.empty()) {
    std::fprintf(stderr, "feeddump: %s\n", failure.c_str());
    return 1;
  }
  return 0;
}
