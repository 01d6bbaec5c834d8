#include "shell/program.h"

#include "files/song_file.h"
#include "platform/desktop.h"
#include "platform/midi_input.h"
#include "shell/key_commands.h"
#include "shell/main_window.h"
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
#include "sound/audio_output.h"
#include "sound/instrument_bank.h"
#include "sound/sound_engine.h"
#include "sound/synthesis.h"

#include <algorithm>
#include <mutex>

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr int kWindowTimerMs = 200;
bool keys_were_with_dialog = false; // a dialog had the keyboard since the last poll
constexpr int kBusy = 1;            // the next pass in a millisecond
constexpr int kNoWork = -1;         // the next pass when something happens

// How soon the main loop needs another pass: every millisecond while a key is down (its
// repeat, its release), while a count-down image waits and during the warm-up; otherwise at the
// autosave's deadline or the next look at the sound output, or when an event comes (a key, MIDI,
// a click, the tick posting a count-down image), whichever is first. Playing alone needs no
// pass: the tick plays the rows on its own thread, the window timer shows them, and a note typed
// meanwhile wakes the loop with its key event, so it is recorded on the row it is today.
int NextPassIn(int64_t now) {
    if (play.countdown_image.load(kRelaxed) != 0 ||
        play.warmup_ticks.load(kRelaxed) < WARMUP_TICKS || KeysDown())
        return kBusy;
    // The nearest of the deadlines: the autosave's, and the next look at the sound output.
    int64_t next = -1;
    for (const int64_t due : {AutosaveDueIn(now), SoundOutputLookIn(now)})
        if (due >= 0 && (next < 0 || due < next)) next = due;
    if (next < 0) return kNoWork;
    return static_cast<int>(std::clamp<int64_t>(next, kBusy, AUTOSAVE_PERIOD_MS));
}

// What reading or writing the settings found, in the status line.
void ShowSettingsMessage() {
    const std::string message = TakeSettingsMessage();
    if (!message.empty()) desktop().SetControlText(MAIN_WINDOW, STATUS_LINE, message);
}

void SetDefaults() {
    settings = StoredSettings{};
    play.metronome_enabled.store(0, kRelaxed);
    song.song_loop.store(1, kRelaxed);
    tick_timer_id = 0;
}

} // namespace

int MainLoopPass() {
    // MIDI messages first, as they came: also while a long task runs, as before it.
    midi_input().TakeMessages([](uint8_t status, uint8_t data1, uint8_t data2) {
        main_window().OnMidi(status, data1, data2);
    });
    if (long_task_running) return kNoWork; // the task's end is a window event
    Desktop& p = desktop();
    play.current_channel.store(static_cast<int16_t>(play.current_channel.load(kRelaxed) & 3),
                               kRelaxed);
    ApplyTickRequests();
    PollSoundOutput();
    // What is typed into a dialog (a file name, ENTER on its button) is the dialog's: no key is
    // polled meanwhile, and keys still held when it closes count only once pressed again.
    if (p.KeysBelongToDialog()) {
        keys_were_with_dialog = true;
    } else if (play.warmup_ticks.load(kRelaxed) == WARMUP_TICKS) {
        if (keys_were_with_dialog) {
            keys_were_with_dialog = false;
            TakeHeldKeys();
        } else {
            PollKeyboard();
            HandleKeys(sound_editor_open == 0 ? 1 : 0);
        }
    }
    // Every change since the last pass becomes one undo step; the sound editor's edits and a
    // recording take wait until the editor closes or the take ends.
    ObserveChanges(sound_editor_open != 0 ||
                   (play.playing.load(kRelaxed) != 0 && settings.record_enabled != 0));
    const int64_t now = p.SteadyMilliseconds();
    AutosaveTick(now, p.HasFocus());
    // A changed setting is kept at once, but never while a song plays.
    if (!play.playing.load(kRelaxed)) {
        WriteSettings();
        ShowSettingsMessage();
    }
    if (quit_requested) p.Quit(0);
    return NextPassIn(now);
}

int RunProgram(const std::string& commandLine) {
    Desktop& p = desktop();
    SetDefaults();
    // Without a settings file the note keys follow the desktop's keyboard; once written, the
    // file decides.
    if (!ReadSettings()) settings.keyboard_layout = NoteLayoutFor(p.KeyboardLayout());
    // The device opens in the background: the window never waits for the sound server.
    StartSoundOutput();
    sound_editor_open = 0;
    song.song_modified = 0;
    play.warmup_ticks.store(0, kRelaxed);
    play.current_row.store(0, kRelaxed);
    play.current_channel.store(0, kRelaxed);
    keys_were_with_dialog = false;
    ResetKeyboard();
    // The song: every track and position empty, "Noname", tempo 10, play state cleared.
    ResetSong();
    {
        const EngineLockGuard lock(sound_engine_lock);
        InitSoundBank();
    }
    current_instrument.store(0, kRelaxed);
    song.tempo = 10;
    quit_requested = 0;

    p.CreateDialog(MAIN_WINDOW, &main_window());
    ShowSettingsMessage();
    if (!commandLine.empty()) {
        ReportSongLoadFailure(LoadSongFile(commandLine), commandLine);
        RefreshSettings();
    }

    RedrawPatternView(play.current_row.load(kRelaxed), 0);
    FillCurrentSelectors();
    p.StartWindowTimer(MAIN_WINDOW, kWindowTimerMs);
    RestartTickTimer();
    ShowTempoText();
    {
        const EngineLockGuard lock(sound_engine_lock);
        StartAudio();
        PrepareClick();
    }
    UpdateTitle();
    ShowSongInfo();
    RestorePatternWindow();
    // An unsaved song left by a crash is offered once the window shows.
    OfferRecovery();
    ResetUndoHistory();
    StartAutosave(p.SteadyMilliseconds(), p.HasFocus());
    StartMidiInput(p.SteadyMilliseconds());

    const int code = p.RunEventLoop(MainLoopPass);

    // A quit by the menu or the close box ends the session: its copy is no longer needed.
    EndRecovery();
    StopAudio();
    KillTickTimer();
    StopMidiInput();
    WriteSettings();
    return code;
}
