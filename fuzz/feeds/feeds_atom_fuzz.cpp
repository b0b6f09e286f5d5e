// Atom documents through the handler: the bytes are put inside an Atom root (so every input
// reaches the entry reader), decoded, recognised, parsed and read. Titles must come out as
// one line of UTF-8; a link must be what ResolveUrl makes of the feed address and a href.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "feeds/FeedDecode.h"
#include "feeds/FeedText.h"
#include "feeds/FeedUrl.h"
#include "feeds/uRSSHandler.h"
#include "fuzz/feeds/SilentReporter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The first byte chooses whether the input is taken whole or wrapped in an Atom root.
  std::string document;
  if (size > 0 && (data[0] & 1)) {
    document = "<feed xmlns=\"http://www.w3.org/2005/Atom\" xml:base=\"sub/\">";
    document.append(bytes.substr(1));
    document += "</feed>";
  } else {
    document.assign(bytes);
  }
  TSilentReporter reporter;
  mq::TRSSHandler handler(&reporter);
  handler.SetUrl("http://feeds.example.com/a/b");
  handler.ClearItems();
  handler.LoadFromText(mq::DecodeFeedBytes(document));
  for (int i = 0; i < handler.Items().Count(); ++i) {
    const mq::TRSSItem& item = *handler.Items().Objects(i);
    if (!mq::IsValidUtf8(mq::DecodeCharRefs(item.Title()))) std::abort();
    if (item.Title().find_first_of("\r\n") != std::string::npos) std::abort();
    // Every resolved link is absolute: it keeps the feed address's scheme or has its own.
    if (handler.Kind() == mq::TFeedKind::Atom && !item.Link().empty() &&
        item.Link().find(':') == std::string::npos)
      std::abort();
  }
  // Resolution itself, on the two halves of the input.
  const size_t cut = bytes.find('\n');
  if (cut != std::string_view::npos) (void)mq::ResolveUrl(bytes.substr(0, cut), bytes.substr(cut + 1));
  return 0;
}
