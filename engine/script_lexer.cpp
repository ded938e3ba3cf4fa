#include "script_lexer.h"

#include <bit>
#include <cstring>
#include <string>
#include <string_view>
#include <tuple>

#include "tag_table.h"

namespace {

using Reading = ScriptLexer::Reading;

// What the next byte is part of.
enum Mode : uint8_t {
    CODE,
    SLASH,            // a '/' whose meaning waits for the byte after it
    DOUBLE_QUOTED,    // a "..." string
    SINGLE_QUOTED,    // a '...' string
    TEMPLATE,         // a `...` template, outside its ${...} parts
    TEMPLATE_DOLLAR,  // a '$' in a template: a '{' after it opens an expression
    REGEX,            // a regular expression literal
    REGEX_CLASS,      // a [...] class in one, where '/' ends nothing
    LINE_COMMENT,     // "//", "<!--" or a line's "-->", up to the line break
    BLOCK_COMMENT,
    BLOCK_COMMENT_STAR,  // a '*' in one: a '/' after it ends it
    MODE_COUNT,
};

// By mode, the bytes that may change anything there other than a word being read; the others
// pass straight on. In code every byte may.
constexpr auto kBytesThatMatter = [] {
    std::array<std::array<bool, 256>, MODE_COUNT> matter{};
    for (auto& mode : matter) mode.fill(true);
    const auto only = [&](Mode mode, std::string_view bytes) {
        matter[mode].fill(false);
        for (const char c : bytes) matter[mode][static_cast<unsigned char>(c)] = true;
    };
    only(DOUBLE_QUOTED, "\"\\\n\r");
    only(SINGLE_QUOTED, "'\\\n\r");
    only(TEMPLATE, "`\\$\n\r");  // line breaks end an ambiguous line (see feed)
    only(REGEX, "/\\[\n\r");
    only(REGEX_CLASS, "]\\\n\r");
    only(LINE_COMMENT, "\n\r");
    only(BLOCK_COMMENT, "*\n\r");
    return matter;
}();

// What the last token was: it decides whether a '/' after it begins a regular expression or
// divides, and what kind of bracket a '{' after it opens.
enum Prev : uint8_t {
    P_START,               // the text's start, ';' or a block's '}': a statement may begin
    P_OPERATOR,            // an operator or '(' '[' ',' and the like: a value follows
    P_COLON,
    P_OPEN_BRACE,
    P_DOT,                 // a property name follows, whatever its letters
    P_ARROW,               // "=>"
    P_KEYWORD_EXPRESSION,  // return, typeof, ...: a value follows
    P_KEYWORD_BLOCK,       // else, do, try, finally: a statement or block follows
    P_KEYWORD_CONTROL,     // if, while, for, with, catch, switch: a condition follows
    P_KEYWORD_FUNCTION,
    P_FUNCTION_NAME,
    P_CONTROL_CLOSE,       // the ')' of a condition: a statement follows
    P_PARAMETERS_CLOSE,    // the ')' of a function's parameters: its body follows
    P_OPERAND,             // a name, number, literal, ')' or ']': a '/' after it divides
    P_UNKNOWN_CLOSE,       // a '}' that may end a statement or a value
};

// What a '/' in code may begin.
enum Slash : uint8_t { SLASH_DIVIDES, SLASH_REGEX, SLASH_AMBIGUOUS };

// Kinds of open brackets; 0 is none.
enum Bracket : uint8_t {
    B_NONE,
    B_PAREN,
    B_CONTROL_PAREN,     // the condition of if, while, for, with, catch, switch
    B_PARAMETERS,        // a function declaration's parameters
    B_PARAMETERS_VALUE,  // the parameters of a function that stands where a value goes
    B_SQUARE,
    B_BLOCK,
    B_OBJECT,
    B_FUNCTION_VALUE,    // the body of an arrow function or of a function used as a value
    B_UNKNOWN_BRACE,
    B_TEMPLATE,          // a template's ${...}
};

// Marks on the way to "<!--" or a line's "-->".
enum Marker : uint8_t { M_NONE, M_LESS, M_LESS_BANG, M_LESS_BANG_DASH, M_DASH, M_DASH_DASH };

// How a step ended for its reading.
enum Step : uint8_t {
    STEP_OK,
    STEP_FORK,    // an ambiguous '/': the byte must be read both ways (nothing was taken)
    STEP_DOUBT,   // the reading met what valid text does not hold (a string or regular
                  // expression left open at a line's end); it went on from a fresh line
    STEP_BROKEN,  // the reading lost its brackets: it cannot go on
};

// Bytes of names, keywords and numbers.
constexpr std::array<bool, 256> kWordBytes = [] {
    std::array<bool, 256> word{};
    for (int c = 0; c < 256; ++c) {
        word[static_cast<size_t>(c)] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                       (c >= '0' && c <= '9') || c == '_' || c == '$' || c >= 0x80;
    }
    return word;
}();
bool isWordByte(unsigned char c) { return kWordBytes[c]; }
bool isLineBreak(unsigned char c) { return c == '\n' || c == '\r'; }

constexpr size_t kWordRoom = std::tuple_size_v<decltype(Reading::word)>;

bool divides(uint8_t prev) {
    return prev == P_OPERAND || prev == P_PARAMETERS_CLOSE || prev == P_FUNCTION_NAME;
}

Slash slashAfter(uint8_t prev) {
    if (divides(prev)) return SLASH_DIVIDES;
    if (prev == P_UNKNOWN_CLOSE) return SLASH_AMBIGUOUS;
    return SLASH_REGEX;
}

uint8_t innermost(const Reading& r) { return r.depth ? r.open[r.depth - 1] : uint8_t{B_NONE}; }

bool push(Reading& r, uint8_t kind) {
    if (r.depth == r.open.size()) return false;
    r.open[r.depth++] = kind;
    return true;
}

uint8_t pop(Reading& r) {
    if (r.depth == 0) return B_NONE;
    const uint8_t kind = r.open[--r.depth];
    r.open[r.depth] = B_NONE;  // so that equal readings compare equal
    return kind;
}

// Sets prev for the word just read.
void finishWord(Reading& r) {
    const size_t length = r.wordLength;
    const Reading::Word word = r.word;
    const bool number = r.number;
    r.wordLength = 0;
    r.word.fill(0);
    r.number = 0;
    if (r.prev == P_DOT) {  // a property name, even "return" or "in"
        r.prev = P_OPERAND;
        return;
    }
    if (number || length > kWordRoom) {
        r.prev = r.prev == P_KEYWORD_FUNCTION ? P_FUNCTION_NAME : P_OPERAND;
        return;
    }
    const std::string_view name(reinterpret_cast<const char*>(word.data()), length);
    static constexpr std::string_view kBeforeValue[] = {
        "return", "typeof", "instanceof", "in", "of", "new", "delete",
        "void", "throw", "case", "yield", "await"};
    static constexpr std::string_view kBeforeBlock[] = {"else", "do", "try", "finally"};
    static constexpr std::string_view kBeforeCondition[] = {"if", "while", "for",
                                                           "with", "catch", "switch"};
    for (const std::string_view keyword : kBeforeValue) {
        if (name == keyword) {
            r.prev = P_KEYWORD_EXPRESSION;
            return;
        }
    }
    for (const std::string_view keyword : kBeforeBlock) {
        if (name == keyword) {
            r.prev = P_KEYWORD_BLOCK;
            return;
        }
    }
    for (const std::string_view keyword : kBeforeCondition) {
        if (name == keyword) {
            r.prev = P_KEYWORD_CONTROL;
            return;
        }
    }
    if (name == "function") {
        // A declaration stands where a statement may begin; anywhere else it is a value,
        // and a '/' after its body divides.
        const uint8_t at = innermost(r);
        const bool statement =
            r.prev == P_START || r.prev == P_OPERAND || r.prev == P_KEYWORD_BLOCK ||
            r.prev == P_CONTROL_CLOSE ||
            (r.prev == P_OPEN_BRACE && (at == B_BLOCK || at == B_FUNCTION_VALUE));
        r.functionExpression = !statement;
        r.prev = P_KEYWORD_FUNCTION;
        return;
    }
    if (name == "async") return;  // "async function" and "async x =>" read as without it
    r.prev = r.prev == P_KEYWORD_FUNCTION ? P_FUNCTION_NAME : P_OPERAND;
}

// The kind of bracket a '{' opens after the token before it.
uint8_t braceKind(const Reading& r) {
    switch (r.prev) {
    case P_PARAMETERS_CLOSE:
        return r.functionExpression ? B_FUNCTION_VALUE : B_BLOCK;
    case P_ARROW:
        return B_FUNCTION_VALUE;
    case P_COLON:  // a property's value, a label or a case
        return innermost(r) == B_OBJECT ? B_OBJECT : B_UNKNOWN_BRACE;
    case P_OPEN_BRACE: {
        const uint8_t at = innermost(r);
        if (at == B_BLOCK || at == B_FUNCTION_VALUE) return B_BLOCK;
        return at == B_TEMPLATE ? B_OBJECT : B_UNKNOWN_BRACE;
    }
    case P_OPERATOR:
    case P_KEYWORD_EXPRESSION:
    case P_DOT:
        return B_OBJECT;
    case P_UNKNOWN_CLOSE:
        return B_UNKNOWN_BRACE;
    default:  // a statement's start, a condition, a class name, a method's parameters
        return B_BLOCK;
    }
}

// A string or regular expression met a line break: the reading goes on from a fresh line.
Step leaveAtLineEnd(Reading& r) {
    r.mode = CODE;
    r.escaped = 0;
    r.prev = P_START;
    r.lineStart = 1;
    r.marker = M_NONE;
    r.savedPrev = 0;
    r.lastByte = ' ';
    return STEP_DOUBT;
}

Step stepString(Reading& r, unsigned char c, unsigned char quote) {
    if (r.escaped == 1) {
        r.escaped = c == '\r' ? 2 : 0;  // a backslash and CR LF go on to the next line
        return STEP_OK;
    }
    if (r.escaped == 2) {
        r.escaped = 0;
        if (c == '\n') return STEP_OK;
    }
    if (c == '\\') {
        r.escaped = 1;
    } else if (c == quote) {
        r.mode = CODE;
        r.prev = P_OPERAND;
        r.lastByte = c;
    } else if (isLineBreak(c)) {
        return leaveAtLineEnd(r);
    }
    return STEP_OK;
}

Step stepComment(Reading& r, unsigned char c) {
    if (isLineBreak(c)) r.lineStart = 1;
    switch (r.mode) {
    case LINE_COMMENT:
        if (isLineBreak(c)) {
            r.mode = CODE;
            r.lastByte = ' ';
        }
        break;
    case BLOCK_COMMENT:
        if (c == '*') r.mode = BLOCK_COMMENT_STAR;
        break;
    default:  // BLOCK_COMMENT_STAR
        if (c == '/') {
            r.mode = CODE;
            r.lastByte = ' ';  // a comment parts tokens as a blank does
        } else if (c != '*') {
            r.mode = BLOCK_COMMENT;
        }
    }
    return STEP_OK;
}

// A '+' or '-': doubled right after another, it is ++ or --, which after a value leaves a value.
void noteSign(Reading& r, unsigned char c) {
    if (r.lastByte == c && r.incDecPrev != 0xFF) {
        r.prev = divides(r.incDecPrev) ? P_OPERAND : P_OPERATOR;
        r.incDecPrev = 0xFF;  // a third sign begins a new operator
        return;
    }
    r.incDecPrev = r.prev;
    r.prev = P_OPERATOR;
}

Step stepScriptCode(Reading& r, unsigned char c) {
    if (r.escaped) {  // a backslash in code escapes a letter of a name
        r.escaped = 0;
        r.lastByte = 0;
        return STEP_OK;
    }
    if (isWordByte(c) || (c == '.' && r.wordLength && r.number)) {
        if (r.wordLength == 0) {  // the rest only a word's first byte changes
            r.number = c >= '0' && c <= '9';
            r.lastByte = c;
            r.lineStart = 0;
            r.marker = M_NONE;
            r.savedPrev = 0;
        }
        if (r.wordLength < kWordRoom) r.word[r.wordLength] = c;
        if (r.wordLength <= kWordRoom) ++r.wordLength;
        return STEP_OK;
    }
    if (r.wordLength) finishWord(r);
    uint8_t marker = M_NONE;
    bool broken = false;
    switch (c) {
    case ' ':
    case '\t':
    case '\f':
    case '\v':
        r.lastByte = ' ';  // only what the byte before a sign or '>' was is read from it
        r.marker = M_NONE;
        r.savedPrev = 0;
        return STEP_OK;
    case '\n':
    case '\r':
        r.lastByte = ' ';
        r.lineStart = 1;
        r.marker = M_NONE;
        r.savedPrev = 0;
        return STEP_OK;
    case '"':
        r.mode = DOUBLE_QUOTED;
        break;
    case '\'':
        r.mode = SINGLE_QUOTED;
        break;
    case '`':
        r.mode = TEMPLATE;
        break;
    case '/':
        r.mode = SLASH;
        r.slash = slashAfter(r.prev);
        break;
    case '\\':
        r.escaped = 1;
        break;
    case '(': {
        uint8_t kind = B_PAREN;
        if (r.prev == P_KEYWORD_CONTROL) kind = B_CONTROL_PAREN;
        else if (r.prev == P_KEYWORD_FUNCTION || r.prev == P_FUNCTION_NAME) {
            kind = r.functionExpression ? B_PARAMETERS_VALUE : B_PARAMETERS;
        }
        broken = !push(r, kind);
        r.prev = P_OPERATOR;
        break;
    }
    case ')':
        switch (pop(r)) {
        case B_PAREN: r.prev = P_OPERAND; break;
        case B_CONTROL_PAREN: r.prev = P_CONTROL_CLOSE; break;
        case B_PARAMETERS: r.prev = P_PARAMETERS_CLOSE; r.functionExpression = 0; break;
        case B_PARAMETERS_VALUE: r.prev = P_PARAMETERS_CLOSE; r.functionExpression = 1; break;
        default: broken = true;
        }
        break;
    case '[':
        broken = !push(r, B_SQUARE);
        r.prev = P_OPERATOR;
        break;
    case ']':
        broken = pop(r) != B_SQUARE;
        r.prev = P_OPERAND;
        break;
    case '{':
        broken = !push(r, braceKind(r));
        r.prev = P_OPEN_BRACE;
        break;
    case '}':
        switch (pop(r)) {
        case B_TEMPLATE: r.mode = TEMPLATE; break;
        case B_BLOCK: r.prev = P_START; break;
        case B_OBJECT: r.prev = P_OPERAND; break;
        case B_FUNCTION_VALUE:
        case B_UNKNOWN_BRACE: r.prev = P_UNKNOWN_CLOSE; break;
        default: broken = true;
        }
        break;
    case ';':
        r.prev = P_START;
        break;
    case ':':
        r.prev = P_COLON;
        break;
    case '.':
        r.prev = P_DOT;
        break;
    case '<':
        marker = M_LESS;
        r.savedPrev = r.prev;
        r.prev = P_OPERATOR;
        break;
    case '!':
        if (r.marker == M_LESS) marker = M_LESS_BANG;
        r.prev = P_OPERATOR;
        break;
    case '-':
        if (r.marker == M_LESS_BANG_DASH) {  // "<!--" begins a comment to the line's end
            r.mode = LINE_COMMENT;
            r.prev = r.savedPrev;
            break;
        }
        if (r.marker == M_LESS_BANG) marker = M_LESS_BANG_DASH;
        else if (r.marker == M_DASH) marker = M_DASH_DASH;
        else if (r.lineStart) {
            marker = M_DASH;
            r.savedPrev = r.prev;
        }
        noteSign(r, c);
        break;
    case '+':
        noteSign(r, c);
        break;
    case '>':
        if (r.marker == M_DASH_DASH) {  // "-->" first on a line is a comment too
            r.mode = LINE_COMMENT;
            r.prev = r.savedPrev;
        } else {
            r.prev = r.lastByte == '=' ? P_ARROW : P_OPERATOR;
        }
        break;
    case '*':
        if (r.prev != P_KEYWORD_FUNCTION) r.prev = P_OPERATOR;  // "function*" stays a function
        break;
    default:
        r.prev = P_OPERATOR;
    }
    r.marker = marker;
    r.lastByte = c;
    r.lineStart = 0;
    // What only the next byte or two may read is cleared after, so that two readings that
    // have come to the same place compare equal.
    if (marker == M_NONE) r.savedPrev = 0;
    if (c != '+' && c != '-') r.incDecPrev = 0;
    if (r.prev != P_KEYWORD_FUNCTION && r.prev != P_FUNCTION_NAME &&
        r.prev != P_PARAMETERS_CLOSE) {
        r.functionExpression = 0;
    }
    return broken ? STEP_BROKEN : STEP_OK;
}

Step stepScript(Reading& r, unsigned char c) {
    switch (r.mode) {
    case CODE:
        return stepScriptCode(r, c);
    case SLASH: {
        if (r.slash == SLASH_AMBIGUOUS && c != '/' && c != '*') return STEP_FORK;
        const uint8_t slash = r.slash;
        r.slash = 0;
        if (c == '/' || c == '*') {
            r.mode = c == '/' ? LINE_COMMENT : BLOCK_COMMENT;
            return STEP_OK;
        }
        if (slash == SLASH_REGEX) {
            r.mode = REGEX;
            return stepScript(r, c);
        }
        r.mode = CODE;
        r.prev = P_OPERATOR;
        r.lastByte = '/';
        return stepScriptCode(r, c);
    }
    case DOUBLE_QUOTED:
        return stepString(r, c, '"');
    case SINGLE_QUOTED:
        return stepString(r, c, '\'');
    case TEMPLATE_DOLLAR:
        r.mode = TEMPLATE;
        if (c == '{') {
            r.mode = CODE;
            r.prev = P_OPERATOR;
            r.lastByte = c;
            return push(r, B_TEMPLATE) ? STEP_OK : STEP_BROKEN;
        }
        [[fallthrough]];
    case TEMPLATE:
        if (r.escaped) r.escaped = 0;
        else if (c == '\\') r.escaped = 1;
        else if (c == '$') r.mode = TEMPLATE_DOLLAR;
        else if (c == '`') {
            r.mode = CODE;
            r.prev = P_OPERAND;
            r.lastByte = c;
        }
        return STEP_OK;
    case REGEX:
    case REGEX_CLASS:
        if (isLineBreak(c)) return leaveAtLineEnd(r);
        if (r.escaped) r.escaped = 0;
        else if (c == '\\') r.escaped = 1;
        else if (r.mode == REGEX_CLASS) {
            if (c == ']') r.mode = REGEX;
        } else if (c == '[') {
            r.mode = REGEX_CLASS;
        } else if (c == '/') {
            r.mode = CODE;  // its flags follow as a word
            r.prev = P_OPERAND;
            r.lastByte = c;
        }
        return STEP_OK;
    default:
        return stepComment(r, c);
    }
}

Step stepStyleSheet(Reading& r, unsigned char c) {
    switch (r.mode) {
    case CODE:
        if (r.escaped) {  // an escaped blank belongs to the name before it
            r.escaped = 0;
        } else if (c == '\\') {
            r.escaped = 1;
        } else if (c == '"') {
            r.mode = DOUBLE_QUOTED;
        } else if (c == '\'') {
            r.mode = SINGLE_QUOTED;
        } else if (c == '/') {
            r.mode = SLASH;
            r.slash = SLASH_DIVIDES;
        }
        return STEP_OK;
    case SLASH:
        r.mode = CODE;
        if (c == '*') {
            r.mode = BLOCK_COMMENT;
            return STEP_OK;
        }
        return stepStyleSheet(r, c);
    case DOUBLE_QUOTED:
        return stepString(r, c, '"');
    case SINGLE_QUOTED:
        return stepString(r, c, '\'');
    default:
        return stepComment(r, c);
    }
}

// Whether a space or tab would leave the reading as it is.
bool blanksPass(const Reading& r) {
    if (r.escaped) return false;
    if (r.mode == CODE) return r.wordLength == 0 && r.marker == M_NONE && r.lastByte == ' ';
    return r.mode < MODE_COUNT && !kBytesThatMatter[r.mode][' '] && !kBytesThatMatter[r.mode]['\t'];
}

bool keepsBlanks(const Reading& r) {
    switch (r.mode) {
    case CODE: return r.escaped != 0;
    case SLASH: return r.slash != SLASH_DIVIDES;
    case LINE_COMMENT:
    case BLOCK_COMMENT:
    case BLOCK_COMMENT_STAR: return false;
    default: return true;  // in a literal
    }
}

}  // namespace

