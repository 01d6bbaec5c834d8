// LZARI method (id 4): LZSS-style matching over a 4096-byte window with a 60-byte lookahead,
// whose literals, match lengths and match distances are coded with an adaptive arithmetic coder
// (an adaptive model over 314 characters and a fixed model over 4096 distances). The packed
// stream carries no size; the container's unpacked size tells the decoder when to stop.
//
// The coder uses fixed work areas shared by all calls: one call at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace xq {

// Encodes size bytes of src into out. Returns false, with *packedSize unspecified, when the
// packed form would need more than capacity bytes; never writes past out + capacity.
bool LzariEncode(const uint8_t* src, uint32_t size, uint8_t* out, size_t capacity,
                 uint32_t* packedSize);

// Decodes until unpackedSize bytes are produced. Contract: reads only
// packed[0 .. packedSize - 1] (bits past the end read as 0) and writes only
// dest[0 .. unpackedSize - 1]. Any byte sequence decodes to something; bad input gives wrong
// bytes, never a fault. Returns the number of bytes written (unpackedSize, unless the coder's
// state turns impossible, which only hostile input can cause).
uint32_t LzariDecode(const uint8_t* packed, uint32_t packedSize, uint8_t* dest,
                     uint32_t unpackedSize);

} // namespace xq
