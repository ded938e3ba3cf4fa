#include "dictionary.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "text_buffer.h"

namespace {

// Bytes that never serve as codes: they cannot stand in a script string as themselves, or
// they are the blanks that the decoder writes.
bool isExcludedCode(int v) {
    return v == '"' || v == '\\' || v == ' ' || v == '\n' || v == '\r' || v == '\t' || v == 0xFF;
}

// Codes stay ASCII: a lone high byte in a page read as UTF-8 becomes a replacement character,
// and two such codes would be one.
constexpr int kHighestCodeLimit = 128;

// A word as the dictionary compares it: the bytes, and whether one blank follows them (text
// words are offered and looked up with their blank without being copied).
struct Key {
    const char* bytes;
    size_t length;  // without the blank
    bool blank;
    size_t size() const { return length + (blank ? 1 : 0); }
    bool matches(const std::string& word) const {
        return word.size() == size() && equalBytes(word.data(), bytes, length) &&
               (!blank || word[length] == ' ');
    }
};

Key keyOf(std::string_view word) { return {word.data(), word.size(), false}; }

// Eight bytes at a time, mixed by multiplication: words are short and mostly ASCII.
uint32_t hashWord(const Key& key) {
    constexpr uint64_t kMul = 0x9E3779B97F4A7C15ull;
    const auto mix = [](uint64_t h, uint64_t chunk) {
        h = (h ^ chunk) * kMul;
        return h ^ (h >> 29);
    };
    uint64_t h = key.size() * kMul;
    size_t i = 0;
    for (; i + 8 <= key.length; i += 8) {
        uint64_t chunk;
        std::memcpy(&chunk, key.bytes + i, 8);
        h = mix(h, chunk);
    }
    if (i < key.size()) {  // the last bytes and the blank, zero-padded to eight
        char rest[8] = {};
        const size_t n = key.length - i;  // at most seven: the blank fits after them
        copyFewBytes(rest, key.bytes + i, n);
        if (key.blank) rest[n] = ' ';
        uint64_t chunk;
        std::memcpy(&chunk, rest, 8);
        h = mix(h, chunk);
    }
    h *= kMul;
    return static_cast<uint32_t>(h >> 32);
}

// The first slot that holds `key` or is empty.
size_t findSlot(const Dictionary& dictionary, const Key& key, uint32_t hash) {
    const WordIndex& index = dictionary.index;
    size_t slot = hash & index.mask;
    while (index.entries[slot] != 0) {
        if (index.hashes[slot] == hash && key.matches(dictionary.words[index.entries[slot] - 1])) {
            break;
        }
        slot = (slot + 1) & index.mask;
    }
    return slot;
}

// An empty index with room for twice `words` words at most half full.
void clearIndex(WordIndex& index, size_t words) {
    size_t size = 16;
    while (size < 4 * words) size *= 2;
    index.entries.assign(size, 0);
    index.hashes.assign(size, 0);
    index.mask = static_cast<uint32_t>(size - 1);
}

// Indexes the first `count` words.
void indexWords(Dictionary& dictionary, size_t count) {
    clearIndex(dictionary.index, count);
    for (size_t w = 0; w < count; ++w) {
        const Key key = keyOf(dictionary.words[w]);
        const uint32_t hash = hashWord(key);
        const size_t slot = findSlot(dictionary, key, hash);
        dictionary.index.entries[slot] = static_cast<uint32_t>(w + 1);
        dictionary.index.hashes[slot] = hash;
    }
}

// Counts a known word once more, or enters a new one with count 0; -1 when the dictionary is
// full. Returns the word's first-seen number.
int countWord(Dictionary& dictionary, const Key& key) {
    const uint32_t hash = hashWord(key);
    const size_t slot = findSlot(dictionary, key, hash);
    if (dictionary.index.entries[slot] != 0) {
        const uint32_t word = dictionary.index.entries[slot] - 1;
        ++dictionary.counts[word];
        return static_cast<int>(word);
    }
    if (static_cast<int>(dictionary.words.size()) >= DICTIONARY_CAPACITY - 1) return -1;
    dictionary.words.emplace_back(key.bytes, key.length);
    if (key.blank) dictionary.words.back().push_back(' ');
    if (2 * dictionary.words.size() > dictionary.index.entries.size()) {
        indexWords(dictionary, dictionary.words.size());  // at most half full
    } else {
        dictionary.index.entries[slot] = static_cast<uint32_t>(dictionary.words.size());
        dictionary.index.hashes[slot] = hash;
    }
    dictionary.counts.push_back(0);
    dictionary.count = static_cast<int>(dictionary.words.size());
    return dictionary.count - 1;
}

// The kept-word index of the word in `slot`, or -1.
int keptIndex(const Dictionary& dictionary, size_t slot) {
    const uint32_t word = dictionary.index.entries[slot];
    if (word == 0 || static_cast<int>(word) > dictionary.count) return -1;
    return static_cast<int>(word) - 1;
}

}  // namespace

void initDictionary(Dictionary& dictionary) {
    dictionary.words.clear();
    dictionary.counts.clear();
    dictionary.rankOf.clear();
    clearIndex(dictionary.index, 0);  // grows with the words; small pages stay cheap
    dictionary.count = 0;
}

void countCharacters(std::array<unsigned, 256>& histogram, std::string_view token) {
    for (char ch : token) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 'a' && c <= 'z') ++histogram[c - 32];
        else if (c >= 'A' && c <= 'Z') ++histogram[c + 32];
        ++histogram[c];
    }
}

int offerWord(Dictionary& dictionary, std::string_view token) {
    if (token.size() <= 1) return -1;
    // A word with a backslash is never coded: it is looked up undoubled but listed doubled.
    if (token.find('\\') != std::string_view::npos) return -1;
    return countWord(dictionary, keyOf(token));
}

int offerTextWord(Dictionary& dictionary, std::string_view word) {
    return countWord(dictionary, {word.data(), word.size(), true});
}

void rankDictionary(Dictionary& dictionary) {
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
    std::sort(repeated.begin(), repeated.end());
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
    return keptIndex(dictionary, findSlot(dictionary, key, hashWord(key)));
}

int lookupTextWord(const Dictionary& dictionary, std::string_view word) {
    const Key key{word.data(), word.size(), true};
    return keptIndex(dictionary, findSlot(dictionary, key, hashWord(key)));
}

long wordScore(const Dictionary& dictionary, int word) {
    return static_cast<long>(dictionary.words[static_cast<size_t>(word)].size()) *
           dictionary.counts[static_cast<size_t>(word)];
}
