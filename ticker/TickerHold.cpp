#include "ticker/TickerHold.h"

namespace mq {

TSessionPresence AfterSessionEvent(TSessionPresence s, std::uint32_t event) noexcept {
  switch (event) {
    case 1:  // console connect
    case 3:  // remote connect
      s.disconnected = false;
      break;
    case 2:  // console disconnect
    case 4:  // remote disconnect
      s.disconnected = true;
      break;
    case 5:  // logon: a fresh session, present
      s = TSessionPresence{};
      break;
    case 7:
      s.locked = true;
      break;
    case 8:
      s.locked = false;
      break;
    default:
      break;
  }
  return s;
}

}  // namespace mq
