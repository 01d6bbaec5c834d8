// Throughput of the compression methods on the inputs that matter: the 5,916-byte song state
// of an empty song and of a busy one, and 1 MiB of mixed data. Each benchmark reports bytes per
// second of unpacked data and the packed/unpacked ratio ("ratio").
#include "lib/XQ_COMPRESS/src/Lzari.h"
#include "lib/XQ_COMPRESS/src/Lzss.h"
#include "lib/XQ_COMPRESS/src/Rle.h"
#include "lib/XQ_COMPRESS/src/XQ_Compress.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& s, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) s[at + k] = static_cast<uint8_t>(v >> (8 * k));
}

// The song state as the song file packs it: tempo, size, reserved word, 32 tracks of 64
// two-byte cells, 50 song positions of four 16-bit track numbers, 16 instruments of 88 bytes.
Bytes SongState(bool busy) {
    Bytes s(5916, 0);
    std::mt19937 rng(17);
    Put32(s, 0, 10);
    Put32(s, 4, busy ? 40 : 0);
    if (busy) {
        // 24 tracks with a note on most rows, and 41 positions that use them.
        for (int track = 1; track <= 24; ++track) {
            for (int row = 0; row < 64; ++row) {
                if (rng() % 4 == 0) continue;
                const size_t cell = 12 + size_t(track) * 128 + size_t(row) * 2;
                s[cell] = static_cast<uint8_t>(rng() % 16);
                s[cell + 1] = static_cast<uint8_t>(1 + rng() % 78);
            }
        }
        for (int pos = 0; pos <= 40; ++pos) {
            for (int ch = 0; ch < 4; ++ch) s[4108 + pos * 8 + ch * 2] = uint8_t(1 + rng() % 24);
        }
    }
    for (int k = 0; k < 16; ++k) {
        const size_t rec = 4508 + size_t(k) * 88;
        const std::string name =
            busy ? "lead " + std::to_string(k * 7) : "dummy " + std::to_string(k);
        std::memcpy(&s[rec], name.data(), name.size());
        Put32(s, rec + 32, busy ? rng() % 4 : 0);
        Put32(s, rec + 36, 128);
        Put32(s, rec + 40, busy ? rng() % 26 : 25);
        const double seconds = 0.25;
        std::memcpy(&s[rec + 48], &seconds, sizeof seconds); // little-endian hosts only
        if (busy) {
            for (size_t f = 56; f < 84; f += 4) Put32(s, rec + f, rng() % 15);
        }
    }
    return s;
}

// 1 MiB in 64 KiB stretches of text, zeros, random bytes and a repeating motif.
Bytes Mixed() {
    static const char* const words[] = {"the",   "song", "pattern", "track", "note",  "row",
                                        "tempo", "of",   "and",     "a",     "sound", "channel"};
    std::mt19937 rng(3);
    Bytes out;
    while (out.size() < (1u << 20)) {
        const size_t end = out.size() + (64u << 10);
        switch ((out.size() >> 16) % 4) {
        case 0:
            while (out.size() < end) {
                const std::string w = words[rng() % std::size(words)];
                out.insert(out.end(), w.begin(), w.end());
                out.push_back(rng() % 9 ? ' ' : '\n');
            }
            out.resize(end);
            break;
        case 1: out.resize(end, 0); break;
        case 2:
            while (out.size() < end) out.push_back(static_cast<uint8_t>(rng()));
            break;
        case 3:
            for (size_t i = 0; out.size() < end; ++i)
                out.push_back(uint8_t("tavomix-motif"[i % 13]));
            break;
        }
    }
    return out;
}

const Bytes& Input(int which) {
    static const Bytes inputs[] = {SongState(false), SongState(true), Mixed()};
    return inputs[which];
}

const char* const INPUT_NAMES[] = {"empty song", "busy song", "1 MiB mixed"};

using EncodeFn = bool (*)(const uint8_t*, uint32_t, uint8_t*, size_t, uint32_t*);
using DecodeFn = uint32_t (*)(const uint8_t*, uint32_t, uint8_t*, uint32_t);

