// The conversion driver: bounds, the packed-page marker, method choice, writing and the
// progress line.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "engine_helpers.h"
#include "long_page.h"
#include "packed_writer.h"

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

TEST(Driver, BoundAboveTheLimitIsRefusedBeforeOpening) {
    ScratchFolder folder;
    Engine engine = quietEngine();
    std::string output = (folder / "out.htm").string();
    EXPECT_EQ(convertFile(engine, "/nonexistent/page.html", &output, 100001, 0), -1);
    writeFileBytes(folder / "in.html", kPage);
    EXPECT_EQ(convertFile(engine, (folder / "in.html").c_str(), &output, 100001, 0), -1);
    EXPECT_FALSE(fs::exists(output));
    EXPECT_GT(convertFile(engine, (folder / "in.html").c_str(), &output, 100000, 0), 0);
}

TEST(Driver, MissingInputFails) {
    ScratchFolder folder;
    Engine engine = quietEngine();
    std::string output = (folder / "out.htm").string();
    EXPECT_EQ(convertFile(engine, (folder / "missing.html").c_str(), &output, 100, 0), -1);
}

TEST(Driver, PageIsCutAtTheBound) {
    ScratchFolder folder;
    writeFileBytes(folder / "in.html", "abc def ghi");
    Engine engine = quietEngine();
    std::string output = (folder / "out.htm").string();
    EXPECT_EQ(convertFile(engine, (folder / "in.html").c_str(), &output, 7, FLAG_PLAIN), 7);
    EXPECT_EQ(readFileBytes(output), "abc def");
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

TEST(Driver, PageEndsAtItsFirstZeroByte) {
    ScratchFolder folder;
    writeFileBytes(folder / "in.html", std::string("<p>a</p>\0<p>b</p>", 17));
    Engine engine = quietEngine();
    long bound = 100;
    const auto page = readPage(engine, (folder / "in.html").c_str(), bound);
    ASSERT_TRUE(page);
    EXPECT_EQ(*page, "<p>a</p>");
    EXPECT_EQ(bound, 8);
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
    EXPECT_EQ(readFileBytes(output), "<p>a b</p>");
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
    // At 20000 bytes plain compaction runs on a thread of its own; at 40000 JavaScript packing
    // splits the page between two threads and plain compaction follows it.
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

// packBest leaves plain compaction out where the packed page is no longer than the body text
// that plain compaction keeps: that floor must never exceed plain compaction's length.
TEST(Driver, PlainCompactionIsNeverShorterThanTheFloor) {
    std::vector<std::string> pages;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(QUILLBOX_TEST_DATA) / "pages")) {
        pages.push_back(readFileBytes(entry.path()));
    }
    std::mt19937 random(11);
    for (int i = 0; i < 6; ++i) pages.push_back(longPage(random, 5000 + 8000 * i));
    for (const std::string& page : pages) {
        for (int variant = 0; variant < 8; ++variant) {
            Engine engine = quietEngine();
            engine.options.removeMeta = variant & 1;
            engine.options.keepComments = (variant >> 1) & 1;
            engine.options.serverHeader = (variant >> 2) & 1;
            packText(engine, page);
            EXPECT_LE(lastPlainFloor(engine), compactText(engine, page).size())
                << page.substr(0, 40) << ", variant " << variant;
        }
    }
}

TEST(Driver, WriteFailureReportsAndReturnsZero) {
    ScratchFolder folder;
    writeFileBytes(folder / "in.html", kPage);
    CapturedConsole console;
    Engine engine;
    engine.console = console.file();
    engine.options.progressDots = 0;
    std::string output = (folder / "no-such-folder" / "out.htm").string();
    EXPECT_EQ(convertFile(engine, (folder / "in.html").c_str(), &output, 1000, 0), 0);
    EXPECT_EQ(console.text(), "Error writing file\n");
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
