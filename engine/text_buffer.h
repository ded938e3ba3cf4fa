// Short copies and compares without a library call, and a growing text buffer built on them:
// packing appends tens of thousands of pieces of a few bytes to each page's texts.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// Copies n bytes as two overlapping fixed-size moves (never reading or writing outside the
// n bytes); long runs go to memcpy.
inline void copyBytes(char* to, const char* from, size_t n) {
    if (n >= 8) {
        if (n > 16) {
            std::memcpy(to, from, n);
            return;
        }
        uint64_t head;
        uint64_t tail;
        std::memcpy(&head, from, 8);
        std::memcpy(&tail, from + n - 8, 8);
        std::memcpy(to, &head, 8);
        std::memcpy(to + n - 8, &tail, 8);
    } else if (n >= 4) {
        uint32_t head;
        uint32_t tail;
        std::memcpy(&head, from, 4);
        std::memcpy(&tail, from + n - 4, 4);
        std::memcpy(to, &head, 4);
        std::memcpy(to + n - 4, &tail, 4);
    } else if (n >= 2) {
        uint16_t head;
        uint16_t tail;
        std::memcpy(&head, from, 2);
        std::memcpy(&tail, from + n - 2, 2);
        std::memcpy(to, &head, 2);
        std::memcpy(to + n - 2, &tail, 2);
    } else if (n == 1) {
        *to = *from;
    }
}

// Whether n bytes at a and b are equal, compared as copyBytes copies them.
inline bool equalBytes(const char* a, const char* b, size_t n) {
    if (n >= 8) {
        if (n > 16) return std::memcmp(a, b, n) == 0;
        uint64_t a1, a2, b1, b2;
        std::memcpy(&a1, a, 8);
        std::memcpy(&a2, a + n - 8, 8);
        std::memcpy(&b1, b, 8);
        std::memcpy(&b2, b + n - 8, 8);
        return ((a1 ^ b1) | (a2 ^ b2)) == 0;
    }
    if (n >= 4) {
        uint32_t a1, a2, b1, b2;
        std::memcpy(&a1, a, 4);
        std::memcpy(&a2, a + n - 4, 4);
        std::memcpy(&b1, b, 4);
        std::memcpy(&b2, b + n - 4, 4);
        return ((a1 ^ b1) | (a2 ^ b2)) == 0;
    }
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}

// A text that grows by doubling; its bytes past size() are scratch.
class TextBuffer {
public:
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const char* data() const { return bytes_.data(); }
    char back() const { return bytes_[size_ - 1]; }
    std::string_view view() const { return {bytes_.data(), size_}; }

    void reserve(size_t n) {
        if (n > bytes_.size()) bytes_.resize(n);
    }
    // Room for n more bytes: returns where they go; commit() then sets the new size.
    char* room(size_t n) {
        if (size_ + n > bytes_.size()) bytes_.resize(2 * (size_ + n) + 64);
        return bytes_.data() + size_;
    }
    void commit(const char* end) { size_ = static_cast<size_t>(end - bytes_.data()); }

    void push_back(char c) {
        *room(1) = c;
        ++size_;
    }
    void append(const char* from, size_t n) {
        copyBytes(room(n), from, n);
        size_ += n;
    }
    void append(std::string_view text) { append(text.data(), text.size()); }
    void clear() { size_ = 0; }

    // The text as a string; the buffer is left empty.
    std::string take() {
        bytes_.resize(size_);
        size_ = 0;
        return std::move(bytes_);
    }

private:
    std::string bytes_;
    size_t size_ = 0;
};
