// Plays a 440 Hz square wave looping on the live voices, through the default output device as
// the editor does, for a while, so that the sound server can be asked about the stream and its
// output recorded; every 100 ms it reads the latency OpenAL reports for the device, and prints
// their median and 95th percentile at the end. Used by sound_server_latency.sh and
// sound_dropouts.sh.
// With "wake N", plays N pairs of short notes instead: the first of each once the idle device
// rests, the second 400 ms later on the running device, printing when each was played (ms on
// the steady clock). Used by sound_wake_latency.sh.
// Usage: sound_latency_probe [seconds | wake N] [periods]
// Exits 2 when no output device opens.
#include "platform/openal/openal_voices.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

double NowMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Pairs of 0.2 s notes: one that wakes the resting device, one on the running device.
int WakePairs(OpenAlVoices& live, int pairs) {
    std::vector<uint8_t> note(OpenAlVoices::VOICE_RATE / 5);
    for (size_t i = 0; i < note.size(); ++i)
        note[i] = (i * 440 * 2 / OpenAlVoices::VOICE_RATE) % 2 ? 200 : 56;
    live.Create(0, static_cast<int>(note.size()), -1000);
    live.Fill(0, note.data(), static_cast<int>(note.size()));
    for (int p = 0; p < pairs; ++p) {
        while (!live.resting()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            live.KeepOutput(false);
        }
        for (const char* kind : {"wake", "run"}) {
            std::printf("%s %.3f\n", kind, NowMs());
            live.Stop(0);
            live.Play(0, false);
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            live.KeepOutput(false);
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const bool wake = argc > 1 && std::string(argv[1]) == "wake";
    const double seconds = argc > 1 && !wake ? std::atof(argv[1]) : 5;
    const int periods = argc > 2 + wake ? std::atoi(argv[2 + wake]) : 0;
    OpenAlVoices live;
    if (!live.OpenDevice(periods)) {
        std::fprintf(stderr, "sound_latency_probe: no output device\n");
        return 2;
    }
    if (wake) return WakePairs(live, argc > 2 ? std::atoi(argv[2]) : 10);
    // One second of a square wave at 440 Hz, 45056 / 440 = 102.4 samples a period, at -10 dB.
    std::vector<uint8_t> square(OpenAlVoices::VOICE_RATE);
    for (size_t i = 0; i < square.size(); ++i) square[i] = (i * 880 / square.size()) % 2 ? 200 : 56;
    live.Create(0, static_cast<int>(square.size()), -1000);
    live.Fill(0, square.data(), static_cast<int>(square.size()));
    live.Play(0, true);
    std::vector<double> readings;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        live.KeepOutput(true);
        const long long ns = live.LatencyNanoseconds();
        if (ns >= 0) readings.push_back(ns / 1e6);
    }
    if (!readings.empty()) {
        std::sort(readings.begin(), readings.end());
        std::printf("OpenAL reports median %.1f ms, p95 %.1f ms (%zu readings)\n",
                    readings[readings.size() / 2], readings[readings.size() * 95 / 100],
                    readings.size());
    }
    return 0;
}
