// The conversion driver: reading, choosing the method, writing, and the progress line.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <random>
#include <string>
#include <system_error>

#include "engine.h"
#include "packed_writer.h"
#include "tag_table.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// From this size on, plain compaction runs beside JavaScript packing on a thread of its own;
// below it, starting the thread would cost more than it saves.
constexpr size_t kSideBySideSize = 16384;

// Plain compaction of `page` on an engine of its own, started beside the caller's work.
// Invalid when no thread could be started.
std::future<std::string> startPlainCompaction(const EngineOptions& options,
                                              const std::string& page) {
    try {
        return std::async(std::launch::async, [options, &page] {
            Engine side;
            side.options = options;
            side.console = nullptr;
            std::string text = page;  // the method takes a page of its own
            return compactPlain(side, text);
        });
    } catch (const std::system_error&) {
        return {};
    }
}

void say(Engine& engine, const char* text) {
    if (engine.console) std::fputs(text, engine.console);
}

void progressDot(Engine& engine) {
    if (engine.options.progressDots) say(engine, ".");
}

bool startsWithMarker(const std::string& page) {
    return startsWithIgnoreCase(page, PACKED_MARKER);
}

#ifndef _WIN32
// Writes all of `text` to the descriptor; false on any short or failed write.
bool writeAll(int fd, const char* text, size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(fd, text, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        text += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

// Replaces `path` with `text` atomically: the text goes to a new file in the same folder,
// which is renamed over the old one only once it is completely on disk. The old file keeps
// its permissions; a failure at any point leaves it as it was.
bool replaceFile(const std::string& path, const char* text, size_t length) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path target(path);
    if (fs::is_symlink(target, error)) {
        const fs::path resolved = fs::canonical(target, error);
        if (!error) target = resolved;
    }
    struct stat original {};
    const bool exists = ::stat(target.c_str(), &original) == 0;
    if (exists && !S_ISREG(original.st_mode)) return false;

    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    static std::mt19937 random{std::random_device{}()};
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = (folder / ("." + target.filename().string() + ".qbx" +
                               std::to_string(::getpid()) + "-" + std::to_string(random() % 1000000)))
                        .string();
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    bool ok = writeAll(fd, text, length);
    if (ok && exists) ok = ::fchmod(fd, original.st_mode & 07777) == 0;
    if (ok) ok = ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (ok) ok = ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temporary.c_str());
    return ok;
}
#else
bool replaceFile(const std::string& path, const char* text, size_t length) {
    namespace fs = std::filesystem;
    const std::string temporary = path + ".qbxtmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(text, 1, length, file) == length;
    if (std::fclose(file) != 0) ok = false;
    std::error_code error;
    if (ok) fs::rename(temporary, path, error);
    if (!ok || error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}
#endif

}  // namespace

void setOutputChunk(Engine& engine, int count) { engine.options.outputChunk = count; }

void setCodeCharLimit(Engine& engine, int count) { engine.options.codeCharLimit = count; }

void fatalError(const char* message) {
    std::printf("\nError : %s", message);
    std::fflush(stdout);
    std::exit(-1);
}

std::optional<std::string> readPage(Engine& engine, const char* inputName, long& bound) {
    std::FILE* stream = engine.input;
    if (inputName) {
        stream = std::fopen(inputName, "rb");
        if (!stream) return std::nullopt;
    }
    engine.histogram.fill(0);
    std::string page;
    if (bound > 0) page.resize(static_cast<size_t>(bound));
    size_t taken = 0;
    if (stream) {
        while (taken < page.size()) {
            const size_t got = std::fread(page.data() + taken, 1, page.size() - taken, stream);
            if (got == 0) break;
            taken += got;
        }
    }
    page.resize(taken);
    page.resize(std::strlen(page.c_str()));  // the page ends at its first zero byte
    bound = static_cast<long>(page.size());
    if (inputName) std::fclose(stream);
    return page;
}

long writePageBytes(Engine& engine, std::string* outputName, const char* text, long length) {
    bool ok;
    if (outputName) {
        for (char& c : *outputName) {
            if (c == '?') c = '_';
        }
        ok = replaceFile(*outputName, text, static_cast<size_t>(length));
    } else {
        ok = std::fwrite(text, 1, static_cast<size_t>(length), engine.output) ==
                 static_cast<size_t>(length) &&
             std::fflush(engine.output) == 0;
    }
    if (!ok) {
        say(engine, "Error writing file\n");
        return 0;
    }
    return length;
}

long writePage(Engine& engine, std::string* outputName, const std::string& text) {
    return writePageBytes(engine, outputName, text.data(), static_cast<long>(text.size()));
}

long packBest(Engine& engine, std::string& page, std::string* outputName, long length,
              int flags) {
    (void)length;  // the page's own length counts
    page.resize(std::strlen(page.c_str()));
    progressDot(engine);
    const unsigned long size = page.size() + 1;  // the terminator counts, as it always has
    if (flags == 0) flags = FLAG_DEFAULT_SET;

    // On a page of 16 KB up to the size that JavaScript packing splits between two threads,
    // plain compaction runs beside it on a thread of its own. Otherwise it follows, and only
    // where it could be the shorter: the packed page may already be no longer than the body
    // text that plain compaction keeps.
    const bool both = (flags & FLAG_PLAIN) && (flags & FLAG_JAVASCRIPT);
    std::future<std::string> sidePlain;
    if (both && page.size() >= kSideBySideSize && !packsSideBySide(engine, page.size())) {
        sidePlain = startPlainCompaction(engine.options, page);
    }
    std::optional<std::string> packed;
    if (flags & FLAG_JAVASCRIPT) packed = packJavaScript(engine, page);  // leaves the page as it is
    progressDot(engine);
    // A page that JavaScript packing cannot bring back intact is compacted plainly instead.
    std::optional<std::string> plain;
    if (sidePlain.valid()) {
        plain = sidePlain.get();
    } else if (packed && both && packed->size() <= lastPlainFloor(engine)) {
        // Plain compaction cannot be shorter.
    } else if ((flags & FLAG_PLAIN) || ((flags & FLAG_JAVASCRIPT) && !packed)) {
        plain = compactPlain(engine, page);
    }

    const std::string* chosen = nullptr;
    if (plain && (!packed || plain->size() < packed->size())) chosen = &*plain;
    else if (packed) chosen = &*packed;
    if (!chosen) return -1;

    progressDot(engine);
    const long written = writePage(engine, outputName, *chosen);
    if (engine.options.progressDots && engine.console) {
        const long saving =
            static_cast<long>(100UL - static_cast<unsigned long>(written) * 100UL / size);
        std::fprintf(engine.console, " (%02ld%%) %s\n", saving,
                     outputName ? outputName->c_str() : "(null)");
    }
    return written;
}

long convertFile(Engine& engine, const char* inputName, std::string* outputName, long bound,
                 int flags) {
    if (bound > MAX_PAGE_BOUND) return -1;
    std::optional<std::string> page = readPage(engine, inputName, bound);
    if (!page) return -1;
    const int stripping = flags == 0 ? FLAG_DEFAULT_SET : flags;
    engine.options.removeMeta = (stripping & FLAG_NO_META) != 0;
    engine.options.keepComments = (stripping & FLAG_NO_COMMENTS) == 0;
    if (startsWithMarker(*page)) {
        const long written = writePage(engine, outputName, *page);
        return written == 0 && !page->empty() ? -1 : written;
    }
    return packBest(engine, *page, outputName, bound, flags);
}
