// Run-length methods (ids 16, 32, 64, 128): fixed-width elements of 1 to 4 bytes. Each item is a
// control byte c followed by one element, repeated (c & 0x7F) + 1 times when bit 7 is set, or by
// c + 1 literal elements when it is clear. Nothing marks the end of the stream.
#pragma once

#include <cstddef>
#include <cstdint>

namespace xq {

// Element width of a run-length method id, or 0 when the id is not one of them.
unsigned RleWidth(uint32_t method);

// Encodes size bytes of src as elements of width bytes into out. Returns false when the input
// cannot be coded without loss (size not a multiple of width), when a work buffer cannot be
// allocated (logged at EXCEPTION level), or when the result would need more than capacity bytes;
// never writes past out + capacity. Prints nothing: see PrintRleStatistics.
bool RleEncode(const uint8_t* src, uint32_t size, unsigned width, uint8_t* out, size_t capacity,
               uint32_t* packedSize);

// Writes the three statistics lines of an encode to standard output.
void PrintRleStatistics(uint32_t unpackedSize, uint32_t packedSize);

// Contract: reads only packed[0 .. packedSize - 1] and writes only whole elements within
// dest[0 .. unpackedSize - 1]. An item cut short by the end of the packed bytes contributes the
// whole elements it holds; output that would run past the destination is dropped. Returns the
// number of bytes written; the rest of the destination is left as it was.
uint32_t RleDecode(const uint8_t* packed, uint32_t packedSize, uint8_t* dest, uint32_t unpackedSize,
                   unsigned width);

} // namespace xq
