// Response bodies sent with a content coding (the "Content-Encoding" header): gzip and
// deflate are undone with zlib, inside a limit on the decoded size, so a small body that
// inflates to gigabytes fails early instead of filling memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mq {

// What the loader asks for in "Accept-Encoding": the codings DecodeContent can undo.
inline constexpr std::string_view kAcceptedContentCodings = "gzip, deflate";

struct TContentDecoding {
  bool ok = false;
  std::string body;   // the decoded bytes when ok
  std::string error;  // why not, when not ok
};

// Undoes the codings that `contentEncoding` lists (comma-separated, applied in that order,
// so undone from the last; names in any letter case; "identity" and an empty header change
// nothing). "gzip" and "x-gzip" are gzip members (several in a row are read one after the
// other); "deflate" is a zlib stream, or a raw deflate stream as some servers send it. A
// coding of another name, a damaged or cut-off stream, and a decoded size above `maxBytes`
// fail with a readable error. Bytes after the end of a complete stream are ignored.
TContentDecoding DecodeContent(std::string_view contentEncoding, std::string body, std::size_t maxBytes);

}  // namespace mq
