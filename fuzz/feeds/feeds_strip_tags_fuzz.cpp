// StripHtmlTags on any text, checked against the rules written out plainly.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "feeds/FeedText.h"
#include "tests/feeds/StripTagsOracle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string out = mq::StripHtmlTags(text);
  if (size <= 4096 && out != mq::test::StripByTheRules(text)) std::abort();
  (void)mq::TrimControls(out);
  return 0;
}
