#include "packed_writer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <utility>

#include "dictionary.h"
#include "packed_decoder.h"
#include "packed_literals.h"
#include "regions.h"
#include "tag_table.h"
#include "text_buffer.h"
#include "text_tokens.h"
#include "tokenizer.h"
#include "word_probe.h"

static_assert(MAX_TOKEN_LENGTH <= TextTokenList::kLongestToken);

namespace {

using word_probe::lookupTextWord;
using word_probe::offerTextWord;

constexpr int kLineLength = 256;      // coded text characters before the string is broken
constexpr size_t kOverflowMargin = 2000;

// Whether a word that carries its blank may be coded before `cursor`: the page has a blank
// there that a space may stand for, or a tag around which browsers ignore white space.
bool blankIsInvisibleAt(const EngineState& s, const char* cursor) {
    if (isBlank(*cursor)) return separatorAt(s, cursor) == ' ';
    return isWhitespaceInsensitiveTagAt(cursor);
}

// Appends the coded form of a separator: a blank, or a line break as the escape the script
// literal holds it by.
char* codeSeparator(char* o, char separator) {
    if (separator == '\n') {
        *o++ = '\\';
        *o++ = 'n';
    } else {
        *o++ = ' ';
    }
    return o;
}

// Whether the token begins a tag with attributes, or is a word outside tags: either way it
// is counted and looked up with one blank after it.
bool takesBlank(const EngineState& s, const std::string& token) {
    if (token.size() <= 1) return false;
    if (token[0] == '<' && token.back() != '>') return true;
    return !s.markup.inTag && !s.lastToken.inTag && !keepsBlanks(s);
}

bool hasNonAscii(std::string_view text) {
    // Eight bytes at a time: their high bits gathered.
    uint64_t high = 0;
    size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        uint64_t chunk;
        std::memcpy(&chunk, text.data() + i, 8);
        high |= chunk;
    }
    for (; i < text.size(); ++i) high |= static_cast<unsigned char>(text[i]);
    return (high & 0x8080808080808080ull) != 0;
}

// Whether the scanner stands in ordinary text of the page's body: outside tags, comments,
// raw-text content, scripts, head regions, removed tags and places where blanks are kept.
// There every token is a text token and no region step applies to it.
bool inBodyText(const EngineState& s, int headState) {
    return headState == 0 && s.inText() && s.regions == OpenRegions{} && !keepsBlanks(s);
}

// A run of text tokens that the counting pass took from `start` up to `end` (a '<' or the
// page's end): tokens [first, last).
struct TextRun {
    const char* start;
    const char* end;
    size_t first;
    size_t last;
};

// The counting pass: the head text, the bytes used and the words.
struct Counter {
    Counter(Engine& owner, TextTokenList& tokenList, std::vector<TextRun>& runList)
        : engine(owner), tokens(tokenList), runs(runList) {
        tokens.clear();
        runs.clear();
    }
    Engine& engine;
    std::string headText;
    // 1 for each byte seen as it stands in a counted token: only whether a byte is used
    // decides the code characters, and a mark has no chain of additions to wait for.
    std::array<unsigned char, 256> byteSeen{};
    const char* readableEnd = nullptr;        // the page may be read up to here
    // The text runs' tokens, in page order, which the writing pass meets at the same places
    // and needs neither to cut nor to look up again.
    TextTokenList& tokens;
    std::vector<TextRun>& runs;
    // A text token was met that neither a blank nor a tag around which browsers ignore white
    // space follows: the writing pass writes it as it stands, and its body text has begun.
    bool bodyTextBegun = false;
    // A script opened after that: the page is not packable (see WritingPass::takeToken).
    bool scriptAfterText = false;

    // Counts a token of the page's body and offers it as a word.
    void count(std::string& token) {
        const EngineState& s = engine.scan;
        const bool comment = isCommentToken(engine);
        if (takesBlank(s, token)) token.push_back(' ');
        for (const char c : token) byteSeen[static_cast<unsigned char>(c)] = 1;
        if (!s.inComment && !comment && !s.regions.skipToTagEnd) {
            offerWord(engine.dictionary, token);
        }
    }

