#include "app/uRSSLinkItem.h"

namespace mq {

std::string TRSSLinkList::DisabledIndices() const {
  std::string out;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].Enabled) continue;
    if (!out.empty()) out += ',';
    out += std::to_string(i);
  }
  return out;
}

}  // namespace mq
