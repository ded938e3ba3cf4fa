#include "dictionary.h"

#include <algorithm>
#include <numeric>

namespace {

// Bytes that never serve as codes: they cannot stand in a script string as themselves, or
// they are the blanks that the decoder writes.
bool isExcludedCode(int v) {
    return v == '"' || v == '\\' || v == ' ' || v == '\n' || v == '\r' || v == '\t' || v == 0xFF;
}

// Codes stay ASCII: a lone high byte in a page read as UTF-8 becomes a replacement character,
// and two such codes would be one.
constexpr int kHighestCodeLimit = 128;

}  // namespace

void initDictionary(Dictionary& dictionary) {
    dictionary.words.clear();
    dictionary.counts.clear();
    dictionary.index.clear();
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

void offerWord(Dictionary& dictionary, const std::string& token) {
    if (token.size() <= 1) return;
    // A word with a backslash is never coded: it is looked up undoubled but listed doubled.
    if (token.find('\\') != std::string::npos) return;
    const auto found = dictionary.index.find(token);
    if (found != dictionary.index.end()) {
        ++dictionary.counts[static_cast<size_t>(found->second)];
        return;
    }
    if (static_cast<int>(dictionary.words.size()) >= DICTIONARY_CAPACITY - 1) return;
    dictionary.index.emplace(token, static_cast<int>(dictionary.words.size()));
    dictionary.words.push_back(token);
    dictionary.counts.push_back(0);
    dictionary.count = static_cast<int>(dictionary.words.size());
}

void rankDictionary(Dictionary& dictionary) {
    const size_t n = dictionary.words.size();
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t{0});
    const auto score = [&](size_t i) {
        return static_cast<long>(dictionary.words[i].size()) * dictionary.counts[i];
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return score(a) > score(b); });
    std::vector<std::string> words(n);
    std::vector<int> counts(n);
    for (size_t rank = 0; rank < n; ++rank) {
        words[rank] = std::move(dictionary.words[order[rank]]);
        counts[rank] = dictionary.counts[order[rank]];
    }
    dictionary.words = std::move(words);
    dictionary.counts = std::move(counts);
    dictionary.index.clear();
    for (size_t rank = 0; rank < n; ++rank) {
        dictionary.index.emplace(dictionary.words[rank], static_cast<int>(rank));
    }
}

CodeTable buildCodeTable(const std::array<unsigned, 256>& histogram, int codeCharLimit) {
    CodeTable table;
    const int limit = std::min(codeCharLimit, kHighestCodeLimit);
    for (int v = 1; v < limit; ++v) {
        if (histogram[static_cast<size_t>(v)] == 0 && !isExcludedCode(v)) {
            table.t.push_back(static_cast<char>(v));
        }
    }
    table.sectionOne = static_cast<int>(table.t.size());
    for (int v = 1; v < limit; ++v) {
        if (histogram[static_cast<size_t>(v)] != 0 && !isExcludedCode(v)) {
            table.t.push_back(static_cast<char>(v));
        }
    }
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
    return count;
}

int lookupWord(const Dictionary& dictionary, const std::string& token) {
    const auto found = dictionary.index.find(token);
    if (found == dictionary.index.end() || found->second >= dictionary.count) return -1;
    return found->second;
}

long wordScore(const Dictionary& dictionary, int word) {
    return static_cast<long>(dictionary.words[static_cast<size_t>(word)].size()) *
           dictionary.counts[static_cast<size_t>(word)];
}
