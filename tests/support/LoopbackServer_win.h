// A small HTTP/1.1 server on a loopback address for the Windows suites that download
// (transport, loader, main window): Winsock, one thread per connection, keep-alive, a port
// chosen by the system. It records every request's bytes exactly as they arrived and counts
// the TCP connections it accepted and saw closed.
#pragma once

#include <winsock2.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mq::test {

class LoopbackServer {
 public:
  struct Request {
    std::string raw;  // request line, header lines, blank line and body, as received
    std::string method;
    std::string target;   // the request-target of the request line
    std::string headers;  // the header lines, each ending in CR LF
    std::string body;
    int connection = 0;  // 1 for the first accepted connection, and so on
  };

  struct Reply {
    int status = 200;
    std::string reason = "OK";
    std::vector<std::string> headers;  // extra lines without CR LF
    std::string body;
    bool silent = false;    // accept and read, never answer
    int dripMs = 0;         // above 0: the body goes out one byte every dripMs milliseconds
    bool dripHead = false;  // with dripMs: the status line and headers drip as well
  };

  using Handler = std::function<Reply(const Request&)>;

  explicit LoopbackServer(Handler handler, const char* address = "127.0.0.1");
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  std::uint16_t Port() const { return port_; }
  const std::string& Address() const { return address_; }
  // "http://<address>:<port><path>"
  std::string Url(const std::string& path) const;

  int Connections() const;
  int ClosedConnections() const;
  // Every byte the server has sent so far (status lines, headers and bodies).
  long long BytesSent() const;
  std::vector<Request> Requests() const;
  // Waits up to `ms` for the client to have closed `count` connections.
  bool WaitForClosed(int count, int ms) const;

 private:
  bool Stopping() const;
  void AcceptLoop();
  void Serve(SOCKET s, int connection);
  // Sends `data` one byte every `ms`; false when the client went or the server stops.
  bool Drip(SOCKET s, const std::string& data, int ms);
  // Sends all of `data`, counting it; false when the client went.
  bool Send(SOCKET s, const std::string& data);

  Handler handler_;
  std::string address_;
  std::uint16_t port_ = 0;
  SOCKET listener_ = INVALID_SOCKET;
  std::thread acceptThread_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool stopping_ = false;
  int connections_ = 0;
  int closed_ = 0;
  long long bytesSent_ = 0;
  std::vector<Request> requests_;
  std::vector<std::thread> workers_;
};

// Text with CR, LF and bytes outside printable ASCII written as escapes, for test output.
std::string Escape(const std::string& bytes);

}  // namespace mq::test
