#include <winsock2.h>

#include "base/UniqueHandle.h"
#include "net/QuNetUtil.h"

namespace mq {
namespace {

using UniqueSocket = UniqueHandle<HandleTraits<SOCKET, ::closesocket, INVALID_SOCKET>>;

// Winsock started for the lifetime of one probe (the calls are counted per process).
class TWsaSession {
 public:
  TWsaSession() {
    WSADATA data{};
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~TWsaSession() {
    if (started_) ::WSACleanup();
  }
  TWsaSession(const TWsaSession&) = delete;
  TWsaSession& operator=(const TWsaSession&) = delete;
  bool Started() const noexcept { return started_; }

 private:
  bool started_ = false;
};

// A non-blocking TCP socket whose connect is waited for with select, so each probe's
// deadline concerns its own socket only. Declared after the session, closed before it ends.
class TWinsockProbeSocket final : public IProbeSocket {
 public:
  bool Open() override {
    if (!wsa_.Started()) return false;
    socket_.Reset(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    u_long nonBlocking = 1;
    return socket_ && ::ioctlsocket(socket_.Get(), FIONBIO, &nonBlocking) == 0;
  }

  TConnectStep Connect(std::uint32_t address, std::uint16_t port) override {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = ::htons(port);
    target.sin_addr.s_addr = ::htonl(address);
    if (::connect(socket_.Get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0)
      return Established();
    const int error = ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK || error == WSAEINPROGRESS) return {TConnectStep::Pending, 0};
    return {TConnectStep::Failed, error};
  }

  TConnectStep Wait(std::uint32_t ms) override {
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socket_.Get(), &writable);
    FD_SET(socket_.Get(), &failed);
    timeval timeout{static_cast<long>(ms / 1000), static_cast<long>(ms % 1000 * 1000)};
    const int n = ::select(0, nullptr, &writable, &failed, &timeout);
    if (n == 0) return {TConnectStep::Pending, 0};
    if (n == SOCKET_ERROR) return {TConnectStep::Failed, ::WSAGetLastError()};
    int error = 0;
    int size = sizeof error;
    if (::getsockopt(socket_.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0)
      return {TConnectStep::Failed, ::WSAGetLastError()};
    if (error != 0) return {TConnectStep::Failed, error};
    return FD_ISSET(socket_.Get(), &writable) ? Established() : TConnectStep{TConnectStep::Failed, 0};
  }

 private:
  // A connect that reports success counts once the peer is known.
  TConnectStep Established() {
    sockaddr_in peer{};
    int size = sizeof peer;
    if (::getpeername(socket_.Get(), reinterpret_cast<sockaddr*>(&peer), &size) == 0)
      return {TConnectStep::Accepted, 0};
    return {TConnectStep::Failed, ::WSAGetLastError()};
  }

  TWsaSession wsa_;
  UniqueSocket socket_;
};

}  // namespace

bool ProbeTcpReachable(std::string_view address, std::uint16_t port, std::uint32_t cancelMs, int mode) {
  try {
    TWinsockProbeSocket socket;
    return ProbeWith(socket, BuildProbeAddress(address, mode), port, cancelMs,
                     [] { return ::GetTickCount64(); });
  } catch (...) {
    return false;
  }
}

}  // namespace mq
