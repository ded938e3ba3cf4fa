#include "served_size.h"

#include <brotli/encode.h>
#include <zlib.h>

#include <climits>

std::optional<Served> parseServed(std::string_view name) {
    if (name == "raw") return Served::Raw;
    if (name == "gzip") return Served::Gzip;
    if (name == "br") return Served::Brotli;
    return std::nullopt;
}

const char* servedName(Served served) {
    switch (served) {
    case Served::Gzip: return "gzip";
    case Served::Brotli: return "br";
    case Served::Raw: break;
    }
    return "raw";
}

std::string gzipBytes(std::string_view text) {
    if (text.size() > UINT_MAX / 2) return {};
    z_stream stream{};
    // 15 window bits plus 16: a gzip header and trailer, as a server sends.
    if (deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    std::string out(deflateBound(&stream, static_cast<uLong>(text.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return status == Z_STREAM_END ? out : std::string();
}

std::string brotliBytes(std::string_view text) {
    size_t size = BrotliEncoderMaxCompressedSize(text.size());
    if (size == 0) return {};
    std::string out(size, '\0');
    if (!BrotliEncoderCompress(11, BROTLI_DEFAULT_WINDOW, BROTLI_DEFAULT_MODE, text.size(),
                               reinterpret_cast<const uint8_t*>(text.data()), &size,
                               reinterpret_cast<uint8_t*>(out.data())))
        return {};
    out.resize(size);
    return out;
}

size_t servedSize(std::string_view text, Served served) {
    std::string compressed;
    switch (served) {
    case Served::Gzip: compressed = gzipBytes(text); break;
    case Served::Brotli: compressed = brotliBytes(text); break;
    case Served::Raw: return text.size();
    }
    // Both formats give at least a byte; none means the compressor failed, and the text
    // would travel as it is.
    return compressed.empty() ? text.size() : compressed.size();
}
