// The WinHTTP transport: synchronous requests on the calling thread, one session handle and
// one connection handle kept between requests to the same host and port, one request handle
// per request. Written against TALWinHttpApi, so the logic runs over the real winhttp.dll on
// Windows and over a recording stand-in in the native tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>

#include "http/ALHttpClient.h"
#include "http/ALWinHttpApi.h"

namespace mq {

enum TALWinHttpClientInternetOpenAccessType {
  wHttpAt_NO_PROXY = 0,
  wHttpAt_DEFAULT_PROXY = 1,
  wHttpAt_NAMED_PROXY = 2,
};

enum TAlWinHttpClientInternetOption {
  wHttpIo_Async = 0,
  wHttpIo_BYPASS_PROXY_CACHE = 1,
  wHttpIo_ESCAPE_DISABLE = 2,
  wHttpIo_ESCAPE_DISABLE_QUERY = 3,
  wHttpIo_ESCAPE_PERCENT = 4,
  wHttpIo_NULL_CODEPAGE = 5,
  wHttpIo_REFRESH = 6,
  wHttpIo_SECURE = 7,
  wHttpIo_Keep_connection = 8,
  wHttpIo_No_cookies = 9,
  wHttpIo_No_auto_redirect = 10,
};

class TALWinHttpClientInternetOptionSet {
 public:
  constexpr TALWinHttpClientInternetOptionSet() = default;
  constexpr TALWinHttpClientInternetOptionSet(
      std::initializer_list<TAlWinHttpClientInternetOption> options) {
    for (auto o : options) bits_ |= Bit(o);
  }
  constexpr bool Contains(TAlWinHttpClientInternetOption o) const { return (bits_ & Bit(o)) != 0; }
  constexpr void Include(TAlWinHttpClientInternetOption o) { bits_ |= Bit(o); }
  constexpr void Exclude(TAlWinHttpClientInternetOption o) { bits_ &= ~Bit(o); }
  friend constexpr bool operator==(TALWinHttpClientInternetOptionSet,
                                   TALWinHttpClientInternetOptionSet) = default;

 private:
  static constexpr std::uint32_t Bit(TAlWinHttpClientInternetOption o) { return 1u << o; }
  std::uint32_t bits_ = 0;
};

class TALWinHttpClient;

using TALWinHttpClientStatusChangeEvent =
    std::function<void(TALWinHttpClient& sender, std::uint32_t InternetStatus, void* StatusInformation,
                       std::uint32_t StatusInformationLength)>;

// The readable text for a WinHTTP or system error code when the platform has none.
std::string ALWinHttpFallbackErrorText(std::uint32_t code);

class TALWinHttpClient : public TALHTTPClient {
 public:
  // Over the real winhttp.dll (Windows build only).
  TALWinHttpClient();
  explicit TALWinHttpClient(TALWinHttpApi& api);
  ~TALWinHttpClient() override;

  void SetURL(const std::string& value) override;
  void SetUserName(const std::string& value) override;
  void SetPassword(const std::string& value) override;

  TALWinHttpClientInternetOpenAccessType AccessType() const { return accessType_; }
  void SetAccessType(TALWinHttpClientInternetOpenAccessType value);
  TALWinHttpClientInternetOptionSet InternetOptions() const { return internetOptions_; }
  void SetInternetOptions(TALWinHttpClientInternetOptionSet value) { internetOptions_ = value; }

  const std::string& URLHost() const { return urlHost_; }
  const std::string& URLPath() const { return urlPath_; }
  std::uint16_t URLPort() const { return urlPort_; }
  int URLScheme() const { return urlScheme_; }

  TALInternetHandle OpenHandle() const { return openHandle_.Get().Handle; }
  TALInternetHandle ConnectHandle() const { return connectHandle_.Get().Handle; }
  bool Connected() const { return connected_; }

  void Connect();
  void Disconnect();

  void PerformRequest(std::istream* requestData, std::ostream& responseContent,
                      TALHTTPResponseHeader* responseHeader) override;

  const char* ClassName() const override { return "TALWinHttpClient"; }

  TALWinHttpClientStatusChangeEvent OnStatusChange;

 protected:
  void ProxyParamsChanged(TALPersistent& sender, int PropertyIndex) override;
  void RequestHeaderChanged(TALPersistent& sender, int PropertyIndex) override;

  // Opens and sends one request; the caller owns the returned request handle.
  virtual TALUniqueInternetHandle StartRequest(std::istream* requestData);
  virtual void ReadResponse(TALInternetHandle request, std::ostream& responseContent,
                            TALHTTPResponseHeader* responseHeader);

 private:
  static void StatusCallback(TALInternetHandle handle, std::uintptr_t context, std::uint32_t status,
                             void* information, std::uint32_t informationLength);
  void RaiseLastError(bool failed);
  std::uint32_t RequestFlags() const;
  std::string QueryHeaderText(TALInternetHandle request, std::uint32_t infoLevel);
  void SetDwordOption(TALInternetHandle request, std::uint32_t option, std::uint32_t value);
  void SetStringOption(TALInternetHandle request, std::uint32_t option, const std::string& value);
  // The time-out of one platform call: the configured one (the platform's default when
  // there is none), cut to what is left of the request's deadline; 0 leaves the platform's.
  std::uint32_t CallTimeout(int configured, std::uint32_t platformDefault) const;
  // Gives a new request its time-outs, proxy credentials and switched-off features.
  void ApplyRequestOptions(TALInternetHandle request);
  void SetCallTimeout(TALInternetHandle request, std::uint32_t option, int configured,
                      std::uint32_t platformDefault);
  // Fails the request as timed out once its deadline has passed.
  void CheckDeadline() const;

  TALWinHttpApi& api_;
  TALUniqueInternetHandle openHandle_;
  TALUniqueInternetHandle connectHandle_;
  bool connected_ = false;
  // The flags of the secure-failure notification of the request under way (0: none); they
  // name what was wrong with the server's certificate in the failure's message.
  std::uint32_t secureFailure_ = 0;
  // The end of the request under way, when TotalTimeout is set.
  std::optional<std::chrono::steady_clock::time_point> deadline_;
  std::string urlHost_;
  std::string urlPath_;
  std::uint16_t urlPort_ = 80;
  int urlScheme_ = 1;
  TALWinHttpClientInternetOpenAccessType accessType_ = wHttpAt_NO_PROXY;
  TALWinHttpClientInternetOptionSet internetOptions_{wHttpIo_Keep_connection};
};

}  // namespace mq
