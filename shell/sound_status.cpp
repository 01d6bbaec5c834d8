#include "shell/sound_status.h"

#include "platform/desktop.h"
#include "platform/voices.h"
#include "resources/resource_ids.h"
#include "sound/sound_engine.h"

SoundOutputStatus sound_output_status;

namespace {
constexpr int64_t kLookEveryMs = 250;
} // namespace

void PollSoundOutput() {
    SoundOutputStatus& s = sound_output_status;
    const int64_t now = desktop().SteadyMilliseconds();
    if (now < s.nextLookMs) return;
    s.nextLookMs = now + kLookEveryMs;
    bool heard;
    {
        const EngineLockGuard lock(sound_engine_lock);
        heard = voices().KeepOutput();
    }
    if (heard != s.lost) return;
    s.lost = !heard;
    desktop().SetControlText(MAIN_WINDOW, STATUS_LINE,
                             s.lost ? "Sound output lost; waiting for a device..."
                                    : "Sound output is back.");
}

int64_t SoundOutputLookIn(int64_t nowMs) {
    if (!voices().HasOutput()) return -1;
    const int64_t due = sound_output_status.nextLookMs - nowMs;
    return due > 0 ? due : 0;
}
