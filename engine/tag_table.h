// Facts about tags that the scanner and the region operations look up.
#pragma once

#include <string_view>

// Preformatted element kinds; their regions nest, each kind counted on its own.
enum PreformattedKind { PRE_KIND, LISTING_KIND, TT_KIND, TEXTAREA_KIND, XMP_KIND, PRE_KIND_COUNT };

// The preformatted kind of an upper-case tag name, or -1.
int preformattedKind(std::string_view upperName);
// Whether the content of the element is raw text, where only its own end tag is markup.
bool isRawTextTag(std::string_view upperName);
// Whether browsers ignore white space around the tag (start or end) that begins at `p`,
// a '<'. Also true for "<!DOCTYPE".
bool isWhitespaceInsensitiveTagAt(const char* p);

bool isAsciiAlpha(unsigned char c);
bool isAsciiBlank(unsigned char c);  // space, TAB, LF, CR, FF
char toAsciiUpper(char c);
char toAsciiLower(char c);
bool equalsIgnoreCase(std::string_view a, std::string_view b);
bool startsWithIgnoreCase(std::string_view text, std::string_view prefix);

// The upper-case tag name that a tag-opening token carries: "P" for "<p" or "<P>", "/P" for
// "</p>", "!DOCTYPE" for "<!DOCTYPE". Written into `name`; empty when the token is no tag.
void tagNameOfToken(std::string_view token, std::string& name);
