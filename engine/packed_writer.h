// JavaScript packing: the page rewritten as its head part and one script that rebuilds the
// rest in the browser from a code table t, a word list s and the coded text c.
#pragma once

#include <string>
#include <string_view>

#include "engine.h"

// A length that plain compaction of the last page JavaScript packing counted cannot go below:
// the bytes of its body text, which plain compaction keeps as they stand.
size_t lastPlainFloor(const Engine& engine);

// Whether the page declares its character set (byte-order mark or META).
bool declaresCharset(std::string_view page);
