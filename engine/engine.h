// The compaction engine: options, per-page state and the entry points for one page.
//
// Everything one conversion reads and changes lives in one `Engine` object that every
// step takes by reference, so pages can be converted side by side (one engine per thread,
// each page on the thread that converts it) and tests stay independent. The engine neither
// throws nor catches and never ends the process: results are counts, -1 for failure.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "dictionary.h"
#include "script_lexer.h"
#include "served_size.h"

// Method flags: the last argument of convertFile and packBest.
inline constexpr int FLAG_PLAIN = 1;        // run plain compaction
inline constexpr int FLAG_JAVASCRIPT = 2;   // run JavaScript packing
inline constexpr int FLAG_NO_META = 4;      // drop META tags
inline constexpr int FLAG_NO_COMMENTS = 8;  // drop comments
// What flags 0 stand for, for the choice of methods and for stripping alike.
inline constexpr int FLAG_DEFAULT_SET = FLAG_PLAIN | FLAG_JAVASCRIPT | FLAG_NO_COMMENTS;

// The bound that lets convertFile read a page of any size: only memory limits it.
inline constexpr long NO_BOUND = -1;
// Every JavaScript-packed page begins with this marker; a page that does is not packed again.
inline constexpr std::string_view PACKED_MARKER = "<!--Quillbox-->";
// A UTF-8 byte-order mark; a page that begins with one keeps it as its output's first bytes.
inline constexpr std::string_view UTF8_BYTE_ORDER_MARK = "\xEF\xBB\xBF";

// What became of the last page that convertFile or packBest handled.
enum class PageOutcome {
    Converted,       // converted and written
    AlreadyPacked,   // began with the packed-page marker: copied unchanged
    NotRead,         // the input could not be read (reason: the system's words)
    TooLong,         // longer than the caller's bound: refused, never cut
    HoldsZeroBytes,  // a zero byte in the page (UTF-16 or UTF-32 text, binary data)
    NoMemory,        // the page or its results could not be held in memory
    NoMethod,        // the flags chose no method
    NotWritten,      // the output could not be written (reason: the system's words)
};
// The sizes of the last page written: for the ratio line, the desktop's columns and the run
// report.
struct PageSizes {
    const char* method = "";  // "plain", "js" or "copied" (already packed); "" when not written
    size_t input = 0;          // bytes of the page
    size_t output = 0;         // bytes written
    size_t servedInput = 0;    // the same two after the compression options.served names
    size_t servedOutput = 0;
    // With a run report: both after gzip at level 9 and brotli at quality 11.
    bool compressed = false;
    size_t inputGzip = 0, outputGzip = 0, inputBrotli = 0, outputBrotli = 0;
};
struct PageReport {
    PageReport(PageOutcome outcome_ = PageOutcome::Converted, std::string reason_ = {},
               bool copiedThrough_ = false)
        : outcome(outcome_), reason(std::move(reason_)), copiedThrough(copiedThrough_) {}

    PageOutcome outcome;
    std::string reason;  // the system's reason, where it gave one
    bool copiedThrough;  // piping: a page that was not converted went out unchanged
    PageSizes sizes;     // set when the page was written
};
// Why a page was not converted, in words for a message after its name: "cannot be read:
// Permission denied", "holds zero bytes (UTF-16 or UTF-32 text, or binary data)". Empty for
// a page that was converted or already packed.
std::string describeFailure(const PageReport& report);

// Options set by the caller before a page; read-only during it.
struct EngineOptions {
    int progressDots = 1;     // dots and the ratio line on the console stream
    int outputChunk = 300;    // decoder loop steps between two document.write calls
    int unpackStatus = 1;     // the decoder shows the percentage unpacked in the status line
    int regionTagMask = 256;  // head tag table positions skipped when position AND mask != 0
    int codeCharLimit = 256;  // exclusive upper bound of byte values usable as codes
    int keepComments = 0;     // comments are neither recognised nor removed
    int removeMeta = 0;       // META tags are dropped (those declaring the charset stay)
    int debugDump = 0;        // the dictionary builder prints its trace
    int serverHeader = 0;     // pages may begin with a web server's header lines
    int interactive = 1;      // batch conversion asks before each file
    int keepBlanks = 0;       // every blank of the page is kept: convertFile sets it for a page
                              // whose linked style sheets keep white space
    Served served = Served::Raw;  // both methods: the one smaller after this compression is kept
};

