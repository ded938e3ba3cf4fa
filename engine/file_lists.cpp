// Lists of the pages in a directory tree, and conversion of such a list in place.
#include "file_lists.h"

#include "run_report.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <semaphore>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "engine.h"
#include "safe_files.h"
#include "tag_table.h"

#ifndef _WIN32
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

constexpr std::string_view BATCH_WARNING =
    "WARNING - conversions overwrite originals. It is suggested you make a backup.\n";

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           startsWithIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

bool isSeparator(char c) {
    return c == '/' || c == static_cast<char>(fs::path::preferred_separator);
}

// Joins a directory path and an entry name with one separator.
std::string joinPath(const std::string& directory, const std::string& name) {
    std::string path = directory;
    if (!path.empty() && !isSeparator(path.back()))
        path += static_cast<char>(fs::path::preferred_separator);
    path += name;
    return path;
}

void notePage(std::vector<WalkProblem>* problems, const std::string& path, std::string reason) {
    if (problems) problems->push_back({path, std::move(reason), false});
}

// The names of the entries of `directory` in byte order. A directory that cannot be listed,
// or stops listing part way, gives the names read so far, and a problem when asked.
std::vector<std::string> sortedEntryNames(const std::string& directory,
                                          std::vector<WalkProblem>* problems) {
    std::vector<std::string> names;
    std::error_code error;
    fs::directory_iterator entry(fs::path(directory), error);
    for (; !error && entry != fs::directory_iterator(); entry.increment(error))
        names.push_back(entry->path().filename().string());
    if (error && problems) problems->push_back({directory, error.message(), true});
    std::sort(names.begin(), names.end());
    return names;
}

// Adds `path` when it is a page file that can be opened, so the list holds only what a
// conversion can read; a page that cannot be opened becomes a problem.
void addReadablePage(std::FILE* list, const std::string& path,
                     std::vector<WalkProblem>* problems) {
    if (!isPageFile(path)) return;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        notePage(problems, path, std::strerror(errno));
        return;
    }
    std::fclose(file);
    addPageToList(list, path);
}

// Prints on the engine's console stream, if it has one.
void say(Engine& engine, const char* format, ...) {
    if (!engine.console) return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(engine.console, format, arguments);
    va_end(arguments);
}

// Reads one line without its line end. False at the end of the file with nothing read.
bool readLine(std::FILE* file, std::string& line) {
    line.clear();
    int c;
    while ((c = std::fgetc(file)) != EOF && c != '\n') line += static_cast<char>(c);
    return c != EOF || !line.empty();
}

enum class Answer { Convert, ConvertAll, Skip, Quit };

// Reads the next line of the answers and returns the first character that is not a blank,
// 0 for an empty line, or EOF at the end of the answers. A line of any length is read whole.
int readAnswerLetter(std::FILE* input) {
    if (!input) return EOF;
    int c = std::fgetc(input);
    if (c == EOF) return EOF;
    int letter = 0;
    for (; c != EOF && c != '\n'; c = std::fgetc(input)) {
        if (letter == 0 && !std::isspace(c)) letter = c;
    }
    return letter;
}

// Asks whether to convert `path` until the answer begins with y, n, a or q, letter case
// ignored; an empty or unknown answer asks again. The end of the answers counts as "q", so
// a closed input cannot loop forever.
Answer askBeforeConverting(Engine& engine, const std::string& path) {
    for (;;) {
        say(engine, "%s : Convert this file (y/n/all/quit) ? ", path.c_str());
        if (engine.console) std::fflush(engine.console);
        int letter = readAnswerLetter(engine.input);
        switch (letter) {
            case EOF:
            case 'q':
            case 'Q': return Answer::Quit;
            case 'y':
            case 'Y': return Answer::Convert;
            case 'a':
            case 'A': return Answer::ConvertAll;
            case 'n':
            case 'N': return Answer::Skip;
            default: break;  // any other answer asks again
        }
    }
}

// Prints a failure message on the engine's error stream, after what the console holds.
void complain(Engine& engine, const char* format, ...) {
    if (!engine.errors) return;
    if (engine.console) std::fflush(engine.console);
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(engine.errors, format, arguments);
    va_end(arguments);
    std::fflush(engine.errors);
}

#ifndef _WIN32

// What every page of one run shares: the open starting folder and output folder.
struct TreeWork {
    std::string startPath;
    int startFolder = -1;
    std::string outputPath;  // empty: in place
    int outputFolder = -1;
};

