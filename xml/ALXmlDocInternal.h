// Shared by the ALXmlDoc sources: the fixed error messages and small helpers. Not part of the
// public interface.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "xml/ALXmlDoc.h"

namespace mq::xmldetail {

inline constexpr const char* kParseError = "Xml Parse error";
inline constexpr const char* kInvalidNodeType = "Invalid node type";
inline constexpr const char* kNoActiveDocument = "No active document";
inline constexpr const char* kNotSingleTextNode = "Element does not contain a single text node";
inline constexpr const char* kParameterIncorrect = "The parameter is incorrect";
inline constexpr const char* kOnlyOneChild = "Only one child is allowed in an attribute node";
inline constexpr const char* kOnlyOneTopLevel =
    "Only one top level element is allowed in an XML document";

[[noreturn]] void ThrowIndexOutOfBounds(int index);
[[noreturn]] void ThrowCapacityOutOfBounds(int capacity);
[[noreturn]] void ThrowCountOutOfBounds(int count);
[[noreturn]] void ThrowNotFound(std::string_view name);
// "This operation can not be performed with a node of type %s", with the kind's upper-case
// name (ELEMENT, TEXT, DOCUMENT, ...).
[[noreturn]] void ThrowWrongNodeType(TALXMLNodeType type);

// Space, tab, CR and LF: the characters that end a name.
inline bool IsNameBreak(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
// Checks an element, attribute or target name.
void CheckName(std::string_view name);

// The name after its first ":" for elements and attributes; empty for other kinds.
std::string_view LocalNameOf(const TALXMLNode& node) noexcept;

// Appends every line followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);
// Splits at CR LF, LF or CR; a final line break adds no empty line.
std::vector<std::string> SplitLines(std::string_view text);

// Writes `node` (element or document node) to `out`.
void WriteNode(const TALXMLNode& node, std::string& out);
// The same, handing the text to `stream` in pieces.
void WriteNode(const TALXMLNode& node, std::ostream& stream);

}  // namespace mq::xmldetail
