#include "run_report.h"

#include "engine.h"

#include <cstdio>

namespace {

// The length of the UTF-8 sequence at text[i], or 0 when none begins there.
size_t utf8Length(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (lead >= 0xF8 || i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    }
    // No overlong forms, surrogates or code points beyond U+10FFFF.
    if (length == 3 && ((lead == 0xE0 && byte(i + 1) < 0xA0) || (lead == 0xED && byte(i + 1) >= 0xA0)))
        return 0;
    if (length == 4 && ((lead == 0xF0 && byte(i + 1) < 0x90) || (lead == 0xF4 && byte(i + 1) >= 0x90)))
        return 0;
    return length;
}

std::string number(size_t value, bool known) { return known ? std::to_string(value) : "null"; }

}  // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        char escape[8];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else if (c >= 0x80) {
            const size_t length = utf8Length(text, i);
            if (length > 0) {
                out.append(text, i, length);
                i += length;
                continue;
            }
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    return out + "\"";
}

void reportPage(Engine& engine, std::string_view input, std::string_view output,
                std::string_view failure) {
    if (!engine.report) return;
    const PageReport& page = engine.lastPage;
    const PageSizes& sizes = page.sizes;
    const bool done = failure.empty() && (page.outcome == PageOutcome::Converted ||
                                          page.outcome == PageOutcome::AlreadyPacked);
    const bool written = done && *sizes.method != '\0';
    const std::string reason = done ? std::string() : failure.empty() ? describeFailure(page)
                                                                      : std::string(failure);
    std::string line = "{\"input\":" + jsonString(input);
    line += ",\"output\":" + (written ? jsonString(output) : "null");
    line += ",\"method\":" + (written ? jsonString(sizes.method) : "null");
    line += ",\"input_bytes\":" + number(sizes.input, failure.empty() && sizes.input > 0);
    line += ",\"output_bytes\":" + number(sizes.output, written);
    line += ",\"input_gzip\":" + number(sizes.inputGzip, written && sizes.compressed);
    line += ",\"output_gzip\":" + number(sizes.outputGzip, written && sizes.compressed);
    line += ",\"input_br\":" + number(sizes.inputBrotli, written && sizes.compressed);
    line += ",\"output_br\":" + number(sizes.outputBrotli, written && sizes.compressed);
    line += ",\"status\":";
    line += !done ? "\"failed\"" : page.outcome == PageOutcome::AlreadyPacked ? "\"copied\"" : "\"converted\"";
    line += ",\"reason\":" + (done ? std::string("null") : jsonString(reason));
    line += "}\n";
    std::fwrite(line.data(), 1, line.size(), engine.report);
}
