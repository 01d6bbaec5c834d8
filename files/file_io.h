// Small helpers the file formats share: little-endian fields and whole-file reads and writes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

inline void PutI32(uint8_t* p, int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}
inline void PutI16(uint8_t* p, int16_t v) {
    const uint16_t u = static_cast<uint16_t>(v);
    p[0] = static_cast<uint8_t>(u);
    p[1] = static_cast<uint8_t>(u >> 8);
}
inline int32_t GetI32(const uint8_t* p) {
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                                uint32_t(p[3]) << 24);
}
inline int16_t GetI16(const uint8_t* p) {
    return static_cast<int16_t>(uint16_t(p[0] | p[1] << 8));
}

// Reads at most `limit` bytes from the start of the file; false when it cannot be opened or
// read, or when it is not a regular file (a pipe, a device or a folder is never opened for
// reading, so a pipe cannot block the caller).
bool ReadFilePrefix(const std::string& path, size_t limit, std::vector<uint8_t>& out);

// Writes a file through `write` into a temporary file beside it, then puts it in place, so that
// a write that fails half-way never destroys the file that was there. True when every byte was
// written and the file is in place.
bool WriteFileSafely(const std::string& path, const std::function<bool(std::FILE*)>& write);
