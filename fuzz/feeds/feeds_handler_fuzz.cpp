// Downloaded bytes through everything the program does with them: decoding, recognition,
// cleaning, parsing, reading items, and the character references decoded for display.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "feeds/FeedDecode.h"
#include "feeds/FeedText.h"
#include "feeds/uRSSHandler.h"
#include "fuzz/feeds/SilentReporter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string text = mq::DecodeFeedBytes(bytes);
  // Decoding always yields UTF-8, except for JSON, which is passed on for its reader to check.
  if (mq::DetectFeedKind(text) != mq::TFeedKind::JsonFeed && !mq::IsValidUtf8(text)) std::abort();
  TSilentReporter reporter;
  mq::TRSSHandler handler(&reporter);
  handler.ClearItems();
  handler.LoadFromText(text);
  (void)mq::DecodeCharRefs(handler.Title());
  for (int i = 0; i < handler.Items().Count(); ++i) {
    const mq::TRSSItem& item = *handler.Items().Objects(i);
    if (!mq::IsValidUtf8(mq::DecodeCharRefs(item.Title()))) std::abort();
    (void)mq::DecodeCharRefs(item.Description());
  }
  handler.SelectNext();
  handler.SelectPrevious();
  if (handler.Items().Count() > 0 && handler.LastError().empty() && handler.CurrentIndex() < 0)
    std::abort();
  return 0;
}
