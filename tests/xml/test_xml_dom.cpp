// The node tree: the factory, child checks, node lists, text and attribute access, siblings,
// DocumentElement and auto-indent.
#include <gtest/gtest.h>

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

TEST(dom_factory, CreatesTheFiveKindsAndRefusesTheRest) {
  TALXMLDocument doc;
  struct Case {
    TALXMLNodeType type;
    const char* result;  // node name, "null" or the error
  } cases[] = {
      {ntElement, "n"},
      {ntAttribute, "n"},
      {ntText, "#text"},
      {ntProcessingInstr, "n"},
      {ntComment, "#comment"},
      {ntCData, "null"},
      {ntEntityRef, "null"},
      {ntDocFragment, "null"},
      {ntReserved, "Invalid node type"},
      {ntEntity, "Invalid node type"},
      {ntDocument, "Invalid node type"},
      {ntDocType, "Invalid node type"},
      {ntNotation, "Invalid node type"},
      {static_cast<TALXMLNodeType>(13), "Invalid node type"},
  };
  for (const auto& c : cases) {
    std::string result;
    const std::string error = ErrorOf([&] {
      auto node = doc.CreateNode("n", c.type, "extra");
      result = node ? node->NodeName() : "null";
      if (node) {
        EXPECT_EQ(node->NodeType(), c.type);
        EXPECT_EQ(node->OwnerDocument(), &doc);
      }
    });
    EXPECT_EQ(error == "no error" ? result : error, c.result) << c.type;
  }
  EXPECT_EQ(doc.CreateNode("a", ntAttribute, "v")->Text(), "v");
  EXPECT_EQ(doc.CreateNode("t", ntProcessingInstr, "d")->Text(), "d");
}

TEST(dom_factory, NamesMustBeNonEmptyWithoutBlanks) {
  TALXMLDocument doc;
  for (TALXMLNodeType type : {ntElement, ntAttribute, ntProcessingInstr}) {
    for (const char* bad : {"", "a b", "a\tb", "a\rb", "a\nb", " a"})
      EXPECT_EQ(ErrorOf([&] { doc.CreateNode(bad, type); }), "The parameter is incorrect")
          << type << " '" << Visible(bad) << "'";
    EXPECT_EQ(ErrorOf([&] { doc.CreateNode("ns:a-b.c", type); }), "no error");
  }
  auto element = doc.CreateElement("ok");
  EXPECT_EQ(ErrorOf([&] { element->SetInternalNameOrContent("not ok"); }), "The parameter is incorrect");
  EXPECT_EQ(element->NodeName(), "ok");
  // Text and comments take any content.
  EXPECT_EQ(doc.CreateNode(" a b ", ntText)->Text(), " a b ");
}

TEST(dom_checks, WhichChildrenEachKindAccepts) {
  TALXMLDocument doc;
  doc.SetActive(true);
  struct Case {
    const char* owner;
    std::function<std::unique_ptr<TALXMLNode>()> make;
    const char* result;
  };
  auto make = [&](const char* name, TALXMLNodeType type) {
    return [&doc, name, type] { return doc.CreateNode(name, type); };
  };
  const std::vector<Case> cases = {
      {"element", make("e", ntElement), "no error"},
      {"element", make("a", ntAttribute), "no error"},
      {"element", make("t", ntText), "no error"},
      {"element", make("p", ntProcessingInstr), "no error"},
      {"element", make("c", ntComment), "no error"},
      {"element", [&] { return std::make_unique<TALXmlDocumentNode>(&doc); },
       "The parameter is incorrect"},
      {"attribute", make("t", ntText), "no error"},
      {"attribute", make("e", ntElement), "The parameter is incorrect"},
      {"attribute", make("c", ntComment), "The parameter is incorrect"},
      {"document", make("p", ntProcessingInstr), "no error"},
      {"document", make("c", ntComment), "no error"},
      {"document", make("t", ntText), "The parameter is incorrect"},
      {"document", make("a", ntAttribute), "The parameter is incorrect"},
      {"document", make("e", ntElement), "no error"},
      // Once the document holds an element, nothing more is accepted, whatever its kind.
      {"document", make("e", ntElement), "Only one top level element is allowed in an XML document"},
      {"document", make("c", ntComment), "Only one top level element is allowed in an XML document"},
      {"document", make("t", ntText), "Only one top level element is allowed in an XML document"},
  };
  auto element = doc.CreateElement("owner");
  auto attribute = doc.CreateNode("owner", ntAttribute);
  for (const Case& c : cases) {
    TALXMLNodeList* list = std::string(c.owner) == "element"     ? element->ChildNodes()
                           : std::string(c.owner) == "attribute" ? attribute->ChildNodes()
                                                                 : doc.Node()->ChildNodes();
    std::unique_ptr<TALXMLNode> node = c.make();
    TALXMLNode* raw = node.get();
    const std::string error = ErrorOf([&] { list->Add(std::move(node)); });
    EXPECT_EQ(error, c.result) << c.owner << " <- " << raw->NodeName();
    if (error == "no error") {
      EXPECT_EQ(node, nullptr);
      EXPECT_EQ(list->Last(), raw);
    } else {
      EXPECT_EQ(node.get(), raw) << "a refused node stays with the caller";
    }
    if (std::string(c.owner) == "attribute") list->Clear();
  }
  // An attribute holds one child only.
  attribute->ChildNodes()->Add(doc.CreateNode("1", ntText));
  EXPECT_EQ(ErrorOf([&] { attribute->ChildNodes()->Add(doc.CreateNode("2", ntText)); }),
            "Only one child is allowed in an attribute node");
  EXPECT_EQ(ErrorOf([&] { doc.Node()->SetText("x"); }),
            "This operation can not be performed with a node of type DOCUMENT");
  EXPECT_EQ(ErrorOf([&] { doc.CreateNode("t", ntText)->AddChild("x"); }),
            "This operation can not be performed with a node of type TEXT");
}

