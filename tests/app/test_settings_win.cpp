// The settings through the real private-profile functions on real files, and the Run value
// in the real registry of the test prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/Settings_win.h"
#include "base/Utf.h"

namespace mq {
namespace {

std::string Bytes(const char* s) { return std::string(s); }

// A fresh folder under the temporary folder for each test.
class WinSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t tmp[MAX_PATH];
    const DWORD n = GetTempPathW(MAX_PATH, tmp);
    ASSERT_GT(n, 0u);
    static int counter = 0;
    dir_ = std::wstring(tmp, n) + L"marquelle-app-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter);
    ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr));
  }
  void TearDown() override {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir_ + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = fd.cFileName;
        if (name != L"." && name != L"..") DeleteFileW((dir_ + L"\\" + name).c_str());
      } while (FindNextFileW(h, &fd));
      FindClose(h);
    }
    RemoveDirectoryW(dir_.c_str());
  }

  std::string PathOf(const wchar_t* name) const { return FromWide(dir_ + L"\\" + name); }

  std::string Config() const { return PathOf(L"app.config"); }

  static void WriteRaw(const std::string& path, const std::string& bytes) {
    HANDLE h = CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr));
    CloseHandle(h);
  }

  static std::string ReadRaw(const std::string& path) {
    HANDLE h = CreateFileW(ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "(missing)";
    std::string out(65536, '\0');
    DWORD got = 0;
    ReadFile(h, out.data(), DWORD(out.size()), &got, nullptr);
    CloseHandle(h);
    out.resize(got);
    return out;
  }

  TSettings Load(const std::string& text) {
    WriteRaw(Config(), text);
    TWinProfileFile file(Config());
    return LoadSettings(file, DefaultFeedUrl());
  }

  std::wstring dir_;
};

TEST_F(WinSettings, ReloadTimeSevenAndZero) {
  EXPECT_EQ(Load("[Global]\r\nReload_Time=7\r\n").ReloadIntervalMs, 7u * 60000u);
  EXPECT_EQ(Load("[Global]\r\nReload_Time=0\r\n").ReloadIntervalMs, 0u);
  EXPECT_EQ(Load("[Global]\r\nReload_Time = 15 \r\n").ReloadIntervalMs, 15u * 60000u);
  EXPECT_EQ(Load("[Global]\r\nReload_Time=often\r\n").ReloadIntervalMs, 5u * 60000u);
}

TEST_F(WinSettings, DefaultUrlsDisabledZeroAndThirteen) {
  const TSettings s = Load("[Default Urls]\r\nDisabled=0,13\r\n");
  ASSERT_EQ(s.DefaultLinks.Count(), 14u);
  for (std::size_t i = 0; i < 14; ++i) EXPECT_EQ(s.DefaultLinks[i].Enabled, i != 0 && i != 13) << i;
}

TEST_F(WinSettings, CustomUrlsDisabledOneWithTwoAddresses) {
  const TSettings s = Load("[Custom Urls]\r\nDisabled=1\r\nUrl_0=A\r\nUrl_1=B\r\n");
  ASSERT_EQ(s.CustomLinks.Count(), 2u);
  EXPECT_EQ(s.CustomLinks[0].Url, "A");
  EXPECT_TRUE(s.CustomLinks[0].Enabled);
  EXPECT_EQ(s.CustomLinks[1].Url, "B");
  EXPECT_FALSE(s.CustomLinks[1].Enabled);
}

TEST_F(WinSettings, CustomSectionLinesAsThePlatformReportsThem) {
  // Comments and blank lines are not lines of the section; a line without "=" is a key
  // without a value; an address keeps every "=" after the first.
  const TSettings s = Load(
      "[Custom Urls]\r\nDisabled=\r\n; a comment\r\nUrl_0=https://a.example/?x=1&y=2\r\n\r\n"
      "novalue\r\nUrl_2 = https://c.example/ \r\n[Global]\r\nUrl_3=elsewhere\r\n");
  ASSERT_EQ(s.CustomLinks.Count(), 3u);
  EXPECT_EQ(s.CustomLinks[0].Url, "https://a.example/?x=1&y=2");
  EXPECT_EQ(s.CustomLinks[1].Url, "");
  EXPECT_EQ(s.CustomLinks[2].Url, "https://c.example/");
}

