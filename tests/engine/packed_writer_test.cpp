// JavaScript packing: the exact packed page, the dictionary, and pages that must not be packed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "dictionary.h"
#include "engine_helpers.h"
#include "long_page.h"
#include "packed_decoder.h"
#include "packed_page.h"
#include "word_probe.h"

namespace {

// Packs `page` and reads the result back; fails the test when there is no packed page.
PackedParts packAndParse(Engine& engine, const std::string& page, std::string* whole = nullptr) {
    const auto packed = packText(engine, page);
    PackedParts parts;
    EXPECT_TRUE(packed.has_value()) << page;
    if (!packed) return parts;
    EXPECT_TRUE(parsePackedPage(*packed, parts)) << *packed;
    if (whole) *whole = *packed;
    return parts;
}

std::string decodedText(const PackedParts& parts) {
    std::string decoded;
    EXPECT_TRUE(decodePacked(parts.t, parts.s, parts.c, parts.l, decoded));
    return decoded;
}

TEST(PackedWriter, WorkedExampleIsExact) {
    Engine engine = quietEngine();
    const auto packed = packText(engine, "<P>Hi there Hi there Bob \"x\" yy yy</P>\n");
    ASSERT_TRUE(packed);
    const std::string expected =
        "<!--Quillbox--><SCRIPT LANGUAGE=\"JavaScript\">\n"
        "t=\"\x01\x02\x03\x04\";\n"
        "s=\"u~u~\"+'\"'+\"~there ~Hi ~yy ~\";\n"
        // The last "yy" is written as it stands: coded, it would bring a blank before </P>,
        // which shows where a style sheet makes the paragraph inline.
        "c=\"<\x02p>\x02\x01\x02\x01\x01\x01\x02\x01\x01\x02" "b\x02ob \x03x\x03 \x01\x03yy"
        "</\x02p>\x02 \";\n"
        "function a(n){this.length=n;return this};function d(s,c,t,l){u=0;k=0;o=\"\";"
        "r=new a(t.length*2);r[0]=0;for (n=0;n<t.length*2;n++){r[n+1]=s.indexOf(\"~\",r[n])+1;}"
        "for (i=0;i<c.length;i++){w=c.charAt(i);f=0;z=t.indexOf(w);if (z==1)u=1-u;else if (z>-1 && z<l){"
        "if (z==0) z=t.indexOf(w=c.charAt(++i))+l;o+=s.substring(r[z],r[z+1]-1)}else{"
        "if (w>='A' && w <='Z') f=1;if (u==1 && f==0) o+=w.toUpperCase();else if (u==0 && f==1) o+=w.toLowerCase();"
        "else o+=w;if (f==1) o+=\" \"};k++;if (k%300==0){document.write(o);o=\"\";"
        "self.status=Math.ceil(i/0)+\"% unpacking\";}};document.write(o);self.status=\"Quillboxed\";}\n"
        "d(s,c,t,3);\n</SCRIPT>\n</HTML>";
    EXPECT_EQ(*packed, expected);
    PackedParts parts;
    ASSERT_TRUE(parsePackedPage(*packed, parts));
    EXPECT_EQ(decodedText(parts), "<P>Hi there Hi there Bob \"x\" yy yy</P> ");
}

// Preformatted text keeps every blank and line break: its tokens are written one by one, words
// looked up without a blank. The coded text c as it stands in the packed page.
TEST(PackedWriter, PreformattedTextTable) {
    const struct {
        const char* name;
        std::string_view page;
        std::string_view coded;
    } cases[] = {
        {"words, blanks, tabs and line breaks", "<pre>int main  main\tmain\r\n  return main;\n</pre>",
         "<\x02" "pre>\x02" "int main  main\tmain\\r\\n  return main;\\n</\x02" "pre>\x02" ""},
        {"a '<' that opens no tag", "<pre>a < b  lessthan lessthan < c</pre>x",
         "<\x02" "pre>\x02" "a < b  lessthan lessthan < c</\x02" "pre>\x02" "x"},
        {"tags and a comment inside", "<pre>word <b>word</b>  <!-- c --> word\n</pre> word",
         "<\x02" "pre>\x02" "\x01" "\x01" "<\x02" "b>\x02" "word</\x02" "b>\x02"
         "  \\x3C!----> word\\n</\x02" "pre>\x02" " word"},
        {"text up to the page's end", "<pre>tail  tail\n tail",
         "<\x02" "pre>\x02" "tail  tail\\n tail"},
        {"a quote, a backslash and capitals", "<pre>\"Say\"  \\n  SAY say  \"Say\"</pre>",
         "<\x02" "pre>\x02" "\x03" "\x02" "s\x02" "ay\x03" "  \\\\n  \x02" "say\x02" " say  \x03"
         "\x02" "s\x02" "ay\x03" "</\x02" "pre>\x02" ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Engine engine = quietEngine();
        const auto packed = packText(engine, std::string(c.page));
        ASSERT_TRUE(packed);
        const size_t from = packed->find("\nc=\"");
        const size_t to = packed->find("\";\nfunction");
        ASSERT_NE(from, std::string::npos);
        ASSERT_NE(to, std::string::npos);
        EXPECT_EQ(packed->substr(from + 4, to - from - 4), c.coded);
    }
}

TEST(PackedWriter, OutputChunkGoesIntoTheDecoder) {
    Engine engine = quietEngine();
    setOutputChunk(engine, 400);
    const auto packed = packText(engine, "<p>one two one two</p>");
    ASSERT_TRUE(packed);
    EXPECT_NE(packed->find("if (k%400==0)"), std::string::npos);
}

TEST(Dictionary, EqualScoresKeepFirstSeenOrder) {
    Dictionary dictionary;
    initDictionary(dictionary);
    for (const char* word : {"bb ", "aa ", "bb ", "aa ", "cccc ", "cccc "}) offerWord(dictionary, word);
    rankDictionary(dictionary);
    ASSERT_EQ(trimDictionary(dictionary, 10, false, nullptr), 3);
    EXPECT_EQ(dictionary.words[0], "cccc ");
    EXPECT_EQ(dictionary.words[1], "bb ");
    EXPECT_EQ(dictionary.words[2], "aa ");
    EXPECT_EQ(lookupWord(dictionary, "aa "), 2);
    EXPECT_EQ(lookupWord(dictionary, "zz "), -1);
}


// The room made for the words up front changes nothing the dictionary answers: the same
// numbers and counts whether the index starts small and grows or starts large, up to the
// capacity, with backslash words (never taken, however often offered) among them.
TEST(Dictionary, RoomMadeUpFrontGivesTheSameNumbersAsGrowing) {
    std::vector<std::string> offers;
    for (int i = 0; i < 2 * DICTIONARY_CAPACITY; ++i) {
        const int word = (i * 7919) % (DICTIONARY_CAPACITY + 500);  // past the capacity too
        std::string text = "w" + std::to_string(word);
        if (word % 50 == 0) text += "\\x";                         // a backslash word
        if (word % 3 == 0) text += "-and-a-tail-past-sixteen-bytes";  // compared beyond the probe
        offers.push_back(text + " ");
    }
    const auto offered = [&](size_t room) {
        Dictionary dictionary;
        initDictionary(dictionary, room);
        std::vector<int> numbers;
        for (const std::string& word : offers) numbers.push_back(offerWord(dictionary, word));
        return std::make_pair(numbers, dictionary.counts);
    };
    const auto growing = offered(0);
    EXPECT_GT(std::count(growing.first.begin(), growing.first.end(), -1), 0);
    for (const size_t room : {size_t{1}, size_t{100}, size_t{DICTIONARY_CAPACITY}}) {
        EXPECT_EQ(offered(room), growing) << room;
    }
    for (size_t i = 0; i < offers.size(); ++i) {
        if (offers[i].find('\\') != std::string::npos) {
            EXPECT_EQ(growing.first[i], -1) << offers[i];
        }
    }
}
// Ranking only the highest places puts the same words there, in the same order, as ranking
// all of them; every word keeps a place that its first-seen number finds.
TEST(Dictionary, RankingTheHighestPlacesOnly) {
    // Words of lengths 2 to 7 offered 1 to 9 times: many equal scores, and words seen once.
    std::vector<std::string> offers;
    unsigned seed = 7;
    for (int i = 0; i < 400; ++i) {
        seed = seed * 1103515245u + 12345u;
        const int length = 2 + static_cast<int>((seed >> 16) % 6);
        const int word = static_cast<int>((seed >> 8) % 90);
        offers.push_back(std::string(static_cast<size_t>(length), static_cast<char>('a' + word % 26)) +
                         std::to_string(word) + " ");
    }
    const auto ranked = [&](size_t ordered) {
        Dictionary dictionary;
        initDictionary(dictionary);
        for (const std::string& word : offers) offerWord(dictionary, word);
        rankDictionary(dictionary, ordered);
        return dictionary;
    };
    const Dictionary all = ranked(SIZE_MAX);
    for (const size_t ordered : {size_t{0}, size_t{1}, size_t{5}, size_t{30}, size_t{89},
                                 size_t{500}}) {
        SCOPED_TRACE("ordered " + std::to_string(ordered));
        const Dictionary some = ranked(ordered);
        ASSERT_EQ(some.words.size(), all.words.size());
        const size_t sure = std::min(ordered, all.words.size());
        for (size_t rank = 0; rank < sure; ++rank) {
            EXPECT_EQ(some.words[rank], all.words[rank]) << rank;
            EXPECT_EQ(some.counts[rank], all.counts[rank]) << rank;
        }
        for (size_t firstSeen = 0; firstSeen < some.rankOf.size(); ++firstSeen) {
            const size_t rank = static_cast<size_t>(some.rankOf[firstSeen]);
            EXPECT_EQ(some.words[rank], all.words[static_cast<size_t>(all.rankOf[firstSeen])]);
        }
        // Repeated words still come before those seen once.
        const auto firstOnce = std::find(some.counts.begin(), some.counts.end(), 0);
        EXPECT_TRUE(std::all_of(firstOnce, some.counts.end(), [](int n) { return n == 0; }));
    }
}

// A text word read in place from the page (eight bytes at a time where the page goes on) is
// the same word as a token with its blank: at every length, with the page ending right after
// it or going on, either way round.
TEST(Dictionary, TextWordsInPlaceMatchTokensWithTheirBlank) {
    const std::string letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    for (size_t length = 2; length <= 40; ++length) {
        const std::string word = letters.substr(length % 7, length);
        for (const char* after : {"", " and more text after it"}) {
            const std::string page = word + after;  // the word at the page's start
            const char* readableEnd = page.data() + page.size() + 1;
            Dictionary dictionary;
            initDictionary(dictionary);
            bool known = true;
            EXPECT_EQ(word_probe::offerTextWord(dictionary, std::string_view(page.data(), length),
                                                readableEnd, known),
                      0);
            EXPECT_FALSE(known);
            EXPECT_EQ(offerWord(dictionary, word + " "), 0) << word;
            EXPECT_EQ(offerWord(dictionary, word), 1) << word;  // without its blank: another
            EXPECT_EQ(word_probe::offerTextWord(dictionary, std::string_view(page.data(), length),
                                                readableEnd, known),
                      0);
            EXPECT_TRUE(known);
            EXPECT_EQ(dictionary.counts, (std::vector<int>{2, 0})) << word;
        }
    }
}

TEST(Dictionary, TrimKeepsRepeatedWordsUpToTheCodeCharacters) {
    Dictionary dictionary;
    initDictionary(dictionary);
    for (const char* word : {"once ", "x", "twice ", "twice ", "three ", "three ", "three ", "a\\b", "a\\b"}) {
        offerWord(dictionary, word);
    }
    rankDictionary(dictionary);
    EXPECT_EQ(trimDictionary(dictionary, 1, false, nullptr), 1);
    EXPECT_EQ(dictionary.words[0], "three ");
    EXPECT_EQ(lookupWord(dictionary, "twice "), -1);  // beyond the kept count
    EXPECT_EQ(lookupWord(dictionary, "a\\b"), -1);     // backslash words are never offered
}

TEST(Dictionary, CodeTableTakesUnseenBytesFirstAndStaysAscii) {
    std::array<unsigned, 256> histogram{};
    histogram['e'] = histogram['E'] = 1;  // a letter seen marks both its cases
    const CodeTable table = buildCodeTable(histogram, 256);
    EXPECT_EQ(table.t.find('e'), table.t.find('e'));
    EXPECT_GE(static_cast<int>(table.t.find('e')), table.sectionOne);
    EXPECT_GE(static_cast<int>(table.t.find('E')), table.sectionOne);
    EXPECT_TRUE(std::all_of(table.t.begin(), table.t.end(),
                            [](char c) { return c > 0 && static_cast<unsigned char>(c) < 128; }));
    for (char excluded : {'"', '\\', ' ', '\n', '\r', '\t'}) {
        EXPECT_EQ(table.t.find(excluded), std::string::npos);
    }
    EXPECT_EQ(buildCodeTable(histogram, 127).t.find('\x7F'), std::string::npos);
}

TEST(Dictionary, DebugDumpPrintsTheKeptWords) {
    std::FILE* trace = std::tmpfile();
    Dictionary dictionary;
    initDictionary(dictionary);
    for (const char* word : {"ab ", "ab ", "cd "}) offerWord(dictionary, word);
    rankDictionary(dictionary);
    trimDictionary(dictionary, 5, true, trace);
    std::rewind(trace);
    char buffer[64] = {};
    const size_t got = std::fread(buffer, 1, sizeof buffer - 1, trace);
    std::fclose(trace);
    EXPECT_EQ(std::string(buffer, got), "o=[ab  1]\n1\n");
}

struct RoundTripCase {
    const char* name;
    std::string page;
    std::string decoded;  // what the decoder writes after the head text
};

// Pages whose packed form must decode to exactly this text.
const RoundTripCase kRoundTrips[] = {
    {"capitals become toggled runs", "<p>HTML and HTML and Html</p>",
     "<P>HTML and HTML and Html</P>"},
    {"non-ASCII ends an upper-case run", "<meta charset=utf-8><p>A\xC3\xA9 A\xC3\x9F Xy</p>",
     "<P>A\xC3\xA9 A\xC3\x9F Xy</P>"},
    {"word before punctuation stays literal", "<p>Hello, Hello world Hello world Hello,</p>",
     "<P>Hello, Hello world Hello world Hello,</P>"},
    {"word before an inline tag stays literal", "<p>Bold</B>face Bold and Bold and Bold</B></p>",
     "<P>Bold</B>face Bold and Bold and Bold</B></P>"},
    {"line breaks in PRE", "<pre>\nab ab\n\tab ab</pre>", "<PRE>\nab ab\n\tab ab</PRE>"},
    {"tab after a word in PRE", "<pre>word\tword\tword  word</pre>", "<PRE>word\tword\tword  word</PRE>"},
    {"backslashes", "<p>a\\\\b a\\\\b c\\d c\\d</p>", "<P>a\\\\b a\\\\b c\\d c\\d</P>"},
    {"quotes", "<p>say \"yes\" say \"no\"</p>", "<P>say \"yes\" say \"no\"</P>"},
    {"script end tag in a textarea", "<textarea></script> </script></textarea>",
     "<TEXTAREA></script> </script></TEXTAREA>"},
    {"blanks in quoted values", "<input value=\"Jane  Doe\"><input value=\"Jane  Doe\">",
     "<INPUT VALUE=\"Jane  Doe\"><INPUT VALUE=\"Jane  Doe\">"},
    {"removed comment keeps its blank", "<p>word<!-- c -->\nnext word next.</p>",
     "<P>word<!----> next word next.</P>"},
    // The blank a literal carries across a line break must not swallow the textarea's own.
    {"blank opening a textarea after a coded tag",
     "<p>one\n<textarea> a</textarea> two\n<textarea> b</textarea></p>",
     "<P>one <TEXTAREA> a</TEXTAREA> two <TEXTAREA> b</TEXTAREA></P>"},
};

TEST(PackedWriter, RoundTrips) {
    for (const RoundTripCase& c : kRoundTrips) {
        SCOPED_TRACE(c.name);
        Engine engine = quietEngine();
        const PackedParts parts = packAndParse(engine, c.page);
        const std::string decoded = decodedText(parts);
        EXPECT_EQ(decoded.substr(0, c.decoded.size()), c.decoded);
        EXPECT_EQ(decoded.find_first_not_of(' ', c.decoded.size()), std::string::npos);
    }
}

// The self-check's comparison: the decoded text and nothing else, not a byte short or over.
TEST(PackedWriter, DecodesExactlyOnlyTheDecodedText) {
    for (const RoundTripCase& c : kRoundTrips) {
        SCOPED_TRACE(c.name);
        Engine engine = quietEngine();
        const PackedParts parts = packAndParse(engine, c.page);
        const std::string decoded = decodedText(parts);
        ASSERT_FALSE(decoded.empty());
        const auto exact = [&](const std::string& text) {
            return decodesExactly(parts.t, parts.s, parts.c, parts.l, text);
        };
        EXPECT_TRUE(exact(decoded));
        EXPECT_FALSE(exact(""));
        EXPECT_FALSE(exact(decoded.substr(0, decoded.size() - 1)));
        EXPECT_FALSE(exact(decoded + " "));
        EXPECT_FALSE(exact(decoded.substr(1)));
        for (size_t at = 0; at < decoded.size(); ++at) {
            std::string changed = decoded;
            changed[at] = changed[at] == 'x' ? 'y' : 'x';
            EXPECT_FALSE(exact(changed)) << "byte " << at;
        }
    }
}

// The coded text checked as it stands in the page: its literals read as JavaScript reads
// them, and only literals of the kind the packer writes accepted.
TEST(PackedWriter, CodedLiteralsDecodeAsTheirValue) {
    Engine engine = quietEngine();
    std::string page = "<p>";
    for (int i = 0; i < 40; ++i) page += "say \"yes\" a\\b <i>x</i> ";
    page += "</p><pre>one\ntwo</pre>";
    std::string whole;
    const PackedParts parts = packAndParse(engine, page, &whole);
    const size_t from = whole.find("\nc=\"") + 4;
    const std::string raw = whole.substr(from, whole.find("\";\nfunction") - from);
    const std::string decoded = decodedText(parts);
    ASSERT_NE(raw.find("\"+\n\""), std::string::npos) << "the text spans several literals";
    ASSERT_NE(raw.find("\\\\"), std::string::npos);
    ASSERT_NE(raw.find("\\n"), std::string::npos);
    const auto exact = [&](const std::string& c) {
        return decodesExactly(parts.t, parts.s, c, parts.l, decoded, true);
    };
    EXPECT_TRUE(exact(raw));
    EXPECT_FALSE(decodesExactly(parts.t, parts.s, raw, parts.l, decoded, false));
}

// Literals read as JavaScript reads them, and refused where they are not of the packer's kind,
// even where their value would decode right. The only code here is the case toggle \x02.
TEST(PackedWriter, OnlyThePackersLiteralsDecode) {
    const std::string t = "\x01\x02\x03\x04";
    const std::string s = "u~u~\"~";
    const struct {
        std::string raw;
        std::string value;
        bool accepted;
    } cases[] = {
        {"ab\"+\n\"cd", "abcd", true},
        {"a\\\\b", "a\\b", true},
        {"a\\nb\\rc", "a\nb\rc", true},
        {"a\\x3Cscript", "a<script", true},
        {"a<b <p>", "a<b <p>", true},
        {"a<script", "a<script", false},
        {"a</script", "a</script", false},
        {"a<SCRIPT", "a<s c r i p t ", false},
        {"a<\x02script\x02", "a<SCRIPT", true},  // the parser sees no tag there
        {"a<!--b", "a<!--b", false},
        {"a\"b", "a\"b", false},
        {"a\nb", "a\nb", false},
        {"a\rb", "a\rb", false},
        {"a\\qb", "a\\qb", false},
        {"a\\x3cb", "a\\x3cb", false},
        {"a\"+\"b", "a\"+\"b", false},
        {"ab\\", "ab\\", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decodesExactly(t, s, c.raw, 3, c.value, true), c.accepted) << c.raw;
        // A refused text's bytes, taken as they stand, decode right: the literals are at fault.
        if (!c.accepted) {
            EXPECT_TRUE(decodesExactly(t, s, c.raw, 3, c.value, false)) << c.raw;
        }
    }
    // No other spelling of an escape or a join is read as one.
    EXPECT_FALSE(decodesExactly(t, s, "a\\x3cb", 3, "a<b", true));
    EXPECT_FALSE(decodesExactly(t, s, "ab\"+cd", 3, "abd", true));
}

TEST(PackedWriter, PreformattedLineBreaksAreEscapes) {
    Engine engine = quietEngine();
    std::string whole;
    packAndParse(engine, "<pre>a\nb\nc</pre>", &whole);
    EXPECT_NE(whole.find("\\n"), std::string::npos);
    EXPECT_EQ(whole.find("<BR>"), std::string::npos);
}

TEST(PackedWriter, ScriptEndTagsInTheTextAreHidden) {
    Engine engine = quietEngine();
    std::string whole;
    packAndParse(engine, "<textarea><script>x</script> <!-- y --></textarea>", &whole);
    const size_t script = whole.find("<SCRIPT LANGUAGE");
    std::string body = whole.substr(script + 1);
    std::transform(body.begin(), body.end(), body.begin(), [](unsigned char c) { return std::tolower(c); });
    EXPECT_EQ(body.find("<script"), std::string::npos);
    EXPECT_EQ(body.find("</script>"), body.rfind("</script>"));  // only the packer's own end
    EXPECT_EQ(body.find("<!--"), std::string::npos);
}

TEST(PackedWriter, DoctypeStaysInFront) {
    Engine engine = quietEngine();
    std::string whole;
    packAndParse(engine, "<!DOCTYPE html>\n<title>T</title><p>a a a</p>", &whole);
    EXPECT_EQ(whole.rfind("<!--Quillbox--><!DOCTYPE HTML>", 0), 0u);
}

TEST(PackedWriter, FewWordsKeepThreeCodes) {
    Engine engine = quietEngine();
    const PackedParts parts = packAndParse(engine, "<p>Only \"one\" word repeats: repeats</p>");
    EXPECT_EQ(parts.l, 3);
    EXPECT_GE(parts.t.size(), 4u);
    EXPECT_EQ(decodedText(parts), "<P>Only \"one\" word repeats: repeats</P>");
}

TEST(PackedWriter, CodeCharLimitBelowThreeCodesGivesNoResult) {
    Engine engine = quietEngine();
    setCodeCharLimit(engine, 4);  // bytes 1, 2, 3: just enough
    EXPECT_TRUE(packText(engine, "<p>a b a b</p>"));
    setCodeCharLimit(engine, 3);
    EXPECT_FALSE(packText(engine, "<p>a b a b</p>"));
}

struct RefusedCase {
    const char* name;
    std::string page;
};

// Pages JavaScript packing must not pack: the plain compaction is written instead.
const RefusedCase kRefused[] = {
    {"high bytes without a declared character set", "<p>caf\xE9 caf\xE9</p>"},
    {"script after the body text", "<p>Hello</p><script>document.write('x')</script><p>World"},
    {"title left open", "<title>never closed <p>text"},
    {"tag left open in the head", "<meta content=\"x><p>text"},
    {"text that outgrows its margin", std::string(3000, ' ') + [] {
         std::string alternating;
         for (int i = 0; i < 3000; ++i) alternating += "aB";
         return alternating;
     }()},
};

TEST(PackedWriter, RefusedPages) {
    for (const RefusedCase& c : kRefused) {
        SCOPED_TRACE(c.name);
        Engine engine = quietEngine();
        EXPECT_FALSE(packText(engine, c.page));
    }
}

// Counting stops at a script that follows text the writing pass writes as it stands. With the
// dictionary's trace asked for it counts on and the writing pass decides: both ways must agree.
TEST(PackedWriter, ScriptAfterTextStopsPackingOnlyWhereWritingWouldRefuse) {
    const std::string script = "<script>document.write('x')</script>";
    const std::string words = "Hello world, Hello world and Hello world";
    const struct {
        const char* name;
        std::string page;
        int packs;  // 1 packed, 0 refused, -1 either
    } cases[] = {
        {"script first", script + "<p>" + words, 1},
        {"script in the head", "<html><head>" + script + "</head><body><p>" + words, 1},
        {"text right before", "<p>" + words + script + "<p>" + words, 0},
        {"text before an inline tag", "<p>" + words + "<b>bold</b>" + script, 0},
        {"text before a blank", words + " " + script + "<p>" + words, -1},
        {"text before a block tag", words + "<div>" + script + "</div>" + words, -1},
        {"text coded before a line break", "world world world<br> " + script + " world", 1},
        {"text in preformatted text", "<pre>" + words + "\n</pre>" + script, -1},
        {"a long word cut", std::string(1200, 'w') + " " + script + words, -1},
        {"comment before", "<!-- " + words + " -->" + script + "<p>" + words, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Engine stopping = quietEngine();
        Engine counting = quietEngine();
        counting.options.debugDump = 1;
        counting.errors = nullptr;  // where the trace would go
        const std::optional<std::string> packed = packText(stopping, c.page);
        EXPECT_EQ(packed, packText(counting, c.page));
        if (c.packs >= 0) {
            EXPECT_EQ(packed.has_value(), c.packs == 1);
        }
    }
}

TEST(PackedWriter, ServerHeaderStandsBeforeTheMarker) {
    Engine engine = quietEngine();
    engine.options.serverHeader = 1;
    const auto packed = packText(engine, "Content-type: text/html\n\n<p>a a a</p>");
    ASSERT_TRUE(packed);
    EXPECT_EQ(packed->rfind("Content-type: text/html\n\n<!--Quillbox-->", 0), 0u);
}

// One engine packs page after page, large and small, packable or refused, keeping its working
// buffers: each page comes out as a fresh engine packs it, with nothing left from the page
// before.
TEST(PackedWriter, EngineKeptFromPageToPagePacksAsAFreshOne) {
    std::vector<std::string> pages;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(QUILLBOX_TEST_DATA) / "pages")) {
        pages.push_back(readFileBytes(entry.path()).c_str());  // up to a zero byte, as read
    }
    std::mt19937 random(5);
    for (const size_t size : {60000, 3000, 120000, 800}) pages.push_back(longPage(random, size));
    for (const RefusedCase& c : kRefused) pages.push_back(c.page);
    std::shuffle(pages.begin(), pages.end(), random);
    for (int variant = 0; variant < 4; ++variant) {
        Engine kept = quietEngine();
        kept.options.keepComments = variant & 1;
        kept.options.codeCharLimit = (variant & 2) ? 90 : 256;
        for (const std::string& page : pages) {
            Engine fresh = quietEngine();
            fresh.options = kept.options;
            EXPECT_EQ(packText(kept, page), packText(fresh, page))
                << "variant " << variant << ": " << page.substr(0, 60);
        }
    }
}

}  // namespace
