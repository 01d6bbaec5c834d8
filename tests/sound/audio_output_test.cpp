// The five voices: what starting, stopping and the click ask of the platform, and, end to end
// through OpenAL's loopback mixer, that a started note is heard at its pitch.
#include "platform/fake_platform.h"
#include "platform/openal/openal_voices.h"
#include "sound/audio_output.h"
#include "sound/instrument_bank.h"
#include "sound/synthesis.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class AudioOutput : public ::testing::Test {
  protected:
    void SetUp() override {
        InstallFake(&fake);
        InitSoundBank();
        StartAudio();
        fake.audioLog.clear();
    }
    void TearDown() override { InstallFake(nullptr); }
    // Renders and starts instrument 0 as sound type t at `hz`.
    void Play(int t, int hz, int fade = 7) {
        engine.ActiveSound = {};
        engine.ActiveSound.soundType = t;
        engine.ActiveSound.testFrequency = hz;
        engine.ActiveSound.initVolume = 15;
        engine.ActiveSound.fade = fade;
        engine.ActiveSound.pitchBend = 7;
        engine.ActiveSound.waveform = 2;
        SelectRenderBuffer(t);
        RenderSound(t);
        StartSound(t);
    }
    FakePlatform fake;
};

TEST_F(AudioOutput, VoicesAreCreatedWithTheirSizesAndVolumes) {
    FakePlatform other;
    InstallFake(&other);
    StartAudio();
    EXPECT_EQ(other.audioLog,
              (std::vector<std::string>{"create 0 81664 -1000", "create 1 81664 -1000",
                                        "create 2 81664 -1000", "create 3 81664 -1000",
                                        "create 4 40960 -100"}));
    EXPECT_EQ(engine.current_render_buffer, 0);
}

TEST_F(AudioOutput, StartSoundStopsFillsAndPlaysOncePerTick) {
    Play(1, 440);
    // Never started before: no stop reaches the platform.
    EXPECT_EQ(fake.audioLog, (std::vector<std::string>{"fill 1 81664", "play 1 loop"}));
    EXPECT_EQ(engine.playing_flags[1].load(), 1);
    EXPECT_EQ(engine.sound_started[1].load(), 1);
    // The voice holds the render less its last 256 samples.
    EXPECT_TRUE(std::equal(engine.render_buffers[1], engine.render_buffers[1] + VOICE_LENGTH,
                           fake.voices[1].samples.begin()));
    // A second start of the same type in the same tick changes nothing.
    fake.audioLog.clear();
    Play(1, 880);
    EXPECT_TRUE(fake.audioLog.empty());
    ClearStartedFlags();
    Play(1, 880, 9); // fades out: played once
    EXPECT_EQ(fake.audioLog, (std::vector<std::string>{"stop 1", "fill 1 81664", "play 1 once"}));
}

TEST_F(AudioOutput, StopChannelOnlyStopsPlayingVoicesButAlwaysTheClick) {
    StopChannel(2);
    StopChannel(9);
    StopChannel(-1);
    EXPECT_TRUE(fake.audioLog.empty());
    EXPECT_EQ(engine.playing_flags[2].load(), 0);
    Play(2, 262);
    StopChannel(2);
    EXPECT_EQ(engine.playing_flags[2].load(), 0);
    EXPECT_EQ(fake.audioLog.back(), "stop 2");
    fake.audioLog.clear();
    PlayClick();
    PlayClick();
    EXPECT_EQ(fake.audioLog,
              (std::vector<std::string>{"stop 4", "play 4 once", "stop 4", "play 4 once"}));
    StartSound(4);
    StartSound(-1);
    EXPECT_EQ(fake.audioLog.size(), 4u);
}

// Counts rising zero crossings of a signal around its mean.
double MeasureHz(const std::vector<int16_t>& mix, int from, int count, int rate) {
    double mean = 0;
    for (int i = from; i < from + count; ++i) mean += mix[i];
    mean /= count;
    int first = -1, last = -1, crossings = 0;
    for (int i = from + 1; i < from + count; ++i) {
        if (mix[i - 1] < mean && mix[i] >= mean) {
            if (first < 0) first = i;
            last = i;
            ++crossings;
        }
    }
    return crossings < 2 ? 0 : (crossings - 1) * double(rate) / (last - first);
}

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
TEST(AudioLoopback, StartedNotesAreHeardAtTheirPitch) {
    OpenAlVoices loop;
    constexpr int rate = 48000;
    ASSERT_TRUE(loop.OpenLoopback(rate));
    SetVoices(&loop);
    InitSoundBank();
    StartAudio();
    for (int hz : {440, 262}) {
        ClearStartedFlags();
        engine.ActiveSound = {};
        engine.ActiveSound.soundType = 1;
        engine.ActiveSound.testFrequency = hz;
        engine.ActiveSound.initVolume = 15;
        engine.ActiveSound.fade = 7;
        engine.ActiveSound.waveform = 2;
        SelectRenderBuffer(1);
        RenderSound(1);
        StartSound(1);
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
    SetVoices(nullptr);
}

TEST(AudioLoopback, LoopingVoicesGoOnAndOnceVoicesEnd) {
    OpenAlVoices loop;
    constexpr int rate = 48000;
    ASSERT_TRUE(loop.OpenLoopback(rate));
    SetVoices(&loop);
    InitSoundBank();
    StartAudio();
    auto start = [](int useLength) {
        ClearStartedFlags();
        engine.ActiveSound = {};
        engine.ActiveSound.soundType = 1;
        engine.ActiveSound.testFrequency = 440;
        engine.ActiveSound.initVolume = 15;
        engine.ActiveSound.fade = 7;
        engine.ActiveSound.useLength = useLength;
        engine.ActiveSound.lengthSeconds = 2.0; // longer than the buffer: it sounds to its end
        engine.ActiveSound.waveform = 2;
        SelectRenderBuffer(1);
        RenderSound(1);
        StartSound(1);
    };
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
    SetVoices(nullptr);
}

} // namespace
