#include "Rle.h"

#include "ErrorLog.h"
#include "Memory.h"

#include <cstdio>
#include <cstring>

namespace xq {
namespace {

const char RLE_SOURCE[] = "lib/XQ_COMPRESS/src/Rle";
constexpr int LINE_PREVIOUS_ALLOC = 61;
constexpr int LINE_LITERAL_ALLOC = 67;

constexpr int LITERAL_MAX = 127; // elements the literal buffer holds
constexpr int REPEAT_MAX = 128;  // elements one repeat item can carry

struct ItemWriter {
    uint8_t* out;
    size_t capacity;
    size_t written = 0;
    bool overflow = false;

    void Put(uint8_t control, const uint8_t* bytes, size_t n) {
        if (capacity - written < n + 1) {
            overflow = true;
            return;
        }
        out[written++] = control;
        std::memcpy(out + written, bytes, n);
        written += n;
    }
};

} // namespace

unsigned RleWidth(uint32_t method) {
    switch (method) {
    case 16: return 1;
    case 32: return 2;
    case 64: return 3;
    case 128: return 4;
    default: return 0;
    }
}

bool RleEncode(const uint8_t* src, uint32_t size, unsigned width, uint8_t* out, size_t capacity,
               uint32_t* packedSize) {
    *packedSize = 0;
    // Trailing bytes that do not fill an element cannot be coded; refuse rather than drop them.
    if (width < 1 || width > 4 || size % width != 0) return false;

    auto* previous = static_cast<uint8_t*>(AllocateBytes(width));
    if (!previous) {
        LogException(
            FormatLogMessage("%s AT LINE %d : NO MORE FREE MEM.", RLE_SOURCE, LINE_PREVIOUS_ALLOC));
        return false;
    }
    auto* literal = static_cast<uint8_t*>(AllocateBytes(size_t{LITERAL_MAX} * width));
    if (!literal) {
        LogException(
            FormatLogMessage("%s AT LINE %d : NO MORE FREE MEM.", RLE_SOURCE, LINE_LITERAL_ALLOC));
        FreeBytes(previous);
        return false;
    }

    ItemWriter writer{out, capacity};
    const uint32_t count = size / width;
    // Pending item: a literal of literalCount elements (the last one equal to `previous`), or a
    // repeat of `previous` repeatCount times; both zero when nothing is pending.
    int literalCount = 0;
    int repeatCount = 0;
    auto flushLiteral = [&](int n) {
        if (n > 0) writer.Put(static_cast<uint8_t>(n - 1), literal, size_t(n) * width);
    };
    auto flushRepeat = [&](int n) {
        writer.Put(static_cast<uint8_t>(0x80 | (n - 1)), previous, width);
    };
    auto startLiteral = [&](const uint8_t* element) {
        std::memcpy(literal, element, width);
        std::memcpy(previous, element, width);
        literalCount = 1;
    };

    for (uint32_t e = 0; e < count && !writer.overflow; ++e) {
        const uint8_t* element = src + size_t{e} * width;
        const bool pending = literalCount > 0 || repeatCount > 0;
        const bool same = pending && std::memcmp(element, previous, width) == 0;
        if (repeatCount > 0) {
            if (same) {
                if (++repeatCount == REPEAT_MAX) {
                    flushRepeat(repeatCount);
                    repeatCount = 0;
                }
            } else {
                flushRepeat(repeatCount);
                repeatCount = 0;
                startLiteral(element);
            }
        } else if (literalCount > 0) {
            if (same) {
                // The literal's last element becomes the first of the repeat.
                flushLiteral(literalCount - 1);
                literalCount = 0;
                repeatCount = 2;
            } else {
                if (literalCount == LITERAL_MAX) {
                    flushLiteral(literalCount);
                    literalCount = 0;
                }
                std::memcpy(literal + size_t(literalCount) * width, element, width);
                std::memcpy(previous, element, width);
                ++literalCount;
            }
        } else {
            startLiteral(element);
        }
    }
    if (repeatCount > 0)
        flushRepeat(repeatCount);
    else
        flushLiteral(literalCount);

    FreeBytes(literal);
    FreeBytes(previous);
    if (writer.overflow) return false;
    *packedSize = static_cast<uint32_t>(writer.written);
    return true;
}

void PrintRleStatistics(uint32_t unpackedSize, uint32_t packedSize) {
    // An empty input has no meaningful ratio; report 0 rather than a division by zero.
    const double ratio = unpackedSize ? double(packedSize) / double(unpackedSize) : 0.0;
    std::printf("In : %ld bytes\n", static_cast<long>(unpackedSize));
    std::printf("Out: %ld bytes\n", static_cast<long>(packedSize));
    std::printf("Out/In: %.3f\n", ratio);
}

uint32_t RleDecode(const uint8_t* packed, uint32_t packedSize, uint8_t* dest, uint32_t unpackedSize,
                   unsigned width) {
    if (width < 1 || width > 4) return 0;
    const uint32_t limit = unpackedSize - unpackedSize % width;
    uint32_t in = 0;
    uint32_t o = 0;
    while (in < packedSize && o < limit) {
        const unsigned control = packed[in++];
        const uint32_t n = (control & 0x7F) + 1;
        if (control & 0x80) {
            if (packedSize - in < width) break;
            const uint8_t* element = packed + in;
            in += width;
            for (uint32_t k = 0; k < n && o < limit; ++k, o += width) {
                std::memcpy(dest + o, element, width);
            }
        } else {
            uint32_t elements = n;
            const uint32_t available = (packedSize - in) / width;
            const uint32_t room = (limit - o) / width;
            if (elements > available) elements = available;
            if (elements > room) elements = room;
            std::memcpy(dest + o, packed + in, size_t{elements} * width);
            o += elements * width;
            if (elements < n) break;
            in += n * width;
        }
    }
    return o;
}

} // namespace xq
