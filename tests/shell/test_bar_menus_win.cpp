// The gradient-bar menu under Wine: items and separators painted into memory bitmaps and
// checked pixel by pixel in both looks, the bar image painted once and reused, and real
// popups that leave the number of live GDI objects where it was.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "gui/Forms_win.h"
#include "gui/Gdi_win.h"
#include "shell/BarMenus_win.h"
#include "shell/BcDrawModule_win.h"
#include "tests/support/Painted_win.h"

namespace mq {
namespace {

using test::PixelAt;

TColor Sys(TColor c) { return ColorToRgb(c); }

// How many pixels of `color` lie in the rectangle of a painted bitmap.
int CountColor(const TBitmap& b, const RECT& r, TColor color) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) n += PixelAt(b, x, y) == color;
  return n;
}

// Text is drawn smoothed: its pixels are near its colour rather than on it.
bool Near(TColor a, TColor b, int tolerance = 48) {
  return std::abs(int(RedOf(a)) - int(RedOf(b))) <= tolerance &&
         std::abs(int(GreenOf(a)) - int(GreenOf(b))) <= tolerance &&
         std::abs(int(BlueOf(a)) - int(BlueOf(b))) <= tolerance;
}

// The leftmost and rightmost columns in `r` holding a pixel near `color` (-1 when none).
std::pair<int, int> ColumnsOf(const TBitmap& b, const RECT& r, TColor color, int tolerance = 48) {
  int first = -1, last = -1;
  for (int x = r.left; x < r.right; ++x)
    for (int y = r.top; y < r.bottom; ++y)
      if (Near(PixelAt(b, x, y), color, tolerance)) {
        if (first < 0) first = x;
        last = x;
        break;
      }
  return {first, last};
}

int CountNear(const TBitmap& b, const RECT& r, TColor color, int tolerance = 48) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) n += Near(PixelAt(b, x, y), color, tolerance);
  return n;
}

class BarMenu : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Application().Initialize();
    RegisterShellMenuClasses();
  }
  void SetUp() override {
    menu_.reset(new TBcBarPopupMenu(nullptr));
    menu_->SetAutoPopup(false);
  }
  TMenuItem& AddItem(const std::string& caption, TMenuItem* parent = nullptr) {
    auto* item = new TMenuItem(nullptr);
    item->SetCaption(caption);
    (parent ? *parent : menu_->Items()).Add(item);
    return *item;
  }
  // One item painted by the item painter (or the separator painter) into a fresh bitmap.
  TBitmap Paint(const TMenuItem& item, TOwnerDrawState state, int width = 200, int height = 20) {
    TBitmap b(width, height);
    b.Canvas().BrushColor = clFuchsia;
    b.Canvas().FillRect(RECT{0, 0, width, height});
    b.Canvas().Font.SetName("Tahoma");
    b.Canvas().Font.SetHeight(-11);
    const RECT r{0, 0, width, height};
    if (item.IsLine())
      PaintSeparator(*menu_, item, b.Canvas(), r);
    else
      PaintMenuItem(*menu_, item, b.Canvas(), r, state);
    ::GdiFlush();
    return b;
  }
  Owned<TBcBarPopupMenu> menu_;
};

const TBcMenuStyle kLooks[] = {msWindowsXP, msStandard};

TEST_F(BarMenu, SelectedAndPlainItemsFillWithTheirColours) {
  TMenuItem& item = AddItem("Harbour");
  for (TBcMenuStyle look : kLooks) {
    menu_->SetMenuStyle(look);
    const TBitmap plain = Paint(item, 0);
    const TBitmap selected = Paint(item, odSelected);
    EXPECT_EQ(PixelAt(plain, 150, 10), Sys(clMenu)) << look;
    EXPECT_EQ(PixelAt(selected, 150, 10), Sys(clHighlight)) << look;
    EXPECT_EQ(CountColor(plain, RECT{0, 0, 200, 20}, clFuchsia), 0) << look;
    EXPECT_GT(CountColor(plain, RECT{0, 0, 200, 20}, Sys(clMenuText)), 10) << look;
    EXPECT_GT(CountColor(selected, RECT{0, 0, 200, 20}, Sys(clHighlightText)), 10) << look;
  }
}

