// uRSSLoader (Windows): TRssLoader downloads the feed handler's address once, in a worker
// thread, and hands the result to the handler on the main thread. A loader is created
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

// Reads "ProxyEnable", "ProxyServer", "ProxyOverride" and "AutoConfigURL" under
// `root`\`path`. A missing key or value reads as missing, and so does a value of another
// type than REG_DWORD (ProxyEnable) or a string (the others). A value that exists but
// cannot be read raises EInternetSettingsError "Failed to get data for '<name>'".
TInternetSettings ReadInternetSettings(HKEY root = HKEY_CURRENT_USER,
                                       const wchar_t* path = kInternetSettingsKey);

// The manual proxy of the settings under `root`\`path` for an http address.
TLoaderProxy ReadInternetProxy(HKEY root = HKEY_CURRENT_USER,
                               const wchar_t* path = kInternetSettingsKey);

// Automatic proxy configuration through winhttp.dll: WinHttpGetIEProxyConfigForCurrentUser
// and WinHttpGetProxyForUrl (detection by DHCP and DNS, and the configuration script).
IAutoProxy& PlatformAutoProxy();

class TRssLoader : public TThread {
 public:
  // Suspended, FreeOnTerminate set, one client of its own with `deadlineMs` for the whole
  // download, and the Internet settings read now (registry errors leave the constructor,
  // see ReadInternetSettings). The proxy is chosen for the address when the download
  // starts (ResolveLoaderProxy), since it can depend on the address.
  explicit TRssLoader(TRSSHandler& handler, int deadlineMs = kFeedDownloadDeadlineMs);
  ~TRssLoader() override;

  // The loader's client, for inspection before the loader is started.
  const TALWinHttpClient& Client() const noexcept { return *client_; }

 protected:
  // Reads the handler's address and the validators of its feed on the main thread; with an
  // address, chooses the proxy, downloads and hands the result over (HandOverFeed) on the
  // main thread.
  void Execute() override;

 private:
  TRSSHandler& handler_;
  std::unique_ptr<TALWinHttpClient> client_;
  TInternetSettings settings_;
};

}  // namespace mq
