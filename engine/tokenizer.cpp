#include "tokenizer.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "regions.h"
#include "tag_table.h"

namespace {

// How the scan treats each byte: as the current byte (its class) and as the next byte
// (whether it begins a new token, so that the current byte ends the token).
enum ByteClass : unsigned char {
    ORDINARY,   // taken, the token goes on
    STOP,       // NUL, blanks and line breaks: not taken, the token ends before them
    SINGLE,     // > " ' , = ~ : taken, the token ends after them
    SOLIDUS,    // / : taken; ends the token outside tags
    LESS_THAN,  // < : taken, the token goes on
};

struct ByteTables {
    unsigned char byteClass[256];
    bool beginsToken[256];
    bool endsText[256];  // ends a run of ordinary text: the end, a blank or '<'
    // How a byte after a text token's first acts: 0 the token goes on, 1 it ends before the
    // byte, 2 it ends after it, 3 (a space) it ends after it when the next byte begins a
    // token, otherwise before it.
    unsigned char inTextToken[256];
    constexpr ByteTables() : byteClass(), beginsToken(), endsText(), inTextToken() {
        for (int c = 0; c < 256; ++c) {  // the page's end and the blanks
            if (c == 0 || isBlank(static_cast<unsigned char>(c))) {
                byteClass[c] = STOP;
                endsText[c] = true;
            }
        }
        for (const char c : {'>', '"', '\'', ',', '=', '~'}) byteClass[static_cast<unsigned char>(c)] = SINGLE;
        byteClass[static_cast<unsigned char>('/')] = SOLIDUS;
        byteClass[static_cast<unsigned char>('<')] = LESS_THAN;
        for (const char c : {'"', '\'', ',', '.', '<', '=', '?', '~'}) {
            beginsToken[static_cast<unsigned char>(c)] = true;
        }
        endsText[static_cast<unsigned char>('<')] = true;
        for (int c = 0; c < 256; ++c) {
            if (beginsToken[c] || byteClass[c] == STOP) inTextToken[c] = 1;
            else if (byteClass[c] != ORDINARY) inTextToken[c] = 2;  // '>' and '/'
        }
        inTextToken[static_cast<unsigned char>(' ')] = 3;
    }
};
constexpr ByteTables kBytes;

// Eight bytes at a time: masks with the high bit set in each byte that matches (exact per
// byte, no carries between bytes).
constexpr uint64_t kOnes = 0x0101010101010101ULL;
constexpr uint64_t kHighBits = 0x8080808080808080ULL;
constexpr uint64_t kLowBits = 0x7F7F7F7F7F7F7F7FULL;
inline uint64_t bytesBelow(uint64_t x, unsigned char n) {  // n <= 128
    return ~(((x & kLowBits) + kOnes * (0x80u - n)) | x) & kHighBits;
}
inline uint64_t bytesEqual(uint64_t x, unsigned char c) {
    const uint64_t y = x ^ (kOnes * c);
    return ~(((y & kLowBits) + kLowBits) | y | kLowBits);
}
inline uint64_t load8(const char* p) {
    uint64_t x;
    std::memcpy(&x, p, sizeof x);
    return x;
}

// Whether the space in a text run goes on to the next word: followed by neither a blank nor
// a '<' (the page's end counts as neither).
inline bool isWordSpace(const char* p) {
    if (*p != ' ') return false;  // p[1] is read only before the page's end
    const unsigned char next = static_cast<unsigned char>(p[1]);
    return !isBlank(next) && next != '<';
}

// Just past the words and single spaces from `p`: stops at a '<', the page's end, a line
// break or tab, or a space that is not a word space. `wideEnd` (null: none) is the page's
// terminating zero; eight-byte steps read up to it and no further.
const char* skipWordsAndSpaces(const char* p, const char* wideEnd) {
    for (;;) {
        if (wideEnd && wideEnd - p >= 8) {
            // Bytes p..p+7 and the byte after each: a control byte, a '<' or a space before
            // a blank-like byte or '<' needs the closer look below.
            const uint64_t x = load8(p);
            const uint64_t next = load8(p + 1);
            const uint64_t stop =
                bytesBelow(x, 0x20) | bytesEqual(x, '<') |
                (bytesEqual(x, ' ') & (bytesBelow(next, 0x21) | bytesEqual(next, '<')));
            if (stop == 0) {
                p += 8;
                continue;
            }
            if constexpr (std::endian::native == std::endian::little) {
                p += std::countr_zero(stop) / 8;
            }
        }
        const unsigned char c = static_cast<unsigned char>(*p);
        if (!kBytes.endsText[c] || isWordSpace(p)) {
            ++p;
            continue;
        }
        return p;
    }
}

// Matches the raw-text element's end tag "</name" followed by a blank, '/' or '>'.
bool isRawTextEndAt(const char* p, std::string_view name) {
    if (p[0] != '<' || p[1] != '/' || name == "PLAINTEXT") return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (toAsciiUpper(p[2 + i]) != name[i]) return false;  // a zero byte never matches
    }
    const unsigned char after = static_cast<unsigned char>(p[2 + name.size()]);
    return after == '>' || after == '/' || isHtmlSpace(after);
}

