#include "http/ALHttpCommon.h"

#include <cmath>
#include <cstdio>

#include "base/AsciiText.h"

namespace mq {

namespace {

const char* const kRequestHeaderNames[kALHTTPRequestHeaderFieldCount] = {
#define AL_FIELD_NAME(index, prop, name) name,
    AL_HTTP_REQUEST_HEADER_FIELDS(AL_FIELD_NAME)
#undef AL_FIELD_NAME
};

const char* const kResponseHeaderNames[kALHTTPResponseHeaderFieldCount] = {
#define AL_FIELD_NAME(index, prop, name) name,
    AL_HTTP_RESPONSE_HEADER_FIELDS(AL_FIELD_NAME)
#undef AL_FIELD_NAME
};

bool IsCookieSafe(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '!':
    case '$':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '-':
    case '.':
    case '@':
    case '_':
      return true;
    default:
      return false;
  }
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Splits at CR LF, a lone LF or a lone CR; a final line break does not start a new line.
std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.emplace_back(text.substr(start, i - start));
      i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

// The name of a header line: the text before its first colon, empty when there is none.
std::string_view LineName(std::string_view line) {
  const size_t colon = line.find(':');
  return colon == std::string_view::npos ? std::string_view() : line.substr(0, colon);
}

std::string_view LineValue(std::string_view line) {
  const size_t colon = line.find(':');
  return colon == std::string_view::npos ? std::string_view() : line.substr(colon + 1);
}

// Index of the first line named `name` (letter case ignored), or -1.
int FindLine(const std::vector<std::string>& lines, std::string_view name) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find(':') != std::string::npos && EqualsNoCase(LineName(lines[i]), name)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

// Decodes one cookie piece: '+' is a space, "%%" a percent sign, "%XY" the byte XY.
std::string DecodeCookieValue(std::string_view piece) {
  std::string out;
  out.reserve(piece.size());
  for (size_t i = 0; i < piece.size(); ++i) {
    const char c = piece[i];
    if (c == '+') {
      out += ' ';
    } else if (c != '%') {
      out += c;
    } else if (i + 1 < piece.size() && piece[i + 1] == '%') {
      out += '%';
      ++i;
    } else {
      const int position = static_cast<int>(i) + 1;
      if (i + 2 >= piece.size()) {
        char message[96];
        std::snprintf(message, sizeof message,
                      "Error decoding URL style (%%XX) encoded string at position %d", position);
        throw EALHTTPDecodeError(message);
      }
      const int hi = HexValue(piece[i + 1]);
      const int lo = HexValue(piece[i + 2]);
      if (hi < 0 || lo < 0) {
        const std::string pair(piece.substr(i + 1, 2));
        char message[96];
        std::snprintf(message, sizeof message, "Invalid URL encoded character (%s) at position %d",
                      pair.c_str(), position);
        throw EALHTTPDecodeError(message);
      }
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    }
  }
  return out;
}

// Splits a "Cookie" value at ';', skipping blanks at the start of each piece and keeping
// quoted text (single or double quotes) together without its quotes.
std::vector<std::string> SplitCookieLine(std::string_view value) {
  std::vector<std::string> pieces;
  size_t i = 0;
  while (i < value.size()) {
    while (i < value.size() && value[i] == ' ') ++i;
    std::string piece;
    char quote = 0;
    for (; i < value.size(); ++i) {
      const char c = value[i];
      if (quote != 0) {
        if (c == quote) {
          quote = 0;
        } else {
          piece += c;
        }
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == ';') {
        break;
      } else {
        piece += c;
      }
    }
    if (i < value.size()) ++i;  // the ';'
    pieces.push_back(std::move(piece));
  }
  return pieces;
}

// Proleptic Gregorian date of a day count since 1970-01-01.
void CivilFromDays(long long z, int& year, int& month, int& day) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long y = yoe + era * 400;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2 ? 1 : 0));
}

