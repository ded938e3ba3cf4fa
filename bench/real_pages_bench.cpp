// The engine on real pages, by processor time, one page after another on one thread: plain
// compaction, JavaScript packing and packBest with both methods over every page of 2 to 100 KB
// in the folder QUILLBOX_BENCH_PAGES (by default bench/pages/pages, filled by
// `tools/fetch-doc-pages.sh bench/pages`), and the peak memory of converting one generated
// page of 20 MB by each method, each in a process of its own. packBest also runs choosing by
// the size after gzip and after brotli (--served). The bareLoop benchmarks time a yardstick
// over the same pages: cutting and counting tokens, and writing them again, with no markup
// understood (see BareTokenLoop).
//
//   ./build/bench/real_pages_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include "bench_pages.h"
#include "engine.h"

#include <cstdint>
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

// A yardstick, not the engine: the least per-token work that packing does, as a bare loop.
// Each page is cut into tokens at blanks and at the bytes the scanner also cuts at, with no
// view of tags, comments, scripts or head regions, and every token of two or more bytes is
// counted in an open-addressing word table; with `write`, the tokens are then written again
// from the list as a one-byte code or literally. No markup is understood and the output means
// nothing: the figures say how fast the counting and writing passes could be at best.
class BareTokenLoop {
public:
    size_t run(const std::string& page, bool write) {
        const char* const base = page.c_str();
        size_t slots = 16;
        while (slots < page.size() / 8) slots <<= 1;
        slot_.assign(slots, -1);
        words_.clear();
        tokens_.clear();
        for (const char* p = base; *p;) {
            const unsigned char kind = byteKind(*p);
            if (kind == kBlank) {
                ++p;
                continue;
            }
            const char* start = p++;
            if (kind != kSingle) {
                while (byteKind(*p) == kOrdinary && p - start < 499) ++p;
                if (*p == '>') ++p;
            }
            const size_t length = static_cast<size_t>(p - start);
            const int word = length > 1 ? offer(base, start, length, slots - 1) : -1;
            tokens_.push_back(
                {static_cast<uint32_t>(start - base), static_cast<uint32_t>(length), word});
        }
        if (!write) return words_.size();
        out_.clear();
        for (const Token& token : tokens_) {
            if (token.word >= 0 && words_[static_cast<size_t>(token.word)].count > 2) {
                out_.push_back(static_cast<char>(token.word & 127));
            } else {
                out_.append(base + token.at, token.length);
            }
            out_.push_back(' ');
        }
        return out_.size();
    }

private:
    enum : unsigned char { kOrdinary, kBlank, kSingle };
    static unsigned char byteKind(char c) {
        switch (c) {
        case 0: case ' ': case '\t': case '\n': case '\r': case '\f': return kBlank;
        case '>': case '"': case '\'': case ',': case '=': case '~': return kSingle;
        default: return kOrdinary;
        }
    }
    struct Word {
        uint64_t hash;
        uint32_t at, length, count;
    };
    struct Token {
        uint32_t at, length;
        int word;
    };
    int offer(const char* base, const char* p, size_t n, size_t mask) {
        uint64_t h = n * 0x9E3779B97F4A7C15ull;
        uint64_t x = 0;
        size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            std::memcpy(&x, p + i, 8);
            h = (h ^ x) * 0xff51afd7ed558ccdull;
        }
        x = 0;
        std::memcpy(&x, p + i, n - i);
        h = (h ^ x) * 0xc4ceb9fe1a85ec53ull;
        h ^= h >> 29;
        for (size_t s = h & mask;; s = (s + 1) & mask) {
            const int w = slot_[s];
            if (w < 0) {
                slot_[s] = static_cast<int>(words_.size());
                words_.push_back({h, static_cast<uint32_t>(p - base), static_cast<uint32_t>(n), 1});
                return slot_[s];
            }
            Word& word = words_[static_cast<size_t>(w)];
            if (word.hash == h && word.length == n && std::memcmp(base + word.at, p, n) == 0) {
                ++word.count;
                return w;
            }
        }
    }
    std::vector<int> slot_;
    std::vector<Word> words_;
    std::vector<Token> tokens_;
    std::string out_;
};

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
    // The bare loop's counting alone, and with writing.
    for (const bool write : {false, true}) {
        benchmark::RegisterBenchmark(write ? "bareLoop/countAndWrite" : "bareLoop/count",
                                     [write](benchmark::State& state) {
                                         BareTokenLoop loop;
                                         overRealPages(state, [&](Engine&, std::string& page) {
                                             return static_cast<long long>(loop.run(page, write));
                                         });
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
