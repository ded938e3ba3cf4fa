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

#include "bench_pages.h"
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
        std::string page = readBenchPage(name);
        if (!page.empty()) pages.push_back({name.stem().string(), std::move(page)});
    }
    return pages;
}

std::vector<BenchPage>& pages() {
    static std::vector<BenchPage> all = [] {
        std::vector<BenchPage> list = loadPages();
        list.push_back({"generated-100000", generatedPage()});
        return list;
    }();
    return all;
}

void report(benchmark::State& state, size_t input, long long output) {
    reportMegabytes(state, input);
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
            output += run(engine, work[i]);
        }
    }
    report(state, input, output);
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
