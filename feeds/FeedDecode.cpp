#include "feeds/FeedDecode.h"

#include <cstdint>
#include <cstring>

#include "base/Utf.h"

namespace mq {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Length of the well-formed UTF-8 sequence at bytes[i], or 0 when it is ill-formed.
size_t SequenceLength(std::string_view bytes, size_t i) {
  const auto b0 = static_cast<unsigned char>(bytes[i]);
  if (b0 < 0x80) return 1;
  size_t len;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    if (b0 == 0xE0) lo = 0xA0;  // overlong
    if (b0 == 0xED) hi = 0x9F;  // surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    if (b0 == 0xF0) lo = 0x90;  // overlong
    if (b0 == 0xF4) hi = 0x8F;  // beyond U+10FFFF
  } else {
    return 0;
  }
  if (bytes.size() - i < len) return 0;
  const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
  if (b1 < lo || b1 > hi) return 0;
  for (size_t k = 2; k < len; ++k) {
    if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return 0;
  }
  return len;
}

// Index of the first byte that is not ASCII, at or after `from`.
size_t SkipAscii(std::string_view bytes, size_t from) {
  size_t i = from;
  while (i + 8 <= bytes.size()) {
    uint64_t word;
    std::memcpy(&word, bytes.data() + i, 8);
    if (word & 0x8080808080808080ull) break;
    i += 8;
  }
  while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80) ++i;
  return i;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Normalized(std::string_view name) {
  std::string key;
  for (char c : name) {
    if (c >= 'A' && c <= 'Z')
      key += static_cast<char>(c + 32);
    else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
      key += c;
  }
  return key;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (size_t i = SkipAscii(bytes, 0); i < bytes.size(); i = SkipAscii(bytes, i)) {
    const size_t len = SequenceLength(bytes, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

void AppendRepairedUtf8(std::string& out, std::string_view bytes) {
  size_t start = 0;
  for (size_t i = SkipAscii(bytes, 0); i < bytes.size(); i = SkipAscii(bytes, i)) {
    const size_t len = SequenceLength(bytes, i);
    if (len != 0) {
      i += len;
      continue;
    }
    out.append(bytes, start, i - start);
    AppendUtf8(out, kReplacement);
    start = ++i;
  }
  out.append(bytes, start, std::string_view::npos);
}

void AppendUtf16(std::string& out, std::string_view bytes, bool bigEndian) {
  auto unit = [&](size_t i) -> char32_t {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? (a << 8 | b) : (b << 8 | a);
  };
  const size_t n = bytes.size() & ~size_t{1};
  out.reserve(out.size() + n / 2);
  for (size_t i = 0; i < n; i += 2) {
    char32_t cp = unit(i);
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < n) {
      const char32_t lo = unit(i + 2);
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
        i += 2;
      }
    }
    AppendUtf8(out, cp);  // an unpaired surrogate becomes U+FFFD there
  }
  if (bytes.size() != n) AppendUtf8(out, kReplacement);
}

bool CodePageFromName(std::string_view name, TCodePage& codePage) {
  struct Alias {
    const char* key;
    unsigned codePage;
  };
  static constexpr Alias kAliases[] = {
      {"utf8", 65001},        {"unicode11utf8", 65001},
      {"utf16", 1200},        {"utf16le", 1200},
      {"utf16be", 1201},      {"gb2312", 936},
      {"gbk", 936},           {"cp936", 936},
      {"xgbk", 936},          {"windows936", 936},
      {"csgb2312", 936},      {"chinese", 936},
      {"gb231280", 936},      {"euccn", 936},
      {"xeuccn", 936},        {"gb18030", 54936},
      {"big5", 950},          {"big5hkscs", 950},
      {"cnbig5", 950},        {"xxbig5", 950},
      {"csbig5", 950},        {"cp950", 950},
      {"windows950", 950},    {"shiftjis", 932},
      {"sjis", 932},          {"xsjis", 932},
      {"mskanji", 932},       {"windows31j", 932},
      {"cp932", 932},         {"csshiftjis", 932},
      {"windows932", 932},    {"eucjp", 20932},
      {"xeucjp", 20932},      {"cseucpkdfmtjapanese", 20932},
      {"euckr", 949},         {"cp949", 949},
      {"windows949", 949},    {"ksc56011987", 949},
      {"ksc5601", 949},       {"korean", 949},
      {"csksc56011987", 949}, {"cseuckr", 949},
      {"iso88591", 1252},     {"latin1", 1252},
      {"l1", 1252},           {"usascii", 1252},
      {"ascii", 1252},        {"cp819", 1252},
      {"ibm819", 1252},       {"csisolatin1", 1252},
      {"iso885911987", 1252}, {"iso88592", 28592},
      {"latin2", 28592},      {"iso88593", 28593},
      {"latin3", 28593},      {"iso88594", 28594},
      {"latin4", 28594},      {"iso88595", 28595},
      {"cyrillic", 28595},    {"iso88596", 28596},
      {"arabic", 28596},      {"iso88597", 28597},
      {"greek", 28597},       {"iso88598", 28598},
      {"hebrew", 28598},      {"iso88599", 28599},
      {"latin5", 28599},      {"iso885910", 28600},
      {"latin6", 28600},      {"iso885911", 874},
      {"tis620", 874},        {"windows874", 874},
      {"cp874", 874},         {"iso885913", 28603},
      {"iso885914", 28604},   {"iso885915", 28605},
      {"latin9", 28605},      {"koi8r", 20866},
      {"cskoi8r", 20866},     {"koi8", 20866},
      {"koi8u", 21866},
  };
  const std::string key = Normalized(name);
  for (const Alias& a : kAliases) {
    if (key == a.key) {
      codePage = static_cast<TCodePage>(a.codePage);
      return true;
    }
  }
  // windows-1250 ... windows-1258, cp1250 ..., x-cp1250 ...
  for (std::string_view prefix : {"windows", "cp", "xcp"}) {
    if (key.size() == prefix.size() + 4 && key.compare(0, prefix.size(), prefix) == 0 &&
        key.compare(prefix.size(), 3, "125") == 0) {
      const char d = key.back();
      if (d >= '0' && d <= '8') {
        codePage = static_cast<TCodePage>(1250 + (d - '0'));
        return true;
      }
    }
  }
  return false;
}

std::string_view DeclaredEncoding(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size() && IsBlank(bytes[i])) ++i;
  if (bytes.compare(i, 5, "<?xml") != 0 || i + 5 >= bytes.size() || !IsBlank(bytes[i + 5])) return {};
  const size_t end = bytes.find("?>", i + 5);
  if (end == std::string_view::npos) return {};
  const std::string_view decl = bytes.substr(i + 5, end - i - 5);
  for (size_t at = decl.find("encoding"); at != std::string_view::npos;
       at = decl.find("encoding", at + 8)) {
    if (at > 0 && !IsBlank(decl[at - 1])) continue;
    size_t k = at + 8;
    while (k < decl.size() && IsBlank(decl[k])) ++k;
    if (k >= decl.size() || decl[k] != '=') continue;
    ++k;
    while (k < decl.size() && IsBlank(decl[k])) ++k;
    if (k >= decl.size() || (decl[k] != '"' && decl[k] != '\'')) continue;
    const size_t close = decl.find(decl[k], k + 1);
    if (close == std::string_view::npos) return {};
    return decl.substr(k + 1, close - k - 1);
  }
  return {};
}

