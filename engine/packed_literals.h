// The script literals of a packed page: how markup is hidden in them and how JavaScript reads
// them back, so that the packer can check what it wrote.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::string_view kLiteralJoin = "\"+\n\"";  // ends a literal, joins the next

// Whether a script literal holds "<!--", "<script" or "</script", which hideMarkup hides.
bool needsHiding(std::string_view raw);

// Hides "<!--", "<script" and "</script" from the HTML parser inside a script literal by
// writing their '<' as the escape \x3C, which JavaScript reads as the same character.
std::string hideMarkup(std::string raw);

// Bytes of a script literal that need a closer look.
inline constexpr std::array<bool, 256> kLiteralSpecial = [] {
    std::array<bool, 256> special{};
    for (const char c : {'"', '\n', '\r', '\\', '<'}) special[static_cast<unsigned char>(c)] = true;
    return special;
}();

// What JavaScript reads at raw[i] in the script literals we write: the byte it stands for
// (-1 for a literal join, kLiteralJoin, which stands for none) and the bytes it takes; none
// taken where the literals are not of our kind: a raw quote or line break, an escape other
// than \\ \n \r and \x3C, or a "<!--", "<script" or "</script" that the HTML parser would see.
struct LiteralByte {
    size_t taken = 0;
    int value = -1;
};
LiteralByte literalByteAt(std::string_view raw, size_t i);

// Reads `raw`, double-quoted script literals joined by kLiteralJoin, as JavaScript reads them
// and appends their string value to `value`. Returns false where the literals are not the
// kind we write (see literalByteAt).
bool readLiterals(std::string_view raw, std::string& value);
