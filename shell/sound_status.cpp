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
// The lowest setting with (next to) no dropout in bench/sound_dropouts.sh on the build machine;
// resources/alsoft.conf holds its period.
constexpr AudioLatency kDefaultLatency = AudioLatency::Normal;

// The message for a change from what was last told, or null when there is nothing to tell.
const char* Message(Output now, const SoundOutputStatus& s) {
    switch (now) {
    case Output::Lost: return "Sound output lost; waiting for a device...";
    case Output::NotAnswering:
        return "The sound server does not answer; playing silently until it does.";
    case Output::Ok:
        if (s.told == Output::Lost || (s.told == Output::NotAnswering && s.everHeard))
            return "Sound output is back.";
        if (s.told == Output::NoDevice || s.told == Output::NotAnswering)
            return "Sound output found.";
        return nullptr;
    case Output::NoDevice: return nullptr; // no sound card is no error: silent, quietly
    }
    return nullptr;
}

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
    if (output == s.told) return;
    if (const char* message = Message(output, s))
        desktop().SetControlText(MAIN_WINDOW, STATUS_LINE, message);
    s.told = output;
    if (output == Output::Ok) s.everHeard = true;
}

int64_t SoundOutputLookIn(int64_t nowMs) {
    if (!voices().HasOutput()) return -1;
    const int64_t due = sound_output_status.nextLookMs - nowMs;
    return due > 0 ? due : 0;
}

int AudioPeriodFrames(AudioLatency latency) {
    switch (latency) {
    case AudioLatency::Low: return 256;
    case AudioLatency::Normal: return 512;
    case AudioLatency::Safe: return 1024;
    }
    return 256;
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
                                 std::to_string(AudioPeriodFrames(latency)) +
                                 "-frame period) is used from the next start.");
}

void StartSoundOutput() {
    voices().OpenOutput(AudioPeriodFrames(ChosenAudioLatency()));
}
