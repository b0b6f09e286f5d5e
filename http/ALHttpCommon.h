// The HTTP request model: the request header with its 38 standard fields, custom header
// lines and cookies, and the response header target filled from a raw response header
// block. Nothing here knows how a request travels; the transport reads the composed header
// text and hands back the raw response header text.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mq {

// Root of the objects that can copy themselves from another object of their own kind.
// Assign from any other kind is refused with EALAssignError.
class TALPersistent {
 public:
  virtual ~TALPersistent() = default;
  virtual void Assign(const TALPersistent& source);
  virtual const char* ClassName() const = 0;
};

// The refusal of Assign between unrelated kinds: "Cannot assign a <source> to a <target>".
class EALAssignError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Failure of the response header parse on a malformed %XX escape in the "Cookie" line.
class EALHTTPDecodeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Change report of the request header and the proxy parameters: the index of the changed
// property, -1 when everything changed.
using TALHTTPPropertyChangeEvent = std::function<void(TALPersistent& sender, int PropertyIndex)>;

// Removes every character with code 32 or less from both ends.
std::string_view ALTrim(std::string_view text);

// Cookie name and value encoding: letters, digits and !$'()*-.@_ are kept, a space becomes
// '+', every other byte becomes '%' and two lower-case hexadecimal digits.
std::string EncodeCookiePart(std::string_view text);

class TALHTTPRequestCookie : public TALPersistent {
 public:
  std::string Name;
  std::string Value;
  std::string Domain;
  std::string Path;
  // Days since 30 December 1899, the fraction being the time of day; -1.0 means no expiry.
  double Expires = -1.0;
  bool Secure = false;

  // The text that follows "Set-Cookie: " in the composed header block.
  std::string CookieText() const;

  void Assign(const TALPersistent& source) override;
  const char* ClassName() const override { return "TALHTTPRequestCookie"; }
};

// An ordered, owning collection of cookies. Items keep their address while they live.
class TALHTTPRequestCookieCollection : public TALPersistent {
 public:
  TALHTTPRequestCookie& Add();
  int Count() const { return static_cast<int>(items_.size()); }
  TALHTTPRequestCookie& operator[](int index) { return *items_.at(index); }
  const TALHTTPRequestCookie& operator[](int index) const { return *items_.at(index); }
  void Delete(int index);
  void Clear() { items_.clear(); }

  void Assign(const TALPersistent& source) override;
  const char* ClassName() const override { return "TALHTTPRequestCookieCollection"; }

 private:
  std::vector<std::unique_ptr<TALHTTPRequestCookie>> items_;
};

// The 38 fields of the request header: index, property name, header name. The order is the
// order of composition, and the index is what OnChange reports.
#define AL_HTTP_REQUEST_HEADER_FIELDS(X)           \
  X(0, Accept, "Accept")                           \
  X(1, AcceptCharSet, "Accept-Charset")            \
  X(2, AcceptEncoding, "Accept-Encoding")          \
  X(3, AcceptLanguage, "Accept-Language")          \
  X(4, Allow, "Allow")                             \
  X(5, Authorization, "Authorization")             \
  X(6, CacheControl, "Cache-Control")              \
  X(7, Connection, "Connection")                   \
  X(8, ContentEncoding, "Content-Encoding")        \
  X(9, ContentLanguage, "Content-Language")        \
  X(10, ContentLength, "Content-Length")           \
  X(11, ContentLocation, "Content-Location")       \
  X(12, ContentMD5, "Content-MD5")                 \
  X(13, ContentRange, "Content-Range")             \
  X(14, ContentType, "Content-Type")               \
  X(15, Date, "Date")                              \
  X(16, Expect, "Expect")                          \
  X(17, Expires, "Expires")                        \
  X(18, From, "From")                              \
  X(19, Host, "Host")                              \
  X(20, IfMatch, "If-Match")                       \
  X(21, IfModifiedSince, "If-Modified-Since")      \
  X(22, IfNoneMatch, "If-None-Match")              \
  X(23, IfRange, "If-Range")                       \
  X(24, IfUnmodifiedSince, "If-Unmodified-Since")  \
  X(25, LastModified, "Last-Modified")             \
  X(26, MaxForwards, "Max-Forwards")               \
  X(27, Pragma, "Pragma")                          \
  X(28, ProxyAuthorization, "Proxy-Authorization") \
  X(29, Range, "Range")                            \
  X(30, Referer, "Referer")                        \
  X(31, TE, "TE")                                  \
  X(32, Trailer, "Trailer")                        \
  X(33, TransferEncoding, "Transfer-Encoding")     \
  X(34, Upgrade, "Upgrade")                        \
  X(35, UserAgent, "User-Agent")                   \
  X(36, Via, "Via")                                \
  X(37, Warning, "Warning")

enum TALHTTPRequestHeaderField {
#define AL_FIELD_ENUM(index, prop, name) rhf##prop = (index),
  AL_HTTP_REQUEST_HEADER_FIELDS(AL_FIELD_ENUM)
#undef AL_FIELD_ENUM
};

constexpr int kALHTTPRequestHeaderFieldCount = 38;

