#include "app/MainLogic.h"

#include <algorithm>
#include <chrono>

#include "base/DiagLog.h"
#include "base/Utf.h"
#include "feeds/FeedText.h"

namespace mq {

TTextAndHint TickerTextFor(const TRSSHandler& feed) {
  const int index = feed.CurrentIndex();
  if (index < 0) {
    // Why the last download gave nothing, when it failed, under the general hint.
    std::string hint(kNoFeedHint);
    const std::string cause = feed.FetchState().LastFailure(feed.Url());
    if (!cause.empty()) hint += "\n" + CutToCodePoints(cause, kMaxDescriptionChars);
    return {std::string(kNoFeedText), std::move(hint)};
  }
  const TRSSItem& item = *feed.CurrentItem();
  std::string text = std::to_string(index + 1);
  text += '/';
  text += std::to_string(feed.Items().Count());
  text += ' ';
  text += CutToCodePoints(DecodeCharRefs(item.Title()), kMaxTitleChars);
  return {std::move(text), CutToCodePoints(DecodeCharRefs(item.Description()), kMaxDescriptionChars)};
}

TTextAndHint TitleFor(const TRSSHandler& feed) {
  if (feed.CurrentIndex() < 0) return {std::string(kNoFeedTitle), std::string()};
  return {CutToCodePoints(DecodeCharRefs(feed.Title()), kMaxTitleChars), feed.Link()};
}

namespace {

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> LinkToOpen(std::string_view link) {
  auto isTrimmed = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!link.empty() && isTrimmed(link.front())) link.remove_prefix(1);
  while (!link.empty() && isTrimmed(link.back())) link.remove_suffix(1);
  if (StartsWithNoCase(link, "http://") || StartsWithNoCase(link, "https://")) return std::string(link);
  return std::nullopt;
}

TTickerLayout ComputeTickerLayout(int titleLeft, int titleWidth, int buttonWidth, int workAreaWidth,
                                  int gap) {
  TTickerLayout l;
  l.PrevLeft = titleLeft + titleWidth + gap;
  l.NextLeft = workAreaWidth - buttonWidth - gap;
  l.TickerLeft = l.PrevLeft + buttonWidth;
  l.TickerWidth = std::max(0, l.NextLeft - l.TickerLeft);
  return l;
}

std::uint32_t ReloadIntervalFromTrackBar(int position) {
  return std::uint32_t(position + 1) * 5u * 60000u;
}

int TrackBarFromReloadInterval(std::uint32_t intervalMs) {
  const int position = int(intervalMs / 60000u / 5u) - 1;
  return std::clamp(position, 0, 11);
}

void TMainFlow::NewLoader(bool start) {
  view_.CreateLoader();
  loaderWaiting_ = true;
  if (start) StartLoader();
}

void TMainFlow::StartLoader() {
  if (!loaderWaiting_) return;
  loaderWaiting_ = false;
  view_.StartLoaderThread();
  loading_ = true;
}

void TMainFlow::LoaderFinished() {
  loading_ = false;
  const TTextAndHint title = TitleFor(feed_);
  view_.SetTitle(title.Text, title.Hint);
  view_.LayoutTicker();
  ShowCurrentItem();
  if (firstRun_) view_.ShowQuickStartBalloon();
}

TMainFlow::TShownItem TMainFlow::CurrentItem() const {
  if (feed_.CurrentIndex() < 0) return {};
  const TRSSItem& item = *feed_.CurrentItem();
  return {true, item.Title(), item.Link()};
}

void TMainFlow::Show(TTickerPass pass) {
  if (loading_) return;
  TShownItem item = CurrentItem();
  if (item != shown_) pass = TTickerPass::Restart;
  shown_ = std::move(item);
  const TTextAndHint ticker = TickerTextFor(feed_);
  view_.SetTicker(ticker.Text, ticker.Hint, pass);
}

void TMainFlow::ShowCurrentItem() { Show(TTickerPass::Keep); }

void TMainFlow::NextClicked() {
  feed_.SelectNext();
  Show(TTickerPass::Restart);
}

void TMainFlow::PreviousClicked() {
  feed_.SelectPrevious();
  Show(TTickerPass::Restart);
}

void TMainFlow::TextScrolled() {
  view_.EnsureAlwaysOnTop();
  feed_.SelectNext();
  Show(TTickerPass::Restart);
}

void TMainFlow::TickerClicked() {
  if (feed_.CurrentIndex() < 0) return;
  if (auto link = LinkToOpen(feed_.CurrentItem()->Link())) view_.OpenLink(*link);
}

void TMainFlow::TitleClicked(std::string_view titleHint) {
  if (auto link = LinkToOpen(titleHint)) view_.OpenLink(*link);
}

void TMainFlow::ReloadTimerTick() {
  // While the feed's server asked for a pause, or its downloads keep failing, ticks pass.
  const TFeedFetchState& state = feed_.FetchState();
  if (!state.MayReload(feed_.Url())) {
    const auto now = state.Now();
    const auto left =
        std::chrono::duration_cast<std::chrono::seconds>(state.HeldUntil().value_or(now) - now);
    LogEvent("reload", "tick skipped for " + feed_.Url() + ": " + std::to_string(state.Failures()) +
                           " failures in a row, next try in " + std::to_string(left.count()) + " s");
    return;
  }
  NewLoader(true);
}

void TMainFlow::FeedChosen(std::string_view url) {
  feed_.SetUrl(url);
  feed_.FetchState().ResetBackoff();
  view_.RestartReloadTimer();
  NewLoader(true);
}

void TMainFlow::ConnectionStatusChanged(bool connected) {
  if (connected) feed_.FetchState().ResetBackoff();
  if (loading_ || feed_.Items().Count() != 0 || !connected) return;
  view_.RestartReloadTimer();
  NewLoader(true);
}

void TMainFlow::ConfiguredReloadInterval(std::uint32_t newMs, std::uint32_t currentMs) {
  if (newMs != currentMs) view_.SetReloadInterval(newMs);
}

}  // namespace mq
