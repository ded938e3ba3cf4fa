// Engine throughput in memory: plain compaction, JavaScript packing, and packBest with both
// methods writing its result to /dev/null, over every page of tests/data/pages, over all of
// them at once and over a generated page of 100000 bytes, and over generated pages of 10 KB,
// 1 MB and 20 MB by processor time (scaling/...). Reports MB/s of input and the bytes each
// method saves.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "engine.h"

namespace {

namespace fs = std::filesystem;

struct BenchPage {
    std::string name;
    std::string text;
};

// The sample pages, each cut at its first zero byte as the driver reads it.
std::vector<BenchPage> loadPages() {
    std::vector<fs::path> names;
    std::error_code error;
    for (fs::directory_iterator entry(fs::path(QUILLBOX_TEST_DATA) / "pages", error), end;
         !error && entry != end; entry.increment(error)) {
        if (entry->is_regular_file()) names.push_back(entry->path());
    }
    std::sort(names.begin(), names.end());
    std::vector<BenchPage> pages;
    for (const auto& name : names) {
        std::ifstream file(name, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        std::string page = text.str();
        page.resize(std::char_traits<char>::length(page.c_str()));
        if (!page.empty()) pages.push_back({name.stem().string(), page});
    }
    return pages;
}

// A page of exactly `size` bytes (at least 4000) built like an article: headings, paragraphs
// of English words with a few frequent ones, links, a table, a list, a preformatted block,
// comments.
std::string generatedPage(size_t size = 100000) {
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

std::vector<BenchPage>& pages() {
    static std::vector<BenchPage> all = [] {
        std::vector<BenchPage> list = loadPages();
        list.push_back({"generated-100000", generatedPage()});
        return list;
    }();
    return all;
}

Engine quietEngine() {
    Engine engine;
    engine.console = nullptr;  // no dots, no ratio lines
    engine.options.progressDots = 0;
    engine.options.keepComments = 0;  // as the console's default conversion
    return engine;
}

void report(benchmark::State& state, size_t input, long long output) {
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(input));
    state.counters["input_bytes"] = static_cast<double>(input);
    state.counters["saved_bytes"] = static_cast<double>(static_cast<long long>(input) - output);
    state.counters["saved_pct"] =
        input ? 100.0 * static_cast<double>(static_cast<long long>(input) - output) /
                    static_cast<double>(input)
              : 0.0;
}

// `texts` are the pages one iteration converts; `run` converts one and returns its output
// length (the input length when the method gives no result, so nothing counts as saved).
template <typename Run>
void measure(benchmark::State& state, const std::vector<const BenchPage*>& texts, Run run) {
    Engine engine = quietEngine();
    std::vector<std::string> work(texts.size());
    size_t input = 0;
    for (const BenchPage* page : texts) input += page->text.size();
    long long output = 0;
    for (auto _ : state) {
        output = 0;
        for (size_t i = 0; i < texts.size(); ++i) {
            work[i].assign(texts[i]->text);  // the methods may change 0xFF bytes in place
            engine.histogram.fill(0);        // as reading a page does
            output += run(engine, work[i]);
        }
    }
    report(state, input, output);
}

long long plainLength(Engine& engine, std::string& page) {
    const std::string result = compactPlain(engine, page);
    benchmark::DoNotOptimize(result.data());
    return static_cast<long long>(result.size());
}

long long javaScriptLength(Engine& engine, std::string& page) {
    const std::optional<std::string> result = packJavaScript(engine, page);
    benchmark::DoNotOptimize(result);
    return static_cast<long long>(result ? result->size() : page.size());
}

std::FILE* nullStream() {
    static std::FILE* stream = std::fopen("/dev/null", "wb");
    return stream;
}

// packBest with both methods, the chosen text written to /dev/null through the stream that
// stands for standard output.
long long bestLength(Engine& engine, std::string& page) {
    engine.output = nullStream();
    const long written = packBest(engine, page, nullptr, static_cast<long>(page.size()),
                                  FLAG_PLAIN | FLAG_JAVASCRIPT);
    return written >= 0 ? written : static_cast<long long>(page.size());
}

// Timed by the calling thread's processor time, which is all the time a page takes.
template <typename Run>
void registerMethod(const std::string& method, Run run) {
    std::vector<const BenchPage*> all;
    for (const BenchPage& page : pages()) {
        all.push_back(&page);
        benchmark::RegisterBenchmark((method + "/" + page.name).c_str(),
                                     [&page, run](benchmark::State& state) {
                                         measure(state, {&page}, run);
                                     });
    }
    // Every page once per iteration: the throughput over the whole set.
    benchmark::RegisterBenchmark((method + "/all-pages").c_str(),
                                 [all, run](benchmark::State& state) { measure(state, all, run); });
}

// The same kind of page at 10 KB, 1 MB and 20 MB, timed by the processor time of the whole
// process: the cost per byte should not grow with the page.
template <typename Run>
void registerScaling(const std::string& method, Run run) {
    for (const size_t size : {size_t{10000}, size_t{1000000}, size_t{20000000}}) {
        benchmark::RegisterBenchmark(
            (method + "/generated-" + std::to_string(size)).c_str(),
            [size, run](benchmark::State& state) {
                static std::map<size_t, BenchPage> made;
                auto found = made.find(size);
                if (found == made.end()) {
                    found = made.emplace(size, BenchPage{"", generatedPage(size)}).first;
                }
                measure(state, {&found->second}, run);
            })
            ->MeasureProcessCPUTime()
            ->MinTime(2.0)  // several rounds even at 20 MB, past the first page faults
            ->Unit(benchmark::kMillisecond);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (!nullStream()) {
        std::fprintf(stderr, "cannot open /dev/null\n");
        return 1;
    }
    registerMethod("compactPlain", plainLength);
    registerMethod("packJavaScript", javaScriptLength);
    registerMethod("packBest", bestLength);
    registerScaling("scaling/compactPlain", plainLength);
    registerScaling("scaling/packJavaScript", javaScriptLength);
    registerScaling("scaling/packBest", bestLength);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
