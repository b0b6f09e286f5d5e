// Fonts, canvases, device-independent bitmaps and pictures. Every GDI object here is owned
// by a counted owner from gui/Gdi_win.h.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "gui/Classes.h"
#include "gui/Color.h"
#include "gui/Gdi_win.h"

namespace mq {

using TFontStyles = unsigned;
constexpr TFontStyles fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8;

class TFont : public TObject {
 public:
  TFont();
  TFont(const TFont& other);
  TFont& operator=(const TFont& other);  // copies the settings; keeps OnChange

  const std::string& Name() const noexcept { return name_; }
  void SetName(const std::string& name);
  // Character height in pixels at PixelsPerInch; negative values are the em height, as in
  // LOGFONT.
  int Height() const noexcept { return height_; }
  void SetHeight(int height);
  // Size in points. A size that was set is kept exactly; otherwise it is derived from the
  // height at PixelsPerInch.
  int Size() const;
  void SetSize(int points);
  // The resolution the height is in: 96 (design units) until the owner scales the font to
  // its screen. Changing it keeps a size in points and scales a height in pixels, so a font
  // is never scaled twice.
  int PixelsPerInch() const noexcept { return pixelsPerInch_; }
  void SetPixelsPerInch(int dpi);
  TColor Color() const noexcept { return color_; }
  void SetColor(TColor color);
  TFontStyles Style() const noexcept { return style_; }
  void SetStyle(TFontStyles style);
  int Charset() const noexcept { return charset_; }
  void SetCharset(int charset);

  bool SameAs(const TFont& other) const noexcept;

  // The font object for these settings, made on first use and kept until they change.
  HFONT Handle() const;

  // Reads "Name", "Height", "Size", "Color", "Style", "Charset" (the part after "Font.").
  bool ReadProperty(const std::string& name, const FormValue& value, TFormReader& reader);

  TNotifyEvent OnChange;

 private:
  void Changed();
  std::string name_ = "Tahoma";
  int height_ = -11;
  int points_ = 0;  // the size in points when it was set as one, else 0
  int pixelsPerInch_ = 96;
  TColor color_ = clWindowText;
  TFontStyles style_ = 0;
  int charset_ = DEFAULT_CHARSET;
  mutable UniqueFont handle_;
};

// Drawing on a device context that someone else owns. Objects the canvas selects are
// deselected again before each call returns.
class TCanvas {
 public:
  explicit TCanvas(HDC dc = nullptr) noexcept : dc_(dc) {}
  HDC Handle() const noexcept { return dc_; }
  void SetHandle(HDC dc) noexcept { dc_ = dc; }

  TFont Font;
  TColor BrushColor = clWhite;
  TColor PenColor = clBlack;

  void FillRect(const RECT& r);
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  // Text in Font, transparent background.
  void TextOut(int x, int y, std::string_view utf8);
  SIZE TextExtent(std::string_view utf8);
  int TextWidth(std::string_view utf8) { return TextExtent(utf8).cx; }
  int TextHeight(std::string_view utf8) { return TextExtent(utf8).cy; }
  // Copies `source` rectangle of another canvas into `dest` (stretching when sizes differ).
  void CopyRect(const RECT& dest, const TCanvas& source, const RECT& sourceRect);
  void Draw(int x, int y, const class TGraphic& graphic);
  void StretchDraw(const RECT& r, const class TGraphic& graphic);
  TColor Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColor c);

 private:
  HDC dc_;
};

// Something that can be drawn: a bitmap, a PNG picture.
class TGraphic : public TObject {
 public:
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual bool Empty() const { return Width() == 0 || Height() == 0; }
  virtual void Draw(TCanvas& canvas, const RECT& dest) const = 0;
  virtual std::unique_ptr<TGraphic> Clone() const = 0;
  // A copy resized to width x height with a smoothing filter, or null when this kind of
  // graphic cannot be (it is then drawn stretched).
  virtual std::unique_ptr<TGraphic> Resampled(int width, int height) const { return nullptr; }
  virtual HPALETTE Palette() const { return nullptr; }
  bool Transparent() const noexcept { return transparent_; }
  void SetTransparent(bool on);
  TNotifyEvent OnChange;

 protected:
  void Changed() {
    if (OnChange) OnChange(this);
  }
  bool transparent_ = false;
};

