// The sound engine's working state and the one lock that guards it.
//
// The lock is held for each whole "load instrument, set frequency, render, start" sequence and
// for every voice stop, by whichever thread runs it (sequencer tick, note entry, sound editor),
// so that a note played from the keyboard can never take `ActiveSound` or a render buffer from
// under the tick. Never hold it while waiting for the UI thread. The state it guards is marked
// GUARDED_BY, and functions that need it held are marked REQUIRES, for clang's analysis.
#pragma once

#include "platform/shared_word.h"
#include "platform/thread_annotations.h"

#include <cstdint>
#include <mutex>

// ------------------------------------------------------------------------------ the lock

class CAPABILITY("mutex") EngineLock {
  public:
    void lock() ACQUIRE() { mutex_.lock(); }
    void unlock() RELEASE() { mutex_.unlock(); }

  private:
    std::mutex mutex_;
};
extern EngineLock sound_engine_lock;

// Holds the engine lock for a scope.
class SCOPED_CAPABILITY EngineLockGuard {
  public:
    explicit EngineLockGuard(EngineLock& lock) ACQUIRE(lock) : lock_(lock) { lock_.lock(); }
    ~EngineLockGuard() RELEASE() { lock_.unlock(); }
    EngineLockGuard(const EngineLockGuard&) = delete;
    EngineLockGuard& operator=(const EngineLockGuard&) = delete;

  private:
    EngineLock& lock_;
};

// ------------------------------------------------------------------------------ sizes

constexpr int SAMPLE_RATE = 45056;      // samples per second
constexpr int RENDER_LENGTH = 81920;    // samples in one rendered sound (1.818 s)
constexpr int CLICK_LENGTH = 40960;     // samples of the metronome click voice
constexpr int OUTPUT_CHANNEL_COUNT = 5; // voices 0..3 play sound types 0..3
constexpr int CLICK_CHANNEL = 4;        // voice 4 plays the metronome click
constexpr uint8_t SILENCE = 128;
// A few bytes of slack follow each render block so that runs can be written with whole-word
// stores; only the first RENDER_LENGTH bytes are a sound.
constexpr int RENDER_SLACK = 16;

// ------------------------------------------------------------------------------ the state

constexpr int SOUND_TYPE_COUNT = 4;
constexpr int INSTRUMENT_NAME_SIZE = 32; // NUL included: at most 31 characters

// The working parameter set: every instrument field except the reserved words.
struct ActiveSoundState {
    char name[INSTRUMENT_NAME_SIZE];
    int32_t soundType;
    int32_t testFrequency;
    int32_t soundLength;
    double lengthSeconds;
    int32_t useLength;
    int32_t initVolume;
    int32_t fade;
    int32_t period;
    int32_t pitchBend;
    int32_t waveform;
    int32_t waveformType;
};

struct SoundEngineState {
    // The working copy of an instrument through which every render, play and edit goes.
    ActiveSoundState ActiveSound GUARDED_BY(sound_engine_lock) = {};
    // One block per sound type, as unsigned 8-bit samples at 45056 Hz.
    alignas(64) uint8_t render_buffers[4][RENDER_LENGTH + RENDER_SLACK] GUARDED_BY(
        sound_engine_lock) = {};
    // The sound type whose block the renderers write; type 0's until SelectRenderBuffer picks
    // another.
    int current_render_buffer GUARDED_BY(sound_engine_lock) = 0;
    // Per output channel: the last render of that channel's type asked to be played looping.
    // The click channel's flag is never set.
    int loop_flags[OUTPUT_CHANNEL_COUNT] GUARDED_BY(sound_engine_lock) = {};
    // The metronome click, made once by PrepareClick; voice 4 plays it.
    uint8_t click_samples[CLICK_LENGTH] GUARDED_BY(sound_engine_lock) = {};
    // The noise generator's state: 1 at start, never reseeded, shared by every noise render.
    uint32_t noise_state GUARDED_BY(sound_engine_lock) = 1;
    // Set when a sound of that type was started in the current sequencer tick; while set,
    // loading, rendering and starting a sound of that type are skipped. Atomic words, so
    // clearing them needs no lock.
    SharedWord<int> sound_started[SOUND_TYPE_COUNT];
    // Per voice 0..4: set when the voice was started, cleared when voices 0..3 are stopped.
    SharedWord<int> playing_flags[OUTPUT_CHANNEL_COUNT];
};
extern SoundEngineState engine;

// The block the renderers write now.
uint8_t* CurrentRenderBuffer() REQUIRES(sound_engine_lock);

// True when type t is 0..3 and its started flag is set. Any thread.
bool SoundTypeStarted(int32_t t);
// Clears the four started flags. Any thread.
void ClearStartedFlags();