TEST_F(BarMenu, DisabledItemIsEmbossed) {
  TMenuItem& item = AddItem("Harbour");
  item.SetEnabled(false);
  const RECT text{20, 0, 200, 20};
  for (TBcMenuStyle look : kLooks) {
    menu_->SetMenuStyle(look);
    const TBitmap b = Paint(item, odGrayed | odDisabled);
    EXPECT_GT(CountNear(b, text, Sys(clBtnShadow), 12), 5) << look;
    EXPECT_EQ(CountNear(b, text, Sys(clMenuText), 40), 0) << look;
    // Selected, it is drawn flat in the shadow colour on the highlight.
    const TBitmap s = Paint(item, odSelected | odGrayed);
    EXPECT_GT(CountNear(s, text, Sys(clBtnShadow), 12), 5) << look;
    EXPECT_EQ(CountNear(s, text, Sys(clHighlightText), 40), 0) << look;
  }
  // The text routine on a background of its own shows the light copy one pixel right and
  // down of the shadow (on the menu's colour it may be invisible: Wine's menus are white).
  TBitmap b(120, 20);
  b.Canvas().BrushColor = clFuchsia;
  b.Canvas().FillRect(RECT{0, 0, 120, 20});
  SelectGuard font(b.Dc(), b.Canvas().Font.Handle());
  RECT r{2, 2, 118, 18};
  DrawMenuItemText(b.Canvas(), item, L"Harbour", r, DT_SINGLELINE, false, false);
  ::GdiFlush();
  const auto light = ColumnsOf(b, RECT{0, 0, 120, 20}, Sys(clBtnHighlight));
  const auto shadow = ColumnsOf(b, RECT{0, 0, 120, 20}, Sys(clBtnShadow));
  ASSERT_GE(light.first, 0);
  ASSERT_GE(shadow.first, 0);
  EXPECT_EQ(light.first, shadow.first + 1);
  EXPECT_EQ(light.second, shadow.second + 1);
}

TEST_F(BarMenu, CheckedAndRadioItemsShowTheirMarks) {
  TMenuItem& check = AddItem("Checked");
  check.SetChecked(true);
  TMenuItem& radio = AddItem("Radio");
  radio.SetChecked(true);
  radio.SetRadioItem(true);
  // The radio mark is the program's own bitmap: as many button-text pixels as it has black ones.
  HBITMAP mark = ::LoadBitmapW(::GetModuleHandleW(nullptr), L"BCRADIOITEM");
  ASSERT_NE(mark, nullptr) << "the BCRADIOITEM resource is linked in";
  TBitmap markCopy(16, 16);
  {
    HDC src = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(src, mark);
    ::BitBlt(markCopy.Dc(), 0, 0, 16, 16, src, 0, 0, SRCCOPY);
    ::SelectObject(src, old);
    ::DeleteDC(src);
    ::DeleteObject(mark);
    ::GdiFlush();
  }
  const int dotPixels = CountColor(markCopy, RECT{0, 0, 16, 16}, clBlack);
  ASSERT_GT(dotPixels, 20);
  for (TBcMenuStyle look : kLooks) {
    menu_->SetMenuStyle(look);
    const RECT glyph{0, 0, 13, 20};  // the glyph box, before the caption
    const TBitmap checked = Paint(check, 0);
    const TBitmap radioed = Paint(radio, 0);
    EXPECT_GT(CountColor(checked, glyph, Sys(clBtnText)), 5) << look;
    EXPECT_EQ(CountColor(radioed, glyph, Sys(clBtnText)), dotPixels) << look;
  }
}

