// Export of the song in memory to a WAV file (16-bit PCM mono), rendered offline.
//
// The render plays the song as song play does, from row 0 of position 0 with the metronome and
// the count-down off, calling the same SequencerTick as live playback; the ticks fall exactly
// 1000 / `tempo` ms apart in sample time. The tick's voice calls reach the mixer the caller
// passes (OpenAL's loopback mixer, platform/openal/loopback_voices.h), installed as the voices
// for the duration, so they keep the gains and the looping of live playback. The render ends where
// song play ends (the end of a song without looping, or a stop command), or after `loops` passes of
// a looping song (a pass ends when the position wraps to 0); a tail of at most 2 s follows, cut
// short once every voice has fallen silent. Every channel is heard: mutes are lifted for the
// render.
//
// Deterministic: the same song and options give the same samples on every run.
//
// Contract for callers (the "Export WAV..." command and tools/render_main.cpp):
// - Call on the UI thread (or the only thread), with playback stopped. A running tick timer is
//   killed for the render and started again after it.
// - The song, `song_modified`, the play state, the cursor, the meters, the metronome setting,
//   the mutes, `ActiveSound`, the started, loop and playing flags, the render buffers and the
//   noise generator are all as they were when it returns. The live voices are installed again,
//   and the live audio device is never touched.
// - While it runs, every voice call goes to the export's mixer: no note may be played from the
//   keyboard, MIDI or the sound editor meanwhile (keep the progress modal).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

class MixingVoices;

constexpr size_t WAV_HEADER_SIZE = 44;
constexpr int WAV_TAIL_SECONDS = 2; // at most this long after the song ends
constexpr int WAV_MAX_LOOPS = 99;

struct WavExportOptions {
    int loops = 1;    // passes of a looping song, 1..WAV_MAX_LOOPS
    int rate = 48000; // samples per second, 8000..192000
};

enum class WavExportResult {
    Done,
    Cancelled,      // the progress callback asked to stop; no file was written
    BadOptions,     // loops or rate out of range
    NoMixer,        // OpenAL offers no loopback device
    TooLong,        // more samples than a WAV file can hold
    WriteFailed,    // the file could not be written; any earlier file is kept
    NotRegularFile, // the chosen name is a folder, a device or a pipe: nothing was written
};

// What a finished render measured.
struct WavExportStats {
    int64_t ticks = 0;      // sequencer ticks run
    int64_t songFrames = 0; // samples before the tail
    int64_t frames = 0;     // samples in all, the tail included
};

// Told the share done, 0..100, whenever it grows; returns false to cancel.
using WavProgress = std::function<bool(int percent)>;
// Takes the next `count` samples; returns false when it cannot (the render then stops).
using WavSink = std::function<bool(const int16_t* samples, int count)>;

// The 44-byte RIFF header of a 16-bit PCM mono file at `rate` with `samples` samples, each field
// little-endian.
void EncodeWavHeader(uint8_t out[WAV_HEADER_SIZE], int rate, uint32_t samples);

// Renders the song, handing the samples to `sink` in order. `progress` may be empty.
WavExportResult RenderSong(MixingVoices& mixer, const WavExportOptions& options,
                           const WavProgress& progress, const WavSink& sink,
                           WavExportStats* stats = nullptr);

// Renders the song into a WAV file at `path`, written through a temporary file beside it and
// put in place only when complete (WriteFileSafely). A name that is not a regular file is
// refused before anything is rendered. The entry point of the "Export WAV..." command.
WavExportResult RenderSongToWav(MixingVoices& mixer, const std::string& path,
                                const WavExportOptions& options, const WavProgress& progress,
                                WavExportStats* stats = nullptr);

// A sentence for the user about a result that is not Done.
const char* WavExportMessage(WavExportResult result);

// Rows the sequencer will play in `loops` passes of the song in memory, from row 0 of position
// 0 with every channel heard. For progress only.
int64_t CountSongTicks(int loops);
