#include "feeds/FeedJson.h"

#include <cstdio>

#include "feeds/FeedText.h"

namespace mq {

namespace {

void Member(std::string& out, const char* indent, const char* name, std::string_view value,
            bool last = false) {
  out += indent;
  AppendJsonString(out, name);
  out += ": ";
  AppendJsonString(out, value);
  out += last ? "\n" : ",\n";
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04X", c);
          out += buf;
        } else {
          out += ch;
        }
    }
  }
  out += '"';
}

std::string FeedToJson(const TRSSHandler& handler, const TFeedJsonOptions& options) {
  auto shown = [&](const std::string& s) { return options.decodeRefs ? DecodeCharRefs(s) : s; };
  std::string out = "{\n";
  Member(out, "  ", "file", options.file);
  out += "  \"codePage\": " + std::to_string(options.codePage) + ",\n";
  Member(out, "  ", "kind", options.kind);
  if (!options.error.empty()) Member(out, "  ", "error", options.error);
  Member(out, "  ", "title", shown(handler.Title()));
  Member(out, "  ", "link", handler.Link());
  Member(out, "  ", "description", shown(handler.Description()));
  out += "  \"items\": [";
  const TRSSItemList& items = handler.Items();
  for (int i = 0; i < items.Count(); ++i) {
    const TRSSItem& item = *items.Objects(i);
    out += i == 0 ? "\n    {\n" : ",\n    {\n";
    Member(out, "      ", "title", shown(item.Title()));
    Member(out, "      ", "link", item.Link());
    Member(out, "      ", "description", shown(item.Description()));
    Member(out, "      ", "pubDate", item.PubDate(), true);
    out += "    }";
  }
  out += items.Count() > 0 ? "\n  ]\n}\n" : "]\n}\n";
  return out;
}

}  // namespace mq
