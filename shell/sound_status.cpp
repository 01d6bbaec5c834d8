#include "shell/sound_status.h"

#include "platform/desktop.h"
#include "platform/voices.h"
#include "resources/resource_ids.h"
#include "shell/settings_file.h"
#include "song/song_state.h"
#include "sound/sound_engine.h"

#include <string>

SoundOutputStatus sound_output_status;

namespace {

using Output = Voices::Output;
constexpr int64_t kLookEveryMs = 250;

// Names in the preference file, in the order of AudioLatency.
constexpr const char* kLatencyNames[] = {"low", "normal", "safe"};
constexpr const char* kLatencyLabels[] = {"Low", "Normal", "Safe"};
// The lowest setting with no dropout in bench/sound_dropouts.sh on the build machine;
// resources/alsoft.conf holds its number of periods.
constexpr AudioLatency kDefaultLatency = AudioLatency::Safe;

} // namespace

void PollSoundOutput() {
    SoundOutputStatus& s = sound_output_status;
    const int64_t now = desktop().SteadyMilliseconds();
    if (now < s.nextLookMs) return;
    s.nextLookMs = now + kLookEveryMs;
    Output output;
    {
        const EngineLockGuard lock(sound_engine_lock);
        output = voices().KeepOutput(play.playing.load(std::memory_order_relaxed) != 0);
    }
    // Each state is told once: a server that keeps not answering, or keeps failing after it
    // was lost, is not told again at each new look, only once the output is back.
    const char* message = nullptr;
    switch (output) {
    case Output::Ok:
        if (s.told == Output::Lost || (s.told == Output::NotAnswering && s.everHeard))
            message = "Sound output is back.";
        else if (s.told == Output::NoDevice || s.told == Output::NotAnswering)
            message = "Sound output found.";
        s.told = Output::Ok;
        s.everHeard = true;
        break;
    case Output::Lost:
        if (s.told == Output::Ok) message = "Sound output lost; waiting for a device...";
        if (s.told != Output::NotAnswering) s.told = Output::Lost;
        break;
    case Output::NotAnswering:
        if (s.told != Output::NotAnswering)
            message = "The sound server does not answer; playing silently until it does.";
        s.told = Output::NotAnswering;
        break;
    case Output::NoDevice: // no sound card is no error: silent, quietly
        if (s.told == Output::Ok) s.told = Output::NoDevice;
        break;
    }
    if (message) desktop().SetControlText(MAIN_WINDOW, STATUS_LINE, message);
}

int64_t SoundOutputLookIn(int64_t nowMs) {
    if (!voices().HasOutput()) return -1;
    const int64_t due = sound_output_status.nextLookMs - nowMs;
    return due > 0 ? due : 0;
}

int AudioPeriods(AudioLatency latency) {
    switch (latency) {
    case AudioLatency::Low: return 2;
    case AudioLatency::Normal: return 4;
    case AudioLatency::Safe: return 8;
    }
    return 4;
}

AudioLatency ChosenAudioLatency() {
    const std::string name = Preference(AUDIO_LATENCY_KEY);
    for (int i = 0; i < 3; ++i)
        if (name == kLatencyNames[i]) return static_cast<AudioLatency>(i);
    return kDefaultLatency;
}

void ChooseAudioLatency(AudioLatency latency) {
    const int i = static_cast<int>(latency);
    if (latency == ChosenAudioLatency()) return;
    SetPreference(AUDIO_LATENCY_KEY, kLatencyNames[i]);
    desktop().SetControlText(MAIN_WINDOW, STATUS_LINE,
                             std::string("Audio latency ") + kLatencyLabels[i] + " (" +
                                 std::to_string(AudioPeriods(latency)) +
                                 " periods of 256 frames) is used from the next start.");
}

void StartSoundOutput() {
    voices().OpenOutput(AudioPeriods(ChosenAudioLatency()));
}