TEST_F(BarMenu, ImagesAndBitmapsAreDrawnInTheGlyphColumn) {
  TImageList images(nullptr, 16, 16);
  TBitmap red(16, 16);
  red.Canvas().BrushColor = clRed;
  red.Canvas().FillRect(RECT{0, 0, 16, 16});
  ASSERT_EQ(images.AddMasked(red, clFuchsia), 0);
  menu_->SetImages(&images);
  TMenuItem& withImage = AddItem("Image");
  withImage.SetImageIndex(0);
  TMenuItem& withBitmap = AddItem("Bitmap");
  TBitmap green(8, 8);
  green.Canvas().BrushColor = clLime;
  green.Canvas().FillRect(RECT{0, 0, 8, 8});
  withBitmap.SetBitmap(green);
  for (TBcMenuStyle look : kLooks) {
    menu_->SetMenuStyle(look);
    const TBitmap a = Paint(withImage, 0, 200, 22);
    EXPECT_EQ(CountColor(a, RECT{0, 0, 24, 22}, clRed), 256) << look;
    const TBitmap b = Paint(withBitmap, 0, 200, 22);
    // The 8 x 8 picture is centred in the 16 x 16 glyph box, not stretched over it.
    EXPECT_EQ(CountColor(b, RECT{0, 0, 24, 22}, clLime), 64) << look;
  }
  menu_->SetImages(nullptr);
}

TEST_F(BarMenu, WindowsKeyShortcutIsWrittenWinPlusBeforeTheRightEdge) {
  TMenuItem& plain = AddItem("Run");
  plain.SetShortCut(ShortCut('R', scCtrl));
  TMenuItem& win = AddItem("Run");
  win.SetShortCut(ShortCut('R', scCtrl | scWin));
  for (TBcMenuStyle look : kLooks) {
    menu_->SetMenuStyle(look);
    const RECT keys{100, 0, 200, 20};
    const auto p = ColumnsOf(Paint(plain, 0), keys, Sys(clMenuText), 110);
    const auto w = ColumnsOf(Paint(win, 0), keys, Sys(clMenuText), 110);

    ASSERT_GE(p.first, 0);
    EXPECT_LE(p.second, 200 - 1 - 10) << "right-aligned 10 pixels before the item's end";
    EXPECT_NEAR(w.second, p.second, 1);
    EXPECT_LT(w.first, p.first - 15) << "\"Win+\" stands in front";
  }
}

TEST_F(BarMenu, AmpersandInACaptionIsDrawnAsItself) {
  // A feed address with a query string: drawn with prefix processing, the '&' would vanish.
  TMenuItem& withAmp = AddItem("A&B");
  TMenuItem& without = AddItem("AB");
  const RECT text{20, 0, 200, 20};
  const auto a = ColumnsOf(Paint(withAmp, 0), text, Sys(clMenuText));
  const auto b = ColumnsOf(Paint(without, 0), text, Sys(clMenuText));
  EXPECT_GT((a.second - a.first) - (b.second - b.first), 3);
  EXPECT_EQ(withAmp.Caption(), "A&B");
}

TEST_F(BarMenu, RightToLeftMenusDrawCaptionsAtTheRight) {
  TMenuItem& item = AddItem("Harbour");
  const RECT all{0, 0, 200, 20};
  const auto ltr = ColumnsOf(Paint(item, 0), all, Sys(clMenuText));
  menu_->SetRightToLeft(true);
  const auto rtl = ColumnsOf(Paint(item, 0), all, Sys(clMenuText));
  EXPECT_LT(ltr.second, 100);
  EXPECT_GT(rtl.first, 100);
}

TEST_F(BarMenu, CaptionSeparatorIsAGradientStripWithItsHint) {
  TMenuItem& sep = AddItem("-");
  sep.SetHint("Feeds");
  TBcSeparators& s = menu_->Separators();
  s.SetGradientStart(clSilver);
  s.SetGradientEnd(clGray);
  s.SetGradientStyle(gsVertical);
  s.SeparatorStyle = ssCaption;
  s.UseSystemFont = false;
  s.Font.SetName("Arial");
  s.Font.SetHeight(-11);
  s.Font.SetStyle(fsBold);
  s.Font.SetColor(clYellow);
  const TBitmap b = Paint(sep, 0, 200, 14);
  EXPECT_EQ(PixelAt(b, 2, 0), clSilver) << "the start colour is at the top";
  EXPECT_EQ(PixelAt(b, 2, 13), GradientColorAt(gsVertical, clSilver, clGray, 0, 13, 200, 14));
  const auto text = ColumnsOf(b, RECT{0, 0, 200, 14}, clYellow);
  ASSERT_GE(text.first, 0);
  EXPECT_NEAR((text.first + text.second) / 2, 100, 6) << "centred";
  // Disabled, it is a plain separator: no strip, no text.
  sep.SetEnabled(false);
  const TBitmap d = Paint(sep, 0, 200, 14);
  EXPECT_EQ(PixelAt(d, 2, 0), Sys(clMenu));
  EXPECT_EQ(CountNear(d, RECT{0, 0, 200, 14}, clYellow), 0);
}

