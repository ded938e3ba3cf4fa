// The engine on real pages, by processor time, one page after another on one thread: plain
// compaction, JavaScript packing and packBest with both methods over every page of 2 to 100 KB
// in the folder QUILLBOX_BENCH_PAGES (by default bench/pages/pages, filled by
// `tools/fetch-doc-pages.sh bench/pages`), and the peak memory of converting one generated
// page of 20 MB by each method, each in a process of its own. packBest also runs choosing by
// the size after gzip and after brotli (--served).
//
//   ./build/bench/real_pages_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include "bench_pages.h"
#include "engine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr size_t kSmallest = 2000;
constexpr size_t kLargest = 100000;

fs::path pagesFolder() {
    const char* folder = std::getenv("QUILLBOX_BENCH_PAGES");
    return folder ? fs::path(folder) : fs::path(QUILLBOX_SOURCE_DIR) / "bench" / "pages" / "pages";
}

// The real pages of 2 to 100 KB in name order; the browser check's converted copies beside
// them (NAME.plain.html, NAME.packed.html) are left out.
const std::vector<std::string>& realPages() {
    static const std::vector<std::string> pages = [] {
        std::vector<fs::path> names;
        std::error_code error;
        for (fs::directory_iterator entry(pagesFolder(), error), end; !error && entry != end;
             entry.increment(error)) {
            const std::string name = entry->path().filename().string();
            if (entry->is_regular_file() && name.find(".plain.") == std::string::npos &&
                name.find(".packed.") == std::string::npos)
                names.push_back(entry->path());
        }
        std::sort(names.begin(), names.end());
        std::vector<std::string> list;
        for (const fs::path& name : names) {
            std::string page = readBenchPage(name);
            if (page.size() >= kSmallest && page.size() <= kLargest) list.push_back(std::move(page));
        }
        return list;
    }();
    return pages;
}

template <typename Run>
void overRealPages(benchmark::State& state, Run run, Served served = Served::Raw) {
    const std::vector<std::string>& pages = realPages();
    if (pages.empty()) {
        state.SkipWithError(("no pages of 2 to 100 KB in " + pagesFolder().string() +
                             "; run tools/fetch-doc-pages.sh bench/pages")
                                .c_str());
        return;
    }
    Engine engine = quietEngine();
    engine.options.served = served;
    std::string work;
    size_t input = 0;
    for (const std::string& page : pages) input += page.size();
    long long output = 0;
    for (auto _ : state) {
        output = 0;
        for (const std::string& page : pages) {
            work.assign(page);          // the methods may change 0xFF bytes in place
            output += run(engine, work);
        }
    }
    reportMegabytes(state, input);
    state.counters["pages"] = static_cast<double>(pages.size());
    state.counters["input_MB"] = static_cast<double>(input) / 1e6;
    state.counters["output_pct"] = 100.0 * static_cast<double>(output) / static_cast<double>(input);
}

// Resident memory of this process now and at its highest, in bytes, from /proc/self/status.
long long statusBytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) return std::atoll(line.c_str() + std::strlen(field)) * 1024;
    }
    return -1;
}

// Converts one generated page of 20 MB in a child process and reports how far its resident
// memory rose above what it held with the page read: the peak is the page plus that rise.
template <typename Run>
void peakMemory(benchmark::State& state, Run run) {
    static const std::string page = generatedPage(20000000);
    long long rise = -1;
    for (auto _ : state) {
        int results[2];
        if (pipe(results) != 0) {
            state.SkipWithError("no pipe");
            return;
        }
        const pid_t child = fork();
        if (child == 0) {
            std::string work = page;
            // The high-water mark starts again from what is resident now.
            std::ofstream("/proc/self/clear_refs") << "5";
            const long long before = statusBytes("VmRSS:");
            Engine engine = quietEngine();
            run(engine, work);
            const long long grown = statusBytes("VmHWM:") - before;
            const ssize_t written = write(results[1], &grown, sizeof grown);
            _exit(written == sizeof grown ? 0 : 1);
        }
        close(results[1]);
        if (read(results[0], &rise, sizeof rise) != sizeof rise) rise = -1;
        close(results[0]);
        waitpid(child, nullptr, 0);
    }
    if (rise < 0) {
        state.SkipWithError("the child process did not report its memory");
        return;
    }
    const double size = static_cast<double>(page.size());
    state.counters["page_MB"] = size / 1e6;
    state.counters["peak_MB"] = (size + static_cast<double>(rise)) / 1e6;
    state.counters["peak_per_page"] = (size + static_cast<double>(rise)) / size;
}

}  // namespace

int main(int argc, char** argv) {
    if (!nullStream()) {
        std::fprintf(stderr, "cannot open /dev/null\n");
        return 1;
    }
    const struct {
        const char* name;
        long long (*run)(Engine&, std::string&);
    } methods[] = {{"compactPlain", plainLength},
                   {"packJavaScript", javaScriptLength},
                   {"packBest", bestLength}};
    for (const auto& method : methods) {
        benchmark::RegisterBenchmark((std::string("realPages/") + method.name).c_str(),
                                     [run = method.run](benchmark::State& state) {
                                         overRealPages(state, run);
                                     })
            ->MeasureProcessCPUTime()
            ->Unit(benchmark::kMillisecond)
            ->MinTime(3.0);
    }
    // packBest choosing by the size after compression, which it computes for both methods.
    for (const Served served : {Served::Gzip, Served::Brotli}) {
        benchmark::RegisterBenchmark(
            (std::string("realPages/packBest-served-") + servedName(served)).c_str(),
            [served](benchmark::State& state) { overRealPages(state, bestLength, served); })
            ->MeasureProcessCPUTime()
            ->Unit(benchmark::kMillisecond)
            ->MinTime(3.0);
    }
    for (const auto& method : methods) {
        benchmark::RegisterBenchmark((std::string("peakMemory20MB/") + method.name).c_str(),
                                     [run = method.run](benchmark::State& state) {
                                         peakMemory(state, run);
                                     })
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
