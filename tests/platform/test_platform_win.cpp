// Proves the road from the cross-build to the real Windows API under the test runner:
// these calls go to Wine's kernel32 and user32, not to stand-ins.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring TempFilePath(const wchar_t* name) {
  wchar_t dir[MAX_PATH];
  DWORD len = GetTempPathW(MAX_PATH, dir);
  EXPECT_GT(len, 0u);
  return std::wstring(dir, len) + name;
}

}  // namespace

TEST(Platform, ProfileStringRoundTripsThroughARealFile) {
  const std::wstring path = TempFilePath(L"marquelle-platform-test.ini");
  DeleteFileW(path.c_str());
  ASSERT_TRUE(WritePrivateProfileStringW(L"Global", L"Key", L"value 42", path.c_str()));
  wchar_t buf[64] = {};
  DWORD n = GetPrivateProfileStringW(L"Global", L"Key", L"", buf, 64, path.c_str());
  EXPECT_EQ(std::wstring(buf, n), L"value 42");
  n = GetPrivateProfileStringW(L"Global", L"Missing", L"fallback", buf, 64, path.c_str());
  EXPECT_EQ(std::wstring(buf, n), L"fallback");
  EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST(Platform, Utf8ConvertsToUtf16AndBack) {
  const char utf8[] = "3/25 \xE6\x96\xB0\xE9\x97\xBB";  // "3/25 新闻"
  wchar_t wide[32];
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 32);
  ASSERT_EQ(n, 8);
  EXPECT_EQ(wide[5], 0x65B0);
  char back[32];
  int m = WideCharToMultiByte(CP_UTF8, 0, wide, -1, back, 32, nullptr, nullptr);
  EXPECT_EQ(std::string(back, m - 1), utf8);
}

TEST(Platform, TestsRunInsideAVirtualDesktopWithAScreen) {
  HWND desktop = GetDesktopWindow();
  ASSERT_NE(desktop, nullptr);
  RECT rc{};
  ASSERT_TRUE(GetWindowRect(desktop, &rc));
  EXPECT_EQ(rc.right - rc.left, 1024);
  EXPECT_EQ(rc.bottom - rc.top, 768);
}
