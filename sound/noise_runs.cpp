#include "sound/noise_runs.h"

#include <array>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr int kCycleBits = 17;
constexpr uint32_t kCycle = 1u << kCycleBits;
constexpr uint32_t kLowMask = kCycle - 1;
constexpr uint64_t kEveryByte = 0x0101010101010101ull;

// Bit 16 of the states of one cycle of the low 17 bits, from state 0, twice over (a stretch of
// draws may run past the cycle's end) and a word more, one bit per draw.
const std::vector<uint64_t>& CycleBits() {
    static const std::vector<uint64_t> bits = [] {
        std::vector<uint64_t> b(2 * kCycle / 64 + 1);
        uint32_t x = 0;
        for (uint32_t p = 0; p < 2 * kCycle + 64; ++p) {
            if (x >> 16 & 1) b[p / 64] |= uint64_t{1} << (p % 64);
            x = (x * NOISE_MULTIPLIER + NOISE_INCREMENT) & kLowMask;
        }
        return b;
    }();
    return bits;
}

// Where the low 17 bits of `state` stand in the cycle from 0: the number of draws from 0 that
// reach them. Found bit by bit: 2^i draws keep the bits below i and flip bit i.
uint32_t CyclePosition(uint32_t state) {
    uint32_t at = 0, position = 0, multiplier = NOISE_MULTIPLIER, increment = NOISE_INCREMENT;
    for (int i = 0; i < kCycleBits; ++i) {
        if ((at ^ state) >> i & 1) {
            at = at * multiplier + increment;
            position |= 1u << i;
        }
        increment = (multiplier + 1) * increment;
        multiplier *= multiplier;
    }
    return position;
}

// 64 bits of the table from bit `at` on.
uint64_t BitsAt(const uint64_t* bits, uint64_t at) {
    const uint64_t word = at / 64, shift = at % 64;
    return shift == 0 ? bits[word] : bits[word] >> shift | bits[word + 1] << (64 - shift);
}

void Store(uint8_t* at, uint64_t word) {
    std::memcpy(at, &word, 8);
}

#if !defined(__SSE2__)
// For runs of `hold` <= 16 samples, 8 runs fill `hold` words: per byte of 8 run bits, the masks
// of those words (0xFF where a sample belongs to a run whose bit is set).
std::unique_ptr<uint64_t[]> BuildRunMasks(int32_t hold) {
    auto table = std::make_unique<uint64_t[]>(256 * static_cast<size_t>(hold));
    for (int bits = 0; bits < 256; ++bits)
        for (int sample = 0; sample < 8 * hold; ++sample)
            if (bits >> (sample / hold) & 1)
                table[static_cast<size_t>(bits * hold + sample / 8)] |= uint64_t{0xFF}
                                                                        << (8 * (sample % 8));
    return table;
}

// Each table is built on its hold's first use.
template <int32_t Hold> const uint64_t* MasksFor() {
    static const std::unique_ptr<uint64_t[]> masks = BuildRunMasks(Hold);
    return masks.get();
}

// Writes the runs of a hold of at most 16 samples eight at a time, as `Hold` words each; returns
// how many runs it wrote (all but the last few).
template <int32_t Hold>
int64_t WriteGroups(uint8_t* out, const uint64_t* bits, uint64_t at, int64_t runs,
                    uint64_t evenWord, uint64_t flip) {
    const uint64_t* masks = MasksFor<Hold>();
    const auto group = [&](uint64_t eight) {
        const uint64_t* m = masks + eight * Hold;
        for (int w = 0; w < Hold; ++w) Store(out + 8 * w, evenWord ^ (flip & m[w]));
        out += 8 * Hold;
    };
    int64_t k = 0;
    for (; k + 64 <= runs; k += 64, at += 64) {
        const uint64_t word = BitsAt(bits, at);
        for (int g = 0; g < 64; g += 8) group(word >> g & 0xFF);
    }
    const uint64_t word = BitsAt(bits, at);
    for (int g = 0; k + 8 <= runs; k += 8, g += 8) group(word >> g & 0xFF);
    return k;
}
#else
// Runs of one sample, one bit each, in 16-byte stores: each byte of bits is copied to the 8 lanes
// of its samples, and lane i of the 8 keeps bit i. Writes 64 samples at a time, then 16, the
// last 16 reaching up to 15 samples past the runs; returns `runs`.
int64_t WriteSingles(uint8_t* out, const uint64_t* bits, uint64_t at, int64_t runs,
                     uint64_t evenWord, uint64_t flip) {
    const __m128i lane = _mm_set1_epi64x(static_cast<int64_t>(0x8040201008040201ull));
    const __m128i even = _mm_set1_epi64x(static_cast<int64_t>(evenWord));
    const __m128i flips = _mm_set1_epi64x(static_cast<int64_t>(flip));
    // 16 samples from two bytes of bits, each byte repeated 8 times.
    const auto put = [&](uint8_t* to, __m128i spread) {
        const __m128i set = _mm_cmpeq_epi8(_mm_and_si128(spread, lane), lane);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to),
                         _mm_xor_si128(even, _mm_and_si128(set, flips)));
    };
    int64_t k = 0;
    for (; k + 64 <= runs; k += 64, at += 64, out += 64) {
        const __m128i word = _mm_set_epi64x(0, static_cast<int64_t>(BitsAt(bits, at)));
        const __m128i twice = _mm_unpacklo_epi8(word, word);
        const __m128i low = _mm_unpacklo_epi16(twice, twice);
        const __m128i high = _mm_unpackhi_epi16(twice, twice);
        put(out, _mm_unpacklo_epi32(low, low));
        put(out + 16, _mm_unpackhi_epi32(low, low));
        put(out + 32, _mm_unpacklo_epi32(high, high));
        put(out + 48, _mm_unpackhi_epi32(high, high));
    }
    for (; k < runs; k += 16, at += 16, out += 16) {
        const __m128i word = _mm_cvtsi32_si128(static_cast<int>(BitsAt(bits, at) & 0xFFFF));
        const __m128i twice = _mm_unpacklo_epi8(word, word);
        const __m128i low = _mm_unpacklo_epi16(twice, twice);
        put(out, _mm_unpacklo_epi32(low, low));
    }
    return runs;
}

