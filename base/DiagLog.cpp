#include "base/DiagLog.h"

#include <cstdio>
#include <system_error>

namespace mq {
namespace {

unsigned ThreadNumber() {
  static std::atomic<unsigned> next{1};
  thread_local const unsigned number = next.fetch_add(1, std::memory_order_relaxed);
  return number;
}

void AppendClean(std::string& line, std::string_view text) {
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    line += (u < 0x20 || u == 0x7F) ? ' ' : c;
  }
}

// The longest prefix of `text` of at most `limit` bytes that does not end inside a UTF-8
// sequence.
std::string_view CutAtCharacter(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

std::filesystem::path PathOf(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

std::string FormatLogLine(std::chrono::system_clock::time_point when, unsigned thread,
                          std::string_view category, std::string_view text) {
  using namespace std::chrono;
  const auto ms = floor<milliseconds>(when);
  const auto day = floor<days>(ms);
  const year_month_day date(day);
  const hh_mm_ss<milliseconds> time(ms - day);
  char stamp[48];
  std::snprintf(stamp, sizeof stamp, "%04d-%02u-%02u %02d:%02d:%02d.%03dZ t%u ",
                static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()),
                static_cast<int>(time.subseconds().count()), thread);
  std::string line(stamp);
  AppendClean(line, category);
  line += ": ";
  const std::string_view kept = CutAtCharacter(text, kLogMaxTextBytes);
  AppendClean(line, kept);
  if (kept.size() < text.size()) line += "...";
  line += '\n';
  return line;
}

std::string LogFileFor(std::string_view exePath) {
  const std::size_t slash = exePath.find_last_of("\\/");
  const std::string_view folder =
      slash == std::string_view::npos ? std::string_view() : exePath.substr(0, slash + 1);
  return std::string(folder) + std::string(kLogFileName);
}

bool TDiagLog::Open(std::string_view path, std::uintmax_t maxBytes) {
  const std::lock_guard lock(mutex_);
  enabled_.store(false, std::memory_order_release);
  out_.close();
  path_ = PathOf(path);
  maxBytes_ = maxBytes;
  const bool opened = OpenLocked();
  enabled_.store(opened, std::memory_order_release);
  return opened;
}

void TDiagLog::Close() {
  const std::lock_guard lock(mutex_);
  enabled_.store(false, std::memory_order_release);
  out_.close();
}

bool TDiagLog::OpenLocked() {
  out_.close();
  out_.clear();
  out_.open(path_, std::ios::out | std::ios::app | std::ios::binary);
  if (!out_.is_open()) return false;
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path_, error);
  size_ = error ? 0 : size;
  return true;
}

void TDiagLog::RotateLocked() {
  out_.close();
  std::filesystem::path old = path_;
  old += ".1";
  std::error_code error;
  std::filesystem::remove(old, error);
  std::filesystem::rename(path_, old, error);
  // When the file cannot be moved aside it is started anew, so the bound holds either way.
  if (error) std::filesystem::resize_file(path_, 0, error);
}

void TDiagLog::Write(std::string_view category, std::string_view text) noexcept {
  try {
    const std::string line =
        FormatLogLine(std::chrono::system_clock::now(), ThreadNumber(), category, text);
    const std::lock_guard lock(mutex_);
    if (!enabled_.load(std::memory_order_relaxed)) return;
    if (size_ > 0 && size_ + line.size() > maxBytes_) {
      RotateLocked();
      if (!OpenLocked()) {
        enabled_.store(false, std::memory_order_release);
        return;
      }
    }
    out_.write(line.data(), static_cast<std::streamsize>(line.size()));
    out_.flush();
    if (!out_) {
      enabled_.store(false, std::memory_order_release);
      out_.close();
      return;
    }
    size_ += line.size();
  } catch (...) {
    // A log that cannot be written is no reason to fail what is being logged.
  }
}

TDiagLog& DiagLog() {
  static TDiagLog log;
  return log;
}

}  // namespace mq
