// The live voices on a real sound server: a PulseAudio daemon of the test's own with a null
// sink whose monitor is recorded. A note played through the device path is heard at its pitch
// with the shipped low-latency configuration; the voices live through the server going away
// and coming back, find a server that starts after them, rest while idle and wake for a note;
// a server that never answers holds up neither the editor nor the render tool; the export
// is the render tool's file byte for byte. Skipped, with the reason, where no daemon can be
// started.
#include "files/song_file.h"
#include "files/wav_export.h"
#include "platform/fake_platform.h"
#include "platform/openal/loopback_voices.h"
#include "platform/openal/openal_voices.h"
#include "resources/resource_ids.h"
#include "shell/sound_status.h"
#include "song/song_model.h"
#include "sound/audio_output.h"
#include "sound/instrument_bank.h"
#include "sound/synthesis.h"
#include "tests/sound/measure_hz.h"
#include "tests/sound/sound_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>

namespace {

using namespace std::chrono_literals;
using sound_server::RATE;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Points OpenAL at a copy of the shipped alsoft.conf with the Low setting's 2 periods.
void UseLowLatency(const std::string& dir) {
    std::ifstream in(SHIPPED_ALSOFT_CONF);
    std::ofstream out(dir + "/alsoft.conf");
    for (std::string line; std::getline(in, line);)
        out << (line.rfind("periods", 0) == 0 ? "periods = 2" : line) << '\n';
    setenv("ALSOFT_CONF", (dir + "/alsoft.conf").c_str(), 1);
    unsetenv("ALSOFT_DRIVERS");
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The index of the first sample at or after `from` louder than a note's attack, or -1.
long Onset(const std::vector<int16_t>& samples, size_t from) {
    for (size_t i = from; i < samples.size(); ++i)
        if (std::abs(int(samples[i])) > 2000) return static_cast<long>(i);
    return -1;
}

// Where a sound server's socket would be, one that takes connections and never answers them:
// clients hang in their handshake as with a wedged server.
class SilentSocket {
  public:
    explicit SilentSocket(const std::string& runtimeDir) {
        std::filesystem::create_directories(runtimeDir + "/pulse");
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = runtimeDir + "/pulse/native";
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
        // The kernel completes each connection into the backlog; nothing ever reads it.
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(fd_, 64) != 0)
            Close();
    }
    ~SilentSocket() { Close(); }
    bool listening() const { return fd_ >= 0; }
    // The waiting clients then see the connection fail.
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

  private:
    int fd_ = -1;
};

// The voices on the default device of the private server, with the program's alsoft.conf set to
// the Low "Audio latency" (2 periods), made ready as at start-up.
class SoundServer : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string why = server.Start(); !why.empty())
            GTEST_SKIP() << "no sound server to play to: " << why;
        UseLowLatency(server.dir());
        ASSERT_TRUE(live.OpenDevice()) << "OpenAL opened no device on the running server";
        SetVoices(&live);
        InitSoundBank();
        StartAudio();
    }
    void TearDown() override { SetVoices(nullptr); }

    // Renders a sustained note of sound type 1 at `hz` and starts it, as the note path does.
    static void StartNote(int hz) {
        StopChannel(1);
        StartPulseNote(hz);
    }

    // Records the sink while `start` starts a note after 0.2 s of silence, and `meanwhile`
    // runs 0.3 s into it; stops the note 0.6 s in.
    std::vector<int16_t> RecordNote(
        const std::function<void()>& start, const std::function<void()>& meanwhile = [] {}) {
        sound_server::MonitorRecording recording(server.dir());
        if (!recording.Start()) {
            ADD_FAILURE() << "parec recorded nothing from the sink's monitor";
            return {};
        }
        std::this_thread::sleep_for(200ms);
        start();
        std::this_thread::sleep_for(300ms);
        meanwhile();
        std::this_thread::sleep_for(300ms);
        std::vector<int16_t> samples = recording.Stop();
        StopChannel(1);
        return samples;
    }

    // Checks that the recording is silent first, then holds a note at `hz` to its end.
    static void ExpectNoteHeard(const std::vector<int16_t>& samples, int hz) {
        const auto loud = std::find_if(samples.begin(), samples.end(),
                                       [](int16_t s) { return std::abs(int(s)) > 2000; });
        ASSERT_NE(loud, samples.end()) << "nothing was heard";
        const int onset = static_cast<int>(loud - samples.begin());
        const int end = static_cast<int>(samples.size());
        EXPECT_GT(onset, RATE / 10) << "the recording should begin in silence, before the note";
        // From 20 ms after the onset, the attack over, to 50 ms before the note was stopped.
        const int from = onset + RATE / 50, count = end - RATE / 20 - from;
        ASSERT_GT(count, RATE / 4) << "too little of the note was recorded";
        // A busy machine may let the 11 ms of buffer run dry now and then; each glitch spoils
        // a period or two, not the median one.
        EXPECT_NEAR(MedianPeriodHz(samples, from, count, RATE), hz, hz * 0.01);
        const auto tail = samples.begin() + from + count - RATE / 20;
        EXPECT_GT(*std::max_element(tail, tail + RATE / 20), 2000) << "the note stopped early";
    }

    sound_server::PrivateServer server;
    OpenAlVoices live;
};

