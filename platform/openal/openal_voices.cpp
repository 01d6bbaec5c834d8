#include "platform/openal/openal_voices.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <cstdarg>

#include <alsa/error.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// ALSA reports a missing sound card on stderr; the program runs silent instead, quietly.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// OpenAL Soft takes its period from its configuration file: the program ships alsoft.conf
// (256 x 2 frames, about 7 ms) and points OpenAL at it unless the user chose a configuration of
// their own. In the build tree the file lies beside the executable; installed, the executable is
// in bin/ and the file in share/tavomix/ beside it.
void UseShippedConfiguration() {
    if (std::getenv("ALSOFT_CONF")) return;
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return;
    path[n] = '\0';
    std::string dir(path);
    dir.erase(dir.find_last_of('/') + 1);
    for (const char* place : {"alsoft.conf", "../share/tavomix/alsoft.conf"}) {
        const std::string conf = dir + place;
        if (access(conf.c_str(), R_OK) == 0) {
            setenv("ALSOFT_CONF", conf.c_str(), 0);
            return;
        }
    }
}

void Quieten() {
    setenv("ALSOFT_LOGLEVEL", "0", 0);
    snd_lib_error_set_handler(IgnoreAlsaError);
}

} // namespace

OpenAlVoices::~OpenAlVoices() {
    Close();
}

bool OpenAlVoices::OpenDevice() {
    Close();
    Quieten();
    UseShippedConfiguration();
    device_ = alcOpenDevice(nullptr);
    if (!device_) return false;
    loopback_ = false;
    return MakeContext(nullptr);
}

bool OpenAlVoices::OpenLoopback(int rate) {
    Close();
    Quieten();
    if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback")) return false;
    auto open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
        alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    if (!open) return false;
    device_ = open(nullptr);
    if (!device_) return false;
    loopback_ = true;
    const int attributes[] = {ALC_FORMAT_CHANNELS_SOFT,
                              ALC_MONO_SOFT,
                              ALC_FORMAT_TYPE_SOFT,
                              ALC_SHORT_SOFT,
                              ALC_FREQUENCY,
                              rate,
                              0};
    return MakeContext(attributes);
}

bool OpenAlVoices::MakeContext(const int* attributes) {
    context_ = alcCreateContext(device_, attributes);
    if (!context_ || !alcMakeContextCurrent(context_)) {
        ReleaseDevice();
        return false;
    }
    // A loopback device never loses anything; an output device tells when it is gone.
    tellsLoss_ = !loopback_ && alcIsExtensionPresent(device_, "ALC_EXT_disconnect") == ALC_TRUE;
    alGenSources(VOICES, sources_);
    alGenBuffers(VOICES, buffers_);
    for (int v = 0; v < VOICES; ++v) {
        // The voices are not placed in space: no distance fall-off, no panning.
        alSourcei(sources_[v], AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(sources_[v], AL_POSITION, 0.f, 0.f, 0.f);
    }
    return alGetError() == AL_NO_ERROR;
}

void OpenAlVoices::ReleaseDevice() {
    if (context_) {
        alcMakeContextCurrent(context_);
        for (unsigned s : sources_) alSourceStop(s);
        alDeleteSources(VOICES, sources_);
        alDeleteBuffers(VOICES, buffers_);
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(context_);
        context_ = nullptr;
    }
    if (device_) alcCloseDevice(device_);
    device_ = nullptr;
    tellsLoss_ = false;
}

void OpenAlVoices::Close() {
    ReleaseDevice();
    lost_ = false;
    for (auto& s : samples_) s.clear();
}

bool OpenAlVoices::KeepOutput() {
    const auto now = std::chrono::steady_clock::now();
    if (!lost_) {
        if (!tellsLoss_) return true;
        ALCint connected = ALC_TRUE;
        alcGetIntegerv(device_, ALC_CONNECTED, 1, &connected);
        if (connected) return true;
        // Its sources have stopped for good: a new device is the only way back.
        ReleaseDevice();
        lost_ = true;
        nextReopen_ = now; // a server that was restarted may answer already
    }
    if (now < nextReopen_) return false;
    nextReopen_ = now + kReopenInterval;
    device_ = alcOpenDevice(nullptr);
    if (!device_ || !MakeContext(nullptr)) {
        ReleaseDevice();
        return false;
    }
    lost_ = false;
    for (int v = 0; v < VOICES; ++v) {
        if (samples_[v].empty()) continue;
        Upload(v);
        ApplyVolume(v);
    }
    return true;
}

void OpenAlVoices::Upload(int voice) {
    // A buffer attached to a source cannot be refilled: detach, fill, attach again.
    alSourceStop(sources_[voice]);
    alSourcei(sources_[voice], AL_BUFFER, 0);
    alBufferData(buffers_[voice], AL_FORMAT_MONO8, samples_[voice].data(),
                 static_cast<ALsizei>(samples_[voice].size()), VOICE_RATE);
    alSourcei(sources_[voice], AL_BUFFER, static_cast<ALint>(buffers_[voice]));
}

void OpenAlVoices::ApplyVolume(int voice) {
    alSourcef(sources_[voice], AL_GAIN,
              static_cast<float>(std::pow(10.0, volumes_[voice] / 2000.0)));
}

// The voices' samples and volumes are kept even while nothing can be heard, so that a device
// found again plays what the program last put in them.
void OpenAlVoices::Create(int voice, int bytes, int volumeHundredthsDb) {
    if (voice < 0 || voice >= VOICES || bytes <= 0) return;
    samples_[voice].assign(static_cast<size_t>(bytes), 128);
    volumes_[voice] = volumeHundredthsDb;
    if (silent()) return;
    Upload(voice);
    ApplyVolume(voice);
}

void OpenAlVoices::Fill(int voice, const uint8_t* samples, int count) {
    if (voice < 0 || voice >= VOICES || count <= 0) return;
    std::vector<uint8_t>& whole = samples_[voice];
    if (whole.empty()) return;
    std::copy(samples, samples + std::min<size_t>(static_cast<size_t>(count), whole.size()),
              whole.begin());
    if (!silent()) Upload(voice);
}

void OpenAlVoices::Play(int voice, bool looping) {
    if (silent() || voice < 0 || voice >= VOICES) return;
    alSourcei(sources_[voice], AL_LOOPING, looping ? AL_TRUE : AL_FALSE);
    alSourcePlay(sources_[voice]);
}

void OpenAlVoices::Stop(int voice) {
    if (silent() || voice < 0 || voice >= VOICES) return;
    alSourceStop(sources_[voice]); // stopped at offset 0: the next play starts from the top
}

void OpenAlVoices::Render(int16_t* out, int frames) {
    if (!loopback_ || silent() || frames <= 0) return;
    static auto render = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(
        alcGetProcAddress(device_, "alcRenderSamplesSOFT"));
    if (render) render(device_, out, frames);
}

long long OpenAlVoices::LatencyNanoseconds() const {
    if (!device_ || !alcIsExtensionPresent(device_, "ALC_SOFT_device_clock")) return -1;
    auto get = reinterpret_cast<LPALCGETINTEGER64VSOFT>(
        alcGetProcAddress(device_, "alcGetInteger64vSOFT"));
    if (!get) return -1;
    ALCint64SOFT value = -1;
    get(device_, ALC_DEVICE_LATENCY_SOFT, 1, &value);
    return static_cast<long long>(value);
}
