#include "shell/BcUtilities.h"

#include <algorithm>

namespace mq {

int CenterOffset(int n) {
  if (n % 2 != 0) return (n - 1) / 2;  // exact
  const int below = (n - 2) / 2;       // n / 2 - 0.5 lies halfway between below and below + 1
  return below % 2 == 0 ? below : below + 1;
}

namespace {

TColor Blend(TColor start, TColor end, long long num, long long den) {
  auto channel = [&](int s, int e) { return int(s + (e - s) * num / den); };
  return RgbColor(std::uint8_t(channel(RedOf(start), RedOf(end))),
                  std::uint8_t(channel(GreenOf(start), GreenOf(end))),
                  std::uint8_t(channel(BlueOf(start), BlueOf(end))));
}

}  // namespace

TColor GradientColorAt(TGradientStyle style, TColor start, TColor end, int dx, int dy, int w, int h) {
  if (start == end || w < 1 || h < 1) return start;
  switch (style) {
    case gsHorizontal:
      return Blend(start, end, dx, w);
    case gsVertical:
      return Blend(start, end, dy, h);
    case gsDiagonalRightLeft:
      dx = w - 1 - dx;  // the mirror of left-right
      [[fallthrough]];
    case gsDiagonalLeftRight: {
      const int t = int((double(dy) / h + double(dx) / w) * 512);
      return Blend(start, end, t, 1024);
    }
  }
  return start;
}

int FadeChannel(int old, int target, int dist, int fadeWidth) {
  if (fadeWidth <= 0) return target;
  return old + dist * (target - old) / fadeWidth;
}

TFadedRuns FadedLineRuns(int left, int right, int top, bool gap, int gapLeft, int gapRight, int gapTop) {
  TFadedRuns runs;
  runs.row = std::max(top, gap ? gapTop : 0);
  const int mid = left + (right - left) / 2;
  runs.leftFrom = left;
  runs.leftTo = gap ? std::min(mid, gapLeft) - 1 : mid;
  runs.rightFrom = gap ? std::max(mid, gapRight) : mid;
  runs.rightTo = right;
  return runs;
}

TColor FadedPixel(TColor old, TColor color, int x, int left, int right, int fadeWidth, bool inLeftRun) {
  const int dist = inLeftRun ? x - left : right - x;
  if (dist >= fadeWidth) return color;
  return RgbColor(std::uint8_t(FadeChannel(RedOf(old), RedOf(color), dist, fadeWidth)),
                  std::uint8_t(FadeChannel(GreenOf(old), GreenOf(color), dist, fadeWidth)),
                  std::uint8_t(FadeChannel(BlueOf(old), BlueOf(color), dist, fadeWidth)));
}

int SeparatorHeight(bool hasHint, bool xpStyle) {
  if (hasHint) return 14;
  return xpStyle ? 9 : 12;
}

void MeasureBarMenuItem(TBcItemMeasure& m) {
  if (!m.useSystemFont) {
    m.height = std::max(m.textHeight + 6, 16);
    m.width = m.textWidth + 18;
  }
  if (m.winKey) m.width += m.winPlusWidth;
  if (m.noGlyph) m.width += 23;
  if (m.xpStyle) {
    m.height += m.height % 2 != 0 ? 1 : 0;
    m.width += 2;
  }
}

int WidthWithBar(int width, bool barHere, int barWidth, int barSpace) {
  return barHere ? width + barWidth + barSpace : width;
}

bool BarHere(bool barVisible, bool topLevel, bool columnBreakSoFar) {
  return barVisible && topLevel && !columnBreakSoFar;
}

TBcMenuStyle EffectiveMenuStyle(TBcMenuStyle style, bool ntFamily, int major, int minor) {
  if (style != msAuto) return style;
  return ntFamily && major > 4 && minor > 0 ? msWindowsXP : msStandard;
}

namespace {
// Both alignments name the near end, the far end and the middle in that order.
static_assert(haLeft == int(vaTop) && haRight == int(vaBottom) && haCenter == int(vaMiddle));

// Where a picture `size` long starts on a bar `extent` long, put at the near end, the far
// end or the middle, then moved by `offset`.
int AlignedStart(int alignment, int size, int extent, int offset) {
  switch (alignment) {
    case haLeft:
      return offset;
    case haRight:
      return extent + offset - size;
    case haCenter:
      return (extent - size) / 2 + offset;
    default:
      return 0;
  }
}
}  // namespace

TBcPoint BarPicturePosition(int pw, int ph, int barWidth, int barHeight, int offsetX, int offsetY,
                            THorzAlignment horz, TVertAlignment vert) {
  return TBcPoint{AlignedStart(horz, pw, barWidth, offsetX), AlignedStart(vert, ph, barHeight, offsetY)};
}

int TileStart(int offset, int shift, int size) {
  int v = offset + shift;
  if (size <= 0) return v;
  while (v > 0) v -= size;
  return v;
}

TBcPoint BarCaptionOrigin(int barWidth, int barHeight, int cx, int cy, TVertAlignment alignment,
                          TDirection direction, int offsetY, int bottomPictureHeight) {
  TBcPoint p;
  p.x = CenterOffset(barWidth - cy);
  switch (alignment) {
    case vaTop:
      p.y = offsetY + cx;
      break;
    case vaBottom:
      p.y = barHeight - offsetY - bottomPictureHeight;
      break;
    case vaMiddle:
      p.y = CenterOffset(barHeight + cx);
      break;
  }
  if (direction == dUpToDown) {
    p.y -= cx;
    p.x += cy + 1;
  }
  return p;
}

int UsableBarHeight(int height, int lastGoodHeight) { return height > 0 ? height : lastGoodHeight; }

}  // namespace mq
