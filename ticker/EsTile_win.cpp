#include "ticker/EsTile_win.h"

#include <stdexcept>

#include "ticker/TickerMath.h"

namespace mq {

TEsCustomTile::TEsCustomTile(TComponent* owner) : TGraphicControl(owner) {
  SetOpaque(true);
  SetBounds(0, 0, 100, 100);
  bitmap_.OnChange = [this](TObject*) {
    Rescale();
    Invalidate();
  };
}

void TEsCustomTile::Rescale() {
  scaled_.reset();
  if (bitmap_.Empty() || PixelsPerInch() == kDesignDpi) return;
  std::unique_ptr<TGraphic> copy =
      bitmap_.Resampled(ScaleValue(bitmap_.Width()), ScaleValue(bitmap_.Height()));
  if (dynamic_cast<TBitmap*>(copy.get())) scaled_.reset(static_cast<TBitmap*>(copy.release()));
}

void TEsCustomTile::ScaleForDpi(int toDpi, int fromDpi) {
  TGraphicControl::ScaleForDpi(toDpi, fromDpi);
  Rescale();
  Invalidate();
}

void TEsCustomTile::SetBitmap(const TBitmap* bitmap) {
  if (bitmap)
    bitmap_ = *bitmap;
  else
    bitmap_.Release();
  Repaint();
}

void TEsCustomTile::Paint(TCanvas& canvas) {
  const RECT client = ClientRect();
  const int W = client.right, H = client.bottom;
  const TBitmap& tile = Tile();
  if (tile.Empty()) {
    canvas.BrushColor = Color();
    canvas.FillRect(client);
    return;
  }
  HDC target = canvas.Handle();
  HPALETTE palette = bitmap_.Palette();  // a resampled tile has full colour and needs none
  PaletteGuard targetPalette(target, palette);
  UniqueMemoryDc offDc(::CreateCompatibleDC(target));
  UniqueBitmap off(::CreateCompatibleBitmap(target, W, H));
  if (!offDc || !off) throw std::runtime_error("Out of system resources");
  SelectGuard selectOff(offDc.Get(), off.Get());
  PaletteGuard offPalette(offDc.Get(), palette);
  const int w = tile.Width(), h = tile.Height();
  const TileGrid grid = TileCount(W, H, w, h);
  for (int c = 0; c < grid.columns; ++c)
    for (int r = 0; r < grid.rows; ++r)
      ::BitBlt(offDc.Get(), c * w, r * h, w, h, tile.Dc(), 0, 0, SRCCOPY);
  ::BitBlt(target, 0, 0, W, H, offDc.Get(), 0, 0, SRCCOPY);
}

bool TEsCustomTile::ReadProperty(const std::string& name, const FormValue& v, TFormReader& r) {
  if (name == "Bitmap.Data" || name == "Bitmap") {
    if (v.kind != FormValue::Kind::Binary) TFormReader::Fail(v, "Binary data expected");
    try {
      bitmap_.LoadFromData(v.binary);
    } catch (const std::runtime_error& e) {
      TFormReader::Fail(v, e.what());
    }
    return true;
  }
  return TGraphicControl::ReadProperty(name, v, r);
}

bool TEsTile::ReadProperty(const std::string& name, const FormValue& v, TFormReader& r) {
  if (name == "Version") return true;  // read-only: whatever a description says is ignored
  return TEsCustomTile::ReadProperty(name, v, r);
}

}  // namespace mq
