// The settings file's reading and writing rules against an in-memory INI file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "app/Settings.h"
#include "base/DiagLog.h"
#include "tests/app/FakeProfile.h"

namespace mq {
namespace {

using test::FakeProfile;

const std::string kDefault = "https://default.example/rss";

std::vector<bool> EnabledFlags(const TRSSLinkList& list) {
  std::vector<bool> out;
  for (const auto& item : list) out.push_back(item.Enabled);
  return out;
}

std::vector<std::string> Urls(const TRSSLinkList& list) {
  std::vector<std::string> out;
  for (const auto& item : list) out.push_back(item.Url);
  return out;
}

TEST(SettingsInt, ConvertsDecimalAndBothHexForms) {
  const struct {
    const char* text;
    std::int32_t value;
  } cases[] = {
      {"7", 7},
      {"0", 0},
      {"-3", -3},
      {"+12", 12},
      {"  12", 12},
      {"$1F", 31},
      {"0x1f", 31},
      {"0X10", 16},
      {"-$10", -16},
      {"$FFFFFFFF", -1},
      {"$00E6F5FF", 15136255},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"000000000000000000042", 42},
  };
  for (const auto& c : cases) {
    const auto v = ParseProfileInt(c.text);
    ASSERT_TRUE(v.has_value()) << c.text;
    EXPECT_EQ(*v, c.value) << c.text;
  }
}

TEST(SettingsInt, RefusesWhatDoesNotConvert) {
  for (const char* text :
       {"", " ", "abc", "7a", "7 ", "1.5", "2147483648", "-2147483649", "99999999999999999999", "$",
        "0x", "-", "$123456789", "$G", "--1", "x10", "0x-1", "１"}) {
    EXPECT_FALSE(ParseProfileInt(text).has_value()) << text;
  }
}

TEST(SettingsCommaText, SplitsOnCommasAndBlanksWithQuotes) {
  const struct {
    const char* text;
    std::vector<std::string> items;
  } cases[] = {
      {"", {}},
      {"   ", {}},
      {"0,13", {"0", "13"}},
      {"0,3,11", {"0", "3", "11"}},
      {"0, 3 11", {"0", "3", "11"}},
      {" 4 ", {"4"}},
      {"a,,b", {"a", "", "b"}},
      {"a,", {"a", ""}},
      {"\"a b\",c", {"a b", "c"}},
      {"\"x\"\"y\"", {"x\"y"}},
      {"\"open", {"open"}},
      {"1\t2\r\n3", {"1", "2", "3"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommaText(c.text), c.items) << c.text;
}

TEST(SettingsBuiltIn, FourteenDistinctSecureAddressesWithTheSecondAsDefault) {
  const auto urls = BuiltInFeedUrls();
  ASSERT_EQ(urls.size(), 14u);
  EXPECT_EQ(std::set<std::string>(urls.begin(), urls.end()).size(), 14u);
  for (const auto& u : urls) {
    EXPECT_TRUE(u.starts_with("https://")) << u;
    EXPECT_GT(u.size(), 12u) << u;
  }
  EXPECT_EQ(DefaultFeedUrl(), urls[1]);
}

TEST(SettingsPath, ConfigFileSitsBesideTheExecutable) {
  EXPECT_EQ(ConfigFileFor("C:\\Program Files\\Marquelle\\marquelle.exe"),
            "C:\\Program Files\\Marquelle\\app.config");
  EXPECT_EQ(ConfigFileFor("Z:/work/out/marquelle.exe"), "Z:/work/out/app.config");
  EXPECT_EQ(ConfigFileFor("marquelle.exe"), "app.config");
}

TEST(SettingsLoad, MissingFileGivesEveryDefault) {
  FakeProfile file;
  TTickerFont resource;
  resource.Name = "Arial";
  resource.Size = 12;
  const TSettings s = LoadSettings(file, kDefault, resource);
  EXPECT_FALSE(s.FileExists);
  EXPECT_EQ(s.Url, kDefault);
  EXPECT_EQ(s.LastConfigPage, 0);
  EXPECT_EQ(s.ReloadIntervalMs, 300000u);
  EXPECT_EQ(Urls(s.DefaultLinks), BuiltInFeedUrls());
  EXPECT_EQ(EnabledFlags(s.DefaultLinks), std::vector<bool>(14, true));
  EXPECT_TRUE(s.CustomLinks.Empty());
  EXPECT_EQ(s.TickerFont, TTickerFont{});
}

TEST(SettingsLoad, ReloadTimeInMinutes) {
  const struct {
    const char* value;
    std::uint32_t ms;
  } cases[] = {
      {"7", 420000},
      {"0", 0},
      {"60", 3600000},
      {"$A", 600000},
      {"abc", 300000},
      {"", 300000},
      {"-1", 300000},
      {"35791", 35791u * 60000u},
      {"100000", 35791u * 60000u},
  };
  for (const auto& c : cases) {
    FakeProfile file;
    file.Line("Global", "Reload_Time", c.value);
    EXPECT_EQ(LoadSettings(file, kDefault).ReloadIntervalMs, c.ms) << c.value;
  }
}

TEST(SettingsLoad, UrlAbsentGivesDefaultButPresentEmptyStaysEmpty) {
  FakeProfile absent;
  absent.Line("Global", "Reload_Time", "5");
  EXPECT_TRUE(LoadSettings(absent, kDefault).FileExists);
  EXPECT_EQ(LoadSettings(absent, kDefault).Url, kDefault);

  FakeProfile empty;
  empty.Line("Global", "Url", "");
  EXPECT_EQ(LoadSettings(empty, kDefault).Url, "");

  FakeProfile set;
  set.Line("Global", "Url", "https://a.example/feed");
  EXPECT_EQ(LoadSettings(set, kDefault).Url, "https://a.example/feed");
}

TEST(SettingsLoad, DefaultUrlsDisabledHidesListedPositions) {
  const struct {
    const char* disabled;
    std::set<int> off;
  } cases[] = {
      {"0,13", {0, 13}},  {"", {}}, {"3, 5 \"7\"", {3, 5, 7}},
      {"01,x,14,-1", {}},  // only the exact decimal text of a position counts
      {"1,1", {1}},
  };
  for (const auto& c : cases) {
    FakeProfile file;
    file.Line("Default Urls", "Disabled", c.disabled);
    const TSettings s = LoadSettings(file, kDefault);
    ASSERT_EQ(s.DefaultLinks.Count(), 14u);
    for (int i = 0; i < 14; ++i)
      EXPECT_EQ(s.DefaultLinks[i].Enabled, !c.off.count(i)) << c.disabled << " at " << i;
  }
}

TEST(SettingsLoad, CustomUrlsFollowTheirLinesAfterTheDisabledLine) {
  FakeProfile file;
  file.Line("Custom Urls", "Disabled", "1")
      .Line("Custom Urls", "Url_0", "A")
      .Line("Custom Urls", "Url_1", "B");
  const TSettings s = LoadSettings(file, kDefault);
  EXPECT_EQ(Urls(s.CustomLinks), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(EnabledFlags(s.CustomLinks), (std::vector<bool>{true, false}));
}

TEST(SettingsLoad, CustomUrlKeepsEverythingAfterTheFirstEquals) {
  FakeProfile file;
  file.Line("Custom Urls", "Disabled", "").Line("Custom Urls", "Url_0", "https://x.example/?a=b&c=d");
  const TSettings s = LoadSettings(file, kDefault);
  ASSERT_EQ(s.CustomLinks.Count(), 1u);
  EXPECT_EQ(s.CustomLinks[0].Url, "https://x.example/?a=b&c=d");
  EXPECT_TRUE(s.CustomLinks[0].Enabled);
}

TEST(SettingsLoad, CustomKeyNamesAreNotInterpreted) {
  // Lines count in file order whatever their keys are called.
  FakeProfile file;
  file.Line("Custom Urls", "Disabled", "0,2")
      .Line("Custom Urls", "Url_5", "first")
      .Line("Custom Urls", "Other", "second")
      .Line("Custom Urls", "Url_0", "third");
  const TSettings s = LoadSettings(file, kDefault);
  EXPECT_EQ(Urls(s.CustomLinks), (std::vector<std::string>{"first", "second", "third"}));
  EXPECT_EQ(EnabledFlags(s.CustomLinks), (std::vector<bool>{false, true, false}));
}

TEST(SettingsLoad, FontKeysAndStyleAddToTheResourceStyle) {
  const struct {
    const char* style;
    bool resourceBold;
    bool italic, bold;
  } cases[] = {
      {"10", false, true, false},  {"01", false, false, true}, {"11", false, true, true},
      {"00", false, false, false}, {"1", false, true, false},  {"", false, false, false},
      {"x1", false, false, true},  {"21", false, false, true}, {"00", true, false, true},
      {"10", true, true, true},
  };
  for (const auto& c : cases) {
    FakeProfile file;
    file.Line("Global", "Ticker_Font_Name", "Verdana")
        .Line("Global", "Ticker_Font_Size", "11")
        .Line("Global", "Ticker_Font_Color", "-16777201")  // $FF00000F: a system colour
        .Line("Global", "Ticker_Font_Style", c.style);
    TTickerFont resource;
    resource.Bold = c.resourceBold;
    resource.Underline = true;
    const TTickerFont f = LoadSettings(file, kDefault, resource).TickerFont;
    EXPECT_EQ(f.Name, "Verdana");
    EXPECT_EQ(f.Size, 11);
    EXPECT_EQ(f.Color, 0xFF00000Fu);
    EXPECT_EQ(f.Italic, c.italic) << c.style;
    EXPECT_EQ(f.Bold, c.bold) << c.style;
    EXPECT_TRUE(f.Underline);
  }
}

TRSSLinkList MakeList(std::initializer_list<std::pair<const char*, bool>> entries) {
  TRSSLinkList list;
  for (auto& [url, on] : entries) list.Add(url, on);
  return list;
}

TEST(SettingsSave, StateWritesUrlIntervalAndUserAddressesOnly) {
  FakeProfile file;
  SaveState(file, "https://cur.example/rss", 450000, MakeList({{"A", true}, {"B", false}}));
  EXPECT_EQ(file.Log(), (std::vector<std::string>{
                            "Global/Url=https://cur.example/rss",
                            "Global/Reload_Time=7",
                            "erase Custom Urls",
                            "Custom Urls/Disabled=1",
                            "Custom Urls/Url_0=A",
                            "Custom Urls/Url_1=B",
                        }));
}

TEST(SettingsSave, HandEditedUserSectionKeepsOneCopyAcrossExits) {
  FakeProfile file;
  // A person added a feed under a key of their own choosing.
  file.Line("Custom Urls", "Disabled", "")
      .Line("Custom Urls", "Url_0", "A")
      .Line("Custom Urls", "Mine", "B");
  for (int exit = 0; exit < 3; ++exit) {
    const TSettings s = LoadSettings(file, kDefault);
    SaveState(file, s.Url, s.ReloadIntervalMs, s.CustomLinks);
  }
  EXPECT_EQ(file.ReadSectionLines("Custom Urls"),
            (std::vector<std::string>{"Disabled=", "Url_0=A", "Url_1=B"}));
}

TEST(SettingsSave, ConfigurationWritesInItsOrder) {
  FakeProfile file;
  file.Line("Custom Urls", "Disabled", "")
      .Line("Custom Urls", "Url_0", "old0")
      .Line("Custom Urls", "Url_1", "old1")
      .Line("Custom Urls", "Url_2", "old2");
  TRSSLinkList defaults;
  for (int i = 0; i < 14; ++i) defaults.Add("d" + std::to_string(i), i != 0 && i != 13);
  TTickerFont font;
  font.Name = "宋体";
  font.Size = 9;
  font.Color = 0x00FF8000;
  font.Italic = true;
  SaveConfiguration(file, 3, defaults, MakeList({{"X", false}, {"Y", true}}), font);
  EXPECT_EQ(file.Log(), (std::vector<std::string>{
                            "Global/Last_Config_Page=3",
                            "Default Urls/Disabled=0,13",
                            "erase Custom Urls",
                            "Custom Urls/Disabled=0",
                            "Custom Urls/Url_0=X",
                            "Custom Urls/Url_1=Y",
                            "Global/Ticker_Font_Name=宋体",
                            "Global/Ticker_Font_Size=9",
                            "Global/Ticker_Font_Color=16744448",
                            "Global/Ticker_Font_Style=10",
                        }));
  // The old third address is gone with the erased section.
  EXPECT_EQ(file.ReadSectionLines("Custom Urls"),
            (std::vector<std::string>{"Disabled=0", "Url_0=X", "Url_1=Y"}));
}

TEST(SettingsSave, SystemColourIsWrittenAsSignedDecimalAndReadBack) {
  FakeProfile file;
  TTickerFont font;
  font.Color = 0xFF000008;
  SaveConfiguration(file, 0, TRSSLinkList{}, TRSSLinkList{}, font);
  EXPECT_EQ(file.ReadString("Global", "Ticker_Font_Color", ""), "-16777208");
  EXPECT_EQ(LoadSettings(file, kDefault).TickerFont.Color, 0xFF000008u);
}

TEST(SettingsSave, RefusedWriteStopsWithThePathInTheMessage) {
  // Refusing the n-th write: that write and every later one are missing.
  const std::vector<std::string> all = {"Global/Url=U", "Global/Reload_Time=5", "erase Custom Urls",
                                        "Custom Urls/Disabled=", "Custom Urls/Url_0=A"};
  for (int n = 0; n < 5; ++n) {
    FakeProfile file("D:\\ro\\app.config");
    file.RefuseAfter(n);
    try {
      SaveState(file, "U", 300000, MakeList({{"A", true}}));
      ADD_FAILURE() << "no error at write " << n;
    } catch (const ESettingsWriteError& e) {
      EXPECT_STREQ(e.what(), "Unable to write to D:\\ro\\app.config");
      EXPECT_EQ(e.Path(), "D:\\ro\\app.config");
    }
    EXPECT_EQ(file.Log(), std::vector<std::string>(all.begin(), all.begin() + n));
  }
  FakeProfile erase;
  erase.RefuseAfter(2);  // the section erase is the third write
  EXPECT_THROW(SaveConfiguration(erase, 0, TRSSLinkList{}, MakeList({{"A", true}}), TTickerFont{}),
               ESettingsWriteError);
  EXPECT_EQ(erase.Log().size(), 2u);
}

TEST(SettingsLog, OnForAnyNumberButZero) {
  const struct {
    const char* value;  // nullptr: the key is absent
    bool on;
  } cases[] = {
      {nullptr, false}, {"0", false}, {"", false},  {"yes", false}, {"$0", false},
      {"1", true},      {"2", true},  {"-1", true}, {"$1", true},   {" 1", true},
  };
  for (const auto& c : cases) {
    FakeProfile file;
    if (c.value != nullptr) file.Line("Global", "Log", c.value);
    EXPECT_EQ(LoadSettings(file, kDefault).Log, c.on) << (c.value ? c.value : "(absent)");
  }
}

// Reading (once the log is on), writing and a refused write each leave one line.
TEST(SettingsLog, ReadsAndWritesAreLogged) {
  namespace fs = std::filesystem;
  const fs::path log = fs::temp_directory_path() / "mq-settings-log.log";
  fs::remove(log);
  FakeProfile off;
  EXPECT_FALSE(OpenDiagnosticsLog(LoadSettings(off, kDefault), off.Path(), log.string()));
  EXPECT_FALSE(fs::exists(log));

  FakeProfile file("D:/mq/app.config");
  file.Line("Global", "Log", "1").Line("Global", "Url", "http://127.0.0.1/a");
  ASSERT_TRUE(OpenDiagnosticsLog(LoadSettings(file, kDefault), file.Path(), log.string()));
  SaveState(file, "http://127.0.0.1/b", 60000, TRSSLinkList{});
  SaveConfiguration(file, 1, TRSSLinkList{}, TRSSLinkList{}, TTickerFont{});
  file.RefuseAfter(0);
  EXPECT_THROW(SaveState(file, "http://127.0.0.1/c", 60000, TRSSLinkList{}), ESettingsWriteError);
  DiagLog().Close();

  std::ifstream in(log, std::ios::binary);
  std::vector<std::string> events;
  for (std::string line; std::getline(in, line);) events.push_back(line.substr(line.find(' ', 25) + 1));
  in.close();  // Windows refuses to remove a file that is still open
  fs::remove(log);
  const std::vector<std::string> expected = {
      "settings: read D:/mq/app.config: Url=http://127.0.0.1/a, Reload_Time=5 min, 14 built-in and 0 "
      "own feeds",
      "settings: state (Url=http://127.0.0.1/b) written to D:/mq/app.config",
      "settings: configuration written to D:/mq/app.config",
      "settings: state (Url=http://127.0.0.1/c) not written: Unable to write to D:/mq/app.config",
  };
  EXPECT_EQ(events, expected);
}

TEST(SettingsRoundTrip, ConfigurationAndStateReadBackAsWritten) {
  FakeProfile file;
  TSettings before = LoadSettings(file, kDefault);
  before.DefaultLinks[2].Enabled = false;
  before.DefaultLinks[13].Enabled = false;
  const TRSSLinkList custom =
      MakeList({{"https://新闻.example/rss?q=中文", true}, {"https://b.example/ü", false}, {"C", true}});
  TTickerFont font;
  font.Name = "微软雅黑";
  font.Size = 10;
  font.Bold = true;
  SaveConfiguration(file, 4, before.DefaultLinks, custom, font);
  SaveState(file, "https://新闻.example/rss?q=中文", 900000, custom);

  const TSettings after = LoadSettings(file, kDefault);
  EXPECT_TRUE(after.FileExists);
  EXPECT_EQ(after.Url, "https://新闻.example/rss?q=中文");
  EXPECT_EQ(after.LastConfigPage, 4);
  EXPECT_EQ(after.ReloadIntervalMs, 900000u);
  EXPECT_EQ(EnabledFlags(after.DefaultLinks), EnabledFlags(before.DefaultLinks));
  EXPECT_EQ(Urls(after.CustomLinks), Urls(custom));
  EXPECT_EQ(EnabledFlags(after.CustomLinks), EnabledFlags(custom));
  EXPECT_EQ(after.TickerFont, font);
}

// ---- Run value ------------------------------------------------------------------------------

class FakeRunKey final : public IRegistryValues {
 public:
  std::optional<std::string> ReadString(std::string_view name) override {
    if (name != kRunValueName) return std::nullopt;
    return value;
  }
  bool WriteString(std::string_view name, std::string_view v) override {
    log.push_back("write " + std::string(name) + "=" + std::string(v));
    value = std::string(v);
    return writable;
  }
  bool DeleteValue(std::string_view name) override {
    log.push_back("delete " + std::string(name));
    value.reset();
    return writable;
  }
  std::optional<std::string> value;
  std::vector<std::string> log;
  bool writable = true;
};

TEST(SettingsRun, AnyNonEmptyValueReadsAsOn) {
  const struct {
    std::optional<std::string> value;
    bool on;
  } cases[] = {
      {std::nullopt, false},
      {"", false},
      {"C:\\Marquelle\\marquelle.exe", true},
      {"\"C:\\Program Files\\Marquelle\\marquelle.exe\"", true},
      {" ", true},
  };
  for (const auto& c : cases) {
    FakeRunKey key;
    key.value = c.value;
    EXPECT_EQ(ReadStartAtLogOn(key), c.on) << c.value.value_or("(none)");
  }
}

TEST(SettingsRun, WritesTheQuotedPathOnlyWhenTheChoiceChanged) {
  const std::string exe = "C:\\Program Files\\Marquelle\\marquelle.exe";
  const struct {
    bool was, is;
    std::vector<std::string> log;
  } cases[] = {
      {false, false, {}},
      {true, true, {}},
      {false, true, {"write [Marquelle]=\"C:\\Program Files\\Marquelle\\marquelle.exe\""}},
      {true, false, {"delete [Marquelle]"}},
  };
  for (const auto& c : cases) {
    FakeRunKey key;
    EXPECT_TRUE(ApplyStartAtLogOn(key, c.was, c.is, exe));
    EXPECT_EQ(key.log, c.log) << c.was << c.is;
  }
  FakeRunKey refusing;
  refusing.writable = false;
  EXPECT_FALSE(ApplyStartAtLogOn(refusing, false, true, exe));
}

}  // namespace
}  // namespace mq
