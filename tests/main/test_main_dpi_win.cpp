// TfrMain at the screen resolution of the prefix it runs in (tests/main/dpi.sh starts it in a
// prefix whose LogPixels is MQ_EXPECT_DPI): the bar's height, the controls' rectangles, the
// fonts and pictures follow the resolution, nothing overlaps, the ticker's glyphs stay
// inside its strip, and a change of resolution scales and docks the bar again.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/uMain.h"
#include "gui/Dpi_win.h"
#include "ticker/TickerMath.h"
#include "tests/support/Pump_win.h"

namespace mq {
namespace {

using test::PumpFor;

int ExpectedDpi() {
  const char* v = std::getenv("MQ_EXPECT_DPI");
  return v ? std::atoi(v) : kDesignDpi;
}

RECT WindowRect(HWND h) {
  RECT r{};
  ::GetWindowRect(h, &r);
  return r;
}

// The rows of a bitmap that hold a pixel other than `background`, as [first, last]; {-1,-1}
// when there is none.
std::pair<int, int> InkRows(const TBitmap& b, std::uint32_t background) {
  std::pair<int, int> rows{-1, -1};
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if ((b.ScanLine(y)[x] & 0xFFFFFF) != background) {
        if (rows.first < 0) rows.first = y;
        rows.second = y;
        break;
      }
  return rows;
}

class MainWindowDpi : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Application().Initialize();
    RegisterMainWindowClasses();
  }
  void SetUp() override {
    ::DeleteFileW(L"app.config");
    form_ = CreateOwnedForm<TfrMain>();
    PumpFor(400);  // the posted enter/exit pair records the docked size
  }
  void TearDown() override { form_.reset(); }
  TfrMain& Form() { return *form_; }
  const int dpi_ = ExpectedDpi();
  Owned<TfrMain> form_;
};

TEST_F(MainWindowDpi, ThePrefixHasTheExpectedResolution) {
  EXPECT_EQ(SystemDpi(), dpi_);
  EXPECT_EQ(WindowDpi(Form().Handle()), dpi_);
  EXPECT_EQ(Form().PixelsPerInch(), dpi_);
}

TEST_F(MainWindowDpi, TheBarDocksAtTheScaledHeight) {
  const RECT r = WindowRect(Form().Handle());
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.bottom - r.top, ScaleDpi(32, dpi_));
  EXPECT_EQ(Form().HorzDockSize(), ScaleDpi(32, dpi_));
}

struct DesignRect {
  const char* name;
  TControl* (*control)(TfrMain&);
  int left, top;          // where it ends up (-1: laid out from the title)
  int spanLeft, spanTop;  // the description's left and top
  int width, height;      // the description's size, -1 when sized to the caption
};

TEST_F(MainWindowDpi, ControlsTakeTheirDesignRectanglesScaled) {
  const DesignRect table[] = {
      {"imgStart", [](TfrMain& f) -> TControl* { return f.imgStart; }, 4, 2, 0, 0, 22, 22},
      {"lblTitle", [](TfrMain& f) -> TControl* { return f.lblTitle; }, 30, 5, 30, 5, -1, -1},
      {"imgPrevRssItem", [](TfrMain& f) -> TControl* { return f.imgPrevRssItem; }, -1, 5, 136, 5, 16,
       16},
      {"imgNextRssItem", [](TfrMain& f) -> TControl* { return f.imgNextRssItem; }, -1, 5, 566, 5, 16,
       16},
      {"lblTicker", [](TfrMain& f) -> TControl* { return f.lblTicker; }, -1, 8, 158, 8, -1, 13},
  };
  for (const DesignRect& d : table) {
    SCOPED_TRACE(d.name);
    const TControl* c = d.control(Form());
    if (d.left >= 0) {
      EXPECT_EQ(c->Left(), ScaleDpi(d.left, dpi_));
    }
    EXPECT_EQ(c->Top(), ScaleDpi(d.top, dpi_));
    if (d.width >= 0) {
      EXPECT_EQ(c->Width(), ScaleSpan(d.spanLeft, d.width, dpi_).length);
    }
    if (d.height >= 0) {
      EXPECT_EQ(c->Height(), ScaleSpan(d.spanTop, d.height, dpi_).length);
    }
  }
}

