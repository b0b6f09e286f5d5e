// TALWinHttpClient over the real winhttp.dll against a loopback server started by the test.
#include <windows.h>
#include <winhttp.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "base/Utf.h"
#include "http/ALWinHttpClient.h"
#include "tests/support/LoopbackServer_win.h"

namespace mq {
namespace {

using test::Escape;
using test::LoopbackServer;
using Reply = LoopbackServer::Reply;

LoopbackServer::Handler Serve(std::string body) {
  return [body](const LoopbackServer::Request&) { return Reply{200, "OK", {}, body}; };
}

// What the platform says for an error code; Wine has no text for WinHTTP's own codes, and
// then the client's fallback is what a user reads.
std::string ExpectedErrorText(DWORD code) {
  wchar_t buffer[256];
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_FROM_HMODULE,
                           GetModuleHandleW(L"winhttp.dll"), code, 0, buffer, 256, nullptr);
  while (n > 0 && (buffer[n - 1] == L'\r' || buffer[n - 1] == L'\n')) --n;
  return n > 0 ? FromWide(std::wstring_view(buffer, n)) : ALWinHttpFallbackErrorText(code);
}

struct Failure {
  std::string message;
  int status = -1;
};

template <typename F>
Failure Fail(F&& action) {
  try {
    action();
  } catch (const EALHTTPClientException& e) {
    return {e.what(), e.StatusCode()};
  }
  return {"(no exception)", -1};
}

std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
  return s;
}

TEST(WinHttpLoopback, FeedLoaderRequestAsTheServerSawIt) {
  LoopbackServer server(Serve("<rss version=\"2.0\"/>"));
  TALWinHttpClient client;
  EXPECT_EQ(client.Get(server.Url("/feeds/news.xml")), "<rss version=\"2.0\"/>");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const std::string& raw = requests[0].raw;
  std::cout << "---- request bytes received by the server (" << raw.size() << " bytes) ----\n"
            << Escape(raw) << "---- end ----\n";
  EXPECT_EQ(raw.rfind("GET /feeds/news.xml HTTP/1.1\r\n", 0), 0u);
  EXPECT_NE(raw.find("\r\nAccept: text/html, */*\r\n"), std::string::npos);
  EXPECT_NE(raw.find("\r\nUser-Agent: Mozilla/3.0 (compatible; TALWinHttpClient)\r\n"),
            std::string::npos);
  EXPECT_NE(raw.find("\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n"),
            std::string::npos);
  EXPECT_EQ(raw.find("Set-Cookie"), std::string::npos);
  EXPECT_EQ(raw.substr(raw.size() - 4), "\r\n\r\n");
  EXPECT_TRUE(requests[0].body.empty());
}

TEST(WinHttpLoopback, BodiesArriveUnchanged) {
  struct Case {
    const char* what;
    std::string body;
  } cases[] = {
      {"empty", ""},
      {"zero bytes and bytes from 128 up",
       std::string("\0\x80\xFF\0\xC3\xA9 ok\0", 10) + Pattern(70000)},
      {"20 MB", Pattern(20 * 1024 * 1024)},
  };
  for (const Case& c : cases) {
    LoopbackServer server(Serve(c.body));
    TALWinHttpClient client;
    int progressCalls = 0;
    int lastRead = -1;
    int lastTotal = -1;
    client.OnDownloadProgress = [&](TALHTTPClient&, int read, int total) {
      ++progressCalls;
      lastRead = read;
      lastTotal = total;
    };
    const auto start = std::chrono::steady_clock::now();
    const std::string body = client.Get(server.Url("/body"));
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    EXPECT_EQ(body.size(), c.body.size()) << c.what;
    EXPECT_TRUE(body == c.body) << c.what;
    if (c.body.empty()) {
      EXPECT_EQ(progressCalls, 0);
    } else {
      EXPECT_GE(progressCalls, 1);
      EXPECT_EQ(lastRead, static_cast<int>(c.body.size())) << c.what;
      EXPECT_EQ(lastTotal, static_cast<int>(c.body.size())) << c.what;
    }
    std::cout << c.what << ": " << body.size() << " bytes in " << progressCalls << " reads, " << ms
              << " ms\n";
  }
}

