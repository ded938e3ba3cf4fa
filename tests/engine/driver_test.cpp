// The conversion driver: bounds, the packed-page marker, method choice, writing and the
// progress line.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "engine_helpers.h"
#include "long_page.h"
#include "packed_decoder.h"
#include "packed_page.h"

namespace {

namespace fs = std::filesystem;

// Captures what the engine prints.
class CapturedConsole {
public:
    CapturedConsole() : file_(std::tmpfile()) {}
    ~CapturedConsole() { std::fclose(file_); }
    std::FILE* file() const { return file_; }
    std::string text() const {
        std::fflush(file_);
        std::string all;
        std::rewind(file_);
        char buffer[512];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file_)) > 0) all.append(buffer, got);
        return all;
    }

private:
    std::FILE* file_;
};

const std::string kPage = "<html><body>\n<p>Some   text, some more text.</p>\n</body></html>\n";

TEST(Driver, MissingInputFails) {
    ScratchFolder folder;
    Engine engine = quietEngine();
    std::string output = (folder / "out.htm").string();
    EXPECT_EQ(convertFile(engine, (folder / "missing.html").c_str(), &output, 100, 0), -1);
}

// Pages that are not converted: the result, what engine.lastPage says, and that nothing is
// written (no page is ever cut to fit).
TEST(Driver, PagesThatAreNotConvertedLeaveNoOutput) {
    ScratchFolder folder;
    const std::string utf16("<\0p\0>\0a\0<\0/\0p\0>\0", 16);
    fs::create_directories(folder / "a-folder.html");
    struct Case {
        std::string name;
        std::string bytes;  // written to in.html unless empty
        std::string input;
        long bound;
        PageOutcome outcome;
        std::string description;
    };
    const Case cases[] = {
        {"missing", "", "missing.html", NO_BOUND, PageOutcome::NotRead,
         "cannot be read: No such file or directory"},
        {"folder", "", "a-folder.html", NO_BOUND, PageOutcome::NotRead,
         "cannot be read: Is a directory"},
        {"longer than the bound", "abc def ghi", "in.html", 10, PageOutcome::TooLong,
         "is longer than the limit: more than 10 bytes"},
        {"UTF-16", utf16, "in.html", NO_BOUND, PageOutcome::HoldsZeroBytes,
         "holds zero bytes (UTF-16 or UTF-32 text, or binary data)"},
        {"zero byte at the end", std::string("<p>a</p>\0", 9), "in.html", NO_BOUND,
         PageOutcome::HoldsZeroBytes, "holds zero bytes (UTF-16 or UTF-32 text, or binary data)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.bytes.empty()) writeFileBytes(folder / "in.html", c.bytes);
        Engine engine = quietEngine();
        std::string output = (folder / "out.htm").string();
        EXPECT_EQ(convertFile(engine, (folder / c.input).c_str(), &output, c.bound, 0), -1);
        EXPECT_EQ(engine.lastPage.outcome, c.outcome);
        EXPECT_EQ(describeFailure(engine.lastPage), c.description);
        EXPECT_FALSE(fs::exists(output));
    }
    // A bound the page fills exactly is no reason to refuse it.
    writeFileBytes(folder / "in.html", "abc def ghi");
    Engine engine = quietEngine();
    std::string output = (folder / "out.htm").string();
    EXPECT_EQ(convertFile(engine, (folder / "in.html").c_str(), &output, 11, FLAG_PLAIN), 11);
    EXPECT_EQ(engine.lastPage.outcome, PageOutcome::Converted);
}

// A piped page that holds a zero byte goes out as it came in, and is reported.
TEST(Driver, PipedPageWithZeroBytesIsCopiedThrough) {
    const std::string utf16("\xFF\xFE<\0p\0>\0h\0i\0", 12);
    Engine engine = quietEngine();
    engine.input = std::tmpfile();
    CapturedConsole output;
    engine.output = output.file();
    std::fwrite(utf16.data(), 1, utf16.size(), engine.input);
    std::rewind(engine.input);
    EXPECT_EQ(convertFile(engine, nullptr, nullptr, NO_BOUND, 0), -1);
    EXPECT_EQ(engine.lastPage.outcome, PageOutcome::HoldsZeroBytes);
    EXPECT_TRUE(engine.lastPage.copiedThrough);
    EXPECT_EQ(output.text(), utf16);
    std::fclose(engine.input);
}

// A page of 20 MB, far beyond the old limits, is converted whole by both methods.
TEST(Driver, LargePagesAreConvertedWhole) {
    ScratchFolder folder;
    std::string page = "<html><head><title>Long</title></head><body>\n";
    for (int i = 0; page.size() < 20000000; ++i) {
        page += "<p>Paragraph " + std::to_string(i) + " of the long page, with words that repeat.</p>\n";
    }
    page += "<p>The last words.</p></body></html>\n";
    writeFileBytes(folder / "in.html", page);
    for (const int flags : {FLAG_PLAIN, FLAG_JAVASCRIPT}) {
        Engine engine = quietEngine();
        std::string output = (folder / "out.htm").string();
        EXPECT_GT(convertFile(engine, (folder / "in.html").c_str(), &output, NO_BOUND, flags), 0);
        const std::string written = readFileBytes(output);
        if (flags == FLAG_PLAIN) {
            EXPECT_NE(written.find("<p>The last words.</p>"), std::string::npos);
        } else {
            // Packed, and its decoder rebuilds the page to its last words.
            PackedParts parts;
            ASSERT_TRUE(parsePackedPage(written, parts));
            std::string decoded;
            ASSERT_TRUE(decodePacked(parts.t, parts.s, parts.c, parts.l, decoded));
            EXPECT_GT(decoded.size(), 19000000u);
            EXPECT_NE(decoded.find("The last words."), std::string::npos);
        }
    }
}

// Sanitizers reserve far more address space than a limit on it leaves.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kUnderSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kUnderSanitizer = true;
#else
constexpr bool kUnderSanitizer = false;
#endif
#else
constexpr bool kUnderSanitizer = false;
#endif

// The address space the process takes now, in bytes.
size_t addressSpaceInUse() {
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0;
    statm >> pages;
    return pages * static_cast<size_t>(::sysconf(_SC_PAGESIZE));
}

// Converts `input` with the address space limited to what the process takes now and `room`
// bytes more. Returns 0 when the page was converted (`converted`), or else refused as too
// large for memory with nothing written; 1 otherwise.
int convertWithin(size_t room, const std::string& input, std::string output, int flags,
                  bool converted) {
    Engine engine = quietEngine();
    const rlim_t limit = addressSpaceInUse() + room;
    const rlimit bound{limit, limit};
    if (::setrlimit(RLIMIT_AS, &bound) != 0) return 2;
    const long result = convertFile(engine, input.c_str(), &output, NO_BOUND, flags);
    const bool refused = result == -1 && engine.lastPage.outcome == PageOutcome::NoMemory &&
                         !fs::exists(output);
    return (converted ? result > 0 : refused) ? 0 : 1;
}

// A page too large for the memory left is refused as such, nothing is written, and the
// process goes on. Each case runs in a child process whose address space may grow by `room`
// times the page's size.
TEST(Driver, PageTooLargeForMemoryIsRefused) {
    if (kUnderSanitizer) GTEST_SKIP() << "the sanitizers reserve the address space limited here";
    ScratchFolder folder;
    std::mt19937 random(8);
    const std::string page = longPage(random, 4000000);
    const std::string input = (folder / "in.html").string();
    const std::string output = (folder / "out.htm").string();
    writeFileBytes(input, page);
    struct Case {
        const char* name;
        int flags;
        double room;
        bool converted;
    };
    const Case kCases[] = {
        {"the page cannot be read", 0, 0.5, false},
        {"the page is read, JavaScript packing has no room", FLAG_JAVASCRIPT, 3, false},
        {"the page is read, the best of both has no room", 0, 3, false},
        {"the page is read, plain compaction has no room", FLAG_PLAIN, 1.5, false},
        {"room for the best of both", 0, 16, true},  // last: it writes the output
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const auto room = static_cast<size_t>(c.room * static_cast<double>(page.size()));
        EXPECT_EXIT(std::_Exit(convertWithin(room, input, output, c.flags, c.converted)),
                    ::testing::ExitedWithCode(0), "");
    }
}

// A UTF-8 byte-order mark stays the first bytes of the output, whichever method wins; a
// packed page after one is recognised as packed.
TEST(Driver, ByteOrderMarkStaysFirst) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::string page = bom + "<html><head><title>Mark</title></head><body>\n<p>" +
                             "caf\xC3\xA9 words words words words words words words</p>\n" +
                             "<p>words words words words words words words words</p></body></html>";
    for (const int flags : {FLAG_PLAIN, FLAG_JAVASCRIPT}) {
        ScratchFolder folder;
        writeFileBytes(folder / "in.html", page);
        Engine engine = quietEngine();
        std::string output = (folder / "out.htm").string();
        ASSERT_GT(convertFile(engine, (folder / "in.html").c_str(), &output, NO_BOUND, flags), 0);
        const std::string written = readFileBytes(output);
        EXPECT_TRUE(written.starts_with(bom + (flags == FLAG_PLAIN ? "<title>" : "<!--Quillbox-->")))
            << written.substr(0, 40);
        EXPECT_EQ(written.find(bom, 1), std::string::npos);  // and nowhere else

        // Converted again, it is already packed, or plainly compacted the same way.
        std::string again = (folder / "again.htm").string();
        ASSERT_GT(convertFile(engine, output.c_str(), &again, NO_BOUND, flags), 0);
        if (flags == FLAG_JAVASCRIPT) {
            EXPECT_EQ(engine.lastPage.outcome, PageOutcome::AlreadyPacked);
            EXPECT_EQ(readFileBytes(again), written);
        }
    }
}

