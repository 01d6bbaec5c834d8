#include "sound/audio_output.h"

#include "platform/platform.h"
#include "sound/instrument_bank.h"
#include "sound/synthesis.h"

std::atomic<int> playing_flags[5];

static bool IsVoice(int ch) {
    return ch >= 0 && ch < OUTPUT_CHANNEL_COUNT;
}

void StartAudio() {
    for (int ch = 0; ch < OUTPUT_CHANNEL_COUNT; ++ch) {
        loop_flags[ch] = 0;
        playing_flags[ch] = 0;
    }
    SelectRenderBuffer(0);
    for (int ch = 0; ch < SOUND_TYPE_COUNT; ++ch)
        platform().VoiceCreate(ch, VOICE_LENGTH, VOICE_VOLUME);
    platform().VoiceCreate(CLICK_CHANNEL, CLICK_LENGTH, CLICK_VOLUME);
}

void StopAudio() {}

void FillChannel(int ch, const uint8_t* samples, int count) {
    if (IsVoice(ch) && count > 0) platform().VoiceFill(ch, samples, count);
}

void StopChannel(int ch) {
    if (ch == CLICK_CHANNEL) {
        platform().VoiceStop(ch);
    } else if (ch >= 0 && ch < SOUND_TYPE_COUNT) {
        if (playing_flags[ch].load(std::memory_order_relaxed)) platform().VoiceStop(ch);
        playing_flags[ch] = 0;
    }
}

void PlayChannel(int ch) {
    if (!IsVoice(ch)) return;
    playing_flags[ch] = 1;
    platform().VoicePlay(ch, ch != CLICK_CHANNEL && loop_flags[ch] != 0);
}

void StartSound(int t) {
    if (t < 0 || t >= SOUND_TYPE_COUNT || SoundTypeStarted(t)) return;
    StopChannel(t);
    FillChannel(t, render_buffers[t], VOICE_LENGTH);
    sound_started[t] = 1;
    PlayChannel(t);
}

void PlayClick() {
    StopChannel(CLICK_CHANNEL);
    PlayChannel(CLICK_CHANNEL);
}