TEST(WinHttpLoopback, ResponseHeaderTargetHoldsWhatTheServerSent) {
  LoopbackServer server([](const LoopbackServer::Request&) {
    return Reply{200,
                 "Fine",
                 {"Content-Type: text/xml; charset=utf-8", "Server: loopback", "X-Extra: 1"},
                 "<x/>"};
  });
  TALWinHttpClient client;
  TALHTTPResponseHeader header;
  std::ostringstream out;
  client.Get(server.Url("/h"), out, &header);
  EXPECT_EQ(out.str(), "<x/>");
  EXPECT_EQ(header.StatusCodeText(), "200");
  EXPECT_EQ(header.ReasonPhrase(), "Fine");
  EXPECT_EQ(header.ContentType(), "text/xml; charset=utf-8");
  EXPECT_EQ(header.Server(), "loopback");
  EXPECT_EQ(header.ContentLength(), "4");
  EXPECT_NE(std::find(header.OtherHeaders().begin(), header.OtherHeaders().end(), "X-Extra: 1"),
            header.OtherHeaders().end());
}

TEST(WinHttpLoopback, RedirectIsFollowedAndReported) {
  LoopbackServer server([](const LoopbackServer::Request& r) {
    if (r.target == "/old") return Reply{302, "Found", {"Location: /new"}, "moved"};
    return Reply{200, "OK", {}, "the new place"};
  });
  TALWinHttpClient client;
  std::vector<std::string> redirects;
  client.OnRedirect = [&](TALHTTPClient&, const std::string& url) { redirects.push_back(url); };
  EXPECT_EQ(client.Get(server.Url("/old")), "the new place");
  // Windows reports the new address; Wine 8 passes on the Location value as it came.
  ASSERT_EQ(redirects.size(), 1u);
  EXPECT_TRUE(redirects[0] == server.Url("/new") || redirects[0] == "/new") << redirects[0];
  std::cout << "redirect reported as: " << redirects[0] << "\n";
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].target, "/new");
}

TEST(WinHttpLoopback, StatusesRaiseTheStatusMessageWithTheCode) {
  struct Case {
    int status;
    const char* reason;
  } cases[] = {{304, "Not Modified"}, {404, "Not Found"}, {500, "Internal Server Error"}};
  for (const Case& c : cases) {
    LoopbackServer server([&](const LoopbackServer::Request& r) {
      if (r.target == "/fine") return Reply{200, "OK", {}, "fine"};
      return Reply{c.status, c.reason, {}, ""};
    });
    TALWinHttpClient client;
    const std::string url = server.Url("/status");
    const Failure f = Fail([&] { client.Get(url); });
    EXPECT_EQ(f.message, std::string(c.reason) + " (" + std::to_string(c.status) + ") - '" + url + "'");
    EXPECT_EQ(f.status, c.status);
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(client.Get(server.Url("/fine")), "fine");
  }
}

TEST(WinHttpLoopback, OneConnectionPerHostAndPortAndAHostChangeDropsIt) {
  LoopbackServer first(Serve("first"), "127.0.0.1");
  LoopbackServer second(Serve("second"), "127.0.0.2");
  TALWinHttpClient client;
  EXPECT_EQ(client.Get(first.Url("/a")), "first");
  EXPECT_EQ(client.Get(first.Url("/b")), "first");
  EXPECT_EQ(first.Connections(), 1);
  const auto requests = first.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].connection, 1);
  EXPECT_EQ(first.ClosedConnections(), 0);

  // Another host: the client closes both handles, which the platform then refuses as such.
  const HINTERNET session = client.OpenHandle();
  const HINTERNET connection = client.ConnectHandle();
  ASSERT_NE(session, nullptr);
  client.SetURL(second.Url("/c"));
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(client.OpenHandle(), nullptr);
  for (HINTERNET closed : {session, connection}) {
    DWORD value = 0;
    DWORD size = sizeof value;
    EXPECT_FALSE(WinHttpQueryOption(closed, WINHTTP_OPTION_CONNECT_TIMEOUT, &value, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  }
  EXPECT_EQ(client.Get(second.Url("/c")), "second");
  EXPECT_EQ(second.Connections(), 1);
  EXPECT_EQ(client.Get(first.Url("/d")), "first");
  // Wine 8 keeps idle connections in one pool for the whole process, so a new session may
  // take the old TCP connection again; Windows pools per session.
  std::cout << "connections at 127.0.0.1: " << first.Connections()
            << " (closed by the client: " << first.ClosedConnections()
            << "), at 127.0.0.2: " << second.Connections() << "\n";
}

TEST(WinHttpLoopback, PostAtAndJustAboveTheUploadBufferSize) {
  LoopbackServer server([](const LoopbackServer::Request& r) {
    return Reply{200, "OK", {}, std::to_string(r.body.size())};
  });
  for (int size : {32768, 32769}) {
    TALWinHttpClient client;
    std::vector<int> sent;
    client.OnUploadProgress = [&](TALHTTPClient&, int s, int total) {
      sent.push_back(s);
      EXPECT_EQ(total, size);
    };
    const std::string body = Pattern(static_cast<size_t>(size));
    std::istringstream data(body, std::ios::in | std::ios::binary);
    std::ostringstream out;
    client.SetURL(server.Url("/upload"));
    client.SetRequestMethod(HTTPrm_Post);
    client.PerformRequest(&data, out, nullptr);
    EXPECT_EQ(out.str(), std::to_string(size));
    const auto requests = server.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().method, "POST");
    EXPECT_TRUE(requests.back().body == body) << size;
    if (size == 32768) {
      EXPECT_TRUE(sent.empty()) << "one piece, no chunks";
    } else {
      EXPECT_EQ(sent, (std::vector<int>{32768, 32769})) << "two chunks";
    }
    std::cout << "POST of " << size << " bytes: " << sent.size() << " chunks\n";
  }
}

