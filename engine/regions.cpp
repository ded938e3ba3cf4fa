#include "regions.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <utility>
#include <tuple>

#include "tag_table.h"

static_assert(std::tuple_size_v<decltype(EngineState::preCount)> == PRE_KIND_COUNT);

namespace {

enum HeadTagEffect {
    KEEP,
    ERASE,
    ERASE_UNLESS_IN_SCRIPT,
    ERASE_IF_REMOVING_META,
    ERASE_UNLESS_ATTRIBUTES,  // kept whole where it has attributes (lang, dir, class...)
};

struct HeadTag {
    std::string_view name;
    HeadTagEffect effect;
};

// Head tags, searched in this order; position p (from 1) takes part when p AND the mask is 0.
constexpr HeadTag kHeadTags[] = {
    {"META", ERASE_IF_REMOVING_META},
    {"BODY", KEEP},
    {"HTML", ERASE_UNLESS_ATTRIBUTES},
    {"/HTML", ERASE},
    {"HEAD", ERASE},
    {"/HEAD", ERASE},
    {"/SCRIPT", ERASE_UNLESS_IN_SCRIPT},
    {"!DOCTYPE", KEEP},  // stays in front, so the packed page keeps the original's mode
};

// Whether the META tag whose attributes follow `from` declares the page's character set
// (charset=, or http-equiv Content-Type). Reads up to the tag's end, quotes respected.
bool metaDeclaresCharset(const char* from) {
    std::string attributes;
    char quote = 0;
    for (const char* p = from; *p; ++p) {
        if (quote) {
            if (*p == quote) quote = 0;
        } else if (*p == '"' || *p == '\'') {
            quote = *p;
        } else if (*p == '>') {
            break;
        }
        attributes.push_back(toAsciiLower(*p));
    }
    if (attributes.find("charset") != std::string::npos) return true;
    return attributes.find("http-equiv") != std::string::npos &&
           attributes.find("content-type") != std::string::npos;
}

// Whether the tag whose name ends at `p` has attributes before its '>'. The page's language
// and direction stand on its HTML tag: they change how the text is drawn.
bool hasAttributes(const char* p) {
    while (isHtmlSpace(*p) || *p == '/') ++p;
    return *p != '>' && *p != 0;
}

}  // namespace

bool stylesKeepWhiteSpace(std::string_view page) {
    // Whether "white-space" (in a style), "whiteSpace" (in a script) or "white-space-collapse"
    // stands at `at` with a value that keeps white space.
    const auto keepsAt = [page](size_t at) {
        std::string_view rest = page.substr(at + 1);
        if (startsWithIgnoreCase(rest, "hite-space")) rest.remove_prefix(10);
        else if (startsWithIgnoreCase(rest, "hitespace")) rest.remove_prefix(9);
        else return false;
        if (startsWithIgnoreCase(rest, "-collapse")) rest.remove_prefix(9);
        size_t skip = 0;  // the ':' or '=' and blanks and quotes before the value
        while (skip < rest.size() && skip < 12 &&
               std::string_view(" \t\r\n:=\"'").find(rest[skip]) != std::string_view::npos) {
            ++skip;
        }
        if (skip == 0) return false;
        rest.remove_prefix(skip);
        return startsWithIgnoreCase(rest, "pre") || startsWithIgnoreCase(rest, "break-spaces");
    };
    // Each case of the first letter is looked for on its own: a fast search for one byte.
    for (const char first : {'w', 'W'}) {
        for (size_t at = page.find(first); at != std::string_view::npos;
             at = page.find(first, at + 1)) {
            if (keepsAt(at)) return true;
        }
    }
    return false;
}

