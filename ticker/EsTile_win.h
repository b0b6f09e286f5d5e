// TEsTile: a window-less, opaque control that fills its rectangle with copies of one bitmap
// laid edge to edge from the top-left corner, composed off screen and put on the screen in
// one copy. Without a bitmap it shows the control's colour.
#pragma once

#include <memory>
#include <string>

#include "gui/Controls_win.h"
#include "gui/Graphics_win.h"

namespace mq {

class TEsCustomTile : public TGraphicControl {
 public:
  explicit TEsCustomTile(TComponent* owner);

  const TBitmap& Bitmap() const noexcept { return bitmap_; }
  // Copies the bitmap (null releases the image), then repaints.
  void SetBitmap(const TBitmap* bitmap);

  bool ReadProperty(const std::string& name, const FormValue& value, TFormReader& reader) override;
  // The bitmap keeps its design size; the tiles are a smooth resample of it at the
  // control's resolution.
  void ScaleForDpi(int toDpi, int fromDpi) override;
  // The tile as laid: the bitmap, or its copy at the control's resolution.
  const TBitmap& Tile() const noexcept { return scaled_ ? *scaled_ : bitmap_; }

 protected:
  void Paint(TCanvas& canvas) override;

 private:
  void Rescale();
  TBitmap bitmap_;
  std::unique_ptr<TBitmap> scaled_;
};

class TEsTile : public TEsCustomTile {
 public:
  explicit TEsTile(TComponent* owner) : TEsCustomTile(owner) {}
  // Always "1.11"; there is nothing to write.
  std::string Version() const { return "1.11"; }
  void SetVersion(const std::string&) {}

  bool ReadProperty(const std::string& name, const FormValue& value, TFormReader& reader) override;
};

}  // namespace mq
