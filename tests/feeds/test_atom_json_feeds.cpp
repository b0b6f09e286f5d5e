// Atom and JSON Feed documents: recognition, the channel and item fields they fill, the
// documents that are dropped, link resolution, and the same limits as RSS.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "feeds/FeedDecode.h"
#include "feeds/FeedUrl.h"
#include "feeds/JsonFeedReader.h"
#include "feeds/uRSSHandler.h"
#include "tests/support/FeedTestSupport.h"
#include "tests/feeds/HostileFeeds.h"

namespace mq {
namespace {

struct Shown {
  std::string title, link, description, pubDate;
  bool operator==(const Shown&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Shown& s) {
  return os << "{" << s.title << " | " << s.link << " | " << s.description << " | " << s.pubDate << "}";
}

class AtomJsonFeedTest : public ::testing::Test {
 protected:
  // Loads the bytes as the loader does: decoded first. Item texts are compared as the
  // ticker shows them, with character references decoded.
  void Load(const std::string& bytes, const std::string& url = "https://feeds.example.com/blog/feed") {
    owned->SetUrl(url);
    owned->ClearItems();
    owned->LoadFromText(DecodeFeedBytes(bytes));
  }
  std::vector<Shown> Items() const {
    std::vector<Shown> out;
    for (int i = 0; i < owned->Items().Count(); ++i) {
      const TRSSItem& item = *owned->Items().Objects(i);
      out.push_back({DecodeCharRefs(item.Title()), item.Link(), DecodeCharRefs(item.Description()),
                     item.PubDate()});
    }
    return out;
  }

  // A new handler for each case: channel fields that a document lacks keep the last value.
  void Fresh() {
    owned = std::make_unique<TRSSHandler>(&reporter);
    reporter.messages.clear();
  }

