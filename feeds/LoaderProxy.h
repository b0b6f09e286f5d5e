// The feed loader's portable half: which proxy a download takes from the per-user Internet
// settings, the download itself with its size limit, and the rule for handing the result to
// the feed handler. The thread around it is feeds/uRSSLoader.h (Windows).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

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

// The bypass list a named proxy always gets: host names without a dot go directly.
inline constexpr std::string_view kLoaderProxyBypass = "<local>";

// The proxy for the values of the Internet settings. `proxyEnable` is empty when the key or
// the "ProxyEnable" value is missing, which means no proxy, as does false. When enabled, a
// "ProxyServer" text of the form host:port names the proxy; the port is a decimal whole
// number from 1 to 65535 (blanks around it allowed) and the host must not be empty.
// Anything else (no colon, the per-protocol form "http=host:port;https=...", a bad port)
// means no proxy, without an error.
TLoaderProxy LoaderProxyFromSettings(std::optional<bool> proxyEnable, std::string_view proxyServer);

// Applies the proxy to a client; a proxy that is not named changes nothing. The choice goes
// to the diagnostics log.
void ApplyLoaderProxy(TALWinHttpClient& client, const TLoaderProxy& proxy);

// The largest body a loader accepts; a longer download is stopped and counts as failed.
inline constexpr std::size_t kMaxFeedBytes = std::size_t{16} * 1024 * 1024;

// How long a loader's download may take as a whole (connecting, sending and receiving), so
// that a server dripping bytes cannot keep a loader thread alive; past it the download
// counts as failed.
inline constexpr int kFeedDownloadDeadlineMs = 60000;

// What one download brought.
struct TFeedFetch {
  std::string text;       // the body decoded to UTF-8; empty when the download failed
  int status = 0;         // the HTTP status, 0 when none was received
  std::size_t bytes = 0;  // the body's size as received
  std::string error;      // why the download failed; empty when it did not
};

// Downloads `url` with a GET and decodes the body to UTF-8 (DecodeFeedBytes). A failure,
// including a body longer than `maxBytes`, gives an empty text and keeps its cause in
// `error`; nothing is thrown but std::bad_alloc. The start and the end (status, bytes, time,
// cause) go to the diagnostics log.
TFeedFetch FetchFeed(TALHTTPClient& client, const std::string& url,
                     std::size_t maxBytes = kMaxFeedBytes);

// FetchFeed's text alone.
std::string FetchFeedText(TALHTTPClient& client, const std::string& url,
                          std::size_t maxBytes = kMaxFeedBytes);

// The hand-over of a finished download, on the main thread: when the handler still shows
// `url`, its items are cleared and `text` is loaded; a download for an address the handler
// has since left is dropped. True when the text was handed over. What the handler made of
// it (items read, or why it failed) goes to the diagnostics log.
bool HandOverFeed(TRSSHandler& handler, const std::string& url, std::string_view text);

}  // namespace mq
