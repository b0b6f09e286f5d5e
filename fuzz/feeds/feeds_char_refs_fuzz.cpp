// DecodeCharRefs on any text: it never reads outside the input, and valid UTF-8 stays
// valid UTF-8.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "feeds/FeedDecode.h"
#include "feeds/FeedText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string out = mq::DecodeCharRefs(text);
  if (mq::IsValidUtf8(text) && !mq::IsValidUtf8(out)) std::abort();
  return 0;
}
