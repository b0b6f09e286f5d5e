#include "feeds/uRSSLoader.h"

#include <string_view>
#include <vector>

#include "base/Utf.h"
#include "base/WinHandles_win.h"

#include <winhttp.h>

namespace mq {
namespace {

// A value of another type reads as missing (no proxy): an error here would fail every loader,
// so no feed would ever load, and the user's intent cannot be read from such a value anyway.
std::optional<bool> ReadBoolValue(HKEY key, const wchar_t* name) {
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  const LONG r = ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  if (r == ERROR_FILE_NOT_FOUND || r == ERROR_MORE_DATA) return std::nullopt;
  if (r != ERROR_SUCCESS)
    throw EInternetSettingsError("Failed to get data for '" + FromWide(name) + "'");
  if (type != REG_DWORD || size != sizeof value) return std::nullopt;
  return value != 0;
}

std::optional<std::string> ReadStringValue(HKEY key, const wchar_t* name) {
  DWORD type = 0;
  DWORD size = 0;
  LONG r = ::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
  if (r == ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (r != ERROR_SUCCESS)
    throw EInternetSettingsError("Failed to get data for '" + FromWide(name) + "'");
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
  DWORD bytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
  r = ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes);
  if (r != ERROR_SUCCESS)
    throw EInternetSettingsError("Failed to get data for '" + FromWide(name) + "'");
  std::wstring_view text(buffer.data(), bytes / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.remove_suffix(1);
  return FromWide(text);
}

// Strings that WinHTTP allocated for its answers, freed with GlobalFree.
struct TGlobalText {
  wchar_t* text = nullptr;
  TGlobalText() = default;
  TGlobalText(const TGlobalText&) = delete;
  TGlobalText& operator=(const TGlobalText&) = delete;
  ~TGlobalText() {
    if (text != nullptr) ::GlobalFree(text);
  }
  std::string Utf8() const {
    return text != nullptr ? FromWide(std::wstring_view(text)) : std::string();
  }
};

struct TInternetHandleTraitsWin {
  using Handle = HINTERNET;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::WinHttpCloseHandle(h); }
};
using UniqueHInternet = UniqueHandle<TInternetHandleTraitsWin>;

std::string ErrorCodeText(DWORD code) {
  return ALWinHttpFallbackErrorText(code) + " (" + std::to_string(code) + ")";
}

class TWinHttpAutoProxy : public IAutoProxy {
 public:
  std::optional<TAutoProxyConfig> CurrentUserConfig() override {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG raw{};
    if (!::WinHttpGetIEProxyConfigForCurrentUser(&raw)) return std::nullopt;
    TGlobalText url, proxy, bypass;
    url.text = raw.lpszAutoConfigUrl;
    proxy.text = raw.lpszProxy;
    bypass.text = raw.lpszProxyBypass;
    return TAutoProxyConfig{raw.fAutoDetect != FALSE, url.Utf8()};
  }

  std::optional<TAutoProxyAnswer> ProxyForUrl(const std::string& url, const TAutoProxyConfig& config,
                                              std::string& error) override {
    // A session of its own: the script is fetched directly, never through a proxy.
    UniqueHInternet session(::WinHttpOpen(L"Marquelle", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                          WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) {
      error = ErrorCodeText(::GetLastError());
      return std::nullopt;
    }
    // A script the settings name first, then detection: each asked on its own, since a
    // failed detection can end a combined request before the script is tried.
    std::optional<TAutoProxyAnswer> answer;
    if (!config.autoConfigUrl.empty()) {
      const std::wstring scriptUrl = ToWide(config.autoConfigUrl);
      WINHTTP_AUTOPROXY_OPTIONS options{};
      options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
      options.lpszAutoConfigUrl = scriptUrl.c_str();
      answer = Ask(session.Get(), url, options, error);
    }
    if (!answer && config.autoDetect) {
      WINHTTP_AUTOPROXY_OPTIONS options{};
      options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
      options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
      answer = Ask(session.Get(), url, options, error);
    }
    return answer;
  }

 private:
  // One WinHttpGetProxyForUrl; the failure's text is added to `error`.
  static std::optional<TAutoProxyAnswer> Ask(HINTERNET session, const std::string& url,
                                             WINHTTP_AUTOPROXY_OPTIONS options, std::string& error) {
    const std::wstring address = ToWide(url);
    WINHTTP_PROXY_INFO info{};
    BOOL ok = ::WinHttpGetProxyForUrl(session, address.c_str(), &options, &info);
    if (!ok && ::GetLastError() == ERROR_WINHTTP_LOGIN_FAILURE) {
      // The script's server asked for the user's credentials: ask again, offering them.
      options.fAutoLogonIfChallenged = TRUE;
      ok = ::WinHttpGetProxyForUrl(session, address.c_str(), &options, &info);
    }
    if (!ok) {
      const std::string what =
          options.dwFlags == WINHTTP_AUTOPROXY_AUTO_DETECT ? "detection: " : "script: ";
      error += (error.empty() ? "" : "; ") + what + ErrorCodeText(::GetLastError());
      return std::nullopt;
    }
    TGlobalText proxy, bypass;
    proxy.text = info.lpszProxy;
    bypass.text = info.lpszProxyBypass;
    TAutoProxyAnswer answer;
    answer.direct = info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY || proxy.text == nullptr;
    answer.proxy = proxy.Utf8();
    answer.bypass = bypass.Utf8();
    return answer;
  }
};

}  // namespace

TInternetSettings ReadInternetSettings(HKEY root, const wchar_t* path) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExW(root, path, 0, KEY_READ, &raw) != ERROR_SUCCESS) return TInternetSettings{};
  UniqueRegKey key(raw);
  TInternetSettings settings;
  settings.proxyEnable = ReadBoolValue(key.Get(), L"ProxyEnable");
  if (settings.proxyEnable.value_or(false)) {
    settings.proxyServer = ReadStringValue(key.Get(), L"ProxyServer").value_or(std::string());
    settings.proxyOverride = ReadStringValue(key.Get(), L"ProxyOverride");
  }
  settings.autoConfigUrl = ReadStringValue(key.Get(), L"AutoConfigURL").value_or(std::string());
  return settings;
}

TLoaderProxy ReadInternetProxy(HKEY root, const wchar_t* path) {
  return ManualLoaderProxy(ReadInternetSettings(root, path), "http");
}

IAutoProxy& PlatformAutoProxy() {
  static TWinHttpAutoProxy platform;
  return platform;
}

TRssLoader::TRssLoader(TRSSHandler& handler, int deadlineMs)
    : handler_(handler),
      client_(std::make_unique<TALWinHttpClient>()),
      settings_(ReadInternetSettings()) {
  FreeOnTerminate = true;
  client_->SetTotalTimeout(deadlineMs);
}

TRssLoader::~TRssLoader() = default;

void TRssLoader::Execute() {
  // The main thread may change the address at any time; it is read there, once, with the
  // validators of the feed it shows.
  std::string url;
  TFeedValidators validators;
  Synchronize([&] {
    url = handler_.Url();
    validators = handler_.FetchState().ValidatorsFor(url);
  });
  if (url.empty()) return;
  ApplyLoaderProxy(*client_, ResolveLoaderProxy(settings_, &PlatformAutoProxy(), url));
  const TFeedFetch fetch = FetchFeed(*client_, url, validators);
  Synchronize([&] { HandOverFeed(handler_, url, fetch); });
}

}  // namespace mq
