// The sound editor window (dialog 101): the user picks an instrument, renames it, sets its sound
// type and parameters, sees the rendered sound drawn as a waveform and plays or stops it. It edits
// a working copy of the instrument and writes it back into the bank when another instrument is
// chosen and when the window closes.
//
// Threads: UI thread. Every editor step that touches `ActiveSound`, a render buffer or a voice
// runs with `sound_engine_lock` held, so it never interleaves with the sequencer's load, render
// and start.
#pragma once

#include "platform/desktop.h"
#include "resources/resource_ids.h"
#include "sound/instrument_bank.h"
#include "sound/sound_engine.h"

#include <array>
#include <string>

// ------------------------------------------------------------------------- waveform display
constexpr Rgb DISPLAY_BACKGROUND = 0x000000;
constexpr Rgb DISPLAY_CENTRE_LINE = 0x008000;
constexpr Rgb DISPLAY_SAMPLE = 0x808080;
constexpr int DISPLAY_SAMPLES_PER_COLUMN = 178;

// Draws `samples` (RENDER_LENGTH unsigned samples) into `pixels`, `width` x `height`, row by row,
// top first: black, a green centre line, and one grey pixel per column for every 178th sample.
// A sample that falls on the row below the last (sample 0) is not drawn.
void DrawWaveform(const uint8_t* samples, int width, int height, Rgb* pixels);

// --------------------------------------------------------------------------------- editor
class SoundEditor : public DialogEvents {
  public:
    // ---- DialogEvents: opening, user actions, closing
    void OnInit() override;
    void OnCommand(int id, int notification) override;
    void OnScroll(int id, int code, int position) override;
    void OnClose() override;

    // ---- the editor's view of `ActiveSound` (engine lock held by the caller)
    // Shows `ActiveSound` in the controls, enables the controls of its sound type, renders it
    // and redraws the waveform display.
    void RefreshEditor() REQUIRES(sound_engine_lock);
    // Copies the name field (at most 31 characters) into `name`. Before that it puts the
    // editor's working values back into `ActiveSound`, which the sequencer or a played note may
    // have replaced since the editor's last step, so that a store takes the edited sound.
    void ReadInstrumentName(char name[INSTRUMENT_NAME_SIZE]) REQUIRES(sound_engine_lock);
    void SetScrollBarRanges() REQUIRES(sound_engine_lock);

    // Reads the waveform type, the name, the test frequency, "Use Length" and the sound type
    // from the controls into `ActiveSound`, then refreshes. Engine lock held.
    void ReadEditorControls() REQUIRES(sound_engine_lock);

    // The instrument the editor edits (stored on switching and closing).
    int EditedInstrument() const { return edited_; }
    // While the editor is open, stores its values, the name field included, into the current
    // instrument (before a MIDI message is handled). Takes the engine lock.
    void StoreIntoCurrentInstrument();
    bool IsOpen() const { return open_; }

  private:
    class Session; // the engine lock and the working copy for one editor step

    void Enable(int id, bool on);
    void ApplyEnableTable(int soundType);
    void DrawDisplay() REQUIRES(sound_engine_lock);
    void ListOpens();
    void InstrumentChosen();
    // Takes the name field and stores `ActiveSound` into instrument k.
    void StoreEdited(int k) REQUIRES(sound_engine_lock);

    ActiveSoundState working_{}; // the edited sound between steps
    int edited_ = 0;
    std::array<std::string, INSTRUMENT_COUNT> entries_; // the instrument list's entries
    std::array<bool, 16> barEnabled_{};                 // by scroll bar slot, see BarSlot
    int displayWidth_ = 0, displayHeight_ = 0;
    bool inSession_ = false; // within an editor step, `ActiveSound` is the working copy
    bool open_ = false;
};

// The one sound editor.
SoundEditor& sound_editor();

// 1 while the sound editor runs; the key poll then only sounds notes.
extern int sound_editor_open;
