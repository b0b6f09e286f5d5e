// JsonFeedReader: reads a JSON Feed (version 1 or 1.1) into the few members the ticker
// shows. The text is parsed by nlohmann/json with strict UTF-8 and a nesting limit; members
// the ticker does not use are dropped while parsing, so memory stays near the text's size.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mq {

struct TJsonFeedItem {
  std::string title;
  std::string url;
  std::string externalUrl;
  std::string summary;
  std::string contentText;
  std::string contentHtml;
  std::string datePublished;
  std::string dateModified;
};

struct TJsonFeed {
  std::string version;  // the "version" URL as written
  std::string title;
  std::string homePageUrl;
  std::string description;
  std::vector<TJsonFeedItem> items;  // object entries of "items[]", in order, at most the cap
};

// Values nested deeper than this fail the read.
inline constexpr int kMaxJsonDepth = 64;

// Reads `text` (UTF-8) as a JSON Feed, keeping at most `maxItems` items. Returns false with
// a one-line reason in `error` when the text is not well-formed JSON (invalid UTF-8 and lone
// surrogate escapes included), nests deeper than kMaxJsonDepth, is not an object, or does not
// name a JSON Feed version 1 or 1.1. Members of the wrong type are taken as absent.
bool ReadJsonFeed(std::string_view text, size_t maxItems, TJsonFeed& feed, std::string& error);

}  // namespace mq
