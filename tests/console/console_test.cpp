// The quillbox program as a user runs it: texts, exit statuses, file mode, piping mode, the
// server header, comments, already packed pages, the dictionary trace and the long options.
// Every case runs the converter in a temporary folder of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_run.h"
#include "quillbox_version.h"
#include "support/packed_page.h"

namespace {

namespace fs = std::filesystem;
using console_run::Outcome;
using console_run::readFile;
using console_run::writeFile;

const std::string kBanner =
    "Quillbox : Web Compaction Utility      Version " QUILLBOX_VERSION " \n"
    "Copyright (c) 1999-2026 the Quillbox developers. Free software; -l shows the licence.\n";

const std::string kUsage =
    "Usage : quillbox [-p] [-lv] [-d<path>] <filename>.\n\n"
    " v : Verbose output on.\n"
    " l : Licence agreement.\n"
    " p : Piping on.\n"
    " i : Interactive off.\n"
    " s : Cgi-server processing\n"
    " r : Convert all .htm? files in sub-directories.\n\n";

const std::string kDone = "done.\n\n";
const std::string kMarker = "<!--Quillbox-->";

// A small page that plain compaction wins: JavaScript packing's decoder alone is longer.
const std::string kSmallPage =
    "<html><head><title>Small</title></head><body><p>alpha \n\t  page</p><!-- a note -->"
    "</body></html>";
const std::string kSmallCompacted = "<title>Small</title><body><p>alpha page</p></body>";
const std::string kSmallWithComment =
    "<title>Small</title><body><p>alpha page</p><!-- a note --></body>";

// A page of a few words repeated many times, which JavaScript packing makes much smaller.
std::string repetitivePage() {
    static const char* const kWords[] = {"the",   "river", "runs", "under", "old",   "stone",
                                         "bridge", "and",  "mill", "wheel", "turns", "slowly"};
    std::string page = "<html><head><title>Mill</title></head><body>\n";
    unsigned seed = 7;
    for (int paragraph = 0; paragraph < 40; ++paragraph) {
        page += "<p>";
        for (int word = 0; word < 20; ++word) {
            seed = seed * 1103515245u + 12345u;
            page += kWords[(seed >> 16) % 12];
            page += word < 19 ? " " : "</p>\n";
        }
    }
    return page + "</body></html>\n";
}

std::string samplePage() { return readFile(fs::path(QUILLBOX_TEST_DATA) / "pages/article.html"); }

// The saving that the ratio line shows for an input of `inputLength` bytes written as
// `written` bytes: the terminator counts in the size, the division truncates.
long expectedSaving(size_t inputLength, size_t written) {
    const unsigned long size = inputLength + 1;
    return static_cast<long>(100UL - static_cast<unsigned long>(written) * 100UL / size);
}

std::string ratioLine(const std::string& dots, long saving, const std::string& name) {
    char text[64];
    std::snprintf(text, sizeof text, " (%02ld%%) ", saving);
    return dots + text + name + "\n";
}

// The lines of `text`, each without its line feed; a last line without one is left out.
std::vector<std::string> completeLines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

bool isDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](char c) { return c >= '0' && c <= '9'; });
}

struct RatioLine {
    size_t dots = 0;
    std::string saving;  // as printed
    std::string name;
};

// Reads a progress line: one or more dots, " (", the saving in two digits at least (a minus
// sign first when negative), "%) " and the output name.
bool parseRatioLine(std::string_view line, RatioLine& ratio) {
    ratio.dots = line.find_first_not_of('.');
    if (ratio.dots == 0 || ratio.dots == std::string_view::npos) return false;
    line.remove_prefix(ratio.dots);
    if (!line.starts_with(" (")) return false;
    const size_t close = line.find("%) ");
    if (close == std::string_view::npos) return false;
    ratio.saving = std::string(line.substr(2, close - 2));
    std::string_view number = ratio.saving;
    if (number.starts_with('-')) number.remove_prefix(1);
    if (!isDigits(number) || ratio.saving.size() < 2) return false;
    ratio.name = std::string(line.substr(close + 3));
    return !ratio.name.empty();
}

// The output names of the ratio lines, in the order printed.
std::vector<std::string> ratioLineNames(const std::string& output) {
    std::vector<std::string> names;
    RatioLine ratio;
    for (const auto& line : completeLines(output))
        if (parseRatioLine(line, ratio)) names.push_back(ratio.name);
    return names;
}

// Compares two page texts without printing pages of many kilobytes when they differ.
::testing::AssertionResult sameText(const std::string& actual, const std::string& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
    return ::testing::AssertionFailure()
           << "texts of " << actual.size() << " and " << expected.size()
           << " bytes differ from byte " << at << ": \"" << actual.substr(at, 60) << "\" instead of \""
           << expected.substr(at, 60) << "\"";
}

// Whether `errors` is one line that names `name` as not converted and gives a reason that
// holds `reason`.
::testing::AssertionResult saysNotConverted(const std::string& errors, const std::string& name,
                                            const std::string& reason) {
    const std::string start = "Couldn't generate file from " + name + ": ";
    if (completeLines(errors).size() != 1 || !errors.starts_with(start) ||
        errors.find(reason, start.size()) == std::string::npos) {
        return ::testing::AssertionFailure() << "standard error: \"" << errors << "\"";
    }
    return ::testing::AssertionSuccess();
}

class Console : public ::testing::Test {
protected:
    console_run::TempFolder folder;

    Outcome run(const std::vector<std::string>& arguments, const std::string& input = "") {
        return console_run::runQuillbox(folder.path(), arguments, input);
    }
    void write(const std::string& name, const std::string& text) { writeFile(folder / name, text); }
    std::string read(const std::string& name) { return readFile(folder / name); }
    bool exists(const std::string& name) { return fs::exists(folder / name); }

