// e2e_probe: looks at the screen the way a user does, for the end-to-end test of
// marquelle.exe. It finds the program's bar among the top-level windows and finds texts in
// the pixels of the screen, by drawing the expected text with the same font and colour into
// a bitmap and searching the captured bar for that picture.
//
//   e2e_probe bar TIMEOUT_MS                 -> "bar L T R B" of the visible bar window
//   e2e_probe ticker TEXT TIMEOUT_MS         -> "found MS" when TEXT scrolls through the ticker
//   e2e_probe title TEXT TIMEOUT_MS          -> "found MS" when the feed title shows TEXT
//   e2e_probe shot FILE.bmp                  -> the bar's pixels as a bitmap file
// Exit status 0 when found, 1 when not (with "missing"), 2 for bad arguments.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/Utf.h"
#include "gui/Graphics_win.h"

namespace {

using Pixels = std::vector<std::uint32_t>;  // 0x00RRGGBB, top-down

constexpr wchar_t kTitle[] = L"Marquelle v0.93";

HWND FindBar() {
  struct Search {
    HWND found = nullptr;
  } search;
  ::EnumWindows(
      [](HWND h, LPARAM p) -> BOOL {
        wchar_t text[64] = {};
        ::GetWindowTextW(h, text, 64);
        RECT r{};
        ::GetWindowRect(h, &r);
        if (std::wstring(text) == kTitle && ::IsWindowVisible(h) && r.right - r.left > 100 &&
            r.bottom - r.top > 0) {
          reinterpret_cast<Search*>(p)->found = h;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForBar(DWORD timeout) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (HWND h = FindBar()) return h;
    if (::GetTickCount() - start > timeout) return nullptr;
    ::Sleep(100);
  }
}

BITMAPINFO TopDown32(int w, int h) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  return bi;
}

Pixels Capture(HDC source, int x, int y, int w, int h) {
  BITMAPINFO bi = TopDown32(w, h);
  void* bits = nullptr;
  HDC mem = ::CreateCompatibleDC(source);
  HBITMAP bmp = ::CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(mem, bmp);
  ::BitBlt(mem, 0, 0, w, h, source, x, y, SRCCOPY);
  ::GdiFlush();
  Pixels out(static_cast<const std::uint32_t*>(bits),
             static_cast<const std::uint32_t*>(bits) + size_t(w) * h);
  ::SelectObject(mem, old);
  ::DeleteObject(bmp);
  ::DeleteDC(mem);
  for (auto& p : out) p &= 0xFFFFFF;
  return out;
}

struct Look {
  const char* fontName;
  int size;
  bool bold;
  COLORREF color;       // $00BBGGRR
  COLORREF background;  // what the text is drawn on for the reference picture
  // Pixels surely of the text, and pixels that may be its smoothed edge (they decide the
  // text's box).
  bool (*strong)(std::uint32_t rgb);
  bool (*weak)(std::uint32_t rgb);
};

int R(std::uint32_t p) { return (p >> 16) & 255; }
int G(std::uint32_t p) { return (p >> 8) & 255; }
int B(std::uint32_t p) { return p & 255; }

// The ticker's text colour $00E6F5FF on its dark background.
bool TickerStrong(std::uint32_t p) { return R(p) + G(p) + B(p) > 3 * 200; }
bool TickerWeak(std::uint32_t p) { return R(p) + G(p) + B(p) > 3 * 100; }
// The title's yellow $00A8FDF7 over the grey tile.
bool TitleStrong(std::uint32_t p) { return R(p) > 215 && G(p) > 215 && R(p) - B(p) > 55; }
bool TitleWeak(std::uint32_t p) { return R(p) > 140 && G(p) > 140 && R(p) - B(p) > 20; }

const Look kTicker{"Tahoma", 8, false, 0x00E6F5FF, 0x003C3028, &TickerStrong, &TickerWeak};
const Look kTitleLook{"Tahoma", 8, true, 0x00A8FDF7, 0x007F786B, &TitleStrong, &TitleWeak};

// The text as the program draws it, as a mask of "on" pixels cropped to its ink.
struct Mask {
  int w = 0, h = 0;
  std::vector<int> level;  // brightness 0 .. 765 of each pixel
  int inkCount = 0;        // pixels surely of the text
};

int Level(std::uint32_t p) { return R(p) + G(p) + B(p); }

Mask Reference(const std::string& text, const Look& look) {
  mq::TFont font;
  font.SetName(look.fontName);
  font.SetSize(look.size);
  font.SetCharset(134);
  font.SetStyle(look.bold ? mq::fsBold : 0);
  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  const std::wstring wide = mq::ToWide(text);
  HGDIOBJ oldFont = ::SelectObject(mem, font.Handle());
  SIZE size{};
  ::GetTextExtentPoint32W(mem, wide.c_str(), int(wide.size()), &size);
  const int w = size.cx + 4, h = size.cy + 4;
  BITMAPINFO bi = TopDown32(w, h);
  void* bits = nullptr;
  HBITMAP bmp = ::CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ oldBmp = ::SelectObject(mem, bmp);
  HBRUSH brush = ::CreateSolidBrush(look.background);
  RECT all{0, 0, w, h};
  ::FillRect(mem, &all, brush);
  ::DeleteObject(brush);
  ::SetBkMode(mem, TRANSPARENT);
  ::SetTextColor(mem, look.color);
  ::TextOutW(mem, 2, 2, wide.c_str(), int(wide.size()));
  ::GdiFlush();
  const auto* px = static_cast<const std::uint32_t*>(bits);
  int x0 = w, y0 = h, x1 = -1, y1 = -1;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (look.weak(px[y * w + x] & 0xFFFFFF)) {
        x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
      }
  Mask m;
  if (x1 >= 0) {
    m.w = x1 - x0 + 1;
    m.h = y1 - y0 + 1;
    m.level.resize(size_t(m.w) * m.h);
    for (int y = 0; y < m.h; ++y)
      for (int x = 0; x < m.w; ++x) {
        const std::uint32_t p = px[(y + y0) * w + x + x0] & 0xFFFFFF;
        m.level[size_t(y) * m.w + x] = Level(p);
        m.inkCount += look.strong(p);
      }
  }
  ::SelectObject(mem, oldBmp);
  ::SelectObject(mem, oldFont);
  ::DeleteObject(bmp);
  ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
  return m;
}

// The fewest differing pixels over every place of the mask in the picture: pixels whose
// brightness is far from the text's picture there. The smoothed edges of the text, which
// mix with what lies under it, and the background under a transparent title stay within
// the margin; a glyph that is not the expected one does not.
constexpr int kLevelMargin = 3 * 90;

int BestDifference(const Pixels& pic, int W, int H, const Mask& m) {
  int best = m.w * m.h;
  if (m.inkCount == 0 || m.w > W || m.h > H) return best;
  std::vector<int> level(pic.size());
  for (size_t i = 0; i < pic.size(); ++i) level[i] = Level(pic[i]);
  for (int y = 0; y + m.h <= H; ++y)
    for (int x = 0; x + m.w <= W; ++x) {
      int diff = 0;
      for (int j = 0; j < m.h && diff < best; ++j) {
        const size_t row = size_t(y + j) * W + x, mrow = size_t(j) * m.w;
        for (int i = 0; i < m.w; ++i)
          diff += std::abs(m.level[mrow + i] - level[row + i]) > kLevelMargin;
      }
      best = std::min(best, diff);
    }
  return best;
}

// A text is on screen when its picture differs in at most this many pixels: a few for the
// smoothed edges, far fewer than one glyph has.
int Tolerance(const Mask& m) { return 2 + m.w * m.h / 600; }

int FindText(const std::string& text, const Look& look, DWORD timeout) {
  const DWORD start = ::GetTickCount();
  const Mask mask = Reference(text, look);
  if (mask.inkCount == 0) {
    std::printf("no ink for the text\n");
    return 2;
  }
  HWND bar = WaitForBar(timeout);
  if (!bar) {
    std::printf("missing bar\n");
    return 1;
  }
  HDC screen = ::GetDC(nullptr);
  int result = 1;
  int closest = mask.w * mask.h;
  for (;;) {
    RECT r{};
    ::GetWindowRect(bar, &r);
    const int W = r.right - r.left, H = r.bottom - r.top;
    const int diff =
        W > 0 && H > 0 ? BestDifference(Capture(screen, r.left, r.top, W, H), W, H, mask) : closest;
    closest = std::min(closest, diff);
    if (diff <= Tolerance(mask)) {
      std::printf("found %lu (%d pixels of %d differ)\n",
                  static_cast<unsigned long>(::GetTickCount() - start), diff, mask.w * mask.h);
      result = 0;
      break;
    }
    if (::GetTickCount() - start > timeout) {
      std::printf("missing (closest: %d pixels of %d differ)\n", closest, mask.w * mask.h);
      break;
    }
    ::Sleep(60);
  }
  ::ReleaseDC(nullptr, screen);
  return result;
}

int Shot(const char* file) {
  HWND bar = FindBar();
  if (!bar) return 1;
  RECT r{};
  ::GetWindowRect(bar, &r);
  const int W = r.right - r.left, H = r.bottom - r.top;
  HDC screen = ::GetDC(nullptr);
  Pixels p = Capture(screen, r.left, r.top, W, H);
  ::ReleaseDC(nullptr, screen);
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih = TopDown32(W, H).bmiHeader;
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof ih;
  fh.bfSize = fh.bfOffBits + DWORD(p.size() * 4);
  std::FILE* f = std::fopen(file, "wb");
  if (!f) return 2;
  std::fwrite(&fh, sizeof fh, 1, f);
  std::fwrite(&ih, sizeof ih, 1, f);
  std::fwrite(p.data(), 4, p.size(), f);
  std::fclose(f);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  ::SetProcessDPIAware();
  const std::string cmd = argc > 1 ? argv[1] : "";
  if (cmd == "bar" && argc == 3) {
    HWND h = WaitForBar(std::strtoul(argv[2], nullptr, 10));
    if (!h) {
      std::printf("missing\n");
      return 1;
    }
    RECT r{};
    ::GetWindowRect(h, &r);
    const bool topmost = (::GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    std::printf("bar %ld %ld %ld %ld%s\n", r.left, r.top, r.right, r.bottom, topmost ? " topmost" : "");
    return 0;
  }
  if ((cmd == "ticker" || cmd == "title") && argc == 4) {
    // The text comes as UTF-8 bytes from the command line, which the C runtime passes
    // through the ANSI code page; take it from the wide command line instead.
    int n = 0;
    LPWSTR* wargv = ::CommandLineToArgvW(::GetCommandLineW(), &n);
    const std::string text = n > 2 ? mq::FromWide(wargv[2]) : argv[2];
    ::LocalFree(wargv);
    return FindText(text, cmd == "ticker" ? kTicker : kTitleLook, std::strtoul(argv[3], nullptr, 10));
  }
  if (cmd == "shot" && argc == 3) return Shot(argv[2]);
  std::fprintf(stderr, "usage: e2e_probe bar MS | ticker TEXT MS | title TEXT MS | shot FILE\n");
  return 2;
}
