// Not a Google Benchmark: how long a MIDI note-on takes from a keyboard's JACK port to the voice
// starting, through the editor's whole path: a private JACK server on its dummy driver (256
// frames at 48 kHz, one cycle 5.3 ms), the editor's RtMidi input port, the wake of the main
// loop, its pass, the note entry, the synthesis, and the voice's Play. A sender thread plays
// key 60 at uneven moments, so that the notes fall anywhere in a JACK cycle; the sound card's
// own latency comes on top (bench/sound_server_latency.sh). Also times one look at the MIDI
// ports, with no server and with one, which the editor does once a second.
// Usage: bench_jack_midi_latency [notes]   (default 200). Exit code 77 when no server starts.
#include "platform/qt/qt_desktop.h"
#include "platform/rtmidi/rtmidi_input.h"
#include "platform/voices.h"
#include "resources/resource_ids.h"
#include "shell/main_window.h"
#include "shell/program.h"
#include "song/note_entry.h"
#include "song/song_model.h"
#include "sound/audio_output.h"
#include "sound/instrument_bank.h"
#include "sound/sound_engine.h"
#include "tests/qt/private_jack_server.h"

#include <QApplication>
#include <RtMidi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <time.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Voices that note when a voice was started, and play nothing.
class StampedVoices : public Voices {
  public:
    void Create(int, int, int) override {}
    void Fill(int, const uint8_t*, int) override {}
    void Play(int voice, bool) override {
        if (voice < 4) started.store(Clock::now().time_since_epoch().count());
    }
    void Stop(int) override {}
    std::atomic<Clock::rep> started{0};
};

// The CPU time this process has used, in microseconds.
double CpuMicroseconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

// One Ports() averaged over `times` looks: "<wall> us (CPU <cpu> us)".
void PrintLook(const char* what, RtMidiInput& midi, int times) {
    const auto begin = Clock::now();
    const double cpu = CpuMicroseconds();
    for (int i = 0; i < times; ++i) midi.Ports();
    std::printf("one look at the MIDI ports, %s: %.1f us (CPU %.1f us)\n", what,
                std::chrono::duration<double, std::micro>(Clock::now() - begin).count() / times,
                (CpuMicroseconds() - cpu) / times);
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const size_t i =
        std::min(values.size() - 1, static_cast<size_t>(p * (values.size() - 1) + 0.5));
    return values[i];
}

} // namespace

int main(int argc, char** argv) {
    const int notes = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    unsetenv("JACK_DEFAULT_SERVER");
    setenv("JACK_DEFAULT_SERVER", "tavomix-bench-none", 1); // no server of that name runs
    {
        RtMidiInput alone;
        PrintLook("no JACK server", alone, 200);
    }
    PrivateJackServer server;
    if (!server.up()) {
        std::fprintf(stderr, "bench_jack_midi_latency: %s\n", server.why().c_str());
        return 77;
    }
    QApplication app(argc, argv);
    QtDesktop qt;
    RtMidiInput midi([&qt] { qt.WakeSoon(); });
    StampedVoices voices;
    SetDesktop(&qt);
    SetVoices(&voices);
    SetMidiInput(&midi);

    RtMidiOut keys(RtMidi::UNIX_JACK, "BenchKeys");
    keys.openVirtualPort("out");
    midi.Ports();
    if (!midi.Connect("BenchKeys:out")) {
        std::fprintf(stderr, "bench_jack_midi_latency: cannot connect BenchKeys:out\n");
        return 1;
    }
    PrintLook("JACK server running", midi, 200);

    ResetSong();
    settings.record_enabled = 0; // sound only: the path to the voice is the same
    {
        const EngineLockGuard lock(sound_engine_lock);
        InitSoundBank();
    }
    StartAudio();
    qt.CreateDialog(MAIN_WINDOW, &main_window());

    std::vector<double> ms;
    std::atomic<bool> done{false};
    std::thread sender([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        std::srand(7);
        for (int i = 0; i < notes; ++i) {
            // 20 to 50 ms apart, never in step with the JACK cycle.
            std::this_thread::sleep_for(std::chrono::microseconds(20000 + std::rand() % 30000));
            voices.started.store(0);
            std::vector<unsigned char> on = {0x90, 60, 100};
            const auto sent = Clock::now();
            keys.sendMessage(&on);
            while (voices.started.load() == 0 && Clock::now() - sent < std::chrono::seconds(1))
                std::this_thread::sleep_for(std::chrono::microseconds(50));
            const Clock::rep at = voices.started.load();
            if (at != 0)
                ms.push_back(std::chrono::duration<double, std::milli>(Clock::duration(at) -
                                                                       sent.time_since_epoch())
                                 .count());
        }
        done = true;
        qt.WakeSoon(); // the loop sleeps until something wakes it
    });
    qt.RunEventLoop([&] {
        MainLoopPass();
        if (done) qt.Quit(0);
        return -1; // asleep until a message wakes the loop, as the idle editor is
    });
    sender.join();
    StopAudio();
    SetMidiInput(nullptr);
    SetVoices(nullptr);
    SetDesktop(nullptr);
    if (ms.empty()) {
        std::fprintf(stderr, "bench_jack_midi_latency: no note reached a voice\n");
        return 1;
    }
    std::printf("MIDI note-on through JACK to the voice starting, %zu of %d notes: median %.2f ms, "
                "p95 %.2f ms, max %.2f ms\n",
                ms.size(), notes, Percentile(ms, 0.5), Percentile(ms, 0.95), Percentile(ms, 1.0));
    return 0;
}
