// Writing a tree back out as text. The walk keeps its own stack, so the depth of a tree costs
// heap, never machine stack.
#include <ostream>
#include <string>
#include <vector>

#include "xml/ALXmlDoc.h"
#include "xml/ALXmlDocInternal.h"

namespace mq {

namespace {

// Characters that escaping replaces: " & ' < >.
constexpr bool NeedsEscape(unsigned char c) noexcept {
  return c == '"' || c == '&' || c == '\'' || c == '<' || c == '>';
}

void AppendEscaped(std::string& out, std::string_view text) {
  size_t run = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (!NeedsEscape(c)) continue;
    out.append(text.data() + run, i - run);
    switch (c) {
      case '"':
        out += "&quot;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '\'':
        out += "&apos;";
        break;
      case '<':
        out += "&lt;";
        break;
      default:
        out += "&gt;";
        break;
    }
    run = i + 1;
  }
  out.append(text.data() + run, text.size() - run);
}

// Collects output and hands it to a stream in pieces when there is one.
class Sink {
 public:
  explicit Sink(std::string& out, std::ostream* stream = nullptr) : out_(out), stream_(stream) {}
  std::string& Text() { return out_; }
  void MaybeFlush() {
    if (stream_ && out_.size() >= kFlushSize) Flush();
  }
  void Flush() {
    if (!stream_) return;
    stream_->write(out_.data(), static_cast<std::streamsize>(out_.size()));
    out_.clear();
  }

 private:
  static constexpr size_t kFlushSize = size_t{64} * 1024;
  std::string& out_;
  std::ostream* stream_;
};

void WriteStartTag(const TALXMLNode& element, std::string& out, bool hasChildren) {
  out += '<';
  out += element.InternalNameOrContent();
  if (const TALXMLNodeList* attrs = element.RawAttributeNodes()) {
    for (int i = 0; i < attrs->Count(); ++i) {
      const TALXMLNode* attr = attrs->Get(i);
      out += ' ';
      out += attr->InternalNameOrContent();
      out += "=\"";
      AppendEscaped(out, attr->Text());
      out += '"';
    }
  }
  out += hasChildren ? ">" : "/>";
}

void WriteLeaf(const TALXMLNode& node, std::string& out) {
  switch (node.NodeType()) {
    case ntText:
      AppendEscaped(out, node.InternalNameOrContent());
      break;
    case ntComment:
      out += "<!--";
      out += node.InternalNameOrContent();
      out += "-->";
      break;
    case ntProcessingInstr:
      out += "<?";
      out += node.InternalNameOrContent();
      if (!node.InternalValue().empty()) {
        out += ' ';
        out += node.InternalValue();
      }
      out += "?>";
      break;
    default:
      break;  // nothing else can be written
  }
}

void WriteElement(const TALXMLNode& root, Sink& sink) {
  struct Frame {
    const TALXMLNode* element;
    int next;  // next child to write
  };
  std::vector<Frame> stack;
  std::string& out = sink.Text();
  const bool rootHasChildren = root.HasChildNodes();
  WriteStartTag(root, out, rootHasChildren);
  if (!rootHasChildren) return;
  stack.push_back({&root, 0});
  while (!stack.empty()) {
    Frame& top = stack.back();
    const TALXMLNodeList* children = top.element->RawChildNodes();
    if (top.next < children->Count()) {
      const TALXMLNode* child = children->Get(top.next++);
      if (child->NodeType() == ntElement) {
        const bool hasChildren = child->HasChildNodes();
        WriteStartTag(*child, out, hasChildren);
        if (hasChildren) stack.push_back({child, 0});  // invalidates `top`
      } else {
        WriteLeaf(*child, out);
      }
      sink.MaybeFlush();
      continue;
    }
    out += "</";
    out += top.element->InternalNameOrContent();
    out += '>';
    stack.pop_back();
  }
}

void Write(const TALXMLNode& node, Sink& sink) {
  switch (node.NodeType()) {
    case ntElement:
      WriteElement(node, sink);
      break;
    case ntDocument: {
      const TALXMLNodeList* children = node.RawChildNodes();
      for (int i = 0; children && i < children->Count(); ++i) {
        const TALXMLNode* child = children->Get(i);
        if (child->NodeType() == ntElement) {
          WriteElement(*child, sink);
        } else {
          WriteLeaf(*child, sink.Text());
          sink.Text() += "\r\n";
        }
      }
      break;
    }
    default:
      xmldetail::ThrowWrongNodeType(node.NodeType());
  }
  sink.Flush();
}

}  // namespace

std::string ALXmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendEscaped(out, text);
  return out;
}

namespace xmldetail {

void WriteNode(const TALXMLNode& node, std::string& out) {
  Sink sink(out);
  Write(node, sink);
}

void WriteNode(const TALXMLNode& node, std::ostream& stream) {
  std::string buffer;
  Sink sink(buffer, &stream);
  Write(node, sink);
}

}  // namespace xmldetail

}  // namespace mq
