// The five audio voices on OpenAL Soft: one source and one buffer per voice, 8-bit mono at
// 45056 Hz, played once or looping. Either on the default output device (silent and still
// working when there is none) or on the loopback device, which renders the mix on demand for
// tests and offline export.
//
// On the output device, the voices outlive the device: each voice's samples, size and volume
// are kept here, so when the device goes away (the sound server ends, the card is unplugged)
// KeepOutput lets go of it and later opens the default device again with the same voices.
//
// Threads: one caller at a time (the engine lock); OpenAL mixes on its own thread.
#pragma once

#include "platform/voices.h"

#include <chrono>
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
    // false, quietly, when there is no device: every voice operation then does nothing, and
    // no device is looked for later.
    bool OpenDevice();
    // Opens a loopback device that mixes to 16-bit mono at `rate` Hz when Render is called.
    bool OpenLoopback(int rate);
    void Close();
    bool silent() const { return context_ == nullptr; }

    void Create(int voice, int bytes, int volumeHundredthsDb) override;
    void Fill(int voice, const uint8_t* samples, int count) override;
    void Play(int voice, bool looping) override;
    void Stop(int voice) override;
    // On the output device: checks that it is still connected (a few microseconds). Once it is
    // not, closes it and, from then on, opens the default device again at most once per
    // `kReopenInterval` until one opens (a reopen took 2 to 20 ms on a PulseAudio server, a
    // failed one about 1 ms); the voices are then made again and refilled, stopped. False
    // while lost.
    bool KeepOutput() override;
    // True from the loss of the output device until KeepOutput has a new one.
    bool lost() const { return lost_; }
    bool HasOutput() const override { return !loopback_ && (!silent() || lost_); }
    static constexpr std::chrono::milliseconds kReopenInterval{1000};

    // Loopback only: mixes the next `frames` samples into `out`.
    void Render(int16_t* out, int frames);
    // The output latency the device reports, in nanoseconds, or -1 when it cannot tell.
    long long LatencyNanoseconds() const;

  private:
    bool MakeContext(const int* attributes);
    // Lets go of the sources, buffers, context and device; the voices' samples and volumes stay.
    void ReleaseDevice();
    // Gives the voice's buffer its samples and attaches it to the voice's source, stopped.
    void Upload(int voice);
    void ApplyVolume(int voice);
    ALCdevice_struct* device_ = nullptr;
    ALCcontext_struct* context_ = nullptr;
    bool loopback_ = false;
    bool tellsLoss_ = false; // the device answers ALC_CONNECTED
    bool lost_ = false;
    std::chrono::steady_clock::time_point nextReopen_{};
    unsigned sources_[VOICES] = {};
    unsigned buffers_[VOICES] = {};
    std::vector<uint8_t> samples_[VOICES]; // each voice's whole buffer, refilled from offset 0
    int volumes_[VOICES] = {};             // hundredths of a decibel
};