TEST_F(BarMenu, FadedSeparatorLines) {
  TMenuItem& sep = AddItem("-");
  TBcSeparators& s = menu_->Separators();
  s.Fade = true;
  s.FadeWidth = 72;
  s.FadeColor = clBlack;
  // Long enough: the middle of the shadow row reaches the colour, the ends keep the menu's.
  const TBitmap longLine = Paint(sep, 0, 300, 9);
  EXPECT_EQ(PixelAt(longLine, 150, 4), clBlack);
  EXPECT_EQ(PixelAt(longLine, 0, 4), Sys(clMenu));
  EXPECT_EQ(PixelAt(longLine, 150, 5), Sys(clBtnHighlight)) << "the light row under the shadow";
  // Shorter than 2 x 72 pixels: still blending at the middle.
  const TBitmap shortLine = Paint(sep, 0, 140, 9);
  EXPECT_EQ(CountColor(shortLine, RECT{0, 4, 140, 5}, clBlack), 0);
  // Flat lines: the shadow row only.
  s.FlatLines = true;
  const TBitmap flat = Paint(sep, 0, 300, 9);
  EXPECT_EQ(PixelAt(flat, 150, 4), clBlack);
  EXPECT_EQ(PixelAt(flat, 150, 5), Sys(clMenu));
}

// The framework's path without a popup window: measuring, then drawing every item into one
// bitmap the way the platform's messages do.
// The command number of the item at `position` of a platform menu.
UINT IdAt(HMENU menu, int position) {
  MENUITEMINFOW mii{};
  mii.cbSize = sizeof mii;
  mii.fMask = MIIM_ID;
  ::GetMenuItemInfoW(menu, UINT(position), TRUE, &mii);
  return mii.wID;
}

class BarMenuShowing : public BarMenu {
 protected:
  void Measure() {
    HMENU h = menu_->Handle();
    for (int i = 0; i < ::GetMenuItemCount(h); ++i) {
      MEASUREITEMSTRUCT mis{};
      mis.CtlType = ODT_MENU;
      mis.itemID = IdAt(h, i);
      menu_->MeasureItem(mis);
      heights_.push_back(int(mis.itemHeight));
    }
  }
  void DrawAll(TBitmap& target) {
    HMENU h = menu_->Handle();
    int top = 0;
    for (int i = 0; i < ::GetMenuItemCount(h); ++i) {
      const int height = i < int(heights_.size()) ? heights_[std::size_t(i)] : 18;
      DRAWITEMSTRUCT dis{};
      dis.CtlType = ODT_MENU;
      dis.itemID = IdAt(h, i);
      dis.hDC = target.Dc();
      dis.rcItem = RECT{0, top, target.Width(), top + height};
      menu_->DrawItem(dis);
      top += height;
    }
    ::GdiFlush();
  }
  std::vector<int> heights_;
};

