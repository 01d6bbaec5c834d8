// The live voices on a real sound server: a PulseAudio daemon of the test's own with a null
// sink whose monitor is recorded. A note played through the device path is heard at its pitch
// with the shipped low-latency configuration, and the voices live through the server going
// away and coming back. Skipped, with the reason, where no daemon can be started.
#include "platform/openal/openal_voices.h"
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
#include <functional>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using sound_server::RATE;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The voices on the default device of the private server, with the program's alsoft.conf,
// made ready as at start-up.
class SoundServer : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string why = server.Start(); !why.empty())
            GTEST_SKIP() << "no sound server to play to: " << why;
        setenv("ALSOFT_CONF", SHIPPED_ALSOFT_CONF, 1);
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
        // The pitch of each tenth of a second, and their median: a busy machine may let the
        // 11 ms of buffer run dry once, and the gap would lower a single measure.
        std::vector<double> pitches;
        for (int at = from; at + RATE / 10 <= from + count; at += RATE / 10)
            pitches.push_back(MeasureHz(samples, at, RATE / 10, RATE));
        std::nth_element(pitches.begin(), pitches.begin() + pitches.size() / 2, pitches.end());
        EXPECT_NEAR(pitches[pitches.size() / 2], hz, hz * 0.01);
        const auto tail = samples.begin() + from + count - RATE / 20;
        EXPECT_GT(*std::max_element(tail, tail + RATE / 20), 2000) << "the note stopped early";
    }

    sound_server::PrivateServer server;
    OpenAlVoices live;
};

TEST_F(SoundServer, ANoteIsHeardAtItsPitchWithTheShippedLatency) {
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
    // alsoft.conf asks for 2 periods of 256 frames; OpenAL's own default is about 47 ms.
    EXPECT_LT(latency.bufferMs + latency.sinkMs, 20) << "the shipped alsoft.conf is not in use";
}

TEST_F(SoundServer, TheVoicesComeBackWhenTheServerDoes) {
    ASSERT_TRUE(live.KeepOutput());
    EXPECT_FALSE(live.lost());

    server.Stop();
    const Clock::time_point stopped = Clock::now();
    sound_server::WaitFor(3, [this] { return !live.KeepOutput(); });
    ASSERT_TRUE(live.lost()) << "the loss of the server went unnoticed";
    std::printf("Loss noticed %.0f ms after the server ended\n", Ms(Clock::now() - stopped));

    // Lost, the voices take notes silently and at once; tries to reopen fail quickly.
    const Clock::time_point before = Clock::now();
    StartNote(262);
    StopChannel(1);
    StartNote(262);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(live.KeepOutput());
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
        const bool heard = live.KeepOutput();
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

} // namespace
