// Rendering one whole note for each sound type, beside a baseline that only fills the same
// buffer with memset. The ratio of the two is the figure that matters.
#include "sound/instrument_bank.h"
#include "sound/synthesis.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

void MemsetBaseline(benchmark::State& state) {
    for (auto _ : state) {
        std::memset(engine.render_buffers[0], static_cast<int>(state.iterations() & 0xFF),
                    RENDER_LENGTH);
        benchmark::DoNotOptimize(engine.render_buffers[0]);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(MemsetBaseline);

// args: sound type, frequency in Hz, shaped (1: fade-out and a slow sweep down; 0: a plain
// sustained note, no envelope and no sweep)
void RenderNote(benchmark::State& state) {
    InitSoundBank();
    const int type = static_cast<int>(state.range(0));
    engine.ActiveSound.soundType = type;
    engine.ActiveSound.testFrequency = static_cast<int32_t>(state.range(1));
    engine.ActiveSound.initVolume = 15;
    const bool shaped = state.range(2) != 0;
    engine.ActiveSound.fade = shaped ? 9 : 7;      // 9: the envelope acts every 1408 samples
    engine.ActiveSound.period = shaped ? 3 : 0;    // 3: sweep steps of 131.79 samples
    engine.ActiveSound.pitchBend = shaped ? 6 : 7; // 6: sweeping slowly down
    engine.ActiveSound.waveform = 2;
    engine.ActiveSound.waveformType = 0;
    engine.ActiveSound.useLength = 0;
    const int32_t frequency = engine.ActiveSound.testFrequency;
    SelectRenderBuffer(type);
    for (auto _ : state) {
        engine.ActiveSound.testFrequency = frequency;
        RenderSound(type);
        benchmark::DoNotOptimize(engine.current_render_buffer);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(RenderNote)
    ->ArgNames({"type", "hz", "shaped"})
    ->ArgsProduct({{0, 1, 2, 3}, {65, 440, 1480}, {0, 1}})
    ->Apply([](benchmark::internal::Benchmark* b) {
        // Noise at every frequency of its table, with the envelope stepping.
        for (const NoiseFrequency& f : NOISE_FREQUENCIES) b->Args({3, f.frequency, 1});
    });

} // namespace
