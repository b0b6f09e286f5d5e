// The diagnostics log's line format and its file: off until opened, appending, bounded by
// moving the full file aside, safe from many threads, and harmless where it cannot write.
#include "base/DiagLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#include "tests/support/TextCase.h"

namespace mq {
namespace {

namespace fs = std::filesystem;

std::chrono::system_clock::time_point At(int y, unsigned m, unsigned d, int h, int min, int s, int ms) {
  using namespace std::chrono;
  return sys_days(year(y) / month(m) / day(d)) + hours(h) + minutes(min) + seconds(s) + milliseconds(ms);
}

std::vector<std::string> Lines(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class LogFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("mq-log-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST(DiagLogLine, FormatsTimeThreadCategoryAndText) {
  struct Case {
    std::chrono::system_clock::time_point when;
    unsigned thread;
    std::string category;
    std::string text;
    std::string line;
  } cases[] = {
      {At(2026, 12, 8, 11, 25, 4, 123), 2, "download", "start GET http://127.0.0.1/",
       "2026-12-08 11:25:04.123Z t2 download: start GET http://127.0.0.1/\n"},
      {At(1999, 1, 31, 0, 0, 0, 7), 10, "settings", "", "1999-01-31 00:00:00.007Z t10 settings: \n"},
      // Control characters would split one event over several lines.
      {At(2030, 6, 1, 23, 59, 59, 999), 1, "feed\n",
       "a\r\nb\tc\x7F"
       "d",
       "2030-06-01 23:59:59.999Z t1 feed : a  b c d\n"},
      // Text beyond the ASCII range is written as it is.
      {At(2026, 1, 1, 1, 2, 3, 4), 3, "feed", "\xE6\x96\xB0\xE9\x97\xBB",
       "2026-01-01 01:02:03.004Z t3 feed: \xE6\x96\xB0\xE9\x97\xBB\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatLogLine(c.when, c.thread, c.category, c.text), c.line);
}

TEST(DiagLogLine, LongTextIsCutAtACharacterBoundary) {
  struct Case {
    std::string text;
    std::size_t keptBytes;  // of the text, before "..."
    bool cut;
  } cases[] = {
      {std::string(kLogMaxTextBytes, 'a'), kLogMaxTextBytes, false},
      {std::string(kLogMaxTextBytes + 1, 'a'), kLogMaxTextBytes, true},
      // A three-byte character straddling the limit is left out whole.
      {std::string(kLogMaxTextBytes - 1, 'a') + "\xE6\x96\xB0", kLogMaxTextBytes - 1, true},
      {std::string(kLogMaxTextBytes - 3, 'a') + "\xE6\x96\xB0" + "b", kLogMaxTextBytes, true},
  };
  const std::string prefix = FormatLogLine(At(2026, 1, 1, 0, 0, 0, 0), 1, "x", "");
  for (const auto& c : cases) {
    const std::string line = FormatLogLine(At(2026, 1, 1, 0, 0, 0, 0), 1, "x", c.text);
    const std::string expected = prefix.substr(0, prefix.size() - 1) + c.text.substr(0, c.keptBytes) +
                                 (c.cut ? "..." : "") + "\n";
    EXPECT_EQ(line, expected) << c.text.size();
  }
}

TEST(DiagLogLine, FileSitsBesideTheProgram) {
  const test::TextCase cases[] = {
      {"C:\\Program Files\\Marquelle\\marquelle.exe", "C:\\Program Files\\Marquelle\\marquelle.log"},
      {"/opt/mq/marquelle", "/opt/mq/marquelle.log"},
      {"marquelle.exe", "marquelle.log"},
  };
  for (const test::TextCase& c : cases) EXPECT_EQ(LogFileFor(c.in), c.out);
}

TEST_F(LogFolder, OffUntilOpenedThenAppendsToWhatIsThere) {
  const fs::path file = dir_ / "marquelle.log";
  TDiagLog log;
  log.Write("feed", "before opening");
  EXPECT_FALSE(log.Enabled());
  EXPECT_FALSE(fs::exists(file));

  { std::ofstream(file, std::ios::binary) << "an earlier run\n"; }
  ASSERT_TRUE(log.Open(file.string()));
  log.Write("feed", "one");
  log.Write("feed", "two");
  log.Close();
  log.Write("feed", "after closing");

  const std::vector<std::string> lines = Lines(file);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "an earlier run");
  EXPECT_TRUE(lines[1].ends_with(" feed: one")) << lines[1];
  EXPECT_TRUE(lines[2].ends_with(" feed: two")) << lines[2];
}

TEST_F(LogFolder, AFullFileIsMovedAsideAndTheNewestLinesKept) {
  const fs::path file = dir_ / "marquelle.log";
  const fs::path old = dir_ / "marquelle.log.1";
  const std::uintmax_t limit = 1000;
  TDiagLog log;
  ASSERT_TRUE(log.Open(file.string(), limit));
  const int count = 100;
  for (int i = 0; i < count; ++i) log.Write("n", std::to_string(i));
  log.Close();

  EXPECT_LE(fs::file_size(file), limit);
  EXPECT_LE(fs::file_size(old), limit);
  // The two files hold an unbroken run of the newest lines, the older ones in ".1".
  std::vector<std::string> lines = Lines(old);
  for (const std::string& line : Lines(file)) lines.push_back(line);
  ASSERT_GT(lines.size(), 20u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string expected =
        " n: " + std::to_string(count - static_cast<int>(lines.size()) + static_cast<int>(i));
    EXPECT_TRUE(lines[i].ends_with(expected)) << lines[i];
  }
}

TEST_F(LogFolder, LinesFromManyThreadsStayWhole) {
  const fs::path file = dir_ / "marquelle.log";
  TDiagLog log;
  ASSERT_TRUE(log.Open(file.string()));
  const int threads = 4;
  const int each = 250;
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&log, t] {
      for (int i = 0; i < each; ++i) log.Write("worker", std::to_string(t) + "/" + std::to_string(i));
    });
  }
  for (std::thread& w : workers) w.join();
  log.Close();

  std::set<std::string> seen;
  std::set<std::string> threadNames;
  for (const std::string& line : Lines(file)) {
    const std::size_t at = line.find(" worker: ");
    ASSERT_NE(at, std::string::npos) << line;
    seen.insert(line.substr(at + 9));
    threadNames.insert(line.substr(25, at - 25));
  }
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(threads * each));
  EXPECT_EQ(threadNames.size(), static_cast<std::size_t>(threads));
}

TEST_F(LogFolder, AFolderThatCannotBeWrittenLeavesTheLogOff) {
  // A regular file where the folder should be: no one can create a file inside it.
  const fs::path notAFolder = dir_ / "plain";
  { std::ofstream(notAFolder) << "x"; }
  TDiagLog log;
  EXPECT_FALSE(log.Open((notAFolder / "marquelle.log").string()));
  EXPECT_FALSE(log.Enabled());
  log.Write("feed", "nowhere to go");
  EXPECT_FALSE(fs::exists(notAFolder / "marquelle.log"));
  // A later open of a good place works.
  EXPECT_TRUE(log.Open((dir_ / "marquelle.log").string()));
}

}  // namespace
}  // namespace mq
