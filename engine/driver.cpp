// The conversion driver: reading, choosing the method, writing, and the progress line.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <cstdint>
#include <new>
#include <filesystem>
#include <future>
#include <random>
#include <string>
#include <system_error>

#include "engine.h"
#include "packed_writer.h"
#include "regions.h"
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

// Whether the page begins with the packed-page marker, after a byte-order mark if any.
bool startsWithMarker(std::string_view page) {
    if (page.starts_with(UTF8_BYTE_ORDER_MARK)) page.remove_prefix(UTF8_BYTE_ORDER_MARK.size());
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
// its permissions; a failure at any point leaves it as it was. A file that did not exist
// before is not flushed to the disk first: no old text can be lost with it, and the flush
// costs more than the conversion of a small page.
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
    if (ok && exists) ok = ::fsync(fd) == 0;
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
    std::fflush(stdout);  // what came before stays before the message
    std::fprintf(stderr, "\nError : %s", message);
    std::fflush(stderr);
    std::exit(-1);
}

std::string describeFailure(const PageReport& report) {
    const auto withReason = [&](std::string text) {
        if (!report.reason.empty()) text += ": " + report.reason;
        return text;
    };
    switch (report.outcome) {
    case PageOutcome::Converted:
    case PageOutcome::AlreadyPacked: return {};
    case PageOutcome::NotRead: return withReason("cannot be read");
    case PageOutcome::TooLong: return withReason("is longer than the limit");
    case PageOutcome::HoldsZeroBytes:
        return "holds zero bytes (UTF-16 or UTF-32 text, or binary data)";
    case PageOutcome::NoMemory: return "cannot be held in memory";
    case PageOutcome::NoMethod: return "no packing method was chosen";
    case PageOutcome::NotWritten: return withReason("cannot be written");
    }
    return {};
}

