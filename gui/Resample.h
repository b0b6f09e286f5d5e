// Resizing of 8-bit four-channel pictures with a Mitchell-Netravali cubic filter (B = C = 1/3),
// separable, widened when shrinking so that every source pixel contributes. With
// premultiply set, the fourth channel is alpha and the colour channels are weighted by it, so
// the colour of fully transparent pixels never bleeds into the edges. Portable.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace mq {

// Returns dstWidth * dstHeight * 4 bytes; an empty source or target gives an empty result.
std::vector<std::uint8_t> ResamplePixels(std::span<const std::uint8_t> src, int width, int height,
                                         int dstWidth, int dstHeight, bool premultiply);

}  // namespace mq