    // The text tokens from `cursor` up to the next '<' or the page's end, each counted and
    // offered as count() would with the blank it takes.
    void countText(char*& cursor) {
        EngineState& s = engine.scan;
        char* p = cursor;
        const char* lastEnd = cursor;  // the end of the last token, or the run's start
        const size_t first = tokens.size();
        for (;;) {
            while (isBlank(*p)) ++p;  // as nextToken passes them over
            if (*p == 0 || *p == '<') break;
            const int n = scanTextToken(p, readableEnd);
            int word = -1;
            bool known = false;
            if (n > 1) {  // the token takes a blank, which is never a code
                word = offerTextWord(engine.dictionary,
                                     std::string_view(p, static_cast<size_t>(n)), readableEnd,
                                     known);
            }
            if (!known) {  // a known word's bytes were marked when it was first seen
                for (int i = 0; i < n; ++i) byteSeen[static_cast<unsigned char>(p[i])] = 1;
            }
            tokens.push(static_cast<size_t>(p - lastEnd), static_cast<size_t>(n), word);
            if (!bodyTextBegun && !isBlank(p[n]) && !isWhitespaceInsensitiveTagAt(p + n)) {
                bodyTextBegun = true;
            }
            p += n;
            lastEnd = p;
        }
        if (tokens.size() > first) {
            runs.push_back({cursor, p, first, tokens.size()});
            noteTextTokenEnd(s, lastEnd);
            if (!engine.options.keepComments) s.inComment = false;  // as isCommentToken
        }
        cursor = p;
    }
};

// The text runs that the counting pass cut, which the writing pass replays.
struct CountedText {
    const TextTokenList* tokens = nullptr;
    const std::vector<TextRun>* runs = nullptr;
    const char* readableEnd = nullptr;  // the page may be read up to here
};

// By the counter's word numbers, the rank of each word the trimmed dictionary kept (-1 for
// the others).
std::vector<int> keptWordRanks(const Dictionary& dictionary) {
    const size_t words = dictionary.rankOf.size();
    std::vector<int> kept(words);
    for (size_t w = 0; w < words; ++w) kept[w] = keptWord(dictionary, static_cast<int>(w));
    return kept;
}

// Writes `token` from `o` as the decoder reads it back: letters lower case, with the case
// toggle around upper-case runs, and backslashes doubled. Returns the end: at most two bytes
// for each byte of the token and a toggle.
char* codeLetters(std::string_view token, char* o, char toggle) {
    bool upper = false;
    for (const char ch : token) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 'A' && c <= 'Z') {
            if (!upper) *o++ = toggle;
            upper = true;
            *o++ = static_cast<char>(c + ('a' - 'A'));
            continue;
        }
        if (upper && ((c >= 'a' && c <= 'z') || c >= 0x80)) {
            // The decoder upper-cases everything in a run: lower-case and non-ASCII close it.
            *o++ = toggle;
            upper = false;
        }
        *o++ = ch;
        if (ch == '\\') *o++ = '\\';
    }
    if (upper) *o++ = toggle;
    return o;
}

// The buffers a writer fills.
struct WriterBuffers {
    TextBuffer coded;  // the coded text's script literals, as written
    TextBuffer intended;
};

struct Writer {
    Writer(Engine& owner, const Dictionary& words, const std::string& codes, int codeCount,
           size_t literalRoom, const CountedText& counted, const std::vector<int>& ranks,
           WriterBuffers& buffers)
        : engine(owner), dictionary(words), t(codes), l(codeCount), room(literalRoom),
          counter(counted), keptRanks(ranks), coded(buffers.coded), intended(buffers.intended) {
        coded.clear();
        intended.clear();
    }
    Engine& engine;
    const Dictionary& dictionary;
    const std::string& t;
    int l;
    size_t room;  // the coded text's literal bytes must stay below this
    CountedText counter;  // whose text runs are replayed
    const std::vector<int>& keptRanks;  // by counted word number: a kept word's rank, or -1
    size_t nextRun = 0;
    TextBuffer& coded;
    TextBuffer& intended;
    int lineCounter = 0;
    bool bodyStarted = false;
    bool packable = true;

    bool outgrown() const { return coded.size() >= room; }

    void breakLine() {
        if (lineCounter > kLineLength) {
            lineCounter = 0;
            coded.append(kLiteralJoin);
        }
    }

    // Writes a literal token: letters lower case with the case toggle t[1] around upper-case
    // runs, backslashes doubled, a leading quote as the quote code t[2]. Where the page has a
    // separator after the token, a final lower-case letter is upper-cased to stand for itself
    // and that blank, or a blank follows.
    // `readableEnd`, where given, says how far past the token its text may be read.
    void writeLiteral(std::string_view token, const char* cursor,
                      const char* readableEnd = nullptr) {
        EngineState& s = engine.scan;
        if (token.size() <= 16 && readableEnd && readableEnd - token.data() >= 16) {
            intended.appendShort(token.data(), token.size());
        } else {
            intended.append(token);
        }
        // At most a toggle and a doubled backslash for each byte, a toggle and the separator.
        char* const from = coded.room(3 * token.size() + 3);
        char* o = codeLetters(token, from, t[1]);
        if (!keepsBlanks(s) && isSeparatorAt(engine, cursor)) {
            const char separator = separatorAt(s, cursor);
            const char last = token.empty() ? 0 : token.back();
            if (separator == ' ' && last >= 'a' && last <= 'z') o[-1] = toAsciiUpper(o[-1]);
            else o = codeSeparator(o, separator);
            s.carried.emitted = true;
            intended.push_back(separator);
        } else {
            s.carried.emitted = false;
        }
        coded.commit(o);
        if (o > from && *from == '"') *from = t[2];
        lineCounter += static_cast<int>(o - from);
    }

