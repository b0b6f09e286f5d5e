// Small helpers for the ASCII texts of protocols and settings: header tokens, proxy lists,
// dates. Neither looks at bytes above 127, so UTF-8 passes through unchanged.
#pragma once

#include <cstddef>
#include <string_view>

namespace mq {

inline bool IsBlank(char c) noexcept { return c == ' ' || c == '\t'; }

// `text` without the spaces and tabs at its ends.
inline std::string_view TrimBlanks(std::string_view text) noexcept {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Equal when A to Z are taken as a to z.
inline bool EqualsNoCase(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

}  // namespace mq
