// feeddump's JSON: escaping, and the object made of a loaded feed.
#include <gtest/gtest.h>

#include <string>

#include "feeds/FeedJson.h"
#include "tests/support/FeedTestSupport.h"

namespace mq {
namespace {

TEST(FeedJson, StringEscaping) {
  struct Case {
    const char* name;
    std::string text;
    std::string json;
  };
  const Case cases[] = {
      {"plain", "abc", "\"abc\""},
      {"quote and backslash", "a\"b\\c", "\"a\\\"b\\\\c\""},
      {"line ends and tab", "a\r\nb\tc", "\"a\\r\\nb\\tc\""},
      {"backspace and form feed", "\b\f", "\"\\b\\f\""},
      {"other control characters", std::string("\x00\x01\x1F\x7F", 4),
       "\"\\u0000\\u0001\\u001F\\u007F\""},
      {"utf-8 as it is", "caf\xC3\xA9 \xF0\x9F\x98\x80", "\"caf\xC3\xA9 \xF0\x9F\x98\x80\""},
      {"slash untouched", "a/b", "\"a/b\""},
  };
  for (const Case& c : cases) {
    std::string out;
    AppendJsonString(out, c.text);
    EXPECT_EQ(out, c.json) << c.name;
  }
}

TEST(FeedJson, LoadedFeed) {
  test::TRecordingReporter reporter;
  TRSSHandler handler(&reporter);
  handler.LoadFromText(test::Rss("<title>T &amp;amp; co</title><link>http://l/</link>" +
                                 test::Item("One&amp;nbsp;two", "<pubDate>Mon</pubDate>") +
                                 test::Item("Two")));
  TFeedJsonOptions options;
  options.file = "f.xml";
  options.codePage = 65001;
  options.kind = "rss";
  EXPECT_EQ(FeedToJson(handler, options),
            "{\n  \"file\": \"f.xml\",\n  \"codePage\": 65001,\n  \"kind\": \"rss\",\n  \"title\": \"T "
            "& co\",\n"
            "  \"link\": \"http://l/\",\n  \"description\": \"\",\n  \"items\": [\n"
            "    {\n      \"title\": \"One\xC2\xA0two\",\n      \"link\": \"\",\n      \"description\": "
            "\"\",\n"
            "      \"pubDate\": \"Mon\"\n    },\n"
            "    {\n      \"title\": \"Two\",\n      \"link\": \"\",\n      \"description\": \"\",\n"
            "      \"pubDate\": \"\"\n    }\n  ]\n}\n");
  options.decodeRefs = false;
  options.error = "broken";
  const std::string raw = FeedToJson(handler, options);
  EXPECT_NE(raw.find("\"error\": \"broken\",\n"), std::string::npos);
  EXPECT_NE(raw.find("\"title\": \"T &amp; co\""), std::string::npos);
}

TEST(FeedJson, EmptyFeed) {
  test::TRecordingReporter reporter;
  TRSSHandler handler(&reporter);
  const std::string json = FeedToJson(handler, TFeedJsonOptions{});
  EXPECT_NE(json.find("\"items\": []\n}\n"), std::string::npos);
}

}  // namespace
}  // namespace mq
