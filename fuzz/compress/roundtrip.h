// Round trip through the container for the fuzz targets: pack the input, serialise the block as
// a file image, read the image back and unpack it into an exact-size destination. Any
// difference, or a block that breaks the container's rules, aborts.
#pragma once

#include "lib/XQ_COMPRESS/src/ErrorLog.h"
#include "lib/XQ_COMPRESS/src/XQ_Compress.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace xqfuzz {

// Reports go to a log that keeps nothing, so a fuzzing run leaves no ERROR.LOG behind.
inline void QuietLog() {
    static const bool opened = xq::OpenLog("/dev/null");
    (void)opened;
}

inline void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "round trip failed: %s\n", what);
        std::abort();
    }
}

// fast: decode an LZSS block through its fast decoder.
inline void RoundTrip(const uint8_t* data, size_t size, uint32_t method, bool fast) {
    QuietLog();
    const uint32_t id = method & ~xq::PAD_TO_4;
    xq::PackedBlock* packed = xq::CompressBlock(data, uint32_t(size), method);
    Check(packed != nullptr, "no block");
    Check(packed->unpackedSize == size, "unpacked size");
    Check(packed->method == id || packed->method == xq::METHOD_STORED, "method word");
    Check(uint64_t{packed->packedSize} * 10 <= uint64_t{size} * 9 ||
              packed->method == xq::METHOD_STORED,
          "kept a packed form above 90 %");
    const unsigned pad = (method & xq::PAD_TO_4) ? (4 - packed->packedSize % 4) % 4 : 0;
    Check(packed->padCount == pad, "pad count");

    std::vector<uint8_t> image(xq::BLOCK_HEADER_SIZE + packed->packedSize + packed->padCount);
    packed->magic = xq::BLOCK_MAGIC;
    packed->version = xq::BLOCK_VERSION;
    xq::WriteBlockHeader(*packed, image.data());
    std::memcpy(image.data() + xq::BLOCK_HEADER_SIZE, packed->packedData,
                packed->packedSize + packed->padCount);
    for (unsigned i = 0; i < pad; ++i) {
        Check(image[image.size() - 1 - i] == 0, "pad bytes");
    }
    xq::FreeBlock(packed);

    xq::PackedBlock block;
    Check(xq::ReadBlockHeader(image.data(), image.size(), &block), "header read back");
    if (fast && block.method == xq::METHOD_LZSS) block.method |= xq::FAST_DECODE;
    std::vector<uint8_t> out(size);
    block.unpackedData = out.data();
    xq::DecompressBlock(&block);
    Check(size == 0 || std::memcmp(block.unpackedData, data, size) == 0, "bytes differ");
    xq::FreeUnpackedData(&block);
}

} // namespace xqfuzz