  test::TRecordingReporter reporter;
  std::unique_ptr<TRSSHandler> owned = std::make_unique<TRSSHandler>(&reporter);
};

const char* const kAtom = "http://www.w3.org/2005/Atom";

std::string AtomFeed(const std::string& body, const std::string& rootAttributes = "") {
  return std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<feed xmlns=\"") + kAtom + "\"" +
         rootAttributes + ">\n" + body + "\n</feed>\n";
}

struct FeedCase {
  const char* name;
  std::string document;
  std::string channelTitle, channelLink;
  std::vector<Shown> items;
};

void ExpectFeed(const TRSSHandler& handler, const test::TRecordingReporter& reporter, const FeedCase& c,
                TFeedKind kind, const std::vector<Shown>& items) {
  EXPECT_EQ(handler.Kind(), kind) << c.name << ": " << handler.LastError();
  EXPECT_TRUE(reporter.messages.empty()) << c.name;
  EXPECT_EQ(handler.Title(), c.channelTitle) << c.name;
  EXPECT_EQ(handler.Link(), c.channelLink) << c.name;
  EXPECT_EQ(items, c.items) << c.name;
  EXPECT_EQ(handler.CurrentIndex(), c.items.empty() ? -1 : 0) << c.name;
}

// Documents in the shapes servers send: a blog engine's default namespace, a prefixed
// document, the three text types, relative links, entries with neither link nor title, and
// the pre-1.0 namespace.
TEST_F(AtomJsonFeedTest, AtomFillsTheChannelAndItems) {
  const FeedCase cases[] = {
      {"blog engine",
       AtomFeed(
           "<title>Dev Blog</title><subtitle>notes</subtitle>"
           "<link rel=\"self\" type=\"application/atom+xml\" href=\"https://dev.example.org/feed.xml\"/>"
           "<link rel=\"alternate\" type=\"application/json\" "
           "href=\"https://dev.example.org/feed.json\"/>"
           "<link rel=\"alternate\" type=\"text/html\" href=\"https://dev.example.org/\"/>"
           "<updated>2024-05-02T10:00:00Z</updated>"
           "<entry><title>Release 2.0</title><link href=\"https://dev.example.org/2.0\"/>"
           "<id>tag:1</id><published>2024-05-01T09:00:00Z</published><updated>2024-05-02T10:00:00Z</"
           "updated>"
           "<summary>What is new</summary><content "
           "type=\"html\">&lt;p&gt;long&lt;/p&gt;</content></entry>"
           "<entry><title>Release 1.9</title><link rel=\"enclosure\" "
           "href=\"https://dev.example.org/1.9.zip\"/>"
           "<link rel=\"alternate\" href=\"https://dev.example.org/1.9\"/>"
           "<published>2024-04-01T09:00:00Z</published></entry>"),
       "Dev Blog",
       "https://dev.example.org/",
       {{"Release 2.0", "https://dev.example.org/2.0", "What is new", "2024-05-02T10:00:00Z"},
        {"Release 1.9", "https://dev.example.org/1.9", "", "2024-04-01T09:00:00Z"}}},
      {"prefixed, with another namespace's title beside",
       std::string("<atom:feed xmlns:atom=\"") + kAtom +
           "\" xmlns:media=\"http://search.yahoo.com/mrss/\">"
           "<atom:title>Channel</atom:title><atom:link href=\"https://video.example.net/c\"/>"
           "<atom:entry><media:title>not this</media:title><atom:title>Clip</atom:title>"
           "<atom:link rel=\"alternate\" href=\"https://video.example.net/v1\"/>"
           "<atom:updated>2024-01-01</atom:updated></atom:entry></atom:feed>",
       "Channel",
       "https://video.example.net/c",
       {{"Clip", "https://video.example.net/v1", "", "2024-01-01"}}},
      {"the three text types",
       AtomFeed(
           "<title type=\"html\">News &amp;amp; &lt;i&gt;Views&lt;/i&gt;</title>"
           "<entry><title type=\"text\">AT&amp;T &lt;b&gt; | 5 &amp;lt; 6</title>"
           "<summary type=\"html\">&lt;p&gt;One&lt;/p&gt;&lt;p&gt;Two &amp;amp; "
           "three&lt;/p&gt;</summary></entry>"
           "<entry><title type=\"html\">&lt;em&gt;Marked&lt;/em&gt; up</title>"
           "<summary type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\"><p>First</p><p>Second "
           "<b>bold</b></p></div></summary></entry>"
           "<entry><title type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\">X "
           "<i>Y</i></div></title>"
           "<content type=\"text\">keep &lt;this&gt; as it is</content></entry>"),
       "News &amp; Views",
       "",
       {{"AT&T <b> | 5 &lt; 6", "", "One\r\nTwo & three", ""},
        {"Marked up", "", "First\r\nSecond bold", ""},
        {"X Y", "", "keep <this> as it is", ""}}},
      {"relative links",
       AtomFeed("<title>r</title><link href=\"../\"/>"
                "<entry><title>a</title><link href=\"a.html\"/></entry>"
                "<entry xml:base=\"/2024/\"><title>b</title><link href=\"b.html\"/></entry>"
                "<entry><title>c</title><link xml:base=\"https://cdn.example.com/x/\" "
                "href=\"../c.html\"/></entry>"
                "<entry><title>d</title><link href=\"//other.example.com/d?q=1#f\"/></entry>",
                " xml:base=\"posts/\""),
       "r",
       "https://feeds.example.com/blog/",
       {{"a", "https://feeds.example.com/blog/posts/a.html", "", ""},
        {"b", "https://feeds.example.com/2024/b.html", "", ""},
        {"c", "https://cdn.example.com/c.html", "", ""},
        {"d", "https://other.example.com/d?q=1#f", "", ""}}},
      {"entries without links or titles",
       AtomFeed("<title>m</title>"
                "<entry><content type=\"html\">&lt;p&gt;Just "
                "posted&lt;/p&gt;&lt;p&gt;more&lt;/p&gt;</content></entry>"
                "<entry><title></title><summary>first line\nsecond line</summary></entry>"
                "<entry><id>only an id</id></entry>"),
       "m",
       "",
       {{"Just posted", "", "Just posted\r\nmore", ""},
        {"first line", "", "first line\nsecond line", ""},
        {"", "", "", ""}}},
      {"0.3 namespace",
       "<feed version=\"0.3\" xmlns=\"http://purl.org/atom/ns#\"><title>Old</title><tagline>t</tagline>"
       "<link rel=\"alternate\" type=\"text/html\" href=\"https://old.example.org/\"/>"
       "<entry><title mode=\"escaped\" type=\"text/html\">&lt;b&gt;Hi&lt;/b&gt;</title>"
       "<link rel=\"alternate\" type=\"text/html\" href=\"https://old.example.org/1\"/>"
       "<issued>2004-01-01</issued><modified>2004-01-02</modified></entry></feed>",
       "Old",
       "https://old.example.org/",
       {{"Hi", "https://old.example.org/1", "", "2004-01-02"}}},
  };
  for (const FeedCase& c : cases) {
    Fresh();
    Load(c.document);
    ExpectFeed(*owned, reporter, c, TFeedKind::Atom, Items());
  }
}

std::string JsonFeed(const std::string& version, const std::string& members) {
  return "{\n  \"version\": \"https://jsonfeed.org/version/" + version + "\",\n" + members + "\n}\n";
}

TEST_F(AtomJsonFeedTest, JsonFeedFillsTheChannelAndItems) {
  const FeedCase cases[] = {
      {"1.1 blog",
       JsonFeed("1.1", R"("title": "Blog", "home_page_url": "https://blog.example.org/",
         "feed_url": "https://blog.example.org/feed.json", "authors": [{"name": "A"}],
         "items": [
           {"id": "2", "title": "Second & <last>", "url": "https://blog.example.org/2", "summary": "short",
            "content_html": "<p>long</p>", "date_published": "2024-02-01T00:00:00Z", "tags": ["x"]},
           {"id": "1", "title": "First", "external_url": "https://elsewhere.example.com/1",
            "content_text": "body", "date_modified": "2024-01-02T00:00:00Z"}
         ])"),
       "Blog",
       "https://blog.example.org/",
       {{"Second & <last>", "https://blog.example.org/2", "short", "2024-02-01T00:00:00Z"},
        {"First", "https://elsewhere.example.com/1", "body", "2024-01-02T00:00:00Z"}}},
      {"1.0 microblog: title-less items",
       JsonFeed("1", R"("title": "Micro", "items": [
           {"id": "a", "content_html": "<p>Hello <b>there</b>,</p><p>second paragraph</p>", "url": "/a"},
           {"id": "b", "content_text": "plain line one\nline two | three", "date_published": "2024"},
           {"id": "c"}
         ])"),
       "Micro",
       "",
       {{"Hello there,", "https://feeds.example.com/a", "Hello there,\r\nsecond paragraph", ""},
        {"plain line one", "", "plain line one\nline two | three", "2024"},
        {"", "", "", ""}}},
      {"members of the wrong type are absent, entries that are no objects are skipped",
       JsonFeed(
           "1.1",
           R"("title": 7, "items": [1, "x", {"title": ["no"], "url": 5, "summary": "kept"}, null])"),
       "",
       "",
       {{"", "", "kept", ""}}},
      {"no items", JsonFeed("1", R"("title": "Empty")"), "Empty", "", {}},
  };
  for (const FeedCase& c : cases) {
    Fresh();
    Load(c.document);
    ExpectFeed(*owned, reporter, c, TFeedKind::JsonFeed, Items());
  }
  // The version as servers write it.
  for (const char* version : {"http://jsonfeed.org/version/1", "https://jsonfeed.org/version/1/",
                              "https://jsonfeed.org/version/1.0", "https://jsonfeed.org/version/1.1/"}) {
    Fresh();
    Load(std::string("{\"version\": \"") + version + "\", \"items\": [{\"title\": \"t\"}]}");
    EXPECT_EQ(owned->Items().Count(), 1) << version << ": " << owned->LastError();
  }
}

// What is no supported feed is dropped as any other text: no items, no message; LastError
// says why for tools.
TEST_F(AtomJsonFeedTest, UnsupportedOrBrokenDocumentsAreDroppedSilently) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string why;  // part of LastError, empty when nothing is said
  };
  std::string deep = "{\"version\":\"https://jsonfeed.org/version/1\",\"items\":[{\"x\":";
  deep += std::string(kMaxJsonDepth, '[') + std::string(kMaxJsonDepth, ']') + "}]}";
  const Case cases[] = {
      {"feed without a namespace", "<feed><title>x</title><entry><title>t</title></entry></feed>", ""},
      {"feed in another namespace",
       "<feed xmlns=\"http://example.com/ns\"><entry><title>t</title></entry></feed>", ""},
      {"prefix bound elsewhere",
       std::string("<x:feed xmlns=\"") + kAtom + "\" xmlns:x=\"urn:x\"><x:entry/></x:feed>", ""},
      {"Atom cut short", AtomFeed("<entry><title>t</title></entry>").substr(0, 120), ""},
      {"an HTML page",
       "<!DOCTYPE html><html><body><feed xmlns=\"http://www.w3.org/2005/Atom\"/></body></html>", ""},
      {"JSON cut short", JsonFeed("1.1", R"("items": [{"title": "t"}])").substr(0, 60), "parse error"},
      {"JSON Feed 2", R"({"version": "https://jsonfeed.org/version/2", "items": [{"title": "t"}]})",
       "unsupported"},
      {"JSON Feed 1.10",
       R"({"version": "https://jsonfeed.org/version/1.10", "items": [{"title": "t"}]})", "unsupported"},
      {"another site's version",
       R"({"version": "https://example.org/version/1", "items": [{"title": "t"}]})", "unsupported"},
      {"JSON without a version", R"({"title": "x", "items": [{"title": "t"}]})", "no JSON Feed version"},
      {"JSON that is no object", "{\"version\": \"https://jsonfeed.org/version/1\"} 5", "parse error"},
      {"ill-formed UTF-8", JsonFeed("1", "\"items\": [{\"title\": \"caf\xE9\"}]"), "UTF-8"},
      {"lone surrogate escape", JsonFeed("1", R"("items": [{"title": "\ud800x"}])"), "surrogate"},
      {"comments", JsonFeed("1", "/* c */ \"items\": []"), "parse error"},
      {"nested too deep", deep, "nested deeper"},
  };
  for (const Case& c : cases) {
    reporter.messages.clear();
    Load(c.bytes);
    EXPECT_EQ(owned->Kind(), TFeedKind::None) << c.name;
    EXPECT_EQ(owned->Items().Count(), 0) << c.name;
    EXPECT_TRUE(reporter.messages.empty()) << c.name;
    if (!std::string(c.why).empty()) {
      EXPECT_NE(owned->LastError().find(c.why), std::string::npos)
          << c.name << ": " << owned->LastError();
    }
  }
}

// A recognised Atom document that is not well-formed XML fails like a broken RSS document.
TEST_F(AtomJsonFeedTest, MalformedAtomIsReportedLikeRss) {
  Load(AtomFeed("<title>x</title><entry><title>ok</title></entry><entry><title>bad</summary></entry>"));
  EXPECT_EQ(reporter.messages.size(), 1u);
  EXPECT_EQ(owned->CurrentItem(), nullptr);
}

TEST_F(AtomJsonFeedTest, AtMostTenThousandItemsAreKept) {
  std::string entries, items;
  for (int i = 0; i < TRSSHandler::kMaxItems + 5; ++i) {
    entries += "<entry><title>" + std::to_string(i) + "</title></entry>";
    items += std::string(i ? "," : "") + "{\"title\":\"" + std::to_string(i) + "\"}";
  }
  for (const std::string& doc : {AtomFeed(entries), JsonFeed("1.1", "\"items\": [" + items + "]")}) {
    Load(doc);
    EXPECT_TRUE(reporter.messages.empty());
    ASSERT_EQ(owned->Items().Count(), TRSSHandler::kMaxItems);
    EXPECT_EQ(owned->Items().Objects(TRSSHandler::kMaxItems - 1)->Title(),
              std::to_string(TRSSHandler::kMaxItems - 1));
  }
}

TEST_F(AtomJsonFeedTest, HostileShapesLoadInLinearTime) {
  struct Case {
    const char* name;
    std::string (*shape)(size_t);
    int items;  // -1: dropped
  };
  const Case cases[] = {
      {"empty Atom entries", test::AtomEmptyEntries, TRSSHandler::kMaxItems},
      {"empty JSON items", test::JsonEmptyItems, TRSSHandler::kMaxItems},
      {"deep JSON", test::JsonDeepNesting, -1},
      {"unused JSON members", test::JsonUnusedMembers, 1},
  };
  for (const Case& c : cases) {
    const std::string text = c.shape(2 << 20);
    const auto start = std::chrono::steady_clock::now();
    Load(text);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 5.0) << c.name;
    EXPECT_EQ(owned->Items().Count(), c.items < 0 ? 0 : c.items) << c.name << ": " << owned->LastError();
    EXPECT_EQ(owned->Kind() == TFeedKind::None, c.items < 0) << c.name;
  }
}