std::string DecodeFeedBytes(std::string_view bytes, TCharsetConverter& converter, TCodePage* used) {
  std::string out;
  auto done = [&](TCodePage cp) {
    if (used) *used = cp;
    return std::move(out);
  };
  auto byteAt = [&](size_t i) {
    return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u;
  };

  if (byteAt(0) == 0xEF && byteAt(1) == 0xBB && byteAt(2) == 0xBF) {
    AppendRepairedUtf8(out, bytes.substr(3));
    return done(TCodePage::Utf8);
  }
  if (byteAt(0) == 0xFF && byteAt(1) == 0xFE) {
    AppendUtf16(out, bytes.substr(2), false);
    return done(TCodePage::Utf16LE);
  }
  if (byteAt(0) == 0xFE && byteAt(1) == 0xFF) {
    AppendUtf16(out, bytes.substr(2), true);
    return done(TCodePage::Utf16BE);
  }
  if (byteAt(0) == '<' && byteAt(1) == 0) {
    AppendUtf16(out, bytes, false);
    return done(TCodePage::Utf16LE);
  }
  if (byteAt(0) == 0 && byteAt(1) == '<') {
    AppendUtf16(out, bytes, true);
    return done(TCodePage::Utf16BE);
  }

  // JSON is UTF-8 by definition: a text that starts (after blanks) with "{" is handed over as
  // it is, and the JSON reader refuses it when it is not well-formed UTF-8.
  if (const size_t first = bytes.find_first_not_of(" \t\r\n");
      first != std::string_view::npos && bytes[first] == '{') {
    out.assign(bytes);
    return done(TCodePage::Utf8);
  }

  TCodePage declared;
  if (CodePageFromName(DeclaredEncoding(bytes), declared)) {
    // A document whose declaration could be read as 8-bit text is not UTF-16, whatever it says.
    if (declared == TCodePage::Utf8) {
      AppendRepairedUtf8(out, bytes);
      return done(TCodePage::Utf8);
    }
    if (declared != TCodePage::Utf16LE && declared != TCodePage::Utf16BE &&
        converter.ToUtf8(declared, bytes, out)) {
      return done(declared);
    }
    // A platform without GB18030 still reads its two-byte part, which is GBK.
    if (declared == TCodePage::Gb18030 && converter.ToUtf8(TCodePage::Gbk, bytes, out)) {
      return done(TCodePage::Gbk);
    }
  }
  if (IsValidUtf8(bytes)) {
    out.assign(bytes);
    return done(TCodePage::Utf8);
  }
  const TCodePage ansi = converter.AnsiCodePage();
  if (ansi != TCodePage::Utf8 && converter.ToUtf8(ansi, bytes, out)) return done(ansi);
  AppendRepairedUtf8(out, bytes);
  return done(TCodePage::Utf8);
}

std::string DecodeFeedBytes(std::string_view bytes) {
  return DecodeFeedBytes(bytes, PlatformCharsetConverter());
}

}  // namespace mq
