// Window-less controls and graphics painted into memory bitmaps: labels that size
// themselves, images with PNG alpha, bitmaps drawn with a transparent colour.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "gui/Forms_win.h"
#include "gui/StdCtrls_win.h"
#include "image/PngImage_win.h"
#include "tests/support/Painted_win.h"
#include "tests/support/SourceFiles.h"

namespace {

using namespace mq;

using Bytes = std::vector<std::uint8_t>;
Bytes ReadFile(const std::string& relative) { return test::ReadSourceFile<Bytes>(relative); }

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string s;
  for (std::uint8_t b : bytes) s += digits[b >> 4], s += digits[b & 15];
  return s;
}

using test::PixelAt;

struct Painted : ::testing::Test {
  Owned<TForm> form = CreateOwnedForm<TForm>();
  void SetUp() override {
    form->SetBorderStyle(TFormBorderStyle::bsNone);
    form->SetClientSize(200, 60);
    form->SetColor(0x00204060);
    form->Font().SetName("Tahoma");
    form->Font().SetSize(8);
  }
  TBitmap Paint() { return test::PaintForm(*form); }
};

TEST_F(Painted, LabelSizesItselfToItsCaption) {
  auto* l = new TLabel(form.get());
  l->SetParent(form.get());
  l->SetCaption("Marquelle v0.93");
  TBitmap probe(1, 1);
  probe.Canvas().Font = l->Font();
  const SIZE extent = probe.Canvas().TextExtent("Marquelle v0.93");
  EXPECT_EQ(l->Width(), extent.cx);
  EXPECT_EQ(l->Height(), extent.cy);
  l->Font().SetStyle(fsBold);
  probe.Canvas().Font.SetStyle(fsBold);
  EXPECT_EQ(l->Width(), probe.Canvas().TextWidth("Marquelle v0.93"));
  l->SetCaption("N/A");
  EXPECT_LT(l->Width(), extent.cx / 2);
  l->SetAutoSize(false);
  l->SetCaption("a much longer caption than before");
  EXPECT_LT(l->Width(), extent.cx / 2);
  // "&&" shows one ampersand and takes the width of it.
  l->SetAutoSize(true);
  l->SetCaption("A&&B");
  EXPECT_EQ(l->Width(), probe.Canvas().TextWidth("A&B"));
}

TEST_F(Painted, BackgroundAndLabelsPaintIntoAMemoryBitmap) {
  auto* opaque = new TLabel(form.get());
  opaque->SetParent(form.get());
  opaque->SetColor(0x00FFFFFF);
  opaque->Font().SetColor(0x000000FF);
  opaque->SetCaption("HHHH");
  opaque->SetBounds(10, 10, opaque->Width(), opaque->Height());
  auto* clear = new TLabel(form.get());
  clear->SetParent(form.get());
  clear->SetTransparent(true);
  clear->Font().SetColor(0x0000FF00);
  clear->Font().SetSize(14);
  clear->Font().SetStyle(fsBold);
  clear->SetCaption("HHHH");
  clear->SetLeft(100);
  TBitmap shot = Paint();
  EXPECT_EQ(PixelAt(shot, 199, 59), 0x00204060u);  // the form's colour
  int white = 0, red = 0;
  for (int y = opaque->Top(); y < opaque->Top() + opaque->Height(); ++y)
    for (int x = opaque->Left(); x < opaque->Left() + opaque->Width(); ++x) {
      white += PixelAt(shot, x, y) == 0x00FFFFFF;
      red += PixelAt(shot, x, y) == 0x000000FF;
    }
  EXPECT_GT(white, 20);
  EXPECT_GT(red, 5);
  int green = 0, background = 0;
  for (int y = clear->Top(); y < clear->Top() + clear->Height(); ++y)
    for (int x = clear->Left(); x < clear->Left() + clear->Width(); ++x) {
      green += PixelAt(shot, x, y) == 0x0000FF00;
      background += PixelAt(shot, x, y) == 0x00204060;
    }
  EXPECT_GT(green, 20);
  EXPECT_GT(background, 20);  // transparent: the form shows between the glyphs
}

TEST_F(Painted, ImageDrawsAPngWithItsAlpha) {
  RegisterImageClasses();
  const std::vector<std::uint8_t> data = ReadFile("tests/image/data/rgba8.png");
  ASSERT_FALSE(data.empty());
  auto* img = new TImage(form.get());
  img->SetParent(form.get());
  img->SetBounds(5, 5, 37, 23);
  img->Picture().LoadFromData(data);
  ASSERT_NE(dynamic_cast<TPngImage*>(img->Picture().Graphic()), nullptr);
  const DecodedPng& png = dynamic_cast<TPngImage*>(img->Picture().Graphic())->Image();
  TBitmap shot = Paint();
  int checked = 0;
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 37; ++x) {
      const std::uint8_t* p = png.Pixel(x, y);
      const int a = p[3];
      // source over the form's colour
      const int expect[3] = {(p[0] * a + 0x60 * (255 - a)) / 255, (p[1] * a + 0x40 * (255 - a)) / 255,
                             (p[2] * a + 0x20 * (255 - a)) / 255};
      const TColor got = PixelAt(shot, 5 + x, 5 + y);
      ASSERT_NEAR(RedOf(got), expect[0], 2) << x << "," << y;
      ASSERT_NEAR(GreenOf(got), expect[1], 2) << x << "," << y;
      ASSERT_NEAR(BlueOf(got), expect[2], 2) << x << "," << y;
      ++checked;
    }
  EXPECT_EQ(checked, 37 * 23);
}