    // Writes kept word `w` as its code, with the blank after it where the word does not
    // carry one and the page has a separator.
    void writeCode(int w, const char* cursor) {
        const EngineState& s = engine.scan;
        intended.append(dictionary.words[static_cast<size_t>(w)]);
        if (w >= l - 3) {
            coded.push_back(t[0]);
            w -= l;
        }
        coded.push_back(t[static_cast<size_t>(w + 3)]);
        lineCounter += 1;
        if (!s.carried.appended && !keepsBlanks(s) && isSeparatorAt(engine, cursor)) {
            const char separator = separatorAt(s, cursor);
            if (separator == '\n') {
                coded.append("\\n");
                lineCounter += 1;
            } else {
                coded.push_back(' ');
            }
            intended.push_back(separator);
        }
    }

    // Writes a token of the page's body, as kept word `w` (-1: none) where its blank does not
    // show, otherwise literally. spaceAppended tells whether the word carries a blank;
    // `cursor` stands just past the token in the page.
    void writeWord(std::string_view token, const char* cursor, int w) {
        const EngineState& s = engine.scan;
        if (w >= 0 && (wordScore(dictionary, w) == 0 ||
                       (s.carried.appended && !blankIsInvisibleAt(s, cursor)))) {
            w = -1;  // coded, its blank would show where the page has none
        }
        if (w >= 0) writeCode(w, cursor);
        else writeLiteral(token, cursor);
        if (!bodyStarted && !intended.empty() &&
            !isBlank(static_cast<unsigned char>(intended.back()))) {
            bodyStarted = true;
        }
    }

    // Writes a token of the token loop, looked up with the blank it takes.
    void writeToken(std::string& token, const char* cursor) {
        EngineState& s = engine.scan;
        s.carried.appended = takesBlank(s, token);
        int word = -1;
        if (token.size() > 1) {  // shorter ones are never offered
            if (s.carried.appended) token.push_back(' ');
            word = lookupWord(dictionary, token);
            if (s.carried.appended) token.pop_back();
        }
        writeWord(token, cursor, word);
    }

    // Writes one text token as the token loop would, `word` its kept-word index (-1: none);
    // false when the coded text outgrew its room.
    bool writeTextToken(std::string_view token, int word) {
        EngineState& s = engine.scan;
        const char* end = token.data() + token.size();
        noteTextTokenEnd(s, end);
        if (!engine.options.keepComments) s.inComment = false;
        if (outgrown()) {
            packable = false;  // the packed text outgrew its margin
            return false;
        }
        s.carried.appended = token.size() > 1;  // the token takes a blank
        writeWord(token, end, word);
        breakLine();
        return true;
    }

    // Kept word w as the decoder meets it: its text and its code of one or two characters.
    struct KeptCode {
        std::string_view word;
        char shortWord[16];  // a word of up to 16 bytes, padded, for a copy of fixed size
        char code[2];
        uint8_t length;
    };
    std::vector<KeptCode> keptCodes;

    void tabulateCodes() {
        keptCodes.resize(static_cast<size_t>(dictionary.count));
        for (int w = 0; w < dictionary.count; ++w) {
            KeptCode& kept = keptCodes[static_cast<size_t>(w)];
            kept.word = dictionary.words[static_cast<size_t>(w)];
            std::memset(kept.shortWord, 0, sizeof kept.shortWord);
            std::memcpy(kept.shortWord, kept.word.data(),
                        std::min(kept.word.size(), sizeof kept.shortWord));
            kept.length = 0;
            int c = w;
            if (c >= l - 3) {
                kept.code[kept.length++] = t[0];
                c -= l;
            }
            kept.code[kept.length++] = t[static_cast<size_t>(c + 3)];
        }
    }

