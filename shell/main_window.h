// The main window (dialog 105): its initialisation, every command of its menu and buttons with
// their confirmations, the six scroll bars, the 200 ms window timer (which also refreshes the
// pattern window), MIDI data, the close box, the title and the About box (dialog 102).
//
// Threads: UI thread only, except where a declaration says otherwise.
#pragma once

#include "files/song_file.h"
#include "platform/desktop.h"
#include "resources/resource_ids.h"

#include <cstdint>
#include <functional>
#include <string>

// ------------------------------------------------------------------------------ texts
constexpr const char* BUILD_DATE = "Dec  1 1999";
constexpr const char* ERROR_CAPTION = "Error message";

// ------------------------------------------------------------------------------ state
// Set by Quit and the close box; the main loop then ends.
extern uint8_t quit_requested;

// ------------------------------------------------------------- hooks for later modules
// Set while a long task (the export) runs with its progress window: main-loop passes then do
// nothing, so no key can play a note into the render.
extern int long_task_running;

// ------------------------------------------------------------------------------ window
class MainWindow : public DialogEvents {
  public:
    void OnInit() override;
    void OnCommand(int id, int notification) override;
    void OnScroll(int id, int code, int position) override;
    void OnTimer() override;
    void OnClose() override;
    void OnMidi(uint8_t status, uint8_t data1, uint8_t data2) override;
};
// The one main window.
MainWindow& main_window();

// "Music Editor V2.10[name]", with "*" after the name when the song is modified.
void UpdateTitle();
// "Tempo : %d Bps (%d BPM)" into TEMPO_TEXT.
void ShowTempoText();
// Restarts the tick timer and rewrites every scroll bar position and text of the six settings.
void RefreshSettings();
// Applies one scroll of a settings scroll bar (clamped; the tempo snapped to 60 / (60 / t)),
// then refreshes. False, changing nothing, for a scroll bar that is not one of the six.
bool ApplyScroll(int id, int code, int position);
// After a song was loaded: the cursor and instrument to the start, unmodified, the tick timer
// at its tempo, and every display showing it.
void ShowLoadedSong();
// Tells the user, in an error box, why a song file was refused or could not be opened (naming
// `path` when given); silent for a cancelled dialog and a load that succeeded.
void ReportSongLoadFailure(SongFileResult result, const std::string& path = "");
// Ticks the Program menu's note-key layout in use, and redraws the Keys window for it.
void ShowNoteLayout();
// Checks the "Audio latency" item in use.
void ShowAudioLatency();
// Greys the Edit menu's Undo and Redo when there is nothing to undo or redo.
void ShowHistory();
// Points the song's display hooks at the pattern view and this window.
void InstallSongDisplay();
