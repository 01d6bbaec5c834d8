// The user's settings, kept from one run to the next in the settings folder
// ($XDG_CONFIG_HOME/tavomix/, by default ~/.config/tavomix/, private to the user):
// - "Tavomix.ini": six little-endian 32-bit integers (24 bytes, no header), the preferences in
//   `settings` (song/song_state.h). Older versions kept it in the working folder: it is read
//   from there once, while the settings folder has none, and never written there.
// - "tavomix.conf": the other preferences as text (files/preference_file.h); today the folder
//   the file dialogs last used.
//
// Threads: UI thread.
#pragma once

#include "song/song_state.h"

#include <cstdint>
#include <string>

constexpr const char* SETTINGS_FILE_NAME = "Tavomix.ini";
constexpr const char* PREFERENCES_FILE_NAME = "tavomix.conf";
constexpr int SETTINGS_FILE_SIZE = 24;

// The settings folder, without creating it.
std::string SettingsFolder();

// Reads both files. Tavomix.ini holds, in this order, keyboard_layout, record_enabled,
// octave_shift, cursor_step, countdown_start, metronome_step. A missing file changes nothing; a
// short file fills the values it holds whole and leaves the rest; bytes past the 24th are ignored.
// Each value is brought to the nearest one its control allows. True when a Tavomix.ini was read. A
// damaged preferences file, or a folder that cannot be used, gives the defaults and a message for
// the status line (TakeSettingsMessage).
bool ReadSettings();
// The note-key layout for a first start, from the desktop's keyboard layout (an XKB layout
// name such as "fr", "be(oss)" or "us"): 0, the A-key layout, for French and Belgian
// keyboards, 1, the Q-key layout, for every other.
int32_t NoteLayoutFor(const std::string& desktopLayout);
// Writes each file whose values changed since it was read or last written (a first run writes
// both), through a temporary file, into the settings folder, made private to the user when it is
// created. A write that fails is told once in the status line (again when the reason changes);
// the values stay in memory and are tried again once they change again.
void WriteSettings();
// A preference of tavomix.conf as read at start or set since, else `fallback`.
std::string Preference(const std::string& key, const std::string& fallback = "");
// Sets a preference; written by the next WriteSettings.
void SetPreference(const std::string& key, const std::string& value);
// A message for the status line from the last read or write, once; "" when there is none.
std::string TakeSettingsMessage();
