// Reading documents: tokens, whitespace, entities, attributes, chunk boundaries, events,
// failures and deep nesting.
#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "XmlTestUtil.h"
#include "xml/ALXmlDoc.h"
#include "tests/support/TextCase.h"

namespace mq {
namespace {

using xmltest::ErrorOf;
using xmltest::Load;
using xmltest::LoadError;

constexpr int kChunk = static_cast<int>(TALXMLDocument::kChunkSize);

TEST(parse_tokens, BuildsTheTreeOfARealFeed) {
  auto doc = Load(
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
      "<!-- generated -->\r\n"
      "<rss version=\"2.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\r\n"
      "  <channel>\r\n"
      "    <title>News &amp; views</title>\r\n"
      "    <item><title>First</title><dc:date>2024-01-01</dc:date><empty/></item>\r\n"
      "  </channel>\r\n"
      "</rss>\r\n");
  TALXMLNodeList* top = doc->Node()->ChildNodes();
  ASSERT_EQ(top->Count(), 3);
  EXPECT_EQ(top->Get(0)->NodeType(), ntProcessingInstr);
  EXPECT_EQ(top->Get(0)->NodeName(), "xml");
  EXPECT_EQ(top->Get(0)->Text(), "version=\"1.0\" encoding=\"utf-8\"");
  EXPECT_EQ(top->Get(1)->NodeType(), ntComment);
  EXPECT_EQ(top->Get(1)->Text(), " generated ");

  TALXMLNode* rss = doc->DocumentElement();
  ASSERT_NE(rss, nullptr);
  EXPECT_EQ(rss->NodeName(), "rss");
  EXPECT_EQ(rss->Attributes("version"), "2.0");
  EXPECT_EQ(rss->Attributes("xmlns:dc"), "http://purl.org/dc/elements/1.1/");
  ASSERT_EQ(rss->ChildNodes()->Count(), 1) << "whitespace-only text is dropped";
  TALXMLNode* channel = rss->ChildNodes()->Get("channel");
  EXPECT_EQ(channel->ParentNode(), rss);
  EXPECT_EQ(channel->ChildNodes()->Get("title")->Text(), "News & views");
  TALXMLNode* item = channel->ChildNodes()->Get("item");
  EXPECT_EQ(item->ChildValues("title"), "First");
  EXPECT_EQ(item->ChildNodes()->Get("date")->NodeName(), "dc:date") << "found by local name";
  EXPECT_EQ(item->ChildNodes()->Get("date")->LocalName(), "date");
  TALXMLNode* empty = item->ChildNodes()->Get("empty");
  EXPECT_FALSE(empty->HasChildNodes());
  EXPECT_EQ(empty->RawChildNodes(), nullptr) << "an empty-element tag creates no child list";
  EXPECT_EQ(empty->OwnerDocument(), doc.get());
}

TEST(parse_tokens, ProcessingInstructionTargetAndData) {
  struct Case {
    const char* xml;
    const char* target;
    const char* data;
  } cases[] = {
      {"<?pi?><r/>", "pi", ""},
      {"<?pi a b?><r/>", "pi", "a b"},
      {"<?pi\tx=\"&amp;\"?><r/>", "pi", "x=\"&amp;\""},  // data is not decoded
      {"<?pi\r\n  two\r\n?><r/>", "pi", "\n  two\r\n"},  // one break character is the split
      {"<?pi  x?><r/>", "pi", " x"},
  };
  for (const auto& c : cases) {
    auto doc = Load(c.xml);
    TALXMLNode* pi = doc->Node()->ChildNodes()->Get(0);
    EXPECT_EQ(pi->NodeName(), c.target) << c.xml;
    EXPECT_EQ(pi->Text(), c.data) << c.xml;
  }
}

TEST(parse_whitespace, BlankTextIsDroppedUnlessPreservedInsideAnElement) {
  struct Case {
    const char* xml;
    TALXMLDocOptions options;
    TALXMLParseOptions parse;
    int rootChildren;
    const char* firstText;  // text of the root's first child, if any
  } cases[] = {
      {"<r> \t\r\n</r>", doAttrNull, 0, 0, nullptr},
      {"<r> \t\r\n</r>", doAttrNull, poPreserveWhiteSpace, 1, " \t\r\n"},
      {"<r> \t\r\n</r>", doNodeAutoIndent, poPreserveWhiteSpace, 0, nullptr},
      {"<r>\x01\x1f </r>", doAttrNull, 0, 0, nullptr},  // every code up to 32 is blank
      {"<r>  a  </r>", doAttrNull, 0, 1, "  a  "},      // kept with its surroundings
      {"<r> <b/> </r>", doAttrNull, poPreserveWhiteSpace, 3, " "},
  };
  for (const auto& c : cases) {
    auto doc = Load(c.xml, c.options, c.parse);
    TALXMLNode* r = doc->DocumentElement();
    const int count = r->RawChildNodes() ? r->RawChildNodes()->Count() : 0;
    EXPECT_EQ(count, c.rootChildren) << c.xml;
    if (c.firstText && count > 0) {
      EXPECT_EQ(r->ChildNodes()->First()->Text(), c.firstText);
    }
  }
  // At document level blank text is never kept, even when preserving.
  auto doc = Load("  \r\n<r/>\r\n  ", doAttrNull, poPreserveWhiteSpace);
  EXPECT_EQ(doc->Node()->ChildNodes()->Count(), 1);
}

TEST(parse_entities, FivePredefinedReferencesOneLevelOthersUntouched) {
  const test::TextCase cases[] = {
      {"&quot;&apos;&amp;&lt;&gt;", "\"'&<>"},
      {"&amp;lt;", "&lt;"},  // one level only
      {"&#60;&#x3C;", "&#60;&#x3C;"},
      {"&nbsp; &bogus; & amp; &amp", "&nbsp; &bogus; & amp; &amp"},
      {"a&&amp;b", "a&&b"},
      {"&AMP;", "&AMP;"},  // case-sensitive
      {"&lt", "&lt"},
      {"&                      ;&gt;", "&                      ;>"},
  };
  for (const test::TextCase& c : cases) {
    EXPECT_EQ(ALXmlDecodeEntities(c.in), c.out) << c.in;
    auto doc = Load(std::string("<r a=\"") + c.in + "\">" + c.in + "</r>");
    EXPECT_EQ(doc->DocumentElement()->Text(), c.out) << c.in;
    EXPECT_EQ(doc->DocumentElement()->Attributes("a"), c.out) << c.in;
  }
}

TEST(parse_attributes, FormsThatParse) {
  struct Case {
    const char* tag;
    std::vector<std::pair<std::string, std::string>> attributes;
  } cases[] = {
      {"<r a=\"1\" b='2'/>", {{"a", "1"}, {"b", "2"}}},
      {"<r a=\"it's\" b='say \"hi\"'/>", {{"a", "it's"}, {"b", "say \"hi\""}}},
      {"<r\r\n    a=\"1\"\r\n    b=\"2\"\r\n/>", {{"a", "1"}, {"b", "2"}}},  // spread over lines
      {"<r a=\"\"/>", {{"a", ""}}},
      {"<r a=\"1\" a=\"2\"/>", {{"a", "2"}}},  // repeated: one attribute, last value
      {"<r a=\"x y\tz\"/>", {{"a", "x y\tz"}}},
      // Blanks around "=" (XML allows them on both sides).
      {"<rss version = \"2.0\"/>", {{"version", "2.0"}}},
      {"<rss version= \"2.0\"/>", {{"version", "2.0"}}},
      {"<rss version =\"2.0\"/>", {{"version", "2.0"}}},
      {"<rss version\t=\r\n'2.0'/>", {{"version", "2.0"}}},
      {"<r a = \"1\" b= \"2\" c =\"3\" d=\"4\"/>", {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}},
      {"<r a= \"x y\"/>", {{"a", "x y"}}},
      // A ">" inside a quoted value belongs to the value.
      {"<r a=\"x>y\"/>", {{"a", "x>y"}}},
      {"<r a='>' b=\"/>\"/>", {{"a", ">"}, {"b", "/>"}}},
      {"<r a = \">\"/>", {{"a", ">"}}},
  };
  for (const auto& c : cases) {
    auto doc = Load(c.tag);
    TALXMLNode* r = doc->DocumentElement();
    TALXMLNodeList* attrs = r->AttributeNodes();
    ASSERT_EQ(attrs->Count(), static_cast<int>(c.attributes.size())) << c.tag;
    for (size_t i = 0; i < c.attributes.size(); ++i) {
      EXPECT_EQ(attrs->Get(static_cast<int>(i))->NodeName(), c.attributes[i].first) << c.tag;
      EXPECT_EQ(attrs->Get(static_cast<int>(i))->Text(), c.attributes[i].second) << c.tag;
    }
    EXPECT_FALSE(r->HasChildNodes()) << c.tag << " is an empty-element tag";
  }
}

TEST(parse_attributes, ManyAttributesKeepTheLookupRules) {
  // Small and large tags (the reader indexes the names of large ones) give the same result: a
  // repeated name updates its attribute, and a name matching another's local name updates
  // that one.
  for (int count : {3, 40, 20000}) {
    std::string tag = "<r";
    for (int i = 0; i < count; ++i) tag += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
    tag += " a1 = 'again' x:b=\"p\" b=\"q\" b:a2=\"r\"/>";
    auto doc = Load(tag);
    TALXMLNode* r = doc->DocumentElement();
    EXPECT_EQ(r->AttributeNodes()->Count(), count + 2) << count;
    EXPECT_EQ(r->Attributes("a1"), "again") << count;
    EXPECT_EQ(r->AttributeNodes()->Get("x:b")->Text(), "q") << count;
    EXPECT_EQ(r->AttributeNodes()->Last()->NodeName(), "b:a2") << count;
    EXPECT_EQ(r->Attributes("a2"), "2") << count << ": the first match by local name";
  }
}

TEST(parse_attributes, TextAfterAQuotedGreaterThanStaysText) {
  auto doc = Load("<r><a href=\"x>y\">text</a></r>");
  TALXMLNode* a = doc->DocumentElement()->ChildNodes()->Get("a");
  EXPECT_EQ(a->Attributes("href"), "x>y");
  EXPECT_EQ(a->Text(), "text");
}

TEST(parse_attributes, FormsThatFail) {
  const test::TextCase cases[] = {
      {"<r a/>", "Xml Parse error"},  // no value
      {"<r a=/>", "Xml Parse error"},
      {"<r a=1/>", "Xml Parse error"},                        // unquoted
      {"<r a=\"1'/>", "Xml Parse error"},                     // the quote never closes: no end of tag
      {"<r a=\"1\"b=\"2\"/>", "The parameter is incorrect"},  // no blank between attributes
      {"<r =\"1\"/>", "The parameter is incorrect"},          // no name
      {"<r a =/>", "Xml Parse error"},
  };
  for (const test::TextCase& c : cases) EXPECT_EQ(LoadError(c.in), c.out) << c.in;
}

TEST(parse_fields, ExtractHeaderFieldsTokensAndJoining) {
  struct Case {
    std::string in;
    std::vector<std::string> out;
  } cases[] = {
      {"", {}},
      {" \t\r\n", {}},
      {"a=\"1\" b='2'", {"a=\"1\"", "b='2'"}},
      {"  a=\"1\"\r\n\tb=\"2\"  ", {"a=\"1\"", "b=\"2\""}},
      {"a=\"x y\" b='p\"q'", {"a=\"x y\"", "b='p\"q'"}},
      {"a = \"1\"", {"a=\"1\""}},
      {"a= \"1\"", {"a=\"1\""}},
      {"a =\"1\"", {"a=\"1\""}},
      {"a = \"1\" b = \"2\"", {"a=\"1\"", "b=\"2\""}},
      {"a", {"a"}},
      {"a b", {"a", "b"}},
      {"a =", {"a="}},
      {"a=\"1\"b=\"2\"", {"a=\"1\"", "=\"2\""}},  // the character after a closing quote is skipped
      {std::string("a=\"1\"\0b=\"2\"", 11), {"a=\"1\"", "b=\"2\""}},
      {"\"lead\" x", {"\"lead\"", "x"}},
      {"a=\"open", {"a=\"open"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> fields{"stale"};
    ExtractHeaderFields(c.in, fields);
    EXPECT_EQ(fields, c.out) << xmltest::Visible(c.in);
  }
}

TEST(parse_failures, ExactMessages) {
  const test::TextCase cases[] = {
      {"<r", "Xml Parse error"},
      {"<", "Xml Parse error"},
      {"<r><?pi never ends</r>", "Xml Parse error"},
      {"<r><!-- never ends</r>", "Xml Parse error"},
      {"<!-->", "Xml Parse error"},
      {"<r></r", "Xml Parse error"},
      {"<r></x>", "Xml Parse error"},
      {"<r><a></r>", "Xml Parse error"},
      {"<r></R>", "Xml Parse error"},
      {"<r></ r>", "Xml Parse error"},
      {"</r>", "Node list index out of bounds (-1)"},  // stray end tag: the open stack is empty
      {"<r/></r>", "Node list index out of bounds (-1)"},
      {"<>", "The parameter is incorrect"},
      {"< r/>", "The parameter is incorrect"},
      {"<r><?  x?></r>", "The parameter is incorrect"},
      {"text<r/>", "The parameter is incorrect"},  // text at document level
      {"<r/><x/>", "Only one top level element is allowed in an XML document"},
      {"<r/><!-- c -->", "Only one top level element is allowed in an XML document"},
      {"<r/><?pi?>", "Only one top level element is allowed in an XML document"},
  };
  for (const test::TextCase& c : cases) EXPECT_EQ(LoadError(c.in), c.out) << c.in;
}

TEST(parse_failures, LenientWhereTheFeedParserNeedsIt) {
  // Truncated inside an element: loads, the open elements stay in the tree.
  auto doc = Load("<rss><channel><title>cut off");
  TALXMLNode* channel = doc->DocumentElement()->ChildNodes()->Get("channel");
  EXPECT_EQ(channel->ChildNodes()->Get("title")->Text(), "cut off");
  // Trailing whitespace after the root element is fine.
  EXPECT_EQ(LoadError("<r/>\r\n \t\r\n"), "no error");
  // A close tag with trailing blanks matches.
  EXPECT_EQ(LoadError("<r></r \r\n>"), "no error");
  // A document type declaration and CDATA are read as start tags (the feed parser removes
  // them beforehand).
  auto dtd = Load("<!DOCTYPE>");
  EXPECT_EQ(dtd->DocumentElement()->NodeName(), "!DOCTYPE");
  EXPECT_EQ(LoadError("<!DOCTYPE rss><rss/>"), "Xml Parse error");  // "rss" has no value
  EXPECT_EQ(LoadError("<r><![CDATA[x]]></r>"), "Xml Parse error");  // </r> closes the CDATA
}

TEST(parse_failures, FailedLoadLeavesTheDocumentInactiveWithTheOffset) {
  TALXMLDocument doc;
  doc.LoadFromXML("<ok/>");
  ASSERT_TRUE(doc.Active());
  try {
    doc.LoadFromXML("<r><a></b></r>");
    FAIL() << "no error";
  } catch (const EALXMLDocError& e) {
    EXPECT_STREQ(e.what(), "Xml Parse error");
    EXPECT_EQ(e.Offset(), 6);
  }
  EXPECT_FALSE(doc.Active());
  EXPECT_EQ(ErrorOf([&] { doc.Node(); }), "No active document");
  EXPECT_EQ(ErrorOf([&] { doc.DocumentElement(); }), "No active document");
}

TEST(parse_empty, EmptySourceHasNoDocumentElement) {
  for (const char* xml : {"", " \r\n ", "<?xml version=\"1.0\"?>", "<!-- only -->"}) {
    auto doc = Load(xml);
    EXPECT_TRUE(doc->Active()) << xml;
    EXPECT_EQ(doc->DocumentElement(), nullptr) << xml;
  }
}

// --- Chunk boundaries -------------------------------------------------------------------------

// Puts `token` so that its byte `split` is the first byte of chunk `boundary / kChunk`: the
// text before it is `prefix` plus padding text.
std::string Straddle(const std::string& prefix, const std::string& token, size_t split,
                     const std::string& suffix, int boundary) {
  const size_t pad = static_cast<size_t>(boundary) - prefix.size() - split;
  return prefix + std::string(pad, 'x') + token + suffix;
}

TEST(parse_chunks, TerminatorsStraddlingAChunkBoundaryAreFound) {
  struct Case {
    const char* name;
    std::string prefix, token, suffix;
    std::function<void(TALXMLDocument&)> check;
  };
  const std::vector<Case> cases = {
      {"processing instruction", "<r>", "<?pi some data?>", "</r>",
       [](TALXMLDocument& d) {
         TALXMLNode* pi = d.DocumentElement()->ChildNodes()->Get(1);
         EXPECT_EQ(pi->NodeName(), "pi");
         EXPECT_EQ(pi->Text(), "some data");
       }},
      {"comment", "<r>", "<!-- a-b -->", "</r>",
       [](TALXMLDocument& d) { EXPECT_EQ(d.DocumentElement()->ChildNodes()->Get(1)->Text(), " a-b "); }},
      {"end tag", "<r><x>", "</x>", "<y/></r>",
       [](TALXMLDocument& d) {
         TALXMLNodeList* r = d.DocumentElement()->ChildNodes();
         ASSERT_EQ(r->Count(), 2);
         EXPECT_EQ(r->Get(1)->NodeName(), "y") << "y follows the closed x";
       }},
      {"start tag", "<r>", "<x a=\"1>2\" b='3'>", "</x></r>",
       [](TALXMLDocument& d) {
         TALXMLNode* x = d.DocumentElement()->ChildNodes()->Get(1);
         EXPECT_EQ(x->Attributes("a"), "1>2");
         EXPECT_EQ(x->Attributes("b"), "3");
       }},
      {"empty-element tag", "<r>", "<x/>", "<y/></r>",
       [](TALXMLDocument& d) {
         TALXMLNodeList* r = d.DocumentElement()->ChildNodes();
         ASSERT_EQ(r->Count(), 3);
         EXPECT_FALSE(r->Get(1)->HasChildNodes());
       }},
      {"entity reference", "<r>", "&amp;", "</r>",
       [](TALXMLDocument& d) {
         const std::string& text = d.DocumentElement()->Text();
         EXPECT_EQ(text.back(), '&');
       }},
  };
  for (const Case& c : cases) {
    for (int boundary : {kChunk, 2 * kChunk}) {
      for (size_t split = 0; split <= c.token.size(); ++split) {
        SCOPED_TRACE(std::string(c.name) + " split at " + std::to_string(split) + " of chunk " +
                     std::to_string(boundary / kChunk));
        const std::string xml = Straddle(c.prefix, c.token, split, c.suffix, boundary);
        ASSERT_EQ(xml.compare(static_cast<size_t>(boundary) - split, c.token.size(), c.token), 0);
        std::unique_ptr<TALXMLDocument> doc;
        ASSERT_EQ(ErrorOf([&] { doc = Load(xml); }), "no error");
        c.check(*doc);
      }
    }
  }
}

TEST(parse_chunks, TokensLongerThanSeveralChunks) {
  const std::string big(5 * kChunk + 123, 'q');
  auto doc = Load("<r><!--" + big + "--><?pi " + big + "?><a v=\"" + big + ">\">" + big + "</a></r>");
  TALXMLNodeList* r = doc->DocumentElement()->ChildNodes();
  EXPECT_EQ(r->Get(0)->Text(), big);
  EXPECT_EQ(r->Get(1)->Text(), big);
  EXPECT_EQ(r->Get(2)->Attributes("v"), big + ">");
  EXPECT_EQ(r->Get(2)->Text(), big);
  // A terminator that is missing after several chunks fails cleanly.
  EXPECT_EQ(LoadError("<r><!--" + big), "Xml Parse error");
}

// A stream buffer that hands out text and records the size of every read request.
class RecordingBuf : public std::streambuf {
 public:
  explicit RecordingBuf(std::string text) : text_(std::move(text)) {
    setg(text_.data(), text_.data(), text_.data() + text_.size());
  }
  std::vector<std::streamsize> requests;

 protected:
  std::streamsize xsgetn(char* s, std::streamsize n) override {
    requests.push_back(n);
    return std::streambuf::xsgetn(s, n);
  }
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
    if (dir != std::ios_base::beg) return pos_type(off_type(-1));
    setg(eback(), eback() + off, egptr());
    return pos_type(off);
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode m) override {
    return seekoff(off_type(pos), std::ios_base::beg, m);
  }

 private:
  std::string text_;
};

TEST(parse_chunks, ReadsTheSourceInChunksOf8192FromItsStart) {
  RecordingBuf buf("<r>" + std::string(3 * kChunk, 'x') + "</r>");
  std::istream in(&buf);
  in.seekg(100);  // a load rewinds first
  TALXMLDocument doc;
  doc.LoadFromStream(in);
  EXPECT_EQ(doc.DocumentElement()->Text().size(), static_cast<size_t>(3 * kChunk));
  ASSERT_GE(buf.requests.size(), 4u);
  for (std::streamsize n : buf.requests) EXPECT_EQ(n, kChunk);

  // An error early in a long source stops reading there.
  RecordingBuf early("</r>" + std::string(10 * kChunk, 'x'));
  std::istream in2(&early);
  EXPECT_EQ(ErrorOf([&] { doc.LoadFromStream(in2); }), "Node list index out of bounds (-1)");
  EXPECT_EQ(early.requests.size(), 1u);
}

// --- Events -----------------------------------------------------------------------------------

TEST(parse_events, RaisedInDocumentOrder) {
  TALXMLDocument doc;
  std::vector<std::string> log;
  doc.OnParseStartDocument = [&](TALXMLDocument&) { log.push_back("start document"); };
  doc.OnParseEndDocument = [&](TALXMLDocument&) { log.push_back("end document"); };
  doc.OnParseProcessingInstruction = [&](TALXMLDocument& s, const std::string& t, const std::string& d) {
    EXPECT_EQ(&s, &doc);
    log.push_back("pi " + t + "|" + d);
  };
  doc.OnParseComment = [&](TALXMLDocument&, const std::string& t) { log.push_back("comment " + t); };
  doc.OnParseStartElement = [&](TALXMLDocument&, const std::string& n,
                                const std::vector<std::string>& attrs) {
    std::string line = "start " + n;
    for (const auto& a : attrs) line += " [" + a + "]";
    log.push_back(line);
  };
  doc.OnParseEndElement = [&](TALXMLDocument&, const std::string& n) { log.push_back("end " + n); };
  doc.OnParseText = [&](TALXMLDocument&, const std::string& t) { log.push_back("text " + t); };
  doc.LoadFromXML("<?xml version=\"1.0\"?><!--c--><r a=\"1 &amp; 2\" b = 'x'><e/>  <t>A&lt;B</t></r>");
  const std::vector<std::string> expected = {"pi xml|version=\"1.0\"",
                                             "comment c",
                                             "start r [a=1 & 2] [b=x]",
                                             "start e",
                                             "end e",
                                             "start t",
                                             "text A<B",
                                             "end t",
                                             "end r"};
  EXPECT_EQ(log, expected);
}

TEST(parse_events, OpenAndCloseEventsAroundLoads) {
  TALXMLDocument doc;
  std::vector<std::string> log;
  doc.BeforeOpen = [&](TALXMLDocument& d) { log.push_back(d.Active() ? "BO active" : "BO"); };
  doc.AfterOpen = [&](TALXMLDocument& d) { log.push_back(d.Active() ? "AO active" : "AO"); };
  doc.BeforeClose = [&](TALXMLDocument& d) { log.push_back(d.Active() ? "BC active" : "BC"); };
  doc.AfterClose = [&](TALXMLDocument& d) { log.push_back(d.Active() ? "AC active" : "AC"); };
  doc.LoadFromXML("<a/>");
  doc.LoadFromXML("<b/>");
  EXPECT_EQ(ErrorOf([&] {
              doc.LoadFromXML(
                  "<c>"
                  "</d>");
            }),
            "Xml Parse error");
  EXPECT_EQ(log, (std::vector<std::string>{"BO", "AO active", "BC active", "AC", "BO", "AO active",
                                           "BC active", "AC", "BO"}));
}

// --- Deep nesting -----------------------------------------------------------------------------

constexpr int kDeep = 1000000;

std::string Nested(int depth, bool closed) {
  std::string xml;
  xml.reserve(static_cast<size_t>(depth) * 7);
  for (int i = 0; i < depth; ++i) xml += "<a>";
  if (closed)
    for (int i = 0; i < depth; ++i) xml += "</a>";
  return xml;
}

TEST(parse_deep, AMillionNestedElementsLoadSaveAndFree) {
  for (bool closed : {false, true}) {
    SCOPED_TRACE(closed ? "closed" : "left open");
    TALXMLDocument doc;
    doc.LoadFromXML(Nested(kDeep, closed));
    TALXMLNode* node = doc.DocumentElement();
    int depth = 1;
    while (node->HasChildNodes()) {
      node = node->ChildNodes()->First();
      ++depth;
    }
    EXPECT_EQ(depth, kDeep);
    // The writer closes what the source left open.
    const std::string saved = doc.SaveToXML();
    EXPECT_EQ(saved.size(), static_cast<size_t>(kDeep - 1) * 7 + 4);
    EXPECT_EQ(saved.find("<a/>"), static_cast<size_t>(kDeep - 1) * 3) << "innermost in the middle";
    EXPECT_EQ(saved.substr(saved.size() - 8), "</a></a>");
  }  // destroyed here
}

TEST(parse_deep, DeepSubtreeMovesBetweenDocumentsAndIsDeleted) {
  TALXMLDocument a, b;
  a.LoadFromXML(Nested(kDeep, false));
  b.LoadFromXML("<root/>");
  std::unique_ptr<TALXMLNode> tree = a.Node()->ChildNodes()->Extract(0);
  TALXMLNode* deepest = tree.get();
  while (deepest->HasChildNodes()) deepest = deepest->ChildNodes()->First();
  EXPECT_EQ(deepest->OwnerDocument(), &a);
  b.DocumentElement()->ChildNodes()->Add(std::move(tree));
  EXPECT_EQ(deepest->OwnerDocument(), &b) << "the owner document is handed down the whole tree";
  b.DocumentElement()->ChildNodes()->Delete(0);
  EXPECT_FALSE(b.DocumentElement()->HasChildNodes());
}

}  // namespace
}  // namespace mq

namespace mq {
namespace {

TEST(parse_attributes, RepeatsInALargeTagSetTheFirstMatch) {
  std::string tag = "<r";
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 40; ++i) tag += " a" + std::to_string(i) + "=\"" + std::to_string(round) + "\"";
  }
  tag += " p:a7=\"x\" a7=\"local\"/>";
  auto doc = xmltest::Load(tag);
  const TALXMLNode* r = doc->DocumentElement();
  EXPECT_EQ(r->RawAttributeNodes()->Count(), 41);
  EXPECT_EQ(r->Attributes("a0"), "2");
  EXPECT_EQ(r->Attributes("a39"), "2");
  EXPECT_EQ(r->Attributes("a7"), "local") << "a7 is found by name before p:a7 by local name";
  EXPECT_EQ(r->Attributes("p:a7"), "x");
}

TEST(parse_limits, MaxDepthFailsOnlyBeyondIt) {
  struct Case {
    int maxDepth;
    int levels;  // the innermost element, empty, included
    bool fails;
  };
  const Case cases[] = {{3, 3, false}, {3, 4, true}, {1, 1, false}, {1, 2, true}, {0, 5000, false}};
  for (const Case& c : cases) {
    std::string xml;
    for (int i = 1; i < c.levels; ++i) xml += "<a>";
    xml += "<b/>";
    for (int i = 1; i < c.levels; ++i) xml += "</a>";
    TALXMLDocument doc;
    doc.SetMaxDepth(c.maxDepth);
    const std::string error = ErrorOf([&] { doc.LoadFromXML(xml); });
    EXPECT_EQ(error == "Xml Parse error", c.fails) << c.maxDepth << "/" << c.levels << ": " << error;
    EXPECT_EQ(doc.Active(), !c.fails);
  }
}

TEST(parse_events, ElementDoneMayTakeTheElementOut) {
  TALXMLDocument doc;
  std::vector<std::string> done;
  doc.OnParseElementDone = [&](TALXMLDocument&, TALXMLNode& element) {
    done.push_back(element.NodeName());
    if (element.NodeName() != "item") return;
    TALXMLNodeList* siblings = element.ParentNode()->ChildNodes();
    ASSERT_EQ(siblings->Last(), &element);
    siblings->Delete(siblings->Count() - 1);
  };
  doc.LoadFromXML("<r><item><t>1</t></item><keep/><item/><item>2</item></r>");
  EXPECT_EQ(done, (std::vector<std::string>{"t", "item", "keep", "item", "item", "r"}));
  const TALXMLNodeList* left = doc.DocumentElement()->ChildNodes();
  ASSERT_EQ(left->Count(), 1);
  EXPECT_EQ(left->First()->NodeName(), "keep");
}

}  // namespace
}  // namespace mq
