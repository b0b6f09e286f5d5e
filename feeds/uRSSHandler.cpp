#include "feeds/uRSSHandler.h"

#include <exception>
#include <initializer_list>
#include <optional>

#include "feeds/FeedText.h"
#include "feeds/FeedUrl.h"
#include "feeds/JsonFeedReader.h"

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
    if (!blank)
      out += c;
    else if (!inRun)
      out += ' ';
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
    if (const TALXMLNode* child = FindField(node, "title"))
      item->SetTitle(FieldView(*child, true, holder));
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

// Plain text made safe for SetTitle and SetDescription: "&", "<" and "|" are written as
// references, so no tag is stripped and no "|" breaks the line; the display's DecodeCharRefs
// gives the text back as it was.
std::string PlainAsMarkup(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '|':
        out += "&#124;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// The first line of a cleaned text, for an item that has no title of its own.
std::string_view FirstLine(std::string_view cleaned) {
  return cleaned.substr(0, cleaned.find_first_of("\r\n"));
}

// The prefix ("a:" or empty) of an Atom document's element names, taken from its root.
std::string AtomPrefix(const TALXMLNode& root) {
  const std::string& name = root.NodeName();
  const size_t colon = name.find(':');
  return colon == std::string::npos ? std::string() : name.substr(0, colon + 1);
}

// An Atom text construct as markup for SetTitle and SetDescription: "html" (and 0.3's
// escaped mode) is markup already; "xhtml" gives its div's content with the tags written
// back; "text" is taken as it is.
std::string AtomTextMarkup(const TALXMLNode& field) {
  const std::optional<std::string> type = field.Attributes("type");
  const std::optional<std::string> mode = field.Attributes("mode");
  if ((type && (*type == "html" || *type == "text/html")) || (mode && *mode == "escaped"))
    return FieldText(field, true);
  if ((type && (*type == "xhtml" || *type == "application/xhtml+xml")) || (mode && *mode == "xml")) {
    if (const TALXMLNodeList* children = field.RawChildNodes()) {
      for (int i = 0; i < children->Count(); ++i) {
        const TALXMLNode* child = children->Get(i);
        if (child->NodeType() == ntElement && child->LocalName() == "div")
          return FieldText(*child, true);
      }
    }
    return FieldText(field, true);
  }
  return PlainAsMarkup(FieldText(field, false));
}

// The address `node`'s xml:base makes of `base` (the base itself without one).
std::string WithXmlBase(const std::string& base, const TALXMLNode& node) {
  const std::optional<std::string> xmlBase = node.Attributes("xml:base");
  return xmlBase ? ResolveUrl(base, *xmlBase) : base;
}

bool IsAlternateRel(const std::optional<std::string>& rel) {
  return !rel || *rel == "alternate" || *rel == "http://www.iana.org/assignments/relation/alternate";
}

// The address of an Atom element's alternate link (no rel, or rel="alternate"), preferring
// one with type="text/html", resolved against `base`; empty when there is none.
std::string AtomLink(const TALXMLNode& parent, const std::string& prefix, const std::string& base) {
  const TALXMLNodeList* children = parent.RawChildNodes();
  if (!children) return {};
  const std::string name = prefix + "link";
  const TALXMLNode* chosen = nullptr;
  for (int i = 0; i < children->Count(); ++i) {
    const TALXMLNode* child = children->Get(i);
    if (child->NodeType() != ntElement || child->NodeName() != name) continue;
    if (!IsAlternateRel(child->Attributes("rel")) || !child->Attributes("href")) continue;
    const std::optional<std::string> type = child->Attributes("type");
    if (type && *type == "text/html") {
      chosen = child;
      break;
    }
    if (!chosen) chosen = child;
  }
  if (!chosen) return {};
  return ResolveUrl(WithXmlBase(base, *chosen), *chosen->Attributes("href"));
}

// The first of the named Atom fields that the element has.
const TALXMLNode* FirstAtomField(const TALXMLNode& parent, const std::string& prefix,
                                 std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (const TALXMLNode* field = FindField(parent, prefix + name)) return field;
  }
  return nullptr;
}

