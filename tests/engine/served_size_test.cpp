// Compressed sizes: what gzip and brotli give decompresses to the text, the names, packBest's
// choice by the size a server sends, and the run report's JSON strings.
#include "engine.h"
#include "run_report.h"
#include "served_size.h"

#include <brotli/decode.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace {

std::string gunzip(const std::string& packed, size_t size) {
    std::string out(size + 1, '\0');
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 16) != Z_OK) return "(no inflate)";
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    stream.avail_in = static_cast<uInt>(packed.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = inflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    inflateEnd(&stream);
    return status == Z_STREAM_END && stream.avail_in == 0 ? out : "(damaged)";
}

std::string unbrotli(const std::string& packed, size_t size) {
    std::string out(size + 1, '\0');
    size_t length = out.size();
    if (BrotliDecoderDecompress(packed.size(), reinterpret_cast<const uint8_t*>(packed.data()),
                                &length, reinterpret_cast<uint8_t*>(out.data())) !=
        BROTLI_DECODER_RESULT_SUCCESS)
        return "(damaged)";
    out.resize(length);
    return out;
}

TEST(ServedSize, CompressedFormsGiveTheTextBack) {
    std::mt19937 random(7);
    std::string noise(100000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    std::string page = "<html><body>";
    for (int i = 0; i < 3000; ++i) page += "<p>The lock keeper opened the gate " + std::to_string(i) + "</p>\n";
    for (const std::string& text : {std::string(), std::string("a"), page, noise}) {
        const std::string gzip = gzipBytes(text);
        const std::string brotli = brotliBytes(text);
        EXPECT_EQ(gunzip(gzip, text.size()), text);
        EXPECT_EQ(unbrotli(brotli, text.size()), text);
        EXPECT_EQ(servedSize(text, Served::Gzip), gzip.size());
        EXPECT_EQ(servedSize(text, Served::Brotli), brotli.size());
        EXPECT_EQ(servedSize(text, Served::Raw), text.size());
    }
    // Repeated markup shrinks to a small part, whereas noise cannot.
    EXPECT_LT(servedSize(page, Served::Gzip) * 5, page.size());
    EXPECT_LT(servedSize(page, Served::Brotli), servedSize(page, Served::Gzip));
    EXPECT_GT(servedSize(noise, Served::Gzip), noise.size());
}

TEST(ServedSize, Names) {
    for (const Served served : {Served::Raw, Served::Gzip, Served::Brotli})
        EXPECT_EQ(parseServed(servedName(served)), served);
    for (const char* wrong : {"", "GZIP", "brotli", "gz", "raw "}) EXPECT_FALSE(parseServed(wrong)) << wrong;
}

// The page packBest writes for `page` with both methods, the engine choosing by `served`.
std::string packedAsServed(std::string page, Served served, std::string& method) {
    Engine engine;
    engine.console = nullptr;
    engine.options.served = served;
    char* text = nullptr;
    size_t length = 0;
    engine.output = open_memstream(&text, &length);
    convertPage(engine, page, nullptr, nullptr, 0);
    std::fclose(engine.output);
    std::string written(text ? text : "", length);
    std::free(text);
    method = engine.lastPage.sizes.method;
    return written;
}

std::string fileText(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(ServedSize, PackBestKeepsTheSmallerAsServed) {
    int flips = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(QUILLBOX_TEST_DATA) / "pages")) {
        const std::string page = fileText(entry.path());
        if (page.empty() || page.find('\0') != std::string::npos) continue;
        // Each method alone, on an engine of its own.
        Engine plainEngine, packingEngine;
        plainEngine.console = packingEngine.console = nullptr;
        std::string copy = page;
        const std::string plain = compactPlain(plainEngine, copy);
        copy = page;
        const std::optional<PackedPage> packing = packJavaScript(packingEngine, copy);
        const std::optional<std::string> packed =
            packing ? std::optional<std::string>(packing->text) : std::nullopt;
        std::string rawMethod;
        packedAsServed(page, Served::Raw, rawMethod);
        for (const Served served : {Served::Gzip, Served::Brotli}) {
            const bool plainWins =
                !packed || servedSize(plain, served) < servedSize(*packed, served);
            std::string method;
            EXPECT_EQ(packedAsServed(page, served, method), plainWins ? plain : *packed)
                << entry.path().filename() << " " << servedName(served);
            EXPECT_EQ(method, plainWins ? "plain" : "js") << entry.path().filename();
            if (served == Served::Gzip && method != rawMethod) ++flips;
        }
    }
    // Coded text compresses worse than the words it stands for: some pages packed best as
    // they are travel smaller compacted plainly.
    EXPECT_GT(flips, 0);
}

TEST(RunReport, JsonStrings) {
    const struct {
        std::string text;
        std::string json;
    } cases[] = {
        {"", "\"\""},
        {"out/page.html", "\"out/page.html\""},
        {"a \"quoted\" \\ name", "\"a \\\"quoted\\\" \\\\ name\""},
        {"tab\tline\nend\x7f", "\"tab\\u0009line\\u000aend\\u007f\""},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82", "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82\""},
        // Latin-1 bytes, a cut sequence, an overlong form and a surrogate are not UTF-8.
        {"caf\xe9", "\"caf\\u00e9\""},
        {"\xe2\x82", "\"\\u00e2\\u0082\""},
        {"\xc0\xaf", "\"\\u00c0\\u00af\""},
        {"\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\""},
    };
    for (const auto& [text, json] : cases) EXPECT_EQ(jsonString(text), json) << text;
}

}  // namespace
