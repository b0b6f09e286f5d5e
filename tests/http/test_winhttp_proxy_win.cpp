// TALWinHttpClient through a named proxy: Debian's tinyproxy on 127.0.0.1, started by
// tests/http/with-tinyproxy.sh, which passes its port and log file in the environment.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "http/ALWinHttpClient.h"
#include "tests/support/LoopbackServer_win.h"

namespace mq {
namespace {

using test::Escape;
using test::LoopbackServer;

LoopbackServer::Handler Serve(std::string body) {
  return [body](const LoopbackServer::Request&) { return LoopbackServer::Reply{200, "OK", {}, body}; };
}

std::string ReadLog() {
  const char* path = std::getenv("MQ_TINYPROXY_LOG");
  std::string text;
  if (path == nullptr) return text;
  if (std::FILE* f = std::fopen(path, "rb")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
  }
  return text;
}

class NamedProxy : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* port = std::getenv("MQ_TINYPROXY_PORT");
    ASSERT_NE(port, nullptr) << "run through tests/http/with-tinyproxy.sh (ctest does)";
    proxyPort_ = std::atoi(port);
    ASSERT_GT(proxyPort_, 0);
  }

  // The feed loader's settings for a system proxy.
  void UseProxy(TALWinHttpClient& client) {
    client.ProxyParams().SetProxyServer("127.0.0.1");
    client.ProxyParams().SetProxyPort(proxyPort_);
    client.ProxyParams().SetProxyBypass("<local>");
    client.SetAccessType(wHttpAt_NAMED_PROXY);
  }

  int proxyPort_ = 0;
};

TEST_F(NamedProxy, GetReachesTheServerThroughTheProxy) {
  // tinyproxy refuses 127.0.0.1 as a destination, so the server listens on 127.0.0.2.
  LoopbackServer server(Serve("through the proxy"), "127.0.0.2");
  TALWinHttpClient client;
  UseProxy(client);
  const std::string url = server.Url("/via-proxy.xml");
  EXPECT_EQ(client.Get(url), "through the proxy");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  std::cout << "---- request at the server, through the proxy ----\n"
            << Escape(requests[0].raw) << "---- end ----\n";
  EXPECT_NE(requests[0].headers.find("tinyproxy"), std::string::npos) << "no Via from the proxy";
  EXPECT_NE(requests[0].raw.find("\r\nUser-Agent: Mozilla/3.0 (compatible; TALWinHttpClient)\r\n"),
            std::string::npos);
  const std::string log = ReadLog();
  EXPECT_NE(log.find("GET " + url + " HTTP/1.1"), std::string::npos) << log;
}

TEST_F(NamedProxy, LocalNameBypassesTheProxy) {
  LoopbackServer server(Serve("direct"), "127.0.0.1");
  TALWinHttpClient client;
  UseProxy(client);
  const std::string url = "http://localhost:" + std::to_string(server.Port()) + "/direct.xml";
  EXPECT_EQ(client.Get(url), "direct");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  std::cout << "---- request at the server, bypassing the proxy ----\n"
            << Escape(requests[0].raw) << "---- end ----\n";
  EXPECT_EQ(requests[0].raw.rfind("GET /direct.xml HTTP/1.1\r\n", 0), 0u);
  EXPECT_EQ(requests[0].headers.find("tinyproxy"), std::string::npos);
  EXPECT_EQ(ReadLog().find("/direct.xml"), std::string::npos);
}

}  // namespace
}  // namespace mq
