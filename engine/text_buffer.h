// Short copies and compares without a library call, and a growing text buffer built on them:
// packing appends tens of thousands of pieces of a few bytes to each page's texts.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

// The first and the last sizeof(Word) bytes of n (sizeof(Word) <= n <= 2 * sizeof(Word)): two
// fixed-size moves that together cover all n bytes and nothing outside them.
template <typename Word>
void copyEnds(char* to, const char* from, size_t n) {
    Word head;
    Word tail;
    std::memcpy(&head, from, sizeof head);
    std::memcpy(&tail, from + n - sizeof tail, sizeof tail);
    std::memcpy(to, &head, sizeof head);
    std::memcpy(to + n - sizeof tail, &tail, sizeof tail);
}

template <typename Word>
bool equalEnds(const char* a, const char* b, size_t n) {
    Word a1, a2, b1, b2;
    std::memcpy(&a1, a, sizeof a1);
    std::memcpy(&a2, a + n - sizeof a2, sizeof a2);
    std::memcpy(&b1, b, sizeof b1);
    std::memcpy(&b2, b + n - sizeof b2, sizeof b2);
    return ((a1 ^ b1) | (a2 ^ b2)) == 0;
}

// Copies n < 8 bytes without a library call.
inline void copyFewBytes(char* to, const char* from, size_t n) {
    if (n >= 4) copyEnds<uint32_t>(to, from, n);
    else if (n >= 2) copyEnds<uint16_t>(to, from, n);
    else if (n == 1) *to = *from;
}

// Copies n bytes; up to 16 of them without a library call.
inline void copyBytes(char* to, const char* from, size_t n) {
    if (n > 16) std::memcpy(to, from, n);
    else if (n >= 8) copyEnds<uint64_t>(to, from, n);
    else if (n >= 4) copyEnds<uint32_t>(to, from, n);
    else if (n >= 2) copyEnds<uint16_t>(to, from, n);
    else if (n == 1) *to = *from;
}

// Whether n bytes at a and b are equal; up to 16 of them compared without a library call.
inline bool equalBytes(const char* a, const char* b, size_t n) {
    if (n > 16) return std::memcmp(a, b, n) == 0;
    if (n >= 8) return equalEnds<uint64_t>(a, b, n);
    if (n >= 4) return equalEnds<uint32_t>(a, b, n);
    if (n >= 2) return equalEnds<uint16_t>(a, b, n);
    return n == 0 || *a == *b;
}

// A text that grows by doubling; its bytes past size() are scratch. Its memory is not
// initialised: room that was reserved or made but never written costs no memory pages.
class TextBuffer {
public:
    size_t size() const { return size_; }
    size_t capacity() const { return capacity_; }
    bool empty() const { return size_ == 0; }
    const char* data() const { return bytes_.get(); }
    char back() const { return bytes_[size_ - 1]; }
    std::string_view view() const { return {bytes_.get(), size_}; }

    void reserve(size_t n) {
        if (n > capacity_) moveTo(n);
    }
    // Room for n more bytes: returns where they go; commit() then sets the new size.
    char* room(size_t n) {
        if (n > capacity_ - size_) [[unlikely]] grow(n);
        return bytes_.get() + size_;
    }
    void commit(const char* end) { size_ = static_cast<size_t>(end - bytes_.get()); }

    void push_back(char c) {
        *room(1) = c;
        ++size_;
    }
    void append(const char* from, size_t n) {
        copyBytes(room(n), from, n);
        size_ += n;
    }
    void append(std::string_view text) { append(text.data(), text.size()); }
    // Appends n <= 16 bytes from `from`, where 16 may be read, as one copy of fixed size.
    void appendShort(const char* from, size_t n) {
        char* to = room(16);
        std::memcpy(to, from, 16);
        size_ += n;
    }
    void clear() { size_ = 0; }
    // Empties the buffer and gives its memory back.
    void release() {
        bytes_.reset();
        capacity_ = 0;
        size_ = 0;
    }

    // The text as a string; the buffer is left empty.
    std::string take() {
        std::string text(view());
        size_ = 0;
        return text;
    }

private:
    // Kept out of line so that the appends around it stay small enough to inline.
    [[gnu::noinline]] void grow(size_t n) { moveTo(2 * (size_ + n) + 64); }
    // Moves the text into new memory of `capacity` bytes.
    void moveTo(size_t capacity) {
        std::unique_ptr<char[]> bytes = std::make_unique_for_overwrite<char[]>(capacity);
        if (size_ > 0) std::memcpy(bytes.get(), bytes_.get(), size_);
        bytes_ = std::move(bytes);
        capacity_ = capacity;
    }

    std::unique_ptr<char[]> bytes_;
    size_t capacity_ = 0;
    size_t size_ = 0;
};
