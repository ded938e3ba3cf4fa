// Large pages are packed in two parts on two threads: the result must be the one a single
// thread gives, whatever lies at the split point, and the side thread must behave.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "dictionary.h"
#include "engine_helpers.h"
#include "long_page.h"
#include "packed_writer.h"
#include "side_thread.h"

namespace {

// Packs the page with the options of `variant` (0 to 7).
std::optional<std::string> packWithSplitAt(std::string page, int sideBySideSize, int variant,
                                           SideBySideSteps* steps = nullptr) {
    Engine engine = quietEngine();
    engine.options.sideBySideSize = sideBySideSize;
    engine.options.keepComments = variant & 1;
    engine.options.removeMeta = (variant >> 1) & 1;
    engine.options.codeCharLimit = (variant & 4) ? 90 : 256;
    const std::string original = page;
    std::optional<std::string> packed = packJavaScript(engine, page);
    if (steps) *steps = lastSideBySideSteps(engine);
    EXPECT_EQ(page, original) << "packBest compacts the page plainly after packing it";
    return packed;
}

TEST(SideBySide, SplitPagesPackAsOneThreadPacksThem) {
    std::mt19937 random(20261207);
    int counted = 0;
    int written = 0;
    int checked = 0;
    int tries = 0;
    for (int round = 0; round < 24; ++round) {
        const std::string page = longPage(random, 3000 + 1500 * static_cast<size_t>(round));
        for (int variant = 0; variant < 8; ++variant) {
            SideBySideSteps steps;
            const auto split = packWithSplitAt(page, 1, variant, &steps);
            EXPECT_EQ(split, packWithSplitAt(page, 0, variant))
                << "round " << round << ", variant " << variant;
            ++tries;
            counted += steps.counted;
            written += steps.written;
            checked += steps.checked;
        }
    }
    // The split points fell in all kinds of places, and most were taken.
    EXPECT_GT(counted, tries / 2);
    EXPECT_GT(written, tries / 2);
    EXPECT_GT(checked, tries / 3);
    EXPECT_LT(counted, tries);
}

TEST(SideBySide, SplitAfterWhatWritesNothingPacksAsOneThreadPacksIt) {
    // The split point falls on the first text after a long head or a long comment: the first
    // part writes only the head part, or (when comments go) no coded text at all.
    std::string styled = "<html><head><title>t</title><style>";
    while (styled.size() < 3000) styled += "p{color:red} ";
    styled += "</style></head>\n<body>";
    std::string commented = "<!-- ";
    while (commented.size() < 3000) commented += "a note ";
    commented += "-->";
    for (std::string page : {styled, commented}) {
        for (int i = 0; i < 300; ++i) page += i % 3 ? "canal " : "lock ";
        for (int variant = 0; variant < 8; ++variant) {
            SideBySideSteps steps;
            const auto split = packWithSplitAt(page, 1, variant, &steps);
            EXPECT_TRUE(steps.counted && steps.written) << page.substr(0, 10) << variant;
            EXPECT_EQ(split, packWithSplitAt(page, 0, variant)) << page.substr(0, 10) << variant;
        }
    }
}

TEST(SideBySide, PartsEndingInShortTagsAreCheckedSideBySide) {
    // Every split point follows a short tag that is written as it stands, so the first part's
    // coded text ends a few bytes after a '<': the parts are still checked apart, as no markup
    // can open across the join.
    std::string page = "<html><body><p>";
    for (char first = 'a'; first <= 'z'; ++first) {
        for (char second = 'a'; second <= 'z'; ++second) {
            const std::string tag{first, second};  // used once, so never coded
            page += "canal lock <" + tag + ">barge</" + tag + "> Towpath ";
        }
    }
    page += "</p></body></html>";
    for (int variant = 0; variant < 8; ++variant) {
        SideBySideSteps steps;
        const auto split = packWithSplitAt(page, 1, variant, &steps);
        ASSERT_TRUE(split);
        EXPECT_TRUE(steps.counted && steps.written && steps.checked) << "variant " << variant;
        EXPECT_EQ(split, packWithSplitAt(page, 0, variant)) << "variant " << variant;
    }
}

TEST(SideBySide, GoldenPagesPackAsOneThreadPacksThem) {
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(QUILLBOX_TEST_DATA) / "pages")) {
        const std::string page = readFileBytes(entry.path());
        for (int variant = 0; variant < 8; ++variant) {
            EXPECT_EQ(packWithSplitAt(page, 1, variant), packWithSplitAt(page, 0, variant))
                << entry.path().filename() << ", variant " << variant;
        }
    }
}