TEST_F(WinSettings, FontStyleValues) {
  const struct {
    const char* style;
    bool italic, bold;
  } cases[] = {{"10", true, false}, {"01", false, true}, {"11", true, true}, {"00", false, false}};
  for (const auto& c : cases) {
    const TTickerFont f =
        Load(std::string("[Global]\r\nTicker_Font_Name=Verdana\r\nTicker_Font_Size=10\r\n"
                         "Ticker_Font_Style=") +
             c.style + "\r\n")
            .TickerFont;
    EXPECT_EQ(f.Name, "Verdana");
    EXPECT_EQ(f.Size, 10);
    EXPECT_EQ(f.Italic, c.italic) << c.style;
    EXPECT_EQ(f.Bold, c.bold) << c.style;
  }
}

TEST_F(WinSettings, MissingFileGivesDefaultsAndIsNotCreatedByReading) {
  TWinProfileFile file(Config());
  const TSettings s = LoadSettings(file, DefaultFeedUrl());
  EXPECT_FALSE(s.FileExists);
  EXPECT_EQ(s.Url, DefaultFeedUrl());
  EXPECT_EQ(s.ReloadIntervalMs, 300000u);
  EXPECT_EQ(s.LastConfigPage, 0);
  EXPECT_TRUE(s.CustomLinks.Empty());
  EXPECT_EQ(s.TickerFont, TTickerFont{});
  EXPECT_EQ(ReadRaw(Config()), "(missing)");
}

TEST_F(WinSettings, EmptyUrlIsNotAnAbsentUrl) {
  const TSettings empty = Load("[Global]\r\nUrl=\r\n");
  EXPECT_TRUE(empty.FileExists);
  EXPECT_EQ(empty.Url, "");
  EXPECT_EQ(Load("[Global]\r\nReload_Time=5\r\n").Url, DefaultFeedUrl());
}

TEST_F(WinSettings, UnwritableFolderGivesUnableToWrite) {
  // Tests run as root under Wine, where a folder's permission bits do not stop writes; a
  // path whose parent is a plain file cannot be written by anyone.
  const std::string blocker = PathOf(L"not-a-folder");
  WriteRaw(blocker, "x");
  const std::string path = blocker + "\\app.config";
  ASSERT_FALSE(WritePrivateProfileStringW(L"Global", L"Url", L"x", ToWide(path).c_str()))
      << "the platform accepted the write: this test would prove nothing";

  TWinProfileFile file(path);
  TRSSLinkList custom;
  custom.Add("https://a.example/", true);
  try {
    SaveState(file, "https://cur.example/", 300000, custom);
    FAIL() << "no error";
  } catch (const ESettingsWriteError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
  }
  EXPECT_THROW(SaveConfiguration(file, 1, TRSSLinkList{}, custom, TTickerFont{}), ESettingsWriteError);
  EXPECT_EQ(ReadRaw(blocker), "x");
}

TEST_F(WinSettings, HandEditedUserSectionKeepsOneCopyAcrossExits) {
  WriteRaw(Config(),
           "[Global]\r\nUrl=https://cur.example/\r\n"
           "[Custom Urls]\r\nDisabled=1\r\nUrl_0=https://a.example/\r\nmine=https://b.example/\r\n");
  for (int exit = 0; exit < 3; ++exit) {
    TWinProfileFile file(Config());
    const TSettings s = LoadSettings(file, DefaultFeedUrl());
    SaveState(file, s.Url, s.ReloadIntervalMs, s.CustomLinks);
  }
  TWinProfileFile file(Config());
  EXPECT_EQ(
      file.ReadSectionLines("Custom Urls"),
      (std::vector<std::string>{"Disabled=1", "Url_0=https://a.example/", "Url_1=https://b.example/"}));
  EXPECT_EQ(file.ReadString("Global", "Url", ""), "https://cur.example/");
}

