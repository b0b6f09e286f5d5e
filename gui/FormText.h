// The text form of a window description: which components a form holds, their settings
// and the wiring of their events to the form's handlers. A description reads like this:
//
//   object frMain: TfrMain
//     Left = 0
//     Color = $009A9A9A
//     Caption = 'Marquelle'#32'v0.93'
//     Font.Style = [fsBold]
//     object lblTicker: TALScrollingText
//       Text = 'Loading...'
//       OnTextScrolled = lblTickerTextScrolled
//     end
//     object pngImages: TPngImageCollection
//       Items = <
//         item
//           Name = 'start'
//           PngImage = {89504E470D0A1A0A...}
//         end>
//     end
//   end
//
// Values: integers (decimal or $hex, optionally negative), strings in single quotes (''
// inside a string is one quote; #nnn outside the quotes is the code point nnn, and quoted
// pieces and #nnn codes that follow each other without blanks form one string; a string
// can also be continued on the next line after a '+'), identifiers (True, clBtnFace,
// tlCenter, handler names), sets [a, b], binary data {hex digits, blanks allowed} and
// collections <item ... end item ... end>. Strings are UTF-8. This header is portable; the
// Windows side turns a parsed description into live components.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mq {

struct FormValue;
using FormProperties = std::vector<std::pair<std::string, FormValue>>;

struct FormValue {
  enum class Kind { Integer, String, Ident, Set, Binary, Collection };
  Kind kind = Kind::Integer;
  std::int64_t integer = 0;
  std::string text;                   // String and Ident
  std::vector<std::string> set;       // Set members
  std::vector<std::uint8_t> binary;   // Binary
  std::vector<FormProperties> items;  // Collection: one property list per item
  int line = 0;                       // where the value starts (1-based)

  // Declared here and defaulted below, where FormValue is complete: `items` holds FormValue
  // again, and some standard libraries check completeness when the members are instantiated.
  FormValue();
  FormValue(const FormValue&);
  FormValue(FormValue&&) noexcept;
  FormValue& operator=(const FormValue&);
  FormValue& operator=(FormValue&&) noexcept;
  ~FormValue();
};

inline FormValue::FormValue() = default;
inline FormValue::FormValue(const FormValue&) = default;
inline FormValue::FormValue(FormValue&&) noexcept = default;
inline FormValue& FormValue::operator=(const FormValue&) = default;
inline FormValue& FormValue::operator=(FormValue&&) noexcept = default;
inline FormValue::~FormValue() = default;

struct FormObject {
  std::string name;       // component name, may be empty
  std::string className;  // e.g. "TALScrollingText"
  FormProperties properties;
  std::vector<FormObject> children;
  int line = 0;
};

// A description that cannot be read: the message names the line.
class EFormTextError : public std::runtime_error {
 public:
  EFormTextError(const std::string& message, int line)
      : std::runtime_error("Line " + std::to_string(line) + ": " + message), line_(line) {}
  int Line() const noexcept { return line_; }

 private:
  int line_;
};

// Parses one top-level object. Raises EFormTextError on malformed text; nesting deeper than
// 64 levels is refused rather than followed.
FormObject ParseFormText(std::string_view text);

}  // namespace mq