TEST_F(Painted, BitmapDrawnTransparentlyKeysOutItsColour) {
  TBitmap b(4, 1);
  b.ScanLine(0)[0] = 0x00FF0000;  // red
  b.ScanLine(0)[1] = 0x0000FF00;  // green: the transparent colour
  b.ScanLine(0)[2] = 0x000000FF;  // blue
  b.ScanLine(0)[3] = 0x0000FF00;
  b.SetTransparentColor(PixelToColor(0x0000FF00));
  b.SetTransparent(true);
  TBitmap target(4, 1);
  std::fill(target.Bits(), target.Bits() + 4, 0x00123456u);
  b.Draw(target.Canvas(), RECT{0, 0, 4, 1});
  ::GdiFlush();
  EXPECT_EQ(target.ScanLine(0)[0] & 0xFFFFFF, 0x00FF0000u);
  EXPECT_EQ(target.ScanLine(0)[1] & 0xFFFFFF, 0x00123456u);
  EXPECT_EQ(target.ScanLine(0)[2] & 0xFFFFFF, 0x000000FFu);
  EXPECT_EQ(target.ScanLine(0)[3] & 0xFFFFFF, 0x00123456u);
  // The default transparent colour is the bottom-left pixel.
  b.SetTransparentColor(clDefault);
  EXPECT_EQ(b.TransparentColor(), clRed);
}

TEST_F(Painted, BitmapFilesLoadWithTheirPalette) {
  const std::vector<std::uint8_t> tile = ReadFile("res/tile.bmp");
  TBitmap b;
  b.LoadFromData(tile);
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.Height(), 25);
  EXPECT_EQ(b.ScanLine(0)[0] & 0xFFFFFF, 0x94A0A8u);  // the top line comes first
  EXPECT_EQ(b.ScanLine(24)[0] & 0xFFFFFF, 0x476082u);
  // An 8-bit file brings a palette.
  std::vector<std::uint8_t> bmp8 = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0};
  const std::uint8_t info[40] = {40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 8, 0};
  bmp8.insert(bmp8.end(), info, info + 40);
  bmp8.insert(bmp8.end(), {0, 0, 255, 0, 255, 0, 0, 0});  // palette: red, blue (BGRx)
  bmp8[46] = 2;                                           // biClrUsed = 2
  bmp8.insert(bmp8.end(), {1, 0, 0, 0});                  // blue, red
  TBitmap p;
  p.LoadFromData(bmp8);
  EXPECT_NE(p.Palette(), nullptr);
  EXPECT_EQ(PixelAt(p, 0, 0), clBlue);
  EXPECT_EQ(PixelAt(p, 1, 0), clRed);
  EXPECT_THROW(p.LoadFromData(std::vector<std::uint8_t>{'B', 'M', 1, 2}), std::runtime_error);
}

TEST_F(Painted, PngCollectionReadsItsItemsAndRefusesDamagedPictures) {
  RegisterImageClasses();
  const std::string start = Hex(ReadFile("res/start.png")), next = Hex(ReadFile("res/next.png"));
  auto f = CreateOwnedForm<TForm>();
  f->LoadFromText(
      "object f: TForm\n  object pngImages: TPngImageCollection\n    Items = <\n      item\n        "
      "Name = 'start'\n"
      "        PngImage = {" +
      start + "}\n      end\n      item\n        PngImage = {" + next + "}\n      end>\n  end\nend");
  auto* c = f->Find<TPngImageCollection>("pngImages");
  ASSERT_NE(c, nullptr);
  ASSERT_EQ(c->Count(), 2u);
  EXPECT_EQ(c->Items(0).Name, "start");
  EXPECT_EQ(c->Items(0).PngImage.Width(), 22);
  EXPECT_EQ(c->Items(1).PngImage.Height(), 16);
  // A picture copied out of the collection is independent of it.
  TPicture picture;
  picture.SetGraphic(&c->Items(0).PngImage);
  c->Clear();
  EXPECT_EQ(picture.Width(), 22);

  std::string damaged = start;
  damaged[100] = damaged[100] == '0' ? '1' : '0';
  auto g = CreateOwnedForm<TForm>();
  try {
    g->LoadFromText(
        "object f: TForm\n  object pngImages: TPngImageCollection\n    Items = <\n      item\n"
        "        PngImage = {" +
        damaged + "}\n      end>\n  end\nend");
    ADD_FAILURE() << "no error";
  } catch (const EFormTextError& e) {
    EXPECT_NE(std::string(e.what()).find("PNG: checksum error"), std::string::npos) << e.what();
    EXPECT_EQ(e.Line(), 5);
  }
}

}  // namespace
