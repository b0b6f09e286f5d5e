#include "feeds/JsonFeedReader.h"

#include <nlohmann/json.hpp>

namespace mq {

namespace {

using nlohmann::json;

// Builds the TJsonFeed straight from the parser's events, without a tree: the root object is
// depth 1, the entries of its "items" array depth 3 (inside the array at depth 2). A string
// is kept only where the feed or an item has a member of that name; everything else is read
// and forgotten, and items past the cap are not kept.
class TJsonFeedSax : public nlohmann::json_sax<json> {
 public:
  TJsonFeedSax(TJsonFeed& feed, size_t maxItems) : feed_(feed), maxItems_(maxItems) {}

  bool null() override { return Scalar(); }
  bool boolean(bool) override { return Scalar(); }
  bool number_integer(number_integer_t) override { return Scalar(); }
  bool number_unsigned(number_unsigned_t) override { return Scalar(); }
  bool number_float(number_float_t, const string_t&) override { return Scalar(); }
  bool binary(binary_t&) override { return Scalar(); }

  bool string(string_t& value) override {
    if (!Scalar()) return false;
    if (depth_ == 1) {
      if (std::string* member = FeedMember(key_)) *member = std::move(value);
    } else if (depth_ == 3 && item_) {
      if (std::string* member = ItemMember(itemKey_)) *member = std::move(value);
    }
    return true;
  }

  bool start_object(std::size_t) override {
    if (!Enter()) return false;
    if (depth_ == 3 && inItems_ && feed_.items.size() < maxItems_) {
      feed_.items.emplace_back();
      item_ = &feed_.items.back();
    }
    return true;
  }

  bool end_object() override {
    if (depth_ == 3) item_ = nullptr;
    return Leave();
  }

  bool start_array(std::size_t) override {
    if (!Enter()) return false;
    if (depth_ == 1) notObject_ = true;
    if (depth_ == 2 && key_ == "items") inItems_ = true;
    return true;
  }

  bool end_array() override {
    if (depth_ == 2) inItems_ = false;
    return Leave();
  }

  bool key(string_t& value) override {
    if (depth_ == 1)
      key_ = std::move(value);
    else if (depth_ == 3)
      itemKey_ = std::move(value);
    return true;
  }

  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override {
    error_ = e.what();
    return false;
  }

  const std::string& Error() const noexcept { return error_; }
  bool NotObject() const noexcept { return notObject_; }

 private:
  // A value that holds no others: at depth 0 it is the whole document.
  bool Scalar() {
    if (depth_ == 0) notObject_ = true;
    return true;
  }
  bool Enter() {
    if (++depth_ > kMaxJsonDepth) {
      error_ = "JSON nested deeper than " + std::to_string(kMaxJsonDepth) + " levels";
      return false;
    }
    return true;
  }
  bool Leave() {
    --depth_;
    return true;
  }
  std::string* FeedMember(const std::string& name) {
    if (name == "version") return &feed_.version;
    if (name == "title") return &feed_.title;
    if (name == "home_page_url") return &feed_.homePageUrl;
    if (name == "description") return &feed_.description;
    return nullptr;
  }
  std::string* ItemMember(const std::string& name) {
    if (name == "title") return &item_->title;
    if (name == "url") return &item_->url;
    if (name == "external_url") return &item_->externalUrl;
    if (name == "summary") return &item_->summary;
    if (name == "content_text") return &item_->contentText;
    if (name == "content_html") return &item_->contentHtml;
    if (name == "date_published") return &item_->datePublished;
    if (name == "date_modified") return &item_->dateModified;
    return nullptr;
  }

  TJsonFeed& feed_;
  const size_t maxItems_;
  int depth_ = 0;
  std::string key_, itemKey_;
  bool inItems_ = false;
  bool notObject_ = false;
  TJsonFeedItem* item_ = nullptr;
  std::string error_;
};

// "https://jsonfeed.org/version/1" or ".../1.1"; "http://", a trailing "/" and "1.0" are
// accepted as servers write them.
bool IsKnownVersion(std::string_view version) {
  for (std::string_view scheme : {"https://", "http://"}) {
    if (version.substr(0, scheme.size()) != scheme) continue;
    std::string_view rest = version.substr(scheme.size());
    constexpr std::string_view kStem = "jsonfeed.org/version/1";
    if (rest.substr(0, kStem.size()) != kStem) return false;
    rest.remove_prefix(kStem.size());
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    return rest.empty() || rest == ".0" || rest == ".1";
  }
  return false;
}

}  // namespace

bool ReadJsonFeed(std::string_view text, size_t maxItems, TJsonFeed& feed, std::string& error) {
  feed = TJsonFeed{};
  TJsonFeedSax sax(feed, maxItems);
  if (!json::sax_parse(text.begin(), text.end(), &sax, nlohmann::detail::input_format_t::json,
                       /*strict=*/true)) {
    error = sax.Error().empty() ? "the JSON text could not be read" : sax.Error();
    return false;
  }
  if (sax.NotObject()) {
    error = "the JSON text is not an object";
    return false;
  }
  if (!IsKnownVersion(feed.version)) {
    error =
        feed.version.empty() ? "no JSON Feed version" : "unsupported JSON Feed version: " + feed.version;
    return false;
  }
  return true;
}

}  // namespace mq
