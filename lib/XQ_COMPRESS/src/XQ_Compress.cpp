#include "XQ_Compress.h"

#include "ErrorLog.h"
#include "Lzari.h"
#include "Lzss.h"
#include "Memory.h"
#include "Rle.h"

#include <cstring>
#include <new>

namespace xq {
namespace {

const char SOURCE[] = "lib/XQ_COMPRESS/src/XQ_Compress";
// Line numbers that the messages report.
constexpr int LINE_COMPRESS_UNSUPPORTED = 134;
constexpr int LINE_WRONG_MAGIC = 203;
constexpr int LINE_WRONG_VERSION = 204;
constexpr int LINE_DECOMPRESS_UNSUPPORTED = 252;
constexpr int LINE_RECORD_ALLOC = 112;
constexpr int LINE_WORK_ALLOC = 121;
constexpr int LINE_FINAL_ALLOC = 160;
constexpr int LINE_DEST_ALLOC = 226;

constexpr uint32_t FINISHED_MASK = 0x80000000u; // bit 31 is clear in a finished block
constexpr uint32_t FAST_DECODE_SLACK = 32;
// Extra working room so that very short inputs fit their method's worst case.
constexpr size_t WORK_SLACK = 64;

void ReportOutOfMemory(int line) {
    LogException(FormatLogMessage("%s AT LINE %d : NO MORE FREE MEM.", SOURCE, line));
}

void ReportUnsupported(int line) {
    LogError(FormatLogMessage("%s AT LINE %d : COMPRESS METHOD NOT SUPPORTED.", SOURCE, line));
}

bool IsPackingMethod(uint32_t id) {
    return id == METHOD_LZSS || id == METHOD_LZSS_REVERSED || id == METHOD_LZARI ||
           RleWidth(id) != 0;
}

// Runs the encoder of a packing method into work; false when it could not code the input.
bool Encode(uint32_t id, const uint8_t* source, uint32_t size, uint8_t* work, size_t capacity,
            uint32_t* packedSize) {
    switch (id) {
    case METHOD_LZSS:
    case METHOD_LZSS_REVERSED: return LzssEncode(source, size, work, capacity, packedSize);
    case METHOD_LZARI: return LzariEncode(source, size, work, capacity, packedSize);
    default: {
        if (!RleEncode(source, size, RleWidth(id), work, capacity, packedSize)) return false;
        PrintRleStatistics(size, *packedSize);
        return true;
    }
    }
}

void Put32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

uint32_t Get32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

} // namespace

PackedBlock* CompressBlock(const uint8_t* data, uint32_t size, uint32_t method) {
    void* record = AllocateBytes(sizeof(PackedBlock));
    if (!record) {
        ReportOutOfMemory(LINE_RECORD_ALLOC);
        return nullptr;
    }
    auto* block = new (record) PackedBlock{};
    const uint32_t id = method & ~PAD_TO_4;
    block->method = id;
    block->byteOrder = 0;
    block->unpackedSize = size;

    // What ends up in the block: the input itself unless a packed form is kept.
    const uint8_t* kept = data;
    uint32_t keptSize = size;
    uint8_t* work = nullptr;
    uint8_t* reversed = nullptr;

    if (IsPackingMethod(id)) {
        const size_t capacity = size_t{size} + size / 2 + WORK_SLACK;
        work = static_cast<uint8_t*>(AllocateBytes(capacity));
        const uint8_t* source = data;
        bool outOfMemory = !work;
        if (work && id == METHOD_LZSS_REVERSED) {
            reversed = static_cast<uint8_t*>(AllocateBytes(size));
            outOfMemory = !reversed;
            if (reversed) {
                for (uint32_t i = 0; i < size; ++i) reversed[i] = data[size - 1 - i];
            }
            source = reversed;
        }
        uint32_t packedSize = 0;
        bool encoded = false;
        if (outOfMemory)
            ReportOutOfMemory(LINE_WORK_ALLOC);
        else
            encoded = Encode(id, source, size, work, capacity, &packedSize);

        if (encoded && uint64_t{packedSize} * 10 <= uint64_t{size} * 9) {
            kept = work;
            keptSize = packedSize;
        } else {
            block->method = METHOD_STORED;
        }
    } else if (id != METHOD_STORED) {
        ReportUnsupported(LINE_COMPRESS_UNSUPPORTED);
        kept = nullptr;
        keptSize = 0;
    }

    const uint32_t pad = (method & PAD_TO_4) ? (4 - keptSize % 4) % 4 : 0;
    auto* result = static_cast<uint8_t*>(AllocateBytes(size_t{keptSize} + pad)); // zero-filled
    if (result && keptSize > 0) std::memcpy(result, kept, keptSize);
    FreeBytes(work);
    FreeBytes(reversed);
    if (!result) {
        ReportOutOfMemory(LINE_FINAL_ALLOC);
        FreeBytes(block);
        return nullptr;
    }
    block->packedSize = keptSize;
    block->padCount = static_cast<uint8_t>(pad);
    block->packedData = result;
    block->unpackedData = nullptr;
    return block;
}

bool WriteBlock(PackedBlock* block, std::FILE* file) {
    if (!block || !file) return false;
    block->magic = BLOCK_MAGIC;
    block->version = BLOCK_VERSION;
    uint8_t header[BLOCK_HEADER_SIZE];
    WriteBlockHeader(*block, header);
    bool ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;
    const size_t n = size_t{block->packedSize} + block->padCount;
    if (n > 0) ok = block->packedData && std::fwrite(block->packedData, 1, n, file) == n && ok;
    return ok;
}

void FreeBlock(PackedBlock* block) {
    if (!block) return;
    FreeBytes(block->packedData);
    if (block->ownsUnpackedData) FreeBytes(block->unpackedData);
    FreeBytes(block);
}

void FreeUnpackedData(PackedBlock* block) {
    if (!block) return;
    if (block->ownsUnpackedData) FreeBytes(block->unpackedData);
    block->unpackedData = nullptr;
    block->ownsUnpackedData = false;
}

void DecompressBlock(PackedBlock* block) {
    if (!block) return;
    if (block->magic != BLOCK_MAGIC) {
        LogException(
            FormatLogMessage("%s AT LINE %d : NOT THE RIGHT MAGIC.", SOURCE, LINE_WRONG_MAGIC));
    }
    if (block->version != BLOCK_VERSION) {
        LogException(
            FormatLogMessage("%s AT LINE %d : NOT THE RIGHT VERSION.", SOURCE, LINE_WRONG_VERSION));
    }
    block->method &= ~FINISHED_MASK;
    const bool fast = (block->method & FAST_DECODE) != 0;
    const uint32_t id = block->method & ~FAST_DECODE;

    if (!block->unpackedData) {
        const size_t n = size_t{block->unpackedSize} + (fast ? FAST_DECODE_SLACK : 0);
        block->unpackedData = static_cast<uint8_t*>(AllocateBytes(n));
        if (!block->unpackedData) {
            ReportOutOfMemory(LINE_DEST_ALLOC);
            return;
        }
        block->ownsUnpackedData = true;
    }

    const uint8_t* packed = block->packedData;
    const uint32_t packedSize = packed ? block->packedSize : 0;
    uint8_t* dest = block->unpackedData;
    const uint32_t size = block->unpackedSize;
    switch (id) {
    case METHOD_STORED:
        // A stored block whose packed bytes are fewer than its unpacked size gives what there is.
        if (packedSize > 0) std::memcpy(dest, packed, packedSize < size ? packedSize : size);
        break;
    case METHOD_LZSS:
        if (fast)
            LzssDecodeFast(packed, packedSize, dest, size);
        else
            LzssDecode(packed, packedSize, dest, size);
        break;
    case METHOD_LZSS_REVERSED: LzssDecodeReversed(packed, packedSize, dest, size); break;
    case METHOD_LZARI: LzariDecode(packed, packedSize, dest, size); break;
    default:
        if (const unsigned width = RleWidth(id))
            RleDecode(packed, packedSize, dest, size, width);
        else
            ReportUnsupported(LINE_DECOMPRESS_UNSUPPORTED);
        break;
    }
}

void WriteBlockHeader(const PackedBlock& block, uint8_t header[BLOCK_HEADER_SIZE]) {
    std::memset(header, 0, BLOCK_HEADER_SIZE);
    Put32(header + 0, block.magic);
    Put32(header + 4, block.version);
    header[8] = block.byteOrder;
    header[9] = block.padCount;
    // Offsets 10..11 and the two reference places (24, 28) stay 0.
    Put32(header + 12, block.method);
    Put32(header + 16, block.unpackedSize);
    Put32(header + 20, block.packedSize);
}

bool ReadBlockHeader(uint8_t* bytes, size_t size, PackedBlock* block) {
    if (!bytes || !block || size < BLOCK_HEADER_SIZE) return false;
    const uint32_t packedSize = Get32(bytes + 20);
    if (packedSize > size - BLOCK_HEADER_SIZE) return false;
    PackedBlock read;
    read.magic = Get32(bytes + 0);
    read.version = Get32(bytes + 4);
    read.byteOrder = bytes[8];
    read.padCount = bytes[9];
    read.reserved = static_cast<uint16_t>(bytes[10] | bytes[11] << 8);
    read.method = Get32(bytes + 12);
    read.unpackedSize = Get32(bytes + 16);
    read.packedSize = packedSize;
    read.packedData = bytes + BLOCK_HEADER_SIZE;
    *block = read;
    return true;
}

} // namespace xq
