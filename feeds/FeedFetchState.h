// What the downloads of the current feed remember between reloads, so that the ticker costs
// a feed server little: the validators of the last good response (sent back so that an
// unchanged feed is answered with a bare 304), and the back-off after failures (reload ticks
// are skipped while it runs). Everything belongs to one feed address; news of another
// address starts afresh.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace mq {

// The validators of one response, as the server sent them ("ETag", "Last-Modified").
struct TFeedValidators {
  std::string etag;
  std::string lastModified;
  bool Any() const { return !etag.empty() || !lastModified.empty(); }
  friend bool operator==(const TFeedValidators&, const TFeedValidators&) = default;
};

class TFeedFetchState {
 public:
  using Clock = std::chrono::steady_clock;

  // After the first failure in a row the next reload may come after kFirstBackoff; each
  // further failure doubles the wait, up to kMaxBackoff. A server's own Retry-After is
  // honoured up to kMaxRetryAfter.
  static constexpr std::chrono::seconds kFirstBackoff{60};
  static constexpr std::chrono::seconds kMaxBackoff{3600};
  static constexpr std::chrono::seconds kMaxRetryAfter{24 * 3600};
  // A reload tick counts as due this much before the back-off ends: ticks come at the
  // reload interval from the tick that started the failed download, a little before the
  // download itself began.
  static constexpr std::chrono::seconds kTickSlack{5};

  explicit TFeedFetchState(std::function<Clock::time_point()> now = Clock::now) : now_(std::move(now)) {}
  // The clock MayReload reads (tests set their own).
  void SetClock(std::function<Clock::time_point()> now) { now_ = std::move(now); }
  Clock::time_point Now() const { return now_(); }

  // The validators to send with a download of `url`: those of its last good response while
  // the feed shown is that response; none otherwise.
  TFeedValidators ValidatorsFor(const std::string& url) const;

  // A download of `url` gave a feed: its validators are kept and the back-off ends.
  void Succeeded(const std::string& url, TFeedValidators validators);
  // The server said the feed of `url` is unchanged (304): the validators stay, the
  // back-off ends.
  void NotModified(const std::string& url);
  // A download of `url` that began at `started` failed, or brought no feed, for `cause`.
  // The validators go (the items they stood for are gone), the failure counts, and a
  // Retry-After the server sent (`retryAfter`, from `finished`) holds reloads until then.
  void Failed(const std::string& url, Clock::time_point started, Clock::time_point finished,
              std::optional<std::chrono::seconds> retryAfter, std::string cause = {});
  // A feed choice, or the network back: the back-off and the Retry-After end.
  void ResetBackoff();

  // False while a reload tick of `url` should be skipped.
  bool MayReload(const std::string& url) const;
  // Failures in a row of the current address.
  int Failures() const { return failures_; }
  // Why the last download of `url` gave no feed; empty after a feed was read (or a 304),
  // and for another address.
  std::string LastFailure(const std::string& url) const {
    return url == url_ ? lastFailure_ : std::string();
  }
  // When the back-off (or Retry-After) lets a reload through, if one holds it.
  std::optional<Clock::time_point> HeldUntil() const;

 private:
  // Forgets everything of another address.
  void Use(const std::string& url);

  std::function<Clock::time_point()> now_;
  std::string url_;
  TFeedValidators validators_;
  int failures_ = 0;
  std::string lastFailure_;
  std::optional<Clock::time_point> backoffUntil_;
  std::optional<Clock::time_point> retryUntil_;
};

}  // namespace mq
