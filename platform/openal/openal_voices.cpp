#include "platform/openal/openal_voices.h"

#include "platform/jack_server.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <AL/efx.h>
#include <cstdarg>

#include <alsa/error.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <glob.h>
#include <mutex>
#include <sched.h>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = OpenAlVoices::Clock;

// ALSA reports a missing sound card on stderr; the program runs silent instead, quietly.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

void Quieten() {
    setenv("ALSOFT_LOGLEVEL", "0", 0);
    snd_lib_error_set_handler(IgnoreAlsaError);
}

// Set once the process asked for an output device: from then on OpenAL may start its backends.
std::atomic<bool> output_wanted{false};

// Set when the program itself chose OpenAL's backends through ALSOFT_DRIVERS.
std::atomic<bool> own_backend_choice{false};

// True when the user chose OpenAL's backends: ALSOFT_DRIVERS, or a "drivers" line in one of
// OpenAL's configuration files (system-wide, the user's, or the one ALSOFT_CONF names).
bool UserChoseBackends() {
    if (std::getenv("ALSOFT_DRIVERS") && !own_backend_choice) return true;
    std::vector<std::string> files = {"/etc/openal/alsoft.conf"};
    const char* dirs = std::getenv("XDG_CONFIG_DIRS");
    std::istringstream systemDirs(dirs && *dirs ? dirs : "/etc/xdg");
    for (std::string dir; std::getline(systemDirs, dir, ':');)
        if (!dir.empty()) files.push_back(dir + "/alsoft.conf");
    const char* home = std::getenv("HOME");
    if (home && *home) files.push_back(std::string(home) + "/.alsoftrc");
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        files.push_back(std::string(config) + "/alsoft.conf");
    else if (home && *home)
        files.push_back(std::string(home) + "/.config/alsoft.conf");
    if (const char* own = std::getenv("ALSOFT_CONF"); own && *own) files.push_back(own);
    for (const std::string& file : files) {
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);) {
            const size_t word = line.find_first_not_of(" \t");
            if (word != std::string::npos && line.compare(word, 7, "drivers") == 0) return true;
        }
    }
    return false;
}

// OpenAL Soft starts each of its backends at its first use. Its JACK backend asks the JACK
// library to join a server even when none runs, which starts that library's metadata database
// and pages in about 1.5 MB of its code for nothing: a JACK server that was not running then
// is never used (see AnOutputMayBeThere). So while no JACK server runs, OpenAL leaves JACK
// out, unless the user chose the backends.
void LeaveOutJackUnlessRunning() {
    if (own_backend_choice || JackServerMayRun() || UserChoseBackends()) return;
    own_backend_choice = true;
    setenv("ALSOFT_DRIVERS", "-jack,", 1);
}

// Context attributes for the output device: no output limiter, and no auxiliary effect sends,
// which the voices never use: OpenAL sets aside room for each send in every one of the 256
// voices it allocates with the context (about 0.75 MB for its default two sends).
constexpr ALCint kContextAttributes[] = {ALC_OUTPUT_LIMITER_SOFT, ALC_FALSE,
                                         ALC_MAX_AUXILIARY_SENDS, 0, 0};

// The shipped alsoft.conf: in the build tree beside the executable; installed, the executable
// is in bin/ and the file in share/tavomix/ beside it. "" when neither is there.
std::string ShippedConfiguration() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "";
    path[n] = '\0';
    std::string dir(path);
    dir.erase(dir.find_last_of('/') + 1);
    for (const char* place : {"alsoft.conf", "../share/tavomix/alsoft.conf"}) {
        const std::string conf = dir + place;
        if (access(conf.c_str(), R_OK) == 0) return conf;
    }
    return "";
}

