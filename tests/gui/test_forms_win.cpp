// Forms under Wine: descriptions turned into components wired to named handlers, the window
// procedure's dispatch to the object, exceptions caught at the window procedure, and the
// application object.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/Forms_win.h"
#include "gui/StdCtrls_win.h"

namespace {

using namespace mq;

class TfrSample : public TForm {
 public:
  explicit TfrSample(TComponent* owner) : TForm(owner) {
    DeclareField("lblTitle", lblTitle);
    DeclareField("tmrReload", tmrReload);
    Handler("FormCreate", this, &TfrSample::FormCreate);
    Handler("lblTitleClick", this, &TfrSample::lblTitleClick);
    Handler("lblTitleMouseMove", this, &TfrSample::lblTitleMouseMove);
    Handler("tmrReloadTimer", this, &TfrSample::tmrReloadTimer);
  }
  void FormCreate(TObject* sender) { created.push_back(sender); }
  void lblTitleClick(TObject* sender) {
    clicks.push_back(sender);
    if (throwOnClick) throw std::runtime_error("click failed");
  }
  void lblTitleMouseMove(TObject*, TShiftState, int x, int y) { moves.push_back({x, y}); }
  void tmrReloadTimer(TObject*) { ++ticks; }

  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    seen.push_back(msg);
    if (msg == WM_APP + 7) return 1234;
    return TForm::WndProc(msg, wp, lp);
  }

  TLabel* lblTitle = nullptr;
  TTimer* tmrReload = nullptr;
  std::vector<TObject*> created, clicks;
  std::vector<POINT> moves;
  std::vector<UINT> seen;
  int ticks = 0;
  bool throwOnClick = false;
};

const char* kSample = R"(object frSample: TfrSample
  Left = 10
  Top = 20
  BorderStyle = bsNone
  ClientWidth = 300
  ClientHeight = 40
  Color = $00102030
  Caption = 'Sample'
  OnCreate = FormCreate
  object lblTitle: TLabel
    Left = 30
    Top = 5
    Caption = 'Marquelle v0.93'
    Font.Name = 'Tahoma'
    Font.Size = 8
    Font.Style = [fsBold]
    Font.Color = $00A8FDF7
    Transparent = True
    Cursor = crHandPoint
    Hint = 'channel link'
    ShowHint = True
    OnClick = lblTitleClick
    OnMouseMove = lblTitleMouseMove
  end
  object tmrReload: TTimer
    Enabled = False
    Interval = 5000
    OnTimer = tmrReloadTimer
  end
end)";

Owned<TfrSample> MakeSample() {
  Application().Initialize();  // registers the component classes; each test may run alone
  auto f = CreateOwnedForm<TfrSample>();
  f->LoadFromText(kSample);
  return f;
}

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

TEST(Forms, DescriptionCreatesComponentsAndWiresHandlers) {
  auto f = MakeSample();
  EXPECT_EQ(f->Name(), "frSample");
  ASSERT_NE(f->lblTitle, nullptr);
  ASSERT_NE(f->tmrReload, nullptr);
  EXPECT_EQ(f->lblTitle->Parent(), f.get());
  EXPECT_EQ(f->lblTitle->Owner(), f.get());
  EXPECT_EQ(f->lblTitle->Caption(), "Marquelle v0.93");
  EXPECT_EQ(f->lblTitle->Font().Style(), fsBold);
  EXPECT_EQ(f->lblTitle->Font().Color(), 0x00A8FDF7u);
  EXPECT_FALSE(f->lblTitle->ParentFont());
  EXPECT_EQ(f->lblTitle->Cursor(), crHandPoint);
  EXPECT_EQ(f->tmrReload->Interval(), 5000u);
  EXPECT_FALSE(f->tmrReload->Enabled());
  EXPECT_EQ(f->ClientWidth(), 300);
  EXPECT_EQ(f->Color(), 0x00102030u);
  EXPECT_EQ(f->Caption(), "Sample");
  EXPECT_FALSE(f->Visible());
  ASSERT_TRUE(f->OnCreate);
  f->OnCreate(f.get());
  EXPECT_EQ(f->created.size(), 1u);
  ASSERT_TRUE(f->lblTitle->OnClick);
  f->lblTitle->OnClick(f->lblTitle);
  EXPECT_EQ(f->clicks.at(0), f->lblTitle);
}

