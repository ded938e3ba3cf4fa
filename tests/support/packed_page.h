// Reads a packed page back into its parts: the head text and the values of t, s and c.
#pragma once

#include <string>
#include <cstdlib>
#include <string_view>

struct PackedParts {
    std::string header;    // everything before the packer's script element
    std::string t, s, c;   // string values, as JavaScript reads the literals
    int l = 0;             // the code count passed to the decoder
};

// The value of a double-quoted script literal's body, with our escapes read.
inline bool unescapeLiteral(std::string_view raw, std::string& value) {
    value.clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            value.push_back(raw[i]);
            continue;
        }
        if (i + 1 >= raw.size()) return false;
        const char next = raw[++i];
        if (next == '\\') value.push_back('\\');
        else if (next == 'n') value.push_back('\n');
        else if (next == 'r') value.push_back('\r');
        else if (raw.substr(i, 3) == "x3C") { value.push_back('<'); i += 2; }
        else return false;
    }
    return true;
}

inline bool parsePackedPage(std::string_view page, PackedParts& parts) {
    constexpr std::string_view open = "<SCRIPT LANGUAGE=\"JavaScript\">\nt=\"";
    const size_t start = page.rfind(open);
    if (start == std::string_view::npos) return false;
    parts.header = std::string(page.substr(0, start));
    size_t at = start + open.size();
    const size_t tEnd = page.find("\";\ns=\"u~u~\"+'\"'+\"", at);
    if (tEnd == std::string_view::npos) return false;
    if (!unescapeLiteral(page.substr(at, tEnd - at), parts.t)) return false;
    at = tEnd + std::string_view("\";\ns=\"u~u~\"+'\"'+\"").size();
    const size_t sEnd = page.find("\";\nc=\"", at);
    if (sEnd == std::string_view::npos) return false;
    std::string words;
    if (!unescapeLiteral(page.substr(at, sEnd - at), words)) return false;
    parts.s = "u~u~\"" + words;
    at = sEnd + std::string_view("\";\nc=\"").size();
    const size_t cEnd = page.find("\";\nfunction a(n)", at);
    if (cEnd == std::string_view::npos) return false;
    // The coded text may be broken into several literals joined by "+ and a line end.
    std::string raw(page.substr(at, cEnd - at));
    std::string joined;
    for (size_t piece = 0;;) {
        const size_t join = raw.find("\"+\n\"", piece);
        joined += raw.substr(piece, join == std::string::npos ? std::string::npos : join - piece);
        if (join == std::string::npos) break;
        piece = join + 4;
    }
    if (!unescapeLiteral(joined, parts.c)) return false;
    const size_t call = page.find("}\nd(s,c,t,", cEnd);
    if (call == std::string_view::npos) return false;
    parts.l = std::atoi(std::string(page.substr(call + 10, 8)).c_str());
    return true;
}