TEST(dom_lists, GrowthSteps) {
  TALXMLDocument doc;
  auto owner = doc.CreateElement("r");
  TALXMLNodeList* list = owner->ChildNodes();
  // +4 while the capacity is at most 8, +16 while at most 64, then + a quarter.
  const std::vector<int> expected = {4, 8, 12, 28, 44, 60, 76, 95, 118, 147, 183};
  std::vector<int> seen;
  while (static_cast<int>(seen.size()) < static_cast<int>(expected.size())) {
    const int before = list->Capacity();
    list->Add(doc.CreateNode("t", ntText));
    if (list->Capacity() != before) seen.push_back(list->Capacity());
  }
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(list->Count(), 148);
}

TEST(dom_lists, BoundsMessages) {
  TALXMLDocument doc;
  auto owner = doc.CreateElement("r");
  TALXMLNodeList* list = owner->ChildNodes();
  for (const char* n : {"a", "b", "c"}) owner->AddChild(n);
  struct Case {
    const char* what;
    std::function<void()> action;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"Get(3)", [&] { list->Get(3); }, "Node list index out of bounds (3)"},
      {"Get(-1)", [&] { list->Get(-1); }, "Node list index out of bounds (-1)"},
      {"[7]", [&] { (*list)[7]; }, "Node list index out of bounds (7)"},
      {"Insert(4)", [&] { list->Insert(4, doc.CreateElement("x")); },
       "Node list index out of bounds (4)"},
      {"Insert(-2)", [&] { list->Insert(-2, doc.CreateElement("x")); },
       "Node list index out of bounds (-2)"},
      {"Delete(3)", [&] { list->Delete(3); }, "Node list index out of bounds (3)"},
      {"Get(name)", [&] { list->Get("zz"); }, "Node \"zz\" not found"},
      {"[name]", [&] { (*list)["q r"]; }, "Node \"q r\" not found"},
      {"SetCapacity(2)", [&] { list->SetCapacity(2); }, "Node list capacity out of bounds (2)"},
      {"SetCapacity(max+1)", [&] { list->SetCapacity(134217728); },
       "Node list capacity out of bounds (134217728)"},
      {"SetCount(-1)", [&] { list->SetCount(-1); }, "Node list count out of bounds (-1)"},
      {"SetCount(max+1)", [&] { list->SetCount(134217728); },
       "Node list count out of bounds (134217728)"},
      {"SetCount(4)", [&] { list->SetCount(4); }, "Node list count out of bounds (4)"},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.action), c.message) << c.what;
  EXPECT_EQ(list->Count(), 3) << "failed operations change nothing";

  list->SetCapacity(3);
  EXPECT_EQ(list->Capacity(), 3);
  list->SetCapacity(10);
  EXPECT_EQ((*list)[0]->NodeName(), "a");
  list->SetCount(1);
  EXPECT_EQ(list->Count(), 1);
  EXPECT_EQ(list->Last()->NodeName(), "a");
}

