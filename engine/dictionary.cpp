#include "dictionary.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <numeric>

#include "text_buffer.h"
#include "word_probe.h"

namespace {

using namespace word_probe;

// Bytes that never serve as codes: they cannot stand in a script string as themselves, or
// they are the blanks that the decoder writes.
bool isExcludedCode(int v) {
    return v == '"' || v == '\\' || v == ' ' || v == '\n' || v == '\r' || v == '\t' || v == 0xFF;
}

// Codes stay ASCII: a lone high byte in a page read as UTF-8 becomes a replacement character,
// and two such codes would be one.
constexpr int kHighestCodeLimit = 128;

void fillSlot(WordIndex& index, size_t slot, const Probe& probe, size_t word) {
    index.table[slot] = {probe.head, probe.tail, static_cast<uint32_t>(word + 1), probe.size};
}

// An empty index with room for twice `words` words at most half full.
void clearIndex(WordIndex& index, size_t words) {
    size_t size = 16;
    while (size < 4 * words) size *= 2;
    index.table.assign(size, WordSlot{});
    index.mask = static_cast<uint32_t>(size - 1);
}

// Indexes the first `count` words.
void indexWords(Dictionary& dictionary, size_t count) {
    clearIndex(dictionary.index, count);
    for (size_t w = 0; w < count; ++w) {
        const Key key = keyOf(dictionary.words[w]);
        const Probe probe = probeOf(key);
        fillSlot(dictionary.index, findSlot(dictionary, key, probe), probe, w);
    }
}

// Counts a known word once more, or enters a new one with count 0; -1 when the dictionary is
// full. Returns the word's first-seen number.
int countWord(Dictionary& dictionary, const Key& key) {
    const Probe probe = probeOf(key);
    const size_t slot = findSlot(dictionary, key, probe);
    if (const uint32_t entry = dictionary.index.table[slot].entry) {
        ++dictionary.counts[entry - 1];
        return static_cast<int>(entry - 1);
    }
    // A word with a backslash is never coded: it is looked up undoubled but listed doubled.
    // Such a word is never entered, so only a new word needs the look.
    if (std::string_view(key.bytes, key.length).find('\\') != std::string_view::npos) return -1;
    return enterWord(dictionary, key, probe, slot);
}

// The kept-word index of the word in `slot`, or -1.
int keptIndex(const Dictionary& dictionary, size_t slot) {
    const uint32_t word = dictionary.index.table[slot].entry;
    if (word == 0 || static_cast<int>(word) > dictionary.count) return -1;
    return static_cast<int>(word) - 1;
}

}  // namespace

// Enters a new word with count 0 in `slot`, which findSlot gave for it; -1 when the dictionary
// is full. Returns the word's first-seen number.
int word_probe::enterWord(Dictionary& dictionary, const Key& key, const Probe& probe, size_t slot) {
    if (dictionary.words.size() >= DICTIONARY_CAPACITY - 1) return -1;
    dictionary.words.emplace_back(key.bytes, key.length);
    if (key.blank) dictionary.words.back().push_back(' ');
    if (2 * dictionary.words.size() > dictionary.index.table.size()) {
        indexWords(dictionary, dictionary.words.size());  // at most half full
    } else {
        fillSlot(dictionary.index, slot, probe, dictionary.words.size() - 1);
    }
    dictionary.counts.push_back(0);
    dictionary.count = static_cast<int>(dictionary.words.size());
    return dictionary.count - 1;
}

void initDictionary(Dictionary& dictionary, size_t expectedWords) {
    dictionary.words.clear();
    dictionary.counts.clear();
    dictionary.rankOf.clear();
    dictionary.words.reserve(expectedWords);
    dictionary.counts.reserve(expectedWords);
    clearIndex(dictionary.index, expectedWords);  // grows with the words beyond that
    dictionary.count = 0;
}

int offerWord(Dictionary& dictionary, std::string_view token) {
    if (token.size() <= 1) return -1;
    return countWord(dictionary, keyOf(token));
}

