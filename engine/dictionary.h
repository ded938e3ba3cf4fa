// The word dictionary of JavaScript packing: repeated words, their ranking and their codes.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

// Words of the page being packed, with how often each was seen after its first occurrence.
struct Dictionary {
    std::vector<std::string> words;  // in first-seen order until ranked
    std::vector<int> counts;         // parallel to words
    int count = 0;                   // words in use (lowered by the trim)
    std::unordered_map<std::string, int> index;  // word -> slot, for offering and lookup
};
