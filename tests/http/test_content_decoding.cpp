// Content codings undone with zlib, and HTTP dates and Retry-After values.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "http/ContentDecoding.h"
#include "http/HttpDate.h"
#include "tests/support/Compress.h"

namespace mq {
namespace {

using test::Compress;

TEST(ContentDecoding, CodingsAndTheirFailures) {
  const std::string text = "<rss><channel><title>Packed</title></channel></rss>";
  const std::string gz = Compress(text, test::kGzipBits);
  const std::string big(1 << 20, 'x');  // 1 MiB that packs to about a kilobyte
  struct Case {
    const char* name;
    std::string coding;
    std::string body;
    std::size_t limit;
    std::optional<std::string> expected;  // nothing: fails
    const char* errorHas;
  };
  const Case cases[] = {
      {"no header", "", text, 1000, text, ""},
      {"identity", "identity", text, 1000, text, ""},
      {"gzip", "gzip", gz, 1000, text, ""},
      {"x-gzip, upper case, blanks", " X-GZIP ", gz, 1000, text, ""},
      {"two gzip members in a row", "gzip", gz + gz, 1000, text + text, ""},
      {"zlib stream as deflate", "deflate", Compress(text, test::kZlibBits), 1000, text, ""},
      {"raw deflate as deflate", "Deflate", Compress(text, test::kRawDeflateBits), 1000, text, ""},
      {"gzip then deflate, undone in reverse", "gzip, deflate", Compress(gz, test::kZlibBits), 1000,
       text, ""},
      {"identity in a list", "identity, gzip", gz, 1000, text, ""},
      {"bytes after the end are ignored", "gzip", gz + "trailing", 1000, text, ""},
      {"exactly at the limit", "gzip", Compress(big, test::kGzipBits), big.size(), big, ""},
      {"one byte past the limit", "gzip", Compress(big, test::kGzipBits), big.size() - 1, std::nullopt,
       "larger than the feed size limit once decompressed"},
      {"plain past the limit", "", big, big.size() - 1, std::nullopt, "larger than the feed size limit"},
      {"unknown coding", "br", text, 1000, std::nullopt, "'br'"},
      {"unknown in a list", "gzip, compress", gz, 1000, std::nullopt, "'compress'"},
      {"cut short", "gzip", gz.substr(0, gz.size() / 2), 1000, std::nullopt, "cut short"},
      {"not compressed at all", "gzip", text, 1000, std::nullopt, "damaged"},
      {"empty body labelled gzip", "gzip", "", 1000, std::nullopt, "cut short"},
      {"damaged check sum", "gzip", gz.substr(0, gz.size() - 8) + std::string(8, '\xff'), 1000,
       std::nullopt, "damaged"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TContentDecoding d = DecodeContent(c.coding, c.body, c.limit);
    EXPECT_EQ(d.ok, c.expected.has_value()) << d.error;
    if (c.expected) {
      EXPECT_EQ(d.body, *c.expected);
    } else {
      EXPECT_NE(d.error.find(c.errorHas), std::string::npos) << d.error;
    }
  }
}

// A body of 100 KB that inflates far past the limit is stopped there, quickly.
TEST(ContentDecoding, DecompressionBombStopsAtTheLimit) {
  // About 100 KB of gzip that inflates to 100 MB of zero bytes.
  const std::string bomb = Compress(std::string(100 * 1000 * 1000, '\0'), test::kGzipBits);
  ASSERT_LT(bomb.size(), 120u * 1000);
  const auto start = std::chrono::steady_clock::now();
  const TContentDecoding d = DecodeContent("gzip", bomb, std::size_t{16} << 20);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
          .count();
  EXPECT_FALSE(d.ok);
  EXPECT_TRUE(d.body.empty());
  EXPECT_NE(d.error.find("once decompressed"), std::string::npos) << d.error;
  EXPECT_LT(ms, 5000);
}

TEST(HttpDate, TheThreeFormsAndWhatIsRefused) {
  constexpr std::int64_t k1994 = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
  struct Case {
    const char* text;
    std::optional<std::int64_t> expected;
  };
  const Case cases[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", k1994},
      {"  Sun, 06 Nov 1994 08:49:37 GMT ", k1994},
      {"Sunday, 06-Nov-94 08:49:37 GMT", k1994},
      {"Sun Nov  6 08:49:37 1994", k1994},
      {"Thu, 01 Jan 1970 00:00:00 GMT", 0},
      {"Tue, 29 Feb 2028 23:59:59 GMT", 1835481599},
      {"Wed, 31 Dec 2025 23:59:60 GMT", 1767225600},
      {"Thursday, 01-Jan-70 00:00:00 GMT", 0},
      {"Sat, 01 Jan 2000 00:00:00 GMT", 946684800},
      {"Mon, 29 Feb 2027 00:00:00 GMT", std::nullopt},
      {"Sun, 31 Apr 1994 08:49:37 GMT", std::nullopt},
      {"Sun, 06 Nov 1994 24:00:00 GMT", std::nullopt},
      {"Sun, 06 Nov 1994 08:49:37 UTC", std::nullopt},
      {"Sun, 06 Foo 1994 08:49:37 GMT", std::nullopt},
      {"Sun, 6 Nov 1994 08:49:37 GMT", std::nullopt},
      {"Sun, 06 Nov 1994 08:49:37 GMT extra", std::nullopt},
      {"06 Nov 1994", std::nullopt},
      {"", std::nullopt},
      {"120", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseHttpDate(c.text), c.expected);
  }
}

TEST(HttpDate, RetryAfterSecondsOrADate) {
  const auto now =
      std::chrono::system_clock::time_point(std::chrono::seconds(1765188000));  // 2025-12-08 10:00
  struct Case {
    const char* name;
    const char* retryAfter;
    const char* date;
    std::optional<std::chrono::seconds> expected;
  };
  const Case cases[] = {
      {"seconds", "120", "", std::chrono::seconds(120)},
      {"seconds with blanks", " 0 ", "", std::chrono::seconds(0)},
      {"forty digits read as a year", "9999999999999999999999999999999999999999", "",
       std::chrono::seconds(365 * 86400)},
      {"a date against the clock", "Mon, 08 Dec 2025 10:30:00 GMT", "", std::chrono::seconds(1800)},
      {"a date against the response's Date", "Mon, 08 Dec 2025 10:30:00 GMT",
       "Mon, 08 Dec 2025 10:25:00 GMT", std::chrono::seconds(300)},
      {"an unreadable Date: the clock", "Mon, 08 Dec 2025 10:30:00 GMT", "yesterday",
       std::chrono::seconds(1800)},
      {"a date in the past", "Mon, 08 Dec 2025 09:00:00 GMT", "", std::chrono::seconds(0)},
      {"negative", "-5", "", std::nullopt},
      {"words", "soon", "", std::nullopt},
      {"empty", "", "", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RetryAfterDelay(c.retryAfter, c.date, now), c.expected);
  }
}

}  // namespace
}  // namespace mq