// The real winhttp.dll, except that the receive time-out is also applied to the wait for the
// response headers, as Windows does: Wine 8 bounds that wait by
// WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT alone.
class WindowsReceiveTimeout final : public TALWinHttpApi {
 public:
  TALInternetHandle Open(const wchar_t* a, std::uint32_t t, const wchar_t* p, const wchar_t* b,
                         std::uint32_t f) override {
    return real_.Open(a, t, p, b, f);
  }
  void SetStatusCallback(TALInternetHandle h, TALWinHttpStatusCallback c, std::uint32_t f) override {
    real_.SetStatusCallback(h, c, f);
  }
  TALInternetHandle Connect(TALInternetHandle s, const wchar_t* h, std::uint16_t p) override {
    return real_.Connect(s, h, p);
  }
  TALInternetHandle OpenRequest(TALInternetHandle c, const wchar_t* v, const wchar_t* p,
                                const wchar_t* ver, const wchar_t* r, const wchar_t* const* a,
                                std::uint32_t f) override {
    return real_.OpenRequest(c, v, p, ver, r, a, f);
  }
  bool SetOption(TALInternetHandle h, std::uint32_t option, const void* buffer,
                 std::uint32_t length) override {
    if (option == WINHTTP_OPTION_RECEIVE_TIMEOUT) {
      real_.SetOption(h, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, buffer, length);
    }
    return real_.SetOption(h, option, buffer, length);
  }
  bool AddRequestHeaders(TALInternetHandle r, const wchar_t* h, std::uint32_t l,
                         std::uint32_t m) override {
    return real_.AddRequestHeaders(r, h, l, m);
  }
  bool SendRequest(TALInternetHandle r, const void* o, std::uint32_t ol, std::uint32_t t,
                   std::uintptr_t c) override {
    return real_.SendRequest(r, o, ol, t, c);
  }
  bool WriteData(TALInternetHandle r, const void* b, std::uint32_t l, std::uint32_t* w) override {
    return real_.WriteData(r, b, l, w);
  }
  bool ReceiveResponse(TALInternetHandle r) override { return real_.ReceiveResponse(r); }
  bool QueryHeaders(TALInternetHandle r, std::uint32_t i, void* b, std::uint32_t* l) override {
    return real_.QueryHeaders(r, i, b, l);
  }
  bool QueryDataAvailable(TALInternetHandle r, std::uint32_t* a) override {
    return real_.QueryDataAvailable(r, a);
  }
  bool ReadData(TALInternetHandle r, void* b, std::uint32_t l, std::uint32_t* n) override {
    return real_.ReadData(r, b, l, n);
  }
  bool CrackUrl(const wchar_t* u, TALWinHttpUrlParts& p) override { return real_.CrackUrl(u, p); }
  bool CloseHandle(TALInternetHandle h) override { return real_.CloseHandle(h); }
  std::uint32_t LastError() const override { return real_.LastError(); }
  std::string ErrorText(std::uint32_t code) override { return real_.ErrorText(code); }