// The header name of field `index` (without the ": ").
const char* ALHTTPRequestHeaderName(int index);

class TALHTTPRequestHeader : public TALPersistent {
 public:
  explicit TALHTTPRequestHeader(TALPersistent* owner = nullptr);

  TALPersistent* Owner() const { return owner_; }

  const std::string& Field(int index) const { return fields_.at(index); }
  // Stores the text and reports the field's index, unless the text is already the stored one.
  void SetField(int index, const std::string& value);

#define AL_FIELD_ACCESSORS(index, prop, name)                \
  const std::string& prop() const { return fields_[index]; } \
  void Set##prop(const std::string& value) { SetField(index, value); }
  AL_HTTP_REQUEST_HEADER_FIELDS(AL_FIELD_ACCESSORS)
#undef AL_FIELD_ACCESSORS

  // Lines "name:value"; the split is at the first colon.
  std::vector<std::string>& CustomHeaders() { return customHeaders_; }
  const std::vector<std::string>& CustomHeaders() const { return customHeaders_; }
  void SetCustomHeaders(const std::vector<std::string>& lines) { customHeaders_ = lines; }

  TALHTTPRequestCookieCollection& Cookies() { return cookies_; }
  const TALHTTPRequestCookieCollection& Cookies() const { return cookies_; }
  void SetCookies(const TALHTTPRequestCookieCollection& cookies) { cookies_.Assign(cookies); }

  // Empties the fields, the custom lines and the cookies; reports one change, index -1.
  void Clear();
  // The header lines the transport adds to a request, each ending in CR LF, or empty.
  std::string ComposeHeaderText() const;

  void Assign(const TALPersistent& source) override;
  const char* ClassName() const override { return "TALHTTPRequestHeader"; }

  TALHTTPPropertyChangeEvent OnChange;

 private:
  void Changed(int index);

  TALPersistent* owner_;
  std::array<std::string, kALHTTPRequestHeaderFieldCount> fields_;
  std::vector<std::string> customHeaders_;
  TALHTTPRequestCookieCollection cookies_;
};

// The 28 response header fields in the order the parse looks for them.
#define AL_HTTP_RESPONSE_HEADER_FIELDS(X)        \
  X(0, AcceptRanges, "Accept-Ranges")            \
  X(1, Age, "Age")                               \
  X(2, Allow, "Allow")                           \
  X(3, CacheControl, "Cache-Control")            \
  X(4, Connection, "Connection")                 \
  X(5, ContentEncoding, "Content-Encoding")      \
  X(6, ContentLanguage, "Content-Language")      \
  X(7, ContentLength, "Content-Length")          \
  X(8, ContentLocation, "Content-Location")      \
  X(9, ContentMD5, "Content-MD5")                \
  X(10, ContentRange, "Content-Range")           \
  X(11, ContentType, "Content-Type")             \
  X(12, Date, "Date")                            \
  X(13, ETag, "ETag")                            \
  X(14, Expires, "Expires")                      \
  X(15, LastModified, "Last-Modified")           \
  X(16, Location, "Location")                    \
  X(17, Pragma, "Pragma")                        \
  X(18, ProxyAuthenticate, "Proxy-Authenticate") \
  X(19, RetryAfter, "Retry-After")               \
  X(20, Server, "Server")                        \
  X(21, Trailer, "Trailer")                      \
  X(22, TransferEncoding, "Transfer-Encoding")   \
  X(23, Upgrade, "Upgrade")                      \
  X(24, Vary, "Vary")                            \
  X(25, Via, "Via")                              \
  X(26, Warning, "Warning")                      \
  X(27, WWWAuthenticate, "WWW-Authenticate")

constexpr int kALHTTPResponseHeaderFieldCount = 28;
const char* ALHTTPResponseHeaderName(int index);

// The response header target: what a raw response header block says, field by field.
class TALHTTPResponseHeader {
 public:
  const std::string& Field(int index) const { return fields_.at(index); }

#define AL_FIELD_GETTER(index, prop, name) \
  const std::string& prop() const { return fields_[index]; }
  AL_HTTP_RESPONSE_HEADER_FIELDS(AL_FIELD_GETTER)
#undef AL_FIELD_GETTER

  const std::string& RawHeaderLines() const { return raw_; }
  const std::vector<std::string>& OtherHeaders() const { return otherHeaders_; }
  const std::vector<std::string>& CookieValues() const { return cookieValues_; }
  const std::string& ProtocolVersionText() const { return protocolVersion_; }
  const std::string& StatusCodeText() const { return statusCode_; }
  const std::string& ReasonPhrase() const { return reasonPhrase_; }

  // Fills every field from a raw header block. Throws EALHTTPDecodeError on a malformed
  // escape in the "Cookie" line.
  void SetRawHeaderText(std::string_view raw);

 private:
  std::array<std::string, kALHTTPResponseHeaderFieldCount> fields_;
  std::string raw_;
  std::vector<std::string> otherHeaders_;
  std::vector<std::string> cookieValues_;
  std::string protocolVersion_;
  std::string statusCode_;
  std::string reasonPhrase_;
};

}  // namespace mq