void ScriptLexer::start(Language language) {
    *this = ScriptLexer{};
    active_ = true;
    language_ = language;
    count_ = 1;
    if (language == Language::Text) {
        lost_ = true;
        keep = 1;
    }
}

namespace {

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isHtmlSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isHtmlSpace(text.back())) text.remove_suffix(1);
    return text;
}

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    return out;
}

// The value of attribute `name` (lower case) in a start tag's attributes, and whether it is
// there.
bool attributeValue(std::string_view attributes, std::string_view name, std::string& value) {
    size_t i = 0;
    while (i < attributes.size()) {
        while (i < attributes.size() && (isHtmlSpace(attributes[i]) || attributes[i] == '/')) ++i;
        const size_t nameStart = i;
        while (i < attributes.size() && !isHtmlSpace(attributes[i]) && attributes[i] != '=' &&
               attributes[i] != '/') {
            ++i;
        }
        const std::string attribute = lowered(attributes.substr(nameStart, i - nameStart));
        while (i < attributes.size() && isHtmlSpace(attributes[i])) ++i;
        std::string_view found;
        if (i < attributes.size() && attributes[i] == '=') {
            ++i;
            while (i < attributes.size() && isHtmlSpace(attributes[i])) ++i;
            const char quote = i < attributes.size() ? attributes[i] : 0;
            if (quote == '"' || quote == '\'') {
                const size_t end = attributes.find(quote, i + 1);
                const size_t stop = end == std::string_view::npos ? attributes.size() : end;
                found = attributes.substr(i + 1, stop - i - 1);
                i = stop + 1;
            } else {
                const size_t from = i;
                while (i < attributes.size() && !isHtmlSpace(attributes[i])) ++i;
                found = attributes.substr(from, i - from);
            }
        }
        if (attribute == name) {  // the first of a name counts, as in browsers
            value = lowered(found);
            return true;
        }
        if (attribute.empty() && i == nameStart) ++i;  // a byte no name takes
    }
    return false;
}

}  // namespace