namespace {

// The value of attribute `name` in the tag text `tag` (from its name to its '>'), or empty.
std::string_view attributeValue(std::string_view tag, std::string_view name) {
    for (size_t at = 0; (at = tag.find('=', at)) != std::string_view::npos; ++at) {
        size_t end = at;
        while (end > 0 && isHtmlSpace(tag[end - 1])) --end;
        if (end < name.size()) continue;
        const size_t start = end - name.size();
        if (!equalsIgnoreCase(tag.substr(start, name.size()), name) ||
            (start > 0 && !isHtmlSpace(tag[start - 1]))) {
            continue;
        }
        size_t from = at + 1;
        while (from < tag.size() && isHtmlSpace(tag[from])) ++from;
        if (from == tag.size()) return {};
        const char quote = tag[from];
        if (quote == '"' || quote == '\'') {
            const size_t close = tag.find(quote, from + 1);
            return tag.substr(from + 1, close == std::string_view::npos ? close : close - from - 1);
        }
        size_t close = from;
        while (close < tag.size() && !isHtmlSpace(tag[close]) &&
               tag[close] != '>') {
            ++close;
        }
        return tag.substr(from, close - from);
    }
    return {};
}

// The addresses of the style sheets `text` links to: LINK tags with rel=stylesheet, and
// @import rules ("@import url(a.css)", "@import 'a.css'").
std::vector<std::string> styleSheetAddresses(std::string_view text) {
    std::vector<std::string> addresses;
    for (size_t at = 0; (at = text.find('<', at)) != std::string_view::npos; ++at) {
        if (!startsWithIgnoreCase(text.substr(at + 1), "link")) continue;
        const size_t end = text.find('>', at);
        const std::string_view tag = text.substr(at + 5, end == std::string_view::npos
                                                             ? std::string_view::npos
                                                             : end - at - 5);
        std::string rel(attributeValue(tag, "rel"));
        for (char& c : rel) c = toAsciiLower(c);
        if (rel.find("stylesheet") != std::string::npos) {
            addresses.emplace_back(attributeValue(tag, "href"));
        }
    }
    for (size_t at = 0; (at = text.find("@import", at)) != std::string_view::npos; ++at) {
        std::string_view rest = text.substr(at + 7, 300);
        const size_t open = rest.find_first_of("'\"(");
        if (open == std::string_view::npos) continue;
        rest.remove_prefix(open + 1);
        while (!rest.empty() && (rest[0] == '"' || rest[0] == '\'' ||
                                 isHtmlSpace(rest[0]))) {
            rest.remove_prefix(1);
        }
        const size_t close = rest.find_first_of("'\")");
        if (close != std::string_view::npos) addresses.emplace_back(rest.substr(0, close));
    }
    return addresses;
}

// The file a relative address names from the folder of `base`; empty for an address with a
// scheme or host, or none.
std::filesystem::path localFileOf(std::string address, const std::filesystem::path& base) {
    address = address.substr(0, address.find_first_of("?#"));
    if (address.empty() || address.find(':') != std::string::npos || address.starts_with("//") ||
        address.starts_with("/")) {
        return {};
    }
    return base.parent_path() / address;
}

}  // namespace