// Script text after "<!--" is escaped: a "<script" in it hides the next "</script>" from the
// parser. Returns true when the '<' at `p` changed that state or is hidden.
bool noteScriptEscape(EngineState& s, const char* p) {
    if (s.scriptEscape == 0) {
        if (p[1] == '!' && p[2] == '-' && p[3] == '-') {
            s.scriptEscape = 1;
            return true;
        }
        return false;
    }
    const bool endTag = isRawTextEndAt(p, "SCRIPT");
    if (s.scriptEscape == 2) {
        if (endTag) s.scriptEscape = 1;
        return true;
    }
    if (endTag) return false;  // an escaped script still ends at its end tag
    static const std::string script = "SCRIPT";
    for (size_t i = 0; i < script.size(); ++i) {
        if (toAsciiUpper(p[1 + i]) != script[i]) return false;
    }
    const unsigned char after = static_cast<unsigned char>(p[1 + script.size()]);
    if (after == '>' || after == '/' || isHtmlSpace(after)) s.scriptEscape = 2;
    return true;
}

// Opens the tag, comment or declaration that a '<' at `p` begins, as a browser would.
void noteMarkupOpen(EngineState& s, const char* p) {
    const unsigned char next = static_cast<unsigned char>(p[1]);
    if (isAsciiAlpha(next) || (next == '/' && isAsciiAlpha(static_cast<unsigned char>(p[2])))) {
        s.markup.inTag = true;
        s.lastToken.inTag = true;
        s.tagName.clear();
        if (next == '/') s.tagName.push_back('/');
        s.markup.collectingTagName = true;
    } else if (next == '!' && p[2] == '-' && p[3] == '-') {
        s.markup.inMarkupComment = true;
        s.lastToken.inComment = true;
        s.commentBody = p + 4;
    } else if (next == '!' || next == '?' || (next == '/' && p[2] == '>')) {
        // A declaration (<!DOCTYPE>), a processing instruction or "</>": tag-like up to '>'.
        s.markup.inTag = true;
        s.lastToken.inTag = true;
        s.tagName.clear();
        if (next == '!') s.tagName.push_back('!');
        s.markup.collectingTagName = next == '!';
    }
}

// Closes a comment at the '>' at `p` when the bytes before it end the comment.
void noteCommentChar(EngineState& s, const char* p) {
    if (*p != '>') return;
    const long body = p - s.commentBody;  // bytes between "<!--" and this '>'
    const bool closes = body == 0 || (body == 1 && p[-1] == '-') ||
                        (body >= 2 && p[-1] == '-' && p[-2] == '-') ||
                        (body >= 3 && p[-1] == '!' && p[-2] == '-' && p[-3] == '-');
    if (closes) {
        s.markup.inMarkupComment = false;
        s.commentBody = nullptr;
    }
}

// Ends the tag being scanned at its '>'; the content of a raw-text element follows.
void noteTagEnd(EngineState& s) {
    s.markup.inTag = false;
    s.markup.afterEquals = false;
    s.markup.inUnquotedValue = false;
    s.markup.collectingTagName = false;
    s.lastToken.endedTag = true;
    if (!isRawTextTag(s.tagName)) return;
    s.rawTextName = s.tagName;
    // A script's or style sheet's literals keep their blanks: the lexer reads its content.
    if (s.rawTextName == "SCRIPT") s.scriptText.start(ScriptLexer::Language::Script);
    else if (s.rawTextName == "STYLE") s.scriptText.start(ScriptLexer::Language::StyleSheet);
}

// The attributes of the SCRIPT start tag whose '>' is at `p`: the text from its name on.
std::string_view scriptTagAttributes(const char* p) {
    // The tag's "<script" stands before its '>' (its name is read whole); an attribute value
    // that holds "<script" would only make the attributes read shorter.
    const char* name = p;
    while (!(name[0] == '<' && startsWithIgnoreCase(std::string_view(name + 1, 6), "script"))) {
        --name;
    }
    return std::string_view(name + 7, static_cast<size_t>(p - (name + 7)));
}

// The '>' at `p` ends the tag; raw-text content starts after it.
void noteTagEndAt(EngineState& s, const char* p) {
    noteTagEnd(s);
    if (!s.rawTextName.empty()) {
        s.rawTextStart = p + 1;
        s.scriptEscape = 0;
        // A script of a type that is not run (a template, say) is text: its blanks stay.
        if (s.rawTextName == "SCRIPT" &&
            ScriptLexer::languageOfScript(scriptTagAttributes(p)) == ScriptLexer::Language::Text) {
            s.scriptText.start(ScriptLexer::Language::Text);
        }
    }
}

