#include "files/file_io.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxLinks = 40;        // links followed in a chain, as the kernel allows
constexpr int kCreateAttempts = 100; // fresh names tried before giving up
constexpr time_t kStaleSeconds = 60; // a temporary file untouched this long is abandoned
constexpr size_t kRandomDigits = 8;
constexpr size_t kSuffixSize = sizeof TEMPORARY_FILE_SUFFIX - 1;

// The folder part of a path, its last '/' included; "" for a bare name.
std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Follows `path` through its symbolic links to the file a save replaces and leaves that file's
// path in `path`. `exists` tells whether it exists, and `st` is then its status. False when a
// link cannot be read, the chain is too long, or the path cannot be examined.
bool FollowLinks(std::string& path, struct stat& st, bool& exists) {
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        exists = lstat(path.c_str(), &st) == 0;
        if (!exists) return errno == ENOENT;
        if (!S_ISLNK(st.st_mode)) return true;
        char link[PATH_MAX];
        const ssize_t n = readlink(path.c_str(), link, sizeof link);
        if (n <= 0 || n == static_cast<ssize_t>(sizeof link)) return false;
        // A relative link is relative to the folder that holds it.
        const std::string to(link, static_cast<size_t>(n));
        path = to[0] == '/' ? to : FolderOf(path) + to;
    }
    return false;
}

// ".<name>.", cut so that a whole temporary name stays within NAME_MAX.
std::string TemporaryPrefix(const std::string& name) {
    return "." + name.substr(0, NAME_MAX - 2 - kRandomDigits - kSuffixSize) + ".";
}

// Eight hex digits that are hard to guess, so that no one can have planted something at the
// next name; the exclusive create makes the name safe in any case.
std::string RandomDigits() {
    uint32_t r = 0;
    if (getrandom(&r, sizeof r, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof r)) {
        static uint32_t counter = 0;
        r = static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
            static_cast<uint32_t>(getpid()) << 16 ^ ++counter;
    }
    char digits[kRandomDigits + 1];
    std::snprintf(digits, sizeof digits, "%08x", r);
    return digits;
}

bool IsTemporaryOf(const std::string& entry, const std::string& prefix) {
    if (entry.size() != prefix.size() + kRandomDigits + kSuffixSize) return false;
    if (entry.compare(0, prefix.size(), prefix) != 0) return false;
    if (entry.compare(prefix.size() + kRandomDigits, kSuffixSize, TEMPORARY_FILE_SUFFIX) != 0)
        return false;
    const auto digits = entry.begin() + static_cast<std::ptrdiff_t>(prefix.size());
    return std::all_of(digits, digits + kRandomDigits,
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Creates a new temporary file for `name` in `folder`, exclusively and never through a link;
// its path goes to `temporary`. -1 when none could be made.
int CreateTemporary(const std::string& folder, const std::string& name, mode_t mode,
                    std::string& temporary) {
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        temporary = folder + TemporaryPrefix(name) + RandomDigits() + TEMPORARY_FILE_SUFFIX;
        const int fd =
            open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Removes the temporary files of `name` that killed saves left in `folder`: only names of the
// exact pattern, only regular files, and only those untouched for a while, so that a save still
// running elsewhere keeps its own.
void RemoveStaleTemporaries(const std::string& folder, const std::string& name) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    const std::string prefix = TemporaryPrefix(name);
    const time_t now = std::time(nullptr);
    while (const dirent* entry = readdir(dir)) {
        if (!IsTemporaryOf(entry->d_name, prefix)) continue;
        struct stat st;
        if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && now - st.st_mtime > kStaleSeconds)
            unlinkat(dirfd(dir), entry->d_name, 0);
    }
    closedir(dir);
}

} // namespace

namespace {
thread_local std::string last_read_failure;

// Why `path` could not be opened for reading, from the error of the failed call.
std::string ReadFailureReason(const std::string& path, int error) {
    struct stat st;
    if (error == ENOENT)
        return lstat(path.c_str(), &st) == 0 ? "it is a link to a file that does not exist"
                                             : "it was not found";
    if (error == ELOOP) return "it is a loop of links";
    if (error == EACCES || error == EPERM) return "you have no permission to read it";
    if (error == ENOTDIR) return "a folder in its path is a file";
    return std::strerror(error);
}

bool ReadFailed(const std::string& reason) {
    last_read_failure = reason;
    return false;
}
} // namespace

int ReadUpTo(int fd, size_t limit, std::vector<uint8_t>& out) {
    out.resize(limit);
    size_t got = 0;
    int failure = 0;
    while (got < limit && failure == 0) {
        const ssize_t n = read(fd, out.data() + got, limit - got);
        if (n == 0) break;
        if (n > 0)
            got += static_cast<size_t>(n);
        else if (errno != EINTR)
            failure = errno;
    }
    out.resize(got);
    return failure;
}

const std::string& LastReadFailure() {
    return last_read_failure;
}

bool ReadFilePrefix(const std::string& path, size_t limit, std::vector<uint8_t>& out) {
    // Checked before the open, which on a pipe would wait for a writer and on some devices acts.
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return ReadFailed(ReadFailureReason(path, errno));
    if (S_ISDIR(st.st_mode)) return ReadFailed("it is a folder");
    if (!S_ISREG(st.st_mode)) return ReadFailed("it is not a regular file");
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return ReadFailed(ReadFailureReason(path, errno));
    // The name may have been replaced meanwhile: what counts is the file that was opened.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return ReadFailed("it is not a regular file");
    }
    const int failure = ReadUpTo(fd, limit, out);
    close(fd);
    return failure == 0 || ReadFailed(std::strerror(failure));
}

WriteResult WriteFileSafely(const std::string& path, const std::function<bool(std::FILE*)>& write) {
    std::string target = path;
    struct stat old;
    bool exists = false;
    if (!FollowLinks(target, old, exists)) return WriteResult::Failed;
    if (exists && !S_ISREG(old.st_mode)) return WriteResult::NotRegularFile;
    const std::string parent = FolderOf(target);
    const std::string name = target.substr(parent.size());
    if (name.empty()) return WriteResult::Failed;
    const std::string folder = parent.empty() ? "./" : parent;

    // Created with at most the old file's permissions (the umask may take some away), then
    // given exactly those; a new file gets 0666 less the umask, as any new file does.
    std::string temporary;
    const int fd = CreateTemporary(folder, name, exists ? old.st_mode & 0777 : 0666, temporary);
    if (fd < 0) return WriteResult::Failed;
    std::FILE* f = nullptr;
    if (!exists || fchmod(fd, old.st_mode & 07777) == 0) f = fdopen(fd, "wb");
    if (!f) {
        close(fd);
        unlink(temporary.c_str());
        return WriteResult::Failed;
    }
    bool ok = write(f);
    ok = std::fflush(f) == 0 && ok;
    ok = ok && fsync(fileno(f)) == 0; // the bytes are on the disk before the name moves
    ok = std::fclose(f) == 0 && ok;
    ok = ok && std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(temporary.c_str());
        return WriteResult::Failed;
    }
    RemoveStaleTemporaries(folder, name);
    return WriteResult::Done;
}
