#include "feeds/LoaderProxy.h"

#include <new>
#include <sstream>

#include "feeds/FeedDecode.h"

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
  if (!proxy.named) return;
  client.ProxyParams().SetProxyServer(proxy.server);
  client.ProxyParams().SetProxyPort(proxy.port);
  client.ProxyParams().SetProxyBypass(proxy.bypass);
  client.SetAccessType(wHttpAt_NAMED_PROXY);
}

std::string FetchFeedText(TALHTTPClient& client, const std::string& url, std::size_t maxBytes) {
  // The transport reports every piece it has written; past the limit the download stops
  // there, and the client closes the connection as for any failed request.
  auto previous = client.OnDownloadProgress;
  client.OnDownloadProgress = [maxBytes](TALHTTPClient&, int read, int) {
    if (read < 0 || static_cast<std::size_t>(read) > maxBytes)
      throw EALHTTPClientException("The response is larger than the feed size limit");
  };
  std::string body;
  try {
    body = client.Get(url);
  } catch (const std::bad_alloc&) {
    client.OnDownloadProgress = std::move(previous);
    throw;
  } catch (...) {
    body.clear();
  }
  client.OnDownloadProgress = std::move(previous);
  // A transport that reports no progress is still held to the limit.
  if (body.size() > maxBytes) return std::string();
  return body.empty() ? std::string() : DecodeFeedBytes(body);
}

bool HandOverFeed(TRSSHandler& handler, const std::string& url, std::string_view text) {
  if (handler.Url() != url) return false;
  handler.ClearItems();
  handler.LoadFromText(text);
  return true;
}

}  // namespace mq