// Updates the scanner flags for one byte of the page, taken into a token or passed over.
void noteChar(EngineState& s, const char* p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (s.markup.inMarkupComment) {
        noteCommentChar(s, p);
        return;
    }
    if (!s.markup.inTag) {
        if (c == '>' && s.scriptEscape && p - s.rawTextStart >= 2 && p[-1] == '-' && p[-2] == '-') {
            s.scriptEscape = 0;  // "-->" leaves the escaped script text
            return;
        }
        if (c != '<') return;
        if (!s.rawTextName.empty()) {
            if (s.rawTextName == "SCRIPT" && noteScriptEscape(s, p)) return;
            if (isRawTextEndAt(p, s.rawTextName)) {
                s.markup.inTag = true;
                s.lastToken.inTag = true;
                s.tagName = "/" + s.rawTextName;
                s.markup.collectingTagName = false;
                s.rawTextName.clear();
                s.scriptEscape = 0;
                s.scriptText.stop();
            }
            return;
        }
        noteMarkupOpen(s, p);
        return;
    }
    // Inside a tag.
    if (s.markup.inQuote) {
        if (c == '"') s.markup.inQuote = false;
        return;
    }
    if (s.markup.inSingleQuote) {
        if (c == '\'') s.markup.inSingleQuote = false;
        return;
    }
    if (c == '>') {
        noteTagEndAt(s, p);
        return;
    }
    if (isHtmlSpace(c)) {
        s.markup.collectingTagName = false;
        s.markup.inUnquotedValue = false;
        return;
    }
    if (s.markup.inUnquotedValue) return;
    if (s.markup.afterEquals) {
        s.markup.afterEquals = false;
        if (c == '"') s.markup.inQuote = true;
        else if (c == '\'') s.markup.inSingleQuote = true;
        else s.markup.inUnquotedValue = true;
        return;
    }
    if (s.markup.collectingTagName) {
        if (c == '<' && s.tagName.empty()) return;       // the opening '<'
        if (c == '/' && s.tagName == "/") return;         // the '/' of "</"
        if (c == '!' && s.tagName == "!") return;         // the '!' of "<!"
        if (c == '/' || c == '=') {
            s.markup.collectingTagName = false;
        } else {
            s.tagName.push_back(toAsciiUpper(static_cast<char>(c)));
            return;
        }
    }
    if (c == '=') s.markup.afterEquals = true;
}

// Outside tags and comments only '<' (and '>' in escaped script text) changes the flags, so
// most bytes of a page need no closer look.
inline void noteByte(EngineState& s, const char* p) {
    const char c = *p;
    if (s.markup.inTag || s.markup.inMarkupComment || c == '<' || (c == '>' && s.scriptEscape)) {
        noteChar(s, p);
    }
}

// A blank passed over or cut as a token: noted, and read by the lexer in script or style
// sheet content.
inline void noteBlank(EngineState& s, const char* p) {
    noteByte(s, p);
    if (s.scriptText.active()) s.scriptText.feedBlank(p);
}

// The scan of one token: who owns which byte is decided here, the flags by noteChar.
int scanBytes(EngineState& s, const char* position) {
    int n = 0;
    const char* p = position;
    while (n < MAX_TOKEN_LENGTH) {
        const unsigned char c = static_cast<unsigned char>(*p);
        const unsigned char kind = kBytes.byteClass[c];
        if (c == 0) return n;
        if (kBytes.beginsToken[static_cast<unsigned char>(p[1])]) {
            if (c != '\n' && c != '\r' && c != '\t') {
                noteByte(s, p);
                ++n;
            }
            return n;
        }
        if (kind == ORDINARY) {
            // Ordinary bytes change no flag in text, in comments (only '>' can end one) and in
            // quoted attribute values (only the quote ends one): take the run of them.
            const MarkupPlace& m = s.markup;
            if (!m.inTag || m.inMarkupComment || m.inQuote || m.inSingleQuote) {
                do {
                    ++n;
                    ++p;
                } while (n < MAX_TOKEN_LENGTH &&
                         kBytes.byteClass[static_cast<unsigned char>(*p)] == ORDINARY &&
                         !kBytes.beginsToken[static_cast<unsigned char>(p[1])]);
                continue;
            }
            // In the rest of a tag a form feed is a blank and the byte after '=' opens a value;
            // otherwise attribute names and unquoted values change no flag either, and the
            // tag's name only grows (a '!' after "<!" is not part of it).
            const bool inName = m.collectingTagName && !m.inUnquotedValue;
            if (c != '\f' && (m.inUnquotedValue || !m.afterEquals) && !(inName && c == '!')) {
                const char* run = p;
                do {
                    ++n;
                    ++p;
                } while (n < MAX_TOKEN_LENGTH &&
                         kBytes.byteClass[static_cast<unsigned char>(*p)] == ORDINARY &&
                         *p != '\f' && !(inName && *p == '!') &&
                         !kBytes.beginsToken[static_cast<unsigned char>(p[1])]);
                if (inName) {
                    const size_t from = s.tagName.size();
                    s.tagName.append(run, static_cast<size_t>(p - run));
                    for (size_t i = from; i < s.tagName.size(); ++i) {
                        s.tagName[i] = toAsciiUpper(s.tagName[i]);
                    }
                }
                continue;
            }
            noteChar(s, p);
            ++n;
            ++p;
            continue;
        }
        if (kind == STOP) return n;
        noteByte(s, p);
        ++n;
        ++p;
        if (kind == SINGLE) return n;
        // Inside a tag "</B>" and "a/b" stay whole.
        if (kind == SOLIDUS && !s.markup.inTag) return n;
    }
    return n;
}