    // What file mode writes for `name` alone, with `options` before it.
    std::string convertAlone(const std::string& name, std::vector<std::string> options = {}) {
        fs::remove(folder / "output.htm");
        options.push_back(name);
        const Outcome result = run(options);
        EXPECT_EQ(result.status, 0) << result.output;
        return read("output.htm");
    }
};

// ---------------------------------------------------------------------------------------
// Texts and exit statuses that do not depend on any page.

TEST_F(Console, TextsAndStatuses) {
    // Errors go to standard error; the usage text before an unknown switch's stays with the
    // banner and help on standard output.
    const auto unknown = [](const std::string& name) {
        return "\nError : Unknown switch " + name + ".\n";
    };
    struct Case {
        std::vector<std::string> arguments;
        std::string output;
        int status;
        std::string errors = {};
    };
    const Case kCases[] = {
        {{}, kBanner + kUsage, 0},
        {{"-h"}, kBanner + kUsage, 0},
        {{"-?"}, kBanner + kUsage, 0},
        {{"-help"}, kBanner + kUsage, 0},              // only the second character counts
        {{"-v", "-h", "-x"}, kBanner + kUsage, 0},     // help ends the switch pass
        {{"-h", "--no-such-option"}, kBanner + kUsage, 0},
        {{"-x"}, kUsage, 255, unknown("-x")},  // usage without the banner
        {{"-L"}, kUsage, 255, unknown("-L")},  // letters are case-sensitive
        {{"-v", "-z", "page.html"}, kUsage, 255, unknown("-z")},
        {{"-x", "-h"}, kUsage, 255, unknown("-x")},
        {{"-xyz"}, kUsage, 255, unknown("-xyz")},  // named as given
        {{"-r"}, kBanner, 255, "\nError : Unspecified Directory.\n"},
        {{"-i", "-v", "-r"}, kBanner, 255, "\nError : Unspecified Directory.\n"},
        {{"-v"}, kBanner, 255, "\nError : No filename given."},
        {{"-c", "-i", "-s", "-d"}, kBanner, 255, "\nError : No filename given."},
        {{"-"}, kBanner, 255, "\nError : No filename given."},  // a lone "-" is passed over
        {{"--"}, kBanner, 255, "\nError : No filename given."},  // ends the switches
        {{"-v", "--"}, kBanner, 255, "\nError : No filename given."},
        {{"-r", "--"}, kBanner, 255, "\nError : Unspecified Directory.\n"},
        {{"--", "-x"}, kBanner, 255, "\nError : Filenames not found: -x."},  // a name now
        {{"--", "-h"}, kBanner, 255, "\nError : Filenames not found: -h."},
        {{"--version"}, "quillbox " QUILLBOX_VERSION "\n", 0},
    };
    for (const Case& c : kCases) {
        std::string shown;
        for (const auto& argument : c.arguments) shown += argument + " ";
        SCOPED_TRACE("arguments: " + shown);
        const Outcome result = run(c.arguments);
        EXPECT_EQ(result.output, c.output);
        EXPECT_EQ(result.errors, c.errors);
        EXPECT_EQ(result.status, c.status);
    }
    EXPECT_FALSE(exists("output.htm"));
}

TEST_F(Console, LicenceFollowsTheBanner) {
    for (const char* argument : {"-l", "-licence"}) {
        const Outcome result = run({argument, "page.html"});
        EXPECT_EQ(result.status, 0);
        ASSERT_TRUE(result.output.starts_with(kBanner)) << result.output;
        const std::string licence = result.output.substr(kBanner.size());
        EXPECT_NE(licence.find("Permission is hereby granted"), std::string::npos);
        EXPECT_NE(licence.find("WITHOUT WARRANTY"), std::string::npos);
        EXPECT_EQ(licence.find("Usage"), std::string::npos);
        EXPECT_EQ(licence.find(kDone), std::string::npos);
    }
}

TEST_F(Console, HelpOptionAddsTheLongOptions) {
    write("page.html", kSmallPage);
    const Outcome result = run({"--help", "page.html"});
    EXPECT_EQ(result.status, 0);
    ASSERT_TRUE(result.output.starts_with(kBanner + kUsage)) << result.output;
    const std::string more = result.output.substr(kBanner.size() + kUsage.size());
    for (const char* option : {"--help", "--version", "--method=best|js|plain",
                               "--keep-comments", "--remove-meta", "--code-char-limit=N",
                               "--output-chunk=N", "--output=FILE", "--output-dir=DIR"}) {
        EXPECT_NE(more.find(option), std::string::npos) << option;
    }
    EXPECT_FALSE(exists("output.htm"));  // help ends the program before any conversion
}

// A bad long option or value fails before the banner, with a message that names it.
TEST_F(Console, BadLongOptions) {
    write("page.html", kSmallPage);
    struct Case {
        const char* argument;
        const char* named;
    };
    constexpr Case kCases[] = {
        {"--method=fast", "--method"},
        {"--method=", "--method"},
        {"--method", "--method"},
        {"--method=JS", "--method"},
        {"--code-char-limit=0", "--code-char-limit"},
        {"--code-char-limit=257", "--code-char-limit"},
        {"--code-char-limit=12x", "--code-char-limit"},
        {"--code-char-limit=-5", "--code-char-limit"},
        {"--output-chunk=0", "--output-chunk"},
        {"--output-chunk=ten", "--output-chunk"},
        {"--output-chunk=99999999999999999999", "--output-chunk"},
        {"--output", "--output"},
        {"--output=", "--output"},
        {"--output-dir", "--output-dir"},
        {"--output-dir=no-such-folder", "no-such-folder"},
        {"--output-dir=page.html", "page.html"},  // a file, not a folder
        {"--keep-comments=yes", "--keep-comments"},
        {"--remove-meta=1", "--remove-meta"},
        {"--version=2", "--version"},
        {"--frobnicate", "--frobnicate"},
        {"--outputs=x.htm", "--outputs"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.argument);
        const Outcome result = run({c.argument, "page.html"});
        EXPECT_EQ(result.status, 255);
        EXPECT_TRUE(result.errors.starts_with("\nError : ")) << result.errors;
        EXPECT_NE(result.errors.find(c.named), std::string::npos) << result.errors;
        EXPECT_EQ(result.output.find("Quillbox : "), std::string::npos);
    }
    EXPECT_FALSE(exists("output.htm"));
}

