#include "shell/key_commands.h"

#include "platform/desktop.h"
#include "shell/main_window.h"
#include "shell/pattern_view.h"
#include "song/note_entry.h"
#include "song/sequencer.h"
#include "song/song_model.h"
#include "song/undo_history.h"
#include "sound/instrument_bank.h"

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

// Sends a button's command to the main window, as a click on it would.
void SendCommand(int id) {
    main_window().OnCommand(id, CMD_CLICKED);
}

// Numeric-pad plus and minus renumber the cursor cell's instrument byte, whatever it holds.
bool InstrumentByteKeys() {
    int step;
    if (WentDown(VKEY_PAD_PLUS))
        step = 1;
    else if (WentDown(VKEY_PAD_MINUS))
        step = INSTRUMENT_COUNT - 1; // -1 mod 16
    else
        return false;
    Cell cell = CursorCell();
    cell.instrument = static_cast<uint8_t>((cell.instrument + step) % INSTRUMENT_COUNT);
    SetCursorCell(cell);
    RedrawCursor();
    MarkSongModified();
    return true;
}

bool MuteKeys() {
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        if (!WentDown(VKEY_F1 + 4 + c)) continue; // F5..F8
        play.channel_muted[c].store(!play.channel_muted[c].load(kRelaxed), kRelaxed);
        ShowMuteButtons(0);
        return true;
    }
    return false;
}

// Ctrl with a key: undo and redo, copy and paste of the track, instrument shifts. Ctrl+Z is taken
// here, before the note keys, so it never sounds the note its letter plays.
bool ControlKeys() {
    if (!IsHeld(VKEY_CONTROL)) return false;
    if (WentDown('Z') && !IsHeld(VKEY_SHIFT))
        Undo();
    else if (WentDown('Y') || WentDown('Z'))
        Redo();
    else if (WentDown('C'))
        SendCommand(BUTTON_COPY_TRACK);
    else if (WentDown('V'))
        SendCommand(BUTTON_PASTE_TRACK);
    else if (WentDown(VKEY_F1 + 10) || WentDown(VKEY_F1 + 11)) {
        ShiftTrackInstruments(WentDown(VKEY_F1 + 11));
        RedrawCursor();
        SelectCurrentEntries();
    } else
        return false;
    return true;
}

bool ShiftKeys() {
    if (!IsHeld(VKEY_SHIFT)) return false;
    if (WentDown('C'))
        SendCommand(BUTTON_COPY_PATTERN);
    else if (WentDown('V'))
        SendCommand(BUTTON_PASTE_PATTERN);
    else
        return false;
    return true;
}

bool ChannelKeys() {
    int step;
    if (WentDown(VKEY_RIGHT))
        step = 1;
    else if (WentDown(VKEY_LEFT))
        step = CHANNEL_COUNT - 1; // -1 mod 4
    else
        return false;
    play.current_channel.store(static_cast<int16_t>((CursorChannel() + step) % CHANNEL_COUNT),
                               kRelaxed);
    if (!IsPlaying()) RedrawCursorAndStatus();
    return true;
}

// DELETE, F9 and F11/F12 in record mode once the count-down is over.
bool RecordModeKeys() {
    if (!RecordingNow()) return false;
    if (WentDown(VKEY_DELETE)) {
        SetCursorCell({0, 0});
        RedrawCursor();
        MarkSongModified();
        return true;
    }
    if (WentDown(VKEY_F1 + 8)) {
        const int t = FindLastSoundType();
        if (t >= 0 && t < SOUND_TYPE_COUNT) {
            SetCursorCell({static_cast<uint8_t>(CMD_STOP_SOUND_TYPE + t), NOTE_COMMAND});
            RedrawCursor();
            play.channel_level[CursorChannel()].store(0, kRelaxed);
            StopVoice(t);
            MarkSongModified();
            return true;
        }
    }
    if (WentDown(VKEY_F1 + 10) || WentDown(VKEY_F1 + 11)) {
        ShiftTrackOctave(WentDown(VKEY_F1 + 11));
        RedrawCursor();
        MarkSongModified();
        play.channel_level[CursorChannel()].store(0, kRelaxed);
        return true;
    }
    return false;
}

// F1, F2 and the cursor keys, only while stopped.
bool StoppedKeys() {
    if (WentDown(VKEY_F1) || WentDown(VKEY_F1 + 1)) {
        const uint8_t code = WentDown(VKEY_F1) ? CMD_PATTERN_BREAK : CMD_STOP_MUSIC;
        SetCursorCell({code, NOTE_COMMAND});
        RedrawCursor();
        MarkSongModified();
        return true;
    }
    const int row = play.current_row.load(kRelaxed);
    int next;
    if (WentDown(VKEY_PAGE_UP))
        next = row - 16 < 0 ? row - 16 + TRACK_ROWS : row - 16;
    else if (WentDown(VKEY_PAGE_DOWN))
        next = row + 16 > 63 ? row + 16 - TRACK_ROWS : row + 16;
    else if (WentDown(VKEY_HOME))
        next = 0;
    else if (WentDown(VKEY_END))
        next = TRACK_ROWS - 1;
    else if (WentDown(VKEY_UP))
        next = row > 0 ? row - 1 : row;
    else if (WentDown(VKEY_DOWN))
        next = row < TRACK_ROWS - 1 ? row + 1 : row;
    else
        return false;
    SetCursorRow(next);
    RedrawCursorAndStatus();
    return true;
}

// The commands of the key handler, in their order; true when one acted.
bool CommandKeys() {
    if (WentDown(VKEY_ENTER) && IsPlaying()) {
        StopPlay();
        return true;
    }
    if (WentDown(VKEY_TAB)) {
        ToggleOctave();
        return true;
    }
    if (WentDown(VKEY_METRONOME)) {
        play.metronome_enabled.store(!play.metronome_enabled.load(kRelaxed), kRelaxed);
        ShowMetronomeButton();
        return true;
    }
    if (WentDown(VKEY_BACKSPACE)) {
        if (IsPlaying())
            StopPlay();
        else
            SendCommand(BUTTON_PLAY_PATTERN);
        return true;
    }
    if (WentDown(VKEY_ENTER)) {
        SendCommand(BUTTON_PLAY_SONG);
        return true;
    }
    if (WentDown(VKEY_SPACE)) {
        settings.record_enabled = !settings.record_enabled;
        desktop().SetControlImage(MAIN_WINDOW, BUTTON_RECORD,
                                  settings.record_enabled ? BITMAP_RECORD_ON : BITMAP_RECORD_OFF);
        return true;
    }
    if (InstrumentByteKeys() || MuteKeys() || ControlKeys() || ShiftKeys() || ChannelKeys() ||
        RecordModeKeys())
        return true;
    if (IsPlaying()) return false; // straight to the note keys
    return StoppedKeys();
}

} // namespace

void HandleKeys(int commandsEnabled) {
    if (commandsEnabled && CommandKeys()) return;
    EnterKeyboardNote(commandsEnabled);
}
