// Helpers shared by the XML test suites.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "xml/ALXmlDoc.h"

namespace mq::xmltest {

// Loads `xml` into a new document with the given options.
inline std::unique_ptr<TALXMLDocument> Load(const std::string& xml,
                                            TALXMLDocOptions options = doAttrNull,
                                            TALXMLParseOptions parseOptions = 0) {
  auto doc = std::make_unique<TALXMLDocument>();
  doc->SetOptions(options);
  doc->SetParseOptions(parseOptions);
  doc->LoadFromXML(xml);
  return doc;
}

// The message of the EALXMLDocError that `action` throws, or a note that it threw none.
inline std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EALXMLDocError& e) {
    return e.what();
  } catch (const std::exception& e) {
    return std::string("other exception: ") + e.what();
  }
  return "no error";
}

inline std::string LoadError(const std::string& xml, TALXMLDocOptions options = doAttrNull) {
  TALXMLDocument doc;
  doc.SetOptions(options);
  std::string message = ErrorOf([&] { doc.LoadFromXML(xml); });
  if (message != "no error" && doc.Active()) message += " (but the document stayed active)";
  return message;
}

// Escapes CR and LF so that expectations print on one line.
inline std::string Visible(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

}  // namespace mq::xmltest