// Reads one Atom entry; `base` is the address its links resolve against before its own
// xml:base. nullptr when it cannot be read.
std::unique_ptr<TRSSItem> ReadAtomEntry(const TALXMLNode& entry, const std::string& prefix,
                                        const std::string& base) noexcept {
  try {
    auto item = std::make_unique<TRSSItem>();
    if (const TALXMLNode* field = FirstAtomField(entry, prefix, {"summary", "content"}))
      item->SetDescription(AtomTextMarkup(*field));
    if (const TALXMLNode* field = FindField(entry, prefix + "title"))
      item->SetTitle(AtomTextMarkup(*field));
    if (item->Title().empty()) item->SetTitle(FirstLine(item->Description()));
    item->SetLink(AtomLink(entry, prefix, WithXmlBase(base, entry)));
    // 0.3 names its dates "modified" and "issued".
    if (const TALXMLNode* field =
            FirstAtomField(entry, prefix, {"updated", "published", "modified", "issued"}))
      item->SetPubDate(FieldText(*field, false));
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
      xmlDocument_(std::make_unique<TALXMLDocument>()) {
  xmlDocument_->SetMaxDepth(kMaxNesting);
  xmlDocument_->OnParseElementDone = [this](TALXMLDocument&, TALXMLNode& element) { TakeItem(element); };
}

void TRSSHandler::SetUrl(std::string_view url) {
  if (!url.empty() && url != url_) url_ = url;
}

void TRSSHandler::ClearItems() noexcept {
  currentItem_ = nullptr;
  items_.Clear();
}

int TRSSHandler::CurrentIndex() const noexcept {
  if (items_.Count() == 0 || !currentItem_) return -1;
  return items_.IndexOfObject(currentItem_);
}

void TRSSHandler::SelectFirst() noexcept {
  if (items_.Count() > 0) currentItem_ = items_.Objects(0);
}

void TRSSHandler::SelectNext() noexcept {
  if (items_.Count() == 0) return;
  const int i = CurrentIndex();
  if (i + 1 == items_.Count()) {
    SelectFirst();
  } else {
    currentItem_ = items_.Objects(i + 1);
  }
}

void TRSSHandler::SelectPrevious() noexcept {
  if (items_.Count() == 0) return;
  const int i = CurrentIndex();
  if (i <= 0) {
    SelectFirst();
  } else {
    currentItem_ = items_.Objects(i - 1);
  }
}

void TRSSHandler::LoadFromText(std::string_view text) {
  const TFeedKind kind = DetectFeedKind(text);
  if (kind == TFeedKind::None) {
    kind_ = kind;
    return;
  }
  if (kind == TFeedKind::JsonFeed) {
    LoadJsonFeed(text);
    return;
  }
  kind_ = kind;
  lastError_.clear();
  try {
    xmlText_ = CleanFeedText(text);
    Parse();
  } catch (const std::exception& e) {
    lastError_ = e.what();
  } catch (...) {
    lastError_ = "unknown failure";
  }
  xmlDocument_->SetActive(false);  // the items hold all that is needed: free the tree
  readItems_.clear();
  if (!lastError_.empty()) {
    currentItem_ = nullptr;
    reporter_->ReportFailure(kLoadErrorMessage, lastError_);
  }
}

void TRSSHandler::LoadJsonFeed(std::string_view text) {
  TJsonFeed feed;
  std::string error;
  if (!ReadJsonFeed(text, static_cast<size_t>(kMaxItems), feed, error)) {
    // Not a JSON Feed we read: dropped like any other text that is no feed.
    kind_ = TFeedKind::None;
    lastError_ = "not a JSON Feed: " + error;
    return;
  }
  kind_ = TFeedKind::JsonFeed;
  lastError_.clear();
  try {
    if (!feed.title.empty()) title_ = std::move(feed.title);
    if (!feed.homePageUrl.empty()) link_ = ResolveUrl(url_, feed.homePageUrl);
    if (!feed.description.empty()) description_ = std::move(feed.description);
    for (TJsonFeedItem& entry : feed.items) {
      auto item = std::make_unique<TRSSItem>();
      if (!entry.summary.empty()) {
        item->SetDescription(PlainAsMarkup(entry.summary));
      } else if (!entry.contentText.empty()) {
        item->SetDescription(PlainAsMarkup(entry.contentText));
      } else {
        item->SetDescription(entry.contentHtml);
      }
      item->SetTitle(PlainAsMarkup(entry.title));
      if (item->Title().empty()) {
        // A title-less item (a microblog post) scrolls the first line of its content.
        TRSSItem content;
        content.SetDescription(entry.contentText.empty() ? entry.contentHtml
                                                         : PlainAsMarkup(entry.contentText));
        item->SetTitle(FirstLine(content.Description()));
      }
      const std::string& url = entry.url.empty() ? entry.externalUrl : entry.url;
      if (!url.empty()) item->SetLink(ResolveUrl(url_, url));
      item->SetPubDate(
          std::move(entry.datePublished.empty() ? entry.dateModified : entry.datePublished));
      std::string title = item->Title();
      items_.Add(std::move(title), std::move(item));
      entry = TJsonFeedItem{};  // its texts are no longer needed
    }
    SelectFirst();
  } catch (const std::exception& e) {
    lastError_ = e.what();
    currentItem_ = nullptr;
    reporter_->ReportFailure(kLoadErrorMessage, lastError_);
  }
}

void TRSSHandler::TakeItem(TALXMLNode& element) {
  TALXMLNode* parent = element.ParentNode();
  const TALXMLNode* grandparent = parent ? parent->ParentNode() : nullptr;
  if (!grandparent || element.NodeType() != ntElement) return;
  std::string atomPrefix;
  if (kind_ == TFeedKind::Atom) {
    // Atom entries are children of the root.
    atomPrefix = AtomPrefix(*parent);
    if (grandparent->NodeType() != ntDocument || element.NodeName() != atomPrefix + "entry") return;
  } else {
    if (!IsElementNamed(element, "item")) return;
    const bool inRoot = grandparent->NodeType() == ntDocument;
    const bool inChannel = IsElementNamed(*parent, "channel") && grandparent->ParentNode() &&
                           grandparent->ParentNode()->NodeType() == ntDocument;
    if (!inRoot && !inChannel) return;
  }
  std::vector<std::unique_ptr<TRSSItem>>& items = readItems_[parent];
  if (items.size() < static_cast<size_t>(kMaxItems)) {
    // An item that cannot be read is left out, not the feed.
    std::unique_ptr<TRSSItem> item = kind_ == TFeedKind::Atom
                                         ? ReadAtomEntry(element, atomPrefix, WithXmlBase(url_, *parent))
                                         : ReadItem(element);
    if (item) items.push_back(std::move(item));
  }
  TALXMLNodeList* siblings = parent->RawChildNodes();
  if (siblings && siblings->Last() == &element) siblings->Delete(siblings->Count() - 1);
}

void TRSSHandler::ParseAtomChannel(const TALXMLNode& root) {
  const std::string prefix = AtomPrefix(root);
  if (const TALXMLNode* field = FindField(root, prefix + "title")) {
    const std::optional<std::string> type = field->Attributes("type");
    // A plain title is kept verbatim, as an RSS channel's is; markup is cleaned.
    title_ = !type || *type == "text" ? FieldText(*field, false) : CleanedText(AtomTextMarkup(*field));
  }
  // 0.3 calls the subtitle "tagline".
  if (const TALXMLNode* field = FirstAtomField(root, prefix, {"subtitle", "tagline"}))
    description_ = FieldText(*field, false);
  if (std::string link = AtomLink(root, prefix, WithXmlBase(url_, root)); !link.empty())
    link_ = std::move(link);
  AddReadItems(readItems_.find(&root));
}

void TRSSHandler::Parse() {
  readItems_.clear();
  xmlDocument_->LoadFromXML(xmlText_);
  const TALXMLNode* root = xmlDocument_->DocumentElement();
  if (!root) throw EFeedShape("the document has no root element");
  if (kind_ == TFeedKind::Atom) {
    ParseAtomChannel(*root);
    return;
  }
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

  auto items = readItems_.find(channel);
  // RSS 1.0 puts its items beside the channel, under the root.
  if ((items == readItems_.end() || items->second.empty()) && IsRdfRoot(*root))
    items = readItems_.find(root);
  AddReadItems(items);
}

void TRSSHandler::AddReadItems(ReadItems::iterator items) {
  // A channel (or feed) without items is an empty feed, not a failure.
  if (items != readItems_.end()) {
    for (std::unique_ptr<TRSSItem>& item : items->second) {
      std::string title = item->Title();
      items_.Add(std::move(title), std::move(item));
    }
  }
  SelectFirst();
}

}  // namespace mq