TEST(dom_lists, IndexingFindingInsertingDeleting) {
  auto doc = Load("<r><a/><x:b/>text<c/><a/></r>");
  TALXMLNodeList* list = doc->DocumentElement()->ChildNodes();
  EXPECT_EQ(list->First()->NodeName(), "a");
  EXPECT_EQ(list->Last()->NodeName(), "a");
  EXPECT_EQ(list->IndexOf("a"), 0) << "the first match";
  EXPECT_EQ(list->IndexOf("b"), 1) << "by local name";
  EXPECT_EQ(list->IndexOf("x:b"), 1);
  EXPECT_EQ(list->IndexOf("x"), -1);
  EXPECT_EQ(list->IndexOf("B"), -1) << "case-sensitive";
  EXPECT_EQ(list->IndexOf("#text"), 2);
  EXPECT_EQ(list->IndexOf(list->Get(3)), 3);
  EXPECT_EQ(list->IndexOf(doc->DocumentElement()), -1);
  EXPECT_EQ(list->FindSibling(list->Get(1), 2), list->Get(3));
  EXPECT_EQ(list->FindSibling(list->Get(1), -2), nullptr);
  EXPECT_EQ(list->FindSibling(list->Get(4), 1), nullptr);
  EXPECT_EQ(list->Get("c"), list->Get(3));

  TALXMLNode* inserted = doc->CreateElement("first").release();
  EXPECT_EQ(list->Insert(0, std::unique_ptr<TALXMLNode>(inserted)), 0);
  EXPECT_EQ(inserted->ParentNode(), doc->DocumentElement());
  EXPECT_EQ(list->Get(1)->NodeName(), "a");
  EXPECT_EQ(list->Insert(list->Count(), doc->CreateElement("end")), 6);
  EXPECT_EQ(list->Add(doc->CreateElement("last")), 7);
  EXPECT_EQ(list->Delete("a"), 1);
  EXPECT_EQ(list->Delete("nothing"), -1);
  EXPECT_EQ(list->Get(1)->NodeName(), "x:b");
  list->Delete(0);
  EXPECT_EQ(list->Count(), 6);
  list->Clear();
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list->First(), nullptr);
  EXPECT_EQ(list->Last(), nullptr);
  EXPECT_FALSE(doc->DocumentElement()->HasChildNodes());
}

TEST(dom_nodes, SiblingsAndDocumentElement) {
  auto doc = Load("<?pi?><!--c--><r><a/>t<b/></r>");
  TALXMLNode* r = doc->DocumentElement();
  EXPECT_EQ(r->NodeName(), "r");
  TALXMLNode* a = r->ChildNodes()->Get(0);
  TALXMLNode* b = r->ChildNodes()->Get(2);
  EXPECT_EQ(a->PreviousSibling(), nullptr);
  EXPECT_EQ(a->NextSibling()->NodeName(), "#text");
  EXPECT_EQ(b->PreviousSibling()->NextSibling(), b);
  EXPECT_EQ(b->NextSibling(), nullptr);
  EXPECT_EQ(r->PreviousSibling()->NodeName(), "#comment");
  EXPECT_EQ(doc->Node()->PreviousSibling(), nullptr);
  EXPECT_EQ(doc->Node()->NodeName(), "#document");
  EXPECT_EQ(doc->Node()->ParentNode(), nullptr);
  auto lone = doc->CreateElement("lone");
  EXPECT_EQ(lone->NextSibling(), nullptr) << "no parent";

  // The element among the document node's children, none before there is one.
  TALXMLDocument built;
  built.SetActive(true);
  EXPECT_EQ(built.DocumentElement(), nullptr);
  built.Node()->ChildNodes()->Add(built.CreateNode("c", ntComment));
  built.Node()->ChildNodes()->Insert(0, built.CreateNode("p", ntProcessingInstr));
  EXPECT_EQ(built.DocumentElement(), nullptr);
  TALXMLNode* root = built.Node()->AddChild("root");
  EXPECT_EQ(built.DocumentElement(), root);
  EXPECT_EQ(built.Node()->ChildNodes()->IndexOf(root), 2);
}

