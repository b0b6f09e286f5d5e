// The reader: one pass over the source, read in fixed-size chunks, building the tree under the
// document node and raising the parse events as tokens are read. Open elements are kept on an
// explicit stack, so nesting depth costs heap, never machine stack.
#include <algorithm>
#include <cstring>
#include <istream>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "xml/ALXmlDoc.h"
#include "xml/ALXmlDocInternal.h"

namespace mq {

using namespace xmldetail;

namespace {

// Characters of code 0 to 32: whitespace for the reader's purposes.
inline bool IsLow(char c) noexcept { return static_cast<unsigned char>(c) <= 32; }

bool AllLow(const char* p, size_t n) noexcept {
  for (size_t i = 0; i < n; ++i)
    if (!IsLow(p[i])) return false;
  return true;
}

// Separators of the attribute splitter: space, tab, CR, LF and NUL.
inline bool IsFieldSeparator(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0';
}

inline bool IsQuote(char c) noexcept { return c == '"' || c == '\''; }

// Decodes into `out` (which is replaced).
void DecodeInto(std::string& out, const char* p, size_t n) {
  const char* amp = static_cast<const char*>(n ? std::memchr(p, '&', n) : nullptr);
  if (!amp) {
    out.assign(p, n);
    return;
  }
  out.clear();
  out.reserve(n);
  const char* end = p + n;
  const char* run = p;
  while (amp) {
    out.append(run, static_cast<size_t>(amp - run));
    // A reference ends at a ";" within the next 12 characters.
    const char* limit = std::min(end, amp + 1 + 12);
    const char* semi =
        static_cast<const char*>(std::memchr(amp + 1, ';', static_cast<size_t>(limit - amp - 1)));
    char decoded = 0;
    if (semi) {
      const std::string_view name(amp + 1, static_cast<size_t>(semi - amp - 1));
      if (name == "quot")
        decoded = '"';
      else if (name == "apos")
        decoded = '\'';
      else if (name == "amp")
        decoded = '&';
      else if (name == "lt")
        decoded = '<';
      else if (name == "gt")
        decoded = '>';
    }
    if (decoded) {
      out += decoded;
      run = semi + 1;
    } else {
      out += '&';
      run = amp + 1;
    }
    amp = static_cast<const char*>(std::memchr(run, '&', static_cast<size_t>(end - run)));
  }
  out.append(run, static_cast<size_t>(end - run));
}

}  // namespace

std::string ALXmlDecodeEntities(std::string_view text) {
  std::string out;
  DecodeInto(out, text.data(), text.size());
  return out;
}

// Splits attribute text into entries one at a time, holding at most three tokens, so that a
// tag with a million attributes costs no memory per attribute.
class TFieldSplitter {
 public:
  explicit TFieldSplitter(std::string_view text) : s_(text) {}

  // The next "name=value" entry; false when there is none.
  bool Next(std::string& entry) {
    Fill();
    if (count_ == 0) return false;
    const std::string_view t = Take();
    entry.assign(t);
    const bool hasEquals = t.find('=') != std::string_view::npos;
    // Join a name and a value separated by blanks: `name = value`, `name= value`,
    // `name =value`. Each join needs only the tokens it uses, so the last attribute of a tag
    // joins like any other.
    if (!hasEquals && count_ >= 2 && Peek(0) == "=") {
      entry += '=';
      Take();
      entry += Take();
    } else if (count_ >= 1 && (hasEquals ? t.back() == '=' : Peek(0).front() == '=')) {
      // `name= value` takes the value; `name =value` takes "=value".
      entry += Take();
    }
    return true;
  }

 private:
  std::string_view Peek(size_t k) const { return ahead_[(first_ + k) % 3]; }
  std::string_view Take() {
    const std::string_view t = ahead_[first_];
    first_ = (first_ + 1) % 3;
    --count_;
    Fill();
    return t;
  }
  void Fill() {
    std::string_view token;
    while (count_ < 3 && NextToken(token)) ahead_[(first_ + count_++) % 3] = token;
  }

  bool NextToken(std::string_view& token) {
    const size_t n = s_.size();
    while (i_ < n && IsFieldSeparator(s_[i_])) ++i_;
    if (i_ >= n) return false;
    const size_t head = i_;
    if (IsQuote(s_[i_])) {
      // A token that begins with a quote runs to its closing quote. It keeps its quotes, so
      // that a value written after a blank ("name= 'v'") still reads as a quoted value.
      const size_t close = s_.find(s_[i_], i_ + 1);
      i_ = close == std::string_view::npos ? n : close + 1;
      token = s_.substr(head, i_ - head);
      return true;
    }
    while (i_ < n) {
      const char c = s_[i_];
      if (IsQuote(c)) {
        // Ends right after the closing quote; the character after it is skipped.
        const size_t close = s_.find(c, i_ + 1);
        i_ = close == std::string_view::npos ? n : close + 1;
        token = s_.substr(head, i_ - head);
        ++i_;
        return true;
      }
      if (IsFieldSeparator(c)) break;
      ++i_;
    }
    token = s_.substr(head, i_ - head);
    return true;
  }