// A page whose own or linked style sheets (read from beside the page, also through @import)
// keep white space somewhere keeps every blank; one whose sheets do not is compacted.
TEST(Driver, StyleSheetsThatKeepWhiteSpaceKeepEveryBlank) {
    const std::string page =
        "<html><head><link rel=\"stylesheet\" href=\"css/site.css?v=2\"></head>\n"
        "<body><p class=sig>void  validate(String name,\n    String value)</p></body></html>";
    struct Case {
        std::string name;
        std::string siteCss;
        std::string importedCss;  // css/more.css, empty: no such file
        bool kept;
    };
    const Case cases[] = {
        {"sheet keeps white space", ".sig { white-space: pre-wrap }", "", true},
        {"imported sheet keeps it", "@import url(\"more.css\");", ".sig{white-space:pre}", true},
        {"sheets that do not", "p { margin: 0 }", "", false},
        {"missing sheet", "@import 'more.css';", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        fs::create_directories(folder / "css");
        writeFileBytes(folder / "in.html", page);
        writeFileBytes(folder / "css" / "site.css", c.siteCss);
        if (!c.importedCss.empty()) writeFileBytes(folder / "css" / "more.css", c.importedCss);
        for (const int flags : {FLAG_PLAIN, FLAG_JAVASCRIPT}) {
            Engine engine = quietEngine();
            std::string output = (folder / "out.htm").string();
            ASSERT_GT(convertFile(engine, (folder / "in.html").c_str(), &output, NO_BOUND, flags),
                      0);
            std::string shown = readFileBytes(output);
            if (flags == FLAG_JAVASCRIPT) {
                PackedParts parts;
                ASSERT_TRUE(parsePackedPage(shown, parts));
                ASSERT_TRUE(decodePacked(parts.t, parts.s, parts.c, parts.l, shown));
            }
            EXPECT_EQ(shown.find("void  validate(String name,\n    String value)") !=
                          std::string::npos,
                      c.kept)
                << shown;
            EXPECT_EQ(engine.options.keepBlanks, 0);  // for that page only
        }
    }
}

TEST(Driver, WriteFailureIsReportedWithNameAndReason) {
    ScratchFolder folder;
    writeFileBytes(folder / "in.html", kPage);
    CapturedConsole console, errors;
    Engine engine;
    engine.console = console.file();
    engine.errors = errors.file();
    engine.options.progressDots = 0;
    std::string output = (folder / "no-such-folder" / "out.htm").string();
    EXPECT_EQ(convertFile(engine, (folder / "in.html").c_str(), &output, NO_BOUND, 0), 0);
    EXPECT_EQ(engine.lastPage.outcome, PageOutcome::NotWritten);
    EXPECT_EQ(console.text(), "");
    EXPECT_EQ(errors.text(), "Error writing file " + output + ": No such file or directory\n");
}

TEST(Driver, PackedPageIsCopiedUnchanged) {
    ScratchFolder folder;
    const std::string packed = "<!--QUILLBOX-->\n<p>  already   packed  </p>\n";
    writeFileBytes(folder / "in.html", packed);
    Engine engine = quietEngine();
    std::string output = (folder / "out.htm").string();
    EXPECT_EQ(convertFile(engine, (folder / "in.html").c_str(), &output, 1000, 0),
              static_cast<long>(packed.size()));
    EXPECT_EQ(readFileBytes(output), packed);  // byte for byte, no zero byte after it

    writeFileBytes(folder / "in.html", " " + packed);  // a blank before the marker
    convertFile(engine, (folder / "in.html").c_str(), &output, 1000, 0);
    EXPECT_NE(readFileBytes(output), " " + packed);
}

TEST(Driver, OutputHoldsTheTextAndNothingAfterIt) {
    ScratchFolder folder;
    writeFileBytes(folder / "in.html", kPage);
    Engine engine = quietEngine();
    std::string output = (folder / "out.htm").string();
    const long written = convertFile(engine, (folder / "in.html").c_str(), &output, 1000, 0);
    const std::string bytes = readFileBytes(output);
    EXPECT_EQ(static_cast<long>(bytes.size()), written);
    EXPECT_EQ(bytes.find('\0'), std::string::npos);
}

TEST(Driver, QuestionMarksInTheOutputNameBecomeUnderscores) {
    ScratchFolder folder;
    writeFileBytes(folder / "in.html", kPage);
    Engine engine = quietEngine();
    std::string output = (folder / "a?b.htm").string();
    EXPECT_GT(convertFile(engine, (folder / "in.html").c_str(), &output, 1000, 0), 0);
    EXPECT_EQ(output, (folder / "a_b.htm").string());
    EXPECT_TRUE(fs::exists(folder / "a_b.htm"));
}

TEST(Driver, FlagsWithoutAMethodFailAfterTwoDots) {
    ScratchFolder folder;
    writeFileBytes(folder / "in.html", kPage);
    CapturedConsole console;
    Engine engine;
    engine.console = console.file();
    std::string output = (folder / "out.htm").string();
    EXPECT_EQ(convertFile(engine, (folder / "in.html").c_str(), &output, 1000, FLAG_NO_META), -1);
    EXPECT_EQ(console.text(), "..");
    EXPECT_FALSE(fs::exists(output));
}

TEST(Driver, DotsAndRatioLine) {
    ScratchFolder folder;
    writeFileBytes(folder / "in.html", kPage);
    CapturedConsole console;
    Engine engine;
    engine.console = console.file();
    std::string output = (folder / "out.htm").string();
    const long written = convertFile(engine, (folder / "in.html").c_str(), &output, 1000, 0);
    const long saving = 100 - written * 100 / static_cast<long>(kPage.size() + 1);
    char expected[64];
    std::snprintf(expected, sizeof expected, "....... (%02ld%%) %s\n", saving, output.c_str());
    EXPECT_EQ(console.text(), expected);  // three of the driver, four of the packer
}

TEST(Driver, GrowingOutputShowsANegativeSaving) {
    ScratchFolder folder;
    writeFileBytes(folder / "in.html", "ab");
    CapturedConsole console;
    Engine engine;
    engine.console = console.file();
    std::string output = (folder / "out.htm").string();
    convertFile(engine, (folder / "in.html").c_str(), &output, 100, FLAG_JAVASCRIPT);
    EXPECT_NE(console.text().find(" (-"), std::string::npos) << console.text();
}

TEST(Driver, FlagsZeroRemoveCommentsAndChooseTheShorter) {
    ScratchFolder folder;
    writeFileBytes(folder / "in.html", "<p>a <!-- note --> b</p>");
    Engine engine = quietEngine();
    std::string output = (folder / "out.htm").string();
    convertFile(engine, (folder / "in.html").c_str(), &output, 1000, 0);
    EXPECT_EQ(readFileBytes(output), "<p>a <!----> b</p>");
    convertFile(engine, (folder / "in.html").c_str(), &output, 1000, FLAG_PLAIN | FLAG_JAVASCRIPT);
    EXPECT_EQ(readFileBytes(output), "<p>a <!-- note --> b</p>");
    EXPECT_EQ(engine.options.keepComments, 1);
    convertFile(engine, (folder / "in.html").c_str(), &output, 1000, FLAG_PLAIN | FLAG_NO_META);
    EXPECT_EQ(engine.options.removeMeta, 1);
}

// A large page's plain compaction runs beside JavaScript packing on an engine of its own: it
// must still follow the options the flags set.
TEST(Driver, LargePageCompactsPlainlyWithTheFlagsOptions) {
    // No word comes twice, so JavaScript packing only adds its decoder and plain compaction wins.
    for (const size_t size : {20000, 40000}) {
        std::string page = "<html><head><meta name=\"keywords\" content=\"x\"></head><body>\n"
                           "<!-- a note -->\n";
        for (int i = 0; page.size() < size; ++i) page += "w" + std::to_string(i) + "   \n";
        ScratchFolder folder;
        writeFileBytes(folder / "in.html", page);
        struct Case {
            int flags;
            int keepComments;
            int removeMeta;
        };
        for (const Case& c :
             {Case{FLAG_PLAIN | FLAG_JAVASCRIPT, 1, 0},
              Case{FLAG_PLAIN | FLAG_JAVASCRIPT | FLAG_NO_META | FLAG_NO_COMMENTS, 0, 1}}) {
            Engine engine = quietEngine();
            std::string output = (folder / "out.htm").string();
            ASSERT_GT(convertFile(engine, (folder / "in.html").c_str(), &output, 100000, c.flags),
                      0);
            Engine reference = quietEngine();
            reference.options.keepComments = c.keepComments;
            reference.options.removeMeta = c.removeMeta;
            EXPECT_EQ(readFileBytes(output), compactText(reference, page))
                << "size " << size << ", flags " << c.flags;
        }
    }
}

// packBest packs with plain compaction's length as a ceiling: packing gives up only where its
// page would be longer, and otherwise gives the page it gives without one.
TEST(Driver, PackingUnderACeilingGivesUpOnlyAboveIt) {
    std::vector<std::string> pages;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(QUILLBOX_TEST_DATA) / "pages")) {
        pages.push_back(readFileBytes(entry.path()));
    }
    std::mt19937 random(11);
    for (int i = 0; i < 6; ++i) pages.push_back(longPage(random, 5000 + 8000 * i));
    int packedPages = 0;
    int plainShorter = 0;
    for (const std::string& page : pages) {
        for (int variant = 0; variant < 8; ++variant) {
            Engine engine = quietEngine();
            engine.options.removeMeta = variant & 1;
            engine.options.keepComments = (variant >> 1) & 1;
            engine.options.serverHeader = (variant >> 2) & 1;
            std::string copy = page;
            const std::optional<PackedPage> packed = packJavaScript(engine, copy);
            if (!packed) continue;
            ++packedPages;
            const size_t length = packed->text.size();
            const size_t plain = compactText(engine, page).size();
            plainShorter += plain < length;
            for (const size_t ceiling : {length, length - 1, length / 2, plain, size_t{0}}) {
                copy = page;
                const std::optional<PackedPage> capped = packJavaScript(engine, copy, ceiling);
                EXPECT_EQ(capped, length <= ceiling ? packed : std::nullopt)
                    << page.substr(0, 40) << ", variant " << variant << ", ceiling " << ceiling;
            }
        }
    }
    EXPECT_GT(packedPages, 0);
    EXPECT_GT(plainShorter, 0);
}

