#include "packed_decoder.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "packed_literals.h"
#include "tag_table.h"

namespace {

// Whether the first n bytes (n <= 16) at a and b are equal, where 16 bytes may be read at
// each: two fixed-size compares under a mask, without a branch on n.
inline bool equalPrefix16(const char* a, const char* b, size_t n) {
    if constexpr (std::endian::native != std::endian::little) {
        return equalBytes(a, b, n);
    } else {
        static constexpr auto kMasks = [] {
            std::array<std::array<uint64_t, 2>, 17> masks{};
            for (size_t k = 0; k <= 16; ++k) {
                for (size_t i = 0; i < k; ++i) masks[k][i / 8] |= uint64_t{0xFF} << (8 * (i % 8));
            }
            return masks;
        }();
        uint64_t a0, a1, b0, b1;
        std::memcpy(&a0, a, 8);
        std::memcpy(&a1, a + 8, 8);
        std::memcpy(&b0, b, 8);
        std::memcpy(&b1, b + 8, 8);
        return (((a0 ^ b0) & kMasks[n][0]) | ((a1 ^ b1) & kMasks[n][1])) == 0;
    }
}

constexpr size_t kReadAhead = 16;  // bytes past a text's end that a check may read

// Where decoded text goes: a buffer that keeps it, or a check against the text it must be.
// The check remembers the first difference; it reads up to `readable` bytes of its text,
// which may run kReadAhead bytes past the text's end.
struct MatchingSink {
    std::string_view expected;
    size_t readable = expected.size();
    size_t at = 0;
    bool same = true;

