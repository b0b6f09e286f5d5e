// The framework's menus under Wine: items owned by the item that holds them, menus nested in
// a form's description, the platform menu that carries each item's text, change notices
// bracketed by BeginUpdate/EndUpdate, and real keys in an open popup menu.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Utf.h"
#include "gui/Forms_win.h"
#include "gui/Menus_win.h"
#include "tests/support/Pump_win.h"
#include "tests/support/RealInput_win.h"

namespace mq {
namespace {

// An item that counts how many of its kind are alive.
class TCountedItem : public TMenuItem {
 public:
  explicit TCountedItem(TComponent* owner, const std::string& caption = {}) : TMenuItem(owner) {
    ++alive;
    SetCaption(caption);
  }
  ~TCountedItem() override { --alive; }
  static inline int alive = 0;
};

class Menus : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Application().Initialize(); }
};

TEST_F(Menus, ItemsBelongToTheItemThatHoldsThem) {
  {
    Owned<TPopupMenu> menu(new TPopupMenu(nullptr));
    auto* feeds = new TCountedItem(nullptr, "Feeds");
    menu->Items().Add(feeds);
    for (const char* c : {"a", "b", "c"}) feeds->Add(new TCountedItem(nullptr, c));
    auto* close = new TCountedItem(nullptr, "Close");
    menu->Items().Add(close);
    EXPECT_EQ(TCountedItem::alive, 5);
    EXPECT_EQ(feeds->Items(1)->Parent(), feeds);
    EXPECT_EQ(feeds->Items(1)->Owner(), feeds);
    EXPECT_EQ(feeds->Items(1)->GetParentMenu(), menu.get());

    // Moving an item takes it out of its first parent: it never has two.
    TMenuItem* moved = feeds->Items(0);
    menu->Items().Insert(0, moved);
    EXPECT_EQ(feeds->Count(), 2);
    EXPECT_EQ(menu->Items().Items(0), moved);
    EXPECT_EQ(moved->Owner(), &menu->Items());
    EXPECT_EQ(TCountedItem::alive, 5);

    feeds->Delete(0);
    EXPECT_EQ(TCountedItem::alive, 4);
    EXPECT_EQ(feeds->Items(0)->Caption(), "c");
    feeds->Clear();
    EXPECT_EQ(TCountedItem::alive, 3);
    EXPECT_EQ(feeds->Count(), 0);
    EXPECT_THROW(feeds->Delete(0), std::out_of_range);
    EXPECT_THROW(feeds->Add(&menu->Items()), std::invalid_argument);
  }
  EXPECT_EQ(TCountedItem::alive, 0) << "the menu frees what is left";
}

TEST_F(Menus, PlatformMenuCarriesTheTextOfOwnerDrawnItems) {
  Owned<TPopupMenu> menu(new TPopupMenu(nullptr));
  auto* feed = new TMenuItem(nullptr);
  feed->SetCaption("http://127.0.0.1/feed?a=1&b=2");
  menu->Items().Add(feed);
  auto* sub = new TMenuItem(nullptr);
  sub->SetCaption("RSS Feeds");
  menu->Items().Add(sub);
  auto* inner = new TMenuItem(nullptr);
  inner->SetCaption("Inner");
  inner->SetShortCut(ShortCut('R', scCtrl | scWin));
  inner->SetChecked(true);
  sub->Add(inner);
  auto* sep = new TMenuItem(nullptr);
  sep->SetCaption("-");
  menu->Items().Add(sep);
  auto* hidden = new TMenuItem(nullptr);
  hidden->SetCaption("Hidden");
  hidden->SetVisible(false);
  menu->Items().Add(hidden);

  HMENU h = menu->Handle();
  ASSERT_EQ(::GetMenuItemCount(h), 3);
  wchar_t text[128] = {};
  ::GetMenuStringW(h, 0, text, 128, MF_BYPOSITION);
  EXPECT_EQ(FromWide(text), "http://127.0.0.1/feed?a=1&&b=2") << "read as the literal address";
  MENUITEMINFOW mii{};
  mii.cbSize = sizeof mii;
  mii.fMask = MIIM_FTYPE | MIIM_SUBMENU | MIIM_STATE;
  ASSERT_TRUE(::GetMenuItemInfoW(h, 1, TRUE, &mii));
  EXPECT_TRUE(mii.fType & MFT_OWNERDRAW);
  ASSERT_NE(mii.hSubMenu, nullptr);
  ::GetMenuStringW(mii.hSubMenu, 0, text, 128, MF_BYPOSITION);
  EXPECT_EQ(FromWide(text), "Inner\tWin+Ctrl+R");
  mii.fMask = MIIM_STATE;
  ::GetMenuItemInfoW(mii.hSubMenu, 0, TRUE, &mii);
  EXPECT_TRUE(mii.fState & MFS_CHECKED);
  mii.fMask = MIIM_FTYPE;
  ::GetMenuItemInfoW(h, 2, TRUE, &mii);
  EXPECT_TRUE(mii.fType & MFT_SEPARATOR);
  EXPECT_EQ(menu->FindItem(::GetMenuItemID(h, 0)), feed);
}