    // Writes a run of text tokens that the counting pass cut, as writeTextToken would one by
    // one. Every token of two or more bytes carries its blank, so a kept word is coded
    // wherever that blank does not show and needs no separator after it. Room for the whole
    // run is made first, and the loop writes through pointers of its own.
    void writeRun(const TextRun& run) {
        EngineState& s = engine.scan;
        TextTokenReader tokens(*counter.tokens, run.first, run.last, run.start);
        const size_t runBytes = static_cast<size_t>(run.end - run.start);
        const size_t count = run.last - run.first;
        // A token writes at most three coded bytes a byte, a toggle, its blank and a literal
        // join, and its bytes and blank as intended text, in copies of up to 16 bytes.
        char* const codedFrom = coded.room(3 * runBytes + (3 + kLiteralJoin.size()) * count);
        char* const intendedFrom = intended.room(runBytes + count + 16);
        const size_t codedStart = coded.size();
        char* co = codedFrom;
        char* io = intendedFrom;
        int lines = lineCounter;
        bool started = bodyStarted;
        int emitted = 0;  // the last token's literal carries the blank after it
        const char toggle = t[1];
        const char quoteCode = t[2];
        const char* const readableEnd = counter.readableEnd;
        const int* const keptRank = keptRanks.data();
        const KeptCode* const codes = keptCodes.data();
        size_t lastLength = 0;
        for (TextToken token; tokens.next(token);) {
            lastLength = token.length;
            const size_t codedSize = codedStart + static_cast<size_t>(co - codedFrom);
            if (codedSize >= room) {
                packable = false;  // the packed text outgrew its margin
                break;
            }
            const char* end = token.at + token.length;
            const int w = token.length > 1 && token.word >= 0
                              ? keptRank[static_cast<size_t>(token.word)]
                              : -1;
            emitted = 0;
            if (w >= 0 && blankIsInvisibleAt(s, end)) {
                const KeptCode& kept = codes[static_cast<size_t>(w)];
                if (kept.word.size() <= sizeof kept.shortWord) {
                    std::memcpy(io, kept.shortWord, sizeof kept.shortWord);
                } else {
                    std::memcpy(io, kept.word.data(), kept.word.size());
                }
                io += kept.word.size();
                co[0] = kept.code[0];
                co[1] = kept.code[1];
                co += kept.length;
                lines += 1;
            } else {
                // Written as writeLiteral writes it; blanks are not kept in body text.
                if (token.length <= 16 && readableEnd && readableEnd - token.at >= 16) {
                    std::memcpy(io, token.at, 16);
                } else {
                    std::memcpy(io, token.at, token.length);
                }
                io += token.length;
                char* const from = co;
                co = codeLetters(std::string_view(token.at, token.length), co, toggle);
                if (isSeparatorAt(engine, end)) {
                    const char separator = separatorAt(s, end);
                    const char lastByte = end[-1];
                    if (separator == ' ' && lastByte >= 'a' && lastByte <= 'z') {
                        co[-1] = toAsciiUpper(co[-1]);
                    } else {
                        co = codeSeparator(co, separator);
                    }
                    emitted = 1;
                    *io++ = separator;
                }
                if (*from == '"') *from = quoteCode;
                lines += static_cast<int>(co - from);
            }
            if (!started && !isBlank(io[-1])) started = true;
            // As breakLine().
            if (lines > kLineLength) {
                lines = 0;
                std::memcpy(co, kLiteralJoin.data(), kLiteralJoin.size());
                co += kLiteralJoin.size();
            }
        }
        coded.commit(co);
        intended.commit(io);
        lineCounter = lines;
        bodyStarted = started;
        s.carried.emitted = emitted;
        if (!packable) return;
        s.carried.appended = lastLength > 1;
        noteTextTokenEnd(s, tokens.end());
        if (!engine.options.keepComments) s.inComment = false;
    }

    // Preformatted text (see inPreformattedText) from `cursor` up to the next '<' or the
    // page's end, each token written as the token loop would write it: a line break as its
    // escape, a blank literally, a text token as its kept word or literally. False, changing
    // nothing, where no token comes before the next '<'.
    bool writePreformattedText(char*& cursor) {
        EngineState& s = engine.scan;
        char* p = cursor;
        if (*p == 0 || *p == '<') return false;
        while (*p != 0 && *p != '<') {
            if (outgrown()) {
                packable = false;  // the packed text outgrew its margin
                break;
            }
            const char c = *p;
            if (c == '\n' || c == '\r') {
                coded.append(c == '\n' ? "\\n" : "\\r");
                intended.push_back(c);
                lineCounter += 2;
                ++p;
            } else {
                const size_t n = c == ' ' || c == '\t'
                                     ? 1
                                     : static_cast<size_t>(scanTextToken(p, counter.readableEnd));
                const std::string_view token(p, n);
                p += n;
                s.carried.appended = false;  // no token takes a blank where blanks are kept
                writeWord(token, p, n > 1 ? lookupWord(dictionary, token) : -1);
            }
            breakLine();
        }
        noteTextTokenEnd(s, p);
        if (!engine.options.keepComments) s.inComment = false;  // as isCommentToken
        cursor = p;
        return true;
    }

