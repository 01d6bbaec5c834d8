#include "sound/note_player.h"

#include "sound/audio_output.h"
#include "sound/instrument_bank.h"
#include "sound/synthesis.h"

void PlayInstrumentNote(int k, int note) {
    LoadActiveSound(k);
    SetNoteFrequency(note);
    StartActiveSound();
}

void StartActiveSound() {
    const int t = engine.ActiveSound.soundType;
    SelectRenderBuffer(t);
    RenderSound(t);
    StartSound(t);
}

void LoadCurrentInstrument() {
    LoadActiveSound(current_instrument.load(std::memory_order_relaxed));
    SelectRenderBuffer(engine.ActiveSound.soundType);
}
