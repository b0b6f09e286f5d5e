// Decoding a feed's bytes into UTF-8 through the platform's converter (iconv natively, the
// Windows code pages under Wine).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "feeds/FeedDecode.h"

namespace mq {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";

std::string Decl(const char* encoding, const std::string& body) {
  return std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?><t>" + body + "</t>";
}
std::string Doc(const std::string& body) { return "<t>" + body + "</t>"; }

struct DecodeCase {
  const char* name;
  std::string bytes;
  std::string expected;  // without the declaration for declared cases
  TCodePage used;
  bool declared;
};

std::string Utf16(const std::u16string& text, bool bigEndian, bool bom) {
  std::string out;
  auto put = [&](char16_t u) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  };
  if (bom) put(0xFEFF);
  for (char16_t u : text) put(u);
  return out;
}

TEST(FeedDecode, DeclaredEncodings) {
  // Bytes made with Python's codecs ("中文".encode("gb2312") and so on).
  const DecodeCase cases[] = {
      {"GB2312", Decl("GB2312", "\xD6\xD0\xCE\xC4"), "\xE4\xB8\xAD\xE6\x96\x87", TCodePage::Gbk, true},
      {"gbk lower case", Decl("gbk", "\xD6\xD0\xCE\xC4"), "\xE4\xB8\xAD\xE6\x96\x87", TCodePage::Gbk,
       true},
      {"Big5", Decl("Big5", "\xA4\xA4\xA4\xE5"), "\xE4\xB8\xAD\xE6\x96\x87", TCodePage::Big5, true},
      {"Shift_JIS", Decl("Shift_JIS", "\x93\xFA\x96\x7B"), "\xE6\x97\xA5\xE6\x9C\xAC",
       TCodePage::ShiftJis, true},
      {"EUC-JP", Decl("EUC-JP", "\xC6\xFC\xCB\xDC"), "\xE6\x97\xA5\xE6\x9C\xAC", TCodePage::EucJp, true},
      {"EUC-KR", Decl("EUC-KR", "\xC7\xD1\xB1\xB9"), "\xED\x95\x9C\xEA\xB5\xAD", TCodePage::Uhc, true},
      {"ISO-8859-1 read as windows-1252",
       Decl("ISO-8859-1",
            "\x93"
            "caf\xE9\x94"),
       "\xE2\x80\x9C"
       "caf\xC3\xA9\xE2\x80\x9D",
       TCodePage::Windows1252, true},
      {"ISO-8859-2", Decl("ISO-8859-2", "\xA3\xF3\x64\xBC"),
       "\xC5\x81\xC3\xB3"
       "d\xC5\xBA",
       static_cast<TCodePage>(28592), true},
      {"ISO-8859-3", Decl("ISO-8859-3", "\xB6"), "\xC4\xA5", static_cast<TCodePage>(28593), true},
      {"ISO-8859-4", Decl("ISO-8859-4", "\xA2"), "\xC4\xB8", static_cast<TCodePage>(28594), true},
      {"ISO-8859-5", Decl("ISO-8859-5", "\xBC\xD8\xE0"), "\xD0\x9C\xD0\xB8\xD1\x80",
       static_cast<TCodePage>(28595), true},
      {"ISO-8859-6", Decl("ISO-8859-6", "\xD9"), "\xD8\xB9", static_cast<TCodePage>(28596), true},
      {"ISO-8859-7", Decl("ISO-8859-7", "\xC5\xEB"), "\xCE\x95\xCE\xBB", static_cast<TCodePage>(28597),
       true},
      {"ISO-8859-8", Decl("ISO-8859-8", "\xF9"), "\xD7\xA9", static_cast<TCodePage>(28598), true},
      {"ISO-8859-9", Decl("ISO-8859-9", "\xFE"), "\xC5\x9F", static_cast<TCodePage>(28599), true},
      {"ISO-8859-11 as windows-874", Decl("ISO-8859-11", "\xA1"), "\xE0\xB8\x81", TCodePage::Windows874,
       true},
      {"ISO-8859-13", Decl("ISO-8859-13", "\xE0"), "\xC4\x85", static_cast<TCodePage>(28603), true},
      {"ISO-8859-15 euro", Decl("iso-8859-15", "\xA4"), "\xE2\x82\xAC", static_cast<TCodePage>(28605),
       true},
      {"windows-1250", Decl("windows-1250", "\xA3\xF3\x64\x9F"),
       "\xC5\x81\xC3\xB3"
       "d\xC5\xBA",
       TCodePage::Windows1250, true},
      {"windows-1251", Decl("windows-1251", "\xCF\xF0\xE8\xE2\xE5\xF2"),
       "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", TCodePage::Windows1251, true},
      {"windows-1253", Decl("windows-1253", "\xD9"), "\xCE\xA9", TCodePage::Windows1253, true},
      {"windows-1254", Decl("windows-1254", "\xF0"), "\xC4\x9F", TCodePage::Windows1254, true},
      {"windows-1255", Decl("windows-1255", "\xF9"), "\xD7\xA9", TCodePage::Windows1255, true},
      {"windows-1256", Decl("windows-1256", "\xDA"), "\xD8\xB9", TCodePage::Windows1256, true},
      {"windows-1257", Decl("windows-1257", "\xEB"), "\xC4\x97", TCodePage::Windows1257, true},
      {"windows-1258", Decl("windows-1258", "\xD0\xE0"), "\xC4\x90\xC3\xA0", TCodePage::Windows1258,
       true},
      {"KOI8-R", Decl("KOI8-R", "\xF0\xD2\xC9\xD7\xC5\xD4"),
       "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", TCodePage::Koi8R, true},
      {"KOI8-U", Decl("KOI8-U", "\xB7\xA7"), "\xD0\x87\xD1\x97", TCodePage::Koi8U, true},
      {"single-quoted name, blanks around =", "<?xml version='1.0' encoding = 'big5' ?><t>\xA4\xA4</t>",
       "<?xml version='1.0' encoding = 'big5' ?><t>\xE4\xB8\xAD</t>", TCodePage::Big5, false},
  };
  TCharsetConverter& conv = PlatformCharsetConverter();
  for (const DecodeCase& c : cases) {
    TCodePage used{};
    const std::string out = DecodeFeedBytes(c.bytes, conv, &used);
    EXPECT_EQ(static_cast<unsigned>(used), static_cast<unsigned>(c.used)) << c.name;
    if (c.declared) {
      const size_t body = out.find("<t>");
      ASSERT_NE(body, std::string::npos) << c.name;
      EXPECT_EQ(out.substr(body), Doc(c.expected)) << c.name;
      EXPECT_EQ(out.substr(0, body), c.bytes.substr(0, c.bytes.find("<t>"))) << c.name;
    } else {
      EXPECT_EQ(out, c.expected) << c.name;
    }
  }
}