    void append(const char* from, size_t n) {
        if (n <= kReadAhead && at + kReadAhead <= readable) [[likely]] {
            // A piece that runs past the text's end is compared with the bytes after it, and
            // leaves `at` past the end, where matched() refuses it.
            same &= equalPrefix16(expected.data() + at, from, n);
            at += n;
            return;
        }
        if (at > expected.size() || n > expected.size() - at ||
            !equalBytes(expected.data() + at, from, n)) {
            same = false;
            at = expected.size() + 1;  // every later piece differs as well
            return;
        }
        at += n;
    }
    bool matched() const { return same && at == expected.size(); }
};

// Decodes c as the packed page's decoder does into `text` (a TextBuffer or a MatchingSink);
// false where that decoder would go wrong. With `literals`, c is the script literals that
// hold the coded text, read as JavaScript reads them on the way (false where readLiterals
// would be).
template <typename Sink>
bool decodeInto(std::string_view t, std::string_view s, std::string_view c, int l, Sink& text,
                bool literals) {
    // Entry k of s runs from just after its k-th '~' to the next one. Past the last '~' the
    // decoder's indexOf finds none (0) and then starts over from the first.
    std::vector<size_t> afterTildes{0};
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '~') afterTildes.push_back(i + 1);
    }
    const size_t cycle = afterTildes.size();  // the starts repeat with this period
    const size_t entries = t.size() * 2;
    std::vector<size_t> starts(entries + 1);
    for (size_t n = 0; n <= entries; ++n) starts[n] = afterTildes[n % cycle];
    // t.indexOf for every byte at once: the first position of each byte in t, or -1.
    std::array<long, 256> position;
    position.fill(-1);
    for (size_t k = t.size(); k-- > 0;) position[static_cast<unsigned char>(t[k])] = static_cast<long>(k);

    // What a byte of c does under each state of the case toggle: writes a piece of `source`
    // (a word of s, or the byte itself with its case set and the blank after a capital),
    // toggles the case, escapes to the next byte's word, or makes the decoder go wrong.
    enum Kind : uint8_t { kWrite, kToggle, kEscape, kFail, kLiteral };
    struct Piece {
        uint32_t from = 0;
        uint32_t length = 0;
        Kind kind = kFail;
    };
    std::string source;
    source.reserve(s.size() + 3 * 256 + kReadAhead);
    source.append(s);
    // The byte `first`, and `second` after it unless that is zero, as a piece of source.
    const auto addPiece = [&](char first, char second = 0) {
        Piece piece{static_cast<uint32_t>(source.size()), second ? 2u : 1u, kWrite};
        source.push_back(first);
        if (second) source.push_back(second);
        return piece;
    };
    // Entry z of s as the decoder's substring(r[z], r[z+1]-1) reads it.
    const auto entryOf = [&](size_t z) {
        Piece piece;
        if (z + 1 >= starts.size()) return piece;
        const size_t from = starts[z];
        const size_t to = starts[z + 1];
        if (to == 0 || to - 1 < from) return piece;
        return Piece{static_cast<uint32_t>(from), static_cast<uint32_t>(to - 1 - from), kWrite};
    };
    std::array<std::array<Piece, 256>, 2> pieces;  // by the toggle's state, then the byte
    std::array<Piece, 256> escaped;                // the word a byte after the escape stands for
    for (int b = 0; b < 256; ++b) {
        const size_t byte = static_cast<size_t>(b);
        const char ch = static_cast<char>(b);
        const long z = position[byte];
        if (z >= 0) escaped[byte] = entryOf(static_cast<size_t>(z + l));
        if (z == 1) {
            pieces[0][byte].kind = pieces[1][byte].kind = kToggle;
        } else if (z == 0) {
            pieces[0][byte].kind = pieces[1][byte].kind = kEscape;
        } else if (z > 0 && z < l) {
            pieces[0][byte] = pieces[1][byte] = entryOf(static_cast<size_t>(z));
        } else if (b >= 'A' && b <= 'Z') {  // a capital: its letter and a blank
            pieces[0][byte] = addPiece(toAsciiLower(ch), ' ');
            pieces[1][byte] = addPiece(ch, ' ');
        } else {
            pieces[0][byte] = addPiece(ch);
            // Upper-casing a non-ASCII byte would give another character.
            if (b < 0x80) pieces[1][byte] = addPiece(toAsciiUpper(ch));
        }
    }
    source.append(kReadAhead, '\0');
    // The bytes met in c: where c is literals, those that need a closer look first.
    std::array<std::array<Piece, 256>, 2> met = pieces;
    if (literals) {
        for (int b = 0; b < 256; ++b) {
            if (kLiteralSpecial[static_cast<size_t>(b)]) {
                const size_t byte = static_cast<size_t>(b);
                met[0][byte].kind = met[1][byte].kind = kLiteral;
            }
        }
    }
    // The byte of the coded text at c[i], i moved past it: -1 at the end, -2 where the
    // literals are not of our kind.
    const auto nextByte = [&](size_t& i) {
        while (i < c.size()) {
            const unsigned char b = static_cast<unsigned char>(c[i]);
            if (met[0][b].kind != kLiteral) {
                ++i;
                return static_cast<int>(b);
            }
            const LiteralByte read = literalByteAt(c, i);
            if (read.taken == 0) return -2;
            i += read.taken;
            if (read.value >= 0) return read.value;
        }
        return -1;
    };
    const char* const from = source.data();
    int u = 0;
    const Piece* row = met[0].data();  // met[u]
    for (size_t i = 0; i < c.size();) {
        const Piece& piece = row[static_cast<unsigned char>(c[i])];
        if (piece.kind == kWrite) [[likely]] {
            text.append(from + piece.from, piece.length);
            ++i;
            continue;
        }
        const int b = nextByte(i);
        if (b == -1) break;  // a literal join at the end
        if (b < 0) return false;
        const Piece& real = pieces[static_cast<size_t>(u)][static_cast<size_t>(b)];
        if (real.kind == kWrite) {
            text.append(from + real.from, real.length);
        } else if (real.kind == kToggle) {
            u = 1 - u;
            row = met[static_cast<size_t>(u)].data();
        } else if (real.kind == kEscape) {
            const int second = nextByte(i);
            if (second < 0) return false;
            const Piece& word = escaped[static_cast<size_t>(second)];
            if (word.kind != kWrite) return false;
            text.append(from + word.from, word.length);
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

bool decodesTo(std::string_view raw, std::string_view t, std::string_view words, int l,
               TextBuffer& intended) {
    intended.room(kReadAhead);  // bytes past its end that the check may read
    MatchingSink decoded{intended.view(), intended.size() + kReadAhead};
    return decodeInto(t, words, raw, l, decoded, true) && decoded.matched();
}

bool decodesExactly(std::string_view t, std::string_view s, std::string_view c, int l,
                    std::string_view expected, bool literals) {
    MatchingSink decoded{expected};
    return decodeInto(t, s, c, l, decoded, literals) && decoded.matched();
}

bool decodePacked(std::string_view t, std::string_view s, std::string_view c, int l,
                  std::string& decoded) {
    TextBuffer text;
    text.reserve(c.size() * 2);
    if (!decodeInto(t, s, c, l, text, false)) return false;
    decoded = text.take();
    return true;
}

void appendDecoder(std::string& out, std::string_view codedLiterals, size_t codedLength, int l,
                   const EngineOptions& options) {
    const int percentStep = static_cast<int>(codedLength / 100);

    out.reserve(out.size() + codedLiterals.size() + 1024);  // the decoder follows
    out += "c=\"";
    out += codedLiterals;
    out += "\";\n";
    out += "function a(n){this.length=n;return this};function d(s,c,t,l){u=0;k=0;o=\"\";";
    out += "r=new a(t.length*2);r[0]=0;for (n=0;n<t.length*2;n++){r[n+1]=s.indexOf(\"~\",r[n])+1;}";
    out += "for (i=0;i<c.length;i++){w=c.charAt(i);f=0;z=t.indexOf(w);if (z==1)u=1-u;else if (z>-1 && z<l){";
    out += "if (z==0) z=t.indexOf(w=c.charAt(++i))+l;o+=s.substring(r[z],r[z+1]-1)}else{";
    out += "if (w>='A' && w <='Z') f=1;if (u==1 && f==0) o+=w.toUpperCase();else if (u==0 && f==1) o+=w.toLowerCase();";
    out += "else o+=w;if (f==1) o+=\" \"};k++;if (k%" + std::to_string(options.outputChunk) +
           "==0){document.write(o);o=\"\";";
    if (options.unpackStatus) {
        out += "self.status=Math.ceil(i/" + std::to_string(percentStep) + ")+\"% unpacking\";";
    }
    out += "}};document.write(o);self.status=\"Quillboxed\";}\n";
    out += "d(s,c,t," + std::to_string(l) + ");";
    out += "\n</SCRIPT>";
    out += "\n</HTML>";
}

size_t decoderLengthFloor(int l, const EngineOptions& options) {
    // The unpacking status's step has one digit at the least, as for an empty coded text.
    std::string decoder;
    appendDecoder(decoder, {}, 0, l, options);
    return decoder.size();
}
