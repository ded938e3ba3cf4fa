// Tag regions: preformatted text, the head part (head tags, TITLE and SCRIPT) and the
// tags both methods drop. The caller carries the head state from one call to the next.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine.h"

// Whether a start or end tag of this name (upper case, without '/') is a head tag.
bool isHeadTagName(std::string_view upperName);
// Whether the page's own styles (style attributes, STYLE elements, scripts that set a style)
// keep white space somewhere: white-space pre, pre-wrap, pre-line or break-spaces. Which
// elements they keep it in is not known without the style sheet's rules, so such a page keeps
// every blank, as preformatted text does.
bool stylesKeepWhiteSpace(std::string_view page);
// The local style sheets that a page read from `pageFile` links to (LINK rel=stylesheet and
// @import, with relative addresses), and those they import, each read whole. A sheet that
// cannot be read is left out.
std::vector<std::string> linkedStyleSheets(std::string_view page, const std::string& pageFile);
// Starts a pass over a page that stylesKeepWhiteSpace: the whole page is preformatted.
void keepEveryBlank(Engine& engine);
// Clears specialTagOpen; its result, 0, is the initial head state of a pass.
int clearHeadTag(Engine& engine);
// Opens or closes a preformatted region on a PRE, LISTING, TT, TEXTAREA or XMP tag; returns
// the new value of preformatted.
int checkPreformatted(Engine& engine, const std::string& token);
// Marks head tags and opens TITLE and SCRIPT regions; may erase the token. Returns the head state.
int openHeadTag(Engine& engine, std::string& token, int headState);
// Closes regions and head tags at their end; returns the head state.
int closeHeadTag(Engine& engine, const std::string& token, int headState);