// Just past the comment that begins at `p`, as a browser ends it; null when no comment
// begins there or it runs to the end of the page.
const char* commentEnd(const char* p) {
    if (p[0] != '<' || p[1] != '!' || p[2] != '-' || p[3] != '-') return nullptr;
    const char* body = p + 4;
    if (body[0] == '>') return body + 1;
    if (body[0] == '-' && body[1] == '>') return body + 2;
    for (const char* q = body; *q; ++q) {
        if (q[0] != '-' || q[1] != '-') continue;
        if (q[2] == '>') return q + 3;
        if (q[2] == '!' && q[3] == '>') return q + 4;
    }
    return nullptr;
}

// The first token of an ordinary start or end tag at `p`, in ordinary text: its length, with
// the scanner flags left as the token loop leaves them; 0, changing nothing, where `p` begins
// no tag whose name of letters and digits ends at a blank or the tag's '>', or where a region
// step applies to that name.
int cutTagOpener(EngineState& s, const char* p) {
    if (p[0] != '<') return 0;
    const char* name = p[1] == '/' ? p + 2 : p + 1;
    if (!isAsciiAlpha(static_cast<unsigned char>(*name))) return 0;
    // Letters and digits only: the scanner cuts no token inside them and reads them all as
    // the name; the opener ends at a blank or with the tag at its '>'.
    const char* q = name;
    while (q - name < 40 && (isAsciiAlpha(static_cast<unsigned char>(*q)) ||
                             (*q >= '0' && *q <= '9'))) {
        ++q;
    }
    const bool ends = *q == '>';
    if (!ends && !isBlank(*q)) return 0;
    // A space before a byte that begins a token goes with the opener: left to the scanner.
    if (*q == ' ' && kBytes.beginsToken[static_cast<unsigned char>(q[1])]) return 0;
    char upper[40];
    const size_t length = static_cast<size_t>(q - name);
    for (size_t i = 0; i < length; ++i) upper[i] = toAsciiUpper(name[i]);
    const std::string_view base(upper, length);
    // Tags with a region step of their own take the token loop.
    if (hasRegionStep(base)) return 0;
    // The flags as the scanner leaves them after this token.
    s.tagName.clear();
    if (name != p + 1) s.tagName.push_back('/');
    s.tagName.append(base);
    s.lastToken = {.inTag = true, .inName = true, .endedTag = ends, .opensTag = true};
    // Called in ordinary text, where no markup flag is set: the tag is left open or closed.
    s.markup = {.inTag = !ends, .collectingTagName = !ends};
    if (ends) ++q;
    s.tokenEnd = q;
    return static_cast<int>(q - p);
}

}  // namespace

void resetPageState(Engine& engine) {
    EngineState& s = engine.scan;
    std::string token = std::move(s.token);  // keep the buffer's capacity
    s = EngineState{};
    s.token = std::move(token);
    s.token.clear();
}

int scanTokenLength(Engine& engine, char* position) {
    EngineState& s = engine.scan;
    s.lastToken.inTag = s.markup.inTag;
    s.lastToken.inComment = s.markup.inMarkupComment;
    s.lastToken.endedTag = false;
    const bool startsInName =
        s.markup.inTag && !s.markup.inQuote && !s.markup.inSingleQuote &&
        !s.markup.inUnquotedValue && !s.markup.afterEquals;
    const int wasInTag = s.markup.inTag;
    const int n = scanBytes(s, position);
    s.lastToken.opensTag = n > 0 && *position == '<' && !wasInTag && s.lastToken.inTag;
    s.lastToken.inName = startsInName || s.lastToken.opensTag;
    s.tokenEnd = position + n;
    return n;
}