// OpenAL Soft takes its period and their number from its configuration file, which it reads
// once, at its first use in the process: the program points it at the shipped alsoft.conf,
// unless the user chose a configuration of their own, or at a private copy of it with another
// number of periods. Returns the path of that copy, to be removed once OpenAL has read it (""
// when none was made).
std::string UseShippedConfiguration(int periods) {
    if (std::getenv("ALSOFT_CONF")) return "";
    const std::string shipped = ShippedConfiguration();
    if (shipped.empty()) return "";
    std::ifstream in(shipped);
    std::ostringstream text;
    bool same = periods <= 0;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("periods", 0) == 0) {
            const std::string wanted = "periods = " + std::to_string(periods);
            same = same || line == wanted;
            line = wanted;
        }
        text << line << '\n';
    }
    if (same) {
        setenv("ALSOFT_CONF", shipped.c_str(), 0);
        return "";
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string name =
        std::string(runtime && *runtime ? runtime : "/tmp") + "/tavomix-alsoft-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        setenv("ALSOFT_CONF", shipped.c_str(), 0);
        return "";
    }
    const std::string body = text.str();
    const bool written = write(fd, body.data(), body.size()) == static_cast<ssize_t>(body.size());
    close(fd);
    if (!written) {
        unlink(name.c_str());
        setenv("ALSOFT_CONF", shipped.c_str(), 0);
        return "";
    }
    setenv("ALSOFT_CONF", name.c_str(), 0);
    return name;
}

// OpenAL Soft starts its backends once, at its first use in the process, and keeps only those
// that started then: a sound server that was not running at that moment would never be used.
// So the first use waits until a device may be there: a sound server's socket (PulseAudio's, or
// a server speaking its protocol) or a sound card. A choice of backends of the user's own
// (ALSOFT_DRIVERS) is taken as it is.
bool AnOutputMayBeThere() {
    if (std::getenv("ALSOFT_DRIVERS") && !own_backend_choice) return true;
    if (const char* server = std::getenv("PULSE_SERVER"); server && *server) return true;
    std::vector<std::string> places = {"/run/pulse/native", "/var/run/pulse/native"};
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        places.push_back(std::string(runtime) + "/pulse/native");
    for (const std::string& place : places)
        if (access(place.c_str(), F_OK) == 0) return true;
    glob_t found{};
    const bool card = glob("/dev/snd/pcmC*p", 0, nullptr, &found) == 0;
    globfree(&found);
    return card;
}

// OpenAL's mixer asks for real-time scheduling itself (rt-prio in alsoft.conf); the PulseAudio
// client's own thread, which carries the server's requests for more samples to it, does not, and
// on a busy machine it is what makes the mixer late. It gets the same priority, where the system
// allows it (quietly not otherwise).
void RaiseServerClientThread() {
    std::error_code ignored;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ignored)) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        if (name != "threaded-ml") continue;
        const pid_t tid = static_cast<pid_t>(std::atol(task.path().filename().c_str()));
        sched_param param{};
        param.sched_priority = 1;
        sched_setscheduler(tid, SCHED_RR | SCHED_RESET_ON_FORK, &param);
    }
}

void PauseDevice(ALCdevice* device, bool pause) {
    using Call = void(ALC_APIENTRY*)(ALCdevice*);
    static const auto pauseCall =
        reinterpret_cast<Call>(alcGetProcAddress(nullptr, "alcDevicePauseSOFT"));
    static const auto resumeCall =
        reinterpret_cast<Call>(alcGetProcAddress(nullptr, "alcDeviceResumeSOFT"));
    const Call call = pause ? pauseCall : resumeCall;
    if (call && alcIsExtensionPresent(device, "ALC_SOFT_pause_device")) call(device);
}

} // namespace

// What the callers and the device thread share, under `mutex`. The thread does one thing at a
// time and never holds the mutex while it waits on OpenAL; the callers never wait on the thread.
struct OpenAlVoices::DeviceThread {
    std::mutex mutex;
    std::condition_variable wake;
    // Asked by the callers.
    bool quit = false;
    bool wantOpen = false;
    bool wantCheck = false;
    bool wantAwake = true;
    ALCdevice* toClose = nullptr;
    ALCcontext* toDestroy = nullptr;
    std::string configCopy; // removed after the first open
    // Kept by the thread.
    bool busy = false;
    Clock::time_point busySince{};
    bool looked = false; // at least one open has been tried
    bool lastFailed = false;
    ALCdevice* readyDevice = nullptr;
    ALCcontext* readyContext = nullptr;
    bool readyTellsLoss = false;
    ALCdevice* device = nullptr; // the device in use, to check, pause and resume
    bool awake = true;
    bool disconnected = false;
    bool started = false;  // OpenAL was asked for a device once
    bool finished = false; // Run has returned, or is about to
    std::thread thread;

