// Two threads playing notes through the one working copy: with the engine lock held around
// each load-set-render sequence, neither can change the other's sound half-way.
#include "sound/instrument_bank.h"
#include "sound/sound_engine.h"
#include "sound/synthesis.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace {

// Loads instrument k, sets the note and renders it, as the tick and note entry do.
void RenderNote(int k, int note) {
    LoadActiveSound(k);
    SetNoteFrequency(note);
    SelectRenderBuffer(engine.ActiveSound.soundType);
    RenderSound(engine.ActiveSound.soundType);
}

TEST(EngineLock, SequencesFromTwoThreadsNeverMix) {
    const EngineLockGuard setup(sound_engine_lock);
    InitSoundBank();
    SoundBank[1].soundType = 1;
    SoundBank[1].initVolume = 15;
    SoundBank[1].waveform = 2;
    SoundBank[2].soundType = 1;
    SoundBank[2].initVolume = 9;
    SoundBank[2].fade = 10;
    SoundBank[2].waveform = 0;
    std::vector<uint8_t> expected[2];
    for (int j = 0; j < 2; ++j) {
        RenderNote(1 + j, 10 + j * 7);
        expected[j].assign(CurrentRenderBuffer(), CurrentRenderBuffer() + RENDER_LENGTH);
    }
    ASSERT_NE(expected[0], expected[1]);

    std::atomic<int> mismatches{0};
    auto player = [&](int j) {
        for (int round = 0; round < 200; ++round) {
            const EngineLockGuard lock(sound_engine_lock);
            RenderNote(1 + j, 10 + j * 7);
            if (std::memcmp(CurrentRenderBuffer(), expected[j].data(), RENDER_LENGTH) != 0)
                ++mismatches;
        }
    };
    sound_engine_lock.unlock();
    std::thread tick(player, 0);
    player(1);
    tick.join();
    sound_engine_lock.lock();
    EXPECT_EQ(mismatches.load(), 0);
}

} // namespace
