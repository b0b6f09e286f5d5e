// TALScrollingText on the real GDI: painted through its form into memory bitmaps and
// checked pixel by pixel, stepped in both directions, driven by its message-based timer.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "gui/Forms_win.h"
#include "ticker/ALScrollingText_win.h"
#include "ticker/TickerMath.h"
#include "tests/support/Painted_win.h"

namespace {

using namespace mq;

constexpr TColor kBack = 0x003C3028;  // the main window's ticker background
constexpr TColor kFont = 0x00E6F5FF;  // and its font colour

struct Fixture : ::testing::Test {
  Owned<TForm> form = test::BorderlessForm(640, 40);
  TALScrollingText* ticker = nullptr;

  void SetUp() override {
    form->Font().SetName("Tahoma");
    form->Font().SetSize(8);
    ticker = test::PlaceOn<TALScrollingText>(*form, 20, 8, 400, 24);
    ticker->SetBackgroundColor(kBack);
    ticker->Font().SetColor(kFont);
    // The ticker pauses under the pointer: keep the pointer off the form (a new display
    // starts with it in the middle of the screen).
    form->SetLeft(0);
    form->SetTop(0);
    ::SetCursorPos(1000, 700);
  }

  TBitmap Paint() { return test::PaintForm(*form); }
  // Colour of a pixel of the ticker in control coordinates.
  static TColor At(const TBitmap& b, const TALScrollingText* t, int x, int y) {
    return test::PixelAt(b, t->Left() + x, t->Top() + y);
  }
  // A big bold face has solid stems: pixels that the glyphs cover completely.
  void UseSolidFont() {
    ticker->Font().SetSize(14);
    ticker->Font().SetStyle(fsBold);
    ticker->Font().SetColor(kFont);
  }
  void StepTo(int offset) {
    for (int i = 0; i < 100000 && ticker->ScrollOffset() != offset; ++i) ticker->Step();
    ASSERT_EQ(ticker->ScrollOffset(), offset);
  }
};

TEST_F(Fixture, ConstructorDefaults) {
  TALScrollingText fresh(nullptr);
  EXPECT_EQ(fresh.Text(), "Text");
  EXPECT_EQ(fresh.Speed(), 50);
  EXPECT_EQ(fresh.BackgroundColor(), clBtnFace);
  EXPECT_EQ(fresh.EdgeFadeWidth(), 15);
  EXPECT_EQ(fresh.Layout(), TTextLayout::tlCenter);
  EXPECT_EQ(fresh.TextDirection(), TTextDirection::tdLeftToRight);
  EXPECT_EQ(fresh.PixelJump(), 1);
  EXPECT_TRUE(fresh.Visible());
  EXPECT_TRUE(fresh.Enabled());
  EXPECT_TRUE(fresh.ParentFont());
  EXPECT_EQ(fresh.Font().Color(), clWindowText);
  EXPECT_EQ(fresh.Width(), 50);
  EXPECT_EQ(fresh.Height(), 18);
  EXPECT_EQ(fresh.ScrollOffset(), -50);
  EXPECT_TRUE(fresh.Timer().Running());
  EXPECT_EQ(fresh.Timer().Interval(), 50u);
}

TEST_F(Fixture, BitmapsHaveTheSizesOfTextAndControl) {
  ticker->SetText("Marquelle");
  TBitmap probe(1, 1);
  probe.Canvas().Font = ticker->Font();
  const int textWidth = probe.Canvas().TextWidth("Marquelle");
  ASSERT_GT(textWidth, 20);
  EXPECT_EQ(ticker->StripWidth(), textWidth + 2 * 400);
  EXPECT_EQ(ticker->TextStrip().Width(), 2 * 400);  // the part of the strip around what shows
  EXPECT_EQ(ticker->TextStrip().Height(), 24);
  EXPECT_EQ(ticker->FadeBitmap().Width(), 400);
  EXPECT_EQ(ticker->FrameBitmap().Height(), 24);
  EXPECT_TRUE(ticker->TextStrip().Transparent());
  EXPECT_EQ(ticker->TextStrip().TransparentColor(), ticker->StencilColor());
}

TEST_F(Fixture, ALongTextCostsNoWiderBitmapsAndShowsRightEverywhere) {
  UseSolidFont();
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "IHM "[i % 4];
  ticker->SetText(text);
  ticker->SetTextDirection(TTextDirection::tdRightToLeft);
  ASSERT_GT(ticker->StripWidth(), 8000);
  // The whole strip, drawn here at once as the reference of what each column must show.
  TBitmap whole(ticker->StripWidth(), 24);
  whole.Canvas().BrushColor = kBack;
  whole.Canvas().FillRect(RECT{0, 0, whole.Width(), 24});
  whole.Canvas().Font = ticker->Font();
  whole.Canvas().Font.SetColor(ticker->StencilColor());
  whole.Canvas().TextOut(400, TextTop(TTextLayout::tlCenter, 24, whole.Canvas().TextHeight(text)), text);
  ::GdiFlush();
  // Offsets through the text right to left, then left to right from the strip's start.
  for (int offset : {-390, -3000, -3210, -6000, -5100, 400 - ticker->StripWidth() + 5}) {
    SCOPED_TRACE(offset);
    if (offset > ticker->ScrollOffset()) ticker->SetTextDirection(TTextDirection::tdLeftToRight);
    StepTo(offset);
    TBitmap shot = Paint();
    EXPECT_LE(ticker->TextStrip().Width(), 2 * 400);
    EXPECT_LE(ticker->FrameBitmap().Width(), 400);
    int solid = 0;
    for (int y = 0; y < 24; ++y)
      for (int x = 15; x < 385; ++x) {
        const TColor s = test::PixelAt(whole, x - offset, y);
        if (s == ticker->StencilColor()) {
          ++solid;
          ASSERT_EQ(At(shot, ticker, x, y), kFont) << x << "," << y;
        } else if (s == kBack) {
          ASSERT_EQ(At(shot, ticker, x, y), kBack) << x << "," << y;
        }
      }
    if (offset > 400 - ticker->StripWidth() + 5) {
      EXPECT_GT(solid, 100);
    }
  }
}

TEST_F(Fixture, FadeColumnsHoldExactlyTheColourSteps) {
  for (int fade : {15, 4, 1}) {
    SCOPED_TRACE(fade);
    ticker->SetEdgeFadeWidth(fade);
    const TBitmap& f = ticker->FadeBitmap();
    for (int y : {0, 11, 23}) {
      for (int i = 0; i < fade; ++i) {
        const TColor expected = ColorStep(kBack, kFont, i + 1, fade);
        EXPECT_EQ(test::PixelAt(f, i, y), expected) << "left column " << i;
        EXPECT_EQ(test::PixelAt(f, 399 - i, y), expected) << "right column " << i;
      }
      for (int x = fade; x < 400 - fade; x += 37) EXPECT_EQ(test::PixelAt(f, x, y), kFont);
    }
  }
  // The outermost column is the background, the innermost of 15 is the font colour.
  ticker->SetEdgeFadeWidth(15);
  EXPECT_EQ(test::PixelAt(ticker->FadeBitmap(), 0, 5), kBack);
  EXPECT_EQ(test::PixelAt(ticker->FadeBitmap(), 14, 5), kFont);
  ticker->SetEdgeFadeWidth(0);
  EXPECT_EQ(test::PixelAt(ticker->FadeBitmap(), 0, 5), kFont);
}

TEST_F(Fixture, GlyphsTakeTheFadeColourAndTheSpaceAroundThemTheBackground) {
  UseSolidFont();
  ticker->SetText("IIIII HHHHH MMMMM IIIII HHHHH MMMMM IIIII HHHHH MMMMM");
  ticker->SetTextDirection(TTextDirection::tdRightToLeft);
  const TBitmap& strip = ticker->TextStrip();
  const TColor stencil = ticker->StencilColor();
  ASSERT_EQ(stencil, 0x00E6F5FF);
  // Offsets that put the text in the left fade, the middle and the right fade.
  for (int offset : {-380, -500, -700, -12}) {
    SCOPED_TRACE(offset);
    StepTo(offset);
    TBitmap shot = Paint();
    int solid = 0, background = 0;
    for (int y = 0; y < 24; ++y) {
      for (int x = 0; x < 400; ++x) {
        const TColor s = test::PixelAt(strip, x - offset - ticker->StripOrigin(), y);
        const TColor got = At(shot, ticker, x, y);
        if (s == stencil) {
          ++solid;
          ASSERT_EQ(got, test::PixelAt(ticker->FadeBitmap(), x, y)) << x << "," << y;
          if (x >= 15 && x < 385) {
            ASSERT_EQ(got, kFont) << x << "," << y;
          }
        } else if (s == kBack) {
          ++background;
          ASSERT_EQ(got, kBack) << x << "," << y;
        }
      }
    }
    EXPECT_GT(background, 24 * 100);
    if (offset != -12) {
      EXPECT_GT(solid, 40);  // at -12 the text has not yet entered
    }
  }
}

TEST_F(Fixture, SmoothedGlyphEdgesFadeWithTheGlyphs) {
  // Edge pixels mix the fade colour and the background: never brighter than the font
  // colour and never outside the background..fade range in any channel.
  ticker->SetText("Oooo sss ggg eee");
  ticker->SetTextDirection(TTextDirection::tdRightToLeft);
  StepTo(-395);
  TBitmap shot = Paint();
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 400; ++x) {
      const TColor got = At(shot, ticker, x, y);
      const TColor fade = test::PixelAt(ticker->FadeBitmap(), x, y);
      for (int shift : {0, 8, 16}) {
        const int g = (got >> shift) & 0xFF,
                  lo = std::min((kBack >> shift) & 0xFF, (fade >> shift) & 0xFF),
                  hi = std::max((kBack >> shift) & 0xFF, (fade >> shift) & 0xFF);
        ASSERT_TRUE(g >= lo && g <= hi) << x << "," << y;
      }
    }
}

