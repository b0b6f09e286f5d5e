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

// The ">" that ends a tag whose name ends at `from`. A quoted value (a quote after "=" and
// optional blanks) runs to its closing quote, so a ">" inside it does not end the tag, as
// the XML document reads it. npos when the tag never ends.
size_t TagEnd(std::string_view text, size_t from) {
  bool afterEquals = false;
  for (size_t i = from; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '>') return i;
    if (c == '=') {
      afterEquals = true;
    } else if ((c == '"' || c == '\'') && afterEquals) {
      i = FindChar(text, c, i + 1);
      if (i == npos) return npos;
      afterEquals = false;
    } else if (!IsBlank(c)) {
      afterEquals = false;
    }
  }
  return npos;
}

// The ">" that ends the declaration ("<!...") at text[lt]: the first one, except that a
// document type with an internal subset ("[...]") ends after its "]". Each search stops at
// the end of this declaration, so many declarations cost no more than one pass.
size_t DeclarationEnd(std::string_view text, size_t lt) {
  const size_t end = FindChar(text, '>', lt + 2);
  if (end == npos || !HasMarkerAt(text, lt, "<!DOCTYPE")) return end;
  const void* subset = std::memchr(text.data() + lt + 2, '[', end - lt - 2);
  if (!subset) return end;
  const size_t close =
      FindChar(text, ']', static_cast<size_t>(static_cast<const char*>(subset) - text.data()) + 1);
  return close == npos ? npos : FindChar(text, '>', close + 1);
}

struct TTag {
  std::string_view name;
  std::string_view attributes;  // the text between the name and the closing ">"
  bool endTag = false;
  bool emptyTag = false;  // written "<name .../>"
};

// Reads the tags of a document in order, stepping over comments, CDATA sections, processing
// instructions and declarations, so that markup inside them is never taken for a tag. Every
// search starts where the previous one ended: one pass over the text.
class TTagScanner {
 public:
  explicit TTagScanner(std::string_view text) : text_(text) {}

  // The next start or end tag; false at the end of the text or at markup that never closes.
  bool Next(TTag& tag) {
    for (;;) {
      const size_t lt = FindChar(text_, '<', pos_);
      if (lt == npos) return false;
      size_t end;
      if (HasMarkerAt(text_, lt, "<!--")) {
        end = Skip(text_.find("-->", lt + 4), 3);
      } else if (HasMarkerAt(text_, lt, "<![CDATA[")) {
        end = Skip(text_.find("]]>", lt + 9), 3);
      } else if (HasMarkerAt(text_, lt, "<!")) {
        end = Skip(DeclarationEnd(text_, lt), 1);
      } else if (HasMarkerAt(text_, lt, "<?")) {
        end = Skip(text_.find("?>", lt + 2), 2);
      } else {
        return ReadTag(lt, tag);
      }
      if (end == npos) return false;
      pos_ = end;
    }
  }

 private:
  static size_t Skip(size_t at, size_t length) { return at == npos ? npos : at + length; }

  bool ReadTag(size_t lt, TTag& tag) {
    tag.endTag = lt + 1 < text_.size() && text_[lt + 1] == '/';
    const size_t nameStart = lt + (tag.endTag ? 2 : 1);
    size_t nameEnd = nameStart;
    while (nameEnd < text_.size() && !IsBlank(text_[nameEnd]) && text_[nameEnd] != '>' &&
           text_[nameEnd] != '/' && text_[nameEnd] != '<') {
      ++nameEnd;
    }
    const size_t gt = TagEnd(text_, nameEnd);
    if (gt == npos) return false;
    tag.name = text_.substr(nameStart, nameEnd - nameStart);
    tag.attributes = text_.substr(nameEnd, gt - nameEnd);
    tag.emptyTag = text_[gt - 1] == '/';
    pos_ = gt + 1;
    return true;
  }

  std::string_view text_;
  size_t pos_ = 0;
};

bool EqualsIgnoringCase(std::string_view name, std::string_view upper) {
  return name.size() == upper.size() && HasMarkerAt(name, 0, upper);
}

// The name after its first ":" (the whole name without one).
std::string_view LocalPart(std::string_view name) {
  const size_t colon = name.find(':');
  return colon == npos ? name : name.substr(colon + 1);
}

