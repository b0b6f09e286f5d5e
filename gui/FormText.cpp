#include "gui/FormText.h"

#include <cctype>

#include "base/Utf.h"

namespace mq {

namespace {

constexpr int kMaxDepth = 64;

class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  FormObject ParseRoot() {
    SkipBlanks();
    FormObject obj = ParseObject(0);
    SkipBlanks();
    if (pos_ != s_.size()) Fail("Text after the end of the description");
    return obj;
  }

 private:
  [[noreturn]] void Fail(const std::string& message) const { throw EFormTextError(message, line_); }

  bool AtEnd() const { return pos_ >= s_.size(); }
  char Peek() const { return AtEnd() ? '\0' : s_[pos_]; }

  void SkipBlanks() {
    while (!AtEnd()) {
      char c = s_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++pos_;
      } else if (c == '/' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '/') {
        while (!AtEnd() && s_[pos_] != '\n') ++pos_;
      } else {
        break;
      }
    }
  }

  static bool IdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
  static bool IdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

  // An identifier; with `dotted`, parts joined by '.' (property paths like Font.Name).
  std::string Ident(bool dotted) {
    SkipBlanks();
    if (!IdentStart(Peek())) Fail("Identifier expected");
    size_t start = pos_;
    while (!AtEnd() && (IdentChar(s_[pos_]) ||
                        (dotted && s_[pos_] == '.' && pos_ + 1 < s_.size() && IdentStart(s_[pos_ + 1]))))
      ++pos_;
    return std::string(s_.substr(start, pos_ - start));
  }

  bool KeywordAhead(std::string_view word) {
    SkipBlanks();
    if (s_.substr(pos_, word.size()) != word) return false;
    size_t after = pos_ + word.size();
    return after >= s_.size() || !IdentChar(s_[after]);
  }

  void Expect(char c) {
    SkipBlanks();
    if (Peek() != c) Fail(std::string("'") + c + "' expected");
    ++pos_;
  }

  FormObject ParseObject(int depth) {
    if (depth > kMaxDepth) Fail("Objects nested too deeply");
    if (!KeywordAhead("object") && !KeywordAhead("inherited")) Fail("'object' expected");
    FormObject obj;
    obj.line = line_;
    Ident(false);  // object / inherited
    std::string first = Ident(false);
    SkipBlanks();
    if (Peek() == ':') {
      ++pos_;
      obj.name = first;
      obj.className = Ident(false);
    } else {
      obj.className = first;
    }
    for (;;) {
      SkipBlanks();
      if (AtEnd()) Fail("'end' expected");
      if (KeywordAhead("end")) {
        Ident(false);
        return obj;
      }
      if (KeywordAhead("object") || KeywordAhead("inherited")) {
        obj.children.push_back(ParseObject(depth + 1));
        continue;
      }
      std::string name = Ident(true);
      Expect('=');
      obj.properties.emplace_back(std::move(name), ParseValue(depth));
    }
  }

  FormProperties ParseItem(int depth) {
    FormProperties props;
    for (;;) {
      SkipBlanks();
      if (AtEnd()) Fail("'end' expected");
      if (KeywordAhead("end")) {
        Ident(false);
        return props;
      }
      std::string name = Ident(true);
      Expect('=');
      props.emplace_back(std::move(name), ParseValue(depth));
    }
  }

  static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  std::int64_t Number() {
    bool negative = false;
    if (Peek() == '-' || Peek() == '+') {
      negative = Peek() == '-';
      ++pos_;
    }
    std::uint64_t v = 0;
    int digits = 0;
    if (Peek() == '$') {
      ++pos_;
      while (!AtEnd() && HexDigit(s_[pos_]) >= 0) {
        if (++digits > 16) Fail("Number too large");
        v = v * 16 + std::uint64_t(HexDigit(s_[pos_++]));
      }
    } else {
      while (!AtEnd() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) {
        std::uint64_t next = v * 10 + std::uint64_t(s_[pos_++] - '0');
        if (++digits > 18) Fail("Number too large");
        v = next;
      }
    }
    if (digits == 0) Fail("Number expected");
    if (!AtEnd() && (IdentChar(s_[pos_]) || s_[pos_] == '.')) Fail("Invalid number");
    return negative ? -std::int64_t(v) : std::int64_t(v);
  }

