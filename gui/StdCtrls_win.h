// The window-less standard controls and the timer: TLabel (sizes itself to its caption),
// TImage (shows a picture), TTimer (message-based, on the main thread).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "gui/Controls_win.h"
#include "gui/Graphics_win.h"

namespace mq {

class TLabel : public TGraphicControl {
 public:
  explicit TLabel(TComponent* owner);

  const std::string& Caption() const noexcept { return caption_; }
  void SetCaption(const std::string& c);
  std::string AccessibleName() const override { return caption_; }
  bool AutoSize() const noexcept { return autoSize_; }
  void SetAutoSize(bool on);
  bool Transparent() const noexcept { return transparent_; }
  void SetTransparent(bool on);
  TAlignment Alignment() const noexcept { return alignment_; }
  void SetAlignment(TAlignment a);
  TTextLayout Layout() const noexcept { return layout_; }
  void SetLayout(TTextLayout l);
  // An '&' marks the next character as an accelerator ("&&" shows one '&').
  bool ShowAccelChar() const noexcept { return showAccelChar_; }
  void SetShowAccelChar(bool on);

  bool ReadProperty(const std::string& name, const FormValue& value, TFormReader& reader) override;
  void Loaded() override;
  // Fits the size to the caption in the current font (when AutoSize is on).
  void AdjustBounds();

 protected:
  void Paint(TCanvas& canvas) override;
  bool FontChanged() override;

 private:
  UINT DrawFlags() const;
  std::string caption_;
  bool autoSize_ = true;
  bool transparent_ = false;
  TAlignment alignment_ = TAlignment::taLeftJustify;
  TTextLayout layout_ = TTextLayout::tlTop;
  bool showAccelChar_ = true;
};

class TImage : public TGraphicControl {
 public:
  explicit TImage(TComponent* owner);

  TPicture& Picture() noexcept { return picture_; }
  void SetPicture(const TPicture& p) { picture_.Assign(p); }
  bool Center() const noexcept { return center_; }
  void SetCenter(bool on);
  bool Stretch() const noexcept { return stretch_; }
  void SetStretch(bool on);
  bool Transparent() const noexcept { return transparent_; }
  void SetTransparent(bool on);
  bool AutoSize() const noexcept { return autoSize_; }
  void SetAutoSize(bool on);

  bool ReadProperty(const std::string& name, const FormValue& value, TFormReader& reader) override;
  // The picture keeps its design size; what is drawn is a smooth resample of it at the
  // control's resolution.
  void ScaleForDpi(int toDpi, int fromDpi) override;
  // The graphic as drawn: the picture, or its copy at the control's resolution.
  const TGraphic* DrawnGraphic() const noexcept;

 protected:
  void Paint(TCanvas& canvas) override;

 private:
  void PictureChanged();
  void Rescale();
  RECT DestRect() const;
  TPicture picture_;
  std::unique_ptr<TGraphic> scaled_;
  bool center_ = false, stretch_ = false, transparent_ = false, autoSize_ = false;
};

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  unsigned Interval() const noexcept { return interval_; }
  void SetInterval(unsigned ms);
  bool Enabled() const noexcept { return enabled_; }
  void SetEnabled(bool on);
  void SetOnTimer(TNotifyEvent handler);
  const TNotifyEvent& OnTimer() const noexcept { return onTimer_; }
  // True while the platform timer is set (enabled, interval above 0, handler assigned).
  bool Running() const noexcept { return id_ != 0; }

  bool ReadProperty(const std::string& name, const FormValue& value, TFormReader& reader) override;
  void Loaded() override;

  // Runs one tick as the platform timer does (the message handler calls it).
  void Tick();
  static void Dispatch(UINT_PTR id);

 private:
  void Update();
  unsigned interval_ = 1000;
  bool enabled_ = true;
  TNotifyEvent onTimer_;
  UINT_PTR id_ = 0;
};

}  // namespace mq
