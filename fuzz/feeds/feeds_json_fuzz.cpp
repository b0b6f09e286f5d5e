// The JSON Feed reader on any bytes, beside nlohmann/json's own check of the same text: a
// text the library refuses must be refused, a text that is read must be valid JSON and give
// UTF-8 strings only, and no more items than the cap.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "feeds/FeedDecode.h"
#include "feeds/JsonFeedReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  constexpr size_t kCap = 4;
  mq::TJsonFeed feed;
  std::string error;
  const bool read = mq::ReadJsonFeed(text, kCap, feed, error);
  const bool valid = nlohmann::json::accept(text.begin(), text.end());
  if (read && !valid) std::abort();
  if (!read && error.empty()) std::abort();
  if (!read) return 0;
  if (feed.items.size() > kCap) std::abort();
  for (const std::string* s : {&feed.version, &feed.title, &feed.homePageUrl, &feed.description}) {
    if (!mq::IsValidUtf8(*s)) std::abort();
  }
  for (const mq::TJsonFeedItem& item : feed.items) {
    for (const std::string* s :
         {&item.title, &item.url, &item.summary, &item.contentText, &item.contentHtml}) {
      if (!mq::IsValidUtf8(*s)) std::abort();
    }
  }
  return 0;
}
