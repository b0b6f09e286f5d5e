// TEsTile painted into memory bitmaps: the wallpaper pattern from the top-left corner, cut at
// the right and bottom edges; the control's colour without a bitmap.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "gui/Forms_win.h"
#include "ticker/ALScrollingText_win.h"
#include "ticker/EsTile_win.h"
#include "tests/support/Painted_win.h"

namespace {

using namespace mq;

// The bar's background: 3 x 25, a glossy vertical gradient (red-green-blue of each line).
const std::uint32_t kGloss[25] = {0x94A0A8, 0x8C98A0, 0x828E96, 0x79858E, 0x707D85, 0x6B787F, 0x637077,
                                  0x5D6972, 0x57636B, 0x56626A, 0x48545C, 0x48545C, 0x313D45, 0x2F3B43,
                                  0x2D3A41, 0x2C3840, 0x2A363E, 0x28353C, 0x27333A, 0x263239, 0x243038,
                                  0x222F37, 0x374249, 0x364D67, 0x476082};

// The bar's bitmap, with the three columns told apart in the blue channel's low bits.
TBitmap BarBitmap() {
  std::vector<std::uint32_t> px(3 * 25);
  for (int y = 0; y < 25; ++y)
    for (int x = 0; x < 3; ++x) px[y * 3 + x] = kGloss[y] ^ std::uint32_t(x);
  TBitmap b;
  b.Assign(px.data(), 3, 25);
  return b;
}

struct TileFixture : ::testing::Test {
  Owned<TForm> form = test::BorderlessForm(600, 30);
  TEsTile* tile = nullptr;
  void SetUp() override {
    form->SetColor(0x00FF00FF);
    tile = test::PlaceOn<TEsTile>(*form, 0, 0, 592, 24);
  }
  TBitmap Paint() { return test::PaintForm(*form); }
};

TEST_F(TileFixture, DefaultsAndVersion) {
  TEsTile fresh(nullptr);
  EXPECT_EQ(fresh.Width(), 100);
  EXPECT_EQ(fresh.Height(), 100);
  EXPECT_TRUE(fresh.Opaque());
  EXPECT_TRUE(fresh.Bitmap().Empty());
  EXPECT_EQ(fresh.Version(), "1.11");
  fresh.SetVersion("2.0");
  EXPECT_EQ(fresh.Version(), "1.11");
}

TEST_F(TileFixture, BarBitmapOnTheBarGives198ColumnsAndOneCutRow) {
  TBitmap bmp = BarBitmap();
  tile->SetBitmap(&bmp);
  TBitmap shot = Paint();
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 592; ++x)
      ASSERT_EQ(shot.ScanLine(y)[x] & 0xFFFFFF, kGloss[y] ^ std::uint32_t(x % 3)) << x << "," << y;
  // Column 198 starts at 591 and keeps 1 of its 3 pixels: the column right of it is the form.
  EXPECT_EQ(shot.ScanLine(10)[591] & 0xFFFFFF, kGloss[10] ^ 0u);
  EXPECT_EQ(test::PixelAt(shot, 592, 10), 0x00FF00FFu);
  // The 25th line of the bitmap is cut: below the tile is the form.
  EXPECT_EQ(test::PixelAt(shot, 5, 24), 0x00FF00FFu);
}

TEST_F(TileFixture, PatternStartsAtTheTopLeftOnEveryRowOfTiles) {
  std::vector<std::uint32_t> px(4 * 3);
  for (int i = 0; i < 12; ++i) px[i] = 0x010101u * std::uint32_t(i * 20);
  TBitmap bmp;
  bmp.Assign(px.data(), 4, 3);
  tile->SetBounds(0, 0, 10, 7);
  tile->SetBitmap(&bmp);
  TBitmap shot = Paint();
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 10; ++x)
      EXPECT_EQ(shot.ScanLine(y)[x] & 0xFFFFFF, px[(y % 3) * 4 + x % 4]) << x << "," << y;
}

TEST_F(TileFixture, NoBitmapFillsWithTheControlsColour) {
  tile->SetColor(0x00123456);
  TBitmap shot = Paint();
  for (int y = 0; y < 24; y += 5)
    for (int x = 0; x < 592; x += 13) ASSERT_EQ(test::PixelAt(shot, x, y), 0x00123456u);
  // Releasing a bitmap again gives the colour back.
  TBitmap bmp = BarBitmap();
  tile->SetBitmap(&bmp);
  tile->SetBitmap(nullptr);
  EXPECT_TRUE(tile->Bitmap().Empty());
  shot = Paint();
  EXPECT_EQ(test::PixelAt(shot, 3, 3), 0x00123456u);
}

TEST_F(TileFixture, AssigningABitmapRepaintsAtOnce) {
  form->SetLeft(50);
  form->SetTop(300);
  form->Show();
  Application().ProcessMessages();
  TBitmap bmp = BarBitmap();
  tile->SetBitmap(&bmp);  // no message processed after this
  WindowDc dc(form->Handle());
  const COLORREF got = ::GetPixel(dc.Get(), 100, 12);
  EXPECT_EQ(got, PixelToColor(kGloss[12] ^ std::uint32_t(100 % 3)));
  form->Hide();
}

TEST_F(TileFixture, BitmapCopiesTheImage) {
  TBitmap bmp = BarBitmap();
  tile->SetBitmap(&bmp);
  bmp.SetSize(1, 1);
  EXPECT_EQ(tile->Bitmap().Width(), 3);
  EXPECT_EQ(tile->Bitmap().Height(), 25);
}

TEST_F(TileFixture, ReadsItsBitmapFromADescription) {
  // A 2 x 1 bitmap file, 24 bits: blue pixel, red pixel.
  const char* text = R"(object f: TForm
  object imgBckg: TEsTile
    Left = 0
    Top = 0
    Width = 5
    Height = 2
    Anchors = [akLeft, akTop, akRight, akBottom]
    Version = '9.99'
    Bitmap.Data = {424D3E000000000000003600000028000000020000000100000001001800000000000800000000000000000000000000000000000000FF00000000FF0000}
  end
end)";
  RegisterTickerClasses();
  Owned<TForm> f = CreateOwnedForm<TForm>();
  f->LoadFromText(text);
  auto* t = f->Find<TEsTile>("imgBckg");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Version(), "1.11");
  ASSERT_EQ(t->Bitmap().Width(), 2);
  EXPECT_EQ(test::PixelAt(t->Bitmap(), 0, 0), clBlue);
  EXPECT_EQ(test::PixelAt(t->Bitmap(), 1, 0), clRed);
  EXPECT_EQ(t->Anchors(), akLeft | akTop | akRight | akBottom);
}

}  // namespace
