// The TCP probe of the connection detector: where a probe goes (BuildProbeAddress) and what
// its connect attempt means (ProbeWith, over a small socket interface, so the rules run
// anywhere; the Winsock binding is ProbeTcpReachable).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace mq {

// The probed server: one.one.one.one, Cloudflare's public web server at 1.1.1.1 (anycast, so
// the address stays reachable wherever the machine is). See net/README.md.
inline constexpr std::string_view kProbeAddress = "1.1.1.1";
inline constexpr std::uint16_t kProbePort = 80;

// Socket error numbers as Winsock reports them.
inline constexpr int kSockNetDown = 10050;
inline constexpr int kSockNetUnreachable = 10051;
inline constexpr int kSockTimedOut = 10060;
inline constexpr int kSockRefused = 10061;
inline constexpr int kSockHostUnreachable = 10065;

// The dotted IPv4 text as four octets, most significant first; nothing unless it is exactly
// four decimal numbers of 0 to 255.
std::optional<std::uint32_t> ParseIPv4(std::string_view text);

// Draws a whole number from lo to hi (both included).
using TRandomInRange = std::function<int(int lo, int hi)>;

// For modes 1 to 4: the first mode - 1 octets of the address, each other octet a random number
// from 1 to 253. Other modes, and an address that is not dotted IPv4, give the address as it is.
std::string BuildProbeAddress(std::string_view address, int mode, const TRandomInRange& random);
std::string BuildProbeAddress(std::string_view address, int mode);

// How far a connect attempt has come.
struct TConnectStep {
  enum Kind { Accepted, Pending, Failed } kind = Failed;
  int error = 0;  // the socket error when Failed
};

// Whether an attempt that ended so counts as "the network is there": the target accepted or
// refused it, or the system gave up waiting for an answer, or none came before the deadline.
// Every other failure (no route, network down, ...) means not connected.
bool CountsAsConnected(const TConnectStep& step);

// One TCP connect on one socket. Each probe has its own; the calls come in the order Open,
// Connect, then Wait until the attempt is decided or the deadline passes; the socket is closed
// when the object goes.
class IProbeSocket {
 public:
  virtual ~IProbeSocket() = default;
  // False when no socket could be made (the socket layer did not start, say).
  virtual bool Open() = 0;
  // Starts a connect that does not block: Accepted, Pending or Failed at once.
  virtual TConnectStep Connect(std::uint32_t address, std::uint16_t port) = 0;
  // Waits up to ms for the pending attempt to be decided; Pending when it is not.
  virtual TConnectStep Wait(std::uint32_t ms) = 0;
};

// A monotonic millisecond clock.
using TMillisClock = std::function<std::uint64_t()>;

// Probes address:port through the socket, giving up after cancelMs by the clock; true for
// connected (see CountsAsConnected). An address that is not dotted IPv4 is not connected.
bool ProbeWith(IProbeSocket& socket, std::string_view address, std::uint16_t port,
               std::uint32_t cancelMs, const TMillisClock& clock);

// The probe with Winsock 2 (Windows only): the address built for the mode, connected to
// with a deadline of cancelMs. Never throws; any error is not connected.
bool ProbeTcpReachable(std::string_view address, std::uint16_t port, std::uint32_t cancelMs, int mode);

}  // namespace mq
