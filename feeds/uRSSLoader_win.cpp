#include "feeds/uRSSLoader.h"

#include <string_view>
#include <vector>

#include "base/Utf.h"
#include "base/WinHandles_win.h"

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

std::string ReadStringValue(HKEY key, const wchar_t* name) {
  DWORD type = 0;
  DWORD size = 0;
  LONG r = ::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
  if (r == ERROR_FILE_NOT_FOUND) return std::string();
  if (r != ERROR_SUCCESS)
    throw EInternetSettingsError("Failed to get data for '" + FromWide(name) + "'");
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::string();
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
  DWORD bytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
  r = ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes);
  if (r != ERROR_SUCCESS)
    throw EInternetSettingsError("Failed to get data for '" + FromWide(name) + "'");
  std::wstring_view text(buffer.data(), bytes / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.remove_suffix(1);
  return FromWide(text);
}

}  // namespace

TLoaderProxy ReadInternetProxy(HKEY root, const wchar_t* path) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExW(root, path, 0, KEY_READ, &raw) != ERROR_SUCCESS) return TLoaderProxy{};
  UniqueRegKey key(raw);
  const std::optional<bool> enable = ReadBoolValue(key.Get(), L"ProxyEnable");
  const std::string server =
      enable.value_or(false) ? ReadStringValue(key.Get(), L"ProxyServer") : std::string();
  return LoaderProxyFromSettings(enable, server);
}

TRssLoader::TRssLoader(TRSSHandler& handler, int deadlineMs)
    : handler_(handler), client_(std::make_unique<TALWinHttpClient>()) {
  FreeOnTerminate = true;
  client_->SetTotalTimeout(deadlineMs);
  ApplyLoaderProxy(*client_, ReadInternetProxy());
}

TRssLoader::~TRssLoader() = default;

void TRssLoader::Execute() {
  // The main thread may change the address at any time; it is read there, once.
  std::string url;
  Synchronize([&] { url = handler_.Url(); });
  if (url.empty()) return;
  const std::string text = FetchFeed(*client_, url).text;
  Synchronize([&] { HandOverFeed(handler_, url, text); });
}

}  // namespace mq
