#include "packed_literals.h"

#include "tag_table.h"

namespace {

// Whether a '<' in a script literal at `p` would let the HTML parser see markup.
bool opensMarkup(std::string_view rest) {
    if (rest.empty()) return false;
    switch (rest[0]) {  // most '<' begin a tag of another name
    case '!': return rest.substr(0, 3) == "!--";
    case 's':
    case 'S': return startsWithIgnoreCase(rest, "script");
    case '/': return startsWithIgnoreCase(rest, "/script");
    default: return false;
    }
}

}  // namespace

bool needsHiding(std::string_view raw) {
    for (size_t i = raw.find('<'); i != std::string_view::npos; i = raw.find('<', i + 1)) {
        if (opensMarkup(raw.substr(i + 1))) return true;
    }
    return false;
}

std::string hideMarkup(std::string raw) {
    std::string out;
    size_t copied = 0;
    for (size_t i = raw.find('<'); i != std::string::npos; i = raw.find('<', i + 1)) {
        const std::string_view rest(raw.data() + i + 1, raw.size() - i - 1);
        if (opensMarkup(rest)) {
            if (copied == 0) out.reserve(raw.size() + 64);
            out.append(raw, copied, i - copied);
            out += "\\x3C";
            copied = i + 1;
        }
    }
    if (copied == 0) return raw;  // nothing to hide
    out.append(raw, copied);
    return out;
}

LiteralByte literalByteAt(std::string_view raw, size_t i) {
    const unsigned char c = static_cast<unsigned char>(raw[i]);
    const std::string_view rest = raw.substr(i);
    if (!kLiteralSpecial[c]) return {1, c};
    if (c == '<') return opensMarkup(rest.substr(1)) ? LiteralByte{} : LiteralByte{1, '<'};
    if (rest.starts_with(kLiteralJoin)) return {kLiteralJoin.size(), -1};
    if (rest.starts_with("\\\\")) return {2, '\\'};
    if (rest.starts_with("\\n")) return {2, '\n'};
    if (rest.starts_with("\\r")) return {2, '\r'};
    if (rest.starts_with("\\x3C")) return {4, '<'};
    return {};
}

bool readLiterals(std::string_view raw, std::string& value) {
    value.reserve(value.size() + raw.size());
    size_t copied = 0;  // raw[copied, i) is plain text not yet appended
    for (size_t i = 0; i < raw.size();) {
        if (!kLiteralSpecial[static_cast<unsigned char>(raw[i])]) {
            ++i;
            continue;
        }
        value.append(raw.data() + copied, i - copied);
        const LiteralByte read = literalByteAt(raw, i);
        if (read.taken == 0) return false;
        if (read.value >= 0) value.push_back(static_cast<char>(read.value));
        i += read.taken;
        copied = i;
    }
    value.append(raw.data() + copied, raw.size() - copied);
    return true;
}
