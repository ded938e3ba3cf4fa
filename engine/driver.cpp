// The conversion driver: reading, choosing the method, writing, and the progress line.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "engine.h"
#include "regions.h"
#include "run_report.h"
#include "safe_files.h"
#include "tag_table.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Whether a block of `bytes` can be had from the allocator now. The engine is built without
// exceptions, so an allocation that fails ends the process: the page and the buffers of its
// conversion are asked for this way first, and a page too large for memory is refused.
bool memoryFor(size_t bytes) {
    void* volatile block = std::malloc(bytes);  // volatile: the probe is not left out
    const bool had = block != nullptr;
    std::free(block);
    return had;
}

// What converting a page of `size` bytes takes beyond the page, as measured on large pages:
// JavaScript packing's token list, texts and result come to about six times the page, plain
// compaction's result to about once; each with the page's size once more as a margin.
size_t workingMemory(size_t size, int flags) {
    const size_t perByte = (flags & FLAG_JAVASCRIPT) ? 7 : 2;
    return size > SIZE_MAX / perByte ? SIZE_MAX : size * perByte;
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
// Replaces `path` with `text` atomically: the text goes to a new file in the same folder,
// which takes the old one's place only once complete. A link named as the output is followed,
// so that the link stays and its target gets the page. The old file keeps its rights, owner
// and group, and a failure at any point leaves it as it was. A replaced file's new text is on
// disk before it takes the name; a file that did not exist is not flushed first: no old text
// can be lost with it, and the flush costs more than the conversion of a small page.
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
    if (exists && !S_ISREG(original.st_mode)) {
        errno = S_ISDIR(original.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    const int folder = openFolder(target.has_parent_path() ? target.parent_path().string() : ".");
    if (folder < 0) return false;
    ReplaceOptions options;
    options.original = exists ? &original : nullptr;
    options.durable = exists;
    std::string reason;
    const int failure =
        replaceAt(folder, target.filename().string(), std::string_view(text, length), options, reason);
    ::close(folder);
    errno = failure;
    return failure == 0;
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
    if (!inputName) return readPageFrom(engine, engine.input, bound);
    std::FILE* stream = std::fopen(inputName, "rb");
    if (!stream) {
        engine.lastPage = {PageOutcome::NotRead, std::strerror(errno)};
        return std::nullopt;
    }
    std::optional<std::string> page = readPageFrom(engine, stream, bound);
    std::fclose(stream);
    return page;
}

std::optional<std::string> readPageFrom(Engine& engine, std::FILE* stream, long& bound) {
    const auto fail = [&](PageOutcome outcome, std::string reason) {
        engine.lastPage = {outcome, std::move(reason)};
        return std::nullopt;
    };
    if (!stream) return fail(PageOutcome::NotRead, "no input");
    // One byte more than the bound is read, so that a longer page is told from one that
    // fills the bound exactly.
    const size_t limit = bound < 0 ? SIZE_MAX : static_cast<size_t>(bound) + 1;
    std::string page;
    int readError = 0;
#ifndef _WIN32
    // A regular file is read in one piece of its size (and one byte more, which shows its
    // end); other input in pieces that double.
    struct stat info {};
    if (::fstat(::fileno(stream), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        const size_t size = std::min(limit, static_cast<size_t>(info.st_size) + 1);
        if (!memoryFor(size)) return fail(PageOutcome::NoMemory, {});
        page.resize(size);
    }
#endif
    size_t taken = 0;
    while (taken < limit) {
        if (page.size() == taken) {
            const size_t size = std::min(limit, std::max<size_t>(taken * 2, 16384));
            if (!memoryFor(size)) return fail(PageOutcome::NoMemory, {});
            page.resize(size);
        }
        const size_t got = std::fread(page.data() + taken, 1, page.size() - taken, stream);
        taken += got;
        if (got == 0) {
            if (std::ferror(stream)) readError = errno ? errno : EIO;
            break;
        }
    }
    page.resize(taken);
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
    std::string reason;
    if (engine.pageWriter) {
        error = engine.pageWriter(std::string_view(text, static_cast<size_t>(length)), reason);
        ok = error == 0 && reason.empty();
    } else if (outputName) {
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
        if (reason.empty()) reason = error ? std::strerror(error) : "write failed";
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

// The sizes of a page and of what is written for it, as the options and a run report want
// them.
// `servedWritten` is the written text's served size when known already.
PageSizes sizesOf(const Engine& engine, std::string_view page, std::string_view written,
                  const char* method, std::optional<size_t> servedWritten = std::nullopt) {
    PageSizes sizes;
    sizes.method = method;
    sizes.input = page.size();
    sizes.output = written.size();
    sizes.servedInput = servedSize(page, engine.options.served);
    sizes.servedOutput = servedWritten ? *servedWritten : servedSize(written, engine.options.served);
    if (engine.report) {
        sizes.compressed = true;
        sizes.inputGzip = servedSize(page, Served::Gzip);
        sizes.outputGzip = servedSize(written, Served::Gzip);
        sizes.inputBrotli = servedSize(page, Served::Brotli);
        sizes.outputBrotli = servedSize(written, Served::Brotli);
    }
    return sizes;
}

// Pages of this size and more are packed before they are compacted plainly.
constexpr size_t kLargestPlainFirst = size_t{4} << 20;

long packChosen(Engine& engine, std::string& page, std::string* outputName, int flags) {
    progressDot(engine);
    const unsigned long size = page.size() + 1;  // the terminator counts, as it always has
    const Served served = engine.options.served;

    // With both methods and sizes as they stand, plain compaction goes first: packing then
    // stops as soon as its page is sure to be the longer. Sizes after compression are only
    // known at the end, so there packing goes first and plain compaction after it; so it does
    // for a large page, whose plain result would otherwise stand beside packing's working
    // memory.
    const bool both = (flags & FLAG_PLAIN) && (flags & FLAG_JAVASCRIPT);
    std::optional<std::string> plain;
    if (both && served == Served::Raw && page.size() < kLargestPlainFirst) {
        plain = compactPlain(engine, page);
    }
    std::optional<std::string> packed;
    if (flags & FLAG_JAVASCRIPT) {
        // Leaves the page as it is.
        if (std::optional<PackedPage> result =
                packJavaScript(engine, page, plain ? plain->size() : SIZE_MAX)) {
            packed = std::move(result->text);
        }
    }
    progressDot(engine);
    // A page that JavaScript packing cannot bring back intact is compacted plainly instead.
    if (!plain && ((flags & FLAG_PLAIN) || ((flags & FLAG_JAVASCRIPT) && !packed))) {
        plain = compactPlain(engine, page);
    }

    // Plain compaction is kept only when it is the smaller, by the size that travels.
    const std::string* chosen = nullptr;
    std::optional<size_t> servedChosen;
    if (plain && packed) {
        const size_t plainServed = servedSize(*plain, served);
        const size_t packedServed = servedSize(*packed, served);
        chosen = plainServed < packedServed ? &*plain : &*packed;
        servedChosen = std::min(plainServed, packedServed);
    } else if (plain) {
        chosen = &*plain;
    } else if (packed) {
        chosen = &*packed;
    }
    if (!chosen) {
        engine.lastPage = {PageOutcome::NoMethod, {}};
        return -1;
    }

    progressDot(engine);
    engine.lastPage = {};
    const long written = writePage(engine, outputName, *chosen);
    if (written > 0 || chosen->empty())
        engine.lastPage.sizes = sizesOf(engine, page, *chosen,
                                        plain && chosen == &*plain ? "plain" : "js", servedChosen);
    // A page that could not be written has its one line already: the error.
    if (engine.options.progressDots && engine.console && (written > 0 || chosen->empty())) {
        const char* name = outputName ? outputName->c_str() : "(null)";
        if (served == Served::Raw) {
            const long saving =
                static_cast<long>(100UL - static_cast<unsigned long>(written) * 100UL / size);
            std::fprintf(engine.console, " (%02ld%%) %s\n", saving, name);
        } else {
            const PageSizes& sizes = engine.lastPage.sizes;
            const long saving = sizes.servedInput == 0
                                    ? 0
                                    : static_cast<long>(100 - sizes.servedOutput * 100 / sizes.servedInput);
            std::fprintf(engine.console, " (%02ld%% after %s, %zu -> %zu bytes) %s\n", saving,
                         servedName(served), sizes.servedInput, sizes.servedOutput, name);
        }
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
    if (flags == 0) flags = FLAG_DEFAULT_SET;
    if (!memoryFor(workingMemory(page.size(), flags))) {
        engine.lastPage = {PageOutcome::NoMemory, {}};
        return -1;
    }
    return packChosen(engine, page, outputName, flags);
}

long convertFile(Engine& engine, const char* inputName, std::string* outputName, long bound,
                 int flags) {
    engine.lastPage = {};
    std::optional<std::string> page = readPage(engine, inputName, bound);
    if (!page) {
        reportPage(engine, inputName ? inputName : PIPED_INPUT_NAME,
                   outputName ? *outputName : PIPED_OUTPUT_NAME);
        return -1;
    }
    return convertPage(engine, *page, inputName, outputName, flags);
}

namespace {

long convertReadPage(Engine& engine, std::string& page, const char* inputName,
                     std::string* outputName, int flags) {
    const long bound = static_cast<long>(page.size());
    const int stripping = flags == 0 ? FLAG_DEFAULT_SET : flags;
    engine.options.removeMeta = (stripping & FLAG_NO_META) != 0;
    engine.options.keepComments = (stripping & FLAG_NO_COMMENTS) == 0;
    if (holdsZeroByte(page)) {
        // Text in UTF-16 or UTF-32, or binary data: the byte scanner would misread it. A pipe
        // passes it on unchanged, so that what follows still gets the page.
        if (!inputName && !outputName) {
            const bool copied = writePage(engine, nullptr, page) > 0 || page.empty();
            engine.lastPage = {PageOutcome::HoldsZeroBytes, {}, copied};
        } else {
            engine.lastPage = {PageOutcome::HoldsZeroBytes, {}};
        }
        return -1;
    }
    if (startsWithMarker(page)) {
        const long written = writePage(engine, outputName, page);
        if (written == 0 && !page.empty()) return -1;
        engine.lastPage = {PageOutcome::AlreadyPacked, {}};
        engine.lastPage.sizes = sizesOf(engine, page, page, "copied");
        if (engine.options.progressDots && engine.console) {
            std::fprintf(engine.console, " (already packed, copied unchanged) %s\n",
                         outputName ? outputName->c_str() : "(null)");
        }
        return written;
    }
    // Style sheets the page links to that keep white space somewhere keep every blank of it.
    if (inputName) {
        for (const std::string& sheet : linkedStyleSheets(page, inputName)) {
            if (stylesKeepWhiteSpace(sheet)) engine.options.keepBlanks = 1;
        }
    }
    const long result = packBest(engine, page, outputName, bound, flags);
    engine.options.keepBlanks = 0;  // for this page only
    return result;
}

}  // namespace

long convertPage(Engine& engine, std::string& page, const char* inputName,
                 std::string* outputName, int flags) {
    engine.lastPage = {};
    const long result = convertReadPage(engine, page, inputName, outputName, flags);
    if (engine.lastPage.outcome != PageOutcome::Converted &&
        engine.lastPage.outcome != PageOutcome::AlreadyPacked)
        engine.lastPage.sizes.input = page.size();
    reportPage(engine, inputName ? inputName : PIPED_INPUT_NAME,
               outputName ? *outputName : PIPED_OUTPUT_NAME);
    return result;
}