TEST(FeedDecode, Gb18030) {
  TCharsetConverter& conv = PlatformCharsetConverter();
  std::string probe;
  const bool known = conv.ToUtf8(TCodePage::Gb18030, "a", probe);
#ifndef _WIN32
  EXPECT_TRUE(known);  // glibc's iconv has it; Wine 8 has no code page 54936
#endif
  TCodePage used{};
  const std::string out =
      DecodeFeedBytes(Decl("GB18030", "\xD6\xD0\x94\x39\xFC\x36\x81\x30\x81\x30"), conv, &used);
  const std::string body = out.substr(out.find("<t>"));
  if (known) {
    EXPECT_EQ(static_cast<unsigned>(used), static_cast<unsigned>(TCodePage::Gb18030));
    EXPECT_EQ(body, Doc("\xE4\xB8\xAD\xF0\x9F\x98\x80\xC2\x80"));
  } else {
    // Read as GBK: the two-byte character survives, the four-byte ones do not.
    EXPECT_EQ(static_cast<unsigned>(used), static_cast<unsigned>(TCodePage::Gbk));
    EXPECT_EQ(body.substr(0, 6), "<t>\xE4\xB8\xAD");
    EXPECT_NE(body.find(kFffd), std::string::npos);
  }
}

TEST(FeedDecode, MarksAndUtf) {
  const std::u16string text = u"<t>\u4E2D\U0001F600</t>";
  const std::string utf8 = "<t>\xE4\xB8\xAD\xF0\x9F\x98\x80</t>";
  const DecodeCase cases[] = {
      {"UTF-8 mark dropped", "\xEF\xBB\xBF" + utf8, utf8, TCodePage::Utf8, false},
      {"UTF-8 mark beats the declaration",
       "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"gb2312\"?>" + utf8,
       "<?xml version=\"1.0\" encoding=\"gb2312\"?>" + utf8, TCodePage::Utf8, false},
      {"UTF-16 LE mark", Utf16(text, false, true), utf8, TCodePage::Utf16LE, false},
      {"UTF-16 BE mark", Utf16(text, true, true), utf8, TCodePage::Utf16BE, false},
      {"UTF-16 LE without mark", Utf16(text, false, false), utf8, TCodePage::Utf16LE, false},
      {"UTF-16 BE without mark", Utf16(text, true, false), utf8, TCodePage::Utf16BE, false},
      {"UTF-16 unpaired surrogate",
       Utf16(u"<a\xD800"
             u"b",
             false, true),
       "<a" + kFffd + "b", TCodePage::Utf16LE, false},
      {"UTF-16 odd last byte", Utf16(u"<a", false, true) + "x", "<a" + kFffd, TCodePage::Utf16LE, false},
      {"plain valid UTF-8", utf8, utf8, TCodePage::Utf8, false},
      {"declared UTF-8 keeps bad bytes as U+FFFD",
       "<?xml version=\"1.0\" encoding=\"utf-8\"?>a\xE9z\xE4\xB8",
       "<?xml version=\"1.0\" encoding=\"utf-8\"?>a" + kFffd + "z" + kFffd + kFffd, TCodePage::Utf8,
       false},
      {"overlong and surrogate forms are not UTF-8",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\xC0\xAF\xED\xA0\x80",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + kFffd + kFffd + kFffd + kFffd + kFffd,
       TCodePage::Utf8, false},
      {"8-bit text declared UTF-16 is read as UTF-8",
       "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + utf8,
       "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + utf8, TCodePage::Utf8, false},
      {"unknown name falls back to UTF-8", "<?xml version=\"1.0\" encoding=\"x-nothing\"?>" + utf8,
       "<?xml version=\"1.0\" encoding=\"x-nothing\"?>" + utf8, TCodePage::Utf8, false},
      {"encoding outside the declaration is ignored", "<t encoding=\"big5\">\xE4\xB8\xAD</t>",
       "<t encoding=\"big5\">\xE4\xB8\xAD</t>", TCodePage::Utf8, false},
      {"empty", "", "", TCodePage::Utf8, false},
  };
  for (const DecodeCase& c : cases) {
    TCodePage used{};
    EXPECT_EQ(DecodeFeedBytes(c.bytes, PlatformCharsetConverter(), &used), c.expected) << c.name;
    EXPECT_EQ(static_cast<unsigned>(used), static_cast<unsigned>(c.used)) << c.name;
  }
}

TEST(FeedDecode, UndecodableBytesBecomeReplacementCharacters) {
  const DecodeCase cases[] = {
      {"bad GBK lead byte", Decl("GB2312", "\xD6\xD0\xFF\xCE\xC4"),
       "\xE4\xB8\xAD" + kFffd + "\xE6\x96\x87", TCodePage::Gbk, true},
      {"GBK character cut off before the markup", Decl("GBK", "\xD6\xD0\xD6"), "\xE4\xB8\xAD" + kFffd,
       TCodePage::Gbk, true},
      {"bad Big5 trail byte", Decl("Big5", "\xA4\x20\xA4\xA4"), kFffd + " \xE4\xB8\xAD", TCodePage::Big5,
       true},
      {"bad Shift_JIS byte", Decl("Shift_JIS", "\xA0\x93\xFA"), kFffd + "\xE6\x97\xA5",
       TCodePage::ShiftJis, true},
  };
  for (const DecodeCase& c : cases) {
    const std::string out = DecodeFeedBytes(c.bytes, PlatformCharsetConverter());
    EXPECT_EQ(out.substr(out.find("<t>")), Doc(c.expected)) << c.name;
  }
}

TEST(FeedDecode, BadBytesInALongDocumentOnlyTouchThemselves) {
  const std::string unit = "<i>\xD6\xD0</i>";  // one GBK character per element
  std::string body;
  for (int i = 0; i < 20000; ++i) body += unit;
  std::string bytes = Decl("gb2312", body);
  bytes[bytes.find("<t>") + 3 + 10000 * unit.size() + 3] = '\xFF';  // its lead byte breaks
  const std::string out = DecodeFeedBytes(bytes, PlatformCharsetConverter());
  auto count = [&](const std::string& what) {
    size_t n = 0;
    for (size_t at = 0; (at = out.find(what, at)) != std::string::npos; at += what.size()) ++n;
    return n;
  };
  EXPECT_EQ(count("\xE4\xB8\xAD"), 19999u);
  EXPECT_EQ(count(kFffd), 2u);  // the bad byte, and the trail byte left without a lead
  EXPECT_EQ(count("<i>"), 20000u);
  EXPECT_EQ(count("</i>"), 20000u);
}

TEST(FeedDecode, InvalidUtf8WithoutDeclarationUsesTheAnsiCodePage) {
  TCharsetConverter& conv = PlatformCharsetConverter();
  const std::string bytes = "<t>caf\xE9</t>";
  TCodePage used{};
  const std::string out = DecodeFeedBytes(bytes, conv, &used);
  EXPECT_EQ(used, conv.AnsiCodePage());
  std::string direct;
  ASSERT_TRUE(conv.ToUtf8(conv.AnsiCodePage(), bytes, direct));
  EXPECT_EQ(out, direct);
  if (conv.AnsiCodePage() == TCodePage::Windows1252) {
    EXPECT_EQ(out, "<t>caf\xC3\xA9</t>");
  }
#ifndef _WIN32
  EXPECT_EQ(conv.AnsiCodePage(), TCodePage::Windows1252);
#endif
}

// A converter that knows nothing, and one that records what it was asked.
class TRecordingConverter final : public TCharsetConverter {
 public:
  explicit TRecordingConverter(bool knows) : knows_(knows) {}
  bool ToUtf8(TCodePage codePage, std::string_view bytes, std::string& out) override {
    asked.push_back(codePage);
    if (!knows_) return false;
    out += "[converted]";
    return true;
  }
  TCodePage AnsiCodePage() override { return TCodePage::Windows1251; }
  std::vector<TCodePage> asked;

 private:
  bool knows_;
};

TEST(FeedDecode, DecisionsGoThroughTheConverter) {
  {
    TRecordingConverter conv(true);
    EXPECT_EQ(DecodeFeedBytes(Decl("koi8-r", "x"), conv), "[converted]");
    EXPECT_EQ(conv.asked, std::vector<TCodePage>{TCodePage::Koi8R});
  }
  {
    TRecordingConverter conv(true);
    EXPECT_EQ(DecodeFeedBytes("<t>\xCF</t>", conv), "[converted]");
    EXPECT_EQ(conv.asked, std::vector<TCodePage>{TCodePage::Windows1251});
  }
  {
    TRecordingConverter conv(true);  // valid UTF-8 never reaches the converter
    EXPECT_EQ(DecodeFeedBytes("<t>\xD0\x9F</t>", conv), "<t>\xD0\x9F</t>");
    EXPECT_TRUE(conv.asked.empty());
  }
  {
    TRecordingConverter conv(false);  // unknown to the platform: UTF-8 with replacements
    EXPECT_EQ(DecodeFeedBytes(Decl("koi8-r", "\xF0"), conv), Decl("koi8-r", kFffd));
    EXPECT_EQ(conv.asked, (std::vector<TCodePage>{TCodePage::Koi8R, TCodePage::Windows1251}));
  }
}

TEST(FeedDecode, EncodingNames) {
  struct NameCase {
    const char* name;
    unsigned codePage;  // 0: unknown
  };
  const NameCase cases[] = {
      {"UTF-8", 65001},      {"utf8", 65001},        {"GB2312", 936},
      {"gb_2312-80", 936},   {"GBK", 936},           {"x-gbk", 936},
      {"GB18030", 54936},    {"BIG5", 950},          {"big5-hkscs", 950},
      {"Shift_JIS", 932},    {"shift-jis", 932},     {"Windows-31J", 932},
      {"EUC-JP", 20932},     {"EUC-KR", 949},        {"ks_c_5601-1987", 949},
      {"ISO-8859-1", 1252},  {"latin1", 1252},       {"US-ASCII", 1252},
      {"iso_8859-2", 28592}, {"ISO8859-5", 28595},   {"ISO-8859-15", 28605},
      {"latin9", 28605},     {"windows-1250", 1250}, {"CP1251", 1251},
      {"x-cp1252", 1252},    {"windows-1258", 1258}, {"KOI8-R", 20866},
      {"koi8-u", 21866},     {"UTF-16", 1200},       {"windows-1259", 0},
      {"ISO-8859-12", 0},    {"ebcdic", 0},          {"", 0},
  };
  for (const NameCase& c : cases) {
    TCodePage cp{};
    EXPECT_EQ(CodePageFromName(c.name, cp), c.codePage != 0) << c.name;
    if (c.codePage != 0) {
      EXPECT_EQ(static_cast<unsigned>(cp), c.codePage) << c.name;
    }
  }
}

TEST(FeedDecode, DeclaredEncodingIsReadFromTheDeclarationOnly) {
  EXPECT_EQ(DeclaredEncoding("  \r\n<?xml version=\"1.0\" encoding=\"Big5\"?><r/>"), "Big5");
  EXPECT_EQ(DeclaredEncoding("<?xml version=\"1.0\" standalone=\"yes\"?><r encoding=\"x\"/>"), "");
  EXPECT_EQ(DeclaredEncoding("<?xml-stylesheet encoding=\"x\"?>"), "");
  EXPECT_EQ(DeclaredEncoding("<?xml version=\"1.0\" myencoding=\"x\"?>"), "");
  EXPECT_EQ(DeclaredEncoding("<?xml version=\"1.0\" encoding=\"x"), "");
  EXPECT_EQ(DeclaredEncoding(""), "");
}

}  // namespace
}  // namespace mq