// ---------------------------------------------------------------------------------------
// File mode.

TEST_F(Console, ConvertsOneFileIntoOutputHtm) {
    write("page.html", kSmallPage);
    const Outcome result = run({"page.html"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(read("output.htm"), kSmallCompacted);  // no zero byte after the text
    EXPECT_EQ(read("page.html"), kSmallPage);
    ASSERT_TRUE(result.output.starts_with(kBanner));
    ASSERT_TRUE(result.output.ends_with(kDone));
    const std::string progress = result.output.substr(
        kBanner.size(), result.output.size() - kBanner.size() - kDone.size());
    // Both methods ran: the driver's dots with the JavaScript method's own in between.
    RatioLine ratio;
    ASSERT_TRUE(progress.ends_with("\n")) << progress;
    ASSERT_TRUE(parseRatioLine(progress.substr(0, progress.size() - 1), ratio)) << progress;
    EXPECT_GE(ratio.dots, 4u);
    EXPECT_EQ(ratio.name, "output.htm");
    EXPECT_TRUE(progress.ends_with(ratioLine("", expectedSaving(kSmallPage.size(),
                                                                kSmallCompacted.size()),
                                             "output.htm")));
}

// The ratio line with plain compaction alone (three dots): two digits at least, negative
// when the output grew, 100 when nothing was written.
TEST_F(Console, RatioLine) {
    const std::string tight = "<p>" + std::string(200, 'w') + "  end</p>";  // one blank saved
    struct Case {
        const char* name;
        std::string page;
        std::vector<std::string> options;
        std::string line;
    };
    const Case kCases[] = {
        {"zero-padded", tight, {"--method=plain"}, "... (01%) output.htm\n"},
        {"blanks", "<p>a" + std::string(40, ' ') + "b</p>", {"--method=plain"},
         "... (80%) output.htm\n"},
        {"empty page", "", {"--method=plain"}, "... (100%) output.htm\n"},
        {"nothing to remove", "<p>x</p>", {"--method=plain"}, "... (12%) output.htm\n"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        write("page.html", c.page);
        std::vector<std::string> arguments = c.options;
        arguments.push_back("page.html");
        const Outcome result = run(arguments);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output, kBanner + c.line + kDone);
        EXPECT_EQ(c.line, ratioLine("...", expectedSaving(c.page.size(), read("output.htm").size()),
                                    "output.htm"));
    }

    // JavaScript packing alone on a small page writes more than it read.
    write("page.html", kSmallPage);
    const Outcome grown = run({"--method=js", "page.html"});
    const size_t written = read("output.htm").size();
    ASSERT_GT(written, kSmallPage.size());
    const std::string line = ratioLine("", expectedSaving(kSmallPage.size(), written), "output.htm");
    EXPECT_TRUE(line.starts_with(" (-")) << line;
    EXPECT_TRUE(grown.output.ends_with(line + kDone)) << grown.output;
}

// A folder of pages for the name patterns: each page is different, so every output tells
// which page it came from.
class FilePatterns : public Console {
protected:
    const std::vector<std::string> kPages = {"a.html", "ab.html", "b.html", "c.htm",
                                             "notes.txt", "sub/d.html", "sub/e.htm"};
    void SetUp() override {
        // Written in reverse, so that creation order is not name order.
        for (auto name = kPages.rbegin(); name != kPages.rend(); ++name) {
            originals[*name] = "<html><body>\n<h1>" + *name + "</h1>\n<p>" +
                               std::string(name->size() * 3, 'x') + "   text   of   " + *name +
                               "</p>\n</body></html>\n";
            write(*name, originals[*name]);
        }
        fs::create_directory(folder / "out");
    }
    std::map<std::string, std::string> originals;

    std::set<std::string> outputFolder() {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder / "out"))
            names.insert(entry.path().filename().string());
        return names;
    }
};

// Which files each set of patterns converts, and in which order: --output-dir keeps every
// result under its own name, and the ratio lines name them in the order converted. A folder
// that a pattern matches is not converted: it is named on standard error, and the status is 1.
TEST_F(FilePatterns, MatchInNameOrder) {
    struct Case {
        std::vector<std::string> patterns;
        std::vector<std::string> converted;  // in the order expected
        std::string errors;
    };
    const std::string folders = "Couldn't generate file from out: is a folder\n"
                                "Couldn't generate file from sub: is a folder\n";
    const Case kCases[] = {
        {{"*.html"}, {"a.html", "ab.html", "b.html"}, ""},
        {{"?.html"}, {"a.html", "b.html"}, ""},
        {{"*.htm"}, {"c.htm"}, ""},
        {{"*.htm?"}, {"a.html", "ab.html", "b.html"}, ""},
        {{"a*"}, {"a.html", "ab.html"}, ""},
        {{"*b*"}, {"ab.html", "b.html"}, "Couldn't generate file from sub: is a folder\n"},
        {{"??.*"}, {"ab.html"}, ""},
        {{"a.html"}, {"a.html"}, ""},
        {{"c.htm", "a.html"}, {"c.htm", "a.html"}, ""},  // patterns in command line order
        {{"*"}, {"a.html", "ab.html", "b.html", "c.htm", "notes.txt"}, folders},
        {{"sub/*"}, {"d.html", "e.htm"}, ""},
        {{"sub/?.htm*"}, {"d.html", "e.htm"}, ""},
    };
    for (const Case& c : kCases) {
        std::string shown;
        for (const auto& pattern : c.patterns) shown += pattern + " ";
        SCOPED_TRACE("patterns: " + shown);
        fs::remove_all(folder / "out");
        fs::create_directory(folder / "out");
        std::vector<std::string> arguments{"--output-dir=out"};
        arguments.insert(arguments.end(), c.patterns.begin(), c.patterns.end());
        const Outcome result = run(arguments);
        EXPECT_EQ(result.status, c.errors.empty() ? 0 : 1) << result.output;
        EXPECT_EQ(result.errors, c.errors);
        EXPECT_TRUE(result.output.ends_with(kDone));
        std::vector<std::string> expectedNames;
        for (const auto& name : c.converted) expectedNames.push_back("out/" + name);
        EXPECT_EQ(ratioLineNames(result.output), expectedNames);
        EXPECT_EQ(outputFolder(), std::set<std::string>(c.converted.begin(), c.converted.end()));
        EXPECT_FALSE(exists("output.htm"));
    }
}

