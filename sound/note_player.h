// The one road of a note to a voice: an instrument's sound at a note's pitch, rendered whole
// into its sound type's buffer and started on that type's voice. The sequencer tick, note entry
// and the sound editor all play through here.
//
// Threads: tick or UI thread, with the engine lock held.
#pragma once

#include "sound/sound_engine.h"

// Loads instrument k into `ActiveSound`, sets the frequency of note n for its sound type and
// starts it (StartActiveSound). A sound type already started in this tick (its started flag) is
// neither loaded, rendered nor started.
void PlayInstrumentNote(int k, int note) REQUIRES(sound_engine_lock);
// Renders `ActiveSound` as it stands into its sound type's buffer and starts that type's voice.
void StartActiveSound() REQUIRES(sound_engine_lock);
// Loads the current instrument and selects the render buffer of its type.
void LoadCurrentInstrument() REQUIRES(sound_engine_lock);
