#include "song/note_entry.h"

#include "platform/desktop.h"
#include "song/sequencer.h"
#include "song/song_model.h"
#include "sound/audio_output.h"
#include "sound/instrument_bank.h"
#include "sound/note_player.h"
#include "sound/sound_engine.h"
#include "sound/synthesis.h"

#include <algorithm>
#include <cstdint>
#include <mutex>

uint8_t key_state[KEY_COUNT] = {};

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr int kLevelRiseKeyboard = LEVEL_RISE_HIGH; // +800 above LEVEL_LOW
constexpr int kLevelRiseMidi = 500;                 // +500 above LEVEL_LOW
constexpr int kReleaseVelocity = 20;                // a note on below this is a release
constexpr int kLowestMidiKey = 18, kHighestMidiKey = 78;
constexpr int kOctaveNotes = 32; // the octave toggle moves a note into the lower bank

// Auto-repeat of UP (index 0) and DOWN (index 1), on the platform's steady clock: the time in
// milliseconds at which the held key next reads as a fresh press, and the delay to the one after.
constexpr int kRepeatKeys[2] = {VKEY_UP, VKEY_DOWN};
constexpr int64_t kNever = INT64_MAX;
int64_t repeat_due[2] = {kNever, kNever};
bool repeating[2] = {false, false}; // the next press is the key's own repeat
int repeat_delay[2] = {REPEAT_FIRST_DELAY, REPEAT_FIRST_DELAY};

// The note keys in note order (note 1 first); the period key, note 26, is tested apart.
constexpr char kNoteKeysQ[25] = {'Q', '2', 'W', '3', 'E', 'R', '5', 'T', '6', 'Y', '7', 'U', 'Z',
                                 'S', 'X', 'D', 'C', 'V', 'G', 'B', 'H', 'N', 'J', 'M', 'K'};
constexpr char kNoteKeysA[25] = {'A', '2', 'Z', '3', 'E', 'R', '5', 'T', '6', 'Y', '7', 'U', 'W',
                                 'S', 'X', 'D', 'C', 'V', 'G', 'B', 'H', 'N', 'J', 0,   'K'};

int InstrumentNow() {
    return current_instrument.load(kRelaxed) & (INSTRUMENT_COUNT - 1);
}
// ---------------------------------------------------------------------------------- MIDI

// A stop command for sound type s at the cursor (record mode only) and the voice stopped.
void EnterStopCommand(int soundType) {
    if (CurrentTrack() == 0) AllocateTrack();
    if (RecordingNow()) SetCursorCell({static_cast<uint8_t>(soundType), NOTE_COMMAND});
    RedrawCursor();
    StopVoice(soundType);
    MarkSongModified();
}

void EnterMidiNote(int note) {
    // One allocation per note: a second try could only fail again and show its box twice.
    if (CurrentTrack() == 0) AllocateTrack();
    if (RecordingNow()) RecordNote(note, false);
    PlayNote(note, kLevelRiseMidi);
}

void MidiNoteOn(int key, int velocity) {
    if (velocity < kReleaseVelocity) {
        const int held = play.held_keys[key];
        if (held == 0) return;
        play.held_keys[key] = 0;
        play.channel_level[CursorChannel()].store(0, kRelaxed);
        if (held >= 1 && held <= SOUND_TYPE_COUNT) EnterStopCommand(held - 1);
        return;
    }
    const int note = MidiNote(key);
    if (note == 0) return;
    const Instrument& instrument = SoundBank[InstrumentNow()];
    // A sound type outside 0..3 (a loaded bank may hold one) is never held: its stop command
    // would name no voice.
    const int type = instrument.soundType;
    if (type >= 0 && type < SOUND_TYPE_COUNT) {
        const int held = type + 1;
        for (int& entry : play.held_keys)
            if (entry == held) entry = 0;
        const bool sustains = instrument.fade <= 7 && instrument.useLength == 0;
        if (sustains && IsPlaying()) play.held_keys[key] = held;
    }
    EnterMidiNote(note);
}

