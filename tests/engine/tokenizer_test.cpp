// Token streams, separators and comment detection of the page scanner.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine_helpers.h"
#include "tag_table.h"

namespace {

struct TokenCase {
    const char* name;
    std::string_view page;
    std::string_view tokens;  // joined by '|'
};

// Read as JavaScript packing reads them: tag and attribute names upper-cased.
const TokenCase kPackingTokens[] = {
    // Tags and attribute values
    {"quoted value keeps its case", "<A HREF=\"Page.html\">", "<A|HREF|=|\"|Page|.html|\"|>"},
    {"unquoted value keeps its case", "<a href=page.html>", "<A|HREF|=|page|.html>"},
    {"single-quoted value keeps blanks", "<a title='x  y'>", "<A|TITLE|=|'|x| | |y|'|>"},
    {"double-quoted value keeps blanks", "<input value=\"Jane  Doe\">",
     "<INPUT|VALUE|=|\"|Jane| | |Doe|\"|>"},
    {"'>' inside a quoted value", "<a title=\"a>b\">x", "<A|TITLE|=|\"|a>|b|\"|>|x"},
    {"end tag stays whole", "<b>x</b>", "<B>|x|</B>"},
    {"quotes outside tags change nothing", "say \"Hi\" <b>x</b>", "say |\"|Hi|\"|<B>|x|</B>"},
    // Words and punctuation
    {"blank before a tag ends the word", "word <b>", "word |<B>"},
    {"blank before punctuation", "word ,", "word |,"},
    {"punctuation splits", "Hello, world.", "Hello|,|world|."},
    {"dot and question mark lead", "Page.html?x=1", "Page|.html|?x|=|1"},
    {"slash ends a word outside tags", "a/b", "a/|b"},
    {"tilde and quote are single", "a~b\"c", "a|~|b|\"|c"},
    {"blanks and line breaks vanish", "a   \n  b", "a|b"},
    {"0xFF is an ordinary byte", "a\xFF" "b", "a\xFF" "b"},
    // Preformatted text
    {"blanks are tokens in PRE", "<pre>a  b\n</pre>", "<PRE>|a| | |b|\n|</PRE>"},
    {"PRE with attributes", "<pre class=x>a\tb</pre>", "<PRE| |CLASS|=|x>|a|\t|b|</PRE>"},
    {"TT inside PRE does not end it", "<pre><tt>a</tt> b</pre> c",
     "<PRE>|<TT>|a|</TT>| |b|</PRE>|c"},
    {"TEXTAREA keeps blanks", "<textarea>a  b</textarea>", "<TEXTAREA>|a| | |b|</TEXTAREA>"},
    {"HEADER is no PRE", "<header>a  b</header>", "<HEADER>|a|b|</HEADER>"},
    // Script, style and comments
    {"script text keeps case", "<script>If(a<b)x</script>", "<SCRIPT>|If(a|<b)x|</script>"},
    {"comment text is not upper-cased", "<!-- Hi there -->", "<!--|Hi|there|-->"},
    {"doctype", "<!doctype html>", "<!DOCTYPE|HTML>"},
};

TEST(Tokenizer, TokenStreamsAsPackingReadsThem) {
    for (const TokenCase& c : kPackingTokens) {
        SCOPED_TRACE(c.name);
        Engine engine = quietEngine();
        engine.options.keepComments = 1;
        EXPECT_EQ(tokenStream(engine, std::string(c.page), false), c.tokens);
    }
}

TEST(Tokenizer, PlainCompactionKeepsTagCase) {
    Engine engine = quietEngine();
    EXPECT_EQ(tokenStream(engine, "<a HREF=x>T</a>", true), "<a|HREF|=|x>|T|</a>");
}

TEST(Tokenizer, LongTokensAreCutAt499) {
    Engine engine = quietEngine();
    const std::string word(600, 'w');
    const std::string stream = tokenStream(engine, word, false);
    EXPECT_EQ(stream, std::string(499, 'w') + "|" + std::string(101, 'w'));
}

// The text token cutter must cut exactly where the scanner does: random text of the bytes
// that end or split tokens, a token started at every place that is neither a blank nor '<'.
TEST(Tokenizer, TextTokensAreCutAsTheScannerCutsThem) {
    // Every byte that acts on a text token, and ordinary ones beside them in the byte order.
    const std::string alphabet =
        std::string("ab .,?/>=~\"'\t\n\r\fXY\\\xE9<-!#(+:;@[_{}0\x01\x7F\x80\xFF");
    unsigned seed = 7;
    for (int round = 0; round < 400; ++round) {
        std::string text;
        const int size = 1 + round % 40;
        for (int i = 0; i < size; ++i) {
            seed = seed * 1664525u + 1013904223u;
            text.push_back(alphabet[(seed >> 8) % alphabet.size()]);
        }
        if (round % 50 == 0) text.insert(text.size() / 2, std::string(520, 'w'));
        for (size_t at = 0; at < text.size(); ++at) {
            const unsigned char c = static_cast<unsigned char>(text[at]);
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '<') continue;
            Engine engine = quietEngine();
            std::string page = text.substr(at);
            const int expected = scanTokenLength(engine, page.data());
            EXPECT_EQ(scanTextToken(page.c_str()), expected) << "text \"" << page << "\"";
            // Read sixteen bytes at a time, up to the terminating zero.
            EXPECT_EQ(scanTextToken(page.c_str(), page.c_str() + page.size() + 1), expected)
                << "text \"" << page << "\" read wide";
        }
    }
}

