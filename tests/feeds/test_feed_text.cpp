// The feed text functions: recognition, cleaning, tag stripping, character references.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "feeds/FeedText.h"
#include "feeds/HtmlEntities.h"
#include "tests/feeds/StripTagsOracle.h"

namespace mq {
namespace {

struct TextCase {
  const char* name;
  std::string input;
  std::string expected;
};

// ---------------------------------------------------------------------------------------------
// IsFeedText

struct FeedCase {
  const char* name;
  std::string text;
  bool accepted;
};

TEST(FeedTextRecognition, RootSpellings) {
  const FeedCase cases[] = {
      {"rss with version", R"(<rss version="2.0"><channel><title>t</title></channel></rss>)", true},
      {"upper case markers", R"(<RSS VERSION="2.0"><CHANNEL></CHANNEL></RSS>)", true},
      {"declaration first", "<?xml version=\"1.0\"?>\n<rss version=\"0.91\"><channel></channel></rss>",
       true},
      {"rss without attribute", "<rss><channel></channel></rss>", true},
      {"rss followed by a line break", "<rss\nversion=\"2.0\"><channel></channel></rss>", true},
      {"rss followed by a tab", "<rss\tversion=\"2.0\"><channel></channel></rss>", true},
      {"end tags with blanks", "<rss><channel></channel ></rss >", true},
      {"empty channel element", "<rss><channel/></rss>", true},
      {"prolog of comments, doctype and instructions",
       "<?xml version=\"1.0\"?><!-- <html> --><!DOCTYPE rss [<!ENTITY a \"<b>\">]><?xml-stylesheet "
       "href=\"s\"?>"
       "<rss><channel></channel></rss>",
       true},
      {"rdf prefixed", R"(<rdf:RDF xmlns:rdf="r"><channel rdf:about="x"></channel><item/></rdf:RDF>)",
       true},
      {"rdf plain", "<RDF><channel></channel></RDF>", true},
      {"rdf with its item list inside the channel",
       "<rdf:RDF "
       "xmlns:rdf=\"r\"><channel><items><rdf:Seq><rdf:li/></rdf:Seq></items></channel></rdf:RDF>",
       true},
      {"text before the root", "junk<rss><channel></channel></rss>", true},
  };
  for (const FeedCase& c : cases) EXPECT_EQ(IsFeedText(c.text), c.accepted) << c.name;
}

TEST(FeedTextRecognition, MarkersInsideContentDoNotCount) {
  const FeedCase cases[] = {
      {"root end in a cdata title",
       "<rss><channel><item><title><![CDATA[</rss>]]></title></item></channel></rss>", true},
      {"root start in a comment", "<rss><channel><!-- <rss version=\"1\"> --></channel></rss>", true},
      {"root end in a comment", "<rss><channel><!-- </rss> --></channel></rss>", true},
      {"channel end in an attribute value", "<rss><channel><a t=\"</channel>\"/></channel></rss>", true},
      {"channel only inside cdata", "<rss><item><![CDATA[<channel></channel>]]></item></rss>", false},
      {"channel only inside a comment", "<rss><!-- <channel></channel> --></rss>", false},
      {"feed root only inside a comment", "<!-- <rss><channel></channel></rss> --><html></html>", false},
      {"root before a cdata run to the end", "<rss><channel></channel><![CDATA[</rss>", false},
  };
  for (const FeedCase& c : cases) EXPECT_EQ(IsFeedText(c.text), c.accepted) << c.name;
}

TEST(FeedTextRecognition, OtherDocumentsAreRejected) {
  const FeedCase cases[] = {
      {"rss without channel", R"(<rss version="2.0"><item/></rss>)", false},
      {"channel not closed", R"(<rss version="2.0"><channel><item/></rss>)", false},
      {"rss not closed (truncated)", R"(<rss version="2.0"><channel></channel>)", false},
      {"channel before root", R"(<channel></channel><rss version="2.0"></rss>)", false},
      {"channel closes after root", R"(<rss version="2.0"><channel></rss></channel>)", false},
      {"channel opens after root close", R"(<rss version="2.0"></rss><channel></channel>)", false},
      {"another element is the root", "<x/><rss version=\"2.0\"><channel></channel></rss>", false},
      {"empty root", "<rss/><channel></channel>", false},
      {"a longer name is not rss", "<rssx><channel></channel></rssx>", false},
      {"rdf-prefixed tags are not the root", "<rdf:Seq><channel></channel></rdf:Seq>", false},
      {"a name merely ending in rdf is not the root", "<xrdf><channel></channel></xrdf>", false},
      {"rdf without channel", R"(<rdf:RDF xmlns:rdf="r"><item/></rdf:RDF>)", false},
      {"rdf not closed", R"(<rdf:RDF><channel></channel>)", false},
      {"atom", R"(<feed xmlns="http://www.w3.org/2005/Atom"><entry/></feed>)", false},
      {"html page", "<html><body>502 Bad Gateway</body></html>", false},
      {"unclosed attribute value", "<rss a=\"><channel></channel></rss>", false},
      {"empty", "", false},
  };
  for (const FeedCase& c : cases) EXPECT_EQ(IsFeedText(c.text), c.accepted) << c.name;
}

// ---------------------------------------------------------------------------------------------
// CleanFeedText

TEST(FeedTextCleaning, Table) {
  const TextCase cases[] = {
      {"comment deleted", "<rss a><!-- x --><c/></rss>", "<rss a><c/></rss>"},
      {"two comments", "<r><!--a-->b<!--c--></r>", "<r>b</r>"},
      {"comment needs its own end", "<r><!-->x-->y</r>", "<r>y</r>"},
      {"doctype deleted",
       "<?xml version=\"1.0\"?><!DOCTYPE rss PUBLIC \"-//N//DTD//EN\" \"u\"><rss a></rss>",
       "<?xml version=\"1.0\"?><rss a></rss>"},
      {"doctype with an internal subset",
       "<!DOCTYPE rss [\n<!ENTITY nbsp \"&#160;\">\n<!ENTITY c \"x\">\n]><rss a></rss>",
       "<rss a></rss>"},
      {"doctype subset not closed", "<!DOCTYPE rss [ <!ENTITY a \"b\">",
       "<!DOCTYPE rss [ <!ENTITY a \"b\">"},
      {"cdata kept as escaped text", "<r><t><![CDATA[<b>A & B</b>]]></t></r>",
       "<r><t>&lt;b&gt;A &amp; B&lt;/b&gt;</t></r>"},
      {"cdata marker in any case", "<r><t><![cdata[x<y]]></t></r>", "<r><t>x&lt;y</t></r>"},
      {"empty cdata", "<r><t><![CDATA[]]></t></r>", "<r><t></t></r>"},
      {"comment inside cdata is text", "<r><t><![CDATA[a<!--b]]></t><u>c</u></r>",
       "<r><t>a&lt;!--b</t><u>c</u></r>"},
      {"cdata inside comment is gone", "<r><!-- <![CDATA[ x ]]> --><u>c</u></r>", "<r><u>c</u></r>"},
      {"text after the root cut", "<rss a><channel/></rss>\n<script>track()</script>",
       "<rss a><channel/></rss>"},
      {"cut at end tag with blanks", "<rss a><c/></rss  \n>trailing", "<rss a><c/></rss  \n>"},
      {"prefixed root cut", "<rdf:RDF x><c/></rdf:RDF><!-- cache 1ms -->junk",
       "<rdf:RDF x><c/></rdf:RDF>"},
      {"end tag of a longer name is not the root's", "<rss a><rssx/></rssx></rss>x",
       "<rss a><rssx/></rssx></rss>"},
      {"no end tag: nothing cut", "<rss a><channel><item>", "<rss a><channel><item>"},
      {"unclosed comment left", "<r>a<!-- b", "<r>a<!-- b"},
      {"unclosed cdata runs to the end", "<r><t><![CDATA[a<b", "<r><t>a&lt;b"},
      {"unclosed declaration left", "<r>a<!DOCTYPE", "<r>a<!DOCTYPE"},
      {"lone bracket", "<r>a<</r>", "<r>a<</r>"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(CleanFeedText(c.input), c.expected) << c.name;
}

// ---------------------------------------------------------------------------------------------
// StripHtmlTags

TEST(FeedTextStripTags, Table) {
  const TextCase cases[] = {
      {"no tags", "plain words", "plain words"},
      {"bold tags vanish", "<b>Breaking</b> news today", "Breaking news today"},
      {"paragraphs and breaks", "one</p><p>two<br/>three", "one\r\ntwo\r\nthree"},
      {"br forms", "a<br>b<BR />c<bR>d", "a\r\nb\r\nc\r\nd"},
      {"br-prefixed tag name", "a<brand>b", "a\r\nb"},
      {"hr forms", "a<hr/>b<HR />c<hr>d",
       "a\r\nb\r\nc"
       "d"},
      {"open p and div vanish", "<p>a</div><div>b",
       "a"
       "b"},
      {"closing pre counts as paragraph end", "a</pre>b", "a\r\nb"},
      {"first pipe only", "a|b|c", "a\r\nb|c"},
      {"pipe inside a removed tag", "<a title='x|y'>z</a>|w", "z|w"},
      {"stray > kept, tag after it removed", "5 > 3 <i>yes</i>", "5 > 3 yes"},
      {"stray > restarts the pipe step", "a>b|c|d<i>", "a>b\r\nc\r\nd"},
      {"pipe before a stray > stays replaced", "x|y>z|w<i>", "x\r\ny>z\r\nw"},
      {"< without any >", "a < b and c", "a < b and c"},
      {"< after the last >", "<b>x</b> a < b", "x a < b"},
      {"unterminated tag at end", "text <a href=", "text <a href="},
      {"empty tag", "a<>b", "ab"},
      {"utf-8 text untouched", "\xE4\xB8\xAD<b>\xE6\x96\x87</b>", "\xE4\xB8\xAD\xE6\x96\x87"},
      {"empty", "", ""},
  };
  for (const TextCase& c : cases) EXPECT_EQ(StripHtmlTags(c.input), c.expected) << c.name;
}

TEST(FeedTextStripTags, AgreesWithTheRulesOnRandomTexts) {
  std::mt19937 rng(20261208);
  const char alphabet[] = "<>|/ pPbBrRhHx";
  for (int round = 0; round < 20000; ++round) {
    std::string s(rng() % 24, ' ');
    for (char& c : s) c = alphabet[rng() % (sizeof alphabet - 1)];
    ASSERT_EQ(StripHtmlTags(s), test::StripByTheRules(s)) << "input: " << s;
  }
}

TEST(FeedTextStripTags, ManyStrayBracketsDoNotRecurse) {
  std::string s;
  for (int i = 0; i < 200000; ++i) s += "a>|<b>";
  const std::string out = StripHtmlTags(s);
  EXPECT_EQ(out.size(), 200000u * 4);  // "a>" plus CR LF for each pipe
  EXPECT_EQ(out.substr(0, 8), "a>\r\na>\r\n");
}

TEST(FeedTextTrim, Table) {
  const TextCase cases[] = {
      {"blanks and line ends", " \r\n\tword word\r\n ", "word word"},
      {"control characters",
       std::string("\x01\x1F"
                   "a\x7F",
                   4),
       "a\x7F"},
      {"inner blanks kept", "a  b", "a  b"},
      {"only blanks", " \r\n ", ""},
      {"non-ascii kept", "\xC2\xA0x\xC2\xA0", "\xC2\xA0x\xC2\xA0"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(TrimControls(c.input), c.expected) << c.name;
}

// ---------------------------------------------------------------------------------------------
// DecodeCharRefs

TEST(FeedTextCharRefs, Numeric) {
  const TextCase cases[] = {
      {"decimal with semicolon", "it&#39;s", "it's"},
      {"hexadecimal", "&#x2019;", "\xE2\x80\x99"},
      {"upper-case X", "&#X2019;", "\xE2\x80\x99"},
      {"dollar prefix", "&#$27;", "'"},
      {"0x prefix", "&#0x27;", "'"},
      {"two semicolons both consumed", "&#39;;x", "'x"},
      {"only one extra semicolon consumed", "&#39;;;x", "';x"},
      {"leading blank and sign skipped", "&# 39;&#+39;", "''"},
      {"other terminator consumed", "&#39a", "'"},
      {"non-ascii terminator consumed whole", "&#39\xC3\xA9z", "'z"},
      {"emoji beyond U+FFFF", "&#x1F600;", "\xF0\x9F\x98\x80"},
      {"rare CJK beyond U+FFFF", "&#131072;", "\xF0\xA0\x80\x80"},
      {"last code point", "&#x10FFFF;", "\xF4\x8F\xBF\xBF"},
      {"zero", "&#0;", "\xEF\xBF\xBD"},
      {"surrogate", "&#xD800;", "\xEF\xBF\xBD"},
      {"beyond U+10FFFF", "&#x110000;", "\xEF\xBF\xBD"},
      {"huge decimal", "&#999999999;", "\xEF\xBF\xBD"},
      {"negative", "&#-65;", "\xEF\xBF\xBD"},
      {"no digits", "&#;", "\xEF\xBF\xBD"},
      {"no terminator: digits read again as text", "&#39", "'39"},
      {"ten digits fill the window", "&#0000000065", "A0000000065"},
      {"terminator as eleventh character is outside the window", "&#0000000065;", "A0000000065;"},
      {"output is not read again", "&#38;lt;", "&lt;"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(DecodeCharRefs(c.input), c.expected) << c.name;
}

TEST(FeedTextCharRefs, Named) {
  const TextCase cases[] = {
      {"nbsp", "a&nbsp;b",
       "a\xC2\xA0"
       "b"},
      {"mdash", "x&mdash;y", "x\xE2\x80\x94y"},
      {"eacute", "caf&eacute;", "caf\xC3\xA9"},
      {"hellip", "more&hellip;", "more\xE2\x80\xA6"},
      {"xml ones", "&lt;&gt;&amp;&quot;&apos;", "<>&\"'"},
      {"long name", "&CounterClockwiseContourIntegral;", "\xE2\x88\xB3"},
      {"two code points", "&NotEqualTilde;", "\xE2\x89\x82\xCC\xB8"},
      {"beyond U+FFFF", "&Afr;", "\xF0\x9D\x94\x84"},
      {"legacy name without semicolon", "&copy 2026", "\xC2\xA9 2026"},
      {"legacy prefix of a longer word", "&notit;", "\xC2\xACit;"},
      {"case matters", "&Eacute;&eacute;", "\xC3\x89\xC3\xA9"},
      {"unknown name stays", "&bogus; &nbspx", "&bogus; \xC2\xA0x"},
      {"not a name", "AT&T & co &;", "AT&T & co &;"},
      {"ampersand at the end", "a&", "a&"},
      {"single pass", "&amp;lt; &amp;#39;", "&lt; &#39;"},
      {"mixed with numeric", "&lsquo;&#39;&rsquo;", "\xE2\x80\x98'\xE2\x80\x99"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(DecodeCharRefs(c.input), c.expected) << c.name;
}

TEST(FeedTextCharRefs, WholeHtmlListIsThere) {
  EXPECT_EQ(kHtmlEntityCount, 2231u);
  EXPECT_EQ(LookupHtmlEntity("zwnj;"), "\xE2\x80\x8C");
  EXPECT_EQ(LookupHtmlEntity("AElig"), "\xC3\x86");
  EXPECT_EQ(LookupHtmlEntity("AElig;"), "\xC3\x86");
  EXPECT_EQ(LookupHtmlEntity("nbsp"), "\xC2\xA0");
  EXPECT_TRUE(LookupHtmlEntity("mdash").empty());  // only "mdash;" is defined
  EXPECT_TRUE(LookupHtmlEntity("").empty());
}

}  // namespace
}  // namespace mq
