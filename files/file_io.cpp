#include "files/file_io.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool ReadFilePrefix(const std::string& path, size_t limit, std::vector<uint8_t>& out) {
    // Checked before the open, which on a pipe would wait for a writer and on some devices acts.
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    // The name may have been replaced meanwhile: what counts is the file that was opened.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    out.resize(limit);
    size_t got = 0;
    bool failed = false;
    while (got < limit && !failed) {
        const ssize_t n = read(fd, out.data() + got, limit - got);
        if (n == 0) break;
        if (n > 0)
            got += static_cast<size_t>(n);
        else
            failed = errno != EINTR;
    }
    close(fd);
    out.resize(got);
    return !failed;
}

bool WriteFileSafely(const std::string& path, const std::function<bool(std::FILE*)>& write) {
    const std::string temporary = path + ".saving";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) return false;
    bool ok = write(f);
    ok = std::fflush(f) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (ok) ok = std::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) std::remove(temporary.c_str());
    return ok;
}