TEST_F(FilePatterns, OutputDirHoldsWhatOutputHtmWouldHold) {
    const Outcome result = run({"--output-dir=out", "*.html", "sub/*.html"});
    ASSERT_EQ(result.status, 0);
    for (const char* name : {"a.html", "ab.html", "b.html", "sub/d.html"}) {
        SCOPED_TRACE(name);
        const std::string alone = convertAlone(name);
        EXPECT_FALSE(alone.empty());
        EXPECT_TRUE(sameText(read("out/" + fs::path(name).filename().string()), alone));
    }
    for (const auto& [name, text] : originals) EXPECT_EQ(read(name), text) << name;
}

// Every match writes output.htm again, so it ends up holding the last match's result.
TEST_F(FilePatterns, SeveralMatchesLeaveTheLast) {
    const std::string last = convertAlone("b.html");
    const std::string first = convertAlone("a.html");
    ASSERT_NE(first, last);
    const Outcome result = run({"*.html"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(ratioLineNames(result.output),
              (std::vector<std::string>{"output.htm", "output.htm", "output.htm"}));
    EXPECT_TRUE(sameText(read("output.htm"), last));

    const Outcome two = run({"b.html", "a.html"});
    EXPECT_EQ(two.status, 0);
    EXPECT_TRUE(sameText(read("output.htm"), first));
}

TEST_F(FilePatterns, DirectoryPartStillWritesOutputHtmHere) {
    const std::string expected = convertAlone("sub/d.html");
    fs::remove(folder / "output.htm");
    const Outcome result = run({"sub/*.html"});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(sameText(read("output.htm"), expected));
    EXPECT_FALSE(exists("sub/output.htm"));
    EXPECT_EQ(ratioLineNames(result.output), std::vector<std::string>{"output.htm"});
}

TEST_F(FilePatterns, OutputOption) {
    const Outcome result = run({"--output=result.htm", "a.html", "b.html"});
    EXPECT_EQ(result.status, 0);
    EXPECT_FALSE(exists("output.htm"));
    EXPECT_EQ(ratioLineNames(result.output),
              (std::vector<std::string>{"result.htm", "result.htm"}));
    EXPECT_TRUE(sameText(read("result.htm"), convertAlone("b.html")));
}

// Files of any size are converted whole; a folder, named or matched, is not converted, and
// standard error names it. The other pages are converted all the same.
TEST_F(FilePatterns, LargeFilesAndFolders) {
    const std::string big = "<p>" + std::string(150000, 'x') + "  last  words</p>";
    const std::string bigCompacted = "<p>" + std::string(150000, 'x') + " last words</p>";
    write("big.html", big);
    fs::create_directory(folder / "dir.html");
    struct Case {
        std::vector<std::string> arguments;
        std::string errors;
        bool converted;  // output.htm holds the big page, compacted
    };
    const Case kCases[] = {
        {{"big.html"}, "", true},
        {{"big*.html", "dir.html"}, "Couldn't generate file from dir.html: is a folder\n", true},
        {{"dir.html"}, "Couldn't generate file from dir.html: is a folder\n", false},
        {{"d*", "big.html"}, "Couldn't generate file from dir.html: is a folder\n", true},
        {{"sub"}, "Couldn't generate file from sub: is a folder\n", false},
        {{"sub/"}, "Couldn't generate file from sub/: is a folder\n", false},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.arguments.front());
        fs::remove(folder / "output.htm");
        std::vector<std::string> arguments{"--method=plain"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const Outcome result = run(arguments);
        EXPECT_EQ(result.status, c.errors.empty() ? 0 : 1);
        EXPECT_EQ(result.errors, c.errors);
        EXPECT_TRUE(result.output.ends_with(kDone));
        EXPECT_EQ(ratioLineNames(result.output).size(), c.converted ? 1u : 0u);
        EXPECT_EQ(exists("output.htm"), c.converted);
        if (c.converted) {
            EXPECT_TRUE(sameText(read("output.htm"), bigCompacted));
        }
    }
    EXPECT_EQ(read("big.html"), big);
}

TEST_F(FilePatterns, PatternThatMatchesNothing) {
    const std::string fromB = convertAlone("b.html", {"--method=plain"});
    std::map<std::string, std::string> lines;  // each page's ratio line with plain compaction
    for (const char* name : {"a.html", "b.html"}) {
        lines[name] = ratioLine(
            "...", expectedSaving(read(name).size(), convertAlone(name, {"--method=plain"}).size()),
            "output.htm");
    }
    struct Case {
        std::vector<std::string> arguments;
        std::vector<std::string> converted;
        std::string unmatched;  // the pattern the message names
    };
    const Case kCases[] = {
        {{"none*.html"}, {}, "none*.html"},
        {{"none.html"}, {}, "none.html"},
        {{"nofolder/*.html"}, {}, "nofolder/*.html"},
        {{"nofolder/a.html"}, {}, "nofolder/a.html"},
        {{"a.html/b.html"}, {}, "a.html/b.html"},  // a file taken for a folder
        {{"a.html", "b.html", "z*.html", "c.htm"}, {"a.html", "b.html"}, "z*.html"},
        {{"b.html", "-v"}, {"b.html"}, "-v"},  // a switch after a pattern is a pattern
        {{"b.html", "--method=js"}, {"b.html"}, "--method=js"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.arguments.front() + " ...");
        fs::remove(folder / "output.htm");
        std::vector<std::string> arguments{"--method=plain"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const Outcome result = run(arguments);
        EXPECT_EQ(result.status, 255);
        std::string expected = kBanner;
        for (const auto& name : c.converted) expected += lines[name];
        EXPECT_EQ(result.output, expected);
        EXPECT_EQ(result.errors, "\nError : Filenames not found: " + c.unmatched + ".");
        // What the earlier patterns converted stays converted.
        EXPECT_EQ(exists("output.htm"), !c.converted.empty());
        if (!c.converted.empty()) {
            EXPECT_TRUE(sameText(read("output.htm"), fromB));
        }
    }
}

TEST_F(FilePatterns, QuietBeforeThePattern) {
    const Outcome result = run({"-v", "*.html"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, kBanner + kDone);
    EXPECT_TRUE(sameText(read("output.htm"), convertAlone("b.html")));

    const Outcome withLetters = run({"-verbose", "a.html"});  // acts as -v
    EXPECT_EQ(withLetters.output, kBanner + kDone);
}

// What becomes of each named page in file mode: converted (a ratio line), already packed (a
// line that says so), or not converted (one line on standard error naming it, and status 1).
// A page that is not converted writes nothing: an old output.htm stays as it was.
TEST_F(Console, WhatBecomesOfEachPage) {
    std::string utf16 = "\xFF\xFE";
    for (char c : kSmallPage) utf16 += std::string{c, '\0'};
    const std::string packed = kMarker + "<p>packed    before</p>";
    const std::string oldOutput = "an older output";
    struct Case {
        std::vector<std::string> arguments;
        std::vector<std::string> progress;  // the lines between the banner and "done."
        std::vector<std::string> failures;  // the names on standard error, in order
        std::string reason;                 // what each failure line says after the name
        std::string output;                 // output.htm afterwards
    };
    const std::string ratio = ratioLine("...", expectedSaving(kSmallPage.size(),
                                                              kSmallCompacted.size()),
                                        "output.htm");
    const std::string zero = "zero bytes";
    const std::string packedLine = " (already packed, copied unchanged) output.htm\n";
    const Case kCases[] = {
        {{"page.html"}, {ratio}, {}, "", kSmallCompacted},
        {{"utf16.html"}, {}, {"utf16.html"}, zero, oldOutput},
        {{"-v", "utf16.html"}, {}, {"utf16.html"}, zero, oldOutput},
        {{"zero.html", "page.html"}, {ratio}, {"zero.html"}, zero, kSmallCompacted},
        {{"page.html", "utf16.html"}, {ratio}, {"utf16.html"}, zero, kSmallCompacted},
        {{"*.html"}, {packedLine, ratio}, {"utf16.html", "zero.html"}, zero, kSmallCompacted},
        {{"packed.html"}, {packedLine}, {}, "", packed},
        {{"-v", "packed.html", "page.html"}, {}, {}, "", kSmallCompacted},
        {{"--", "-dash.htm"}, {ratio}, {}, "", kSmallCompacted},
        {{"-v", "--", "-dash.htm", "utf16.html"}, {}, {"utf16.html"}, zero, kSmallCompacted},
    };
    for (const Case& c : kCases) {
        std::string shown;
        for (const auto& argument : c.arguments) shown += argument + " ";
        SCOPED_TRACE("arguments: " + shown);
        for (const auto& [name, text] :
             std::map<std::string, std::string>{{"page.html", kSmallPage},
                                                {"-dash.htm", kSmallPage},
                                                {"utf16.html", utf16},
                                                {"zero.html", kSmallPage + '\0' + "<p>x</p>"},
                                                {"packed.html", packed},
                                                {"output.htm", oldOutput}}) {
            write(name, text);
        }
        std::vector<std::string> arguments{"--method=plain"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const Outcome result = run(arguments);
        EXPECT_EQ(result.status, c.failures.empty() ? 0 : 1);
        std::string progress;
        for (const auto& line : c.progress) progress += line;
        EXPECT_EQ(result.output, kBanner + progress + kDone);
        const std::vector<std::string> lines = completeLines(result.errors);
        ASSERT_EQ(lines.size(), c.failures.size()) << result.errors;
        for (size_t i = 0; i < lines.size(); ++i) {
            EXPECT_TRUE(saysNotConverted(lines[i] + "\n", c.failures[i], c.reason));
        }
        EXPECT_TRUE(sameText(read("output.htm"), c.output));
        EXPECT_EQ(read("utf16.html"), utf16);
    }
}

// An output that cannot be written is told once, by the file's name and the system's
// reason; the status is 1 and the page is left as it was.
TEST_F(Console, OutputThatCannotBeWritten) {
    write("page.html", kSmallPage);
    write("packed.html", kMarker + "<p>x</p>");
    fs::create_directory(folder / "taken.htm");
    struct Case {
        std::vector<std::string> arguments;
        std::string output;  // the name the message gives
        std::string reason;
    };
    const Case kCases[] = {
        {{"--output=missing/out.htm", "page.html"}, "missing/out.htm", "No such file or directory"},
        {{"--output=missing/out.htm", "packed.html"}, "missing/out.htm",
         "No such file or directory"},
        {{"-v", "--output=missing/out.htm", "page.html"}, "missing/out.htm",
         "No such file or directory"},
        {{"--output=taken.htm", "page.html"}, "taken.htm", ""},  // a folder stands there
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.arguments.back() + " into " + c.output);
        const Outcome result = run(c.arguments);
        EXPECT_EQ(result.status, 1);
        const std::string start = "Error writing file " + c.output + ": ";
        EXPECT_TRUE(result.errors.starts_with(start)) << result.errors;
        EXPECT_NE(result.errors.find(c.reason, start.size()), std::string::npos) << result.errors;
        EXPECT_EQ(completeLines(result.errors).size(), 1u) << result.errors;
        EXPECT_TRUE(result.output.ends_with(kDone));
    }
    EXPECT_EQ(read("page.html"), kSmallPage);
    EXPECT_TRUE(fs::is_directory(folder / "taken.htm"));
}

// Rights, with the program run without root's powers: a page that cannot be read is named
// with the reason; a name without wildcards is opened directly, so a page in a folder that
// may be entered but not listed is still found, while a pattern there finds nothing.
TEST_F(Console, RightsInFileMode) {
    if (!console_run::canRunUnprivileged()) GTEST_SKIP() << "cannot give up root's powers here";
    write("page.html", kSmallPage);
    write("secret.html", kSmallPage);
    write("hidden/page.html", kSmallPage);
    for (const auto& entry : fs::recursive_directory_iterator(folder.path()))
        fs::permissions(entry.path(), fs::perms::all);
    fs::permissions(folder.path(), fs::perms::all);
    fs::permissions(folder / "secret.html", fs::perms::none);
    fs::permissions(folder / "hidden", fs::perms::owner_exec | fs::perms::others_exec);
    const auto runUnprivileged = [&](const std::vector<std::string>& arguments) {
        console_run::RunSetting setting;
        setting.unprivileged = true;
        return console_run::runQuillbox(folder.path(), arguments, setting);
    };

    const Outcome unreadable = runUnprivileged({"secret.html", "page.html"});
    EXPECT_EQ(unreadable.status, 1);
    EXPECT_TRUE(saysNotConverted(unreadable.errors, "secret.html",
                                 "cannot be read: Permission denied"));
    EXPECT_EQ(read("output.htm"), kSmallCompacted);

    fs::remove(folder / "output.htm");
    const Outcome named = runUnprivileged({"hidden/page.html"});
    EXPECT_EQ(named.status, 0) << named.errors;
    EXPECT_EQ(read("output.htm"), kSmallCompacted);
    const Outcome pattern = runUnprivileged({"hidden/*.html"});
    EXPECT_EQ(pattern.status, 255);
    EXPECT_TRUE(pattern.errors.ends_with("\nError : Filenames not found: hidden/*.html."));
    fs::permissions(folder / "secret.html", fs::perms::all);
    fs::permissions(folder / "hidden", fs::perms::all);
}

// ---------------------------------------------------------------------------------------
// Piping mode.

// Standard output carries the page and nothing else; a page that is not converted is copied
// through unchanged, named on standard error, and the status is 1.
TEST_F(Console, PipingPutsOnlyThePageOnStandardOutput) {
    const std::string zeroByte("<p>a  b</p>\0<p>not lost</p>", 27);
    // "<p>some  text</p>" in UTF-16 with its byte-order mark.
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("<p>some  text</p>")) utf16 += std::string{c, '\0'};
    const std::string bom = "\xEF\xBB\xBF";
    const std::string packed = kMarker + "<p>already    packed</p>";
    const std::string header = "Content-type: text/html\n\n";
    struct Case {
        std::vector<std::string> arguments;
        std::string input;
        std::string output;
        bool converted;  // otherwise: status 1 and one message naming the piped input
    };
    const Case kCases[] = {
        {{"-p"}, kSmallPage, kSmallCompacted, true},
        {{"-v", "-p"}, kSmallPage, kSmallCompacted, true},
        {{"-pipe"}, kSmallPage, kSmallCompacted, true},
        {{"-c", "-p"}, kSmallPage, kSmallWithComment, true},
        {{"--keep-comments", "-p"}, kSmallPage, kSmallWithComment, true},
        {{"-p", "ignored.html"}, kSmallPage, kSmallCompacted, true},
        {{"-p"}, "", "", true},
        {{"-p"}, packed, packed, true},
        // A UTF-8 byte-order mark stays the first bytes.
        {{"-p"}, bom + kSmallPage, bom + kSmallCompacted, true},
        // Zero bytes: binary data or UTF-16 text, which the byte scanner would misread.
        {{"-p"}, zeroByte, zeroByte, false},
        {{"-p"}, utf16, utf16, false},
        {{"-v", "-p"}, utf16, utf16, false},
        {{"-s", "-p"}, header + utf16, header + utf16, false},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.arguments.front() + " " + c.input.substr(0, 20));
        const Outcome result = run(c.arguments, c.input);
        EXPECT_EQ(result.status, c.converted ? 0 : 1);
        EXPECT_TRUE(sameText(result.output, c.output));
        if (c.converted) {
            EXPECT_EQ(result.errors, "");
        } else {
            EXPECT_TRUE(saysNotConverted(result.errors, "(standard input)", "zero bytes"));
            EXPECT_NE(result.errors.find("copied through unchanged"), std::string::npos);
        }
    }
    // JavaScript packing keeps the byte-order mark ahead of the marker.
    const Outcome packedWithMark = run({"--method=js", "-p"}, bom + repetitivePage());
    EXPECT_TRUE(packedWithMark.output.starts_with(bom + kMarker))
        << packedWithMark.output.substr(0, 40);
    EXPECT_FALSE(exists("output.htm"));
}

// A page that cannot be written to standard output fails with status 1 and one message on
// standard error, whatever the page.
TEST_F(Console, PipingIntoAFullDevice) {
    const std::string utf16("\xFF\xFE<\0p\0>\0", 8);
    for (const std::string& page : {kSmallPage, samplePage(), kMarker + "<p>packed</p>", utf16}) {
        SCOPED_TRACE(page.substr(0, 20));
        const Outcome result = console_run::runQuillbox(
            folder.path(), {"-p"}, console_run::RunSetting{page, "/dev/full", false, {}});
        EXPECT_EQ(result.status, 1);
        EXPECT_TRUE(result.errors.starts_with("Error writing file ")) << result.errors;
        EXPECT_NE(result.errors.find("No space left on device"), std::string::npos);
        EXPECT_EQ(completeLines(result.errors).size(), 1u) << result.errors;
    }
}

// A packed page on standard output is what file mode writes into output.htm.
TEST_F(Console, PipingAndFileModeAgree) {
    const std::string page = samplePage();
    ASSERT_GT(page.size(), 1000u);
    const std::string head = page.substr(0, 29000);
    write("page.html", head);
    const std::string fromFile = convertAlone("page.html");
    const Outcome piped = run({"-p"}, head);
    EXPECT_EQ(piped.status, 0);
    EXPECT_TRUE(sameText(piped.output, fromFile));
    EXPECT_FALSE(piped.output.empty());
    EXPECT_NE(piped.output.back(), '\0');
}

// A page is read whole, however long: nothing after the first 30000 or 100000 bytes is lost.
TEST_F(Console, PipingReadsThePageWhole) {
    std::string page = "<html><body>\n";
    for (int i = 0; page.size() < 113000; ++i) {
        page += "<p>filler  text of   paragraph " + std::to_string(i) + "</p>\n";
    }
    page += "<p>the   last words</p></body></html>\n";

    const Outcome plain = run({"--method=plain", "-p"}, page);
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.errors, "");
    EXPECT_TRUE(plain.output.ends_with("<p>the last words</p></body>"))
        << plain.output.substr(plain.output.size() > 80 ? plain.output.size() - 80 : 0);
    EXPECT_NE(plain.output.find("<p>filler text of paragraph 0</p>"), std::string::npos);
    write("page.html", page);
    EXPECT_TRUE(sameText(plain.output, convertAlone("page.html", {"--method=plain"})));

    // Both methods: the result is that of the whole page, as file mode makes it.
    const Outcome best = run({"-p"}, page);
    EXPECT_EQ(best.status, 0);
    EXPECT_TRUE(sameText(best.output, convertAlone("page.html")));
    EXPECT_NE(best.output, run({"-p"}, page.substr(0, 100000)).output);
}

// With -s the web server's header lines come first, unchanged, then the converted page.
TEST_F(Console, ServerHeaderPassThrough) {
    const std::string page = repetitivePage();
    const std::string converted = run({"-p"}, page).output;
    ASSERT_FALSE(converted.empty());
    for (const std::string& header : {std::string("Content-type: text/html\n\n"),
                                     std::string("Content-Type: text/html\r\n\r\n"),
                                     std::string("Content-Type: text/html; charset=utf-8\r\n"
                                                 "Cache-Control: no-cache\r\n\r\n"),
                                     std::string("Status: 200 OK\nX-Note:  two  blanks \n\n")}) {
        SCOPED_TRACE(header);
        const Outcome result = run({"-s", "-p"}, header + page);
        EXPECT_EQ(result.status, 0);
        EXPECT_TRUE(sameText(result.output, header + converted));

        // Without -s the header is taken as page text.
        const Outcome plain = run({"-p"}, header + page);
        EXPECT_FALSE(plain.output.starts_with(header)) << plain.output.substr(0, 80);
    }
    const Outcome small = run({"-s", "-p"}, "Content-type: text/html\n\n" + kSmallPage);
    EXPECT_EQ(small.output, "Content-type: text/html\n\n" + kSmallCompacted);
}

// A page that starts with the marker, in any letter case, is copied byte for byte.
TEST_F(Console, AlreadyPackedPageIsCopied) {
    const std::string body = "<p>already    packed</p>\n<!-- kept -->\n  \n";
    for (const char* marker : {"<!--Quillbox-->", "<!--quillbox-->", "<!--QUILLBOX-->",
                               "<!--qUiLlBoX-->"}) {
        SCOPED_TRACE(marker);
        const std::string page = marker + body;
        const Outcome piped = run({"-p"}, page);
        EXPECT_EQ(piped.status, 0);
        EXPECT_TRUE(sameText(piped.output, page));
        write("page.html", page);
        EXPECT_TRUE(sameText(convertAlone("page.html"), page));
    }
    // Anything before the marker makes it an ordinary page.
    for (const std::string& page : {" " + kMarker + body, "\n" + kMarker + body,
                                   "<!--Quillbo-->" + body}) {
        SCOPED_TRACE(page.substr(0, 16));
        const Outcome piped = run({"--method=plain", "-p"}, page);
        EXPECT_NE(piped.output, page);
        EXPECT_NE(piped.output.find("already packed"), std::string::npos);
    }
}

// ---------------------------------------------------------------------------------------
// What the switches and long options change in the converted page.

TEST_F(Console, CommentsAreRemovedUnlessKept) {
    const std::string page =
        "<p>one <!-- first note --> two</p>\n<!--\nsecond\nnote\n-->\n<p>three</p>\n";
    struct Case {
        std::vector<std::string> options;
        bool kept;
    };
    const Case kCases[] = {
        {{}, false},
        {{"--method=plain"}, false},
        {{"-c"}, true},
        {{"-c", "--method=plain"}, true},
        {{"--keep-comments"}, true},
        {{"-comments"}, true},  // acts as -c
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.options.empty() ? std::string("default") : c.options.front());
        std::vector<std::string> arguments = c.options;
        arguments.push_back("-p");
        const Outcome result = run(arguments, page);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output.find("first note") != std::string::npos, c.kept)
            << result.output.substr(0, 200);
        EXPECT_EQ(result.output.find("second") != std::string::npos, c.kept);
        EXPECT_NE(result.output.find("three"), std::string::npos);
    }
    // The text around a removed comment stays, in order.
    const std::string text = run({"-p"}, page).output;
    const size_t one = text.find("one"), two = text.find("two"), three = text.find("three");
    EXPECT_TRUE(one < two && two < three && three != std::string::npos) << text;
}

