// Facts about tags that the scanner and the region operations look up.
#pragma once

#include <string_view>

// Preformatted element kinds; their regions nest, each kind counted on its own.
enum PreformattedKind {
    PRE_KIND, LISTING_KIND, TT_KIND, TEXTAREA_KIND, XMP_KIND, PLAINTEXT_KIND, PRE_KIND_COUNT
};

// The preformatted kind of an upper-case tag name, or -1.
int preformattedKind(std::string_view upperName);
// Whether the content of the element is raw text, where only its own end tag is markup (none
// ends PLAINTEXT: the rest of the page is its text).
bool isRawTextTag(std::string_view upperName);
// Whether a start or end tag of this upper-case name has a region step of its own: a head
// tag, or a raw-text or preformatted element.
bool hasRegionStep(std::string_view upperName);
// Whether browsers ignore white space around the tag (start or end) that begins at `p`,
// a '<'. Also true for "<!DOCTYPE".
bool isWhitespaceInsensitiveTagAt(const char* p);

// What stands in for a removed comment that parted two pieces of text.
inline constexpr std::string_view EMPTY_COMMENT = "<!---->";
// Whether a comment removed between the text written so far, which ends in `before` (0: none),
// and the page at `after` parted two pieces of text: browsers lay out each piece on its own,
// so an empty comment keeps them apart, or letters may move by a fraction of a pixel.
bool removedCommentPartsText(char before, const char* after);

// Byte tests of the scanner's inner loops, inline so that every caller can fold them in.
inline bool isAsciiAlpha(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
// A blank: space, TAB, LF or CR, what parts tokens and what blank runs are made of. A form
// feed is text to the scanner.
constexpr bool isBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
// White space as browsers read it in markup (tag and attribute syntax): a blank or a form feed.
inline bool isHtmlSpace(unsigned char c) { return isBlank(c) || c == '\f'; }
inline bool isBlank(char c) { return isBlank(static_cast<unsigned char>(c)); }
inline bool isHtmlSpace(char c) { return isHtmlSpace(static_cast<unsigned char>(c)); }
inline char toAsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
inline char toAsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
bool equalsIgnoreCase(std::string_view a, std::string_view b);
bool startsWithIgnoreCase(std::string_view text, std::string_view prefix);

