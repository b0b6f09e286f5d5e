#include "net/QuNetUtil.h"

#include <charconv>
#include <random>
#include <vector>

namespace mq {

std::optional<std::uint32_t> ParseIPv4(std::string_view text) {
  std::uint32_t value = 0;
  const char* p = text.data();
  const char* const end = p + text.size();
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      if (p == end || *p != '.') return std::nullopt;
      ++p;
    }
    // Plain decimal only: no sign, no blanks, at most three digits.
    const char* start = p;
    while (p != end && *p >= '0' && *p <= '9' && p - start < 4) ++p;
    if (p == start || p - start > 3) return std::nullopt;
    unsigned octet = 0;
    std::from_chars(start, p, octet);
    if (octet > 255) return std::nullopt;
    value = value << 8 | octet;
  }
  if (p != end) return std::nullopt;
  return value;
}

std::string BuildProbeAddress(std::string_view address, int mode, const TRandomInRange& random) {
  const std::optional<std::uint32_t> parsed = ParseIPv4(address);
  if (mode < 1 || mode > 4 || !parsed) return std::string(address);
  std::string out;
  for (int i = 0; i < 4; ++i) {
    const unsigned octet = i < mode - 1 ? (*parsed >> (24 - 8 * i)) & 0xFF : unsigned(random(1, 253));
    if (i > 0) out += '.';
    out += std::to_string(octet);
  }
  return out;
}

std::string BuildProbeAddress(std::string_view address, int mode) {
  static thread_local std::mt19937 engine{std::random_device{}()};
  return BuildProbeAddress(
      address, mode, [](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(engine); });
}

bool CountsAsConnected(const TConnectStep& step) {
  switch (step.kind) {
    case TConnectStep::Accepted:
    case TConnectStep::Pending:
      return true;
    case TConnectStep::Failed:
      return step.error == kSockRefused || step.error == kSockTimedOut;
  }
  return false;
}

bool ProbeWith(IProbeSocket& socket, std::string_view address, std::uint16_t port,
               std::uint32_t cancelMs, const TMillisClock& clock) {
  const std::optional<std::uint32_t> target = ParseIPv4(address);
  if (!target || !socket.Open()) return false;
  const std::uint64_t deadline = clock() + cancelMs;
  TConnectStep step = socket.Connect(*target, port);
  // A wait may end early (a signal, a spurious wake-up); the deadline is the clock's.
  for (std::uint64_t now = clock(); step.kind == TConnectStep::Pending && now < deadline; now = clock())
    step = socket.Wait(static_cast<std::uint32_t>(deadline - now));
  return CountsAsConnected(step);
}

}  // namespace mq