// The scanner flags that a token can change, as one comparable value.
std::string flagsOf(const EngineState& s, const char* page) {
    const MarkupPlace& m = s.markup;
    const TokenPlace& t = s.lastToken;
    std::string flags;
    for (const bool flag : {m.inTag, m.inQuote, m.inSingleQuote, m.inUnquotedValue, m.afterEquals,
                            m.collectingTagName, m.inMarkupComment, t.inTag, t.inName,
                            t.endedTag, t.opensTag, t.inComment, s.carried.emitted}) {
        flags.push_back(flag ? '1' : '0');
    }
    return flags + " raw " + s.rawTextName + " name " + s.tagName + " end " +
           std::to_string(s.tokenEnd - page);
}

// The fast cut of a tag's first token must cut it, and leave the flags, as the scanner does;
// tags with region steps and everything that is not a plain start or end tag are left to it.
TEST(Tokenizer, TagOpenersAreCutAsTheScannerCutsThem) {
    const struct {
        std::string_view page;
        bool taken;
    } cases[] = {
        {"<p>x", true},          {"</P>x", true},          {"<a href=x>", true},
        {"<h2 >x", true},        {"<td\tclass=a>", true}, {"<a\nhref=x>", true},
        {"<b1c2>x", true},       {"<a  b>", true},         {"<a =b>", false},
        {"<br/>", false},        {"<x-y>", false},         {"< p>", false},
        {"</>", false},          {"<!-- p -->", false},    {"<!doctype html>", false},
        {"<?xml x?>", false},    {"<1>", false},           {"<p", false},
        {"<pre>a", false},       {"</tt>", false},         {"<title>t", false},
        {"<script>x", false},    {"<STYLE>", false},       {"<textarea>", false},
        {"<xmp>", false},        {"<listing>", false},     {"<html>", false},
        {"</head>", false},      {"<body>", false},        {"<meta charset=x>", false},
        {"<blockquote>", true},  {"<abcdefghijk>", true},
    };
    for (const auto& c : cases) {
        for (const int keepCase : {0, 1}) {
            SCOPED_TRACE(std::string(c.page) + (keepCase ? " keeping case" : ""));
            std::string page(c.page);
            Engine fast = quietEngine();
            Engine scanner = quietEngine();
            fast.scan.keepCase = scanner.scan.keepCase = keepCase;
            fast.scan.carried.emitted = scanner.scan.carried.emitted = true;
            const std::string before = flagsOf(fast.scan, page.data());
            const bool taken = nextTagOpener(fast, page.data());
            EXPECT_EQ(taken, c.taken);
            if (!taken) {
                EXPECT_EQ(flagsOf(fast.scan, page.data()), before) << "changed while not taken";
                continue;
            }
            char* cursor = page.data();
            const std::string& token = nextToken(scanner, cursor);
            EXPECT_EQ(fast.scan.token, token);
            EXPECT_EQ(flagsOf(fast.scan, page.data()), flagsOf(scanner.scan, page.data()));
        }
    }
}

