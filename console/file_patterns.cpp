#include "file_patterns.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

bool matchesPattern(std::string_view pattern, std::string_view name) {
    // Iterative wildcard match with one backtrack point for the last '*'.
    size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::vector<PatternMatch> findMatches(const std::string& pattern) {
    std::vector<PatternMatch> matches;
    const size_t cut = pattern.find_last_of(std::string(1, fs::path::preferred_separator) + "/");
    const std::string directory = cut == std::string::npos ? "" : pattern.substr(0, cut + 1);
    const std::string namePattern = cut == std::string::npos ? pattern : pattern.substr(cut + 1);
    if (namePattern.empty()) return matches;

    std::error_code error;
    fs::directory_iterator entries(directory.empty() ? fs::path(".") : fs::path(directory), error);
    if (error) return matches;
    for (const fs::directory_entry& entry : entries) {
        const std::string name = entry.path().filename().string();
        if (!matchesPattern(namePattern, name)) continue;
        std::error_code statError;
        const bool isFile = entry.is_regular_file(statError);
        const std::uintmax_t size = isFile ? entry.file_size(statError) : 0;
        matches.push_back({directory + name, name, statError ? 0 : size, isFile && !statError});
    }
    std::sort(matches.begin(), matches.end(),
              [](const PatternMatch& a, const PatternMatch& b) { return a.name < b.name; });
    return matches;
}
