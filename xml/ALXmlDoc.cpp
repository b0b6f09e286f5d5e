// Nodes, node lists and the document component. The reader is in ALXmlReader.cpp, the writer
// in ALXmlWriter.cpp.
#include "xml/ALXmlDoc.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <istream>
#include <streambuf>
#include <utility>

#include "xml/ALXmlDocInternal.h"

namespace mq {

using namespace xmldetail;

namespace xmldetail {

void ThrowIndexOutOfBounds(int index) {
  throw EALXMLDocError("Node list index out of bounds (" + std::to_string(index) + ")");
}
void ThrowCapacityOutOfBounds(int capacity) {
  throw EALXMLDocError("Node list capacity out of bounds (" + std::to_string(capacity) + ")");
}
void ThrowCountOutOfBounds(int count) {
  throw EALXMLDocError("Node list count out of bounds (" + std::to_string(count) + ")");
}
void ThrowNotFound(std::string_view name) {
  throw EALXMLDocError("Node \"" + std::string(name) + "\" not found");
}

void ThrowWrongNodeType(TALXMLNodeType type) {
  static const char* const kNames[] = {
      "RESERVED", "ELEMENT",          "ATTRIBUTE",     "TEXT",
      "CDATA",    "ENTITY_REFERENCE", "ENTITY",        "PROCESSING_INSTRUCTION",
      "COMMENT",  "DOCUMENT",         "DOCUMENT_TYPE", "DOCUMENT_FRAGMENT",
      "NOTATION"};
  const int i = static_cast<int>(type);
  const char* name = (i >= 0 && i <= 12) ? kNames[i] : "UNKNOWN";
  throw EALXMLDocError(std::string("This operation can not be performed with a node of type ") + name);
}

void CheckName(std::string_view name) {
  if (name.empty() || std::any_of(name.begin(), name.end(), IsNameBreak))
    throw EALXMLDocError(kParameterIncorrect);
}

std::string_view LocalNameOf(const TALXMLNode& node) noexcept {
  const TALXMLNodeType type = node.NodeType();
  if (type != ntElement && type != ntAttribute) return {};
  std::string_view name = node.InternalNameOrContent();
  const size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string JoinLines(const std::vector<std::string>& lines) {
  size_t size = 0;
  for (const auto& l : lines) size += l.size() + 2;
  std::string text;
  text.reserve(size);
  for (const auto& l : lines) {
    text += l;
    text += "\r\n";
  }
  return text;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t i = 0;
  while (i < text.size()) {
    size_t e = text.find_first_of("\r\n", i);
    if (e == std::string_view::npos) {
      lines.emplace_back(text.substr(i));
      break;
    }
    lines.emplace_back(text.substr(i, e - i));
    i = e + 1;
    if (text[e] == '\r' && i < text.size() && text[i] == '\n') ++i;
  }
  return lines;
}

}  // namespace xmldetail

namespace {

const std::string kEmpty;

// Number of ancestors of `node`.
int Depth(const TALXMLNode* node) noexcept {
  int depth = 0;
  for (const TALXMLNode* p = node->ParentNode(); p; p = p->ParentNode()) ++depth;
  return depth;
}

// File names are UTF-8 like every other text; on Windows the path becomes UTF-16, so a name
// outside the ANSI code page still opens.
std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Repeat(const std::string& s, int times) {
  std::string out;
  if (times <= 0 || s.empty()) return out;
  out.reserve(s.size() * static_cast<size_t>(times));
  for (int i = 0; i < times; ++i) out += s;
  return out;
}

// A read-only stream buffer over text that lives elsewhere, so that loading a string does
// not copy it. Supports seeking (a load rewinds its stream).
class ViewStreamBuf final : public std::streambuf {
 public:
  explicit ViewStreamBuf(std::string_view text) {
    char* b = const_cast<char*>(text.data());
    setg(b, b, b + text.size());
  }

