#include "test_support.h"

#include "lib/XQ_COMPRESS/src/ErrorLog.h"
#include "lib/XQ_COMPRESS/src/Memory.h"

#include <cstdlib>
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
    s[0] = 10; // tempo
    std::mt19937 rng(5);
    if (busy) {
        s[4] = 31; // 32 positions
        for (size_t cell = 12 + 128; cell < 12 + 28 * 128; cell += 2) {
            if (rng() % 3 == 0) continue;
            s[cell] = static_cast<uint8_t>(rng() % 16);         // instrument
            s[cell + 1] = static_cast<uint8_t>(1 + rng() % 78); // note
        }
        for (size_t at = 4108; at < 4108 + 32 * 8; at += 2) s[at] = uint8_t(1 + rng() % 27);
    }
    for (int k = 0; k < 16; ++k) {
        const size_t rec = 4508 + size_t(k) * 88;
        const std::string name = "dummy " + std::to_string(k);
        std::copy(name.begin(), name.end(), s.begin() + rec);
        s[rec + 36] = 128;  // test frequency
        s[rec + 40] = 25;   // sound length
        s[rec + 54] = 0xD0; // 0.25 as a double: 3FD0000000000000
        s[rec + 55] = 0x3F;
        for (size_t f = 56; busy && f < 84; f += 4) s[rec + f] = static_cast<uint8_t>(rng() % 15);
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
