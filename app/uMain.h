// uMain (Windows): TfrMain, the program's one window. An application bar docked to the top
// of the screen that holds, from left to right, the start button, the feed title, the
// previous-item button, the scrolling ticker and the next-item button over a tiled
// background. Its components are declared in the form description "FRMAIN" (app/res/
// frMain.dfm); the decisions of its flow are TMainFlow's (app/MainLogic.h), and this class
// carries them out on the controls, the reload timer and the loader threads as the flow's
// IMainView. app/README.md follows a click, a timer tick and a download through both.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "app/MainLogic.h"
#include "app/Settings_win.h"
#include "app/uRSSLinkItem.h"
#include "bar/SWResChange.h"
#include "bar/uBar.h"
#include "feeds/DeferredFailure.h"
#include "feeds/uRSSHandler.h"
#include "gui/StdCtrls_win.h"
#include "image/PngImage_win.h"
#include "net/QNetDetect.h"
#include "shell/BarMenus_win.h"
#include "ticker/ALScrollingText_win.h"
#include "ticker/EsTile_win.h"
#include "ticker/TickerWatch_win.h"

namespace mq {

class TRssLoader;

// Registers every component class the main window's description names. Idempotent.
void RegisterMainWindowClasses();

class TfrMain : public TAppBar, private IMainView {
 public:
  explicit TfrMain(TComponent* owner);
  ~TfrMain() override;

  std::wstring ResourceName() const override { return L"FRMAIN"; }
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  // After the bar has been scaled and docked again, the controls are laid out anew: the
  // ticker's width follows the work area, which does not scale.
  void DpiChanged(int dpi, const RECT* suggested) override;

  // --- Components of the description.
  TEsTile* imgBckg = nullptr;
  TALScrollingText* lblTicker = nullptr;
  TImage* imgStart = nullptr;
  TLabel* lblTitle = nullptr;
  TImage* imgPrevRssItem = nullptr;
  TImage* imgNextRssItem = nullptr;
  TPngImageCollection* pngImages = nullptr;
  TTimer* tmrReload = nullptr;
  TSWResChange* ResChanger = nullptr;
  TQNetDetect* netDetect = nullptr;
  // The quick-start menu (popped up by the start button) and the tray menu with its feed
  // submenu; the feed items are built into them at start-up.
  TBcBarPopupMenu* pmRSS = nullptr;
  TBcBarPopupMenu* pmTray = nullptr;
  TMenuItem* mnuRSSFeeds = nullptr;
  TMenuItem* mnuClose = nullptr;
  // Joined by later work: sysTray (TCHTrayIcon, popup menu pmTray) and hintStart
  // (TALHintBalloonControl).

  // --- State.
  bool FirstRun() const { return flow_ ? flow_->FirstRun() : true; }
  bool Loading() const { return flow_ && flow_->Loading(); }
  const std::string& ConfigFile() const noexcept { return configFile_; }
  const std::string& DefaultUrl() const noexcept { return defaultUrl_; }
  int LastConfigPage = 0;
  static constexpr unsigned char DefaultReloadMinutes = 5;
  TRSSLinkList DefaultLinks;
  TRSSLinkList CustomLinks;
  TRSSHandler* Feed() const noexcept { return feed_.get(); }

  // --- Operations.
  // Virtual (through IMainView) so that a test can make this start-up step fail.
  void LayoutTicker() override;
  void LoadSettings();
  void SaveState();

  // --- Handlers wired by the description.
  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormDestroy(TObject* Sender);
  void lblTickerTextScrolled(TObject* Sender);
  void imgNextRssItemClick(TObject* Sender);
  void imgPrevRssItemClick(TObject* Sender);
  void lblTickerClick(TObject* Sender);
  void lblTitle_Click(TObject* Sender);
  void imgStartClick(TObject* Sender);
  void tmrReloadTimer(TObject* Sender);
  void ResChangerResChanged(const TDisplayResolution& OldRes, const TDisplayResolution& NewRes);
  // The network is back (or gone): an idle, empty feed is loaded at once.
  void netDetectConnectionStatusChanged(TObject* Sender, bool isConnected);
  // The tray menu's close command: ends the application and closes the window. Until the
  // tray menu exists, only the end-of-session query runs it.
  void mnuCloseClick(TObject* Sender);

 private:
  // What the flow asks of the window (IMainView).
  void SetTicker(const std::string& text, const std::string& hint, TTickerPass pass) override;
  void SetTitle(const std::string& caption, const std::string& hint) override;
  void ShowQuickStartBalloon() override;
  void OpenLink(const std::string& link) override;
  void RestartReloadTimer() override;
  void SetReloadInterval(std::uint32_t ms) override { tmrReload->SetInterval(ms); }
  void EnsureAlwaysOnTop() override;
  void CreateLoader() override;
  void StartLoaderThread() override;
  // A loader's end-of-run event: the flow's end of a download, then a failure's error box.
  void LoaderFinished();

  // Another bar or the task bar moved: the bar is docked again, the ticker laid out anew.
  void WorkAreaChanged() override { LayoutTicker(); }
  // A full-screen application covers the bar: the ticker holds still until it closes.
  void FullScreenAppChanged(bool open) override;
  // A window made anew registers for the session and display notifications again.
  void CreateWnd() override;
  void FormCreateSteps();
  void FitBackground();
  // The ticker's font as the settings know it, and back.
  TTickerFont TickerFont() const;
  void SetTickerFont(const TTickerFont& font);

  std::string configFile_;
  std::string defaultUrl_;
  // The feed's load failures, shown after the loader has ended (declared before feed_,
  // which reports to it).
  std::unique_ptr<TDeferredFailureReporter> failures_;
  std::unique_ptr<TRSSHandler> feed_;
  std::unique_ptr<TMainFlow> flow_;
  std::unique_ptr<TWinProfileFile> settingsFile_;
  TRssLoader* loader_ = nullptr;  // the loader created last; it frees itself once started
  // Stops the ticker's timer while no one can see it (hidden, covered, locked, display off).
  std::unique_ptr<TTickerWatch> tickerWatch_;
};

}  // namespace mq