// Where the scanner stands in the page's markup, as a browser reads it. Outside a tag every
// field but inMarkupComment is false, so MarkupPlace{} means ordinary text or raw text.
struct MarkupPlace {
    bool inTag = false;              // between a tag-opening '<' and its '>'
    bool inQuote = false;            // inside a double-quoted attribute value
    bool inSingleQuote = false;      // inside a single-quoted attribute value
    bool inUnquotedValue = false;    // inside an unquoted attribute value (to a blank or '>')
    bool afterEquals = false;        // an '=' inside a tag waits for its value
    bool collectingTagName = false;  // the tag's name is still being read
    bool inMarkupComment = false;    // inside a comment, as a browser reads it
    bool operator==(const MarkupPlace&) const = default;
};

// What the token just cut began in, or did.
struct TokenPlace {
    bool inTag = false;      // began inside a tag or opened one
    bool inName = false;     // began on a tag or attribute name
    bool endedTag = false;   // closed the tag it was in
    bool opensTag = false;   // its first character opened a tag
    bool inComment = false;  // opened a comment or lay inside one
    bool operator==(const TokenPlace&) const = default;
};

// The head-part regions a pass has open.
struct OpenRegions {
    bool inScript = false;        // the tokens are inside a SCRIPT region
    bool scriptPending = false;   // a SCRIPT region is open
    bool specialTagOpen = false;  // a head tag matched and has not ended
    bool skipToTagEnd = false;    // a tag is being removed up to its closing '>'
    bool operator==(const OpenRegions&) const = default;
};

// The blank after the current token, as the packed writer carries it.
struct CarriedBlank {
    bool appended = false;  // the writing pass appended a space to the current token
    bool emitted = false;   // the last literal token already carries the blank after it
    bool operator==(const CarriedBlank&) const = default;
};

// Per-page scanner and region state; cleared by resetPageState before every pass.
struct EngineState {
    MarkupPlace markup;      // set as bytes are scanned
    TokenPlace lastToken;
    const char* commentBody = nullptr;  // first byte after the "<!--" of the open comment
    // Raw-text content (script, style, textarea, title, xmp): only its own end tag is markup.
    std::string rawTextName;
    const char* rawTextStart = nullptr;  // first byte of the raw-text content
    int scriptEscape = 0;    // in script text: 1 after "<!--", 2 after a "<script" inside that
    ScriptLexer scriptText;  // reads script and style sheet content for literals, whose blanks
                             // are kept
    std::string tagName;     // name of the tag being scanned, upper case ("/P" for an end tag)

    OpenRegions regions;
    bool preformatted = false;  // inside PRE, LISTING, TT, TEXTAREA, XMP or PLAINTEXT
    int preDepth = 0;           // how many preformatted elements are open (they nest)
    std::array<int, 6> preCount{};  // open elements per preformatted tag kind
    bool inComment = false;     // inside a comment that is being removed
    bool keepCase = false;      // tag tokens keep their case (plain compaction)
    CarriedBlank carried;
    std::string regionName;  // open TITLE or SCRIPT region, empty when none

    const char* tokenEnd = nullptr;  // just past the last token scanned (lookahead start)
    const char* pageEnd = nullptr;   // the page's terminating zero byte, when known: wide reads
                                     // may go up to it and no further
    std::string token;               // the current token; reused, so no allocation per token
    const char* pageStart = nullptr; // the page's first byte, when known: looks back stop there

    // Outside tags, comments and raw-text content.
    bool inText() const {
        return markup == MarkupPlace{} && rawTextName.empty() && scriptEscape == 0;
    }
};

