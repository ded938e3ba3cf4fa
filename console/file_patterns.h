// Name patterns of the console's file mode: '*' and '?' matched by our own code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Whether `name` matches `pattern`: '*' stands for any run of characters, '?' for one.
bool matchesPattern(std::string_view pattern, std::string_view name);

struct PatternMatch {
    std::string path;      // the pattern's directory part joined to the entry's name
    std::string name;      // the entry's own name
    std::uintmax_t size;   // the entry's size; 0 for what is not a regular file
    bool isFile;           // a regular file (links followed), which can be read as a page
};

// The entries of the pattern's directory that match its last component, in name order.
std::vector<PatternMatch> findMatches(const std::string& pattern);
