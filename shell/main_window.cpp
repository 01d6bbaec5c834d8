#include "shell/main_window.h"

#include "files/dialog_folders.h"
#include "files/file_io.h"
#include "files/sound_bank_file.h"
#include "files/wav_export.h"
#include "platform/voices.h"
#include "shell/keys_window.h"
#include "shell/midi_ports.h"
#include "shell/pattern_view.h"
#include "shell/pattern_window.h"
#include "shell/recovery.h"
#include "shell/settings_file.h"
#include "shell/sound_editor_window.h"
#include "shell/sound_status.h"
#include "song/note_entry.h"
#include "song/sequencer.h"
#include "song/song_model.h"
#include "song/undo_history.h"
#include "sound/instrument_bank.h"
#include "sound/note_player.h"
#include "sound/sound_engine.h"

#include <cstdio>
#include <mutex>

uint8_t quit_requested = 0;

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr int kFocusParking = SONG_SIZE_TEXT;
constexpr int kLevelDecay = 350; // per 200 ms
constexpr int kLevelMax = 4100;

class AboutBox : public DialogEvents {
  public:
    void OnInit() override {
        char text[64];
        std::snprintf(text, sizeof text, "Version %s.", BUILD_DATE);
        desktop().SetControlText(DIALOG_ABOUT, ABOUT_VERSION_TEXT, text);
    }
    void OnClose() override { desktop().EndDialog(DIALOG_ABOUT); }
};
AboutBox about_box;

MainWindow the_main_window;

// The confirmation kinds: 0 quitting, 1 the song, 2 a track or pattern (done by the song).
bool ConfirmExit(const char* text) {
    return desktop().MessageBox(text, "Exit Warning.", MB_STOP_OK_CANCEL);
}
bool ConfirmSongData(const char* text) {
    return desktop().MessageBox(text, "Song Data Warning.", MB_WARNING_OK_CANCEL);
}
void ShowError(const std::string& text) {
    desktop().MessageBox(text, ERROR_CAPTION, MB_ERROR_OK);
}

void ParkFocus() {
    desktop().SetFocus(MAIN_WINDOW, kFocusParking);
}

void RedrawCurrent() {
    RedrawPatternView(play.current_row.load(kRelaxed), play.current_position.load(kRelaxed));
    pattern_window().Refresh();
}

void ShowLoopButton() {
    desktop().SetControlImage(MAIN_WINDOW, BUTTON_LOOP,
                              song.song_loop.load(kRelaxed) ? BITMAP_LOOP_ON : BITMAP_LOOP_OFF);
}

void ShowRecordButton() {
    desktop().SetControlImage(MAIN_WINDOW, BUTTON_RECORD,
                              settings.record_enabled ? BITMAP_RECORD_ON : BITMAP_RECORD_OFF);
}

void SetStepText(int id, const char* format, int value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    desktop().SetControlText(MAIN_WINDOW, id, text);
}

// Why the file the user named could not be opened, from the read that failed.
std::string CannotOpenMessage(const std::string& path) {
    const std::string file = path.empty() ? "This file" : "The file " + path;
    return file + " could not be opened: " + LastReadFailure() + ".";
}

void RequestQuit() {
    if (song.song_modified &&
        !ConfirmExit("The current song has not been saved.\n\nAre you sure to quit ?"))
        return;
    quit_requested = 1;
    // Open at the quit, the pattern window opens at the next start where it was.
    pattern_window().KeepPlace();
    desktop().EndDialog(MAIN_WINDOW);
    desktop().Quit(0);
}

void SaveSongCommand() {
    const SongFileResult result = SaveSong();
    // Only a song that reached its file is unmodified; a cancel or a failed write keeps the mark.
    if (result == SongFileResult::Done) {
        song.song_modified = 0;
        RemoveRecoveryCopy();
    }
    UpdateTitle();
    if (result == SongFileResult::WriteFailed)
        ShowError("The song could not be written to this file.\nThe song was not saved.");
    if (result == SongFileResult::NotRegularFile) ShowError(NOT_REGULAR_FILE_MESSAGE);
}

