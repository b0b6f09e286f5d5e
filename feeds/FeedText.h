// Text functions of the feed handler: recognising a feed document, cleaning it for the XML
// document, and cleaning item texts of HTML. All texts are UTF-8; every marker these
// functions look for is ASCII, so they work on the bytes.
#pragma once

#include <string>
#include <string_view>

namespace mq {

// True when the text is an RSS document (a "<rss " root with an attribute, its end tag and a
// channel inside) or an RDF document (a root named "RDF" or "prefix:RDF", with a channel
// inside): the root's first open and close markers must enclose the channel's, in that order.
// Markers are matched without regard to case. Other tags of the RDF namespace, such as the
// "rdf:Seq" inside an RSS 1.0 channel, are not taken for the root's markers.
bool IsFeedText(std::string_view text);

enum class TFeedKind { None, Rss, Rdf, Atom, JsonFeed };

// What kind of feed the text holds, by its start: a JSON Feed candidate when the first
// non-blank character is "{" (its version is checked once it is read); Atom when the root is
// "feed" or "prefix:feed" bound, on the root, to the Atom 1.0 or 0.3 namespace, and the root
// ends; RSS or RDF as IsFeedText decides. None for anything else.
TFeedKind DetectFeedKind(std::string_view text);
// "rss", "rdf", "atom", "json" or "none".
std::string_view FeedKindName(TFeedKind kind) noexcept;

// Prepares an accepted feed text for the XML document, in one pass from the start: comments
// are deleted, each CDATA section becomes its content as escaped text (so markup inside it
// stays text), other declarations such as a document type (with its internal subset) are
// deleted, and whatever follows
// the document element's end tag is cut off. A comment or declaration without its closing
// marker is left as it is (the document then fails to parse); a CDATA section without one
// runs to the end of the text.
std::string CleanFeedText(std::string_view text);

// Removes HTML tags from an item title or description. The first "|" becomes CR LF; "</p",
// "<br", "<hr/" and "<hr /" tags become CR LF, every other tag vanishes; a "<" without any ">"
// after it stays, and a stray ">" before a tag is kept while cleaning goes on after it.
std::string StripHtmlTags(std::string_view text);

// Removes leading and trailing characters with codes 0 to 32.
std::string_view TrimControls(std::string_view text);

// Decodes character references in one left-to-right pass: numeric ones ("&#39;", "&#x2019;",
// also "&#$27;", "&#0x27;") into the whole code point (0, a surrogate or a value beyond
// U+10FFFF gives U+FFFD), and HTML's named ones ("&nbsp;", "&eacute;", "&copy" ...). The
// output of a reference is never read again, so "&amp;lt;" gives "&lt;".
std::string DecodeCharRefs(std::string_view text);

}  // namespace mq