std::vector<std::string> linkedStyleSheets(std::string_view page, const std::string& pageFile) {
    constexpr size_t kMostSheets = 16;
    constexpr std::uintmax_t kLargestSheet = 4 * 1024 * 1024;
    std::vector<std::string> sheets;
    std::vector<std::filesystem::path> read;
    // Each entry: an address, and the file it is relative to.
    std::vector<std::pair<std::string, std::filesystem::path>> waiting;
    for (std::string& address : styleSheetAddresses(page)) {
        waiting.emplace_back(address, pageFile);
    }
    while (!waiting.empty() && read.size() < kMostSheets) {
        const auto [address, base] = waiting.front();
        waiting.erase(waiting.begin());
        const std::filesystem::path file = localFileOf(address, base);
        std::error_code error;
        if (file.empty() || !std::filesystem::is_regular_file(file, error) ||
            std::filesystem::file_size(file, error) > kLargestSheet || error ||
            std::find(read.begin(), read.end(), file) != read.end()) {
            continue;
        }
        read.push_back(file);
        std::ifstream in(file, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (std::string& imported : styleSheetAddresses(text)) {
            waiting.emplace_back(imported, file);
        }
        sheets.push_back(std::move(text));
    }
    return sheets;
}

void keepEveryBlank(Engine& engine) {
    EngineState& s = engine.scan;
    s.preDepth = 1;  // no end tag closes it
    s.preformatted = true;
}

bool isHeadTagName(std::string_view upperName) {
    for (const HeadTag& tag : kHeadTags) {
        const std::string_view name = tag.name[0] == '/' ? tag.name.substr(1) : tag.name;
        if (upperName == name) return true;
    }
    return false;
}

int clearHeadTag(Engine& engine) {
    engine.scan.regions.specialTagOpen = false;
    return 0;
}

int checkPreformatted(Engine& engine, const std::string& token) {
    EngineState& s = engine.scan;
    if (!s.lastToken.opensTag || s.regions.inScript || token.empty()) return s.preformatted;
    const std::string& name = s.tagName;  // the scanner read it with the token
    const bool closing = !name.empty() && name[0] == '/';
    const int kind = preformattedKind(closing ? std::string_view(name).substr(1) : name);
    if (kind < 0) return s.preformatted;
    if (!closing) {
        ++s.preCount[kind];
        ++s.preDepth;
    } else if (s.preCount[kind] > 0) {
        --s.preCount[kind];
        --s.preDepth;
    }
    s.preformatted = s.preDepth > 0;
    return s.preformatted;
}

int openHeadTag(Engine& engine, std::string& token, int headState) {
    EngineState& s = engine.scan;
    if (!s.markup.inTag && !s.lastToken.inTag) return headState;
    if (s.lastToken.opensTag) {
        const std::string& name = s.tagName;
        int position = 0;
        // Every name in the table has four to eight characters and begins with one of these.
        const bool candidate = name.size() >= 4 && name.size() <= 8 &&
                               std::string_view("MBH/!").find(name[0]) != std::string_view::npos;
        for (const HeadTag& tag : kHeadTags) {
            if (!candidate) break;
            ++position;
            if (position & engine.options.regionTagMask) continue;
            if (name != tag.name) continue;
            headState = 1;
            s.regions.specialTagOpen = true;
            bool erase = tag.effect == ERASE;
            if (tag.effect == ERASE_UNLESS_IN_SCRIPT) erase = !s.regions.inScript;
            if (tag.effect == ERASE_UNLESS_ATTRIBUTES) {
                erase = !(s.markup.inTag && hasAttributes(s.tokenEnd));
            }
            if (tag.effect == ERASE_IF_REMOVING_META) {
                erase = engine.options.removeMeta && !metaDeclaresCharset(s.tokenEnd);
            }
            if (erase) {
                token.clear();
                s.regions.skipToTagEnd = true;  // the tag's attributes and '>' go with it
            }
            break;
        }
        if (!s.regions.specialTagOpen && (name == "TITLE" || name == "SCRIPT")) {
            headState = 1;
            s.regionName = name;
            if (name == "SCRIPT") s.regions.scriptPending = true;
        }
    }
    s.regions.inScript = s.regions.scriptPending;
    return headState;
}

int closeHeadTag(Engine& engine, const std::string& token, int headState) {
    EngineState& s = engine.scan;
    if (s.markup.inTag || s.lastToken.inTag) {
        if (s.lastToken.opensTag && !token.empty()) {
            const std::string& name = s.tagName;
            const bool closesRegion = s.regionName.empty()
                                          ? (!name.empty() && name[0] == '/')
                                          : name.size() == s.regionName.size() + 1 &&
                                                name[0] == '/' &&
                                                name.compare(1, std::string::npos,
                                                             s.regionName) == 0;
            // An erased token has no name left; its region, if any, stays open.
            if (closesRegion) {
                headState = 0;
                if (s.regionName == "SCRIPT") s.regions.scriptPending = false;
                // A region's end tag whose '>' comes in a later token ("</TITLE" LF ">")
                // stays in the head part up to that '>', as a head tag does.
                if (!s.regionName.empty() && s.markup.inTag) {
                    headState = 1;
                    s.regions.specialTagOpen = true;
                }
                s.regionName.clear();
            }
        }
        s.regions.inScript = s.regions.scriptPending;
        if (!s.markup.inTag && s.regions.specialTagOpen && !s.regions.scriptPending) {
            headState = 0;
            s.regions.specialTagOpen = false;
        }
    }
    if (s.regions.skipToTagEnd && s.lastToken.endedTag) s.regions.skipToTagEnd = false;
    return headState;
}
