// Reads arbitrary bytes as an XML document and, when it loads, walks, writes and re-reads the
// tree. The first byte picks the options, so auto-indent and preserved whitespace get fuzzed
// as well.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "xml/ALXmlDoc.h"

namespace {

// Names the writer can always give back unchanged. The reader takes almost anything as a name
// ("<a/ >" names "a/", "<a=\"x>" reads a quoted run), and some of those read differently once
// written; the round-trip check below is kept to trees without them.
bool PlainName(const std::string& name) {
  for (unsigned char c : name)
    if (!(c >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
          c == '_' || c == ':' || c == '.' || c == '-'))
      return false;
  return true;
}

// Visits every node; false when some name is not plain.
bool Walk(mq::TALXMLNode* root) {
  bool plain = true;
  std::vector<mq::TALXMLNode*> work{root};
  while (!work.empty()) {
    mq::TALXMLNode* node = work.back();
    work.pop_back();
    if (node->NodeType() == mq::ntElement || node->NodeType() == mq::ntProcessingInstr)
      plain = plain && PlainName(node->NodeName());
    (void)node->LocalName();
    (void)node->NextSibling();
    if (node->IsTextElement()) (void)node->Text();
    if (mq::TALXMLNodeList* attrs = node->RawAttributeNodes())
      for (int i = 0; i < attrs->Count(); ++i) {
        plain = plain && PlainName(attrs->Get(i)->NodeName());
        (void)attrs->Get(i)->Text();
      }
    if (mq::TALXMLNodeList* kids = node->RawChildNodes())
      for (int i = 0; i < kids->Count(); ++i) work.push_back(kids->Get(i));
  }
  return plain;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const unsigned flags = data[0];
  const std::string_view xml(reinterpret_cast<const char*>(data + 1), size - 1);
  mq::TALXMLDocument doc;
  // Auto-indent costs depth squared in indentation text; keep it to inputs of modest size.
  if ((flags & 1) && xml.size() < 2048) doc.SetOptions(mq::doNodeAutoIndent);
  if (flags & 2) doc.SetParseOptions(mq::poPreserveWhiteSpace);
  std::vector<std::string> fields;
  mq::ExtractHeaderFields(xml.substr(0, 256), fields);
  try {
    doc.LoadFromXML(xml);
  } catch (const mq::EALXMLDocError&) {
    if (doc.Active()) std::abort();  // a failed load must leave the document inactive
    return 0;
  }
  const bool plain = Walk(doc.Node());
  const std::string saved = doc.SaveToXML();
  // What the writer produces must read again and come out the same (indentation and kept
  // blanks aside).
  if (plain && !(flags & 3)) {
    mq::TALXMLDocument again;
    try {
      again.LoadFromXML(saved);
    } catch (const mq::EALXMLDocError&) {
      std::abort();
    }
    if (again.SaveToXML() != saved) std::abort();
  }
  return 0;
}