    bool HasWork() const {
        return quit || wantOpen || wantCheck || toClose || toDestroy ||
               (device && wantAwake != awake);
    }

    void Run() {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return HasWork(); });
            busy = true;
            busySince = Clock::now();
            if (toDestroy || toClose) {
                ALCcontext* context = toDestroy;
                ALCdevice* gone = toClose;
                toDestroy = nullptr;
                toClose = nullptr;
                lock.unlock();
                if (context) alcDestroyContext(context);
                if (gone) alcCloseDevice(gone);
                lock.lock();
            } else if (quit) {
                break;
            } else if (wantOpen) {
                wantOpen = false;
                const std::string copy = std::move(configCopy);
                configCopy.clear();
                const bool first = !started;
                lock.unlock();
                const bool mayBe = !first || AnOutputMayBeThere();
                ALCdevice* opened = mayBe ? alcOpenDevice(nullptr) : nullptr;
                if (mayBe && !copy.empty()) unlink(copy.c_str()); // read by now
                lock.lock();
                started = started || mayBe;
                if (!mayBe) configCopy = copy; // still to be read
                lock.unlock();
                ALCcontext* context =
                    opened ? alcCreateContext(opened, kContextAttributes) : nullptr;
                if (opened && !context) {
                    alcCloseDevice(opened);
                    opened = nullptr;
                }
                const bool tellsLoss =
                    opened && alcIsExtensionPresent(opened, "ALC_EXT_disconnect") == ALC_TRUE;
                if (opened) RaiseServerClientThread();
                lock.lock();
                looked = true;
                lastFailed = !opened;
                readyDevice = opened;
                readyContext = context;
                readyTellsLoss = tellsLoss;
            } else if (device && wantAwake != awake) {
                const bool awaken = wantAwake;
                ALCdevice* d = device;
                lock.unlock();
                PauseDevice(d, !awaken);
                lock.lock();
                awake = awaken;
            } else if (wantCheck) {
                wantCheck = false;
                ALCdevice* d = device;
                lock.unlock();
                ALCint connected = ALC_TRUE;
                if (d) alcGetIntegerv(d, ALC_CONNECTED, 1, &connected);
                lock.lock();
                if (!connected && d == device) disconnected = true;
            }
            busy = false;
        }
        // Leaving: what was opened and never taken into use goes too.
        busy = false;
        if (readyContext) alcDestroyContext(readyContext);
        if (readyDevice) alcCloseDevice(readyDevice);
        readyContext = nullptr;
        readyDevice = nullptr;
        if (!configCopy.empty()) unlink(configCopy.c_str());
        finished = true;
    }
};

OpenAlVoices::OpenAlVoices() = default;

OpenAlVoices::~OpenAlVoices() {
    Close();
}

void OpenAlVoices::OpenOutput(int periods) {
    if (thread_ || loopback_) return;
    Quieten();
    output_wanted = true;
    LeaveOutJackUnlessRunning();
    thread_ = std::make_shared<DeviceThread>();
    thread_->configCopy = UseShippedConfiguration(periods);
    thread_->wantOpen = true;
    nextLook_ = Clock::now() + kReopenInterval;
    // The thread keeps the shared state alive: a thread still waiting on a server at Close is
    // left to finish on its own.
    thread_->thread = std::thread([state = thread_] { state->Run(); });
    looking_ = true;
}

