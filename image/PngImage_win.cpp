#include "image/PngImage_win.h"

#include <windows.h>

#include "gui/Resample.h"

namespace mq {

TPngImage::TPngImage(const TPngImage& other)
    : TGraphic(other), image_(other.image_), data_(other.data_) {
  OnChange = nullptr;
  BuildBitmap();
}

TPngImage& TPngImage::operator=(const TPngImage& other) {
  if (this != &other) {
    image_ = other.image_;
    data_ = other.data_;
    transparent_ = other.transparent_;
    BuildBitmap();
    Changed();
  }
  return *this;
}

void TPngImage::LoadFromData(std::span<const std::uint8_t> data) {
  DecodedPng decoded = DecodePng(data);
  image_ = std::move(decoded);
  data_.assign(data.begin(), data.end());
  transparent_ = image_.colorType == 4 || image_.colorType == 6 || image_.colorType == 3;
  BuildBitmap();
  Changed();
}

void TPngImage::Clear() {
  image_ = DecodedPng{};
  data_.clear();
  premultiplied_.reset();
  Changed();
}

void TPngImage::BuildBitmap() {
  if (image_.width == 0 || image_.height == 0) {
    premultiplied_.reset();
    return;
  }
  std::vector<std::uint32_t> pixels(std::size_t(image_.width) * image_.height);
  const std::uint8_t* src = image_.rgba.data();
  for (std::uint32_t& p : pixels) {
    const unsigned a = src[3];
    const unsigned r = (src[0] * a + 127) / 255, g = (src[1] * a + 127) / 255,
                   b = (src[2] * a + 127) / 255;
    p = (a << 24) | (r << 16) | (g << 8) | b;
    src += 4;
  }
  premultiplied_ = std::make_unique<TBitmap>();
  premultiplied_->Assign(pixels.data(), image_.width, image_.height);
}

std::unique_ptr<TGraphic> TPngImage::Resampled(int width, int height) const {
  if (image_.width == 0 || image_.height == 0 || width <= 0 || height <= 0) return nullptr;
  auto copy = std::make_unique<TPngImage>();
  copy->image_ = image_;
  copy->image_.width = width;
  copy->image_.height = height;
  copy->image_.rgba = ResamplePixels(image_.rgba, image_.width, image_.height, width, height, true);
  copy->transparent_ = transparent_;
  copy->BuildBitmap();
  return copy;
}

void TPngImage::Draw(TCanvas& canvas, const RECT& dest) const {
  if (!premultiplied_) return;
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  ::GdiAlphaBlend(canvas.Handle(), dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top,
                  premultiplied_->Dc(), 0, 0, image_.width, image_.height, blend);
}

TPngImageCollectionItem& TPngImageCollection::Add() { return items_.emplace_back(); }

bool TPngImageCollection::ReadProperty(const std::string& name, const FormValue& value,
                                       TFormReader& reader) {
  if (name != "Items") return TComponent::ReadProperty(name, value, reader);
  if (value.kind != FormValue::Kind::Collection) TFormReader::Fail(value, "Collection expected");
  items_.clear();
  for (const FormProperties& props : value.items) {
    TPngImageCollectionItem& item = Add();
    for (const auto& [key, v] : props) {
      if (key == "Name") {
        item.Name = TFormReader::AsString(v);
      } else if (key == "PngImage" || key == "PngImage.Data") {
        if (v.kind != FormValue::Kind::Binary) TFormReader::Fail(v, "Binary data expected");
        try {
          item.PngImage.LoadFromData(v.binary);
        } catch (const EPngError& e) {
          TFormReader::Fail(v, e.what());
        }
      } else if (key == "Background") {
        item.Background = TFormReader::AsColor(v);
      } else {
        TFormReader::Fail(v, "Property " + key + " does not exist");
      }
    }
  }
  return true;
}

void RegisterImageClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterComponentClass<TPngImageCollection>("TPngImageCollection");
  RegisterGraphicFormat("\x89PNG", [](std::span<const std::uint8_t> data) -> std::unique_ptr<TGraphic> {
    auto png = std::make_unique<TPngImage>();
    png->LoadFromData(data);
    return png;
  });
}

}  // namespace mq
