// The packed page's decoder: the script text that rebuilds the page in the browser, and the
// same decoding done here, by which the packer checks what it wrote.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine.h"
#include "text_buffer.h"

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

// Whether the coded literals `raw` read as a value that decodes to exactly `intended`. The
// check may read a few bytes past the intended text's end, for which room is made there.
bool decodesTo(std::string_view raw, std::string_view t, std::string_view words, int l,
               TextBuffer& intended);

// Appends the coded text's literals `codedLiterals` as c, the decoder function and its call
// with code count l, and the page's closing tags. The unpacking status counts in hundredths
// of `codedLength`, the coded text's length as written.
void appendDecoder(std::string& out, std::string_view codedLiterals, size_t codedLength, int l,
                   const EngineOptions& options);

// The length that appendDecoder adds with `l` and `options` at the least: for empty literals,
// and for a coded text whose length has the fewest digits.
size_t decoderLengthFloor(int l, const EngineOptions& options);
