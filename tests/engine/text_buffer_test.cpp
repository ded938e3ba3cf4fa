// Short copies and compares by overlapping moves, and the growing text buffer built on them.
#include <gtest/gtest.h>

#include <string>

#include "text_buffer.h"

namespace {

// Every length up to past the longest fixed-size step, at offsets that are not aligned: the
// copy must cover exactly its bytes, and a difference at any place must be seen.
TEST(TextBuffer, ShortCopiesAndComparesCoverExactlyTheirBytes) {
    std::string source;
    for (int i = 0; i < 64; ++i) source.push_back(static_cast<char>('A' + i % 26));
    for (size_t n = 0; n <= 40; ++n) {
        for (size_t offset = 0; offset < 3; ++offset) {
            std::string target(64, '.');
            copyBytes(target.data() + offset, source.data() + 1, n);
            EXPECT_EQ(target.substr(0, offset), std::string(offset, '.')) << n;
            EXPECT_EQ(target.substr(offset, n), source.substr(1, n)) << n;
            EXPECT_EQ(target.substr(offset + n), std::string(64 - offset - n, '.')) << n;
            EXPECT_TRUE(equalBytes(target.data() + offset, source.data() + 1, n)) << n;
            if (n < 8) {
                std::string few(64, '.');
                copyFewBytes(few.data() + offset, source.data() + 1, n);
                EXPECT_EQ(few, target) << n;
            }
            for (size_t at = 0; at < n; ++at) {
                std::string changed = target;
                changed[offset + at] ^= 1;
                EXPECT_FALSE(equalBytes(changed.data() + offset, source.data() + 1, n))
                    << "length " << n << ", difference at " << at;
            }
        }
    }
}

TEST(TextBuffer, GrowsAndHandsOverItsText) {
    TextBuffer buffer;
    std::string expected;
    for (int i = 0; i < 3000; ++i) {
        const std::string piece = std::to_string(i * 37);
        buffer.append(piece);
        buffer.push_back(' ');
        expected += piece + ' ';
    }
    // Room taken and then given back in part, as the literal writer does.
    char* room = buffer.room(10);
    room[0] = 'x';
    room[1] = 'y';
    buffer.commit(room + 2);
    expected += "xy";
    EXPECT_EQ(buffer.size(), expected.size());
    EXPECT_EQ(buffer.back(), 'y');
    EXPECT_EQ(buffer.view(), expected);
    EXPECT_EQ(buffer.take(), expected);
    EXPECT_TRUE(buffer.empty());
}

TEST(TextBuffer, KeepsItsTextThroughReserveAndGivesItsMemoryBack) {
    TextBuffer buffer;
    buffer.append("kept text");
    buffer.reserve(1 << 20);  // room that is never written
    EXPECT_GE(buffer.capacity(), size_t{1} << 20);
    EXPECT_EQ(buffer.view(), "kept text");
    buffer.reserve(4);  // smaller than it holds: no change
    EXPECT_EQ(buffer.view(), "kept text");
    buffer.release();
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(buffer.capacity(), 0u);
    buffer.append("again");  // usable after it gave its memory back
    EXPECT_EQ(buffer.view(), "again");
}

}  // namespace
