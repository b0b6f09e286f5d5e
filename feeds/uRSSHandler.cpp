#include "feeds/uRSSHandler.h"

#include <exception>

#include "feeds/FeedText.h"

namespace mq {

namespace {

// A failed lookup of something the document must have.
class EFeedShape : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

bool IsElementNamed(const TALXMLNode& node, std::string_view name) {
  return node.NodeType() == ntElement && (node.NodeName() == name || node.LocalName() == name);
}

// The child element of a field: the first whose name is exactly `name`, else the first whose
// name or local name is (so an empty "atom:link" never hides the plain "link").
const TALXMLNode* FindField(const TALXMLNode& parent, std::string_view name) {
  const TALXMLNodeList* children = parent.RawChildNodes();
  if (!children) return nullptr;
  for (int i = 0; i < children->Count(); ++i) {
    const TALXMLNode* child = children->Get(i);
    if (child->NodeType() == ntElement && child->NodeName() == name) return child;
  }
  for (int i = 0; i < children->Count(); ++i) {
    const TALXMLNode* child = children->Get(i);
    if (IsElementNamed(*child, name)) return child;
  }
  return nullptr;
}

// The text of a field. A field that holds more than one text node (unescaped XHTML, a
// processing instruction) gives its descendants' text in document order; with `keepTags` its
// elements are written back as bare tags, so that StripHtmlTags turns them into line breaks
// or drops them exactly as it does with escaped markup. Walks without recursion.
std::string FieldText(const TALXMLNode& field, bool keepTags) {
  if (field.IsTextElement()) return field.Text();
  std::string out;
  struct Step {
    const TALXMLNode* node;
    bool closing;
  };
  std::vector<Step> work;
  const TALXMLNodeList* top = field.RawChildNodes();
  for (int i = top->Count() - 1; i >= 0; --i) work.push_back({top->Get(i), false});
  while (!work.empty()) {
    const Step step = work.back();
    work.pop_back();
    const TALXMLNode& node = *step.node;
    if (node.NodeType() == ntText) {
      out += node.Text();
      continue;
    }
    if (node.NodeType() != ntElement) continue;
    if (step.closing) {
      if (keepTags) out.append("</").append(node.NodeName()).append(">");
      continue;
    }
    const TALXMLNodeList* children = node.RawChildNodes();
    const bool empty = !children || children->Count() == 0;
    if (keepTags) out.append("<").append(node.NodeName()).append(empty ? "/>" : ">");
    if (empty) continue;
    work.push_back({&node, true});
    for (int i = children->Count() - 1; i >= 0; --i) work.push_back({children->Get(i), false});
  }
  return out;
}

// Any run of blanks, tabs, CR and LF becomes one blank: a title is shown on one line.
std::string OneLine(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool inRun = false;
  for (const char c : text) {
    const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
    if (!blank) out += c;
    else if (!inRun) out += ' ';
    inRun = blank;
  }
  return out;
}

// A field's text as FieldText gives it, without copying the usual field that holds one text
// node; `holder` keeps any other.
std::string_view FieldView(const TALXMLNode& field, bool keepTags, std::string& holder) {
  if (field.IsTextElement()) return field.Text();
  holder = FieldText(field, keepTags);
  return holder;
}

// StripHtmlTags, then trimmed of codes 0 to 32 at both ends, in place.
std::string CleanedText(std::string_view text) {
  std::string out = StripHtmlTags(text);
  const std::string_view kept = TrimControls(out);
  const size_t head = static_cast<size_t>(kept.data() - out.data());
  out.resize(head + kept.size());
  out.erase(0, head);
  return out;
}

// Reads one item element; nullptr when it cannot be read.
std::unique_ptr<TRSSItem> ReadItem(const TALXMLNode& node) noexcept {
  try {
    auto item = std::make_unique<TRSSItem>();
    std::string holder;
    if (const TALXMLNode* child = FindField(node, "title")) item->SetTitle(FieldView(*child, true, holder));
    if (const TALXMLNode* child = FindField(node, "link")) item->SetLink(FieldText(*child, false));
    if (const TALXMLNode* child = FindField(node, "description"))
      item->SetDescription(FieldView(*child, true, holder));
    if (const TALXMLNode* child = FindField(node, "pubDate")) item->SetPubDate(FieldText(*child, false));
    if (item->Title().find("Translat") != std::string::npos) item->SetPubDate({});
    return item;
  } catch (const std::exception&) {
    return nullptr;
  }
}

bool IsRdfRoot(const TALXMLNode& root) {
  const std::string local = root.LocalName();
  return local.size() == 3 && (local[0] | 0x20) == 'r' && (local[1] | 0x20) == 'd' &&
         (local[2] | 0x20) == 'f';
}

}  // namespace

void TRSSItem::SetTitle(std::string_view text) { title_ = OneLine(CleanedText(text)); }

void TRSSItem::SetDescription(std::string_view text) { description_ = CleanedText(text); }

int TRSSItemList::IndexOfObject(const TRSSItem* item) const noexcept {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].item.get() == item) return static_cast<int>(i);
  }
  return -1;
}