// Runs of `Hold` samples, 16 at a time as `Hold` 16-byte stores, from two bytes of their bits each
// repeated to all 16 lanes. Lane j of store s is sample 16s + j, of run (16s + j) / Hold, whose
// bit is bit (run % 8) of the low byte for the first 8 runs and of the high byte for the rest; a
// store that spans both (an odd hold's middle one) takes 8 lanes of each.
template <int32_t Hold> struct SpreadLanes { uint8_t bit[Hold][16]; };

template <int32_t Hold> constexpr SpreadLanes<Hold> MakeSpreadLanes() {
    SpreadLanes<Hold> lanes{};
    for (int32_t sample = 0; sample < 16 * Hold; ++sample)
        lanes.bit[sample / 16][sample % 16] = static_cast<uint8_t>(1u << (sample / Hold % 8));
    return lanes;
}

template <int32_t Hold> constexpr SpreadLanes<Hold> kSpreadLanes = MakeSpreadLanes<Hold>();

// Store `s` of 16 runs whose bytes of bits are `low` and `high`, each in all 16 lanes. Takes
// everything by value: its stores may alias anything its caller holds in memory.
template <int32_t Hold>
void SpreadStore(uint8_t* out, int32_t s, __m128i low, __m128i high, __m128i even, __m128i flips) {
    const __m128i from = 16 * s + 16 <= 8 * Hold ? low
                         : 16 * s >= 8 * Hold    ? high
                                                 : _mm_unpacklo_epi64(low, high);
    const uint8_t* bits = kSpreadLanes<Hold>.bit[s];
    const __m128i lane = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bits));
    const __m128i set = _mm_cmpeq_epi8(_mm_and_si128(from, lane), lane);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * s),
                     _mm_xor_si128(even, _mm_and_si128(set, flips)));
}

// All the stores of 16 runs, each with its lanes and bytes known when compiled.
template <int32_t Hold, int32_t... S>
void SpreadSixteen(std::integer_sequence<int32_t, S...>, uint8_t* out, __m128i low, __m128i high,
                   __m128i even, __m128i flips) {
    (SpreadStore<Hold>(out, S, low, high, even, flips), ...);
}

// Each byte of bits to 4 lanes, then to all 16.
template <int Index> __m128i ByteOf(__m128i fours) {
    return _mm_shuffle_epi32(fours, Index * 0x55);
}

// Writes all `runs`, the last store reaching up to 15 bytes past them; returns `runs`.
template <int32_t Hold>
int64_t WriteSpread(uint8_t* out, const uint64_t* bits, uint64_t at, int64_t runs,
                    uint64_t evenWord, uint64_t flip) {
    const __m128i even = _mm_set1_epi64x(static_cast<int64_t>(evenWord));
    const __m128i flips = _mm_set1_epi64x(static_cast<int64_t>(flip));
    constexpr auto kStores = std::make_integer_sequence<int32_t, Hold>{};
    int64_t k = 0;
    for (; k + 64 <= runs; k += 64, at += 64, out += 64 * Hold) {
        const __m128i word = _mm_set_epi64x(0, static_cast<int64_t>(BitsAt(bits, at)));
        const __m128i twice = _mm_unpacklo_epi8(word, word);
        const __m128i low = _mm_unpacklo_epi16(twice, twice);
        const __m128i high = _mm_unpackhi_epi16(twice, twice);
        SpreadSixteen<Hold>(kStores, out, ByteOf<0>(low), ByteOf<1>(low), even, flips);
        SpreadSixteen<Hold>(kStores, out + 16 * Hold, ByteOf<2>(low), ByteOf<3>(low), even, flips);
        SpreadSixteen<Hold>(kStores, out + 32 * Hold, ByteOf<0>(high), ByteOf<1>(high), even,
                            flips);
        SpreadSixteen<Hold>(kStores, out + 48 * Hold, ByteOf<2>(high), ByteOf<3>(high), even,
                            flips);
    }
    // Then 16 at a time, the last 16 only as far as the runs reach.
    for (; k < runs; k += 16, at += 16, out += 16 * Hold) {
        const __m128i word = _mm_cvtsi32_si128(static_cast<int>(BitsAt(bits, at) & 0xFFFF));
        const __m128i twice = _mm_unpacklo_epi8(word, word);
        const __m128i quad = _mm_unpacklo_epi16(twice, twice);
        const __m128i low = ByteOf<0>(quad), high = ByteOf<1>(quad);
        if (k + 16 <= runs) {
            SpreadSixteen<Hold>(kStores, out, low, high, even, flips);
            continue;
        }
        for (int32_t s = 0; 16 * s < (runs - k) * Hold; ++s)
            SpreadStore<Hold>(out, s, low, high, even, flips);
    }
    return runs;
}
#endif

