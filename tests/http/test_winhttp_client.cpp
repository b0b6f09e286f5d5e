// The WinHTTP transport's logic over the recording stand-in: the exact platform sequence,
// the connection rules, the request options, uploads, statuses and failures.
#include <gtest/gtest.h>

#include <cstdio>

#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "http/ALWinHttpClient.h"
#include "tests/http/FakeWinHttp.h"

namespace mq {
namespace {

using test::FakeWinHttp;
using Calls = std::vector<std::string>;

const char kAgent[] = "Mozilla/3.0 (compatible; TALWinHttpClient)";

// The options a GET sets on its request after `configure` has set up a fresh client.
Calls OptionsOfAGet(const std::function<void(TALWinHttpClient&)>& configure) {
  FakeWinHttp api;
  TALWinHttpClient client(api);
  configure(client);
  client.Get("http://host/");
  return api.CallsStartingWith("SetOption");
}

std::string Message(const std::function<void()>& action, int* status = nullptr) {
  try {
    action();
  } catch (const EALHTTPClientException& e) {
    if (status != nullptr) *status = e.StatusCode();
    return e.what();
  }
  return "(no exception)";
}

TEST(WinHttpClient, FreshClientComposesExactlyTheTwoDefaultLinesAndCallsNothing) {
  FakeWinHttp api;
  {
    TALWinHttpClient client(api);
    EXPECT_EQ(client.RequestHeader().ComposeHeaderText(),
              "Accept: text/html, */*\r\n"
              "User-Agent: Mozilla/3.0 (compatible; TALWinHttpClient)\r\n");
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(client.URLPort(), 80);
    EXPECT_EQ(client.URLScheme(), 1);
    EXPECT_EQ(client.AccessType(), wHttpAt_NO_PROXY);
    EXPECT_TRUE(client.InternetOptions() == TALWinHttpClientInternetOptionSet{wHttpIo_Keep_connection});
  }
  EXPECT_TRUE(api.calls.empty());
}

TEST(WinHttpClient, FeedLoaderGetMakesExactlyThisPlatformSequence) {
  FakeWinHttp api;
  api.response.contentLength = 11;
  api.response.chunks = {"<rss>", "</rss>"};
  std::vector<std::pair<int, int>> progress;
  std::string body;
  {
    TALWinHttpClient client(api);
    client.OnDownloadProgress = [&](TALHTTPClient&, int read, int total) {
      progress.emplace_back(read, total);
    };
    body = client.Get("http://feeds.example.com:8080/news/rss.xml");
    EXPECT_TRUE(client.Connected());
    EXPECT_EQ(api.lastContext, reinterpret_cast<std::uintptr_t>(&client));
  }
  EXPECT_EQ(body, "<rss></rss>");
  EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{5, 11}, {11, 11}}));
  const Calls expected = {
      "CrackUrl(\"http://feeds.example.com:8080/news/rss.xml\")",
      "Open(\"Mozilla/3.0 (compatible; TALWinHttpClient)\", 1, null, null, 0) -> session1",
      "SetStatusCallback(session1, callback, 0xFFFFFFFF)",
      "Connect(session1, \"feeds.example.com\", 8080) -> connection2",
      "OpenRequest(connection2, \"GET\", \"/news/rss.xml\", \"HTTP/1.1\", \"\", "
      "[\"text/html, */*\"], 0x0) -> request3",
      "AddRequestHeaders(request3, \"Accept: text/html, */*\r\nUser-Agent: Mozilla/3.0 "
      "(compatible; TALWinHttpClient)\r\n\", 80, 0xA0000000)",
      "SendRequest(request3, none, 0, 0, client)",
      "ReceiveResponse(request3)",
      "QueryHeaders(request3, 0x20000013, 4)",
      "QueryHeaders(request3, 0x20000005, 4)",
      "QueryDataAvailable(request3) -> 5",
      "ReadData(request3, 5)",
      "QueryDataAvailable(request3) -> 6",
      "ReadData(request3, 6)",
      "QueryDataAvailable(request3) -> 0",
      "CloseHandle(request3)",
      // destruction
      "SetStatusCallback(connection2, none, 0xFFFFFFFF)",
      "SetStatusCallback(session1, none, 0xFFFFFFFF)",
      "CloseHandle(connection2)",
      "CloseHandle(session1)",
  };
  EXPECT_EQ(api.calls, expected);
  EXPECT_TRUE(api.live.empty());
}

