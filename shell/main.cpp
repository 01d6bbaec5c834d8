// The program's entry point. The editor window is not built yet: for now the program sets up
// the instrument bank, the synthesiser and the audio output as start-up does, plays the
// metronome click and one note of each sound type, and reports what it made.
#include "platform/desktop_platform.h"
#include "sound/audio_output.h"
#include "sound/engine_lock.h"
#include "sound/instrument_bank.h"
#include "sound/synthesis.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

int main() {
    DesktopPlatform desktop;
    const bool audio = desktop.OpenAudio();
    SetPlatform(&desktop);
    std::unique_lock<std::mutex> lock(sound_engine_lock);
    InitSoundBank();
    StartAudio();
    PrepareClick();
    if (audio) {
        const long long latency = desktop.voices().LatencyNanoseconds();
        std::printf("Audio output open (device latency %s).\n",
                    latency >= 0 ? (std::to_string(latency / 1000) + " us").c_str() : "unknown");
    } else {
        std::printf("No audio device: running silent.\n");
    }

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
        ClearStartedFlags();
        StartSound(t);
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
    // Let each note be heard for a moment, one after the other, then the click.
    for (int t = 0; t < SOUND_TYPE_COUNT && audio; ++t) {
        ClearStartedFlags();
        StartSound(t);
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        lock.lock();
        StopChannel(t);
    }
    PlayClick();
    int clickSamples = 0;
    for (uint8_t v : click_samples) clickSamples += v != SILENCE;
    std::printf("Metronome click: %d samples not silent.\n", clickSamples);
    std::printf("The editor window and the song files are not built yet.\n");
    if (audio) {
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        lock.lock();
    }
    SetPlatform(nullptr);
    return 0;
}
