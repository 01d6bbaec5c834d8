// The one sound-engine lock.
//
// Held for each whole "load instrument, set frequency, render, start" sequence and for every
// voice stop, by whichever thread runs it (sequencer tick, note entry, sound editor), so that a
// note played from the keyboard can never take `ActiveSound` or a render buffer from under the
// tick. Never hold it while waiting for the UI thread.
#pragma once

#include <mutex>

extern std::mutex sound_engine_lock;
