// Real pointer input for the Wine suites: xdotool on the sandbox's X display. Wine starts
// Unix programs through CreateProcess, so a test sends input through the X server exactly as
// a user's mouse does (hit testing, the modal move loop, mouse-leave tracking included).
// The virtual desktop covers the X screen from its origin, so desktop coordinates are X
// coordinates.
//
// Wine gives no process handle for a Unix program (CreateProcess succeeds with process id 0),
// so its end cannot be waited for: xdotool runs under sh, which then writes xdotool's exit
// status to a file that the test watches.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "base/Utf.h"

namespace mq::test {

// A Unix command line run by sh, whose end the test can watch.
class UnixCommand {
 public:
  explicit UnixCommand(const std::string& command) {
    static int serial = 0;
    const std::string unixFile =
        "/tmp/mq-command-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++serial);
    statusFile_ = L"Z:" + ToWide(unixFile);
    ::DeleteFileW(statusFile_.c_str());
    std::wstring cmd =
        L"Z:\\bin\\sh -c \"" + ToWide(command) + L"; echo $? >" + ToWide(unixFile) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    started_ = ::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, L"C:\\", &si,
                                &pi) != FALSE;
    if (pi.hThread) ::CloseHandle(pi.hThread);
    if (pi.hProcess) ::CloseHandle(pi.hProcess);
  }
  ~UnixCommand() { ::DeleteFileW(statusFile_.c_str()); }
  UnixCommand(const UnixCommand&) = delete;
  UnixCommand& operator=(const UnixCommand&) = delete;

  bool Started() const noexcept { return started_; }
  bool Done() const {
    return !started_ || ::GetFileAttributesW(statusFile_.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  // The command's exit status once done (-1 before, or when it could not be read).
  int Status() const {
    std::FILE* f = _wfopen(statusFile_.c_str(), L"rb");
    if (!f) return -1;
    int status = -1;
    if (std::fscanf(f, "%d", &status) != 1) status = -1;
    std::fclose(f);
    return status;
  }

 private:
  std::wstring statusFile_;
  bool started_ = false;
};

class Xdotool : public UnixCommand {
 public:
  // Starts `xdotool ARGS` (commands may be chained, with "sleep S" between them).
  explicit Xdotool(const std::string& args) : UnixCommand("xdotool " + args) {}
};

// xdotool arguments that move the pointer to a desktop point.
inline std::string MoveTo(POINT p) {
  return "mousemove " + std::to_string(p.x) + " " + std::to_string(p.y);
}

// A press at `from`, a move in a few steps to `to` and the release there.
inline std::string DragArgs(POINT from, POINT to) {
  std::string a = MoveTo(from) + " sleep 0.3 mousedown 1 sleep 0.3";
  for (int i = 1; i <= 4; ++i) {
    const POINT p{from.x + (to.x - from.x) * i / 4, from.y + (to.y - from.y) * i / 4};
    a += " " + MoveTo(p) + " sleep 0.15";
  }
  return a + " sleep 0.3 mouseup 1";
}

}  // namespace mq::test
