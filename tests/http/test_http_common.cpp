// The request model, cookies, the response header parse, the proxy parameters and the
// client base.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "http/ALHttpClient.h"
#include "http/ALHttpCommon.h"
#include "tests/support/TextCase.h"

namespace mq {
namespace {

struct ChangeLog {
  std::vector<int> indexes;
  TALHTTPPropertyChangeEvent Handler() {
    return [this](TALPersistent&, int index) { indexes.push_back(index); };
  }
};

// The header names in composition order, written out independently of the code's table.
const char* const kExpectedHeaderNames[38] = {"Accept",
                                              "Accept-Charset",
                                              "Accept-Encoding",
                                              "Accept-Language",
                                              "Allow",
                                              "Authorization",
                                              "Cache-Control",
                                              "Connection",
                                              "Content-Encoding",
                                              "Content-Language",
                                              "Content-Length",
                                              "Content-Location",
                                              "Content-MD5",
                                              "Content-Range",
                                              "Content-Type",
                                              "Date",
                                              "Expect",
                                              "Expires",
                                              "From",
                                              "Host",
                                              "If-Match",
                                              "If-Modified-Since",
                                              "If-None-Match",
                                              "If-Range",
                                              "If-Unmodified-Since",
                                              "Last-Modified",
                                              "Max-Forwards",
                                              "Pragma",
                                              "Proxy-Authorization",
                                              "Range",
                                              "Referer",
                                              "TE",
                                              "Trailer",
                                              "Transfer-Encoding",
                                              "Upgrade",
                                              "User-Agent",
                                              "Via",
                                              "Warning"};

TEST(RequestHeader, FreshHeaderHoldsOnlyAcceptAndReportedNothing) {
  TALHTTPRequestHeader header;
  EXPECT_EQ(header.ComposeHeaderText(), "Accept: text/html, */*\r\n");
  for (int i = 1; i < 38; ++i) EXPECT_EQ(header.Field(i), "") << i;
}

TEST(RequestHeader, EachFieldReportsItsIndexAndComposesUnderItsName) {
  for (int i = 0; i < 38; ++i) {
    TALHTTPRequestHeader header;
    header.SetAccept("");
    ChangeLog log;
    header.OnChange = log.Handler();
    header.SetField(i, "v");
    header.SetField(i, "v");  // the same text again: no report
    EXPECT_EQ(log.indexes, std::vector<int>{i}) << kExpectedHeaderNames[i];
    EXPECT_EQ(header.ComposeHeaderText(), std::string(kExpectedHeaderNames[i]) + ": v\r\n");
  }
}

TEST(RequestHeader, NamedAccessorsUseTheirOwnIndex) {
  TALHTTPRequestHeader header;
  ChangeLog log;
  header.OnChange = log.Handler();
  header.SetUserAgent("agent");
  header.SetReferer("r");
  header.SetContentMD5("m");
  header.SetWarning("w");
  header.SetAccept("text/html, */*");  // unchanged
  header.SetAccept("TEXT/html, */*");  // differs in case only: a change
  EXPECT_EQ(log.indexes, (std::vector<int>{35, 30, 12, 37, 0}));
}

TEST(RequestHeader, ClearReportsOneChangeForEverything) {
  TALHTTPRequestHeader header;
  header.SetHost("h");
  header.CustomHeaders().push_back("X-A: 1");
  header.Cookies().Add().Name = "c";
  ChangeLog log;
  header.OnChange = log.Handler();
  header.Clear();
  EXPECT_EQ(log.indexes, std::vector<int>{-1});
  EXPECT_EQ(header.ComposeHeaderText(), "");
  EXPECT_TRUE(header.CustomHeaders().empty());
  EXPECT_EQ(header.Cookies().Count(), 0);
}

TEST(RequestHeader, AssignCopiesEverythingAndReportsOnce) {
  TALHTTPRequestHeader source;
  source.SetHost("example.org");
  source.SetUserAgent("ua");
  source.CustomHeaders() = {"X-One: 1", "X-Two: 2"};
  TALHTTPRequestCookie& cookie = source.Cookies().Add();
  cookie.Name = "n";
  cookie.Value = "v";
  cookie.Secure = true;

  TALHTTPRequestHeader target;
  ChangeLog log;
  target.OnChange = log.Handler();
  target.Assign(source);
  EXPECT_EQ(log.indexes, std::vector<int>{-1});
  EXPECT_EQ(target.ComposeHeaderText(), source.ComposeHeaderText());
  EXPECT_EQ(target.ComposeHeaderText(),
            "Accept: text/html, */*\r\nHost: example.org\r\nUser-Agent: ua\r\n"
            "X-One: 1\r\nX-Two: 2\r\nSet-Cookie: n=v; secure\r\n");
  // The copy is deep: changing the source afterwards leaves the target alone.
  source.Cookies()[0].Name = "changed";
  EXPECT_EQ(target.Cookies()[0].Name, "n");
}

TEST(RequestHeader, AssignFromAnotherKindIsRefused) {
  TALHTTPRequestHeader header;
  TALHTTPRequestCookie cookie;
  TALHTTPClientProxyParams proxy;
  EXPECT_THROW(header.Assign(cookie), EALAssignError);
  EXPECT_THROW(cookie.Assign(header), EALAssignError);
  EXPECT_THROW(proxy.Assign(header), EALAssignError);
  try {
    header.Assign(proxy);
  } catch (const EALAssignError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TALHTTPClientProxyParams to a TALHTTPRequestHeader");
  }
}

TEST(RequestHeader, ComposeTrimsValuesAndSkipsEmptyOnes) {
  const test::TextCase cases[] = {
      {"   ", ""},
      {"\t\r\n", ""},
      {"  x  ", "Host: x\r\n"},
      {"\x01y\x1F", "Host: y\r\n"},
      {" a b ", "Host: a b\r\n"},
  };
  for (const test::TextCase& c : cases) {
    TALHTTPRequestHeader header;
    header.SetAccept("");
    header.SetHost(c.in);
    EXPECT_EQ(header.ComposeHeaderText(), c.out) << '"' << c.in << '"';
  }
}

TEST(RequestHeader, CustomLinesSplitAtTheFirstColon) {
  const test::TextCase cases[] = {
      {"X-Name: value", "X-Name: value\r\n"},
      {"X-Name:value", "X-Name: value\r\n"},
      {"X-Time: 10:20:30", "X-Time: 10:20:30\r\n"},
      {"  X-Spaced  :  v  ", "  X-Spaced  : v\r\n"},  // the name keeps its blanks
      {"X-Empty:", ""},
      {"X-Blank:    ", ""},
      {"no colon here", ""},
      {"   : value", ""},
      {": value", ""},
  };
  for (const test::TextCase& c : cases) {
    TALHTTPRequestHeader header;
    header.SetAccept("");
    header.CustomHeaders().push_back(c.in);
    EXPECT_EQ(header.ComposeHeaderText(), c.out) << '"' << c.in << '"';
  }
}

TEST(RequestHeader, BlockOrderIsFieldsThenCustomLinesThenCookies) {
  TALHTTPRequestHeader header;
  header.SetWarning("last field");
  header.SetContentType("text/plain");
  header.SetCustomHeaders({"B: 2", "A: 1"});
  TALHTTPRequestCookie& nameless = header.Cookies().Add();
  nameless.Value = "has a value but no name";
  header.Cookies().Add().Name = "second";
  header.Cookies()[1].Value = "v";
  EXPECT_EQ(header.ComposeHeaderText(),
            "Accept: text/html, */*\r\nContent-Type: text/plain\r\nWarning: last field\r\n"
            "B: 2\r\nA: 1\r\nSet-Cookie: second=v\r\n");
}

TEST(Cookie, CookieTextCases) {
  struct Case {
    const char* name;
    const char* value;
    const char* domain;
    const char* path;
    double expires;
    bool secure;
    const char* text;
  } cases[] = {
      {"a", "b c", "", "", -1.0, false, "a=b+c"},
      {"a", "b", "", "", -1.0, true, "a=b; secure"},
      {"a", "b", "x", "/", -1.0, false, "a=b; domain=x; path=/"},
      {"a", "b", "", "", -1.5, false, "a=b"},
      {"a", "", "", "", -1.0, false, "a="},
      {"a;b", "1=2", "d e", "/p q", -1.0, false, "a%3bb=1%3d2; domain=d e; path=/p q"},
      // 9 June 2021 12:00 was a Wednesday; the value is used as it is, without conversion.
      {"a", "b", "", "", 44356.5, false, "a=b; expires=Wed, 09-Jun-2021 12:00:00 GMT"},
      {"a", "b", "", "", 44356.75, true, "a=b; expires=Wed, 09-Jun-2021 18:00:00 GMT; secure"},
      {"a", "b", "", "", 36585.0, false, "a=b; expires=Tue, 29-Feb-2000 00:00:00 GMT"},
      {"a", "b", "", "", 0.0, false, "a=b; expires=Sat, 30-Dec-1899 00:00:00 GMT"},
      {"a", "b", "", "", -0.5, false, "a=b; expires=Sat, 30-Dec-1899 12:00:00 GMT"},
      // A time that rounds to the next midnight carries into the next day.
      {"a", "b", "", "", 44356.9999999999, false, "a=b; expires=Thu, 10-Jun-2021 00:00:00 GMT"},
      {"a", "b", "", "", 2.0 + 1.0 / 86400 * 3661, false, "a=b; expires=Mon, 01-Jan-1900 01:01:01 GMT"},
  };
  for (const Case& c : cases) {
    TALHTTPRequestCookie cookie;
    cookie.Name = c.name;
    cookie.Value = c.value;
    cookie.Domain = c.domain;
    cookie.Path = c.path;
    cookie.Expires = c.expires;
    cookie.Secure = c.secure;
    EXPECT_EQ(cookie.CookieText(), c.text) << c.text;
  }
}

TEST(Cookie, AssignCopiesAllSix) {
  TALHTTPRequestCookie a;
  a.Name = "n";
  a.Value = "v";
  a.Domain = "d";
  a.Path = "/p";
  a.Expires = 44000.25;
  a.Secure = true;
  TALHTTPRequestCookie b;
  b.Assign(a);
  EXPECT_EQ(b.CookieText(), a.CookieText());
  EXPECT_EQ(b.Expires, 44000.25);
  EXPECT_TRUE(b.Secure);
}

TEST(Cookie, EncodeCookiePartKeepsTheSafeSetAndEscapesTheRest) {
  EXPECT_EQ(EncodeCookiePart("AZaz09!$'()*-.@_"), "AZaz09!$'()*-.@_");
  EXPECT_EQ(EncodeCookiePart("a b"), "a+b");
  EXPECT_EQ(EncodeCookiePart("+%;=,/\"~#&"), "%2b%25%3b%3d%2c%2f%22%7e%23%26");
  EXPECT_EQ(EncodeCookiePart(std::string("\x00\x7F\x80\xE9\xFF", 5)), "%00%7f%80%e9%ff");
  EXPECT_EQ(EncodeCookiePart(""), "");
  // Every byte outside the safe set becomes '%' and two lower-case hexadecimal digits.
  const std::string safe = "!$'()*-.@_";
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    const bool kept =
        (b < 128 && std::isalnum(b) != 0) || safe.find(static_cast<char>(b)) != std::string::npos;
    char escaped[4];
    std::snprintf(escaped, sizeof escaped, "%%%02x", b);
    const std::string expected = b == ' ' ? "+" : kept ? one : escaped;
    EXPECT_EQ(EncodeCookiePart(one), expected) << b;
  }
}

TEST(ProxyParams, ChangesReportTheirIndexAndEqualValuesNothing) {
  TALHTTPClientProxyParams proxy;
  ChangeLog log;
  proxy.OnChange = log.Handler();
  proxy.SetProxyBypass("<local>");
  proxy.SetProxyServer("proxy");
  proxy.SetProxyPort(8080);
  proxy.SetProxyUserName("u");
  proxy.SetProxyPassword("p");
  proxy.SetProxyBypass("<local>");
  proxy.SetProxyServer("proxy");
  proxy.SetProxyPort(8080);
  proxy.SetProxyUserName("u");
  proxy.SetProxyPassword("p");
  proxy.SetProxyPort(0);
  EXPECT_EQ(log.indexes, (std::vector<int>{0, 1, 2, 3, 4, 2}));
}

TEST(ProxyParams, AssignCopiesWithoutReporting) {
  TALHTTPClientProxyParams source;
  source.SetProxyBypass("b");
  source.SetProxyServer("s");
  source.SetProxyPort(3128);
  source.SetProxyUserName("u");
  source.SetProxyPassword("p");
  TALHTTPClientProxyParams target;
  ChangeLog log;
  target.OnChange = log.Handler();
  target.Assign(source);
  EXPECT_TRUE(log.indexes.empty());
  EXPECT_EQ(target.ProxyBypass(), "b");
  EXPECT_EQ(target.ProxyServer(), "s");
  EXPECT_EQ(target.ProxyPort(), 3128);
  EXPECT_EQ(target.ProxyUserName(), "u");
  EXPECT_EQ(target.ProxyPassword(), "p");
}

// ---- response header parse

TEST(ResponseHeader, TypicalBlockFillsFieldsStatusAndOthers) {
  const std::string raw =
      "HTTP/1.1 404 Not Found Here\r\n"
      "content-type:  text/xml; charset=gbk \r\n"
      "Content-Length: 120\r\n"
      "Set-Cookie: id=1\r\n"
      "X-Custom: yes\r\n"
      "Content-Type: second\r\n"
      "ETag: \"abc\"\r\n"
      "WWW-Authenticate: Basic\r\n"
      "\r\n";
  TALHTTPResponseHeader h;
  h.SetRawHeaderText(raw);
  EXPECT_EQ(h.ProtocolVersionText(), "HTTP/1.1");
  EXPECT_EQ(h.StatusCodeText(), "404");
  EXPECT_EQ(h.ReasonPhrase(), "Not Found Here");
  EXPECT_EQ(h.ContentType(), "text/xml; charset=gbk");  // the first match, case ignored
  EXPECT_EQ(h.ContentLength(), "120");
  EXPECT_EQ(h.ETag(), "\"abc\"");
  EXPECT_EQ(h.WWWAuthenticate(), "Basic");
  EXPECT_EQ(h.Server(), "");
  EXPECT_EQ(h.OtherHeaders(),
            (std::vector<std::string>{"HTTP/1.1 404 Not Found Here", "Set-Cookie: id=1", "X-Custom: yes",
                                      "Content-Type: second"}));
  EXPECT_TRUE(h.CookieValues().empty());
  EXPECT_EQ(h.RawHeaderLines(), raw);
}

TEST(ResponseHeader, EveryNamedFieldIsFound) {
  std::string raw = "HTTP/1.0 200 OK\r\n";
  for (int i = 0; i < kALHTTPResponseHeaderFieldCount; ++i) {
    raw += std::string(ALHTTPResponseHeaderName(i)) + ": value " + std::to_string(i) + "\r\n";
  }
  TALHTTPResponseHeader h;
  h.SetRawHeaderText(raw);
  for (int i = 0; i < kALHTTPResponseHeaderFieldCount; ++i) {
    EXPECT_EQ(h.Field(i), "value " + std::to_string(i)) << ALHTTPResponseHeaderName(i);
  }
  EXPECT_EQ(h.OtherHeaders(), std::vector<std::string>{"HTTP/1.0 200 OK"});
  EXPECT_EQ(h.Location(), "value 16");
  EXPECT_EQ(h.AcceptRanges(), "value 0");
}

TEST(ResponseHeader, StatusLineCuts) {
  struct Case {
    const char* raw;
    const char* version;
    const char* code;
    const char* reason;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\n", "HTTP/1.1", "200", "OK"},
      {"HTTP/1.1 200\r\n", "HTTP/1.1", "200", ""},
      {"HTTP/1.1\r\n", "HTTP/1.1", "", ""},
      {"HTTP/1.1  200 OK\r\n", "HTTP/1.1", "", "200 OK"},  // two blanks: an empty code
      {"", "", "", ""},
      {"Server: x\r\n", "", "", ""},  // nothing left once the named line is taken
      {"HTTP/1.1 301 Moved Permanently\nLocation: /x\n", "HTTP/1.1", "301", "Moved Permanently"},
  };
  for (const Case& c : cases) {
    TALHTTPResponseHeader h;
    h.SetRawHeaderText(c.raw);
    EXPECT_EQ(h.ProtocolVersionText(), c.version) << c.raw;
    EXPECT_EQ(h.StatusCodeText(), c.code) << c.raw;
    EXPECT_EQ(h.ReasonPhrase(), c.reason) << c.raw;
  }
}

TEST(ResponseHeader, CookieLineIsSplitDecodedAndRemoved) {
  struct Case {
    const char* value;
    std::vector<std::string> cookies;
  } cases[] = {
      {"a=1; b=2", {"a=1", "b=2"}},
      {"a=1;b=2;;  c=3 ", {"a=1", "b=2", "c=3 "}},
      {"q=\"x; y\"; r='1;2'", {"q=x; y", "r=1;2"}},
      {"n=a+b%20c%25d%%e", {"n=a b c%d%e"}},
      {"hi=%E6%96%B0", {"hi=\xE6\x96\xB0"}},
      {"", {}},
      {" ; ; ", {}},
  };
  for (const Case& c : cases) {
    TALHTTPResponseHeader h;
    h.SetRawHeaderText("HTTP/1.1 200 OK\r\ncookie: " + std::string(c.value) + "\r\nX: 1\r\n");
    EXPECT_EQ(h.CookieValues(), c.cookies) << c.value;
    EXPECT_EQ(h.OtherHeaders(), (std::vector<std::string>{"HTTP/1.1 200 OK", "X: 1"})) << c.value;
  }
}

TEST(ResponseHeader, MalformedEscapesRaiseTheirMessages) {
  const test::TextCase cases[] = {
      {"a=%4", "Error decoding URL style (%XX) encoded string at position 3"},
      {"a=%", "Error decoding URL style (%XX) encoded string at position 3"},
      {"ab=1%zz", "Invalid URL encoded character (zz) at position 5"},
      {"%g1", "Invalid URL encoded character (g1) at position 1"},
      {"ok=1; b=%1x", "Invalid URL encoded character (1x) at position 3"},
  };
  for (const test::TextCase& c : cases) {
    TALHTTPResponseHeader h;
    try {
      h.SetRawHeaderText("HTTP/1.1 200 OK\r\nCookie: " + std::string(c.in) + "\r\n");
      ADD_FAILURE() << "no exception for " << c.in;
    } catch (const EALHTTPDecodeError& e) {
      EXPECT_STREQ(e.what(), c.out) << c.in;
    }
  }
}

TEST(ResponseHeader, ParsingAgainReplacesEverything) {
  TALHTTPResponseHeader h;
  h.SetRawHeaderText("HTTP/1.1 200 OK\r\nServer: one\r\nCookie: a=1\r\nX: y\r\n");
  h.SetRawHeaderText("HTTP/1.1 204 No Content\r\n");
  EXPECT_EQ(h.Server(), "");
  EXPECT_TRUE(h.CookieValues().empty());
  EXPECT_EQ(h.OtherHeaders(), std::vector<std::string>{"HTTP/1.1 204 No Content"});
  EXPECT_EQ(h.StatusCodeText(), "204");
}

// ---- the client base

TEST(HttpClientBase, DefaultsAndTheUserAgentWriteReportsNothing) {
  TALHTTPClient client;
  EXPECT_EQ(client.UploadBufferSize(), 32768);
  EXPECT_EQ(client.ConnectTimeout(), 0);
  EXPECT_EQ(client.SendTimeout(), 0);
  EXPECT_EQ(client.ReceiveTimeout(), 0);
  EXPECT_EQ(client.ProtocolVersion(), HTTPpv_1_1);
  EXPECT_EQ(client.RequestMethod(), HTTPrm_Get);
  EXPECT_EQ(client.RequestHeader().Owner(), &client);
  EXPECT_EQ(client.RequestHeader().ComposeHeaderText(),
            "Accept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; TALHTTPClient)\r\n");
}

TEST(HttpClientBase, UploadBufferSizeIgnoresNegativeValues) {
  TALHTTPClient client;
  client.SetUploadBufferSize(-1);
  EXPECT_EQ(client.UploadBufferSize(), 32768);
  client.SetUploadBufferSize(0);
  EXPECT_EQ(client.UploadBufferSize(), 0);
  client.SetUploadBufferSize(-100);
  EXPECT_EQ(client.UploadBufferSize(), 0);
  client.SetUploadBufferSize(5);
  EXPECT_EQ(client.UploadBufferSize(), 5);
}

TEST(HttpClientBase, GetOnTheBasePerformsNothingAndSetsTheMethod) {
  TALHTTPClient client;
  client.SetRequestMethod(HTTPrm_Post);
  EXPECT_EQ(client.Get("http://example.invalid/"), "");
  EXPECT_EQ(client.URL(), "http://example.invalid/");
  EXPECT_EQ(client.RequestMethod(), HTTPrm_Get);
  std::ostringstream out("prefix", std::ios::ate);
  client.Get("http://example.invalid/2", out);
  EXPECT_EQ(out.str(), "prefix");
}

TEST(HttpClientException, FormatsAndKeepsTheStatusCode) {
  const EALHTTPClientException plain("Empty URL");
  EXPECT_STREQ(plain.what(), "Empty URL");
  EXPECT_EQ(plain.StatusCode(), 0);
  const auto formatted = EALHTTPClientException::CreateFmt(
      404, "%s (%d) - '%s'", std::string("Not Found"), 404, std::string("http://h/x"));
  EXPECT_STREQ(formatted.what(), "Not Found (404) - 'http://h/x'");
  EXPECT_EQ(formatted.StatusCode(), 404);
}

}  // namespace
}  // namespace mq