TEST_F(SoundServer, ANoteIsHeardAtItsPitchWithTheLowLatencySetting) {
    sound_server::StreamLatency latency;
    // The latency is read while our stream is open and playing.
    ExpectNoteHeard(
        RecordNote([] { StartNote(440); }, [&] { latency = sound_server::ReadStreamLatency(); }),
        440);

    std::printf("Latency the server reports for the stream: buffer %.1f ms + sink %.1f ms = "
                "%.1f ms\n",
                latency.bufferMs, latency.sinkMs, latency.bufferMs + latency.sinkMs);
    RecordProperty("latency_us", static_cast<int>((latency.bufferMs + latency.sinkMs) * 1000));
    ASSERT_GE(latency.bufferMs, 0) << "the server lists no stream of ours";
    // 2 periods of 256 frames; OpenAL's own default is about 47 ms.
    EXPECT_LT(latency.bufferMs + latency.sinkMs, 20) << "the configured periods are not in use";
}

TEST_F(SoundServer, TheVoicesComeBackWhenTheServerDoes) {
    ASSERT_EQ(live.KeepOutput(), Voices::Output::Ok);
    EXPECT_FALSE(live.lost());

    server.Stop();
    const Clock::time_point stopped = Clock::now();
    sound_server::WaitFor(3, [this] { return live.KeepOutput() == Voices::Output::Lost; });
    ASSERT_TRUE(live.lost()) << "the loss of the server went unnoticed";
    std::printf("Loss noticed %.0f ms after the server ended\n", Ms(Clock::now() - stopped));

    // Lost, the voices take notes silently and at once; tries to reopen fail quickly.
    const Clock::time_point before = Clock::now();
    StartNote(262);
    StopChannel(1);
    StartNote(262);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(live.KeepOutput(), Voices::Output::Lost);
        std::this_thread::sleep_for(OpenAlVoices::kReopenInterval / 2);
    }
    EXPECT_LT(Ms(Clock::now() - before), 2.5 * Ms(OpenAlVoices::kReopenInterval))
        << "a call on the lost voices blocked";
    EXPECT_TRUE(live.lost());
    StopChannel(1);

    // Back, as the UI's pass would ask (every 250 ms; here every 20 ms, to time it closely).
    ASSERT_EQ(server.Start(), "");
    const Clock::time_point back = Clock::now();
    Clock::duration reopen{};
    sound_server::WaitFor(5, [&] {
        const Clock::time_point call = Clock::now();
        const bool heard = live.KeepOutput() == Voices::Output::Ok;
        reopen = Clock::now() - call;
        return heard;
    });
    ASSERT_FALSE(live.lost()) << "no device after the server came back";
    const double after = Ms(Clock::now() - back);
    std::printf("Output back %.0f ms after the server; the reopen took %.1f ms\n", after,
                Ms(reopen));
    EXPECT_LT(after, 2000);

    // The note filled in while the voices were lost plays on the new device without a refill.
    ExpectNoteHeard(RecordNote([] { PlayChannel(1); }), 262);
}

