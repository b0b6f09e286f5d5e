// HTML's named character references (the whole list HTML defines), for DecodeCharRefs.
#pragma once

#include <cstddef>
#include <string_view>

namespace mq {

// The UTF-8 text a name stands for, or an empty view when the name is not one of HTML's.
// The name is given without the leading "&" and with its ";" when it has one: "amp;",
// "eacute;", and the legacy forms without a semicolon such as "amp" or "copy".
std::string_view LookupHtmlEntity(std::string_view name);

extern const size_t kHtmlEntityCount;
// Length of the longest name, and of the longest one without a semicolon.
extern const size_t kHtmlEntityLongestName;
extern const size_t kHtmlEntityLongestLegacyName;

}  // namespace mq