// "Wed, 09-Jun-2021 10:18:14" for a date-time counted in days since 30 December 1899.
std::string FormatCookieDate(double value) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  constexpr long long kMsPerDay = 86400000;
  long long days = static_cast<long long>(std::trunc(value));
  // Before day 0 the fraction still counts forward from midnight.
  long long ms = std::llround(std::fabs(value - static_cast<double>(days)) * kMsPerDay);
  if (ms >= kMsPerDay) {
    ms -= kMsPerDay;
    ++days;
  }
  constexpr long long kDaysTo1970 = 25569;
  int year, month, day;
  CivilFromDays(days - kDaysTo1970, year, month, day);
  // 30 December 1899 was a Saturday.
  const int weekday = static_cast<int>((((days + 6) % 7) + 7) % 7);
  const long long seconds = ms / 1000;
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d-%s-%04d %02d:%02d:%02d", kDays[weekday], day,
                kMonths[month - 1], year, static_cast<int>(seconds / 3600),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  return text;
}

}  // namespace

void TALPersistent::Assign(const TALPersistent& source) {
  throw EALAssignError(std::string("Cannot assign a ") + source.ClassName() + " to a " + ClassName());
}

std::string_view ALTrim(std::string_view text) {
  size_t b = 0;
  size_t e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
  return text.substr(b, e - b);
}

std::string EncodeCookiePart(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (IsCookieSafe(c)) {
      out += ch;
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

// ---- cookies

std::string TALHTTPRequestCookie::CookieText() const {
  std::string text = EncodeCookiePart(Name) + "=" + EncodeCookiePart(Value) + "; ";
  if (!Domain.empty()) text += "domain=" + Domain + "; ";
  if (!Path.empty()) text += "path=" + Path + "; ";
  if (Expires > -1.0) text += "expires=" + FormatCookieDate(Expires) + " GMT; ";
  if (Secure) text += "secure";
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "; ") == 0) text.resize(text.size() - 2);
  return text;
}

void TALHTTPRequestCookie::Assign(const TALPersistent& source) {
  const auto* other = dynamic_cast<const TALHTTPRequestCookie*>(&source);
  if (other == nullptr) return TALPersistent::Assign(source);
  if (other == this) return;
  Name = other->Name;
  Value = other->Value;
  Domain = other->Domain;
  Path = other->Path;
  Expires = other->Expires;
  Secure = other->Secure;
}

TALHTTPRequestCookie& TALHTTPRequestCookieCollection::Add() {
  items_.push_back(std::make_unique<TALHTTPRequestCookie>());
  return *items_.back();
}

void TALHTTPRequestCookieCollection::Delete(int index) {
  if (index < 0 || index >= Count()) throw std::out_of_range("cookie index out of range");
  items_.erase(items_.begin() + index);
}

void TALHTTPRequestCookieCollection::Assign(const TALPersistent& source) {
  const auto* other = dynamic_cast<const TALHTTPRequestCookieCollection*>(&source);
  if (other == nullptr) return TALPersistent::Assign(source);
  if (other == this) return;
  std::vector<std::unique_ptr<TALHTTPRequestCookie>> copy;
  copy.reserve(other->items_.size());
  for (const auto& item : other->items_) {
    copy.push_back(std::make_unique<TALHTTPRequestCookie>());
    copy.back()->Assign(*item);
  }
  items_ = std::move(copy);
}

// ---- request header

const char* ALHTTPRequestHeaderName(int index) {
  return (index >= 0 && index < kALHTTPRequestHeaderFieldCount) ? kRequestHeaderNames[index] : "";
}

TALHTTPRequestHeader::TALHTTPRequestHeader(TALPersistent* owner) : owner_(owner) {
  Clear();  // no handler attached yet, so nothing is reported
  fields_[rhfAccept] = "text/html, */*";
}