// The fast path inside tags must cut every token as the scanner does and leave the same
// flags: random tags of the pieces that act inside them, read token by token by both, also
// where blanks are kept and where tags keep their case.
TEST(Tokenizer, TagTokensAreCutAsTheScannerCutsThem) {
    const std::vector<std::string> pieces = {
        "href", "Alt", "x9", "data-a_b:c", "=", "\"", "'", "page15", ".html", "?q", ",", "~",
        "/", "<", ">", "!", " ", "  ", "\t", "\n", "\r", "\f", "\xE9", "=\"", "\" ", " =",
        " .", "a b", "<b", "--", std::string(30, 'w')};
    std::mt19937 random(5);
    int taken = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string page = round % 2 ? "<a " : "<td\n";
        const int count = 1 + static_cast<int>(random() % 14);
        for (int i = 0; i < count; ++i) page += pieces[random() % pieces.size()];
        if (round % 3 == 0) page += std::string(520, 'v');  // a token cut at its longest
        page += round % 4 ? "> text" : "";
        const int variant = round % 3;  // 1: blanks kept, 2: tags keep their case
        SCOPED_TRACE("page \"" + page + "\", variant " + std::to_string(variant));
        std::string fastPage = page;
        std::string scannedPage = page;
        Engine fast = quietEngine();
        Engine scanner = quietEngine();
        for (Engine* engine : {&fast, &scanner}) {
            engine->scan.preformatted = variant == 1;
            engine->scan.keepCase = variant == 2;
        }
        char* a = fastPage.data();
        char* b = scannedPage.data();
        for (int step = 0; step < 60 && a && b; ++step) {
            bool cut = step > 0 && nextTagToken(fast, a);
            taken += cut;
            const std::string& fastToken = cut ? fast.scan.token : nextToken(fast, a);
            const std::string& token = nextToken(scanner, b);
            ASSERT_EQ(a == nullptr, b == nullptr) << "step " << step;
            if (!a) break;
            ASSERT_EQ(a - fastPage.data(), b - scannedPage.data()) << "step " << step;
            ASSERT_EQ(fastToken, token) << "step " << step;
            ASSERT_EQ(flagsOf(fast.scan, fastPage.data()), flagsOf(scanner.scan, scannedPage.data()))
                << "step " << step << ", token \"" << token << "\"";
            a += fastToken.size();
            b += token.size();
        }
    }
    EXPECT_GT(taken, 3000);  // the fast path took a good share of the tokens
}

TEST(Tokenizer, RegionStepsAreKnownByName) {
    for (const std::string_view name :
         {"P", "A", "TD", "H2", "BODY", "HEAD", "HTML", "META", "TITLE", "SCRIPT", "STYLE",
          "PRE", "TT", "LISTING", "TEXTAREA", "XMP", "TABLE", "TBODY", "LI", "HEADER", "SPAN",
          "B", "I", "U", "DIV", "FORM", "NOSCRIPT", "MARQUEE", "PLAINTEXT", "IFRAME", "TTT", "PREX",
          "XMPP", "SCRIPTS", "TEXTAREAS", "ABCDEFGHIJK", "T", "HEADS", "METAL", "BODYX"}) {
        EXPECT_EQ(hasRegionStep(name),
                  isHeadTagName(name) || isRawTextTag(name) || preformattedKind(name) >= 0)
            << name;
    }
}

TEST(Tokenizer, EndOfPageLeavesCursorNull) {
    Engine engine = quietEngine();
    std::string page = "  ";
    char* cursor = page.data();
    nextToken(engine, cursor);
    EXPECT_EQ(cursor, nullptr);
}

struct SeparatorCase {
    const char* name;
    std::string_view page;
    std::string_view compacted;
};

