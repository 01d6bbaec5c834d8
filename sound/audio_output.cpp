#include "sound/audio_output.h"

#include "platform/voices.h"
#include "sound/synthesis.h"

static bool IsVoice(int ch) {
    return ch >= 0 && ch < OUTPUT_CHANNEL_COUNT;
}

void StartAudio() {
    for (int ch = 0; ch < OUTPUT_CHANNEL_COUNT; ++ch) {
        engine.loop_flags[ch] = 0;
        engine.playing_flags[ch] = 0;
    }
    engine.current_render_buffer = 0;
    for (int ch = 0; ch < SOUND_TYPE_COUNT; ++ch) voices().Create(ch, VOICE_LENGTH, VOICE_VOLUME);
    voices().Create(CLICK_CHANNEL, CLICK_LENGTH, CLICK_VOLUME);
}

void StopAudio() {}

void FillChannel(int ch, const uint8_t* samples, int count) {
    if (IsVoice(ch) && count > 0) voices().Fill(ch, samples, count);
}

void StopChannel(int ch) {
    if (ch == CLICK_CHANNEL) {
        voices().Stop(ch);
    } else if (ch >= 0 && ch < SOUND_TYPE_COUNT) {
        if (engine.playing_flags[ch].load(std::memory_order_relaxed)) voices().Stop(ch);
        engine.playing_flags[ch] = 0;
    }
}

void PlayChannel(int ch) {
    if (!IsVoice(ch)) return;
    engine.playing_flags[ch] = 1;
    voices().Play(ch, ch != CLICK_CHANNEL && engine.loop_flags[ch] != 0);
}

void StartSound(int t) {
    if (t < 0 || t >= SOUND_TYPE_COUNT || SoundTypeStarted(t)) return;
    StopChannel(t);
    FillChannel(t, engine.render_buffers[t], VOICE_LENGTH);
    engine.sound_started[t] = 1;
    PlayChannel(t);
}

void PlayClick() {
    StopChannel(CLICK_CHANNEL);
    PlayChannel(CLICK_CHANNEL);
}

void PrepareClick() {
    RenderClick();
    FillChannel(CLICK_CHANNEL, engine.click_samples, CLICK_LENGTH);
}
