// PNG decoding on zlib's inflate: every colour type (grey, grey + alpha, RGB, RGBA,
// palette) at every bit depth the format allows, interlaced (Adam7) or not, with tRNS
// transparency. The result is 8-bit RGBA with straight alpha; 16-bit samples are rounded
// to the nearest 8-bit value. Damaged or hostile data raises EPngError with a message that says what is
// wrong; the decoder never reads outside its input and refuses images too large to hold.
// Portable: no platform headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace mq {

class EPngError : public std::runtime_error {
 public:
  explicit EPngError(const std::string& message) : std::runtime_error("PNG: " + message) {}
};

struct DecodedPng {
  int width = 0;
  int height = 0;
  int bitDepth = 0;
  int colorType = 0;  // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
  bool interlaced = false;
  std::vector<std::uint8_t> rgba;  // width * height * 4 bytes, rows top to bottom

  // Red, green, blue and alpha of one pixel.
  const std::uint8_t* Pixel(int x, int y) const {
    return rgba.data() + (std::size_t(y) * width + x) * 4;
  }
};

// Limits that keep a hostile header from claiming a huge image.
constexpr int kPngMaxDimension = 16384;
constexpr std::size_t kPngMaxPixels = std::size_t(1) << 25;  // 32 Mi pixels

// True when the data starts with the PNG signature.
bool IsPng(std::span<const std::uint8_t> data) noexcept;

DecodedPng DecodePng(std::span<const std::uint8_t> data);

}  // namespace mq
