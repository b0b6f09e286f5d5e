// The transport-independent HTTP client: its settings, proxy parameters, events, the
// exception it raises, and the two forms of Get. A transport derives from TALHTTPClient and
// overrides PerformRequest and the change handlers; this base performs no request at all.
#pragma once

#include <cstdio>
#include <functional>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "http/ALHttpCommon.h"

namespace mq {

enum TALHTTPProtocolVersion { HTTPpv_1_0 = 0, HTTPpv_1_1 = 1 };
enum TALHTTPRequestMethod { HTTPrm_Get = 0, HTTPrm_Post = 1 };

// A failed request: the message and the HTTP status (0 when the failure is not a status).
class EALHTTPClientException : public std::runtime_error {
 public:
  explicit EALHTTPClientException(const std::string& message, int statusCode = 0)
      : std::runtime_error(message), statusCode_(statusCode) {}

  // Builds the message from a printf format; std::string arguments are passed as text.
  template <typename... Args>
  static EALHTTPClientException CreateFmt(int statusCode, const char* format, const Args&... args) {
    const int size = std::snprintf(nullptr, 0, format, Arg(args)...);
    std::string text(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0) std::snprintf(text.data(), text.size() + 1, format, Arg(args)...);
    return EALHTTPClientException(text, statusCode);
  }

  int StatusCode() const { return statusCode_; }

 private:
  template <typename T>
  static auto Arg(const T& value) {
    if constexpr (std::is_same_v<T, std::string>) {
      return value.c_str();
    } else {
      return value;
    }
  }

  int statusCode_;
};

class TALHTTPClientProxyParams : public TALPersistent {
 public:
  enum Index {
    ppProxyBypass = 0,
    ppProxyServer = 1,
    ppProxyPort = 2,
    ppProxyUserName = 3,
    ppProxyPassword = 4
  };

  const std::string& ProxyBypass() const { return proxyBypass_; }
  const std::string& ProxyServer() const { return proxyServer_; }
  int ProxyPort() const { return proxyPort_; }
  const std::string& ProxyUserName() const { return proxyUserName_; }
  const std::string& ProxyPassword() const { return proxyPassword_; }

  // Each setter stores a different value and reports its index; an equal value does nothing.
  void SetProxyBypass(const std::string& value) { Set(proxyBypass_, value, ppProxyBypass); }
  void SetProxyServer(const std::string& value) { Set(proxyServer_, value, ppProxyServer); }
  void SetProxyPort(int value) { Set(proxyPort_, value, ppProxyPort); }
  void SetProxyUserName(const std::string& value) { Set(proxyUserName_, value, ppProxyUserName); }
  void SetProxyPassword(const std::string& value) { Set(proxyPassword_, value, ppProxyPassword); }

  // Copies the four texts and the port without reporting a change.
  void Assign(const TALPersistent& source) override;
  const char* ClassName() const override { return "TALHTTPClientProxyParams"; }

  TALHTTPPropertyChangeEvent OnChange;

 private:
  template <typename T>
  void Set(T& field, const T& value, int index) {
    if (field == value) return;
    field = value;
    if (OnChange) OnChange(*this, index);
  }

  std::string proxyBypass_;
  std::string proxyServer_;
  int proxyPort_ = 0;
  std::string proxyUserName_;
  std::string proxyPassword_;
};

class TALHTTPClient;

using TALHTTPClientUploadProgressEvent = std::function<void(TALHTTPClient& sender, int Sent, int Total)>;
using TALHTTPClientDownloadProgressEvent =
    std::function<void(TALHTTPClient& sender, int Read, int Total)>;
using TAlHTTPClientRedirectEvent = std::function<void(TALHTTPClient& sender, const std::string& NewURL)>;

class TALHTTPClient : public TALPersistent {
 public:
  TALHTTPClient();
  ~TALHTTPClient() override;
  TALHTTPClient(const TALHTTPClient&) = delete;
  TALHTTPClient& operator=(const TALHTTPClient&) = delete;

  const std::string& URL() const { return url_; }
  virtual void SetURL(const std::string& value) { url_ = value; }
  const std::string& UserName() const { return userName_; }
  virtual void SetUserName(const std::string& value) { userName_ = value; }
  const std::string& Password() const { return password_; }
  virtual void SetPassword(const std::string& value) { password_ = value; }

  // Milliseconds; 0 or less leaves the platform's default.
  int ConnectTimeout() const { return connectTimeout_; }
  void SetConnectTimeout(int ms) { connectTimeout_ = ms; }
  int SendTimeout() const { return sendTimeout_; }
  void SetSendTimeout(int ms) { sendTimeout_ = ms; }
  int ReceiveTimeout() const { return receiveTimeout_; }
  void SetReceiveTimeout(int ms) { receiveTimeout_ = ms; }
  // Milliseconds for a whole request, connecting, sending and receiving together: a server
  // that answers a byte at a time never trips the time-outs above, which count per call.
  // A request past it fails as timed out. 0 or less: no overall limit.
  int TotalTimeout() const { return totalTimeout_; }
  void SetTotalTimeout(int ms) { totalTimeout_ = ms; }

  // The largest request body sent in one piece, and the chunk size above it. A negative
  // value is ignored.
  int UploadBufferSize() const { return uploadBufferSize_; }
  virtual void SetUploadBufferSize(int bytes);

  TALHTTPClientProxyParams& ProxyParams() { return proxyParams_; }
  TALHTTPRequestHeader& RequestHeader() { return requestHeader_; }

  TALHTTPProtocolVersion ProtocolVersion() const { return protocolVersion_; }
  void SetProtocolVersion(TALHTTPProtocolVersion value) { protocolVersion_ = value; }
  TALHTTPRequestMethod RequestMethod() const { return requestMethod_; }
  void SetRequestMethod(TALHTTPRequestMethod value) { requestMethod_ = value; }

  // Writes the body at the stream's current position; `responseHeader` may be null.
  void Get(const std::string& url, std::ostream& responseContent,
           TALHTTPResponseHeader* responseHeader = nullptr);
  // The body, byte for byte.
  std::string Get(const std::string& url);

  // One request with the current settings. `requestData` (may be null) is the whole body.
  virtual void PerformRequest(std::istream* requestData, std::ostream& responseContent,
                              TALHTTPResponseHeader* responseHeader);

  const char* ClassName() const override { return "TALHTTPClient"; }

  TALHTTPClientUploadProgressEvent OnUploadProgress;
  TALHTTPClientDownloadProgressEvent OnDownloadProgress;
  TAlHTTPClientRedirectEvent OnRedirect;

 protected:
  virtual void ProxyParamsChanged(TALPersistent& sender, int PropertyIndex) {}
  virtual void RequestHeaderChanged(TALPersistent& sender, int PropertyIndex) {}

 private:
  int uploadBufferSize_ = 32768;
  int connectTimeout_ = 0;
  int sendTimeout_ = 0;
  int receiveTimeout_ = 0;
  int totalTimeout_ = 0;
  std::string url_;
  std::string userName_;
  std::string password_;
  TALHTTPClientProxyParams proxyParams_;
  TALHTTPRequestHeader requestHeader_;
  TALHTTPProtocolVersion protocolVersion_ = HTTPpv_1_1;
  TALHTTPRequestMethod requestMethod_ = HTTPrm_Get;
};

}  // namespace mq
