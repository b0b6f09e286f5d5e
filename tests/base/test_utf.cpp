#include "base/Utf.h"

#include <gtest/gtest.h>
#include "tests/support/TextCase.h"

using mq::FromWide;
using mq::ToWide;

TEST(Utf, RoundTripsEveryPlane) {
  const std::string text = "A\xC3\xA9\xE6\x96\xB0\xF0\x9F\x93\xB0";  // A é 新 📰
  EXPECT_EQ(FromWide(ToWide(text)), text);
}

TEST(Utf, IllFormedBytesBecomeReplacementCharactersAndLoseNothingAfter) {
  const mq::test::TextCase cases[] = {
      {"a\xFF"
       "b",
       "a\xEF\xBF\xBD"
       "b"},                                                       // stray byte
      {"a\xE6\x96", "a\xEF\xBF\xBD\xEF\xBF\xBD"},                  // truncated sequence
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                    // overlong
      {"\xED\xA0\x80x", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDx"},  // encoded surrogate
  };
  for (const mq::test::TextCase& c : cases) EXPECT_EQ(FromWide(ToWide(c.in)), c.out) << c.in;
}

TEST(Utf, AppendUtf8RejectsSurrogatesAndOutOfRange) {
  std::string s;
  mq::AppendUtf8(s, 0xD800);
  mq::AppendUtf8(s, 0x110000);
  mq::AppendUtf8(s, 0x10FFFF);
  EXPECT_EQ(s, "\xEF\xBF\xBD\xEF\xBF\xBD\xF4\x8F\xBF\xBF");
}

TEST(Utf, CutToCodePointsNeverSplitsACharacter) {
  const std::string e = "\xE2\x80\xA6";  // …
  struct Case {
    const char* name;
    std::string in;
    std::size_t max;
    std::string out;
  } cases[] = {
      {"fits", "abc", 3, "abc"},
      {"one over", "abcd", 3, "ab" + e},
      {"empty", "", 3, ""},
      {"limit 0", "abc", 0, ""},
      {"limit 1", "ab", 1, e},
      {"two-byte", "\xC3\xA9\xC3\xA9\xC3\xA9", 2, "\xC3\xA9" + e},
      {"three-byte fits", "\xE6\x96\xB0\xE6\x96\xB0", 2, "\xE6\x96\xB0\xE6\x96\xB0"},
      {"four-byte", "\xF0\x9F\x93\xB0\xF0\x9F\x93\xB0x", 2, "\xF0\x9F\x93\xB0" + e},
      {"stray continuation bytes are characters", "a\x80\x80\x80", 3, "a\x80" + e},
      {"a lead byte takes only its own length", "\xC3\xA9\xA9\xA9", 2, "\xC3\xA9" + e},
      {"truncated sequence at the end", "ab\xE6\x96", 3, "ab\xE6\x96"},
  };
  for (const Case& c : cases) EXPECT_EQ(mq::CutToCodePoints(c.in, c.max), c.out) << c.name;
}