TEST_F(SoundServer, TheDeviceRestsWhenIdleAndWakesForANote) {
    // Rests after a while with nothing to play, as the UI's pass asks four times a second.
    auto rest = [this] {
        return sound_server::WaitFor(4, [this] {
            live.KeepOutput(false);
            std::this_thread::sleep_for(230ms);
            return live.resting();
        });
    };
    ASSERT_TRUE(rest()) << "the idle device did not rest";
    EXPECT_EQ(live.KeepOutput(true), Voices::Output::Ok);
    std::this_thread::sleep_for(OpenAlVoices::kRestAfter + 500ms);
    live.KeepOutput(true);
    EXPECT_TRUE(sound_server::WaitFor(1, [this] { return !live.resting(); }))
        << "a song that plays wakes the device and keeps it awake";

    // Three notes: one that wakes the device, one on the running device, one that wakes it
    // again. Their onsets in the recording, against when they were played, tell what waking
    // adds to a note's delay.
    sound_server::MonitorRecording recording(server.dir());
    ASSERT_TRUE(recording.Start());
    const Clock::time_point begin = Clock::now();
    Clock::time_point played[3];
    auto note = [&](int i) {
        played[i] = Clock::now();
        StartNote(440);
        std::this_thread::sleep_for(300ms);
        StopChannel(1);
        std::this_thread::sleep_for(300ms);
    };
    ASSERT_TRUE(rest());
    note(0);
    note(1);
    ASSERT_TRUE(rest());
    note(2);
    const std::vector<int16_t> samples = recording.Stop();
    double onsetMs[3];
    for (int i = 0; i < 3; ++i) {
        const double at = Ms(played[i] - begin);
        const long onset = Onset(samples, static_cast<size_t>(at * RATE / 1000));
        ASSERT_GE(onset, 0) << "note " << i << " was not heard";
        onsetMs[i] = onset * 1000.0 / RATE - at;
    }
    const double added = onsetMs[2] - onsetMs[1];
    std::printf("Waking the device added %.1f ms to the note (first wake %.1f ms)\n", added,
                onsetMs[0] - onsetMs[1]);
    RecordProperty("wake_added_us", static_cast<int>(added * 1000));
}

TEST_F(SoundServer, TheEditorsExportIsTheRenderToolsFileByteForByte) {
    // The live device is open, as in the editor; the export mixes on the loopback device.
    const std::string song = std::string(TAVOMIX_EXAMPLES_DIR) + "/melody.son";
    ResetSong();
    InitSoundBank();
    ASSERT_EQ(LoadSongFile(song), SongFileResult::Done);
    LoopbackVoices mixer;
    const std::string dir = server.dir();
    for (const char* name : {"/first.wav", "/second.wav"})
        ASSERT_EQ(RenderSongToWav(mixer, dir + name, WavExportOptions{}, [](int) { return true; }),
                  WavExportResult::Done);
    ASSERT_TRUE(sound_server::Run(std::string("'") + TAVOMIX_RENDER_TOOL + "' '" + song + "' '" +
                                  dir + "/tool.wav'"));
    const std::string exported = ReadAll(dir + "/first.wav");
    EXPECT_GT(exported.size(), 44u);
    EXPECT_EQ(exported, ReadAll(dir + "/second.wav")) << "the same song gave other bytes";
    EXPECT_EQ(exported, ReadAll(dir + "/tool.wav")) << "the export differs from tavomix-render's";
    EXPECT_EQ(live.KeepOutput(), Voices::Output::Ok) << "the export disturbed the live device";
}

