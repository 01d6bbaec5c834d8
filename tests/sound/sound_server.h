// A real sound server for the tests: a PulseAudio daemon of the test's own with one null sink,
// a recording of what reaches that sink, and the latency the server reports for our stream.
//
// The daemon lives in a private folder that becomes this process's XDG_RUNTIME_DIR (and its
// home, so the server's cookie lands there too); OpenAL's pulse backend, parec and pactl find
// it there. Clients never start a daemon of their own: one that came back by itself after
// Stop would spoil the tests of a lost server.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace sound_server {

constexpr int RATE = 48000; // the sink's rate and the recording's

inline bool Run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

// The standard output of a shell command.
inline std::string Output(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) text.append(chunk, n);
        pclose(pipe);
    }
    return text;
}

// Waits up to `seconds` for `done`, looking every 20 ms.
template <typename F> bool WaitFor(double seconds, F done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class PrivateServer {
  public:
    PrivateServer() {
        char name[] = "/tmp/tavomix-pulse-XXXXXX";
        if (mkdtemp(name)) dir_ = name; // mode 0700, as the server wants
        setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
        setenv("HOME", dir_.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
        setenv("PULSE_CLIENTCONFIG", (dir_ + "/client.conf").c_str(), 1);
        unsetenv("PULSE_SERVER");
        unsetenv("PULSE_SINK");
        unsetenv("ALSOFT_DRIVERS");
        std::ofstream(dir_ + "/client.conf") << "autospawn = no\n";
        std::ofstream(dir_ + "/pa.pa") << "load-module module-null-sink sink_name=out rate=" << RATE
                                       << "\nset-default-sink out\n"
                                       << "load-module module-native-protocol-unix\n";
    }
    ~PrivateServer() {
        Stop();
        std::error_code ignored;
        if (!dir_.empty() && !keep_) std::filesystem::remove_all(dir_, ignored);
    }
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    // Starts the daemon and waits until it answers. Returns "" then, otherwise why it did not.
    std::string Start() {
        if (dir_.empty()) return "no private folder for it";
        for (const char* tool : {"pulseaudio", "pactl", "parec"})
            if (!Run(std::string("command -v ") + tool + " >/dev/null 2>&1"))
                return std::string(tool) +
                       " is not installed (Debian packages pulseaudio and pulseaudio-utils)";
        // -n: none of the system's configuration, only our null sink. As root the daemon warns
        // that it is meant for a user session, and runs.
        keep_ = true;
        const std::string why = " (" + dir_ + "/start.log and pa.log tell more)";
        if (!Run("cd '" + dir_ + "' && pulseaudio --daemonize=yes --exit-idle-time=-1 -n " +
                 "-F pa.pa --log-target=file:pa.log >start.log 2>&1"))
            return "the daemon did not start: " + Output("tail -n 2 '" + dir_ + "/start.log'") +
                   why;
        if (!WaitFor(5, [] { return Run("pactl info >/dev/null 2>&1"); }))
            return "the daemon does not answer" + why;
        running_ = true;
        keep_ = false;
        return "";
    }

    // Ends the daemon, as when the user's sound server goes away, and waits until it is gone.
    void Stop() {
        if (!running_) return;
        Run("pulseaudio --kill >/dev/null 2>&1");
        WaitFor(5, [] { return !Run("pulseaudio --check >/dev/null 2>&1"); });
        running_ = false;
    }

    const std::string& dir() const { return dir_; }

  private:
    std::string dir_;
    bool running_ = false;
    bool keep_ = false; // the folder stays when the daemon failed, for its logs
};

// What the sink plays, recorded from its monitor by parec as 16-bit mono at RATE.
class MonitorRecording {
  public:
    explicit MonitorRecording(const std::string& dir) : path_(dir + "/monitor.raw") {}
    ~MonitorRecording() { Stop(); }

    // Starts parec and waits until samples arrive; false when none do.
    bool Start() {
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
        std::string rate = "--rate=" + std::to_string(RATE);
        const char* argv[] = {
            "parec",        "--raw",      "--device=out.monitor", "--format=s16le",
            "--channels=1", rate.c_str(), "--latency-msec=10",    nullptr};
        const int failed =
            posix_spawnp(&pid_, "parec", &files, nullptr, const_cast<char* const*>(argv), environ);
        posix_spawn_file_actions_destroy(&files);
        if (failed) {
            pid_ = 0;
            return false;
        }
        return WaitFor(5, [this] { return Bytes() >= RATE / 10 * 2; });
    }

    // Stops parec after the last samples reached the file; returns every sample recorded.
    std::vector<int16_t> Stop() {
        if (pid_ > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            kill(pid_, SIGINT);
            waitpid(pid_, nullptr, 0);
            pid_ = 0;
        }
        std::ifstream in(path_, std::ios::binary);
        std::vector<int16_t> samples(Bytes() / 2);
        in.read(reinterpret_cast<char*>(samples.data()),
                static_cast<std::streamsize>(samples.size() * 2));
        samples.resize(static_cast<size_t>(in.gcount() / 2));
        return samples;
    }

  private:
    uintmax_t Bytes() const {
        std::error_code ignored;
        const uintmax_t n = std::filesystem::file_size(path_, ignored);
        return n == static_cast<uintmax_t>(-1) ? 0 : n;
    }
    std::string path_;
    pid_t pid_ = 0;
};

// The server's figures for the first playback stream: the latency of its buffer and of the
// sink, in milliseconds; both negative when no stream is open.
struct StreamLatency {
    double bufferMs = -1, sinkMs = -1;
};

inline StreamLatency ReadStreamLatency() {
    StreamLatency latency;
    const std::string text = Output("LC_ALL=C pactl list sink-inputs 2>/dev/null");
    auto read = [&text](const char* label) {
        const size_t at = text.find(label);
        return at == std::string::npos ? -1.0
                                       : std::atof(text.c_str() + at + std::strlen(label)) / 1000;
    };
    latency.bufferMs = read("Buffer Latency:");
    latency.sinkMs = read("Sink Latency:");
    return latency;
}

} // namespace sound_server
