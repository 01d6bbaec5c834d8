// Arbitrary packed bytes through DecompressBlock with every method word.
//   byte 0      method word (index into the table below)
//   bytes 1..3  unpacked size, low 18 bits, at most 128 per packed byte
//   byte 4      bit 0: the library allocates the destination; bits 1, 2: wrong magic, version
//   the rest    the packed bytes, in a buffer of exactly their size
// The destination the target allocates is exactly unpacked size bytes, so the address
// sanitizer catches any write past it. The guarded and fast LZSS decoders must agree.
#include "roundtrip.h"

#include <vector>

namespace {

const uint32_t WORDS[] = {xq::METHOD_STORED,
                          xq::METHOD_LZSS,
                          xq::METHOD_LZSS | xq::FAST_DECODE,
                          xq::METHOD_LZSS_REVERSED,
                          xq::METHOD_LZARI,
                          xq::METHOD_RLE_1,
                          xq::METHOD_RLE_2,
                          xq::METHOD_RLE_3,
                          xq::METHOD_RLE_4,
                          1,
                          5,
                          0x80000002u,
                          xq::METHOD_LZARI | xq::FAST_DECODE,
                          xq::METHOD_RLE_3 | xq::FAST_DECODE,
                          0xFFFFFFFFu,
                          0x40000000u};

std::vector<uint8_t> Decode(const uint8_t* packed, size_t packedSize, uint32_t word, uint32_t size,
                            uint8_t options) {
    std::vector<uint8_t> bytes(packed, packed + packedSize);
    xq::PackedBlock block;
    block.magic = (options & 2) ? 0 : xq::BLOCK_MAGIC;
    block.version = (options & 4) ? 0 : xq::BLOCK_VERSION;
    block.method = word;
    block.unpackedSize = size;
    block.packedSize = uint32_t(packedSize);
    block.packedData = bytes.empty() ? nullptr : bytes.data();
    std::vector<uint8_t> dest(size);
    if (!(options & 1)) block.unpackedData = dest.data();
    xq::DecompressBlock(&block);
    if (block.ownsUnpackedData) {
        dest.assign(block.unpackedData, block.unpackedData + size);
        xq::FreeUnpackedData(&block);
    }
    return dest;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    xqfuzz::QuietLog();
    if (size < 5) return 0;
    const uint32_t word = WORDS[data[0] % (sizeof WORDS / sizeof WORDS[0])];
    // No method expands a byte into more than 128 bytes, so a larger destination would only
    // be cleared, at a cost to the fuzzing speed.
    uint32_t unpacked = (data[1] | data[2] << 8 | uint32_t(data[3]) << 16) & 0x3FFFF;
    if (unpacked > 128 * (size - 4)) unpacked = uint32_t(128 * (size - 4));
    const uint8_t options = data[4];
    const std::vector<uint8_t> out = Decode(data + 5, size - 5, word, unpacked, options);
    if ((word & ~xq::FAST_DECODE) == xq::METHOD_LZSS) {
        const std::vector<uint8_t> other =
            Decode(data + 5, size - 5, word ^ xq::FAST_DECODE, unpacked, options);
        xqfuzz::Check(out == other, "fast and guarded LZSS decoders differ");
    }
    return 0;
}
