// TALScrollingText: a window-less control that scrolls one line of text through its
// rectangle, one step per timer tick, fades the text in and out over a band at each edge
// and raises OnTextScrolled each time the text has passed through completely.
//
// It keeps three bitmaps: the text strip (the text in the stencil colour on the background,
// a control width of blank on each side; the stencil colour is its transparent colour; the
// bitmap holds at most two control widths of it, around what is shown), the
// fade bitmap (the font colour with EdgeFadeWidth lines at each edge stepping from the
// background colour) and the frame bitmap, in which each paint composes the fade bitmap with
// the strip laid over it at the scroll offset before one block transfer to the screen.
// Where the glyphs' edges are smoothed, the strip pixel lies between the background and the
// stencil colour; the composition then mixes the fade colour and the background in the same
// proportion, so smoothed glyphs fade as cleanly as their solid parts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gui/Controls_win.h"
#include "gui/Graphics_win.h"
#include "gui/StdCtrls_win.h"
#include "ticker/TickerHold.h"
#include "ticker/TickerMath.h"

namespace mq {

class TALScrollingText : public TGraphicControl {
 public:
  explicit TALScrollingText(TComponent* owner);
  ~TALScrollingText() override;

  const std::string& Text() const noexcept { return text_; }
  void SetText(const std::string& text);
  // Screen readers read the text itself, not the moving picture of it.
  std::string AccessibleName() const override { return text_; }
  int Speed() const noexcept { return speed_; }
  void SetSpeed(int ms);
  TColor BackgroundColor() const noexcept { return backgroundColor_; }
  void SetBackgroundColor(TColor c);
  int EdgeFadeWidth() const noexcept { return edgeFadeWidth_; }
  void SetEdgeFadeWidth(int w);
  TTextLayout Layout() const noexcept { return layout_; }
  void SetLayout(TTextLayout l);
  TTextDirection TextDirection() const noexcept { return textDirection_; }
  void SetTextDirection(TTextDirection d);
  int PixelJump() const noexcept { return pixelJump_; }
  void SetPixelJump(int p) noexcept { pixelJump_ = p; }
  // Also sets Enabled, so a hidden ticker does not step.
  void SetVisible(bool v) override;
  // A disabled ticker holds still, its timer stopped.
  void SetEnabled(bool v) override;

  TNotifyEvent OnTextScrolled;

  // Starts the current text's pass again from its beginning (the text about to enter at the
  // leading edge). Setting Text alone keeps the offset.
  void RestartPass();

  // The timer tick: moves the offset, raises OnTextScrolled after a complete pass and
  // paints at once. Does nothing while the control is disabled or paused.
  void Step();
  // Paused while the pointer is over the text, so a reader can finish a title and click it.
  bool Paused() const noexcept { return hovered_; }
  void MouseEnter() override;
  void MouseLeave() override;
  // Reasons outside the control why no one sees it move (its window hidden, a full-screen
  // application over it, the session away, the display off). While the control is hidden,
  // disabled, paused or held for any of them its timer does not run at all, so the program
  // takes no message for it; it runs again, from the kept offset, when the last one ends.
  void SetHeld(TTickerHold reason, bool on);
  bool Held(TTickerHold reason) const noexcept { return (holds_ & unsigned(reason)) != 0; }

  int ScrollOffset() const noexcept { return offset_; }
  TColor StencilColor() const noexcept { return stencil_; }
  // The bitmap of the strip holds the strip's columns from StripOrigin() on; the whole strip
  // is StripWidth() wide (the text's width and a control width on each side).
  const TBitmap& TextStrip() const noexcept { return strip_; }
  int StripOrigin() const noexcept { return stripOrigin_; }
  int StripWidth() const noexcept { return stripWidth_; }
  const TBitmap& FadeBitmap() const noexcept { return fade_; }
  const TBitmap& FrameBitmap() const noexcept { return frame_; }
  TTimer& Timer() noexcept { return *timer_; }

  bool ReadProperty(const std::string& name, const FormValue& value, TFormReader& reader) override;
  void Loaded() override;
  // The fade band is a width in design units too; the scroll offset keeps its place.
  void ScaleForDpi(int toDpi, int fromDpi) override;

 protected:
  void Paint(TCanvas& canvas) override;
  // The frame in one block transfer at the control's place: no change to the DC's state.
  void PaintOn(HDC parentDc) override;
  void Resize() override;
  bool FontChanged() override;

 private:
  void Rebuild();
  // Runs the timer exactly while the ticker can be seen moving.
  void UpdateTimer();
  // Draws the strip's bitmap again when columns from..to of the strip lie outside it.
  void EnsureStripCovers(int from, int to);
  void DrawStrip(int origin);
  void BuildCoverage();
  void Compose();
  struct Covered;
  // Writes the glyph pixels of one strip row that fall on frame columns from..to, mixed with
  // the fade's colour there.
  void FadeGlyphs(const std::vector<Covered>& row, std::uint32_t* out, const std::uint32_t* fade,
                  int shift, int from, int to) const;
  // The background mixed toward a colour in the measure of a coverage (per channel).
  static std::uint32_t Mix(std::uint32_t coverage, std::uint32_t background,
                           std::uint32_t colour) noexcept;

  std::string text_ = "Text";
  int speed_ = 50;
  TColor backgroundColor_ = clBtnFace;
  int edgeFadeWidth_ = 15;
  TTextLayout layout_ = TTextLayout::tlCenter;
  TTextDirection textDirection_ = TTextDirection::tdLeftToRight;
  int pixelJump_ = 1;
  int offset_ = 0;
  bool hovered_ = false;
  unsigned holds_ = 0;  // TTickerHold bits
  TColor stencil_ = kStencilColor;
  static constexpr int kStripWindowWidths = 2;
  int stripWidth_ = 0;
  int stripOrigin_ = -1;  // -1 until the strip's bitmap is drawn
  int textTop_ = 0;

  TTimer* timer_ = nullptr;  // owned as a component
  TBitmap strip_, fade_, frame_;
  // The strip pixels the glyphs touch, row by row in order of x, with how much of each
  // channel they cover (0 background .. 255 stencil, in the DIB channel layout). All other
  // strip pixels are opaque and copied as they are.
  struct Covered {
    int x;
    std::uint32_t coverage;
  };
  std::vector<std::vector<Covered>> covered_;
  // The strip's bitmap as the middle of the control shows it (the glyphs in the font colour
  // over the background), drawn with the strip: a frame is a copy of it with the glyphs in
  // the fade bands mixed anew.
  std::vector<std::uint32_t> seen_;
  std::uint32_t backgroundPixel_ = 0;
};

void RegisterTickerClasses();

}  // namespace mq
