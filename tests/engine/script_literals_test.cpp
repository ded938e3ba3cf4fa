// Scripts and style sheets keep their meaning through both methods: blanks inside strings,
// templates, regular expressions and style sheet strings stay byte for byte, while the
// blanks of code still shrink. The scripts are run in node, original and converted.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "engine_helpers.h"
#include "long_page.h"
#include "packed_decoder.h"
#include "packed_page.h"

namespace {

namespace fs = std::filesystem;

struct ScriptCase {
    const char* name;
    const char* script;  // pushes what it finds onto `out`, which is written as JSON
};

// Each script runs in a page of its own, with the style sheet below.
const ScriptCase kScripts[] = {
    // Strings, with escapes and line continuations.
    {"strings", "out.push(\"a    b\", 'c  \t  d', \"e\\\"   f\", 'g\\'  h', \"i  \\\\  j\");"},
    {"continued-strings", "out.push(\"k \\\n   l\", 'm \\\r\n   n');"},
    {"markup-in-strings", "out.push(\"<\\/p>   x\", '<!--  y', \"a // b  c\", 'd /* e  ');"},
    // Templates, nested through ${...}, holding objects, comments and line breaks.
    {"templates",
     "out.push(`one\n\n\n   two`, `a  ${ \"b  c\" }  d`, `x ${ `y  ${ 1 +  1 }  z` }  w`,\n"
     "  `esc \\`  q`, `${ {k: \"v  w\"}.k }  !`, `http://x  /* y */  z`);"},
    // Regular expressions: classes holding '/', escapes, quotes.
    {"regular-expressions",
     "out.push(/x  y/.source, /[/ ]  +/.source, /a\\/  b/.source, 'p  q'.replace(/  /g, '_'),\n"
     "  /'  \"  `/.source, \"after  regex\");"},
    {"regular-expressions-after-keywords",
     "function f1() { return /r  s/.source }\n"
     "out.push(f1(), typeof /t  u/, 'k' in {k: 1} ? /v  w/.source : 0);\n"
     "var a = 8;\nif (a) /a  b/.test('a  b') && out.push('if');\n"
     "for (var i = 0; i < 1; i++) out.push(/ +/.exec('a   b')[0].length);\n"
     "if (true) { out.push(1) }\n/c  d/.test('c  d') && out.push('after a block');"},
    // Division, which a '/' after a value is, with a string after it on the line.
    {"division",
     "var a = 8, g = 2, arr = [8], o = {n: 8, return: 4, in: 2}, n = 8;\n"
     "out.push(a / 2 / g, (a) / 2 / (g), arr[0] / 2 / g, ({v: 8}).v / 2 / g, \"x  /  y\");\n"
     "out.push(o.return / o.in / 2, n++ / 2 / 1, 1.5 / 3 / 1, 'o  /  p');\n"
     "var q = o.n\n/ 2 / 2; out.push(q, \"p  /  q\");\n"
     "var e = a / 2; out.push(e, \"r  /  s\");"},
    // A '}' that may end a value or a statement: both readings are followed.
    {"function-value-then-slash",
     "var tpl;\nvar h = function () { return 6 }\n/ 2 + (tpl = `a\n  b`).length;\n"
     "out.push(String(h), tpl, 'c  d');"},
    {"arrow-body-then-regex",
     "var g = () => {}\n/  a  b/.test('  a  b') && out.push('arrow', \"e  f\");\n"
     "var tpl2, k = () => {}\n/ '/.test(\" '\") && (tpl2 = `x\n  y`);\nout.push(tpl2);"},
    {"classes",
     "class K { m() { return /k  l/.source } static s(x) { return x / 2 / 1 } }\n"
     "out.push(new K().m(), K.s(8), 'm  n');"},
    // Comments, whose quotes open nothing.
    {"comments",
     "// it's \"here\"  with  blanks\nvar c1 = 'a  b'; /* it's   a\n comment */\n"
     "var c2 = \"c  d\";\n"
     "out.push(c1, c2); // a / b  'c\nout.push(`e  f`);"},
    {"markup-comments",
     "var hc = 1 <!-- it's an  \"old\" comment\nout.push(hc);\n"
     "--> a closing marker's  'line\nout.push('after  marker');\n"
     "var dec = 3; while (dec-->1) {} out.push(dec, 'g  h');"},
    // Line breaks that end statements.
    {"line-breaks",
     "var p = 1, r = 2\n++r\nout.push(p, r);\n"
     "function f2() { return\n  42 }\nout.push(String(f2()));\n"
     "var id = function (v) { return v }\nvar w = id\n('a  b')\nout.push(w);"},
};

// A style sheet whose strings and escaped blanks the page's script reads back.
const char* const kStyleSheet =
    "p.a::after  {  content:  \"a   b\";  }\n"
    "q  { quotes: '\"  ' '  \"' }\n"
    "/* it's   a comment */ p.b::before { content: 'c  \\'  d' }\n"
    "p.c::after { content: \"e \\\n   f\" }\n"
    ".x\\   .y { color: red }\n";

std::string pageFor(const std::string& script) {
    return "<html><head><title>Literals</title>\n<script>\nvar out = [];\n" + script +
           "\ndocument.write(JSON.stringify(out));\n</script>\n<style>\n" + kStyleSheet +
           "</style>\n</head><body><p>Some text, some more text and some more text.</p>"
           "</body></html>\n";
}

bool nodeAvailable() { return std::system("node --version > /dev/null 2>&1") == 0; }

// Writes the page and its converted forms into `folder`; false when packing refused it.
bool writeForms(const fs::path& folder, const std::string& name, const std::string& page) {
    Engine engine = quietEngine();
    writeFileBytes(folder / (name + ".html"), page);
    writeFileBytes(folder / (name + ".plain.html"), compactText(engine, page));
    const auto packed = packText(engine, page);
    if (!packed) return false;
    writeFileBytes(folder / (name + ".packed.html"), *packed);
    return true;
}

TEST(ScriptLiterals, ScriptsAndStyleSheetsMeanTheSameInNode) {
    if (!nodeAvailable()) GTEST_SKIP() << "node is not installed";
    ScratchFolder folder;
    int forms = 0;
    for (const ScriptCase& c : kScripts) {
        ASSERT_TRUE(writeForms(folder.path(), c.name, pageFor(c.script))) << c.name;
        forms += 2;
    }
    // A long page, which packing splits between two threads, with style sheets in both parts.
    std::mt19937 random(20261208);
    std::string page = longPage(random, 40000);
    const std::string plainStyle = "<style>p > b { color: red }</style>";
    const std::string literalStyle = "<style>p > b::after { content: \"  x   y  \" }</style>";
    for (size_t at = page.find(plainStyle); at != std::string::npos;
         at = page.find(plainStyle, at)) {
        page.replace(at, plainStyle.size(), literalStyle);
    }
    ASSERT_NE(page.find(literalStyle, page.size() / 2), std::string::npos);
    ASSERT_TRUE(writeForms(folder.path(), "long", page));
    forms += 2;

    const std::string command = "node \"" + std::string(QUILLBOX_SOURCE_DIR) +
                                "/tools/check-converted-scripts.mjs\" \"" +
                                folder.path().string() + "\" > \"" +
                                (folder / "report.txt").string() + "\" 2>&1";
    const int status = std::system(command.c_str());
    const std::string report = readFileBytes(folder / "report.txt");
    EXPECT_EQ(status, 0) << report;
    EXPECT_NE(report.find(std::to_string(forms) + " passed, 0 failed"), std::string::npos)
        << report;
}

// The text of the first element `name` ("script" or "style", any case) in `html`.
std::string elementText(const std::string& html, const std::string& name) {
    std::string lower = html;
    for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    const size_t open = lower.find("<" + name);
    if (open == std::string::npos) return "<none>";
    const size_t start = lower.find('>', open) + 1;
    return html.substr(start, lower.find("</" + name, start) - start);
}

struct CompactedCase {
    const char* name;
    const char* startTag;  // "script" or "style", with attributes
    const char* content;
    const char* compacted;
};

// What each method makes of a script or style sheet: blanks kept where they are part of a
// literal or the lexer cannot tell, and shrunk everywhere else.
const CompactedCase kCompacted[] = {
    {"string", "script", "var  a  =  \"x   y\"  ;", "var a = \"x   y\" ;"},
    {"division", "script", "r  =  a  /  b  /  c;", "r = a / b / c;"},
    {"regex", "script", "r  =  /  a  /g  ;", "r = /  a  /g ;"},
    {"regex-class", "script", "r = /[/  ]  x/  ;", "r = /[/  ]  x/ ;"},
    {"template-lines", "script", "t  =  `a\n\n  b`  ;\nu  =  1", "t = `a\n\n  b` ;\nu = 1"},
    {"line-comment", "script", "x = 1;  //  a   'b\ny  =  'c  d'", "x = 1; // a 'b\ny = 'c  d'"},
    {"block-comment", "script", "/*  it's  */  x  =  1", "/* it's */ x = 1"},
    // After a function used as a value, a '/' may divide or begin a regular expression:
    // the rest of that line stays as it is.
    {"ambiguous-line", "script", "f = function () {}\n/ a  b /  c;  d  =  1\ne  =  2",
     "f = function () {}\n/ a  b /  c;  d  =  1\ne = 2"},
    {"style-string", "style", "p  {  content:  \"a   b\"  }", "p { content: \"a   b\" }"},
    {"style-escaped-blank", "style", ".a\\   .b  {}", ".a\\  .b {}"},
    {"style-comment", "style", "/*  it's  */  p  {  quotes:  '  '  }",
     "/* it's */ p { quotes: '  ' }"},
    // Scripts by type: data in JSON shrinks outside its strings; a template, or a script in
    // another language, stays as it is.
    {"json", "script type=\"application/json\"", "{ \"a\"  :  \"b   c\" }",
     "{ \"a\" : \"b   c\" }"},
    {"old-language", "script language=\"JavaScript1.2\"", "a  =  '  '", "a = '  '"},
    {"typed-with-parameters", "script type=' text/javascript; charset=utf-8'", "a  =  1", "a = 1"},
    {"template", "script type=\"text/x-template\"", "<pre>a   b\n  c</pre>  ",
     "<pre>a   b\n  c</pre>  "},
    {"other-language", "script language=\"VBScript\"", "a  =  \"x\"", "a  =  \"x\""},
};

TEST(ScriptLiterals, BlanksShrinkOnlyOutsideLiterals) {
    for (const CompactedCase& c : kCompacted) {
        SCOPED_TRACE(c.name);
        const std::string startTag = c.startTag;
        const std::string element = startTag.substr(0, startTag.find(' '));
        const std::string page = "<html><head><title>T</title><" + startTag + ">" + c.content +
                                 "</" + element + "></head><body><p>Text text.</p></body></html>";
        Engine engine = quietEngine();
        EXPECT_EQ(elementText(compactText(engine, page), element), c.compacted) << "plain";
        const auto packed = packText(engine, page);
        ASSERT_TRUE(packed);
        // A script stands in the head part; a style sheet is in the coded text.
        std::string text = *packed;
        if (element == "style") {
            PackedParts parts;
            ASSERT_TRUE(parsePackedPage(*packed, parts));
            ASSERT_TRUE(decodePacked(parts.t, parts.s, parts.c, parts.l, text));
        }
        EXPECT_EQ(elementText(text, element), c.compacted) << "packed";
    }
}

}  // namespace