  // 'quoted' and #nnn pieces that follow each other form one string; '+' at the end of a
  // line continues it.
  std::string String() {
    std::string out;
    for (;;) {
      bool any = false;
      while (!AtEnd() && (s_[pos_] == '\'' || s_[pos_] == '#')) {
        any = true;
        if (s_[pos_] == '\'') {
          ++pos_;
          for (;;) {
            if (AtEnd() || s_[pos_] == '\n') Fail("Unterminated string");
            if (s_[pos_] == '\'') {
              if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '\'') {
                out += '\'';
                pos_ += 2;
                continue;
              }
              ++pos_;
              break;
            }
            out += s_[pos_++];
          }
        } else {
          ++pos_;
          std::int64_t code = Number();
          if (code < 0 || code > 0x10FFFF) Fail("Invalid character code");
          AppendUtf8(out, char32_t(code));
        }
      }
      if (!any) Fail("String expected");
      size_t save = pos_;
      int saveLine = line_;
      SkipBlanks();
      if (Peek() == '+') {
        ++pos_;
        SkipBlanks();
        if (Peek() == '\'' || Peek() == '#') continue;
        Fail("String expected after '+'");
      }
      pos_ = save;
      line_ = saveLine;
      return out;
    }
  }

  FormValue ParseValue(int depth) {
    SkipBlanks();
    FormValue v;
    v.line = line_;
    char c = Peek();
    if (c == '\'' || c == '#') {
      v.kind = FormValue::Kind::String;
      v.text = String();
    } else if (c == '-' || c == '+' || c == '$' || std::isdigit(static_cast<unsigned char>(c))) {
      v.kind = FormValue::Kind::Integer;
      v.integer = Number();
    } else if (IdentStart(c)) {
      v.kind = FormValue::Kind::Ident;
      v.text = Ident(true);
    } else if (c == '[') {
      ++pos_;
      v.kind = FormValue::Kind::Set;
      SkipBlanks();
      if (Peek() != ']') {
        for (;;) {
          v.set.push_back(Ident(false));
          SkipBlanks();
          if (Peek() == ',') {
            ++pos_;
            continue;
          }
          break;
        }
      }
      Expect(']');
    } else if (c == '{') {
      ++pos_;
      v.kind = FormValue::Kind::Binary;
      int high = -1;
      for (;;) {
        SkipBlanks();
        if (AtEnd()) Fail("'}' expected");
        if (s_[pos_] == '}') {
          ++pos_;
          break;
        }
        int d = HexDigit(s_[pos_]);
        if (d < 0) Fail("Invalid binary data");
        ++pos_;
        if (high < 0) {
          high = d;
        } else {
          v.binary.push_back(std::uint8_t(high * 16 + d));
          high = -1;
        }
      }
      if (high >= 0) Fail("Odd number of hex digits");
    } else if (c == '<') {
      ++pos_;
      v.kind = FormValue::Kind::Collection;
      if (depth + 1 > kMaxDepth) Fail("Objects nested too deeply");
      for (;;) {
        SkipBlanks();
        if (Peek() == '>') {
          ++pos_;
          break;
        }
        if (!KeywordAhead("item")) Fail("'item' expected");
        Ident(false);
        v.items.push_back(ParseItem(depth + 1));
      }
    } else {
      Fail("Property value expected");
    }
    return v;
  }

  std::string_view s_;
  size_t pos_ = 0;
  int line_ = 1;
};

}  // namespace

FormObject ParseFormText(std::string_view text) { return Parser(text).ParseRoot(); }

}  // namespace mq