// "rss", or "RDF" alone or after a prefix; case does not matter.
bool IsFeedRootName(std::string_view name) {
  if (EqualsIgnoringCase(name, "RSS")) return true;
  return EqualsIgnoringCase(name, "RDF") || (name.size() > 4 && name[name.size() - 4] == ':' &&
                                             EqualsIgnoringCase(name.substr(name.size() - 3), "RDF"));
}

bool IsChannelName(std::string_view name) { return EqualsIgnoringCase(LocalPart(name), "CHANNEL"); }

void AppendEscaped(std::string& out, std::string_view content) {
  size_t start = 0;
  for (size_t k = 0; k < content.size(); ++k) {
    const char* rep;
    switch (content[k]) {
      case '&':
        rep = "&amp;";
        break;
      case '<':
        rep = "&lt;";
        break;
      case '>':
        rep = "&gt;";
        break;
      default:
        continue;
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
  if (j < window && (p[j] == '$' || p[j] == 'x' || p[j] == 'X')) {
    hex = true, ++j;
  } else if (j + 1 < window && p[j] == '0' && (p[j + 1] == 'x' || p[j + 1] == 'X')) {
    hex = true, j += 2;
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

// The value of the attribute `name` in a start tag's attribute text, into `value`; false
// when the tag has no such attribute.
bool FindAttribute(std::string_view attributes, std::string_view name, std::string_view& value) {
  size_t i = 0;
  while (i < attributes.size()) {
    while (i < attributes.size() && IsBlank(attributes[i])) ++i;
    const size_t nameStart = i;
    while (i < attributes.size() && !IsBlank(attributes[i]) && attributes[i] != '=') ++i;
    const std::string_view attrName = attributes.substr(nameStart, i - nameStart);
    while (i < attributes.size() && IsBlank(attributes[i])) ++i;
    if (i >= attributes.size() || attributes[i] != '=') {
      if (i == nameStart) ++i;  // a stray character: step over it
      continue;
    }
    ++i;
    while (i < attributes.size() && IsBlank(attributes[i])) ++i;
    if (i >= attributes.size()) return false;
    const char quote = attributes[i];
    size_t valueStart = i, valueEnd;
    if (quote == '"' || quote == '\'') {
      valueStart = i + 1;
      valueEnd = FindChar(attributes, quote, valueStart);
      if (valueEnd == npos) return false;
      i = valueEnd + 1;
    } else {
      while (i < attributes.size() && !IsBlank(attributes[i])) ++i;
      valueEnd = i;
    }
    if (attrName == name) {
      value = attributes.substr(valueStart, valueEnd - valueStart);
      return true;
    }
  }
  return false;
}

constexpr std::string_view kAtom10Namespace = "http://www.w3.org/2005/Atom";
constexpr std::string_view kAtom03Namespace = "http://purl.org/atom/ns#";

// A root "feed" or "prefix:feed" whose prefix is bound to the Atom 1.0 or 0.3 namespace on
// the root itself (where every Atom document binds it).
bool IsAtomRoot(const TTag& root) {
  if (root.endTag || root.emptyTag || LocalPart(root.name) != "feed") return false;
  const size_t colon = root.name.find(':');
  std::string declaration = "xmlns";
  if (colon != npos) declaration.append(":").append(root.name.substr(0, colon));
  std::string_view ns;
  if (!FindAttribute(root.attributes, declaration, ns)) return false;
  while (!ns.empty() && IsBlank(ns.back())) ns.remove_suffix(1);
  while (!ns.empty() && IsBlank(ns.front())) ns.remove_prefix(1);
  return ns == kAtom10Namespace || ns == kAtom03Namespace;
}

bool IsJsonStart(std::string_view text) {
  size_t i = 0;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n'))
    ++i;
  return i < text.size() && text[i] == '{';
}

}  // namespace

TFeedKind DetectFeedKind(std::string_view text) {
  if (IsJsonStart(text)) return TFeedKind::JsonFeed;
  TTagScanner scanner(text);
  TTag root;
  if (!scanner.Next(root)) return TFeedKind::None;
  if (IsAtomRoot(root)) {
    for (TTag tag; scanner.Next(tag);) {
      if (tag.endTag && tag.name == root.name) return TFeedKind::Atom;
    }
    return TFeedKind::None;  // the root never ends
  }
  if (!IsFeedText(text)) return TFeedKind::None;
  return EqualsIgnoringCase(root.name, "RSS") ? TFeedKind::Rss : TFeedKind::Rdf;
}

std::string_view FeedKindName(TFeedKind kind) noexcept {
  switch (kind) {
    case TFeedKind::Rss:
      return "rss";
    case TFeedKind::Rdf:
      return "rdf";
    case TFeedKind::Atom:
      return "atom";
    case TFeedKind::JsonFeed:
      return "json";
    case TFeedKind::None:
      break;
  }
  return "none";
}

bool IsFeedText(std::string_view text) {
  TTagScanner scanner(text);
  TTag root;
  if (!scanner.Next(root) || root.endTag || root.emptyTag || !IsFeedRootName(root.name)) return false;
  bool channelSeen = false, channelOpen = false;
  for (TTag tag; scanner.Next(tag);) {
    if (tag.endTag && tag.name == root.name) return channelSeen && !channelOpen;
    if (!IsChannelName(tag.name)) continue;
    if (!tag.endTag && !channelSeen) {
      channelSeen = true;
      channelOpen = !tag.emptyTag;
    } else if (tag.endTag) {
      channelOpen = false;
    }
  }
  return false;  // the root never ends
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
      const size_t end = DeclarationEnd(text, lt);
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
  // Text to keep is gathered as one range while the pieces follow each other (a run of stray
  // ">" is many short pieces), and appended when the next piece does not follow.
  size_t keepFrom = 0, keepTo = 0;
  auto flush = [&] {
    out.append(text, keepFrom, keepTo - keepFrom);
    keepFrom = keepTo;
  };
  auto keep = [&](size_t from, size_t to) {
    if (from != keepTo) flush(), keepFrom = from;
    keepTo = to;
  };
  auto insertBreak = [&] {
    flush();
    out += "\r\n";
  };
  auto emit = [&](size_t from, size_t to) {
    while (nextPipe < pipes.size() && pipes[nextPipe] < to) {
      const size_t at = pipes[nextPipe++];
      if (at < from) continue;
      keep(from, at);
      insertBreak();
      from = at + 1;
    }
    keep(from, to);
  };
  size_t segment = 0;
  size_t lt = npos, gt = npos;
  bool ltFound = false, gtFound = false;
  bool pipesLeft = true;  // false once a search found none: none is ever found after that
  for (;;) {
    if (pipesLeft) {
      const size_t pipe =
          FindChar(text, '|', pipes.empty() ? segment : std::max(segment, pipes.back() + 1));
      if (pipe != npos) pipes.push_back(pipe);
      pipesLeft = pipe != npos;
    }
    size_t cursor = segment;
    for (;;) {
      if (!ltFound || (lt != npos && lt < cursor)) lt = FindChar(text, '<', cursor), ltFound = true;
      if (lt == npos) break;
      if (!gtFound || (gt != npos && gt < cursor)) gt = FindChar(text, '>', cursor), gtFound = true;
      if (gt == npos) break;
      if (gt < lt) {
        if (pipesLeft) break;  // a stray ">": the rest is a new segment with its own first "|"
        // With no "|" left, a new segment would only keep its stray ">": go to the tag's end.
        gt = FindChar(text, '>', lt);
        if (gt == npos) break;
      }
      emit(cursor, lt);
      // "|" is in none of these names, so a pipe inside the tag never makes one match.
      if (HasMarkerAt(text, lt + 1, "/P") || HasMarkerAt(text, lt + 1, "HR/") ||
          HasMarkerAt(text, lt + 1, "HR /") || HasMarkerAt(text, lt + 1, "BR")) {
        insertBreak();
      }
      cursor = gt + 1;
    }
    if (lt != npos && gt != npos && gt < lt) {  // stray ">": keep through it, clean the rest anew
      emit(cursor, gt + 1);
      segment = gt + 1;
      continue;
    }
    emit(cursor, text.size());
    flush();
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