// Export WAV: stop playback, choose the file, render it with a progress window. The song and
// its unsaved mark stay as they are.
void ExportWavCommand() {
    MixingVoices* mixer = mixing_voices();
    if (!mixer) return;
    StopPlay();
    const std::string path =
        desktop().SaveFileDialog("WAV Exporter", ".WAV Audio file (*.wav)", "*.wav", SongFolder());
    if (path.empty()) return;
    long_task_running = 1;
    const WavExportResult result =
        RenderSongToWav(*mixer, path, WavExportOptions{}, [](int percent) {
            return desktop().ShowProgress("WAV Exporter", "Rendering the song...", percent);
        });
    desktop().EndProgress();
    long_task_running = 0;
    if (result != WavExportResult::Done && result != WavExportResult::Cancelled)
        ShowError(WavExportMessage(result));
}

void LoadSongCommand() {
    if (song.song_modified && !ConfirmSongData("This action will erase the\ncurrent song...\n\nAre "
                                               "you sure to Load a song ?"))
        return;
    const SongFileResult result = LoadSong();
    if (result != SongFileResult::Done) {
        // Nothing was loaded, so the song, its cursor and its unsaved mark stay as they are.
        ReportSongLoadFailure(result);
        return;
    }
    ShowLoadedSong();
    // A loaded song starts a history of its own, and needs no recovery copy.
    ResetUndoHistory();
    RemoveRecoveryCopy();
}

void RunSoundEditor() {
    sound_editor_open = 1;
    desktop().RunModalDialog(DIALOG_SOUND_EDITOR, &sound_editor());
    sound_editor_open = 0;
    // Names and sound types may have changed.
    FillCurrentSelectors();
    MarkSongModified();
}

void SaveSamplesCommand() {
    const SongFileResult result = SaveSoundBank();
    if (result == SongFileResult::WriteFailed)
        ShowError("The sound bank could not be written to this file.\nThe sound bank was not "
                  "saved.");
    if (result == SongFileResult::NotRegularFile) ShowError(NOT_REGULAR_FILE_MESSAGE);
}

void LoadSamplesCommand() {
    const SongFileResult result = LoadSoundBank();
    if (result == SongFileResult::Damaged || result == SongFileResult::NotASongFile)
        ShowError("This file is not a sound bank file, or it is damaged.\nThe instruments were "
                  "not changed.");
    if (result == SongFileResult::CannotOpen)
        ShowError(CannotOpenMessage("") + "\nThe instruments were not changed.");
    if (result != SongFileResult::Done) return;
    current_instrument.store(0, kRelaxed);
    {
        const EngineLockGuard lock(sound_engine_lock);
        LoadCurrentInstrument();
    }
    FillCurrentSelectors();
    RedrawCurrent();
    MarkSongModified();
}