  std::string_view s_;
  size_t i_ = 0;
  std::string_view ahead_[3];
  size_t first_ = 0;
  size_t count_ = 0;
};

void ExtractHeaderFields(std::string_view s, std::vector<std::string>& fields) {
  fields.clear();
  TFieldSplitter splitter(s);
  for (std::string entry; splitter.Next(entry);) fields.push_back(entry);
}

// ---------------------------------------------------------------------------------------------

class TALXMLDocument::Reader {
 public:
  Reader(TALXMLDocument& doc, std::istream& in) : doc_(doc), in_(in) {}
  void Run();

 private:
  static constexpr size_t npos = static_cast<size_t>(-1);

  // The buffer holds [pos_, len_) unread; offsets below are relative to pos_.
  size_t Avail() const noexcept { return len_ - pos_; }
  const char* At(size_t offset) const noexcept { return buf_.get() + pos_ + offset; }
  bool More();
  // After a token larger than a few chunks, gives the grown buffer back.
  void Shrink();
  static constexpr size_t kSmallCapacity = kChunkSize * 4;
  bool Ensure(size_t n) {
    while (Avail() < n)
      if (!More()) return false;
    return true;
  }
  size_t FindByte(char c, size_t from);
  size_t FindSequence(std::string_view terminator, size_t from);
  size_t FindTagEnd(size_t from);

  void ReadText();
  void ReadProcessingInstruction();
  void ReadComment();
  void ReadEndTag();
  void ReadStartTag();
  void Append(std::unique_ptr<TALXMLNode> node) { parent_->ChildNodes()->Add(std::move(node)); }
  [[noreturn]] void ParseError() const { throw EALXMLDocError(kParseError, tokenStart_); }

  TALXMLDocument& doc_;
  std::istream& in_;
  std::unique_ptr<char[]> buf_;
  size_t capacity_ = 0;
  size_t pos_ = 0;
  size_t len_ = 0;
  std::int64_t base_ = 0;  // source offset of buf_[0]
  bool eof_ = false;
  std::int64_t tokenStart_ = 0;