std::string& nextToken(Engine& engine, char*& cursor) {
    EngineState& s = engine.scan;
    std::string& token = s.token;
    bool sawBlank = false;
    for (;;) {
        const unsigned char c = static_cast<unsigned char>(*cursor);
        if (c == 0) {
            cursor = nullptr;
            s.lastToken.opensTag = false;  // the buffer holds no new token
            s.lastToken.inTag = false;
            return token;
        }
        const bool blanksKept = keepsBlanks(s);
        if (c == ' ' || c == '\t') {
            sawBlank = true;
            if (!blanksKept || s.carried.emitted) {
                s.carried.emitted = false;
                noteBlank(s, cursor);
                ++cursor;
                continue;
            }
        } else if (c == '\n' || c == '\r') {
            if (!(blanksKept || (s.regions.inScript && sawBlank))) {
                noteBlank(s, cursor);
                ++cursor;
                continue;
            }
        }
        if (isBlank(c)) {
            // A blank or line break that is a token of its own.
            s.lastToken = {.inTag = s.markup.inTag, .inComment = s.markup.inMarkupComment};
            noteBlank(s, cursor);
            s.tokenEnd = cursor + 1;
            token.assign(1, static_cast<char>(c));
            return token;
        }
        // A blank the last literal carried stands right after it; past other tokens none does.
        s.carried.emitted = false;
        const int n = scanTokenLength(engine, cursor);
        // The lexer reads every byte of script and style sheet content: not the start tag's
        // '>', which ends where the content starts, nor the end tag, which ends the content
        // (and always begins a token). Only tags are cut elsewhere.
        if (s.scriptText.active() && cursor + n != s.rawTextStart) [[unlikely]] {
            s.scriptText.feed(cursor, static_cast<size_t>(n));
        }
        token.clear();
        token.append(cursor, static_cast<size_t>(n));
        if (s.lastToken.inName && !s.regions.inScript && !s.keepCase) {
            for (char& ch : token) ch = toAsciiUpper(ch);
        }
        return token;
    }
}

namespace {

// How a text token that reached `n` bytes ends at the byte that acts on it (see inTextToken).
int textTokenEndAt(const char* position, int n, unsigned char action) {
    if (action == 3) {
        return kBytes.beginsToken[static_cast<unsigned char>(position[n + 1])] ? n + 1 : n;
    }
    return action == 1 ? n : n + 1;
}

}  // namespace

int scanTextToken(const char* position, const char* readableEnd) {
    // As scanBytes cuts text: a token ends before a byte that begins one or a blank, and after
    // a single-byte token, a '>', a '/' or a space before a byte that begins a token.
    const unsigned char first = static_cast<unsigned char>(position[0]);
    if (kBytes.byteClass[first] != ORDINARY) return 1;
    int n = 1;
#if defined(__SSE2__)
    // Sixteen bytes at a time, without a branch on each: every byte that acts on a token is
    // below '@' or a '~', so only those are looked at one by one (digits and signs among them).
    const __m128i zero = _mm_setzero_si128();
    const __m128i at = _mm_set1_epi8('@');
    const __m128i tilde = _mm_set1_epi8('~');
    while (readableEnd && readableEnd - (position + n) >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(position + n));
        const __m128i low = _mm_andnot_si128(_mm_cmplt_epi8(bytes, zero),  // not 0x80 and up
                                             _mm_cmplt_epi8(bytes, at));
        auto candidates = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(low, _mm_cmpeq_epi8(bytes, tilde))));
        while (candidates != 0) {
            const int k = n + std::countr_zero(candidates);
            if (k >= MAX_TOKEN_LENGTH) return MAX_TOKEN_LENGTH;
            const unsigned char action = kBytes.inTextToken[static_cast<unsigned char>(position[k])];
            if (action != 0) return textTokenEndAt(position, k, action);
            candidates &= candidates - 1;
        }
        n += 16;
        if (n >= MAX_TOKEN_LENGTH) return MAX_TOKEN_LENGTH;
    }
#else
    (void)readableEnd;
#endif
    for (; n < MAX_TOKEN_LENGTH; ++n) {
        const unsigned char action = kBytes.inTextToken[static_cast<unsigned char>(position[n])];
        if (action != 0) return textTokenEndAt(position, n, action);
    }
    return MAX_TOKEN_LENGTH;
}

void noteTextTokenEnd(EngineState& s, const char* end) {
    s.lastToken = {};
    s.tokenEnd = end;
}

bool appendPlainText(Engine& engine, char*& cursor, std::string& output) {
    EngineState& s = engine.scan;
    char* p = cursor;
    while (isBlank(*p)) ++p;
    // Text tokens not parted by blanks lie side by side in the page: a run up to a blank or
    // a '<' is copied in one piece, whatever tokens the scanner cuts it into. A single space
    // between words always separates them (see isSeparatorAt), so the piece goes on over it.
    const char* pending = p;
    const char* tokenEnd = nullptr;
    for (;;) {
        const char* start = p;
        if (*p == '<' || *p == 0) break;
        p = const_cast<char*>(skipWordsAndSpaces(p, s.pageEnd));
        // A word space right before the page's end ends the last token.
        tokenEnd = *p == 0 && p[-1] == ' ' ? p - 1 : p;
        if (!isBlank(*p)) break;
        output.append(pending, static_cast<size_t>(p - pending));
        // A blank right before a '<' goes with the word before it when the scan reaches it
        // inside that word's token, and then no separator decision is made for it.
        bool taken = false;
        if (*p == ' ' && p[1] == '<') {
            const char* run = p;  // the word before the blank
            while (run > start && run[-1] != ' ') --run;
            if (p - run < MAX_TOKEN_LENGTH) {
                taken = kBytes.byteClass[static_cast<unsigned char>(p[-1])] == ORDINARY;
            } else {
                const char* q = run;  // long run: find where the scanner cuts its tokens
                while (q < p) q += scanBytes(s, q);
                taken = q > p;
            }
        }
        if (taken) {
            output.push_back(' ');
            tokenEnd = ++p;
        } else {
            if (isSeparatorAt(engine, p)) output.push_back(separatorAt(s, p));
            while (isBlank(*p)) ++p;
        }
        pending = p;
    }
    output.append(pending, static_cast<size_t>(p - pending));
    cursor = p;
    if (!tokenEnd) return false;
    noteTextTokenEnd(s, tokenEnd);
    return true;
}

