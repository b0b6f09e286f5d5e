#include "tests/support/LoopbackServer_win.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>

namespace mq::test {

namespace {

struct WinsockInit {
  WinsockInit() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~WinsockInit() { WSACleanup(); }
};

void EnsureWinsock() { static WinsockInit init; }

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The value of header `name` in a block of lines, or empty.
std::string HeaderValue(const std::string& headers, const std::string& name) {
  const std::string lower = Lower(headers);
  const std::string key = "\r\n" + Lower(name) + ":";
  const size_t at = ("\r\n" + lower).find(key);
  if (at == std::string::npos) return "";
  size_t start = at + key.size() - 2;
  const size_t end = headers.find("\r\n", start);
  std::string value = headers.substr(start, end - start);
  while (!value.empty() && value.front() == ' ') value.erase(value.begin());
  return value;
}

// Waits up to 50 ms for `s` to become readable.
bool Readable(SOCKET s) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval tv{0, 50000};
  return select(0, &set, nullptr, nullptr, &tv) > 0;
}

bool SendAll(SOCKET s, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    const int n =
        send(s, data.data() + sent, static_cast<int>(std::min<size_t>(data.size() - sent, 1 << 20)), 0);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool LoopbackServer::Drip(SOCKET s, const std::string& data, int ms) {
  for (const char c : data) {
    if (Stopping() || !Send(s, std::string(1, c))) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
  return true;
}

bool LoopbackServer::Send(SOCKET s, const std::string& data) {
  const bool ok = SendAll(s, data);
  std::lock_guard<std::mutex> lock(mutex_);
  bytesSent_ += static_cast<long long>(data.size());
  return ok;
}

long long LoopbackServer::BytesSent() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytesSent_;
}

LoopbackServer::LoopbackServer(Handler handler, const char* address)
    : handler_(std::move(handler)), address_(address) {
  EnsureWinsock();
  listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener_ == INVALID_SOCKET) throw std::runtime_error("socket failed");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = 0;
  inet_pton(AF_INET, address, &addr.sin_addr);
  if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listener_, 16) != 0) {
    closesocket(listener_);
    throw std::runtime_error(std::string("cannot listen on ") + address);
  }
  int len = sizeof addr;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  acceptThread_.join();
  for (std::thread& t : workers_) t.join();
  closesocket(listener_);
}

std::string LoopbackServer::Url(const std::string& path) const {
  return "http://" + address_ + ":" + std::to_string(port_) + path;
}

bool LoopbackServer::Stopping() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stopping_;
}

int LoopbackServer::Connections() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return connections_;
}

int LoopbackServer::ClosedConnections() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

std::vector<LoopbackServer::Request> LoopbackServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

bool LoopbackServer::WaitForClosed(int count, int ms) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return closed_ >= count; });
}

void LoopbackServer::AcceptLoop() {
  for (;;) {
    // Blocking calls are not woken by closing the socket under every Winsock, so the loops
    // poll and look at the stop flag in between.
    if (Stopping()) return;
    if (!Readable(listener_)) continue;
    SOCKET s = accept(listener_, nullptr, nullptr);
    if (s == INVALID_SOCKET) return;
    std::lock_guard<std::mutex> lock(mutex_);
    const int id = ++connections_;
    workers_.emplace_back([this, s, id] { Serve(s, id); });
  }
}

void LoopbackServer::Serve(SOCKET s, int connection) {
  std::string buffer;
  char chunk[65536];
  bool peerClosed = false;
  auto fill = [&]() {
    while (!Readable(s)) {
      if (Stopping()) return false;
    }
    const int n = recv(s, chunk, sizeof chunk, 0);
    if (n <= 0) {
      peerClosed = n == 0;
      return false;
    }
    buffer.append(chunk, static_cast<size_t>(n));
    return true;
  };
  for (;;) {
    size_t end;
    while ((end = buffer.find("\r\n\r\n")) == std::string::npos) {
      if (!fill()) goto done;
    }
    {
      Request request;
      request.connection = connection;
      const size_t lineEnd = buffer.find("\r\n");
      const std::string line = buffer.substr(0, lineEnd);
      request.method = line.substr(0, line.find(' '));
      const size_t t = line.find(' ') + 1;
      request.target = line.substr(t, line.find(' ', t) - t);
      request.headers = buffer.substr(lineEnd + 2, end + 2 - (lineEnd + 2));
      const std::string length = HeaderValue(request.headers, "Content-Length");
      const size_t bodySize = length.empty() ? 0 : std::stoul(length);
      while (buffer.size() < end + 4 + bodySize) {
        if (!fill()) goto done;
      }
      request.body = buffer.substr(end + 4, bodySize);
      request.raw = buffer.substr(0, end + 4 + bodySize);
      buffer.erase(0, end + 4 + bodySize);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
      }
      const Reply reply = handler_(request);
      if (reply.silent) {
        while (fill()) {
        }
        goto done;
      }
      std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reply.reason + "\r\n";
      head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
      for (const std::string& h : reply.headers) head += h + "\r\n";
      head += "\r\n";
      if (reply.dripMs > 0) {
        if (!reply.dripHead && !Send(s, head)) goto done;
        if (!Drip(s, reply.dripHead ? head + reply.body : reply.body, reply.dripMs)) goto done;
        continue;
      }
      if (!Send(s, head) || !Send(s, reply.body)) goto done;
    }
  }
done:
  std::lock_guard<std::mutex> lock(mutex_);
  if (peerClosed) ++closed_;
  closesocket(s);
  changed_.notify_all();
}

std::string Escape(const std::string& bytes) {
  std::string out;
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n\n";
    } else if (c < 32 || c >= 127) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += ch;
    }
  }
  return out;
}

}  // namespace mq::test
