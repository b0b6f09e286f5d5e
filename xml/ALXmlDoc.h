// ALXmlDoc: a small, lenient, single-pass XML reader that builds a tree of nodes, and the
// writer that turns the tree back into text.
//
// It knows start tags, end tags, empty-element tags, text, comments and processing
// instructions, and decodes the five predefined entity references (&quot; &apos; &amp; &lt;
// &gt;); numeric character references are left as they are. It does not validate, has no
// namespaces, and does not recognise document type declarations or CDATA sections (they are
// read as start tags). Text is 8-bit: no character-set conversion takes place; inside the
// program it is UTF-8.
//
// Ownership: a TALXMLNodeList owns its nodes (deleting an entry destroys the node); a node owns
// its attribute and child lists; the document owns the document node. Every other pointer in
// this interface is a non-owning reference. Nothing here recurses on the machine stack to a
// depth the input controls: destroying, writing and walking a tree are iterative, so a
// document nested a million elements deep loads, saves and is freed like any other.
//
// Failures are EALXMLDocError exceptions with fixed English messages (see below).
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mq {

class TALXMLDocument;
class TALXMLNode;
class TALXMLNodeList;

// The error of the XML document and its nodes. what() is one of the fixed messages:
//   "Xml Parse error", "Invalid node type", "No active document",
//   "Element does not contain a single text node",
//   "This operation can not be performed with a node of type %s",
//   "The parameter is incorrect", "Only one child is allowed in an attribute node",
//   "Only one top level element is allowed in an XML document",
//   "Node list index out of bounds (%d)", Node "%s" not found,
//   "Node list capacity out of bounds (%d)", "Node list count out of bounds (%d)".
// Offset() is the byte offset in the source of the token being read when a load failed, or -1
// when the error did not come from reading a source.
class EALXMLDocError : public std::runtime_error {
 public:
  explicit EALXMLDocError(const std::string& message, std::int64_t offset = -1)
      : std::runtime_error(message), offset_(offset) {}
  std::int64_t Offset() const noexcept { return offset_; }

 private:
  std::int64_t offset_;
};

// Node kinds, numbered as in the DOM.
enum TALXMLNodeType : int {
  ntReserved = 0,
  ntElement = 1,
  ntAttribute = 2,
  ntText = 3,
  ntCData = 4,
  ntEntityRef = 5,
  ntEntity = 6,
  ntProcessingInstr = 7,
  ntComment = 8,
  ntDocument = 9,
  ntDocType = 10,
  ntDocFragment = 11,
  ntNotation = 12,
};

// Document options (a set: combine with |). Default: doAttrNull only.
enum TALXMLDocOption : unsigned {
  doNodeAutoIndent = 1u << 0,  // inserting nodes also inserts line breaks and indentation
  doAttrNull = 1u << 1,        // kept for compatibility; changes nothing
  doAutoSave = 1u << 2,        // deactivating saves the tree back to where it came from
};
using TALXMLDocOptions = unsigned;

// Parse options (a set). Default: empty.
enum TALXMLParseOption : unsigned {
  poPreserveWhiteSpace = 1u << 0,  // keep whitespace-only text inside elements
};
using TALXMLParseOptions = unsigned;

// Largest count and capacity of a node list.
inline constexpr int kALMaxListSize = 134217727;

// ---------------------------------------------------------------------------------------------
// TALXMLNodeList: an ordered list of nodes, owned by the node that holds it.
class TALXMLNodeList {
 public:
  explicit TALXMLNodeList(TALXMLNode* owner) noexcept : owner_(owner) {}
  ~TALXMLNodeList();
  TALXMLNodeList(const TALXMLNodeList&) = delete;
  TALXMLNodeList& operator=(const TALXMLNodeList&) = delete;

  TALXMLNode* Owner() const noexcept { return owner_; }
  int Count() const noexcept { return count_; }
  int Capacity() const noexcept { return capacity_; }
  // Fails with "Node list capacity out of bounds (%d)" below Count() or above kALMaxListSize.
  void SetCapacity(int capacity);
  // Fails with "Node list count out of bounds (%d)" outside 0..kALMaxListSize. A smaller count
  // destroys the nodes at the end; a list holds no empty entries, so a larger count than the
  // current one fails with the same message.
  void SetCount(int count);

  TALXMLNode* First() const noexcept;  // nullptr when empty
  TALXMLNode* Last() const noexcept;   // nullptr when empty
  // Fails with "Node list index out of bounds (%d)" outside 0..Count()-1.
  TALXMLNode* Get(int index) const;
  // FindNode(name), failing with Node "name" not found when there is none.
  TALXMLNode* Get(std::string_view name) const;
  TALXMLNode* operator[](int index) const { return Get(index); }
  TALXMLNode* operator[](std::string_view name) const { return Get(name); }
  TALXMLNode* operator[](const char* name) const { return Get(std::string_view(name)); }

  int IndexOf(const TALXMLNode* node) const noexcept;  // first index holding it, or -1
  // The first node, in list order, whose NodeName() or LocalName() equals `name` exactly.
  int IndexOf(std::string_view name) const noexcept;
  TALXMLNode* FindNode(std::string_view name) const noexcept;
  // The node at IndexOf(node) + offset, nullptr outside the list.
  TALXMLNode* FindSibling(const TALXMLNode* node, int offset) const noexcept;

  // Inserts at the end; returns the node's index. See Insert.
  int Add(std::unique_ptr<TALXMLNode>&& node);
  // Asks the owner's CheckChild first; index -1 appends, otherwise 0..Count() ("Node list
  // index out of bounds (%d)"). On success the list takes the node (the argument becomes
  // empty) and the node's parent becomes the owner; on failure the argument keeps it.
  // With doNodeAutoIndent on the owner's document, inserting a node that is not an attribute
  // or text into a list whose owner has a parent also inserts indentation text nodes.
  // Returns the node's index.
  int Insert(int index, std::unique_ptr<TALXMLNode>&& node);
  void Delete(int index);             // destroys the node
  int Delete(std::string_view name);  // destroys FindNode(name); its index or -1
  void Clear();                       // destroys every node

  // Takes the node out of the list without destroying it; nullptr outside the list.
  std::unique_ptr<TALXMLNode> Extract(int index);

 private:
  friend class TALXMLNode;
  friend class TALXmlDocumentNode;
  void Grow();
  void InsertRaw(int index, std::unique_ptr<TALXMLNode> node);
  void SetOwner(TALXMLNode* owner) noexcept { owner_ = owner; }
  // Moves every node out (the list becomes empty), for iterative destruction.
  void MoveNodesInto(std::vector<std::unique_ptr<TALXMLNode>>& out);
  // Destroys a forest without recursion.
  static void DestroyNodes(std::vector<std::unique_ptr<TALXMLNode>>& work);

  // Small lists (most elements hold one text node) keep their entries inside the list object;
  // larger ones in an owned array of capacity_ entries.
  static constexpr int kInlineCapacity = 4;

  TALXMLNode* owner_;
  std::unique_ptr<TALXMLNode>* items_ = inline_;
  std::unique_ptr<TALXMLNode> inline_[kInlineCapacity];
  int count_ = 0;
  int capacity_ = 0;
  int elementCount_ = 0;  // how many of the nodes are elements
};

// ---------------------------------------------------------------------------------------------
// TALXMLNode: the base of every node. Every node knows its owner document.
class TALXMLNode {
 public:
  explicit TALXMLNode(TALXMLDocument* ownerDocument) noexcept : ownerDocument_(ownerDocument) {}
  virtual ~TALXMLNode();
  TALXMLNode(const TALXMLNode&) = delete;
  TALXMLNode& operator=(const TALXMLNode&) = delete;

  // Virtual operations, in this order. The base class accepts every child, has no lists, an
  // empty value and name, kind 0 and no parent; its setters change nothing except that
  // SetParentNode hands the parent's document down to this node and its whole subtree.
  virtual void CheckChild(int index, const TALXMLNode& node) const;
  virtual TALXMLNodeList* RawAttributeNodes() const noexcept;         // never creates
  virtual TALXMLNodeList* RawChildNodes() const noexcept;             // never creates
  virtual const std::string& InternalValue() const noexcept;          // PI: data
  virtual const std::string& InternalNameOrContent() const noexcept;  // name, target or text
  virtual TALXMLNodeList* AttributeNodes();  // creates on demand where the kind has one
  virtual TALXMLNodeList* ChildNodes();      // creates on demand where the kind has one
  virtual TALXMLNodeType NodeType() const noexcept;
  virtual TALXMLNode* ParentNode() const noexcept;
  virtual void SetAttributeNodes(std::unique_ptr<TALXMLNodeList> list);  // frees the old one
  virtual void SetChildNodes(std::unique_ptr<TALXMLNodeList> list);      // frees the old one
  virtual void SetInternalValue(std::string value);
  virtual void SetInternalNameOrContent(std::string value);
  virtual void SetParentNode(TALXMLNode* parent);

  TALXMLDocument* OwnerDocument() const noexcept { return ownerDocument_; }

  // Element, attribute: the name; processing instruction: the target; text "#text", comment
  // "#comment", document "#document" (and "#cdata-section", "#document-fragment" for those
  // kinds); other kinds an empty string.
  const std::string& NodeName() const noexcept;
  // Elements and attributes: the name after its first ":" (the whole name without one);
  // other kinds empty.
  std::string LocalName() const;
  bool HasChildNodes() const noexcept;  // the raw child list exists and is not empty
  TALXMLNode* PreviousSibling() const noexcept;
  TALXMLNode* NextSibling() const noexcept;
  // An element with no raw child list, or whose raw child list holds exactly one text node.
  bool IsTextElement() const noexcept;

  // Element: its one text child's text (empty without children), failing with "Element does
  // not contain a single text node" unless IsTextElement(). Attribute: its value. Text,
  // comment: the text. Processing instruction: the data. Other kinds: empty.
  const std::string& Text() const;
  // Element: the same check, then sets the one child's text or appends a text node.
  // Attribute: the value. Text, comment: the text. Processing instruction: the data.
  // Document: fails with "This operation can not be performed with a node of type DOCUMENT".
  void SetText(std::string text);
  // Text(), or no value when Text() is empty.
  std::optional<std::string> NodeValue() const;
  // No value when there is no raw child list or ChildNodes()->FindNode(name) finds nothing;
  // otherwise the found child's NodeValue().
  std::optional<std::string> ChildValues(std::string_view name) const;
  // The value of the attribute `name` (FindNode rules), no value when absent.
  std::optional<std::string> Attributes(std::string_view name) const;
  // No value deletes the attribute `name`; otherwise the attribute is found (or created) and
  // its value set; a name that exists keeps its one attribute node.
  void SetAttributes(std::string_view name, std::optional<std::string> value);

  // Creates an element through the owner document and inserts it into ChildNodes() at `index`
  // (-1 appends). Returns the new element.
  TALXMLNode* AddChild(const std::string& name, int index = -1);

  // Writes this node (an element or the document node only; other kinds fail with "This
  // operation can not be performed with a node of type %s").
  std::string SaveToXML() const;
  void SaveToStream(std::ostream& stream) const;

 protected:
  void SetOwnerDocument(TALXMLDocument* document) noexcept { ownerDocument_ = document; }
  // Replaces `slot` by `list`, which from now on belongs to `owner` (its nodes' parent); the
  // old list and its nodes are destroyed.
  static void ReplaceList(std::unique_ptr<TALXMLNodeList>& slot, std::unique_ptr<TALXMLNodeList> list,
                          TALXMLNode* owner);

 private:
  friend class TALXMLNodeList;
  friend class TALXMLDocument;
  TALXMLDocument* ownerDocument_;
};

// Kind 1.
class TALXmlElementNode final : public TALXMLNode {
 public:
  // Fails with "The parameter is incorrect" for an empty name or one holding a space, tab,
  // CR or LF.
  TALXmlElementNode(TALXMLDocument* ownerDocument, std::string name);
  ~TALXmlElementNode() override;

  void CheckChild(int index, const TALXMLNode& node) const override;
  TALXMLNodeList* RawAttributeNodes() const noexcept override { return attributes_.get(); }
  TALXMLNodeList* RawChildNodes() const noexcept override { return children_.get(); }
  const std::string& InternalNameOrContent() const noexcept override { return name_; }
  TALXMLNodeList* AttributeNodes() override;
  TALXMLNodeList* ChildNodes() override;
  TALXMLNodeType NodeType() const noexcept override { return ntElement; }
  TALXMLNode* ParentNode() const noexcept override { return parent_; }
  void SetAttributeNodes(std::unique_ptr<TALXMLNodeList> list) override;
  void SetChildNodes(std::unique_ptr<TALXMLNodeList> list) override;
  void SetInternalNameOrContent(std::string value) override;
  void SetParentNode(TALXMLNode* parent) override;

 private:
  std::unique_ptr<TALXMLNodeList> attributes_;
  std::unique_ptr<TALXMLNodeList> children_;
  TALXMLNode* parent_ = nullptr;
  std::string name_;
};

// Kind 2. Its child list holds the value as one text node.
class TALXmlAttributeNode final : public TALXMLNode {
 public:
  TALXmlAttributeNode(TALXMLDocument* ownerDocument, std::string name);  // name rules as above
  ~TALXmlAttributeNode() override;

  void CheckChild(int index, const TALXMLNode& node) const override;
  TALXMLNodeList* RawChildNodes() const noexcept override { return children_.get(); }
  const std::string& InternalNameOrContent() const noexcept override { return name_; }
  TALXMLNodeList* ChildNodes() override;
  TALXMLNodeType NodeType() const noexcept override { return ntAttribute; }
  void SetChildNodes(std::unique_ptr<TALXMLNodeList> list) override;
  void SetInternalNameOrContent(std::string value) override;

 private:
  std::unique_ptr<TALXMLNodeList> children_;
  std::string name_;
};

// Kinds 3 and 8: text and comments, a string with a parent and nothing below it.
template <TALXMLNodeType kType>
class TALXmlCharacterNode final : public TALXMLNode {
 public:
  TALXmlCharacterNode(TALXMLDocument* ownerDocument, std::string text) noexcept
      : TALXMLNode(ownerDocument), text_(std::move(text)) {}

  const std::string& InternalNameOrContent() const noexcept override { return text_; }
  TALXMLNodeType NodeType() const noexcept override { return kType; }
  TALXMLNode* ParentNode() const noexcept override { return parent_; }
  void SetInternalNameOrContent(std::string value) override { text_ = std::move(value); }
  void SetParentNode(TALXMLNode* parent) override {
    parent_ = parent;
    TALXMLNode::SetParentNode(parent);
  }

 private:
  TALXMLNode* parent_ = nullptr;
  std::string text_;
};
using TALXmlTextNode = TALXmlCharacterNode<ntText>;
using TALXmlCommentNode = TALXmlCharacterNode<ntComment>;

// Kind 7.
class TALXmlProcessingInstrNode final : public TALXMLNode {
 public:
  // Target rules as for names above.
  TALXmlProcessingInstrNode(TALXMLDocument* ownerDocument, std::string target, std::string data);

  const std::string& InternalValue() const noexcept override { return data_; }
  const std::string& InternalNameOrContent() const noexcept override { return target_; }
  TALXMLNodeType NodeType() const noexcept override { return ntProcessingInstr; }
  TALXMLNode* ParentNode() const noexcept override { return parent_; }
  void SetInternalValue(std::string value) override { data_ = std::move(value); }
  void SetInternalNameOrContent(std::string value) override;
  void SetParentNode(TALXMLNode* parent) override;

 private:
  TALXMLNode* parent_ = nullptr;
  std::string target_;
  std::string data_;
};

// Kind 9, created only by the document itself.
class TALXmlDocumentNode final : public TALXMLNode {
 public:
  explicit TALXmlDocumentNode(TALXMLDocument* ownerDocument) noexcept : TALXMLNode(ownerDocument) {}
  ~TALXmlDocumentNode() override;

  void CheckChild(int index, const TALXMLNode& node) const override;
  TALXMLNodeList* RawChildNodes() const noexcept override { return children_.get(); }
  TALXMLNodeList* ChildNodes() override;
  TALXMLNodeType NodeType() const noexcept override { return ntDocument; }
  void SetChildNodes(std::unique_ptr<TALXMLNodeList> list) override;

 private:
  std::unique_ptr<TALXMLNodeList> children_;
};

// ---------------------------------------------------------------------------------------------
// Splits the attribute text of a start tag into "name=value" entries, in order, the way the
// reader does: tokens separated by blanks (space, tab, CR, LF, NUL), quoted runs kept whole,
// then a name, "=" and a value separated by blanks joined into one entry. Values keep their
// quotes (the reader checks and strips them).
void ExtractHeaderFields(std::string_view text, std::vector<std::string>& fields);

// Replaces &quot; &apos; &amp; &lt; &gt; by their characters (one level); anything else,
// numeric references included, is copied unchanged.
std::string ALXmlDecodeEntities(std::string_view text);
// Replaces " & ' < > by &quot; &amp; &apos; &lt; &gt;.
std::string ALXmlEscape(std::string_view text);

// ---------------------------------------------------------------------------------------------
// TALXMLDocument: reads XML text into a tree and writes it back.
class TALXMLDocument {
 public:
  using TNotifyEvent = std::function<void(TALXMLDocument& Sender)>;
  using TProcessingInstructionEvent =
      std::function<void(TALXMLDocument& Sender, const std::string& Target, const std::string& Data)>;
  // Attributes are "name=value" lines, values decoded and without their quotes.
  using TStartElementEvent = std::function<void(TALXMLDocument& Sender, const std::string& Name,
                                                const std::vector<std::string>& Attributes)>;
  using TTextEvent = std::function<void(TALXMLDocument& Sender, const std::string& Text)>;
  using TElementEvent = std::function<void(TALXMLDocument& Sender, TALXMLNode& Element)>;

  // Size of the chunks in which a source is read.
  static constexpr std::size_t kChunkSize = 8192;

  TALXMLDocument();
  ~TALXMLDocument();  // deactivates first (errors there are swallowed)
  TALXMLDocument(const TALXMLDocument&) = delete;
  TALXMLDocument& operator=(const TALXMLDocument&) = delete;

  // True while a document node exists. Setting true raises BeforeOpen, creates the document
  // node and loads it (the XML lines if there are any, else a pending stream, else FileName if
  // set; with none of them the document is empty), then raises AfterOpen; a failed load
  // releases the partial tree and rethrows. Setting false raises BeforeClose, saves back with
  // doAutoSave, destroys the tree, clears XML when the tree came from a file or a stream, and
  // raises AfterClose.
  bool Active() const noexcept { return documentNode_ != nullptr; }
  void SetActive(bool active);

  // Parses `xml` (the text is read in place, not copied); the document is active afterwards,
  // or inactive and the error rethrown.
  void LoadFromXML(std::string_view xml);
  // Deactivates, clears XML, and loads the stream from its start.
  void LoadFromStream(std::istream& stream);

  // Serialise the document node; fail with "No active document" when inactive.
  std::string SaveToXML() const;
  void SaveToXML(std::string& xml) const { xml = SaveToXML(); }
  void SaveToStream(std::ostream& stream) const;
  void SaveToFile(const std::string& fileName = {}) const;  // empty: FileName()

  // The XML text as lines. Reading it while active first regenerates the lines from the
  // tree. Setting it (SetXML / SetXMLText) clears FileName and, while active and not loading,
  // deactivates the document. The joined text is every line followed by CR LF.
  const std::vector<std::string>& XML();
  void SetXML(std::vector<std::string> lines);
  void SetXMLText(std::string_view text);  // splits at CR LF, LF or CR
  std::string XMLText();                   // XML() joined

  const std::string& FileName() const noexcept { return fileName_; }
  // When different: deactivates when active and loaded from a file, else clears XML; then
  // stores the name.
  void SetFileName(std::string fileName);

  // The document node; fails with "No active document" when inactive.
  TALXMLNode* Node() const;
  // The last child of the document node that is an element; nullptr without children.
  TALXMLNode* DocumentElement() const;

  // Creates a node of the given kind: element (name), attribute (name, value = addlData), text,
  // processing instruction (target, data = addlData), comment. CDATA, entity reference and
  // document fragment give nullptr; any other kind fails with "Invalid node type".
  std::unique_ptr<TALXMLNode> CreateNode(const std::string& nameOrData,
                                         TALXMLNodeType nodeType = ntElement,
                                         const std::string& addlData = {});
  std::unique_ptr<TALXMLNode> CreateElement(const std::string& name) {
    return CreateNode(name, ntElement);
  }

  const std::string& NodeIndentStr() const noexcept { return nodeIndentStr_; }
  void SetNodeIndentStr(std::string indent) { nodeIndentStr_ = std::move(indent); }
  TALXMLDocOptions Options() const noexcept { return options_; }
  void SetOptions(TALXMLDocOptions options) noexcept { options_ = options; }
  TALXMLParseOptions ParseOptions() const noexcept { return parseOptions_; }
  void SetParseOptions(TALXMLParseOptions options) noexcept { parseOptions_ = options; }
  // The deepest nesting of elements a load accepts (0, the default: no limit). A start tag
  // beyond it fails the load with "Xml Parse error".
  int MaxDepth() const noexcept { return maxDepth_; }
  void SetMaxDepth(int depth) noexcept { maxDepth_ = depth; }

  // Loading state (the component being set up from stored settings): while loading, SetActive
  // only records the wish; EndLoading applies it and rethrows its error.
  void BeginLoading() noexcept {
    loading_ = true;
    activeWish_ = Active();
  }
  void EndLoading();
  bool Loading() const noexcept { return loading_; }

  // Events. OnParseStartDocument and OnParseEndDocument are never raised.
  TNotifyEvent BeforeOpen;
  TNotifyEvent AfterOpen;
  TNotifyEvent BeforeClose;
  TNotifyEvent AfterClose;
  TProcessingInstructionEvent OnParseProcessingInstruction;
  TNotifyEvent OnParseStartDocument;
  TNotifyEvent OnParseEndDocument;
  TStartElementEvent OnParseStartElement;
  TTextEvent OnParseEndElement;
  TTextEvent OnParseText;
  TTextEvent OnParseComment;
  // Raised with the element itself once it is complete (after OnParseEndElement). The handler
  // may take the element out of its parent's child list, and so read a large document one
  // part at a time without ever holding its whole tree.
  TElementEvent OnParseElementDone;

 private:
  enum class Source { None, XmlLines, File, Stream };
  class Reader;
  void Open();
  void Close();
  void Load();
  void Parse(std::istream& in);
  void SetXMLLines(std::vector<std::string> lines, bool external);

  std::vector<std::string> xml_;
  std::string fileName_;
  std::istream* pendingStream_ = nullptr;
  std::unique_ptr<TALXmlDocumentNode> documentNode_;
  Source source_ = Source::None;
  std::string nodeIndentStr_ = "  ";
  TALXMLDocOptions options_ = doAttrNull;
  TALXMLParseOptions parseOptions_ = 0;
  bool loading_ = false;
  bool activeWish_ = false;
  int maxDepth_ = 0;
};

}  // namespace mq
