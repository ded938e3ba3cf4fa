// How large a page travels from a web server that compresses it: gzip at level 9, brotli at
// quality 11, or as it is.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

enum class Served { Raw, Gzip, Brotli };

// "raw", "gzip" or "br", as the switch and the settings spell them.
std::optional<Served> parseServed(std::string_view name);
const char* servedName(Served served);

// `text` as a gzip stream at level 9 (header and trailer included, no name, no time), or as
// brotli at quality 11; empty when the compressor fails.
std::string gzipBytes(std::string_view text);
std::string brotliBytes(std::string_view text);
// The bytes `text` travels as: its own size for Raw.
size_t servedSize(std::string_view text, Served served);
