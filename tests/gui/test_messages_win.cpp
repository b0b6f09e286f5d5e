// Messages that another program can send to the framework's windows: the private hand-over
// and release messages with tokens nobody issued, and system messages without their pointer.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <exception>
#include <functional>

#include "gui/Forms_win.h"
#include "gui/Threads_win.h"

namespace {

using namespace mq;

void Pump() {
  for (int i = 0; i < 5; ++i) {
    Application().ProcessMessages();
    ::Sleep(1);
  }
}

// The first private message of this kind waiting for the utility window, left in the queue.
WPARAM PeekToken(UINT msg) {
  MSG m{};
  if (!::PeekMessageW(&m, Application().UtilityWindow(), msg, msg, PM_NOREMOVE)) return 0;
  return m.wParam;
}

TEST(ForgedMessages, HandOverRunsOnlyWorkItsOwnWorkerAskedFor) {
  Application().Initialize();
  HWND utility = Application().UtilityWindow();
  // A request laid out as the hand-over's own, at an address another program names.
  int forgedRuns = 0;
  const std::function<void()> forgedFn = [&] { ++forgedRuns; };
  struct {
    const std::function<void()>* fn;
    HANDLE done;
    std::exception_ptr error;
  } forged{&forgedFn, nullptr, nullptr};
  ::PostMessageW(utility, WM_MQ_SYNCHRONIZE, reinterpret_cast<WPARAM>(&forged), 0);
  ::PostMessageW(utility, WM_MQ_SYNCHRONIZE, WPARAM(0xDEAD0000), 0);
  Pump();
  EXPECT_EQ(forgedRuns, 0);

  // A real hand-over runs once; its token posted again is stale and does nothing.
  std::atomic<int> runs{0};
  struct Worker : TThread {
    std::atomic<int>* runs;
    void Execute() override {
      Synchronize([this] { ++*runs; });
    }
  } worker;
  worker.runs = &runs;
  worker.Start();
  WPARAM token = 0;
  for (int i = 0; i < 2000 && token == 0; ++i, ::Sleep(1)) token = PeekToken(WM_MQ_SYNCHRONIZE);
  ASSERT_NE(token, 0u);
  // (Served here: a wait would not wake for a message that has been looked at already.)
  for (int i = 0; i < 2000 && runs == 0; ++i) Pump();
  worker.WaitFor();
  EXPECT_EQ(runs, 1);
  ::PostMessageW(utility, WM_MQ_SYNCHRONIZE, token, 0);
  Pump();
  EXPECT_EQ(runs, 1);
}

struct Counted : TForm {
  using TForm::TForm;
  ~Counted() override { ++*freed; }
  int* freed = nullptr;
};

TEST(ForgedMessages, ReleaseFreesOnlyWhatWasClosedAndOnlyOnce) {
  int freed = 0;
  Counted* form = CreateOwnedForm<Counted>().release();
  form->freed = &freed;
  form->OnClose = [](TObject*, TCloseAction& action) { action = TCloseAction::caFree; };
  HWND utility = Application().UtilityWindow();
  // Another program names the live form, with no token or with a made-up one.
  ::PostMessageW(utility, WM_MQ_RELEASE, 0, reinterpret_cast<LPARAM>(form));
  ::PostMessageW(utility, WM_MQ_RELEASE, 4242, reinterpret_cast<LPARAM>(form));
  Pump();
  ASSERT_EQ(freed, 0);

  form->Close();
  form->Close();  // a second close before the release comes
  const WPARAM token = PeekToken(WM_MQ_RELEASE);
  ASSERT_NE(token, 0u);
  Pump();
  EXPECT_EQ(freed, 1);
  ::PostMessageW(utility, WM_MQ_RELEASE, token, reinterpret_cast<LPARAM>(form));
  Pump();
  EXPECT_EQ(freed, 1);
}

TEST(ForgedMessages, SystemMessagesWithoutTheirPointerAreIgnored) {
  Owned<TForm> form = CreateOwnedForm<TForm>();
  for (HWND h : {form->Handle(), Application().Handle()}) {
    for (UINT msg : {WM_NOTIFY, WM_MOVING, WM_SIZING, WM_GETMINMAXINFO, WM_WINDOWPOSCHANGING,
                     WM_WINDOWPOSCHANGED, WM_NCCALCSIZE, WM_NCCREATE})
      EXPECT_EQ(::SendMessageW(h, msg, 0, 0), 0) << msg;
  }
  // The form is still the framework's and still answers.
  EXPECT_EQ(TWinControl::FromHandle(form->Handle()), form.get());
}

}  // namespace