void rankDictionary(Dictionary& dictionary, size_t ordered) {
    const size_t n = dictionary.words.size();
    // Repeated words by score, highest first (the index breaks ties: first-seen order), then
    // the words seen once, whose score is 0, in first-seen order: a stable sort by score.
    std::vector<std::pair<long, uint32_t>> repeated;
    std::vector<uint32_t> order;
    order.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        if (dictionary.counts[i] > 0) {
            const long score = static_cast<long>(dictionary.words[i].size()) * dictionary.counts[i];
            repeated.emplace_back(-score, static_cast<uint32_t>(i));
        }
    }
    // The index in each pair makes every pair differ: the highest `ordered` ones are the same
    // pairs in the same order whether the rest is sorted or not.
    if (ordered < repeated.size()) {
        const auto highest = repeated.begin() + static_cast<std::ptrdiff_t>(ordered);
        std::nth_element(repeated.begin(), highest, repeated.end());
        std::sort(repeated.begin(), highest);
    } else {
        std::sort(repeated.begin(), repeated.end());
    }
    for (const auto& entry : repeated) order.push_back(entry.second);
    for (size_t i = 0; i < n; ++i) {
        if (dictionary.counts[i] <= 0) order.push_back(static_cast<uint32_t>(i));
    }
    std::vector<std::string> words(n);
    std::vector<int> counts(n);
    dictionary.rankOf.assign(n, 0);
    for (size_t rank = 0; rank < n; ++rank) {
        words[rank] = std::move(dictionary.words[order[rank]]);
        counts[rank] = dictionary.counts[order[rank]];
        dictionary.rankOf[order[rank]] = static_cast<int>(rank);
    }
    dictionary.words = std::move(words);
    dictionary.counts = std::move(counts);
    clearIndex(dictionary.index, 0);  // trimDictionary indexes the words it keeps
}

CodeTable buildCodeTable(const std::array<unsigned, 256>& histogram, int codeCharLimit) {
    CodeTable table;
    const int limit = std::min(codeCharLimit, kHighestCodeLimit);
    char codes[256];
    size_t n = 0;
    for (int v = 1; v < limit; ++v) {
        if (histogram[static_cast<size_t>(v)] == 0 && !isExcludedCode(v)) codes[n++] = static_cast<char>(v);
    }
    table.sectionOne = static_cast<int>(n);
    for (int v = 1; v < limit; ++v) {
        if (histogram[static_cast<size_t>(v)] != 0 && !isExcludedCode(v)) codes[n++] = static_cast<char>(v);
    }
    table.t.assign(codes, n);
    return table;
}

int trimDictionary(Dictionary& dictionary, int codeCharacters, bool debugDump, std::FILE* trace) {
    int repeated = 0;
    const int filled = static_cast<int>(dictionary.words.size());
    while (repeated < filled && dictionary.counts[static_cast<size_t>(repeated)] > 0) ++repeated;
    int count = std::min(repeated, codeCharacters);
    for (int w = 0; w < count; ++w) {
        if (debugDump && trace) {
            std::fprintf(trace, "o=[%s %i]\n", dictionary.words[static_cast<size_t>(w)].c_str(),
                         dictionary.counts[static_cast<size_t>(w)]);
        }
    }
    if (debugDump && trace) std::fprintf(trace, "%i\n", count);
    dictionary.count = count;
    indexWords(dictionary, static_cast<size_t>(count));  // the writing pass looks up kept words only
    return count;
}

int lookupWord(const Dictionary& dictionary, std::string_view token) {
    const Key key = keyOf(token);
    return keptIndex(dictionary, findSlot(dictionary, key, probeOf(key)));
}

long wordScore(const Dictionary& dictionary, int word) {
    return static_cast<long>(dictionary.words[static_cast<size_t>(word)].size()) *
           dictionary.counts[static_cast<size_t>(word)];
}
