// LZSS method: 4096-byte ring window that starts filled with spaces, matches of 3 to 18 bytes,
// one flag byte per eight items (bit set = literal byte, bit clear = two-byte match holding an
// absolute 12-bit ring position and the length - 3). Used by the container for ids 2 and 3.
//
// The encoder uses fixed work areas shared by all calls: one call at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace xq {

// Encodes size bytes of src into out. Returns false, with *packedSize unspecified, when the
// packed form would need more than capacity bytes; never writes past out + capacity.
bool LzssEncode(const uint8_t* src, uint32_t size, uint8_t* out, size_t capacity,
                uint32_t* packedSize);

// Decoders. Contract for all three: reads only packed[0 .. packedSize - 1] and writes only
// dest[0 .. unpackedSize - 1], whatever the packed bytes are. Decoding stops at the end of the
// packed bytes (an incomplete last item is dropped) or when the destination is full (a match
// that would overrun it is cut). Returns the number of bytes written; bytes of the destination
// beyond that are left as they were.

// The guarded decoder: checks for packed bytes before every item.
uint32_t LzssDecode(const uint8_t* packed, uint32_t packedSize, uint8_t* dest,
                    uint32_t unpackedSize);

// The fast decoder: whole groups are decoded without per-item checks while at least a full
// group of packed bytes and room for a full group of output remain; the tail goes through the
// checked path. Gives exactly what LzssDecode gives, for any input.
uint32_t LzssDecodeFast(const uint8_t* packed, uint32_t packedSize, uint8_t* dest,
                        uint32_t unpackedSize);

// The reversed decoder (id 3): the n-th decoded byte goes to dest[unpackedSize - 1 - n], so the
// destination is filled from its last byte toward its first.
uint32_t LzssDecodeReversed(const uint8_t* packed, uint32_t packedSize, uint8_t* dest,
                            uint32_t unpackedSize);

} // namespace xq
