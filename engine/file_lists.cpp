// Lists of the pages in a directory tree, and conversion of such a list in place.
#include "file_lists.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "engine.h"
#include "tag_table.h"

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

// Reads the next blank-separated word of the answers and returns its first character, or
// EOF at the end of the answers. The rest of the word is read and dropped, however long.
int readAnswerLetter(std::FILE* input) {
    if (!input) return EOF;
    int c;
    do c = std::fgetc(input);
    while (c != EOF && std::isspace(c));
    if (c == EOF) return EOF;
    int rest;
    while ((rest = std::fgetc(input)) != EOF && !std::isspace(rest)) {
    }
    return c;
}

// Asks whether to convert `path` until the answer begins with y, n, a or q, letter case
// ignored. The end of the answers counts as "q", so a closed input cannot loop forever.
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

// Converts the page at `path` over itself; false when it was not converted. The page is
// read whole, so it is never cut, and a page that is not converted is left as it was.
bool convertInPlace(Engine& engine, const std::string& path, int flags) {
    // The writer turns every '?' of an output name into '_', which would write another
    // file beside the original instead of replacing it.
    if (path.find('?') != std::string::npos) {
        complain(engine, "Couldn't generate file from %s: its name holds a '?'\n", path.c_str());
        return false;
    }
    std::string outputName = path;
    convertFile(engine, path.c_str(), &outputName, NO_BOUND, flags);
    switch (engine.lastPage.outcome) {
        case PageOutcome::Converted:
        case PageOutcome::AlreadyPacked: return true;
        case PageOutcome::NotWritten: return false;  // the driver has said so, with the reason
        default:
            complain(engine, "Couldn't generate file from %s: %s\n", path.c_str(),
                     describeFailure(engine.lastPage).c_str());
            return false;
    }
}

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
        if (fs::is_directory(linkStatus)) {
            std::vector<std::string> names = sortedEntryNames(entry, problems);
            stack.push_back({std::move(entry), std::move(names)});
            continue;
        }
        // A link counts by what it points to, but a link to a directory is not walked, so
        // link cycles cannot make the walk endless.
        fs::file_status target = fs::is_symlink(linkStatus) ? fs::status(entry, error) : linkStatus;
        if (error) {
            if (isPageFile(entry)) notePage(problems, entry, error.message());  // a dead link
        } else if (fs::is_regular_file(target)) {
            addReadablePage(list, entry, problems);
        }
    }
}

std::string writeFileList(const std::string& startPath, const std::string& listFileName,
                          std::vector<WalkProblem>* problems) {
    std::FILE* list = std::fopen(listFileName.c_str(), "w");
    if (!list) return {};
    std::fwrite(LIST_HEADER.data(), 1, LIST_HEADER.size(), list);
    std::fputc('\n', list);
    walkDirectory(list, startPath, problems);
    std::fputc('\n', list);
    bool written = !std::ferror(list);
    if (std::fclose(list) != 0) written = false;
    if (!written) return {};
    return listFileName;
}

int convertList(Engine& engine, const std::string& startPath, int flags) {
    // Only a folder is converted in place: a missing name or a file given instead is told,
    // not taken for an empty tree.
    std::error_code error;
    const fs::file_status start = fs::status(startPath, error);
    if (!error && !fs::is_directory(start)) error = std::make_error_code(std::errc::not_a_directory);
    if (error) {
        complain(engine, "Couldn't read the folder %s: %s\n", startPath.c_str(),
                 error.message().c_str());
        return -1;
    }
    if (engine.options.interactive) say(engine, "%s", BATCH_WARNING.data());

    std::vector<WalkProblem> problems;
    std::string listName = writeFileList(startPath, LIST_FILE_NAME, &problems);
    if (listName.empty()) {
        complain(engine, "Couldn't write the list file %s in the current directory\n",
                 LIST_FILE_NAME);
        return -1;
    }
    std::FILE* list = std::fopen(listName.c_str(), "r");
    if (!list) {
        complain(engine, "Couldn't read back the list file %s\n", listName.c_str());
        return -1;
    }
    std::string line;
    if (!readLine(list, line) || !hasListHeader(line)) {
        std::fclose(list);
        complain(engine, "The list file %s lacks its header line\n", listName.c_str());
        return -1;
    }

    // What the walk had to leave out is told first: its pages are not converted.
    int notConverted = 0;
    for (const WalkProblem& problem : problems) {
        if (problem.isFolder) {
            complain(engine, "Couldn't read the folder %s: %s\n", problem.path.c_str(),
                     problem.reason.c_str());
        } else {
            complain(engine, "Couldn't generate file from %s: cannot be read: %s\n",
                     problem.path.c_str(), problem.reason.c_str());
        }
        ++notConverted;
    }

    while (readLine(list, line)) {
        if (line.empty()) continue;
        if (engine.options.interactive) {
            Answer answer = askBeforeConverting(engine, line);
            if (answer == Answer::Quit) {
                std::fclose(list);
                if (engine.console) std::fflush(engine.console);
                std::exit(notConverted == 0 ? 0 : 1);
            }
            if (answer == Answer::Skip) continue;
            if (answer == Answer::ConvertAll) engine.options.interactive = 0;
        }
        if (!convertInPlace(engine, line, flags)) ++notConverted;
        if (engine.console) std::fflush(engine.console);
    }
    std::fclose(list);
    return notConverted;
}