TEST(dom_nodes, TextOfEachKind) {
  auto doc = Load("<r a=\"v\"><e/><t>x</t><m>x<b/></m><?p d?><!--c--></r>");
  TALXMLNode* r = doc->DocumentElement();
  TALXMLNodeList* kids = r->ChildNodes();
  struct Case {
    const char* what;
    TALXMLNode* node;
    bool isTextElement;
    const char* text;  // or the error
  } cases[] = {
      {"empty element", kids->Get("e"), true, ""},
      {"text element", kids->Get("t"), true, "x"},
      {"mixed element", kids->Get("m"), false, "Element does not contain a single text node"},
      {"root", r, false, "Element does not contain a single text node"},
      {"processing instruction", kids->Get("p"), false, "d"},
      {"comment", kids->Get("#comment"), false, "c"},
      {"text node", kids->Get("t")->ChildNodes()->Get(0), false, "x"},
      {"attribute", r->AttributeNodes()->Get("a"), false, "v"},
      {"document", doc->Node(), false, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.node->IsTextElement(), c.isTextElement) << c.what;
    std::string text;
    const std::string error = ErrorOf([&] { text = c.node->Text(); });
    EXPECT_EQ(error == "no error" ? text : error, c.text) << c.what;
  }
  // An element whose child list was created but is empty is not a text element.
  TALXMLNode* e = kids->Get("e");
  e->ChildNodes();
  EXPECT_FALSE(e->IsTextElement());
  EXPECT_EQ(ErrorOf([&] { e->Text(); }), "Element does not contain a single text node");
}

TEST(dom_nodes, SettingText) {
  auto doc = Load("<r><e/><t>x</t><m>x<b/></m></r>");
  TALXMLNodeList* kids = doc->DocumentElement()->ChildNodes();
  kids->Get("e")->SetText("new");
  EXPECT_EQ(kids->Get("e")->ChildNodes()->Count(), 1);
  EXPECT_EQ(kids->Get("e")->Text(), "new");
  TALXMLNode* textNode = kids->Get("t")->ChildNodes()->Get(0);
  kids->Get("t")->SetText("y");
  EXPECT_EQ(kids->Get("t")->ChildNodes()->Get(0), textNode) << "the one child is reused";
  EXPECT_EQ(textNode->Text(), "y");
  EXPECT_EQ(ErrorOf([&] { kids->Get("m")->SetText("z"); }),
            "Element does not contain a single text node");
  EXPECT_EQ(doc->SaveToXML(), "<r><e>new</e><t>y</t><m>x<b/></m></r>");
  EXPECT_EQ(kids->Get("e")->NodeValue(), "new");
  kids->Get("e")->SetText("");
  EXPECT_EQ(kids->Get("e")->NodeValue(), std::nullopt) << "empty text is no value";
}

TEST(dom_nodes, AttributesAndChildValues) {
  auto doc = Load("<r a=\"1\" x:b=\"2\"><c>v</c><d/></r>");
  TALXMLNode* r = doc->DocumentElement();
  EXPECT_EQ(r->Attributes("a"), "1");
  EXPECT_EQ(r->Attributes("b"), "2") << "found by local name";
  EXPECT_EQ(r->Attributes("zz"), std::nullopt);
  TALXMLNode* a = r->AttributeNodes()->Get("a");
  r->SetAttributes("a", "one");
  EXPECT_EQ(r->AttributeNodes()->Get("a"), a) << "an existing name keeps its node";
  EXPECT_EQ(r->AttributeNodes()->Count(), 2);
  EXPECT_EQ(r->Attributes("a"), "one");
  r->SetAttributes("new", "3");
  EXPECT_EQ(r->AttributeNodes()->Count(), 3);
  r->SetAttributes("a", std::nullopt);
  EXPECT_EQ(r->AttributeNodes()->Count(), 2);
  EXPECT_EQ(r->Attributes("a"), std::nullopt);
  r->SetAttributes("absent", std::nullopt);  // deleting what is not there is fine
  EXPECT_EQ(r->AttributeNodes()->Get(0)->ParentNode(), nullptr) << "attributes have no parent";
  EXPECT_EQ(r->AttributeNodes()->Get(0)->ChildNodes()->Get(0)->ParentNode(),
            r->AttributeNodes()->Get(0));

  EXPECT_EQ(r->ChildValues("c"), "v");
  EXPECT_EQ(r->ChildValues("d"), std::nullopt);
  EXPECT_EQ(r->ChildValues("zz"), std::nullopt);
  EXPECT_EQ(r->ChildNodes()->Get("d")->ChildValues("c"), std::nullopt) << "no child list";
  EXPECT_EQ(ErrorOf([&] { doc->CreateNode("t", ntText)->SetAttributes("a", "1"); }),
            "This operation can not be performed with a node of type TEXT");
}

