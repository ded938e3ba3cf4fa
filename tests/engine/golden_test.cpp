// Golden pages: every page under tests/data/pages (and, behind server headers, under
// tests/data/server) compacted and packed, compared byte for byte with tests/data/expected.
// QUILLBOX_UPDATE_GOLDEN=1 rewrites the expected files; review their diff before committing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine_helpers.h"
#include "packed_decoder.h"
#include "packed_page.h"

namespace {

namespace fs = std::filesystem;

const fs::path kData = QUILLBOX_TEST_DATA;

std::vector<fs::path> pagesIn(const fs::path& folder) {
    std::vector<fs::path> pages;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".html") pages.push_back(entry.path());
    }
    std::sort(pages.begin(), pages.end());
    return pages;
}

// Reads a page as the driver does: up to its first zero byte.
std::string loadPage(const fs::path& path) {
    Engine engine = quietEngine();
    long bound = static_cast<long>(fs::file_size(path));
    return readPage(engine, path.c_str(), bound).value_or("");
}

bool updating() {
    const char* flag = std::getenv("QUILLBOX_UPDATE_GOLDEN");
    return flag && *flag == '1';
}

// Compares `actual` with the expected file, or rewrites it; a missing result means no file.
void checkGolden(const fs::path& expected, const std::optional<std::string>& actual) {
    if (updating()) {
        fs::create_directories(expected.parent_path());
        if (actual) writeFileBytes(expected, *actual);
        else fs::remove(expected);
        return;
    }
    if (!actual) {
        EXPECT_FALSE(fs::exists(expected)) << expected << " expects a result";
        return;
    }
    ASSERT_TRUE(fs::exists(expected)) << expected << " is missing";
    EXPECT_TRUE(readFileBytes(expected) == *actual) << expected << " differs";
}

void checkPage(const fs::path& page, bool serverHeader) {
    SCOPED_TRACE(page.filename().string());
    const std::string text = loadPage(page);
    const fs::path expected = kData / "expected" / (serverHeader ? "server" : "");
    const std::string stem = page.stem().string();

    Engine engine = quietEngine();
    engine.options.serverHeader = serverHeader;
    const std::string plain = compactText(engine, text);
    checkGolden(expected / (stem + ".plain.html"), plain);
    EXPECT_EQ(compactText(engine, plain), plain) << "compacting twice changes the page";

    const std::optional<std::string> packed = packText(engine, text);
    checkGolden(expected / (stem + ".packed.html"), packed);
    if (packed) {
        PackedParts parts;
        ASSERT_TRUE(parsePackedPage(*packed, parts));
        std::string decoded;
        EXPECT_TRUE(decodePacked(parts.t, parts.s, parts.c, parts.l, decoded));
    }
}

TEST(GoldenPages, CompactedAndPacked) {
    const auto pages = pagesIn(kData / "pages");
    ASSERT_GE(pages.size(), 12u);
    for (const fs::path& page : pages) checkPage(page, false);
}

TEST(GoldenPages, BehindServerHeaders) {
    for (const fs::path& page : pagesIn(kData / "server")) checkPage(page, true);
}

}  // namespace