TEST_F(BarMenuShowing, BarImageIsReusedUntilAnItemChanges) {
  menu_->Bar().SetWidth(26);
  menu_->Bar().BarCaption.Caption = "Quick";
  AddItem("One");
  AddItem("-");
  TMenuItem& two = AddItem("Two");
  menu_->BarCache().SetMeasuring(true);
  Measure();
  TBitmap target(160, 60);
  DrawAll(target);
  EXPECT_EQ(menu_->BarPaintCount(), 1);
  const int height = menu_->BarCache().BarHeight;
  EXPECT_EQ(height, heights_[0] + heights_[1] + heights_[2]);
  EXPECT_EQ(PixelAt(target, 0, 0), GradientColorAt(gsVertical, 14204335, 0, 0, 0, 26, height));

  // Shown again: the platform does not measure again and there is no window to ask; the bar
  // keeps its last good height and its image.
  menu_->BarCache().SetMeasuring(true);
  TBitmap again(160, 60);
  DrawAll(again);
  EXPECT_EQ(menu_->BarPaintCount(), 1);
  EXPECT_EQ(menu_->BarCache().BarBitmap().Height(), height);
  for (int y = 0; y < height; ++y) ASSERT_EQ(PixelAt(again, 3, y), PixelAt(target, 3, y)) << y;

  // A change to an item of the menu paints the bar again.
  two.SetCaption("Two and a half");
  DrawAll(again);
  EXPECT_EQ(menu_->BarPaintCount(), 2);
}

TEST_F(BarMenuShowing, SubmenuItemsAndColumnBreaksGetNoBar) {
  menu_->Bar().SetWidth(26);
  TMenuItem& parent = AddItem("Feeds");
  AddItem("Inner", &parent);
  AddItem("Next");
  TMenuItem& broken = AddItem("Column");
  broken.SetBreak(TMenuBreak::mbBreak);
  AddItem("After");
  int widths[4] = {};
  HMENU h = menu_->Handle();
  HMENU sub = ::GetSubMenu(h, 0);
  ASSERT_NE(sub, nullptr);
  auto measure = [&](UINT id) {
    MEASUREITEMSTRUCT mis{};
    mis.itemID = id;
    menu_->MeasureItem(mis);
    return int(mis.itemWidth);
  };
  widths[0] = measure(IdAt(h, 1));    // "Next": beside the bar
  widths[1] = measure(IdAt(sub, 0));  // "Inner": in the submenu
  widths[2] = measure(IdAt(h, 2));    // "Column": starts a column
  widths[3] = measure(IdAt(h, 3));    // "After"
  menu_->Bar().SetVisible(false);
  EXPECT_EQ(measure(IdAt(h, 1)), widths[0] - 27);
  EXPECT_EQ(measure(IdAt(sub, 0)), widths[1]);
  EXPECT_EQ(measure(IdAt(h, 2)), widths[2]);
  EXPECT_EQ(measure(IdAt(h, 3)), widths[3]);
}

TEST_F(BarMenuShowing, BarOnTheRightLeavesItemsTheirLeftEdge) {
  menu_->Bar().SetWidth(26);
  menu_->Bar().Side = sRight;
  menu_->Bar().SetGradientStart(clRed);
  menu_->Bar().SetGradientEnd(clRed);
  AddItem("One");
  menu_->BarCache().SetMeasuring(true);
  Measure();
  TBitmap target(160, heights_[0]);
  DrawAll(target);
  EXPECT_EQ(PixelAt(target, 159, 2), clRed);
  EXPECT_EQ(PixelAt(target, 160 - 26, 2), clRed);
  EXPECT_EQ(PixelAt(target, 160 - 27, 2), Sys(clMenu)) << "the space between bar and item";
  EXPECT_EQ(PixelAt(target, 0, 2), Sys(clMenu));
}

TEST_F(BarMenuShowing, ScaledMenusMeasureAndDrawAtTheirResolution) {
  menu_->Bar().SetWidth(26);
  menu_->Separators().FadeWidth = 72;
  TMenuItem& sep = AddItem("-");
  sep.SetHint("Feeds");
  AddItem("One");
  menu_->ScaleToDpi(144);
  EXPECT_EQ(menu_->Bar().Width(), 39);
  EXPECT_EQ(menu_->Bar().BarCaption.OffsetY, 9);
  EXPECT_EQ(menu_->Separators().FadeWidth, 108);
  EXPECT_EQ(menu_->Bar().BarCaption.Font.PixelsPerInch(), 144);
  menu_->BarCache().SetMeasuring(true);
  Measure();
  EXPECT_EQ(heights_[0], 21) << "a caption separator, 14 design units high";
  menu_->ScaleToDpi(96);
  EXPECT_EQ(menu_->Bar().Width(), 26);
  EXPECT_EQ(menu_->Separators().FadeWidth, 72);
}

