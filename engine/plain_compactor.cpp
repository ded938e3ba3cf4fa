#include "plain_compactor.h"

#include "regions.h"
#include "tag_table.h"
#include "tokenizer.h"

namespace {

// Whether the scanner stands in ordinary text: outside tags, comments, raw-text content,
// scripts, preformatted regions and removed tags. There every token is written as it stands
// and only the blanks between tokens need a decision (see appendPlainText).
bool inPlainText(const Engine& engine) {
    const EngineState& s = engine.scan;
    return s.inText() && !s.preformatted && !s.regions.inScript && !s.regions.skipToTagEnd &&
           !s.carried.emitted;
}

// Whether the scanner stands inside a tag whose first token was written and no region step
// applies to the rest of it: not a head tag, not removed, not in a script or preformatted
// region. There the tag's bytes are written as they stand (see appendPlainTag).
bool inPlainTag(const Engine& engine) {
    const EngineState& s = engine.scan;
    return s.markup.inTag && !s.markup.inMarkupComment && s.rawTextName.empty() &&
           s.regions == OpenRegions{} && !s.preformatted && !s.inComment && !s.carried.emitted;
}

}  // namespace

std::string compactPlain(Engine& engine, std::string& page) {
    EngineState& s = engine.scan;
    resetPageState(engine);
    s.keepCase = true;
    // A page whose styles keep white space keeps every blank.
    if (engine.options.keepBlanks || stylesKeepWhiteSpace(page)) keepEveryBlank(engine);

    std::string output;
    output.reserve(page.size() + 16);
    std::string header;
    const size_t h = keptPrefixLength(engine, page, &header);
    if (h > 0) output = header;
    const size_t bodyStart = output.size();

    char* cursor = page.data() + h;
    s.pageStart = page.data();
    s.pageEnd = page.data() + page.size();
    int headState = clearHeadTag(engine);
    while (cursor) {
        if (inPlainText(engine)) {
            // Text tokens one after the other, without the region steps that cannot apply
            // to them; a text token clears the removed-comment flag.
            if (appendPlainText(engine, cursor, output) && !engine.options.keepComments) {
                s.inComment = false;
            }
            // An ordinary tag's first token: the region steps would only note an end tag.
            if (!s.regions.scriptPending && !s.regions.specialTagOpen && s.regionName.empty() &&
                appendPlainTagOpener(engine, cursor, output)) {
                if (!engine.options.keepComments) s.inComment = false;
                if (s.tagName[0] == '/') headState = 0;
                continue;
            }
        }
        // Preformatted text up to the next tag in one piece; a text token clears the
        // removed-comment flag.
        if (inPreformattedText(engine, headState) && appendPreformattedText(engine, cursor, output)) {
            if (!engine.options.keepComments) s.inComment = false;
            continue;
        }
        // The rest of an ordinary tag in one piece; at the page's end the token loop stops.
        if (inPlainTag(engine) && appendPlainTag(engine, cursor, output)) continue;
        std::string& token = nextToken(engine, cursor);
        s.preformatted = checkPreformatted(engine, token);
        if (!cursor) break;
        cursor += token.size();
        const bool comment = isCommentToken(engine);
        tokenWithSpacing(engine, token, cursor);
        headState = openHeadTag(engine, token, headState);
        if (!s.inComment && !comment && !s.regions.skipToTagEnd) {
            output += token;
        } else if (comment && !s.inComment && output.size() > bodyStart) {
            if (removedCommentPartsText(output.back(), cursor)) output += EMPTY_COMMENT;
            // A removed comment that a blank followed leaves that blank, so words stay apart.
            if (output.back() != ' ' && output.back() != '\n' && !s.preformatted &&
                isSeparatorAt(engine, cursor)) {
                output.push_back(separatorAt(s, cursor));
            }
        }
        headState = closeHeadTag(engine, token, headState);
    }
    s.regions.inScript = false;
    return output;
}