TEST(Driver, InPlaceConversionKeepsPermissionsAndReplacesAtomically) {
    ScratchFolder folder;
    const fs::path page = folder / "page.html";
    writeFileBytes(page, kPage);
    ::chmod(page.c_str(), 0640);
    Engine engine = quietEngine();
    std::string output = page.string();
    EXPECT_GT(convertFile(engine, page.c_str(), &output, 1000, 0), 0);
    struct stat status {};
    ASSERT_EQ(::stat(page.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    // Nothing but the page itself is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

TEST(Driver, LongNamesWork) {
    ScratchFolder folder;
    const fs::path page = folder / (std::string(150, 'n') + ".html");
    writeFileBytes(page, kPage);
    Engine engine = quietEngine();
    std::string output = (folder / (std::string(140, 'o') + ".htm")).string();
    EXPECT_GT(convertFile(engine, page.c_str(), &output, 1000, 0), 0);
}

TEST(Driver, JavaScriptOnlyFallsBackToPlainWhenPackingCannotBeExact) {
    ScratchFolder folder;
    // High bytes and no declared character set: not packed.
    writeFileBytes(folder / "in.html", "<p>caf\xE9 caf\xE9 caf\xE9</p>");
    Engine engine = quietEngine();
    std::string output = (folder / "out.htm").string();
    convertFile(engine, (folder / "in.html").c_str(), &output, 1000, FLAG_JAVASCRIPT);
    EXPECT_EQ(readFileBytes(output), "<p>caf\xE9 caf\xE9 caf\xE9</p>");
}

}  // namespace
