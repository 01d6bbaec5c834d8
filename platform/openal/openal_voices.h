// The five audio voices on OpenAL Soft: one source and one buffer per voice, 8-bit mono at
// 45056 Hz, played once or looping. Either on the default output device (silent and still
// working while there is none) or on the loopback device, which renders the mix on demand for
// tests and offline export. Neither uses OpenAL's output limiter: the mix never reaches full
// scale, and the limiter's look-ahead would only add a millisecond of delay and its cost.
//
// On the output device, the voices outlive the device: each voice's samples, size and volume
// are kept here. A thread of the voices' own opens, checks, pauses, resumes and closes the
// device, since any of these may wait on a sound server that does not answer; the callers'
// thread only takes an opened device into use and plays on it.
//
// Threads: one caller at a time (the engine lock); the device thread; OpenAL's mixer.
#pragma once

#include "platform/voices.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

struct ALCdevice_struct;
struct ALCcontext_struct;

class OpenAlVoices : public Voices {
  public:
    static constexpr int VOICES = 5;
    static constexpr int VOICE_RATE = 45056;
    using Clock = std::chrono::steady_clock;

    OpenAlVoices();
    ~OpenAlVoices() override;
    OpenAlVoices(const OpenAlVoices&) = delete;
    OpenAlVoices& operator=(const OpenAlVoices&) = delete;

    // Looks for the default output device in the background (see Voices::OpenOutput). With
    // `periods` above 0 and no ALSOFT_CONF of the user's, OpenAL reads a copy of the shipped
    // alsoft.conf with that many periods.
    void OpenOutput(int periods) override;
    // OpenOutput, then waits for the first look and takes its device into use: false when none
    // opened (every voice operation is then silent, and KeepOutput goes on looking). For tools
    // and tests; the editor never waits.
    bool OpenDevice(int periods = 0);
    // Opens a loopback device that mixes to 16-bit mono at `rate` Hz when Render is called.
    // Until a process asks for an output device, OpenAL is kept to its null backend, so that a
    // render never touches a sound server.
    bool OpenLoopback(int rate);
    void Close();
    bool silent() const { return context_ == nullptr; }

    void Create(int voice, int bytes, int volumeHundredthsDb) override;
    void Fill(int voice, const uint8_t* samples, int count) override;
    // Plays the voice; on a resting device, also wakes it.
    void Play(int voice, bool looping) override;
    void Stop(int voice) override;
    // Never blocks: hands the work that may wait on the server to the device thread and takes
    // in what it found. A device that went away is let go at the next call after the thread
    // noticed; a new one is looked for at most once per `kReopenInterval`.
    Output KeepOutput(bool songPlaying = false) override;
    // True from the loss of the output device until KeepOutput has a new one.
    bool lost() const { return lost_; }
    bool HasOutput() const override { return looking_.load(std::memory_order_relaxed); }
    // True while the device rests (paused) for lack of anything to play.
    bool resting() const;
    static constexpr std::chrono::milliseconds kReopenInterval{1000};
    // Quiet time after which the output device rests, and how long a device operation may wait
    // on the server before KeepOutput calls it not answering.
    static constexpr std::chrono::milliseconds kRestAfter{2000};
    static constexpr std::chrono::milliseconds kAnswerWithin{2000};

    // Loopback only: mixes the next `frames` samples into `out`.
    void Render(int16_t* out, int frames);
    // The output latency the device reports, in nanoseconds, or -1 when it cannot tell.
    long long LatencyNanoseconds() const;

    struct DeviceThread; // the shared state of the device thread (openal_voices.cpp)

  private:
    // Makes the five sources and buffers on the current context.
    bool MakeVoices();
    // Takes the opened device and context into use: current context, voices made and filled,
    // looping voices that were playing started again.
    void Adopt(ALCdevice_struct* device, ALCcontext_struct* context, bool tellsLoss);
    // Lets go of the sources, buffers and context; the device thread closes the device (the
    // loopback device is closed here). The voices' samples and volumes stay.
    void ReleaseDevice();
    void StopDeviceThread();
    // Gives the voice's buffer its samples and attaches it to the voice's source, stopped.
    void Upload(int voice);
    void ApplyVolume(int voice);
    bool AnyVoiceSounding() const;
    ALCdevice_struct* device_ = nullptr;
    ALCcontext_struct* context_ = nullptr;
    bool loopback_ = false;
    bool tellsLoss_ = false; // the device answers ALC_CONNECTED
    bool lost_ = false;
    bool foundNone_ = false; // a look found no device and none has been found since
    std::atomic<bool> looking_{false};
    std::shared_ptr<DeviceThread> thread_;
    Clock::time_point nextLook_{};
    Clock::time_point lastSound_{};
    unsigned sources_[VOICES] = {};
    unsigned buffers_[VOICES] = {};
    std::vector<uint8_t> samples_[VOICES]; // each voice's whole buffer, refilled from offset 0
    int volumes_[VOICES] = {};             // hundredths of a decibel
    bool playing_[VOICES] = {};            // played and not stopped since
    bool looping_[VOICES] = {};
};