TEST_F(Menus, UpdatesAreToldOnceAtTheEnd) {
  Owned<TPopupMenu> menu(new TPopupMenu(nullptr));
  int changes = 0;
  menu->OnChange = [&](TObject*) { ++changes; };
  menu->Handle();
  const int builds = menu->BuildCount();
  menu->BeginUpdate();
  for (int i = 0; i < 10; ++i) {
    auto* item = new TMenuItem(nullptr);
    item->SetCaption("Feed " + std::to_string(i));
    menu->Items().Add(item);
  }
  EXPECT_EQ(changes, 0);
  menu->EndUpdate();
  EXPECT_EQ(changes, 1);
  menu->Handle();
  menu->Handle();
  EXPECT_EQ(menu->BuildCount(), builds + 1) << "made again once, then kept";
  EXPECT_EQ(::GetMenuItemCount(menu->Handle()), 10);
  menu->Items().Items(3)->SetHint("no new menu for a hint");
  menu->Handle();
  EXPECT_EQ(menu->BuildCount(), builds + 1);
}

class TfrMenuHost : public TForm {
 public:
  explicit TfrMenuHost(TComponent* owner) : TForm(owner) {
    DeclareField("pmMain", pmMain);
    DeclareField("mnuFeeds", mnuFeeds);
    Handler("mnuCloseClick", this, &TfrMenuHost::mnuCloseClick);
  }
  void mnuCloseClick(TObject* sender) { clicked.push_back(sender); }
  TPopupMenu* pmMain = nullptr;
  TMenuItem* mnuFeeds = nullptr;
  std::vector<TObject*> clicked;
};

const char* kHost = R"(object frMenuHost: TfrMenuHost
  BorderStyle = bsNone
  ClientWidth = 100
  ClientHeight = 20
  object pmMain: TPopupMenu
    AutoPopup = False
    object mnuFeeds: TMenuItem
      Caption = 'RSS Feeds'
      object mnuOne: TMenuItem
        Caption = 'One'
        Checked = True
        RadioItem = True
      end
    end
    object mnuSep: TMenuItem
      Caption = '-'
      Hint = 'Section'
    end
    object mnuClose: TMenuItem
      Caption = 'Close'
      ShortCut = 16499
      OnClick = mnuCloseClick
    end
  end
end)";

TEST_F(Menus, MenusNestInADescription) {
  Owned<TfrMenuHost> form = CreateOwnedForm<TfrMenuHost>();
  form->LoadFromText(kHost);
  ASSERT_NE(form->pmMain, nullptr);
  ASSERT_NE(form->mnuFeeds, nullptr);
  TMenuItem& root = form->pmMain->Items();
  ASSERT_EQ(root.Count(), 3);
  EXPECT_EQ(root.Items(0), form->mnuFeeds);
  ASSERT_EQ(form->mnuFeeds->Count(), 1);
  EXPECT_TRUE(form->mnuFeeds->Items(0)->RadioItem());
  EXPECT_EQ(root.Items(1)->Hint(), "Section");
  EXPECT_EQ(root.Items(2)->ShortCut(), ShortCut(0x73, scCtrl));
  EXPECT_EQ(form->ComponentCount(), 1u) << "the form owns the menu; the menu its items";
  EXPECT_EQ(form->mnuFeeds->Owner(), &root);
  root.Items(2)->Click();
  ASSERT_EQ(form->clicked.size(), 1u);
  EXPECT_EQ(form->clicked[0], root.Items(2));
}

// Real keys typed into an open popup menu: the arrow and Enter keys, and a typed letter that
// only one item starts with (the owner window answers WM_MENUCHAR).
TEST_F(Menus, KeysInAnOpenMenuChooseItems) {
  Owned<TPopupMenu> menu(new TPopupMenu(nullptr));
  std::vector<std::string> chosen;
  for (const char* c : {"Reload", "Help", "Close"}) {
    auto* item = new TMenuItem(nullptr);
    item->SetCaption(c);
    item->OnClick = [&chosen](TObject* s) { chosen.push_back(static_cast<TMenuItem*>(s)->Caption()); };
    menu->Items().Add(item);
  }
  struct Case {
    const char* keys;
    const char* want;
  };
  const Case cases[] = {{"Down Down Return", "Help"}, {"c", "Close"}, {"Escape", nullptr}};
  // The program is the one the user works with (a click on a window of its own), as when a
  // user opens a menu: only then may its menu window take the keyboard.
  Owned<TForm> form = CreateOwnedForm<TForm>();
  form->SetBorderStyle(TFormBorderStyle::bsNone);
  form->SetBounds(100, 100, 60, 60);
  form->Show();
  test::PumpFor(300);
  {
    test::Xdotool click("mousemove 130 130 sleep 0.2 click 1");
    test::PumpUntil([&] { return click.Done(); }, 10000);
    test::PumpFor(300);
  }
  for (const Case& c : cases) {
    chosen.clear();
    test::Xdotool keys(std::string("sleep 0.8 key --delay 150 ") + c.keys);
    ASSERT_TRUE(keys.Started());
    // Should the keys not arrive, the menu closes after a while rather than never.
    const UINT_PTR guard =
        ::SetTimer(nullptr, 0, 6000, [](HWND, UINT, UINT_PTR, DWORD) { ::EndMenu(); });
    menu->Popup(300, 300);
    ::KillTimer(nullptr, guard);
    test::PumpUntil([&] { return keys.Done(); }, 10000);
    if (c.want) {
      ASSERT_EQ(chosen.size(), 1u) << c.keys;
      EXPECT_EQ(chosen[0], c.want) << c.keys;
    } else {
      EXPECT_TRUE(chosen.empty()) << c.keys;
    }
  }
}

}  // namespace
}  // namespace mq
