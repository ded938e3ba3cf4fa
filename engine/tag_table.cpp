#include "tag_table.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <string>

namespace {

// A tag name of at most ten letters and digits as a number, six bits a character, so that
// names compare as integers; 0 for anything else.
constexpr uint64_t nameKey(std::string_view upperName) {
    if (upperName.empty() || upperName.size() > 10) return 0;
    uint64_t key = 0;
    for (const char c : upperName) {
        uint64_t code;
        if (c >= 'A' && c <= 'Z') code = static_cast<uint64_t>(c - 'A' + 1);
        else if (c >= '0' && c <= '9') code = static_cast<uint64_t>(c - '0' + 27);
        else return 0;
        key = key * 64 + code;
    }
    return key;
}

// Tags before which a blank never shows, whatever a style sheet makes of the elements: the
// page's frame (white space around it is dropped by the parser or stands between blocks that
// no style makes inline), the inner parts of tables and lists of options (white space between
// them is dropped by table layout, or not shown), a line break (a blank before it ends a line
// and is not shown) and frames. Other block elements may be shown inline by a style sheet,
// and elements that show nothing (SCRIPT, STYLE, META...) let the blanks around them meet, so
// a blank before them stays.
constexpr std::string_view kWhitespaceInsensitiveTags[] = {
    "BODY",  "BR",    "CAPTION", "COL",   "COLGROUP", "FRAME", "FRAMESET", "HEAD",
    "HTML",  "OPTGROUP", "OPTION", "TBODY", "TD",      "TFOOT", "TH",       "THEAD",
    "TR",
};

// Their keys, sorted for the binary search.
constexpr auto kWhitespaceInsensitiveKeys = [] {
    std::array<uint64_t, std::size(kWhitespaceInsensitiveTags)> keys{};
    for (size_t i = 0; i < keys.size(); ++i) keys[i] = nameKey(kWhitespaceInsensitiveTags[i]);
    std::sort(keys.begin(), keys.end());
    return keys;
}();

bool isNameChar(unsigned char c) {
    return isAsciiAlpha(c) || (c >= '0' && c <= '9') || c == '-' || c == ':' || c == '_';
}

}  // namespace


bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && startsWithIgnoreCase(a, b);
}

bool startsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (toAsciiUpper(text[i]) != toAsciiUpper(prefix[i])) return false;
    }
    return true;
}

int preformattedKind(std::string_view upperName) {
    if (upperName == "PRE") return PRE_KIND;
    if (upperName == "LISTING") return LISTING_KIND;
    if (upperName == "TT") return TT_KIND;
    if (upperName == "TEXTAREA") return TEXTAREA_KIND;
    if (upperName == "XMP") return XMP_KIND;
    if (upperName == "PLAINTEXT") return PLAINTEXT_KIND;
    return -1;
}

bool isRawTextTag(std::string_view upperName) {
    // As browsers read them with scripts on: NOSCRIPT's content is then raw text too.
    return upperName == "SCRIPT" || upperName == "STYLE" || upperName == "TEXTAREA" ||
           upperName == "TITLE" || upperName == "XMP" || upperName == "IFRAME" ||
           upperName == "NOEMBED" || upperName == "NOFRAMES" || upperName == "NOSCRIPT" ||
           upperName == "PLAINTEXT";
}

bool hasRegionStep(std::string_view upperName) {
    // Head tags, raw-text and preformatted elements, by length first.
    const std::string_view n = upperName;
    switch (n.size()) {
    case 2: return n == "TT";
    case 3: return n == "PRE" || n == "XMP";
    case 4: return n == "BODY" || n == "HEAD" || n == "HTML" || n == "META";
    case 5: return n == "STYLE" || n == "TITLE";
    case 6: return n == "SCRIPT" || n == "IFRAME";
    case 7: return n == "LISTING" || n == "NOEMBED";
    case 8: return n == "TEXTAREA" || n == "NOFRAMES" || n == "NOSCRIPT";
    case 9: return n == "PLAINTEXT";
    default: return false;
    }
}

bool removedCommentPartsText(char before, const char* after) {
    if (before == 0 || before == '>') return false;
    while (isHtmlSpace(*after)) ++after;
    return *after != 0 && *after != '<';
}

bool isWhitespaceInsensitiveTagAt(const char* p) {
    if (p[0] != '<') return false;
    const char* name = p + 1;
    if (*name == '!') {
        // Compared byte by byte, so the terminating zero stops the comparison.
        constexpr std::string_view doctype = "!DOCTYPE";
        for (size_t i = 0; i < doctype.size(); ++i) {
            if (toAsciiUpper(name[i]) != doctype[i]) return false;
        }
        return true;
    }
    if (*name == '/') ++name;
    char upper[11];
    size_t n = 0;
    while (isNameChar(static_cast<unsigned char>(name[n]))) {
        if (n == sizeof upper) return false;  // longer than any name in the table
        upper[n] = toAsciiUpper(name[n]);
        ++n;
    }
    if (n == 0) return false;
    const unsigned char after = static_cast<unsigned char>(name[n]);
    if (!(after == 0 || after == '>' || after == '/' || isHtmlSpace(after))) return false;
    const uint64_t key = nameKey(std::string_view(upper, n));
    return key != 0 && std::binary_search(kWhitespaceInsensitiveKeys.begin(),
                                          kWhitespaceInsensitiveKeys.end(), key);
}