TEST_F(MainWindowDpi, FontsInPointsAreScaledOnce) {
  for (const TControl* c :
       {static_cast<TControl*>(Form().lblTicker), static_cast<TControl*>(Form().lblTitle)}) {
    EXPECT_EQ(c->Font().Size(), 8);
    EXPECT_EQ(c->Font().Height(), -::MulDiv(8, dpi_, 72));
  }
  EXPECT_EQ(Form().Font().Height(), ScaleDpi(-13, dpi_));  // the form's font is given in pixels
}

TEST_F(MainWindowDpi, PicturesAreDrawnAtTheScaledSize) {
  for (TImage* image : {Form().imgStart, Form().imgPrevRssItem, Form().imgNextRssItem}) {
    const TGraphic* drawn = image->DrawnGraphic();
    ASSERT_NE(drawn, nullptr);
    EXPECT_EQ(drawn->Width(), ScaleDpi(image->Picture().Width(), dpi_));
    EXPECT_EQ(drawn->Height(), ScaleDpi(image->Picture().Height(), dpi_));
  }
  EXPECT_EQ(Form().imgBckg->Tile().Height(), ScaleDpi(25, dpi_));
}

TEST_F(MainWindowDpi, NothingOverlapsAndAllLiesInTheClientArea) {
  TfrMain& f = Form();
  const std::vector<TControl*> strip = {f.imgStart, f.lblTitle, f.imgPrevRssItem, f.lblTicker,
                                        f.imgNextRssItem};
  const RECT client = f.ClientRect();
  for (std::size_t i = 0; i < strip.size(); ++i) {
    const RECT a = strip[i]->BoundsRect();
    RECT inside;
    ::IntersectRect(&inside, &a, &client);
    EXPECT_TRUE(::EqualRect(&inside, &a)) << strip[i]->Name() << " leaves the client area";
    for (std::size_t j = i + 1; j < strip.size(); ++j) {
      const RECT b = strip[j]->BoundsRect();
      RECT both;
      EXPECT_FALSE(::IntersectRect(&both, &a, &b))
          << strip[i]->Name() << " overlaps " << strip[j]->Name();
    }
  }
}

// The ticker's text drawn in its font on a strip three times its height, placed as the
// ticker places it in the middle third: every row with ink must lie in the middle third.
TEST_F(MainWindowDpi, TickerGlyphsLieInsideTheStrip) {
  TALScrollingText& t = *Form().lblTicker;
  for (const std::string& text : {std::string("正在载入 RSS..."), std::string("3/25 Storm gÅjpq|")}) {
    SCOPED_TRACE(text);
    const int h = t.Height();
    TBitmap probe(1, 1);
    probe.Canvas().BrushColor = clBlack;
    probe.Canvas().Font = t.Font();
    const SIZE extent = probe.Canvas().TextExtent(text);
    probe.SetSize(extent.cx + 4, 3 * h);
    probe.Canvas().FillRect(RECT{0, 0, probe.Width(), probe.Height()});
    probe.Canvas().Font.SetColor(clWhite);
    probe.Canvas().TextOut(2, h + TextTop(t.Layout(), h, extent.cy), text);
    ::GdiFlush();
    const auto [first, last] = InkRows(probe, 0);
    ASSERT_GE(first, 0) << "no glyphs drawn";
    EXPECT_GE(first, h) << "glyph rows above the strip";
    EXPECT_LT(last, 2 * h) << "glyph rows below the strip";
  }
}

// WM_DPICHANGED as Windows sends it when the bar moves to a screen of another resolution:
// everything is scaled to the new one, the bar docks again at its new height, and back.
TEST_F(MainWindowDpi, AChangeOfResolutionScalesAndDocksTheBarAgain) {
  TfrMain& f = Form();
  for (const int to : {dpi_ == 192 ? 96 : 192, dpi_}) {
    SCOPED_TRACE(to);
    RECT suggested = WindowRect(f.Handle());
    ::SendMessageW(f.Handle(), WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
    PumpFor(200);
    const RECT r = WindowRect(f.Handle());
    EXPECT_EQ(r.bottom - r.top, ScaleDpi(32, to));
    EXPECT_EQ(f.HorzDockSize(), ScaleDpi(32, to));
    EXPECT_EQ(f.imgPrevRssItem->Width(), ScaleDpi(16, to));
    EXPECT_EQ(f.lblTicker->Font().Height(), -::MulDiv(8, to, 72));
    EXPECT_EQ(f.imgNextRssItem->Left() + f.imgNextRssItem->Width(),
              f.ClientWidth() - ScaleDpi(kTickerGap, to));
    EXPECT_EQ(f.imgBckg->Height(), f.ClientHeight());
  }
}

}  // namespace
}  // namespace mq
