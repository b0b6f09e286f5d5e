// The main window's decisions that need no window: what the ticker and the feed title show,
// when a download starts, when the reload timer restarts, which links may be opened and
// where the ticker's controls go. They read and step the feed handler itself; the window
// (uMain) owns the controls, the loader threads and the timer, and carries out what is
// decided here through IMainView, which it implements. app/README.md follows a click, a
// timer tick and a download through both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "feeds/uRSSHandler.h"

namespace mq {

// Texts the main window shows.
inline constexpr std::string_view kAppTitle = "Marquelle v0.93";
inline constexpr std::string_view kLoadingText = "正在载入 RSS...";
inline constexpr std::string_view kNoFeedText = "现在无法从当前地址获取 feeds!";
inline constexpr std::string_view kNoFeedHint = "无效 url 或服务器无响应!";
inline constexpr std::string_view kNoFeedTitle = "N/A";
inline constexpr std::string_view kBalloonTitle = "快速启动菜单!";
inline constexpr std::string_view kBalloonText =
    "点击此处通过 rss feeds 开始浏览. 你可以从任务栏菜单配置这个列表.";

// The most characters shown of a title (in the ticker and as the feed title) and of an
// item's description (the ticker's tool-tip); longer texts end in "…". A feed can carry
// titles of megabytes, and every shown character costs drawing surface.
inline constexpr std::size_t kMaxTitleChars = 1000;
inline constexpr std::size_t kMaxDescriptionChars = 4000;

// The ticker advances this many pixels per step, one step per kTickerSpeedMs.
inline constexpr int kTickerPixelJump = 1;
inline constexpr int kTickerSpeedMs = 30;

// Where a new ticker text starts: at the beginning of a pass (entering at the edge), or at
// the place the ticker has reached with the text it replaces.
enum class TTickerPass { Restart, Keep };

// What the main window does on this code's behalf.
class IMainView {
 public:
  virtual ~IMainView() = default;
  virtual void SetTicker(const std::string& text, const std::string& hint, TTickerPass pass) = 0;
  virtual void SetTitle(const std::string& caption, const std::string& hint) = 0;
  virtual void LayoutTicker() = 0;
  // The quick-start balloon (kBalloonTitle, kBalloonText) at the start button.
  virtual void ShowQuickStartBalloon() = 0;
  // Opens an address with the shell's "open" verb.
  virtual void OpenLink(const std::string& link) = 0;
  // Stops and starts the reload timer, so its next tick is one full interval away.
  virtual void RestartReloadTimer() = 0;
  // Sets the reload timer's interval (which restarts it).
  virtual void SetReloadInterval(std::uint32_t ms) = 0;
  // Sets the bar's AlwaysOnTop when it is off.
  virtual void EnsureAlwaysOnTop() = 0;
  // Creates a suspended loader for the current feed whose end runs LoaderFinished, and keeps
  // it as the loader created last. May throw (unreadable proxy settings); then the loader
  // created before stays the last one.
  virtual void CreateLoader() = 0;
  // Starts the loader created last (its thread; TMainFlow::StartLoader decides when).
  virtual void StartLoaderThread() = 0;
};

struct TTextAndHint {
  std::string Text;
  std::string Hint;
  bool operator==(const TTextAndHint&) const = default;
};

// The ticker's text and hint for the feed's state: "<index+1>/<count> <title>" with the
// description as hint (each with its character references decoded, then cut for display),
// or the no-feed text when there is no current item, its hint followed by the cause of the
// last failed download on a line of its own (the feed's FetchState), when there is one.
TTextAndHint TickerTextFor(const TRSSHandler& feed);
// The feed title's caption and hint: the channel title (decoded, cut) with the channel link
// (unchanged), or "N/A" with no hint when there is no current item.
TTextAndHint TitleFor(const TRSSHandler& feed);

// The address to open for a clicked item or channel link: the link without surrounding
// blanks and control characters, when it then begins with "http://" or "https://" in any
// letter case; nothing otherwise (a local path, another scheme, a "?http://" tail).
std::optional<std::string> LinkToOpen(std::string_view link);

// Where LayoutTicker puts the controls: the previous button 10 pixels right of the title,
// the next button 10 pixels (plus its width) before the right end of the work area, the
// ticker between them. A work area too narrow for the ticker leaves it 0 wide.
struct TTickerLayout {
  int PrevLeft = 0;
  int NextLeft = 0;
  int TickerLeft = 0;
  int TickerWidth = 0;
  bool operator==(const TTickerLayout&) const = default;
};
// The gap, in pixels, after the title and before the right edge (10 at 96 pixels per inch).
inline constexpr int kTickerGap = 10;
TTickerLayout ComputeTickerLayout(int titleLeft, int titleWidth, int buttonWidth, int workAreaWidth,
                                  int gap = kTickerGap);

// The reload interval that the configuration dialog's track bar position stands for, and the
// position that shows an interval (clamped to the bar's 0 to 11).
std::uint32_t ReloadIntervalFromTrackBar(int position);
int TrackBarFromReloadInterval(std::uint32_t intervalMs);

// The main window's flow between the feed, the loaders, the timer and the controls.
class TMainFlow {
 public:
  TMainFlow(TRSSHandler& feed, IMainView& view) : feed_(feed), view_(view) {}

