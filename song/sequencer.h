// The sequencer: one tick plays one row of the song. A periodic timer runs the tick every
// 1000 / `tempo` ms on a thread of its own; the transport commands start and stop playback.
//
// Threads: SequencerTick runs on the timer thread (tests may call it directly). Everything else
// here runs on the UI thread. The tick never waits for the UI: what it has to show is left in
// atomics that the UI applies on its next pass (ApplyTickRequests).
#pragma once

#include "resources/resource_ids.h"

#include <cstdint>

constexpr int WARMUP_TICKS = 10;     // ticks that keep playback stopped after start-up
constexpr int WARMUP_AFTER_FILE = 5; // value set after a song save or load
constexpr int LEVEL_LOW = 1500;      // a meter at most this rises by LEVEL_RISE_LOW on a note
constexpr int LEVEL_RISE_LOW = 2045;
constexpr int LEVEL_RISE_HIGH = 800;

// The live tick timer, 0 when none. UI thread.
extern int tick_timer_id;

// One row: warm-up, metronome and count-down, the four channels 3, 2, 1, 0, then the row and
// position advance. Tick thread; takes `sound_engine_lock` for the row's notes and stops.
void SequencerTick();

// Kills the running tick timer, if any, then starts one at 1000 / `tempo` ms (tempo taken as at
// least 1). Waits for a running tick to finish. UI thread.
void RestartTickTimer();
// Kills the tick timer, if any, waiting for a running tick to finish. UI thread.
void KillTickTimer();

// Puts the pending count-down image on its button. UI thread, once per pass.
void ApplyTickRequests();

// Transport. Play song starts at row 0 of the current position, play pattern at the current row;
// both then set up the metronome and count-down (a count-down of 1 in record mode waits, unarmed,
// for the first MIDI message). Stop halts playback and silences voices 0..3. UI thread.
void StartSongPlay();
void StartPatternPlay();
void StopPlay();
