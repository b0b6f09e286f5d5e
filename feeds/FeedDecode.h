// Turns the bytes of a downloaded feed into UTF-8 text, before anything looks at them.
#pragma once

#include <string>
#include <string_view>

namespace mq {

// A character encoding, named by its Windows code page number.
enum class TCodePage : unsigned {
  Utf8 = 65001,
  Utf16LE = 1200,
  Utf16BE = 1201,
  ShiftJis = 932,  // Shift_JIS with the Windows extensions
  Gbk = 936,       // GB2312 and GBK
  Uhc = 949,       // EUC-KR with the Windows extensions
  Big5 = 950,
  Windows1250 = 1250,
  Windows1251 = 1251,
  Windows1252 = 1252,
  Windows1253 = 1253,
  Windows1254 = 1254,
  Windows1255 = 1255,
  Windows1256 = 1256,
  Windows1257 = 1257,
  Windows1258 = 1258,
  Koi8R = 20866,
  Koi8U = 21866,
  EucJp = 20932,
  Iso8859_1 = 28591,  // ISO-8859-2 to -15 follow as 28592 ... 28605
  Windows874 = 874,   // ISO-8859-11 (TIS-620) with the Windows extensions
  Gb18030 = 54936,
};

// The platform's conversion of 8-bit encodings (iconv in the native build, the code-page
// functions in the Windows build).
class TCharsetConverter {
 public:
  virtual ~TCharsetConverter() = default;
  // Appends the bytes, read in the code page, to `out` as UTF-8. A byte that cannot be
  // decoded becomes U+FFFD; nothing is dropped. False, with `out` unchanged, when the
  // platform does not know the code page.
  virtual bool ToUtf8(TCodePage codePage, std::string_view bytes, std::string& out) = 0;
  // The code page of 8-bit text that names no encoding and is not UTF-8.
  virtual TCodePage AnsiCodePage() = 0;
};

// The platform's converter (one per process, safe to share between threads).
TCharsetConverter& PlatformCharsetConverter();

// The code page an encoding name from an XML declaration stands for, ignoring case
// ("UTF-8", "gb2312", "ISO-8859-15", "windows-1251", "Shift_JIS" ...); false when unknown.
// ISO-8859-1 and US-ASCII are read as windows-1252 and GB2312 as GBK, their supersets, as
// browsers do.
bool CodePageFromName(std::string_view name, TCodePage& codePage);

// The encoding named by the XML declaration at the start of the bytes (after optional
// blanks), as written; empty when there is no declaration or it names none.
std::string_view DeclaredEncoding(std::string_view bytes);

// The feed's bytes as UTF-8. The encoding: a byte-order mark decides first (UTF-8, UTF-16 LE
// or BE; the mark is dropped); then UTF-16 without a mark when the bytes start with "<" and a
// zero byte; then a JSON text (first non-blank byte "{"), which is UTF-8 by definition and
// is returned as it is, for the JSON reader to check; then the encoding the XML declaration names, when
// the converter knows it; else UTF-8 when the bytes are valid UTF-8; else the converter's ANSI code
// page. A converter without GB18030 reads such a document as GBK, its two-byte subset. Undecodable bytes
// become U+FFFD. `used`, when given, receives the code page that was applied.
std::string DecodeFeedBytes(std::string_view bytes, TCharsetConverter& converter,
                            TCodePage* used = nullptr);
std::string DecodeFeedBytes(std::string_view bytes);

// Helpers the converters share.
bool IsValidUtf8(std::string_view bytes);
// Appends UTF-8 with each ill-formed sequence replaced by U+FFFD.
void AppendRepairedUtf8(std::string& out, std::string_view bytes);
void AppendUtf16(std::string& out, std::string_view bytes, bool bigEndian);

}  // namespace mq
