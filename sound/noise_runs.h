// The noise generator's output in bulk. The generator is x' = x * 214013 + 2531011 (mod 2^32)
// and a noise level depends on bit 16 of x'. That bit depends only on the low 17 bits of x,
// which the generator walks through in one cycle of 2^17 states, so the bits of every draw are
// read from one table of that cycle, and the state jumps over many draws at once: a held noise
// note costs about as much as filling its samples.
//
// Threads: any; the table is built once, on first use.
#pragma once

#include <cstdint>

constexpr uint32_t NOISE_MULTIPLIER = 214013u;
constexpr uint32_t NOISE_INCREMENT = 2531011u;

// The generator with its place in the cycle of its low 17 bits, found once, so that stretches of
// draws are read from the cycle's table.
struct NoiseCursor {
    explicit NoiseCursor(uint32_t start);
    uint32_t state;
    uint32_t position; // of `state` in the cycle from 0
    // The last jump over many draws (x * multiplier + increment): the stretches between two
    // envelope steps are mostly of one length.
    uint64_t jumpDraws = 0;
    uint32_t jumpMultiplier = 1, jumpIncrement = 0;

    // One draw: bits 16..30 of the next state.
    uint32_t Draw();
    // Writes `runs` runs of `hold` samples from `out` on, run k (from 0) `odd` when bit 16 of
    // the state after draw k + 1 is set, else `even`; then makes one more draw and returns that
    // bit. May write up to 15 bytes past the last run, which the caller writes afterwards.
    bool WriteRuns(uint8_t* out, int64_t runs, int32_t hold, uint8_t odd, uint8_t even);
};