bool appendPreformattedText(Engine& engine, char*& cursor, std::string& output) {
    char* const from = cursor;
    char* const end = from + std::strcspn(from, "<");  // the page ends in a zero byte
    if (end == from) return false;
    // Outside tags, comments and raw text no byte before a '<' changes a scanner flag.
    output.append(from, static_cast<size_t>(end - from));
    cursor = end;
    noteTextTokenEnd(engine.scan, end);
    return true;
}

namespace {

// Bytes of an attribute name that the tag fast paths take: letters, digits, '-', '_' and ':'.
bool isPlainNameByte(unsigned char c) {
    return isAsciiAlpha(c) || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == ':';
}

}  // namespace

bool appendPlainTag(Engine& engine, char*& cursor, std::string& output) {
    EngineState& s = engine.scan;
    char* p = cursor;
    bool taken = false;
    while (*p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (isBlank(c)) {
            // As nextToken: kept as a token of its own inside a quoted value, otherwise
            // passed over (the separator went out with the token before).
            noteByte(s, p);
            if (keepsBlanks(s)) output.push_back(*p);
            ++p;
            continue;
        }
        const MarkupPlace& m = s.markup;
        if (isPlainNameByte(c) && !m.collectingTagName && !m.afterEquals && !m.inQuote &&
            !m.inSingleQuote && !m.inUnquotedValue) {
            // An attribute name and its '=' with a value right after: two tokens that go out
            // as they stand, of which only the '=' changes a flag.
            const char* q = p + 1;
            while (isPlainNameByte(static_cast<unsigned char>(*q))) ++q;
            if (*q == '=' && q - p < MAX_TOKEN_LENGTH && q[1] != 0 && !isBlank(q[1])) {
                ++q;
                output.append(p, static_cast<size_t>(q - p));
                p = const_cast<char*>(q);
                taken = true;
                s.markup.afterEquals = true;
                s.lastToken = {.inTag = true, .inName = true};  // as the '=' token leaves it
                s.tokenEnd = p;
                continue;
            }
        }
        if ((c == '"' || c == '\'') && m.afterEquals && !m.inUnquotedValue && !m.inQuote &&
            !m.inSingleQuote) {
            // A quoted value: in it only its closing quote changes a flag, and every blank and
            // token goes out as it stands, so it is copied in one piece up to that quote.
            const char* close = std::strchr(p + 1, static_cast<char>(c));
            if (close) {
                ++close;
                output.append(p, static_cast<size_t>(close - p));
                p = const_cast<char*>(close);
                taken = true;
                s.markup.afterEquals = false;
                s.lastToken = {.inTag = true};  // as the closing quote's token leaves it
                s.tokenEnd = p;
                if (!keepsBlanks(s) && isSeparatorAt(engine, p)) {
                    output.push_back(separatorAt(s, p));
                }
                continue;
            }
        }
        // The token as the scanner cuts it, written as it stands with its separator.
        const int n = scanTokenLength(engine, p);
        output.append(p, static_cast<size_t>(n));
        p += n;
        taken = true;
        if (!keepsBlanks(s) && isSeparatorAt(engine, p)) output.push_back(separatorAt(s, p));
        if (!s.markup.inTag) break;  // that token ended the tag
    }
    cursor = p;
    return taken;
}

bool appendPlainTagOpener(Engine& engine, char*& cursor, std::string& output) {
    const int n = cutTagOpener(engine.scan, cursor);
    if (n == 0) return false;
    output.append(cursor, static_cast<size_t>(n));
    cursor += n;
    if (!keepsBlanks(engine.scan) && isSeparatorAt(engine, cursor)) {
        output.push_back(separatorAt(engine.scan, cursor));
    }
    return true;
}

