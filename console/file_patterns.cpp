#include "file_patterns.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Where the folder part of a pattern ends: just past its last separator, 0 when it has none.
size_t namePartStart(std::string_view pattern) {
    const size_t cut = pattern.find_last_of(std::string{static_cast<char>(fs::path::preferred_separator), '/'});
    return cut == std::string_view::npos ? 0 : cut + 1;
}

EntryKind kindOf(const fs::directory_entry& entry) {
    std::error_code error;
    if (entry.is_regular_file(error)) return EntryKind::File;
    if (error) return EntryKind::Unknown;
    if (entry.is_directory(error)) return EntryKind::Folder;
    return error ? EntryKind::Unknown : EntryKind::Other;
}

}  // namespace

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

bool hasWildcard(std::string_view pattern) {
    return pattern.find_first_of("*?", namePartStart(pattern)) != std::string_view::npos;
}

const std::vector<PatternFinder::Entry>& PatternFinder::listing(const std::string& folder) {
    const auto known = listings_.find(folder);
    if (known != listings_.end()) return known->second;
    std::vector<Entry> entries;
    std::error_code error;
    fs::directory_iterator entry(folder.empty() ? fs::path(".") : fs::path(folder), error);
    for (; !error && entry != fs::directory_iterator(); entry.increment(error))
        entries.push_back({entry->path().filename().string(), kindOf(*entry)});
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return listings_.emplace(folder, std::move(entries)).first->second;
}

std::vector<PatternMatch> PatternFinder::find(const std::string& pattern) {
    std::vector<PatternMatch> matches;
    const size_t nameStart = namePartStart(pattern);
    const std::string folder = pattern.substr(0, nameStart);
    const std::string namePattern = pattern.substr(nameStart);

    if (!hasWildcard(pattern)) {
        if (pattern.empty()) return matches;
        std::error_code error;
        const fs::file_status status = fs::status(pattern, error);
        EntryKind kind = EntryKind::Unknown;
        if (!error) {
            kind = fs::is_regular_file(status) ? EntryKind::File
                   : fs::is_directory(status)  ? EntryKind::Folder
                                               : EntryKind::Other;
        } else if (error == std::errc::no_such_file_or_directory ||
                   error == std::errc::not_a_directory) {
            // Nothing by that name, unless it is a link that leads nowhere.
            std::error_code linkError;
            (void)fs::symlink_status(pattern, linkError);
            if (linkError) return matches;
        }
        matches.push_back({pattern, namePattern.empty() ? pattern : namePattern, kind});
        return matches;
    }

    for (const Entry& entry : listing(folder)) {
        if (matchesPattern(namePattern, entry.name))
            matches.push_back({folder + entry.name, entry.name, entry.kind});
    }
    return matches;
}
