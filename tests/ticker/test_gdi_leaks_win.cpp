// Thousands of rebuilds and paints leave the number of live GDI objects where it was.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "gui/Forms_win.h"
#include "gui/Gdi_win.h"
#include "ticker/ALScrollingText_win.h"
#include "ticker/EsTile_win.h"

namespace {

using namespace mq;

DWORD ProcessGdiObjects() { return ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS); }

TEST(GdiLeaks, TheCountSeesObjectsComeAndGo) {
  const long before = GdiObjectCount();
  {
    TBitmap b(10, 10);  // a memory DC and a DIB
    EXPECT_EQ(GdiObjectCount(), before + 2);
    TFont f;
    f.Handle();
    EXPECT_EQ(GdiObjectCount(), before + 3);
  }
  EXPECT_EQ(GdiObjectCount(), before);
}

TEST(GdiLeaks, RebuildsAndPaintsDoNotLeak) {
  Owned<TForm> form = CreateOwnedForm<TForm>();
  form->SetBorderStyle(TFormBorderStyle::bsNone);
  form->SetClientSize(600, 24);
  auto* tile = new TEsTile(form.get());
  tile->SetParent(form.get());
  tile->SetBounds(0, 0, 600, 24);
  TBitmap pattern(3, 25);
  tile->SetBitmap(&pattern);
  auto* ticker = new TALScrollingText(form.get());
  ticker->SetParent(form.get());
  ticker->SetBounds(40, 4, 500, 18);
  ticker->SetBackgroundColor(0x003C3028);
  form->Show();
  TBitmap target(600, 24);
  // Warm-up: fonts and buffers that live as long as the controls.
  form->PaintContent(target.Dc(), RECT{0, 0, 600, 24});
  ticker->Step();
  Application().ProcessMessages();
  const long before = GdiObjectCount();
  const DWORD platformBefore = ProcessGdiObjects();
  for (int i = 0; i < 5000; ++i) {
    ticker->SetText("item " + std::to_string(i));
    if (i % 100 == 0) {
      ticker->Font().SetSize(8 + i % 3);
      ticker->SetWidth(480 + i % 40);
      ticker->SetBackgroundColor(i % 200 ? 0x003C3028 : 0x00FFFFFF);
    }
    ticker->Step();  // paints on the window
    form->PaintContent(target.Dc(), RECT{0, 0, 600, 24});
  }
  Application().ProcessMessages();
  EXPECT_EQ(GdiObjectCount(), before);
  // Where the platform reports its own count, that must not grow either.
  if (platformBefore != 0) {
    EXPECT_LE(ProcessGdiObjects(), platformBefore + 2);
  }
  form->Hide();
}

TEST(GdiLeaks, CreatingAndFreeingControlsDoesNotLeak) {
  Owned<TForm> form = CreateOwnedForm<TForm>();
  const long before = GdiObjectCount();
  for (int i = 0; i < 1000; ++i) {
    auto* t = new TALScrollingText(form.get());
    t->SetParent(form.get());
    t->SetText("text " + std::to_string(i));
    FreeComponent(t);
  }
  EXPECT_EQ(GdiObjectCount(), before);
}

}  // namespace