TEST_F(WinSettings, EveryCharacterSurvivesExitAndRestart) {
  const std::string url = "https://新闻.example/rss?q=中文&é=1";
  TRSSLinkList defaults;
  for (const auto& u : BuiltInFeedUrls()) defaults.Add(u, true);
  defaults[5].Enabled = false;
  TRSSLinkList custom;
  custom.Add("https://例え.jp/フィード", true);
  custom.Add("https://emoji.example/😀/ß", false);
  TTickerFont font;
  font.Name = "微软雅黑";
  font.Size = 9;
  font.Italic = true;
  {
    TWinProfileFile file(Config());
    SaveConfiguration(file, 2, defaults, custom, font);
    SaveState(file, url, 600000, custom);
  }
  const std::string raw = ReadRaw(Config());
  ASSERT_GE(raw.size(), 2u);
  EXPECT_EQ(raw.substr(0, 2), Bytes("\xFF\xFE"));

  // The platform itself reads the characters back from the file.
  wchar_t buf[128];
  const DWORD n =
      GetPrivateProfileStringW(L"Global", L"Ticker_Font_Name", L"", buf, 128, ToWide(Config()).c_str());
  EXPECT_EQ(std::wstring(buf, n), L"\x5FAE\x8F6F\x96C5\x9ED1");

  TWinProfileFile again(Config());
  const TSettings s = LoadSettings(again, DefaultFeedUrl());
  EXPECT_TRUE(s.FileExists);
  EXPECT_EQ(s.Url, url);
  EXPECT_EQ(s.ReloadIntervalMs, 600000u);
  EXPECT_EQ(s.LastConfigPage, 2);
  EXPECT_FALSE(s.DefaultLinks[5].Enabled);
  ASSERT_EQ(s.CustomLinks.Count(), 2u);
  EXPECT_EQ(s.CustomLinks[0].Url, "https://例え.jp/フィード");
  EXPECT_TRUE(s.CustomLinks[0].Enabled);
  EXPECT_EQ(s.CustomLinks[1].Url, "https://emoji.example/😀/ß");
  EXPECT_FALSE(s.CustomLinks[1].Enabled);
  EXPECT_EQ(s.TickerFont, font);
}

TEST_F(WinSettings, FileWithoutMarkIsBroughtToUtf16AndKeepsItsText) {
  const struct {
    const char* bytes;  // the file as an editor or an older version left it
    const char* font;   // what must be read from it
  } cases[] = {
      {"[Global]\r\nTicker_Font_Name=\xE5\xAE\x8B\xE4\xBD\x93\r\n", "宋体"},              // UTF-8
      {"\xEF\xBB\xBF[Global]\r\nTicker_Font_Name=\xE5\xAE\x8B\xE4\xBD\x93\r\n", "宋体"},  // UTF-8 mark
      {"\xEF\xBB\xBF[Global]\r\nTicker_Font_Name=Tahoma Bold\r\n", "Tahoma Bold"},
      {"[Global]\r\nTicker_Font_Name=Caf\xE9\r\n", "Café"},  // not UTF-8: the ANSI code page (1252 here)
      {"[Global]\r\nTicker_Font_Name=Arial\r\n", "Arial"},
  };
  for (const auto& c : cases) {
    WriteRaw(Config(), c.bytes);
    {
      TWinProfileFile file(Config());
      EXPECT_EQ(LoadSettings(file, DefaultFeedUrl()).TickerFont.Name, c.font) << c.bytes;
      SaveState(file, "https://x.example/", 300000, TRSSLinkList{});
    }
    EXPECT_EQ(ReadRaw(Config()).substr(0, 2), Bytes("\xFF\xFE")) << c.bytes;
    TWinProfileFile after(Config());
    const TSettings s = LoadSettings(after, DefaultFeedUrl());
    EXPECT_EQ(s.TickerFont.Name, c.font) << c.bytes;
    EXPECT_EQ(s.Url, "https://x.example/");
  }
}

