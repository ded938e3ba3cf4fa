// The text tokens that JavaScript packing's counting pass cuts and its writing pass replays,
// kept in four bytes each: a token is kept by its distance from the end of the token before
// it (the blanks between them), its length and its word number, not by its address.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A text token as the writing pass reads it back.
struct TextToken {
    const char* at;
    size_t length;
    int word;  // the word's first-seen number, -1 when it was not offered
};

// Each entry is 32 bits. A token's entry holds its length (bits 0-8, never 0), the blanks
// before it (bits 9-10) and its word number plus one (bits 11-31, 0 for none). What does not
// fit goes into entries of length 0 before it: a longer distance in skips (bit 9 clear: the
// bits from 10 on are bytes to move on by) and a larger word number in two word parts (bit 9
// set: the bits from 10 on are the number's high part, then its low part).
class TextTokenList {
public:
    static constexpr size_t kLongestToken = 511;

    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    const uint32_t* data() const { return entries_.data(); }
    void clear() { entries_.clear(); }
    void reserve(size_t n) { entries_.reserve(n); }
    // Gives the memory back, for a page whose list grew far beyond the usual.
    void release() { std::vector<uint32_t>().swap(entries_); }

    // Appends a token of `length` bytes (1 to kLongestToken) that begins `gap` bytes after the
    // end of the token before it, or after its run's start for a run's first token.
    void push(size_t gap, size_t length, int word) {
        while (gap > kShortestGapField) {
            const size_t skip = gap < kLargestPart ? gap : kLargestPart;
            entries_.push_back(static_cast<uint32_t>(skip << 10));
            gap -= skip;
        }
        uint32_t wordField = static_cast<uint32_t>(word) + 1;  // -1 becomes 0
        if (word >= 0 && wordField > kLargestWordField) {
            const uint32_t number = static_cast<uint32_t>(word);
            entries_.push_back(((number >> 22) << 10) | kWordPart);
            entries_.push_back(((number & kLargestPart) << 10) | kWordPart);
            wordField = 0;
        }
        entries_.push_back(static_cast<uint32_t>(length) | static_cast<uint32_t>(gap << 9) |
                           (wordField << 11));
    }

private:
    friend class TextTokenReader;
    static constexpr size_t kShortestGapField = 3;
    static constexpr uint32_t kLargestWordField = (uint32_t{1} << 21) - 1;
    static constexpr uint32_t kLargestPart = (uint32_t{1} << 22) - 1;
    static constexpr uint32_t kWordPart = uint32_t{1} << 9;

    std::vector<uint32_t> entries_;
};

// Reads the entries [first, last) of a list back as tokens, the first one's distance counted
// from `start`, the start of their run.
class TextTokenReader {
public:
    TextTokenReader(const TextTokenList& list, size_t first, size_t last, const char* start)
        : next_(list.data() + first), end_(list.data() + last), at_(start) {}

    // The next token; false after the last.
    bool next(TextToken& token) {
        uint32_t number = 0;
        bool numbered = false;
        for (;;) {
            if (next_ == end_) return false;
            const uint32_t entry = *next_++;
            const uint32_t length = entry & 511;
            if (length == 0) [[unlikely]] {
                if (entry & TextTokenList::kWordPart) {
                    number = (number << 22) | (entry >> 10);
                    numbered = true;
                } else {
                    at_ += entry >> 10;
                }
                continue;
            }
            at_ += (entry >> 9) & 3;
            const int word = numbered ? static_cast<int>(number) : static_cast<int>(entry >> 11) - 1;
            token = {at_, length, word};
            at_ += length;
            return true;
        }
    }
    // Just past the last token read.
    const char* end() const { return at_; }

private:
    const uint32_t* next_;
    const uint32_t* end_;
    const char* at_;
};
