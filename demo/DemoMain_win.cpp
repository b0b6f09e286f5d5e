// A small program that shows the ticker strip on its own: the bar's tiled background, the
// start picture, the title, the previous and next buttons and a scrolling text cycling
// through a few sample items, docked at the top of the screen as a 24-pixel application bar
// with the main window's bar settings.
#include <windows.h>

#include <string>
#include <vector>

#include "bar/uBar.h"
#include "gui/Forms_win.h"
#include "gui/StdCtrls_win.h"
#include "image/PngImage_win.h"
#include "ticker/ALScrollingText_win.h"
#include "ticker/EsTile_win.h"

namespace {

using namespace mq;

const std::vector<std::string> kItems = {
    "Marquelle shows the items of one RSS feed in a thin strip along the top of the screen",
    "Each title scrolls in from the right, one pixel every 30 ms, and fades in and out at the edges",
    "The previous and next buttons step through the items; a click on the text opens its link",
    "Feeds are downloaded in the background and reloaded every five minutes",
    "This is a demonstration of the ticker display: Tahoma 8 on the bar's glossy background",
};

class TfrDemo : public TAppBar {
 public:
  explicit TfrDemo(TComponent* owner) : TAppBar(owner) {
    DeclareField("imgBckg", imgBckg);
    DeclareField("imgStart", imgStart);
    DeclareField("lblTitle", lblTitle);
    DeclareField("imgPrevRssItem", imgPrevRssItem);
    DeclareField("lblTicker", lblTicker);
    DeclareField("imgNextRssItem", imgNextRssItem);
    DeclareField("pngImages", pngImages);
    Handler("FormCreate", this, &TfrDemo::FormCreate);
    Handler("lblTickerTextScrolled", this, &TfrDemo::lblTickerTextScrolled);
    Handler("imgPrevRssItemClick", this, &TfrDemo::imgPrevRssItemClick);
    Handler("imgNextRssItemClick", this, &TfrDemo::imgNextRssItemClick);
  }
  std::wstring ResourceName() const override { return L"TFRDEMO"; }

 private:
  void FormCreate(TObject*) {
    imgStart->Picture().SetGraphic(&pngImages->Items(0).PngImage);
    imgPrevRssItem->Picture().SetGraphic(&pngImages->Items(1).PngImage);
    imgNextRssItem->Picture().SetGraphic(&pngImages->Items(2).PngImage);
    // Docked to the top or the bottom edge only, not resizable, without a task-bar button,
    // on top of other windows; the description gives the docked height.
    SetTop(0);
    SetTaskEntry(abtHide);
    SetFlags({abfAllowTop, abfAllowBottom});
    SetHorzSizeInc(0);
    SetVertSizeInc(0);
    SetEdge(abeTop);
    SetAlwaysOnTop(true);
    LayoutTicker();
    ShowCurrentItem();
  }

  void LayoutTicker() {
    lblTicker->SetVisible(false);
    imgPrevRssItem->SetLeft(lblTitle->Left() + lblTitle->Width() + 10);
    imgNextRssItem->SetLeft(ClientWidth() - imgPrevRssItem->Width() - 10);
    lblTicker->SetLeft(imgPrevRssItem->Left() + imgPrevRssItem->Width());
    lblTicker->SetWidth(imgNextRssItem->Left() - lblTicker->Left());
    lblTicker->SetPixelJump(1);
    lblTicker->SetSpeed(30);
    lblTicker->SetVisible(true);
  }

  void ShowCurrentItem() {
    lblTicker->SetText(std::to_string(current_ + 1) + "/" + std::to_string(kItems.size()) + " " + kItems[current_]);
    lblTicker->SetHint(kItems[current_]);
  }

  void lblTickerTextScrolled(TObject*) {
    current_ = (current_ + 1) % kItems.size();
    ShowCurrentItem();
  }
  void imgNextRssItemClick(TObject*) { lblTickerTextScrolled(nullptr); }
  void imgPrevRssItemClick(TObject*) {
    if (current_ > 0) --current_;
    ShowCurrentItem();
  }

  TEsTile* imgBckg = nullptr;
  TImage* imgStart = nullptr;
  TLabel* lblTitle = nullptr;
  TImage* imgPrevRssItem = nullptr;
  TALScrollingText* lblTicker = nullptr;
  TImage* imgNextRssItem = nullptr;
  TPngImageCollection* pngImages = nullptr;
  std::size_t current_ = 0;
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  Application().Initialize();
  RegisterImageClasses();
  RegisterTickerClasses();
  Application().SetTitle("Marquelle demo");
  try {
    Application().CreateForm<TfrDemo>();
  } catch (...) {
    Application().HandleCurrentException(nullptr);
    return 1;
  }
  Application().Run();
  return 0;
}