void TALHTTPRequestHeader::SetField(int index, const std::string& value) {
  std::string& field = fields_.at(index);
  if (field == value) return;
  field = value;
  Changed(index);
}

void TALHTTPRequestHeader::Clear() {
  for (auto& field : fields_) field.clear();
  customHeaders_.clear();
  cookies_.Clear();
  Changed(-1);
}

void TALHTTPRequestHeader::Assign(const TALPersistent& source) {
  const auto* other = dynamic_cast<const TALHTTPRequestHeader*>(&source);
  if (other == nullptr) return TALPersistent::Assign(source);
  if (other != this) {
    fields_ = other->fields_;
    customHeaders_ = other->customHeaders_;
    cookies_.Assign(other->cookies_);
  }
  Changed(-1);
}

void TALHTTPRequestHeader::Changed(int index) {
  if (OnChange) OnChange(*this, index);
}

std::string TALHTTPRequestHeader::ComposeHeaderText() const {
  std::string text;
  for (int i = 0; i < kALHTTPRequestHeaderFieldCount; ++i) {
    const std::string_view value = ALTrim(fields_[i]);
    if (value.empty()) continue;
    text += kRequestHeaderNames[i];
    text += ": ";
    text += value;
    text += "\r\n";
  }
  for (const std::string& line : customHeaders_) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string_view name = std::string_view(line).substr(0, colon);
    const std::string_view value = ALTrim(std::string_view(line).substr(colon + 1));
    if (ALTrim(name).empty() || value.empty()) continue;
    text += name;
    text += ": ";
    text += value;
    text += "\r\n";
  }
  for (int i = 0; i < cookies_.Count(); ++i) {
    const TALHTTPRequestCookie& cookie = cookies_[i];
    if (ALTrim(cookie.Name).empty()) continue;
    text += "Set-Cookie: ";
    text += ALTrim(cookie.CookieText());
    text += "\r\n";
  }
  return text;
}

// ---- response header

const char* ALHTTPResponseHeaderName(int index) {
  return (index >= 0 && index < kALHTTPResponseHeaderFieldCount) ? kResponseHeaderNames[index] : "";
}

void TALHTTPResponseHeader::SetRawHeaderText(std::string_view raw) {
  std::vector<std::string> lines = SplitLines(raw);

  for (int i = 0; i < kALHTTPResponseHeaderFieldCount; ++i) {
    const int found = FindLine(lines, kResponseHeaderNames[i]);
    if (found < 0) {
      fields_[i].clear();
      continue;
    }
    fields_[i] = std::string(ALTrim(LineValue(lines[found])));
    lines.erase(lines.begin() + found);
  }

  std::vector<std::string> cookies;
  const int cookieLine = FindLine(lines, "Cookie");
  if (cookieLine >= 0) {
    for (const std::string& piece : SplitCookieLine(LineValue(lines[cookieLine]))) {
      std::string decoded = DecodeCookieValue(piece);
      if (!decoded.empty()) cookies.push_back(std::move(decoded));
    }
    lines.erase(lines.begin() + cookieLine);
  }
  cookieValues_ = std::move(cookies);

  protocolVersion_.clear();
  statusCode_.clear();
  reasonPhrase_.clear();
  if (!lines.empty()) {
    std::string_view rest = lines.front();
    auto cut = [&rest]() {
      const size_t space = rest.find(' ');
      std::string_view part = rest;
      if (space == std::string_view::npos) {
        rest = std::string_view();
      } else {
        part = rest.substr(0, space);
        rest = rest.substr(space + 1);
      }
      return std::string(ALTrim(part));
    };
    protocolVersion_ = cut();
    statusCode_ = cut();
    reasonPhrase_ = std::string(ALTrim(rest));
  }

  otherHeaders_.clear();
  for (std::string& line : lines) {
    if (!ALTrim(line).empty()) otherHeaders_.push_back(std::move(line));
  }
  raw_ = std::string(raw);
}

}  // namespace mq
