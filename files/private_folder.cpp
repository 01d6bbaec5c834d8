#include "files/private_folder.h"

#include "files/file_io.h"

#include <cerrno>
#include <cstring>

#include <cstdlib>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Fail(std::string& why, const std::string& what, const std::string& reason) {
    why = what + ": " + reason;
    return false;
}

// Creates the missing folders of `folder`, each private to the user.
bool MakeFolders(const std::string& folder, std::string& why) {
    for (size_t at = 1; at <= folder.size(); ++at) {
        if (at != folder.size() && folder[at] != '/') continue;
        const std::string part = folder.substr(0, at);
        if (mkdir(part.c_str(), 0700) == 0 || errno == EEXIST) continue;
        const int error = errno;
        struct stat st; // a folder that exists may refuse a mkdir with another error
        if (lstat(part.c_str(), &st) != 0) return Fail(why, part, std::strerror(error));
    }
    return true;
}

} // namespace

std::string UserFolder(const char* variable, const char* underHome) {
    const char* base = std::getenv(variable);
    // The variable counts only as an absolute path; anything else falls back to the home folder.
    if (base && base[0] == '/') return std::string(base) + "/tavomix";
    std::string home;
    if (const char* h = std::getenv("HOME"); h && h[0] == '/') {
        home = h;
    } else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    }
    return home + "/" + underHome + "/tavomix";
}

int OpenPrivateFolder(const std::string& folder, bool create, std::string& why) {
    why.clear();
    if (create && !MakeFolders(folder, why)) return -1;
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT && !create) return -1;
        Fail(why, folder,
             errno == ELOOP || errno == ENOTDIR ? "not a folder (a file or a link)"
                                                : std::strerror(errno));
        return -1;
    }
    struct stat st;
    const char* wrong = nullptr;
    if (fstat(fd, &st) != 0)
        wrong = std::strerror(errno);
    else if (st.st_uid != geteuid())
        wrong = "the folder belongs to another user";
    else if (st.st_mode & (S_IWGRP | S_IWOTH))
        wrong = "other users may write in this folder";
    else if ((st.st_mode & 077) != 0 && fchmod(fd, 0700) != 0)
        wrong = std::strerror(errno);
    if (wrong) {
        close(fd);
        Fail(why, folder, wrong);
        return -1;
    }
    return fd;
}

bool WriteFileIn(int folder, const std::string& name, const void* data, size_t size,
                 std::string& why) {
    const std::string temporary = "." + name + ".new";
    // A temporary file a killed write left behind is this program's own: it is replaced.
    unlinkat(folder, temporary.c_str(), 0);
    const int fd = openat(folder, temporary.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return Fail(why, name, std::strerror(errno));
    const auto* p = static_cast<const uint8_t*>(data);
    size_t done = 0;
    int error = 0;
    while (done < size && error == 0) {
        const ssize_t n = write(fd, p + done, size - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else if (n < 0 && errno != EINTR)
            error = errno;
    }
    // The bytes are on the disk before the name moves.
    if (error == 0 && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && renameat(folder, temporary.c_str(), folder, name.c_str()) != 0) error = errno;
    if (error == 0) return true;
    unlinkat(folder, temporary.c_str(), 0);
    return Fail(why, name, std::strerror(error));
}

bool ReadFileIn(int folder, const std::string& name, size_t limit, std::vector<uint8_t>& out) {
    const int fd = openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    const bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ReadUpTo(fd, limit, out) == 0;
    close(fd);
    if (!ok) out.clear();
    return ok;
}
