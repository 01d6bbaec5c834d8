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

// The generator's state after `draws` draws from `state`.
uint32_t NoiseAdvance(uint32_t state, uint64_t draws);

// Bit 16 of the state after the `n`-th draw from `state` (n >= 1).
bool NoiseBit(uint32_t state, uint64_t n);

// Writes `runs` runs of `hold` samples from `out` on: run k (from 0) is `odd` when bit 16 of the
// state after draw k + 1 from `state` is set, else `even`. The state itself is not changed. May
// write up to 15 bytes past the last run, which the caller writes afterwards.
void WriteNoiseRuns(uint8_t* out, uint32_t state, int64_t runs, int32_t hold, uint8_t odd,
                    uint8_t even);
