// TRSSHandler: loading documents into items, the cursor, and what a failure leaves behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "feeds/FeedDecode.h"
#include "feeds/uRSSHandler.h"
#include "tests/feeds/FeedTestSupport.h"

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
    for (int i = 0; i < handler.Items().Count(); ++i) titles.push_back(handler.Items().Objects(i)->Title());
    return titles;
  }
  const TRSSItem& ItemAt(int i) const { return *handler.Items().Objects(i); }

  test::TRecordingReporter reporter;
  TRSSHandler handler{&reporter};
};

using Names = std::vector<std::string>;

TEST_F(RssHandlerTest, LoadsChannelAndItems) {
  Load(Rss("<title>News &amp; more</title><link>http://example.test/</link>"
           "<description>All the &lt;b&gt;news&lt;/b&gt;</description>" +
           Item("  First  ", "<link>http://example.test/1</link><description>One</description>"
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
  EXPECT_EQ(handler.XmlDocument().DocumentElement()->NodeName(), "rss");
}

TEST_F(RssHandlerTest, ItemTextsAreCleaned) {
  struct Case {
    const char* name;
    std::string itemBody;
    std::string title, description, pubDate;
  };
  const Case cases[] = {
      {"escaped bold tags", "<title>&lt;b&gt;Storm&lt;/b&gt; hits the coast</title>", "Storm hits the coast", "", ""},
      {"cdata title keeps its content", "<title><![CDATA[<em>Rates</em> rise & fall]]></title>", "Rates rise & fall", "", ""},
      {"cdata description", "<title>t</title><description><![CDATA[<p>Para one</p><p>two</p>]]></description>",
       "t", "Para one\r\ntwo", ""},
      {"paragraph and break tags", "<title>t</title><description>one&lt;/p&gt;&lt;p&gt;two&lt;br/&gt;three</description>",
       "t", "one\r\ntwo\r\nthree", ""},
      {"first pipe is a line break", "<title>Sport | Football | Cup</title>", "Sport \r\n Football | Cup", "", ""},
      {"Translat clears the date", "<title>Translated from Le Monde</title><pubDate>Mon</pubDate>",
       "Translated from Le Monde", "", ""},
      {"translat in other case keeps it", "<title>translation</title><pubDate>Mon</pubDate>", "translation", "", "Mon"},
      {"empty elements", "<title/><link/><description></description><pubDate/>", "", "", ""},
      {"entities stay for display", "<title>Caf&amp;eacute; &amp;#39;s</title>", "Caf&eacute; &#39;s", "", ""},
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
  for (const std::string& text : {std::string(), std::string("<html><body>404</body></html>"),
                                  std::string("<rss><channel><title>x</title><item/></channel></rss>"),
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
      {"unescaped markup in a description", Rss(Item("a") + Item("b", "<description>x <b>y</b></description>") + Item("c")),
       {"a"}},
      {"xml parse error", Rss(Item("a") + "<item><title>b</titel></item>"), {}},
      {"channel below another element", "<rss version=\"2.0\"><x><channel><item/></channel></x></rss>", {}},
      {"no item at all", Rss("<title>t</title>"), {}},
      {"element before the root", "<x/><rss version=\"2.0\"><channel><item/></channel></rss>", {}},
      {"text before the root", "junk<rss version=\"2.0\"><channel><item/></channel></rss>", {}},
      {"byte-order mark left in the text", "\xEF\xBB\xBF" + Rss(Item("a")), {}},
      {"rdf without any item", "<rdf:RDF x=\"1\"><channel><title>t</title></channel></rdf:RDF>", {}},
      {"channel title holding an element", Rss("<title>a<b/></title>" + Item("a")), {}},
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

TEST_F(RssHandlerTest, ByteOrderMarkIsConsumedByDecoding) {
  Load(DecodeFeedBytes("\xEF\xBB\xBF" + Rss("<title>Marked</title>" + Item("a"))));
  EXPECT_TRUE(reporter.messages.empty());
  EXPECT_EQ(handler.Title(), "Marked");
  EXPECT_EQ(Titles(), Names{"a"});
}

TEST_F(RssHandlerTest, OnlyItemElementsAreItems) {
  Load(Rss("<title>c</title>" + Item("a") + "<image><title>Logo</title><link>http://l/</link></image>" + Item("b") +
           "<textInput><title>Search</title></textInput><dc:item><title>prefixed</title></dc:item>"));
  EXPECT_EQ(Titles(), (Names{"a", "b", "prefixed"}));
}

TEST_F(RssHandlerTest, RdfItemsBesideTheChannel) {
  const std::string rdf =
      "<?xml version=\"1.0\"?>\n<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
      "xmlns=\"http://purl.org/rss/1.0/\">\n<channel rdf:about=\"http://r/\"><title>RDF news</title>"
      "<link>http://r/</link><items><rdf:Seq><rdf:li rdf:resource=\"http://r/1\"/></rdf:Seq></items></channel>\n"
      "<item rdf:about=\"http://r/1\"><title>One</title><link>http://r/1</link></item>\n"
      "<item rdf:about=\"http://r/2\"><title>Two</title><dc:date>2026-12-08</dc:date></item>\n</rdf:RDF>\n";
  Load(rdf);
  EXPECT_TRUE(reporter.messages.empty());
  EXPECT_EQ(handler.Title(), "RDF news");
  EXPECT_EQ(Titles(), (Names{"One", "Two"}));
  EXPECT_EQ(handler.CurrentIndex(), 0);
}

TEST_F(RssHandlerTest, RdfItemsInsideTheChannelWin) {
  Load("<rdf:RDF x=\"1\"><channel><title>t</title><item><title>in</title></item></channel>"
       "<item><title>out</title></item></rdf:RDF>");
  EXPECT_EQ(Titles(), Names{"in"});
}

TEST_F(RssHandlerTest, ExactFieldNamesWinOverLocalNames) {
  Load(Rss("<title>c</title><atom:link href=\"http://self/\" rel=\"self\" type=\"application/rss+xml\"/>"
           "<link>http://site/</link>"
           "<item><atom:link href=\"x\"/><link>http://site/1</link><media:title>m</media:title><title>T</title></item>"));
  EXPECT_EQ(handler.Link(), "http://site/");
  EXPECT_EQ(ItemAt(0).Link(), "http://site/1");
  EXPECT_EQ(ItemAt(0).Title(), "T");
  // Without a plain element the prefixed one is still taken.
  Load(Rss("<title>c</title><atom:link href=\"http://self/\"/><item><dc:title>D</dc:title></item>"));
  EXPECT_EQ(handler.Link(), "");
  EXPECT_EQ(ItemAt(0).Title(), "D");
}

TEST_F(RssHandlerTest, TextAfterTheRootIsIgnored) {
  Load(Rss("<title>c</title>" + Item("a")) + "<!-- served in 3 ms --><script>track()</script>\n<?php error ?>");
  EXPECT_TRUE(reporter.messages.empty());
  EXPECT_EQ(Titles(), Names{"a"});
}

TEST_F(RssHandlerTest, ChannelFieldsMissingKeepThePreviousLoad) {
  Load(Rss("<title>First feed</title><link>http://one/</link><description>d1</description>" + Item("a")));
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

  // After a failed load there are items but no current one: both steps go to the first.
  Load(Rss(Item("a") + Item("b") + "<item><title>x<b/></title></item>"));
  ASSERT_EQ(handler.Items().Count(), 2);
  ASSERT_EQ(handler.CurrentIndex(), -1);
  handler.SelectNext();
  EXPECT_EQ(handler.CurrentIndex(), 0);
  Load(Rss(Item("a") + Item("b") + "<item><title>x<b/></title></item>"));
  handler.SelectPrevious();
  EXPECT_EQ(handler.CurrentIndex(), 0);
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
