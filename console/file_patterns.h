// Name patterns of the console's file mode: '*' and '?' matched by our own code.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

// Whether `name` matches `pattern`: '*' stands for any run of characters, '?' for one.
bool matchesPattern(std::string_view pattern, std::string_view name);

// Whether the last part of `pattern` holds a '*' or a '?'.
bool hasWildcard(std::string_view pattern);

// What a name stands for, links followed.
enum class EntryKind {
    File,     // a regular file, which can be read as a page
    Folder,   // a directory
    Other,    // a device, pipe or socket
    Unknown,  // could not be looked at (a dead link, no right to look): reading will tell why
};

struct PatternMatch {
    std::string path;  // the pattern's folder part joined to the entry's name
    std::string name;  // the entry's own name
    EntryKind kind;
};

// Finds what patterns match. Each folder is listed at most once however many patterns name
// it, so a shell that expands "*.html" into thousands of names costs one listing, not one
// per name; a pattern without '*' or '?' is looked up directly.
class PatternFinder {
public:
    // The entries that match the pattern's last part in its folder, in name order; for a
    // pattern without wildcards, the one thing it names if it exists.
    std::vector<PatternMatch> find(const std::string& pattern);

private:
    struct Entry {
        std::string name;
        EntryKind kind;
    };
    // The entries of `folder` ("" for the current one) in name order; empty when it cannot
    // be listed.
    const std::vector<Entry>& listing(const std::string& folder);

    std::map<std::string, std::vector<Entry>> listings_;
};
