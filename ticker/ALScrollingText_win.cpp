#include "ticker/ALScrollingText_win.h"

#include <algorithm>
#include <cstring>

#include "gui/Forms_win.h"
#include "ticker/EsTile_win.h"

namespace mq {

TALScrollingText::TALScrollingText(TComponent* owner) : TGraphicControl(owner) {
  SetOpaque(true);
  SetBounds(0, 0, 50, 18);
  Font().SetColor(clWindowText);
  SetParentFont(true);
  offset_ = -Width();
  timer_ = new TTimer(this);
  timer_->SetInterval(unsigned(speed_));
  timer_->SetOnTimer([this](TObject*) { Step(); });
  Rebuild();
}

TALScrollingText::~TALScrollingText() = default;

void TALScrollingText::SetText(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  Rebuild();
  AccessibleNameChanged();
}

void TALScrollingText::RestartPass() {
  offset_ = StartOffset(textDirection_, Width(), stripWidth_);
  Invalidate();
}

void TALScrollingText::SetSpeed(int ms) {
  if (ms == speed_) return;
  speed_ = ms;
  timer_->SetInterval(unsigned(std::max(ms, 0)));
}

void TALScrollingText::SetBackgroundColor(TColor c) {
  if (c == backgroundColor_) return;
  backgroundColor_ = c;
  Rebuild();
}

void TALScrollingText::SetEdgeFadeWidth(int w) {
  if (w == edgeFadeWidth_) return;
  edgeFadeWidth_ = w;
  Rebuild();
}

void TALScrollingText::SetLayout(TTextLayout l) {
  if (l == layout_) return;
  layout_ = l;
  Rebuild();
}

void TALScrollingText::SetTextDirection(TTextDirection d) {
  if (d == textDirection_) return;
  textDirection_ = d;
  offset_ = StartOffset(d, Width(), stripWidth_);
  Rebuild();
}

void TALScrollingText::SetVisible(bool v) {
  if (v == Visible()) return;
  TGraphicControl::SetVisible(v);
  SetEnabled(v);
  UpdateTimer();
}

void TALScrollingText::SetEnabled(bool v) {
  TGraphicControl::SetEnabled(v);
  UpdateTimer();
}

void TALScrollingText::MouseEnter() {
  hovered_ = true;
  UpdateTimer();
}

void TALScrollingText::MouseLeave() {
  hovered_ = false;
  UpdateTimer();
}

void TALScrollingText::SetHeld(TTickerHold reason, bool on) {
  holds_ = on ? holds_ | unsigned(reason) : holds_ & ~unsigned(reason);
  UpdateTimer();
}

void TALScrollingText::UpdateTimer() {
  if (timer_ != nullptr) timer_->SetEnabled(Visible() && Enabled() && !hovered_ && holds_ == 0);
}

void TALScrollingText::Resize() {
  TGraphicControl::Resize();
  Rebuild();
}

bool TALScrollingText::FontChanged() {
  Rebuild();
  Invalidate();
  return true;
}

void TALScrollingText::Loaded() {
  TGraphicControl::Loaded();
  Rebuild();
  offset_ = StartOffset(textDirection_, Width(), stripWidth_);
}

void TALScrollingText::ScaleForDpi(int toDpi, int fromDpi) {
  TGraphicControl::ScaleForDpi(toDpi, fromDpi);
  SetEdgeFadeWidth(ScaleDpi(edgeFadeWidth_, toDpi, fromDpi));
  offset_ = ScaleDpi(offset_, toDpi, fromDpi);
}

void TALScrollingText::Rebuild() {
  if (Loading() || timer_ == nullptr) return;
  const int w = Width(), h = Height();

  // 1. The text measured in the control's font; the strip is the text with a control width
  // of blank on each side.
  int textWidth = 0, textHeight = 0;
  {
    // Measured on a screen-compatible DC, so an empty strip can be measured too.
    UniqueMemoryDc measure(::CreateCompatibleDC(nullptr));
    TCanvas mc(measure.Get());
    mc.Font = Font();
    const SIZE extent = mc.TextExtent(text_);
    textWidth = extent.cx;
    textHeight = mc.TextHeight(text_.empty() ? std::string(" ") : text_);
  }
  stripWidth_ = textWidth + 2 * w;
  textTop_ = TextTop(layout_, h, textHeight);

  // 2. The stencil colour: the strip's transparent colour and its font colour.
  stencil_ = StencilColorFor(Font().Color(), backgroundColor_);

  // 3. The strip's bitmap holds the part of the strip around what is shown, at most two
  // control widths, and is drawn again as the text scrolls out of it: a long text costs
  // no more memory than a short one.
  TCanvas& sc = strip_.Canvas();
  sc.BrushColor = backgroundColor_;
  sc.Font = Font();
  strip_.SetSize(std::min(stripWidth_, kStripWindowWidths * w), h);
  strip_.SetTransparent(true);
  strip_.SetTransparentColor(stencil_);
  sc.Font.SetColor(stencil_);
  stripOrigin_ = -1;

  // 4. The fade bitmap: the font colour, with the edge lines stepping from the background.
  fade_.Canvas().BrushColor = Font().Color();
  fade_.SetSize(w, h);
  if (!fade_.Empty()) {
    const std::uint32_t fontPixel = ColorToPixel(ColorToRgb(Font().Color()));
    std::fill(fade_.Bits(), fade_.Bits() + std::size_t(w) * h, fontPixel);
    const TColor from = ColorToRgb(backgroundColor_), to = ColorToRgb(Font().Color());
    for (int i = 0; i < edgeFadeWidth_; ++i) {
      const std::uint32_t c = ColorToPixel(ColorStep(from, to, i + 1, edgeFadeWidth_));
      for (int y = 0; y < h; ++y) {
        if (i < w) fade_.ScanLine(y)[i] = c;
        if (w - i - 1 >= 0) fade_.ScanLine(y)[w - i - 1] = c;
      }
    }
  }

  // 5. The frame bitmap.
  frame_.SetSize(w, h);
  const int from = std::clamp(-offset_, 0, stripWidth_);
  EnsureStripCovers(from, std::clamp(w - offset_, from, stripWidth_));
  Invalidate();
}

void TALScrollingText::EnsureStripCovers(int from, int to) {
  const int window = strip_.Width();
  if (stripOrigin_ >= 0 && from >= stripOrigin_ && to <= stripOrigin_ + window) return;
  // Centred on what is needed, so the text scrolls half a control width either way before
  // the window is drawn again.
  DrawStrip(std::clamp(from - (window - (to - from)) / 2, 0, std::max(0, stripWidth_ - window)));
}

void TALScrollingText::DrawStrip(int origin) {
  stripOrigin_ = origin;
  if (!strip_.Empty()) {
    TCanvas& sc = strip_.Canvas();
    sc.FillRect(RECT{0, 0, strip_.Width(), strip_.Height()});
    // The text begins a control width into the strip; GDI clips what lies outside.
    sc.TextOut(Width() - origin, textTop_, text_);
    ::GdiFlush();
  }
  BuildCoverage();
}

void TALScrollingText::BuildCoverage() {
  const int sw = strip_.Width(), sh = strip_.Height();
  covered_.assign(std::size_t(sh), {});
  seen_.assign(std::size_t(sw) * std::size_t(sh), 0);
  if (sw == 0 || sh == 0) return;
  const std::uint32_t bg = ColorToPixel(ColorToRgb(backgroundColor_));
  const std::uint32_t st = ColorToPixel(stencil_);
  const std::uint32_t font = ColorToPixel(ColorToRgb(Font().Color()));
  backgroundPixel_ = bg;
  for (int y = 0; y < sh; ++y) {
    const std::uint32_t* row = strip_.ScanLine(y);
    std::uint32_t* seen = seen_.data() + std::size_t(y) * sw;
    for (int x = 0; x < sw; ++x) {
      const std::uint32_t p = row[x] & 0xFFFFFF;
      seen[x] = row[x];
      if (p == bg) continue;
      if (p == st) {
        covered_[y].push_back({x, 0xFFFFFF});
        seen[x] = font;
        continue;
      }
      // Per channel: where the pixel lies between the background and the stencil colour.
      int cov[3];
      int sum = 0, usable = 0;
      for (int c = 0; c < 3; ++c) {
        const int shift = c * 8;
        const int b = int((bg >> shift) & 0xFF), s = int((st >> shift) & 0xFF),
                  v = int((p >> shift) & 0xFF);
        if (std::abs(s - b) < 24) {
          cov[c] = -1;
          continue;
        }
        cov[c] = std::clamp((v - b) * 255 / (s - b), 0, 255);
        sum += cov[c];
        ++usable;
      }
      const int mean = usable ? sum / usable : 255;
      std::uint32_t packed = 0;
      for (int c = 0; c < 3; ++c) packed |= std::uint32_t(cov[c] < 0 ? mean : cov[c]) << (c * 8);
      if (packed == 0) continue;
      covered_[y].push_back({x, packed});
      seen[x] = Mix(packed, bg, font);
    }
  }
}

std::uint32_t TALScrollingText::Mix(std::uint32_t coverage, std::uint32_t background,
                                    std::uint32_t colour) noexcept {
  if (coverage == 0xFFFFFF) return colour;
  std::uint32_t mixed = 0;
  for (int bits = 0; bits < 24; bits += 8) {
    const int a = int((coverage >> bits) & 0xFF), b = int((background >> bits) & 0xFF),
              t = int((colour >> bits) & 0xFF);
    mixed |= std::uint32_t(b + ((t - b) * a + 127) / 255) << bits;
  }
  return mixed;
}

void TALScrollingText::Compose() {
  const int w = frame_.Width(), h = frame_.Height();
  if (w == 0 || h == 0) return;
  const int x0 = std::max(0, offset_), x1 = std::min(w, offset_ + stripWidth_);
  if (x0 < x1) EnsureStripCovers(x0 - offset_, x1 - offset_);
  // Where column 0 of the strip's bitmap lies in the frame.
  const int shift = offset_ + stripOrigin_;
  const int sw = strip_.Width();
  // The fade bands: only there do the glyphs take another colour than the font's.
  const int band = std::clamp(edgeFadeWidth_, 0, w);
  for (int y = 0; y < h; ++y) {
    std::uint32_t* out = frame_.ScanLine(y);
    const std::uint32_t* fade = fade_.ScanLine(y);
    // Outside the strip the fade shows; over it the strip as the middle of the control
    // shows it ...
    if (x0 > 0) std::memcpy(out, fade, std::size_t(x0) * 4);
    if (x1 < w) std::memcpy(out + x1, fade + x1, std::size_t(w - x1) * 4);
    if (x0 >= x1) continue;
    std::memcpy(out + x0, seen_.data() + std::size_t(y) * sw + (x0 - shift), std::size_t(x1 - x0) * 4);
    // ... and within the bands the glyphs mixed with the band's colour instead.
    const std::vector<Covered>& row = covered_[std::size_t(y)];
    if (row.empty() || band == 0) continue;
    FadeGlyphs(row, out, fade, shift, x0, std::min(x1, band));
    FadeGlyphs(row, out, fade, shift, std::max(x0, w - band), x1);
  }
}

void TALScrollingText::FadeGlyphs(const std::vector<Covered>& row, std::uint32_t* out,
                                  const std::uint32_t* fade, int shift, int from, int to) const {
  if (from >= to) return;
  auto it = std::lower_bound(row.begin(), row.end(), from - shift,
                             [](const Covered& c, int x) { return c.x < x; });
  for (; it != row.end() && it->x + shift < to; ++it) {
    const int x = it->x + shift;
    out[x] = Mix(it->coverage, backgroundPixel_, fade[x]);
  }
}

void TALScrollingText::Paint(TCanvas& canvas) {
  if (frame_.Empty()) return;
  Compose();
  ::BitBlt(canvas.Handle(), 0, 0, frame_.Width(), frame_.Height(), frame_.Dc(), 0, 0, SRCCOPY);
}

void TALScrollingText::PaintOn(HDC parentDc) {
  if (frame_.Empty()) return;
  Compose();
  ::BitBlt(parentDc, left_, top_, frame_.Width(), frame_.Height(), frame_.Dc(), 0, 0, SRCCOPY);
}

void TALScrollingText::Step() {
  if (!Enabled() || hovered_) return;
  const ScrollStep s = StepOffset(offset_, textDirection_, pixelJump_, Width(), stripWidth_);
  offset_ = s.offset;
  if (s.passCompleted && OnTextScrolled) OnTextScrolled(this);
  Repaint();
}

bool TALScrollingText::ReadProperty(const std::string& name, const FormValue& v, TFormReader& r) {
  if (name == "Text") return text_ = r.AsString(v), true;
  if (name == "Speed") return SetSpeed(r.AsInt(v)), true;
  if (name == "BackgroundColor") return backgroundColor_ = r.AsColor(v), true;
  if (name == "EdgeFadeWidth") return edgeFadeWidth_ = r.AsInt(v), true;
  if (name == "Layout")
    return layout_ = r.AsEnum<TTextLayout>(v, {{"tlTop", TTextLayout::tlTop},
                                               {"tlCenter", TTextLayout::tlCenter},
                                               {"tlBottom", TTextLayout::tlBottom}}),
           true;
  if (name == "TextDirection")
    return textDirection_ =
               r.AsEnum<TTextDirection>(v, {{"tdLeftToRight", TTextDirection::tdLeftToRight},
                                            {"tdRightToLeft", TTextDirection::tdRightToLeft}}),
           true;
  if (name == "PixelJump") return pixelJump_ = r.AsInt(v), true;
  if (name == "Visible") return SetVisible(r.AsBool(v)), true;
  if (name == "OnTextScrolled") return OnTextScrolled = r.Event<TNotifyEvent>(v), true;
  return TGraphicControl::ReadProperty(name, v, r);
}

void RegisterTickerClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterComponentClass<TALScrollingText>("TALScrollingText");
  RegisterComponentClass<TEsTile>("TEsTile");
}

}  // namespace mq
