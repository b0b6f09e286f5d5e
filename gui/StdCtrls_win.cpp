#include "gui/StdCtrls_win.h"

#include <map>

#include "base/Utf.h"
#include "gui/Forms_win.h"

namespace mq {

// --- TLabel -----------------------------------------------------------------------------

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 65, 17); }

void TLabel::SetCaption(const std::string& c) {
  if (c == caption_) return;
  caption_ = c;
  AdjustBounds();
  Invalidate();
  AccessibleNameChanged();
}

void TLabel::SetAutoSize(bool on) {
  if (on == autoSize_) return;
  autoSize_ = on;
  AdjustBounds();
}

void TLabel::SetTransparent(bool on) {
  if (on == transparent_) return;
  transparent_ = on;
  SetOpaque(!on);
  Invalidate();
}

void TLabel::SetAlignment(TAlignment a) {
  if (a == alignment_) return;
  alignment_ = a;
  Invalidate();
}

void TLabel::SetLayout(TTextLayout l) {
  if (l == layout_) return;
  layout_ = l;
  Invalidate();
}

void TLabel::SetShowAccelChar(bool on) {
  if (on == showAccelChar_) return;
  showAccelChar_ = on;
  AdjustBounds();
  Invalidate();
}

UINT TLabel::DrawFlags() const {
  UINT f = DT_SINGLELINE | DT_EXPANDTABS;
  if (!showAccelChar_) f |= DT_NOPREFIX;
  return f;
}

void TLabel::AdjustBounds() {
  if (!autoSize_ || Loading()) return;
  UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
  if (!dc) return;
  SelectGuard font(dc.Get(), Font().Handle());
  std::wstring text = ToWide(caption_.empty() ? std::string(" ") : caption_);
  RECT r{0, 0, 0, 0};
  ::DrawTextW(dc.Get(), text.c_str(), int(text.size()), &r, DrawFlags() | DT_CALCRECT);
  int l = Left();
  if (alignment_ == TAlignment::taRightJustify) l = Left() + Width() - r.right;
  SetBounds(l, Top(), r.right, r.bottom);
}

bool TLabel::FontChanged() {
  AdjustBounds();
  Invalidate();
  return true;
}

void TLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TLabel::Paint(TCanvas& canvas) {
  HDC dc = canvas.Handle();
  RECT r = ClientRect();
  if (!transparent_) {
    canvas.BrushColor = Color();
    canvas.FillRect(r);
  }
  const std::wstring text = ToWide(caption_);
  SelectGuard font(dc, Font().Handle());
  ::SetBkMode(dc, TRANSPARENT);
  UINT flags = DrawFlags();
  if (alignment_ == TAlignment::taCenter) flags |= DT_CENTER;
  if (alignment_ == TAlignment::taRightJustify) flags |= DT_RIGHT;
  if (layout_ == TTextLayout::tlCenter) flags |= DT_VCENTER;
  if (layout_ == TTextLayout::tlBottom) flags |= DT_BOTTOM;
  if (Enabled()) {
    ::SetTextColor(dc, ColorToRgb(Font().Color()));
    ::DrawTextW(dc, text.c_str(), int(text.size()), &r, flags);
  } else {
    RECT shifted = r;
    ::OffsetRect(&shifted, 1, 1);
    ::SetTextColor(dc, ColorToRgb(clBtnHighlight));
    ::DrawTextW(dc, text.c_str(), int(text.size()), &shifted, flags);
    ::SetTextColor(dc, ColorToRgb(clBtnShadow));
    ::DrawTextW(dc, text.c_str(), int(text.size()), &r, flags);
  }
}

bool TLabel::ReadProperty(const std::string& name, const FormValue& v, TFormReader& r) {
  if (name == "Caption") return SetCaption(r.AsString(v)), true;
  if (name == "AutoSize") return SetAutoSize(r.AsBool(v)), true;
  if (name == "Transparent") return SetTransparent(r.AsBool(v)), true;
  if (name == "ShowAccelChar") return SetShowAccelChar(r.AsBool(v)), true;
  if (name == "Alignment")
    return SetAlignment(r.AsEnum<TAlignment>(v, {{"taLeftJustify", TAlignment::taLeftJustify},
                                                 {"taRightJustify", TAlignment::taRightJustify},
                                                 {"taCenter", TAlignment::taCenter}})),
           true;
  if (name == "Layout")
    return SetLayout(r.AsEnum<TTextLayout>(v, {{"tlTop", TTextLayout::tlTop},
                                               {"tlCenter", TTextLayout::tlCenter},
                                               {"tlBottom", TTextLayout::tlBottom}})),
           true;
  return TGraphicControl::ReadProperty(name, v, r);
}

// --- TImage -----------------------------------------------------------------------------

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 105, 105);
  picture_.OnChange = [this](TObject*) { PictureChanged(); };
}

void TImage::PictureChanged() {
  Rescale();
  if (const TGraphic* g = DrawnGraphic(); autoSize_ && g && g->Width() > 0)
    SetBounds(Left(), Top(), g->Width(), g->Height());
  Invalidate();
}