  // True from a loader's start until the end of a loader has been handled. With two loaders
  // running, the first end clears it.
  bool Loading() const { return loading_; }
  // True when the settings file did not exist at start-up; stays so for the whole run.
  bool FirstRun() const { return firstRun_; }
  void SetFirstRun(bool firstRun) { firstRun_ = firstRun; }

  // Creates a loader (CreateLoader's error leaves this at once) and, with start, starts it.
  void NewLoader(bool start);
  // Starts the loader created last unless it has been started already.
  void StartLoader();
  // The end of a download: title, layout, ticker text, and the balloon on a first run.
  void LoaderFinished();
  // Recomposes the ticker text and hint; while loading, the ticker keeps what it shows. Another
  // item than the one shown starts a new pass; the same item (after a reload) keeps its place.
  void ShowCurrentItem();

  void NextClicked();
  void PreviousClicked();
  // The ticker text has scrolled through once: back on top, next item. Each step (this and
  // the two buttons) shows the chosen item from the beginning of a pass.
  void TextScrolled();
  // Opens the current item's link (when there is a current item and the link may be opened).
  void TickerClicked();
  // Opens the channel link that the title holds as its hint.
  void TitleClicked(std::string_view titleHint);

  // A download of the current feed, unless its back-off holds reloads (the feed's
  // FetchState: failures in a row, or the server's Retry-After).
  void ReloadTimerTick();
  // A feed chosen from a feed menu: the back-off ends and a download starts at once, also
  // for the current feed.
  void FeedChosen(std::string_view url);
  // The connection detector's report: the network back ends the back-off; a download starts
  // only when the network is back, no load is running and the feed has no items.
  void ConnectionStatusChanged(bool connected);
  // An accepted configuration's interval: set only when it differs from the current one.
  void ConfiguredReloadInterval(std::uint32_t newMs, std::uint32_t currentMs);

 private:
  // What identifies the item the ticker shows: its title and link, or no item at all.
  struct TShownItem {
    bool any = false;
    std::string title, link;
    bool operator==(const TShownItem&) const = default;
  };
  TShownItem CurrentItem() const;
  void Show(TTickerPass pass);

  TRSSHandler& feed_;
  IMainView& view_;
  std::optional<TShownItem> shown_;  // nothing before the first item or error text
  bool loading_ = false;
  bool firstRun_ = true;
  bool loaderWaiting_ = false;  // the loader created last has not been started
};

}  // namespace mq
