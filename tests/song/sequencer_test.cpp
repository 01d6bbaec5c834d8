// The sequencer tick, called directly: warm-up, row and position advance, the command cells, one
// note per sound type, the metronome and count-down, and cells that name nothing playable.
#include "song_fixture.h"

#include "sound/synthesis.h"

#include <vector>

namespace {

class Tick : public SongFixture {
  protected:
    void SetUp() override {
        SongFixture::SetUp();
        // Position p names tracks 4p+0 .. 4p+3, so every channel of every position has its own.
        for (int p = 0; p < 8; ++p)
            for (int c = 0; c < 4; ++c) song.song_positions[p][c] = static_cast<int16_t>(4 * p + c);
    }
    void Play(int position, int row, bool song = true) {
        play.current_position = position;
        play.current_row = static_cast<int16_t>(row);
        if (song) {
            StartSongPlay();
            play.current_row = static_cast<int16_t>(row);
        } else {
            StartPatternPlay();
        }
    }
    int Fills(int voice) { return CountLog("fill " + std::to_string(voice) + " 81664"); }
};

TEST_F(Tick, WarmUpHoldsPlaybackOff) {
    play.warmup_ticks = 0;
    SetCell(0, 0, Cell{0, 10});
    for (int i = 0; i < WARMUP_TICKS; ++i) {
        StartSongPlay();
        SequencerTick();
        EXPECT_EQ(play.playing, 0);
        EXPECT_EQ(play.keyboard_reset_pending.exchange(0), 1);
    }
    EXPECT_EQ(play.warmup_ticks, WARMUP_TICKS);
    EXPECT_EQ(Fills(0), 0);
    StartSongPlay();
    SequencerTick();
    EXPECT_EQ(play.keyboard_reset_pending, 0);
    EXPECT_EQ(Fills(0), 1);
    EXPECT_EQ(play.current_row, 1);
}

TEST_F(Tick, RowsAdvanceAndTheSongLoopsOrStopsOnItsLastPosition) {
    SetSongSize(3);
    Play(0, 0);
    SequencerTick();
    EXPECT_EQ(play.current_row, 1);
    Play(2, 63);
    SequencerTick();
    EXPECT_EQ(play.current_position, 0);
    EXPECT_EQ(play.current_row, 0);
    EXPECT_EQ(play.playing, 1);

    song.song_loop = 0;
    Play(1, 63);
    SequencerTick();
    EXPECT_EQ(play.current_position, 2);
    Play(2, 63);
    SequencerTick();
    EXPECT_EQ(play.playing, 0);
    EXPECT_EQ(play.song_play, 0);
    EXPECT_EQ(play.current_position, 2); // stays on the last position
    // Playing again and again from there never walks off the song.
    for (int i = 0; i < 3; ++i) {
        Play(play.current_position, 63);
        SequencerTick();
        EXPECT_EQ(play.current_position, 2);
    }

    // Pattern play repeats its own pattern.
    Play(1, 63, false);
    SequencerTick();
    EXPECT_EQ(play.current_position, 1);
    EXPECT_EQ(play.current_row, 0);
    EXPECT_EQ(play.playing, 1);
}

TEST_F(Tick, PositionNeverLeavesTheTable) {
    SetSongSize(64);
    song.song_loop = 0;
    Play(63, 63);
    SequencerTick();
    EXPECT_EQ(play.current_position, 63);
    EXPECT_EQ(play.playing, 0);
    song.song_loop = 1;
    Play(63, 63);
    SequencerTick();
    EXPECT_EQ(play.current_position, 0);

    // A position past the song (the size shrank under it) comes back into the song.
    song.song_size = 3;
    song.song_loop = 0;
    Play(10, 63);
    SequencerTick();
    EXPECT_EQ(play.current_position, 2);
}

TEST_F(Tick, PatternBreakSkipsLowerChannelsAndTheRestOfThePattern) {
    SetSongSize(3);
    SoundBank[1].soundType = 1;
    SetCell(3, 10, Cell{0, 10});                           // channel 3: type 0
    SetCell(2, 10, Cell{CMD_PATTERN_BREAK, NOTE_COMMAND}); // channel 2
    SetCell(1, 10, Cell{1, 10});                           // channel 1: type 1, not reached
    Play(0, 10);
    SequencerTick();
    EXPECT_EQ(Fills(0), 1);
    EXPECT_EQ(Fills(1), 0);
    EXPECT_EQ(play.current_position, 1);
    EXPECT_EQ(play.current_row, 0);

    Play(0, 10, false);
    SequencerTick();
    EXPECT_EQ(play.current_position, 0);
    EXPECT_EQ(play.current_row, 0);

    // On the last position without looping the break ends the song there.
    song.song_loop = 0;
    SetCell(8, 5, Cell{CMD_PATTERN_BREAK, NOTE_COMMAND});
    Play(2, 5);
    SequencerTick();
    EXPECT_EQ(play.playing, 0);
    EXPECT_EQ(play.current_position, 2);
}

TEST_F(Tick, StopCommandsStopMusicOrOneVoice) {
    SetCell(3, 0, Cell{0, 10});
    SetCell(3, 1, Cell{CMD_STOP_SOUND_TYPE, NOTE_COMMAND});
    SetCell(2, 1, Cell{0, 20}); // still played: a voice stop does not end the row
    SetCell(0, 2, Cell{CMD_STOP_MUSIC, NOTE_COMMAND});
    Play(0, 0);
    SequencerTick();
    EXPECT_GT(play.channel_level[3], 0);
    SequencerTick();
    EXPECT_EQ(play.channel_level[3], 0);
    EXPECT_EQ(CountLog("stop 0"), 1);
    EXPECT_EQ(Fills(0), 2);
    SequencerTick();
    EXPECT_EQ(play.playing, 0);
    EXPECT_EQ(play.song_play, 0);
    EXPECT_EQ(play.current_row, 2);

    // In pattern play it stops too, rather than replaying the row forever.
    Play(0, 2, false);
    SequencerTick();
    EXPECT_EQ(play.playing, 0);
}

TEST_F(Tick, HighestChannelWinsEachSoundType) {
    SoundBank[1].initVolume = 15;
    SoundBank[1].waveform = 2;
    SoundBank[2].initVolume = 6;
    SoundBank[2].waveform = 0;
    auto voice0After = [&](std::initializer_list<std::pair<int, Cell>> cells) {
        for (int c = 0; c < 4; ++c) SetCell(c, 0, Cell{});
        for (auto [channel, cell] : cells) SetCell(channel, 0, cell);
        for (auto& level : play.channel_level) level = 0;
        Play(0, 0);
        SequencerTick();
        return fake.voices[0].samples;
    };
    const std::vector<uint8_t> high = voice0After({{3, Cell{1, 10}}});
    const std::vector<uint8_t> low = voice0After({{1, Cell{2, 22}}});
    ASSERT_NE(high, low);
    const int fillsBefore = Fills(0);
    EXPECT_EQ(voice0After({{3, Cell{1, 10}}, {1, Cell{2, 22}}}), high);
    EXPECT_EQ(Fills(0), fillsBefore + 1);
    EXPECT_EQ(play.channel_level[3], LEVEL_RISE_LOW);
    EXPECT_EQ(play.channel_level[1], LEVEL_RISE_LOW); // the unheard note still moves its meter
    play.channel_level[1] = LEVEL_LOW + 1;            // above 1500 a meter rises less
    // The flags are cleared after the row, so the next row plays again.
    SequencerTick();
    SetCell(1, 1, Cell{2, 22});
    play.current_row = 1;
    SequencerTick();
    EXPECT_EQ(Fills(0), fillsBefore + 2);
    EXPECT_EQ(play.channel_level[1], LEVEL_LOW + 1 + LEVEL_RISE_HIGH);
}

TEST_F(Tick, MetronomeCountsDownBeforeTheFirstRow) {
    play.metronome_enabled = 1;
    settings.metronome_step = 4;
    settings.record_enabled = 1;
    settings.countdown_start = 3;
    SetCell(0, 0, Cell{0, 10});
    Play(0, 0);
    std::vector<int> images;
    for (int i = 1; i <= 9; ++i) {
        SequencerTick();
        ApplyTickRequests();
        images.push_back(fake.image(COUNTDOWN_BUTTON));
        fake.control(MAIN_WINDOW, COUNTDOWN_BUTTON).image = 0;
        if (i < 9) {
            EXPECT_EQ(play.current_row, 0) << "tick " << i;
        }
    }
    EXPECT_EQ(images, (std::vector<int>{129, 0, 0, 0, 130, 0, 0, 0, 131}));
    EXPECT_EQ(CountLog("play 4 once"), 3);
    EXPECT_EQ(play.current_row, 1);
    EXPECT_EQ(Fills(0), 1);
    EXPECT_EQ(play.countdown_left, 0);
    // The metronome keeps clicking every fourth row.
    for (int i = 0; i < 4; ++i) SequencerTick();
    EXPECT_EQ(CountLog("play 4 once"), 4);
    EXPECT_EQ(play.current_row, 5);
}

TEST_F(Tick, CountdownSkippedWithoutMetronomeAndWaitsUnarmedAtOne) {
    settings.record_enabled = 1;
    settings.countdown_start = 3;
    Play(0, 0);
    SequencerTick();
    EXPECT_EQ(play.current_row, 1);
    EXPECT_EQ(play.countdown_left, 0);

    settings.countdown_start = 1;
    play.metronome_enabled = 1;
    Play(0, 0);
    EXPECT_EQ(play.play_armed, 0);
    for (int i = 0; i < 5; ++i) SequencerTick();
    EXPECT_EQ(play.current_row, 0);
    play.play_armed = 1; // the first MIDI message
    SequencerTick();
    EXPECT_EQ(play.current_row, 1);

    // A count-down larger than the images shows the first digit; a negative one does not hang.
    settings.countdown_start = 9;
    Play(0, 0);
    play.metronome_count = 3;
    SequencerTick();
    ApplyTickRequests();
    EXPECT_EQ(fake.image(COUNTDOWN_BUTTON), 126);
    play.countdown_left = -2;
    play.metronome_count = 0;
    SequencerTick();
    EXPECT_EQ(play.current_row, 1);
}

TEST_F(Tick, CellsNamingNothingPlayableAreSkipped) {
    SoundBank[3].soundType = 3;
    song.song_positions[0][3] = 40;
    song.song_positions[0][2] = -3;
    SetCell(1, 0, Cell{16, 10});  // no such instrument
    SetCell(0, 0, Cell{200, 10}); // no such instrument
    Play(0, 0);
    SequencerTick();
    EXPECT_EQ(Fills(0), 0);
    EXPECT_EQ(play.channel_level[1], 0);
    EXPECT_EQ(play.channel_level[0], 0);
    EXPECT_EQ(play.current_row, 1);

    // Notes beyond the frequency tables sound without reading past them.
    SetCell(1, 1, Cell{0, 200}); // tone note with no entry
    SetCell(0, 1, Cell{3, 63});  // noise note above 31
    SequencerTick();
    EXPECT_EQ(Fills(0), 1);
    EXPECT_EQ(Fills(3), 1);

    // A muted channel is passed over.
    play.channel_muted[0] = 1;
    SetCell(0, 2, Cell{3, 5});
    SequencerTick();
    EXPECT_EQ(Fills(3), 1);
}

TEST_F(Tick, TimerFollowsTempoAndIsKilledBeforeRestart) {
    song.tempo = 7;
    RestartTickTimer();
    EXPECT_EQ(fake.timerPeriodMs, 142);
    const int first = tick_timer_id;
    song.tempo = 30;
    RestartTickTimer();
    EXPECT_EQ(fake.timerPeriodMs, 33);
    EXPECT_EQ(fake.timersKilled, 1);
    EXPECT_NE(tick_timer_id, first);
    EXPECT_EQ(fake.liveTimerId, tick_timer_id);
    song.tempo = 0; // never divides by zero
    RestartTickTimer();
    EXPECT_EQ(fake.timerPeriodMs, 1000);

    SetCell(0, 0, Cell{0, 10});
    Play(0, 0);
    fake.FireTimer(2);
    EXPECT_EQ(play.current_row, 2);
    KillTickTimer();
    EXPECT_EQ(tick_timer_id, 0);
    EXPECT_EQ(fake.liveTimerId, 0);
}

TEST_F(Tick, StopSilencesTheSoundingVoices) {
    SoundBank[1].soundType = 1;
    SetCell(0, 0, Cell{0, 10});
    SetCell(1, 0, Cell{1, 10});
    Play(0, 0);
    SequencerTick();
    StopPlay();
    EXPECT_EQ(play.playing, 0);
    EXPECT_EQ(play.song_play, 0);
    EXPECT_EQ(CountLog("stop 0"), 1);
    EXPECT_EQ(CountLog("stop 1"), 1);
    EXPECT_EQ(CountLog("stop 2"), 0); // never started
    EXPECT_EQ(DisplayCalls::redraws, 1);
}

} // namespace