// Menu commands; true when the command ends the handling at once (Quit).
bool MenuCommand(int id) {
    switch (id) {
    case CMD_QUIT: RequestQuit(); return true;
    case CMD_NEW_SONG:
        if (NewSong()) RemoveRecoveryCopy();
        break;
    case CMD_AZERTY_KEYS:
    case CMD_QWERTY_KEYS:
        settings.keyboard_layout = id == CMD_QWERTY_KEYS ? 1 : 0;
        ShowNoteLayout();
        break;
    case CMD_AUDIO_LATENCY_LOW:
    case CMD_AUDIO_LATENCY_NORMAL:
    case CMD_AUDIO_LATENCY_SAFE:
        ChooseAudioLatency(static_cast<AudioLatency>(id - CMD_AUDIO_LATENCY_LOW));
        ShowAudioLatency();
        break;
    case CMD_UNDO: Undo(); break;
    case CMD_REDO: Redo(); break;
    case CMD_SAVE_SONG: SaveSongCommand(); break;
    case CMD_LOAD_SONG: LoadSongCommand(); break;
    case CMD_EXPORT_WAV: ExportWavCommand(); break;
    case CMD_SOUND_EDITOR: RunSoundEditor(); break;
    case CMD_SAVE_SAMPLES: SaveSamplesCommand(); break;
    case CMD_LOAD_SAMPLES: LoadSamplesCommand(); break;
    case CMD_ABOUT: desktop().CreateDialog(DIALOG_ABOUT, &about_box); break;
    case CMD_PATTERN_WINDOW: TogglePatternWindow(); break;
    case CMD_KEYS:
        // Asked for again, the one Keys window comes back to the front, freshly drawn.
        if (keys_window().IsOpen()) desktop().EndDialog(DIALOG_KEYS);
        desktop().CreateDialog(DIALOG_KEYS, &keys_window());
        break;
    default: break;
    }
    return false;
}

void ToggleCommand(int id) {
    switch (id) {
    case BUTTON_LOOP:
        song.song_loop.store(!song.song_loop.load(kRelaxed), kRelaxed);
        ShowLoopButton();
        break;
    case BUTTON_SOUND_EDITOR: RunSoundEditor(); break;
    case BUTTON_METRONOME:
        play.metronome_enabled.store(!play.metronome_enabled.load(kRelaxed), kRelaxed);
        ShowMetronomeButton();
        break;
    case BUTTON_OCTAVE:
        settings.octave_shift = !settings.octave_shift;
        ShowOctaveButton();
        break;
    case BUTTON_RECORD:
        settings.record_enabled = !settings.record_enabled;
        ShowRecordButton();
        break;
    default: break;
    }
}

void TransportCommand(int id) {
    switch (id) {
    case BUTTON_PLAY_PATTERN: StartPatternPlay(); break;
    case BUTTON_STOP: StopPlay(); break;
    case BUTTON_PLAY_SONG: StartSongPlay(); break;
    case BUTTON_CLEAR_TRACK: ClearTrack(); break;
    case BUTTON_COPY_TRACK: CopyTrack(); break;
    case BUTTON_COPY_PATTERN: CopyPattern(); break;
    case BUTTON_PASTE_PATTERN: PastePattern(); break;
    case BUTTON_PASTE_TRACK: PasteTrack(); break;
    default: break;
    }
}

void ComboChosen(int id) {
    if (id >= TRACK_SELECTOR[0] && id <= TRACK_SELECTOR[CHANNEL_COUNT - 1]) {
        int chosen[CHANNEL_COUNT];
        for (int c = 0; c < CHANNEL_COUNT; ++c)
            chosen[c] = desktop().ComboSelection(MAIN_WINDOW, TRACK_SELECTOR[c]);
        SetPositionTracks(chosen);
        RedrawCurrent();
    } else if (id == INSTRUMENT_SELECTOR) {
        SetCurrentInstrument(desktop().ComboSelection(MAIN_WINDOW, INSTRUMENT_SELECTOR));
        RedrawCurrent();
    }
}

int Clamp(int v, int lo, int hi) {
    v = v < lo ? lo : v;
    return v > hi ? hi : v;
}

} // namespace

int long_task_running = 0;

MainWindow& main_window() {
    return the_main_window;
}

void UpdateTitle() {
    char title[512];
    std::snprintf(title, sizeof title,
                  song.song_modified ? "Music Editor V2.10[%s*]" : "Music Editor V2.10[%s]",
                  song.song_name);
    desktop().SetDialogTitle(MAIN_WINDOW, title);
}

void ShowTempoText() {
    char text[64];
    std::snprintf(text, sizeof text, "Tempo : %d Bps (%d BPM)", song.tempo, song.tempo * 60 / 4);
    desktop().SetControlText(MAIN_WINDOW, TEMPO_TEXT, text);
}

