// The run report: one line of JSON for every page a run tried, for scripts and CI.
#pragma once

#include <string>
#include <string_view>

struct Engine;

// The names a report and the messages give to a piped page.
inline constexpr const char* PIPED_INPUT_NAME = "(standard input)";
inline constexpr const char* PIPED_OUTPUT_NAME = "(standard output)";

// `text` as a JSON string, quotes included. Bytes that are not UTF-8 are written as the
// code points of the same value (\u0080 to \u00FF), so every line parses.
std::string jsonString(std::string_view text);

// Writes the line of the page read from `input` to engine.report, when set, from
// engine.lastPage: {"input", "output", "method", "input_bytes", "output_bytes", "input_gzip",
// "output_gzip", "input_br", "output_br", "status", "reason"}. Sizes not known are null;
// "status" is "converted", "copied" (already packed) or "failed", and "reason" says why in the
// words of the messages. `failure`, when given, is why the page was not even tried.
void reportPage(Engine& engine, std::string_view input, std::string_view output,
                std::string_view failure = {});
