#include "http/HttpDate.h"

#include <algorithm>
#include <array>

#include "base/AsciiText.h"

namespace mq {
namespace {

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Reads the text piece by piece; any mismatch leaves it failed.
class TScanner {
 public:
  explicit TScanner(std::string_view text) : text_(text) {}
  bool Failed() const { return failed_; }
  bool AtEnd() const { return text_.empty(); }

  void Literal(std::string_view s) {
    if (text_.substr(0, s.size()) != s) failed_ = true;
    if (!failed_) text_.remove_prefix(s.size());
  }
  void Blanks() {
    if (text_.empty() || text_.front() != ' ') failed_ = true;
    while (!text_.empty() && text_.front() == ' ') text_.remove_prefix(1);
  }
  // A number of `min` to `max` digits.
  int Number(std::size_t min, std::size_t max) {
    std::size_t n = 0;
    int value = 0;
    while (n < text_.size() && n < max && text_[n] >= '0' && text_[n] <= '9')
      value = value * 10 + (text_[n++] - '0');
    if (n < min) failed_ = true;
    text_.remove_prefix(n);
    return value;
  }
  // Letters up to the next character that is not one.
  std::string_view Word() {
    std::size_t n = 0;
    while (n < text_.size() &&
           ((text_[n] >= 'A' && text_[n] <= 'Z') || (text_[n] >= 'a' && text_[n] <= 'z')))
      ++n;
    if (n == 0) failed_ = true;
    const std::string_view word = text_.substr(0, n);
    text_.remove_prefix(n);
    return word;
  }
  int Month() {
    const std::string_view word = Word();
    for (std::size_t i = 0; i < kMonths.size(); ++i)
      if (word == kMonths[i]) return static_cast<int>(i) + 1;
    failed_ = true;
    return 0;
  }
  void Time(int& h, int& m, int& s) {
    h = Number(2, 2);
    Literal(":");
    m = Number(2, 2);
    Literal(":");
    s = Number(2, 2);
  }

 private:
  std::string_view text_;
  bool failed_ = false;
};

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = static_cast<int>(y - era * 400);
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct TCivil {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

std::optional<std::int64_t> ToSeconds(const TCivil& c) {
  if (c.month < 1 || c.month > 12 || c.day < 1 || c.day > DaysInMonth(c.year, c.month) || c.hour > 23 ||
      c.minute > 59 || c.second > 60)
    return std::nullopt;
  return DaysFromCivil(c.year, c.month, c.day) * 86400 + std::int64_t{c.hour} * 3600 +
         std::int64_t{c.minute} * 60 + c.second;
}

}  // namespace

std::optional<std::int64_t> ParseHttpDate(std::string_view text) {
  text = TrimBlanks(text);
  TScanner scan(text);
  TCivil c;
  scan.Word();  // the day's name
  if (text.find(',') != std::string_view::npos) {
    // Sun, 06 Nov 1994 08:49:37 GMT, or the older Sunday, 06-Nov-94 08:49:37 GMT
    const bool dashes = text.find('-') != std::string_view::npos;
    const auto separator = [&] { dashes ? scan.Literal("-") : scan.Blanks(); };
    scan.Literal(",");
    scan.Blanks();
    c.day = scan.Number(2, 2);
    separator();
    c.month = scan.Month();
    separator();
    if (dashes) {
      c.year = scan.Number(2, 2);
      c.year += c.year >= 70 ? 1900 : 2000;
    } else {
      c.year = scan.Number(4, 4);
    }
    scan.Blanks();
    scan.Time(c.hour, c.minute, c.second);
    scan.Blanks();
    scan.Literal("GMT");
  } else {
    // Sun Nov  6 08:49:37 1994
    scan.Blanks();
    c.month = scan.Month();
    scan.Blanks();
    c.day = scan.Number(1, 2);
    scan.Blanks();
    scan.Time(c.hour, c.minute, c.second);
    scan.Blanks();
    c.year = scan.Number(4, 4);
  }
  if (scan.Failed() || !scan.AtEnd()) return std::nullopt;
  return ToSeconds(c);
}

std::optional<std::chrono::seconds> RetryAfterDelay(std::string_view retryAfter,
                                                    std::string_view responseDate,
                                                    std::chrono::system_clock::time_point now) {
  retryAfter = TrimBlanks(retryAfter);
  if (retryAfter.empty()) return std::nullopt;
  if (retryAfter.find_first_not_of("0123456789") == std::string_view::npos) {
    // Seconds; anything beyond a year reads as a year (no overflow from forty digits).
    constexpr std::int64_t kYear = 365LL * 86400;
    std::int64_t value = 0;
    for (char ch : retryAfter) value = std::min<std::int64_t>(value * 10 + (ch - '0'), kYear);
    return std::chrono::seconds(value);
  }
  const std::optional<std::int64_t> until = ParseHttpDate(retryAfter);
  if (!until) return std::nullopt;
  std::int64_t from = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
  if (const std::optional<std::int64_t> date = ParseHttpDate(responseDate)) from = *date;
  return std::chrono::seconds(*until > from ? *until - from : 0);
}

}  // namespace mq
