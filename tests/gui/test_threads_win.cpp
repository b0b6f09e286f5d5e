// Worker threads: created suspended, Synchronize onto the main thread, OnTerminate on the
// main thread, FreeOnTerminate.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>

#include "gui/Forms_win.h"
#include "gui/Threads_win.h"
#include "tests/support/Pump_win.h"

namespace {

using namespace mq;

struct Worker : TThread {
  std::atomic<bool>* destroyed = nullptr;
  std::atomic<int> executed{0};
  DWORD syncThread = 0;
  bool rethrown = false;
  ~Worker() override {
    if (destroyed) *destroyed = true;
  }
  void Execute() override {
    ++executed;
    Synchronize([this] { syncThread = ::GetCurrentThreadId(); });
    try {
      Synchronize([] { throw std::runtime_error("on the main thread"); });
    } catch (const std::runtime_error&) {
      rethrown = true;
    }
  }
};

// A thread ends well within two seconds.
bool PumpUntil(const std::function<bool()>& done) { return test::PumpUntil(done, 2000); }

TEST(Threads, CreatedSuspendedAndRunOnlyWhenStarted) {
  Application().Initialize();
  Worker w;
  ::Sleep(50);
  EXPECT_EQ(w.executed, 0);
  EXPECT_FALSE(w.Started());
  w.Start();
  w.WaitFor();  // on the main thread: serves the worker's Synchronize calls meanwhile
  EXPECT_EQ(w.executed, 1);
  EXPECT_TRUE(w.Finished());
  EXPECT_EQ(w.syncThread, Application().MainThreadId());
  EXPECT_TRUE(w.rethrown);
}

TEST(Threads, NeverStartedThreadIsFreedWithoutRunning) {
  auto* w = new Worker;
  std::atomic<bool> destroyed{false};
  w->destroyed = &destroyed;
  delete w;
  EXPECT_TRUE(destroyed);
}

TEST(Threads, OnTerminateRunsOnTheMainThreadThenTheThreadFreesItself) {
  Application().Initialize();
  auto* w = new Worker;
  std::atomic<bool> destroyed{false};
  w->destroyed = &destroyed;
  w->FreeOnTerminate = true;
  DWORD terminateThread = 0;
  TObject* sender = nullptr;
  w->OnTerminate = [&](TObject* s) {
    terminateThread = ::GetCurrentThreadId();
    sender = s;
  };
  w->Start();
  ASSERT_TRUE(PumpUntil([&] { return destroyed.load(); }));
  EXPECT_EQ(terminateThread, Application().MainThreadId());
  EXPECT_EQ(sender, static_cast<TObject*>(w));
}

TEST(Threads, ExceptionFromOnTerminateGoesToTheApplication) {
  Application().Initialize();
  std::atomic<bool> destroyed{false};
  auto* w = new Worker;
  w->destroyed = &destroyed;
  w->FreeOnTerminate = true;
  w->OnTerminate = [](TObject*) { throw std::runtime_error("end handler failed"); };
  std::string reported;
  Application().OnException = [&](TObject*, std::exception_ptr e) {
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& ex) {
      reported = ex.what();
    }
  };
  w->Start();
  const bool ended = PumpUntil([&] { return destroyed.load(); });
  Application().OnException = nullptr;
  EXPECT_TRUE(ended);
  EXPECT_EQ(reported, "end handler failed");
}

TEST(Threads, ExceptionInExecuteEndsOnlyTheThread) {
  struct Failing : TThread {
    void Execute() override { throw std::runtime_error("worker failed"); }
  } f;
  f.Start();
  f.WaitFor();
  ASSERT_TRUE(f.FatalException());
  EXPECT_THROW(std::rethrow_exception(f.FatalException()), std::runtime_error);
}

}  // namespace