 private:
  TALWinHttpApi& real_ = WinHttpPlatform();
};

TEST(WinHttpLoopback, SilentServerTimesOutAndTheClientStaysUsable) {
  LoopbackServer silent([](const LoopbackServer::Request&) {
    Reply r;
    r.silent = true;
    return r;
  });
  LoopbackServer answering(Serve("after the time-out"));
  WindowsReceiveTimeout api;
  TALWinHttpClient client(api);
  client.SetReceiveTimeout(500);
  const std::string url = silent.Url("/never");
  const auto start = std::chrono::steady_clock::now();
  const Failure f = Fail([&] { client.Get(url); });
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
          .count();
  // Windows fails with ERROR_WINHTTP_TIMEOUT; Wine 8 passes on the socket's WSAETIMEDOUT.
  EXPECT_TRUE(f.message == ExpectedErrorText(ERROR_WINHTTP_TIMEOUT) + " - URL:" + url ||
              f.message == ExpectedErrorText(WSAETIMEDOUT) + " - URL:" + url)
      << f.message;
  EXPECT_EQ(f.message.find("error"), std::string::npos) << "no readable text: " << f.message;
  EXPECT_EQ(f.status, 0);
  EXPECT_GE(ms, 400);
  EXPECT_LT(ms, 3000);
  std::cout << "time-out after " << ms << " ms: " << f.message << "\n";
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(client.Get(answering.Url("/next")), "after the time-out");
}

TEST(WinHttpLoopback, TotalTimeoutEndsADownloadThatDrips) {
  // Every byte comes within any per-call time-out; only the whole request's limit ends it.
  struct Case {
    const char* name;
    int dripMs;
    bool dripHead;
    std::size_t bodySize;
    int totalMs;
    bool completes;
    int maxMs;  // when it fails
  };
  // Windows holds the wait for the whole head to the time left; Wine 8 counts that option
  // per read, as the receive time-out, so there a dripping head ends only once it is
  // complete (about 2 s here) and the limit then fails the request.
  const Case cases[] = {
      {"body drips past the limit", 50, false, 400, 400, false, 400 + 1500},
      {"head drips past the limit", 50, true, 400, 400, false, 45 * 50 + 1500},
      {"slow but within the limit", 20, false, 10, 5000, true, 0},
      {"no limit waits for the drip", 20, false, 40, 0, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string body(c.bodySize, 'x');
    LoopbackServer server([&](const LoopbackServer::Request&) {
      Reply r{200, "OK", {}, body};
      r.dripMs = c.dripMs;
      r.dripHead = c.dripHead;
      return r;
    });
    TALWinHttpClient client;
    client.SetTotalTimeout(c.totalMs);
    const std::string url = server.Url("/drip");
    const auto start = std::chrono::steady_clock::now();
    std::string got;
    const Failure f = Fail([&] { got = client.Get(url); });
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    std::cout << c.name << ": " << ms << " ms, " << f.message << "\n";
    if (c.completes) {
      EXPECT_EQ(got, body);
      continue;
    }
    EXPECT_TRUE(f.message == ExpectedErrorText(ERROR_WINHTTP_TIMEOUT) + " - URL:" + url ||
                f.message == ExpectedErrorText(WSAETIMEDOUT) + " - URL:" + url)
        << f.message;
    EXPECT_GE(ms, c.totalMs - 50);
    EXPECT_LT(ms, c.maxMs);
    EXPECT_FALSE(client.Connected());
  }
}

TEST(WinHttpLoopback, RefusedConnectionAndUnknownNameGiveThePlatformText) {
  // A port that nothing listens on: take one from the system and give it back.
  std::string refusedUrl;
  {
    LoopbackServer closed(Serve(""));
    refusedUrl = closed.Url("/refused");
  }
  struct Case {
    std::string url;
    DWORD code;
  } cases[] = {
      {refusedUrl, ERROR_WINHTTP_CANNOT_CONNECT},
      {"http://marquelle-test.invalid/feed.xml", ERROR_WINHTTP_NAME_NOT_RESOLVED},
  };
  for (const Case& c : cases) {
    TALWinHttpClient client;
    const Failure f = Fail([&] { client.Get(c.url); });
    EXPECT_EQ(f.message, ExpectedErrorText(c.code) + " - URL:" + c.url);
    EXPECT_EQ(f.status, 0);
    EXPECT_NE(f.message.rfind(" - URL:", 0), 0u);
    std::cout << f.message << "\n";
  }
}

// ---- the httpget tool

struct ProcessResult {
  DWORD exitCode = 0xFFFFFFFF;
  std::string out;
  std::string err;
};

// Runs the httpget built beside these tests with `args`, collecting its two output streams.
ProcessResult RunHttpget(const std::wstring& args) {
  ProcessResult result;
  const char* unixPath = std::getenv("MQ_HTTPGET");
  EXPECT_NE(unixPath, nullptr) << "MQ_HTTPGET names the tool (ctest sets it)";
  if (unixPath == nullptr) return result;
  std::wstring exe = L"Z:" + ToWide(unixPath);
  for (wchar_t& c : exe) {
    if (c == L'/') c = L'\\';
  }
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE outRead, outWrite, errRead, errWrite;
  CreatePipe(&outRead, &outWrite, &sa, 0);
  CreatePipe(&errRead, &errWrite, &sa, 0);
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = outWrite;
  si.hStdError = errWrite;
  std::wstring commandLine = L"\"" + exe + L"\" " + args;
  PROCESS_INFORMATION pi{};
  const BOOL started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &si, &pi);
  CloseHandle(outWrite);
  CloseHandle(errWrite);
  EXPECT_TRUE(started) << "cannot start " << unixPath << ": error " << GetLastError();
  auto drain = [](HANDLE h, std::string& into) {
    char buffer[65536];
    DWORD n;
    while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) into.append(buffer, n);
  };
  std::thread errThread(drain, errRead, std::ref(result.err));
  drain(outRead, result.out);
  errThread.join();
  CloseHandle(outRead);
  CloseHandle(errRead);
  if (started) {
    WaitForSingleObject(pi.hProcess, 30000);
    GetExitCodeProcess(pi.hProcess, &result.exitCode);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  return result;
}