TEST(WinHttpClient, NamedProxyGoesIntoTheOpenCall) {
  struct Case {
    TALWinHttpClientInternetOpenAccessType type;
    const char* server;
    int port;
    const char* bypass;
    const char* open;
  } cases[] = {
      {wHttpAt_NAMED_PROXY, "127.0.0.1", 8888, "<local>", "3, \"127.0.0.1:8888\", \"<local>\""},
      {wHttpAt_NAMED_PROXY, "proxy", 0, "", "3, \"proxy:0\", null"},
      {wHttpAt_NAMED_PROXY, "", 3128, "<local>", "3, null, \"<local>\""},
      {wHttpAt_DEFAULT_PROXY, "proxy", 3128, "<local>", "0, null, null"},
      {wHttpAt_NO_PROXY, "proxy", 3128, "<local>", "1, null, null"},
  };
  for (const Case& c : cases) {
    FakeWinHttp api;
    TALWinHttpClient client(api);
    client.ProxyParams().SetProxyServer(c.server);
    client.ProxyParams().SetProxyPort(c.port);
    client.ProxyParams().SetProxyBypass(c.bypass);
    client.SetAccessType(c.type);
    client.Get("http://host/");
    EXPECT_EQ(api.CallsStartingWith("Open("),
              Calls{std::string("Open(\"") + kAgent + "\", " + c.open + ", 0) -> session1"});
  }
}

TEST(WinHttpClient, WhichChangesDropTheConnection) {
  struct Case {
    const char* what;
    std::function<void(TALWinHttpClient&)> change;
    bool drops;
  } cases[] = {
      {"same URL", [](auto& c) { c.SetURL("http://host:81/a"); }, false},
      {"other path", [](auto& c) { c.SetURL("http://host:81/b?q=1"); }, false},
      {"other scheme", [](auto& c) { c.SetURL("https://host:81/a"); }, false},
      {"host letter case", [](auto& c) { c.SetURL("http://Host:81/a"); }, true},
      {"other host", [](auto& c) { c.SetURL("http://other:81/a"); }, true},
      {"other port", [](auto& c) { c.SetURL("http://host:82/a"); }, true},
      {"default port", [](auto& c) { c.SetURL("http://host/a"); }, true},
      {"empty URL", [](auto& c) { c.SetURL(""); }, true},
      {"user name", [](auto& c) { c.SetUserName("u"); }, true},
      {"same user name", [](auto& c) { c.SetUserName(""); }, false},
      {"password", [](auto& c) { c.SetPassword("p"); }, true},
      {"same password", [](auto& c) { c.SetPassword(""); }, false},
      {"access type", [](auto& c) { c.SetAccessType(wHttpAt_DEFAULT_PROXY); }, true},
      {"same access type", [](auto& c) { c.SetAccessType(wHttpAt_NO_PROXY); }, false},
      {"internet options", [](auto& c) { c.SetInternetOptions({wHttpIo_No_cookies}); }, false},
      {"proxy bypass", [](auto& c) { c.ProxyParams().SetProxyBypass("<local>"); }, true},
      {"proxy server", [](auto& c) { c.ProxyParams().SetProxyServer("p"); }, true},
      {"proxy port", [](auto& c) { c.ProxyParams().SetProxyPort(1); }, true},
      {"proxy user name", [](auto& c) { c.ProxyParams().SetProxyUserName("u"); }, false},
      {"proxy password", [](auto& c) { c.ProxyParams().SetProxyPassword("p"); }, false},
      {"proxy assign",
       [](auto& c) {
         TALHTTPClientProxyParams p;
         p.SetProxyServer("x");
         c.ProxyParams().Assign(p);
       },
       false},
      {"user agent", [](auto& c) { c.RequestHeader().SetUserAgent("other"); }, true},
      {"same user agent", [](auto& c) { c.RequestHeader().SetUserAgent(kAgent); }, false},
      {"accept", [](auto& c) { c.RequestHeader().SetAccept("*/*"); }, false},
      {"referer", [](auto& c) { c.RequestHeader().SetReferer("r"); }, false},
      {"header clear", [](auto& c) { c.RequestHeader().Clear(); }, true},
      {"header assign",
       [](auto& c) {
         TALHTTPRequestHeader h;
         c.RequestHeader().Assign(h);
       },
       true},
      {"timeouts",
       [](auto& c) {
         c.SetReceiveTimeout(5);
         c.SetConnectTimeout(5);
       },
       false},
      {"upload buffer", [](auto& c) { c.SetUploadBufferSize(10); }, false},
  };
  for (const Case& c : cases) {
    FakeWinHttp api;
    TALWinHttpClient client(api);
    client.Get("http://host:81/a");
    ASSERT_TRUE(client.Connected());
    c.change(client);
    EXPECT_EQ(client.Connected(), !c.drops) << c.what;
    EXPECT_EQ(api.CallsStartingWith("CloseHandle(connection2)").size(), c.drops ? 1u : 0u) << c.what;
    // The next request opens fresh handles exactly when the connection was dropped.
    if (!client.URL().empty()) {
      client.Get(client.URL());
      EXPECT_EQ(api.CallsStartingWith("Open(").size(), c.drops ? 2u : 1u) << c.what;
    }
  }
}

