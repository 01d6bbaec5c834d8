// The costs the editor pays on the UI thread for never losing work: the per-pass look for a
// change (ObserveChanges), one undo step taken, and packing the song for its recovery copy (the
// autosave's part on the UI thread; the writing happens on a thread of its own).
#include "files/song_file.h"
#include "platform/fake_platform.h"
#include "song/song_model.h"
#include "song/undo_history.h"
#include "sound/instrument_bank.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

// Every cell of every track holds a note: the largest song state to compare and pack.
void BusySong() {
    ResetSong();
    InitSoundBank();
    for (int t = 0; t < TRACK_COUNT; ++t)
        for (int r = 0; r < TRACK_ROWS; ++r)
            SetCell(t, r,
                    Cell{static_cast<uint8_t>((t + r) % 16),
                         static_cast<uint8_t>(1 + (t * 7 + r) % 78)});
    for (int p = 0; p < POSITION_COUNT; ++p)
        for (int c = 0; c < CHANNEL_COUNT; ++c) song.song_positions[p][c] = int16_t((p + c) % 32);
}

void LookForAChangeWithNone(benchmark::State& state) {
    FakePlatform fake;
    InstallFake(&fake);
    BusySong();
    ResetUndoHistory();
    for (auto _ : state) ObserveChanges(false);
    state.counters["step_bytes"] = double(UndoStepBytes());
    InstallFake(nullptr);
}
BENCHMARK(LookForAChangeWithNone);

void TakeOneStep(benchmark::State& state) {
    FakePlatform fake;
    InstallFake(&fake);
    BusySong();
    ResetUndoHistory();
    uint8_t note = 1;
    for (auto _ : state) {
        SetCell(0, 0, Cell{0, note});
        note = static_cast<uint8_t>(note % 78 + 1);
        ObserveChanges(false);
    }
    InstallFake(nullptr);
}
BENCHMARK(TakeOneStep);

void PackTheRecoveryCopy(benchmark::State& state) {
    FakePlatform fake;
    InstallFake(&fake);
    BusySong();
    std::vector<uint8_t> bytes;
    for (auto _ : state) {
        PackSongFile(bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["file_bytes"] = double(bytes.size());
    InstallFake(nullptr);
}
BENCHMARK(PackTheRecoveryCopy)->Unit(benchmark::kMicrosecond);

} // namespace
