// Plain compaction: head tags, regions, comments, META removal and the server header.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "engine_helpers.h"

namespace {

struct CompactCase {
    const char* name;
    std::string_view input;
    std::string_view expected;
};

// Default options: comments removed, META tags kept.
const CompactCase kCompaction[] = {
    // Head tags
    {"page's own html and head tags go", "<html><head><title>T</title></head><body>x</body></html>",
     "<title>T</title><body>x</body>"},
    {"html start tag with attributes stays (the page's language)",
     "<html lang=\"en\">\n<p>x</p>", "<html lang=\"en\"> <p>x</p>"},
    {"head start tag with attributes goes whole", "<HEAD profile=x><TITLE>T</TITLE>",
     "<TITLE>T</TITLE>"},
    {"header is an ordinary tag", "<header>a</header>", "<header>a</header>"},
    {"metax is an ordinary tag", "<METAX a=b>x", "<METAX a=b>x"},
    {"end script tag outside a script goes", "a</SCRIPT>b", "ab"},
    {"lower-case page keeps its case", "<title>Hi</title><body bgcolor=white>Text</body>",
     "<title>Hi</title><body bgcolor=white>Text</body>"},
    // Script, style, textarea, title, xmp content
    {"html text inside a script stays", "<script>for(i=0;i<html.length;i++)x()</script>",
     "<script>for(i=0;i<html.length;i++)x()</script>"},
    {"head tags inside a script string stay", "<script>s=\"<HEAD></HEAD>\"</script>",
     "<script>s=\"<HEAD></HEAD>\"</script>"},
    {"comment markers in a script stay", "<script><!--\nx()\n//--></script>",
     "<script><!--\nx()\n//--></script>"},
    {"comment in a style stays", "<style><!-- p {color:red} --></style>",
     "<style><!-- p {color:red} --></style>"},
    {"comment typed in a textarea stays", "<textarea>a <!-- b --> c</textarea>",
     "<textarea>a <!-- b --> c</textarea>"},
    {"comment in a title stays", "<title>a <!-- b --></title>", "<title>a <!-- b --></title>"},
    {"xmp keeps its blanks and comments", "<xmp>a  <!-- b --></xmp>", "<xmp>a  <!-- b --></xmp>"},
    // Preformatted regions
    {"pre keeps blanks and breaks", "<pre>a  b\n  c</pre>  d", "<pre>a  b\n  c</pre> d"},
    {"pre with attributes", "<pre class=\"code\">a  b</pre>", "<pre class=\"code\">a  b</pre>"},
    {"tt keeps blanks", "<tt>a  b</tt>  c", "<tt>a  b</tt> c"},
    {"tt end inside pre", "<pre><tt>a</tt>  b</pre>  c", "<pre><tt>a</tt>  b</pre> c"},
    {"listing keeps blanks", "<LISTING>a  b</LISTING>", "<LISTING>a  b</LISTING>"},
    // Preformatted text between tags goes out as it stands, in one piece
    {"pre text keeps tabs, CR LF and trailing blanks", "<pre>\ta \r\n  b\t</pre> c",
     "<pre>\ta \r\n  b\t</pre> c"},
    {"pre text with a '<' that opens no tag", "<pre>a < b &amp;&lt; c>d  e</pre>",
     "<pre>a < b &amp;&lt; c>d  e</pre>"},
    {"comment inside pre leaves an empty one", "<pre>x <!-- note -->  y</pre>z",
     "<pre>x <!---->  y</pre>z"},
    {"nested pre keeps blanks up to the outer end", "<pre>a<pre>b  c</pre>  d  </pre>  e",
     "<pre>a<pre>b  c</pre>  d  </pre> e"},
    {"tags inside pre", "<pre>a <b>bold</b>  c\n</pre>", "<pre>a <b>bold</b>  c\n</pre>"},
    {"pre text up to the page's end", "<pre>a  \n", "<pre>a  \n"},
    {"script inside pre", "<pre><script>x  =  1</script>  b</pre>",
     "<pre><script>x  =  1</script>  b</pre>"},
    {"pre in the head", "<head><pre>a  b</pre></head>", "<pre>a  b</pre>"},
    {"title inside pre", "<pre>  a  <title>t  u</title>  b</pre>",
     "<pre>  a  <title>t  u</title>  b</pre>"},
    // A blank after a tag's name before a byte that begins a token
    {"blank after an end tag's name before '<'", "<p>a</t <td>b", "<p>a</t <td>b"},
    {"blank after a start tag's name before '='", "<b =x>a", "<b =x>a"},
    {"line break after a tag's name before '<'", "<p>a</t\n<td>b", "<p>a</t<td>b"},
    // A form feed inside a tag is a blank: it ends the tag's name and an unquoted value
    {"form feed ends a tag name", "<pre\fclass=x>a  b</pre>", "<pre\fclass=x>a  b</pre>"},
    {"form feed ends an unquoted value", "<a x=y\fz=\"p  q\">", "<a x=y\fz=\"p  q\">"},
    // Comments
    {"comment between text leaves an empty one", "a<!-- c -->b", "a<!---->b"},
    {"comment between tags removed", "<b>a</b><!-- c --><i>b</i>", "<b>a</b><i>b</i>"},
    {"comment over several tokens", "a <!-- one two\nthree --> b", "a <!----> b"},
    {"comment with a tag inside", "<!-- <pre> -->a  b", "a b"},
    {"comment ended by --!>", "<!--x--!>y", "y"},
    {"empty comments", "<!---->a<!-->b<!--->c", "a<!---->b<!---->c"},
    {"dashes inside a comment", "<!-- a -- b -->x", "x"},
    {"arrow in text is no comment end", "Next page ->", "Next page ->"},
    {"arrow after a comment", "<!-- c --> Next ->", "Next ->"},
    {"doctype is no comment", "<!DOCTYPE html><p>x", "<!DOCTYPE html><p>x"},
    {"page of one comment", "<!-- only -->\n", ""},
    {"empty page", "", ""},
    // Quoted values go out as they stand; the blanks around them shrink
    {"quoted values", "<a title=\"x  y\n z\" href='a  b'  id=\"q\">t</a>",
     "<a title=\"x  y\n z\" href='a  b' id=\"q\">t</a>"},
    {"quote after a blank, other quote inside", "<a title= \"it's\"\t\tlang='\"x\"'>t",
     "<a title= \"it's\" lang='\"x\"'>t"},
    {"empty values and '>' inside", "<a b=\"\" c='' d=\"x>y\" >t", "<a b=\"\" c='' d=\"x>y\" >t"},
    {"quote that is no value", "<a b \"c  d\">t", "<a b \"c d\">t"},
    {"attribute names, with and without a value after '='",
     "<a b-c:d=e  f_g=\"h\" i= \"j\" k  =l m=>x <b x=\ny>z",
     "<a b-c:d=e f_g=\"h\" i= \"j\" k =l m=>x <b x= y>z"},
    {"value never closed", "<a title=\"x  y", "<a title=\"x  y"},
    {"tags in preformatted text keep every blank",
     "<pre class=\"a\" >x  <b  class='c  d'\n>y</b>\n</pre> z <tt>a  <i  x=\"1\">b</i></tt>",
     "<pre class=\"a\" >x  <b  class='c  d'\n>y</b>\n</pre> z <tt>a  <i  x=\"1\">b</i></tt>"},
    // META tags are kept by default
    {"meta kept", "<meta name=a content=b>x", "<meta name=a content=b>x"},
};

TEST(PlainCompaction, Table) {
    for (const CompactCase& c : kCompaction) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(compactText(std::string(c.input)), c.expected);
    }
}