TEST(WinHttpClient, UrlIsSplitOnceAndABadSchemeKeepsEverything) {
  FakeWinHttp api;
  TALWinHttpClient client(api);
  client.SetURL("http://host/x");
  client.SetURL("http://host/x");
  EXPECT_EQ(api.CallsStartingWith("CrackUrl").size(), 1u);
  client.Get("http://host/x");
  ASSERT_TRUE(client.Connected());

  for (const char* bad : {"ftp://host/x", "gopher://host/", "no address at all"}) {
    EXPECT_EQ(Message([&] { client.SetURL(bad); }),
              std::string("Invalid url '") + bad + "' - only supports 'http' and 'https' schemes");
    EXPECT_EQ(client.URL(), "http://host/x");
    EXPECT_EQ(client.URLHost(), "host");
    EXPECT_EQ(client.URLPath(), "/x");
    EXPECT_TRUE(client.Connected());
  }
  client.SetURL("https://secure.example:8443/p/q");
  EXPECT_EQ(client.URLScheme(), 2);
  EXPECT_EQ(client.URLHost(), "secure.example");
  EXPECT_EQ(client.URLPort(), 8443);
  EXPECT_EQ(client.URLPath(), "/p/q");
  client.SetURL("");
  EXPECT_EQ(client.URLScheme(), 1);
  EXPECT_EQ(client.URLPort(), 80);
  EXPECT_EQ(client.URLHost(), "");
  EXPECT_EQ(client.URLPath(), "");
  EXPECT_EQ(api.CallsStartingWith("CrackUrl").size(), 5u);  // the empty address is not split
}

TEST(WinHttpClient, EmptyUrlRaises) {
  FakeWinHttp api;
  TALWinHttpClient client(api);
  std::ostringstream out;
  EXPECT_EQ(Message([&] { client.PerformRequest(nullptr, out, nullptr); }), "Empty URL");
  EXPECT_TRUE(api.calls.empty());
}