TEST_F(Fixture, StencilColourFollowsFontAndBackground) {
  struct Case {
    TColor font, back, stencil;
  } cases[] = {{0x00FFFFFF, 0x00000000, 0x003C3028},
               {0x003C3028, 0x00000000, 0x00E6F5FF},
               {0x00FFFFFF, 0x003C3028, 0x00E6F5FF},
               {0x00102030, 0x00FFFFFF, 0x003C3028}};
  UseSolidFont();
  for (const Case& c : cases) {
    ticker->Font().SetColor(c.font);
    ticker->SetBackgroundColor(c.back);
    EXPECT_EQ(ticker->StencilColor(), c.stencil);
    EXPECT_EQ(ticker->TextStrip().TransparentColor(), c.stencil);
    // The glyphs on the strip are in the stencil colour.
    int stencilPixels = 0;
    const TBitmap& s = ticker->TextStrip();
    for (int y = 0; y < s.Height(); ++y)
      for (int x = 0; x < s.Width(); ++x) stencilPixels += test::PixelAt(s, x, y) == c.stencil;
    EXPECT_GT(stencilPixels, 10);
  }
}

TEST_F(Fixture, RightToLeftOffsetsAndTheMomentOfTextScrolled) {
  ticker->SetText("abc");
  ticker->SetTextDirection(TTextDirection::tdRightToLeft);
  EXPECT_EQ(ticker->ScrollOffset(), 0);
  const int end = 400 - ticker->StripWidth();
  std::vector<int> atEvent;
  ticker->OnTextScrolled = [&](TObject* sender) {
    EXPECT_EQ(sender, ticker);
    atEvent.push_back(ticker->ScrollOffset());
  };
  for (int i = 1; i < -end; ++i) {
    ticker->Step();
    ASSERT_EQ(ticker->ScrollOffset(), -i);
  }
  EXPECT_TRUE(atEvent.empty());
  ticker->Step();  // reaches the end: reset, then the event
  ASSERT_EQ(atEvent.size(), 1u);
  EXPECT_EQ(atEvent[0], 0);
  EXPECT_EQ(ticker->ScrollOffset(), 0);
}

