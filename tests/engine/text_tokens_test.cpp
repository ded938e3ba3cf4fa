// The counted text tokens kept by their distances: read back, they stand where they were cut.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "text_tokens.h"

namespace {

// A token as a test places it: the blanks before it, its length and word number.
struct Placed {
    size_t gap;
    size_t length;
    int word;
};

// Lays the tokens out in a text of blanks and letters, keeps them in a list as the counting
// pass does and reads them back from the run's start.
void expectReadBack(const std::vector<Placed>& placed) {
    std::string text;
    TextTokenList list;
    for (const Placed& token : placed) {
        text.append(token.gap, ' ');
        text.append(token.length, 'w');
        list.push(token.gap, token.length, token.word);
    }
    std::vector<TextToken> expected;
    size_t offset = 0;
    for (const Placed& token : placed) {
        offset += token.gap;
        expected.push_back({text.data() + offset, token.length, token.word});
        offset += token.length;
    }
    TextTokenReader reader(list, 0, list.size(), text.data());
    std::vector<TextToken> read;
    for (TextToken token; reader.next(token);) read.push_back(token);
    ASSERT_EQ(read.size(), expected.size());
    for (size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].at, expected[i].at) << "token " << i;
        EXPECT_EQ(read[i].length, expected[i].length) << "token " << i;
        EXPECT_EQ(read[i].word, expected[i].word) << "token " << i;
    }
    EXPECT_EQ(reader.end(), text.data() + text.size());
}

TEST(TextTokenList, TokensReadBackWhereTheyWereCut) {
    constexpr size_t kPart = size_t{1} << 22;  // the distance one skip entry moves on by, and more
    constexpr int kLargestNumber = std::numeric_limits<int>::max();
    const std::vector<std::vector<Placed>> cases = {
        {{0, 1, -1}},                                    // one byte at the run's start
        {{0, 5, 0}, {1, 3, 1}, {1, 499, 2}, {2, 2, 0}},  // words, the longest token cut
        {{3, 4, -1}, {3, 1, 7}},                         // the longest distance kept in place
        {{4, 2, 4}, {0, 511, -1}},                       // one skip; the longest token kept
        {{0, 2, 1}, {kPart - 1, 3, 2}, {kPart, 3, 2}},   // skips of the largest size and more
        {{3 * kPart + 7, 6, 3}, {1, 2, -1}},             // several skips first
        {{1, 2, (1 << 21) - 2}, {1, 2, (1 << 21) - 1}},  // the largest number kept in place, and one more
        {{70000, 9, kLargestNumber}, {0, 1, 1 << 22}},   // skips and word parts together
    };
    for (size_t c = 0; c < cases.size(); ++c) {
        SCOPED_TRACE("case " + std::to_string(c));
        expectReadBack(cases[c]);
    }
}

TEST(TextTokenList, ReadsOneRunOfSeveral) {
    // Two runs in one list: the second is read from its own start.
    const std::string text = "ab cd<x>  efg h";
    TextTokenList list;
    list.push(0, 2, 0);
    list.push(1, 2, 1);
    const size_t secondRun = list.size();
    list.push(2, 3, 2);
    list.push(1, 1, -1);
    TextTokenReader reader(list, secondRun, list.size(), text.data() + 8);
    TextToken token;
    ASSERT_TRUE(reader.next(token));
    EXPECT_EQ(std::string(token.at, token.length), "efg");
    EXPECT_EQ(token.word, 2);
    ASSERT_TRUE(reader.next(token));
    EXPECT_EQ(std::string(token.at, token.length), "h");
    EXPECT_FALSE(reader.next(token));
    EXPECT_EQ(reader.end(), text.data() + text.size());
}

}  // namespace