TEST(FeedUrlTest, ResolvesAsBrowsersDo) {
  struct Case {
    const char* base;
    const char* ref;
    const char* expected;
  };
  const Case cases[] = {
      {"http://a/b/c/d;p?q", "g", "http://a/b/c/g"},
      {"http://a/b/c/d;p?q", "./g", "http://a/b/c/g"},
      {"http://a/b/c/d;p?q", "g/", "http://a/b/c/g/"},
      {"http://a/b/c/d;p?q", "/g", "http://a/g"},
      {"http://a/b/c/d;p?q", "//g", "http://g"},
      {"http://a/b/c/d;p?q", "?y", "http://a/b/c/d;p?y"},
      {"http://a/b/c/d;p?q", "#s", "http://a/b/c/d;p?q#s"},
      {"http://a/b/c/d;p?q", "", "http://a/b/c/d;p?q"},
      {"http://a/b/c/d;p?q", "..", "http://a/b/"},
      {"http://a/b/c/d;p?q", "../../g", "http://a/g"},
      {"http://a/b/c/d;p?q", "../../../../g", "http://a/g"},
      {"http://a/b/c/d;p?q", "/./g", "http://a/g"},
      {"http://a/b/c/d;p?q", "g;x=1/../y", "http://a/b/c/y"},
      {"http://a", "x", "http://a/x"},
      {"http://a/b", " https://other/x ", "https://other/x"},
      {"", "relative/only", "relative/only"},
      {"not a url", "x", "x"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ResolveUrl(c.base, c.ref), c.expected) << c.base << " + " << c.ref;
}

}  // namespace
}  // namespace mq
