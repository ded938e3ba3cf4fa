// What the engine benchmarks share: a generated article of any size, a page read as the
// driver reads it, a silent engine and the three methods, each returning its output length.
#pragma once

#include <benchmark/benchmark.h>

#include "engine.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// A page of exactly `size` bytes (at least 4000) built like an article: headings, paragraphs
// of English words with a few frequent ones, links, a table, a list, a preformatted block,
// comments.
inline std::string generatedPage(size_t size = 100000) {
    static const char* const kCommon[] = {"the", "of", "and", "to", "a", "in", "is", "that",
                                          "for", "it", "as", "with", "was", "on", "be", "by"};
    static const char* const kRare[] = {
        "canal",   "lock",     "barge",    "water",   "river",    "bridge",  "engine",
        "harbour", "merchant", "cargo",    "village", "mill",     "towpath", "keeper",
        "summer",  "winter",   "traffic",  "railway", "company",  "century", "coal",
        "timber",  "grain",    "journey",  "valley",  "aqueduct", "tunnel",  "horses",
        "London",  "Thomas",   "Parliament", "Bristol", "England", "September"};
    unsigned seed = 12345;
    const auto next = [&seed](unsigned range) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % range;
    };
    const auto words = [&](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) {
            if (i) text += next(9) == 0 ? "\n    " : " ";
            text += next(5) < 2 ? kCommon[next(16)] : kRare[next(34)];
            if (next(12) == 0) text += ",";
        }
        return text + ".";
    };
    const std::string tail = "\n</body>\n</html>\n";
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n  <meta charset=\"utf-8\">\n"
        "  <title>The Canal Age</title>\n  <!-- generated for the benchmark -->\n</head>\n"
        "<body>\n";
    for (int section = 0; page.size() < size - size / 20; ++section) {
        std::string part = "\n<h2>Section " + std::to_string(section) + "</h2>\n";
        for (int p = 0; p < 4; ++p) {
            part += "<p>\n    " + words(40 + static_cast<int>(next(40))) + " <a href=\"page" +
                    std::to_string(next(100)) + ".html\">" + words(3) + "</a> " + words(20) +
                    "\n</p>\n";
        }
        if (section % 3 == 0) {
            part += "<table>\n";
            for (int row = 0; row < 5; ++row) {
                part += "  <tr><td>" + words(2) + "</td><td>" + std::to_string(next(10000)) +
                        "</td><td>" + words(4) + "</td></tr>\n";
            }
            part += "</table>\n";
        }
        if (section % 4 == 1) {
            part += "<ul>\n";
            for (int item = 0; item < 4; ++item) part += "  <li>" + words(8) + "</li>\n";
            part += "</ul>\n";
        }
        if (section % 5 == 2) {
            part += "<pre>\nYear    Tons     Tolls\n1801    " + std::to_string(next(90000)) +
                    "    " + std::to_string(next(900)) + "\n1802    " +
                    std::to_string(next(90000)) + "    " + std::to_string(next(900)) +
                    "\n</pre>\n<!-- figures from the company ledger -->\n";
        }
        page += part;
    }
    const size_t room = size - tail.size();
    if (page.size() > room) page.resize(page.rfind("\n<h2>", room));
    page += "\n<p>";
    while (page.size() + tail.size() + 7 < size) page += words(1).substr(0, 6) + " ";
    page.resize(size - tail.size() - 4, ' ');
    page += "</p>" + tail;
    return page;
}

// The file's bytes, cut at its first zero byte as the driver reads a page.
inline std::string readBenchPage(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    std::string page = text.str();
    page.resize(std::char_traits<char>::length(page.c_str()));
    return page;
}

// Reports the input an iteration converts as "MB": megabytes (10^6 bytes) a second of the
// benchmark's timer. The library's own byte rate counts in units of 2^20 bytes, which would
// read about 5% low as MB/s.
inline void reportMegabytes(benchmark::State& state, size_t bytesPerIteration) {
    state.counters["MB"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(bytesPerIteration) / 1e6,
        benchmark::Counter::kIsRate);
}

inline Engine quietEngine() {
    Engine engine;
    engine.console = nullptr;  // no dots, no ratio lines
    engine.options.progressDots = 0;
    engine.options.keepComments = 0;  // as the console's default conversion
    return engine;
}

inline long long plainLength(Engine& engine, std::string& page) {
    const std::string result = compactPlain(engine, page);
    benchmark::DoNotOptimize(result.data());
    return static_cast<long long>(result.size());
}

inline long long javaScriptLength(Engine& engine, std::string& page) {
    const std::optional<PackedPage> result = packJavaScript(engine, page);
    benchmark::DoNotOptimize(result);
    return static_cast<long long>(result ? result->text.size() : page.size());
}

inline std::FILE* nullStream() {
    static std::FILE* stream = std::fopen("/dev/null", "wb");
    return stream;
}

// packBest with both methods, the chosen text written to /dev/null through the stream that
// stands for standard output.
inline long long bestLength(Engine& engine, std::string& page) {
    engine.output = nullStream();
    const long written = packBest(engine, page, nullptr, static_cast<long>(page.size()),
                                  FLAG_PLAIN | FLAG_JAVASCRIPT);
    return written >= 0 ? written : static_cast<long long>(page.size());
}
