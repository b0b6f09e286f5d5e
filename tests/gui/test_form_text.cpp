// The reader of form descriptions: values of every kind, nesting, and errors with lines.
#include "gui/FormText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using mq::FormValue;
using Kind = mq::FormValue::Kind;

const FormValue& Prop(const mq::FormObject& o, const std::string& name) {
  for (const auto& [n, v] : o.properties)
    if (n == name) return v;
  throw std::runtime_error("no property " + name);
}

TEST(FormText, ReadsValuesOfEveryKind) {
  const mq::FormObject o = mq::ParseFormText(R"(object frMain: TfrMain
  Left = -12
  Color = $009A9A9A
  Big = 4294967295
  Caption = 'It''s '#26032#38395' ok'
  Joined = 'first' +
    ' second'
  Align = alClient
  Font.Style = [fsBold, fsItalic]
  Empty = []
  Data = {0A0b FF
          00}
  OnClick = lblTickerClick
  // a comment line
  Items = <
    item
      Name = 'a'
    end
    item
      Name = 'b'
      Nested = <item X = 1 end>
    end>
end)");
  EXPECT_EQ(o.name, "frMain");
  EXPECT_EQ(o.className, "TfrMain");
  EXPECT_EQ(Prop(o, "Left").integer, -12);
  EXPECT_EQ(Prop(o, "Color").integer, 0x009A9A9A);
  EXPECT_EQ(Prop(o, "Big").integer, 4294967295ll);
  EXPECT_EQ(Prop(o, "Caption").kind, Kind::String);
  EXPECT_EQ(Prop(o, "Caption").text, "It's \xE6\x96\xB0\xE9\x97\xBB ok");  // 新闻
  EXPECT_EQ(Prop(o, "Joined").text, "first second");
  EXPECT_EQ(Prop(o, "Align").kind, Kind::Ident);
  EXPECT_EQ(Prop(o, "Align").text, "alClient");
  EXPECT_EQ(Prop(o, "Font.Style").set, (std::vector<std::string>{"fsBold", "fsItalic"}));
  EXPECT_TRUE(Prop(o, "Empty").set.empty());
  EXPECT_EQ(Prop(o, "Data").binary, (std::vector<std::uint8_t>{0x0A, 0x0B, 0xFF, 0x00}));
  EXPECT_EQ(Prop(o, "OnClick").text, "lblTickerClick");
  const FormValue& items = Prop(o, "Items");
  ASSERT_EQ(items.items.size(), 2u);
  EXPECT_EQ(items.items[1][0].second.text, "b");
  EXPECT_EQ(items.items[1][1].second.items.at(0).at(0).second.integer, 1);
  EXPECT_EQ(Prop(o, "Items").line, 15);
}

TEST(FormText, NestsObjectsInOrder) {
  const mq::FormObject o = mq::ParseFormText(
      "object f: TForm\n object a: TLabel\n  Caption = 'x'\n end\n object b: TPanel\n  object c: "
      "TImage\n  end\n end\nend\n");
  ASSERT_EQ(o.children.size(), 2u);
  EXPECT_EQ(o.children[0].name, "a");
  EXPECT_EQ(o.children[0].line, 2);
  EXPECT_EQ(o.children[1].children.at(0).className, "TImage");
  EXPECT_EQ(o.children[1].children.at(0).line, 6);
  // An object without a name.
  EXPECT_EQ(mq::ParseFormText("object TForm end").className, "TForm");
}

TEST(FormText, MalformedTextNamesTheLine) {
  struct Case {
    const char* text;
    int line;
    const char* message;
  } cases[] = {
      {"", 1, "'object' expected"},
      {"object f: TForm\n  Left = ]\nend", 2, "Property value expected"},
      {"object f: TForm\n  Left = \n", 3, "Property value expected"},
      {"object f: TForm\n  Caption = 'open\nend", 2, "Unterminated string"},
      {"object f: TForm\n  Left 5\nend", 2, "'=' expected"},
      {"object f: TForm\n  Data = {ABC}\nend", 2, "Odd number of hex digits"},
      {"object f: TForm\n  Data = {XY}\nend", 2, "Invalid binary data"},
      {"object f: TForm\n  Left = 99999999999999999999\nend", 2, "Number too large"},
      {"object f: TForm\n  Left = 12abc\nend", 2, "Invalid number"},
      {"object f: TForm\n  Set = [a b]\nend", 2, "']' expected"},
      {"object f: TForm\n  Items = < thing end >\nend", 2, "'item' expected"},
      {"object f: TForm\n  Caption = 'a' + 5\nend", 2, "String expected after '+'"},
      {"object f: TForm\n  Code = #1114112\nend", 2, "Invalid character code"},
      {"object f: TForm\n  object g: TLabel\n", 3, "'end' expected"},
      {"object f: TForm\nend\nobject g: TForm\nend", 3, "Text after the end"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      mq::ParseFormText(c.text);
      ADD_FAILURE() << "no error";
    } catch (const mq::EFormTextError& e) {
      EXPECT_EQ(e.Line(), c.line);
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

TEST(FormText, DeepNestingIsRefusedNotFollowed) {
  std::string deep;
  for (int i = 0; i < 200; ++i) deep += "object a: T\n";
  for (int i = 0; i < 200; ++i) deep += "end\n";
  EXPECT_THROW(mq::ParseFormText(deep), mq::EFormTextError);
  std::string items = "object a: T\n X = ";
  for (int i = 0; i < 200; ++i) items += "<item Y = ";
  EXPECT_THROW(mq::ParseFormText(items + "1"), mq::EFormTextError);
  std::string ok;
  for (int i = 0; i < 10; ++i) ok += "object a: T\n";
  for (int i = 0; i < 10; ++i) ok += "end\n";
  EXPECT_NO_THROW(mq::ParseFormText(ok));
}

}  // namespace
