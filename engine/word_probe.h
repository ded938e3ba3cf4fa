// How the dictionary's index finds a word: the probe a word is compared by, and the lookup.
// Inline, for the packer's loops over text words.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "dictionary.h"
#include "text_buffer.h"

namespace word_probe {

// A word as the dictionary compares it: the bytes, and whether one blank follows them (text
// words are offered and looked up with their blank without being copied).
struct Key {
    const char* bytes;
    size_t length;  // without the blank
    bool blank;
    const char* readableEnd = nullptr;  // bytes before it may be read; past bytes[length]
    size_t size() const { return length + (blank ? 1 : 0); }
};

inline Key keyOf(std::string_view word) { return {word.data(), word.size(), false}; }

inline uint64_t load8(const char* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// The bits of a loaded eight-byte word that hold its first n bytes (n < 8), and byte c placed
// as its byte n.
inline uint64_t firstBytes(size_t n) {
    if constexpr (std::endian::native == std::endian::little) return (uint64_t{1} << (8 * n)) - 1;
    else return n == 0 ? 0 : ~uint64_t{0} << (64 - 8 * n);
}
inline uint64_t byteAt(size_t n, unsigned char c) {
    if constexpr (std::endian::native == std::endian::little) return uint64_t{c} << (8 * n);
    else return uint64_t{c} << (56 - 8 * n);
}

// Eight bytes of the key's word (its blank included) from `from`, zero padded past its end.
inline uint64_t pieceAt(const Key& key, size_t from) {
    char piece[8] = {};
    if (from + 8 <= key.length) {
        std::memcpy(piece, key.bytes + from, 8);
    } else if (from < key.length) {
        copyFewBytes(piece, key.bytes + from, key.length - from);
    }
    if (key.blank && key.length >= from && key.length - from < 8) piece[key.length - from] = ' ';
    return load8(piece);
}

// What an index slot compares: the word's size, first and last eight bytes, and its hash.
struct Probe {
    uint64_t head;
    uint64_t tail;
    uint32_t size;
    uint32_t hash;
};

inline Probe probeOf(const Key& key) {
    Probe probe;
    probe.size = static_cast<uint32_t>(key.size());
    if (key.readableEnd && key.bytes + 8 <= key.readableEnd) {
        // Wide reads: the word lies in a text that goes on past it.
        if (key.length >= 8) {
            probe.head = load8(key.bytes);
        } else {
            probe.head = load8(key.bytes) & firstBytes(key.length);
            if (key.blank) probe.head |= byteAt(key.length, ' ');
        }
        if (probe.size <= 8) {
            probe.tail = probe.head;
        } else if (key.blank) {
            probe.tail = (load8(key.bytes + key.length - 7) & firstBytes(7)) | byteAt(7, ' ');
        } else {
            probe.tail = load8(key.bytes + key.length - 8);
        }
    } else {
        probe.head = pieceAt(key, 0);
        probe.tail = probe.size <= 8 ? probe.head : pieceAt(key, probe.size - 8);
    }
    constexpr uint64_t kMul = 0x9E3779B97F4A7C15ull;
    uint64_t h = (probe.head ^ (uint64_t{probe.size} << 56)) * kMul;
    h = (h ^ (h >> 29) ^ probe.tail) * kMul;
    probe.hash = static_cast<uint32_t>(h >> 32);
    return probe;
}

// Whether the slot holds the key's word: size, head and tail decide words of up to sixteen
// bytes; longer ones compare their middle too.
inline bool slotMatches(const Dictionary& dictionary, const WordSlot& slot, const Key& key,
                 const Probe& probe) {
    if (slot.size != probe.size || slot.head != probe.head || slot.tail != probe.tail) return false;
    if (probe.size <= 16) return true;
    const std::string& word = dictionary.words[slot.entry - 1];
    return equalBytes(word.data() + 8, key.bytes + 8, probe.size - 16);
}

// The first slot that holds `key` or is empty.
inline size_t findSlot(const Dictionary& dictionary, const Key& key, const Probe& probe) {
    const WordIndex& index = dictionary.index;
    size_t slot = probe.hash & index.mask;
    while (index.table[slot].entry != 0) {
        if (slotMatches(dictionary, index.table[slot], key, probe)) break;
        slot = (slot + 1) & index.mask;
    }
    return slot;
}

// Enters a new word with count 0 in `slot`, which findSlot gave for it; -1 when the dictionary
// is full. Returns the word's first-seen number.
int enterWord(Dictionary& dictionary, const Key& key, const Probe& probe, size_t slot);

// Offers a text word with the blank it carries, as offerWord(word + " ") would; the word has
// two or more bytes and lies in a text that may be read up to `readableEnd`, which lies past
// the word. `known` tells whether the word was in the dictionary already.
inline int offerTextWord(Dictionary& dictionary, std::string_view word, const char* readableEnd,
                         bool& known) {
    const Key key{word.data(), word.size(), true, readableEnd};
    const Probe probe = probeOf(key);
    const size_t slot = findSlot(dictionary, key, probe);
    if (const uint32_t entry = dictionary.index.table[slot].entry) {
        known = true;
        ++dictionary.counts[entry - 1];
        return static_cast<int>(entry - 1);
    }
    known = false;
    // A word with a backslash is never coded: it is looked up undoubled but listed doubled.
    if (word.find('\\') != std::string_view::npos) return -1;
    return enterWord(dictionary, key, probe, slot);
}

// As lookupWord(word + " "); `word` lies in a text as for offerTextWord.
inline int lookupTextWord(const Dictionary& dictionary, std::string_view word,
                          const char* readableEnd) {
    const Key key{word.data(), word.size(), true, readableEnd};
    const uint32_t entry = dictionary.index.table[findSlot(dictionary, key, probeOf(key))].entry;
    if (entry == 0 || static_cast<int>(entry) > dictionary.count) return -1;
    return static_cast<int>(entry) - 1;
}

}  // namespace word_probe
