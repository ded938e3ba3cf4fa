// Feeds arbitrary bytes to both packing methods and to packBest. A packed page that the packer
// accepts must carry literals that parse and a coded text that decodes; an engine kept from
// page to page must pack the page as a fresh one does; packBest must write the shorter result;
// nothing may crash or leak.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine.h"
#include "packed_decoder.h"
#include "packed_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    Engine engine;
    engine.console = nullptr;
    // The first byte picks the options, the rest is the page.
    const uint8_t choice = data[0];
    engine.options.removeMeta = choice & 1;
    engine.options.keepComments = (choice >> 1) & 1;
    engine.options.serverHeader = (choice >> 2) & 1;
    engine.options.codeCharLimit = (choice & 0x80) ? 60 + (choice & 0x3F) : 256;
    // The page up to its first zero byte, in a buffer of exactly that size, so that a read
    // past its end is caught.
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string page(bytes.c_str());

    std::string copy = page;
    const std::optional<PackedPage> packed = packJavaScript(engine, copy);
    if (packed) {
        PackedParts parts;
        if (!parsePackedPage(packed->text, parts)) std::abort();
        std::string decoded;
        if (!decodePacked(parts.t, parts.s, parts.c, parts.l, decoded)) std::abort();
    }
    // The same page by an engine kept from input to input, with the working memory of the
    // pages before, as a program converting many pages keeps it.
    static Engine kept;
    kept.console = nullptr;
    kept.options = engine.options;
    // With the dictionary's trace asked for (and sent nowhere), counting never stops at a
    // script after the body text: the writing pass must refuse such a page all the same.
    kept.options.debugDump = 1;
    kept.errors = nullptr;
    std::string keptCopy = page;
    if (packJavaScript(kept, keptCopy) != packed) std::abort();
    // With its own length as the ceiling packing gives the same page; one byte less, none.
    if (packed) {
        keptCopy = page;
        if (packJavaScript(kept, keptCopy, packed->text.size()) != packed) std::abort();
        keptCopy = page;
        if (packJavaScript(kept, keptCopy, packed->text.size() - 1)) std::abort();
    }

    std::string plainCopy = page;
    const std::string plain = compactPlain(engine, plainCopy);
    if (plain.size() > page.size() + 2) std::abort();  // plain compaction never grows a page

    // packBest with both methods writes the shorter of the two, the packed page on a tie.
    char* written = nullptr;
    size_t writtenSize = 0;
    engine.output = open_memstream(&written, &writtenSize);
    if (!engine.output) return 0;
    std::string bestCopy = page;
    const long length = packBest(engine, bestCopy, nullptr, static_cast<long>(page.size()) + 1,
                                 FLAG_PLAIN | FLAG_JAVASCRIPT);
    std::fclose(engine.output);
    const std::string best(written, writtenSize);
    std::free(written);
    const bool packedWins = packed && packed->text.size() <= plain.size();
    if (length != static_cast<long>(best.size())) std::abort();
    if (best != (packedWins ? packed->text : plain)) std::abort();
    return 0;
}