TEST(Httpget, WritesTheBodyByteForByteAndReportsFailures) {
  const std::string body = std::string("\0\r\n\x1A\x80\xFF", 6) + Pattern(100000);
  LoopbackServer server([&](const LoopbackServer::Request& r) {
    if (r.target == "/missing") return Reply{404, "Not Found", {}, "no such feed"};
    if (r.method == "POST")
      return Reply{200, "OK", {}, "got " + std::to_string(r.body.size()) + ":" + r.body};
    return Reply{200, "OK", {}, body};
  });

  ProcessResult ok = RunHttpget(ToWide(server.Url("/feed.xml")));
  EXPECT_EQ(ok.exitCode, 0u) << ok.err;
  EXPECT_EQ(ok.out.size(), body.size());
  EXPECT_TRUE(ok.out == body);

  const std::string missing = server.Url("/missing");
  ProcessResult failed = RunHttpget(ToWide(missing));
  EXPECT_EQ(failed.exitCode, 1u);
  EXPECT_TRUE(failed.out.empty());
  EXPECT_NE(failed.err.find("Not Found (404) - '" + missing + "'"), std::string::npos) << failed.err;
  EXPECT_NE(failed.err.find("status code: 404"), std::string::npos) << failed.err;

  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  const std::wstring dataFile = std::wstring(dir) + L"httpget-post.bin";
  const std::string postBody = std::string("a\0b\xE9", 4) + Pattern(40000);
  if (std::FILE* f = _wfopen(dataFile.c_str(), L"wb")) {
    std::fwrite(postBody.data(), 1, postBody.size(), f);
    std::fclose(f);
  }
  ProcessResult posted = RunHttpget(L"--method POST --data \"" + dataFile +
                                    L"\" --receive-timeout 5000 " + ToWide(server.Url("/post")));
  DeleteFileW(dataFile.c_str());
  EXPECT_EQ(posted.exitCode, 0u) << posted.err;
  EXPECT_TRUE(posted.out == "got " + std::to_string(postBody.size()) + ":" + postBody);

  ProcessResult usage = RunHttpget(L"--method PUT " + ToWide(server.Url("/")));
  EXPECT_EQ(usage.exitCode, 2u);
  EXPECT_NE(usage.err.find("usage: httpget"), std::string::npos);
}

}  // namespace
}  // namespace mq