TEST_F(Console, RemoveMetaKeepsTheCharacterSet) {
    const std::string page =
        "<html><head><meta charset=\"utf-8\"><meta name=\"keywords\" content=\"apples\">"
        "<title>Meta</title></head><body><p>text</p></body></html>";
    const std::string kept = run({"-p"}, page).output;
    EXPECT_NE(kept.find("keywords"), std::string::npos);
    const std::string removed = run({"--remove-meta", "-p"}, page).output;
    EXPECT_EQ(removed.find("keywords"), std::string::npos) << removed;
    EXPECT_NE(removed.find("<meta charset=\"utf-8\">"), std::string::npos) << removed;
    EXPECT_NE(removed.find("<p>text</p>"), std::string::npos);
}

// --method picks the methods; best keeps the shorter result.
TEST_F(Console, MethodOption) {
    for (const std::string& page : {repetitivePage(), kSmallPage, samplePage().substr(0, 20000)}) {
        SCOPED_TRACE(page.substr(0, 60));
        const std::string js = run({"--method=js", "-p"}, page).output;
        const std::string plain = run({"--method=plain", "-p"}, page).output;
        const std::string best = run({"--method=best", "-p"}, page).output;
        EXPECT_TRUE(sameText(run({"-p"}, page).output, best));
        EXPECT_TRUE(js.starts_with(kMarker)) << js.substr(0, 80);
        EXPECT_FALSE(plain.starts_with(kMarker));
        EXPECT_TRUE(sameText(best, js.size() <= plain.size() ? js : plain));
    }
    // The repetitive page packs far better as a script; the small page does not.
    EXPECT_TRUE(run({"-p"}, repetitivePage()).output.starts_with(kMarker));
    EXPECT_EQ(run({"-p"}, kSmallPage).output, kSmallCompacted);
}

