#include "gui/Threads_win.h"

#include <stdexcept>

#include "gui/Forms_win.h"

namespace mq {

TThread::TThread() {
  Application().Initialize();
  handle_.Reset(::CreateThread(nullptr, 0, &ThreadProc, this, CREATE_SUSPENDED, &id_));
  if (!handle_) throw std::runtime_error("Thread creation error: " + std::to_string(::GetLastError()));
}

TThread::~TThread() {
  if (!handle_) return;
  if (::GetCurrentThreadId() == id_) return;  // FreeOnTerminate: the thread deletes itself
  if (!started_) {
    abandoned_ = true;
    ::ResumeThread(handle_.Get());
    ::WaitForSingleObject(handle_.Get(), INFINITE);
  } else if (!finished_) {
    Terminate();
    WaitFor();
  }
}

void TThread::Start() {
  if (started_.exchange(true)) return;
  ::ResumeThread(handle_.Get());
}

void TThread::WaitFor() {
  HANDLE h = handle_.Get();
  if (!h || !started_) return;
  TApplication& app = Application();
  if (::GetCurrentThreadId() != app.MainThreadId()) {
    ::WaitForSingleObject(h, INFINITE);
    return;
  }
  // On the main thread: keep serving hand-overs while waiting.
  for (;;) {
    const DWORD r = ::MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_POSTMESSAGE | QS_SENDMESSAGE);
    if (r == WAIT_OBJECT_0 || r == WAIT_FAILED) return;
    MSG m;
    while (::PeekMessageW(&m, app.UtilityWindow(), WM_MQ_SYNCHRONIZE, WM_MQ_SYNCHRONIZE, PM_REMOVE))
      ::DispatchMessageW(&m);
  }
}

void TThread::Synchronize(const std::function<void()>& fn) { Application().SynchronizeCall(fn); }

DWORD WINAPI TThread::ThreadProc(void* p) {
  auto* self = static_cast<TThread*>(p);
  if (self->abandoned_) return 0;
  try {
    self->Execute();
  } catch (...) {
    self->fatal_ = std::current_exception();
  }
  const bool freeIt = self->FreeOnTerminate;
  if (self->OnTerminate) {
    try {
      Synchronize([self] {
        try {
          self->OnTerminate(self);
        } catch (...) {
          Application().HandleCurrentException(self);
        }
      });
    } catch (...) {
    }
  }
  self->finished_ = true;
  if (freeIt) delete self;
  return 0;
}

}  // namespace mq
