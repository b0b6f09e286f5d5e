#include "feeds/LoaderProxy.h"

#include <new>
#include <sstream>
#include <vector>

#include "base/AsciiText.h"
#include "base/DiagLog.h"
#include "feeds/FeedDecode.h"
#include "feeds/FeedText.h"
#include "http/ContentDecoding.h"
#include "http/HttpDate.h"

namespace mq {
namespace {

// A decimal port from 1 to 65535, blanks around it allowed.
std::optional<int> ParsePort(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty() || text.size() > 5) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return std::nullopt;
  return value;
}

// "host:port", with "http://" allowed before the host.
std::optional<TProxyEntry> ParseHostPort(std::string_view text) {
  text = TrimBlanks(text);
  if (text.size() >= 7 && EqualsNoCase(text.substr(0, 7), "http://")) text.remove_prefix(7);
  while (!text.empty() && text.back() == '/') text.remove_suffix(1);
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  const std::optional<int> port = ParsePort(text.substr(colon + 1));
  if (!port) return std::nullopt;
  return TProxyEntry{std::string(text.substr(0, colon)), *port};
}

// The status line's code as a number; 0 when it is not one.
int StatusNumber(std::string_view text) {
  if (text.empty() || text.size() > 3) return 0;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string Describe(const TLoaderProxy& proxy) {
  if (!proxy.named) return "none: direct connection";
  return "named " + proxy.server + ":" + std::to_string(proxy.port) + ", bypass " + proxy.bypass;
}

}  // namespace

std::optional<TProxyEntry> ProxyEntryFor(std::string_view proxyServer, std::string_view scheme) {
  std::optional<TProxyEntry> forScheme, forHttp, bare;
  std::size_t start = 0;
  while (start <= proxyServer.size()) {
    std::size_t end = proxyServer.find(';', start);
    if (end == std::string_view::npos) end = proxyServer.size();
    const std::string_view entry = TrimBlanks(proxyServer.substr(start, end - start));
    start = end + 1;
    if (entry.empty()) continue;
    const std::size_t equals = entry.find('=');
    if (equals == std::string_view::npos) {
      if (!bare) bare = ParseHostPort(entry);
      continue;
    }
    const std::string_view name = TrimBlanks(entry.substr(0, equals));
    std::optional<TProxyEntry>* slot = nullptr;
    if (EqualsNoCase(name, scheme)) {
      slot = &forScheme;
    } else if (EqualsNoCase(name, "http")) {
      slot = &forHttp;
    }
    if (slot != nullptr && !*slot) *slot = ParseHostPort(entry.substr(equals + 1));
  }
  if (forScheme) return forScheme;
  if (forHttp) return forHttp;
  return bare;
}

TLoaderProxy ManualLoaderProxy(const TInternetSettings& settings, std::string_view scheme) {
  TLoaderProxy proxy;
  if (!settings.proxyEnable.value_or(false)) return proxy;
  const std::optional<TProxyEntry> entry = ProxyEntryFor(settings.proxyServer, scheme);
  if (!entry) return proxy;
  proxy.named = true;
  proxy.server = entry->host;
  proxy.port = entry->port;
  proxy.bypass = settings.proxyOverride ? std::string(TrimBlanks(*settings.proxyOverride))
                                        : std::string(kLoaderProxyBypass);
  return proxy;
}

std::string_view SchemeOf(std::string_view url) {
  url = TrimBlanks(url);
  return url.size() >= 8 && EqualsNoCase(url.substr(0, 8), "https://") ? "https" : "http";
}

TLoaderProxy ResolveLoaderProxy(const TInternetSettings& settings, IAutoProxy* autoProxy,
                                const std::string& url) {
  const std::string_view scheme = SchemeOf(url);
  if (autoProxy != nullptr) {
    TAutoProxyConfig config = autoProxy->CurrentUserConfig().value_or(TAutoProxyConfig{});
    if (config.autoConfigUrl.empty())
      config.autoConfigUrl = std::string(TrimBlanks(settings.autoConfigUrl));
    if (config.autoDetect || !config.autoConfigUrl.empty()) {
      const std::string how = std::string(config.autoDetect ? "detection" : "") +
                              (config.autoDetect && !config.autoConfigUrl.empty() ? " and " : "") +
                              (config.autoConfigUrl.empty() ? "" : "script " + config.autoConfigUrl);
      std::string error;
      const std::optional<TAutoProxyAnswer> answer = autoProxy->ProxyForUrl(url, config, error);
      if (answer && answer->direct) {
        LogEvent("proxy", "automatic (" + how + "): direct connection for " + url);
        return {};
      }
      const std::optional<TProxyEntry> entry =
          answer ? ProxyEntryFor(answer->proxy, scheme) : std::nullopt;
      if (entry) {
        TLoaderProxy proxy{true, entry->host, entry->port, answer->bypass};
        LogEvent("proxy", "automatic (" + how + "): " + Describe(proxy) + " for " + url);
        return proxy;
      }
      LogEvent("proxy", "automatic (" + how + ") gave no proxy for " + url + ": " +
                            (answer ? "no usable entry in '" + answer->proxy + "'" : error) +
                            "; the manual settings decide");
    }
  }
  const TLoaderProxy proxy = ManualLoaderProxy(settings, scheme);
  LogEvent("proxy", "manual: " + Describe(proxy) + " for " + url);
  return proxy;
}

void ApplyLoaderProxy(TALWinHttpClient& client, const TLoaderProxy& proxy) {
  if (!proxy.named) return;
  client.ProxyParams().SetProxyServer(proxy.server);
  client.ProxyParams().SetProxyPort(proxy.port);
  client.ProxyParams().SetProxyBypass(proxy.bypass);
  client.SetAccessType(wHttpAt_NAMED_PROXY);
}

namespace {

// Runs the request and fills the status, the response's validators and Retry-After; the
// body (as received) goes to `body`.
void RunRequest(TALHTTPClient& client, const std::string& url, std::size_t maxBytes, std::ostream& body,
                TFeedFetch& fetch, std::string& contentEncoding) {
  // The transport reports every piece it has written; past the limit the download stops
  // there, and the client closes the connection as for any failed request.
  auto previous = client.OnDownloadProgress;
  client.OnDownloadProgress = [maxBytes](TALHTTPClient&, int read, int) {
    if (read < 0 || static_cast<std::size_t>(read) > maxBytes)
      throw EALHTTPClientException("The response is larger than the feed size limit");
  };
  TALHTTPResponseHeader header;
  try {
    client.Get(url, body, &header);
    fetch.status = StatusNumber(header.StatusCodeText());
  } catch (const std::bad_alloc&) {
    client.OnDownloadProgress = std::move(previous);
    throw;
  } catch (const EALHTTPClientException& e) {
    fetch.status = e.StatusCode();
    fetch.error = e.what();
  } catch (const std::exception& e) {
    fetch.error = e.what();
  } catch (...) {
    fetch.error = "unknown failure";
  }
  client.OnDownloadProgress = std::move(previous);
  contentEncoding = header.ContentEncoding();
  fetch.validators = {header.ETag(), header.LastModified()};
  if (fetch.status == 429 || fetch.status == 503)
    fetch.retryAfter =
        RetryAfterDelay(header.RetryAfter(), header.Date(), std::chrono::system_clock::now());
}

}  // namespace

TFeedFetch FetchFeed(TALHTTPClient& client, const std::string& url, const TFeedValidators& validators,
                     std::size_t maxBytes) {
  TFeedFetch fetch;
  fetch.started = TFeedFetchState::Clock::now();
  LogEvent("download", "start GET " + url + (validators.Any() ? " (conditional)" : ""));
  TALHTTPRequestHeader& request = client.RequestHeader();
  request.SetAcceptEncoding(std::string(kAcceptedContentCodings));
  request.SetIfNoneMatch(validators.etag);
  request.SetIfModifiedSince(validators.lastModified);

  std::ostringstream body(std::ios::out | std::ios::binary);
  std::string contentEncoding;
  RunRequest(client, url, maxBytes, body, fetch, contentEncoding);
  std::string bytes = std::move(body).str();
  fetch.bytes = bytes.size();
  if (fetch.status == 304 && validators.Any()) {
    fetch.notModified = true;
    fetch.error.clear();
  }
  if (fetch.error.empty() && !fetch.notModified) {
    TContentDecoding decoded = DecodeContent(contentEncoding, std::move(bytes), maxBytes);
    if (!decoded.ok) {
      fetch.error = decoded.error;
    } else if (!decoded.body.empty()) {
      fetch.text = DecodeFeedBytes(decoded.body);
    }
  }
  fetch.finished = TFeedFetchState::Clock::now();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(fetch.finished - fetch.started);
  const std::string figures = "status " + std::to_string(fetch.status) + ", " +
                              std::to_string(fetch.bytes) + " bytes" +
                              (contentEncoding.empty() ? "" : " (" + contentEncoding + ")") + ", " +
                              std::to_string(ms.count()) + " ms";
  if (fetch.notModified) {
    LogEvent("download", "not modified " + url + ": " + figures);
  } else if (fetch.error.empty()) {
    LogEvent("download", "end " + url + ": " + figures);
  } else {
    LogEvent("download",
             "failed " + url + ": " + figures + ": " + fetch.error +
                 (fetch.retryAfter ? ", retry after " + std::to_string(fetch.retryAfter->count()) + " s"
                                   : ""));
  }
  return fetch;
}

std::string FetchFeedText(TALHTTPClient& client, const std::string& url, std::size_t maxBytes) {
  return FetchFeed(client, url, {}, maxBytes).text;
}

bool HandOverFeed(TRSSHandler& handler, const std::string& url, const TFeedFetch& fetch) {
  if (handler.Url() != url) return false;
  TFeedFetchState& state = handler.FetchState();
  if (fetch.notModified) {
    state.NotModified(url);
    LogEvent("feed",
             "unchanged " + url + ": " + std::to_string(handler.Items().Count()) + " items kept");
    return true;
  }
  handler.ClearItems();
  handler.LoadFromText(fetch.text);
  bool loaded = false;
  std::string cause;
  if (!fetch.error.empty()) {
    cause = fetch.error;  // already in the log
  } else if (handler.Kind() == TFeedKind::None) {
    cause = "The document is no RSS, RDF, Atom or JSON Feed";
    LogEvent("feed", "not a feed " + url + ": the text is no RSS, RDF, Atom or JSON Feed");
  } else if (!handler.LastError().empty()) {
    cause = "The feed cannot be read: " + handler.LastError();
    LogEvent("feed", "load failed " + url + ": " + handler.LastError());
  } else {
    loaded = true;
    LogEvent("feed", "loaded " + url + ": " + std::to_string(handler.Items().Count()) + " items");
  }
  if (loaded) {
    state.Succeeded(url, fetch.validators);
  } else {
    state.Failed(url, fetch.started, fetch.finished, fetch.retryAfter, std::move(cause));
    if (const auto until = state.HeldUntil()) {
      const auto wait = std::chrono::duration_cast<std::chrono::seconds>(*until - fetch.finished);
      LogEvent("feed", "failure " + std::to_string(state.Failures()) + " in a row for " + url +
                           ": reloads wait " + std::to_string(wait.count()) + " s");
    }
  }
  return true;
}

bool HandOverFeed(TRSSHandler& handler, const std::string& url, std::string_view text) {
  TFeedFetch fetch;
  fetch.text = std::string(text);
  fetch.started = fetch.finished = TFeedFetchState::Clock::now();
  return HandOverFeed(handler, url, fetch);
}

}  // namespace mq
