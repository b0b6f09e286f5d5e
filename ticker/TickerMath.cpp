#include "ticker/TickerMath.h"

#include <cstdint>

namespace mq {

namespace {

// Nearest integer to num / den (den > 0), halves away from zero.
std::int64_t RoundDiv(std::int64_t num, std::int64_t den) {
  return num >= 0 ? (2 * num + den) / (2 * den) : -((-2 * num + den) / (2 * den));
}

std::uint8_t Channel(int a, int b, int k, int n) {
  std::int64_t delta = n == 1 ? 0 : RoundDiv(std::int64_t(k - 1) * (b - a), n - 1);
  return std::uint8_t((a + delta) & 0xFF);
}

}  // namespace

TColor ColorStep(TColor a, TColor b, int k, int n) {
  if (k < 1 || k > n)
    throw ERangeError("ColorIndex can't be less than 1 or greater than " + std::to_string(n));
  return RgbColor(Channel(RedOf(a), RedOf(b), k, n), Channel(GreenOf(a), GreenOf(b), k, n),
                  Channel(BlueOf(a), BlueOf(b), k, n));
}

int TextTop(TTextLayout layout, int controlHeight, int textHeight) {
  switch (layout) {
    case TTextLayout::tlTop:
      return 0;
    case TTextLayout::tlBottom:
      return controlHeight - textHeight;
    default:
      return controlHeight / 2 - textHeight / 2;
  }
}

ScrollStep StepOffset(int offset, TTextDirection d, int pixelJump, int controlWidth, int stripWidth) {
  const int end = controlWidth - stripWidth;
  if (d == TTextDirection::tdLeftToRight) {
    offset += pixelJump;
    if (offset >= 0) return {end, true};
    return {offset, false};
  }
  offset -= pixelJump;
  if (offset <= end) return {0, true};
  return {offset, false};
}

TileGrid TileCount(int width, int height, int tileWidth, int tileHeight) {
  if (width <= 0 || height <= 0 || tileWidth <= 0 || tileHeight <= 0) return {};
  return {width / tileWidth + (width % tileWidth != 0 ? 1 : 0),
          height / tileHeight + (height % tileHeight != 0 ? 1 : 0)};
}

}  // namespace mq
