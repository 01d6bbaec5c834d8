// One sequencer tick that starts four notes (four renders and four voice starts), on the
// recording fake platform so that only the program's own work is measured.
#include "platform/fake_platform.h"
#include "song/sequencer.h"
#include "song/song_model.h"
#include "sound/audio_output.h"
#include "sound/instrument_bank.h"

#include <benchmark/benchmark.h>

namespace {

void TickWithFourNotes(benchmark::State& state) {
    FakePlatform fake;
    InstallFake(&fake);
    ResetSong();
    InitSoundBank();
    StartAudio();
    for (int k = 0; k < 4; ++k) {
        SoundBank[k].soundType = k;
        SoundBank[k].initVolume = 15;
        SoundBank[k].fade = 9;
        SoundBank[k].waveform = 2;
    }
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        song.song_positions[0][c] = static_cast<int16_t>(1 + c);
        for (int r = 0; r < TRACK_ROWS; ++r)
            SetCell(1 + c, r, Cell{static_cast<uint8_t>(c), static_cast<uint8_t>(10 + c)});
    }
    play.warmup_ticks = WARMUP_TICKS;
    StartPatternPlay();
    play.countdown_left = 0;
    play.play_armed = 1;
    for (auto _ : state) {
        SequencerTick();
        fake.audioLog.clear();
    }
    InstallFake(nullptr);
}
BENCHMARK(TickWithFourNotes)->Unit(benchmark::kMicrosecond);

} // namespace
