// What the menus compute without the platform: shortcuts (a key code with modifier bits)
// and their text, and the size the framework gives a menu item before anyone else measures it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mq {

// A key code in the low byte, modifiers above it. scWin marks the Windows key.
using TShortCut = std::uint16_t;
constexpr TShortCut scWin = 0x0200, scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000;
constexpr TShortCut scNone = 0;

constexpr TShortCut ShortCut(std::uint8_t key, TShortCut modifiers) {
  return TShortCut(key | modifiers);
}
constexpr std::uint8_t ShortCutKey(TShortCut s) { return std::uint8_t(s & 0xFF); }
constexpr bool HasWinKey(TShortCut s) { return (s & scWin) != 0; }

// "Ctrl+Shift+Alt+" before the key's name ("F5", "Del", "A"); empty for no shortcut or a key
// without a name. The Windows key is not part of this text: the painters put "Win+" in front.
std::string ShortCutToText(TShortCut s);

// The separator between a caption and its shortcut in the text the platform keeps.
constexpr char kShortCutTab = '\t';

// The platform's text of an item: each '&' doubled so that it reads as itself (captions are
// never mnemonics), then a tab and the shortcut's text when there is one.
std::string MenuItemPlatformText(const std::string& caption, TShortCut shortcut);

// The size an item starts from before measure handlers change it.
struct TMenuItemSize {
  int width = 0;
  int height = 0;
};
// Separators are 8 high. An item with a glyph (an image-list image or its own bitmap) of
// glyphWidth x glyphHeight is glyph + 15 + text + 7 wide and glyph + 3 high; without one it is
// as wide as its text and textHeight + 3 high.
TMenuItemSize DefaultMenuItemSize(bool separator, bool hasGlyph, int glyphWidth, int glyphHeight,
                                  int textWidth, int textHeight);

// A typed character in an open menu: the first item after `current` (wrapping; -1 when none
// is selected) whose caption starts with `ch` (ASCII letters without case), and whether it is
// the only one. Entries that cannot be chosen (separators, hidden items) are empty strings.
struct TMenuCharMatch {
  int index = -1;
  bool unique = false;
};
TMenuCharMatch MatchMenuChar(const std::vector<std::string>& captions, int current, char32_t ch);

}  // namespace mq
