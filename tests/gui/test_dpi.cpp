// Design units to screen pixels, and the picture resampler.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

#include "gui/Dpi.h"
#include "gui/Resample.h"

namespace mq {
namespace {

struct ScaleCase {
  int value, to, from, expected;
};

TEST(Dpi, ScaleRoundsToTheNearestPixelHalvesAwayFromZero) {
  const ScaleCase table[] = {{13, 96, 96, 13},  {13, 120, 96, 16}, {13, 144, 96, 20},
                             {13, 192, 96, 26}, {5, 144, 96, 8},   {-13, 144, 96, -20},
                             {-3, 144, 96, -5}, {20, 96, 144, 13}, {32, 144, 96, 48},
                             {7, 0, 96, 0},     {7, 96, 0, 7}};
  for (const ScaleCase& c : table)
    EXPECT_EQ(ScaleDpi(c.value, c.to, c.from), c.expected) << c.value << " " << c.to;
}

TEST(Dpi, SpansScaleByTheirEdgesSoNeighboursStillTouch) {
  // 8..21 and 21..30 at 144 dpi: 12..32 and 32..45.
  const ScaledSpan a = ScaleSpan(8, 13, 144), b = ScaleSpan(21, 9, 144);
  EXPECT_EQ(a.start, 12);
  EXPECT_EQ(a.length, 20);
  EXPECT_EQ(a.start + a.length, b.start);
}

std::vector<std::uint8_t> Solid(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                                std::uint8_t a) {
  std::vector<std::uint8_t> v;
  for (int i = 0; i < w * h; ++i) v.insert(v.end(), {r, g, b, a});
  return v;
}

TEST(Resample, GivesTheTargetSizeAndKeepsAFlatColour) {
  for (const auto& [w, h] : {std::pair{24, 24}, std::pair{20, 12}, std::pair{8, 8}, std::pair{32, 32}}) {
    const auto out = ResamplePixels(Solid(16, 16, 200, 100, 50, 255), 16, 16, w, h, true);
    ASSERT_EQ(out.size(), std::size_t(w) * h * 4);
    for (std::size_t i = 0; i < out.size(); i += 4) {
      EXPECT_EQ(out[i], 200);
      EXPECT_EQ(out[i + 3], 255);
    }
  }
}

TEST(Resample, EmptySourceOrTargetGivesNothing) {
  EXPECT_TRUE(ResamplePixels({}, 0, 0, 4, 4, true).empty());
  EXPECT_TRUE(ResamplePixels(Solid(2, 2, 1, 2, 3, 4), 2, 2, 0, 4, true).empty());
  EXPECT_TRUE(ResamplePixels(Solid(1, 1, 1, 2, 3, 4), 2, 2, 4, 4, true).empty());  // too few bytes
}

// A hard edge between white and black scaled by 1.5: a smoothing filter makes greys along
// it, where nearest-neighbour copying would give only the two source values.
TEST(Resample, SmoothsEdgesInsteadOfRepeatingPixels) {
  std::vector<std::uint8_t> src;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const std::uint8_t v = x < 4 ? 255 : 0;
      src.insert(src.end(), {v, v, v, 255});
    }
  const auto out = ResamplePixels(src, 8, 8, 12, 12, false);
  std::set<int> values;
  for (std::size_t i = 0; i < out.size(); i += 4) values.insert(out[i]);
  EXPECT_GT(values.size(), 2u);
}

// With alpha weighting the colour of a transparent neighbour does not tint the edge.
TEST(Resample, TransparentPixelsDoNotBleedTheirColour) {
  std::vector<std::uint8_t> src;
  for (int x = 0; x < 8; ++x) {
    if (x < 4)
      src.insert(src.end(), {255, 0, 0, 255});  // opaque red
    else
      src.insert(src.end(), {0, 0, 255, 0});  // transparent blue
  }
  const auto out = ResamplePixels(src, 8, 1, 12, 1, true);
  for (std::size_t i = 0; i < out.size(); i += 4) {
    if (out[i + 3] == 0) continue;
    EXPECT_EQ(out[i + 2], 0) << "blue bled into pixel " << i / 4;
  }
}

}  // namespace
}  // namespace mq