ScriptLexer::Language ScriptLexer::languageOfScript(std::string_view attributes) {
    // Types that browsers run as JavaScript, and JSON, which reads as a script's literals.
    static constexpr std::string_view kScriptTypes[] = {
        "application/ecmascript", "application/javascript", "application/x-ecmascript",
        "application/x-javascript", "text/ecmascript", "text/javascript",
        "text/javascript1.0", "text/javascript1.1", "text/javascript1.2",
        "text/javascript1.3", "text/javascript1.4", "text/javascript1.5", "text/jscript",
        "text/livescript", "text/x-ecmascript", "text/x-javascript", "module",
        "application/json", "application/ld+json", "importmap", "speculationrules"};
    std::string type;
    if (!attributeValue(attributes, "type", type)) {
        // Without a type, an old page's language="JavaScript1.2" names it.
        std::string language;
        if (!attributeValue(attributes, "language", language)) return Language::Script;
        type = trimBlanks(language).empty() ? "" : "text/" + std::string(trimBlanks(language));
    }
    // The type's essence: parameters such as "; charset=utf-8" aside.
    std::string_view essence = type;
    essence = trimBlanks(essence.substr(0, essence.find(';')));
    if (essence.empty()) return Language::Script;
    for (const std::string_view known : kScriptTypes) {
        if (essence == known) return Language::Script;
    }
    return Language::Text;
}

