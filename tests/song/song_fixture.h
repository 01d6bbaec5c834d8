// A fresh song, bank, audio output and fake platform for each test, with the display hooks
// counting their calls.
#pragma once

#include "platform/fake_platform.h"
#include "song/sequencer.h"
#include "song/song_model.h"
#include "sound/audio_output.h"
#include "sound/instrument_bank.h"
#include "sound/sound_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

struct DisplayCalls {
    static inline int redraws = 0, selectors = 0, titles = 0, infos = 0, settings = 0;
};

class SongFixture : public ::testing::Test {
  protected:
    FakePlatform fake;

    void SetUp() override {
        InstallFake(&fake);
        ResetSong();
        DisplayCalls::redraws = DisplayCalls::selectors = DisplayCalls::titles = 0;
        DisplayCalls::infos = DisplayCalls::settings = 0;
        ResetSongDisplay();
        song_display.redrawPatternView = [] { ++DisplayCalls::redraws; };
        song_display.showSongInfo = [] { ++DisplayCalls::infos; };
        song_display.fillSelectors = [] { ++DisplayCalls::selectors; };
        song_display.updateTitle = [] { ++DisplayCalls::titles; };
        song_display.refreshSettings = [] { ++DisplayCalls::settings; };
        play = PlayState{};
        play.warmup_ticks = WARMUP_TICKS;
        settings = StoredSettings{};
        settings.record_enabled = 0;
        tick_timer_id = 0;
        const EngineLockGuard lock(sound_engine_lock);
        InitSoundBank();
        StartAudio();
    }

    void TearDown() override {
        KillTickTimer();
        ResetSongDisplay();
        InstallFake(nullptr);
    }

    int CountLog(const std::string& entry) {
        return static_cast<int>(std::count(fake.audioLog.begin(), fake.audioLog.end(), entry));
    }
};