TEST_F(Console, CodeCharLimitAndOutputChunk) {
    const auto highest = [](const std::string& t) {
        unsigned char top = 0;
        for (char c : t) top = std::max(top, static_cast<unsigned char>(c));
        return static_cast<int>(top);
    };
    const std::string page = repetitivePage();
    PackedParts usual, limited;
    ASSERT_TRUE(parsePackedPage(run({"--method=js", "-p"}, page).output, usual));
    const int limit = highest(usual.t);  // one below what the page uses by default
    ASSERT_GT(limit, 4);
    ASSERT_TRUE(parsePackedPage(
        run({"--method=js", "--code-char-limit=" + std::to_string(limit), "-p"}, page).output,
        limited));
    EXPECT_LT(highest(limited.t), limit);
    EXPECT_LT(limited.t.size(), usual.t.size());  // fewer code characters

    const std::string chunked = run({"--method=js", "--output-chunk=77", "-p"}, page).output;
    EXPECT_NE(chunked.find("k%77==0"), std::string::npos);
    EXPECT_NE(run({"--method=js", "-p"}, page).output.find("k%300==0"), std::string::npos);
}

// -d prints the dictionary's words with their counts, then how many there are, on standard
// error, so that a piped page stays clean.
TEST_F(Console, DictionaryTrace) {
    const std::string page = repetitivePage();
    write("page.html", page);
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"-d", "page.html"}, std::vector<std::string>{"-d", "-p"}}) {
        SCOPED_TRACE(arguments.back());
        const Outcome result = run(arguments, page);
        EXPECT_EQ(result.status, 0);
        // An entry line is "o=[" word " " count "]"; the line after the last is the count.
        std::set<std::string> words;
        size_t entries = 0;
        std::string after;  // the line after the last entry
        for (const auto& line : completeLines(result.errors)) {
            if (line.starts_with("o=[") && line.ends_with("]")) {
                const std::string inner = line.substr(3, line.size() - 4);
                const size_t blank = inner.rfind(' ');
                ASSERT_NE(blank, std::string::npos) << line;
                ASSERT_TRUE(isDigits(inner.substr(blank + 1))) << line;
                EXPECT_GT(std::stol(inner.substr(blank + 1)), 0) << line;
                words.insert(inner.substr(0, blank));
                ++entries;
                after.clear();
            } else if (entries && after.empty()) {
                after = line;
            }
        }
        ASSERT_FALSE(words.empty()) << result.errors;
        EXPECT_TRUE(words.count("the ")) << "a word carries its blank";
        EXPECT_TRUE(words.count("river "));
        EXPECT_EQ(after, std::to_string(entries));
        EXPECT_EQ(result.output.find("o=["), std::string::npos);
    }
    // With -p standard output holds the page alone, as without -d.
    const std::string fromFile = read("output.htm");
    const Outcome piped = run({"-d", "-p"}, page);
    EXPECT_TRUE(sameText(piped.output, fromFile));
    EXPECT_TRUE(sameText(piped.output, run({"-p"}, page).output));
    EXPECT_EQ(run({"page.html"}).errors, "");
}

}  // namespace