// One engine packs page after page, its side thread and buffers kept from one to the next:
// each page packs as one thread packs it.
TEST(SideBySide, PagesPackedOneAfterAnotherPackAsOneThreadPacksThem) {
    std::mt19937 random(12);
    Engine engine = quietEngine();
    engine.options.sideBySideSize = 1;
    int split = 0;
    for (int round = 0; round < 30; ++round) {
        std::string page = longPage(random, 4000 + 997 * static_cast<size_t>(round % 7));
        const std::string original = page;
        const auto packed = packJavaScript(engine, page);
        split += lastSideBySideSteps(engine).written;
        EXPECT_EQ(page, original);
        EXPECT_EQ(packed, packWithSplitAt(page, 0, 0)) << "round " << round;
    }
    EXPECT_GT(split, 15);
}

TEST(SideBySide, SmallPagesStayOnOneThread) {
    std::mt19937 random(3);
    SideBySideSteps steps;
    ASSERT_TRUE(packWithSplitAt(longPage(random, 20000), 32768, 0, &steps));
    EXPECT_FALSE(steps.counted || steps.written || steps.checked);
}

// A split page refused by a check made while the side thread works on it: nothing is packed,
// and the side thread is waited for before what it reads goes (the sanitizer builds tell).
TEST(SideBySide, PagesRefusedWhileTheSideThreadWorksAreNotPacked) {
    // A page the fuzzer found: its head text ends inside a tag.
    std::ifstream file(QUILLBOX_SOURCE_DIR "/tests/fuzz/corpus/refused-head-after-split",
                       std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    const std::string page = text.str().c_str();  // the page ends at its first zero byte
    ASSERT_GT(page.size(), 1000u);
    SideBySideSteps steps;
    EXPECT_FALSE(packWithSplitAt(page, 1, 0, &steps));
    EXPECT_TRUE(steps.written);  // refused after the parts were written
    EXPECT_FALSE(packWithSplitAt(page, 0, 0));
}

// Offering words to one dictionary, or their first part to one and the rest to another that
// is then merged in, gives the same words, order and counts.
TEST(SideBySide, MergedDictionaryEqualsOneDictionary) {
    const std::vector<std::string> words = {"ab", "cd", "ab", "ef", "gh", "cd", "ij", "kl",
                                            "ab", "mn", "ef", "op", "qr", "mn", "st", "op"};
    for (const size_t capacity : {size_t{100}, size_t{5}}) {
        Dictionary whole;
        initDictionary(whole, capacity);
        for (const auto& w : words) offerWord(whole, w);
        for (size_t cut = 0; cut <= words.size(); ++cut) {
            Dictionary first;
            initDictionary(first, capacity);
            Dictionary later;
            initDictionary(later, words.size());
            for (size_t i = 0; i < cut; ++i) offerWord(first, words[i]);
            for (size_t i = cut; i < words.size(); ++i) offerWord(later, words[i]);
            for (size_t w = 0; w < later.words.size(); ++w) {
                const int number = mergeWord(first, later.words[w], later.counts[w]);
                // The number the word has in the whole, or -1 where the whole had no room.
                const auto found = std::find(whole.words.begin(), whole.words.end(), later.words[w]);
                EXPECT_EQ(number, found == whole.words.end()
                                      ? -1
                                      : static_cast<int>(found - whole.words.begin()));
            }
            EXPECT_EQ(first.words, whole.words) << "capacity " << capacity << ", cut " << cut;
            EXPECT_EQ(first.counts, whole.counts) << "capacity " << capacity << ", cut " << cut;
        }
    }
}

TEST(SideThread, RunsTasksAndReportsTheirFailure) {
    SideThread thread;
    int total = 0;
    for (int i = 1; i <= 100; ++i) {
        ASSERT_TRUE(thread.start([&total, i] { total += i; }));
        thread.wait();
    }
    EXPECT_EQ(total, 5050);
    ASSERT_TRUE(thread.start([] { throw std::runtime_error("task failed"); }));
    EXPECT_THROW(thread.wait(), std::runtime_error);
    ASSERT_TRUE(thread.start([&total] { total = 0; }));  // usable after a failure
    thread.wait();
    EXPECT_EQ(total, 0);
}

TEST(SideThread, RefusesASecondTaskWhileBusy) {
    SideThread thread;
    std::atomic<bool> release{false};
    ASSERT_TRUE(thread.start([&release] {
        while (!release.load()) std::this_thread::yield();
    }));
    EXPECT_FALSE(thread.start([] {}));
    release = true;
    thread.wait();
    EXPECT_TRUE(thread.start([] {}));
    thread.wait();
}

}  // namespace
