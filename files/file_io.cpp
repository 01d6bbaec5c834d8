#include "files/file_io.h"

#include <cstdio>

bool ReadFilePrefix(const std::string& path, size_t limit, std::vector<uint8_t>& out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out.resize(limit);
    const size_t got = std::fread(out.data(), 1, limit, f);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
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
