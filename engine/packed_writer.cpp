#include "packed_writer.h"

#include <algorithm>
#include <array>

#include "dictionary.h"
#include "regions.h"
#include "tag_table.h"
#include "tokenizer.h"

namespace {

constexpr int kLineLength = 256;      // coded text characters before the string is broken
constexpr size_t kOverflowMargin = 2000;
constexpr std::string_view kLiteralJoin = "\"+\n\"";  // ends a literal, joins the next

// The packed text in two forms: the script literal bytes as written, and the string value
// that JavaScript reads from them.
struct CodedText {
    std::string raw;
    std::string value;
    void put(char c) {
        raw.push_back(c);
        value.push_back(c);
    }
    void put(std::string_view text) {
        raw.append(text);
        value.append(text);
    }
};

bool isBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Whether a word that carries its blank may be coded before `cursor`: the page has a blank
// there, or a tag around which browsers ignore white space.
bool blankIsInvisibleAt(const char* cursor) {
    return isBlank(static_cast<unsigned char>(*cursor)) || isWhitespaceInsensitiveTagAt(cursor);
}

// Whether the token begins a tag with attributes, or is a word outside tags: either way it
// is counted and looked up with one blank after it.
bool takesBlank(const EngineState& s, const std::string& token) {
    if (token.size() <= 1) return false;
    if (token[0] == '<' && token.back() != '>') return true;
    return !s.inTag && !s.tokenInTag && !keepsBlanks(s);
}

// Appends the JavaScript value of a token as written raw: backslashes undoubled.
void appendUnescaped(std::string& value, std::string_view raw) {
    if (std::find(raw.begin(), raw.end(), '\\') == raw.end()) {  // the common case
        value.append(raw);
        return;
    }
    for (size_t i = 0; i < raw.size();) {
        const size_t slash = raw.find('\\', i);
        if (slash == std::string_view::npos) {
            value.append(raw.substr(i));
            return;
        }
        value.append(raw.substr(i, slash + 1 - i));
        i = slash + 1;
        if (i < raw.size() && raw[i] == '\\') ++i;
    }
}

// Hides "<!--", "<script" and "</script" from the HTML parser inside a script literal by
// writing their '<' as the escape \x3C, which JavaScript reads as the same character.
std::string hideMarkup(const std::string& raw) {
    std::string out;
    out.reserve(raw.size());
    size_t copied = 0;
    for (size_t i = raw.find('<'); i != std::string::npos; i = raw.find('<', i + 1)) {
        const std::string_view rest(raw.data() + i + 1, raw.size() - i - 1);
        if (rest.substr(0, 3) == "!--" || startsWithIgnoreCase(rest, "script") ||
            startsWithIgnoreCase(rest, "/script")) {
            out.append(raw, copied, i - copied);
            out += "\\x3C";
            copied = i + 1;
        }
    }
    out.append(raw, copied);
    return out;
}

// Whether the script literals are valid double-quoted JavaScript strings that the HTML parser
// cannot end early: no raw line break or quote, every backslash an escape we write.
bool isSafeLiteral(std::string_view raw) {
    for (size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"' || c == '\n' || c == '\r') return false;
        if (c == '\\') {
            const char next = i + 1 < raw.size() ? raw[i + 1] : 0;
            if (next == '\\' || next == 'n' || next == 'r') {
                ++i;
            } else if (raw.substr(i, 4) == "\\x3C") {
                i += 3;
            } else {
                return false;
            }
        }
        if (c == '<') {
            const std::string_view rest = raw.substr(i + 1);
            if (rest.substr(0, 3) == "!--" || startsWithIgnoreCase(rest, "script") ||
                startsWithIgnoreCase(rest, "/script")) {
                return false;
            }
        }
    }
    return true;
}

bool hasNonAscii(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Whether the scanner stands in ordinary text of the page's body: outside tags, comments,
// raw-text content, scripts, head regions, removed tags and places where blanks are kept.
// There every token is a text token and no region step applies to it.
bool inBodyText(const EngineState& s, int headState) {
    return headState == 0 && !s.inTag && !s.inMarkupComment && s.rawTextName.empty() &&
           !s.scriptEscape && !s.inScript && !s.scriptPending && !s.specialTagOpen &&
           !s.skipToTagEnd && !keepsBlanks(s);
}

// A text token the counting pass offered, with its word's first-seen number: the writing pass
// meets the same token at the same place and needs no second lookup.
struct OfferedWord {
    const char* at;
    int word;
};

// The counting pass: the head text, the bytes used and the words.
struct Counter {
    explicit Counter(Engine& owner) : engine(owner) {}
    Engine& engine;
    std::string headText;
    std::array<unsigned, 256> byteCounts{};  // bytes as they stand
    std::vector<OfferedWord> offered;        // in page order
    std::string key;                         // scratch for a text token and its blank

    // Counts a token of the page's body and offers it as a word.
    void count(std::string& token) {
        const EngineState& s = engine.scan;
        const bool comment = isCommentToken(engine, token);
        if (takesBlank(s, token)) token.push_back(' ');
        for (const char c : token) ++byteCounts[static_cast<unsigned char>(c)];
        if (!s.inComment && !comment && !s.skipToTagEnd) offerWord(engine.dictionary, token);
    }

    // The text tokens from `cursor` up to the next '<' or the page's end, each counted and
    // offered as count() would with the blank it takes.
    void countText(char*& cursor) {
        EngineState& s = engine.scan;
        char* p = cursor;
        const char* end = nullptr;
        for (;;) {
            while (isBlank(static_cast<unsigned char>(*p))) ++p;
            if (*p == 0 || *p == '<') break;
            const int n = scanTextToken(p);
            for (int i = 0; i < n; ++i) ++byteCounts[static_cast<unsigned char>(p[i])];
            if (n > 1) {
                ++byteCounts[' '];
                key.assign(p, static_cast<size_t>(n));
                key.push_back(' ');
                const int word = offerWord(engine.dictionary, key);
                if (word >= 0) offered.push_back({p, word});
            }
            p += n;
            end = p;
        }
        cursor = p;
        if (!end) return;
        noteTextTokenEnd(s, end);
        if (!engine.options.keepComments) s.inComment = 0;  // as isCommentToken after a text token
    }
};

constexpr int kUnknownWord = -2;

// The writing pass: the coded text, and beside it the text it must decode to.
struct Writer {
    Writer(Engine& owner, const std::string& codes, int codeCount, size_t literalRoom,
           const std::vector<OfferedWord>& offeredWords)
        : engine(owner), t(codes), l(codeCount), room(literalRoom), offered(offeredWords) {}
    Engine& engine;
    const std::string& t;
    int l;
    size_t room;  // the coded text's literal bytes must stay below this
    const std::vector<OfferedWord>& offered;
    size_t nextOffered = 0;
    CodedText coded;
    std::string intended;
    int lineCounter = 0;
    bool bodyStarted = false;
    bool packable = true;
    std::string textToken;  // scratch for a text token and its blank

    bool outgrown() const { return coded.raw.size() >= room; }

    void breakLine() {
        if (lineCounter > kLineLength) {
            lineCounter = 0;
            coded.raw += kLiteralJoin;
        }
    }

    // The kept-word index of the text token at `at` that the counting pass offered, or
    // kUnknownWord when it did not offer one there.
    int offeredWordAt(const char* at) {
        while (nextOffered < offered.size() && offered[nextOffered].at < at) ++nextOffered;
        if (nextOffered == offered.size() || offered[nextOffered].at != at) return kUnknownWord;
        return keptWord(engine.dictionary, offered[nextOffered].word);
    }

    // Writes a literal token: letters lower case with the case toggle t[1] around upper-case
    // runs, backslashes doubled, a leading quote as the quote code t[2]. Where the page has a
    // separator after the token, a final lower-case letter is upper-cased to stand for itself
    // and that blank, or a blank follows.
    void writeLiteral(std::string_view token, const char* cursor) {
        EngineState& s = engine.scan;
        intended.append(token);
        std::string& raw = coded.raw;
        const size_t from = raw.size();
        // At most a toggle and a doubled backslash for each byte, a toggle and the blank.
        raw.resize(from + 3 * token.size() + 2);
        char* o = raw.data() + from;
        const char toggle = t[1];
        bool upper = false;
        bool backslash = false;
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
            if (ch == '\\') {
                *o++ = '\\';
                backslash = true;
            }
        }
        if (upper) *o++ = toggle;
        if (!keepsBlanks(s) && isSeparatorAt(engine, cursor)) {
            const char last = token.empty() ? 0 : token.back();
            if (last >= 'a' && last <= 'z') o[-1] = toAsciiUpper(o[-1]);
            else *o++ = ' ';
            s.spaceEmitted = 1;
            intended.push_back(' ');
        } else {
            s.spaceEmitted = 0;
        }
        raw.resize(static_cast<size_t>(o - raw.data()));
        if (raw.size() > from && raw[from] == '"') raw[from] = t[2];
        const std::string_view written(raw.data() + from, raw.size() - from);
        if (backslash) appendUnescaped(coded.value, written);
        else coded.value.append(written);
        lineCounter += static_cast<int>(written.size());
    }

    // Writes kept word `w` as its code, with the blank after it where the word does not
    // carry one and the page has a separator.
    void writeCode(int w, const char* cursor) {
        const EngineState& s = engine.scan;
        intended += engine.dictionary.words[static_cast<size_t>(w)];
        if (w >= l - 3) {
            coded.put(t[0]);
            w -= l;
        }
        coded.put(t[static_cast<size_t>(w + 3)]);
        if (!s.spaceAppended && !keepsBlanks(s) && isSeparatorAt(engine, cursor)) {
            coded.put(' ');
            intended.push_back(' ');
        }
        lineCounter += 1;
    }

    // Writes a token of the page's body, as kept word `w` (-1: none) where its blank does not
    // show, otherwise literally. spaceAppended tells whether the word carries a blank;
    // `cursor` stands just past the token in the page.
    void writeWord(std::string_view token, const char* cursor, int w) {
        const EngineState& s = engine.scan;
        if (w >= 0 && (wordScore(engine.dictionary, w) == 0 ||
                       (s.spaceAppended && !blankIsInvisibleAt(cursor)))) {
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
        s.spaceAppended = takesBlank(s, token);
        int word = -1;
        if (token.size() > 1) {  // shorter ones are never offered
            if (s.spaceAppended) token.push_back(' ');
            word = lookupWord(engine.dictionary, token);
            if (s.spaceAppended) token.pop_back();
        }
        writeWord(token, cursor, word);
    }

    // The text tokens from `cursor` up to the next '<' or the page's end, each written as
    // the token loop would write it.
    void writeText(char*& cursor) {
        EngineState& s = engine.scan;
        char* p = cursor;
        for (;;) {
            for (;; ++p) {  // as nextToken passes blanks over
                const char c = *p;
                if (c == ' ' || c == '\t') s.spaceEmitted = 0;
                else if (c != '\n' && c != '\r') break;
            }
            if (*p == 0 || *p == '<') break;
            const int n = scanTextToken(p);
            int word = -1;
            if (n > 1) {  // the token takes a blank
                word = offeredWordAt(p);
                if (word == kUnknownWord) {
                    textToken.assign(p, static_cast<size_t>(n));
                    textToken.push_back(' ');
                    word = lookupWord(engine.dictionary, textToken);
                }
            }
            const std::string_view token(p, static_cast<size_t>(n));
            p += n;
            noteTextTokenEnd(s, p);
            if (!engine.options.keepComments) s.inComment = 0;
            if (outgrown()) {
                packable = false;  // the packed text outgrew its margin
                break;
            }
            s.spaceAppended = n > 1;
            writeWord(token, p, word);
            breakLine();
        }
        cursor = p;
    }
};

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

bool decodePacked(std::string_view t, std::string_view s, std::string_view c, int l,
                  std::string& decoded) {
    // Entry k of s runs from just after its k-th '~' to the next one.
    std::vector<size_t> starts{0};
    const size_t entries = t.size() * 2;
    for (size_t n = 0; n < entries; ++n) {
        const size_t tilde = s.find('~', starts.back());
        starts.push_back(tilde == std::string_view::npos ? 0 : tilde + 1);
    }
    // t.indexOf for every byte at once: the first position of each byte in t, or -1.
    std::array<long, 256> position;
    position.fill(-1);
    for (size_t k = t.size(); k-- > 0;) position[static_cast<unsigned char>(t[k])] = static_cast<long>(k);
    decoded.clear();
    decoded.reserve(c.size() * 2);
    int u = 0;
    for (size_t i = 0; i < c.size(); ++i) {
        char w = c[i];
        long z = position[static_cast<unsigned char>(w)];
        if (z == 1) {
            u = 1 - u;
        } else if (z > -1 && z < l) {
            if (z == 0) {
                if (++i >= c.size()) return false;
                const long second = position[static_cast<unsigned char>(c[i])];
                if (second < 0) return false;
                z = second + l;
            }
            if (static_cast<size_t>(z) + 1 >= starts.size()) return false;
            const size_t from = starts[static_cast<size_t>(z)];
            const size_t to = starts[static_cast<size_t>(z) + 1];
            if (to == 0 || to - 1 < from) return false;
            decoded.append(s.substr(from, to - 1 - from));
        } else {
            const bool capital = w >= 'A' && w <= 'Z';
            if (u == 1 && !capital) {
                if (static_cast<unsigned char>(w) >= 0x80) return false;
                decoded.push_back(toAsciiUpper(w));
            } else if (u == 0 && capital) {
                decoded.push_back(toAsciiLower(w));
            } else {
                decoded.push_back(w);
            }
            if (capital) decoded.push_back(' ');
        }
    }
    return true;
}

std::optional<std::string> packJavaScript(Engine& engine, std::string& page) {
    EngineState& s = engine.scan;
    const EngineOptions& options = engine.options;
    Dictionary& dictionary = engine.dictionary;
    const size_t size = page.size() + 1;
    const auto dot = [&] {
        if (options.progressDots && engine.console) std::fputs(".", engine.console);
    };

    // Counting pass: the head text, the character histogram and the words.
    resetPageState(engine);
    dot();
    initDictionary(dictionary);
    int headState = clearHeadTag(engine);
    std::string header;
    const size_t h = serverHeaderLength(engine, page, &header);
    Counter counter(engine);
    char* cursor = page.data() + h;
    while (cursor) {
        if (inBodyText(s, headState)) counter.countText(cursor);
        std::string& token = nextToken(engine, cursor);
        if (!cursor) break;
        cursor += token.size();
        headState = openHeadTag(engine, token, headState);
        if (headState != 0) {
            if (!s.skipToTagEnd) counter.headText += tokenWithSpacing(engine, token, cursor);
        } else {
            counter.count(token);
        }
        headState = closeHeadTag(engine, token, headState);
    }
    // Both cases of a letter count as used: the decoder's case toggle makes either.
    for (int c = 0; c < 256; ++c) {
        const unsigned n = counter.byteCounts[static_cast<size_t>(c)];
        if (c >= 'a' && c <= 'z') engine.histogram[static_cast<size_t>(c - 32)] += n;
        else if (c >= 'A' && c <= 'Z') engine.histogram[static_cast<size_t>(c + 32)] += n;
        engine.histogram[static_cast<size_t>(c)] += n;
    }
    const std::string& headText = counter.headText;
    dot();
    rankDictionary(dictionary);
    dot();
    // A page that declares no character set is read by a guess that the packed form's codes
    // would sway; only a page of ASCII text reads the same under every guess.
    const std::string_view body = std::string_view(page).substr(h);
    if (hasNonAscii(body) && !declaresCharset(body)) return std::nullopt;
    const CodeTable table = buildCodeTable(engine.histogram, options.codeCharLimit);
    const int count = trimDictionary(dictionary, table.sectionOne, options.debugDump != 0,
                                     engine.console);
    dot();
    // The escape, the case toggle and the quote code must be code characters.
    if (table.sectionOne < 3) return std::nullopt;
    const int l = std::max(count, 3);
    std::string t = table.t;
    if (static_cast<int>(t.size()) > l + 2) t.resize(static_cast<size_t>(l) + 1);

    std::string out = header;
    out += PACKED_MARKER;
    out += headText;
    out += "<SCRIPT LANGUAGE=\"JavaScript\">\n";
    out += "t=\"" + t + "\";\n";
    std::string wordList;  // the words as they stand in s, each after a '~'
    for (int w = 0; w < count; ++w) wordList += "~" + dictionary.words[static_cast<size_t>(w)];
    wordList += "~";
    const std::string words = "u~u~\"" + wordList;  // the value of s
    out += "s=\"u~u~\"+'\"'+\"" + hideMarkup(wordList) + "\";\n";
    const size_t packedStart = out.size() - header.size();

    // Writing pass: the coded text, and beside it the text it must decode to.
    resetPageState(engine);
    headState = clearHeadTag(engine);
    cursor = page.data() + h;
    // The packed text may not reach the page's size and its margin.
    const size_t limit = size + kOverflowMargin;
    Writer writer(engine, t, l, limit > packedStart + 3 ? limit - packedStart - 3 : 0,
                  counter.offered);
    CodedText& coded = writer.coded;
    std::string& intended = writer.intended;
    while (cursor && writer.packable) {
        if (inBodyText(s, headState)) {
            writer.writeText(cursor);
            if (!writer.packable) break;
        }
        std::string& token = nextToken(engine, cursor);
        if (!cursor) break;
        cursor += token.size();
        s.preformatted = checkPreformatted(engine, token);
        const bool comment = isCommentToken(engine, token);
        const int scriptWasOpen = s.scriptPending;
        headState = openHeadTag(engine, token, headState);
        // A script after the body text began would run before that text once moved into
        // the head: such a page is not packed.
        if (s.scriptPending && !scriptWasOpen && writer.bodyStarted) writer.packable = false;
        if (s.inComment || comment || headState != 0 || s.skipToTagEnd) {
            if (comment && !s.inComment && !keepsBlanks(s) && !intended.empty() &&
                intended.back() != ' ' && isSeparatorAt(engine, cursor)) {
                // A removed comment that a blank followed leaves that blank.
                coded.put(' ');
                intended.push_back(' ');
                ++writer.lineCounter;
            }
        } else if (writer.outgrown()) {
            writer.packable = false;  // the packed text outgrew its margin
        } else if (keepsBlanks(s) && (token == "\n" || token == "\r")) {
            coded.raw += token == "\n" ? "\\n" : "\\r";
            coded.value += token;
            intended += token;
            writer.lineCounter += 2;
        } else {
            writer.writeToken(token, cursor);
        }
        writer.breakLine();
        headState = closeHeadTag(engine, token, headState);
    }
    if (!writer.packable) return std::nullopt;
    const int percentStep = static_cast<int>(coded.raw.size() / 100);

    // Self-check: the head ends outside any markup, the literals are safe, and the decoder
    // rebuilds exactly the intended text.
    std::string decoded;
    const std::string codedRaw = hideMarkup(coded.raw);
    if (!endsOutsideMarkup(std::string(PACKED_MARKER) + headText)) return std::nullopt;
    if (!isSafeLiteral(t) || !isSafeLiteral(hideMarkup(wordList))) return std::nullopt;
    for (size_t piece = 0;;) {  // the coded text's literals, between the "+ line breaks
        const size_t join = codedRaw.find(kLiteralJoin, piece);
        if (!isSafeLiteral(std::string_view(codedRaw).substr(
                piece, join == std::string::npos ? std::string::npos : join - piece))) {
            return std::nullopt;
        }
        if (join == std::string::npos) break;
        piece = join + kLiteralJoin.size();
    }
    if (!decodePacked(t, words, coded.value, l, decoded) || decoded != intended) {
        return std::nullopt;
    }

    out += "c=\"";
    out += codedRaw;
    out += "\";\n";
    out += "function a(n){this.length=n;return this};function d(s,c,t,l){u=0;k=0;o=\"\";";
    out += "r=new a(t.length*2);r[0]=0;for (n=0;n<t.length*2;n++){r[n+1]=s.indexOf(\"~\",r[n])+1;}";
    out += "for (i=0;i<c.length;i++){w=c.charAt(i);f=0;z=t.indexOf(w);if (z==1)u=1-u;else if (z>-1 && z<l){";
    out += "if (z==0) z=t.indexOf(w=c.charAt(++i))+l;o+=s.substring(r[z],r[z+1]-1)}else{";
    out += "if (w>='A' && w <='Z') f=1;if (u==1 && f==0) o+=w.toUpperCase();else if (u==0 && f==1) o+=w.toLowerCase();";
    out += "else o+=w;if (f==1) o+=\" \"};k++;if (k%" + std::to_string(options.outputChunk) +
           "==0){document.write(o);o=\"\";";
    if (options.unpackStatus) {
        out += "self.status=Math.ceil(i/" + std::to_string(percentStep) + ")+\"% unpacking\";";
    }
    out += "}};document.write(o);self.status=\"Quillboxed\";}\n";
    out += "d(s,c,t," + std::to_string(l) + ");";
    out += "\n</SCRIPT>";
    out += "\n</HTML>";
    return out;
}
