// One configured feed address and the ordered lists of them that the main window keeps:
// the built-in feeds and the user's own.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace mq {

// A feed address with its Enabled flag. Enabled entries are offered in the feed menus; the
// configuration dialog shows the flag as the check mark. The address never changes after
// construction; Enabled of a built-in entry is switched by the configuration dialog.
class TRSSLinkItem {
 public:
  TRSSLinkItem(std::string url, bool enabled) : Url(std::move(url)), Enabled(enabled) {}

  std::string Url;
  bool Enabled;
};

// An ordered list of feed entries. Positions are 0-based and are the indices the settings
// file uses in its "Disabled" lists.
class TRSSLinkList {
 public:
  void Add(std::string url, bool enabled) { items_.emplace_back(std::move(url), enabled); }
  void Clear() { items_.clear(); }

  std::size_t Count() const { return items_.size(); }
  bool Empty() const { return items_.empty(); }
  TRSSLinkItem& operator[](std::size_t i) { return items_[i]; }
  const TRSSLinkItem& operator[](std::size_t i) const { return items_[i]; }
  // The address of entry i (the list's string for that entry).
  const std::string& Strings(std::size_t i) const { return items_[i].Url; }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }
  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }

  // The positions of the entries that are switched off, ascending, each followed by a comma,
  // the last comma removed: "0,3,11"; empty when every entry is on.
  std::string DisabledIndices() const;

 private:
  std::vector<TRSSLinkItem> items_;
};

}  // namespace mq
