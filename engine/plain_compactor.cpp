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
// applies to the rest of it: not a head tag, not removed, not in a script region. There the
// tag's bytes are written as they stand (see appendPlainTag), in preformatted text too.
bool inPlainTag(const Engine& engine) {
    const EngineState& s = engine.scan;
    return s.markup.inTag && !s.markup.inMarkupComment && s.rawTextName.empty() &&
           s.regions == OpenRegions{} && !s.inComment && !s.carried.emitted;
}

// Plain compaction as a pass of the token loop: every token goes out as it stands, with the
// separator the page has after it, except comments and the tags the region steps remove.
struct PlainPass {
    Engine& engine;
    std::string& output;
    size_t bodyStart;  // where the page's text begins in the output, after a kept prefix

    bool goesOn() const { return true; }
    bool inText(int) const { return inPlainText(engine); }

    // Text tokens one after the other; a text token clears the removed-comment flag.
    void takeText(char*& cursor) {
        if (appendPlainText(engine, cursor, output) && !engine.options.keepComments) {
            engine.scan.inComment = false;
        }
    }

    // An ordinary tag's first token: the region steps would only note an end tag.
    FastPath takeTagOpener(char*& cursor, int& headState) {
        EngineState& s = engine.scan;
        if (s.regions.scriptPending || s.regions.specialTagOpen || !s.regionName.empty() ||
            !appendPlainTagOpener(engine, cursor, output)) {
            return FastPath::None;
        }
        if (!engine.options.keepComments) s.inComment = false;
        if (s.tagName[0] == '/') headState = 0;
        return FastPath::Taken;
    }

    // Preformatted text up to the next tag in one piece and that tag's first token, or the
    // rest of an ordinary tag.
    FastPath takeMarkup(char*& cursor, int& headState) {
        if (inPreformattedText(engine, headState)) {
            if (appendPreformattedText(engine, cursor, output)) {
                if (!engine.options.keepComments) engine.scan.inComment = false;
                return FastPath::Taken;
            }
            if (takeTagOpener(cursor, headState) == FastPath::Taken) return FastPath::Taken;
        }
        if (inPlainTag(engine) && appendPlainTag(engine, cursor, output)) return FastPath::Taken;
        return FastPath::None;
    }

    void takeToken(std::string& token, const char* cursor, int& headState, bool regionStep) {
        EngineState& s = engine.scan;
        if (regionStep) s.preformatted = checkPreformatted(engine, token);
        const bool comment = isCommentToken(engine);
        tokenWithSpacing(engine, token, cursor);
        if (regionStep) headState = openHeadTag(engine, token, headState);
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
        if (regionStep) headState = closeHeadTag(engine, token, headState);
    }
};

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

    s.pageStart = page.data();
    s.pageEnd = page.data() + page.size();
    int headState = clearHeadTag(engine);
    PlainPass pass{engine, output, output.size()};
    walkTokens(engine, page.data() + h, headState, pass);
    s.regions.inScript = false;
    return output;
}
