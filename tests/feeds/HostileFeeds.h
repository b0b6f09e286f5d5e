// Feed documents shaped to make a careless parser do quadratic work or hold far more memory
// than the document, each filled to a given size. Used by the handler tests and the
// benchmark.
#pragma once

#include <cstddef>
#include <string>

namespace mq::test {

inline constexpr const char* kShapeHead = "<rss version=\"2.0\"><channel><title>c</title>";
inline constexpr const char* kShapeTail = "</channel></rss>";

// Repeats `unit` until the document would reach `bytes` with `before` and `after` around it.
inline std::string Fill(const std::string& before, const std::string& unit, const std::string& after,
                        size_t bytes) {
  std::string s = before;
  s.reserve(bytes + unit.size());
  while (s.size() + unit.size() + after.size() <= bytes) s += unit;
  return s + after;
}

// One long run of "<" in an RSS 1.0 document: the root's end tag is searched past it.
inline std::string LessThanRun(size_t bytes) {
  return Fill(
      "<rdf:RDF xmlns:rdf=\"r\"><channel><title>c</title></channel><item><title>t</title>"
      "<description>",
      std::string(64, '<'), "</description></item></rdf:RDF>", bytes);
}

// Many declarations, none with an internal subset.
inline std::string Declarations(size_t bytes) {
  return Fill(kShapeHead, "<!x>", std::string("<item><title>t</title></item>") + kShapeTail, bytes);
}

// A description of stray ">" with one tag at its end.
inline std::string StrayGreaterThan(size_t bytes) {
  return Fill(std::string(kShapeHead) + "<item><title>t</title><description>", "a>",
              std::string("&lt;b&gt;</description></item>") + kShapeTail, bytes);
}

// One start tag with 20,000 attributes, then the same names again and again.
inline std::string ManyAttributes(size_t bytes) {
  std::string s = std::string(kShapeHead) + "<item";
  const std::string after = std::string("><title>t</title></item>") + kShapeTail;
  for (int n = 0; s.size() + after.size() + 16 <= bytes; n = (n + 1) % 20000) {
    s += " a" + std::to_string(n) + "=\"v\"";
  }
  return s + after;
}

// A description nested as deep as the size allows.
inline std::string DeepNesting(size_t bytes) {
  const std::string head = std::string(kShapeHead) + "<item><title>t</title><description>";
  const std::string tail = std::string("</description></item>") + kShapeTail;
  const size_t levels = (bytes - head.size() - tail.size()) / 7;
  std::string s = head;
  s.reserve(bytes);
  for (size_t i = 0; i < levels; ++i) s += "<a>";
  for (size_t i = 0; i < levels; ++i) s += "</a>";
  return s + tail;
}

// Millions of empty items.
inline std::string EmptyItems(size_t bytes) { return Fill(kShapeHead, "<item/>", kShapeTail, bytes); }

}  // namespace mq::test

namespace mq::test {

// Millions of empty Atom entries.
inline std::string AtomEmptyEntries(size_t bytes) {
  return Fill("<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>c</title>", "<entry/>", "</feed>",
              bytes);
}

// Millions of empty JSON Feed items.
inline std::string JsonEmptyItems(size_t bytes) {
  return Fill("{\"version\":\"https://jsonfeed.org/version/1.1\",\"title\":\"c\",\"items\":[{}", ",{}",
              "]}", bytes);
}

// An item member nested as deep as the size allows: the reader stops at its depth limit.
inline std::string JsonDeepNesting(size_t bytes) {
  const std::string head = "{\"version\":\"https://jsonfeed.org/version/1.1\",\"items\":[{\"x\":";
  const size_t levels = (bytes - head.size() - 4) / 2;
  return head + std::string(levels, '[') + std::string(levels, ']') + "}]}";
}

// One item member the ticker does not show, holding many small objects.
inline std::string JsonUnusedMembers(size_t bytes) {
  return Fill("{\"version\":\"https://jsonfeed.org/version/1\",\"items\":[{\"title\":\"t\",\"_x\":[0",
              ",{\"a\":\"b\"}", "]}]}", bytes);
}

}  // namespace mq::test