    // The text tokens from `cursor` up to the next '<' or the page's end, each written as
    // the token loop would write it.
    void writeText(char*& cursor) {
        EngineState& s = engine.scan;
        const std::vector<TextRun>& runs = *counter.runs;
        while (nextRun < runs.size() && runs[nextRun].start < cursor) ++nextRun;
        if (nextRun < runs.size() && runs[nextRun].start == cursor) {
            // The counting pass cut this run: its tokens are taken as they are.
            writeRun(runs[nextRun]);
            if (packable) cursor = const_cast<char*>(runs[nextRun].end);
            return;
        }
        char* p = cursor;
        for (;;) {
            while (isBlank(*p)) ++p;
            if (*p == 0 || *p == '<') break;
            s.carried.emitted = false;  // as nextToken before a token
            const std::string_view token(
                p, static_cast<size_t>(scanTextToken(p, counter.readableEnd)));
            p += token.size();
            const int word =
                token.size() > 1 ? lookupTextWord(dictionary, token, counter.readableEnd) : -1;
            if (!writeTextToken(token, word)) break;
        }
        cursor = p;
    }
};

// Both packing passes cut an ordinary tag's first token after body text, to which no region
// step applies, and the common tokens inside a tag by fast paths.
FastPath tagOpenerFastPath(Engine& engine, const char* cursor) {
    return engine.scan.regionName.empty() && nextTagOpener(engine, cursor) ? FastPath::Cut
                                                                           : FastPath::None;
}
FastPath insideTagFastPath(Engine& engine, char*& cursor) {
    return engine.scan.markup.inTag && nextTagToken(engine, cursor) ? FastPath::Cut
                                                                    : FastPath::None;
}

// The counting pass on the token loop: head text is gathered, the body's tokens counted.
struct CountingPass {
    Counter& counter;
    Engine& engine = counter.engine;

    // Counting stops at a script after the body text, unless the dictionary's trace is asked
    // for: the page will not be packed.
    bool goesOn() const { return !counter.scriptAfterText || engine.options.debugDump; }
    bool inText(int headState) const { return inBodyText(engine.scan, headState); }
    void takeText(char*& cursor) { counter.countText(cursor); }
    FastPath takeTagOpener(char*& cursor, int&) { return tagOpenerFastPath(engine, cursor); }
    FastPath takeMarkup(char*& cursor, int&) { return insideTagFastPath(engine, cursor); }

    void takeToken(std::string& token, const char* cursor, int& headState, bool regionStep) {
        const EngineState& s = engine.scan;
        if (regionStep) {
            const bool scriptWasOpen = s.regions.scriptPending;
            headState = openHeadTag(engine, token, headState);
            if (s.regions.scriptPending && !scriptWasOpen && counter.bodyTextBegun) {
                counter.scriptAfterText = true;
            }
        }
        if (headState != 0) {
            if (!s.regions.skipToTagEnd) {
                counter.headText += tokenWithSpacing(engine, token, cursor);
            }
        } else {
            counter.count(token);
        }
        if (regionStep) headState = closeHeadTag(engine, token, headState);
    }
};

// The writing pass on the token loop, up to the page's end or to where the page proved not
// packable.
struct WritingPass {
    Writer& writer;
    Engine& engine = writer.engine;

    bool goesOn() const { return writer.packable; }
    bool inText(int headState) const { return inBodyText(engine.scan, headState); }
    void takeText(char*& cursor) { writer.writeText(cursor); }
    FastPath takeTagOpener(char*& cursor, int&) { return tagOpenerFastPath(engine, cursor); }
    FastPath takeMarkup(char*& cursor, int& headState) {
        if (inPreformattedText(engine, headState) && writer.writePreformattedText(cursor)) {
            return FastPath::Taken;
        }
        return insideTagFastPath(engine, cursor);
    }

    void takeToken(std::string& token, const char* cursor, int& headState, bool regionStep) {
        EngineState& s = engine.scan;
        TextBuffer& coded = writer.coded;
        TextBuffer& intended = writer.intended;
        if (regionStep) s.preformatted = checkPreformatted(engine, token);
        const bool comment = isCommentToken(engine);
        if (regionStep) {
            const bool scriptWasOpen = s.regions.scriptPending;
            headState = openHeadTag(engine, token, headState);
            // A script after the body text began would run before that text once moved into
            // the head: such a page is not packed.
            if (s.regions.scriptPending && !scriptWasOpen && writer.bodyStarted) {
                writer.packable = false;
            }
        }
        if (s.inComment || comment || headState != 0 || s.regions.skipToTagEnd) {
            if (comment && !s.inComment && !intended.empty() &&
                removedCommentPartsText(intended.back(), cursor)) {
                writer.writeLiteral(EMPTY_COMMENT, cursor);
            }
            if (comment && !s.inComment && !keepsBlanks(s) && !intended.empty() &&
                intended.back() != ' ' && intended.back() != '\n' &&
                isSeparatorAt(engine, cursor)) {
                // A removed comment that a blank followed leaves that blank.
                const char separator = separatorAt(s, cursor);
                coded.commit(codeSeparator(coded.room(2), separator));  // two bytes at most
                intended.push_back(separator);
                ++writer.lineCounter;
            }
        } else if (writer.outgrown()) {
            writer.packable = false;  // the packed text outgrew its margin
        } else if (keepsBlanks(s) && (token == "\n" || token == "\r")) {
            coded.append(token == "\n" ? "\\n" : "\\r");
            intended.append(token);
            writer.lineCounter += 2;
        } else {
            writer.writeToken(token, cursor);
        }
        writer.breakLine();
        if (regionStep) headState = closeHeadTag(engine, token, headState);
    }
};

