// Lists of the pages in a directory tree, and conversion of such a list in place.
#include "file_lists.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
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

// The names of the entries of `directory` in byte order. A directory that cannot be listed,
// or stops listing part way, gives the names read so far.
std::vector<std::string> sortedEntryNames(const std::string& directory) {
    std::vector<std::string> names;
    std::error_code error;
    fs::directory_iterator entry(fs::path(directory), error);
    for (; !error && entry != fs::directory_iterator(); entry.increment(error))
        names.push_back(entry->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool canOpenForReading(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::fclose(file);
    return true;
}

// Adds `path` when it is a page file that can be opened, so the list holds only what a
// conversion can read.
void addReadablePage(std::FILE* list, const std::string& path) {
    if (isPageFile(path) && canOpenForReading(path)) addPageToList(list, path);
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

// Converts the page at `path` over itself. The page is read whole, so it is never cut.
void convertInPlace(Engine& engine, const std::string& path, int flags) {
    // The writer turns every '?' of an output name into '_', which would write another
    // file beside the original instead of replacing it.
    if (path.find('?') != std::string::npos) {
        if (engine.errors) {
            std::fprintf(engine.errors, "Couldn't generate file from %s: its name holds a '?'\n",
                         path.c_str());
        }
        return;
    }
    std::string outputName = path;
    const long result = convertFile(engine, path.c_str(), &outputName, NO_BOUND, flags);
    if (result < 0 && engine.errors) {
        std::fprintf(engine.errors, "Couldn't generate file from %s: %s\n", path.c_str(),
                     describeFailure(engine.lastPage).c_str());
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

void walkDirectory(std::FILE* list, const std::string& path) {
    std::error_code error;
    fs::file_status status = fs::status(path, error);
    if (error) return;
    if (fs::is_regular_file(status)) {
        addReadablePage(list, path);
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
    stack.push_back({path, sortedEntryNames(path)});
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
            std::vector<std::string> names = sortedEntryNames(entry);
            stack.push_back({std::move(entry), std::move(names)});
            continue;
        }
        // A link counts by what it points to, but a link to a directory is not walked, so
        // link cycles cannot make the walk endless.
        fs::file_status target = fs::is_symlink(linkStatus) ? fs::status(entry, error) : linkStatus;
        if (!error && fs::is_regular_file(target)) addReadablePage(list, entry);
    }
}

std::string writeFileList(const std::string& startPath, const std::string& listFileName) {
    std::FILE* list = std::fopen(listFileName.c_str(), "w");
    if (!list) return {};
    std::fwrite(LIST_HEADER.data(), 1, LIST_HEADER.size(), list);
    std::fputc('\n', list);
    walkDirectory(list, startPath);
    std::fputc('\n', list);
    bool written = !std::ferror(list);
    if (std::fclose(list) != 0) written = false;
    if (!written) return {};
    return listFileName;
}

int convertList(Engine& engine, const std::string& startPath, int flags) {
    if (engine.options.interactive) say(engine, "%s", BATCH_WARNING.data());

    std::string listName = writeFileList(startPath);
    if (listName.empty()) {
        say(engine, "Couldn't write the list file %s in the current directory\n", LIST_FILE_NAME);
        return -1;
    }
    std::FILE* list = std::fopen(listName.c_str(), "r");
    if (!list) {
        say(engine, "Couldn't read back the list file %s\n", listName.c_str());
        return -1;
    }
    std::string line;
    if (!readLine(list, line) || !hasListHeader(line)) {
        std::fclose(list);
        say(engine, "The list file %s lacks its header line\n", listName.c_str());
        return -1;
    }

    while (readLine(list, line)) {
        if (line.empty()) continue;
        if (engine.options.interactive) {
            Answer answer = askBeforeConverting(engine, line);
            if (answer == Answer::Quit) {
                std::fclose(list);
                if (engine.console) std::fflush(engine.console);
                std::exit(0);
            }
            if (answer == Answer::Skip) continue;
            if (answer == Answer::ConvertAll) engine.options.interactive = 0;
        }
        convertInPlace(engine, line, flags);
        if (engine.console) std::fflush(engine.console);
    }
    std::fclose(list);
    return 0;
}
