#include "feeds/FeedText.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/Utf.h"
#include "feeds/HtmlEntities.h"

namespace mq {

namespace {

constexpr size_t npos = std::string_view::npos;

char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// True when text[at...] starts with the upper-case ASCII marker, ignoring case.
bool HasMarkerAt(std::string_view text, size_t at, std::string_view upperMarker) {
  if (at > text.size() || text.size() - at < upperMarker.size()) return false;
  for (size_t k = 0; k < upperMarker.size(); ++k) {
    if (ToUpperAscii(text[at + k]) != upperMarker[k]) return false;
  }
  return true;
}

size_t FindChar(std::string_view text, char c, size_t from) {
  if (from >= text.size()) return npos;
  const void* hit = std::memchr(text.data() + from, c, text.size() - from);
  return hit ? static_cast<size_t>(static_cast<const char*>(hit) - text.data()) : npos;
}

// First position of a marker that starts with "<", ignoring case; npos when absent.
size_t FindTagMarker(std::string_view text, std::string_view upperMarker, size_t from = 0) {
  for (size_t at = FindChar(text, '<', from); at != npos; at = FindChar(text, '<', at + 1)) {
    if (HasMarkerAt(text, at, upperMarker)) return at;
  }
  return npos;
}

// First tag (a start tag, or an end tag with `endTag`) named "RDF" or "prefix:RDF", ignoring
// case; npos when absent. Other names in that namespace, such as the "rdf:Seq" of a channel's
// item list, do not count.
size_t FindRdfTag(std::string_view text, bool endTag) {
  const std::string_view open = endTag ? "</" : "<";
  for (size_t at = FindChar(text, '<', 0); at != npos; at = FindChar(text, '<', at + 1)) {
    if (text.compare(at, open.size(), open) != 0) continue;
    size_t end = at + open.size();
    while (end < text.size() && !IsBlank(text[end]) && text[end] != '>' && text[end] != '/') ++end;
    const std::string_view name = text.substr(at + open.size(), end - at - open.size());
    if (name.size() < 3 || !HasMarkerAt(name, name.size() - 3, "RDF")) continue;
    if (name.size() == 3 || name[name.size() - 4] == ':') return at;
  }
  return npos;
}

// 1-based position as the recognition rules count them, 0 when absent.
size_t Position(size_t at) { return at == npos ? 0 : at + 1; }

void AppendEscaped(std::string& out, std::string_view content) {
  size_t start = 0;
  for (size_t k = 0; k < content.size(); ++k) {
    const char* rep;
    switch (content[k]) {
      case '&': rep = "&amp;"; break;
      case '<': rep = "&lt;"; break;
      case '>': rep = "&gt;"; break;
      default: continue;
    }
    out.append(content, start, k - start);
    out += rep;
    start = k + 1;
  }
  out.append(content, start, npos);
}

// Cuts the text after the end tag of its document element (the first start tag that is not
// a processing instruction or declaration). Nothing is cut when that end tag is missing.
void CutAfterRoot(std::string& text) {
  const std::string_view view(text);
  size_t root = FindChar(view, '<', 0);
  while (root != npos && root + 1 < view.size() &&
         (view[root + 1] == '?' || view[root + 1] == '!' || view[root + 1] == '/')) {
    root = FindChar(view, '<', root + 1);
  }
  if (root == npos) return;
  size_t nameEnd = root + 1;
  while (nameEnd < view.size() && !IsBlank(view[nameEnd]) && view[nameEnd] != '>' &&
         view[nameEnd] != '/') {
    ++nameEnd;
  }
  const std::string_view name = view.substr(root + 1, nameEnd - root - 1);
  if (name.empty()) return;
  for (size_t at = view.find("</", nameEnd); at != npos; at = view.find("</", at + 2)) {
    if (view.compare(at + 2, name.size(), name) != 0) continue;
    size_t k = at + 2 + name.size();
    while (k < view.size() && IsBlank(view[k])) ++k;
    if (k < view.size() && view[k] == '>') {
      text.resize(k + 1);
      return;
    }
  }
}

// Length of the UTF-8 character starting at text[at] (1 for a byte that starts none).
size_t CharLength(std::string_view text, size_t at) {
  const auto b = static_cast<unsigned char>(text[at]);
  size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
  size_t k = 1;
  while (k < len && at + k < text.size() && (static_cast<unsigned char>(text[at + k]) & 0xC0) == 0x80) {
    ++k;
  }
  return k;
}

bool IsAsciiAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAsciiAlnum(char c) { return IsAsciiAlpha(c) || (c >= '0' && c <= '9'); }

int DigitValue(char c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (!hex) return -1;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr char32_t kReplacement = 0xFFFD;
constexpr size_t kNumberWindow = 10;

// Decodes the numeric reference whose "&#" is at text[at]; appends its character and
// returns where scanning goes on.
size_t DecodeNumericRef(std::string_view text, size_t at, std::string& out) {
  const size_t start = at + 2;
  const size_t window = std::min(kNumberWindow, text.size() - start);
  const char* p = text.data() + start;
  size_t j = 0;
  while (j < window && p[j] == ' ') ++j;
  bool negative = false;
  if (j < window && (p[j] == '+' || p[j] == '-')) negative = p[j++] == '-';
  bool hex = false;
  if (j < window && p[j] == '$') {
    hex = true, ++j;
  } else if (j + 1 < window && p[j] == '0' && (p[j + 1] == 'x' || p[j + 1] == 'X')) {
    hex = true, j += 2;
  } else if (j < window && (p[j] == 'x' || p[j] == 'X')) {
    hex = true, ++j;
  }
  unsigned long value = 0;
  for (int d; j < window && (d = DigitValue(p[j], hex)) >= 0; ++j) {
    value = value * (hex ? 16 : 10) + static_cast<unsigned long>(d);
    if (value > 0x10FFFF) value = 0x110000;  // out of range; keeps the sum from overflowing
  }
  char32_t cp = static_cast<char32_t>(value);
  if (cp == 0 || negative || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
  AppendUtf8(out, cp);
  if (j == window) return start;  // no terminator: the characters are read again as text
  size_t next = start + j + CharLength(text, start + j);
  if (next < text.size() && text[next] == ';') ++next;
  return next;
}

// Decodes the named reference whose "&" is at text[at], as HTML reads one in text: the
// longest name of the list that the input starts with. Returns npos when there is none.
size_t DecodeNamedRef(std::string_view text, size_t at, std::string& out) {
  const size_t start = at + 1;
  size_t end = start;
  while (end < text.size() && end - start < kHtmlEntityLongestName && IsAsciiAlnum(text[end])) ++end;
  const size_t run = end - start;
  if (end < text.size() && text[end] == ';') {
    const std::string_view value = LookupHtmlEntity(text.substr(start, run + 1));
    if (!value.empty()) {
      out += value;
      return end + 1;
    }
  }
  for (size_t len = std::min(run, kHtmlEntityLongestLegacyName); len >= 2; --len) {
    const std::string_view value = LookupHtmlEntity(text.substr(start, len));
    if (!value.empty()) {
      out += value;
      return start + len;
    }
  }
  return npos;
}

}  // namespace

bool IsFeedText(std::string_view text) {
  size_t o = Position(FindTagMarker(text, "<RSS "));
  size_t c = Position(FindTagMarker(text, "</RSS>"));
  const size_t co = Position(FindTagMarker(text, "<CHANNEL"));
  const size_t cc = Position(FindTagMarker(text, "</CHANNEL>"));
  if (o == 0 || c == 0 || co == 0 || cc == 0) {
    if (o != 0 || c != 0) return false;
    o = Position(FindRdfTag(text, false));
    c = Position(FindRdfTag(text, true));
    if (o == 0 || c == 0) return false;
  }
  return c >= o && co <= cc && co >= o && co <= c && cc <= c;
}

std::string CleanFeedText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  for (;;) {
    size_t lt = FindChar(text, '<', i);
    while (lt != npos && (lt + 1 >= text.size() || text[lt + 1] != '!'))
      lt = FindChar(text, '<', lt + 1);
    if (lt == npos) {
      out.append(text, i, npos);
      break;
    }
    out.append(text, i, lt - i);
    if (text.compare(lt, 4, "<!--") == 0) {
      const size_t end = text.find("-->", lt + 4);
      if (end == npos) {
        out.append(text, lt, npos);
        break;
      }
      i = end + 3;
    } else if (HasMarkerAt(text, lt, "<![CDATA[")) {
      const size_t end = text.find("]]>", lt + 9);
      AppendEscaped(out, text.substr(lt + 9, end == npos ? npos : end - lt - 9));
      if (end == npos) break;
      i = end + 3;
    } else {
      size_t end = FindChar(text, '>', lt + 2);
      // A document type with an internal subset ends after its "]", not at the first ">".
      const size_t subset = FindChar(text, '[', lt + 2);
      if (end != npos && subset < end && HasMarkerAt(text, lt, "<!DOCTYPE")) {
        const size_t close = FindChar(text, ']', subset + 1);
        end = close == npos ? npos : FindChar(text, '>', close + 1);
      }
      if (end == npos) {
        out.append(text, lt, npos);
        break;
      }
      i = end + 1;
    }
  }
  CutAfterRoot(out);
  return out;
}

std::string StripHtmlTags(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  // Each round cleans one segment: the whole text, then whatever follows a stray ">". A
  // round first turns the segment's first "|" that is still a "|" into CR LF; those pipes
  // are kept in `pipes` (ascending) and replaced as the text is copied out.
  std::vector<size_t> pipes;
  size_t nextPipe = 0;  // first entry of `pipes` not yet copied out
  auto emit = [&](size_t from, size_t to) {
    while (nextPipe < pipes.size() && pipes[nextPipe] < to) {
      const size_t at = pipes[nextPipe++];
      if (at < from) continue;
      out.append(text, from, at - from);
      out += "\r\n";
      from = at + 1;
    }
    out.append(text, from, to - from);
  };
  size_t segment = 0;
  size_t lt = npos, gt = npos;
  bool ltFound = false, gtFound = false;
  for (;;) {
    const size_t pipe =
        FindChar(text, '|', pipes.empty() ? segment : std::max(segment, pipes.back() + 1));
    if (pipe != npos) pipes.push_back(pipe);
    size_t cursor = segment;
    for (;;) {
      if (!ltFound || (lt != npos && lt < cursor)) lt = FindChar(text, '<', cursor), ltFound = true;
      if (lt == npos) break;
      if (!gtFound || (gt != npos && gt < cursor)) gt = FindChar(text, '>', cursor), gtFound = true;
      if (gt == npos) break;
      if (gt < lt) break;
      emit(cursor, lt);
      // "|" is in none of these names, so a pipe inside the tag never makes one match.
      if (HasMarkerAt(text, lt + 1, "/P") || HasMarkerAt(text, lt + 1, "HR/") ||
          HasMarkerAt(text, lt + 1, "HR /") || HasMarkerAt(text, lt + 1, "BR")) {
        out += "\r\n";
      }
      cursor = gt + 1;
    }
    if (lt != npos && gt != npos && gt < lt) {  // stray ">": keep through it, clean the rest anew
      emit(cursor, gt + 1);
      segment = gt + 1;
      continue;
    }
    emit(cursor, text.size());
    return out;
  }
}

std::string_view TrimControls(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  return text.substr(b, e - b);
}

std::string DecodeCharRefs(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  for (;;) {
    const size_t amp = FindChar(text, '&', i);
    if (amp == npos) {
      out.append(text, i, npos);
      return out;
    }
    out.append(text, i, amp - i);
    if (amp + 1 < text.size() && text[amp + 1] == '#') {
      i = DecodeNumericRef(text, amp, out);
      continue;
    }
    if (amp + 1 < text.size() && IsAsciiAlpha(text[amp + 1])) {
      const size_t next = DecodeNamedRef(text, amp, out);
      if (next != npos) {
        i = next;
        continue;
      }
    }
    out += '&';
    i = amp + 1;
  }
}

}  // namespace mq
