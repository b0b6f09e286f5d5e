#include "app/uMain.h"

#include <shellapi.h>

#include "app/QuickStartMenu.h"
#include "base/DiagLog.h"
#include "base/Utf.h"
#include "feeds/uRSSLoader.h"

namespace mq {

void RegisterMainWindowClasses() {
  RegisterGuiClasses();
  RegisterImageClasses();
  RegisterTickerClasses();
  RegisterBarClasses();
  RegisterNetClasses();
  RegisterShellMenuClasses();
}

TfrMain::TfrMain(TComponent* owner) : TAppBar(owner) {
  Handler("FormCreate", this, &TfrMain::FormCreate);
  Handler("FormShow", this, &TfrMain::FormShow);
  Handler("FormDestroy", this, &TfrMain::FormDestroy);
  Handler("lblTickerTextScrolled", this, &TfrMain::lblTickerTextScrolled);
  Handler("imgNextRssItemClick", this, &TfrMain::imgNextRssItemClick);
  Handler("imgPrevRssItemClick", this, &TfrMain::imgPrevRssItemClick);
  Handler("lblTickerClick", this, &TfrMain::lblTickerClick);
  Handler("lblTitle_Click", this, &TfrMain::lblTitle_Click);
  Handler("imgStartClick", this, &TfrMain::imgStartClick);
  Handler("tmrReloadTimer", this, &TfrMain::tmrReloadTimer);
  Handler("ResChangerResChanged", this, &TfrMain::ResChangerResChanged);
  Handler("netDetectConnectionStatusChanged", this, &TfrMain::netDetectConnectionStatusChanged);
  Handler("mnuCloseClick", this, &TfrMain::mnuCloseClick);

  DeclareField("imgBckg", imgBckg);
  DeclareField("lblTicker", lblTicker);
  DeclareField("imgStart", imgStart);
  DeclareField("lblTitle", lblTitle);
  DeclareField("imgPrevRssItem", imgPrevRssItem);
  DeclareField("imgNextRssItem", imgNextRssItem);
  DeclareField("pngImages", pngImages);
  DeclareField("tmrReload", tmrReload);
  DeclareField("ResChanger", ResChanger);
  DeclareField("netDetect", netDetect);
  DeclareField("pmRSS", pmRSS);
  DeclareField("pmTray", pmTray);
  DeclareField("mnuRSSFeeds", mnuRSSFeeds);
  DeclareField("mnuClose", mnuClose);

  // The feed and the flow exist before any start-up step runs, so a step that fails leaves
  // a window whose clicks, passes, timers and loaders still find them.
  failures_ = std::make_unique<TDeferredFailureReporter>(PlatformFailureReporter());
  feed_ = std::make_unique<TRSSHandler>(failures_.get());
  flow_ = std::make_unique<TMainFlow>(*feed_, static_cast<IMainView&>(*this));
}

TfrMain::~TfrMain() = default;

// ---- start-up and shut-down ----------------------------------------------------------------

void TfrMain::FormCreate(TObject*) {
  // An error here (typically unreadable proxy settings while the first loader is made, the
  // last step) goes to the application's handler; the window opens all the same.
  try {
    FormCreateSteps();
  } catch (...) {
    Application().HandleCurrentException(this);
  }
}

void TfrMain::FormCreateSteps() {
  // 1. Hint timing.
  TApplication& app = Application();
  app.HintHidePause = 20000;
  app.HintPause = 200;
  app.HintShortPause = 40;
  app.HintColor = static_cast<TColor>(0x00FFECD9);
  app.HintSettingsChanged();

  // 2. The bar: docked at the top, always on top, without a task-bar entry.
  SetTop(0);
  SetTaskEntry(abtHide);
  SetFlags({abfAllowTop, abfAllowBottom});
  SetHorzSizeInc(0);
  SetVertSizeInc(0);
  SetEdge(abeTop);
  SetAlwaysOnTop(true);
  // The background covers the whole client area whatever size the shell gives the bar.
  // (Its anchors alone are not enough: the window's first sizes while the bar is applied
  // leave it a few pixels wide.)
  OnResize = [this](TObject*) { FitBackground(); };
  FitBackground();

  // The ticker moves only while someone can see it.
  tickerWatch_ = std::make_unique<TTickerWatch>(*lblTicker);
  tickerWatch_->Attach(Handle());

  // 3. Start button (the place in design units, like the description's).
  imgStart->SetLeft(ScaleValue(4));
  imgStart->SetTop(ScaleValue(2));
  imgStart->Picture().SetGraphic(&pngImages->Items(0).PngImage);

  // 4. Reload timer: 5 minutes until the settings say otherwise.
  tmrReload->SetInterval(300000);
  tmrReload->SetEnabled(true);

  // 5. Navigation buttons.
  imgPrevRssItem->Picture().SetGraphic(&pngImages->Items(1).PngImage);
  imgNextRssItem->Picture().SetGraphic(&pngImages->Items(2).PngImage);

  // 6. The tray icon's hint is the application title: joins with the tray icon.

  // 8. (7, FirstRun, is set with the flow below, before anything reads it.)
  LayoutTicker();

  // 9. The hidden application window goes under the desktop's program manager window.
  ::SetParent(app.Handle(), ::FindWindowA("Progman", nullptr));

  // 10. State (the feed and the flow over it were made with the window).
  configFile_ = ConfigFileFor(ExecutablePath());
  DefaultLinks.Clear();
  CustomLinks.Clear();
  defaultUrl_ = DefaultFeedUrl();
  flow_->SetFirstRun(true);

  // 11. Settings.
  LoadSettings();

  // 12. The quick-start menu (pmRSS) and the tray menu's feed submenu (mnuRSSFeeds) are
  // built here from DefaultLinks and CustomLinks: joins with the feed menus.

  // 13. The first loader, started when the window is first shown.
  flow_->NewLoader(false);
}

void TfrMain::FitBackground() {
  if (imgBckg != nullptr) imgBckg->SetBounds(0, 0, ClientWidth(), ClientHeight());
}

void TfrMain::FormShow(TObject*) {
  // Showing the main form shows the application window, which carries the task-bar button;
  // the bar keeps none.
  if (TaskEntry() == abtHide) ShowTaskBarButton(false);
  if (flow_) flow_->StartLoader();
}

void TfrMain::FormDestroy(TObject*) {
  SaveState();
  // The flow goes first: it refers to the feed, and handlers that still come find neither.
  flow_.reset();
  feed_.reset();
  CustomLinks.Clear();
  DefaultLinks.Clear();
}

void TfrMain::LoadSettings() {
  settingsFile_ = std::make_unique<TWinProfileFile>(configFile_);
  TSettings s = mq::LoadSettings(*settingsFile_, defaultUrl_, TickerFont());
  if (s.FileExists) flow_->SetFirstRun(false);
  feed_->SetUrl(s.Url);
  LastConfigPage = s.LastConfigPage;
  tmrReload->SetInterval(s.ReloadIntervalMs);
  DefaultLinks = std::move(s.DefaultLinks);
  CustomLinks = std::move(s.CustomLinks);
  SetTickerFont(s.TickerFont);
  OpenDiagnosticsLog(s, configFile_, LogFileFor(ExecutablePath()));
}

void TfrMain::SaveState() {
  if (!settingsFile_ || !feed_) return;
  try {
    mq::SaveState(*settingsFile_, feed_->Url(), tmrReload->Interval(), CustomLinks);
  } catch (...) {
    Application().HandleCurrentException(this);
  }
}

TTickerFont TfrMain::TickerFont() const {
  const TFont& f = lblTicker->Font();
  TTickerFont font;
  font.Name = f.Name();
  font.Size = f.Size();
  font.Color = static_cast<std::uint32_t>(f.Color());
  font.Italic = (f.Style() & fsItalic) != 0;
  font.Bold = (f.Style() & fsBold) != 0;
  font.Underline = (f.Style() & fsUnderline) != 0;
  font.StrikeOut = (f.Style() & fsStrikeOut) != 0;
  return font;
}

void TfrMain::SetTickerFont(const TTickerFont& font) {
  TFont& f = lblTicker->Font();
  f.SetName(font.Name);
  f.SetSize(font.Size);
  f.SetColor(static_cast<TColor>(font.Color));
  f.SetStyle((font.Italic ? fsItalic : 0) | (font.Bold ? fsBold : 0) |
             (font.Underline ? fsUnderline : 0) | (font.StrikeOut ? fsStrikeOut : 0));
}

LRESULT TfrMain::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_QUERYENDSESSION) {
    // The session ends the program the way its close command does; the state is written
    // when the window is destroyed.
    try {
      mnuCloseClick(this);
    } catch (...) {
      Application().HandleCurrentException(this);
    }
  }
  if (tickerWatch_) tickerWatch_->WindowMessage(handle_, msg, wp, lp);
  return TAppBar::WndProc(msg, wp, lp);
}

