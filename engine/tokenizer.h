// The token stream both packing methods read a page through.
//
// The scanner is a byte scanner, not a conforming parser: its cuts make repeated words, tag
// openers and attribute names come out as identical tokens. Its view of tags, attribute values,
// comments and raw-text content follows how browsers read them, so that what it treats as markup
// is what a browser treats as markup.
#pragma once

#include <string>
#include <string_view>

#include "engine.h"
#include "tag_table.h"

// Longest token handed out; a longer run is cut and its rest becomes the next token.
inline constexpr int MAX_TOKEN_LENGTH = 499;

// Clears the per-page state before a pass.
void resetPageState(Engine& engine);

// Cuts the next token at `cursor` and returns it (the engine's token buffer). On return the
// cursor stands at the token's first character; the caller advances it by the token's length.
// At the end of the page the cursor becomes null and the returned token is not a new one.
std::string& nextToken(Engine& engine, char*& cursor);

// Length (0..499) of the token that begins at `position`; updates the scanner flags.
int scanTokenLength(Engine& engine, char* position);

// In ordinary text (the scanner outside tags, comments and raw-text content), the length of
// the token that begins at `position`, a byte that is neither a blank, a '<' nor the page's
// end. Such a token changes no scanner flag. `readableEnd`, where given, says how far past
// the token the text may be read.
int scanTextToken(const char* position, const char* readableEnd = nullptr);
// Leaves the token flags as scanTokenLength leaves them after a text token ending at `end`.
void noteTextTokenEnd(EngineState& state, const char* end);

// The rest of isSeparatorAt, for a blank outside scripts before a '<' or another blank.
bool isSeparatorBeforeMore(const Engine& engine, const char* position);
// Whether the blank at `position` separates the last token from the next one. Inline for the
// common cases: no blank, a script's, or one before a byte of text.
inline bool isSeparatorAt(const Engine& engine, const char* position) {
    if (!isBlank(*position)) return false;
    if (engine.scan.regions.inScript) return true;
    if (position[1] != '<' && !isBlank(position[1])) return true;
    return isSeparatorBeforeMore(engine, position);
}
// Whether every blank is kept as a token of its own: in preformatted text and in quoted
// attribute values, where browsers show or keep each one, and in the literals of scripts and
// style sheets, where they are part of a value.
inline bool keepsBlanks(const EngineState& state) {
    return state.preformatted || state.markup.inQuote || state.markup.inSingleQuote ||
           state.scriptText.keep;
}
// Whether the separating blank run at `position` must go out as a line break rather than a
// space: it holds a line break, and next to it a browser may remove a line break where it
// shows a space (beside a zero-width space or a <wbr>, or between East Asian wide characters;
// any byte of 128 and above, or a numeric character reference, counts as such a neighbour).
// Tags and comments between the run and its neighbouring text are looked through.
bool lineBreakMatters(const EngineState& state, const char* position);
// The separator that stands for the blank run at `position`: a line break where
// lineBreakMatters, otherwise a space.
inline char separatorAt(const EngineState& state, const char* position) {
    if (*position == ' ' && position[1] != '\n' && position[1] != '\r' && position[1] != ' ' &&
        position[1] != '\t') {
        return ' ';  // a single space: no line break in the run
    }
    return lineBreakMatters(state, position) ? '\n' : ' ';
}
// Whether a script's line break stands at `position`.
bool isNewlineAt(const Engine& engine, const char* position);

// Appends to `token` the one line feed or blank that follows it in the page, if any.
std::string& tokenWithSpacing(Engine& engine, std::string& token, const char* cursor);

// Whether the token just cut belongs to a comment that is being removed; updates inComment.
bool isCommentToken(Engine& engine);

// Where the page text begins after a web server's header lines (0: no header, or the
// pass-through is off). `headerCopy` receives the header with the blank line that ends it.
size_t serverHeaderLength(const Engine& engine, std::string_view page, std::string* headerCopy);

// Where the page text that the methods convert begins: after a web server's header lines and
// a UTF-8 byte-order mark, which both methods put unchanged at the start of their output.
// `prefix` receives those bytes as they go out (see serverHeaderLength).
size_t keptPrefixLength(const Engine& engine, std::string_view page, std::string* prefix);

// Whether a browser reading `text` ends outside any tag, attribute value, comment and
// raw-text content (script, style, title, textarea, xmp).
bool endsOutsideMarkup(std::string_view text);

// Plain compaction's fast path for ordinary text (the caller checks that the scanner stands
// outside tags, comments, raw-text content, scripts and preformatted regions): appends the
// text tokens from `cursor` up to the next '<' or the page's end to `output`, each followed
// by the blank that tokenWithSpacing would give it, and leaves the cursor and the token
// flags as the token loop would. Blanks at `cursor` follow a token already written.
// Returns whether any token was taken.
bool appendPlainText(Engine& engine, char*& cursor, std::string& output);

