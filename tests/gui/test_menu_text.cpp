// The text side of the framework's menus: shortcut names, the text the platform keeps for an
// item, and the item a typed character picks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/Menus.h"

namespace mq {
namespace {

TEST(MenuText, ShortCutNames) {
  struct Case {
    TShortCut shortcut;
    const char* want;
  };
  const Case cases[] = {
      {ShortCut('A', scCtrl), "Ctrl+A"},
      {ShortCut(0x74, 0), "F5"},
      {ShortCut(0x2E, scCtrl | scShift), "Ctrl+Shift+Del"},
      {ShortCut('R', scWin), "R"},  // the Windows key is the painters' "Win+"
      {ShortCut('7', scAlt), "Alt+7"},
      {ShortCut(0x87, 0), "F24"},
      {scNone, ""},
      {ShortCut(0xE5, scCtrl), ""},  // a key without a name gives no text at all
  };
  for (const Case& c : cases) EXPECT_EQ(ShortCutToText(c.shortcut), c.want) << c.shortcut;
}

TEST(MenuText, PlatformTextKeepsAmpersandsLiteral) {
  struct Case {
    std::string caption;
    TShortCut shortcut;
    std::string want;
  };
  const Case cases[] = {
      {"http://127.0.0.1/feed?a=1&b=2", scNone, "http://127.0.0.1/feed?a=1&&b=2"},
      {"&", scNone, "&&"},
      {"&&x", scNone, "&&&&x"},
      {"关闭", scNone, "关闭"},
      {"Run", ShortCut('R', scWin), "Run\tWin+R"},
      {"Reload", ShortCut(0x74, scCtrl), "Reload\tCtrl+F5"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MenuItemPlatformText(c.caption, c.shortcut), c.want) << c.caption;
}

TEST(MenuText, TypedCharacterPicksTheNextMatchingItem) {
  const std::vector<std::string> captions = {"RSS Feeds", "",     "配置...", "",
                                             "Reload",    "help", "",        "关闭"};
  struct Case {
    int current;
    char32_t ch;
    int index;
    bool unique;
  };
  const Case cases[] = {
      {-1, U'r', 0, false},  // two items start with R: select, not execute
      {0, U'R', 4, false},   // the next one after the current
      {4, U'R', 0, false},   // wraps round
      {-1, U'H', 5, true},   // one only: execute
      {-1, U'x', -1, false}, {-1, U'关', 7, true}, {-1, U'\0', -1, false},
  };
  for (const Case& c : cases) {
    const TMenuCharMatch m = MatchMenuChar(captions, c.current, c.ch);
    EXPECT_EQ(m.index, c.index) << int(c.ch);
    EXPECT_EQ(m.unique, c.unique) << int(c.ch);
  }
  EXPECT_EQ(MatchMenuChar({}, -1, U'a').index, -1);
}

}  // namespace
}  // namespace mq
