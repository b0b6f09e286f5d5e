#include "shell/BcFontUtilities_win.h"

#include <algorithm>

#include "base/Utf.h"

namespace mq {

LOGFONTW RotatedLogFont(const TFont& font, TDirection direction) {
  LOGFONTW lf{};
  lf.lfHeight = font.Height();
  lf.lfEscapement = direction == dDownToUp ? 900 : -900;
  lf.lfOrientation = 0;
  lf.lfWeight = (font.Style() & fsBold) ? 700 : 400;
  lf.lfItalic = (font.Style() & fsItalic) ? 1 : 0;
  lf.lfUnderline = (font.Style() & fsUnderline) ? 1 : 0;
  lf.lfStrikeOut = (font.Style() & fsStrikeOut) ? 1 : 0;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH;
  std::wstring face = ToWide(font.Name());
  face.resize(std::min<std::size_t>(face.size(), LF_FACESIZE - 1));
  std::copy(face.begin(), face.end(), lf.lfFaceName);
  return lf;
}

HFONT TRotatedFont::For(const TFont& font, TDirection direction) {
  if (!handle_ || direction != direction_ || !settings_.SameAs(font)) {
    const LOGFONTW lf = RotatedLogFont(font, direction);
    handle_.Reset(::CreateFontIndirectW(&lf));
    settings_ = font;
    direction_ = direction;
    ++created_;
  }
  return handle_.Get();
}

}  // namespace mq
