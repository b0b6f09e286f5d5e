#include "feeds/FeedUrl.h"

namespace mq {

namespace {

constexpr size_t npos = std::string_view::npos;

bool IsSchemeChar(char c, bool first) {
  const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  if (first) return alpha;
  return alpha || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// The length of the scheme before ":" (0 when the text has none).
size_t SchemeLength(std::string_view url) {
  for (size_t i = 0; i < url.size(); ++i) {
    if (url[i] == ':') return i;
    if (!IsSchemeChar(url[i], i == 0)) return 0;
  }
  return 0;
}

struct TUrlParts {
  std::string_view scheme, authority, path, query, fragment;
  bool hasAuthority = false, hasQuery = false, hasFragment = false;
};

TUrlParts Split(std::string_view url) {
  TUrlParts parts;
  if (const size_t s = SchemeLength(url); s > 0) {
    parts.scheme = url.substr(0, s);
    url.remove_prefix(s + 1);
  }
  if (const size_t hash = url.find('#'); hash != npos) {
    parts.hasFragment = true;
    parts.fragment = url.substr(hash + 1);
    url = url.substr(0, hash);
  }
  if (const size_t q = url.find('?'); q != npos) {
    parts.hasQuery = true;
    parts.query = url.substr(q + 1);
    url = url.substr(0, q);
  }
  if (url.substr(0, 2) == "//") {
    parts.hasAuthority = true;
    const size_t slash = url.find('/', 2);
    parts.authority = url.substr(2, slash == npos ? npos : slash - 2);
    url = slash == npos ? std::string_view() : url.substr(slash);
  }
  parts.path = url;
  return parts;
}

// Removes "." and ".." segments in one pass over the path.
std::string RemoveDotSegments(std::string_view in) {
  std::string out;
  while (!in.empty()) {
    if (in.substr(0, 3) == "../") {
      in.remove_prefix(3);
    } else if (in.substr(0, 2) == "./" || in.substr(0, 3) == "/./") {
      in.remove_prefix(2);
    } else if (in == "/.") {
      in = "/";
    } else if (in.substr(0, 4) == "/../" || in == "/..") {
      in = in.size() == 3 ? std::string_view("/") : in.substr(3);
      const size_t last = out.rfind('/');
      out.resize(last == std::string::npos ? 0 : last);
    } else if (in == "." || in == "..") {
      in = {};
    } else {
      const size_t next = in.find('/', 1);
      const std::string_view segment = in.substr(0, next);
      out += segment;
      in.remove_prefix(segment.size());
    }
  }
  return out;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string ResolveUrl(std::string_view base, std::string_view ref) {
  ref = Trimmed(ref);
  base = Trimmed(base);
  if (SchemeLength(ref) > 0 || SchemeLength(base) == 0) return std::string(ref);
  const TUrlParts b = Split(base);
  const TUrlParts r = Split(ref);
  std::string authority, path, query;
  bool hasAuthority = false, hasQuery = false;
  if (r.hasAuthority) {
    hasAuthority = true;
    authority = r.authority;
    path = RemoveDotSegments(r.path);
    hasQuery = r.hasQuery;
    query = r.query;
  } else {
    hasAuthority = b.hasAuthority;
    authority = b.authority;
    if (r.path.empty()) {
      path = b.path;
      hasQuery = r.hasQuery || b.hasQuery;
      query = r.hasQuery ? r.query : b.query;
    } else {
      if (r.path.front() == '/') {
        path = RemoveDotSegments(r.path);
      } else {
        std::string merged;
        if (b.hasAuthority && b.path.empty()) {
          merged = "/";
        } else {
          const size_t slash = b.path.rfind('/');
          if (slash != npos) merged = b.path.substr(0, slash + 1);
        }
        merged += r.path;
        path = RemoveDotSegments(merged);
      }
      hasQuery = r.hasQuery;
      query = r.query;
    }
  }
  std::string out(b.scheme);
  out += ':';
  if (hasAuthority) out.append("//").append(authority);
  out += path;
  if (hasQuery) out.append("?").append(query);
  if (r.hasFragment) out.append("#").append(r.fragment);
  return out;
}

}  // namespace mq
