// The tick on its own timer thread while the UI thread edits cells, changes the tempo (restarting
// the timer) and plays notes: the shared words and the engine lock keep the two apart.
#include "song_fixture.h"

#include "sound/synthesis.h"

#include <chrono>
#include <thread>

namespace {

using SequencerThread = SongFixture;

TEST_F(SequencerThread, TickPlaysWhileTheUiEdits) {
    fake.realTimer = true;
    SoundBank[1].soundType = 1;
    SoundBank[2].soundType = 2;
    SoundBank[3].soundType = 3;
    SetSongSize(4);
    for (int p = 0; p < 4; ++p)
        for (int c = 0; c < 4; ++c)
            song.song_positions[p][c] = static_cast<int16_t>(1 + (p + c) % 8);
    for (int t = 1; t <= 8; ++t)
        for (int r = 0; r < TRACK_ROWS; r += 2)
            SetCell(t, r, Cell{static_cast<uint8_t>(t % 4), static_cast<uint8_t>(1 + r % 30)});
    SetCell(5, 40, Cell{CMD_PATTERN_BREAK, NOTE_COMMAND});
    SetCell(6, 20, Cell{CMD_STOP_SOUND_TYPE + 2, NOTE_COMMAND});
    play.metronome_enabled = 1;

    song.tempo = 500; // 2 ms rows
    RestartTickTimer();
    StartSongPlay();

    int positionsSeen = 0, lastPosition = -1;
    // At least 0.6 s of edits, and on until the tick has moved on a position (10 s at most, for
    // a slow sanitizer build on a busy machine).
    const auto start = std::chrono::steady_clock::now();
    auto goOn = [&] {
        const auto spent = std::chrono::steady_clock::now() - start;
        return spent < std::chrono::milliseconds(600) ||
               (positionsSeen < 2 && spent < std::chrono::seconds(10));
    };
    for (int round = 0; goOn(); ++round) {
        // Edit a cell the tick may be reading, and move the cursor's track selection.
        SetCell(1 + round % 8, (round * 7) % TRACK_ROWS,
                Cell{static_cast<uint8_t>(round % 4), static_cast<uint8_t>(round % 40)});
        // Play a note as note entry does.
        {
            const EngineLockGuard lock(sound_engine_lock);
            ClearStartedFlags();
            LoadActiveSound(round % 4);
            SetNoteFrequency(10);
            const int t = engine.ActiveSound.soundType;
            SelectRenderBuffer(t);
            RenderSound(t);
            StartSound(t);
            ClearStartedFlags();
        }
        if (round % 10 == 9) {
            song.tempo = song.tempo == 500 ? 333 : 500;
            RestartTickTimer();
        }
        if (play.playing == 0) StartSongPlay();
        const int p = play.current_position;
        ASSERT_GE(p, 0);
        ASSERT_LT(p, 4);
        if (p != lastPosition) ++positionsSeen, lastPosition = p;
        for (int c = 0; c < 4; ++c) play.channel_level[c] = 0; // the 200 ms meter decay
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    KillTickTimer();
    EXPECT_GT(positionsSeen, 1); // the tick moved through the song
    EXPECT_GT(fake.timersKilled, 0);
}

} // namespace