TEST(WinHttpClient, TimeoutsAreSetOnlyAboveZero) {
  struct Case {
    int connect, send, receive;
    Calls options;
  } cases[] = {
      {0, 0, 0, {}},
      {-5, -1, 0, {}},
      {1, 0, 0, {"SetOption(request3, 0x3, 1, 4)"}},
      {0, 0, 500, {"SetOption(request3, 0x6, 500, 4)"}},
      {1000,
       2000,
       3000,
       {"SetOption(request3, 0x3, 1000, 4)", "SetOption(request3, 0x5, 2000, 4)",
        "SetOption(request3, 0x6, 3000, 4)"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OptionsOfAGet([&](TALWinHttpClient& client) {
                client.SetConnectTimeout(c.connect);
                client.SetSendTimeout(c.send);
                client.SetReceiveTimeout(c.receive);
              }),
              c.options);
  }
}

TEST(WinHttpClient, TotalTimeoutCutsEveryWaitToTheTimeLeft) {
  FakeWinHttp api;
  TALWinHttpClient client(api);
  client.SetTotalTimeout(5000);
  client.SetReceiveTimeout(1000);  // shorter than what is left: kept
  client.Get("http://host/");
  // Option and milliseconds of each SetOption call, in order.
  std::vector<std::pair<unsigned, unsigned>> set;
  for (const std::string& call : api.CallsStartingWith("SetOption")) {
    unsigned option = 0, ms = 0;
    ASSERT_EQ(std::sscanf(call.c_str(), "SetOption(request3, %x, %u, 4)", &option, &ms), 2) << call;
    set.emplace_back(option, ms);
  }
  // Connect, send, receive, name resolution, the whole head, then the receive time-out
  // again before each read of the body.
  const unsigned expected[] = {0x3, 0x5, 0x6, 0x2, 0x7, 0x6};
  ASSERT_GE(set.size(), std::size(expected));
  for (std::size_t i = 0; i < set.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(set[i].first, expected[std::min(i, std::size(expected) - 1)]);
    if (set[i].first == 0x6) {
      EXPECT_EQ(set[i].second, 1000u);
    } else {
      EXPECT_GT(set[i].second, 4000u);
      EXPECT_LE(set[i].second, 5000u);
    }
  }
}

TEST(WinHttpClient, ProxyCredentialsAndDisabledFeaturesInThisOrder) {
  const Calls options = OptionsOfAGet([](TALWinHttpClient& client) {
    client.ProxyParams().SetProxyUserName("user");
    client.ProxyParams().SetProxyPassword("secret");
    client.SetReceiveTimeout(7);
    client.SetInternetOptions({wHttpIo_No_cookies, wHttpIo_No_auto_redirect});
  });
  EXPECT_EQ(options,
            (Calls{"SetOption(request3, 0x6, 7, 4)", "SetOption(request3, 0x1002, \"user\", 4)",
                   "SetOption(request3, 0x1003, \"secret\", 6)", "SetOption(request3, 0x3F, 8, 4)",
                   "SetOption(request3, 0x3F, 1, 4)", "SetOption(request3, 0x3F, 2, 4)"}));
}

TEST(WinHttpClient, DisabledFeaturesFollowTheOptions) {
  struct Case {
    TALWinHttpClientInternetOptionSet options;
    Calls calls;
  } cases[] = {
      {{wHttpIo_Keep_connection}, {}},
      {{}, {"SetOption(request3, 0x3F, 8, 4)"}},
      {{wHttpIo_Keep_connection, wHttpIo_No_auto_redirect}, {"SetOption(request3, 0x3F, 2, 4)"}},
      {{wHttpIo_Keep_connection, wHttpIo_No_cookies}, {"SetOption(request3, 0x3F, 1, 4)"}},
      {{wHttpIo_No_auto_redirect, wHttpIo_No_cookies},
       {"SetOption(request3, 0x3F, 8, 4)", "SetOption(request3, 0x3F, 1, 4)",
        "SetOption(request3, 0x3F, 2, 4)"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(OptionsOfAGet([&](TALWinHttpClient& client) { client.SetInternetOptions(c.options); }),
              c.calls);
}

TEST(WinHttpClient, RequestFlagsFollowOptionsAndScheme) {
  struct Case {
    const char* url;
    TALWinHttpClientInternetOptionSet options;
    const char* flags;
  } cases[] = {
      {"http://h/", {wHttpIo_Keep_connection}, "0x0"},
      {"https://h/", {wHttpIo_Keep_connection}, "0x800000"},
      {"http://h/", {wHttpIo_SECURE, wHttpIo_Keep_connection}, "0x800000"},
      {"http://h/", {wHttpIo_BYPASS_PROXY_CACHE, wHttpIo_Keep_connection}, "0x100"},
      {"http://h/", {wHttpIo_REFRESH, wHttpIo_Keep_connection}, "0x100"},
      {"http://h/", {wHttpIo_REFRESH, wHttpIo_BYPASS_PROXY_CACHE, wHttpIo_Keep_connection}, "0x100"},
      {"http://h/", {wHttpIo_ESCAPE_DISABLE, wHttpIo_Keep_connection}, "0x40"},
      {"http://h/", {wHttpIo_ESCAPE_DISABLE_QUERY, wHttpIo_Keep_connection}, "0x80"},
      {"http://h/", {wHttpIo_ESCAPE_PERCENT, wHttpIo_Keep_connection}, "0x4"},
      {"http://h/", {wHttpIo_NULL_CODEPAGE, wHttpIo_Keep_connection}, "0x8"},
      {"http://h/", {wHttpIo_Async, wHttpIo_Keep_connection}, "0x0"},
      {"https://h/",
       {wHttpIo_BYPASS_PROXY_CACHE, wHttpIo_ESCAPE_DISABLE, wHttpIo_ESCAPE_DISABLE_QUERY,
        wHttpIo_ESCAPE_PERCENT, wHttpIo_NULL_CODEPAGE, wHttpIo_Keep_connection},
       "0x8001CC"},
  };
  for (const Case& c : cases) {
    FakeWinHttp api;
    TALWinHttpClient client(api);
    client.SetInternetOptions(c.options);
    client.Get(c.url);
    const Calls open = api.CallsStartingWith("OpenRequest");
    ASSERT_EQ(open.size(), 1u);
    EXPECT_NE(open[0].find(std::string("], ") + c.flags + ") -> request3"), std::string::npos)
        << open[0] << " wanted " << c.flags;
  }
}

TEST(WinHttpClient, VerbVersionRefererAndAcceptReachOpenRequest) {
  FakeWinHttp api;
  TALWinHttpClient client(api);
  client.SetURL("http://h/form");
  client.SetRequestMethod(HTTPrm_Post);
  client.SetProtocolVersion(HTTPpv_1_0);
  client.RequestHeader().SetReferer("http://h/");
  client.RequestHeader().SetAccept("application/xml");
  std::ostringstream out;
  client.PerformRequest(nullptr, out, nullptr);
  EXPECT_EQ(api.CallsStartingWith("OpenRequest"),
            Calls{"OpenRequest(connection2, \"POST\", \"/form\", \"HTTP/1.0\", \"http://h/\", "
                  "[\"application/xml\"], 0x0) -> request3"});
}

TEST(WinHttpClient, BodyUpToTheBufferSizeGoesInTheSendCall) {
  for (int size : {0, 1, 32767, 32768}) {
    FakeWinHttp api;
    TALWinHttpClient client(api);
    int progressCalls = 0;
    client.OnUploadProgress = [&](TALHTTPClient&, int, int) { ++progressCalls; };
    std::string body(static_cast<size_t>(size), '\0');
    for (int i = 0; i < size; ++i) body[i] = static_cast<char>(i * 7);
    std::istringstream data(body);
    data.seekg(size / 2);  // the whole stream is the body, wherever it stands
    client.SetURL("http://h/up");
    client.SetRequestMethod(HTTPrm_Post);
    std::ostringstream out;
    client.PerformRequest(&data, out, nullptr);
    const std::string n = std::to_string(size);
    EXPECT_EQ(api.CallsStartingWith("SendRequest"),
              Calls{"SendRequest(request3, " + std::string(size ? "body" : "none") + ", " + n + ", " +
                    n + ", client)"});
    EXPECT_TRUE(api.CallsStartingWith("WriteData").empty());
    EXPECT_EQ(api.sentBody, body);
    EXPECT_EQ(progressCalls, 0);
  }
}

TEST(WinHttpClient, OneByteMoreThanTheBufferTakesTheChunkedPath) {
  FakeWinHttp api;
  TALWinHttpClient client(api);
  std::vector<std::pair<int, int>> progress;
  client.OnUploadProgress = [&](TALHTTPClient&, int sent, int total) {
    progress.emplace_back(sent, total);
  };
  std::string body(32769, 'x');
  body.back() = 'y';
  std::istringstream data(body);
  client.SetURL("http://h/up");
  client.SetRequestMethod(HTTPrm_Post);
  std::ostringstream out;
  client.PerformRequest(&data, out, nullptr);
  EXPECT_EQ(api.CallsStartingWith("SendRequest"),
            Calls{"SendRequest(request3, none, 0, 32769, client)"});
  EXPECT_EQ(api.writeSizes, (std::vector<std::uint32_t>{32768, 1}));
  EXPECT_EQ(api.sentBody, body);
  EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{32768, 32769}, {32769, 32769}}));
}

TEST(WinHttpClient, SmallBufferSplitsIntoEvenChunksAndARest) {
  FakeWinHttp api;
  TALWinHttpClient client(api);
  client.SetUploadBufferSize(4);
  std::istringstream data("abcdefghi");
  client.SetURL("http://h/up");
  std::ostringstream out;
  client.PerformRequest(&data, out, nullptr);
  EXPECT_EQ(api.writeSizes, (std::vector<std::uint32_t>{4, 4, 1}));
  EXPECT_EQ(api.sentBody, "abcdefghi");
  // The response still comes after the last chunk.
  const auto& c = api.calls;
  const auto last_write = std::find(c.rbegin(), c.rend(), "WriteData(request3, 1)");
  ASSERT_NE(last_write, c.rend());
  EXPECT_EQ(*(last_write - 1), "ReceiveResponse(request3)");
}

// A stream that claims more bytes than it holds, so a chunk read comes back empty.
class ShortBuf : public std::streambuf {
 public:
  ShortBuf(std::string data, std::streamoff claimed) : data_(std::move(data)), claimed_(claimed) {
    setg(data_.data(), data_.data(), data_.data() + data_.size());
  }

 protected:
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
    if (dir == std::ios_base::end) {
      atEnd_ = true;
      return claimed_ + off;
    }
    if (dir == std::ios_base::cur) return (atEnd_ ? claimed_ : gptr() - eback()) + off;
    return seekpos(off, std::ios_base::in);
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode) override {
    atEnd_ = false;
    setg(data_.data(), data_.data() + static_cast<std::streamoff>(pos), data_.data() + data_.size());
    return pos;
  }

 private:
  std::string data_;
  std::streamoff claimed_;
  bool atEnd_ = false;
};

