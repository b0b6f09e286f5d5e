// PNG pictures as graphics of the GUI framework (TPngImage, drawn with its alpha channel)
// and the PNG image collection that forms use to hold button pictures and glyphs.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "gui/Classes.h"
#include "gui/Graphics_win.h"
#include "image/PngDecoder.h"

namespace mq {

class TPngImage : public TGraphic {
 public:
  TPngImage() = default;
  TPngImage(const TPngImage& other);
  TPngImage& operator=(const TPngImage& other);

  // Decodes PNG file bytes; raises EPngError for damaged data (the image is unchanged then).
  void LoadFromData(std::span<const std::uint8_t> data);
  void Clear();

  int Width() const override { return image_.width; }
  int Height() const override { return image_.height; }
  // Draws with per-pixel alpha over what the canvas holds.
  void Draw(TCanvas& canvas, const RECT& dest) const override;
  std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TPngImage>(*this); }
  // Filtered with alpha weighting; the copy keeps no file bytes.
  std::unique_ptr<TGraphic> Resampled(int width, int height) const override;

  const DecodedPng& Image() const noexcept { return image_; }
  // The file bytes the image was read from.
  const std::vector<std::uint8_t>& Data() const noexcept { return data_; }

 private:
  void BuildBitmap();
  DecodedPng image_;
  std::vector<std::uint8_t> data_;
  std::unique_ptr<TBitmap> premultiplied_;  // 0xAARRGGBB, alpha premultiplied
};

struct TPngImageCollectionItem {
  std::string Name;
  TPngImage PngImage;
  TColor Background = clBtnFace;
};

// A list of PNG pictures held by a form: `Items = < item Name = '...' PngImage = {...} end >`.
class TPngImageCollection : public TComponent {
 public:
  explicit TPngImageCollection(TComponent* owner) : TComponent(owner) {}

  std::size_t Count() const noexcept { return items_.size(); }
  TPngImageCollectionItem& Items(std::size_t i) { return items_.at(i); }
  const TPngImageCollectionItem& Items(std::size_t i) const { return items_.at(i); }
  TPngImageCollectionItem& Add();
  void Clear() { items_.clear(); }

  bool ReadProperty(const std::string& name, const FormValue& value, TFormReader& reader) override;

 private:
  std::vector<TPngImageCollectionItem> items_;
};

// Registers TPngImageCollection for form descriptions and PNG data for TPicture.
void RegisterImageClasses();

}  // namespace mq