// JavaScript packing's working memory, kept in the engine from page to page.
struct PackingWorkspace {
    TextTokenList tokens;
    std::vector<TextRun> runs;
    WriterBuffers written;
    std::string value;  // a literal's value, as JavaScript reads it
};

// Pages of this size and more give their working memory back once done with it: kept, it
// would add several times such a page's size to what the engine holds between pages.
constexpr size_t kLargestHeldPage = size_t{4} << 20;

// Gives back the memory of what the writing pass reads: the counted tokens and runs.
void releaseCounted(PackingWorkspace& workspace) {
    workspace.tokens.release();
    std::vector<TextRun>().swap(workspace.runs);
}

// Gives back the memory of every buffer of the workspace.
void releaseBuffers(PackingWorkspace& workspace) {
    releaseCounted(workspace);
    workspace.written.coded.release();
    workspace.written.intended.release();
    std::string().swap(workspace.value);
}

// Gives the workspace's memory back when the scope that packs a large page is left.
class ReleaseAfterLargePage {
public:
    ReleaseAfterLargePage(PackingWorkspace& workspace, size_t pageSize)
        : workspace_(workspace), large_(pageSize >= kLargestHeldPage) {}
    ReleaseAfterLargePage(const ReleaseAfterLargePage&) = delete;
    ReleaseAfterLargePage& operator=(const ReleaseAfterLargePage&) = delete;
    ~ReleaseAfterLargePage() {
        if (large_) releaseBuffers(workspace_);
    }
    bool large() const { return large_; }

private:
    PackingWorkspace& workspace_;
    bool large_;
};

PackingWorkspace& workspaceOf(Engine& engine) {
    if (!engine.workspace.packing) engine.workspace.packing = std::make_shared<PackingWorkspace>();
    return *static_cast<PackingWorkspace*>(engine.workspace.packing.get());
}

}  // namespace

bool declaresCharset(std::string_view page) {
    if (page.substr(0, 3) == "\xEF\xBB\xBF" || page.substr(0, 2) == "\xFE\xFF" ||
        page.substr(0, 2) == "\xFF\xFE") {
        return true;
    }
    // A META tag with charset=, or http-equiv Content-Type with a charset in its content.
    for (size_t at = 0; (at = page.find('<', at)) != std::string_view::npos; ++at) {
        if (!startsWithIgnoreCase(page.substr(at + 1), "meta")) continue;
        const size_t end = page.find('>', at);
        std::string tag(page.substr(at, end == std::string_view::npos ? page.size() - at
                                                                       : end - at));
        std::transform(tag.begin(), tag.end(), tag.begin(), toAsciiLower);
        if (tag.find("charset") != std::string::npos) return true;
    }
    return false;
}