TEST(WinHttpClient, ChunkThatReadsNothingRaisesAfterTheResponseIsReceived) {
  FakeWinHttp api;
  TALWinHttpClient client(api);
  client.SetUploadBufferSize(4);
  ShortBuf buf("abcd", 10);
  std::istream data(&buf);
  client.SetURL("http://h/up");
  std::ostringstream out;
  EXPECT_EQ(Message([&] { client.PerformRequest(&data, out, nullptr); }),
            "Invalid HTTP Request: Length is 0");
  EXPECT_EQ(api.writeSizes, std::vector<std::uint32_t>{4});
  const Calls tail(api.calls.end() - 5, api.calls.end());
  EXPECT_EQ(tail, (Calls{"WriteData(request3, 4)", "ReceiveResponse(request3)", "CloseHandle(request3)",
                         "CloseHandle(connection2)", "CloseHandle(session1)"}));
  EXPECT_FALSE(client.Connected());
}

TEST(WinHttpClient, StatusesFromThreeHundredRaiseWithTheCodeAndReconnectNext) {
  struct Case {
    std::uint32_t status;
    const char* text;
    bool raises;
  } cases[] = {
      {100, "Continue", false},
      {200, "OK", false},
      {204, "No Content", false},
      {299, "Whatever", false},
      {300, "Multiple Choices", true},
      {302, "Found", true},
      {304, "Not Modified", true},
      {404, "Not Found", true},
      {500, "Internal Server Error", true},
      {4000000000u, "Huge", true},
  };
  for (const Case& c : cases) {
    FakeWinHttp api;
    api.response.status = c.status;
    api.response.statusText = c.text;
    api.response.chunks = {"body"};
    TALWinHttpClient client(api);
    int status = -1;
    std::string body;
    const std::string message = Message([&] { body = client.Get("http://h/s"); }, &status);
    if (!c.raises) {
      EXPECT_EQ(message, "(no exception)") << c.status;
      EXPECT_EQ(body, "body");
      EXPECT_TRUE(client.Connected());
      continue;
    }
    EXPECT_EQ(message, std::string(c.text) + " (" + std::to_string(static_cast<int>(c.status)) +
                           ") - 'http://h/s'");
    EXPECT_EQ(status, static_cast<int>(c.status));
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(api.live.empty()) << "all handles closed after " << c.status;
    EXPECT_TRUE(api.CallsStartingWith("ReadData").empty());
    api.response.status = 200;
    EXPECT_EQ(client.Get("http://h/s"), "body");
    EXPECT_EQ(api.CallsStartingWith("Open(").size(), 2u);
  }
}

