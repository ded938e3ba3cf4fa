// Directory mode end to end: `quillbox -i -r` over a generated tree of 2000 pages, by one job
// and by one job per processor. The first argument is the page set (0: the sample pages of
// tests/data/pages in turn, 1: the sample article each time), the second the jobs (0: one per
// processor). Reports pages per second and bytes per second of input by the wall clock, the
// program's own processor time, and how many times faster than one job of the same set the
// run was; every run starts from the original pages, synced to the disk beforehand.
//
//   build/bench/batch_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kPages = 2000;
constexpr int kPagesPerFolder = 50;

struct TreePage {
    fs::path path;
    const std::string* text;
};

std::vector<std::string> loadSamplePages() {
    std::vector<fs::path> names;
    std::error_code error;
    for (fs::directory_iterator entry(fs::path(QUILLBOX_TEST_DATA) / "pages", error), end;
         !error && entry != end; entry.increment(error))
        if (entry->path().extension() == ".html") names.push_back(entry->path());
    std::sort(names.begin(), names.end());
    std::vector<std::string> pages;
    for (const auto& name : names) {
        std::ifstream file(name, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        if (!text.str().empty()) pages.push_back(text.str());
    }
    return pages;
}

// Lays out 2000 pages, 50 to a folder, folders two levels deep, cycling through the samples.
std::vector<TreePage> planTree(const fs::path& site, const std::vector<std::string>& samples) {
    std::vector<TreePage> tree;
    for (int i = 0; i < kPages; ++i) {
        const int folder = i / kPagesPerFolder;
        fs::path path = site / ("part" + std::to_string(folder / 8)) /
                        ("folder" + std::to_string(folder % 8)) /
                        ("page" + std::to_string(i) + (i % 3 == 0 ? ".HTM" : ".html"));
        tree.push_back({path, &samples[static_cast<std::size_t>(i) % samples.size()]});
    }
    return tree;
}

void writeTree(const std::vector<TreePage>& tree) {
    for (const auto& page : tree) {
        fs::create_directories(page.path.parent_path());
        std::ofstream(page.path, std::ios::binary) << *page.text;
    }
}

// Runs the program in `folder` with its output thrown away; returns its exit status and adds
// the processor seconds it used to `cpuSeconds`.
int runConsole(const fs::path& folder, const std::vector<std::string>& arguments,
               double& cpuSeconds) {
    pid_t child = fork();
    if (child == 0) {
        int quiet = open("/dev/null", O_RDWR);
        if (quiet < 0 || chdir(folder.c_str()) != 0) _exit(120);
        dup2(quiet, 0);
        dup2(quiet, 1);
        std::vector<char*> argv{const_cast<char*>(QUILLBOX_CONSOLE_BINARY)};
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(121);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    cpuSeconds += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                  static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::array<double, 2> oneJobSeconds{};  // wall seconds per run of one job, by page set

void directoryMode(benchmark::State& state) {
    const int set = static_cast<int>(state.range(0));
    const int jobs = static_cast<int>(state.range(1));
    std::vector<std::string> samples = loadSamplePages();
    if (set == 1) {
        std::ifstream file(fs::path(QUILLBOX_TEST_DATA) / "pages/article.html", std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        samples = {text.str()};
    }
    if (samples.empty()) {
        state.SkipWithError("no sample pages in tests/data/pages");
        return;
    }
    std::string pattern = (fs::temp_directory_path() / "quillbox-bench-XXXXXX").string();
    const fs::path root = mkdtemp(pattern.data());
    const std::vector<TreePage> tree = planTree(root / "site", samples);
    long long bytesPerRun = 0;
    for (const auto& page : tree) bytesPerRun += static_cast<long long>(page.text->size());

    std::vector<std::string> arguments{"-i"};
    if (jobs > 0) arguments.push_back("--jobs=" + std::to_string(jobs));
    arguments.insert(arguments.end(), {"-r", "site"});
    double cpuSeconds = 0;
    double wallSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        writeTree(tree);
        ::sync();  // the new tree's own writing is not left for the run to wait on
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        if (runConsole(root, arguments, cpuSeconds) != 0) {
            state.SkipWithError("quillbox -i -r failed");
            break;
        }
        wallSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double runs = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    if (jobs == 1) oneJobSeconds[set] = wallSeconds / runs;
    if (oneJobSeconds[set] > 0 && wallSeconds > 0)
        state.counters["vs_one_job"] = oneJobSeconds[set] / (wallSeconds / runs);
    state.SetBytesProcessed(state.iterations() * bytesPerRun);
    state.counters["pages/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * kPages),
                           benchmark::Counter::kIsRate);
    state.counters["input_MB"] = static_cast<double>(bytesPerRun) / 1e6;
    // Processor time of the program per run; the rest of the wall time is waiting for the disk.
    state.counters["program_cpu_s"] = cpuSeconds / runs;
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

// One job first, so that all jobs can be compared with it.
BENCHMARK(directoryMode)
    ->ArgNames({"set", "jobs"})
    ->Args({0, 1})
    ->Args({0, 0})
    ->Args({1, 1})
    ->Args({1, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