TEST(Forms, BadDescriptionsSayWhatAndWhere) {
  struct Case {
    const char* text;
    const char* message;
    int line;
  } cases[] = {
      {"object f: TfrSample\n  object lblTitle: TLabel\n    Colour = 5\n  end\nend",
       "Error reading lblTitle.Colour: Property Colour does not exist", 3},
      {"object f: TfrSample\n  object x: TNoSuchClass\n  end\nend", "Class TNoSuchClass not found", 2},
      {"object f: TfrSample\n  object lblTitle: TLabel\n    OnClick = Missing\n  end\nend",
       "Handler 'Missing' is not declared", 3},
      {"object f: TfrSample\n  object lblTitle: TLabel\n    OnClick = lblTitleMouseMove\n  end\nend",
       "does not fit the event", 3},
      {"object f: TfrSample\n  object lblTitle: TTimer\n  end\nend",
       "Field lblTitle does not fit class TTimer", 2},
      {"object f: TfrSample\n  object lblTitle: TLabel\n    Left = 'x'\n  end\nend", "Integer expected",
       3},
      {"object f: TfrSample\n  object lblTitle: TLabel\n    Cursor = crBanana\n  end\nend",
       "Invalid property value 'crBanana'", 3},
      {"object f: TfrSample\n  object lblTitle: TLabel\n    Anchors = [akLeft, akMiddle]\n  end\nend",
       "Invalid set member 'akMiddle'", 3},
      {"object f: TfrSample\n  Color = clPlaid\nend", "Invalid colour", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto f = CreateOwnedForm<TfrSample>();
    try {
      f->LoadFromText(c.text);
      ADD_FAILURE() << "no error";
    } catch (const EFormTextError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
      EXPECT_EQ(e.Line(), c.line) << e.what();
    }
  }
}

TEST(Forms, WindowProcedureReachesTheObjectFromFirstToLastMessage) {
  auto f = MakeSample();
  HWND h = f->Handle();
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(TWinControl::FromHandle(h), f.get());
  ASSERT_FALSE(f->seen.empty());
  EXPECT_EQ(f->seen.front(), UINT(WM_NCCREATE));  // the derived handler saw the very first message
  EXPECT_EQ(::SendMessageW(h, WM_APP + 7, 0, 0), 1234);
  f->DestroyHandle();
  EXPECT_FALSE(f->HandleAllocated());
  EXPECT_EQ(f->seen.back(), UINT(WM_NCDESTROY));
  EXPECT_FALSE(::IsWindow(h));
  EXPECT_EQ(TWinControl::FromHandle(h), nullptr);
  // A new window can be made for the same object.
  EXPECT_NE(f->Handle(), nullptr);
}

TEST(Forms, ExceptionsFromHandlersGoToTheApplicationNotThroughTheWindowProcedure) {
  auto f = MakeSample();
  f->throwOnClick = true;
  std::vector<std::string> reported;
  TObject* reportedSender = nullptr;
  Application().OnException = [&](TObject* sender, std::exception_ptr e) {
    reportedSender = sender;
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& ex) {
      reported.push_back(ex.what());
    }
  };
  HWND h = f->Handle();
  ::SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, At(35, 8));
  ::SendMessageW(h, WM_LBUTTONUP, 0, At(35, 8));
  Application().OnException = nullptr;
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported[0], "click failed");
  EXPECT_EQ(reportedSender, f.get());
  EXPECT_EQ(f->clicks.size(), 1u);
  // The window still works afterwards.
  f->throwOnClick = false;
  ::SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, At(35, 8));
  ::SendMessageW(h, WM_LBUTTONUP, 0, At(35, 8));
  EXPECT_EQ(f->clicks.size(), 2u);
}

TEST(Forms, MouseInputIsRoutedToTheControlUnderIt) {
  auto f = MakeSample();
  HWND h = f->Handle();
  const int right = f->lblTitle->Left() + f->lblTitle->Width();
  ::SendMessageW(h, WM_MOUSEMOVE, 0, At(32, 7));
  ASSERT_EQ(f->moves.size(), 1u);
  EXPECT_EQ(f->moves[0].x, 2);  // in the label's own coordinates
  EXPECT_EQ(f->moves[0].y, 2);
  ::SendMessageW(h, WM_MOUSEMOVE, 0, At(right + 5, 7));  // beside it: the label hears nothing
  EXPECT_EQ(f->moves.size(), 1u);
  // Pressed on the label and released outside: no click; released on it: a click.
  ::SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, At(32, 7));
  ::SendMessageW(h, WM_LBUTTONUP, 0, At(right + 20, 30));
  EXPECT_TRUE(f->clicks.empty());
  ::SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, At(32, 7));
  ::SendMessageW(h, WM_LBUTTONUP, 0, At(33, 8));
  EXPECT_EQ(f->clicks.size(), 1u);
  // A hidden control is not under the mouse.
  f->lblTitle->Hide();
  ::SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, At(32, 7));
  ::SendMessageW(h, WM_LBUTTONUP, 0, At(32, 7));
  EXPECT_EQ(f->clicks.size(), 1u);
}

