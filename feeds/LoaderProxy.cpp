#include "feeds/LoaderProxy.h"

#include <chrono>
#include <new>
#include <sstream>

#include "base/DiagLog.h"
#include "feeds/FeedDecode.h"
#include "feeds/FeedText.h"

namespace mq {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A decimal port from 1 to 65535, blanks around it allowed.
std::optional<int> ParsePort(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (text.empty() || text.size() > 5) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return std::nullopt;
  return value;
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

}  // namespace

TLoaderProxy LoaderProxyFromSettings(std::optional<bool> proxyEnable, std::string_view proxyServer) {
  TLoaderProxy proxy;
  if (!proxyEnable.value_or(false)) return proxy;
  const std::size_t colon = proxyServer.find(':');
  if (colon == std::string_view::npos || colon == 0) return proxy;
  const std::optional<int> port = ParsePort(proxyServer.substr(colon + 1));
  if (!port) return proxy;
  proxy.named = true;
  proxy.server = std::string(proxyServer.substr(0, colon));
  proxy.port = *port;
  proxy.bypass = std::string(kLoaderProxyBypass);
  return proxy;
}

void ApplyLoaderProxy(TALWinHttpClient& client, const TLoaderProxy& proxy) {
  if (!proxy.named) {
    LogEvent("proxy", "none: direct connection");
    return;
  }
  LogEvent("proxy",
           "named " + proxy.server + ":" + std::to_string(proxy.port) + ", bypass " + proxy.bypass);
  client.ProxyParams().SetProxyServer(proxy.server);
  client.ProxyParams().SetProxyPort(proxy.port);
  client.ProxyParams().SetProxyBypass(proxy.bypass);
  client.SetAccessType(wHttpAt_NAMED_PROXY);
}

TFeedFetch FetchFeed(TALHTTPClient& client, const std::string& url, std::size_t maxBytes) {
  LogEvent("download", "start GET " + url);
  const auto started = std::chrono::steady_clock::now();
  // The transport reports every piece it has written; past the limit the download stops
  // there, and the client closes the connection as for any failed request.
  auto previous = client.OnDownloadProgress;
  client.OnDownloadProgress = [maxBytes](TALHTTPClient&, int read, int) {
    if (read < 0 || static_cast<std::size_t>(read) > maxBytes)
      throw EALHTTPClientException("The response is larger than the feed size limit");
  };
  TFeedFetch fetch;
  std::ostringstream body(std::ios::out | std::ios::binary);
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
  std::string bytes = std::move(body).str();
  fetch.bytes = bytes.size();
  // A transport that reports no progress is still held to the limit.
  if (fetch.error.empty() && bytes.size() > maxBytes)
    fetch.error = "The response is larger than the feed size limit";
  if (fetch.error.empty() && !bytes.empty()) fetch.text = DecodeFeedBytes(bytes);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
  const std::string figures = "status " + std::to_string(fetch.status) + ", " +
                              std::to_string(fetch.bytes) + " bytes, " + std::to_string(ms.count()) +
                              " ms";
  if (fetch.error.empty()) {
    LogEvent("download", "end " + url + ": " + figures);
  } else {
    LogEvent("download", "failed " + url + ": " + figures + ": " + fetch.error);
  }
  return fetch;
}

std::string FetchFeedText(TALHTTPClient& client, const std::string& url, std::size_t maxBytes) {
  return FetchFeed(client, url, maxBytes).text;
}

bool HandOverFeed(TRSSHandler& handler, const std::string& url, std::string_view text) {
  if (handler.Url() != url) return false;
  handler.ClearItems();
  handler.LoadFromText(text);
  if (!handler.LastError().empty()) {
    LogEvent("feed", "load failed " + url + ": " + handler.LastError());
  } else if (!text.empty() && !IsFeedText(text)) {
    LogEvent("feed", "not a feed " + url + ": the text is neither RSS nor RDF");
  } else if (!text.empty()) {
    LogEvent("feed", "loaded " + url + ": " + std::to_string(handler.Items().Count()) + " items");
  }
  return true;
}

}  // namespace mq
