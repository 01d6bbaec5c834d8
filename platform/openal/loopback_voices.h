// The five voices on OpenAL's loopback device, which mixes on demand instead of playing to a
// sound card: the WAV export and the sound tests play into it and take the mix.
//
// It also follows when each voice stops making sound, so that a render can end its tail once
// every voice has fallen silent.
//
// Threads: every call is made with `sound_engine_lock` held.
#pragma once

#include "platform/openal/openal_voices.h"
#include "platform/voices.h"

#include <cstdint>
#include <vector>

class LoopbackVoices : public MixingVoices {
  public:
    LoopbackVoices() = default;
    ~LoopbackVoices() override;
    LoopbackVoices(const LoopbackVoices&) = delete;
    LoopbackVoices& operator=(const LoopbackVoices&) = delete;

    // Opens the loopback device mixing 16-bit mono at `rate` Hz. False when OpenAL offers no
    // loopback device. Whatever OpenAL context was current before is made current again on
    // Close, so a live device keeps working after an export.
    bool Open(int rate) override;
    void Close() override;
    void Mix(int16_t* out, int frames) override;
    bool Silent() const override;
    // Frames mixed since Open.
    int64_t framesMixed() const { return frame_; }

    void Create(int voice, int bytes, int volumeHundredthsDb) override;
    void Fill(int voice, const uint8_t* samples, int count) override;
    void Play(int voice, bool looping) override;
    void Stop(int voice) override;

  private:
    static constexpr int64_t kForever = INT64_MAX;
    OpenAlVoices voices_;
    void* previousContext_ = nullptr; // the context current before Open
    bool open_ = false;
    int rate_ = 0;
    int64_t frame_ = 0;
    struct Voice {
        std::vector<uint8_t> samples; // a copy of the voice's buffer
        int64_t loudLength = 0;       // samples up to the last one that is not silence
        int64_t audibleUntil = 0;     // first frame after the voice's last sound
    };
    Voice voice_[OpenAlVoices::VOICES];
};
