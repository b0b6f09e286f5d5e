#include "http/ContentDecoding.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

#include "base/AsciiText.h"

namespace mq {
namespace {

enum class TCoding { Identity, Gzip, Deflate, Unknown };

TCoding CodingNamed(std::string_view name) {
  if (name.empty() || EqualsNoCase(name, "identity")) return TCoding::Identity;
  if (EqualsNoCase(name, "gzip") || EqualsNoCase(name, "x-gzip")) return TCoding::Gzip;
  if (EqualsNoCase(name, "deflate")) return TCoding::Deflate;
  return TCoding::Unknown;
}

// zlib's stream state, ended whatever way the decoding leaves.
class TInflater {
 public:
  explicit TInflater(int windowBits) { ok_ = inflateInit2(&stream_, windowBits) == Z_OK; }
  ~TInflater() {
    if (ok_) inflateEnd(&stream_);
  }
  TInflater(const TInflater&) = delete;
  TInflater& operator=(const TInflater&) = delete;
  bool Ok() const { return ok_; }
  z_stream& Stream() { return stream_; }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

inline constexpr std::size_t kChunk = std::size_t{64} * 1024;
constexpr unsigned char kGzipMagic0 = 0x1f;
constexpr unsigned char kGzipMagic1 = 0x8b;

// Inflates `input` with zlib's `windowBits` (15 zlib, -15 raw, 31 gzip). With gzip, members
// that follow the first are read too.
TContentDecoding Inflate(std::string_view input, int windowBits, std::size_t maxBytes) {
  TContentDecoding result;
  TInflater inflater(windowBits);
  if (!inflater.Ok()) {
    result.error = "The decompressor could not be started";
    return result;
  }
  z_stream& z = inflater.Stream();
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
  z.avail_in = static_cast<uInt>(input.size());
  std::vector<char> buffer(kChunk);
  for (;;) {
    z.next_out = reinterpret_cast<Bytef*>(buffer.data());
    z.avail_out = static_cast<uInt>(buffer.size());
    const int r = inflate(&z, Z_NO_FLUSH);
    const std::size_t produced = buffer.size() - z.avail_out;
    if (result.body.size() + produced > maxBytes) {
      result.error = "The response is larger than the feed size limit once decompressed";
      return result;
    }
    result.body.append(buffer.data(), produced);
    if (r == Z_STREAM_END) {
      const bool anotherMember = windowBits > 15 && z.avail_in >= 2 && z.next_in[0] == kGzipMagic0 &&
                                 z.next_in[1] == kGzipMagic1;
      if (!anotherMember) break;
      if (inflateReset(&z) != Z_OK) break;
      continue;
    }
    if (r == Z_BUF_ERROR && z.avail_in == 0) {
      result.error = "The compressed response is cut short";
      return result;
    }
    if (r != Z_OK) {
      result.error =
          std::string("The compressed response is damaged (") + (z.msg ? z.msg : "zlib") + ")";
      return result;
    }
  }
  result.ok = true;
  return result;
}

TContentDecoding Undo(TCoding coding, std::string body, std::size_t maxBytes) {
  switch (coding) {
    case TCoding::Gzip:
      return Inflate(body, 15 + 16, maxBytes);
    case TCoding::Deflate: {
      // "deflate" means a zlib stream, but servers have long sent bare deflate data under
      // that name: a stream without a valid zlib header is read raw.
      const bool zlibHeader =
          body.size() >= 2 && (static_cast<unsigned char>(body[0]) & 0x0f) == 8 &&
          ((static_cast<unsigned char>(body[0]) << 8) | static_cast<unsigned char>(body[1])) % 31 == 0;
      return Inflate(body, zlibHeader ? 15 : -15, maxBytes);
    }
    default:
      return {true, std::move(body), {}};
  }
}

}  // namespace

TContentDecoding DecodeContent(std::string_view contentEncoding, std::string body,
                               std::size_t maxBytes) {
  std::vector<TCoding> codings;
  std::string_view rest = contentEncoding;
  while (true) {
    const std::size_t comma = rest.find(',');
    const std::string_view name = TrimBlanks(rest.substr(0, comma));
    const TCoding coding = CodingNamed(name);
    if (coding == TCoding::Unknown) {
      return {false,
              {},
              "The response uses the content coding '" + std::string(name) + "', which cannot be read"};
    }
    if (coding != TCoding::Identity) codings.push_back(coding);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  TContentDecoding result{true, std::move(body), {}};
  if (codings.empty() && result.body.size() > maxBytes) {
    return {false, {}, "The response is larger than the feed size limit"};
  }
  for (auto it = codings.rbegin(); it != codings.rend() && result.ok; ++it)
    result = Undo(*it, std::move(result.body), maxBytes);
  if (!result.ok) result.body.clear();
  return result;
}

}  // namespace mq