// ---- registry --------------------------------------------------------------------------

std::optional<std::wstring> RawValue(HKEY root, const wchar_t* subKey, const wchar_t* name) {
  wchar_t buf[1024];
  DWORD size = sizeof buf;
  DWORD type = 0;
  if (RegGetValueW(root, subKey, name, RRF_RT_ANY, &type, buf, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(buf);
}

constexpr wchar_t kRunPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

TEST(WinRunValue, WrittenQuotedInTheUsersRunKeyAndDeleted) {
  RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunPath, L"[Marquelle]");
  auto key = RunKey();
  ASSERT_FALSE(ReadStartAtLogOn(key));

  const std::string exe = ExecutablePath();
  ASSERT_TRUE(ApplyStartAtLogOn(key, false, true, exe));
  EXPECT_EQ(RawValue(HKEY_CURRENT_USER, kRunPath, L"[Marquelle]"), L"\"" + ToWide(exe) + L"\"");
  EXPECT_TRUE(ReadStartAtLogOn(key));

  ASSERT_TRUE(ApplyStartAtLogOn(key, true, false, exe));
  EXPECT_FALSE(RawValue(HKEY_CURRENT_USER, kRunPath, L"[Marquelle]").has_value());
  EXPECT_FALSE(ReadStartAtLogOn(key));
}

TEST(WinRunValue, ValuesOfEarlierVersionsAndOtherProgramsRead) {
  const struct {
    const wchar_t* value;
    bool on;
  } cases[] = {
      {L"C:\\Program Files\\Marquelle\\marquelle.exe", true},  // unquoted, as older versions wrote it
      {L"\"C:\\Marquelle\\marquelle.exe\"", true},
      {L"", false},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kRunPath, L"[Marquelle]", REG_SZ, c.value,
                              DWORD((wcslen(c.value) + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    auto key = RunKey();
    EXPECT_EQ(ReadStartAtLogOn(key), c.on) << FromWide(c.value);
  }
  const DWORD number = 1;
  ASSERT_EQ(
      RegSetKeyValueW(HKEY_CURRENT_USER, kRunPath, L"[Marquelle]", REG_DWORD, &number, sizeof number),
      ERROR_SUCCESS);
  auto key = RunKey();
  EXPECT_FALSE(ReadStartAtLogOn(key));
  RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunPath, L"[Marquelle]");
}

TEST(WinRunValue, AMissingKeyIsNotCreated) {
  const wchar_t* path = L"Software\\Marquelle-tests\\NoSuchRunKey";
  RegDeleteKeyW(HKEY_CURRENT_USER, path);
  TWinRegistryValues key(HKEY_CURRENT_USER, FromWide(path));
  EXPECT_FALSE(ReadStartAtLogOn(key));
  EXPECT_FALSE(ApplyStartAtLogOn(key, false, true, "C:\\x.exe"));
  EXPECT_FALSE(ApplyStartAtLogOn(key, true, false, "C:\\x.exe"));
  HKEY opened = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &opened), ERROR_SUCCESS);
  if (opened) RegCloseKey(opened);
}

TEST(WinPaths, ConfigFileBesideTheRunningExecutable) {
  const std::string exe = ExecutablePath();
  ASSERT_TRUE(exe.ends_with("app_win_tests.exe")) << exe;
  const std::string config = ConfigFileFor(exe);
  EXPECT_EQ(config, exe.substr(0, exe.size() - std::string("app_win_tests.exe").size()) + "app.config");
}

}  // namespace
}  // namespace mq
