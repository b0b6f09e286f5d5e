// The JSON form of a loaded feed, as feeddump prints it.
#pragma once

#include <string>
#include <string_view>

#include "feeds/uRSSHandler.h"

namespace mq {

// Appends `text` (UTF-8) as a JSON string: quotes and backslashes escaped, every control
// character (codes 0 to 31 and 127) written as an escape, everything else as it is.
void AppendJsonString(std::string& out, std::string_view text);

struct TFeedJsonOptions {
  std::string file;           // shown as "file"
  unsigned codePage = 0;      // shown as "codePage"
  std::string kind = "none";  // shown as "kind": rss, rdf, atom, json or none
  std::string error;          // shown as "error" when not empty
  bool decodeRefs = true;     // titles and descriptions with character references decoded
};

// One JSON object: file, codePage, kind, error (when there is one), the channel's title, link and
// description, and "items", each with title, link, description and pubDate.
std::string FeedToJson(const TRSSHandler& handler, const TFeedJsonOptions& options);

}  // namespace mq
