// The five voices: what starting, stopping and the click ask of the voices seam.
#include "platform/fake_platform.h"
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

} // namespace
