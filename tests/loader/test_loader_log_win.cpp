// The diagnostics log under Wine: "Log=1" in a real settings file switches it on, and real
// downloads over winhttp.dll from a loopback server leave their lines in "marquelle.log".
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/Settings_win.h"
#include "base/DiagLog.h"
#include "base/Utf.h"
#include "feeds/uRSSLoader.h"
#include "gui/Forms_win.h"
#include "tests/support/FeedTestSupport.h"
#include "tests/support/LoopbackServer_win.h"

namespace mq {
namespace {

namespace fs = std::filesystem;
using test::LoopbackServer;
using Reply = LoopbackServer::Reply;

// Runs one loader for the handler to its end event on this (the main) thread.
bool Load(TRSSHandler& handler) {
  std::atomic<bool> ended{false};
  auto* loader = new TRssLoader(handler);
  loader->OnTerminate = [&ended](TObject*) { ended = true; };
  loader->Start();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!ended && std::chrono::steady_clock::now() < end) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    Application().ProcessMessages();
  }
  return ended;
}

// The text after the time and thread of each line.
std::vector<std::string> Events(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> events;
  for (std::string line; std::getline(in, line);) {
    const std::size_t thread = line.find(" t", 20);
    events.push_back(thread == std::string::npos ? line : line.substr(line.find(' ', thread + 1) + 1));
  }
  return events;
}

bool Has(const std::vector<std::string>& events, const std::string& start,
         const std::string& part = "") {
  for (const std::string& e : events)
    if (e.starts_with(start) && e.find(part) != std::string::npos) return true;
  return false;
}

TEST(DiagnosticsLog, LogOneInTheSettingsRecordsRealDownloads) {
  std::string refused;
  {
    LoopbackServer gone([](const LoopbackServer::Request&) { return Reply{200, "OK", {}, ""}; });
    refused = gone.Url("/feed.xml");
  }
  LoopbackServer server([](const LoopbackServer::Request& r) {
    if (r.target == "/404") return Reply{404, "Not Found", {}, ""};
    if (r.target == "/broken")
      return Reply{200, "OK", {}, test::Rss("<title>B</title><item><title>x</item>")};
    return Reply{200, "OK", {}, test::Rss("<title>T</title>" + test::Item("one") + test::Item("two"))};
  });

  const fs::path dir = fs::temp_directory_path() / "mq-log-win";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path config = dir / "app.config";
  const fs::path logFile = dir / "marquelle.log";
  {
    std::ofstream out(config, std::ios::binary);
    out << "[Global]\r\nLog=1\r\nUrl=" << server.Url("/feed.xml") << "\r\n";
  }
  TWinProfileFile file(config.string());
  const TSettings settings = LoadSettings(file, DefaultFeedUrl());
  ASSERT_TRUE(settings.Log);
  ASSERT_TRUE(OpenDiagnosticsLog(settings, file.Path(), logFile.string()));

  test::TRecordingReporter reporter;
  TRSSHandler handler(&reporter);
  for (const std::string& url :
       {server.Url("/feed.xml"), server.Url("/404"), refused, server.Url("/broken")}) {
    handler.SetUrl(url);
    ASSERT_TRUE(Load(handler)) << url;
  }
  SaveState(file, handler.Url(), settings.ReloadIntervalMs, settings.CustomLinks);
  DiagLog().Close();

  const std::vector<std::string> events = Events(logFile);
  std::string all;
  for (const std::string& e : events) all += e + "\n";
  SCOPED_TRACE(all);
  EXPECT_TRUE(Has(events, "settings: read " + config.string(), "Url=" + server.Url("/feed.xml")));
  EXPECT_TRUE(Has(events, "proxy: "));
  EXPECT_TRUE(Has(events, "download: start GET " + server.Url("/feed.xml")));
  EXPECT_TRUE(Has(events, "download: end " + server.Url("/feed.xml") + ": status 200, "));
  EXPECT_TRUE(Has(events, "feed: loaded " + server.Url("/feed.xml") + ": 2 items"));
  EXPECT_TRUE(Has(events, "download: failed " + server.Url("/404") + ": status 404, "));
  EXPECT_TRUE(Has(events, "download: failed " + refused + ": status 0, 0 bytes, ",
                  "A connection with the server could not be established"));
  EXPECT_TRUE(Has(events, "feed: load failed " + server.Url("/broken") + ": "));
  EXPECT_TRUE(
      Has(events, "settings: state (Url=" + server.Url("/broken") + ") written to " + config.string()));
  fs::remove_all(dir);
}

TEST(DiagnosticsLog, AFolderThatCannotBeWrittenLeavesTheProgramRunning) {
  const fs::path dir = fs::temp_directory_path() / "mq-log-win-ro";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path config = dir / "app.config";
  { std::ofstream(config, std::ios::binary) << "[Global]\r\nLog=1\r\n"; }
  TWinProfileFile file(config.string());
  const TSettings settings = LoadSettings(file, DefaultFeedUrl());
  // A log path inside a folder that is a file cannot be created.
  EXPECT_FALSE(OpenDiagnosticsLog(settings, file.Path(), (config / "marquelle.log").string()));
  EXPECT_FALSE(DiagLog().Enabled());
  test::TRecordingReporter reporter;
  TRSSHandler handler(&reporter);
  LoopbackServer server([](const LoopbackServer::Request&) {
    return Reply{200, "OK", {}, test::Rss("<title>T</title>" + test::Item("one"))};
  });
  handler.SetUrl(server.Url("/feed.xml"));
  ASSERT_TRUE(Load(handler));
  EXPECT_EQ(handler.Items().Count(), 1);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace mq
