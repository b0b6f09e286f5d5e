// The Windows build's charset converter: the platform's code pages, through
// MultiByteToWideChar and WideCharToMultiByte.
#include <windows.h>

#include "base/Utf.h"
#include "feeds/FeedDecode.h"

namespace mq {

namespace {

// No multi-byte character of the supported code pages contains a byte below 0x30 or one
// of ":;<=>?": the text can be cut after such a byte without splitting a character.
bool IsCutPoint(unsigned char b) { return b < 0x30 || (b >= 0x3A && b <= 0x3F); }

bool WideFrom(UINT cp, const char* bytes, int length, std::wstring& wide) {
  const int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes, length, nullptr, 0);
  if (n <= 0) return false;
  const size_t base = wide.size();
  wide.resize(base + static_cast<size_t>(n));
  MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes, length, wide.data() + base, n);
  return true;
}

// Converts a piece that failed as a whole one character at a time: at each position the
// shortest run of 1 to 4 bytes that converts is one character; a byte that starts none
// becomes U+FFFD.
void WideByCharacter(UINT cp, std::string_view piece, std::wstring& wide) {
  for (size_t i = 0; i < piece.size();) {
    size_t len = 1;
    while (len <= 4 && i + len <= piece.size() &&
           !WideFrom(cp, piece.data() + i, static_cast<int>(len), wide)) {
      ++len;
    }
    if (len > 4 || i + len > piece.size()) {
      wide += L'\xFFFD';
      ++i;
    } else {
      i += len;
    }
  }
}

void AppendWideAsUtf8(std::string& out, const std::wstring& wide) {
  if (wide.empty()) return;
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                    nullptr, nullptr);
  const size_t base = out.size();
  out.resize(base + static_cast<size_t>(n));
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data() + base, n,
                      nullptr, nullptr);
}

class TCodePageConverter final : public TCharsetConverter {
 public:
  bool ToUtf8(TCodePage codePage, std::string_view bytes, std::string& out) override {
    const UINT cp = static_cast<UINT>(codePage);
    if (!IsValidCodePage(cp)) return false;
    std::wstring wide;
    if (bytes.empty()) return true;
    if (bytes.size() <= 0x7FFFFFFF && WideFrom(cp, bytes.data(), static_cast<int>(bytes.size()), wide)) {
      AppendWideAsUtf8(out, wide);
      return true;
    }
    wide.clear();
    wide.reserve(bytes.size());
    // Some byte does not convert: go piece by piece, and character by character only
    // inside the pieces that fail.
    for (size_t start = 0; start < bytes.size();) {
      size_t end = start;
      while (end < bytes.size() && !IsCutPoint(static_cast<unsigned char>(bytes[end]))) ++end;
      if (end < bytes.size()) ++end;  // the cut point belongs to this piece
      const std::string_view piece = bytes.substr(start, end - start);
      if (!WideFrom(cp, piece.data(), static_cast<int>(piece.size()), wide))
        WideByCharacter(cp, piece, wide);
      start = end;
    }
    AppendWideAsUtf8(out, wide);
    return true;
  }

  TCodePage AnsiCodePage() override { return static_cast<TCodePage>(GetACP()); }
};

}  // namespace

TCharsetConverter& PlatformCharsetConverter() {
  static TCodePageConverter converter;
  return converter;
}

}  // namespace mq