// A server that starts after the editor: the voices look for it once a second, play through
// it, and a looping note started meanwhile sounds on it.
TEST(SoundServerLate, AServerThatStartsLaterIsFoundAndPlaysTheLoopingNote) {
    sound_server::PrivateServer server;
    UseLowLatency(server.dir());
    OpenAlVoices live;
    SetVoices(&live);
    InitSoundBank();
    StartAudio();
    live.OpenOutput(0);
    StartPulseNote(440);
    EXPECT_TRUE(sound_server::WaitFor(3, [&] {
        return live.KeepOutput() == Voices::Output::NoDevice;
    })) << "no device, and no server: the voices should say so";
    EXPECT_TRUE(live.silent());

    if (const std::string why = server.Start(); !why.empty()) {
        SetVoices(nullptr);
        GTEST_SKIP() << "no sound server to play to: " << why;
    }
    const Clock::time_point started = Clock::now();
    ASSERT_TRUE(sound_server::WaitFor(5, [&] {
        std::this_thread::sleep_for(230ms);
        return live.KeepOutput() == Voices::Output::Ok && !live.silent();
    })) << "the server that came later was never found";
    std::printf("Found %.0f ms after the server started\n", Ms(Clock::now() - started));

    sound_server::MonitorRecording recording(server.dir());
    ASSERT_TRUE(recording.Start());
    std::this_thread::sleep_for(800ms);
    const std::vector<int16_t> samples = recording.Stop();
    SetVoices(nullptr);
    // The loop's seam spoils a period or two, not the median one.
    ASSERT_GE(samples.size(), size_t{RATE / 2});
    EXPECT_NEAR(MedianPeriodHz(samples, 0, samples.size(), RATE), 440, 440 * 0.01)
        << "the looping note does not sound on the device found";
}

// A socket that takes connections and never answers, where the sound server's should be: the
// output is looked for in the background, notes and the status line go on at once, the status
// line says why nothing is heard, and tavomix-render never asks the server.
TEST(SoundServerWedged, NeitherTheEditorNorTheRenderToolWaitsForIt) {
    sound_server::PrivateServer folder; // the private runtime folder; no daemon
    SilentSocket wedged(folder.dir());
    ASSERT_TRUE(wedged.listening());
    UseLowLatency(folder.dir());
    FakePlatform desktop; // the window's status line
    SetDesktop(&desktop);
    sound_output_status = SoundOutputStatus{};
    OpenAlVoices live;
    SetVoices(&live);
    InitSoundBank();

    // A call that would wait on the server takes a second or more; these take microseconds.
    constexpr double kNormalMs = 500;
    Clock::time_point before = Clock::now();
    live.OpenOutput(0);
    StartAudio();
    EXPECT_LT(Ms(Clock::now() - before), kNormalMs) << "start-up waited for the server";

    double slowestMs = 0;
    const bool told = sound_server::WaitFor(6, [&] {
        desktop.clockMs += 250;
        before = Clock::now();
        PollSoundOutput();
        StopChannel(1);
        StartPulseNote(262); // a key's note
        slowestMs = std::max(slowestMs, Ms(Clock::now() - before));
        std::this_thread::sleep_for(230ms);
        return desktop.control(MAIN_WINDOW, STATUS_LINE).text ==
               "The sound server does not answer; playing silently until it does.";
    });
    EXPECT_TRUE(told) << "the status line never said why nothing is heard";
    EXPECT_LT(slowestMs, kNormalMs) << "a pass or a note waited for the server";

    const std::string out = folder.dir() + "/render.wav";
    before = Clock::now();
    EXPECT_TRUE(sound_server::Run(std::string("'") + TAVOMIX_RENDER_TOOL + "' '" +
                                  TAVOMIX_EXAMPLES_DIR + "/melody.son' '" + out + "'"));
    const double renderMs = Ms(Clock::now() - before);
    std::printf("tavomix-render took %.0f ms beside the wedged server\n", renderMs);
    EXPECT_LT(renderMs, 10000) << "the render tool waited for the server";

    wedged.Close(); // the waiting look fails now
    SetVoices(nullptr);
    SetDesktop(nullptr);
}

} // namespace
