// Resolving the relative links of a feed against its base address.
#pragma once

#include <string>
#include <string_view>

namespace mq {

// The reference `ref` resolved against the absolute address `base` as a browser resolves a
// link (scheme, authority, path with "." and ".." segments removed, query, fragment). A
// reference with its own scheme is returned as it is; so is any reference when `base` has no
// scheme. Blanks around the reference are dropped.
std::string ResolveUrl(std::string_view base, std::string_view ref);

}  // namespace mq
