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
// Reads at most `limit` bytes from an open descriptor into `out` (its size is what was read);
// 0, or the error that stopped it.
int ReadUpTo(int fd, size_t limit, std::vector<uint8_t>& out);
// Why this thread's last ReadFilePrefix failed, as the end of a sentence ("it was not found",
// "it is a folder", "you have no permission to read it").
const std::string& LastReadFailure();

enum class WriteResult {
    Done,
    Failed,         // nothing was put in place; any earlier file is kept
    NotRegularFile, // the path names a folder, a device, a pipe or the like: left alone
};

// What the user is told about NotRegularFile, whatever was being saved.
constexpr char NOT_REGULAR_FILE_MESSAGE[] = "This is not a regular file; nothing was written.";

// The temporary files of WriteFileSafely are named ".<name>.<8 hex digits>" + this, beside the
// file they replace.
constexpr char TEMPORARY_FILE_SUFFIX[] = ".tavomix-saving";

// Writes a file through `write` into a new temporary file beside the file it replaces, then
// renames it over that file, so that a write that fails half-way never destroys the file that
// was there and leaves no temporary file behind.
// - A path that is a symbolic link (or a chain of them) replaces the file at the end of the
//   chain, which may not exist yet; the links stay as they were.
// - The new file takes the old one's permission bits; a file that did not exist gets 0666 less
//   the umask.
// - The temporary file is created exclusively under a fresh name, never through a link someone
//   left at that name.
// - A successful write removes temporary files of the same file that a killed save left behind
//   (those older than a minute).
WriteResult WriteFileSafely(const std::string& path, const std::function<bool(std::FILE*)>& write);
