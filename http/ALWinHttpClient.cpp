#include "http/ALWinHttpClient.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <exception>
#include <istream>
#include <ostream>
#include <vector>

#include "base/Utf.h"

namespace mq {

namespace {

// WinHTTP's numbers, as the platform defines them.
constexpr std::uint32_t kAllNotifications = 0xFFFFFFFF;
constexpr std::uint32_t kAccessTypeDefaultProxy = 0;
constexpr std::uint32_t kAccessTypeNoProxy = 1;
constexpr std::uint32_t kAccessTypeNamedProxy = 3;
constexpr std::uint32_t kFlagEscapePercent = 0x4;
constexpr std::uint32_t kFlagNullCodepage = 0x8;
constexpr std::uint32_t kFlagEscapeDisable = 0x40;
constexpr std::uint32_t kFlagEscapeDisableQuery = 0x80;
constexpr std::uint32_t kFlagBypassProxyCache = 0x100;  // also WINHTTP_FLAG_REFRESH
constexpr std::uint32_t kFlagSecure = 0x800000;
constexpr std::uint32_t kOptionResolveTimeout = 2;
constexpr std::uint32_t kOptionConnectTimeout = 3;
constexpr std::uint32_t kOptionSendTimeout = 5;
constexpr std::uint32_t kOptionReceiveTimeout = 6;
constexpr std::uint32_t kOptionReceiveResponseTimeout = 7;
// WinHTTP's own time-outs when none is set (name resolution has none).
constexpr std::uint32_t kDefaultConnectTimeoutMs = 60000;
constexpr std::uint32_t kDefaultSendTimeoutMs = 30000;
constexpr std::uint32_t kDefaultReceiveTimeoutMs = 30000;
constexpr std::uint32_t kNoTimeout = 0xFFFFFFFF;
constexpr std::uint32_t kErrorTimeout = 12002;
constexpr std::uint32_t kOptionProxyUserName = 0x1002;
constexpr std::uint32_t kOptionProxyPassword = 0x1003;
constexpr std::uint32_t kOptionDisableFeature = 63;
constexpr std::uint32_t kDisableCookies = 1;
constexpr std::uint32_t kDisableRedirects = 2;
constexpr std::uint32_t kDisableKeepAlive = 8;
constexpr std::uint32_t kAddReplace = 0xA0000000;  // WINHTTP_ADDREQ_FLAG_ADD | _REPLACE
constexpr std::uint32_t kQueryRawHeadersCrlf = 22;
constexpr std::uint32_t kQueryStatusText = 20;
constexpr std::uint32_t kQueryStatusCodeNumber = 0x20000013;     // STATUS_CODE | FLAG_NUMBER
constexpr std::uint32_t kQueryContentLengthNumber = 0x20000005;  // CONTENT_LENGTH | FLAG_NUMBER
constexpr std::uint32_t kErrorInsufficientBuffer = 122;
constexpr std::uint32_t kStatusRedirect = 0x4000;
constexpr std::uint32_t kStatusSecureFailure = 0x10000;
constexpr std::uint32_t kErrorSecureChannel = 12157;
constexpr std::uint32_t kErrorSecureFailure = 12175;
constexpr int kSchemeHttp = 1;
constexpr int kSchemeHttps = 2;

struct ErrorTextEntry {
  std::uint32_t code;
  const char* text;
};

// Wine's FormatMessage has no text for WinHTTP's own codes; these keep a failure readable.
constexpr ErrorTextEntry kFallbackTexts[] = {
    {12001, "No more handles could be generated at this time"},
    {12002, "The operation timed out"},
    {12004, "An internal error occurred in the HTTP service"},
    {12005, "The URL is invalid"},
    {12006, "The URL does not use a recognized protocol"},
    {12007, "The server name or address could not be resolved"},
    {12009, "The option is not valid for this handle"},
    {12011, "The option cannot be set"},
    {12012, "The HTTP service is shutting down"},
    {12015, "The login attempt failed"},
    {12017, "The operation was canceled"},
    {12018, "The handle is of the wrong type for this operation"},
    {12019, "The handle is not in the right state for this operation"},
    {12029, "A connection with the server could not be established"},
    {12030, "The connection with the server was terminated abnormally"},
    {12032, "The request must be sent again"},
    {12037, "The server's security certificate has expired or is not yet valid"},
    {12038, "The server's security certificate does not match the host name"},
    {12044, "The server requires a client certificate"},
    {12045, "The server's security certificate was issued by an untrusted authority"},
    {12057, "The revocation of the server's security certificate could not be checked"},
    {12100, "The operation cannot be carried out before the session is opened"},
    {12101, "The operation cannot be carried out before the request is sent"},
    {12102, "The operation cannot be carried out after the request is sent"},
    {12103, "The option cannot be set after the session is opened"},
    {12150, "The requested header could not be found"},
    {12152, "The server returned an invalid or unrecognized response"},
    {12153, "The server returned an invalid header"},
    {12154, "The header query is not valid"},
    {12155, "The header already exists"},
    {12156, "The redirection failed"},
    {12157, "An error occurred in the secure channel support"},
    {12166, "The automatic proxy configuration script has an error"},
    {12167, "The automatic proxy configuration script could not be downloaded"},
    {12169, "The server's security certificate is not valid"},
    {12170, "The server's security certificate has been revoked"},
    {12172, "The HTTP service has not been initialized"},
    {12175, "A security error occurred"},
    {12178, "The automatic proxy service failed"},
    {12179, "The server's security certificate is not meant for this use"},
    {12180, "Automatic proxy detection failed"},
    {12181, "The response carries too many header lines"},
    {12182, "The response header is too large"},
    {12183, "The size line of a chunk of the response is too large"},
    {12184, "The response is larger than the drain limit"},
    {12185, "The client certificate has no private key"},
    {12186, "The private key of the client certificate cannot be accessed"},
    // Socket codes that Wine's WinHTTP passes on where Windows has a WinHTTP code.
    {10050, "The network is down"},
    {10051, "The network cannot be reached"},
    {10053, "The connection was aborted"},
    {10054, "The connection was reset by the server"},
    {10060, "The connection timed out"},
    {10061, "The server refused the connection"},
    {10065, "The server cannot be reached"},
};

// What the flags of a secure-failure notification say, most telling first.
struct SecureFailureEntry {
  std::uint32_t flag;
  std::uint32_t code;  // the error whose text says it
};
constexpr SecureFailureEntry kSecureFailures[] = {
    {0x20, 12037},        // CERT_DATE_INVALID
    {0x10, 12038},        // CERT_CN_INVALID
    {0x08, 12045},        // INVALID_CA
    {0x04, 12170},        // CERT_REVOKED
    {0x01, 12057},        // CERT_REV_FAILED
    {0x40, 12179},        // CERT_WRONG_USAGE
    {0x02, 12169},        // INVALID_CERT
    {0x80000000, 12157},  // SECURITY_CHANNEL_ERROR
};

std::string SecureFailureText(std::uint32_t flags) {
  std::string text;
  for (const SecureFailureEntry& e : kSecureFailures) {
    if ((flags & e.flag) == 0) continue;
    if (!text.empty()) text += "; ";
    text += ALWinHttpFallbackErrorText(e.code);
  }
  return text;
}

std::uint32_t MapAccessType(TALWinHttpClientInternetOpenAccessType type) {
  switch (type) {
    case wHttpAt_DEFAULT_PROXY:
      return kAccessTypeDefaultProxy;
    case wHttpAt_NAMED_PROXY:
      return kAccessTypeNamedProxy;
    case wHttpAt_NO_PROXY:
      break;
  }
  return kAccessTypeNoProxy;
}

}  // namespace

std::string ALWinHttpFallbackErrorText(std::uint32_t code) {
  for (const ErrorTextEntry& entry : kFallbackTexts) {
    if (entry.code == code) return entry.text;
  }
  const bool winhttp = code >= 12000 && code < 12200;
  return std::string(winhttp ? "HTTP service error " : "System error ") + std::to_string(code);
}

TALWinHttpClient::TALWinHttpClient(TALWinHttpApi& api) : api_(api) {
  // Reports change 35, which disconnects a client that has nothing open.
  RequestHeader().SetUserAgent("Mozilla/3.0 (compatible; TALWinHttpClient)");
}

TALWinHttpClient::~TALWinHttpClient() {
  if (ConnectHandle() != nullptr) api_.SetStatusCallback(ConnectHandle(), nullptr, kAllNotifications);
  if (OpenHandle() != nullptr) api_.SetStatusCallback(OpenHandle(), nullptr, kAllNotifications);
  Disconnect();
}

void TALWinHttpClient::SetURL(const std::string& value) {
  if (value == URL()) return;
  std::string host;
  std::string path;
  std::uint16_t port = 80;
  int scheme = kSchemeHttp;
  if (!value.empty()) {
    TALWinHttpUrlParts parts;
    api_.CrackUrl(ToWide(value).c_str(), parts);  // its result says nothing the parts don't
    if (parts.Scheme != kSchemeHttp && parts.Scheme != kSchemeHttps) {
      throw EALHTTPClientException::CreateFmt(
          0, "Invalid url '%s' - only supports 'http' and 'https' schemes", value);
    }
    scheme = parts.Scheme;
    port = parts.Port;
    host = FromWide(parts.Host);
    path = FromWide(parts.Path);
  }
  const bool sameServer = host == urlHost_ && port == urlPort_;
  urlScheme_ = scheme;
  urlPort_ = port;
  urlHost_ = std::move(host);
  urlPath_ = std::move(path);
  if (!sameServer) Disconnect();
  TALHTTPClient::SetURL(value);
}

void TALWinHttpClient::SetUserName(const std::string& value) {
  if (value != UserName()) Disconnect();
  TALHTTPClient::SetUserName(value);
}

void TALWinHttpClient::SetPassword(const std::string& value) {
  if (value != Password()) Disconnect();
  TALHTTPClient::SetPassword(value);
}

void TALWinHttpClient::SetAccessType(TALWinHttpClientInternetOpenAccessType value) {
  if (value == accessType_) return;
  Disconnect();
  accessType_ = value;
}

void TALWinHttpClient::ProxyParamsChanged(TALPersistent&, int index) {
  // The session handle carries the proxy name and bypass list; the proxy credentials are
  // set on each request.
  if (index >= -1 && index <= TALHTTPClientProxyParams::ppProxyPort) Disconnect();
}

void TALWinHttpClient::RequestHeaderChanged(TALPersistent&, int index) {
  // The session handle carries the user agent; every other field is read per request.
  if (index == -1 || index == rhfUserAgent) Disconnect();
}

void TALWinHttpClient::RaiseLastError(bool failed) {
  const std::uint32_t code = api_.LastError();
  if (!failed || code == 0) return;
  std::string text = api_.ErrorText(code);
  const size_t zero = text.find('\0');
  if (zero != std::string::npos) text.resize(zero);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  if (ALTrim(text).empty()) text = ALWinHttpFallbackErrorText(code);
  // The platform's code for a refused certificate is a general one; the notification that
  // came before it says what was wrong with the certificate.
  if ((code == kErrorSecureFailure || code == kErrorSecureChannel) && secureFailure_ != 0)
    text = SecureFailureText(secureFailure_);
  throw EALHTTPClientException::CreateFmt(0, "%s - URL:%s", text, URL());
}

void TALWinHttpClient::Connect() {
  if (connected_) return;
  const TALHTTPClientProxyParams& proxy = ProxyParams();
  const bool named = accessType_ == wHttpAt_NAMED_PROXY;
  const std::wstring agent = ToWide(RequestHeader().UserAgent());
  const std::wstring proxyName = ToWide(proxy.ProxyServer() + ":" + std::to_string(proxy.ProxyPort()));
  const std::wstring bypass = ToWide(proxy.ProxyBypass());
  const bool useProxyName = named && !proxy.ProxyServer().empty();
  const bool useBypass = named && !proxy.ProxyBypass().empty();

  TALInternetHandle open =
      api_.Open(agent.c_str(), MapAccessType(accessType_), useProxyName ? proxyName.c_str() : nullptr,
                useBypass ? bypass.c_str() : nullptr, 0);
  RaiseLastError(open == nullptr);
  if (open != nullptr) openHandle_.Reset({&api_, open});
  api_.SetStatusCallback(open, &TALWinHttpClient::StatusCallback, kAllNotifications);

  const std::wstring host = ToWide(urlHost_);
  TALInternetHandle connection = api_.Connect(open, host.c_str(), urlPort_);
  try {
    RaiseLastError(connection == nullptr);
  } catch (...) {
    openHandle_.Reset();
    throw;
  }
  if (connection != nullptr) connectHandle_.Reset({&api_, connection});
  connected_ = true;
}

void TALWinHttpClient::Disconnect() {
  connectHandle_.Reset();
  openHandle_.Reset();
  connected_ = false;
}

std::uint32_t TALWinHttpClient::RequestFlags() const {
  const TALWinHttpClientInternetOptionSet o = internetOptions_;
  std::uint32_t flags = 0;
  if (o.Contains(wHttpIo_BYPASS_PROXY_CACHE) || o.Contains(wHttpIo_REFRESH))
    flags |= kFlagBypassProxyCache;
  if (o.Contains(wHttpIo_ESCAPE_DISABLE)) flags |= kFlagEscapeDisable;
  if (o.Contains(wHttpIo_ESCAPE_DISABLE_QUERY)) flags |= kFlagEscapeDisableQuery;
  if (o.Contains(wHttpIo_ESCAPE_PERCENT)) flags |= kFlagEscapePercent;
  if (o.Contains(wHttpIo_NULL_CODEPAGE)) flags |= kFlagNullCodepage;
  if (o.Contains(wHttpIo_SECURE) || urlScheme_ == kSchemeHttps) flags |= kFlagSecure;
  return flags;
}

void TALWinHttpClient::SetDwordOption(TALInternetHandle request, std::uint32_t option,
                                      std::uint32_t value) {
  const bool ok = api_.SetOption(request, option, &value, sizeof value);
  RaiseLastError(!ok);
}

void TALWinHttpClient::SetStringOption(TALInternetHandle request, std::uint32_t option,
                                       const std::string& value) {
  const std::wstring wide = ToWide(value);
  const bool ok = api_.SetOption(request, option, wide.c_str(), static_cast<std::uint32_t>(wide.size()));
  RaiseLastError(!ok);
}

// The time-outs, proxy credentials and switched-off features of one request.
void TALWinHttpClient::ApplyRequestOptions(TALInternetHandle h) {
  SetCallTimeout(h, kOptionConnectTimeout, ConnectTimeout(), kDefaultConnectTimeoutMs);
  SetCallTimeout(h, kOptionSendTimeout, SendTimeout(), kDefaultSendTimeoutMs);
  SetCallTimeout(h, kOptionReceiveTimeout, ReceiveTimeout(), kDefaultReceiveTimeoutMs);
  if (deadline_) {
    // Name resolution and the wait for the whole response head are held to the deadline
    // too where the platform knows these options; elsewhere the calls above bound them.
    const std::uint32_t left = CallTimeout(0, kNoTimeout);
    api_.SetOption(h, kOptionResolveTimeout, &left, sizeof left);
    api_.SetOption(h, kOptionReceiveResponseTimeout, &left, sizeof left);
  }

  const TALHTTPClientProxyParams& proxy = ProxyParams();
  if (!proxy.ProxyUserName().empty()) SetStringOption(h, kOptionProxyUserName, proxy.ProxyUserName());
  if (!proxy.ProxyPassword().empty()) SetStringOption(h, kOptionProxyPassword, proxy.ProxyPassword());

  if (!internetOptions_.Contains(wHttpIo_Keep_connection))
    SetDwordOption(h, kOptionDisableFeature, kDisableKeepAlive);
  if (internetOptions_.Contains(wHttpIo_No_cookies))
    SetDwordOption(h, kOptionDisableFeature, kDisableCookies);
  if (internetOptions_.Contains(wHttpIo_No_auto_redirect))
    SetDwordOption(h, kOptionDisableFeature, kDisableRedirects);
}

TALUniqueInternetHandle TALWinHttpClient::StartRequest(std::istream* requestData) {
  secureFailure_ = 0;
  Connect();
  TALUniqueInternetHandle request;
  try {
    const TALHTTPRequestHeader& header = RequestHeader();
    const wchar_t* verb = RequestMethod() == HTTPrm_Post ? L"POST" : L"GET";
    const wchar_t* version = ProtocolVersion() == HTTPpv_1_0 ? L"HTTP/1.0" : L"HTTP/1.1";
    const std::wstring path = ToWide(urlPath_);
    const std::wstring referrer = ToWide(header.Referer());
    const std::wstring accept = ToWide(header.Accept());
    const wchar_t* acceptTypes[] = {accept.c_str(), nullptr};
    TALInternetHandle h = api_.OpenRequest(ConnectHandle(), verb, path.c_str(), version,
                                           referrer.c_str(), acceptTypes, RequestFlags());
    RaiseLastError(h == nullptr);
    if (h != nullptr) request.Reset({&api_, h});

    ApplyRequestOptions(h);

    const std::wstring headers = ToWide(header.ComposeHeaderText());
    api_.AddRequestHeaders(h, headers.c_str(), static_cast<std::uint32_t>(headers.size()), kAddReplace);

    std::uint64_t size = 0;
    if (requestData != nullptr) {
      requestData->clear();
      requestData->seekg(0, std::ios::end);
      const std::streamoff end = requestData->tellg();
      requestData->seekg(0, std::ios::beg);
      size = end > 0 ? static_cast<std::uint64_t>(end) : 0;
    }
    const auto context = reinterpret_cast<std::uintptr_t>(this);
    const auto bufferSize = static_cast<std::uint64_t>(UploadBufferSize());

    if (size > bufferSize) {
      std::vector<char> buffer(static_cast<size_t>(bufferSize));
      bool ok = api_.SendRequest(h, nullptr, 0, static_cast<std::uint32_t>(size), context);
      RaiseLastError(!ok);
      std::exception_ptr pending;
      try {
        for (;;) {
          const auto position = static_cast<std::uint64_t>(requestData->tellg());
          const std::uint64_t n = std::min(size - position, bufferSize);
          if (n == 0) break;
          requestData->read(buffer.data(), static_cast<std::streamsize>(n));
          const std::streamsize got = requestData->gcount();
          if (!*requestData) requestData->clear();
          if (got <= 0) throw EALHTTPClientException("Invalid HTTP Request: Length is 0");
          std::uint32_t written = 0;
          ok = api_.WriteData(h, buffer.data(), static_cast<std::uint32_t>(got), &written);
          RaiseLastError(!ok);
          if (OnUploadProgress) {
            OnUploadProgress(*this, static_cast<int>(requestData->tellg()), static_cast<int>(size));
          }
        }
      } catch (...) {
        pending = std::current_exception();
      }
      // The response is received whether or not every chunk went out; a failure there
      // takes the place of the one that stopped the loop.
      CheckDeadline();
      ok = api_.ReceiveResponse(h);
      RaiseLastError(!ok);
      if (pending) std::rethrow_exception(pending);
    } else {
      std::string body;
      if (size > 0) {
        body.resize(static_cast<size_t>(size));
        requestData->read(body.data(), static_cast<std::streamsize>(size));
        body.resize(static_cast<size_t>(std::max<std::streamsize>(requestData->gcount(), 0)));
      }
      const auto length = static_cast<std::uint32_t>(body.size());
      bool ok = api_.SendRequest(h, body.empty() ? nullptr : body.data(), length, length, context);
      RaiseLastError(!ok);
      CheckDeadline();
      ok = api_.ReceiveResponse(h);
      RaiseLastError(!ok);
    }
  } catch (...) {
    request.Reset();
    Disconnect();
    throw;
  }
  return request;
}

std::string TALWinHttpClient::QueryHeaderText(TALInternetHandle request, std::uint32_t infoLevel) {
  std::uint32_t size = 4096;  // bytes
  std::vector<wchar_t> buffer;
  for (;;) {
    buffer.assign((size + sizeof(wchar_t) - 1) / sizeof(wchar_t), L'\0');
    std::uint32_t bytes = size;
    if (api_.QueryHeaders(request, infoLevel, buffer.data(), &bytes)) {
      const size_t chars = std::min<size_t>(bytes / sizeof(wchar_t), buffer.size());
      return FromWide(std::wstring_view(buffer.data(), chars));
    }
    if (api_.LastError() != kErrorInsufficientBuffer) {
      RaiseLastError(true);
      return std::string();  // failed without an error code
    }
    size = bytes;  // the length the query asked for
  }
}

void TALWinHttpClient::ReadResponse(TALInternetHandle request, std::ostream& responseContent,
                                    TALHTTPResponseHeader* responseHeader) {
  if (responseHeader != nullptr) {
    responseHeader->SetRawHeaderText(QueryHeaderText(request, kQueryRawHeadersCrlf));
  }

  std::uint32_t status = 0;
  std::uint32_t length = sizeof status;
  if (api_.QueryHeaders(request, kQueryStatusCodeNumber, &status, &length) && status >= 300) {
    const std::string text = QueryHeaderText(request, kQueryStatusText);
    throw EALHTTPClientException::CreateFmt(static_cast<int>(status), "%s (%d) - '%s'", text,
                                            static_cast<int>(status), URL());
  }

  std::uint32_t total = 0;
  length = sizeof total;
  if (!api_.QueryHeaders(request, kQueryContentLengthNumber, &total, &length)) total = 0;

  std::vector<char> buffer;
  std::int64_t count = 0;
  for (;;) {
    if (deadline_) {
      // A server that sends a byte now and then satisfies every per-call time-out; the
      // deadline is looked at between the reads, and each read may wait only what is left.
      CheckDeadline();
      const std::uint32_t left = CallTimeout(ReceiveTimeout(), kDefaultReceiveTimeoutMs);
      api_.SetOption(request, kOptionReceiveTimeout, &left, sizeof left);
    }
    std::uint32_t available = 0;
    bool ok = api_.QueryDataAvailable(request, &available);
    RaiseLastError(!ok);
    if (available == 0) break;
    buffer.resize(available);
    std::uint32_t read = 0;
    ok = api_.ReadData(request, buffer.data(), available, &read);
    RaiseLastError(!ok);
    responseContent.write(buffer.data(), read);
    count += read;
    if (OnDownloadProgress) OnDownloadProgress(*this, static_cast<int>(count), static_cast<int>(total));
  }
}

std::uint32_t TALWinHttpClient::CallTimeout(int configured, std::uint32_t platformDefault) const {
  if (!deadline_) return configured > 0 ? static_cast<std::uint32_t>(configured) : 0;
  using namespace std::chrono;
  const auto left = duration_cast<milliseconds>(*deadline_ - steady_clock::now()).count();
  const std::uint32_t own = configured > 0 ? static_cast<std::uint32_t>(configured) : platformDefault;
  // At least 1 ms: 0 would mean no time-out at all to the platform.
  return static_cast<std::uint32_t>(std::clamp<long long>(left, 1, own));
}

void TALWinHttpClient::SetCallTimeout(TALInternetHandle request, std::uint32_t option, int configured,
                                      std::uint32_t platformDefault) {
  const std::uint32_t ms = CallTimeout(configured, platformDefault);
  if (ms > 0) SetDwordOption(request, option, ms);
}

void TALWinHttpClient::CheckDeadline() const {
  if (deadline_ && std::chrono::steady_clock::now() >= *deadline_) {
    throw EALHTTPClientException::CreateFmt(0, "%s - URL:%s", ALWinHttpFallbackErrorText(kErrorTimeout),
                                            URL());
  }
}

void TALWinHttpClient::PerformRequest(std::istream* requestData, std::ostream& responseContent,
                                      TALHTTPResponseHeader* responseHeader) {
  if (URL().empty()) throw EALHTTPClientException("Empty URL");
  deadline_.reset();
  if (TotalTimeout() > 0)
    deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(TotalTimeout());
  TALUniqueInternetHandle request = StartRequest(requestData);
  try {
    ReadResponse(request.Get().Handle, responseContent, responseHeader);
  } catch (const EALHTTPClientException&) {
    // The request handle goes before the handles it was opened from.
    request.Reset();
    Disconnect();
    throw;
  }
}

void TALWinHttpClient::StatusCallback(TALInternetHandle handle, std::uintptr_t context,
                                      std::uint32_t status, void* information,
                                      std::uint32_t informationLength) {
  if (context == 0) return;
  auto& client = *reinterpret_cast<TALWinHttpClient*>(context);
  if (client.OnStatusChange) client.OnStatusChange(client, status, information, informationLength);
  if (status == kStatusSecureFailure && information != nullptr &&
      informationLength >= sizeof(std::uint32_t))
    std::memcpy(&client.secureFailure_, information, sizeof(std::uint32_t));
  if (status == kStatusRedirect && client.OnRedirect && information != nullptr) {
    const auto* address = static_cast<const wchar_t*>(information);
    client.OnRedirect(client, FromWide(std::wstring_view(address, std::wcslen(address))));
  }
}

}  // namespace mq
