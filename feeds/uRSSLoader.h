// uRSSLoader (Windows): TRssLoader downloads the feed handler's address once, in a worker
// thread, and hands the decoded text to the handler on the main thread. A loader is created
// suspended, frees itself when it has finished, and raises OnTerminate on the main thread.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "feeds/LoaderProxy.h"
#include "feeds/uRSSHandler.h"
#include "gui/Threads_win.h"
#include "http/ALWinHttpClient.h"

namespace mq {

// A value of the Internet settings that exists but cannot be read.
class EInternetSettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The per-user key the proxy is read from.
inline constexpr const wchar_t* kInternetSettingsKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// Reads "ProxyEnable" and "ProxyServer" under `root`\`path` and applies the proxy rule
// (LoaderProxyFromSettings). A missing key or value means no proxy, and so does a value of
// another type than REG_DWORD (ProxyEnable) or a string (ProxyServer). A value that exists
// but cannot be read raises EInternetSettingsError "Failed to get data for '<name>'".
TLoaderProxy ReadInternetProxy(HKEY root = HKEY_CURRENT_USER,
                               const wchar_t* path = kInternetSettingsKey);

class TRssLoader : public TThread {
 public:
  // Suspended, FreeOnTerminate set, one client of its own with the proxy of the Internet
  // settings and `deadlineMs` for the whole download. Registry errors leave the constructor
  // (see ReadInternetProxy).
  explicit TRssLoader(TRSSHandler& handler, int deadlineMs = kFeedDownloadDeadlineMs);
  ~TRssLoader() override;

  // The loader's client, for inspection before the loader is started.
  const TALWinHttpClient& Client() const noexcept { return *client_; }

 protected:
  // Reads the handler's address on the main thread; with an address, downloads it and hands
  // the text over (HandOverFeed) on the main thread.
  void Execute() override;

 private:
  TRSSHandler& handler_;
  std::unique_ptr<TALWinHttpClient> client_;
};

}  // namespace mq
