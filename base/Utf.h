// Text is UTF-8 in std::string throughout the program; it becomes UTF-16 only at the
// Win32 boundary, through these two conversions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mq {

// UTF-8 to UTF-16. Ill-formed input becomes U+FFFD, never a dropped character.
std::wstring ToWide(std::string_view utf8);
// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD.
std::string FromWide(std::wstring_view utf16);

// Appends the UTF-8 form of a code point; surrogates and values beyond U+10FFFF give U+FFFD.
void AppendUtf8(std::string& out, char32_t cp);

// The text cut to at most `maxChars` characters (code points) for display: when it is
// longer, its first maxChars - 1 characters followed by "…" (U+2026). A sequence is never
// split; in ill-formed text a byte that cannot belong to the sequence before it counts as
// a character of its own, as ToWide shows it.
std::string CutToCodePoints(std::string_view utf8, std::size_t maxChars);

}  // namespace mq
