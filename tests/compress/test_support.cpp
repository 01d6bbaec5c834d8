#include "test_support.h"

#include "lib/XQ_COMPRESS/src/ErrorLog.h"
#include "lib/XQ_COMPRESS/src/Memory.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

namespace xqtest {

const char* KindName(Kind kind) {
    switch (kind) {
    case Kind::Text: return "Text";
    case Kind::Zeros: return "Zeros";
    case Kind::Random: return "Random";
    case Kind::Periodic: return "Periodic";
    }
    return "?";
}

Bytes MakeData(Kind kind, size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes out;
    out.reserve(n);
    switch (kind) {
    case Kind::Text: {
        static const char* const words[] = {"the",   "song",  "pattern", "track", "note",
                                            "row",   "tempo", "of",      "and",   "a",
                                            "sound", "wave",  "noise",   "play",  "channel"};
        while (out.size() < n) {
            const std::string word = words[rng() % std::size(words)];
            out.insert(out.end(), word.begin(), word.end());
            out.push_back(rng() % 9 == 0 ? '\n' : ' ');
        }
        out.resize(n);
        break;
    }
    case Kind::Zeros: out.assign(n, 0); break;
    case Kind::Random:
        for (size_t i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(rng()));
        break;
    case Kind::Periodic: {
        // A 37-byte motif: longer than a match, so both long matches and runs occur.
        Bytes motif(37);
        for (auto& b : motif) b = static_cast<uint8_t>(rng() % 5);
        for (size_t i = 0; i < n; ++i) out.push_back(motif[i % motif.size()]);
        break;
    }
    }
    return out;
}

Bytes MakeSongState(bool busy) {
    Bytes s(5916, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k) s[at + k] = static_cast<uint8_t>(v >> (8 * k));
    };
    put32(0, 10); // tempo
    put32(4, busy ? 31 : 0);
    std::mt19937 rng(5);
    if (busy) {
        for (int track = 1; track < 28; ++track) {
            for (int row = 0; row < 64; ++row) {
                if (rng() % 3 == 0) continue;
                const size_t cell = 12 + size_t(track) * 128 + size_t(row) * 2;
                s[cell] = static_cast<uint8_t>(rng() % 16);
                s[cell + 1] = static_cast<uint8_t>(1 + rng() % 78);
            }
        }
        for (int pos = 0; pos < 32; ++pos) {
            for (int ch = 0; ch < 4; ++ch)
                s[4108 + pos * 8 + ch * 2] = static_cast<uint8_t>(1 + rng() % 27);
        }
    }
    for (int k = 0; k < 16; ++k) {
        const size_t rec = 4508 + size_t(k) * 88;
        const std::string name = "dummy " + std::to_string(k);
        std::copy(name.begin(), name.end(), s.begin() + rec);
        put32(rec + 32, busy ? rng() % 4 : 0);
        put32(rec + 36, 128);
        put32(rec + 40, 25);
        const double seconds = 0.25;
        uint64_t bits;
        std::memcpy(&bits, &seconds, sizeof bits);
        for (int b = 0; b < 8; ++b) s[rec + 48 + b] = static_cast<uint8_t>(bits >> (8 * b));
        if (busy) {
            for (size_t f = 56; f < 84; f += 4) put32(rec + f, rng() % 15);
        }
    }
    return s;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void ScratchDirTest::SetUp() {
    std::string pattern = (std::filesystem::temp_directory_path() / "xqtestXXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    xq::CloseLog();
}

void ScratchDirTest::TearDown() {
    xq::CloseLog();
    xq::SetLogSwitch(0);
    xq::FailAllocation(-1);
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

} // namespace xqtest
