// Lists of the pages in a directory tree, and conversion of such a list in place.
//
// A list file is a text file: the header line "Quillbox1.0", one page path per line and an
// empty last line. Paths are the starting path as given, then the names below it, joined
// with one platform separator. Entries of a directory are walked in byte order of their
// names, so the same tree always gives the same list. Symbolic links to directories are not
// followed, and what cannot be read is passed over without a message.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

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

// Adds the readable page files at or under `path` to `list`, depth first in name order.
// The starting path is followed even when it is a symbolic link; links below it are
// followed to files only.
void walkDirectory(std::FILE* list, const std::string& path);

// Writes the list of the pages at or under `startPath` into `listFileName` (created or
// emptied). Returns the list file's name, or an empty string when it cannot be written.
std::string writeFileList(const std::string& startPath,
                          const std::string& listFileName = LIST_FILE_NAME);

// Lists the pages under `startPath` into the list file in the current directory and
// converts each listed page over itself with the method flags `flags`, asking before each
// one while `engine.options.interactive` is on. The answer "q", or the end of the answers, ends the
// process with status 0. Returns 0 after the list was worked through, -1 when the list file
// cannot be written or read back, or lacks its header.
int convertList(Engine& engine, const std::string& startPath, int flags = 0);