TEST_F(Fixture, LeftToRightOffsetsAndTheMomentOfTextScrolled) {
  ticker->SetText("abc");
  ticker->SetTextDirection(TTextDirection::tdRightToLeft);
  ticker->SetTextDirection(TTextDirection::tdLeftToRight);
  const int start = 400 - ticker->StripWidth();
  EXPECT_EQ(ticker->ScrollOffset(), start);
  int events = 0;
  ticker->OnTextScrolled = [&](TObject*) {
    ++events;
    EXPECT_EQ(ticker->ScrollOffset(), start);
  };
  ticker->SetPixelJump(3);
  int steps = 0;
  while (events == 0 && steps < 10000) {
    ticker->Step();
    ++steps;
  }
  EXPECT_EQ(steps, (-start + 2) / 3);  // the first step that reaches 0 or beyond
  EXPECT_EQ(events, 1);
}

TEST_F(Fixture, TextReplacedInTheHandlerStartsAtTheEdge) {
  ticker->SetTextDirection(TTextDirection::tdRightToLeft);
  ticker->SetText("first item");
  std::vector<std::string> shown;
  ticker->OnTextScrolled = [&](TObject*) {
    shown.push_back(ticker->Text());
    ticker->SetText(shown.size() % 2 ? "second, much longer item of the feed" : "first item");
  };
  StepTo(-100);
  while (shown.empty()) ticker->Step();
  EXPECT_EQ(ticker->ScrollOffset(), 0);
  EXPECT_EQ(ticker->Text(), "second, much longer item of the feed");
  // The new pass starts with an empty rectangle: only the background and the fade show.
  TBitmap shot = Paint();
  for (int x = 0; x < 400; x += 3)
    for (int y = 0; y < 24; y += 2) ASSERT_EQ(At(shot, ticker, x, y), kBack) << x;
  // ... and it runs through the whole new strip before the next event.
  const int steps = ticker->StripWidth() - 400;
  for (int i = 1; i < steps; ++i) ticker->Step();
  EXPECT_EQ(shown.size(), 1u);
  ticker->Step();
  EXPECT_EQ(shown.size(), 2u);
}