bool OpenAlVoices::OpenDevice(int periods) {
    Close();
    OpenOutput(periods);
    for (;;) {
        {
            const std::lock_guard<std::mutex> lock(thread_->mutex);
            if (!thread_->busy && !thread_->wantOpen) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    KeepOutput(false);
    return !silent();
}

bool OpenAlVoices::OpenLoopback(int rate) {
    Close();
    Quieten();
    // The loopback device needs no backend; OpenAL would otherwise start each of them, and a
    // sound server that does not answer would hold the render.
    if (!output_wanted) setenv("ALSOFT_DRIVERS", "null", 1);
    if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback")) return false;
    auto open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
        alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    if (!open) return false;
    device_ = open(nullptr);
    if (!device_) return false;
    loopback_ = true;
    const int attributes[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_MONO_SOFT, ALC_FORMAT_TYPE_SOFT,
                              ALC_SHORT_SOFT,           ALC_FREQUENCY, rate,
                              ALC_OUTPUT_LIMITER_SOFT,  ALC_FALSE,     0};
    context_ = alcCreateContext(device_, attributes);
    if (!context_ || !alcMakeContextCurrent(context_) || !MakeVoices()) {
        ReleaseDevice();
        return false;
    }
    return true;
}

bool OpenAlVoices::MakeVoices() {
    alGetError();
    alGenSources(VOICES, sources_);
    alGenBuffers(VOICES, buffers_);
    for (int v = 0; v < VOICES; ++v) {
        // The voices are not placed in space: no distance fall-off, no panning.
        alSourcei(sources_[v], AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(sources_[v], AL_POSITION, 0.f, 0.f, 0.f);
    }
    return alGetError() == AL_NO_ERROR;
}

void OpenAlVoices::Adopt(ALCdevice_struct* device, ALCcontext_struct* context, bool tellsLoss) {
    device_ = device;
    context_ = context;
    tellsLoss_ = tellsLoss;
    if (!alcMakeContextCurrent(context_) || !MakeVoices()) {
        ReleaseDevice();
        return;
    }
    for (int v = 0; v < VOICES; ++v) {
        if (samples_[v].empty()) continue;
        Upload(v);
        ApplyVolume(v);
        // A looping voice was sounding when the device went (or before there was one): it
        // sounds again. A voice played once is over.
        if (playing_[v] && looping_[v]) {
            alSourcei(sources_[v], AL_LOOPING, AL_TRUE);
            alSourcePlay(sources_[v]);
        }
    }
}

void OpenAlVoices::ReleaseDevice() {
    if (context_) {
        alcMakeContextCurrent(context_);
        for (unsigned s : sources_) alSourceStop(s);
        alDeleteSources(VOICES, sources_);
        alDeleteBuffers(VOICES, buffers_);
        alcMakeContextCurrent(nullptr);
    }
    if (loopback_ || !thread_) {
        if (context_) alcDestroyContext(context_);
        if (device_) alcCloseDevice(device_);
    } else if (context_ || device_) {
        // Destroying the context stops the device, which may wait on the server.
        const std::lock_guard<std::mutex> lock(thread_->mutex);
        thread_->toDestroy = context_;
        thread_->toClose = device_;
        thread_->device = nullptr;
        thread_->disconnected = false;
        thread_->wantCheck = false;
        thread_->awake = thread_->wantAwake = true;
        thread_->wake.notify_one();
    }
    context_ = nullptr;
    device_ = nullptr;
    tellsLoss_ = false;
}

void OpenAlVoices::StopDeviceThread() {
    if (!thread_) return;
    {
        const std::lock_guard<std::mutex> lock(thread_->mutex);
        thread_->quit = true;
        thread_->wake.notify_one();
    }
    // A thread waiting on a server that does not answer is not waited for long: it finishes
    // on its own, keeping the state it shares.
    bool busy = true;
    const Clock::time_point giveUp = Clock::now() + std::chrono::milliseconds(500);
    while (busy && Clock::now() < giveUp) {
        {
            const std::lock_guard<std::mutex> lock(thread_->mutex);
            busy = !thread_->finished;
        }
        if (busy) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (busy) {
        thread_->thread.detach();
    } else {
        thread_->thread.join();
    }
    thread_.reset();
    looking_ = false;
}

void OpenAlVoices::Close() {
    ReleaseDevice();
    StopDeviceThread();
    loopback_ = false;
    lost_ = false;
    foundNone_ = false;
    for (auto& s : samples_) s.clear();
    for (bool& p : playing_) p = false;
}

bool OpenAlVoices::AnyVoiceSounding() const {
    for (int v = 0; v < VOICES; ++v) {
        if (!playing_[v]) continue;
        if (looping_[v]) return true;
        ALint state = AL_STOPPED;
        alGetSourcei(sources_[v], AL_SOURCE_STATE, &state);
        if (state == AL_PLAYING) return true;
    }
    return false;
}

bool OpenAlVoices::resting() const {
    if (!thread_) return false;
    const std::lock_guard<std::mutex> lock(thread_->mutex);
    return thread_->device && !thread_->awake;
}

Voices::Output OpenAlVoices::KeepOutput(bool songPlaying) {
    if (!thread_) return Output::Ok;
    const Clock::time_point now = Clock::now();
    DeviceThread& t = *thread_;
    std::unique_lock<std::mutex> lock(t.mutex);
    if (context_ && t.disconnected) {
        // Its sources have stopped for good: a new device is the only way back.
        lock.unlock();
        ReleaseDevice();
        lock.lock();
        lost_ = true;
        nextLook_ = now; // a server that was restarted may answer already
    } else if (context_) {
        if (tellsLoss_) t.wantCheck = true;
        if (songPlaying || AnyVoiceSounding()) {
            lastSound_ = now;
            t.wantAwake = true; // a song started: wake for its first note
        } else if (t.wantAwake && now - lastSound_ >= kRestAfter) {
            t.wantAwake = false;
        }
        if (t.HasWork()) t.wake.notify_one();
    }
    if (!context_ && t.readyContext) {
        ALCdevice* device = t.readyDevice;
        ALCcontext* context = t.readyContext;
        const bool tellsLoss = t.readyTellsLoss;
        t.readyDevice = nullptr;
        t.readyContext = nullptr;
        t.device = device;
        t.awake = t.wantAwake = true;
        t.disconnected = false;
        lock.unlock();
        Adopt(device, context, tellsLoss);
        lock.lock();
        if (context_) {
            lost_ = false;
            foundNone_ = false;
            lastSound_ = now;
        }
    }
    if (!context_ && !t.busy && !t.wantOpen && t.looked) {
        foundNone_ = !lost_ && t.lastFailed;
        if (now >= nextLook_) {
            t.wantOpen = true;
            nextLook_ = now + kReopenInterval;
            t.wake.notify_one();
        }
    }
    if (t.busy && now - t.busySince > kAnswerWithin) return Output::NotAnswering;
    if (lost_) return Output::Lost;
    if (!context_ && foundNone_) return Output::NoDevice;
    return Output::Ok;
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
    const auto end = samples + std::min<size_t>(static_cast<size_t>(count), whole.size());
    // A note played again mostly brings the very sound the buffer holds: stopping the source
    // then does all a refill would (the next play starts from the top) without the upload.
    const bool same = std::equal(samples, end, whole.begin());
    if (!same) std::copy(samples, end, whole.begin());
    if (silent()) return;
    if (same)
        alSourceStop(sources_[voice]);
    else
        Upload(voice);
}

void OpenAlVoices::Play(int voice, bool looping) {
    if (voice < 0 || voice >= VOICES) return;
    playing_[voice] = true;
    looping_[voice] = looping;
    if (silent()) return;
    alSourcei(sources_[voice], AL_LOOPING, looping ? AL_TRUE : AL_FALSE);
    alSourcePlay(sources_[voice]);
    if (loopback_ || !thread_) return;
    // A resting device wakes: the source waits at its first sample until the mixer runs.
    lastSound_ = Clock::now();
    const std::lock_guard<std::mutex> lock(thread_->mutex);
    if (!thread_->wantAwake) {
        thread_->wantAwake = true;
        thread_->wake.notify_one();
    }
}

void OpenAlVoices::Stop(int voice) {
    if (voice < 0 || voice >= VOICES) return;
    playing_[voice] = false;
    if (silent()) return;
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
