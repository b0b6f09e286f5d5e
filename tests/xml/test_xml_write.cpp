// Writing trees back out, and the document's life cycle: XML lines, files, streams, auto-save
// and deferred activation.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "XmlTestUtil.h"
#include "xml/ALXmlDoc.h"
#include "tests/support/TextCase.h"

namespace mq {
namespace {

using xmltest::ErrorOf;
using xmltest::Load;
using xmltest::Visible;

TEST(write_xml, SerialisesEachKindWithEscaping) {
  const test::TextCase cases[] = {
      {"<r/>", "<r/>"},
      {"<r></r>", "<r/>"},  // no children: an empty-element tag
      {"<?xml version=\"1.0\"?>\n<!--c-->\n<r/>", "<?xml version=\"1.0\"?>\r\n<!--c-->\r\n<r/>"},
      {"<?p?><r/>", "<?p?>\r\n<r/>"},
      {"<r a=\"x&amp;y\" b='q\"' c=\"&apos;&lt;&gt;\"/>",
       "<r a=\"x&amp;y\" b=\"q&quot;\" c=\"&apos;&lt;&gt;\"/>"},
      {"<r>&quot;&apos;&amp;&lt;&gt; and &#65;</r>", "<r>&quot;&apos;&amp;&lt;&gt; and &amp;#65;</r>"},
      {"<r>a<!--x<y&z-->b<?p  d&amp;?></r>", "<r>a<!--x<y&z-->b<?p  d&amp;?></r>"},
      {"<r>\r\n<a>t</a>\r\n</r>", "<r><a>t</a></r>"},
      {"<r><a><b><c/></b></a></r>", "<r><a><b><c/></b></a></r>"},
  };
  for (const test::TextCase& c : cases)
    EXPECT_EQ(Visible(Load(c.in)->SaveToXML()), Visible(c.out)) << c.in;
}

// A deterministic feed-shaped document with every construct the reader knows.
std::string SampleFeed(int items) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- feed -->\r\n"
      "<rss version=\"2.0\"><channel><title>Sample &amp; co</title>";
  for (int i = 0; i < items; ++i) {
    const std::string n = std::to_string(i);
    xml += "<item><title>Item " + n + " &lt;b&gt;</title><link>http://127.0.0.1/" + n +
           "?a=1&amp;b=2</link><guid isPermaLink='false'>" + n + "</guid><description>Text \"" + n +
           "\" it's</description><?pi " + n + "?><!--" + n + "--></item>";
  }
  return xml + "</channel></rss>";
}

TEST(write_xml, RoundTripsAreStable) {
  const std::vector<std::string> docs = {
      SampleFeed(3),
      SampleFeed(2000),
      "<r a=\"&quot;&amp;\">  spaced  <e/>&amp;amp;</r>",
      "<r\r\n  a = \"1\"\r\n  b= '2'><x:y z:w=\"3\"/></r>",
  };
  for (const std::string& xml : docs) {
    const std::string once = Load(xml)->SaveToXML();
    const std::string twice = Load(once)->SaveToXML();
    EXPECT_EQ(once, twice) << xml.substr(0, 80);
  }
}

TEST(write_xml, StreamsAndNodesWriteTheSameText) {
  auto doc = Load(SampleFeed(3000));  // well over the writer's 64 KB pieces
  std::ostringstream out;
  doc->SaveToStream(out);
  EXPECT_EQ(out.str(), doc->SaveToXML());
  TALXMLNode* channel = doc->DocumentElement()->ChildNodes()->Get("channel");
  const std::string channelText = channel->SaveToXML();
  EXPECT_EQ(channelText.substr(0, 40), "<channel><title>Sample &amp; co</title><");
  EXPECT_NE(out.str().find(channelText), std::string::npos);

  TALXMLNode* comment = doc->Node()->ChildNodes()->Get(1);
  EXPECT_EQ(ErrorOf([&] { comment->SaveToXML(); }),
            "This operation can not be performed with a node of type COMMENT");
  TALXMLDocument inactive;
  EXPECT_EQ(ErrorOf([&] { inactive.SaveToXML(); }), "No active document");
  EXPECT_EQ(ErrorOf([&] { inactive.SaveToStream(out); }), "No active document");
  EXPECT_EQ(ErrorOf([&] { inactive.SaveToFile("unused.xml"); }), "No active document");
}

TEST(write_escape, EscapesTheFiveCharacters) {
  EXPECT_EQ(ALXmlEscape("a\"b&c'd<e>f"), "a&quot;b&amp;c&apos;d&lt;e&gt;f");
  EXPECT_EQ(ALXmlEscape("plain \xE6\x96\xB0"), "plain \xE6\x96\xB0");
  EXPECT_EQ(ALXmlDecodeEntities(ALXmlEscape("\"&'<>&amp;")), "\"&'<>&amp;");
}

// --- XML lines --------------------------------------------------------------------------------

TEST(doc_lines, ActivatingParsesTheLinesAndReadingRegeneratesThem) {
  TALXMLDocument doc;
  doc.SetXML({"<r>", "  <a/>", "</r>"});
  EXPECT_FALSE(doc.Active());
  EXPECT_EQ(doc.XMLText(), "<r>\r\n  <a/>\r\n</r>\r\n");
  doc.SetActive(true);
  EXPECT_EQ(doc.DocumentElement()->ChildNodes()->Count(), 1);
  doc.DocumentElement()->AddChild("b");
  EXPECT_EQ(doc.XML(), (std::vector<std::string>{"<r><a/><b/></r>"}));
  EXPECT_TRUE(doc.Active()) << "regenerating the lines keeps the document";

  // Setting the lines from outside deactivates.
  doc.SetXMLText("<x>\r\n1\n2\r</x>\r\n");
  EXPECT_FALSE(doc.Active());
  EXPECT_EQ(doc.XML(), (std::vector<std::string>{"<x>", "1", "2", "</x>"}));
  doc.SetActive(true);
  EXPECT_EQ(doc.DocumentElement()->Text(), "\r\n1\r\n2\r\n");
}

TEST(doc_lines, AutoSaveWritesTheTreeBackIntoTheLines) {
  for (bool autoSave : {false, true}) {
    TALXMLDocument doc;
    doc.SetOptions(autoSave ? doAutoSave : doAttrNull);
    doc.SetXML({"<r/>"});
    doc.SetActive(true);
    doc.DocumentElement()->AddChild("added");
    doc.SetActive(false);
    EXPECT_EQ(doc.XML(), (std::vector<std::string>{autoSave ? "<r><added/></r>" : "<r/>"}));
  }
}

TEST(doc_lines, LoadFromXMLReplacesLinesAndStreamsAreRewound) {
  TALXMLDocument doc;
  doc.SetXML({"<lines/>"});
  doc.LoadFromXML("<text/>");
  EXPECT_EQ(doc.DocumentElement()->NodeName(), "text");
  doc.SetActive(false);
  EXPECT_TRUE(doc.XML().empty()) << "a tree read from a stream leaves no lines behind";
  doc.SetActive(true);
  EXPECT_EQ(doc.DocumentElement(), nullptr) << "the stream is not kept";

  std::istringstream in("<s/>");
  std::string skipped;
  in >> skipped;  // leaves the stream at its end
  doc.LoadFromStream(in);
  EXPECT_EQ(doc.DocumentElement()->NodeName(), "s");
}

// --- Files ------------------------------------------------------------------------------------

class DocFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("mq_xml_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  // A UTF-8 name inside the test's folder, as UTF-8.
  std::string PathOf(const char* utf8) const {
    const std::string name(utf8);
    const std::u8string full = (dir_ / std::u8string(name.begin(), name.end())).u8string();
    return std::string(full.begin(), full.end());
  }
  static std::filesystem::path Native(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
  }
  static void Write(const std::string& path, const std::string& text) {
    std::ofstream(Native(path), std::ios::binary) << text;
  }
  static std::string Read(const std::string& path) {
    std::ifstream f(Native(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  std::filesystem::path dir_;
};

TEST_F(DocFiles, LoadSaveAndAutoSaveThroughFileName) {
  const std::string path = PathOf("feed.xml");
  Write(path, SampleFeed(500));
  TALXMLDocument doc;
  doc.SetOptions(doAutoSave);
  doc.SetFileName(path);
  doc.SetActive(true);
  EXPECT_EQ(doc.DocumentElement()->ChildNodes()->Get("channel")->ChildNodes()->Count(), 501);
  EXPECT_FALSE(doc.XML().empty());
  doc.DocumentElement()->ChildNodes()->Get("channel")->ChildNodes()->Clear();
  doc.SetActive(false);  // saves back to the file, clears the lines
  EXPECT_TRUE(doc.XML().empty());
  EXPECT_EQ(doc.FileName(), path);
  EXPECT_EQ(Read(path),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- feed -->\r\n"
            "<rss version=\"2.0\"><channel/></rss>");
  doc.SetActive(true);  // reads the file again
  EXPECT_FALSE(doc.DocumentElement()->ChildNodes()->Get("channel")->HasChildNodes());

  // Naming another file while active from a file deactivates (saving first).
  doc.DocumentElement()->SetAttributes("saved", "yes");
  doc.SetFileName(PathOf("other.xml"));
  EXPECT_FALSE(doc.Active());
  EXPECT_NE(Read(path).find("saved=\"yes\""), std::string::npos);

  // SaveToFile takes an explicit name or FileName.
  doc.SetOptions(doAttrNull);
  doc.SetFileName(path);
  doc.SetActive(true);
  doc.SaveToFile(PathOf("copy.xml"));
  EXPECT_EQ(Read(PathOf("copy.xml")), Read(path));
  doc.SaveToFile();
  EXPECT_EQ(Read(path), Read(PathOf("copy.xml")));
}

TEST_F(DocFiles, FileNamesAreUtf8) {
  const std::string name = PathOf("\xE6\x96\xB0\xE9\x97\xBB-caf\xC3\xA9.xml");  // 新闻-café.xml
  TALXMLDocument doc;
  doc.LoadFromXML("<r>\xC3\xA9</r>");
  doc.SaveToFile(name);
  const auto path = dir_ / std::filesystem::path(u8"\u65B0\u95FB-caf\u00E9.xml");
  EXPECT_TRUE(std::filesystem::exists(path)) << "the file carries the intended name";
  TALXMLDocument back;
  back.SetFileName(name);
  back.SetActive(true);
  EXPECT_EQ(back.DocumentElement()->Text(), "\xC3\xA9");
}

TEST_F(DocFiles, LinesAndFileNameExcludeEachOther) {
  TALXMLDocument doc;
  doc.SetXML({"<r/>"});
  doc.SetFileName(PathOf("a.xml"));
  EXPECT_TRUE(doc.XML().empty()) << "a file name clears the lines";
  doc.SetXML({"<r/>"});
  EXPECT_EQ(doc.FileName(), "") << "lines clear the file name";
  doc.SetActive(true);
  EXPECT_EQ(doc.DocumentElement()->NodeName(), "r");
}

TEST_F(DocFiles, MissingFileFailsAndLeavesTheDocumentInactive) {
  TALXMLDocument doc;
  doc.SetFileName(PathOf("missing.xml"));
  EXPECT_THROW(doc.SetActive(true), std::runtime_error);
  EXPECT_FALSE(doc.Active());
  Write(PathOf("bad.xml"), "<r><x></r>");
  doc.SetFileName(PathOf("bad.xml"));
  EXPECT_EQ(ErrorOf([&] { doc.SetActive(true); }), "Xml Parse error");
  EXPECT_FALSE(doc.Active());
}

TEST_F(DocFiles, DestroyingAnActiveDocumentClosesAndAutoSavesIt) {
  const std::string path = PathOf("d.xml");
  Write(path, "<r/>");
  std::vector<std::string> log;
  {
    TALXMLDocument doc;
    doc.SetOptions(doAutoSave);
    doc.BeforeClose = [&](TALXMLDocument&) { log.push_back("before close"); };
    doc.AfterClose = [&](TALXMLDocument&) { log.push_back("after close"); };
    doc.SetFileName(path);
    doc.SetActive(true);
    doc.DocumentElement()->AddChild("kept");
  }
  EXPECT_EQ(log, (std::vector<std::string>{"before close", "after close"}));
  EXPECT_EQ(Read(path), "<r><kept/></r>");
}

// --- Deferred activation ----------------------------------------------------------------------

TEST(doc_loading, ActivationWaitsForTheEndOfLoading) {
  TALXMLDocument doc;
  doc.BeginLoading();
  doc.SetXML({"<r/>"});
  doc.SetActive(true);
  EXPECT_FALSE(doc.Active());
  doc.EndLoading();
  EXPECT_TRUE(doc.Active());

  // A change of lines while loading does not deactivate.
  doc.BeginLoading();
  doc.SetXML({"<broken"});
  EXPECT_TRUE(doc.Active());
  doc.SetActive(false);
  doc.SetActive(true);
  EXPECT_EQ(ErrorOf([&] { doc.EndLoading(); }), "no error") << "the wish did not change";

  TALXMLDocument bad;
  bad.BeginLoading();
  bad.SetXML({"<broken"});
  bad.SetActive(true);
  EXPECT_EQ(ErrorOf([&] { bad.EndLoading(); }), "Xml Parse error");
  EXPECT_FALSE(bad.Active());
  EXPECT_FALSE(bad.Loading());
}

}  // namespace
}  // namespace mq
