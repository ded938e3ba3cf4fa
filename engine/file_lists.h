// Lists of the pages in a directory tree, and conversion of such a list in place.
//
// A list file is a text file: the header line "Quillbox1.0", one page path per line and an
// empty last line. Paths are the starting path as given, then the names below it, joined
// with one platform separator. Entries of a directory are walked in byte order of their
// names, so the same tree always gives the same list. Symbolic links below the starting path
// are never followed, to files or to folders: they are passed over, and told. What cannot be
// read is left out of the list; a caller that asks is told what.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

struct Engine;

// List files are named this, then 16 random hexadecimal digits and ".tmp".
inline constexpr const char* LIST_FILE_PREFIX = "quillboxtmpoutput-";
// First line of every list file.
inline constexpr std::string_view LIST_HEADER = "Quillbox1.0";

// Whether `path` names a page file: it ends in ".html" or ".htm", letter case ignored.
bool isPageFile(std::string_view path);

// Whether `line` starts with the list header, letter case ignored.
bool hasListHeader(std::string_view line);

// Writes `path` and a line end to `list` when it names a page file. A path holding a line
// break cannot stand on one line of the list and is left out.
void addPageToList(std::FILE* list, const std::string& path);

// Something a walk had to leave out, with the system's reason: a page file that cannot be
// opened, or a folder that cannot be listed (or not to its end).
struct WalkProblem {
    std::string path;
    std::string reason;
    bool isFolder = false;
    bool isLink = false;  // a symbolic link, passed over (no failure)
};

// Adds the readable page files at or under `path` to `list`, depth first in name order.
// The starting path is followed even when it is a symbolic link, as the caller named it;
// links below it are passed over. What had to be left out is added to `problems` when given.
void walkDirectory(std::FILE* list, const std::string& path,
                   std::vector<WalkProblem>* problems = nullptr);

// Writes the list of the pages at or under `startPath` into a new list file of its own, made
// in `listFolder` (the system's temporary folder when empty) with a name no other run uses,
// readable by its owner alone. Returns the list file's path, which the caller removes, or an
// empty string when it cannot be written (nothing is left behind then).
std::string writeFileList(const std::string& startPath, const std::string& listFolder = {},
                          std::vector<WalkProblem>* problems = nullptr);

// How convertList runs, beyond the engine's options.
struct TreeOptions {
    // When set, converted pages go under this folder with their paths below the starting
    // folder, folders made as needed, and the tree is left as it is. It may not lie inside
    // the tree.
    std::string outputFolder;
    std::string listFolder;  // where the list file is made; the temporary folder when empty
    int jobs = 1;            // pages converted at once when no question is asked
};

// How a convertList run ended.
struct ListOutcome {
    // How many pages were not converted, a folder that could not be listed counting as one
    // (pages the user declined do not count); -1 after a message when the run could not
    // begin: the start is not a folder, the output folder cannot be used, or the list file
    // cannot be written or read back.
    int notConverted = 0;
    // The answer "q", or the end of the answers, stopped the run: the pages after it were
    // neither asked about nor converted.
    bool quit = false;
};

// Lists the pages under the folder `startPath` into a list file of this run's own and
// converts each listed page with the method flags `flags`: over itself, or into
// `tree.outputFolder`. While `engine.options.interactive` is on it asks before each page;
// pages that no question waits for are converted `tree.jobs` at a time, their lines printed
// in the list's order. A page is converted in place only when the user may write it and it
// has one link; the new file keeps its rights, owner, group and extended attributes, and
// replaces the old one only once on disk. Every page not converted gets one line on the
// error stream; every symbolic link met gets one on the console. The list file is removed in
// every case.
ListOutcome convertList(Engine& engine, const std::string& startPath, int flags = 0,
                        const TreeOptions& tree = {});
