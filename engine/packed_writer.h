// JavaScript packing: the page rewritten as its head part and one script that rebuilds the
// rest in the browser from a code table t, a word list s and the coded text c.
#pragma once

#include <string>
#include <string_view>

#include "engine.h"

// Whether the page declares its character set (byte-order mark or META).
bool declaresCharset(std::string_view page);