 protected:
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which) override {
    if (!(which & std::ios_base::in)) return pos_type(off_type(-1));
    off_type base = dir == std::ios_base::beg   ? 0
                    : dir == std::ios_base::cur ? gptr() - eback()
                                                : egptr() - eback();
    const off_type target = base + off;
    if (target < 0 || target > egptr() - eback()) return pos_type(off_type(-1));
    setg(eback(), eback() + target, egptr());
    return pos_type(target);
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
    return seekoff(off_type(pos), std::ios_base::beg, which);
  }
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// TALXMLNodeList

TALXMLNodeList::~TALXMLNodeList() {
  Clear();
  if (items_ != inline_) delete[] items_;
}

void TALXMLNodeList::SetCapacity(int capacity) {
  if (capacity < count_ || capacity > kALMaxListSize) ThrowCapacityOutOfBounds(capacity);
  if (capacity == capacity_) return;
  std::unique_ptr<TALXMLNode>* items =
      capacity <= kInlineCapacity ? inline_
                                  : new std::unique_ptr<TALXMLNode>[static_cast<size_t>(capacity)];
  if (items != items_) {
    std::move(items_, items_ + count_, items);
    if (items_ != inline_) delete[] items_;
    items_ = items;
  }
  capacity_ = capacity;
}

void TALXMLNodeList::SetCount(int count) {
  if (count < 0 || count > kALMaxListSize || count > count_) ThrowCountOutOfBounds(count);
  while (count_ > count) Delete(count_ - 1);
}

void TALXMLNodeList::Grow() {
  const int delta = capacity_ > 64 ? capacity_ / 4 : capacity_ > 8 ? 16 : 4;
  SetCapacity(capacity_ + delta);
}

TALXMLNode* TALXMLNodeList::First() const noexcept { return count_ > 0 ? items_[0].get() : nullptr; }

TALXMLNode* TALXMLNodeList::Last() const noexcept {
  return count_ > 0 ? items_[count_ - 1].get() : nullptr;
}

TALXMLNode* TALXMLNodeList::Get(int index) const {
  if (index < 0 || index >= count_) ThrowIndexOutOfBounds(index);
  return items_[index].get();
}

TALXMLNode* TALXMLNodeList::Get(std::string_view name) const {
  TALXMLNode* node = FindNode(name);
  if (!node) ThrowNotFound(name);
  return node;
}

int TALXMLNodeList::IndexOf(const TALXMLNode* node) const noexcept {
  for (int i = 0; i < count_; ++i)
    if (items_[i].get() == node) return i;
  return -1;
}

int TALXMLNodeList::IndexOf(std::string_view name) const noexcept {
  for (int i = 0; i < count_; ++i) {
    const TALXMLNode& n = *items_[i];
    if (n.NodeName() == name || LocalNameOf(n) == name) return i;
  }
  return -1;
}

TALXMLNode* TALXMLNodeList::FindNode(std::string_view name) const noexcept {
  const int i = IndexOf(name);
  return i >= 0 ? items_[i].get() : nullptr;
}

TALXMLNode* TALXMLNodeList::FindSibling(const TALXMLNode* node, int offset) const noexcept {
  const int i = IndexOf(node);
  if (i < 0) return nullptr;
  const long long j = static_cast<long long>(i) + offset;
  return (j >= 0 && j < count_) ? items_[j].get() : nullptr;
}

int TALXMLNodeList::Add(std::unique_ptr<TALXMLNode>&& node) { return Insert(-1, std::move(node)); }

int TALXMLNodeList::Insert(int index, std::unique_ptr<TALXMLNode>&& node) {
  if (!node) throw EALXMLDocError(kParameterIncorrect);
  if (owner_) owner_->CheckChild(index, *node);
  if (index != -1 && (index < 0 || index > count_)) ThrowIndexOutOfBounds(index);

  const TALXMLNodeType type = node->NodeType();
  TALXMLDocument* doc = owner_ ? owner_->OwnerDocument() : nullptr;
  const bool indent = doc && (doc->Options() & doNodeAutoIndent) && type != ntAttribute &&
                      type != ntText && owner_->ParentNode() != nullptr;
  if (!indent) {
    const int at = index == -1 ? count_ : index;
    InsertRaw(at, std::move(node));
    return at;
  }

  // Indentation: line breaks and NodeIndentStr repeated by depth, as separate text nodes.
  const std::string& step = doc->NodeIndentStr();
  const int ownerDepth = Depth(owner_);
  const bool appending = index == -1;
  if (count_ == 0) {
    InsertRaw(0, std::make_unique<TALXmlTextNode>(doc, "\r\n" + Repeat(step, ownerDepth - 1)));
    if (!appending) index += 1;
  }
  int at;
  if (appending) {
    InsertRaw(count_, std::make_unique<TALXmlTextNode>(doc, step));
    at = count_;
  } else {
    at = index;
  }
  InsertRaw(at, std::move(node));
  InsertRaw(at + 1, std::make_unique<TALXmlTextNode>(
                        doc, "\r\n" + Repeat(step, appending ? ownerDepth - 1 : ownerDepth)));
  return at;
}

void TALXMLNodeList::InsertRaw(int index, std::unique_ptr<TALXMLNode> node) {
  if (count_ == capacity_) Grow();
  std::move_backward(items_ + index, items_ + count_, items_ + count_ + 1);
  if (node->NodeType() == ntElement) ++elementCount_;
  TALXMLNode* raw = node.get();
  items_[index] = std::move(node);
  ++count_;
  raw->SetParentNode(owner_);
}

std::unique_ptr<TALXMLNode> TALXMLNodeList::Extract(int index) {
  if (index < 0 || index >= count_) return nullptr;
  std::unique_ptr<TALXMLNode> node = std::move(items_[index]);
  std::move(items_ + index + 1, items_ + count_, items_ + index);
  --count_;
  if (node->NodeType() == ntElement) --elementCount_;
  node->SetParentNode(nullptr);
  return node;
}

void TALXMLNodeList::Delete(int index) {
  if (index < 0 || index >= count_) ThrowIndexOutOfBounds(index);
  std::vector<std::unique_ptr<TALXMLNode>> work;
  work.push_back(Extract(index));
  DestroyNodes(work);
}

int TALXMLNodeList::Delete(std::string_view name) {
  const int i = IndexOf(name);
  if (i >= 0) Delete(i);
  return i;
}

void TALXMLNodeList::Clear() {
  if (count_ == 0) return;
  std::vector<std::unique_ptr<TALXMLNode>> work;
  MoveNodesInto(work);
  DestroyNodes(work);
}

void TALXMLNodeList::MoveNodesInto(std::vector<std::unique_ptr<TALXMLNode>>& out) {
  for (int i = 0; i < count_; ++i) out.push_back(std::move(items_[i]));
  count_ = 0;
  elementCount_ = 0;
}

// Each node's lists are emptied into the work list before the node itself is destroyed, so no
// destructor ever has more than one level below it.
void TALXMLNodeList::DestroyNodes(std::vector<std::unique_ptr<TALXMLNode>>& work) {
  while (!work.empty()) {
    std::unique_ptr<TALXMLNode> node = std::move(work.back());
    work.pop_back();
    if (TALXMLNodeList* list = node->RawAttributeNodes()) list->MoveNodesInto(work);
    if (TALXMLNodeList* list = node->RawChildNodes()) list->MoveNodesInto(work);
    // `node` is destroyed here with empty lists.
  }
}

// ---------------------------------------------------------------------------------------------
// TALXMLNode

TALXMLNode::~TALXMLNode() = default;

void TALXMLNode::CheckChild(int, const TALXMLNode&) const {}
TALXMLNodeList* TALXMLNode::RawAttributeNodes() const noexcept { return nullptr; }
TALXMLNodeList* TALXMLNode::RawChildNodes() const noexcept { return nullptr; }
const std::string& TALXMLNode::InternalValue() const noexcept { return kEmpty; }
const std::string& TALXMLNode::InternalNameOrContent() const noexcept { return kEmpty; }
TALXMLNodeList* TALXMLNode::AttributeNodes() { return nullptr; }
TALXMLNodeList* TALXMLNode::ChildNodes() { return nullptr; }
TALXMLNodeType TALXMLNode::NodeType() const noexcept { return ntReserved; }
TALXMLNode* TALXMLNode::ParentNode() const noexcept { return nullptr; }
void TALXMLNode::SetAttributeNodes(std::unique_ptr<TALXMLNodeList>) {}
void TALXMLNode::SetChildNodes(std::unique_ptr<TALXMLNodeList>) {}
void TALXMLNode::SetInternalValue(std::string) {}
void TALXMLNode::SetInternalNameOrContent(std::string) {}

void TALXMLNode::SetParentNode(TALXMLNode* parent) {
  if (!parent) return;
  TALXMLDocument* doc = parent->OwnerDocument();
  // Every insertion hands the document down, so a subtree never mixes documents: when this
  // node already has the parent's document, so does everything below it.
  if (doc == ownerDocument_) return;
  std::vector<TALXMLNode*> work{this};
  while (!work.empty()) {
    TALXMLNode* n = work.back();
    work.pop_back();
    n->ownerDocument_ = doc;
    for (TALXMLNodeList* list : {n->RawAttributeNodes(), n->RawChildNodes()}) {
      if (!list) continue;
      for (int i = 0; i < list->count_; ++i) work.push_back(list->items_[i].get());
    }
  }
}

const std::string& TALXMLNode::NodeName() const noexcept {
  static const std::string kText = "#text", kCData = "#cdata-section", kComment = "#comment",
                           kDocument = "#document", kFragment = "#document-fragment";
  switch (NodeType()) {
    case ntElement:
    case ntAttribute:
    case ntProcessingInstr:
      return InternalNameOrContent();
    case ntText:
      return kText;
    case ntCData:
      return kCData;
    case ntComment:
      return kComment;
    case ntDocument:
      return kDocument;
    case ntDocFragment:
      return kFragment;
    default:
      return kEmpty;
  }
}

std::string TALXMLNode::LocalName() const { return std::string(LocalNameOf(*this)); }

bool TALXMLNode::HasChildNodes() const noexcept {
  const TALXMLNodeList* list = RawChildNodes();
  return list && list->Count() > 0;
}

TALXMLNode* TALXMLNode::PreviousSibling() const noexcept {
  const TALXMLNode* parent = ParentNode();
  const TALXMLNodeList* list = parent ? parent->RawChildNodes() : nullptr;
  return list ? list->FindSibling(this, -1) : nullptr;
}

TALXMLNode* TALXMLNode::NextSibling() const noexcept {
  const TALXMLNode* parent = ParentNode();
  const TALXMLNodeList* list = parent ? parent->RawChildNodes() : nullptr;
  return list ? list->FindSibling(this, 1) : nullptr;
}

bool TALXMLNode::IsTextElement() const noexcept {
  if (NodeType() != ntElement) return false;
  const TALXMLNodeList* list = RawChildNodes();
  return !list || (list->Count() == 1 && list->First()->NodeType() == ntText);
}

const std::string& TALXMLNode::Text() const {
  switch (NodeType()) {
    case ntElement: {
      if (!IsTextElement()) throw EALXMLDocError(kNotSingleTextNode);
      const TALXMLNodeList* list = RawChildNodes();
      return list ? list->First()->InternalNameOrContent() : kEmpty;
    }
    case ntAttribute: {
      const TALXMLNodeList* list = RawChildNodes();
      return (list && list->Count() > 0) ? list->First()->InternalNameOrContent() : kEmpty;
    }
    case ntText:
    case ntComment:
      return InternalNameOrContent();
    case ntProcessingInstr:
      return InternalValue();
    default:
      return kEmpty;
  }
}

void TALXMLNode::SetText(std::string text) {
  switch (NodeType()) {
    case ntElement:
      if (!IsTextElement()) throw EALXMLDocError(kNotSingleTextNode);
      [[fallthrough]];
    case ntAttribute: {
      TALXMLNodeList* list = RawChildNodes();
      if (list && list->Count() == 1) {
        list->First()->SetInternalNameOrContent(std::move(text));
      } else {
        ChildNodes()->Add(std::make_unique<TALXmlTextNode>(OwnerDocument(), std::move(text)));
      }
      break;
    }
    case ntText:
    case ntComment:
      SetInternalNameOrContent(std::move(text));
      break;
    case ntProcessingInstr:
      SetInternalValue(std::move(text));
      break;
    case ntDocument:
      ThrowWrongNodeType(ntDocument);
    default:
      break;
  }
}

std::optional<std::string> TALXMLNode::NodeValue() const {
  const std::string& text = Text();
  if (text.empty()) return std::nullopt;
  return text;
}

std::optional<std::string> TALXMLNode::ChildValues(std::string_view name) const {
  const TALXMLNodeList* list = RawChildNodes();
  const TALXMLNode* child = list ? list->FindNode(name) : nullptr;
  if (!child) return std::nullopt;
  return child->NodeValue();
}

std::optional<std::string> TALXMLNode::Attributes(std::string_view name) const {
  const TALXMLNodeList* list = RawAttributeNodes();
  const TALXMLNode* attr = list ? list->FindNode(name) : nullptr;
  if (!attr) return std::nullopt;
  return attr->NodeValue();
}

void TALXMLNode::SetAttributes(std::string_view name, std::optional<std::string> value) {
  if (!value) {
    if (TALXMLNodeList* list = RawAttributeNodes()) list->Delete(name);
    return;
  }
  TALXMLNodeList* list = AttributeNodes();
  if (!list) ThrowWrongNodeType(NodeType());
  TALXMLNode* attr = list->FindNode(name);
  if (!attr) {
    auto created = std::make_unique<TALXmlAttributeNode>(OwnerDocument(), std::string(name));
    attr = created.get();
    list->Add(std::move(created));
  }
  attr->SetText(std::move(*value));
}

TALXMLNode* TALXMLNode::AddChild(const std::string& name, int index) {
  TALXMLNodeList* list = ChildNodes();
  if (!list) ThrowWrongNodeType(NodeType());
  auto element = std::make_unique<TALXmlElementNode>(OwnerDocument(), name);
  TALXMLNode* raw = element.get();
  list->Insert(index, std::move(element));
  return raw;
}

std::string TALXMLNode::SaveToXML() const {
  std::string out;
  WriteNode(*this, out);
  return out;
}

void TALXMLNode::SaveToStream(std::ostream& stream) const { WriteNode(*this, stream); }

// ---------------------------------------------------------------------------------------------
// Node classes

void TALXMLNode::ReplaceList(std::unique_ptr<TALXMLNodeList>& slot, std::unique_ptr<TALXMLNodeList> list,
                             TALXMLNode* owner) {
  std::unique_ptr<TALXMLNodeList> old = std::exchange(slot, std::move(list));
  if (!slot) return;
  slot->SetOwner(owner);
  for (int i = 0; i < slot->Count(); ++i) slot->Get(i)->SetParentNode(owner);
}

TALXmlElementNode::TALXmlElementNode(TALXMLDocument* ownerDocument, std::string name)
    : TALXMLNode(ownerDocument), name_(std::move(name)) {
  CheckName(name_);
}

TALXmlElementNode::~TALXmlElementNode() = default;

void TALXmlElementNode::CheckChild(int, const TALXMLNode& node) const {
  switch (node.NodeType()) {
    case ntElement:
    case ntAttribute:
    case ntText:
    case ntCData:
    case ntEntityRef:
    case ntProcessingInstr:
    case ntComment:
      return;
    default:
      throw EALXMLDocError(kParameterIncorrect);
  }
}

TALXMLNodeList* TALXmlElementNode::AttributeNodes() {
  if (!attributes_) attributes_ = std::make_unique<TALXMLNodeList>(this);
  return attributes_.get();
}

TALXMLNodeList* TALXmlElementNode::ChildNodes() {
  if (!children_) children_ = std::make_unique<TALXMLNodeList>(this);
  return children_.get();
}

void TALXmlElementNode::SetAttributeNodes(std::unique_ptr<TALXMLNodeList> list) {
  ReplaceList(attributes_, std::move(list), this);
}

void TALXmlElementNode::SetChildNodes(std::unique_ptr<TALXMLNodeList> list) {
  ReplaceList(children_, std::move(list), this);
}

void TALXmlElementNode::SetInternalNameOrContent(std::string value) {
  CheckName(value);
  name_ = std::move(value);
}

void TALXmlElementNode::SetParentNode(TALXMLNode* parent) {
  parent_ = parent;
  TALXMLNode::SetParentNode(parent);
}

TALXmlAttributeNode::TALXmlAttributeNode(TALXMLDocument* ownerDocument, std::string name)
    : TALXMLNode(ownerDocument), name_(std::move(name)) {
  CheckName(name_);
}

TALXmlAttributeNode::~TALXmlAttributeNode() = default;

void TALXmlAttributeNode::CheckChild(int, const TALXMLNode& node) const {
  const TALXMLNodeType type = node.NodeType();
  if (type != ntText && type != ntEntityRef) throw EALXMLDocError(kParameterIncorrect);
  if (children_ && children_->Count() > 0) throw EALXMLDocError(kOnlyOneChild);
}

TALXMLNodeList* TALXmlAttributeNode::ChildNodes() {
  if (!children_) children_ = std::make_unique<TALXMLNodeList>(this);
  return children_.get();
}

void TALXmlAttributeNode::SetChildNodes(std::unique_ptr<TALXMLNodeList> list) {
  ReplaceList(children_, std::move(list), this);
}

void TALXmlAttributeNode::SetInternalNameOrContent(std::string value) {
  CheckName(value);
  name_ = std::move(value);
}

TALXmlProcessingInstrNode::TALXmlProcessingInstrNode(TALXMLDocument* ownerDocument, std::string target,
                                                     std::string data)
    : TALXMLNode(ownerDocument), target_(std::move(target)), data_(std::move(data)) {
  CheckName(target_);
}

void TALXmlProcessingInstrNode::SetInternalNameOrContent(std::string value) {
  CheckName(value);
  target_ = std::move(value);
}

void TALXmlProcessingInstrNode::SetParentNode(TALXMLNode* parent) {
  parent_ = parent;
  TALXMLNode::SetParentNode(parent);
}

TALXmlDocumentNode::~TALXmlDocumentNode() = default;

void TALXmlDocumentNode::CheckChild(int, const TALXMLNode& node) const {
  if (children_ && children_->elementCount_ > 0) throw EALXMLDocError(kOnlyOneTopLevel);
  switch (node.NodeType()) {
    case ntElement:
    case ntProcessingInstr:
    case ntComment:
    case ntDocType:
      return;
    default:
      throw EALXMLDocError(kParameterIncorrect);
  }
}

TALXMLNodeList* TALXmlDocumentNode::ChildNodes() {
  if (!children_) children_ = std::make_unique<TALXMLNodeList>(this);
  return children_.get();
}

void TALXmlDocumentNode::SetChildNodes(std::unique_ptr<TALXMLNodeList> list) {
  ReplaceList(children_, std::move(list), this);
}

// ---------------------------------------------------------------------------------------------
// TALXMLDocument

TALXMLDocument::TALXMLDocument() = default;

TALXMLDocument::~TALXMLDocument() {
  loading_ = false;
  try {
    SetActive(false);
  } catch (...) {
    // A destructor cannot report; the tree is released below in any case.
  }
}

void TALXMLDocument::SetActive(bool active) {
  if (loading_) {
    activeWish_ = active;
    return;
  }
  if (active == Active()) return;
  if (active)
    Open();
  else
    Close();
}

void TALXMLDocument::EndLoading() {
  loading_ = false;
  SetActive(activeWish_);
}

void TALXMLDocument::Open() {
  if (BeforeOpen) BeforeOpen(*this);
  documentNode_ = std::make_unique<TALXmlDocumentNode>(this);
  try {
    Load();
  } catch (...) {
    documentNode_.reset();
    throw;
  }
  if (AfterOpen) AfterOpen(*this);
}

void TALXMLDocument::Close() {
  if (BeforeClose) BeforeClose(*this);
  if (options_ & doAutoSave) {
    if (source_ == Source::XmlLines)
      xml_ = SplitLines(SaveToXML());
    else if (source_ == Source::File)
      SaveToFile(fileName_);
  }
  documentNode_.reset();
  if (source_ == Source::File || source_ == Source::Stream) xml_.clear();
  source_ = Source::None;
  if (AfterClose) AfterClose(*this);
}

void TALXMLDocument::Load() {
  source_ = Source::None;
  if (!xml_.empty()) {
    const std::string text = JoinLines(xml_);
    ViewStreamBuf buffer(text);
    std::istream in(&buffer);
    Parse(in);
    source_ = Source::XmlLines;
  } else if (pendingStream_) {
    std::istream* stream = std::exchange(pendingStream_, nullptr);
    stream->clear();
    stream->seekg(0);
    stream->clear();
    Parse(*stream);
    source_ = Source::Stream;
  } else if (!fileName_.empty()) {
    std::ifstream file(PathOf(fileName_), std::ios::in | std::ios::binary);
    if (!file) throw std::runtime_error("Cannot open file \"" + fileName_ + "\"");
    Parse(file);
    source_ = Source::File;
  }
}

void TALXMLDocument::LoadFromXML(std::string_view xml) {
  ViewStreamBuf buffer(xml);
  std::istream in(&buffer);
  LoadFromStream(in);
}

void TALXMLDocument::LoadFromStream(std::istream& stream) {
  SetActive(false);
  xml_.clear();
  pendingStream_ = &stream;
  struct Forget {
    std::istream*& p;
    ~Forget() { p = nullptr; }
  } forget{pendingStream_};
  SetActive(true);
}

std::string TALXMLDocument::SaveToXML() const { return Node()->SaveToXML(); }

void TALXMLDocument::SaveToStream(std::ostream& stream) const { Node()->SaveToStream(stream); }

void TALXMLDocument::SaveToFile(const std::string& fileName) const {
  const TALXMLNode* node = Node();
  const std::string& name = fileName.empty() ? fileName_ : fileName;
  std::ofstream file(PathOf(name), std::ios::out | std::ios::binary | std::ios::trunc);
  if (!file) throw std::runtime_error("Cannot create file \"" + name + "\"");
  node->SaveToStream(file);
  file.flush();
  if (!file) throw std::runtime_error("Cannot write file \"" + name + "\"");
}

const std::vector<std::string>& TALXMLDocument::XML() {
  if (Active()) xml_ = SplitLines(SaveToXML());
  return xml_;
}

void TALXMLDocument::SetXML(std::vector<std::string> lines) { SetXMLLines(std::move(lines), true); }

void TALXMLDocument::SetXMLText(std::string_view text) { SetXMLLines(SplitLines(text), true); }

std::string TALXMLDocument::XMLText() { return JoinLines(XML()); }

void TALXMLDocument::SetXMLLines(std::vector<std::string> lines, bool external) {
  if (external) {
    // Deactivate before the new lines arrive, so that an auto-save or the clearing of lines
    // on close cannot overwrite them.
    if (Active() && !loading_) SetActive(false);
    fileName_.clear();
  }
  xml_ = std::move(lines);
}

void TALXMLDocument::SetFileName(std::string fileName) {
  if (fileName == fileName_) return;
  if (Active() && source_ == Source::File)
    SetActive(false);
  else
    xml_.clear();
  fileName_ = std::move(fileName);
}

TALXMLNode* TALXMLDocument::Node() const {
  if (!documentNode_) throw EALXMLDocError(kNoActiveDocument);
  return documentNode_.get();
}

TALXMLNode* TALXMLDocument::DocumentElement() const {
  const TALXMLNodeList* list = Node()->RawChildNodes();
  if (!list) return nullptr;
  for (int i = list->Count() - 1; i >= 0; --i) {
    TALXMLNode* node = list->Get(i);
    if (node->NodeType() == ntElement) return node;
  }
  return nullptr;
}

std::unique_ptr<TALXMLNode> TALXMLDocument::CreateNode(const std::string& nameOrData,
                                                       TALXMLNodeType nodeType,
                                                       const std::string& addlData) {
  switch (nodeType) {
    case ntElement:
      return std::make_unique<TALXmlElementNode>(this, nameOrData);
    case ntAttribute: {
      auto attr = std::make_unique<TALXmlAttributeNode>(this, nameOrData);
      if (!addlData.empty()) attr->SetText(addlData);
      return attr;
    }
    case ntText:
      return std::make_unique<TALXmlTextNode>(this, nameOrData);
    case ntProcessingInstr:
      return std::make_unique<TALXmlProcessingInstrNode>(this, nameOrData, addlData);
    case ntComment:
      return std::make_unique<TALXmlCommentNode>(this, nameOrData);
    case ntCData:
    case ntEntityRef:
    case ntDocFragment:
      return nullptr;
    default:
      throw EALXMLDocError(kInvalidNodeType);
  }
}

}  // namespace mq