// --- Auto-indent ------------------------------------------------------------------------------

TEST(dom_indent, AppendingIndentsByDepth) {
  const test::TextCase cases[] = {
      {"  ",
       "<rss>\r\n  <channel>\r\n    <title>T</title>\r\n    <link/>\r\n    <!--c-->\r\n"
       "  </channel>\r\n</rss>"},
      {"\t",
       "<rss>\r\n\t<channel>\r\n\t\t<title>T</title>\r\n\t\t<link/>\r\n\t\t<!--c-->\r\n"
       "\t</channel>\r\n</rss>"},
  };
  for (const test::TextCase& c : cases) {
    TALXMLDocument doc;
    doc.SetOptions(doNodeAutoIndent);
    doc.SetNodeIndentStr(c.in);
    doc.SetActive(true);
    TALXMLNode* rss = doc.Node()->AddChild("rss");
    TALXMLNode* channel = rss->AddChild("channel");
    channel->AddChild("title")->SetText("T");
    channel->AddChild("link");
    channel->ChildNodes()->Add(doc.CreateNode("c", ntComment));
    rss->SetAttributes("version", "2.0");  // attributes are never indented
    EXPECT_EQ(Visible(doc.SaveToXML()), Visible(std::string(c.out).replace(4, 0, " version=\"2.0\"")));

    // Reading a document with auto-indent gives the same layout; its own blanks are dropped.
    TALXMLDocument parsed;
    parsed.SetOptions(doNodeAutoIndent);
    parsed.SetParseOptions(poPreserveWhiteSpace);
    parsed.SetNodeIndentStr(c.in);
    parsed.LoadFromXML("<rss>\n <channel> <title>T</title><link/><!--c--></channel>  </rss>");
    EXPECT_EQ(Visible(parsed.SaveToXML()), Visible(c.out));
  }
}

TEST(dom_indent, InsertingAtAnIndexIndentsAfterTheNode) {
  TALXMLDocument doc;
  doc.SetOptions(doNodeAutoIndent);
  doc.SetActive(true);
  TALXMLNode* r = doc.Node()->AddChild("r");
  TALXMLNode* list = r->AddChild("list");
  list->AddChild("b");
  // Not appending: no indentation before the node; after it a line break and the indentation
  // of the owner's depth.
  const int at = list->ChildNodes()->Insert(0, doc.CreateElement("a"));
  EXPECT_EQ(at, 0);
  EXPECT_EQ(Visible(doc.SaveToXML()),
            Visible("<r>\r\n  <list><a/>\r\n    \r\n    <b/>\r\n  </list>\r\n</r>"));
  // Into an empty list at index 0: the leading line break comes first.
  TALXMLNode* empty = r->AddChild("empty");
  EXPECT_EQ(empty->ChildNodes()->Insert(0, doc.CreateElement("x")), 1);
  EXPECT_EQ(Visible(empty->SaveToXML()), Visible("<empty>\r\n  <x/>\r\n    </empty>"));
  // A list whose owner has no parent is not indented, nor are text nodes.
  auto lone = doc.CreateElement("lone");
  lone->AddChild("x");
  lone->ChildNodes()->Get(0)->SetText("t");
  EXPECT_EQ(lone->SaveToXML(), "<lone><x>t</x></lone>");
}

TEST(dom_indent, DeepTreeIndentsWithoutRecursion) {
  TALXMLDocument doc;
  std::string xml;
  const int depth = 200000;
  for (int i = 0; i < depth; ++i) xml += "<a>";
  doc.LoadFromXML(xml);
  TALXMLNode* node = doc.DocumentElement();
  while (node->HasChildNodes()) node = node->ChildNodes()->First();
  doc.SetOptions(doNodeAutoIndent);
  doc.SetNodeIndentStr(" ");
  node->AddChild("leaf");
  // The innermost <a> has `depth` ancestors (the document node included); the leading text is
  // a line break and one blank per ancestor of that element's parent.
  ASSERT_EQ(node->ChildNodes()->Count(), 4);
  EXPECT_EQ(node->ChildNodes()->Get(0)->Text().size(), static_cast<size_t>(2 + depth - 1));
  EXPECT_EQ(node->ChildNodes()->Get(2)->NodeName(), "leaf");
}

}  // namespace
}  // namespace mq
