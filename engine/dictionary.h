// The word dictionary of JavaScript packing: which characters serve as codes, which repeated
// words are coded, in which order, and each word's code.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <cstdint>
#include <vector>

// Slots of the dictionary; one is never used, so at most this many minus one words are kept.
inline constexpr int DICTIONARY_CAPACITY = 3000;

// Word -> slot, open addressing over the dictionary's own words. A slot holds the word's index
// plus one (0 is empty), its size and its first and last eight bytes (zero padded), so words of
// up to sixteen bytes are told apart without reading the words themselves.
struct WordSlot {
    uint64_t head = 0;
    uint64_t tail = 0;   // the head again for words of eight bytes or fewer
    uint32_t entry = 0;  // word index + 1, or 0
    uint32_t size = 0;
};

struct WordIndex {
    std::vector<WordSlot> table;
    uint32_t mask = 0;
};

// Words of the page being packed, with how often each was seen after its first occurrence.
struct Dictionary {
    std::vector<std::string> words;  // in first-seen order until ranked
    std::vector<int> counts;         // parallel to words
    int count = 0;                   // words in use (lowered by the trim)
    WordIndex index;                 // while counting: every word; after the trim: the kept ones
    std::vector<int> rankOf;         // after ranking: first-seen number -> place in words
};

// The code table t: code characters first (bytes the page's counted text never uses), then the
// bytes it does use. `sectionOne` is the number of code characters.
struct CodeTable {
    std::string t;
    int sectionOne = 0;
};

// Empties the dictionary; it then takes at most DICTIONARY_CAPACITY - 1 words, and has room
// for `expectedWords` before it grows (small pages stay cheap with none).
void initDictionary(Dictionary& dictionary, size_t expectedWords = 0);
// Offers a token: a known word counts once more, a new one enters with count 0. Returns the
// word's first-seen number (see keptWord), or -1 when it is not taken.
int offerWord(Dictionary& dictionary, std::string_view token);
// Orders the words by score (length x count), highest first; equal scores keep first-seen order.
// Only the first `ordered` places are sure to be in that order: past them the repeated words
// follow in any order, then those seen once in first-seen order. Lookups find nothing until
// trimDictionary has indexed the kept words.
void rankDictionary(Dictionary& dictionary, size_t ordered = SIZE_MAX);
// Builds t from the byte values 1 to limit-1 (never 128 or above), less the excluded ones.
CodeTable buildCodeTable(const std::array<unsigned, 256>& histogram, int codeCharLimit);
// Keeps the repeated words, at most `codeCharacters` of them; returns the word count.
int trimDictionary(Dictionary& dictionary, int codeCharacters, bool debugDump, std::FILE* trace);
// Index of the word among the kept ones, or -1.
int lookupWord(const Dictionary& dictionary, std::string_view token);
// Index among the kept words of the word offerWord numbered `firstSeen` (-1: none), or -1.
inline int keptWord(const Dictionary& dictionary, int firstSeen) {
    if (firstSeen < 0) return -1;
    const int rank = dictionary.rankOf[static_cast<size_t>(firstSeen)];
    return rank < dictionary.count ? rank : -1;
}
// The score of a kept word.
long wordScore(const Dictionary& dictionary, int word);
