// File mode end to end against the engine alone, by processor time (user and system, all
// threads). `quillbox` converts 10000 generated pages into a folder of its own, once named
// one by one as a shell expands "*.html", once by the pattern itself; the engine converts
// the same pages in memory with packBest, one after the other; and the engine's convertFile
// converts the same files into the same folder in this process, which is what reading and
// writing the files costs without the console. The counter cpu_vs_engine is the processor
// time over the engine's in memory; user_s and sys_s split it, since creating and renaming
// thousands of files costs the system far more than it costs the program.
//
// Two sets of 10000 pages, the benchmark's argument: 0, the sample pages of tests/data/pages
// in turn (2.7 KB on average); 1, the sample article (35 KB) each time. Each page gets its
// number added, so no two are alike.

//
//   build/bench/console_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPages = 10000;

double seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// Processor time, user and system apart.
struct CpuTime {
    double user = 0;
    double system = 0;
    double total() const { return user + system; }
    CpuTime operator-(const CpuTime& other) const { return {user - other.user, system - other.system}; }
    CpuTime& operator+=(const CpuTime& other) {
        user += other.user;
        system += other.system;
        return *this;
    }
};

CpuTime cpuTime(const rusage& usage) { return {seconds(usage.ru_utime), seconds(usage.ru_stime)}; }

CpuTime processTime() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return cpuTime(usage);
}