// Working memory that a method keeps from page to page, so large pages neither allocate nor
// fault in their buffers anew. A copy of an engine starts without any: copies may be used on
// other threads, and never share it.
class EngineWorkspace {
public:
    EngineWorkspace() = default;
    EngineWorkspace(const EngineWorkspace&) {}
    EngineWorkspace& operator=(const EngineWorkspace&) { return *this; }
    std::shared_ptr<void> packing;  // JavaScript packing's buffers
};

// Everything one conversion reads and changes.
struct Engine {
    EngineOptions options;
    EngineState scan;
    Dictionary dictionary;
    std::FILE* console = stdout;            // dots, ratio lines and prompts; null for silence
    std::FILE* errors = stderr;             // failure messages and the dictionary trace;
                                            // null for silence
    std::FILE* input = stdin;               // piped pages and the batch prompt's answers
    std::FILE* output = stdout;             // pages written without a file name
    std::FILE* report = nullptr;            // when set, one JSON line for every page tried
    EngineWorkspace workspace;
    // When set, converted pages go here instead of to a file or the output stream: it gets the
    // page's text and returns 0, or an errno value, or sets words for a failure without one.
    std::function<int(std::string_view text, std::string& reason)> pageWriter;
    PageReport lastPage;  // what became of the last page convertFile or packBest handled
};

// Converts one page: reads it whole (standard input when inputName is null), copies an
// already packed page unchanged, otherwise packs it with packBest and writes the result to
// outputName (standard output when null). A page longer than `bound` bytes (NO_BOUND: no
// limit) or holding a zero byte is refused and nothing is written, except in piping (no input
// and no output name), where a page holding a zero byte is copied through unchanged. Returns
// the bytes written, 0 when the output cannot be written, -1 on every other failure;
// engine.lastPage tells what became of the page and why.
long convertFile(Engine& engine, const char* inputName, std::string* outputName, long bound,
                 int flags);

// Converts a page already read, as convertFile does after reading it. `inputName` names where
// it came from (its linked style sheets are looked for beside it), or is null for a piped page.
long convertPage(Engine& engine, std::string& page, const char* inputName,
                 std::string* outputName, int flags);

// Runs the methods chosen by `flags` on `page`, writes the shorter result (an equal length
// goes to JavaScript packing) and prints the dots and the ratio line. `length` is ignored.
// A page holding a zero byte is refused (-1). A UTF-8 byte-order mark at the page's start
// (after a server header) stays the output's first bytes there, with either method.
long packBest(Engine& engine, std::string& page, std::string* outputName, long length,
              int flags);

// Reads a whole page; `bound` becomes its length. Empty, with engine.lastPage telling why,
// when it cannot be read, cannot be held in memory or is longer than `bound` (NO_BOUND: no
// limit), which is then refused rather than cut.
std::optional<std::string> readPage(Engine& engine, const char* inputName, long& bound);
// The same, from an open stream, which is left open.
std::optional<std::string> readPageFrom(Engine& engine, std::FILE* stream, long& bound);

// Writes `text` to outputName (standard output when null); every '?' in the name becomes '_'
// first, in the caller's string. A named file is replaced atomically. Returns the length
// written, or 0 after printing "Error writing file <name>: <reason>" on the error stream.
long writePageBytes(Engine& engine, std::string* outputName, const char* text, long length);
long writePage(Engine& engine, std::string* outputName, const std::string& text);

void setOutputChunk(Engine& engine, int count);
void setCodeCharLimit(Engine& engine, int count);

// Plain compaction: the page's tokens with single separators, comments and the page's own
// HTML and HEAD tags left out.
std::string compactPlain(Engine& engine, std::string& page);

// A JavaScript-packed page.
struct PackedPage {
    std::string text;
    bool operator==(const PackedPage&) const = default;
};

// JavaScript packing: the page as a head part and a self-decoding script. Empty when the
// page cannot be packed so that it comes back intact, and when the packed page would be
// longer than `longest` bytes (a shorter result the caller has already): packing then stops
// as soon as that is sure. The page is left as it is.
std::optional<PackedPage> packJavaScript(Engine& engine, std::string& page,
                                         size_t longest = SIZE_MAX);