// Where plain compaction keeps one blank, and where it may drop it.
const SeparatorCase kSeparators[] = {
    {"two blanks become one", "a  b", "a b"},
    {"two line feeds become one blank", "a\n\nb", "a b"},
    {"blank before an inline tag stays", "word <b>x</b>", "word <b>x</b>"},
    {"two blanks before an inline tag", "word  <b>x</b>", "word <b>x</b>"},
    // A blank that the scanner takes into the word before '<' stays with it.
    {"blank taken by the word", "word <p>x", "word <p>x"},
    // Before a block tag one blank stays (a style sheet may show the block inline); before
    // the inner tags of a table none.
    {"tab before a block tag", "word\t<p>x", "word <p>x"},
    {"tab before a cell tag goes", "word\t<td>x", "word<td>x"},
    {"line break before a block end tag", "x\n</td>", "x</td>"},
    {"line break before an inline tag stays", "x\n<b>y</b>", "x <b>y</b>"},
    {"a run of blanks before a block tag", "</p>\n\n  <p>x", "</p> <p>x"},
    {"a run of blanks before a row tag goes", "</tr>\n\n  <tr>x", "</tr><tr>x"},
    {"line break between inline tags", "one</b>\n<i>two", "one</b> <i>two"},
    {"line break before a doctype", "x\n<!DOCTYPE html>", "x<!DOCTYPE html>"},
    {"blank before a comment stays", "a <!-- c -->b", "a <!---->b"},
    // A removed comment that parted two pieces of text leaves an empty one.
    {"removed comment keeps the blank after it", "word<!-- c -->\nnext", "word<!----> next"},
    {"removed comment before a block tag", "<body> <!-- c -->\n<h1>x", "<body> <h1>x"},
    {"removed comment at the start", "<!-- c --> x", "x"},
    {"blanks in a quoted value", "<input value=\"a  b\">", "<input value=\"a  b\">"},
    {"trailing blank", "x \n", "x "},
};

TEST(Tokenizer, SeparatorsInPlainCompaction) {
    for (const SeparatorCase& c : kSeparators) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(compactText(std::string(c.page)), c.compacted);
    }
}

TEST(Tokenizer, ScriptKeepsItsLineBreaks) {
    EXPECT_EQ(compactText("<script>\na=1\n\nb=2   c\n</script>"),
              "<script> a=1\nb=2 c\n</script>");
}

TEST(Tokenizer, ServerHeaderLength) {
    struct HeaderCase {
        const char* name;
        std::string_view page;
        size_t length;
        std::string_view header;
    };
    const HeaderCase cases[] = {
        {"LF lines", "Content-type: text/html\n\n<p>x", 25, "Content-type: text/html\n\n"},
        {"CR LF lines", "A: 1\r\nB: 2\r\n\r\n<p>x", 14, "A: 1\r\nB: 2\r\n\r\n"},
        {"no empty line: all header", "A: 1\nB", 6, "A: 1\nB\n\n"},
        {"empty line first: no header", "\n\n<p>x", 0, ""},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.name);
        Engine engine = quietEngine();
        engine.options.serverHeader = 1;
        std::string header;
        EXPECT_EQ(serverHeaderLength(engine, c.page, &header), c.length);
        if (c.length) {
            EXPECT_EQ(header, c.header);
        }
    }
    Engine off = quietEngine();
    EXPECT_EQ(serverHeaderLength(off, "A: 1\n\nx", nullptr), 0u);
}

TEST(Tokenizer, EndsOutsideMarkup) {
    const std::pair<std::string_view, bool> cases[] = {
        {"<title>x</title><meta a=b>", true},   {"<meta content=\"x>", false},
        {"<title>x", false},                    {"<!-- open", false},
        {"<script>a</SCRIPT >", true},          {"<script>a</SCRIPT ", false},
        {"<script><!--<script></script>", false}, {"<script><!--<script></script></script>", true},
        {"<style>p{}</style>", true},           {"x < y", true},
    };
    for (const auto& [text, outside] : cases) {
        SCOPED_TRACE(std::string(text));
        EXPECT_EQ(endsOutsideMarkup(text), outside);
    }
}

}  // namespace