TEST_F(Fixture, ShorterTextReplacedMidPassEndsThePassAtTheNextStep) {
  ticker->SetTextDirection(TTextDirection::tdRightToLeft);
  ticker->SetText("a long text that is still scrolling through the control when it is replaced");
  int events = 0;
  ticker->OnTextScrolled = [&](TObject*) { ++events; };
  StepTo(-600);
  ticker->SetText("short");
  EXPECT_EQ(ticker->ScrollOffset(), -600);      // a new text keeps the position
  ASSERT_LE(-600, 400 - ticker->StripWidth());  // already beyond the new strip's end
  ticker->Step();
  EXPECT_EQ(events, 1);
  EXPECT_EQ(ticker->ScrollOffset(), 0);
}

TEST_F(Fixture, RestartedPassBeginsAtTheLeadingEdgeInBothDirections) {
  for (TTextDirection d : {TTextDirection::tdRightToLeft, TTextDirection::tdLeftToRight}) {
    ticker->SetTextDirection(d);
    ticker->SetText("a long text that is half way through the control");
    for (int i = 0; i < 300; ++i) ticker->Step();
    ticker->SetText("short");
    ticker->RestartPass();
    EXPECT_EQ(ticker->ScrollOffset(), StartOffset(d, 400, ticker->StripWidth()));
    // The whole pass of the new text follows: no event before its end.
    int events = 0;
    ticker->OnTextScrolled = [&](TObject*) { ++events; };
    for (int i = 1; i < ticker->StripWidth() - 400; ++i) ticker->Step();
    EXPECT_EQ(events, 0);
    ticker->Step();
    EXPECT_EQ(events, 1);
    ticker->OnTextScrolled = nullptr;
  }
}

