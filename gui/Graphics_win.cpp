#include "gui/Graphics_win.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <stdexcept>

#include "base/Utf.h"
#include "gui/Resample.h"

namespace mq {

// --- TFont ------------------------------------------------------------------------------

TFont::TFont() = default;

TFont::TFont(const TFont& other)
    : TObject(),
      name_(other.name_),
      height_(other.height_),
      points_(other.points_),
      pixelsPerInch_(other.pixelsPerInch_),
      color_(other.color_),
      style_(other.style_),
      charset_(other.charset_) {}

TFont& TFont::operator=(const TFont& other) {
  if (this != &other && !SameAs(other)) {
    name_ = other.name_;
    height_ = other.height_;
    points_ = other.points_;
    pixelsPerInch_ = other.pixelsPerInch_;
    color_ = other.color_;
    style_ = other.style_;
    charset_ = other.charset_;
    Changed();
  }
  return *this;
}

bool TFont::SameAs(const TFont& o) const noexcept {
  return name_ == o.name_ && height_ == o.height_ && points_ == o.points_ &&
         pixelsPerInch_ == o.pixelsPerInch_ && color_ == o.color_ && style_ == o.style_ &&
         charset_ == o.charset_;
}

void TFont::Changed() {
  handle_.Reset();
  if (OnChange) OnChange(this);
}

void TFont::SetName(const std::string& name) {
  if (name != name_) name_ = name, Changed();
}
void TFont::SetHeight(int height) {
  points_ = 0;
  if (height != height_) height_ = height, Changed();
}
int TFont::Size() const { return points_ != 0 ? points_ : -::MulDiv(height_, 72, pixelsPerInch_); }
void TFont::SetSize(int points) {
  const int height = -::MulDiv(points, pixelsPerInch_, 72);
  points_ = points;
  if (height != height_) height_ = height, Changed();
}
void TFont::SetPixelsPerInch(int dpi) {
  if (dpi <= 0 || dpi == pixelsPerInch_) return;
  const int height = points_ != 0 ? -::MulDiv(points_, dpi, 72) : ::MulDiv(height_, dpi, pixelsPerInch_);
  pixelsPerInch_ = dpi;
  height_ = height;
  Changed();
}
void TFont::SetColor(TColor color) {
  // The colour is not part of the font object: no new handle needed, but owners are told.
  if (color != color_) {
    color_ = color;
    if (OnChange) OnChange(this);
  }
}
void TFont::SetStyle(TFontStyles style) {
  if (style != style_) style_ = style, Changed();
}
void TFont::SetCharset(int charset) {
  if (charset != charset_) charset_ = charset, Changed();
}

HFONT TFont::Handle() const {
  if (!handle_) {
    LOGFONTW lf{};
    lf.lfHeight = height_;
    lf.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (style_ & fsItalic) ? 1 : 0;
    lf.lfUnderline = (style_ & fsUnderline) ? 1 : 0;
    lf.lfStrikeOut = (style_ & fsStrikeOut) ? 1 : 0;
    lf.lfCharSet = BYTE(charset_);
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH;
    std::wstring face = ToWide(name_);
    face.resize(std::min<size_t>(face.size(), LF_FACESIZE - 1));
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    handle_.Reset(::CreateFontIndirectW(&lf));
  }
  return handle_.Get();
}

bool TFont::ReadProperty(const std::string& name, const FormValue& v, TFormReader& reader) {
  if (name == "Name") return SetName(TFormReader::AsString(v)), true;
  if (name == "Height") return SetHeight(TFormReader::AsInt(v)), true;
  if (name == "Size") return SetSize(TFormReader::AsInt(v)), true;
  if (name == "Color") return SetColor(TFormReader::AsColor(v)), true;
  if (name == "Charset") {
    if (v.kind == FormValue::Kind::Integer) return SetCharset(TFormReader::AsInt(v)), true;
    const std::string id = TFormReader::AsIdent(v);
    static const std::pair<const char*, int> kCharsets[] = {
        {"DEFAULT_CHARSET", DEFAULT_CHARSET}, {"ANSI_CHARSET", ANSI_CHARSET},
        {"GB2312_CHARSET", GB2312_CHARSET},   {"SYMBOL_CHARSET", SYMBOL_CHARSET},
        {"OEM_CHARSET", OEM_CHARSET},         {"CHINESEBIG5_CHARSET", CHINESEBIG5_CHARSET}};
    for (const auto& [n, c] : kCharsets)
      if (id == n) return SetCharset(c), true;
    TFormReader::Fail(v, "Invalid property value '" + id + "'");
  }
  if (name == "Style")
    return SetStyle(TFormReader::AsSet(v, {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"})), true;
  return false;
}

// --- TCanvas ----------------------------------------------------------------------------

void TCanvas::FillRect(const RECT& r) {
  SelectGuard brush(dc_, ::GetStockObject(DC_BRUSH));
  ::SetDCBrushColor(dc_, ColorToRgb(BrushColor));
  ::PatBlt(dc_, r.left, r.top, r.right - r.left, r.bottom - r.top, PATCOPY);
}

void TCanvas::MoveTo(int x, int y) { ::MoveToEx(dc_, x, y, nullptr); }

void TCanvas::LineTo(int x, int y) {
  SelectGuard pen(dc_, ::GetStockObject(DC_PEN));
  ::SetDCPenColor(dc_, ColorToRgb(PenColor));
  ::LineTo(dc_, x, y);
}

void TCanvas::TextOut(int x, int y, std::string_view utf8) {
  const std::wstring w = ToWide(utf8);
  SelectGuard font(dc_, Font.Handle());
  int oldMode = ::SetBkMode(dc_, TRANSPARENT);
  COLORREF oldColor = ::SetTextColor(dc_, ColorToRgb(Font.Color()));
  ::ExtTextOutW(dc_, x, y, 0, nullptr, w.c_str(), UINT(w.size()), nullptr);
  ::SetTextColor(dc_, oldColor);
  ::SetBkMode(dc_, oldMode);
}

SIZE TCanvas::TextExtent(std::string_view utf8) {
  const std::wstring w = ToWide(utf8);
  SelectGuard font(dc_, Font.Handle());
  SIZE s{0, 0};
  ::GetTextExtentPoint32W(dc_, w.c_str(), int(w.size()), &s);
  return s;
}

void TCanvas::CopyRect(const RECT& d, const TCanvas& source, const RECT& s) {
  const int dw = d.right - d.left, dh = d.bottom - d.top, sw = s.right - s.left, sh = s.bottom - s.top;
  if (dw == sw && dh == sh)
    ::BitBlt(dc_, d.left, d.top, dw, dh, source.dc_, s.left, s.top, SRCCOPY);
  else
    ::StretchBlt(dc_, d.left, d.top, dw, dh, source.dc_, s.left, s.top, sw, sh, SRCCOPY);
}

void TCanvas::Draw(int x, int y, const TGraphic& g) {
  if (g.Empty()) return;
  RECT r{x, y, x + g.Width(), y + g.Height()};
  g.Draw(*this, r);
}

void TCanvas::StretchDraw(const RECT& r, const TGraphic& g) {
  if (!g.Empty()) g.Draw(*this, r);
}

TColor TCanvas::Pixel(int x, int y) const { return ::GetPixel(dc_, x, y); }
void TCanvas::SetPixel(int x, int y, TColor c) { ::SetPixelV(dc_, x, y, ColorToRgb(c)); }

// --- TGraphic / TBitmap -----------------------------------------------------------------

void TGraphic::SetTransparent(bool on) {
  if (on != transparent_) transparent_ = on, Changed();
}

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int width, int height) { SetSize(width, height); }

TBitmap::TBitmap(const TBitmap& other) : TGraphic() {
  transparent_ = other.transparent_;
  transparentColor_ = other.transparentColor_;
  canvas_.BrushColor = other.canvas_.BrushColor;
  canvas_.Font = other.canvas_.Font;
  if (!other.Empty()) {
    Create(other.width_, other.height_);
    std::memcpy(bits_, other.bits_, std::size_t(width_) * height_ * 4);
  }
}

TBitmap& TBitmap::operator=(const TBitmap& other) {
  if (this == &other) return *this;
  transparent_ = other.transparent_;
  transparentColor_ = other.transparentColor_;
  if (other.Empty()) {
    Create(0, 0);
  } else {
    Create(other.width_, other.height_);
    std::memcpy(bits_, other.bits_, std::size_t(width_) * height_ * 4);
  }
  Changed();
  return *this;
}

TBitmap::~TBitmap() { Create(0, 0); }

void TBitmap::Create(int width, int height) {
  // The DIB is selected out of the DC before it is deleted.
  if (dc_ && originalBitmap_) ::SelectObject(dc_.Get(), originalBitmap_);
  originalBitmap_ = nullptr;
  bitmap_.Reset();
  palette_.Reset();
  bits_ = nullptr;
  width_ = height_ = 0;
  if (width <= 0 || height <= 0) {
    dc_.Reset();
    canvas_.SetHandle(nullptr);
    return;
  }
  if (!dc_) {
    dc_.Reset(::CreateCompatibleDC(nullptr));
    if (!dc_) throw std::runtime_error("Out of system resources (CreateCompatibleDC)");
  }
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_.Reset(::CreateDIBSection(dc_.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap_) throw std::runtime_error("Out of system resources (CreateDIBSection)");
  originalBitmap_ = ::SelectObject(dc_.Get(), bitmap_.Get());
  bits_ = static_cast<std::uint32_t*>(bits);
  width_ = width;
  height_ = height;
  canvas_.SetHandle(dc_.Get());
}

void TBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  Create(width, height);
  if (bits_) {
    const std::uint32_t fill = ColorToPixel(ColorToRgb(canvas_.BrushColor));
    std::fill(bits_, bits_ + std::size_t(width_) * height_, fill);
  }
  Changed();
}

TColor TBitmap::TransparentColor() const {
  if (transparentColor_ != clDefault) return transparentColor_;
  if (Empty()) return clDefault;
  return PixelToColor(ScanLine(height_ - 1)[0] & 0xFFFFFF);
}

void TBitmap::SetTransparentColor(TColor c) {
  if (c != transparentColor_) transparentColor_ = c, Changed();
}

void TBitmap::Assign(const std::uint32_t* pixels, int width, int height) {
  Create(width, height);
  if (bits_) std::memcpy(bits_, pixels, std::size_t(width) * height * 4);
  Changed();
}

void TBitmap::LoadFromData(std::span<const std::uint8_t> data) {
  if (data.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) || data[0] != 'B' ||
      data[1] != 'M')
    throw std::runtime_error("Bitmap image is not valid");
  BITMAPFILEHEADER fh;
  std::memcpy(&fh, data.data(), sizeof fh);
  BITMAPINFOHEADER ih;
  std::memcpy(&ih, data.data() + sizeof fh, sizeof ih);
  if (ih.biSize < sizeof(BITMAPINFOHEADER) || ih.biWidth <= 0 || ih.biHeight == 0 ||
      ih.biWidth > 32768 || std::abs(ih.biHeight) > 32768 || fh.bfOffBits >= data.size() ||
      ih.biPlanes != 1)
    throw std::runtime_error("Bitmap image is not valid");
  const int w = ih.biWidth, h = std::abs(ih.biHeight);
  const std::size_t stride = ((std::size_t(w) * ih.biBitCount + 31) / 32) * 4;
  if (ih.biCompression == BI_RGB && data.size() - fh.bfOffBits < stride * h)
    throw std::runtime_error("Bitmap image is not valid");
  // The header and colour table as they lie in the data (with room for the table).
  const std::size_t headerAt = sizeof fh;
  const std::size_t headerLen = fh.bfOffBits - headerAt;
  std::vector<std::uint8_t> info(
      std::max<std::size_t>(headerLen, sizeof(BITMAPINFO) + 256 * sizeof(RGBQUAD)));
  std::memcpy(info.data(), data.data() + headerAt, headerLen);
  Create(w, h);
  if (ih.biCompression == BI_RGB && ih.biBitCount == 32) {
    // Copy as is (keeps an alpha channel the file may carry).
    for (int y = 0; y < h; ++y) {
      const int srcRow = ih.biHeight > 0 ? h - 1 - y : y;
      std::memcpy(ScanLine(y), data.data() + fh.bfOffBits + stride * srcRow, std::size_t(w) * 4);
    }
  } else {
    auto* bmi = reinterpret_cast<BITMAPINFO*>(info.data());
    if (::SetDIBits(dc_.Get(), bitmap_.Get(), 0, UINT(h), data.data() + fh.bfOffBits, bmi,
                    DIB_RGB_COLORS) == 0) {
      Create(0, 0);
      throw std::runtime_error("Bitmap image is not valid");
    }
    if (ih.biBitCount <= 8) {
      const unsigned colours = ih.biClrUsed ? ih.biClrUsed : (1u << ih.biBitCount);
      if (colours <= 256 && ih.biSize + colours * sizeof(RGBQUAD) <= headerLen) {
        std::vector<std::uint8_t> lp(sizeof(LOGPALETTE) + colours * sizeof(PALETTEENTRY));
        auto* pal = reinterpret_cast<LOGPALETTE*>(lp.data());
        pal->palVersion = 0x300;
        pal->palNumEntries = WORD(colours);
        const auto* table = reinterpret_cast<const RGBQUAD*>(info.data() + ih.biSize);
        for (unsigned i = 0; i < colours; ++i)
          pal->palPalEntry[i] = PALETTEENTRY{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
        palette_.Reset(::CreatePalette(pal));
      }
    }
  }
  ::GdiFlush();
  Changed();
}

std::unique_ptr<TGraphic> TBitmap::Resampled(int width, int height) const {
  if (Empty() || width <= 0 || height <= 0) return nullptr;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(bits_);
  const std::vector<std::uint8_t> out = ResamplePixels(
      std::span(bytes, std::size_t(width_) * height_ * 4), width_, height_, width, height, false);
  auto copy = std::make_unique<TBitmap>();
  copy->transparent_ = transparent_;
  copy->transparentColor_ = transparentColor_;
  copy->Assign(reinterpret_cast<const std::uint32_t*>(out.data()), width, height);
  return copy;
}

void TBitmap::Draw(TCanvas& canvas, const RECT& d) const {
  if (Empty()) return;
  const int dw = d.right - d.left, dh = d.bottom - d.top;
  if (transparent_) {
    ::GdiTransparentBlt(canvas.Handle(), d.left, d.top, dw, dh, dc_.Get(), 0, 0, width_, height_,
                        ColorToRgb(TransparentColor()));
  } else if (dw == width_ && dh == height_) {
    ::BitBlt(canvas.Handle(), d.left, d.top, dw, dh, dc_.Get(), 0, 0, SRCCOPY);
  } else {
    ::StretchBlt(canvas.Handle(), d.left, d.top, dw, dh, dc_.Get(), 0, 0, width_, height_, SRCCOPY);
  }
}

// --- TPicture ---------------------------------------------------------------------------

namespace {
std::mutex& FormatsMutex() {
  static std::mutex m;
  return m;
}
std::vector<std::pair<std::string, TGraphicLoader>>& Formats() {
  static std::vector<std::pair<std::string, TGraphicLoader>> f;
  return f;
}
}  // namespace

void RegisterGraphicFormat(std::string signature, TGraphicLoader loader) {
  std::lock_guard lock(FormatsMutex());
  for (auto& [sig, l] : Formats())
    if (sig == signature) return void(l = std::move(loader));
  Formats().emplace_back(std::move(signature), std::move(loader));
}

void TPicture::SetGraphic(const TGraphic* g) { SetGraphic(g ? g->Clone() : nullptr); }

void TPicture::SetGraphic(std::unique_ptr<TGraphic> g) {
  graphic_ = std::move(g);
  if (graphic_) graphic_->OnChange = [this](TObject*) { Changed(); };
  Changed();
}

void TPicture::LoadFromData(std::span<const std::uint8_t> data) {
  if (data.size() >= 2 && data[0] == 'B' && data[1] == 'M') {
    auto bmp = std::make_unique<TBitmap>();
    bmp->LoadFromData(data);
    return SetGraphic(std::move(bmp));
  }
  TGraphicLoader loader;
  {
    std::lock_guard lock(FormatsMutex());
    for (const auto& [sig, l] : Formats())
      if (data.size() >= sig.size() && std::memcmp(data.data(), sig.data(), sig.size()) == 0) loader = l;
  }
  if (!loader) throw std::runtime_error("Unknown picture file format");
  SetGraphic(loader(data));
}

}  // namespace mq