  TALXMLNode* parent_ = nullptr;
  std::vector<TALXMLNode*> open_;  // open elements, innermost last
  bool keepBlankText_ = false;
  std::string scratch_;
  std::string field_;
  static constexpr size_t kIndexedAttributes = 16;
  void IndexAttributes(TALXMLNode& element);
  void SetIndexedAttribute(TALXMLNode& element, std::string_view name);
  // Views of attribute nodes' names and local names, each to the first node that has it.
  std::unordered_map<std::string_view, TALXMLNode*> attributeIndex_;
  std::vector<std::string> eventAttributes_;
};

bool TALXMLDocument::Reader::More() {
  if (eof_) return false;
  if (pos_ > 0) {  // discard what has been consumed
    std::memmove(buf_.get(), buf_.get() + pos_, len_ - pos_);
    base_ += static_cast<std::int64_t>(pos_);
    len_ -= pos_;
    pos_ = 0;
  }
  if (capacity_ - len_ < kChunkSize) {
    const size_t capacity = std::max(capacity_ + capacity_ / 2, len_ + kChunkSize);
    std::unique_ptr<char[]> grown(new char[capacity]);
    if (len_) std::memcpy(grown.get(), buf_.get(), len_);
    buf_ = std::move(grown);
    capacity_ = capacity;
  }
  in_.read(buf_.get() + len_, static_cast<std::streamsize>(kChunkSize));
  const size_t got = static_cast<size_t>(in_.gcount());
  len_ += got;
  if (got < kChunkSize) eof_ = true;
  return got > 0;
}

void TALXMLDocument::Reader::Shrink() {
  std::unique_ptr<char[]> small(new char[kChunkSize * 2]);
  std::memcpy(small.get(), At(0), Avail());
  base_ += static_cast<std::int64_t>(pos_);
  len_ -= pos_;
  pos_ = 0;
  buf_ = std::move(small);
  capacity_ = kChunkSize * 2;
}

size_t TALXMLDocument::Reader::FindByte(char c, size_t from) {
  for (;;) {
    if (from < Avail()) {
      const void* hit = std::memchr(At(from), c, Avail() - from);
      if (hit) return static_cast<size_t>(static_cast<const char*>(hit) - At(0));
    }
    from = std::max(from, Avail());
    if (!More()) return npos;
  }
}

size_t TALXMLDocument::Reader::FindSequence(std::string_view terminator, size_t from) {
  for (;;) {
    if (from < Avail()) {
      const size_t hit = std::string_view(At(0), Avail()).find(terminator, from);
      if (hit != std::string_view::npos) return hit;
    }
    // The terminator may begin in the last few bytes read and end in the next chunk.
    const size_t keep = terminator.size() - 1;
    from = std::max(from, Avail() > keep ? Avail() - keep : 0);
    if (!More()) return npos;
  }
}

// The ">" that ends a start tag. A quoted attribute value (a quote after "=" and optional
// blanks) runs to its closing quote, so a ">" inside it does not end the tag.
size_t TALXMLDocument::Reader::FindTagEnd(size_t from) {
  char quote = 0;
  bool afterEquals = false;
  size_t i = from;
  for (;;) {
    while (i < Avail()) {
      const char* p = At(0);
      if (quote) {
        const void* hit = std::memchr(p + i, quote, Avail() - i);
        if (!hit) {
          i = Avail();
          break;
        }
        i = static_cast<size_t>(static_cast<const char*>(hit) - p) + 1;
        quote = 0;
        continue;
      }
      const char c = p[i];
      if (c == '>') return i;
      if (c == '=') {
        afterEquals = true;
      } else if (IsQuote(c) && afterEquals) {
        quote = c;
        afterEquals = false;
      } else if (!IsNameBreak(c)) {
        afterEquals = false;
      }
      ++i;
    }
    if (!More()) return npos;
  }
}

void TALXMLDocument::Reader::Run() {
  parent_ = doc_.documentNode_.get();
  keepBlankText_ = (doc_.parseOptions_ & poPreserveWhiteSpace) && !(doc_.options_ & doNodeAutoIndent);
  buf_.reset(new char[kChunkSize * 2]);
  capacity_ = kChunkSize * 2;
  try {
    for (;;) {
      if (Avail() == 0 && !More()) break;
      if (capacity_ > kSmallCapacity && Avail() <= kChunkSize) Shrink();
      tokenStart_ = base_ + static_cast<std::int64_t>(pos_);
      if (*At(0) != '<') {
        ReadText();
        continue;
      }
      Ensure(2);
      const char next = Avail() >= 2 ? *At(1) : '\0';
      if (next == '?') {
        ReadProcessingInstruction();
      } else if (next == '!' && Ensure(4) && *At(2) == '-' && *At(3) == '-') {
        ReadComment();
      } else if (next == '/') {
        ReadEndTag();
      } else {
        ReadStartTag();
      }
    }
  } catch (const EALXMLDocError& e) {
    if (e.Offset() >= 0) throw;
    throw EALXMLDocError(e.what(), tokenStart_);
  }
  // Elements still open at the end stay in the tree as they are.
}

void TALXMLDocument::Reader::ReadText() {
  const size_t end = FindByte('<', 1);
  const size_t n = end == npos ? Avail() : end;
  const char* p = At(0);
  const bool blank = AllLow(p, n);
  if (!blank || (keepBlankText_ && parent_->NodeType() == ntElement)) {
    std::string text;
    DecodeInto(text, p, n);
    auto node = std::make_unique<TALXmlTextNode>(&doc_, std::move(text));
    const TALXMLNode* raw = node.get();
    Append(std::move(node));
    if (doc_.OnParseText) doc_.OnParseText(doc_, raw->InternalNameOrContent());
  }
  pos_ += n;
}

void TALXMLDocument::Reader::ReadProcessingInstruction() {
  const size_t end = FindSequence("?>", 2);
  if (end == npos) ParseError();
  const std::string_view content(At(2), end - 2);
  size_t split = 0;
  while (split < content.size() && !IsNameBreak(content[split])) ++split;
  std::string target(content.substr(0, split));
  std::string data(split < content.size() ? content.substr(split + 1) : std::string_view());
  auto node = std::make_unique<TALXmlProcessingInstrNode>(&doc_, std::move(target), std::move(data));
  const TALXMLNode* raw = node.get();
  Append(std::move(node));
  if (doc_.OnParseProcessingInstruction)
    doc_.OnParseProcessingInstruction(doc_, raw->InternalNameOrContent(), raw->InternalValue());
  pos_ += end + 2;
}

void TALXMLDocument::Reader::ReadComment() {
  const size_t end = FindSequence("-->", 4);
  if (end == npos) ParseError();
  auto node = std::make_unique<TALXmlCommentNode>(&doc_, std::string(At(4), end - 4));
  const TALXMLNode* raw = node.get();
  Append(std::move(node));
  if (doc_.OnParseComment) doc_.OnParseComment(doc_, raw->InternalNameOrContent());
  pos_ += end + 3;
}

void TALXMLDocument::Reader::ReadEndTag() {
  const size_t end = FindByte('>', 2);
  if (end == npos) ParseError();
  std::string_view name(At(2), end - 2);
  while (!name.empty() && IsLow(name.back())) name.remove_suffix(1);
  if (open_.empty()) ThrowIndexOutOfBounds(-1);  // a stray end tag: the stack underflows
  TALXMLNode* element = open_.back();
  open_.pop_back();
  if (element != parent_ || element->NodeName() != name) ParseError();
  parent_ = element->ParentNode();
  if (doc_.OnParseEndElement) doc_.OnParseEndElement(doc_, element->NodeName());
  pos_ += end + 1;
  if (doc_.OnParseElementDone) doc_.OnParseElementDone(doc_, *element);  // may free it
}

void TALXMLDocument::Reader::ReadStartTag() {
  const size_t end = FindTagEnd(1);
  if (end == npos) ParseError();
  size_t contentEnd = end;
  const bool empty = end >= 2 && *At(end - 1) == '/';
  if (empty) --contentEnd;
  const std::string_view content(At(1), contentEnd - 1);
  size_t split = 0;
  while (split < content.size() && !IsNameBreak(content[split])) ++split;

  if (doc_.maxDepth_ > 0 && open_.size() >= static_cast<size_t>(doc_.maxDepth_)) ParseError();
  auto node = std::make_unique<TALXmlElementNode>(&doc_, std::string(content.substr(0, split)));
  TALXMLNode* element = node.get();
  Append(std::move(node));

  const bool wantEvent = static_cast<bool>(doc_.OnParseStartElement);
  if (wantEvent) eventAttributes_.clear();
  const std::string_view attributeText = content.substr(split);
  // Setting an attribute looks its name up among those already set (names and local names).
  // Past a few attributes, a tag keeps those names in a map to the first attribute that has
  // each as name or local name, so that neither a new name nor a repeated one costs a linear
  // search.
  TFieldSplitter splitter(attributeText);
  for (size_t set = 0; splitter.Next(field_); ++set) {
    const size_t eq = field_.find('=');
    const std::string_view name = std::string_view(field_).substr(0, eq);
    const std::string_view value =
        eq == std::string::npos ? std::string_view() : std::string_view(field_).substr(eq + 1);
    if (value.size() < 2 || !IsQuote(value.front()) || value.back() != value.front()) ParseError();
    DecodeInto(scratch_, value.data() + 1, value.size() - 2);
    if (wantEvent) eventAttributes_.push_back(std::string(name) + "=" + scratch_);
    if (set == kIndexedAttributes) IndexAttributes(*element);
    if (set >= kIndexedAttributes) {
      SetIndexedAttribute(*element, name);
    } else {
      element->SetAttributes(name, std::move(scratch_));
    }
    scratch_.clear();
  }
  if (wantEvent) doc_.OnParseStartElement(doc_, element->NodeName(), eventAttributes_);
  pos_ += end + 1;
  if (empty) {
    if (doc_.OnParseEndElement) doc_.OnParseEndElement(doc_, element->NodeName());
    if (doc_.OnParseElementDone) doc_.OnParseElementDone(doc_, *element);  // may free it
  } else {
    open_.push_back(element);
    parent_ = element;
  }
}

// Puts the attributes the element has so far into attributeIndex_.
void TALXMLDocument::Reader::IndexAttributes(TALXMLNode& element) {
  attributeIndex_.clear();  // costs what the last indexed tag's attributes did
  const TALXMLNodeList* list = element.RawAttributeNodes();
  for (int i = 0; list && i < list->Count(); ++i) {
    TALXMLNode* attr = list->Get(i);
    attributeIndex_.emplace(attr->NodeName(), attr);
    attributeIndex_.emplace(LocalNameOf(*attr), attr);
  }
}

// SetAttributes for a tag indexed in attributeIndex_: the value goes to the first attribute
// whose name or local name is `name`, else to a new attribute.
void TALXMLDocument::Reader::SetIndexedAttribute(TALXMLNode& element, std::string_view name) {
  if (const auto found = attributeIndex_.find(name); found != attributeIndex_.end()) {
    found->second->SetText(std::move(scratch_));
    return;
  }
  auto attr = std::make_unique<TALXmlAttributeNode>(&doc_, std::string(name));
  TALXMLNode* raw = attr.get();
  attr->SetText(std::move(scratch_));
  element.AttributeNodes()->Add(std::move(attr));
  attributeIndex_.emplace(raw->NodeName(), raw);
  attributeIndex_.emplace(LocalNameOf(*raw), raw);
}

void TALXMLDocument::Parse(std::istream& in) {
  Reader reader(*this, in);
  reader.Run();
}

}  // namespace mq
