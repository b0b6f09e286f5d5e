// A bar docked to the top of the screen with the main window's bar settings, for looking at
// (tests/bar/show.sh takes a screenshot of it in the virtual desktop).
#include <windows.h>

#include "bar/uBar.h"
#include "gui/StdCtrls_win.h"

namespace {

class TBarShow : public mq::TAppBar {
 public:
  explicit TBarShow(mq::TComponent* owner) : TAppBar(owner) {
    SetBorderStyle(mq::TFormBorderStyle::bsNone);
    SetCaption("Docked bar");
    SetColor(0x003C3028);
    auto* label = new mq::TLabel(this);
    label->SetParent(this);
    label->SetTransparent(true);
    label->Font().SetName("Tahoma");
    label->Font().SetSize(8);
    label->Font().SetColor(0x00E6F5FF);
    label->SetCaption("Marquelle v0.93  -  an application bar docked to the top edge");
    label->SetLeft(8);
    label->SetTop(5);

    SetTop(0);
    SetTaskEntry(mq::abtHide);
    SetFlags({mq::abfAllowTop, mq::abfAllowBottom});
    SetHorzSizeInc(0);
    SetVertSizeInc(0);
    SetHorzDockSize(24);
    SetEdge(mq::abeTop);
    SetAlwaysOnTop(true);

    // Wine's task bar drops the button of a window that was hidden (here the application's
    // window, shown with the main form and hidden again by the bar) only at its next window
    // notification; one short-lived window gives it that, so the screenshot shows the task
    // bar as Windows would.
    nudge_ = new mq::TTimer(this);
    nudge_->SetInterval(1500);
    nudge_->SetOnTimer([this](mq::TObject*) {
      nudge_->SetEnabled(false);
      HWND w =
          CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
      ShowWindow(w, SW_SHOWNOACTIVATE);
      DestroyWindow(w);
    });
  }

 private:
  mq::TTimer* nudge_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  mq::Application().Initialize();
  mq::Application().SetTitle("Marquelle v0.93");
  mq::Application().CreateForm<TBarShow>();
  mq::Application().Run();
  return 0;
}