// Moves the pointer to `at`, lets the form choose the cursor, and reports whether it chose
// `expected`. Under Wine the pointer moves through the X server, and on a loaded machine the
// position the form reads can lag behind for a moment, so this tries for up to a second; a
// form that chooses the wrong cursor never passes.
bool FormChoosesCursor(HWND h, POINT at, HCURSOR expected) {
  for (int i = 0; i < 50; ++i) {
    ::SetCursorPos(at.x, at.y);
    Application().ProcessMessages();
    ::SendMessageW(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    if (::GetCursor() == expected) return true;
    ::Sleep(20);
  }
  return false;
}

TEST(Forms, CursorComesFromTheControlUnderTheMouse) {
  auto f = MakeSample();
  f->Show();
  Application().ProcessMessages();
  HWND h = f->Handle();
  POINT onLabel{35, 10}, beside{280, 30};
  ::ClientToScreen(h, &onLabel);
  ::ClientToScreen(h, &beside);
  EXPECT_TRUE(FormChoosesCursor(h, onLabel, ::LoadCursorW(nullptr, IDC_HAND)));
  EXPECT_TRUE(FormChoosesCursor(h, beside, ::LoadCursorW(nullptr, IDC_ARROW)));
  f->Hide();
}

TEST(Forms, TimersTickThroughTheMessageLoop) {
  auto f = MakeSample();
  f->tmrReload->SetInterval(10);
  EXPECT_FALSE(f->tmrReload->Running());
  f->tmrReload->SetEnabled(true);
  EXPECT_TRUE(f->tmrReload->Running());
  for (int i = 0; i < 100 && f->ticks < 3; ++i) {
    Application().ProcessMessages();
    ::Sleep(5);
  }
  EXPECT_GE(f->ticks, 3);
  f->tmrReload->SetEnabled(false);
  const int ticks = f->ticks;
  for (int i = 0; i < 10; ++i) {
    Application().ProcessMessages();
    ::Sleep(5);
  }
  EXPECT_EQ(f->ticks, ticks);
  f->tmrReload->SetEnabled(true);
  f->tmrReload->SetInterval(0);
  EXPECT_FALSE(f->tmrReload->Running());
}

TEST(Forms, AnchorsFollowTheParentsSize) {
  auto f = CreateOwnedForm<TForm>();
  f->SetBorderStyle(TFormBorderStyle::bsNone);
  f->SetClientSize(200, 50);
  auto* all = new TLabel(f.get());
  all->SetAutoSize(false);
  all->SetParent(f.get());
  all->SetBounds(10, 5, 100, 20);
  all->SetAnchors(akLeft | akTop | akRight | akBottom);
  auto* right = new TLabel(f.get());
  right->SetAutoSize(false);
  right->SetParent(f.get());
  right->SetBounds(150, 5, 30, 20);
  right->SetAnchors(akTop | akRight);
  f->SetClientSize(300, 60);
  EXPECT_EQ(all->Width(), 200);
  EXPECT_EQ(all->Height(), 30);
  EXPECT_EQ(right->Left(), 250);
  EXPECT_EQ(right->Width(), 30);
  // And once the window exists, through its size messages.
  f->Handle();
  f->SetClientSize(250, 60);
  EXPECT_EQ(all->Width(), 150);
  EXPECT_EQ(right->Left(), 200);
}

TEST(Application, TitleHooksAndMinimizeNotifications) {
  Application().SetTitle("Marquelle v0.93");
  wchar_t text[64] = {};
  ::GetWindowTextW(Application().Handle(), text, 64);
  EXPECT_STREQ(text, L"Marquelle v0.93");

  std::vector<UINT> hooked;
  const int id = Application().HookMainWindow([&](UINT msg, WPARAM, LPARAM, LRESULT& result) {
    hooked.push_back(msg);
    if (msg == WM_APP + 3) {
      result = 77;
      return true;
    }
    return false;
  });
  EXPECT_EQ(::SendMessageW(Application().Handle(), WM_APP + 3, 0, 0), 77);
  Application().UnhookMainWindow(id);
  EXPECT_EQ(::SendMessageW(Application().Handle(), WM_APP + 3, 0, 0), 0);
  EXPECT_EQ(hooked.size(), 1u);

  int minimized = 0, restored = 0;
  Application().OnMinimize = [&](TObject*) { ++minimized; };
  Application().OnRestore = [&](TObject*) { ++restored; };
  ::SendMessageW(Application().Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ::SendMessageW(Application().Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
  Application().OnMinimize = nullptr;
  Application().OnRestore = nullptr;
  EXPECT_EQ(minimized, 1);
  EXPECT_EQ(restored, 1);
}

TEST(Application, FormsAreOwnedByTheHiddenApplicationWindow) {
  auto f = MakeSample();
  EXPECT_EQ(::GetWindow(f->Handle(), GW_OWNER), Application().Handle());
}

TEST(Application, FreeingAFormRunsItsDestroyHandlerWhileItIsWhole) {
  struct TfrWatched : TForm {
    explicit TfrWatched(TComponent* owner, int* order) : TForm(owner), order_(order) {}
    void DoDestroy() override { order_[0] = ++*counter; }
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
      if (msg == WM_DESTROY) order_[1] = ++*counter;
      return TForm::WndProc(msg, wp, lp);
    }
    int* order_;
    int* counter = &count;
    int count = 0;
  };
  int order[2] = {0, 0};
  {
    auto f = CreateOwnedForm<TfrWatched>(order);
    f->Handle();
  }
  EXPECT_EQ(order[0], 1);  // OnDestroy first
  EXPECT_EQ(order[1], 2);  // then the window's destruction, seen by the derived class
}

}  // namespace
