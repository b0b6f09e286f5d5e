// Screen resolution arithmetic, free of the platform. Sizes in form descriptions are design
// units: pixels at 96 pixels per inch. A window on a screen of another resolution scales
// them by dpi / 96, rounding to the nearest pixel.
#pragma once

namespace mq {

inline constexpr int kDesignDpi = 96;

// value * toDpi / fromDpi rounded to the nearest integer, halves away from zero (as MulDiv).
constexpr int ScaleDpi(int value, int toDpi, int fromDpi = kDesignDpi) {
  if (fromDpi <= 0) return value;
  const long long n = static_cast<long long>(value) * toDpi;
  const long long half = fromDpi / 2;
  return static_cast<int>(n >= 0 ? (n + half) / fromDpi : -((-n + half) / fromDpi));
}

// A span [start, start + length) scaled by its two edges, so spans that touch still touch
// and spans that do not overlap still do not after scaling.
struct ScaledSpan {
  int start;
  int length;
};
constexpr ScaledSpan ScaleSpan(int start, int length, int toDpi, int fromDpi = kDesignDpi) {
  const int s = ScaleDpi(start, toDpi, fromDpi);
  return ScaledSpan{s, ScaleDpi(start + length, toDpi, fromDpi) - s};
}

}  // namespace mq