// Whether the scanner stands in preformatted text where every blank is a token of its own and
// no region step applies to a token: outside tags, comments, raw-text content and scripts,
// with no head tag or script region open and no blank carried by the last token.
inline bool inPreformattedText(const Engine& engine, int headState) {
    const EngineState& s = engine.scan;
    return s.preformatted && s.inText() && s.regions == OpenRegions{} && !s.carried.emitted &&
           !s.scriptText.active() && headState == 0 &&
           (!engine.options.keepComments || !s.inComment);
}

// Plain compaction's fast path for preformatted text (the caller checks that the scanner
// stands in a preformatted element, outside tags, comments, raw-text content, scripts and
// head-tag regions, with no blank carried by the last token): there every blank is a token of
// its own and every token goes out as it stands, so the bytes from `cursor` up to the next '<'
// or the page's end (its first zero byte) are appended to `output` in one piece. Leaves the
// cursor and the token flags as the token loop would. Returns whether any token was taken.
bool appendPreformattedText(Engine& engine, char*& cursor, std::string& output);

// Plain compaction's fast path inside a tag whose first token was written (the caller checks
// that no region step applies to the rest of it): appends the tag's remaining tokens up to and
// including the one that ends it to `output`, each with the separator that tokenWithSpacing
// would give it, and leaves the cursor and the scanner flags as the token loop would. Stops
// early at the page's end. Returns whether any token was taken.
bool appendPlainTag(Engine& engine, char*& cursor, std::string& output);

// Plain compaction's fast path for a tag's first token in ordinary or preformatted text (the
// caller checks that the scanner stands outside tags, comments, raw-text content, scripts and
// head-tag regions): when `cursor` begins a start or end tag whose name of letters and digits
// ends at a blank or the tag's '>', and no region step applies to that name, appends the
// token with its separator (none where blanks are kept) to `output`, advances the cursor and
// leaves the scanner flags as the token loop would. Returns false, changing nothing, for
// every other tag.
bool appendPlainTagOpener(Engine& engine, char*& cursor, std::string& output);

// JavaScript packing's fast path for the same tokens, under the same conditions: when `cursor`
// begins such a tag, cuts its first token into the engine's token buffer as nextToken would
// and leaves the scanner flags as nextToken leaves them. Returns false, changing nothing, for
// every other tag.
bool nextTagOpener(Engine& engine, const char* cursor);

// A fast path for the tokens inside a tag outside scripts and comments: attribute names, '=',
// double quotes, pieces of double-quoted values and the tag's '>'. Where `cursor` begins
// such a token, cuts it into the engine's token buffer as nextToken would, leaves the scanner
// flags as nextToken leaves them and moves the cursor to its first byte. Returns false for
// every other token; then the blanks before it may have been passed over, as nextToken
// passes them over, and nextToken cuts it from the cursor.
bool nextTagToken(Engine& engine, char*& cursor);

// How a pass's fast path went at the cursor.
enum class FastPath {
    None,   // it does not apply there: the token loop cuts the next token
    Cut,    // it cut the next token into the engine's token buffer, as nextToken would
    Taken,  // it took tokens itself and moved the cursor past them
};

// Whether the region steps (head tags, TITLE and SCRIPT regions, preformatted elements) may
// act on the token just cut: it opens a tag, or a head region or script is open. For every
// other token they change nothing.
inline bool mayTakeRegionStep(const EngineState& s, int headState) {
    return s.lastToken.opensTag || headState != 0 || s.regions != OpenRegions{};
}

// The token loop that plain compaction and both packing passes walk a page with, from
// `cursor` to the page's end or until the pass stops. The pass provides:
//   bool goesOn() const                  false ends the walk
//   bool inText(int headState) const     the scanner stands in text the pass takes in runs
//   void takeText(char*& cursor)         takes that text up to the next '<' or the page's end
//   FastPath takeTagOpener(char*& cursor, int& headState)
//                                        an ordinary tag's first token, right after such text
//   FastPath takeMarkup(char*& cursor, int& headState)
//                                        elsewhere: preformatted text or the rest of a tag
//   void takeToken(std::string& token, const char* cursor, int& headState, bool regionStep)
//                                        any other token; `cursor` stands just past it
// The fast paths cut and take tokens exactly as the loop would; they only save work. A tag
// opener that a fast path cut takes no region step.
template <typename Pass>
void walkTokens(Engine& engine, char* cursor, int& headState, Pass& pass) {
    EngineState& s = engine.scan;
    while (cursor && pass.goesOn()) {
        FastPath fast;
        bool opener = false;
        if (pass.inText(headState)) {
            pass.takeText(cursor);
            if (!pass.goesOn()) break;
            fast = pass.takeTagOpener(cursor, headState);
            opener = fast == FastPath::Cut;
        } else {
            fast = pass.takeMarkup(cursor, headState);
        }
        if (fast == FastPath::Taken) continue;
        std::string& token = fast == FastPath::Cut ? s.token : nextToken(engine, cursor);
        if (!cursor) break;
        cursor += token.size();
        pass.takeToken(token, cursor, headState, !opener && mayTakeRegionStep(s, headState));
    }
}
