// Worker threads that hand their results to the main thread. A TThread is created
// suspended and runs Execute once Start is called. Synchronize runs a function on the main
// thread while the worker waits; when Execute returns, OnTerminate runs on the main thread,
// and a thread with FreeOnTerminate then deletes itself.
#pragma once

#include <windows.h>

#include <atomic>
#include <exception>
#include <functional>

#include "base/WinHandles_win.h"
#include "gui/Classes.h"

namespace mq {

class TThread : public TObject {
 public:
  TThread();
  ~TThread() override;
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Lets the suspended thread run. A second call does nothing.
  void Start();
  bool Started() const noexcept { return started_; }
  bool Finished() const noexcept { return finished_; }
  // Asks Execute to stop (it reads Terminated()).
  void Terminate() noexcept { terminated_ = true; }
  bool Terminated() const noexcept { return terminated_; }
  // Waits until the thread has ended. On the main thread, hand-overs from this and other
  // threads keep running meanwhile, so a thread waiting in Synchronize cannot deadlock it.
  void WaitFor();

  bool FreeOnTerminate = false;
  TNotifyEvent OnTerminate;
  DWORD ThreadId() const noexcept { return id_; }
  HANDLE Handle() const noexcept { return handle_.Get(); }
  // An exception that escaped Execute (it ends the thread, never the process).
  std::exception_ptr FatalException() const { return fatal_; }

  // Runs fn on the main thread and waits for it; an exception it raises is raised again
  // here. Called on the main thread, runs fn at once.
  static void Synchronize(const std::function<void()>& fn);

 protected:
  virtual void Execute() = 0;

 private:
  static DWORD WINAPI ThreadProc(void* self);
  UniqueKernelHandle handle_;
  DWORD id_ = 0;
  std::atomic<bool> started_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> terminated_{false};
  std::atomic<bool> abandoned_{false};  // destroyed before Start: leave without Execute
  std::exception_ptr fatal_;
};

}  // namespace mq
