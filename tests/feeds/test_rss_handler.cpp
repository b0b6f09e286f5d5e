// TRSSHandler: loading documents into items, the cursor, and what a failure leaves behind.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "feeds/FeedDecode.h"
#include "feeds/uRSSHandler.h"
#include "tests/support/FeedTestSupport.h"
#include "tests/feeds/HostileFeeds.h"

namespace mq {
namespace {

using test::Item;
using test::Rss;

class RssHandlerTest : public ::testing::Test {
 protected:
  void Load(const std::string& text) {
    handler.ClearItems();
    handler.LoadFromText(text);
  }
  std::vector<std::string> Titles() const {
    std::vector<std::string> titles;
    for (int i = 0; i < handler.Items().Count(); ++i)
      titles.push_back(handler.Items().Objects(i)->Title());
    return titles;
  }
  const TRSSItem& ItemAt(int i) const { return *handler.Items().Objects(i); }

  test::TRecordingReporter reporter;
  TRSSHandler handler{&reporter};
};

using Names = std::vector<std::string>;

struct TextCase {
  const char* name;
  std::string input;
  std::string expected;
};

TEST_F(RssHandlerTest, LoadsChannelAndItems) {
  Load(
      Rss("<title>News &amp; more</title><link>http://example.test/</link>"
          "<description>All the &lt;b&gt;news&lt;/b&gt;</description>" +
          Item("  First  ",
               "<link>http://example.test/1</link><description>One</description>"
               "<pubDate>Tue, 08 Dec 2026 03:00:00 GMT</pubDate>") +
          Item("Second") + Item("Second")));
  EXPECT_TRUE(reporter.messages.empty());
  EXPECT_EQ(handler.Title(), "News & more");
  EXPECT_EQ(handler.Link(), "http://example.test/");
  EXPECT_EQ(handler.Description(), "All the <b>news</b>");  // channel fields are verbatim
  EXPECT_EQ(Titles(), (Names{"First", "Second", "Second"}));
  EXPECT_EQ(handler.Items().Strings(0), "First");
  EXPECT_EQ(ItemAt(0).Link(), "http://example.test/1");
  EXPECT_EQ(ItemAt(0).Description(), "One");
  EXPECT_EQ(ItemAt(0).PubDate(), "Tue, 08 Dec 2026 03:00:00 GMT");
  EXPECT_EQ(handler.CurrentItem(), handler.Items().Objects(0));
  EXPECT_EQ(handler.CurrentIndex(), 0);
  EXPECT_NE(handler.XmlText().find("<channel>"), std::string::npos);
  EXPECT_FALSE(handler.XmlDocument().Active());  // the tree is freed once the items are read
}

TEST_F(RssHandlerTest, ItemTextsAreCleaned) {
  struct Case {
    const char* name;
    std::string itemBody;
    std::string title, description, pubDate;
  };
  const Case cases[] = {
      {"escaped bold tags", "<title>&lt;b&gt;Storm&lt;/b&gt; hits the coast</title>",
       "Storm hits the coast", "", ""},
      {"cdata title keeps its content", "<title><![CDATA[<em>Rates</em> rise & fall]]></title>",
       "Rates rise & fall", "", ""},
      {"cdata description",
       "<title>t</title><description><![CDATA[<p>Para one</p><p>two</p>]]></description>", "t",
       "Para one\r\ntwo", ""},
      {"paragraph and break tags",
       "<title>t</title><description>one&lt;/p&gt;&lt;p&gt;two&lt;br/&gt;three</description>", "t",
       "one\r\ntwo\r\nthree", ""},
      {"first pipe is a line break in a description",
       "<title>t</title><description>Sport | Football | Cup</description>", "t",
       "Sport \r\n Football | Cup", ""},
      {"Translat clears the date", "<title>Translated from Le Monde</title><pubDate>Mon</pubDate>",
       "Translated from Le Monde", "", ""},
      {"translat in other case keeps it", "<title>translation</title><pubDate>Mon</pubDate>",
       "translation", "", "Mon"},
      {"empty elements", "<title/><link/><description></description><pubDate/>", "", "", ""},
      {"entities stay for display", "<title>Caf&amp;eacute; &amp;#39;s</title>", "Caf&eacute; &#39;s",
       "", ""},
  };
  for (const Case& c : cases) {
    Load(Rss("<title>c</title><item>" + c.itemBody + "</item>"));
    ASSERT_EQ(handler.Items().Count(), 1) << c.name;
    EXPECT_EQ(ItemAt(0).Title(), c.title) << c.name;
    EXPECT_EQ(ItemAt(0).Description(), c.description) << c.name;
    EXPECT_EQ(ItemAt(0).PubDate(), c.pubDate) << c.name;
  }
  EXPECT_TRUE(reporter.messages.empty());
}

TEST_F(RssHandlerTest, TextsThatAreNotFeedsAreDroppedSilently) {
  Load(Rss("<title>Kept</title>" + Item("a")));
  ASSERT_EQ(handler.Title(), "Kept");
  for (const std::string& text :
       {std::string(), std::string("<html><body>404</body></html>"),
        std::string("<x/><rss><channel><title>x</title><item/></channel></rss>"),
        std::string("<rss version=\"2.0\"><item><title>x</title></item></rss>")}) {
    Load(text);
    EXPECT_EQ(handler.Items().Count(), 0) << text;
    EXPECT_EQ(handler.CurrentIndex(), -1) << text;
    EXPECT_EQ(handler.Title(), "Kept") << text;
  }
  EXPECT_TRUE(reporter.messages.empty());
}

TEST_F(RssHandlerTest, FailuresAreReportedOnceAndKeepTheItemsReadBefore) {
  struct Case {
    const char* name;
    std::string text;
    Names itemsLeft;
  };
  const Case cases[] = {
      {"xml parse error", Rss(Item("a") + "<item><title>b</titel></item>"), {}},
      {"channel below another element",
       "<rss version=\"2.0\"><x><channel><item/></channel></x></rss>",
       {}},
      {"text before the root", "junk<rss version=\"2.0\"><channel><item/></channel></rss>", {}},
      {"byte-order mark left in the text", "\xEF\xBB\xBF" + Rss(Item("a")), {}},
      {"channel inside an item", "<rss><item><channel><item/></channel></item></rss>", {}},
  };
  for (const Case& c : cases) {
    reporter.messages.clear();
    Load(c.text);
    ASSERT_EQ(reporter.messages.size(), 1u) << c.name;
    EXPECT_EQ(reporter.messages[0], "Error loading appropriate rss!") << c.name;
    EXPECT_FALSE(handler.LastError().empty()) << c.name;
    EXPECT_EQ(Titles(), c.itemsLeft) << c.name;
    EXPECT_EQ(handler.CurrentItem(), nullptr) << c.name;
    EXPECT_EQ(handler.CurrentIndex(), -1) << c.name;
  }
  Load(Rss(Item("fine")));
  EXPECT_TRUE(handler.LastError().empty());
}

TEST_F(RssHandlerTest, FieldsHoldingElementsGiveTheirText) {
  struct Case {
    const char* name;
    std::string itemBody;
    std::string title, description;
  };
  const Case cases[] = {
      {"xhtml paragraphs in a description",
       "<title>t</title><description><p>one</p><p>two <b>bold</b></p></description>", "t",
       "one\r\ntwo bold"},
      {"break and rule elements", "<title>t</title><description>a<br/>b<hr/>c<br></br>d</description>",
       "t", "a\r\nb\r\nc\r\nd"},
      {"nested inline elements in a title", "<title>A <i>very <b>big</b></i> day</title>",
       "A very big day", ""},
      {"block tags in a title stay on one line", "<title><p>First</p><p>Second</p></title>",
       "First Second", ""},
      {"processing instruction in a title", "<title>Hello<?php echo 1; ?> world</title>", "Hello world",
       ""},
      {"escaped and raw markup together",
       "<title>t</title><description>&lt;i&gt;x&lt;/i&gt; <i>y</i></description>", "t", "x y"},
  };
  for (const Case& c : cases) {
    reporter.messages.clear();
    Load(Rss("<title>c</title><item>" + c.itemBody + "</item>" + Item("next")));
    EXPECT_TRUE(reporter.messages.empty()) << c.name;
    ASSERT_EQ(handler.Items().Count(), 2) << c.name;
    EXPECT_EQ(ItemAt(0).Title(), c.title) << c.name;
    EXPECT_EQ(ItemAt(0).Description(), c.description) << c.name;
  }
  Load(Rss("<title>Channel <b>with</b> markup</title><description><p>d</p></description>" + Item("a")));
  EXPECT_EQ(handler.Title(), "Channel with markup");
  EXPECT_EQ(handler.Description(), "d");
}

TEST_F(RssHandlerTest, TitlesAreOneLine) {
  const TextCase cases[] = {
      {"line breaks and tabs", "<title>Rain\r\n\tand\n\nwind</title>", "Rain and wind"},
      {"first pipe", "<title>Sport | Football | Cup</title>", "Sport Football | Cup"},
      {"break tag", "<title>one&lt;br/&gt;two</title>", "one two"},
      {"paragraph end tag", "<title>one&lt;/p&gt;  two</title>", "one two"},
      {"blanks at the ends trimmed", "<title>  &lt;p&gt;x&lt;/p&gt;  </title>", "x"},
  };
  for (const TextCase& c : cases) {
    Load(Rss("<item>" + c.input + "<description>a\r\n\r\nb</description></item>"));
    ASSERT_EQ(handler.Items().Count(), 1) << c.name;
    EXPECT_EQ(ItemAt(0).Title(), c.expected) << c.name;
    EXPECT_EQ(handler.Items().Strings(0), c.expected) << c.name;
    EXPECT_EQ(ItemAt(0).Description(), "a\r\n\r\nb") << c.name;  // descriptions keep their breaks
  }
}

TEST_F(RssHandlerTest, ChannelWithoutItemsIsAnEmptyFeed) {
  const TextCase cases[] = {
      {"rss channel with fields only", Rss("<title>Quiet</title>"), "Quiet"},
      {"empty channel element", "<rss version=\"2.0\"><channel/></rss>", "Quiet"},
      {"rdf without any item", "<rdf:RDF x=\"1\"><channel><title>Still</title></channel></rdf:RDF>",
       "Still"},
  };
  for (const TextCase& c : cases) {
    Load(c.input);
    EXPECT_TRUE(reporter.messages.empty()) << c.name;
    EXPECT_TRUE(handler.LastError().empty()) << c.name;
    EXPECT_EQ(handler.Items().Count(), 0) << c.name;
    EXPECT_EQ(handler.CurrentIndex(), -1) << c.name;
    EXPECT_EQ(handler.Title(), c.expected) << c.name;
  }
}

TEST_F(RssHandlerTest, AtMostTenThousandItemsAreKept) {
  std::string items;
  for (int i = 0; i < TRSSHandler::kMaxItems + 5; ++i)
    items += "<item><title>" + std::to_string(i) + "</title></item>";
  Load(Rss(items));
  EXPECT_TRUE(reporter.messages.empty());
  ASSERT_EQ(handler.Items().Count(), TRSSHandler::kMaxItems);
  EXPECT_EQ(ItemAt(0).Title(), "0");
  EXPECT_EQ(ItemAt(TRSSHandler::kMaxItems - 1).Title(), std::to_string(TRSSHandler::kMaxItems - 1));
}

// Each shape made any one step quadratic once: at 2 MiB that took minutes; linear, it takes
// a few tens of milliseconds.
TEST_F(RssHandlerTest, HostileShapesLoadInLinearTime) {
  struct Case {
    const char* name;
    std::string (*shape)(size_t);
    bool loads;
  };
  const Case cases[] = {
      {"run of <", test::LessThanRun, false},     {"declarations", test::Declarations, true},
      {"stray >", test::StrayGreaterThan, true},  {"attributes and repeats", test::ManyAttributes, true},
      {"deep nesting", test::DeepNesting, false}, {"empty items", test::EmptyItems, true},
  };
  for (const Case& c : cases) {
    const std::string text = c.shape(2 << 20);
    reporter.messages.clear();
    const auto start = std::chrono::steady_clock::now();
    Load(text);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 5.0) << c.name;
    EXPECT_EQ(reporter.messages.empty(), c.loads) << c.name << ": " << handler.LastError();
  }
}

TEST_F(RssHandlerTest, NestingBeyondTheLimitFailsTheLoad) {
  auto nested = [](int levels) {
    std::string open, close;
    for (int i = 0; i < levels; ++i) open += "<b>", close += "</b>";
    return Rss("<item><title>t</title><description>" + open + "x" + close + "</description></item>");
  };
  const int fits = TRSSHandler::kMaxNesting - 4;  // under rss, channel, item and description
  Load(nested(fits));
  EXPECT_TRUE(reporter.messages.empty()) << handler.LastError();
  EXPECT_EQ(Titles(), Names{"t"});
  Load(nested(fits + 1));
  EXPECT_EQ(reporter.messages.size(), 1u);
}

TEST_F(RssHandlerTest, ByteOrderMarkIsConsumedByDecoding) {
  Load(DecodeFeedBytes("\xEF\xBB\xBF" + Rss("<title>Marked</title>" + Item("a"))));
  EXPECT_TRUE(reporter.messages.empty());
  EXPECT_EQ(handler.Title(), "Marked");
  EXPECT_EQ(Titles(), Names{"a"});
}

TEST_F(RssHandlerTest, OnlyItemElementsAreItems) {
  Load(Rss("<title>c</title>" + Item("a") + "<image><title>Logo</title><link>http://l/</link></image>" +
           Item("b") +
           "<textInput><title>Search</title></textInput><dc:item><title>prefixed</title></dc:item>"));
  EXPECT_EQ(Titles(), (Names{"a", "b", "prefixed"}));
}

TEST_F(RssHandlerTest, RdfItemsBesideTheChannel) {
  const std::string rdf =
      "<?xml version=\"1.0\"?>\n<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
      "xmlns=\"http://purl.org/rss/1.0/\">\n<channel rdf:about=\"http://r/\"><title>RDF news</title>"
      "<link>http://r/</link><items><rdf:Seq><rdf:li "
      "rdf:resource=\"http://r/1\"/></rdf:Seq></items></channel>\n"
      "<item rdf:about=\"http://r/1\"><title>One</title><link>http://r/1</link></item>\n"
      "<item "
      "rdf:about=\"http://r/2\"><title>Two</title><dc:date>2026-12-08</dc:date></item>\n</rdf:RDF>\n";
  Load(rdf);
  EXPECT_TRUE(reporter.messages.empty());
  EXPECT_EQ(handler.Title(), "RDF news");
  EXPECT_EQ(Titles(), (Names{"One", "Two"}));
  EXPECT_EQ(handler.CurrentIndex(), 0);
}

TEST_F(RssHandlerTest, RdfItemsInsideTheChannelWin) {
  Load(
      "<rdf:RDF x=\"1\"><channel><title>t</title><item><title>in</title></item></channel>"
      "<item><title>out</title></item></rdf:RDF>");
  EXPECT_EQ(Titles(), Names{"in"});
}

TEST_F(RssHandlerTest, ExactFieldNamesWinOverLocalNames) {
  Load(
      Rss("<title>c</title><atom:link href=\"http://self/\" rel=\"self\" type=\"application/rss+xml\"/>"
          "<link>http://site/</link>"
          "<item><atom:link "
          "href=\"x\"/><link>http://site/1</link><media:title>m</media:title><title>T</title></item>"));
  EXPECT_EQ(handler.Link(), "http://site/");
  EXPECT_EQ(ItemAt(0).Link(), "http://site/1");
  EXPECT_EQ(ItemAt(0).Title(), "T");
  // Without a plain element the prefixed one is still taken.
  Load(Rss("<title>c</title><atom:link href=\"http://self/\"/><item><dc:title>D</dc:title></item>"));
  EXPECT_EQ(handler.Link(), "");
  EXPECT_EQ(ItemAt(0).Title(), "D");
}

TEST_F(RssHandlerTest, TextAfterTheRootIsIgnored) {
  Load(Rss("<title>c</title>" + Item("a")) +
       "<!-- served in 3 ms --><script>track()</script>\n<?php error ?>");
  EXPECT_TRUE(reporter.messages.empty());
  EXPECT_EQ(Titles(), Names{"a"});
}

TEST_F(RssHandlerTest, ChannelFieldsMissingKeepThePreviousLoad) {
  Load(
      Rss("<title>First feed</title><link>http://one/</link><description>d1</description>" + Item("a")));
  Load(Rss("<link>http://two/</link>" + Item("b")));
  EXPECT_EQ(handler.Title(), "First feed");
  EXPECT_EQ(handler.Link(), "http://two/");
  EXPECT_EQ(handler.Description(), "d1");
  Load(Rss("<title/><description>d3</description>" + Item("c")));
  EXPECT_EQ(handler.Title(), "");
  EXPECT_EQ(handler.Description(), "d3");
  EXPECT_EQ(handler.Link(), "http://two/");
}

TEST_F(RssHandlerTest, Cursor) {
  handler.SelectNext();
  handler.SelectPrevious();
  handler.SelectFirst();
  EXPECT_EQ(handler.CurrentItem(), nullptr);
  EXPECT_EQ(handler.CurrentIndex(), -1);

  Load(Rss(Item("a") + Item("b") + Item("c")));
  ASSERT_EQ(handler.CurrentIndex(), 0);
  handler.SelectPrevious();
  EXPECT_EQ(handler.CurrentIndex(), 0);  // stays on the first
  handler.SelectNext();
  handler.SelectNext();
  EXPECT_EQ(handler.CurrentIndex(), 2);
  handler.SelectPrevious();
  EXPECT_EQ(handler.CurrentIndex(), 1);
  handler.SelectNext();
  handler.SelectNext();
  EXPECT_EQ(handler.CurrentIndex(), 0);  // wraps from the last to the first

  handler.ClearItems();
  EXPECT_EQ(handler.CurrentItem(), nullptr);
  EXPECT_EQ(handler.CurrentIndex(), -1);
  EXPECT_EQ(handler.Items().Count(), 0);
}

TEST_F(RssHandlerTest, SetUrl) {
  handler.SetUrl("http://a/feed");
  EXPECT_EQ(handler.Url(), "http://a/feed");
  handler.SetUrl("");
  EXPECT_EQ(handler.Url(), "http://a/feed");
  handler.SetUrl("http://A/feed");
  EXPECT_EQ(handler.Url(), "http://A/feed");
}

}  // namespace
}  // namespace mq
