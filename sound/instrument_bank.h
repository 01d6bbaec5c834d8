// The bank of 16 instruments, their 88-byte records, and the copies between an instrument and
// the working copy `ActiveSound` (sound/sound_engine.h).
//
// Threads: the bank records and `current_instrument` are used by the UI thread and by the
// sequencer's tick thread. Whoever loads, renders or starts a sound holds `sound_engine_lock`
// for the whole sequence.
#pragma once

#include "sound/sound_engine.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

constexpr int INSTRUMENT_COUNT = 16;
constexpr std::size_t INSTRUMENT_RECORD_SIZE = 88;
constexpr std::size_t SOUND_BANK_SIZE = INSTRUMENT_RECORD_SIZE * INSTRUMENT_COUNT; // 1408 bytes

// One instrument. Field order and widths are those of the 88-byte little-endian record that the
// sound bank file stores; EncodeInstrument/DecodeInstrument convert field by field.
struct Instrument {
    char name[INSTRUMENT_NAME_SIZE]; // NUL-terminated
    int32_t soundType;               // 0 pulse with sweep, 1 pulse, 2 table waveform, 3 noise
    int32_t testFrequency;           // Hz, used when the editor plays the sound
    int32_t soundLength;             // hundredths of a second, 0..99
    int32_t reserved44;              // kept as loaded, never written by the program
    double lengthSeconds;            // soundLength * 0.01; what the synthesiser reads
    int32_t useLength;               // 1: the sound stops after lengthSeconds
    int32_t initVolume;              // 0..15
    int32_t fade;                    // 0..14, 7 = no envelope, above fades out, below fades in
    int32_t period;                  // 0..7, sweep step interval (sound type 0)
    int32_t pitchBend;               // 0..14, 7 = no sweep (sound type 0)
    int32_t waveform;                // 0..3, pulse duty pattern (sound types 0 and 1)
    int32_t waveformType;            // 0..7, waveform table (sound type 2)
    int32_t reserved84;              // kept as loaded, never written by the program
};

// The bank of 16 instruments. Read and written with `sound_engine_lock` held whenever the tick
// may be running.
extern Instrument SoundBank[INSTRUMENT_COUNT];

// The instrument that note entry plays and the editor edits, 0..15. Any thread.
extern std::atomic<int16_t> current_instrument;

// Fills the bank with the 16 default instruments "dummy 0" .. "dummy 15", clears the started
// flags and makes instrument 0 current. UI thread, before the tick timer runs.
void InitSoundBank();

// Copies instrument k into `ActiveSound` unless the started flag of k's sound type is set (or k
// is not 0..15). Returns whether it copied. Engine lock held.
bool LoadActiveSound(int k) REQUIRES(sound_engine_lock);
// Copies `ActiveSound` into instrument k; the reserved words of k stay as they are. k outside
// 0..15 changes nothing. Engine lock held.
void StoreActiveSound(int k) REQUIRES(sound_engine_lock);
// The entry of instrument k in the main window's instrument list: "(%x)%s[%d]".
void FormatInstrumentLabel(int k, char* out, std::size_t size);

// The 88-byte record, little-endian, field by field, whatever the host's byte order.
void EncodeInstrument(const Instrument& in, uint8_t out[INSTRUMENT_RECORD_SIZE]);
// Reads a record; the name is cut at 31 characters so that it is always terminated. Field values
// are taken as they are: the renderers are safe for any value.
void DecodeInstrument(const uint8_t in[INSTRUMENT_RECORD_SIZE], Instrument& out);
