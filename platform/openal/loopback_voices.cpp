#include "platform/openal/loopback_voices.h"

#include <AL/alc.h>

#include <algorithm>
#include <cstring>

namespace {

// Frames the mixer may still put out after a voice's last sample: the resampler's reach and
// the short fade OpenAL applies when a voice ends. Generous; silence after it costs nothing.
constexpr int64_t kMixerReach = 256;
constexpr uint8_t kSilence = 128;

// The number of samples up to the last one that is not silence, looked for eight at a time
// from the end (a sound is mostly followed by a long silence).
int64_t LoudLength(const std::vector<uint8_t>& samples) {
    constexpr uint64_t kSilentWord = 0x0101010101010101ull * kSilence;
    size_t end = samples.size();
    for (; end >= 8; end -= 8) {
        uint64_t word;
        std::memcpy(&word, samples.data() + end - 8, 8);
        if (word != kSilentWord) break;
    }
    while (end > 0 && samples[end - 1] == kSilence) --end;
    return static_cast<int64_t>(end);
}

} // namespace

LoopbackVoices::~LoopbackVoices() {
    Close();
}

bool LoopbackVoices::Open(int rate) {
    Close();
    previousContext_ = alcGetCurrentContext();
    open_ = true;
    rate_ = rate;
    frame_ = 0;
    for (Voice& v : voice_) v = Voice{};
    if (voices_.OpenLoopback(rate)) return true;
    Close();
    return false;
}

void LoopbackVoices::Close() {
    if (!open_) return;
    voices_.Close();
    // The loopback context was made current on open; give the process its own back.
    alcMakeContextCurrent(static_cast<ALCcontext*>(previousContext_));
    previousContext_ = nullptr;
    open_ = false;
}

void LoopbackVoices::Mix(int16_t* out, int frames) {
    if (frames <= 0) return;
    if (voices_.silent()) {
        std::fill(out, out + frames, int16_t{0});
    } else {
        voices_.Render(out, frames);
    }
    frame_ += frames;
}

bool LoopbackVoices::Silent() const {
    for (const Voice& v : voice_)
        if (v.audibleUntil > frame_) return false;
    return true;
}

void LoopbackVoices::Create(int voice, int bytes, int volumeHundredthsDb) {
    voices_.Create(voice, bytes, volumeHundredthsDb);
    if (voice < 0 || voice >= OpenAlVoices::VOICES || bytes <= 0) return;
    voice_[voice].samples.assign(static_cast<size_t>(bytes), kSilence);
    voice_[voice].loudLength = 0;
    voice_[voice].audibleUntil = 0;
}

void LoopbackVoices::Fill(int voice, const uint8_t* samples, int count) {
    voices_.Fill(voice, samples, count);
    if (voice < 0 || voice >= OpenAlVoices::VOICES || count <= 0) return;
    std::vector<uint8_t>& whole = voice_[voice].samples;
    const auto end = samples + std::min<size_t>(static_cast<size_t>(count), whole.size());
    if (std::equal(samples, end, whole.begin())) return; // the same sound again
    std::copy(samples, end, whole.begin());
    voice_[voice].loudLength = LoudLength(whole);
}

void LoopbackVoices::Play(int voice, bool looping) {
    voices_.Play(voice, looping);
    if (voice < 0 || voice >= OpenAlVoices::VOICES) return;
    Voice& v = voice_[voice];
    // The voice sounds up to its last sample that is not silence, found when it was filled.
    const int64_t length = v.loudLength;
    if (length == 0) {
        v.audibleUntil = frame_;
    } else if (looping) {
        v.audibleUntil = kForever;
    } else {
        const int64_t frames =
            (length * rate_ + OpenAlVoices::VOICE_RATE - 1) / OpenAlVoices::VOICE_RATE;
        v.audibleUntil = frame_ + frames + kMixerReach;
    }
}

void LoopbackVoices::Stop(int voice) {
    voices_.Stop(voice);
    if (voice < 0 || voice >= OpenAlVoices::VOICES) return;
    voice_[voice].audibleUntil = std::min(voice_[voice].audibleUntil, frame_ + kMixerReach);
}