namespace {

// Whether the page after its server header holds bytes of 128 and above and declares no
// character set: it is then read by a guess that the packed form's codes would sway; only a
// page of ASCII text reads the same under every guess.
bool readsByGuess(std::string_view page, size_t header) {
    const std::string_view body = page.substr(header);
    return hasNonAscii(body) && !declaresCharset(body);
}

// A progress dot on the console, where dots are asked for.
void packingDot(const Engine& engine) {
    if (engine.options.progressDots && engine.console) std::fputs(".", engine.console);
}

// What the counting pass found in a page.
struct CountedPage {
    std::string header;      // the bytes that go out in front as they stand
    size_t bodyFrom = 0;     // where both passes start: just past the header
    size_t charsetFrom = 0;  // where the page's own text starts, past a server header
    std::string headText;    // the head's tokens, which the packed page keeps as text
    std::array<unsigned, 256> histogram{};  // non-zero for each byte of the counted tokens
    bool endsInMarkup = false;  // the page ends inside a tag, a comment or raw text
    bool scriptAfterText = false;  // a script opens after the body text: not packable
    CountedText text;           // the text runs, which the writing pass replays
};

// The counting pass: the head text, the byte histogram, the words (in the engine's
// dictionary) and the text runs (in the workspace).
CountedPage countPage(Engine& engine, std::string& page, bool keepBlanks,
                      PackingWorkspace& workspace) {
    resetPageState(engine);
    engine.scan.pageStart = page.data();
    if (keepBlanks) keepEveryBlank(engine);
    packingDot(engine);
    // Room for the words a page of this size usually holds: the index then rarely grows.
    initDictionary(engine.dictionary, std::min(page.size() / 16, size_t{DICTIONARY_CAPACITY}));
    int headState = clearHeadTag(engine);
    CountedPage counted;
    counted.bodyFrom = keptPrefixLength(engine, page, &counted.header);
    // A byte-order mark goes out in front, and still declares the page's character set.
    counted.charsetFrom = serverHeaderLength(engine, page, nullptr);
    Counter counter(engine, workspace.tokens, workspace.runs);
    counter.readableEnd = page.data() + page.size() + 1;  // the terminating zero is read too
    counter.tokens.reserve(page.size() / 4);  // text words run about five bytes with a blank
    CountingPass counting{counter};
    walkTokens(engine, page.data() + counted.bodyFrom, headState, counting);
    // The packed page goes on after the text its decoder writes ("</SCRIPT>" and "</HTML>"):
    // a page that ends inside a tag, a comment or raw text (an unclosed TEXTAREA, TITLE,
    // PLAINTEXT...) would show that as text, or lose it. Such a page is not packed (see
    // checkByDecoding).
    const EngineState& atEnd = engine.scan;
    counted.endsInMarkup = !atEnd.inText();
    counted.scriptAfterText = counter.scriptAfterText;
    // Both cases of a letter count as used: the decoder's case toggle makes either.
    for (int c = 0; c < 256; ++c) {
        const unsigned n = counter.byteSeen[static_cast<size_t>(c)];
        if (c >= 'a' && c <= 'z') counted.histogram[static_cast<size_t>(c - 32)] += n;
        else if (c >= 'A' && c <= 'Z') counted.histogram[static_cast<size_t>(c + 32)] += n;
        counted.histogram[static_cast<size_t>(c)] += n;
    }
    counted.headText = std::move(counter.headText);
    counted.text = {&workspace.tokens, &workspace.runs, counter.readableEnd};
    packingDot(engine);
    return counted;
}

// The codes chosen for a page's words.
struct ChosenCodes {
    std::string t;          // the code table: escape, case toggle, quote code, the word codes
    int l = 0;              // the code count the decoder is called with
    std::string wordList;   // the kept words as they stand in s, each after a '~'
    std::vector<int> kept;  // by counted word number: the rank of a kept word, or -1
};

// Ranks the counted words and chooses the code table and the words that get a code. Empty
// for a page read by a guess and where the code characters are too few.
std::optional<ChosenCodes> chooseCodes(Engine& engine, const CountedPage& counted,
                                       std::string_view page) {
    const EngineOptions& options = engine.options;
    Dictionary& dictionary = engine.dictionary;
    if (counted.scriptAfterText && !options.debugDump) {
        // Not packed, whatever the codes: the dots go out as for a page that is ranked.
        packingDot(engine);
        if (!readsByGuess(page, counted.charsetFrom)) packingDot(engine);
        return std::nullopt;
    }
    // At most one word for each code character is kept: only those need their order.
    const CodeTable table = buildCodeTable(counted.histogram, options.codeCharLimit);
    rankDictionary(dictionary, static_cast<size_t>(table.sectionOne));
    packingDot(engine);
    // A page read by a guess is not packed.
    if (readsByGuess(page, counted.charsetFrom)) return std::nullopt;
    const int count = trimDictionary(dictionary, table.sectionOne, options.debugDump != 0,
                                     engine.errors);  // the trace never mixes with a piped page
    packingDot(engine);
    // The escape, the case toggle and the quote code must be code characters.
    if (table.sectionOne < 3) return std::nullopt;
    ChosenCodes codes;
    codes.kept = keptWordRanks(dictionary);
    codes.l = std::max(count, 3);
    codes.t = table.t;
    if (static_cast<int>(codes.t.size()) > codes.l + 2) {
        codes.t.resize(static_cast<size_t>(codes.l) + 1);
    }
    for (int w = 0; w < count; ++w) {
        codes.wordList += "~" + dictionary.words[static_cast<size_t>(w)];
    }
    codes.wordList += "~";
    return codes;
}

// The packed page up to its coded text: the header, the marker, the head text, and the
// script's t and s.
std::string packedHead(const CountedPage& counted, const ChosenCodes& codes) {
    std::string out = counted.header;
    out += PACKED_MARKER;
    out += counted.headText;
    out += "<SCRIPT LANGUAGE=\"JavaScript\">\n";
    out += "t=\"" + codes.t + "\";\n";
    out += "s=\"u~u~\"+'\"'+\"" + hideMarkup(codes.wordList) + "\";\n";
    return out;
}

// The coded text and beside it the text it must decode to, in the workspace's buffers.
struct CodedText {
    TextBuffer& coded;     // the coded text's script literals, as written
    TextBuffer& intended;  // the text the decoder must rebuild
};

// The writing pass: the coded text, whose literal bytes must stay below `room`. Empty where
// the page proved not packable.
std::optional<CodedText> writeCodedText(Engine& engine, std::string& page, bool keepBlanks,
                                        const CountedPage& counted, const ChosenCodes& codes,
                                        size_t room, WriterBuffers& buffers) {
    resetPageState(engine);
    engine.scan.pageStart = page.data();
    if (keepBlanks) keepEveryBlank(engine);
    int headState = clearHeadTag(engine);
    Writer writer(engine, engine.dictionary, codes.t, codes.l, room, counted.text, codes.kept,
                  buffers);
    writer.tabulateCodes();
    // Reserved room costs no memory until written: enough that a page which packs at all
    // rarely makes its coded text move.
    writer.coded.reserve(page.size() + 256);
    writer.intended.reserve(page.size() + 256);
    WritingPass writing{writer};
    walkTokens(engine, page.data() + counted.bodyFrom, headState, writing);
    if (!writer.packable) return std::nullopt;
    return CodedText{writer.coded, writer.intended};
}

// The coded text as the packed page holds it.
struct CodedLiterals {
    std::string_view written;  // as the writing pass wrote it
    std::string hidden;        // with markup hidden, where it held any
    std::string_view view() const { return hidden.empty() ? written : std::string_view(hidden); }
};

// The self-check: the head ends outside any markup, the literals read back as written, and
// the decoder rebuilds exactly the intended text. Empty where any of that fails.
std::optional<CodedLiterals> checkByDecoding(const CountedPage& counted, const ChosenCodes& codes,
                                             const CodedText& text, std::string& value) {
    if (counted.endsInMarkup ||
        !endsOutsideMarkup(std::string(PACKED_MARKER) + counted.headText)) {
        return std::nullopt;
    }
    value.clear();
    if (!readLiterals(codes.t, value) || value != codes.t) return std::nullopt;
    value.clear();
    if (!readLiterals(hideMarkup(codes.wordList), value) || value != codes.wordList) {
        return std::nullopt;
    }
    CodedLiterals literals{text.coded.view(), {}};
    if (needsHiding(literals.written)) literals.hidden = hideMarkup(std::string(literals.written));
    const std::string words = "u~u~\"" + codes.wordList;  // the value of s
    if (!decodesTo(literals.view(), codes.t, words, codes.l, text.intended)) return std::nullopt;
    return literals;
}

}  // namespace