void TRSSItemList::Add(std::string text, std::unique_ptr<TRSSItem> item) {
  entries_.push_back(Entry{std::move(text), std::move(item)});
}

TRSSHandler::TRSSHandler(TFeedFailureReporter* reporter)
    : reporter_(reporter ? reporter : &PlatformFailureReporter()),
      xml_document_(std::make_unique<TALXMLDocument>()) {
  xml_document_->SetMaxDepth(kMaxNesting);
  xml_document_->OnParseElementDone = [this](TALXMLDocument&, TALXMLNode& element) { TakeItem(element); };
}

void TRSSHandler::SetUrl(std::string_view url) {
  if (!url.empty() && url != url_) url_ = url;
}

void TRSSHandler::ClearItems() noexcept {
  current_item_ = nullptr;
  items_.Clear();
}

int TRSSHandler::CurrentIndex() const noexcept {
  if (items_.Count() == 0 || !current_item_) return -1;
  return items_.IndexOfObject(current_item_);
}

void TRSSHandler::SelectFirst() noexcept {
  if (items_.Count() > 0) current_item_ = items_.Objects(0);
}

void TRSSHandler::SelectNext() noexcept {
  if (items_.Count() == 0) return;
  const int i = CurrentIndex();
  if (i + 1 == items_.Count()) {
    SelectFirst();
  } else {
    current_item_ = items_.Objects(i + 1);
  }
}

void TRSSHandler::SelectPrevious() noexcept {
  if (items_.Count() == 0) return;
  const int i = CurrentIndex();
  if (i <= 0) {
    SelectFirst();
  } else {
    current_item_ = items_.Objects(i - 1);
  }
}

void TRSSHandler::LoadFromText(std::string_view text) {
  if (!IsFeedText(text)) return;
  last_error_.clear();
  try {
    xml_text_ = CleanFeedText(text);
    Parse();
  } catch (const std::exception& e) {
    last_error_ = e.what();
  } catch (...) {
    last_error_ = "unknown failure";
  }
  xml_document_->SetActive(false);  // the items hold all that is needed: free the tree
  read_items_.clear();
  if (!last_error_.empty()) {
    current_item_ = nullptr;
    reporter_->ReportFailure(kLoadErrorMessage, last_error_);
  }
}

void TRSSHandler::TakeItem(TALXMLNode& element) {
  if (!IsElementNamed(element, "item")) return;
  TALXMLNode* parent = element.ParentNode();
  const TALXMLNode* grandparent = parent ? parent->ParentNode() : nullptr;
  if (!grandparent) return;
  const bool inRoot = grandparent->NodeType() == ntDocument;
  const bool inChannel = IsElementNamed(*parent, "channel") && grandparent->ParentNode() &&
                         grandparent->ParentNode()->NodeType() == ntDocument;
  if (!inRoot && !inChannel) return;
  std::vector<std::unique_ptr<TRSSItem>>& items = read_items_[parent];
  if (items.size() < static_cast<size_t>(kMaxItems)) {
    // An item that cannot be read is left out, not the feed.
    if (std::unique_ptr<TRSSItem> item = ReadItem(element)) items.push_back(std::move(item));
  }
  TALXMLNodeList* siblings = parent->RawChildNodes();
  if (siblings && siblings->Last() == &element) siblings->Delete(siblings->Count() - 1);
}

void TRSSHandler::Parse() {
  read_items_.clear();
  xml_document_->LoadFromXML(xml_text_);
  const TALXMLNode* root = xml_document_->DocumentElement();
  if (!root) throw EFeedShape("the document has no root element");
  const TALXMLNode* channel = FindField(*root, "channel");
  if (!channel) throw EFeedShape("the root element has no channel");

  struct ChannelField {
    const char* name;
    std::string* field;
  };
  for (const ChannelField& f :
       {ChannelField{"title", &title_}, ChannelField{"description", &description_},
        ChannelField{"link", &link_}}) {
    if (const TALXMLNode* child = FindField(*channel, f.name)) *f.field = FieldText(*child, false);
  }

  auto items = read_items_.find(channel);
  // RSS 1.0 puts its items beside the channel, under the root.
  if ((items == read_items_.end() || items->second.empty()) && IsRdfRoot(*root)) items = read_items_.find(root);
  // A channel without items is an empty feed, not a failure.
  if (items != read_items_.end()) {
    for (std::unique_ptr<TRSSItem>& item : items->second) {
      std::string title = item->Title();
      items_.Add(std::move(title), std::move(item));
    }
  }
  SelectFirst();
}

}  // namespace mq