void MidiPitchBend(int a, int b) {
    const int k = InstrumentNow();
    if ((a == 127 && b == 127) || (b == 127 && a == 0)) {
        current_instrument.store(static_cast<int16_t>((k + 1) % INSTRUMENT_COUNT), kRelaxed);
    } else if (a == 0 && b == 0) {
        current_instrument.store(
            static_cast<int16_t>((k + INSTRUMENT_COUNT - 1) % INSTRUMENT_COUNT), kRelaxed);
    } else {
        return;
    }
    song_display.selectEntries();
}

} // namespace

int CursorChannel() {
    return play.current_channel.load(kRelaxed) & (CHANNEL_COUNT - 1);
}
bool IsPlaying() {
    return play.playing.load(kRelaxed) != 0;
}
void SetCursorRow(int row) {
    play.current_row.store(static_cast<int16_t>(row), kRelaxed);
}
void RedrawCursor() {
    song_display.redrawPatternView();
}
void RedrawCursorAndStatus() {
    RedrawCursor();
    song_display.showCursorCell();
}

bool RecordingNow() {
    return settings.record_enabled == 1 && play.countdown_left.load(kRelaxed) == 0;
}

Cell CursorCell() {
    return GetCell(CurrentTrack(), play.current_row.load(kRelaxed));
}
void SetCursorCell(Cell cell) {
    SetCell(CurrentTrack(), play.current_row.load(kRelaxed), cell);
}

void StopVoice(int soundType) {
    const EngineLockGuard lock(sound_engine_lock);
    StopChannel(soundType);
}

void ToggleOctave() {
    settings.octave_shift = !settings.octave_shift;
    song_display.showOctaveButton();
}

// Sounds note n with the current instrument on the current channel's meter. The started flags
// are cleared before the load as well, since a load is refused while its type's flag is set.
void PlayNote(int note, int riseAbove) {
    {
        const EngineLockGuard lock(sound_engine_lock);
        ClearStartedFlags();
        auto& level = play.channel_level[CursorChannel()];
        const int now = level.load(kRelaxed);
        level.store(now + (now <= LEVEL_LOW ? LEVEL_RISE_LOW : riseAbove), kRelaxed);
        PlayInstrumentNote(InstrumentNow(), note);
        ClearStartedFlags();
    }
    MarkSongModified();
}

// Writes note n at the cursor (allocating a track first when the cursor's channel has none and
// `allocate` is set); while stopped the cursor then moves on by the cursor step, wrapping.
void RecordNote(int note, bool allocate) {
    if (allocate && CurrentTrack() == 0) AllocateTrack();
    SetCursorCell({static_cast<uint8_t>(InstrumentNow()), static_cast<uint8_t>(note)});
    if (!IsPlaying() && !play.song_play.load(kRelaxed)) {
        // The stored step may be any value: wrap it into 0..63 whatever its size.
        const int row =
            ((play.current_row.load(kRelaxed) + settings.cursor_step) % TRACK_ROWS + TRACK_ROWS) %
            TRACK_ROWS;
        SetCursorRow(row);
    }
    RedrawCursor();
}

bool KeysDown() {
    for (uint8_t state : key_state)
        if (state != KEY_UP) return true;
    return false;
}

void ResetKeyboard() {
    for (auto& state : key_state) state = KEY_UP;
    for (int i = 0; i < 2; ++i) {
        repeat_due[i] = kNever;
        repeating[i] = false;
        repeat_delay[i] = REPEAT_FIRST_DELAY;
    }
    // A tap the platform kept for the next query (the key that closed a dialog, a key tapped
    // during the warm-up) is forgotten with the rest.
    desktop().DropKeyPresses();
}

void TakeHeldKeys() {
    ResetKeyboard();
    Desktop& p = desktop();
    for (int vk = 0; vk < KEY_COUNT; ++vk)
        if (p.IsKeyDown(vk)) key_state[vk] = KEY_HELD; // never repeats: it was not pressed here
}