bool nextTagOpener(Engine& engine, const char* cursor) {
    EngineState& s = engine.scan;
    const int n = cutTagOpener(s, cursor);
    if (n == 0) return false;
    s.carried.emitted = false;  // as nextToken before a token
    std::string& token = s.token;
    if (s.regions.inScript || s.keepCase) {
        token.assign(cursor, static_cast<size_t>(n));
    } else {
        token.assign(1, '<');  // the rest is the name the scanner read, in upper case
        token += s.tagName;
        if (!s.markup.inTag) token.push_back('>');
    }
    return true;
}

namespace {

// The length of the token the scanner cuts at `p` inside a tag, for a byte that begins an
// attribute name or a piece of a double-quoted value: the token goes on over bytes that
// `goesOn` takes until the byte after it begins a token or is a blank or the page's end, and
// takes a '>' that follows it. 0 where another byte comes first, where a space that the next
// token begins after would go with it, or where the token would be cut at the longest length.
template <typename GoesOn>
int plainRunAt(const char* p, GoesOn goesOn) {
    for (int k = 0; k < MAX_TOKEN_LENGTH - 2; ++k) {
        const unsigned char next = static_cast<unsigned char>(p[k + 1]);
        if (kBytes.beginsToken[next]) return k + 1;
        if (kBytes.byteClass[next] == STOP) {
            const bool spaceGoesWith =
                next == ' ' && kBytes.beginsToken[static_cast<unsigned char>(p[k + 2])];
            return spaceGoesWith ? 0 : k + 1;
        }
        if (next == '>') return k + 2;
        if (!goesOn(next)) return 0;
    }
    return 0;
}

}  // namespace

bool nextTagToken(Engine& engine, char*& cursor) {
    EngineState& s = engine.scan;
    const MarkupPlace& m = s.markup;
    if (!m.inTag || m.inMarkupComment || m.inSingleQuote || m.inUnquotedValue ||
        !s.rawTextName.empty() || s.regions.inScript) {
        return false;
    }
    char* p = cursor;
    if (!keepsBlanks(s)) {
        // Blanks are passed over as nextToken passes them: each ends the tag's name or an
        // unquoted value.
        while (isBlank(*p)) {
            if (*p == ' ' || *p == '\t') s.carried.emitted = false;
            s.markup.collectingTagName = false;
            s.markup.inUnquotedValue = false;
            ++p;
        }
        cursor = p;
    }
    const unsigned char c = static_cast<unsigned char>(*p);
    const bool startsInName = !s.markup.inQuote && !s.markup.afterEquals;
    int n = 0;
    bool endsTag = false;
    if (s.markup.inQuote) {
        if (c == '"') {
            n = 1;
            s.markup.inQuote = false;
        } else if (c != '\f' && (kBytes.byteClass[c] == ORDINARY || kBytes.byteClass[c] == SOLIDUS)) {
            // A piece of the value: in quotes only the closing quote changes a flag.
            n = plainRunAt(p, [](unsigned char b) {
                return b != '\f' && (kBytes.byteClass[b] == ORDINARY || kBytes.byteClass[b] == SOLIDUS);
            });
        }
    } else if (s.markup.afterEquals) {
        if (c == '"') {
            n = 1;
            s.markup.afterEquals = false;
            s.markup.inQuote = true;
        }
    } else if (c == '>') {
        n = 1;
        endsTag = true;
    } else if (c == '=') {
        n = 1;
        s.markup.collectingTagName = false;
        s.markup.afterEquals = true;
    } else if (isPlainNameByte(c) && !s.markup.collectingTagName) {
        n = plainRunAt(p, isPlainNameByte);
        endsTag = n > 0 && p[n - 1] == '>';
    }
    if (n == 0 || (endsTag && isRawTextTag(s.tagName))) return false;
    if (endsTag) noteTagEnd(s);
    s.carried.emitted = false;  // as nextToken before a token
    s.lastToken = {.inTag = true, .inName = startsInName, .endedTag = endsTag};
    s.tokenEnd = p + n;
    std::string& token = s.token;
    token.assign(p, static_cast<size_t>(n));
    if (startsInName && !s.keepCase) {
        for (char& ch : token) ch = toAsciiUpper(ch);
    }
    return true;
}

bool isSeparatorBeforeMore(const Engine& engine, const char* position) {
    // Blanks right before a tag around which browsers ignore white space are not needed,
    // also where comments that are being removed stand between.
    const std::string& rawText = engine.scan.rawTextName;
    const bool skipComments = !engine.options.keepComments && rawText.empty();
    const char* next = position + 1;
    for (;;) {
        while (isBlank(*next)) ++next;
        const char* after = skipComments ? commentEnd(next) : nullptr;
        if (!after) break;
        next = after;
    }
    if (!rawText.empty() && !isRawTextEndAt(next, rawText)) return true;
    return !isWhitespaceInsensitiveTagAt(next);
}


bool isNewlineAt(const Engine& engine, const char* position) {
    return engine.scan.regions.inScript && (*position == '\n' || *position == '\r');
}

