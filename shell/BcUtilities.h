// The arithmetic of the gradient-bar menus, without the platform: gradient colours, the
// centre offset, faded lines, item heights and widths, where the bar goes, where its caption
// and pictures sit. Colours here are plain ($00BBGGRR); system colours are resolved before.
#pragma once

#include <cstdint>

#include "gui/Color.h"
#include "shell/BcRectUtilities.h"

namespace mq {

enum TGradientStyle { gsHorizontal, gsVertical, gsDiagonalLeftRight, gsDiagonalRightLeft };
enum TBarPart { bpGradient, bpPicture, bpBackPicture, bpCaption };
using TBarParts = unsigned;  // bit (1 << part)
constexpr TBarParts BarPartBit(TBarPart p) { return 1u << unsigned(p); }
enum TDirection { dDownToUp, dUpToDown };
enum TSeparatorStyle { ssNormal, ssShortLine, ssCaption };
enum TBcMenuStyle { msAuto, msStandard, msWindowsXP };
enum TVertAlignment { vaTop, vaBottom, vaMiddle };
enum THorzAlignment { haLeft, haRight, haCenter };
enum TDrawStyle { dsNormal, dsTile, dsStretch };

// n / 2 - 0.5 rounded to the nearest integer, ties to even: 4 -> 2, 5 -> 2, 6 -> 2, 7 -> 3.
int CenterOffset(int n);

// The colour of the pixel (dx, dy) of a w x h gradient from `start` to `end`. Horizontal:
// start at the left; vertical: at the top; diagonal left-right: at the top-left corner;
// right-left: its mirror (start at the top-right).
TColor GradientColorAt(TGradientStyle style, TColor start, TColor end, int dx, int dy, int w, int h);

// One channel of a faded pixel: `old` moved toward `target` by dist / fadeWidth (truncating).
int FadeChannel(int old, int target, int dist, int fadeWidth);

// The runs of a faded line from left to right (both included) at row `top`, with an optional
// gap (gapLeft..gapRight, gapTop) kept free for text.
struct TFadedRuns {
  int row = 0;
  int leftFrom = 0, leftTo = 0;    // fades in from the left
  int rightFrom = 0, rightTo = 0;  // fades out to the right
};
TFadedRuns FadedLineRuns(int left, int right, int top, bool gap, int gapLeft, int gapRight, int gapTop);
// The colour of pixel x of the line over `old`; `inLeftRun` chooses which end fades.
TColor FadedPixel(TColor old, TColor color, int x, int left, int right, int fadeWidth, bool inLeftRun);

// Item heights and widths as the bar menu measures them.
int SeparatorHeight(bool hasHint, bool xpStyle);
struct TBcItemMeasure {
  int width = 0, height = 0;  // the framework's default size on entry
  bool useSystemFont = true;  // false: the menu's own font, measured as textWidth x textHeight
  int textWidth = 0, textHeight = 0;
  bool winKey = false;   // the shortcut carries the Windows key
  int winPlusWidth = 0;  // the width of "Win+"
  bool noGlyph = false;  // no image list and no item bitmap
  bool xpStyle = false;
};
void MeasureBarMenuItem(TBcItemMeasure& m);
// The width after the bar's share: with the bar beside the item, its width and space.
int WidthWithBar(int width, bool barHere, int barWidth, int barSpace);

// Whether an item gets the bar: the bar is shown, the item sits directly in the menu and
// neither it nor an earlier visible sibling starts a new column.
bool BarHere(bool barVisible, bool topLevel, bool columnBreakSoFar);

// The effective look: the menu's, unless automatic, when NT 5.1 and later (a minor version
// above 0 with a major above 4) get the XP look.
TBcMenuStyle EffectiveMenuStyle(TBcMenuStyle style, bool ntFamily, int major, int minor);

// Where a bar picture of pw x ph goes on a bar of barWidth x barHeight.
struct TBcPoint {
  int x = 0, y = 0;
  bool operator==(const TBcPoint&) const = default;
};
TBcPoint BarPicturePosition(int pw, int ph, int barWidth, int barHeight, int offsetX, int offsetY,
                            THorzAlignment horz, TVertAlignment vert);
// The start of a tiled back picture along one axis: offset + shift brought to 0 or below in
// steps of the picture size.
int TileStart(int offset, int shift, int size);

// Where the rotated caption starts: (cx, cy) is its extent along and across the text;
// bottomPictureHeight is the height of a bar picture aligned to the bottom (0 when none).
TBcPoint BarCaptionOrigin(int barWidth, int barHeight, int cx, int cy, TVertAlignment alignment,
                          TDirection direction, int offsetY, int bottomPictureHeight);

// The last good bar height to use for a showing: the measured or window height when it is
// above 0, else the last one that was (never 0 when there ever was one).
int UsableBarHeight(int height, int lastGoodHeight);

}  // namespace mq