void TfrMain::FullScreenAppChanged(bool open) {
  TAppBar::FullScreenAppChanged(open);
  if (tickerWatch_) tickerWatch_->FullScreenAppChanged(open);
}

void TfrMain::CreateWnd() {
  TAppBar::CreateWnd();
  if (tickerWatch_) tickerWatch_->Attach(handle_);
}

void TfrMain::DpiChanged(int dpi, const RECT* suggested) {
  TAppBar::DpiChanged(dpi, suggested);
  FitBackground();
  if (lblTicker != nullptr && lblTitle != nullptr && imgPrevRssItem != nullptr) LayoutTicker();
}

void TfrMain::mnuCloseClick(TObject*) {
  Application().Terminate();
  Close();
}

// ---- loaders ---------------------------------------------------------------------------------

void TfrMain::CreateLoader() {
  auto* loader = new TRssLoader(*feed_);
  loader->OnTerminate = [this](TObject*) { LoaderFinished(); };
  loader_ = loader;
}

void TfrMain::StartLoaderThread() {
  // The flow starts only the loader created last and only once; a started loader may have
  // freed itself already, so it is never touched again.
  if (TRssLoader* loader = std::exchange(loader_, nullptr)) loader->Start();
}

void TfrMain::LoaderFinished() {
  if (flow_) flow_->LoaderFinished();
  // The error box of a failed load opens only now, with the ticker already showing the
  // result: its message loop may run further hand-overs and ends, which then find Loading
  // cleared and show no second box.
  if (failures_) failures_->ShowPending();
}

