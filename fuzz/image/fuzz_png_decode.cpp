// Any bytes: the PNG decoder either returns a picture of consistent size or raises EPngError.
// Each input is decoded twice: as it is, and with every chunk checksum made right, so that
// mutations reach the header, palette and image-data handling behind the checksum test.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/PngDecoder.h"

namespace {

void Decode(const std::uint8_t* data, std::size_t size) {
  try {
    mq::DecodedPng img = mq::DecodePng({data, size});
    if (img.width <= 0 || img.height <= 0 || img.rgba.size() != std::size_t(img.width) * img.height * 4)
      std::abort();
  } catch (const mq::EPngError&) {
  }
}

std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Decode(data, size);
  if (size < 8) return 0;
  std::vector<std::uint8_t> fixed(data, data + size);
  for (std::size_t pos = 8; pos + 12 <= fixed.size();) {
    const std::uint32_t length = Be32(&fixed[pos]);
    if (length > fixed.size() - pos - 12) break;
    const std::uint32_t crc = std::uint32_t(crc32(0, &fixed[pos + 4], uInt(length + 4)));
    std::uint8_t* at = &fixed[pos + 8 + length];
    at[0] = std::uint8_t(crc >> 24), at[1] = std::uint8_t(crc >> 16), at[2] = std::uint8_t(crc >> 8),
    at[3] = std::uint8_t(crc);
    pos += 12 + std::size_t(length);
  }
  Decode(fixed.data(), fixed.size());
  return 0;
}