void ScriptLexer::stop() { *this = ScriptLexer{}; }

void ScriptLexer::feed(const char* bytes, size_t n) {
    if (!active_ || lost_) return;
    if (language_ == Language::StyleSheet) {  // a style sheet has one reading, and no doubt
        for (size_t i = 0; i < n; ++i) {
            stepStyleSheet(readings_[0], static_cast<unsigned char>(bytes[i]));
        }
        keep = keepsBlanks(readings_[0]);
        return;
    }
    Reading& only = readings_[0];
    for (size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        bool going = true;
        if (count_ == 1) [[likely]] {
            // Most bytes go on a word or lie inside a literal or comment: they are passed
            // quickly.
            if (only.escaped == 0) {
                if (only.mode == CODE) {
                    if (only.wordLength != 0 && isWordByte(c)) {
                        if (only.wordLength < kWordRoom) only.word[only.wordLength] = c;
                        if (only.wordLength <= kWordRoom) ++only.wordLength;
                        continue;
                    }
                } else if (!kBytesThatMatter[only.mode][c]) {
                    continue;
                }
            }
            const Step step = stepScript(only, c);
            if (step == STEP_FORK) {
                forkAt(0, c);
                going = !lost_;
            } else if (step == STEP_BROKEN) {
                going = false;
            }  // a single reading goes on after a doubt
        } else {
            going = stepAll(c);
        }
        if (!going) {
            lost_ = true;
            keep = 1;
            return;
        }
        if (keepLine_ && isLineBreak(c)) keepLine_ = false;
    }
    keep = keepLine_ || (count_ == 1 ? keepsBlanks(only) : anyKeeps());
    blanksPass_ = count_ == 1 && !keepLine_ && blanksPass(only);
}

