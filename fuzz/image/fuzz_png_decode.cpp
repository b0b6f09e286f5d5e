// Any bytes: the PNG decoder either returns a picture of consistent size or raises EPngError.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "image/PngDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    mq::DecodedPng img = mq::DecodePng({data, size});
    if (img.rgba.size() != std::size_t(img.width) * img.height * 4) std::abort();
  } catch (const mq::EPngError&) {
  }
  return 0;
}
