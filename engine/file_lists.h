// Lists of the pages in a directory tree, and conversion of such a list in place.
//
// A list file is a text file: the header line "Quillbox1.0", one page path per line and an
// empty last line. Paths are the starting path as given, then the names below it, joined
// with one platform separator. Entries of a directory are walked in byte order of their
// names, so the same tree always gives the same list. Symbolic links to directories are not
// followed. What cannot be read is left out of the list; a caller that asks is told what.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

struct Engine;

// Default list file, created in the current directory and left there after use.
inline constexpr const char* LIST_FILE_NAME = "quillboxtmpoutput.tmp";
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
};

// Adds the readable page files at or under `path` to `list`, depth first in name order.
// The starting path is followed even when it is a symbolic link; links below it are
// followed to files only. What had to be left out is added to `problems` when given.
void walkDirectory(std::FILE* list, const std::string& path,
                   std::vector<WalkProblem>* problems = nullptr);

// Writes the list of the pages at or under `startPath` into `listFileName` (created or
// emptied). Returns the list file's name, or an empty string when it cannot be written.
std::string writeFileList(const std::string& startPath,
                          const std::string& listFileName = LIST_FILE_NAME,
                          std::vector<WalkProblem>* problems = nullptr);

// Lists the pages under the folder `startPath` into the list file in the current directory
// and converts each listed page over itself with the method flags `flags`, asking before
// each one while `engine.options.interactive` is on. Every page not converted (not
// readable, holding zero bytes, not written, in a folder that cannot be listed) gets one
// line on the error stream. The answer "q", or the end of the answers, ends the process at
// once: status 0, or 1 when a page before it was not converted. Returns how many pages were
// not converted, a folder that could not be listed counting as one (pages the user declined
// do not count), or -1 after a message when `startPath` is not a folder or the list file
// cannot be written or read back, or lacks its header.
int convertList(Engine& engine, const std::string& startPath, int flags = 0);
