// A ticker that cannot be seen moving takes no timer messages at all: paused under the
// pointer, hidden, disabled or held for a reason outside it. Counted at the thread's message
// queue with a message hook, as the platform delivers them.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "gui/Forms_win.h"
#include "ticker/ALScrollingText_win.h"
#include "tests/support/Painted_win.h"
#include "tests/support/Pump_win.h"

namespace {

using namespace mq;

int g_timerMessages = 0;

LRESULT CALLBACK CountTimers(int code, WPARAM wp, LPARAM lp) {
  const auto* m = reinterpret_cast<const MSG*>(lp);
  if (code == HC_ACTION && wp == PM_REMOVE && m->message == WM_TIMER &&
      m->hwnd == Application().UtilityWindow())
    ++g_timerMessages;
  return ::CallNextHookEx(nullptr, code, wp, lp);
}

struct TimerHook {
  HHOOK hook = ::SetWindowsHookExW(WH_GETMESSAGE, &CountTimers, nullptr, ::GetCurrentThreadId());
  ~TimerHook() { ::UnhookWindowsHookEx(hook); }
};

struct TickerTimer : ::testing::Test {
  Owned<TForm> form = test::BorderlessForm(400, 24);
  TALScrollingText* ticker = nullptr;

  void SetUp() override {
    form->SetLeft(0);
    form->SetTop(300);
    ::SetCursorPos(1000, 700);  // the ticker pauses under the pointer
    ticker = test::PlaceOn<TALScrollingText>(*form, 0, 0, 400, 24);
    ticker->SetTextDirection(TTextDirection::tdRightToLeft);
    ticker->SetText("a text that takes a while to pass");
    ticker->SetSpeed(10);
    form->Show();
  }
  void TearDown() override { form->Hide(); }

  // Timer messages the thread takes in `ms` milliseconds.
  static int TimerMessagesIn(int ms) {
    test::PumpFor(30);  // a tick already signalled before a change may still come
    g_timerMessages = 0;
    test::PumpFor(ms);
    return g_timerMessages;
  }
};

TEST_F(TickerTimer, AStillTickerTakesNoTimerMessagesAndMovesOnWhenReleased) {
  struct Case {
    std::string what;
    std::function<void(TALScrollingText&)> hold, release;
  };
  std::vector<Case> cases = {
      {"pointer over it", [](TALScrollingText& t) { t.MouseEnter(); },
       [](TALScrollingText& t) { t.MouseLeave(); }},
      {"hidden", [](TALScrollingText& t) { t.SetVisible(false); },
       [](TALScrollingText& t) { t.SetVisible(true); }},
      {"disabled", [](TALScrollingText& t) { t.SetEnabled(false); },
       [](TALScrollingText& t) { t.SetEnabled(true); }},
  };
  for (TTickerHold r : {TTickerHold::WindowHidden, TTickerHold::Covered, TTickerHold::SessionAway,
                        TTickerHold::DisplayOff})
    cases.push_back({"held " + std::to_string(int(r)), [r](TALScrollingText& t) { t.SetHeld(r, true); },
                     [r](TALScrollingText& t) { t.SetHeld(r, false); }});

  TimerHook hook;
  ASSERT_NE(hook.hook, nullptr);
  ASSERT_GT(TimerMessagesIn(200), 3) << "a running ticker ticks";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.hold(*ticker);
    EXPECT_FALSE(ticker->Timer().Running());
    const int offset = ticker->ScrollOffset();
    EXPECT_EQ(TimerMessagesIn(300), 0);
    EXPECT_EQ(ticker->ScrollOffset(), offset);
    c.release(*ticker);
    EXPECT_TRUE(ticker->Timer().Running());
    EXPECT_GT(TimerMessagesIn(200), 3);
    EXPECT_LT(ticker->ScrollOffset(), offset) << "it moves on from where it stood";
  }
}

TEST_F(TickerTimer, ItMovesOnlyWhenTheLastReasonHasEnded) {
  TimerHook hook;
  ticker->SetHeld(TTickerHold::SessionAway, true);
  ticker->SetHeld(TTickerHold::DisplayOff, true);
  ticker->MouseEnter();
  ticker->SetHeld(TTickerHold::SessionAway, false);
  ticker->MouseLeave();
  EXPECT_TRUE(ticker->Held(TTickerHold::DisplayOff));
  EXPECT_FALSE(ticker->Held(TTickerHold::SessionAway));
  EXPECT_EQ(TimerMessagesIn(200), 0);
  ticker->SetHeld(TTickerHold::DisplayOff, false);
  EXPECT_GT(TimerMessagesIn(200), 3);
}

TEST_F(TickerTimer, SpeedZeroStaysStoppedWhenTheHoldEnds) {
  TimerHook hook;
  ticker->SetSpeed(0);
  ticker->SetHeld(TTickerHold::Covered, true);
  ticker->SetHeld(TTickerHold::Covered, false);
  EXPECT_FALSE(ticker->Timer().Running());
  EXPECT_EQ(TimerMessagesIn(200), 0);
}

}  // namespace
