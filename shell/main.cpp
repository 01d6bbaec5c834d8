// The program's entry point. The editor window is not built yet: for now the program sets up
// the instrument bank and the synthesiser as start-up does, renders the metronome click and one
// note of each sound type, and reports what it made.
#include "sound/engine_lock.h"
#include "sound/instrument_bank.h"
#include "sound/synthesis.h"

#include <cstdio>

int main() {
    std::lock_guard<std::mutex> lock(sound_engine_lock);
    InitSoundBank();
    PrepareClick();

    std::printf("Music Editor V2.10: instrument bank\n");
    char label[64];
    for (int k = 0; k < INSTRUMENT_COUNT; ++k) {
        FormatInstrumentLabel(k, label, sizeof label);
        std::printf("  %s\n", label);
    }

    // One A (note 10, 440 Hz; noise note 10, 2048 Hz) at full volume for each sound type.
    static const char* const kTypeNames[SOUND_TYPE_COUNT] = {"pulse with sweep", "pulse",
                                                             "table waveform", "noise"};
    std::printf("One note of each sound type (%d samples at %d Hz):\n", RENDER_LENGTH, SAMPLE_RATE);
    for (int t = 0; t < SOUND_TYPE_COUNT; ++t) {
        SoundBank[0].soundType = t;
        SoundBank[0].initVolume = 15;
        SoundBank[0].fade = 7;
        SoundBank[0].waveform = 2;
        LoadActiveSound(0, nullptr);
        SetNoteFrequency(10);
        SelectRenderBuffer(t);
        RenderSound(t);
        int sounding = 0, lowest = 255, highest = 0;
        for (int i = 0; i < RENDER_LENGTH; ++i) {
            const int v = current_render_buffer[i];
            sounding += v != SILENCE;
            lowest = v < lowest ? v : lowest;
            highest = v > highest ? v : highest;
        }
        std::printf("  type %d (%s) at %d Hz: %d samples not silent, levels %d..%d, %s\n", t + 1,
                    kTypeNames[t], ActiveSound.testFrequency, sounding, lowest, highest,
                    loop_flags[t] ? "loops" : "plays once");
    }
    int clickSamples = 0;
    for (uint8_t v : click_samples) clickSamples += v != SILENCE;
    std::printf("Metronome click: %d samples not silent.\n", clickSamples);
    std::printf("The editor window, audio output and files are not built yet.\n");
    return 0;
}