TEST(WinHttpClient, FailedStatusQueryCountsAsSuccess) {
  FakeWinHttp api;
  api.response.status.reset();
  api.response.chunks = {"x"};
  TALWinHttpClient client(api);
  EXPECT_EQ(client.Get("http://h/"), "x");
}

TEST(WinHttpClient, LongStatusTextIsQueriedAgainWithTheReportedLength) {
  FakeWinHttp api;
  api.response.status = 503;
  api.response.statusText = std::string(3000, 's');
  TALWinHttpClient client(api);
  EXPECT_EQ(Message([&] { client.Get("http://h/"); }), api.response.statusText + " (503) - 'http://h/'");
  const Calls queries = api.CallsStartingWith("QueryHeaders(request3, 0x14");
  ASSERT_EQ(queries.size(), 2u);
  EXPECT_EQ(queries[1], "QueryHeaders(request3, 0x14, " + std::to_string(3001 * sizeof(wchar_t)) + ")");
}

TEST(WinHttpClient, ResponseHeaderTargetIsFilledFromTheRawLines) {
  FakeWinHttp api;
  api.response.rawHeaders = "HTTP/1.1 200 OK\r\nServer: fake\r\nX-Long: " + std::string(5000, 'l') +
                            "\r\nContent-Type: text/xml\r\n\r\n";
  api.response.chunks = {"<a/>"};
  TALWinHttpClient client(api);
  TALHTTPResponseHeader header;
  std::ostringstream out;
  client.Get("http://h/", out, &header);
  EXPECT_EQ(out.str(), "<a/>");
  EXPECT_EQ(header.Server(), "fake");
  EXPECT_EQ(header.ContentType(), "text/xml");
  EXPECT_EQ(header.StatusCodeText(), "200");
  EXPECT_EQ(header.RawHeaderLines(), api.response.rawHeaders);
  const Calls raw = api.CallsStartingWith("QueryHeaders(request3, 0x16");
  ASSERT_EQ(raw.size(), 2u);
  EXPECT_EQ(raw[0], "QueryHeaders(request3, 0x16, 4096)");
  // Without a target the raw lines are never asked for.
  api.ClearCalls();
  client.Get("http://h/other");
  EXPECT_TRUE(api.CallsStartingWith("QueryHeaders(request4, 0x16").empty());
  EXPECT_EQ(api.CallsStartingWith("QueryHeaders").size(), 2u);
}

