// Compressed response bodies and date headers from the network. The first byte picks the
// "Content-Encoding" value, the rest is the body: the decoding either succeeds within the
// limit or fails with a reason and nothing decoded. The same bytes as text go through the
// HTTP date and Retry-After readers, which never give a negative wait.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "http/ContentDecoding.h"
#include "http/HttpDate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static constexpr std::string_view kCodings[] = {"gzip",           "deflate", "x-gzip", "gzip, deflate",
                                                  "identity, gzip", "DEFLATE", "",       "br"};
  constexpr std::size_t kLimit = 1 << 20;
  const std::string_view coding = kCodings[data[0] % (sizeof kCodings / sizeof kCodings[0])];
  const std::string body(reinterpret_cast<const char*>(data) + 1, size - 1);
  const mq::TContentDecoding decoded = mq::DecodeContent(coding, body, kLimit);
  if (decoded.ok && decoded.body.size() > kLimit) __builtin_trap();
  if (!decoded.ok && (!decoded.body.empty() || decoded.error.empty())) __builtin_trap();

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  mq::ParseHttpDate(text);
  const std::size_t half = text.size() / 2;
  const auto wait =
      mq::RetryAfterDelay(text.substr(0, half), text.substr(half), std::chrono::system_clock::now());
  if (wait && wait->count() < 0) __builtin_trap();
  return 0;
}
