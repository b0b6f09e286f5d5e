// The native build's charset converter: glibc's iconv.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/Utf.h"
#include "feeds/FeedDecode.h"

namespace mq {

namespace {

const char* IconvName(TCodePage codePage) {
  const unsigned cp = static_cast<unsigned>(codePage);
  switch (codePage) {
    case TCodePage::ShiftJis:
      return "CP932";
    case TCodePage::Gbk:
      return "CP936";
    case TCodePage::Uhc:
      return "CP949";
    case TCodePage::Big5:
      return "CP950";
    case TCodePage::Windows874:
      return "CP874";
    case TCodePage::Koi8R:
      return "KOI8-R";
    case TCodePage::Koi8U:
      return "KOI8-U";
    case TCodePage::EucJp:
      return "EUC-JP";
    case TCodePage::Gb18030:
      return "GB18030";
    default:
      break;
  }
  static const char* const kWindows[] = {"CP1250", "CP1251", "CP1252", "CP1253", "CP1254",
                                         "CP1255", "CP1256", "CP1257", "CP1258"};
  if (cp >= 1250 && cp <= 1258) return kWindows[cp - 1250];
  static const char* const kIso[] = {"ISO-8859-1",  "ISO-8859-2",  "ISO-8859-3",  "ISO-8859-4",
                                     "ISO-8859-5",  "ISO-8859-6",  "ISO-8859-7",  "ISO-8859-8",
                                     "ISO-8859-9",  "ISO-8859-10", "ISO-8859-11", "ISO-8859-12",
                                     "ISO-8859-13", "ISO-8859-14", "ISO-8859-15"};
  if (cp >= 28591 && cp <= 28605 && cp != 28601 && cp != 28602) return kIso[cp - 28591];
  return nullptr;
}

class TIconvConverter final : public TCharsetConverter {
 public:
  bool ToUtf8(TCodePage codePage, std::string_view bytes, std::string& out) override {
    const char* name = IconvName(codePage);
    if (!name) return false;
    iconv_t cd = iconv_open("UTF-8", name);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    const size_t base = out.size();
    // UTF-8 of these encodings takes at most 3 bytes for each input byte, plus a
    // replacement character's 3 bytes per undecodable byte: size the output once.
    out.resize(base + bytes.size() * 3 + 16);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* dst = out.data() + base;
    size_t dstLeft = out.size() - base;
    auto grow = [&](size_t need) {
      if (dstLeft >= need) return;
      const size_t used = static_cast<size_t>(dst - out.data());
      out.resize(out.size() + need + out.size() / 2);
      dst = out.data() + used;
      dstLeft = out.size() - used;
    };
    while (inLeft > 0) {
      if (iconv(cd, &in, &inLeft, &dst, &dstLeft) != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) {
        grow(64);
        continue;
      }
      // EILSEQ (a byte that starts no character) or EINVAL (a character cut off at the
      // end): one replacement character, then go on with the next byte.
      grow(3);
      std::string rep;
      AppendUtf8(rep, 0xFFFD);
      std::copy(rep.begin(), rep.end(), dst);
      dst += rep.size(), dstLeft -= rep.size();
      ++in, --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    grow(16);
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.resize(static_cast<size_t>(dst - out.data()));
    iconv_close(cd);
    return true;
  }

  TCodePage AnsiCodePage() override { return TCodePage::Windows1252; }
};

}  // namespace

TCharsetConverter& PlatformCharsetConverter() {
  static TIconvConverter converter;
  return converter;
}

}  // namespace mq