TEST_F(Fixture, SpeedZeroStopsTheTimerAndPixelJumpZeroHoldsTheText) {
  ticker->SetSpeed(30);
  EXPECT_TRUE(ticker->Timer().Running());
  EXPECT_EQ(ticker->Timer().Interval(), 30u);
  ticker->SetSpeed(0);
  EXPECT_FALSE(ticker->Timer().Running());
  ticker->SetSpeed(30);
  ticker->SetPixelJump(0);
  const int before = ticker->ScrollOffset();
  for (int i = 0; i < 50; ++i) ticker->Step();
  EXPECT_EQ(ticker->ScrollOffset(), before);
  EXPECT_TRUE(ticker->Timer().Running());
}

TEST_F(Fixture, HiddenTickerPausesAndResumesFromTheSameOffset) {
  ticker->SetTextDirection(TTextDirection::tdRightToLeft);
  StepTo(-42);
  ticker->SetVisible(false);
  EXPECT_FALSE(ticker->Enabled());
  for (int i = 0; i < 20; ++i) ticker->Step();
  EXPECT_EQ(ticker->ScrollOffset(), -42);
  ticker->SetVisible(true);
  EXPECT_TRUE(ticker->Enabled());
  ticker->Step();
  EXPECT_EQ(ticker->ScrollOffset(), -43);
  // Disabled alone also holds it.
  ticker->SetEnabled(false);
  ticker->Step();
  EXPECT_EQ(ticker->ScrollOffset(), -43);
}

TEST_F(Fixture, TheTimerStepsThroughTheMessageLoop) {
  ticker->SetTextDirection(TTextDirection::tdRightToLeft);
  ticker->SetSpeed(10);
  form->Show();
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
  while (std::chrono::steady_clock::now() < until && ticker->ScrollOffset() > -5) {
    Application().ProcessMessages();
    ::Sleep(5);
  }
  EXPECT_LE(ticker->ScrollOffset(), -5);
  form->Hide();
}

TEST_F(Fixture, StepPaintsAtOnceOnTheWindow) {
  UseSolidFont();
  ticker->SetText("IIIIIIIIII HHHHHHHHHH IIIIIIIIII HHHHHHHHHH");
  ticker->SetTextDirection(TTextDirection::tdRightToLeft);
  ticker->SetSpeed(0);
  form->SetLeft(100);
  form->SetTop(200);
  form->Show();
  Application().ProcessMessages();
  StepTo(-300);
  // No messages processed since the last step: what the window shows was drawn by it.
  WindowDc dc(form->Handle());
  int fontPixels = 0;
  for (int x = 20; x < 420; ++x)
    for (int y = 8; y < 32; ++y) fontPixels += ::GetPixel(dc.Get(), x, y) == kFont;
  EXPECT_GT(fontPixels, 50);
  form->Hide();
}

TEST_F(Fixture, ReadFromADescriptionResetsTheOffsetForTheDirection) {
  Owned<TForm> f = CreateOwnedForm<TForm>();
  RegisterTickerClasses();
  TALScrollingText* t = nullptr;
  f->DeclareField("lblTicker", t);
  f->LoadFromText(R"(object frTest: TForm
  ClientWidth = 592
  ClientHeight = 24
  object lblTicker: TALScrollingText
    Left = 40
    Top = 8
    Width = 500
    Height = 13
    Text = 'Loading RSS...'
    BackgroundColor = $003C3028
    Font.Color = $00E6F5FF
    Layout = tlBottom
    TextDirection = tdRightToLeft
    Speed = 2
    PixelJump = 0
  end
end)");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Text(), "Loading RSS...");
  EXPECT_EQ(t->Layout(), TTextLayout::tlBottom);
  EXPECT_EQ(t->ScrollOffset(), 0);
  EXPECT_EQ(t->StencilColor(), 0x00E6F5FF);
  EXPECT_EQ(t->TextStrip().Height(), 13);
  EXPECT_EQ(t->Timer().Interval(), 2u);
}

}  // namespace