// The part of `path` below the starting folder, names joined by '/'; empty when `path` does
// not lie below it.
std::string pathBelow(const std::string& startPath, const std::string& path) {
    if (path.size() <= startPath.size() || path.compare(0, startPath.size(), startPath) != 0)
        return {};
    std::string relative = path.substr(startPath.size());
    if (!startPath.empty() && !isSeparator(startPath.back()) && !isSeparator(relative.front()))
        return {};
    for (char& c : relative) {
        if (isSeparator(c)) c = '/';
    }
    relative.erase(0, relative.find_first_not_of('/'));
    return relative;
}

// Converts the listed page `path` over itself, or into the output folder; false when it was
// not converted. Every folder below the starting folder is opened without following a link,
// and the page itself too, so a link put in the tree, even during the run, leads nowhere. A
// page converted in place must be one the user may write, with one link; it is replaced only
// if it is still the file that was read.
bool convertListedPage(Engine& engine, const TreeWork& work, const std::string& path, int flags,
                       const std::function<void()>& beforeWriting = {}) {
    bool reported = false;  // the driver has written the page's line in the run report
    const auto refuse = [&](const std::string& why) {
        complain(engine, "Couldn't generate file from %s: %s\n", path.c_str(), why.c_str());
        if (!reported) reportPage(engine, path, {}, why);
        return false;
    };
    const std::string relative = pathBelow(work.startPath, path);
    if (relative.empty()) return refuse("it is not below the folder " + work.startPath);
    const size_t slash = relative.rfind('/');
    const std::string folderPart = slash == std::string::npos ? "" : relative.substr(0, slash);
    const std::string name = relative.substr(slash == std::string::npos ? 0 : slash + 1);
    const bool inPlace = work.outputFolder < 0;

    struct Descriptors {
        int source = -1, page = -1, output = -1;
        ~Descriptors() {
            for (int fd : {page, output, source})
                if (fd >= 0) ::close(fd);
        }
    } fds;
    fds.source = openFolderBelow(work.startFolder, folderPart, false);
    if (fds.source < 0) {
        if (errno == ELOOP || errno == ENOTDIR) return refuse("a folder on its way is now a link");
        return refuse(std::string("its folder cannot be opened: ") + std::strerror(errno));
    }
    fds.page = ::openat(fds.source, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fds.page < 0) {
        if (errno == ELOOP) return refuse("is a symbolic link, passed over");
        return refuse(std::string("cannot be read: ") + std::strerror(errno));
    }
    struct stat original {};
    if (::fstat(fds.page, &original) != 0 || !S_ISREG(original.st_mode))
        return refuse("is not a regular file");

    ReplaceOptions replace;
    struct stat existing {};
    std::string shownName = path;
    if (inPlace) {
        if (original.st_nlink > 1) {
            return refuse("has " + std::to_string(original.st_nlink) +
                          " hard links: left as it is, so that they keep one text");
        }
        // The system's own answer: rights, owner, access lists, a read-only file system. Asked
        // without opening the page for writing, which programs watching the tree would see.
        if (::faccessat(fds.source, name.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0)
            return refuse(std::string("cannot be written: ") + std::strerror(errno));
        replace.original = &original;
        replace.attributesFrom = fds.page;
        fds.output = ::dup(fds.source);
    } else {
        fds.output = openFolderBelow(work.outputFolder, folderPart, true);
        if (fds.output < 0) {
            return refuse(std::string("its folder in ") + work.outputPath +
                          " cannot be made: " + std::strerror(errno));
        }
        // A file already there keeps its rights and is replaced durably.
        if (::fstatat(fds.output, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(existing.st_mode)) {
            replace.original = &existing;
        } else {
            replace.durable = false;
        }
        shownName = joinPath(work.outputPath, relative);
    }

    const int readable = ::dup(fds.page);
    std::FILE* stream = readable >= 0 ? ::fdopen(readable, "rb") : nullptr;
    if (!stream) {
        if (readable >= 0) ::close(readable);
        return refuse(std::string("cannot be read: ") + std::strerror(errno));
    }
    long bound = NO_BOUND;
    std::optional<std::string> page = readPageFrom(engine, stream, bound);
    std::fclose(stream);
    if (page) {
        engine.pageWriter = [&](std::string_view text, std::string& reason) {
            if (inPlace) {
                struct stat now {};
                if (::fstatat(fds.source, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 ||
                    now.st_dev != original.st_dev || now.st_ino != original.st_ino) {
                    reason = "it was replaced while it was converted";
                    return 0;
                }
            }
            if (beforeWriting) beforeWriting();
            return replaceAt(fds.output, name, text, replace, reason);
        };
        convertPage(engine, *page, path.c_str(), &shownName, flags);
        engine.pageWriter = nullptr;
        reported = true;
    }
    switch (engine.lastPage.outcome) {
        case PageOutcome::Converted:
        case PageOutcome::AlreadyPacked: return true;
        case PageOutcome::NotWritten: return false;  // the driver has said so, with the reason
        default: return refuse(describeFailure(engine.lastPage));
    }
}

// Runs the work `work` points to (a Work) on the thread that pthread_create starts.
template <typename Work>
void* runWork(void* work) {
    (*static_cast<const Work*>(work))();
    return nullptr;
}

// Prints the text of a stream made by open_memstream on `to`, and frees it.
void passOn(char*& text, size_t length, std::FILE* to) {
    if (text && to) std::fwrite(text, 1, length, to);
    if (to) std::fflush(to);
    std::free(text);
    text = nullptr;
}

// Converts pages[first..] `jobs` at a time, each thread on an engine of its own. Four times
// as many threads as jobs take pages, but only `jobs` of them convert at once: a thread gives
// up its turn when its page goes to the disk, so that waiting for the disk (a replaced page
// is flushed to it before it takes the old one's place) does not keep a processor idle. What a page prints is held until the pages before it have printed theirs,
// so the lines come in the list's order; whichever thread finishes the page next in line
// prints it, so no thread waits for another. Returns how many pages were not converted.
int convertPagesAtOnce(Engine& engine, const TreeWork& work, const std::vector<std::string>& pages,
                       size_t first, int flags, int jobs) {
    const size_t count = pages.size() - first;
    if (jobs <= 1 || count <= 1) {
        int notConverted = 0;
        for (size_t k = first; k < pages.size(); ++k) {
            if (!convertListedPage(engine, work, pages[k], flags)) ++notConverted;
            if (engine.console) std::fflush(engine.console);
        }
        return notConverted;
    }
    struct Result {
        char* console = nullptr;
        size_t consoleLength = 0;
        char* errors = nullptr;
        size_t errorsLength = 0;
        char* report = nullptr;
        size_t reportLength = 0;
        bool converted = false;
        bool done = false;
    };
    std::vector<Result> results(count);
    std::mutex mutex;
    size_t printed = 0;
    int notConverted = 0;
    std::atomic<size_t> next{0};
    std::counting_semaphore<> turns(jobs);
    const auto worker = [&] {
        Engine own = engine;
        for (size_t k; (k = next++) < count;) {
            turns.acquire();
            bool turnHeld = true;
            const auto giveUpTurn = [&] {
                if (turnHeld) turns.release();
                turnHeld = false;
            };
            Result result;
            own.console = engine.console ? open_memstream(&result.console, &result.consoleLength)
                                         : nullptr;
            own.errors = engine.errors ? open_memstream(&result.errors, &result.errorsLength)
                                       : nullptr;
            own.report = engine.report ? open_memstream(&result.report, &result.reportLength)
                                       : nullptr;
            // Without memory for a stream of its own, a page's failure still gets told.
            if (engine.errors && !own.errors) own.errors = engine.errors;
            result.converted = convertListedPage(own, work, pages[first + k], flags, giveUpTurn);
            giveUpTurn();
            if (own.console) std::fclose(own.console);
            if (own.errors && own.errors != engine.errors) std::fclose(own.errors);
            if (own.report) std::fclose(own.report);
            result.done = true;
            std::lock_guard<std::mutex> lock(mutex);
            results[k] = result;
            for (; printed < count && results[printed].done; ++printed) {
                Result& ready = results[printed];
                passOn(ready.console, ready.consoleLength, engine.console);
                passOn(ready.errors, ready.errorsLength, engine.errors);
                passOn(ready.report, ready.reportLength, engine.report);
                if (!ready.converted) ++notConverted;
            }
        }
    };
    // Threads are started through pthread_create, which tells a failure by its result: fewer
    // threads than asked for share the work then.
    std::vector<pthread_t> threads;
    threads.reserve(static_cast<size_t>(4 * jobs));
    void* const job = const_cast<void*>(static_cast<const void*>(&worker));
    for (int j = 1; j < 4 * jobs && static_cast<size_t>(j) < count; ++j) {
        pthread_t thread;
        if (::pthread_create(&thread, nullptr, &runWork<decltype(worker)>, job) != 0) break;
        threads.push_back(thread);
    }
    worker();
    for (const pthread_t thread : threads) ::pthread_join(thread, nullptr);
    return notConverted;
}

// Writes the header, the pages at or under `startPath` and the empty last line to `list`.
bool writeList(std::FILE* list, const std::string& startPath, std::vector<WalkProblem>* problems) {
    std::fwrite(LIST_HEADER.data(), 1, LIST_HEADER.size(), list);
    std::fputc('\n', list);
    walkDirectory(list, startPath, problems);
    std::fputc('\n', list);
    return std::fflush(list) == 0 && !std::ferror(list);
}

// The body of convertList; returns how many pages were not converted, or -1, and sets `quit`
// when the user stopped the run. The list file and the folders are released when it returns,
// whatever the end.
int runList(Engine& engine, const std::string& startPath, int flags, const TreeOptions& tree,
            bool& quit) {
    quit = false;
    TreeWork work;
    work.startPath = startPath;
    struct Folders {
        int start = -1, output = -1;
        ~Folders() {
            if (start >= 0) ::close(start);
            if (output >= 0) ::close(output);
        }
    } folders;
    folders.start = work.startFolder = openFolder(startPath);
    if (work.startFolder < 0) {
        complain(engine, "Couldn't read the folder %s: %s\n", startPath.c_str(), std::strerror(errno));
        return -1;
    }
    if (!tree.outputFolder.empty()) {
        std::error_code error;
        const fs::path output = fs::canonical(tree.outputFolder, error);
        if (!error && !fs::is_directory(output, error)) error = std::make_error_code(std::errc::not_a_directory);
        if (error) {
            complain(engine, "Couldn't use the output folder %s: %s\n", tree.outputFolder.c_str(),
                     error.message().c_str());
            return -1;
        }
        const fs::path start = fs::canonical(startPath, error);
        const fs::path below = output.lexically_relative(start);
        if (!error && (below.empty() || below == "." || *below.begin() != "..")) {
            complain(engine, "The output folder %s lies inside the folder %s: choose one outside it\n",
                     tree.outputFolder.c_str(), startPath.c_str());
            return -1;
        }
        work.outputPath = tree.outputFolder;
        folders.output = work.outputFolder = openFolder(tree.outputFolder);
        if (work.outputFolder < 0) {
            complain(engine, "Couldn't use the output folder %s: %s\n", tree.outputFolder.c_str(),
                     std::strerror(errno));
            return -1;
        }
    }
    if (engine.options.interactive && work.outputFolder < 0) say(engine, "%s", BATCH_WARNING.data());

    PrivateFile listFile;
    const int fd = listFile.create(tree.listFolder, LIST_FILE_PREFIX);
    std::FILE* list = fd >= 0 ? ::fdopen(fd, "w+") : nullptr;
    const std::string listFolder = tree.listFolder.empty() ? temporaryFolder() : tree.listFolder;
    if (!list) {
        complain(engine, "Couldn't write the list file in %s: %s\n", listFolder.c_str(),
                 std::strerror(errno));
        if (fd >= 0) ::close(fd);
        return -1;
    }
    std::vector<WalkProblem> problems;
    const bool written = writeList(list, startPath, &problems);
    std::vector<std::string> pages;
    std::string line;
    std::rewind(list);
    const bool headed = written && readLine(list, line) && hasListHeader(line);
    while (headed && readLine(list, line)) {
        if (!line.empty()) pages.push_back(line);
    }
    const bool readBack = headed && !std::ferror(list);
    std::fclose(list);
    if (!readBack) {
        complain(engine, "Couldn't %s the list file %s\n", written ? "read back" : "write",
                 listFile.path().c_str());
        return -1;
    }

    // What the walk had to leave out is told first: its pages are not converted. Links are
    // passed over, which is no failure.
    int notConverted = 0;
    for (const WalkProblem& problem : problems) {
        if (problem.isLink) {
            say(engine, "%s : symbolic link, passed over\n", problem.path.c_str());
            continue;
        }
        if (problem.isFolder) {
            complain(engine, "Couldn't read the folder %s: %s\n", problem.path.c_str(),
                     problem.reason.c_str());
        } else {
            complain(engine, "Couldn't generate file from %s: cannot be read: %s\n",
                     problem.path.c_str(), problem.reason.c_str());
            reportPage(engine, problem.path, {}, "cannot be read: " + problem.reason);
        }
        ++notConverted;
    }
    if (engine.console) std::fflush(engine.console);

    size_t next = 0;
    for (; next < pages.size() && engine.options.interactive; ++next) {
        const Answer answer = askBeforeConverting(engine, pages[next]);
        if (answer == Answer::Quit) {
            quit = true;
            return notConverted;
        }
        if (answer == Answer::Skip) continue;
        if (answer == Answer::ConvertAll) engine.options.interactive = 0;
        if (!convertListedPage(engine, work, pages[next], flags)) ++notConverted;
        if (engine.console) std::fflush(engine.console);
    }
    if (next < pages.size()) {
        notConverted += convertPagesAtOnce(engine, work, pages, next, flags, std::max(1, tree.jobs));
    }
    return notConverted;
}

#endif

}  // namespace

bool isPageFile(std::string_view path) {
    return endsWithIgnoringCase(path, ".html") || endsWithIgnoringCase(path, ".htm");
}

bool hasListHeader(std::string_view line) { return startsWithIgnoreCase(line, LIST_HEADER); }

void addPageToList(std::FILE* list, const std::string& path) {
    if (!isPageFile(path) || path.find_first_of("\r\n") != std::string::npos) return;
    std::fputs(path.c_str(), list);
    std::fputc('\n', list);
}

void walkDirectory(std::FILE* list, const std::string& path, std::vector<WalkProblem>* problems) {
    std::error_code error;
    fs::file_status status = fs::status(path, error);
    if (error) {
        if (isPageFile(path)) notePage(problems, path, error.message());
        return;
    }
    if (fs::is_regular_file(status)) {
        addReadablePage(list, path, problems);
        return;
    }
    if (!fs::is_directory(status)) return;

    // Depth first with a stack of our own, so that a very deep tree cannot exhaust the
    // call stack; a subdirectory's pages stand where the subdirectory stands by name.
    struct Level {
        std::string directory;
        std::vector<std::string> names;
        std::size_t next = 0;
    };
    std::vector<Level> stack;
    stack.push_back({path, sortedEntryNames(path, problems)});
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next == level.names.size()) {
            stack.pop_back();
            continue;
        }
        std::string entry = joinPath(level.directory, level.names[level.next++]);
        fs::file_status linkStatus = fs::symlink_status(entry, error);
        if (error) continue;
        if (fs::is_symlink(linkStatus)) {
            // Never followed: a link could lead the conversion to any file of the system.
            if (problems) problems->push_back({std::move(entry), {}, false, true});
        } else if (fs::is_directory(linkStatus)) {
            std::vector<std::string> names = sortedEntryNames(entry, problems);
            stack.push_back({std::move(entry), std::move(names)});
        } else if (fs::is_regular_file(linkStatus)) {
            addReadablePage(list, entry, problems);
        }
    }
}

