// Compressed sizes: what gzip and brotli give decompresses to the text, and the names.
#include "served_size.h"

#include <brotli/decode.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
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

}  // namespace