void RefreshSettings() {
    Desktop& p = desktop();
    RestartTickTimer();
    ShowTempoText();
    p.SetScrollPosition(MAIN_WINDOW, SCROLL_TEMPO, song.tempo);
    p.SetScrollRange(MAIN_WINDOW, SCROLL_POSITION, 0, song.song_size.load(kRelaxed));
    p.SetScrollPosition(MAIN_WINDOW, SCROLL_POSITION, play.current_position.load(kRelaxed));
    p.SetScrollPosition(MAIN_WINDOW, SCROLL_SONG_SIZE, song.song_size.load(kRelaxed));
    p.SetScrollPosition(MAIN_WINDOW, SCROLL_CURSOR_STEP, settings.cursor_step);
    SetStepText(CURSOR_STEP_TEXT, "Cursor Step : %d.", settings.cursor_step);
    p.SetScrollPosition(MAIN_WINDOW, SCROLL_METRONOME_STEP, settings.metronome_step.load(kRelaxed));
    SetStepText(METRONOME_STEP_TEXT, "Metronome Step : %d.",
                settings.metronome_step.load(kRelaxed));
    p.SetScrollPosition(MAIN_WINDOW, SCROLL_COUNTDOWN, settings.countdown_start);
    SetStepText(COUNTDOWN_TEXT, "Countdown Start : %d.", settings.countdown_start - 1);
    ShowLoopButton(); // looping comes with the song
}

bool ApplyScroll(int id, int code, int position) {
    int value, lo, hi;
    switch (id) {
    case SCROLL_TEMPO: value = song.tempo, lo = 2, hi = 26; break;
    case SCROLL_SONG_SIZE:
        SetSongSize(song.song_size.load(kRelaxed)); // moving the size puts the cursor at position 0
        value = song.song_size.load(kRelaxed), lo = 1, hi = POSITION_COUNT;
        break;
    case SCROLL_POSITION:
        value = play.current_position.load(kRelaxed), lo = 0,
        hi = song.song_size.load(kRelaxed) - 1;
        break;
    case SCROLL_CURSOR_STEP: value = settings.cursor_step, lo = 0, hi = 16; break;
    case SCROLL_METRONOME_STEP:
        value = settings.metronome_step.load(kRelaxed), lo = 2, hi = 16;
        break;
    case SCROLL_COUNTDOWN: value = settings.countdown_start, lo = 1, hi = 6; break;
    default: return false;
    }
    switch (code) {
    case SB_LINEUP: --value; break;
    case SB_LINEDOWN: ++value; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: value = position; break;
    default: break; // page and end-of-scroll codes leave the value
    }
    value = Clamp(value, lo, hi);
    switch (id) {
    case SCROLL_TEMPO: song.tempo = 60 / (60 / value); break; // the tick rates the sequencer keeps
    case SCROLL_SONG_SIZE: SetSongSize(value); break;
    case SCROLL_POSITION: SetCurrentPosition(value); break;
    case SCROLL_CURSOR_STEP: settings.cursor_step = value; break;
    case SCROLL_METRONOME_STEP: settings.metronome_step.store(value, kRelaxed); break;
    case SCROLL_COUNTDOWN: settings.countdown_start = value; break;
    default: break;
    }
    RefreshSettings();
    return true;
}

void ShowLoadedSong() {
    current_instrument.store(0, kRelaxed);
    play.current_position.store(0, kRelaxed);
    play.current_channel.store(0, kRelaxed);
    RedrawPatternView(play.current_row.load(kRelaxed), 0);
    RestartTickTimer();
    ShowTempoText();
    desktop().SetScrollPosition(MAIN_WINDOW, SCROLL_TEMPO, song.tempo);
    FillCurrentSelectors();
    song.song_modified = 0;
    ShowSongInfo();
    UpdateTitle();
    RefreshSettings();
}

