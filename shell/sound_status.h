// The sound output as the user sees it: when the device the voices play on goes away, the
// status line says so once, and says so again once it is back. The voices themselves find a
// device again (Voices::KeepOutput); this gives them the chance to, from the UI's pass.
//
// Threads: UI thread.
#pragma once

#include <cstdint>
#include <limits>

struct SoundOutputStatus {
    bool lost = false; // the status line last told that the output was lost
    int64_t nextLookMs = std::numeric_limits<int64_t>::min(); // steady clock, ms
};
extern SoundOutputStatus sound_output_status;

// Called by every main-loop pass; does its work at most every 250 ms: takes the engine lock
// and lets the voices keep their output (a reopen of a lost device, at most once a second,
// holds this thread and the lock for up to about 20 ms), then tells a change in the status
// line.
void PollSoundOutput();
// Milliseconds until PollSoundOutput next wants to look, or -1 when there is no output device
// to watch (the main loop may then sleep as long as it likes).
int64_t SoundOutputLookIn(int64_t nowMs);