#ifndef _WIN32

std::string writeFileList(const std::string& startPath, const std::string& listFolder,
                          std::vector<WalkProblem>* problems) {
    PrivateFile listFile;
    const int fd = listFile.create(listFolder, LIST_FILE_PREFIX);
    if (fd < 0) return {};
    std::FILE* list = ::fdopen(fd, "w");
    if (!list) {
        ::close(fd);
        return {};
    }
    const bool written = writeList(list, startPath, problems);
    if (std::fclose(list) != 0 || !written) return {};
    listFile.keep();
    return listFile.path();
}

ListOutcome convertList(Engine& engine, const std::string& startPath, int flags,
                        const TreeOptions& tree) {
    // Only a folder is converted: a missing name or a file given instead is told, not taken
    // for an empty tree.
    std::error_code error;
    const fs::file_status start = fs::status(startPath, error);
    if (!error && !fs::is_directory(start)) error = std::make_error_code(std::errc::not_a_directory);
    if (error) {
        complain(engine, "Couldn't read the folder %s: %s\n", startPath.c_str(),
                 error.message().c_str());
        return {-1, false};
    }
    ListOutcome outcome;
    outcome.notConverted = runList(engine, startPath, flags, tree, outcome.quit);
    if (engine.console) std::fflush(engine.console);
    return outcome;
}

#endif
