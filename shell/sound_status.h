// The sound output as the user sees it: the status line says once that the output was lost,
// that the sound server does not answer, and that a device was found or is back. The voices
// themselves look for a device, in the background (Voices::KeepOutput); this gives them the
// chance to, from the UI's pass. Also the "Audio latency" choice, kept in the preference file.
//
// Threads: UI thread.
#pragma once

#include "platform/voices.h"

#include <cstdint>
#include <limits>

struct SoundOutputStatus {
    Voices::Output told = Voices::Output::Ok;                 // what the status line last told
    bool everHeard = false;                                   // a device was in use once
    int64_t nextLookMs = std::numeric_limits<int64_t>::min(); // steady clock, ms
};
extern SoundOutputStatus sound_output_status;

// Called by every main-loop pass; does its work at most every 250 ms: takes the engine lock
// and lets the voices keep their output (which never waits on the sound server), then tells a
// change in the status line.
void PollSoundOutput();
// Milliseconds until PollSoundOutput next wants to look, or -1 when there is no output device
// to watch (the main loop may then sleep as long as it likes).
int64_t SoundOutputLookIn(int64_t nowMs);

// The device buffer a choice asks for, in periods of 256 frames (alsoft.conf). Low keeps the
// key-to-sound delay shortest; Safe rides out a busy machine best. The period stays short in
// all three, so that waking a resting device adds little to the first note.
enum class AudioLatency { Low, Normal, Safe };
constexpr const char* AUDIO_LATENCY_KEY = "audio-latency";
int AudioPeriods(AudioLatency latency);
// The choice kept in the preference file ("low", "normal" or "safe"), else the default.
AudioLatency ChosenAudioLatency();
// Keeps a new choice. OpenAL reads its configuration once per run, so the status line says that
// it holds from the next start.
void ChooseAudioLatency(AudioLatency latency);
// Starts looking for the output device with the chosen buffer. At start-up, after the settings
// were read.
void StartSoundOutput();
