#include "song/sequencer.h"

#include "platform/desktop.h"
#include "song/song_model.h"
#include "sound/audio_output.h"
#include "sound/instrument_bank.h"
#include "sound/note_player.h"
#include "sound/sound_engine.h"
#include "sound/synthesis.h"

#include <mutex>

int tick_timer_id = 0;

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

// What the channel loop asks of the rest of the tick.
enum class RowEnd { Advance, Break, Stop };

// Steps on to the next position after the last row or a pattern break. At the end of the song
// the position wraps to 0 with looping on; with it off playback stops and the position stays on
// the last one, so it never leaves the song or the position table.
void NextPosition() {
    int size = song.song_size.load(kRelaxed);
    size = size < 1 ? 1 : (size > POSITION_COUNT ? POSITION_COUNT : size);
    const int next = play.current_position.load(kRelaxed) + 1;
    if (next >= 0 && next <= size - 1) {
        play.current_position.store(next, kRelaxed);
    } else if (song.song_loop.load(kRelaxed) == 1) {
        play.current_position.store(0, kRelaxed);
    } else {
        play.current_position.store(size - 1, kRelaxed);
        play.playing.store(0, kRelaxed);
        play.song_play.store(0, kRelaxed);
    }
}

// Metronome and count-down. Returns false when this tick plays no row.
bool RunMetronome() {
    if (play.metronome_enabled.load(kRelaxed) != 1) return true;
    const int count = play.metronome_count.load(kRelaxed) + 1;
    if (count >= settings.metronome_step.load(kRelaxed)) {
        {
            const EngineLockGuard lock(sound_engine_lock);
            PlayClick();
        }
        play.metronome_count.store(0, kRelaxed);
        const int left = play.countdown_left.load(kRelaxed);
        if (left > 0) {
            const int shown = left > 6 ? 6 : left;
            play.countdown_image.store(COUNTDOWN_BITMAP_BASE - shown, kRelaxed);
            // The UI loop sleeps while nothing happens, also during play. (An export plays
            // without a metronome and without a desktop.)
            if (Desktop* d = InstalledDesktop()) d->WakeSoon();
            play.countdown_left.store(left - 1, kRelaxed);
            if (left - 1 != 0) return false;
        }
        return true;
    }
    play.metronome_count.store(count, kRelaxed);
    return play.countdown_left.load(kRelaxed) <= 0;
}

// Starts one note cell on `channel`. Engine lock held.
void PlayNote(int channel, Cell cell) REQUIRES(sound_engine_lock) {
    // An instrument number without a bank entry is not played: loading it would leave the
    // previous sound in place and play that instead.
    if (cell.instrument >= INSTRUMENT_COUNT) return;
    const int level = play.channel_level[channel].load(kRelaxed);
    play.channel_level[channel].store(
        level + (level <= LEVEL_LOW ? LEVEL_RISE_LOW : LEVEL_RISE_HIGH), kRelaxed);
    PlayInstrumentNote(cell.instrument, cell.note);
}

// The four channels of one row, highest first. Engine lock held.
RowEnd PlayRow(int position, int row) REQUIRES(sound_engine_lock) {
    for (int channel = CHANNEL_COUNT - 1; channel >= 0; --channel) {
        if (play.channel_muted[channel].load(kRelaxed)) continue;
        // A track number outside 0..31 reads as empty cells.
        const Cell cell = GetCell(TrackAt(position, channel), row);
        if (IsEmptyCell(cell)) continue;
        if (!IsCommandCell(cell)) {
            PlayNote(channel, cell);
            continue;
        }
        switch (cell.instrument) {
        case 0:
        case 1:
        case 2:
        case 3:
            play.channel_level[channel].store(0, kRelaxed);
            StopChannel(cell.instrument);
            break;
        case CMD_PATTERN_BREAK: return RowEnd::Break;
        case CMD_STOP_MUSIC: return RowEnd::Stop;
        default: break;
        }
    }
    return RowEnd::Advance;
}

void StartTimerAt(int rowsPerSecond) {
    const int period = 1000 / (rowsPerSecond < 1 ? 1 : rowsPerSecond);
    tick_timer_id = desktop().StartPeriodicTimer(period, SequencerTick);
}

void SetUpCountdown() {
    play.metronome_count.store(3, kRelaxed);
    if (!settings.record_enabled) return;
    if (settings.countdown_start == 1) {
        play.play_armed.store(0, kRelaxed);
        play.countdown_left.store(0, kRelaxed);
    } else {
        play.countdown_left.store(settings.countdown_start, kRelaxed);
    }
}

} // namespace

void SequencerTick() {
    if (play.warmup_ticks.load(kRelaxed) < WARMUP_TICKS) {
        play.warmup_ticks.fetch_add(1, kRelaxed);
        play.playing.store(0, kRelaxed);
        play.song_play.store(0, kRelaxed);
        play.keyboard_reset_pending.store(1, kRelaxed);
    }
    if (!play.playing.load(kRelaxed) || !play.play_armed.load(kRelaxed)) return;
    if (!RunMetronome()) return;
    play.countdown_left.store(0, kRelaxed);

    const int position = play.current_position.load(kRelaxed);
    const int row = play.current_row.load(kRelaxed);
    RowEnd end;
    {
        // One hold for the whole row: a note played from the keyboard in the middle of the row
        // cannot clear the started flags between two channels, so the first note of each sound
        // type stays the one heard.
        const EngineLockGuard lock(sound_engine_lock);
        ClearStartedFlags();
        end = PlayRow(position, row);
        if (end == RowEnd::Advance) ClearStartedFlags();
    }

    switch (end) {
    case RowEnd::Break:
        play.current_row.store(0, kRelaxed);
        if (play.song_play.load(kRelaxed)) NextPosition();
        return;
    case RowEnd::Stop:
        // Pattern play stops here as well: without it the row would replay on every tick.
        play.playing.store(0, kRelaxed);
        play.song_play.store(0, kRelaxed);
        return;
    case RowEnd::Advance: break;
    }

    if (row + 1 < TRACK_ROWS) {
        play.current_row.store(static_cast<int16_t>(row + 1), kRelaxed);
        return;
    }
    play.current_row.store(0, kRelaxed);
    if (!play.song_play.load(kRelaxed)) return;
    NextPosition();
}

void RestartTickTimer() {
    KillTickTimer();
    StartTimerAt(song.tempo);
}

void KillTickTimer() {
    if (tick_timer_id == 0) return;
    desktop().KillPeriodicTimer(tick_timer_id);
    tick_timer_id = 0;
}

void ApplyTickRequests() {
    const int bitmap = play.countdown_image.exchange(0, kRelaxed);
    if (bitmap != 0) desktop().SetControlImage(MAIN_WINDOW, COUNTDOWN_BUTTON, bitmap);
}

void StartSongPlay() {
    play.current_row.store(0, kRelaxed);
    play.play_armed.store(1, kRelaxed);
    play.playing.store(1, kRelaxed);
    play.song_play.store(1, kRelaxed);
    SetUpCountdown();
}

void StartPatternPlay() {
    play.song_play.store(0, kRelaxed);
    play.play_armed.store(1, kRelaxed);
    play.playing.store(1, kRelaxed);
    SetUpCountdown();
}

void StopPlay() {
    {
        const EngineLockGuard lock(sound_engine_lock);
        for (int t = 0; t < SOUND_TYPE_COUNT; ++t) StopChannel(t);
    }
    play.playing.store(0, kRelaxed);
    play.song_play.store(0, kRelaxed);
    song_display.redrawPatternView();
}
