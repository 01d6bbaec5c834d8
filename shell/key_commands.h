// The key commands: the steps of the key handler that act on the window and the song before the
// note keys. Transport (ENTER, BACKSPACE), the octave, metronome and record toggles (TAB, the key
// left of 1, SPACE), the instrument byte (numeric pad + and -), the pattern window (F3), the
// mutes (F5..F8), copy and paste (Ctrl or Shift with C and V), track shifts (F11, F12), the channel (LEFT, RIGHT), the
// edit keys of record mode (DELETE, F9) and, while stopped, command cells (F1, F2) and cursor
// moves. The first that applies acts; only when none does do the note keys play
// (song/note_entry.h).
//
// Threads: UI thread, once per pass of the main loop after the key poll.
#pragma once

#include <vector>

// Acts on the key state: one command, cursor move or edit, or a note. `commandsEnabled` is 1
// while the sound editor is closed; with 0 only note keys act, and they only sound.
void HandleKeys(int commandsEnabled);

// One line of the chart of the command keys: the keys as printed on them and what they do.
struct KeyCommandLine {
    const char* keys;
    const char* does;
};
// The chart, from the handler's own table, in the order the handler tries the keys.
std::vector<KeyCommandLine> KeyCommandChart();
