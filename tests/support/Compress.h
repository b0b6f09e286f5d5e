// Bodies compressed the way servers send them, for the suites that read content codings.
#pragma once

#include <zlib.h>

#include <stdexcept>
#include <string>

namespace mq::test {

// zlib's windowBits for each form.
inline constexpr int kGzipBits = 15 + 16;
inline constexpr int kZlibBits = 15;
inline constexpr int kRawDeflateBits = -15;

// `text` compressed at the best level, as a gzip member, a zlib stream or raw deflate data.
inline std::string Compress(const std::string& text, int windowBits) {
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 9, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2 failed");
  std::string out(deflateBound(&z, static_cast<uLong>(text.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int r = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (r != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
  return out;
}

}  // namespace mq::test