void ReportSongLoadFailure(SongFileResult result, const std::string& path) {
    if (result == SongFileResult::NotASongFile || result == SongFileResult::Damaged)
        ShowError("This file is not a song file, or it is damaged.\nThe song was not changed.");
    if (result == SongFileResult::CannotOpen)
        ShowError(CannotOpenMessage(path) + "\nThe song was not changed.");
}

void InstallSongDisplay() {
    song_display.redrawPatternView = RedrawCurrent;
    song_display.showSongInfo = ShowSongInfo;
    song_display.fillSelectors = FillCurrentSelectors;
    song_display.selectEntries = SelectCurrentEntries;
    song_display.updateTitle = UpdateTitle;
    song_display.refreshSettings = RefreshSettings;
    song_display.showCursorCell = ShowCursorCell;
    song_display.showOctaveButton = ShowOctaveButton;
    song_display.showHistory = ShowHistory;
}

void ShowNoteLayout() {
    desktop().SetChecked(MAIN_WINDOW, CMD_AZERTY_KEYS, settings.keyboard_layout == 0);
    desktop().SetChecked(MAIN_WINDOW, CMD_QWERTY_KEYS, settings.keyboard_layout != 0);
    keys_window().ShowNoteKeys();
}

void ShowAudioLatency() {
    const int chosen = static_cast<int>(ChosenAudioLatency());
    for (int i = 0; i < 3; ++i)
        desktop().SetChecked(MAIN_WINDOW, CMD_AUDIO_LATENCY_LOW + i, i == chosen);
}

void ShowHistory() {
    desktop().EnableControl(MAIN_WINDOW, CMD_UNDO, CanUndo());
    desktop().EnableControl(MAIN_WINDOW, CMD_REDO, CanRedo());
}

void MainWindow::OnInit() {
    Desktop& p = desktop();
    settings.cursor_step = 0;
    pattern_window().Forget();
    InstallSongDisplay();
    SetUpToolTips();
    ShowNoteLayout();
    ShowAudioLatency();
    for (auto& level : play.channel_level) level.store(0, kRelaxed);
    for (auto& muted : play.channel_muted) muted.store(0, kRelaxed);
    ParkFocus();

    ShowLoopButton();
    p.SetControlImage(MAIN_WINDOW, BUTTON_SOUND_EDITOR, BITMAP_SOUND_EDITOR);
    p.SetControlImage(MAIN_WINDOW, BUTTON_PLAY_SONG, BITMAP_PLAY_SONG);
    p.SetControlImage(MAIN_WINDOW, BUTTON_STOP, BITMAP_STOP);
    p.SetControlImage(MAIN_WINDOW, BUTTON_PLAY_PATTERN, BITMAP_PLAY_PATTERN);
    p.SetControlImage(MAIN_WINDOW, BUTTON_COPY_PATTERN, BITMAP_COPY_PATTERN);
    p.SetControlImage(MAIN_WINDOW, BUTTON_PASTE_PATTERN, BITMAP_PASTE_PATTERN);
    p.SetControlImage(MAIN_WINDOW, BUTTON_CLEAR_TRACK, BITMAP_CLEAR_TRACK);
    p.SetControlImage(MAIN_WINDOW, BUTTON_COPY_TRACK, BITMAP_COPY_TRACK);
    p.SetControlImage(MAIN_WINDOW, BUTTON_PASTE_TRACK, BITMAP_PASTE_TRACK);
    // The count-down display shows its blank face until the first count-down, rather than an
    // empty button.
    p.SetControlImage(MAIN_WINDOW, COUNTDOWN_BUTTON, BITMAP_COUNTDOWN_BLANK);

    const uint8_t empty[TRACK_BYTES] = {};
    for (int t = 0; t < TRACK_COUNT; ++t) WriteTrackBytes(t, empty);
    for (auto& entry : song.song_positions[0]) entry.store(0, kRelaxed);
    ShowSongInfo();

    p.SetScrollRange(MAIN_WINDOW, SCROLL_TEMPO, 2, 26);
    p.SetScrollPosition(MAIN_WINDOW, SCROLL_TEMPO, song.tempo);
    song.song_size.store(1, kRelaxed);
    p.SetScrollRange(MAIN_WINDOW, SCROLL_SONG_SIZE, 1, POSITION_COUNT);
    p.SetScrollPosition(MAIN_WINDOW, SCROLL_SONG_SIZE, 1);
    p.SetScrollRange(MAIN_WINDOW, SCROLL_CURSOR_STEP, 0, 16);
    p.SetScrollPosition(MAIN_WINDOW, SCROLL_CURSOR_STEP, settings.cursor_step);
    SetStepText(CURSOR_STEP_TEXT, "Cursor Step : %d.", settings.cursor_step);
    p.SetScrollRange(MAIN_WINDOW, SCROLL_METRONOME_STEP, 2, 16);
    p.SetScrollPosition(MAIN_WINDOW, SCROLL_METRONOME_STEP, settings.metronome_step.load(kRelaxed));
    SetStepText(METRONOME_STEP_TEXT, "Metronome Step : %d.",
                settings.metronome_step.load(kRelaxed));
    p.SetScrollRange(MAIN_WINDOW, SCROLL_COUNTDOWN, 1, 6);
    p.SetScrollPosition(MAIN_WINDOW, SCROLL_COUNTDOWN, settings.countdown_start);
    SetStepText(COUNTDOWN_TEXT, "Countdown Start : %d.", settings.countdown_start - 1);

    ShowRecordButton();
    ShowMuteButtons(0);
    ShowOctaveButton();
    ShowMetronomeButton();
    DrawMeters();
}

