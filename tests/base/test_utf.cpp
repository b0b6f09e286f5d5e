#include "base/Utf.h"

#include <gtest/gtest.h>

using mq::FromWide;
using mq::ToWide;

TEST(Utf, RoundTripsEveryPlane) {
  const std::string text = "A\xC3\xA9\xE6\x96\xB0\xF0\x9F\x93\xB0";  // A é 新 📰
  EXPECT_EQ(FromWide(ToWide(text)), text);
}

TEST(Utf, IllFormedBytesBecomeReplacementCharactersAndLoseNothingAfter) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"a\xFF" "b", "a\xEF\xBF\xBD" "b"},                   // stray byte
      {"a\xE6\x96", "a\xEF\xBF\xBD\xEF\xBF\xBD"},           // truncated sequence
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},             // overlong
      {"\xED\xA0\x80x", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDx"},  // encoded surrogate
  };
  for (const auto& c : cases) EXPECT_EQ(FromWide(ToWide(c.in)), c.out) << c.in;
}

TEST(Utf, AppendUtf8RejectsSurrogatesAndOutOfRange) {
  std::string s;
  mq::AppendUtf8(s, 0xD800);
  mq::AppendUtf8(s, 0x110000);
  mq::AppendUtf8(s, 0x10FFFF);
  EXPECT_EQ(s, "\xEF\xBF\xBD\xEF\xBF\xBD\xF4\x8F\xBF\xBF");
}