TEST(WinHttpClient, BodiesComeBackByteForByteAndEmptyOnesReportNothing) {
  std::string binary;
  for (int i = 0; i < 256; ++i) binary += static_cast<char>(i);
  struct Case {
    std::vector<std::string> chunks;
    std::string body;
    int progressCalls;
  } cases[] = {
      {{}, "", 0},
      {{binary}, binary, 1},
      {{std::string(1, '\0'), std::string("\x80\xFF", 2), "z"}, std::string("\0\x80\xFFz", 4), 3},
  };
  for (const Case& c : cases) {
    FakeWinHttp api;
    api.response.chunks = c.chunks;
    TALWinHttpClient client(api);
    int calls = 0;
    client.OnDownloadProgress = [&](TALHTTPClient&, int, int total) {
      ++calls;
      EXPECT_EQ(total, 0);  // no content length known
    };
    std::ostringstream out("kept", std::ios::ate);
    client.Get("http://h/", out);
    EXPECT_EQ(out.str(), "kept" + c.body);
    EXPECT_EQ(calls, c.progressCalls);
    EXPECT_EQ(api.CallsStartingWith("ReadData").size(), c.chunks.size());
  }
}

TEST(WinHttpClient, PlatformFailureMessageCarriesTheTextAndTheUrl) {
  struct Case {
    std::string text;  // what the message lookup returns
    std::uint32_t code;
    const char* expected;
  } cases[] = {
      {"The server name or address could not be resolved\r\n", 12007,
       "The server name or address could not be resolved - URL:http://h/"},
      {std::string("Cut here\0and not this", 21), 12002, "Cut here - URL:http://h/"},
      {"", 12029, "A connection with the server could not be established - URL:http://h/"},
      {"", 12002, "The operation timed out - URL:http://h/"},
      {"\r\n", 12030, "The connection with the server was terminated abnormally - URL:http://h/"},
      {"", 12199, "HTTP service error 12199 - URL:http://h/"},
      {"", 5, "System error 5 - URL:http://h/"},
  };
  for (const Case& c : cases) {
    FakeWinHttp api;
    api.errorTexts[c.code] = c.text;
    api.FailNext("SendRequest", c.code);
    TALWinHttpClient client(api);
    int status = -1;
    EXPECT_EQ(Message([&] { client.Get("http://h/"); }, &status), c.expected);
    EXPECT_EQ(status, 0);
  }
}

