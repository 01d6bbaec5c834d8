// End to end through OpenAL's loopback mixer: a started note is heard at its pitch, looping
// voices go on and voices played once end.
#include "platform/openal/openal_voices.h"
#include "sound/audio_output.h"
#include "sound/instrument_bank.h"
#include "sound/synthesis.h"
#include "tests/sound/measure_hz.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// Mixes `skip` frames, then returns the loudest of the next `count`.
int Peak(OpenAlVoices& voices, int skip, int count) {
    std::vector<int16_t> mix(static_cast<size_t>(std::max(skip, count)));
    voices.Render(mix.data(), skip);
    voices.Render(mix.data(), count);
    int peak = 0;
    for (int i = 0; i < count; ++i) peak = std::max(peak, std::abs(int(mix[i])));
    return peak;
}

// The real OpenAL mixer, on its loopback device: no sound card needed.
class AudioLoopback : public ::testing::Test {
  protected:
    static constexpr int rate = 48000;
    OpenAlVoices loop;
    void SetUp() override {
        ASSERT_TRUE(loop.OpenLoopback(rate));
        SetVoices(&loop);
        InitSoundBank();
        StartAudio();
    }
    void TearDown() override { SetVoices(nullptr); }
};

TEST_F(AudioLoopback, StartedNotesAreHeardAtTheirPitch) {
    for (int hz : {440, 262}) {
        StartPulseNote(hz);
        std::vector<int16_t> mix(rate / 2);
        loop.Render(mix.data(), static_cast<int>(mix.size()));
        EXPECT_NEAR(MeasureHz(mix, 2400, rate / 2 - 2400, rate), hz, hz * 0.01);
        // Voices 0..3 play at -10 dB: a full-scale square reaches about a third of full scale.
        int peak = 0;
        for (int16_t v : mix) peak = std::max(peak, std::abs(int(v)));
        EXPECT_GT(peak, 6000);
        EXPECT_LT(peak, 16000);
    }
    // Stopped, the mix falls silent.
    StopChannel(1);
    EXPECT_LT(Peak(loop, rate / 10, rate / 20), 100);
}

TEST_F(AudioLoopback, LoopingVoicesGoOnAndOnceVoicesEnd) {
    auto start = [](int useLength) { StartPulseNote(440, useLength); };
    // A sustained note loops: still sounding after 3 s.
    start(0);
    EXPECT_EQ(engine.loop_flags[1], 1);
    EXPECT_GT(Peak(loop, 3 * rate, rate / 10), 6000);
    // With "Use Length" it plays once: 81,664 samples at 45056 Hz last 1.8125 s, then silence.
    StopChannel(1);
    start(1);
    EXPECT_EQ(engine.loop_flags[1], 0);
    EXPECT_GT(Peak(loop, rate * 17 / 10, rate / 20), 6000); // 1.70 .. 1.75 s
    EXPECT_LT(Peak(loop, rate / 10, rate / 10), 100);       // 1.85 .. 1.95 s
}

} // namespace
