// The five audio voices on OpenAL Soft: one source and one buffer per voice, 8-bit mono at
// 45056 Hz, played once or looping. Either on the default output device (silent and still
// working when there is none) or on the loopback device, which renders the mix on demand for
// tests and offline export.
//
// Threads: one caller at a time (the engine lock); OpenAL mixes on its own thread.
#pragma once

#include "platform/voices.h"

#include <cstdint>
#include <vector>

struct ALCdevice_struct;
struct ALCcontext_struct;

class OpenAlVoices : public Voices {
  public:
    static constexpr int VOICES = 5;
    static constexpr int VOICE_RATE = 45056;

    OpenAlVoices() = default;
    ~OpenAlVoices() override;
    OpenAlVoices(const OpenAlVoices&) = delete;
    OpenAlVoices& operator=(const OpenAlVoices&) = delete;

    // Opens the default output device with the program's low-latency configuration. Returns
    // false, quietly, when there is no device: every voice operation then does nothing.
    bool OpenDevice();
    // Opens a loopback device that mixes to 16-bit mono at `rate` Hz when Render is called.
    bool OpenLoopback(int rate);
    void Close();
    bool silent() const { return context_ == nullptr; }

    void Create(int voice, int bytes, int volumeHundredthsDb) override;
    void Fill(int voice, const uint8_t* samples, int count) override;
    void Play(int voice, bool looping) override;
    void Stop(int voice) override;

    // Loopback only: mixes the next `frames` samples into `out`.
    void Render(int16_t* out, int frames);
    // The output latency the device reports, in nanoseconds, or -1 when it cannot tell.
    long long LatencyNanoseconds() const;

  private:
    bool MakeContext(const int* attributes);
    ALCdevice_struct* device_ = nullptr;
    ALCcontext_struct* context_ = nullptr;
    bool loopback_ = false;
    unsigned sources_[VOICES] = {};
    unsigned buffers_[VOICES] = {};
    std::vector<uint8_t> samples_[VOICES]; // each voice's whole buffer, refilled from offset 0
};