void MainWindow::OnCommand(int id, int notification) {
    if (notification == CMD_COMBO_CLOSED) ParkFocus();
    if (notification == CMD_COMBO_CHOSEN) ComboChosen(id);
    if (MenuCommand(id)) return;
    if (notification != CMD_CLICKED) return;
    MidiInputCommand(id);
    ToggleCommand(id);
    ShowMuteButtons(id);
    TransportCommand(id);
    RedrawCurrent();
    ParkFocus();
}

void MainWindow::OnScroll(int id, int code, int position) {
    if (!ApplyScroll(id, code, position)) return;
    MarkSongModified(); // every scroll bar counts as a change of the song, the step bars too
    ShowSongInfo();
    RedrawCurrent();
    ParkFocus();
}

void MainWindow::OnTimer() {
    // The MIDI ports are looked at once a second from here, so that a keyboard plugged in is
    // noticed while the main loop sleeps, without waking it more often.
    PollMidiInput(desktop().SteadyMilliseconds());
    if (play.playing.load(kRelaxed)) {
        RedrawCurrent(); // the pattern window too
        ShowSongInfo();
        desktop().SetScrollRange(MAIN_WINDOW, SCROLL_POSITION, 0, song.song_size.load(kRelaxed));
        desktop().SetScrollPosition(MAIN_WINDOW, SCROLL_POSITION,
                                    play.current_position.load(kRelaxed));
    } else {
        // What changes without a redraw of the pattern view (a mute, an instrument's name):
        // nothing is drawn when nothing changed.
        pattern_window().Refresh();
    }
    for (auto& level : play.channel_level) {
        int v = level.load(kRelaxed);
        if (v != 0) v -= kLevelDecay;
        level.store(Clamp(v, 0, kLevelMax), kRelaxed);
    }
    DrawMeters();
    // The pattern window's place is noted as it moves, so that it is kept also when the program
    // does not end by its Quit.
    pattern_window().KeepPlace();
}

void MainWindow::OnClose() {
    RequestQuit();
}

void MainWindow::OnMidi(uint8_t status, uint8_t data1, uint8_t data2) {
    if (sound_editor_open) sound_editor().StoreIntoCurrentInstrument();
    HandleMidiMessage(status, data1, data2);
}