// Reads the byte both ways at an ambiguous '/': this reading divides, a new one begins a
// regular expression. Without room for it, the lexer is lost.
void ScriptLexer::forkAt(int index, unsigned char c) {
    if (count_ == kReadings) {
        lost_ = true;
        return;
    }
    readings_[static_cast<size_t>(count_)] = readings_[static_cast<size_t>(index)];
    Reading& divided = readings_[static_cast<size_t>(index)];
    Reading& regex = readings_[static_cast<size_t>(count_)];
    ++count_;
    divided.slash = SLASH_DIVIDES;
    regex.slash = SLASH_REGEX;
    keepLine_ = true;
    // Neither can fork again on this byte; one that goes wrong is dropped by the caller's
    // next step, where it stays wrong.
    if (stepScript(divided, c) == STEP_BROKEN) lost_ = true;
    if (stepScript(regex, c) == STEP_BROKEN) lost_ = true;
}

// Steps every reading over `c`. Readings that meet what valid text does not hold are dropped
// while another is left, and readings that have become the same are merged. False when the
// lexer lost its way.
bool ScriptLexer::stepAll(unsigned char c) {
    const int before = count_;
    uint8_t dropped = 0;  // bit i: reading i is dropped
    uint8_t doubted = 0;
    for (int i = 0; i < before; ++i) {
        Reading& r = readings_[static_cast<size_t>(i)];
        switch (stepScript(r, c)) {
        case STEP_OK: break;
        case STEP_FORK: forkAt(i, c); break;
        case STEP_DOUBT: doubted |= static_cast<uint8_t>(1u << i); break;
        case STEP_BROKEN: dropped |= static_cast<uint8_t>(1u << i); break;
        }
        if (lost_) return false;
    }
    if (count_ == 1) return dropped == 0;  // a single reading goes on after a doubt
    // Drop doubted and broken readings while one that went on cleanly is left.
    uint8_t remove = dropped | doubted;
    const uint8_t all = static_cast<uint8_t>((1u << count_) - 1);
    if ((remove & all) == all) {
        if (doubted == 0) return false;
        remove = static_cast<uint8_t>(all & ~(1u << std::countr_zero(doubted)));
    }
    int kept = 0;
    for (int i = 0; i < count_; ++i) {
        if (remove & (1u << i)) continue;
        const Reading& r = readings_[static_cast<size_t>(i)];
        bool same = false;
        for (int k = 0; k < kept && !same; ++k) {
            same = std::memcmp(&readings_[static_cast<size_t>(k)], &r, sizeof r) == 0;
        }
        if (same) continue;
        if (kept != i) readings_[static_cast<size_t>(kept)] = r;
        ++kept;
    }
    count_ = kept;
    return true;
}

bool ScriptLexer::anyKeeps() const {
    for (int i = 0; i < count_; ++i) {
        if (keepsBlanks(readings_[static_cast<size_t>(i)])) return true;
    }
    return false;
}