bool Rle1Encode(const uint8_t* s, uint32_t n, uint8_t* o, size_t c, uint32_t* p) {
    return xq::RleEncode(s, n, 1, o, c, p);
}
uint32_t Rle1Decode(const uint8_t* p, uint32_t n, uint8_t* d, uint32_t u) {
    return xq::RleDecode(p, n, d, u, 1);
}

Bytes Pack(EncodeFn encode, const Bytes& input) {
    Bytes out(input.size() + input.size() / 2 + 64);
    uint32_t n = 0;
    encode(input.data(), uint32_t(input.size()), out.data(), out.size(), &n);
    out.resize(n);
    return out;
}

void Encode(benchmark::State& state, EncodeFn encode) {
    const Bytes& input = Input(int(state.range(0)));
    Bytes out(input.size() + input.size() / 2 + 64);
    uint32_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            encode(input.data(), uint32_t(input.size()), out.data(), out.size(), &n));
        benchmark::ClobberMemory();
    }
    state.SetLabel(INPUT_NAMES[state.range(0)]);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(input.size()));
    state.counters["ratio"] = double(n) / double(input.size());
}

void Decode(benchmark::State& state, EncodeFn encode, DecodeFn decode) {
    const Bytes& input = Input(int(state.range(0)));
    const Bytes packed = Pack(encode, input);
    Bytes out(input.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            decode(packed.data(), uint32_t(packed.size()), out.data(), uint32_t(out.size())));
        benchmark::ClobberMemory();
    }
    if (out != input) state.SkipWithError("decoded bytes differ");
    state.SetLabel(INPUT_NAMES[state.range(0)]);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(input.size()));
    state.counters["ratio"] = double(packed.size()) / double(input.size());
}

void BM_LzssEncode(benchmark::State& s) {
    Encode(s, xq::LzssEncode);
}
void BM_LzssDecode(benchmark::State& s) {
    Decode(s, xq::LzssEncode, xq::LzssDecode);
}
void BM_LzssDecodeFast(benchmark::State& s) {
    Decode(s, xq::LzssEncode, xq::LzssDecodeFast);
}
void BM_LzariEncode(benchmark::State& s) {
    Encode(s, xq::LzariEncode);
}
void BM_LzariDecode(benchmark::State& s) {
    Decode(s, xq::LzariEncode, xq::LzariDecode);
}
void BM_Rle1Encode(benchmark::State& s) {
    Encode(s, Rle1Encode);
}
void BM_Rle1Decode(benchmark::State& s) {
    Decode(s, Rle1Encode, Rle1Decode);
}

// What saving a song costs: the container's LZSS pack of the song state, block included.
void BM_CompressBlockSongState(benchmark::State& state) {
    const Bytes& input = Input(int(state.range(0)));
    uint32_t packed = 0;
    for (auto _ : state) {
        xq::PackedBlock* block =
            xq::CompressBlock(input.data(), uint32_t(input.size()), xq::METHOD_LZSS);
        packed = block->packedSize;
        xq::FreeBlock(block);
    }
    state.SetLabel(INPUT_NAMES[state.range(0)]);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(input.size()));
    state.counters["ratio"] = double(packed) / double(input.size());
}

#define XQ_INPUTS DenseRange(0, 2)->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_LzssEncode)->XQ_INPUTS;
BENCHMARK(BM_LzssDecode)->XQ_INPUTS;
BENCHMARK(BM_LzssDecodeFast)->XQ_INPUTS;
BENCHMARK(BM_LzariEncode)->XQ_INPUTS;
BENCHMARK(BM_LzariDecode)->XQ_INPUTS;
BENCHMARK(BM_Rle1Encode)->XQ_INPUTS;
BENCHMARK(BM_Rle1Decode)->XQ_INPUTS;
BENCHMARK(BM_CompressBlockSongState)->DenseRange(0, 1)->Unit(benchmark::kMicrosecond);

} // namespace