std::string& tokenWithSpacing(Engine& engine, std::string& token, const char* cursor) {
    // Where blanks are kept, every blank and line break comes as a token of its own.
    if (keepsBlanks(engine.scan)) return token;
    if (isNewlineAt(engine, cursor)) {
        token.push_back('\n');
    } else if (isSeparatorAt(engine, cursor)) {
        token.push_back(separatorAt(engine.scan, cursor));
    }
    return token;
}

bool isCommentToken(Engine& engine) {
    // Comments are tracked byte by byte by the scanner.
    EngineState& s = engine.scan;
    if (engine.options.keepComments) return false;
    s.inComment = s.markup.inMarkupComment;
    return s.lastToken.inComment;
}

namespace {

// Bytes a neighbour of a line break is looked for across, at most, so that a long tag or
// comment does not make the look costly; what lies further counts as no neighbour.
constexpr int kNeighbourReach = 512;

// Whether the tag at `p` (a '<') is a WBR start tag.
bool isWbrTagAt(const char* p) {
    return (p[1] == 'w' || p[1] == 'W') && (p[2] == 'b' || p[2] == 'B') &&
           (p[3] == 'r' || p[3] == 'R') &&
           (p[4] == '>' || p[4] == '/' || isHtmlSpace(p[4]));
}

// Whether text at `p` may be a character that a line break next to it vanishes beside.
bool mayTakeLineBreakAway(const char* p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c >= 0x80) return true;
    if (c != '&') return false;
    return p[1] == '#' || startsWithIgnoreCase(std::string_view(p + 1, 15), "ZeroWidthSpace;");
}

}  // namespace

bool lineBreakMatters(const EngineState& state, const char* position) {
    const char* end = position;
    bool lineBreak = false;
    while (isBlank(*end)) {
        lineBreak |= *end == '\n' || *end == '\r';
        ++end;
    }
    if (!lineBreak) return false;
    // Forward, past tags and comments, to the next text.
    const char* p = end;
    for (int step = 0; step < 8 && *p == '<'; ++step) {
        if (isWbrTagAt(p)) return true;
        const unsigned char next = static_cast<unsigned char>(p[1]);
        if (!isAsciiAlpha(next) && next != '/' && next != '!') break;  // text, not markup
        const char* close = p;
        while (*close && *close != '>' && close - p < kNeighbourReach) ++close;
        if (*close != '>') return false;
        p = close + 1;
    }
    if (mayTakeLineBreakAway(p)) return true;
    // Backward, past tags and comments, to the text before.
    const char* start = state.pageStart ? state.pageStart : position - 1;
    p = position - 1;
    for (int step = 0; step < 8 && p >= start && *p == '>'; ++step) {
        const char* open = p;
        while (open > start && *open != '<' && p - open < kNeighbourReach) --open;
        if (*open != '<') return false;
        if (isWbrTagAt(open)) return true;
        p = open - 1;
    }
    if (p < start) return false;
    if (static_cast<unsigned char>(*p) >= 0x80) return true;
    if (*p == ';') {  // the end of a character reference: "&#8203;" or "&ZeroWidthSpace;"
        const char* amp = p;
        while (amp > start && p - amp < 20 && *amp != '&') --amp;
        return *amp == '&' && mayTakeLineBreakAway(amp);
    }
    return false;
}

size_t serverHeaderLength(const Engine& engine, std::string_view page, std::string* headerCopy) {
    if (!engine.options.serverHeader) return 0;
    // A page that begins with an empty line has no header.
    if (page.substr(0, 1) == "\n" || page.substr(0, 2) == "\r\n") return 0;
    // The header ends at the first empty line, whether lines end in LF or in CR LF.
    for (size_t i = 0; i < page.size(); ++i) {
        if (page[i] != '\n') continue;
        size_t end = 0;
        if (i + 1 < page.size() && page[i + 1] == '\n') end = i + 2;
        else if (i + 2 < page.size() && page[i + 1] == '\r' && page[i + 2] == '\n') end = i + 3;
        if (end == 0) continue;
        if (headerCopy) headerCopy->assign(page.substr(0, end));
        return end;
    }
    // No empty line: the whole text is header.
    if (headerCopy) {
        headerCopy->assign(page);
        headerCopy->append("\n\n");
    }
    return page.size();
}

size_t keptPrefixLength(const Engine& engine, std::string_view page, std::string* prefix) {
    std::string header;
    size_t h = serverHeaderLength(engine, page, &header);
    if (page.substr(h).starts_with(UTF8_BYTE_ORDER_MARK)) {
        header.append(UTF8_BYTE_ORDER_MARK);
        h += UTF8_BYTE_ORDER_MARK.size();
    }
    if (prefix) *prefix = std::move(header);
    return h;
}

bool endsOutsideMarkup(std::string_view text) {
    const std::string copy(text);  // zero-terminated, for the look-ahead
    EngineState s;
    for (const char* p = copy.c_str(); *p; ++p) noteChar(s, p);
    return !s.markup.inTag && !s.markup.inMarkupComment && s.rawTextName.empty();
}