void PollKeyboard() {
    if (play.keyboard_reset_pending.exchange(0, kRelaxed) != 0) ResetKeyboard();
    Desktop& p = desktop();
    for (int vk = 0; vk < KEY_COUNT; ++vk) {
        // Contract with the platform: IsKeyDown is true while the key is down and also once
        // after a press that was released before this poll, so that a tap shorter than one
        // pass still reads as "went down" here (and as up at the next poll).
        if (p.IsKeyDown(vk))
            key_state[vk] = key_state[vk] == KEY_UP ? KEY_WENT_DOWN : KEY_HELD;
        else
            key_state[vk] = KEY_UP;
    }
    // The repeat delays are milliseconds, one per pass of a main loop running every
    // millisecond; counting them on a clock keeps the designed rate when passes come late.
    const int64_t now = p.SteadyMilliseconds();
    for (int i = 0; i < 2; ++i) {
        uint8_t& state = key_state[kRepeatKeys[i]];
        if (state == KEY_UP) {
            repeat_due[i] = kNever;
            repeating[i] = false;
            repeat_delay[i] = REPEAT_FIRST_DELAY;
            continue;
        }
        if (state == KEY_WENT_DOWN) {
            // A repeat is due one delay after the one before, not after the pass that saw it,
            // so late passes do not stretch the rhythm; after a stall it starts again from now.
            const int64_t from = repeating[i] ? repeat_due[i] : now;
            repeat_due[i] = std::max(from + repeat_delay[i], now + 1);
            repeating[i] = false;
        }
        // The pass that reaches the time reads the key as up, so the next one sees a new press
        // exactly `delay` milliseconds after the last.
        if (now < repeat_due[i] - 1) continue;
        state = KEY_UP;
        repeating[i] = true;
        repeat_delay[i] = std::max(repeat_delay[i] - REPEAT_DELAY_STEP, REPEAT_MIN_DELAY);
    }
}

int KeyboardNote() {
    const char* keys = settings.keyboard_layout != 0 ? kNoteKeysQ : kNoteKeysA;
    int note = 0;
    for (int i = 0; i < 25; ++i) {
        const int vk = keys[i] != 0 ? keys[i] : VKEY_COMMA;
        if (WentDown(vk)) note = i + 1;
    }
    if (WentDown(VKEY_PERIOD)) note = 26;
    if (note != 0 && settings.octave_shift) note += kOctaveNotes;
    return note;
}

int NoteOfKey(int layout, int vk) {
    const char* keys = layout != 0 ? kNoteKeysQ : kNoteKeysA;
    for (int i = 0; i < 25; ++i)
        if ((keys[i] != 0 ? keys[i] : VKEY_COMMA) == vk) return i + 1;
    return vk == VKEY_PERIOD ? 26 : 0;
}

int MidiNote(int key) {
    if (key < kLowestMidiKey || key > kHighestMidiKey) return 0;
    if (key <= 47) return key + 15; // 33..62, the lower bank whatever the octave toggle
    return key - 47 + (settings.octave_shift ? kOctaveNotes : 0); // 1..31, or 33..63
}

void EnterKeyboardNote(int commandsEnabled) {
    const int note = KeyboardNote();
    if (note == 0) return;
    if (commandsEnabled && RecordingNow()) RecordNote(note, true);
    PlayNote(note, kLevelRiseKeyboard);
}

void HandleMidiMessage(uint8_t status, uint8_t data1, uint8_t data2) {
    if (status == 0xFE) return; // active sensing
    if (status < 0x80 || data1 > 127 || data2 > 127) return;
    switch (status >> 4) {
    case 0x8:
    case 0xB: play.play_armed.store(1, kRelaxed); break;
    case 0x9:
        play.play_armed.store(1, kRelaxed);
        MidiNoteOn(data1, data2);
        break;
    case 0xE:
        play.play_armed.store(1, kRelaxed);
        MidiPitchBend(data1, data2);
        break;
    default: break;
    }
    // Controller 0 with value 63 or 66 is the keyboard's octave and channel button. Only a
    // control change carries it: a pitch wheel passing E0 00 3F or E0 00 42 on its way must not
    // flip the octave or move the cursor.
    if ((status >> 4) != 0xB || data1 != 0) return;
    if (data2 == 63) {
        ToggleOctave();
        play.play_armed.store(1, kRelaxed);
    } else if (data2 == 66) {
        play.play_armed.store(1, kRelaxed);
        play.current_channel.store(static_cast<int16_t>((CursorChannel() + 1) % CHANNEL_COUNT),
                                   kRelaxed);
        if (!IsPlaying()) RedrawCursorAndStatus();
    }
}
