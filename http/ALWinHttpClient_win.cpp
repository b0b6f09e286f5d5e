// TALWinHttpApi bound to the real winhttp.dll. Each call keeps its own error code (read
// straight after the call), so nothing that runs between a failure and its report can
// overwrite it.
#include <windows.h>
#include <winhttp.h>

#include <atomic>

#include "base/Utf.h"
#include "http/ALWinHttpApi.h"
#include "http/ALWinHttpClient.h"

namespace mq {

namespace {

thread_local DWORD t_lastError = 0;

// WinHTTP calls back through a WINAPI function; this one forwards to the portable callback.
std::atomic<TALWinHttpStatusCallback> g_statusCallback{nullptr};

void CALLBACK StatusTrampoline(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID information,
                               DWORD informationLength) {
  if (TALWinHttpStatusCallback callback = g_statusCallback.load()) {
    callback(handle, context, status, information, informationLength);
  }
}

template <typename T>
T Track(T result) {
  t_lastError = GetLastError();
  return result;
}

class WinHttpPlatformApi final : public TALWinHttpApi {
 public:
  TALInternetHandle Open(const wchar_t* agent, std::uint32_t accessType, const wchar_t* proxyName,
                         const wchar_t* proxyBypass, std::uint32_t flags) override {
    return Track(WinHttpOpen(agent, accessType, proxyName, proxyBypass, flags));
  }

  void SetStatusCallback(TALInternetHandle handle, TALWinHttpStatusCallback callback,
                         std::uint32_t notificationFlags) override {
    if (callback != nullptr) g_statusCallback.store(callback);
    Track(WinHttpSetStatusCallback(handle, callback != nullptr ? &StatusTrampoline : nullptr,
                                   notificationFlags, 0));
  }

  TALInternetHandle Connect(TALInternetHandle session, const wchar_t* host,
                            std::uint16_t port) override {
    return Track(WinHttpConnect(session, host, port, 0));
  }

  TALInternetHandle OpenRequest(TALInternetHandle connection, const wchar_t* verb, const wchar_t* path,
                                const wchar_t* version, const wchar_t* referrer,
                                const wchar_t* const* acceptTypes, std::uint32_t flags) override {
    return Track(WinHttpOpenRequest(connection, verb, path, version, referrer,
                                    const_cast<LPCWSTR*>(acceptTypes), flags));
  }

  bool SetOption(TALInternetHandle handle, std::uint32_t option, const void* buffer,
                 std::uint32_t length) override {
    return Track(WinHttpSetOption(handle, option, const_cast<void*>(buffer), length)) != FALSE;
  }

  bool AddRequestHeaders(TALInternetHandle request, const wchar_t* headers, std::uint32_t length,
                         std::uint32_t modifiers) override {
    return Track(WinHttpAddRequestHeaders(request, headers, length, modifiers)) != FALSE;
  }

  bool SendRequest(TALInternetHandle request, const void* optional, std::uint32_t optionalLength,
                   std::uint32_t totalLength, std::uintptr_t context) override {
    return Track(WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                    const_cast<void*>(optional), optionalLength, totalLength,
                                    context)) != FALSE;
  }

  bool WriteData(TALInternetHandle request, const void* buffer, std::uint32_t length,
                 std::uint32_t* written) override {
    DWORD n = 0;
    const BOOL ok = Track(WinHttpWriteData(request, buffer, length, &n));
    if (written != nullptr) *written = n;
    return ok != FALSE;
  }

  bool ReceiveResponse(TALInternetHandle request) override {
    return Track(WinHttpReceiveResponse(request, nullptr)) != FALSE;
  }

  bool QueryHeaders(TALInternetHandle request, std::uint32_t infoLevel, void* buffer,
                    std::uint32_t* length) override {
    DWORD n = *length;
    const BOOL ok = Track(WinHttpQueryHeaders(request, infoLevel, WINHTTP_HEADER_NAME_BY_INDEX, buffer,
                                              &n, WINHTTP_NO_HEADER_INDEX));
    *length = n;
    return ok != FALSE;
  }

  bool QueryDataAvailable(TALInternetHandle request, std::uint32_t* available) override {
    DWORD n = 0;
    const BOOL ok = Track(WinHttpQueryDataAvailable(request, &n));
    *available = n;
    return ok != FALSE;
  }

  bool ReadData(TALInternetHandle request, void* buffer, std::uint32_t length,
                std::uint32_t* read) override {
    DWORD n = 0;
    const BOOL ok = Track(WinHttpReadData(request, buffer, length, &n));
    *read = n;
    return ok != FALSE;
  }

  bool CrackUrl(const wchar_t* url, TALWinHttpUrlParts& parts) override {
    URL_COMPONENTS uc{};
    uc.dwStructSize = sizeof uc;
    // A non-zero length with no buffer asks for a pointer into the address itself.
    uc.dwSchemeLength = static_cast<DWORD>(-1);
    uc.dwHostNameLength = static_cast<DWORD>(-1);
    uc.dwUrlPathLength = static_cast<DWORD>(-1);
    const BOOL ok = Track(WinHttpCrackUrl(url, 0, 0, &uc));
    parts.Scheme = static_cast<int>(uc.nScheme);
    parts.Port = uc.nPort;
    parts.Host =
        uc.lpszHostName != nullptr ? std::wstring(uc.lpszHostName, uc.dwHostNameLength) : std::wstring();
    parts.Path =
        uc.lpszUrlPath != nullptr ? std::wstring(uc.lpszUrlPath, uc.dwUrlPathLength) : std::wstring();
    return ok != FALSE;
  }

  bool CloseHandle(TALInternetHandle handle) override {
    return Track(WinHttpCloseHandle(handle)) != FALSE;
  }

  std::uint32_t LastError() const override { return t_lastError; }

  std::string ErrorText(std::uint32_t code) override {
    wchar_t buffer[256];
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_FROM_HMODULE,
                                   GetModuleHandleW(L"winhttp.dll"), code, 0, buffer, 256, nullptr);
    return FromWide(std::wstring_view(buffer, n));
  }
};

}  // namespace

TALWinHttpApi& WinHttpPlatform() {
  static WinHttpPlatformApi api;
  return api;
}

TALWinHttpClient::TALWinHttpClient() : TALWinHttpClient(WinHttpPlatform()) {}

}  // namespace mq
