// The feeds of tests/data/feeds (hand-written in the shapes real servers send) and one
// generated 5 MB feed, each loaded from its bytes as the loader hands them over, against the
// expectations in tests/data/feeds/expected.txt.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "feeds/FeedDecode.h"
#include "feeds/FeedText.h"
#include "feeds/uRSSHandler.h"
#include "tests/feeds/FeedGenerator.h"
#include "tests/support/FeedTestSupport.h"
#include "tests/support/SourceFiles.h"

namespace mq {
namespace {

struct Expectation {
  std::string file;
  std::string outcome;
  unsigned codePage = 0;
  bool hasChannel = false;
  std::string channel;
  std::vector<std::string> titles;
};

constexpr char kDataDir[] = "tests/data/feeds";

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char c = s[++i];
      out += c == 'r' ? '\r' : c == 'n' ? '\n' : c;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::vector<Expectation> ReadExpectations() {
  std::istringstream in(test::ReadSourceFile(std::string(kDataDir) + "/expected.txt"));
  std::vector<Expectation> all;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      all.emplace_back();
      all.back().file = line.substr(1, line.size() - 2);
      continue;
    }
    EXPECT_FALSE(all.empty()) << "value before the first [file]: " << line;
    if (all.empty()) continue;
    const size_t colon = line.find(':');
    const std::string key = line.substr(0, colon);
    std::string value = colon + 1 < line.size() ? line.substr(colon + 1) : "";
    if (!value.empty() && value[0] == ' ') value.erase(0, 1);
    value = Unescape(value);
    Expectation& e = all.back();
    if (key == "outcome") {
      e.outcome = value;
    } else if (key == "codepage") {
      e.codePage = static_cast<unsigned>(std::stoul(value));
    } else if (key == "channel") {
      e.hasChannel = true;
      e.channel = value;
    } else if (key == "item") {
      e.titles.push_back(value);
    } else {
      ADD_FAILURE() << "unknown key in expected.txt: " << key;
    }
  }
  return all;
}

void Check(const Expectation& e, const std::string& bytes) {
  SCOPED_TRACE(e.file);
  TCodePage used{};
  const std::string text = DecodeFeedBytes(bytes, PlatformCharsetConverter(), &used);
  EXPECT_EQ(static_cast<unsigned>(used), e.codePage);

  test::TRecordingReporter reporter;
  TRSSHandler handler(&reporter);
  handler.ClearItems();
  handler.LoadFromText(text);

  if (e.outcome == "loaded") {
    EXPECT_TRUE(reporter.messages.empty()) << (reporter.details.empty() ? "" : reporter.details[0]);
    EXPECT_EQ(handler.CurrentIndex(), e.titles.empty() ? -1 : 0);
  } else if (e.outcome == "failed") {
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_EQ(reporter.messages[0], "Error loading appropriate rss!");
    EXPECT_EQ(handler.CurrentItem(), nullptr);
  } else if (e.outcome == "rejected") {
    EXPECT_FALSE(IsFeedText(text));
    EXPECT_TRUE(reporter.messages.empty());
  } else {
    ADD_FAILURE() << "unknown outcome " << e.outcome;
  }
  if (e.hasChannel) {
    EXPECT_EQ(DecodeCharRefs(handler.Title()), e.channel);
  }
  std::vector<std::string> titles;
  for (int i = 0; i < handler.Items().Count(); ++i) {
    titles.push_back(DecodeCharRefs(handler.Items().Objects(i)->Title()));
    EXPECT_EQ(handler.Items().Strings(i), handler.Items().Objects(i)->Title());
  }
  if (titles.size() > 50) {  // the large feed: compare the counts and a sample
    ASSERT_EQ(titles.size(), e.titles.size());
    for (size_t i = 0; i < titles.size(); i += 997) EXPECT_EQ(titles[i], e.titles[i]) << i;
    EXPECT_EQ(titles.back(), e.titles.back());
  } else {
    EXPECT_EQ(titles, e.titles);
  }
}

TEST(FeedCorpus, EveryFeedGivesItsExpectedTitles) {
  const std::vector<Expectation> all = ReadExpectations();
  ASSERT_GE(all.size(), 20u);
  std::set<std::string> listed;
  for (const Expectation& e : all) {
    EXPECT_TRUE(listed.insert(e.file).second) << "listed twice: " << e.file;
    Check(e, test::ReadSourceFile(std::string(kDataDir) + "/" + e.file));
  }
  // Every feed of the folder has its expectations.
  for (const auto& entry : std::filesystem::directory_iterator(test::SourcePath(kDataDir))) {
    const std::string ext = entry.path().extension().string();
    if (ext == ".xml" || ext == ".html") {
      EXPECT_TRUE(listed.count(entry.path().filename().string()))
          << "no expectations for " << entry.path();
    }
  }

  const test::TGeneratedFeed big = test::GenerateFeed(5 * 1024 * 1024);
  Expectation e{"generated 5 MB feed", "loaded", 65001, true, big.channelTitle, big.titles};
  EXPECT_GE(big.bytes.size(), 5u * 1024 * 1024);
  Check(e, big.bytes);
}

}  // namespace
}  // namespace mq