std::optional<PackedPage> packJavaScript(Engine& engine, std::string& page, size_t longest) {
    // A page whose styles keep white space keeps every blank.
    const bool keepBlanks = engine.options.keepBlanks || stylesKeepWhiteSpace(page);
    PackingWorkspace& workspace = workspaceOf(engine);
    const ReleaseAfterLargePage release(workspace, page.size());

    const CountedPage counted = countPage(engine, page, keepBlanks, workspace);
    const std::optional<ChosenCodes> codes = chooseCodes(engine, counted, page);
    if (!codes) return std::nullopt;
    std::string out = packedHead(counted, *codes);
    // The packed text may not reach the page's size, its terminator and a margin.
    const size_t packedStart = out.size() - counted.header.size();
    const size_t limit = page.size() + 1 + kOverflowMargin;
    size_t room = limit > packedStart + 3 ? limit - packedStart - 3 : 0;
    // The packed page is at least its head, its coded text and the shortest decoder: the
    // writing pass stops once that is longer than the caller's shorter result.
    const size_t leastBesides = out.size() + decoderLengthFloor(codes->l, engine.options);
    room = std::min(room, longest >= leastBesides ? longest - leastBesides + 1 : 0);
    const std::optional<CodedText> text =
        writeCodedText(engine, page, keepBlanks, counted, *codes, room, workspace.written);
    if (!text || leastBesides + text->coded.size() > longest) return std::nullopt;
    const std::optional<CodedLiterals> literals =
        checkByDecoding(counted, *codes, *text, workspace.value);
    if (!literals) return std::nullopt;
    if (release.large()) {
        // Only the coded text is read from here on: a large page gives back the rest before
        // the packed page grows beside it.
        releaseCounted(workspace);
        text->intended.release();
    }
    appendDecoder(out, literals->view(), text->coded.size(), codes->l, engine.options);
    if (out.size() > longest) return std::nullopt;
    return PackedPage{std::move(out)};
}