std::optional<std::string> readPage(Engine& engine, const char* inputName, long& bound) {
    const auto fail = [&](PageOutcome outcome, std::string reason) {
        engine.lastPage = {outcome, std::move(reason)};
        return std::nullopt;
    };
    std::FILE* stream = engine.input;
    if (inputName) {
        stream = std::fopen(inputName, "rb");
        if (!stream) return fail(PageOutcome::NotRead, std::strerror(errno));
    }
    if (!stream) return fail(PageOutcome::NotRead, "no input");
    engine.histogram.fill(0);
    // One byte more than the bound is read, so that a longer page is told from one that
    // fills the bound exactly.
    const size_t limit = bound < 0 ? SIZE_MAX : static_cast<size_t>(bound) + 1;
    std::string page;
    int readError = 0;
    bool noMemory = false;
    try {
#ifndef _WIN32
        // A regular file is read in one piece of its size (and one byte more, which shows
        // its end); other input in pieces that double.
        struct stat info {};
        if (::fstat(::fileno(stream), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
            page.resize(std::min(limit, static_cast<size_t>(info.st_size) + 1));
        }
#endif
        size_t taken = 0;
        while (taken < limit) {
            if (page.size() == taken) {
                page.resize(std::min(limit, std::max<size_t>(taken * 2, 16384)));
            }
            const size_t got = std::fread(page.data() + taken, 1, page.size() - taken, stream);
            taken += got;
            if (got == 0) {
                if (std::ferror(stream)) readError = errno ? errno : EIO;
                break;
            }
        }
        page.resize(taken);
    } catch (const std::bad_alloc&) {
        noMemory = true;
    }
    if (inputName) std::fclose(stream);
    if (noMemory) return fail(PageOutcome::NoMemory, {});
    if (readError) return fail(PageOutcome::NotRead, std::strerror(readError));
    if (bound >= 0 && page.size() > static_cast<size_t>(bound)) {
        return fail(PageOutcome::TooLong, "more than " + std::to_string(bound) + " bytes");
    }
    bound = static_cast<long>(page.size());
    return page;
}

long writePageBytes(Engine& engine, std::string* outputName, const char* text, long length) {
    bool ok;
    int error = 0;
    if (outputName) {
        for (char& c : *outputName) {
            if (c == '?') c = '_';
        }
        errno = 0;
        ok = replaceFile(*outputName, text, static_cast<size_t>(length));
        error = errno;
    } else {
        errno = 0;
        ok = std::fwrite(text, 1, static_cast<size_t>(length), engine.output) ==
                 static_cast<size_t>(length) &&
             std::fflush(engine.output) == 0;
        error = errno;
    }
    if (!ok) {
        const std::string reason = error ? std::strerror(error) : "write failed";
        engine.lastPage = {PageOutcome::NotWritten, reason};
        if (engine.errors) {
            std::fprintf(engine.errors, "Error writing file %s: %s\n",
                         outputName ? outputName->c_str() : "(standard output)", reason.c_str());
            std::fflush(engine.errors);
        }
        return 0;
    }
    return length;
}

long writePage(Engine& engine, std::string* outputName, const std::string& text) {
    return writePageBytes(engine, outputName, text.data(), static_cast<long>(text.size()));
}

namespace {

long packBestOrThrow(Engine& engine, std::string& page, std::string* outputName, int flags) {
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
    if (!chosen) {
        engine.lastPage = {PageOutcome::NoMethod, {}};
        return -1;
    }

    progressDot(engine);
    engine.lastPage = {};
    const long written = writePage(engine, outputName, *chosen);
    // A page that could not be written has its one line already: the error.
    if (engine.options.progressDots && engine.console && (written > 0 || chosen->empty())) {
        const long saving =
            static_cast<long>(100UL - static_cast<unsigned long>(written) * 100UL / size);
        std::fprintf(engine.console, " (%02ld%%) %s\n", saving,
                     outputName ? outputName->c_str() : "(null)");
    }
    return written;
}

bool holdsZeroByte(const std::string& page) {
    return std::memchr(page.data(), 0, page.size()) != nullptr;
}

}  // namespace

long packBest(Engine& engine, std::string& page, std::string* outputName, long length,
              int flags) {
    (void)length;  // the page's own length counts
    if (holdsZeroByte(page)) {
        engine.lastPage = {PageOutcome::HoldsZeroBytes, {}};
        return -1;
    }
    try {
        return packBestOrThrow(engine, page, outputName, flags);
    } catch (const std::bad_alloc&) {
        engine.lastPage = {PageOutcome::NoMemory, {}};
        return -1;
    }
}

long convertFile(Engine& engine, const char* inputName, std::string* outputName, long bound,
                 int flags) {
    engine.lastPage = {};
    std::optional<std::string> page = readPage(engine, inputName, bound);
    if (!page) return -1;
    const int stripping = flags == 0 ? FLAG_DEFAULT_SET : flags;
    engine.options.removeMeta = (stripping & FLAG_NO_META) != 0;
    engine.options.keepComments = (stripping & FLAG_NO_COMMENTS) == 0;
    if (holdsZeroByte(*page)) {
        // Text in UTF-16 or UTF-32, or binary data: the byte scanner would misread it. A pipe
        // passes it on unchanged, so that what follows still gets the page.
        if (!inputName && !outputName) {
            const bool copied = writePage(engine, nullptr, *page) > 0 || page->empty();
            engine.lastPage = {PageOutcome::HoldsZeroBytes, {}, copied};
        } else {
            engine.lastPage = {PageOutcome::HoldsZeroBytes, {}};
        }
        return -1;
    }
    if (startsWithMarker(*page)) {
        const long written = writePage(engine, outputName, *page);
        if (written == 0 && !page->empty()) return -1;
        engine.lastPage = {PageOutcome::AlreadyPacked, {}};
        if (engine.options.progressDots && engine.console) {
            std::fprintf(engine.console, " (already packed, copied unchanged) %s\n",
                         outputName ? outputName->c_str() : "(null)");
        }
        return written;
    }
    // Style sheets the page links to that keep white space somewhere keep every blank of it.
    if (inputName) {
        for (const std::string& sheet : linkedStyleSheets(*page, inputName)) {
            if (stylesKeepWhiteSpace(sheet)) engine.options.keepBlanks = 1;
        }
    }
    const long result = packBest(engine, *page, outputName, bound, flags);
    engine.options.keepBlanks = 0;  // for this page only
    return result;
}