void TImage::Rescale() {
  const TGraphic* g = picture_.Graphic();
  scaled_.reset();
  if (g && !g->Empty() && PixelsPerInch() != kDesignDpi)
    scaled_ = g->Resampled(ScaleValue(g->Width()), ScaleValue(g->Height()));
}

const TGraphic* TImage::DrawnGraphic() const noexcept {
  return scaled_ ? scaled_.get() : picture_.Graphic();
}

void TImage::ScaleForDpi(int toDpi, int fromDpi) {
  TGraphicControl::ScaleForDpi(toDpi, fromDpi);
  Rescale();
  Invalidate();
}

void TImage::SetCenter(bool on) {
  if (on != center_) center_ = on, Invalidate();
}
void TImage::SetStretch(bool on) {
  if (on != stretch_) stretch_ = on, Invalidate();
}
void TImage::SetTransparent(bool on) {
  if (on == transparent_) return;
  transparent_ = on;
  if (TGraphic* g = picture_.Graphic(); g && dynamic_cast<TBitmap*>(g)) g->SetTransparent(on);
  Invalidate();
}
void TImage::SetAutoSize(bool on) {
  autoSize_ = on;
  if (on) PictureChanged();
}

RECT TImage::DestRect() const {
  // A graphic that cannot be resampled is drawn stretched to its size at this resolution.
  const TGraphic* g = DrawnGraphic();
  const bool stretched = g && !scaled_;
  const int pw = !g ? 0 : stretched ? ScaleValue(g->Width()) : g->Width();
  const int ph = !g ? 0 : stretched ? ScaleValue(g->Height()) : g->Height();
  if (stretch_) return ClientRect();
  RECT r{0, 0, pw, ph};
  if (center_) ::OffsetRect(&r, (Width() - pw) / 2, (Height() - ph) / 2);
  return r;
}

void TImage::Paint(TCanvas& canvas) {
  TGraphic* g = scaled_ ? scaled_.get() : picture_.Graphic();
  if (!g || g->Empty()) return;
  if (auto* bmp = dynamic_cast<TBitmap*>(g)) bmp->SetTransparent(transparent_);
  g->Draw(canvas, DestRect());
}

bool TImage::ReadProperty(const std::string& name, const FormValue& v, TFormReader& r) {
  if (name == "Picture.Data") {
    if (v.kind != FormValue::Kind::Binary) TFormReader::Fail(v, "Binary data expected");
    try {
      picture_.LoadFromData(v.binary);
    } catch (const EFormTextError&) {
      throw;
    } catch (const std::exception& e) {
      TFormReader::Fail(v, e.what());
    }
    return true;
  }
  if (name == "Center") return SetCenter(r.AsBool(v)), true;
  if (name == "Stretch") return SetStretch(r.AsBool(v)), true;
  if (name == "Transparent") return SetTransparent(r.AsBool(v)), true;
  if (name == "AutoSize") return SetAutoSize(r.AsBool(v)), true;
  return TGraphicControl::ReadProperty(name, v, r);
}

// --- TTimer -----------------------------------------------------------------------------

namespace {
std::map<UINT_PTR, TTimer*>& Timers() {
  static std::map<UINT_PTR, TTimer*> timers;
  return timers;
}
UINT_PTR g_nextTimerId = 1;
}  // namespace

TTimer::TTimer(TComponent* owner) : TComponent(owner) {}

TTimer::~TTimer() {
  enabled_ = false;
  Update();
}

void TTimer::SetInterval(unsigned ms) {
  if (ms == interval_) return;
  interval_ = ms;
  Update();
}

void TTimer::SetEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  Update();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
  onTimer_ = std::move(handler);
  Update();
}

void TTimer::Update() {
  if (id_ != 0) {
    ::KillTimer(Application().UtilityWindow(), id_);
    Timers().erase(id_);
    id_ = 0;
  }
  if (enabled_ && interval_ > 0 && onTimer_ && !Loading()) {
    const UINT_PTR id = g_nextTimerId++;
    if (::SetTimer(Application().UtilityWindow(), id, interval_, nullptr) == 0)
      throw std::runtime_error("Not enough timers available");
    id_ = id;
    Timers()[id_] = this;
  }
}

void TTimer::Tick() {
  if (onTimer_) onTimer_(this);
}

void TTimer::Dispatch(UINT_PTR id) {
  auto it = Timers().find(id);
  if (it != Timers().end()) it->second->Tick();
}

void TTimer::Loaded() {
  TComponent::Loaded();
  Update();
}

bool TTimer::ReadProperty(const std::string& name, const FormValue& v, TFormReader& r) {
  if (name == "Interval") {
    const std::int64_t i = r.AsInteger(v);
    if (i < 0 || i > 0x7FFFFFFF) TFormReader::Fail(v, "Invalid interval");
    return interval_ = unsigned(i), true;
  }
  if (name == "Enabled") return enabled_ = r.AsBool(v), true;
  if (name == "OnTimer") return onTimer_ = r.Event<TNotifyEvent>(v), true;
  return TComponent::ReadProperty(name, v, r);
}

}  // namespace mq