// The bulk writer of each short hold; each writes all but at most the last few runs and returns
// how many it wrote. Hold 0 writes none.
using BulkWriter = int64_t (*)(uint8_t*, const uint64_t*, uint64_t, int64_t, uint64_t, uint64_t);

template <int32_t Hold>
int64_t WriteBulk(uint8_t* out, const uint64_t* bits, uint64_t at, int64_t runs, uint64_t evenWord,
                  uint64_t flip) {
#if defined(__SSE2__)
    if constexpr (Hold == 1) return WriteSingles(out, bits, at, runs, evenWord, flip);
    if constexpr (Hold > 1) return WriteSpread<Hold>(out, bits, at, runs, evenWord, flip);
#else
    if constexpr (Hold >= 1 && Hold <= 16)
        return WriteGroups<Hold>(out, bits, at, runs, evenWord, flip);
#endif
    return 0;
}

template <int32_t... Holds>
constexpr std::array<BulkWriter, sizeof...(Holds)>
BulkWriters(std::integer_sequence<int32_t, Holds...>) {
    return {&WriteBulk<Holds>...};
}

constexpr int32_t kBulkHolds = 23;
constexpr std::array<BulkWriter, kBulkHolds> kBulkWriters =
    BulkWriters(std::make_integer_sequence<int32_t, kBulkHolds>{});

// The jump over `draws` draws: x * multiplier + increment.
void Jump(uint64_t draws, uint32_t& multiplier, uint32_t& increment) {
    multiplier = 1, increment = 0;
    uint32_t stepMultiplier = NOISE_MULTIPLIER, stepIncrement = NOISE_INCREMENT;
    for (; draws != 0; draws >>= 1) {
        if (draws & 1) {
            multiplier *= stepMultiplier;
            increment = increment * stepMultiplier + stepIncrement;
        }
        stepIncrement = (stepMultiplier + 1) * stepIncrement;
        stepMultiplier *= stepMultiplier;
    }
}

} // namespace

NoiseCursor::NoiseCursor(uint32_t start)
    : state(start), position(CyclePosition(start & kLowMask)) {}

uint32_t NoiseCursor::Draw() {
    state = state * NOISE_MULTIPLIER + NOISE_INCREMENT;
    position = (position + 1) & kLowMask;
    return (state >> 16) & 0x7FFF;
}

bool NoiseCursor::WriteRuns(uint8_t* out, int64_t runs, int32_t hold, uint8_t odd, uint8_t even) {
    if (runs < 0 || hold <= 0) runs = 0;
    const uint64_t* bits = CycleBits().data();
    // The draws' bits start one past the state's own place; a stretch is shorter than a cycle.
    const uint64_t first = position + 1;
    uint64_t at = first;
    const uint64_t evenWord = kEveryByte * even, flip = kEveryByte * (odd ^ even);
    int64_t k = 0;
    if (hold < kBulkHolds) k = kBulkWriters[hold](out, bits, at, runs, evenWord, flip);
    out += k * hold;
    at += static_cast<uint64_t>(k);
    // Run by run: a short run is written in 16-byte stores, the last of which may reach into
    // the next run, which overwrites it.
    for (; k < runs; k += 64, at += 64) {
        uint64_t word = BitsAt(bits, at);
        const int64_t n = runs - k < 64 ? runs - k : 64;
        for (int64_t r = 0; r < n; ++r, word >>= 1, out += hold) {
            const uint64_t value = evenWord ^ (flip & (0 - (word & 1)));
            if (hold > 64) {
                std::memset(out, static_cast<int>(value & 0xFF), static_cast<size_t>(hold));
                continue;
            }
            for (int32_t s = 0; s < hold; s += 16) {
                Store(out + s, value);
                Store(out + s + 8, value);
            }
        }
    }
    const uint64_t last = first + static_cast<uint64_t>(runs);
    const uint64_t draws = static_cast<uint64_t>(runs) + 1;
    if (draws != jumpDraws) {
        Jump(draws, jumpMultiplier, jumpIncrement);
        jumpDraws = draws;
    }
    state = state * jumpMultiplier + jumpIncrement;
    position = static_cast<uint32_t>(last & kLowMask);
    return bits[last / 64] >> (last % 64) & 1;
}
