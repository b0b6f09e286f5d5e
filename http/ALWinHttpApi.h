// The platform operations the WinHTTP transport needs, and nothing more. Each one has the
// shape of the WinHTTP function of the same name: wide strings, handles that are null on
// failure, Boolean results, and the error code of the call available from LastError()
// right after it. The Windows build binds this to winhttp.dll (WinHttpPlatform() in
// ALWinHttpApi_win.cpp); tests bind a recording stand-in.
#pragma once

#include <cstdint>
#include <string>

#include "base/UniqueHandle.h"

namespace mq {

using TALInternetHandle = void*;

// The status notification: handle, context given to SendRequest, status code, status
// information and its length.
using TALWinHttpStatusCallback = void (*)(TALInternetHandle handle, std::uintptr_t context,
                                          std::uint32_t status, void* information,
                                          std::uint32_t informationLength);

// What WinHttpCrackUrl reports for an address.
struct TALWinHttpUrlParts {
  int Scheme = 0;  // 1 http, 2 https, 0 when the address could not be split
  std::wstring Host;
  std::uint16_t Port = 0;
  std::wstring Path;
};

class TALWinHttpApi {
 public:
  virtual ~TALWinHttpApi() = default;

  virtual TALInternetHandle Open(const wchar_t* agent, std::uint32_t accessType,
                                 const wchar_t* proxyName, const wchar_t* proxyBypass,
                                 std::uint32_t flags) = 0;
  // A null callback removes the one installed.
  virtual void SetStatusCallback(TALInternetHandle handle, TALWinHttpStatusCallback callback,
                                 std::uint32_t notificationFlags) = 0;
  virtual TALInternetHandle Connect(TALInternetHandle session, const wchar_t* host,
                                    std::uint16_t port) = 0;
  // `acceptTypes` is a null-terminated list.
  virtual TALInternetHandle OpenRequest(TALInternetHandle connection, const wchar_t* verb,
                                        const wchar_t* path, const wchar_t* version,
                                        const wchar_t* referrer, const wchar_t* const* acceptTypes,
                                        std::uint32_t flags) = 0;
  virtual bool SetOption(TALInternetHandle handle, std::uint32_t option, const void* buffer,
                         std::uint32_t length) = 0;
  virtual bool AddRequestHeaders(TALInternetHandle request, const wchar_t* headers, std::uint32_t length,
                                 std::uint32_t modifiers) = 0;
  virtual bool SendRequest(TALInternetHandle request, const void* optional, std::uint32_t optionalLength,
                           std::uint32_t totalLength, std::uintptr_t context) = 0;
  virtual bool WriteData(TALInternetHandle request, const void* buffer, std::uint32_t length,
                         std::uint32_t* written) = 0;
  virtual bool ReceiveResponse(TALInternetHandle request) = 0;
  // By info level, no header name, no index; `length` is in bytes, in and out.
  virtual bool QueryHeaders(TALInternetHandle request, std::uint32_t infoLevel, void* buffer,
                            std::uint32_t* length) = 0;
  virtual bool QueryDataAvailable(TALInternetHandle request, std::uint32_t* available) = 0;
  virtual bool ReadData(TALInternetHandle request, void* buffer, std::uint32_t length,
                        std::uint32_t* read) = 0;
  virtual bool CrackUrl(const wchar_t* url, TALWinHttpUrlParts& parts) = 0;
  virtual bool CloseHandle(TALInternetHandle handle) = 0;

  // The error code of the last call made on this thread.
  virtual std::uint32_t LastError() const = 0;
  // The system's text for an error code (system messages and winhttp.dll's own), or empty.
  virtual std::string ErrorText(std::uint32_t code) = 0;
};

// A handle together with the interface that closes it.
struct TALInternetHandleRef {
  TALWinHttpApi* Api = nullptr;
  TALInternetHandle Handle = nullptr;
  friend bool operator==(const TALInternetHandleRef&, const TALInternetHandleRef&) = default;
};

struct TALInternetHandleTraits {
  using Handle = TALInternetHandleRef;
  static Handle Invalid() noexcept { return {}; }
  static void Close(Handle h) noexcept {
    if (h.Api != nullptr && h.Handle != nullptr) h.Api->CloseHandle(h.Handle);
  }
};

using TALUniqueInternetHandle = UniqueHandle<TALInternetHandleTraits>;

// The real WinHTTP (Windows build only).
TALWinHttpApi& WinHttpPlatform();

}  // namespace mq