TEST(BarMenuSettings, OwnerErrorsAndCopyRules) {
  EXPECT_THROW(
      {
        try {
          TBcBar bar(nullptr);
        } catch (const EBcBarMenuError& e) {
          EXPECT_STREQ(e.what(), "Tried to create TBcBar with no owner.");
          throw;
        }
      },
      EBcBarMenuError);
  EXPECT_THROW(TBcSeparators(nullptr), EBcBarMenuError);
  EXPECT_THROW(TBcBarBackPicture(nullptr), EBcBarMenuError);
  Owned<TBcBarPopupMenu> a(new TBcBarPopupMenu(nullptr));
  Owned<TBcBarPopupMenu> b(new TBcBarPopupMenu(nullptr));
  try {
    a->Bar().Color(2);
    ADD_FAILURE() << "index 2 was accepted";
  } catch (const EBcBarMenuError& e) {
    EXPECT_STREQ(e.what(), "Invalid property index 2.");
  }
  a->Separators().Fade = true;
  a->Separators().FadeWidth = 72;
  a->Separators().SeparatorStyle = ssCaption;
  a->Bar().SetWidth(18);
  a->Bar().BarCaption.Visible = false;
  a->Bar().BarCaption.Caption = "Marquelle";
  b->SetSeparators(a->Separators());
  b->SetBar(a->Bar());
  EXPECT_EQ(b->Separators().SeparatorStyle, ssCaption);
  EXPECT_FALSE(b->Separators().Fade) << "Fade is not copied";
  EXPECT_EQ(b->Separators().FadeWidth, 32);
  EXPECT_EQ(b->Bar().Width(), 18);
  EXPECT_EQ(b->Bar().BarCaption.Caption, "Marquelle");
  EXPECT_TRUE(b->Bar().BarCaption.Visible) << "Visible is not copied";
}

// Real popups in the test desktop, closed by a timer as soon as they are up.
class RealPopup : public BarMenu {
 protected:
  // Notes the open menu window's client height, then closes it.
  static void CALLBACK CloseMenu(HWND, UINT, UINT_PTR, DWORD) {
    RECT client{};
    if (HWND open = ::FindWindowW(L"#32768", nullptr); open && ::GetClientRect(open, &client))
      openHeight_ = client.bottom - client.top;
    ::EndMenu();
  }
  static inline int openHeight_ = 0;
  void PopupOnce() {
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 1, &CloseMenu);
    menu_->Popup(200, 200);
    ::KillTimer(nullptr, timer);
  }
};

TEST_F(RealPopup, ThousandPopupsLeaveTheGdiCountWhereItWas) {
  menu_->Bar().SetWidth(26);
  menu_->Bar().BarCaption.Caption = "Marquelle";
  menu_->Separators().Fade = true;
  menu_->SetMenuStyle(msWindowsXP);
  AddItem("One").SetChecked(true);
  TMenuItem& radio = AddItem("Two");
  radio.SetChecked(true);
  radio.SetRadioItem(true);
  AddItem("-");
  AddItem("-").SetHint("Caption");
  AddItem("Three").SetDefault(true);
  PopupOnce();  // everything a showing keeps is made here
  ASSERT_NE(menu_->PopupWindow(), nullptr) << "the items were drawn in a popup window";
  ASSERT_GT(openHeight_, 0);
  EXPECT_EQ(menu_->BarCache().BarBitmap().Height(), openHeight_) << "as high as the popup window";
  const int paints = menu_->BarPaintCount();
  const long before = GdiObjectCount();
  for (int i = 0; i < 1000; ++i) PopupOnce();
  EXPECT_EQ(GdiObjectCount(), before);
  EXPECT_EQ(menu_->BarPaintCount(), paints) << "an unchanged menu reuses its bar image";
  EXPECT_GT(menu_->BarCache().BarBitmap().Height(), 0);
}

}  // namespace
}  // namespace mq