// A 32-bit top-down device-independent bitmap with its own memory DC and canvas.
// Pixels in memory are 0x00RRGGBB (blue in the lowest byte), unlike TColor.
class TBitmap : public TGraphic {
 public:
  TBitmap();
  TBitmap(int width, int height);
  TBitmap(const TBitmap& other);
  TBitmap& operator=(const TBitmap& other);  // copies the image; keeps OnChange
  ~TBitmap() override;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  // Makes a new image of the given size filled with Canvas().BrushColor. 0 x 0 releases it.
  void SetSize(int width, int height);
  void SetWidth(int w) { SetSize(w, height_); }
  void SetHeight(int h) { SetSize(width_, h); }
  // Releases the image (Empty() becomes true).
  void Release() { SetSize(0, 0); }

  TCanvas& Canvas() noexcept { return canvas_; }
  HDC Dc() const noexcept { return dc_.Get(); }
  HBITMAP Handle() const noexcept { return bitmap_.Get(); }
  std::uint32_t* Bits() noexcept { return bits_; }
  const std::uint32_t* Bits() const noexcept { return bits_; }
  std::uint32_t* ScanLine(int y) noexcept { return bits_ + std::size_t(y) * width_; }
  const std::uint32_t* ScanLine(int y) const noexcept { return bits_ + std::size_t(y) * width_; }

  // The colour keyed out when the bitmap is drawn transparently (clDefault: the
  // bottom-left pixel, as the standard bitmap does).
  TColor TransparentColor() const;
  void SetTransparentColor(TColor c);

  // A palette that goes with the image (none for images made here; 8-bit BMP data brings one).
  HPALETTE Palette() const override { return palette_.Get(); }

  // Windows bitmap file bytes (BITMAPFILEHEADER first). Raises std::runtime_error when the
  // data is not a bitmap the platform can read.
  void LoadFromData(std::span<const std::uint8_t> data);
  // Takes a copy of 32-bit pixels (0x00RRGGBB or premultiplied 0xAARRGGBB), width x height.
  void Assign(const std::uint32_t* pixels, int width, int height);

  void Draw(TCanvas& canvas, const RECT& dest) const override;
  std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TBitmap>(*this); }
  // Each of the four bytes of a pixel filtered alike (a bitmap's fourth byte is not alpha).
  std::unique_ptr<TGraphic> Resampled(int width, int height) const override;

  // Tells the owner that the image was changed in place (raises OnChange).
  void Modified() { Changed(); }

 private:
  void Create(int width, int height);
  UniqueMemoryDc dc_;
  UniqueBitmap bitmap_;
  UniquePalette palette_;
  HGDIOBJ originalBitmap_ = nullptr;
  std::uint32_t* bits_ = nullptr;
  int width_ = 0, height_ = 0;
  TColor transparentColor_ = clDefault;
  TCanvas canvas_;
};

// Converts between TColor ($00BBGGRR) and the DIB pixel layout (0x00RRGGBB).
constexpr std::uint32_t ColorToPixel(TColor c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
constexpr TColor PixelToColor(std::uint32_t p) {
  return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
}

// Picture formats that TPicture can load from bytes: each is tried by its signature.
using TGraphicLoader = std::function<std::unique_ptr<TGraphic>(std::span<const std::uint8_t>)>;
void RegisterGraphicFormat(std::string signature, TGraphicLoader loader);

// Holds one graphic of any kind.
class TPicture : public TObject {
 public:
  TPicture() = default;
  TPicture(const TPicture& other) { Assign(other); }
  TPicture& operator=(const TPicture& other) {
    Assign(other);
    return *this;
  }
  TGraphic* Graphic() const noexcept { return graphic_.get(); }
  void SetGraphic(const TGraphic* g);            // copies it (null clears)
  void SetGraphic(std::unique_ptr<TGraphic> g);  // takes it
  void Assign(const TPicture& other) { SetGraphic(other.Graphic()); }
  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }
  // Bitmap file or a registered format, chosen by signature. Raises std::runtime_error.
  void LoadFromData(std::span<const std::uint8_t> data);
  TNotifyEvent OnChange;

 private:
  void Changed() {
    if (OnChange) OnChange(this);
  }
  std::unique_ptr<TGraphic> graphic_;
};

}  // namespace mq
