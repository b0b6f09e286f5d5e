// The Windows failure report: a real modal message box with the text and one OK button,
// read back and closed by a watcher thread while the handler waits in it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/Utf.h"
#include "feeds/FeedFailure.h"
#include "feeds/uRSSHandler.h"

namespace mq {
namespace {

struct SeenBox {
  std::wstring caption;
  std::vector<std::wstring> texts;    // static controls with text
  std::vector<std::wstring> buttons;  // button captions
  std::vector<int> buttonIds;
  bool found = false;
};

std::wstring WindowText(HWND w) {
  wchar_t buf[512] = {};
  GetWindowTextW(w, buf, 512);
  return buf;
}

std::wstring ClassOf(HWND w) {
  wchar_t buf[64] = {};
  GetClassNameW(w, buf, 64);
  return buf;
}

// Waits (at most 10 s) for a dialog window of `threadId`, records what it shows, then presses
// its OK button.
void WatchAndClose(DWORD threadId, SeenBox& seen) {
  for (int tries = 0; tries < 200 && !seen.found; ++tries) {
    Sleep(50);
    HWND box = nullptr;
    EnumThreadWindows(
        threadId,
        [](HWND w, LPARAM p) -> BOOL {
          if (ClassOf(w) == L"#32770" && IsWindowVisible(w)) {
            *reinterpret_cast<HWND*>(p) = w;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&box));
    if (!box) continue;
    seen.found = true;
    seen.caption = WindowText(box);
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      const std::wstring cls = ClassOf(child);
      const std::wstring text = WindowText(child);
      if (_wcsicmp(cls.c_str(), L"Button") == 0) {
        seen.buttons.push_back(text);
        seen.buttonIds.push_back(GetDlgCtrlID(child));
      } else if (_wcsicmp(cls.c_str(), L"Static") == 0 && !text.empty()) {
        seen.texts.push_back(text);
      }
    }
    if (HWND ok = GetDlgItem(box, IDOK)) {
      SendMessageW(ok, BM_CLICK, 0, 0);
    } else {
      PostMessageW(box, WM_CLOSE, 0, 0);
    }
  }
}

TEST(FeedFailureWin, BrokenFeedShowsTheModalErrorBoxWithOneOkButton) {
  SeenBox seen;
  std::thread watcher(WatchAndClose, GetCurrentThreadId(), std::ref(seen));
  TRSSHandler handler;  // the platform's reporter: the message box
  handler.ClearItems();
  handler.LoadFromText(
      "<rss version=\"2.0\"><channel><item><title>a</title></item>"
      "<item><title>b</titel></item></channel></rss>");
  watcher.join();  // LoadFromText returned: the box was closed with its OK button

  ASSERT_TRUE(seen.found) << "no message box appeared";
  EXPECT_EQ(seen.caption, L"Error");
  ASSERT_EQ(seen.texts.size(), 1u);
  EXPECT_EQ(seen.texts[0], L"Error loading appropriate rss!");
  ASSERT_EQ(seen.buttonIds.size(), 1u);
  EXPECT_EQ(seen.buttonIds[0], IDOK);
  EXPECT_EQ(handler.Items().Count(), 0);  // the document did not parse
  EXPECT_EQ(handler.CurrentIndex(), -1);
}

TEST(FeedFailureWin, NonAsciiTextReachesTheBoxAsUtf16) {
  SeenBox seen;
  std::thread watcher(WatchAndClose, GetCurrentThreadId(), std::ref(seen));
  PlatformFailureReporter().ReportFailure("\xE6\x97\xA0\xE6\xB3\x95\xE5\x8A\xA0\xE8\xBD\xBD caf\xC3\xA9",
                                          "detail");
  watcher.join();
  ASSERT_TRUE(seen.found);
  ASSERT_EQ(seen.texts.size(), 1u);
  EXPECT_EQ(seen.texts[0], L"\u65E0\u6CD5\u52A0\u8F7D caf\u00E9");
}

TEST(FeedFailureWin, TextThatIsNotAFeedShowsNoBox) {
  TRSSHandler handler;
  handler.LoadFromText("<html><body>404</body></html>");
  handler.LoadFromText("");
  // No box is left open for this thread.
  HWND box = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM p) -> BOOL {
        if (ClassOf(w) == L"#32770") *reinterpret_cast<HWND*>(p) = w;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&box));
  EXPECT_EQ(box, nullptr);
}

}  // namespace
}  // namespace mq
