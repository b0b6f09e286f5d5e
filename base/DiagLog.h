// The diagnostics log: one line per event that explains what the program did, for a person
// finding out why a feed did not load. Off until Open is called (the settings switch it on);
// then every LogEvent appends a line to the file. Any thread may write. The file is bounded:
// a line that would take it past its limit first moves it to "<name>.1" (replacing the
// previous one) and starts it anew, so at most twice the limit is kept on disk. A file that
// cannot be opened or written switches the log off again; the program goes on without it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <string_view>

namespace mq {

// The log file's name, kept beside the program.
inline constexpr std::string_view kLogFileName = "marquelle.log";
// The size a log file reaches before it is moved aside.
inline constexpr std::uintmax_t kLogMaxBytes = std::uintmax_t{1024} * 1024;
// The longest text one line carries; the rest is cut at a character boundary and marked.
inline constexpr std::size_t kLogMaxTextBytes = 2000;

// One line: "2026-12-08 11:25:04.123Z t2 download: text\n", the time in UTC with
// milliseconds, then the writing thread's number in order of first use. Control characters
// in `category` and `text` become blanks, so an event is always exactly one line; a text
// longer than kLogMaxTextBytes is cut (never inside a UTF-8 sequence) and ends in "...".
std::string FormatLogLine(std::chrono::system_clock::time_point when, unsigned thread,
                          std::string_view category, std::string_view text);

// "<folder of exePath>marquelle.log"; the folder ends at the last '\' or '/'.
std::string LogFileFor(std::string_view exePath);

class TDiagLog {
 public:
  TDiagLog() = default;
  TDiagLog(const TDiagLog&) = delete;
  TDiagLog& operator=(const TDiagLog&) = delete;

  // Starts appending to `path` (UTF-8), bounded by `maxBytes`. False, with the log left
  // off, when the file cannot be opened for appending.
  bool Open(std::string_view path, std::uintmax_t maxBytes = kLogMaxBytes);
  void Close();
  bool Enabled() const noexcept { return enabled_.load(std::memory_order_acquire); }

  // Appends one line (FormatLogLine) when the log is on. Never throws.
  void Write(std::string_view category, std::string_view text) noexcept;

 private:
  bool OpenLocked();
  void RotateLocked();

  mutable std::mutex mutex_;
  std::atomic<bool> enabled_{false};
  std::filesystem::path path_;
  std::ofstream out_;
  std::uintmax_t size_ = 0;
  std::uintmax_t maxBytes_ = kLogMaxBytes;
};

// The program's log.
TDiagLog& DiagLog();

// Writes to the program's log; does nothing (and costs a flag test) while it is off.
inline void LogEvent(std::string_view category, std::string_view text) noexcept {
  TDiagLog& log = DiagLog();
  if (log.Enabled()) log.Write(category, text);
}

}  // namespace mq
