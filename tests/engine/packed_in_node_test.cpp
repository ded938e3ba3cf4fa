// The packed pages' own scripts, run by a real JavaScript engine (node), write exactly what
// the engine's decoder rebuilds: for the golden pages and for generated pages full of
// capitals, quotes, backslashes, preformatted text and non-ASCII letters.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "engine_helpers.h"
#include "long_page.h"
#include "packed_decoder.h"
#include "packed_page.h"

namespace {

namespace fs = std::filesystem;

// A page of random words in random case, with the awkward parts packing must get right.
std::string generatedPage(std::mt19937& random) {
    static const char* const kWords[] = {
        "the", "The", "THE", "page", "Page", "packing", "HTML", "html", "Quillbox", "word",
        "caf\xC3\xA9", "Stra\xC3\x9F" "e", "\xC3\x89t\xC3\xA9", "na\xC3\xAFve", "\xE6\x97\xA5\xE6\x9C\xAC",
        "a\\b", "C:\\\\dir", "\"quoted\"", "it's", "x<y", "a&amp;b", "~tilde~", "50%", "MiXeD",
        "camelCase", "ABCdef", "dot.com", "why?", "one,two", "\xE2\x80\x94", "\xF0\x9F\x98\x80"};
    const auto word = [&] { return std::string(kWords[random() % std::size(kWords)]); };
    std::string page = "<meta charset=\"utf-8\"><title>" + word() + " " + word() + "</title>\n";
    const int blocks = 3 + static_cast<int>(random() % 6);
    for (int b = 0; b < blocks; ++b) {
        switch (random() % 5) {
            case 0: {  // preformatted text with tabs, blanks and line breaks
                page += "<pre>";
                for (int i = 0; i < 12; ++i) {
                    page += word();
                    page += (random() % 3 == 0) ? "\t" : (random() % 2 ? "  " : "\n");
                }
                page += "</pre>\n";
                break;
            }
            case 1: {  // a list with attributes in mixed case
                page += "<ul class=\"" + word() + "\">";
                for (int i = 0; i < 4; ++i) page += "<li><a href=\"Page" + std::to_string(i) + ".html\">" + word() + "</a> " + word();
                page += "</ul>\n";
                break;
            }
            default: {  // a paragraph of repeated words and inline tags
                page += "<p>";
                const int words = 10 + static_cast<int>(random() % 40);
                for (int i = 0; i < words; ++i) {
                    const int shape = static_cast<int>(random() % 10);
                    if (shape == 0) page += "<b>" + word() + "</b>";
                    else if (shape == 1) page += word() + ",";
                    else if (shape == 2) page += "<!-- " + word() + " -->";
                    else page += word();
                    page += (random() % 7 == 0) ? "\n" : " ";
                }
                page += "</p>\n";
            }
        }
    }
    return page;
}

bool nodeAvailable() { return std::system("node --version > /dev/null 2>&1") == 0; }

TEST(PackedInNode, ScriptsWriteWhatTheDecoderRebuilds) {
    if (!nodeAvailable()) GTEST_SKIP() << "node is not installed";
    ScratchFolder folder;
    int written = 0;
    const auto add = [&](const std::string& name, const std::string& page) {
        Engine engine = quietEngine();
        const auto packed = packText(engine, page);
        if (!packed) return;
        PackedParts parts;
        ASSERT_TRUE(parsePackedPage(*packed, parts)) << name;
        std::string decoded;
        ASSERT_TRUE(decodePacked(parts.t, parts.s, parts.c, parts.l, decoded)) << name;
        writeFileBytes(folder / (name + ".packed.html"), *packed);
        writeFileBytes(folder / (name + ".decoded"), decoded);
        ++written;
    };
    for (const auto& entry : fs::directory_iterator(fs::path(QUILLBOX_TEST_DATA) / "pages")) {
        add(entry.path().stem().string(), readFileBytes(entry.path()));
    }
    std::mt19937 random(20261207);
    for (int i = 0; i < 150; ++i) add("generated-" + std::to_string(i), generatedPage(random));
    // Long pages, which packing splits between two threads.
    for (int i = 0; i < 4; ++i) add("long-" + std::to_string(i), longPage(random, 40000));
    // A page three times the size pages were once cut at decodes exactly as well.
    add("long-300-KB", longPage(random, 300000));
    ASSERT_GT(written, 155);

    const std::string command = "node \"" + std::string(QUILLBOX_SOURCE_DIR) +
                                "/tools/check-packed-pages.mjs\" \"" + folder.path().string() +
                                "\" > \"" + (folder / "report.txt").string() + "\" 2>&1";
    const int status = std::system(command.c_str());
    const std::string report = readFileBytes(folder / "report.txt");
    EXPECT_EQ(status, 0) << report;
    EXPECT_NE(report.find(std::to_string(written) + " passed, 0 failed"), std::string::npos) << report;
}

}  // namespace
