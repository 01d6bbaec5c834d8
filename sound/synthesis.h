// The synthesiser: renders `ActiveSound` (sound/instrument_bank.h) whole into the render buffer
// of its sound type, as unsigned 8-bit mono samples at 45056 Hz, 128 being silence.
//
// Threads: everything here runs with `sound_engine_lock` held (sound/sound_engine.h), on the
// sequencer's tick thread or the UI thread.
#pragma once

#include "sound/sound_engine.h"

#include <cstdint>

constexpr int TONE_TABLE_SIZE = 96;
constexpr int NOISE_TABLE_SIZE = 32;
constexpr int WAVEFORM_TYPE_COUNT = 8;

// Pulse duty patterns by `waveform`, eight steps of -128 or 127.
extern const int8_t DUTY_PATTERNS[4][8];
// Sweep step interval by `period`, in units of 5.632 samples.
extern const double SWEEP_PERIODS[8];
// Sweep shift by |pitchBend - 7|: 2 to that power.
extern const double SWEEP_SHIFTS[8];
// The 32-step tables of sound type 2 by `waveformType`, and the names the editor lists.
extern const int8_t WAVEFORM_TABLES[WAVEFORM_TYPE_COUNT][32];
extern const char* const WAVEFORM_NAMES[WAVEFORM_TYPE_COUNT];
// Hz by note number, for sound types 0..2.
extern const int32_t TONE_FREQUENCIES[TONE_TABLE_SIZE];
// Noise frequency 262144 / (divider * 2^shift), rounded, by note number 0..31.
struct NoiseFrequency {
    int32_t frequency; // Hz
    int32_t divider;
    int32_t zero;
    int32_t shift;
};
extern const NoiseFrequency NOISE_FREQUENCIES[NOISE_TABLE_SIZE];

// Advances the noise generator and returns its next 15-bit value.
uint32_t NoiseDraw() REQUIRES(sound_engine_lock);

// The frequency a note number gets for a sound type. Notes without a table entry: a tone note
// above 95 gets 0 Hz, like the table's own empty entries; on a noise instrument the 32-entry
// noise table repeats every 32 notes, so both keyboard banks sound. Negative notes get 0 Hz.
int32_t NoteFrequency(int32_t soundType, int note);
// Sets `ActiveSound.testFrequency` from the note for the active sound's type.
void SetNoteFrequency(int note) REQUIRES(sound_engine_lock);

// Points the current render buffer at type t's block; any t but 1, 2, 3 selects type 0's.
void SelectRenderBuffer(int t) REQUIRES(sound_engine_lock);
// Renders `ActiveSound` as sound type t into the current render buffer; does nothing when t is
// not 0..3 or type t's started flag is set. Any field value is safe.
void RenderSound(int t) REQUIRES(sound_engine_lock);
// Renders the metronome click (0.04 s of a 700 Hz triangle) into `click_samples`. Changes
// `ActiveSound`.
void RenderClick() REQUIRES(sound_engine_lock);
