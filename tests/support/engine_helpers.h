// Small helpers the engine tests share: running a method on a text, reading and writing files.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine.h"
#include "regions.h"
#include "tokenizer.h"

// An engine that prints nothing.
inline Engine quietEngine() {
    Engine engine;
    engine.console = nullptr;
    return engine;
}

inline std::string compactText(Engine& engine, std::string page) {
    return compactPlain(engine, page);
}

inline std::string compactText(std::string page) {
    Engine engine = quietEngine();
    return compactPlain(engine, page);
}

inline std::optional<std::string> packText(Engine& engine, std::string page) {
    std::optional<PackedPage> packed = packJavaScript(engine, page);
    if (!packed) return std::nullopt;
    return std::move(packed->text);
}

// The token stream of a page, joined by '|', read in the writing pass's order of region
// operations; `keepCase` as plain compaction reads it.
inline std::string tokenStream(Engine& engine, std::string page, bool keepCase) {
    resetPageState(engine);
    engine.scan.keepCase = keepCase;
    int head = clearHeadTag(engine);
    char* cursor = page.data();
    std::string joined;
    bool first = true;
    while (cursor) {
        std::string& token = nextToken(engine, cursor);
        if (!cursor) break;
        cursor += token.size();
        engine.scan.preformatted = checkPreformatted(engine, token);
        if (!first) joined += '|';
        joined += token;
        first = false;
        head = openHeadTag(engine, token, head);
        head = closeHeadTag(engine, token, head);
    }
    return joined;
}

inline std::string readFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeFileBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// A temporary folder removed at the end of the test.
class ScratchFolder {
public:
    ScratchFolder() {
        static int serial = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("quillbox-test-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};
