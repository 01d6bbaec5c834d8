// The main window (dialog 105): its initialisation, every command of its menu and buttons with
// their confirmations, the six scroll bars, the 200 ms window timer, MIDI data, the close box,
// the title and the About box (dialog 102).
//
// Threads: UI thread only, except where a declaration says otherwise.
#pragma once

#include "files/song_file.h"
#include "platform/desktop.h"

#include <cstdint>
#include <functional>
#include <string>

// ------------------------------------------------------------------------------ ids
constexpr int CMD_QUIT = 1201;
constexpr int CMD_NEW_SONG = 1203;
constexpr int CMD_SAVE_SONG = 1206;
constexpr int CMD_LOAD_SONG = 1207;
constexpr int CMD_EXPORT_WAV = 1208;
constexpr int CMD_SOUND_EDITOR = 1211;
constexpr int CMD_SAVE_SAMPLES = 1216;
constexpr int CMD_LOAD_SAMPLES = 1217;
constexpr int CMD_ABOUT = 1218;
constexpr int BUTTON_LOOP = 1272;
constexpr int BUTTON_SOUND_EDITOR = 1118;
constexpr int BUTTON_METRONOME = 1262;
constexpr int BUTTON_OCTAVE = 1261;
constexpr int BUTTON_RECORD = 1089;
constexpr int BUTTON_PLAY_PATTERN = 1111;
constexpr int BUTTON_STOP = 1088;
constexpr int BUTTON_PLAY_SONG = 1087;
constexpr int BUTTON_CLEAR_TRACK = 1117;
constexpr int BUTTON_COPY_TRACK = 1115;
constexpr int BUTTON_PASTE_TRACK = 1116;
constexpr int BUTTON_COPY_PATTERN = 1119;
constexpr int BUTTON_PASTE_PATTERN = 1120;
constexpr int SCROLL_SONG_SIZE = 1238;
constexpr int SCROLL_POSITION = 1237;
constexpr int SCROLL_TEMPO = 1236;
constexpr int SCROLL_CURSOR_STEP = 1239;
constexpr int SCROLL_METRONOME_STEP = 1241;
constexpr int SCROLL_COUNTDOWN = 1243;
constexpr int TEMPO_TEXT = 1113;
constexpr int CURSOR_STEP_TEXT = 1274;
constexpr int METRONOME_STEP_TEXT = 1275;
constexpr int COUNTDOWN_TEXT = 1276;
constexpr int ABOUT_VERSION_TEXT = 1266;
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
// "Tempo : %d Bps (%d BPM)" into 1113.
void ShowTempoText();
// Restarts the tick timer and rewrites every scroll bar position and text of the six settings.
void RefreshSettings();
// Applies one scroll of a settings scroll bar (clamped; the tempo snapped to 60 / (60 / t)),
// then refreshes. False, changing nothing, for a scroll bar that is not one of the six.
bool ApplyScroll(int id, int code, int position);
// Tells the user, in an error box, why a song file was refused; silent for a cancelled dialog,
// a file that could not be opened and a load that succeeded.
void ReportSongLoadFailure(SongFileResult result);
// Points the song's display hooks at the pattern view and this window.
void InstallSongDisplay();
