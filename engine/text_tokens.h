// The text tokens that JavaScript packing's counting pass cuts and its writing pass replays,
// kept in eight bytes each: a token is kept by its distance from the end of the token before
// it (the blanks between them), its length and its word number, not by its address.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

// A text token as the writing pass reads it back.
struct TextToken {
    const char* at;
    size_t length;
    int word;  // the word's first-seen number, -1 when it was not offered
};

class TextTokenList {
public:
    // One kept token. A gap too long for its field is carried by fillers before the token:
    // entries of length 0 that only move on by their gap.
    struct Entry {
        int32_t word;
        uint16_t length;
        uint16_t gap;
    };
    static constexpr size_t kLongestGap = std::numeric_limits<uint16_t>::max();

    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    const Entry* data() const { return entries_.data(); }
    void clear() { entries_.clear(); }
    void reserve(size_t n) { entries_.reserve(n); }
    // Gives the memory back, for a page whose list grew far beyond the usual.
    void release() { std::vector<Entry>().swap(entries_); }

    // Appends a token of `length` bytes (1 to 65535) that begins `gap` bytes after the end of
    // the token before it, or after its run's start for a run's first token.
    void push(size_t gap, size_t length, int word) {
        while (gap > kLongestGap) {
            entries_.push_back({-1, 0, static_cast<uint16_t>(kLongestGap)});
            gap -= kLongestGap;
        }
        entries_.push_back({word, static_cast<uint16_t>(length), static_cast<uint16_t>(gap)});
    }

private:
    std::vector<Entry> entries_;
};
static_assert(sizeof(TextTokenList::Entry) == 8);

// Reads the entries [first, last) of a list back as tokens, the first one's gap counted from
// `start`, the start of their run.
class TextTokenReader {
public:
    TextTokenReader(const TextTokenList& list, size_t first, size_t last, const char* start)
        : next_(list.data() + first), end_(list.data() + last), at_(start) {}

    // The next token; false after the last.
    bool next(TextToken& token) {
        for (;;) {
            if (next_ == end_) return false;
            const TextTokenList::Entry entry = *next_++;
            at_ += entry.gap;
            if (entry.length == 0) [[unlikely]] continue;  // a filler
            token = {at_, entry.length, entry.word};
            at_ += entry.length;
            return true;
        }
    }
    // Just past the last token read.
    const char* end() const { return at_; }

private:
    const TextTokenList::Entry* next_;
    const TextTokenList::Entry* end_;
    const char* at_;
};
