// The five output voices: 0..3 play sound types 0..3, voice 4 the metronome click. Starting a
// sound copies its render into the voice's buffer and plays it once or looping; the platform
// mixes the voices.
//
// Threads: StartSound, StopChannel, PlayClick and FillChannel run with `sound_engine_lock`
// held, on the tick thread or the UI thread. StartAudio and StopAudio run on the UI thread at
// start-up and exit.
#pragma once

#include "sound/sound_engine.h"

#include <atomic>
#include <cstdint>

constexpr int VOICE_LENGTH = 81664; // bytes of voices 0..3: a render less its last 256
constexpr int VOICE_VOLUME = -1000; // voices 0..3, hundredths of a decibel (-10 dB)
constexpr int CLICK_VOLUME = -100;  // voice 4 (-1 dB)

// Clears the loop and playing flags, selects type 0's render buffer and creates the five voices
// with their sizes and volumes. Without an audio device the voices do nothing.
void StartAudio() REQUIRES(sound_engine_lock);
// The render buffers are static storage; nothing is left to release.
void StopAudio();

// Copies `count` samples to the start of voice `ch`. Any `ch` outside 0..4 is ignored.
void FillChannel(int ch, const uint8_t* samples, int count) REQUIRES(sound_engine_lock);
// Voice 4 is always stopped and rewound; voices 0..3 only when their playing flag is set.
void StopChannel(int ch) REQUIRES(sound_engine_lock);
// Sets the playing flag and plays the voice, looping when its loop flag is set.
void PlayChannel(int ch) REQUIRES(sound_engine_lock);
// Restarts voice t with the render of sound type t and sets t's started flag, unless t is not
// 0..3 or its started flag is already set.
void StartSound(int t) REQUIRES(sound_engine_lock);
// Restarts the metronome click.
void PlayClick() REQUIRES(sound_engine_lock);
// Renders the metronome click and fills voice 4 with it. Changes `ActiveSound`. Called once at
// start-up, after StartAudio.
void PrepareClick() REQUIRES(sound_engine_lock);
