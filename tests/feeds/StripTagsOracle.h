// StripHtmlTags's rules exactly as written, with string surgery and recursion: slow, but
// plainly right, so the one-pass implementation can be compared against it (by a test on
// random texts and by the fuzzer). Keep inputs small: it recurses once per stray ">".
#pragma once

#include <cctype>
#include <string>

namespace mq::test {

inline std::string StripByTheRules(std::string s) {
  if (size_t bar = s.find('|'); bar != std::string::npos) s.replace(bar, 1, "\r\n");
  for (size_t p; (p = s.find('<')) != std::string::npos;) {
    const size_t q = s.find('>');
    if (q == std::string::npos) break;
    if (q < p) return s.substr(0, q + 1) + StripByTheRules(s.substr(q + 1));
    auto after = [&](const char* upper) {
      const std::string name(upper);
      if (s.size() - (p + 1) < name.size()) return false;
      for (size_t k = 0; k < name.size(); ++k) {
        if (std::toupper(static_cast<unsigned char>(s[p + 1 + k])) != name[k]) return false;
      }
      return true;
    };
    const bool lineBreak = after("/P") || after("HR/") || after("HR /") || after("BR");
    s.erase(p, q - p + 1);
    if (lineBreak) s.insert(p, "\r\n");
  }
  return s;
}

}  // namespace mq::test
