// Plays a 440 Hz square wave looping on the live voices, through the default output device as
// the editor does, for a while, so that the sound server can be asked about the stream; prints
// the latency OpenAL itself reports when it can. Used by sound_server_latency.sh.
// Usage: sound_latency_probe [seconds]   Exits 2 when no output device opens.
#include "platform/openal/openal_voices.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5;
    OpenAlVoices live;
    if (!live.OpenDevice()) {
        std::fprintf(stderr, "sound_latency_probe: no output device\n");
        return 2;
    }
    // One second of a square wave at 440 Hz, 45056 / 440 = 102.4 samples a period, at -10 dB.
    std::vector<uint8_t> square(OpenAlVoices::VOICE_RATE);
    for (size_t i = 0; i < square.size(); ++i) square[i] = (i * 880 / square.size()) % 2 ? 200 : 56;
    live.Create(0, static_cast<int>(square.size()), -1000);
    live.Fill(0, square.data(), static_cast<int>(square.size()));
    live.Play(0, true);
    const long long ns = live.LatencyNanoseconds();
    if (ns >= 0) std::printf("OpenAL reports %.1f ms\n", ns / 1e6);
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    return 0;
}
