#include "gui/Menus.h"

#include "base/Utf.h"

namespace mq {

namespace {

std::string KeyName(std::uint8_t key) {
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, char(key));
  if (key >= 0x70 && key <= 0x87) return "F" + std::to_string(key - 0x70 + 1);  // F1..F24
  if (key >= 0x60 && key <= 0x69) return "Num " + std::to_string(key - 0x60);   // keypad digits
  struct Named {
    std::uint8_t key;
    const char* name;
  };
  static constexpr Named kNames[] = {
      {0x08, "BkSp"}, {0x09, "Tab"},   {0x0D, "Enter"}, {0x1B, "Esc"},  {0x20, "Space"},
      {0x21, "PgUp"}, {0x22, "PgDn"},  {0x23, "End"},   {0x24, "Home"}, {0x25, "Left"},
      {0x26, "Up"},   {0x27, "Right"}, {0x28, "Down"},  {0x2D, "Ins"},  {0x2E, "Del"},
  };
  for (const auto& n : kNames)
    if (n.key == key) return n.name;
  return {};
}

char32_t FoldAscii(char32_t c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

}  // namespace

std::string ShortCutToText(TShortCut s) {
  std::string name = KeyName(ShortCutKey(s));
  if (name.empty()) return {};
  std::string text;
  if (s & scCtrl) text += "Ctrl+";
  if (s & scShift) text += "Shift+";
  if (s & scAlt) text += "Alt+";
  return text + name;
}

std::string MenuItemPlatformText(const std::string& caption, TShortCut shortcut) {
  std::string text;
  text.reserve(caption.size() + 8);
  for (char c : caption) {
    text += c;
    if (c == '&') text += '&';
  }
  const std::string keys = ShortCutToText(shortcut);
  if (!keys.empty()) {
    text += kShortCutTab;
    if (HasWinKey(shortcut)) text += "Win+";
    text += keys;
  }
  return text;
}

TMenuItemSize DefaultMenuItemSize(bool separator, bool hasGlyph, int glyphWidth, int glyphHeight,
                                  int textWidth, int textHeight) {
  if (separator) return {0, 8};
  if (hasGlyph) return {glyphWidth + 15 + textWidth + 7, glyphHeight + 3};
  return {textWidth, textHeight + 3};
}

TMenuCharMatch MatchMenuChar(const std::vector<std::string>& captions, int current, char32_t ch) {
  TMenuCharMatch match;
  const int n = int(captions.size());
  if (n == 0) return match;
  const char32_t want = FoldAscii(ch);
  int found = 0;
  for (int step = 1; step <= n; ++step) {
    const int i = ((current < 0 ? -1 : current) + step + n) % n;
    if (captions[std::size_t(i)].empty()) continue;
    const std::wstring w = ToWide(captions[std::size_t(i)]);
    if (FoldAscii(char32_t(w[0])) != want) continue;
    if (found++ == 0) match.index = i;
  }
  match.unique = found == 1;
  return match;
}

}  // namespace mq
