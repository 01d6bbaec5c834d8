#include "song/undo_history.h"

#include "song/song_model.h"
#include "sound/instrument_bank.h"
#include "sound/sound_engine.h"

#include <cstdint>
#include <cstring>
#include <deque>
#include <vector>

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

// What a step keeps of the song: its content, not its name, mark or clipboards.
struct Content {
    uint16_t cells[TRACK_COUNT][TRACK_ROWS];
    int16_t positions[POSITION_COUNT][CHANNEL_COUNT];
    int32_t tempo, size, reserved, loop;
    Instrument bank[INSTRUMENT_COUNT];
};

// Where a change was made.
struct Cursor {
    int32_t position = 0;
    int16_t row = 0, channel = 0, instrument = 0;
};

struct Step {
    Content content; // the song on the other side of the step
    Cursor cursor;   // where the change was made
    uint64_t id;     // the state `content` is
};

struct History {
    std::deque<Step> undo;  // newest last
    std::vector<Step> redo; // newest last
    Content committed{};    // the song as the last step left it
    uint64_t current = 0;   // id of the committed state
    uint64_t next = 1;
    uint64_t clean = 0;     // id of the state last saved, loaded or started anew
    Cursor restingCursor{}; // the cursor before the change being looked for
} history;

void Capture(Content& c) {
    std::memset(&c, 0, sizeof c);
    for (int t = 0; t < TRACK_COUNT; ++t)
        for (int r = 0; r < TRACK_ROWS; ++r) c.cells[t][r] = song.tracks[t][r].load(kRelaxed);
    for (int p = 0; p < POSITION_COUNT; ++p)
        for (int ch = 0; ch < CHANNEL_COUNT; ++ch)
            c.positions[p][ch] = song.song_positions[p][ch].load(kRelaxed);
    c.tempo = song.tempo;
    c.size = song.song_size.load(kRelaxed);
    c.reserved = song.song_reserved;
    c.loop = song.song_loop.load(kRelaxed);
    // The tick only reads the bank; this thread is its only writer.
    std::memcpy(c.bank, SoundBank, sizeof c.bank);
}

void Restore(const Content& c) {
    for (int t = 0; t < TRACK_COUNT; ++t)
        for (int r = 0; r < TRACK_ROWS; ++r) song.tracks[t][r].store(c.cells[t][r], kRelaxed);
    for (int p = 0; p < POSITION_COUNT; ++p)
        for (int ch = 0; ch < CHANNEL_COUNT; ++ch)
            song.song_positions[p][ch].store(c.positions[p][ch], kRelaxed);
    song.tempo = c.tempo;
    song.song_size.store(c.size, kRelaxed);
    song.song_reserved = c.reserved;
    song.song_loop.store(c.loop, kRelaxed);
    const EngineLockGuard lock(sound_engine_lock);
    std::memcpy(SoundBank, c.bank, sizeof c.bank);
}

Cursor CursorNow() {
    Cursor c;
    c.position = play.current_position.load(kRelaxed);
    c.row = play.current_row.load(kRelaxed);
    c.channel = play.current_channel.load(kRelaxed);
    c.instrument = current_instrument.load(kRelaxed);
    return c;
}

void PutCursor(const Cursor& c) {
    const int size = song.song_size.load(kRelaxed);
    play.current_position.store(c.position < size ? c.position : size - 1, kRelaxed);
    play.current_row.store(c.row, kRelaxed);
    play.current_channel.store(c.channel, kRelaxed);
    current_instrument.store(c.instrument, kRelaxed);
}

// Takes the pending change as one step, when there is one; true when it did.
bool Commit(bool gathering) {
    static Content now;
    Capture(now);
    if (std::memcmp(&now, &history.committed, sizeof now) == 0) {
        history.restingCursor = CursorNow();
        return false;
    }
    if (gathering) return false;
    history.undo.push_back({history.committed, history.restingCursor, history.current});
    if (history.undo.size() > UNDO_LIMIT) history.undo.pop_front();
    history.redo.clear();
    history.committed = now;
    history.current = history.next++;
    history.restingCursor = CursorNow();
    return true;
}

// After a restore: the mark follows the history, and every display shows the song again.
void ShowRestored() {
    song.song_modified = history.current != history.clean ? 1 : 0;
    song_display.fillSelectors();
    song_display.redrawPatternView();
    song_display.showSongInfo();
    song_display.refreshSettings();
    song_display.updateTitle();
}

// Makes the song the step's content, with the step's cursor; returns the state it left, as the
// step that leads back to it.
Step Apply(Step&& step) {
    Step back{history.committed, step.cursor, history.current};
    Restore(step.content);
    history.committed = step.content;
    history.current = step.id;
    PutCursor(step.cursor);
    history.restingCursor = step.cursor;
    ShowRestored();
    return back;
}

// Takes the newest step of `from` (undo or redo), applies it, and keeps the way back in `to`.
template <typename From, typename To> bool MoveStep(From& from, To& to) {
    ObserveChanges(false);
    if (from.empty()) return false;
    Step step = std::move(from.back());
    from.pop_back();
    to.push_back(Apply(std::move(step)));
    song_display.showHistory();
    return true;
}

} // namespace

void ResetUndoHistory() {
    history.undo.clear();
    history.redo.clear();
    Capture(history.committed);
    history.current = history.next++;
    // A recovered song starts unsaved: then no state of the history is the saved one.
    history.clean = song.song_modified ? 0 : history.current;
    history.restingCursor = CursorNow();
    song_display.showHistory();
}

void ObserveChanges(bool gathering) {
    const bool couldUndo = CanUndo(), couldRedo = CanRedo();
    Commit(gathering);
    if (song.song_modified == 0) history.clean = history.current;
    if (CanUndo() != couldUndo || CanRedo() != couldRedo) song_display.showHistory();
}

bool Undo() {
    return MoveStep(history.undo, history.redo);
}

bool Redo() {
    return MoveStep(history.redo, history.undo);
}

bool CanUndo() {
    return !history.undo.empty();
}

bool CanRedo() {
    return !history.redo.empty();
}

uint64_t UndoStateId() {
    return history.current;
}

size_t UndoStepBytes() {
    return sizeof(Step);
}
