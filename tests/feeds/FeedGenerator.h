// A large RSS 2.0 feed of the shape real servers send (CDATA and escaped HTML descriptions,
// namespaced extras, non-ASCII titles), generated the same way every time. Used by the corpus
// test and the benchmark.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace mq::test {

struct TGeneratedFeed {
  std::string bytes;
  std::string channelTitle;
  std::vector<std::string> titles;  // as the ticker shows them
};

inline TGeneratedFeed GenerateFeed(size_t targetBytes) {
  // Each phrase as written in the document, and as it reads once loaded.
  static const char* const kPhrases[][2] = {
      {"Z\xC3\xBCrich council votes on tram &amp; bus plan",
       "Z\xC3\xBCrich council votes on tram & bus plan"},
      {"&lt;b&gt;Markets&lt;/b&gt; close higher", "Markets close higher"},
      {"\xE5\x8C\x97\xE4\xBA\xAC\xE4\xBB\x8A\xE5\x86\xAC\xE9\xA6\x96\xE5\x9C\xBA\xE9\x99\x8D\xE9\x9B"
       "\xAA",
       "\xE5\x8C\x97\xE4\xBA\xAC\xE4\xBB\x8A\xE5\x86\xAC\xE9\xA6\x96\xE5\x9C\xBA\xE9\x99\x8D\xE9\x9B"
       "\xAA"},
      {"Storm &#8211; ferries cancelled", "Storm \xE2\x80\x93 ferries cancelled"},
      {"<![CDATA[Q&A: <i>budget</i> explained]]>", "Q&A: budget explained"},
      {"Caf&amp;eacute; owners protest rent rise", "Caf\xC3\xA9 owners protest rent rise"},
      {"Team wins cup after 40 years", "Team wins cup after 40 years"},
      {"&#x201C;Quiet&#x201D; satellite launch succeeds",
       "\xE2\x80\x9CQuiet\xE2\x80\x9D satellite launch succeeds"},
  };
  TGeneratedFeed feed;
  feed.channelTitle = "Bulk News \xE2\x80\x93 all stories";
  std::string& s = feed.bytes;
  s.reserve(targetBytes + 4096);
  s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<rss version=\"2.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
       "xmlns:atom=\"http://www.w3.org/2005/Atom\" "
       "xmlns:content=\"http://purl.org/rss/1.0/modules/content/\">\n"
       "<channel>\n<title>Bulk News &#8211; all stories</title>\n"
       "<atom:link href=\"https://bulk.example.test/feed\" rel=\"self\" type=\"application/rss+xml\"/>\n"
       "<link>https://bulk.example.test/</link>\n<description>Every story, as it happens</description>\n"
       "<language>en</language>\n<lastBuildDate>Tue, 08 Dec 2026 03:00:00 +0000</lastBuildDate>\n";
  const std::string tail = "</channel>\n</rss>\n";
  for (size_t k = 0; s.size() + tail.size() < targetBytes; ++k) {
    const auto& phrase = kPhrases[k % (sizeof kPhrases / sizeof kPhrases[0])];
    const std::string n = std::to_string(k + 1);
    const bool cdata = phrase[0][0] == '<';
    s += "<item>\n<title>";
    if (cdata) {
      s += std::string("<![CDATA[Item ") + n + ": " + (phrase[0] + 9);
    } else {
      s += "Item " + n + ": " + phrase[0];
    }
    s += "</title>\n<link>https://bulk.example.test/articles/" + n +
         "?utm_source=rss&amp;utm_medium=feed</link>\n";
    s += "<guid isPermaLink=\"false\">bulk-" + n + "</guid>\n";
    s += "<pubDate>Tue, 08 Dec 2026 03:" + std::to_string(10 + k % 50) + ":00 +0000</pubDate>\n";
    s += "<dc:creator><![CDATA[News Desk]]></dc:creator>\n<category>World</category>\n";
    if (k % 2 == 0) {
      s += "<description><![CDATA[<p>Story " + n +
           " begins here with a <a href=\"https://bulk.example.test/articles/" + n +
           "\">link</a> and an image <img src=\"https://bulk.example.test/i/" + n +
           ".jpg\" width=\"300\" height=\"200\"/>.</p><p>The second paragraph goes on for a while "
           "so that the description has the length of a real one, about three hundred "
           "bytes.</p>]]></description>\n";
    } else {
      s += "<description>&lt;p&gt;Story " + n +
           " told with escaped markup &amp;mdash; as many servers send it.&lt;/p&gt;&lt;br /&gt;"
           "Continued with &lt;em&gt;emphasis&lt;/em&gt; and an &amp;amp; sign &#8230; and more words "
           "to reach a typical length.</description>\n";
    }
    s += "</item>\n";
    feed.titles.push_back("Item " + n + ": " + phrase[1]);
  }
  s += tail;
  return feed;
}

}  // namespace mq::test
