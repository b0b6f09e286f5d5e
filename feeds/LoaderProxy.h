// The feed loader's portable half: which proxy a download takes from the per-user Internet
// settings (manual, per scheme, with the bypass list; or by automatic configuration), the
// download itself with its validators, content codings and size limit, and the rule for
// handing the result to the feed handler. The thread around it is feeds/uRSSLoader.h
// (Windows).
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "feeds/FeedFetchState.h"
#include "feeds/uRSSHandler.h"
#include "http/ALWinHttpClient.h"

namespace mq {

// The proxy a loader's client uses. Without `named` the request goes out directly.
struct TLoaderProxy {
  bool named = false;
  std::string server;
  int port = 0;
  std::string bypass;
  friend bool operator==(const TLoaderProxy&, const TLoaderProxy&) = default;
};

// The bypass list a named proxy gets when the settings hold none: host names without a dot
// go directly.
inline constexpr std::string_view kLoaderProxyBypass = "<local>";

// The values of the per-user Internet settings that decide the proxy.
struct TInternetSettings {
  std::optional<bool> proxyEnable;           // "ProxyEnable"; empty when missing
  std::string proxyServer;                   // "ProxyServer"
  std::optional<std::string> proxyOverride;  // "ProxyOverride", the bypass list; empty when missing
  std::string autoConfigUrl;                 // "AutoConfigURL", a configuration script
  friend bool operator==(const TInternetSettings&, const TInternetSettings&) = default;
};

// The host and port of a "ProxyServer" text for a scheme ("http" or "https"). The text is
// one "host:port", or a list of "scheme=host:port" entries separated by ";":
// the entry for the scheme is taken, else the "http=" entry, else an entry without a
// scheme; "socks=" and other schemes never are. A host may carry "http://" before it. The
// port is a decimal whole number from 1 to 65535; an entry without one, or with a bad one,
// or an empty host, is no proxy. Nothing when no entry fits.
struct TProxyEntry {
  std::string host;
  int port = 0;
  friend bool operator==(const TProxyEntry&, const TProxyEntry&) = default;
};
std::optional<TProxyEntry> ProxyEntryFor(std::string_view proxyServer, std::string_view scheme);

// The manual proxy for an address's scheme: when "ProxyEnable" is true and "ProxyServer"
// has an entry for the scheme, that proxy with "ProxyOverride" as the bypass list
// (kLoaderProxyBypass when the value is missing); otherwise none, without an error.
TLoaderProxy ManualLoaderProxy(const TInternetSettings& settings, std::string_view scheme);

// "https" for an https address (any letter case), "http" otherwise.
std::string_view SchemeOf(std::string_view url);

// The user's automatic proxy configuration as the platform reports it.
struct TAutoProxyConfig {
  bool autoDetect = false;
  std::string autoConfigUrl;
};

// The platform's answer for one address: go directly, or through the proxies listed
// ("host:port" entries separated by ";", possibly per scheme), with a bypass list.
struct TAutoProxyAnswer {
  bool direct = true;
  std::string proxy;
  std::string bypass;
};

// Automatic proxy configuration (WinHTTP's WinHttpGetIEProxyConfigForCurrentUser and
// WinHttpGetProxyForUrl on Windows).
class IAutoProxy {
 public:
  virtual ~IAutoProxy() = default;
  // The user's settings for detection and a configuration script; nothing when they cannot
  // be read.
  virtual std::optional<TAutoProxyConfig> CurrentUserConfig() = 0;
  // The proxy for `url` by detection and/or the configuration script; nothing when neither
  // gives an answer, with the reason in `error`.
  virtual std::optional<TAutoProxyAnswer> ProxyForUrl(const std::string& url,
                                                      const TAutoProxyConfig& config,
                                                      std::string& error) = 0;
};

// The proxy for a download of `url`. When the platform's settings ask for detection or name
// a configuration script (or the "AutoConfigURL" value does), the platform is asked for the
// address; its answer is taken when it gives one (directly, or the first proxy fitting the
// scheme). Otherwise, and when it fails, the manual settings decide (ManualLoaderProxy),
// and without them the request goes directly. `autoProxy` may be null (no automatic
// configuration). The choice and its reason go to the diagnostics log.
TLoaderProxy ResolveLoaderProxy(const TInternetSettings& settings, IAutoProxy* autoProxy,
                                const std::string& url);

// Applies the proxy to a client; a proxy that is not named changes nothing.
void ApplyLoaderProxy(TALWinHttpClient& client, const TLoaderProxy& proxy);

// The largest body a loader accepts, counted after the content codings are undone (and
// before, for what arrives); a longer download is stopped and counts as failed.
inline constexpr std::size_t kMaxFeedBytes = std::size_t{16} * 1024 * 1024;

// How long a loader's download may take as a whole (connecting, sending and receiving), so
// that a server dripping bytes cannot keep a loader thread alive; past it the download
// counts as failed.
inline constexpr int kFeedDownloadDeadlineMs = 60000;

// What one download brought.
struct TFeedFetch {
  std::string text;            // the body decoded to UTF-8; empty when the download failed
  int status = 0;              // the HTTP status, 0 when none was received
  std::size_t bytes = 0;       // the body's size as received (compressed when it was)
  std::string error;           // why the download failed; empty when it did not
  bool notModified = false;    // a 304 answered the validators sent: keep the feed
  TFeedValidators validators;  // the response's "ETag" and "Last-Modified"
  std::optional<std::chrono::seconds> retryAfter;  // a 429's or 503's "Retry-After"
  TFeedFetchState::Clock::time_point started;      // when the download began
  TFeedFetchState::Clock::time_point finished;     // and ended
};

// Downloads `url` with a GET, asking for gzip or deflate and sending `validators` (as
// "If-None-Match" and "If-Modified-Since") when there are any; undoes the content coding
// (DecodeContent) and decodes the body to UTF-8 (DecodeFeedBytes). A 304 to validators is
// no failure: `notModified` is set and the text stays empty. A failure, including a body
// longer than `maxBytes` before or after decompression, gives an empty text and keeps its
// cause in `error`; nothing is thrown but std::bad_alloc. The start and the end (status,
// bytes, time, cause) go to the diagnostics log.
TFeedFetch FetchFeed(TALHTTPClient& client, const std::string& url,
                     const TFeedValidators& validators = {}, std::size_t maxBytes = kMaxFeedBytes);

// FetchFeed's text alone, without validators.
std::string FetchFeedText(TALHTTPClient& client, const std::string& url,
                          std::size_t maxBytes = kMaxFeedBytes);

// The hand-over of a finished download, on the main thread: when the handler still shows
// `url`, a 304 keeps its items and current item untouched; otherwise its items are cleared
// and the text is loaded. The handler's FetchState learns the outcome: a feed read keeps the
// validators and ends the back-off; a failed download, or a text that gives no feed, counts
// as a failure (with the server's Retry-After). A download for an address the handler has
// since left is dropped. True when the result was handed over. What the handler made of it
// goes to the diagnostics log.
bool HandOverFeed(TRSSHandler& handler, const std::string& url, const TFeedFetch& fetch);
// The same for a text that arrived without a fetch (a successful download of `text`).
bool HandOverFeed(TRSSHandler& handler, const std::string& url, std::string_view text);

}  // namespace mq
