#include "feeds/FeedFetchState.h"

#include <algorithm>

namespace mq {

void TFeedFetchState::Use(const std::string& url) {
  if (url == url_) return;
  url_ = url;
  validators_ = {};
  failures_ = 0;
  lastFailure_.clear();
  backoffUntil_.reset();
  retryUntil_.reset();
}

TFeedValidators TFeedFetchState::ValidatorsFor(const std::string& url) const {
  return url == url_ ? validators_ : TFeedValidators{};
}

void TFeedFetchState::Succeeded(const std::string& url, TFeedValidators validators) {
  Use(url);
  validators_ = std::move(validators);
  lastFailure_.clear();
  ResetBackoff();
}

void TFeedFetchState::NotModified(const std::string& url) {
  Use(url);
  lastFailure_.clear();
  ResetBackoff();
}

void TFeedFetchState::Failed(const std::string& url, Clock::time_point started,
                             Clock::time_point finished, std::optional<std::chrono::seconds> retryAfter,
                             std::string cause) {
  Use(url);
  validators_ = {};
  lastFailure_ = std::move(cause);
  failures_ = std::min(failures_ + 1, 64);
  // kFirstBackoff doubled for each failure after the first, at most kMaxBackoff.
  std::chrono::seconds wait = kFirstBackoff;
  for (int i = 1; i < failures_ && wait < kMaxBackoff; ++i) wait *= 2;
  backoffUntil_ = started + std::min(wait, kMaxBackoff);
  if (retryAfter) {
    const Clock::time_point until = finished + std::min(*retryAfter, kMaxRetryAfter);
    retryUntil_ = retryUntil_ ? std::max(*retryUntil_, until) : until;
  }
}

void TFeedFetchState::ResetBackoff() {
  failures_ = 0;
  backoffUntil_.reset();
  retryUntil_.reset();
}

bool TFeedFetchState::MayReload(const std::string& url) const {
  if (url != url_) return true;
  const Clock::time_point now = now_();
  if (retryUntil_ && now < *retryUntil_) return false;
  if (backoffUntil_ && now + kTickSlack < *backoffUntil_) return false;
  return true;
}

std::optional<TFeedFetchState::Clock::time_point> TFeedFetchState::HeldUntil() const {
  if (backoffUntil_ && retryUntil_) return std::max(*backoffUntil_, *retryUntil_);
  return backoffUntil_ ? backoffUntil_ : retryUntil_;
}

}  // namespace mq