std::string readWhole(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The sample pages that the engine converts (no zero bytes, not empty), in name order.
std::vector<std::string> loadSamplePages() {
    std::vector<fs::path> names;
    std::error_code error;
    for (fs::directory_iterator entry(fs::path(QUILLBOX_TEST_DATA) / "pages", error), end;
         !error && entry != end; entry.increment(error))
        if (entry->path().extension() == ".html") names.push_back(entry->path());
    std::sort(names.begin(), names.end());
    std::vector<std::string> pages;
    for (const auto& name : names) {
        const std::string page = readWhole(name);
        if (!page.empty() && page.find('\0') == std::string::npos) pages.push_back(page);
    }
    return pages;
}

// 10000 pages p0.html ... p9999.html in a folder of their own, with a folder out/ for the
// results.
struct PageFolder {
    fs::path root;
    std::vector<std::string> texts;
    std::vector<std::string> names;
    double engineSeconds = 0;  // the engine's processor time in memory, measured once

    explicit PageFolder(int set) {
        std::vector<std::string> samples = loadSamplePages();
        if (set == 1) samples = {readWhole(fs::path(QUILLBOX_TEST_DATA) / "pages/article.html")};
        if (samples.empty() || samples.front().empty()) return;
        std::string pattern = (fs::temp_directory_path() / "quillbox-console-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return;
        root = pattern;
        fs::create_directory(root / "out");
        for (int i = 0; i < kPages; ++i) {
            names.push_back("p" + std::to_string(i) + ".html");
            texts.push_back(samples[static_cast<size_t>(i) % samples.size()] + "<p>page " +
                            std::to_string(i) + "</p>\n");
            std::ofstream(root / names.back(), std::ios::binary) << texts.back();
        }
    }
    ~PageFolder() {
        std::error_code ignored;
        if (!root.empty()) fs::remove_all(root, ignored);
    }
    long long bytes() const {
        long long total = 0;
        for (const auto& text : texts) total += static_cast<long long>(text.size());
        return total;
    }
};

// The page set of the benchmark's argument, made when first asked for; the other set's
// files are removed first, so that only one set is on disk at a time.
PageFolder* pageFolder(int set) {
    static std::array<std::unique_ptr<PageFolder>, 2> folders;
    if (!folders[set]) {
        folders[1 - set].reset();
        folders[set] = std::make_unique<PageFolder>(set);
    }
    return folders[set]->root.empty() ? nullptr : folders[set].get();
}

// Every run writes new files into an empty out/, as a first run does: replacing a file
// would add flushing it to the disk first, which a new file does not need.
void emptyOutputFolder(const PageFolder& folder) {
    fs::remove_all(folder.root / "out");
    fs::create_directory(folder.root / "out");
}

Engine quietEngine() {
    Engine engine;
    engine.console = nullptr;
    engine.options.progressDots = 0;
    engine.options.keepComments = 0;  // as the console's default conversion
    return engine;
}

// The engine's processor time for all pages: packBest with both methods, as the console
// converts them, the result written to /dev/null.
CpuTime engineTime(const PageFolder& folder) {
    static std::FILE* devNull = std::fopen("/dev/null", "wb");
    Engine engine = quietEngine();
    engine.output = devNull;
    const CpuTime start = processTime();
    for (const std::string& text : folder.texts) {
        std::string page = text;
        benchmark::DoNotOptimize(packBest(engine, page, nullptr, 0, 0));
    }
    return processTime() - start;
}

// The engine's time, the least of three runs, for the other benchmarks to compare with.
double engineReference(PageFolder& folder) {
    if (folder.engineSeconds == 0) {
        double best = 1e9;
        for (int run = 0; run < 3; ++run) best = std::min(best, engineTime(folder).total());
        folder.engineSeconds = best;
    }
    return folder.engineSeconds;
}

void report(benchmark::State& state, PageFolder& folder, const CpuTime& cpuTotal) {
    const double runs = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    const double perRun = cpuTotal.total() / runs;
    state.SetBytesProcessed(state.iterations() * folder.bytes());
    state.counters["pages"] = kPages;
    state.counters["page_kB"] = static_cast<double>(folder.bytes()) / kPages / 1000.0;
    state.counters["cpu_s"] = perRun;
    state.counters["user_s"] = cpuTotal.user / runs;
    state.counters["sys_s"] = cpuTotal.system / runs;
    state.counters["engine_cpu_s"] = engineReference(folder);
    state.counters["cpu_vs_engine"] = perRun / engineReference(folder);
}

// Runs the program in `folder` with its output thrown away; returns its exit status and its
// processor time in `cpu`.
int runConsole(const fs::path& folder, const std::vector<std::string>& arguments, CpuTime& cpu) {
    const pid_t child = fork();
    if (child == 0) {
        const int quiet = open("/dev/null", O_RDWR);
        if (quiet < 0 || chdir(folder.c_str()) != 0) _exit(120);
        dup2(quiet, 0);
        dup2(quiet, 1);
        dup2(quiet, 2);
        std::vector<char*> argv{const_cast<char*>(QUILLBOX_CONSOLE_BINARY)};
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(121);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    cpu = cpuTime(usage);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void engineInMemory(benchmark::State& state) {
    PageFolder* folder = pageFolder(static_cast<int>(state.range(0)));
    if (!folder) {
        state.SkipWithError("no sample pages in tests/data/pages");
        return;
    }
    CpuTime total;
    for (auto _ : state) {
        const CpuTime cpu = engineTime(*folder);
        state.SetIterationTime(cpu.total());
        total += cpu;
    }
    report(state, *folder, total);
}

// convertFile on every page file, each written under its own name into out/, as the console
// does with --output-dir.
void driverOnFiles(benchmark::State& state) {
    PageFolder* folder = pageFolder(static_cast<int>(state.range(0)));
    if (!folder) {
        state.SkipWithError("no sample pages in tests/data/pages");
        return;
    }
    Engine engine = quietEngine();
    CpuTime total;
    for (auto _ : state) {
        emptyOutputFolder(*folder);
        const CpuTime start = processTime();
        for (const std::string& name : folder->names) {
            const std::string input = (folder->root / name).string();
            std::string output = (folder->root / "out" / name).string();
            if (convertFile(engine, input.c_str(), &output, NO_BOUND, 0) < 0) {
                state.SkipWithError("convertFile failed");
                return;
            }
        }
        const CpuTime cpu = processTime() - start;
        state.SetIterationTime(cpu.total());
        total += cpu;
    }
    report(state, *folder, total);
}

void consoleRun(benchmark::State& state, bool byPattern) {
    PageFolder* folder = pageFolder(static_cast<int>(state.range(0)));
    if (!folder) {
        state.SkipWithError("no sample pages in tests/data/pages");
        return;
    }
    std::vector<std::string> arguments{"--output-dir=out"};
    if (byPattern) {
        arguments.push_back("*.html");
    } else {
        arguments.insert(arguments.end(), folder->names.begin(), folder->names.end());
    }
    CpuTime total;
    for (auto _ : state) {
        emptyOutputFolder(*folder);
        CpuTime cpu;
        if (runConsole(folder->root, arguments, cpu) != 0) {
            state.SkipWithError("quillbox failed");
            return;
        }
        state.SetIterationTime(cpu.total());
        total += cpu;
    }
    report(state, *folder, total);
}

void consoleNamedPages(benchmark::State& state) { consoleRun(state, false); }
void consolePattern(benchmark::State& state) { consoleRun(state, true); }

// Timed by processor time (manual time): the wall clock would add the waits for the disk.
// The benchmarks of one page set run one after the other, so that set is made only once.
void registerSet(int set) {
    for (auto [name, run] : {std::pair{"engineInMemory", &engineInMemory},
                             std::pair{"driverOnFiles", &driverOnFiles},
                             std::pair{"consoleNamedPages", &consoleNamedPages},
                             std::pair{"consolePattern", &consolePattern}}) {
        benchmark::RegisterBenchmark(name, run)
            ->Arg(set)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(2);
    }
}

}  // namespace

int main(int argc, char** argv) {
    registerSet(0);
    registerSet(1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
