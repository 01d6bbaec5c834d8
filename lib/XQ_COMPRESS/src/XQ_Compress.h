// XQ_COMPRESS: packs a block of bytes held in memory into a self-describing packed block (a
// 32-byte header followed by the packed bytes) and unpacks such a block again.
//
// The library never returns error codes and never shows a message: failures go to the error log
// (ErrorLog.h). It keeps work areas shared by all calls, so it is not thread-safe: one call at a
// time, from any one thread. docs/compression-format.md describes the formats.
//
// Writing a file:   CompressBlock, WriteBlock, FreeBlock.
// Reading a file:   read the file into a buffer, ReadBlockHeader, check magic and version,
//                   optionally point unpackedData at a destination of unpackedSize bytes,
//                   DecompressBlock, use the destination, FreeUnpackedData (if the library made
//                   it), release the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace xq {

// Method ids: the stored method word holds one of these (bit 30 may add FAST_DECODE).
inline constexpr uint32_t METHOD_STORED = 0;
inline constexpr uint32_t METHOD_LZSS = 2;
inline constexpr uint32_t METHOD_LZSS_REVERSED = 3;
inline constexpr uint32_t METHOD_LZARI = 4;
inline constexpr uint32_t METHOD_RLE_1 = 16;
inline constexpr uint32_t METHOD_RLE_2 = 32;
inline constexpr uint32_t METHOD_RLE_3 = 64;
inline constexpr uint32_t METHOD_RLE_4 = 128;

// CompressBlock's method argument may add PAD_TO_4: the kept bytes are followed by zero bytes up
// to a multiple of 4 (counted in padCount). The bit itself is never stored.
inline constexpr uint32_t PAD_TO_4 = 0x80000000u;
// In a stored method word: DecompressBlock gives a destination it allocates 32 bytes of slack
// and decodes METHOD_LZSS with its fast decoder. CompressBlock rejects it as unsupported.
inline constexpr uint32_t FAST_DECODE = 0x40000000u;

inline constexpr uint32_t BLOCK_MAGIC = 0x504D4F43u;   // "COMP" read little-endian
inline constexpr uint32_t BLOCK_VERSION = 0x302E3156u; // "V1.0" read little-endian
inline constexpr size_t BLOCK_HEADER_SIZE = 32;

// The in-memory handle of a packed block. Its serialised form is the 32-byte little-endian
// header of WriteBlockHeader: magic (offset 0), version (4), byteOrder (8), padCount (9),
// reserved (10, 2 bytes), method (12), unpackedSize (16), packedSize (20), and two 4-byte places
// (24, 28) that stand for the two references and are written as 0.
struct PackedBlock {
    uint32_t magic = 0;
    uint32_t version = 0;
    uint8_t byteOrder = 0; // 0: little-endian fields; always written as 0, never read
    uint8_t padCount = 0;  // zero bytes (0..3) after the packed bytes
    uint16_t reserved = 0; // not significant
    uint32_t method = 0;
    uint32_t unpackedSize = 0;
    uint32_t packedSize = 0;         // packed bytes, pad not included
    uint8_t* packedData = nullptr;   // packedSize + padCount bytes
    uint8_t* unpackedData = nullptr; // the destination while decompressing
    bool ownsUnpackedData = false;   // unpackedData was allocated by DecompressBlock
};

// Packs size bytes at data (data may be null when size is 0) with the given method id, plus
// PAD_TO_4 if wanted. Returns a new block owned by the caller (release with FreeBlock) whose
// packedData holds packedSize + padCount bytes and whose unpackedData is null.
// - The packed form is kept only when packedSize * 10 <= size * 9; otherwise, or when the
//   method cannot code this input (a run-length method given a size that is not a multiple of
//   its element width), the block falls back to METHOD_STORED with the input bytes unchanged.
// - An unsupported method is logged (ERROR, line 134) and gives packedSize 0 with the
//   unsupported id in the method word.
// - Out of memory for a method's work buffers falls back to stored; returns null (logged as an
//   EXCEPTION) only when the block itself cannot be allocated.
PackedBlock* CompressBlock(const uint8_t* data, uint32_t size, uint32_t method);

// Stamps magic and version into the block, then writes the 32 header bytes and the
// packedSize + padCount packed bytes to a file opened for binary writing. Returns whether every
// byte was written (false for a null block or file).
bool WriteBlock(PackedBlock* block, std::FILE* file);

// Releases a block made by CompressBlock: its packed bytes, the destination if DecompressBlock
// allocated one, and the record. Null is ignored. Never call it on a caller-owned record.
void FreeBlock(PackedBlock* block);

// Unpacks a block. The caller promises that packedData points at packedSize readable bytes (or
// is null, taken as no bytes) and that unpackedData is null or points at unpackedSize writable
// bytes. When unpackedData is null the library allocates a zero-filled destination of
// unpackedSize bytes (+32 with FAST_DECODE), sets ownsUnpackedData, and the caller releases it
// with FreeUnpackedData or FreeBlock; if that allocation fails the failure is logged and
// unpackedData stays null.
// Whatever the packed bytes are, no method reads past packedSize bytes nor writes past
// unpackedSize bytes: a stream that ends early or would produce too much simply stops, leaving
// the rest of the destination as it was. A wrong magic or version is logged (EXCEPTION, lines
// 203, 204) and decoding goes on; an unsupported method is logged (ERROR, line 252) and leaves
// the destination as it was. Clears bit 31 of the method word.
void DecompressBlock(PackedBlock* block);

// Serialises the header fields into 32 bytes, little-endian on any host.
void WriteBlockHeader(const PackedBlock& block, uint8_t header[BLOCK_HEADER_SIZE]);

// Reads a block image (header then packed bytes) of size bytes: fills every header field, points
// packedData at bytes + 32 and clears unpackedData. Returns false, leaving *block unchanged, when
// size is below 32 or the header announces more packed bytes than follow it. Magic and version
// are not checked here.
bool ReadBlockHeader(uint8_t* bytes, size_t size, PackedBlock* block);

// Releases a destination that DecompressBlock allocated and clears unpackedData; a
// caller-supplied destination is only forgotten, not released.
void FreeUnpackedData(PackedBlock* block);

} // namespace xq