const CompactCase kMetaRemoval[] = {
    {"meta ending in an unquoted value", "<META NAME=x CONTENT=none>text", "text"},
    {"meta with quoted values", "<meta name=\"a\" content=\"b c\">text", "text"},
    {"self-closing meta", "<meta name=\"a\" content=\"b\"/>text", "text"},
    {"meta with '>' in a value", "<meta name=\"a\" content=\"x>y\">text", "text"},
    {"charset meta stays", "<meta charset=\"utf-8\">text", "<meta charset=\"utf-8\">text"},
    {"content-type meta stays",
     "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">x",
     "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">x"},
    {"two metas", "<meta name=a content=b><meta name=c content=d>x", "x"},
};

// Text is read several bytes at a time: the blanks after a word are decided the same way
// wherever they fall, at the start, inside or at the end of such a step.
TEST(PlainCompaction, PreformattedTextLongerThanTheLongestToken) {
    const std::string text = "<pre>" + std::string(600, 'w') + "  x</pre>";
    EXPECT_EQ(compactText(text), text);
}

TEST(PlainCompaction, BlanksAfterWordsOfEveryLength) {
    const CompactCase kEndings[] = {
        {"two blanks", "  y", " y"},
        {"blank, line break, blank", " \n y", " y"},
        {"single blank", " y", " y"},
        {"words on", " y z", " y z"},
        {"word with a dot", " y.z", " y.z"},
        {"blank taken before a block tag", " <p>y", " <p>y"},
        {"line break before a block tag", "\n<p>y", " <p>y"},
        {"line break before a cell tag", "\n<td>y", "<td>y"},
        {"two blanks before an inline tag", "  <b>y", " <b>y"},
        {"blank at the end", " ", " "},
        {"two blanks at the end", "  ", " "},
        {"tab at the end", "\t", " "},
    };
    for (int length = 1; length <= 20; ++length) {
        const std::string prefix = "w " + std::string(static_cast<size_t>(length), 'x');
        for (const CompactCase& c : kEndings) {
            SCOPED_TRACE(std::string(c.name) + " after " + std::to_string(length));
            EXPECT_EQ(compactText(prefix + std::string(c.input)), prefix + std::string(c.expected));
        }
    }
}

TEST(PlainCompaction, MetaRemoval) {
    for (const CompactCase& c : kMetaRemoval) {
        SCOPED_TRACE(c.name);
        Engine engine = quietEngine();
        engine.options.removeMeta = 1;
        EXPECT_EQ(compactText(engine, std::string(c.input)), c.expected);
    }
}

TEST(PlainCompaction, KeepCommentsCopiesThem) {
    Engine engine = quietEngine();
    engine.options.keepComments = 1;
    EXPECT_EQ(compactText(engine, "a <!-- B c -->  d"), "a <!-- B c --> d");
}

TEST(PlainCompaction, ServerHeaderPassesThrough) {
    Engine engine = quietEngine();
    engine.options.serverHeader = 1;
    EXPECT_EQ(compactText(engine, "Content-type: text/html\n\n<p>a  b"),
              "Content-type: text/html\n\n<p>a b");
    EXPECT_EQ(compactText(engine, "Status: 200\r\nContent-type: text/html\r\n\r\n<p>x"),
              "Status: 200\r\nContent-type: text/html\r\n\r\n<p>x");
    const std::string longHeader = "X-Long: " + std::string(3000, 'h');
    EXPECT_EQ(compactText(engine, longHeader + "\n\n<p>x"), longHeader + "\n\n<p>x");
}

// A page left inside a title, script, comment or preformatted region does not change how
// the next page is read.
TEST(PlainCompaction, EveryPassStartsFresh) {
    Engine engine = quietEngine();
    const std::string next = "<p>a  b <!-- c --> d</p>";
    const std::string alone = compactText(next);
    for (const char* unfinished : {"<title>open", "<script>open", "<!-- open", "<pre>open",
                                   "<a href=\"open", "<textarea>open"}) {
        SCOPED_TRACE(unfinished);
        compactText(engine, unfinished);
        EXPECT_EQ(compactText(engine, next), alone);
    }
}

TEST(PlainCompaction, IdempotentOnTable) {
    for (const CompactCase& c : kCompaction) {
        SCOPED_TRACE(c.name);
        const std::string once = compactText(std::string(c.input));
        EXPECT_EQ(compactText(once), once);
    }
}

}  // namespace

// A page whose own styles keep white space somewhere keeps every blank; other mentions of
// white space do not.
TEST(PlainCompaction, StylesThatKeepWhiteSpace) {
    const std::string body = "<p>a  b\n c</p>";
    const struct {
        const char* name;
        const char* style;
        bool kept;
    } kCases[] = {
        {"style element", "<style>.x { white-space: pre-wrap }</style>", true},
        {"style attribute", "<div style=\"WHITE-SPACE:PRE\"></div>", true},
        {"break-spaces", "<style>p{white-space:break-spaces}</style>", true},
        {"white-space-collapse", "<style>p{white-space-collapse: preserve}</style>", true},
        {"script", "<script>e.style.whiteSpace = 'pre-line';</script>", true},
        {"normal", "<style>.x { white-space: normal }</style>", false},
        {"nowrap", "<div style=\"white-space:nowrap\"></div>", false},
        {"words in the text", "<p>white space is presented plainly</p>", false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string compacted = compactText(std::string(c.style) + body);
        EXPECT_EQ(compacted.find("a  b\n c") != std::string::npos, c.kept) << compacted;
    }
}