// A refused certificate fails with a general code; the secure-failure notification before
// it (flags as a 32-bit value) says what was wrong, and that is the message.
TEST(WinHttpClient, RefusedCertificateSaysWhy) {
  constexpr std::uint32_t kSecureFailure = 0x10000;
  struct Case {
    const char* name;
    std::optional<std::uint32_t> flags;  // none: no notification
    std::uint32_t code;
    const char* expected;
  } cases[] = {
      {"expired", 0x20, 12175, "The server's security certificate has expired or is not yet valid"},
      {"another host", 0x10, 12175, "The server's security certificate does not match the host name"},
      {"untrusted authority", 0x08, 12175,
       "The server's security certificate was issued by an untrusted authority"},
      {"two faults", 0x18, 12175,
       "The server's security certificate does not match the host name; The server's security "
       "certificate was "
       "issued by an untrusted authority"},
      {"revoked", 0x04, 12157, "The server's security certificate has been revoked"},
      {"no notification", std::nullopt, 12175, "A security error occurred"},
      {"flags, but another failure", 0x20, 12029,
       "A connection with the server could not be established"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeWinHttp api;
    if (c.flags) api.NotifyValueOnSend(kSecureFailure, *c.flags);
    api.FailNext("ReceiveResponse", c.code);
    TALWinHttpClient client(api);
    EXPECT_EQ(Message([&] { client.Get("https://h/"); }), std::string(c.expected) + " - URL:https://h/");
  }
  // The flags belong to one request: a later failure without them reads as itself.
  FakeWinHttp api;
  api.NotifyValueOnSend(kSecureFailure, 0x20);
  api.FailNext("ReceiveResponse", 12175);
  TALWinHttpClient client(api);
  Message([&] { client.Get("https://h/"); });
  api.ClearNotifications();
  api.FailNext("ReceiveResponse", 12175);
  EXPECT_EQ(Message([&] { client.Get("https://h/"); }), "A security error occurred - URL:https://h/");
}

TEST(WinHttpClient, FailureWithoutAnErrorCodeDoesNotRaise) {
  FakeWinHttp api;
  api.FailNext("ReceiveResponse", 0);
  api.response.chunks = {"ok"};
  TALWinHttpClient client(api);
  EXPECT_EQ(client.Get("http://h/"), "ok");
}

TEST(WinHttpClient, EveryFailingStepCleansUpAndTheNextRequestStartsFresh) {
  struct Case {
    const char* call;
    Calls cleanup;  // the calls after the failing one
  } cases[] = {
      {"Open", {}},
      {"Connect", {"CloseHandle(session1)"}},
      {"OpenRequest", {"CloseHandle(connection2)", "CloseHandle(session1)"}},
      {"SetOption", {"CloseHandle(request3)", "CloseHandle(connection2)", "CloseHandle(session1)"}},
      {"SendRequest", {"CloseHandle(request3)", "CloseHandle(connection2)", "CloseHandle(session1)"}},
      {"ReceiveResponse",
       {"CloseHandle(request3)", "CloseHandle(connection2)", "CloseHandle(session1)"}},
      {"QueryDataAvailable",
       {"CloseHandle(request3)", "CloseHandle(connection2)", "CloseHandle(session1)"}},
      {"ReadData", {"CloseHandle(request3)", "CloseHandle(connection2)", "CloseHandle(session1)"}},
  };
  for (const Case& c : cases) {
    FakeWinHttp api;
    api.response.chunks = {"data"};
    TALWinHttpClient client(api);
    client.SetReceiveTimeout(100);  // so there is a SetOption call
    client.SetURL("http://h/");
    api.FailNext(c.call, 12030);
    EXPECT_EQ(Message([&] { client.Get("http://h/"); }),
              "The connection with the server was terminated abnormally - URL:http://h/")
        << c.call;
    EXPECT_FALSE(client.Connected()) << c.call;
    EXPECT_TRUE(api.live.empty()) << c.call;
    size_t failing = 0;
    for (size_t i = 0; i < api.calls.size(); ++i) {
      if (api.calls[i].rfind(c.call, 0) == 0) failing = i;
    }
    EXPECT_EQ(Calls(api.calls.begin() + static_cast<std::ptrdiff_t>(failing) + 1, api.calls.end()),
              c.cleanup)
        << c.call;
    EXPECT_EQ(client.Get("http://h/"), "data") << c.call;
  }
}

TEST(WinHttpClient, ChunkWriteFailureStillReceivesTheResponse) {
  FakeWinHttp api;
  TALWinHttpClient client(api);
  client.SetUploadBufferSize(2);
  std::istringstream data("abcdef");
  client.SetURL("http://h/");
  api.FailNext("WriteData", 12030);
  std::ostringstream out;
  EXPECT_NE(Message([&] { client.PerformRequest(&data, out, nullptr); }).find("terminated abnormally"),
            std::string::npos);
  EXPECT_EQ(Calls(api.calls.end() - 5, api.calls.end()),
            (Calls{"WriteData(request3, 2)", "ReceiveResponse(request3)", "CloseHandle(request3)",
                   "CloseHandle(connection2)", "CloseHandle(session1)"}));
}

TEST(WinHttpClient, OtherExceptionsLeaveTheConnectionOpen) {
  FakeWinHttp api;
  api.response.chunks = {"a", "b"};
  TALWinHttpClient client(api);
  client.OnDownloadProgress = [](TALHTTPClient&, int, int) { throw std::runtime_error("handler"); };
  EXPECT_THROW(client.Get("http://h/"), std::runtime_error);
  EXPECT_TRUE(client.Connected());
  EXPECT_EQ(api.calls.back(), "CloseHandle(request3)");
  // A malformed cookie line in the response header is not a transport failure either.
  api.response.rawHeaders = "HTTP/1.1 200 OK\r\nCookie: a=%zz\r\n\r\n";
  client.OnDownloadProgress = nullptr;
  TALHTTPResponseHeader header;
  std::ostringstream out;
  EXPECT_THROW(client.Get("http://h/", out, &header), EALHTTPDecodeError);
  EXPECT_TRUE(client.Connected());
  EXPECT_EQ(api.CallsStartingWith("Open(").size(), 1u);
}

TEST(WinHttpClient, StatusCallbackPassesNotificationsAndRedirects) {
  FakeWinHttp api;
  api.NotifyOnSend(0x4000, L"http://h/new/\u65B0");
  api.NotifyOnSend(0x2000, L"");
  api.NotifyOnSend(0x4000, L"http://ignored/", /*withContext=*/false);
  TALWinHttpClient client(api);
  std::vector<std::uint32_t> statuses;
  std::vector<std::string> redirects;
  client.OnStatusChange = [&](TALWinHttpClient& sender, std::uint32_t status, void*, std::uint32_t) {
    EXPECT_EQ(&sender, &client);
    statuses.push_back(status);
  };
  client.OnRedirect = [&](TALHTTPClient&, const std::string& url) { redirects.push_back(url); };
  client.Get("http://h/old");
  EXPECT_EQ(statuses, (std::vector<std::uint32_t>{0x4000, 0x2000}));
  EXPECT_EQ(redirects, std::vector<std::string>{"http://h/new/\xE6\x96\xB0"});
}

}  // namespace
}  // namespace mq
