// uRSSHandler: the feed the ticker shows. TRSSHandler turns one downloaded RSS, RDF, Atom
// or JSON Feed document into its channel fields and an ordered list of TRSSItem records with a
// current-item cursor. Everything runs on the main thread; the handler has no lock.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "feeds/FeedFailure.h"
#include "feeds/FeedFetchState.h"
#include "feeds/FeedText.h"
#include "xml/ALXmlDoc.h"

namespace mq {

// One item of a feed. All texts are UTF-8 and empty on creation.
class TRSSItem {
 public:
  const std::string& Title() const noexcept { return title_; }
  const std::string& Link() const noexcept { return link_; }
  const std::string& Description() const noexcept { return description_; }
  const std::string& PubDate() const noexcept { return pubDate_; }

  // Store the text cleaned by StripHtmlTags and trimmed of codes 0 to 32 at both ends. A
  // title is one line: each run of blanks, tabs, CR and LF in it becomes one blank.
  void SetTitle(std::string_view text);
  void SetDescription(std::string_view text);
  // Store the text as it is.
  void SetLink(std::string text) { link_ = std::move(text); }
  void SetPubDate(std::string text) { pubDate_ = std::move(text); }

 private:
  std::string title_;
  std::string link_;
  std::string description_;
  std::string pubDate_;
};

// The handler's ordered list: each entry holds an item's cleaned title and owns the item.
// Duplicates are allowed; the list is never sorted.
class TRSSItemList {
 public:
  int Count() const noexcept { return static_cast<int>(entries_.size()); }
  const std::string& Strings(int index) const { return entries_.at(static_cast<size_t>(index)).text; }
  TRSSItem* Objects(int index) const { return entries_.at(static_cast<size_t>(index)).item.get(); }
  int IndexOfObject(const TRSSItem* item) const noexcept;
  void Add(std::string text, std::unique_ptr<TRSSItem> item);

 private:
  friend class TRSSHandler;
  void Clear() noexcept { entries_.clear(); }

  struct Entry {
    std::string text;
    std::unique_ptr<TRSSItem> item;
  };
  std::vector<Entry> entries_;
};

class TRSSHandler {
 public:
  // A load keeps at most this many items, the first in document order.
  static constexpr int kMaxItems = 10000;
  // Elements nested deeper than this fail the load: no feed needs it, and each level costs
  // a node of the tree.
  static constexpr int kMaxNesting = 1000;

  // The message the user sees when a recognised feed cannot be loaded.
  static constexpr std::string_view kLoadErrorMessage = "Error loading appropriate rss!";

  // Failures are reported through `reporter` (not owned; it must outlive the handler), or
  // through the platform's reporter when none is given.
  explicit TRSSHandler(TFeedFailureReporter* reporter = nullptr);
  TRSSHandler(const TRSSHandler&) = delete;
  TRSSHandler& operator=(const TRSSHandler&) = delete;

  const std::string& Url() const noexcept { return url_; }
  // Stores the address when it is not empty and differs from the current one.
  void SetUrl(std::string_view url);

  // Loads one decoded document (UTF-8, see DecodeFeedBytes). A text that is not an RSS, RDF
  // or Atom document, or a readable JSON Feed 1 or 1.1, is dropped without a word (LastError
  // says why when it looked like JSON); any failure after that is reported with
  // kLoadErrorMessage, and the items read before it stay, with no current item. Nothing is
  // thrown. The caller clears the items first. A channel without items is an empty feed; an
  // item that cannot be read is left out; at most kMaxItems items are kept.
  void LoadFromText(std::string_view text);

  // The cleaned text last handed to the XML document, and the document itself (inactive
  // once a load has taken its items: the tree is freed).
  const std::string& XmlText() const noexcept { return xmlText_; }
  TALXMLDocument& XmlDocument() noexcept { return *xmlDocument_; }

  // Channel fields, verbatim. A load whose channel lacks one of them keeps its old value.
  const std::string& Title() const noexcept { return title_; }
  const std::string& Description() const noexcept { return description_; }
  const std::string& Link() const noexcept { return link_; }

  const TRSSItemList& Items() const noexcept { return items_; }
  // Releases every item; there is no current item afterwards.
  void ClearItems() noexcept;

  TRSSItem* CurrentItem() const noexcept { return currentItem_; }
  // -1 without items; else the index of the current item, or -1 when there is none.
  int CurrentIndex() const noexcept;
  void SelectFirst() noexcept;
  // The next item, from the last one back to the first; without a current item the first.
  void SelectNext() noexcept;
  // The previous item; stays on the first; without a current item the first.
  void SelectPrevious() noexcept;

  // The kind of the last document loaded (None when it was dropped).
  TFeedKind Kind() const noexcept { return kind_; }

  // What went wrong in the last failed load (empty after one that succeeded), for tools.
  const std::string& LastError() const noexcept { return lastError_; }

  // What the downloads of this feed remember between reloads (validators, back-off). The
  // loader's hand-over keeps it; the main window asks it before a reload.
  TFeedFetchState& FetchState() noexcept { return fetchState_; }
  const TFeedFetchState& FetchState() const noexcept { return fetchState_; }

 private:
  // The items read during a load, by the element that holds them.
  using ReadItems = std::unordered_map<const TALXMLNode*, std::vector<std::unique_ptr<TRSSItem>>>;

  void Parse();
  void ParseAtomChannel(const TALXMLNode& root);
  void LoadJsonFeed(std::string_view text);
  // Moves the items read for one holder (if any) into the list and selects the first.
  void AddReadItems(ReadItems::iterator items);
  // Reads a complete item element of a channel (or of an RSS 1.0 root), or an entry of an
  // Atom root, while the document loads, and takes it out of the tree, so the tree never
  // holds more than one item.
  void TakeItem(TALXMLNode& element);

  TFeedFailureReporter* reporter_;
  std::string url_;
  std::string xmlText_;
  std::unique_ptr<TALXMLDocument> xmlDocument_;
  std::string title_;
  std::string description_;
  std::string link_;
  TRSSItemList items_;
  TRSSItem* currentItem_ = nullptr;
  std::string lastError_;
  TFeedKind kind_ = TFeedKind::None;
  ReadItems readItems_;
  TFeedFetchState fetchState_;
};

}  // namespace mq
