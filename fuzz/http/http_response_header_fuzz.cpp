// The response header parse on arbitrary text: it either fills the target or raises
// EALHTTPDecodeError, and what it fills is trimmed and taken from the input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "http/ALHttpCommon.h"

namespace {

bool Trimmed(const std::string& s) {
  return s.empty() ||
         (static_cast<unsigned char>(s.front()) > 32 && static_cast<unsigned char>(s.back()) > 32);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  mq::TALHTTPResponseHeader header;
  try {
    header.SetRawHeaderText(text);
  } catch (const mq::EALHTTPDecodeError&) {
    return 0;
  }
  if (header.RawHeaderLines() != text) __builtin_trap();
  for (int i = 0; i < mq::kALHTTPResponseHeaderFieldCount; ++i) {
    const std::string& value = header.Field(i);
    if (!Trimmed(value) || text.find(value) == std::string_view::npos) __builtin_trap();
  }
  if (!Trimmed(header.ProtocolVersionText()) || !Trimmed(header.StatusCodeText()) ||
      !Trimmed(header.ReasonPhrase())) {
    __builtin_trap();
  }
  for (const std::string& line : header.OtherHeaders()) {
    if (mq::ALTrim(line).empty() || text.find(line) == std::string_view::npos) __builtin_trap();
    if (line.find('\r') != std::string::npos || line.find('\n') != std::string::npos) __builtin_trap();
  }
  for (const std::string& cookie : header.CookieValues()) {
    if (cookie.empty()) __builtin_trap();
  }
  return 0;
}
