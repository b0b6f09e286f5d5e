#include "gui/Resample.h"

#include <algorithm>
#include <cmath>

namespace mq {
namespace {

// Mitchell-Netravali with B = C = 1/3: smooth, little ringing, sharper than a tent.
double Mitchell(double x) {
  constexpr double B = 1.0 / 3, C = 1.0 / 3;
  x = std::abs(x);
  if (x < 1)
    return ((12 - 9 * B - 6 * C) * x * x * x + (-18 + 12 * B + 6 * C) * x * x + (6 - 2 * B)) / 6;
  if (x < 2)
    return ((-B - 6 * C) * x * x * x + (6 * B + 30 * C) * x * x + (-12 * B - 48 * C) * x +
            (8 * B + 24 * C)) /
           6;
  return 0;
}

struct Tap {
  int first = 0;
  std::vector<double> weights;
};

// For each target position, the source pixels that contribute and their normalised weights.
std::vector<Tap> Taps(int from, int to) {
  const double scale = double(to) / from;
  const double stretch = std::max(1.0, 1.0 / scale);  // widen the filter when shrinking
  const double radius = 2.0 * stretch;
  std::vector<Tap> taps(static_cast<std::size_t>(to));
  for (int i = 0; i < to; ++i) {
    const double centre = (i + 0.5) / scale - 0.5;
    const int lo = int(std::floor(centre - radius)), hi = int(std::ceil(centre + radius));
    Tap& t = taps[std::size_t(i)];
    t.first = lo;
    double sum = 0;
    for (int s = lo; s <= hi; ++s) {
      const double w = Mitchell((s - centre) / stretch);
      t.weights.push_back(w);
      sum += w;
    }
    for (double& w : t.weights) w /= sum;
  }
  return taps;
}

// One pass along rows (horizontal) over `lines` lines of `count` pixels of 4 doubles.
std::vector<double> Pass(const std::vector<double>& in, int count, int lines, int stride, int step,
                         int outCount, int outStride, int outStep) {
  const std::vector<Tap> taps = Taps(count, outCount);
  std::vector<double> out(std::size_t(outCount) * lines * 4);
  for (int line = 0; line < lines; ++line) {
    for (int i = 0; i < outCount; ++i) {
      double acc[4] = {0, 0, 0, 0};
      const Tap& t = taps[std::size_t(i)];
      for (std::size_t k = 0; k < t.weights.size(); ++k) {
        const int s = std::clamp(t.first + int(k), 0, count - 1);  // edges repeat
        const double* p = &in[(std::size_t(line) * stride + std::size_t(s) * step) * 4];
        for (int c = 0; c < 4; ++c) acc[c] += p[c] * t.weights[k];
      }
      double* o = &out[(std::size_t(line) * outStride + std::size_t(i) * outStep) * 4];
      std::copy(acc, acc + 4, o);
    }
  }
  return out;
}

}  // namespace

std::vector<std::uint8_t> ResamplePixels(std::span<const std::uint8_t> src, int width, int height,
                                         int dstWidth, int dstHeight, bool premultiply) {
  if (width <= 0 || height <= 0 || dstWidth <= 0 || dstHeight <= 0 ||
      src.size() < std::size_t(width) * height * 4)
    return {};
  std::vector<double> px(std::size_t(width) * height * 4);
  for (std::size_t i = 0; i < px.size(); i += 4) {
    const double a = premultiply ? src[i + 3] / 255.0 : 1.0;
    for (int c = 0; c < 3; ++c) px[i + c] = src[i + c] * a;
    px[i + 3] = src[i + 3];
  }
  // Rows first (height lines of width pixels), then columns (dstWidth lines of height pixels).
  const std::vector<double> wide = Pass(px, width, height, width, 1, dstWidth, dstWidth, 1);
  const std::vector<double> done = Pass(wide, height, dstWidth, 1, dstWidth, dstHeight, 1, dstWidth);
  std::vector<std::uint8_t> out(done.size());
  for (std::size_t i = 0; i < done.size(); i += 4) {
    const double alpha = std::clamp(done[i + 3], 0.0, 255.0);
    const double a = premultiply ? alpha / 255.0 : 1.0;
    for (int c = 0; c < 3; ++c)
      out[i + c] = a > 0 ? std::uint8_t(std::lround(std::clamp(done[i + c] / a, 0.0, 255.0))) : 0;
    out[i + 3] = std::uint8_t(std::lround(alpha));
  }
  return out;
}

}  // namespace mq
