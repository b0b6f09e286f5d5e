// The arithmetic of the ticker display, free of the platform: the colour steps of the edge
// fade, the stencil colour, the vertical text position, the scroll step and the tile grid.
#pragma once

#include <stdexcept>
#include <string>

#include "gui/Classes.h"
#include "gui/Color.h"

namespace mq {

// An index or value outside its allowed range.
class ERangeError : public std::out_of_range {
 public:
  explicit ERangeError(const std::string& message) : std::out_of_range(message) {}
};

// Step k of n from colour a to colour b (plain RGB colours: resolve system colours first).
// Each channel is a + (k - 1) * (b - a) / (n - 1), computed in 64 bits and rounded to the
// nearest integer (halves away from zero), kept to 8 bits. Step 1 is a, step n is b; with
// n = 1 the single step is a. Raises ERangeError when k < 1 or k > n.
TColor ColorStep(TColor a, TColor b, int k, int n);

// The colour the glyphs are drawn in on the text strip (the strip's transparent colour).
constexpr TColor kStencilColor = 0x003C3028;
constexpr TColor kAlternateStencilColor = 0x00E6F5FF;
// $003C3028 unless the font colour or the background is that very value (raw values
// compared), then $00E6F5FF.
constexpr TColor StencilColorFor(TColor fontColor, TColor background) {
  return (fontColor == kStencilColor || background == kStencilColor) ? kAlternateStencilColor
                                                                     : kStencilColor;
}

// Top of the text: tlTop 0; tlCenter height/2 - textHeight/2 (each division truncating);
// tlBottom height - textHeight.
int TextTop(TTextLayout layout, int controlHeight, int textHeight);

enum class TTextDirection { tdLeftToRight, tdRightToLeft };

// The offset a pass starts from: 0 for right to left, controlWidth - stripWidth for left
// to right.
constexpr int StartOffset(TTextDirection d, int controlWidth, int stripWidth) {
  return d == TTextDirection::tdRightToLeft ? 0 : controlWidth - stripWidth;
}

struct ScrollStep {
  int offset;
  bool passCompleted;  // the text has gone through: the offset was reset
};
// One step of the scroll offset by pixelJump in the given direction.
ScrollStep StepOffset(int offset, TTextDirection d, int pixelJump, int controlWidth, int stripWidth);

// How many copies of a w x h tile cover W x H: the last column and row may be cut.
struct TileGrid {
  int columns = 0;
  int rows = 0;
};
TileGrid TileCount(int width, int height, int tileWidth, int tileHeight);

}  // namespace mq