// ---- what the flow shows ---------------------------------------------------------------------

void TfrMain::SetTicker(const std::string& text, const std::string& hint, TTickerPass pass) {
  lblTicker->SetText(text);
  if (pass == TTickerPass::Restart) lblTicker->RestartPass();
  lblTicker->SetHint(hint);
}

void TfrMain::SetTitle(const std::string& caption, const std::string& hint) {
  lblTitle->SetCaption(caption);
  lblTitle->SetHint(hint);
}

void TfrMain::LayoutTicker() {
  lblTicker->SetVisible(false);
  lblTicker->SetShowHint(true);
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const TTickerLayout l =
      ComputeTickerLayout(lblTitle->Left(), lblTitle->Width(), imgPrevRssItem->Width(),
                          work.right - work.left, ScaleValue(kTickerGap));
  imgPrevRssItem->SetLeft(l.PrevLeft);
  imgNextRssItem->SetLeft(l.NextLeft);
  lblTicker->SetBounds(l.TickerLeft, lblTicker->Top(), l.TickerWidth, lblTicker->Height());
  lblTicker->SetPixelJump(kTickerPixelJump);
  lblTicker->SetSpeed(kTickerSpeedMs);
  lblTicker->SetVisible(true);
}

void TfrMain::ShowQuickStartBalloon() {
  // The quick-start balloon (hintStart, kBalloonTitle and kBalloonText at imgStart, best
  // width 300, arrow position 0 first) joins with the balloon component.
}

void TfrMain::OpenLink(const std::string& link) {
  ::ShellExecuteW(::GetDesktopWindow(), L"open", ToWide(link).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TfrMain::RestartReloadTimer() {
  tmrReload->SetEnabled(false);
  tmrReload->SetEnabled(true);
}

void TfrMain::EnsureAlwaysOnTop() {
  if (!AlwaysOnTop()) SetAlwaysOnTop(true);
}

// ---- handlers --------------------------------------------------------------------------------

// Every handler below may come after FormDestroy has let the flow go (a timer or a loader's
// end on its way), so each one asks for it.
void TfrMain::lblTickerTextScrolled(TObject*) {
  if (flow_) flow_->TextScrolled();
}
void TfrMain::imgNextRssItemClick(TObject*) {
  if (flow_) flow_->NextClicked();
}
void TfrMain::imgPrevRssItemClick(TObject*) {
  if (flow_) flow_->PreviousClicked();
}
void TfrMain::lblTickerClick(TObject*) {
  if (flow_) flow_->TickerClicked();
}
void TfrMain::lblTitle_Click(TObject*) {
  if (flow_) flow_->TitleClicked(lblTitle->Hint());
}

void TfrMain::imgStartClick(TObject*) {
  // A plain store: it takes effect when the bar is next applied.
  SetAlwaysOnTop(false);
  if (pmRSS == nullptr) return;
  RECT bar{};
  ::GetWindowRect(Handle(), &bar);
  const TQuickStartAnchor at =
      QuickStartMenuAnchor(Edge() == abeBottom, bar.left, bar.top, bar.bottom - bar.top);
  pmRSS->SetPopupComponent(imgStart);
  pmRSS->SetOpenAbove(at.above);
  pmRSS->Popup(at.x, at.y);
}

void TfrMain::tmrReloadTimer(TObject*) {
  if (flow_) flow_->ReloadTimerTick();
}

void TfrMain::ResChangerResChanged(const TDisplayResolution&, const TDisplayResolution&) {
  LayoutTicker();
}

void TfrMain::netDetectConnectionStatusChanged(TObject*, bool isConnected) {
  if (flow_) flow_->ConnectionStatusChanged(isConnected);
}

}  // namespace mq
