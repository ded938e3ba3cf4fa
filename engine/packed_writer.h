// JavaScript packing: the page rewritten as its head part and one script that rebuilds the
// rest in the browser from a code table t, a word list s and the coded text c.
#pragma once

#include <string>
#include <string_view>

#include "engine.h"

// Rebuilds the text that the packed page's decoder writes, from the values (not the script
// literals) of t, s and c and the code count l. Returns false where the browser's result
// would differ from plain bytes (upper-casing a non-ASCII byte, an entry out of range).
bool decodePacked(std::string_view t, std::string_view s, std::string_view c, int l,
                  std::string& decoded);

// Whether decodePacked would rebuild exactly `expected`; found without building the text.
// With `literals`, c is given as the script literals that hold it in the packed page, and
// literals of another kind than the packer writes do not decode.
bool decodesExactly(std::string_view t, std::string_view s, std::string_view c, int l,
                    std::string_view expected, bool literals = false);

// A length that plain compaction of the last page JavaScript packing counted cannot go below:
// the bytes of its body text, which plain compaction keeps as they stand.
size_t lastPlainFloor(const Engine& engine);

// Whether the page declares its character set (byte-order mark or META).
bool declaresCharset(std::string_view page);
