#include "sound/noise_runs.h"

#include <cstring>
#include <memory>
#include <vector>

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

// For runs of `hold` <= 8 samples, 8 runs fill `hold` words: per byte of 8 run bits, the masks
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

const uint64_t* RunMasks(int32_t hold) {
    switch (hold) {
    case 1: return MasksFor<1>();
    case 2: return MasksFor<2>();
    case 3: return MasksFor<3>();
    case 4: return MasksFor<4>();
    case 5: return MasksFor<5>();
    case 6: return MasksFor<6>();
    case 7: return MasksFor<7>();
    default: return MasksFor<8>();
    }
}

void Store(uint8_t* at, uint64_t word) {
    std::memcpy(at, &word, 8);
}

} // namespace

uint32_t NoiseAdvance(uint32_t state, uint64_t draws) {
    uint32_t multiplier = 1, increment = 0;
    uint32_t stepMultiplier = NOISE_MULTIPLIER, stepIncrement = NOISE_INCREMENT;
    for (; draws != 0; draws >>= 1) {
        if (draws & 1) {
            multiplier *= stepMultiplier;
            increment = increment * stepMultiplier + stepIncrement;
        }
        stepIncrement = (stepMultiplier + 1) * stepIncrement;
        stepMultiplier *= stepMultiplier;
    }
    return state * multiplier + increment;
}

bool NoiseBit(uint32_t state, uint64_t n) {
    const uint64_t at = (CyclePosition(state & kLowMask) + n) % kCycle;
    return CycleBits()[at / 64] >> (at % 64) & 1;
}

void WriteNoiseRuns(uint8_t* out, uint32_t state, int64_t runs, int32_t hold, uint8_t odd,
                    uint8_t even) {
    if (runs <= 0 || hold <= 0) return;
    const uint64_t* bits = CycleBits().data();
    // The draws' bits start one past the state's own place; a stretch is shorter than a cycle.
    uint64_t at = CyclePosition(state & kLowMask) + 1;
    const uint64_t evenWord = kEveryByte * even, flip = kEveryByte * (odd ^ even);
    int64_t k = 0;
    if (hold <= 8) {
        // Eight runs at a time, as `hold` words.
        const uint64_t* masks = RunMasks(hold);
        for (; k + 64 <= runs; k += 64, at += 64) {
            uint64_t word = BitsAt(bits, at);
            for (int group = 0; group < 8; ++group, word >>= 8, out += 8 * hold) {
                const uint64_t* m = masks + (word & 0xFF) * static_cast<uint64_t>(hold);
                for (int w = 0; w < hold; ++w) Store(out + 8 * w, evenWord ^ (flip & m[w]));
            }
        }
    }
    // Run by run: a run is written in 16-byte stores, the last of which may reach into the
    // next run, which overwrites it.
    for (; k < runs; k += 64, at += 64) {
        uint64_t word = BitsAt(bits, at);
        const int64_t n = runs - k < 64 ? runs - k : 64;
        for (int64_t r = 0; r < n; ++r, word >>= 1, out += hold) {
            const uint64_t value = evenWord ^ (flip & (0 - (word & 1)));
            for (int32_t s = 0; s < hold; s += 16) {
                Store(out + s, value);
                Store(out + s + 8, value);
            }
        }
    }
}
