// Synthesis checks. The fast renderers work run by run; a reference written sample by sample
// straight from the rules of each sound type must give the same bytes for every field value.
#include "platform/fake_platform.h"
#include "sound/audio_output.h"
#include "sound/instrument_bank.h"
#include "sound/synthesis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

// ------------------------------------------------------------------- reference renderer
// Sample by sample, one count-down per counter, exactly in the order the rules give. Where the
// rules leave a value open it makes the same choices as the program: out-of-range tables are
// silent, `period` 0 never sweeps, and every count-down is 64-bit.

struct Reference {
    std::vector<uint8_t> out = std::vector<uint8_t>(RENDER_LENGTH, 0xEE);
    int loop = 0;
    uint32_t noise = 1;

    uint32_t Draw() {
        noise = noise * 214013u + 2531011u;
        return (noise >> 16) & 0x7FFF;
    }
    static uint8_t Byte(double v) { return static_cast<uint8_t>(static_cast<int64_t>(v)); }
    void Fill(int64_t from) {
        for (int64_t j = from; j < RENDER_LENGTH; ++j) out[j] = 128;
    }

    // Returns false when the sound ended.
    bool EnvelopeTick(int64_t& d, double& a, const ActiveSoundState& s) {
        if (--d != 0) return true;
        if (s.fade >= 7) {
            a = a - 1.6666666666666667;
            if (a == 0.0) return false;
        } else {
            a = a + 1.6666666666666667;
        }
        if (a > 25) a = 25;
        if (a < 0) a = 0;
        d = std::abs(int64_t{s.fade} - 7) * 704;
        return true;
    }
    static bool Cut(const ActiveSoundState& s, int64_t i) {
        return s.useLength && static_cast<double>(i) > s.lengthSeconds * 45056;
    }

    void Render(int t, ActiveSoundState& s) {
        if (s.testFrequency == 0) s.testFrequency = 1;
        const int32_t f0 = s.testFrequency;
        loop = 0;
        if (t == 2)
            loop = s.useLength == 0;
        else
            loop = s.fade <= 7 && s.useLength == 0;
        double a = s.initVolume * 25.0 * 0.06666666666666667;
        int64_t d = std::abs(int64_t{s.fade} - 7) * 704;

        if (t == 0 || t == 1) {
            static const int8_t zero[8] = {};
            const int8_t* duty =
                (s.waveform >= 0 && s.waveform < 4) ? DUTY_PATTERNS[s.waveform] : zero;
            const int32_t n = 45056 / f0;
            double S = n;
            int64_t stepLeft = static_cast<int64_t>(std::trunc(n / 8.0));
            const double q = n / 8.0 - std::trunc(n / 8.0);
            double acc = q;
            double P = 0, pacc = 0;
            int64_t sweepLeft = 0;
            double f = f0;
            int64_t k = std::abs(int64_t{s.pitchBend} - 7);
            if (t == 0) {
                if (n > 704) {
                    S = 704.0;
                } else if (n < 22) {
                    Fill(0);
                    return;
                }
                if (s.period > 0 && s.period < 8) P = SWEEP_PERIODS[s.period] * 5.632;
                sweepLeft = static_cast<int64_t>(std::trunc(P));
                pacc = P - std::trunc(P);
            }
            int step = 0;
            for (int64_t i = 0; i < RENDER_LENGTH; ++i) {
                if (Cut(s, i)) {
                    Fill(i);
                    return;
                }
                out[i] = Byte(duty[step] * a * 0.04 + 128);
                if (!EnvelopeTick(d, a, s)) {
                    Fill(i);
                    return;
                }
                if (t == 0 && --sweepLeft == 0) {
                    pacc += P - std::trunc(P);
                    sweepLeft = static_cast<int64_t>(std::trunc(P));
                    if (pacc >= 1.0) {
                        pacc -= 1.0;
                        ++sweepLeft;
                    }
                    if (k != 0) {
                        const double dd =
                            f / (2 * std::ldexp(1.0, static_cast<int>(std::min<int64_t>(k, 2000))));
                        if (s.pitchBend < 7) f = f - dd;
                        if (s.pitchBend > 7) f = f + dd;
                    }
                    S = 45056 / f;
                    if (S > 704) {
                        S = 704.0;
                    } else if (S < 44) {
                        Fill(i);
                        return;
                    }
                }
                if (--stepLeft == 0) {
                    step = (step + 1) % 8;
                    acc += q;
                    stepLeft = static_cast<int64_t>(std::trunc(S * 0.125));
                    if (acc >= 1.0) {
                        acc -= 1.0;
                        ++stepLeft;
                    }
                }
            }
        } else if (t == 2) {
            static const int8_t zero[32] = {};
            const int8_t* wave = (s.waveformType >= 0 && s.waveformType < 8)
                                     ? WAVEFORM_TABLES[s.waveformType]
                                     : zero;
            const int64_t n = 45056 / (int64_t{f0} * 32);
            const double q = 45056 / (f0 * 32.0) - static_cast<double>(n);
            double acc = q;
            int64_t left = n;
            int p = 0;
            for (int64_t i = 0; i < RENDER_LENGTH; ++i) {
                if (Cut(s, i)) {
                    Fill(i);
                    return;
                }
                out[i] = static_cast<uint8_t>(wave[p] + 128);
                if (--left == 0) {
                    p = (p + 1) % 32;
                    acc += q;
                    left = n;
                    if (acc >= 1.0) {
                        acc -= 1.0;
                        ++left;
                    }
                }
            }
        } else if (t == 3) {
            const int32_t h = 45056 / f0;
            double v = 128 + (Draw() & 127) * a * 0.04;
            int64_t left = h;
            for (int64_t i = 0; i < RENDER_LENGTH; ++i) {
                if (Cut(s, i)) {
                    Fill(i);
                    return;
                }
                out[i] = Byte(v);
                if (!EnvelopeTick(d, a, s)) {
                    Fill(i);
                    return;
                }
                if (--left == 0) {
                    v = (Draw() & 1) ? 128 - a * 5.08 : 128 + a * 5.08;
                    left = h;
                }
            }
        }
    }
};

ActiveSoundState Sound(int type, int32_t hz) {
    ActiveSoundState s{};
    s.soundType = type;
    s.testFrequency = hz;
    s.soundLength = 25;
    s.lengthSeconds = 0.25;
    s.initVolume = 15;
    s.fade = 7;
    s.pitchBend = 7;
    s.waveform = 2;
    return s;
}

// Renders `s` as its own type with the program's renderer.
const uint8_t* RenderActive(const ActiveSoundState& s) {
    ClearStartedFlags();
    engine.ActiveSound = s;
    SelectRenderBuffer(s.soundType);
    RenderSound(s.soundType);
    return CurrentRenderBuffer();
}

// Renders with both and compares every byte, the loop flag, the stored frequency and the noise
// generator's state.
void ExpectSameAsReference(const ActiveSoundState& s) {
    Reference ref;
    ref.noise = engine.noise_state;
    ActiveSoundState refSound = s;
    ref.Render(s.soundType, refSound);
    const uint8_t* got = RenderActive(s);
    const int t = s.soundType;
    auto describe = [&] {
        return ::testing::Message()
               << "type " << t << " F " << s.testFrequency << " vol " << s.initVolume << " fade "
               << s.fade << " period " << s.period << " bend " << s.pitchBend << " wave "
               << s.waveform << " table " << s.waveformType << " useLength " << s.useLength
               << " length " << s.lengthSeconds;
    };
    const auto mismatch = std::mismatch(got, got + RENDER_LENGTH, ref.out.begin());
    ASSERT_EQ(mismatch.first, got + RENDER_LENGTH)
        << describe() << ": first difference at sample " << (mismatch.first - got) << ": "
        << int(*mismatch.first) << " instead of " << int(*mismatch.second);
    ASSERT_EQ(engine.loop_flags[t], ref.loop) << describe();
    ASSERT_EQ(engine.ActiveSound.testFrequency, refSound.testFrequency) << describe();
    ASSERT_EQ(engine.noise_state, ref.noise) << describe();
}

// Lengths of the runs of equal samples from the start.
std::vector<int> RunLengths(const uint8_t* p, int count, int maxRuns) {
    std::vector<int> runs;
    int start = 0;
    for (int i = 1; i <= count && static_cast<int>(runs.size()) < maxRuns; ++i) {
        if (i == count || p[i] != p[start]) {
            runs.push_back(i - start);
            start = i;
        }
    }
    return runs;
}

class Synthesis : public ::testing::Test {
  protected:
    void SetUp() override {
        InstallFake(&fake);
        InitSoundBank();
    }
    void TearDown() override { InstallFake(nullptr); }
    FakePlatform fake;
};

// ------------------------------------------------------------------------ known renders

TEST_F(Synthesis, PulseAt440HzStepsCarryTheQuarterSamples) {
    // N = 102: steps of 12.75 samples last 12, 13, 13, 13, 12, 13, 13, 13, ...
    // Duty 0 has one high step in eight, so its runs show single step lengths: step 0 (12),
    // step 1 (13), then steps 2..8 low (13+13+12+13+13+13+12 = 89).
    ActiveSoundState s = Sound(0, 440);
    s.waveform = 0;
    const uint8_t* b = RenderActive(s);
    EXPECT_EQ(RunLengths(b, RENDER_LENGTH, 3), (std::vector<int>{12, 13, 89}));
    // Duty 2: four steps high, four low; full volume gives 255 and 0.
    b = RenderActive(Sound(0, 440));
    EXPECT_EQ(RunLengths(b, RENDER_LENGTH, 4), (std::vector<int>{51, 51, 51, 51}));
    EXPECT_EQ(b[0], 255);
    EXPECT_EQ(b[60], 0);
    EXPECT_EQ(engine.loop_flags[0], 1);
}

TEST_F(Synthesis, PulseWithSweepIsSilentAbove2048Hz) {
    for (int32_t hz : {2049, 3000, 45056, 100000, -440}) {
        const uint8_t* b = RenderActive(Sound(0, hz));
        EXPECT_TRUE(std::all_of(b, b + RENDER_LENGTH, [](uint8_t v) { return v == 128; }))
            << hz << " Hz";
    }
    const uint8_t* b = RenderActive(Sound(0, 2048));
    EXPECT_NE(std::count(b, b + RENDER_LENGTH, 128), RENDER_LENGTH);
}

TEST_F(Synthesis, LowPulseKeepsItsFirstStepAndHoldsCyclesAt704Samples) {
    ActiveSoundState s = Sound(0, 50);
    s.waveform = 0; // one high step in eight shows each step's length
    const uint8_t* b = RenderActive(s);
    // N = 901: the first step lasts 112, later ones 88 or 89 (704 / 8 plus a 0.625 carry).
    const std::vector<int> runs = RunLengths(b, RENDER_LENGTH, 3);
    EXPECT_EQ(runs[0], 112);
    EXPECT_TRUE(runs[1] == 88 || runs[1] == 89) << runs[1];
}

TEST_F(Synthesis, PulseAbove5632HzHoldsOneLevel) {
    ActiveSoundState s = Sound(1, 6000);
    s.waveform = 2;
    const uint8_t* b = RenderActive(s);
    EXPECT_TRUE(std::all_of(b, b + RENDER_LENGTH, [&](uint8_t v) { return v == b[0]; }));
    EXPECT_EQ(b[0], 255);
}

TEST_F(Synthesis, TableWaveformIgnoresVolumeAndFade) {
    ActiveSoundState s = Sound(2, 440);
    s.initVolume = 0;
    s.fade = 14;
    const uint8_t* b = RenderActive(s);
    EXPECT_EQ(*std::min_element(b, b + RENDER_LENGTH), 0);
    EXPECT_EQ(*std::max_element(b, b + RENDER_LENGTH), 255);
    EXPECT_EQ(engine.loop_flags[2], 1);
}

TEST_F(Synthesis, NoiseAbove45056HzKeepsItsFirstLevel) {
    ActiveSoundState s = Sound(3, NoteFrequency(3, 30));
    const uint8_t* b = RenderActive(s);
    EXPECT_TRUE(std::all_of(b, b + RENDER_LENGTH, [&](uint8_t v) { return v == b[0]; }));
}

TEST_F(Synthesis, FullFadeOutEndsInSilenceAfterFifteenSteps) {
    ActiveSoundState s = Sound(1, 440);
    s.fade = 14; // one step down every 7 * 704 = 4928 samples
    const uint8_t* b = RenderActive(s);
    EXPECT_EQ(b[4927 - 12], 255); // the first step down acts after sample 4927
    EXPECT_EQ(b[4928], 255 - 9);  // trunc(127 * (25 - 1.667) * 0.04 + 128) = 247
    // After the 15th step the amplitude is a hair below 0 and clamps to 0: silence from the
    // sample after that step on.
    const int silentFrom = 15 * 4928;
    EXPECT_TRUE(std::all_of(b + silentFrom, b + RENDER_LENGTH, [](uint8_t v) { return v == 128; }));
    EXPECT_NE(b[silentFrom - 30], 128);
    EXPECT_EQ(engine.loop_flags[1], 0);
}

TEST_F(Synthesis, UseLengthCutsAfterSample11264AndStopsLooping) {
    for (int t = 0; t < 4; ++t) {
        ActiveSoundState s = Sound(t, 440);
        s.useLength = 1;
        const uint8_t* b = RenderActive(s);
        EXPECT_TRUE(std::all_of(b + 11265, b + RENDER_LENGTH, [](uint8_t v) { return v == 128; }))
            << "type " << t;
        EXPECT_NE(std::count(b, b + 11265, 128), 11265) << "type " << t;
        EXPECT_EQ(engine.loop_flags[t], 0) << "type " << t;
    }
}

TEST_F(Synthesis, StartedTypeIsNeitherRenderedNorLoaded) {
    ActiveSoundState s = Sound(2, 440);
    engine.ActiveSound = s;
    SelectRenderBuffer(2);
    std::memset(engine.render_buffers[2], 7, RENDER_LENGTH);
    engine.sound_started[2] = 1;
    RenderSound(2);
    EXPECT_TRUE(std::all_of(engine.render_buffers[2], engine.render_buffers[2] + RENDER_LENGTH,
                            [](uint8_t v) { return v == 7; }));
    engine.sound_started[2] = 0;
    RenderSound(2);
    EXPECT_NE(engine.render_buffers[2][0], 7);
    // Types outside 0..3 render nothing.
    std::memset(engine.render_buffers[0], 7, RENDER_LENGTH);
    SelectRenderBuffer(9);
    RenderSound(9);
    RenderSound(-1);
    EXPECT_EQ(engine.render_buffers[0][0], 7);
}

TEST_F(Synthesis, ZeroFrequencyBecomesOneAndIsStoredBack) {
    for (int t = 0; t < 4; ++t) {
        ActiveSoundState s = Sound(t, 0);
        RenderActive(s);
        EXPECT_EQ(engine.ActiveSound.testFrequency, 1) << "type " << t;
    }
}

TEST_F(Synthesis, ClickIsA700HzTriangleOf1803Samples) {
    StartAudio();
    PrepareClick();
    ASSERT_EQ(fake.voices[CLICK_CHANNEL].fills, 1);
    EXPECT_TRUE(std::equal(engine.click_samples, engine.click_samples + CLICK_LENGTH,
                           fake.voices[CLICK_CHANNEL].samples.begin()));
    EXPECT_EQ(engine.click_samples[0], 0); // the triangle starts at its lowest point
    EXPECT_NE(std::count(engine.click_samples, engine.click_samples + 1803, 128), 1803);
    EXPECT_TRUE(std::all_of(engine.click_samples + 1803, engine.click_samples + CLICK_LENGTH,
                            [](uint8_t v) { return v == 128; }));
    // 700 Hz: 64.37 samples a cycle, so the 1803 samples of sound hold the starts (the lowest
    // point) of 29 cycles, the last at sample 1802.
    int cycles = 0;
    for (int i = 1; i < 1803; ++i)
        cycles += engine.click_samples[i] == 0 && engine.click_samples[i - 1] != 0;
    EXPECT_EQ(cycles + 1, 29);
    EXPECT_EQ(engine.loop_flags[CLICK_CHANNEL], 0);
    EXPECT_EQ(engine.current_render_buffer, 0);
}

// -------------------------------------------------------------------------- tables

TEST_F(Synthesis, NoiseTableFollowsItsDividersAndShifts) {
    for (const NoiseFrequency& e : NOISE_FREQUENCIES) {
        EXPECT_EQ(e.frequency, std::lround(262144.0 / (e.divider << e.shift)))
            << e.divider << " " << e.shift;
        EXPECT_EQ(e.zero, 0);
    }
    EXPECT_EQ(NOISE_FREQUENCIES[0].frequency, 341);
    EXPECT_EQ(NOISE_FREQUENCIES[31].frequency, 87381);
}

TEST_F(Synthesis, NotesWithoutATableEntryStayInsideTheTables) {
    EXPECT_EQ(NoteFrequency(0, 10), 440);
    EXPECT_EQ(NoteFrequency(1, 42), 110);
    EXPECT_EQ(NoteFrequency(2, 78), 64);
    EXPECT_EQ(NoteFrequency(0, 95), 0);
    EXPECT_EQ(NoteFrequency(0, 96), 0);
    EXPECT_EQ(NoteFrequency(0, 255), 0);
    EXPECT_EQ(NoteFrequency(0, -1), 0);
    EXPECT_EQ(NoteFrequency(3, 10), 2048);
    EXPECT_EQ(NoteFrequency(3, 42), 2048); // the noise table repeats every 32 notes
    EXPECT_EQ(NoteFrequency(3, 255), 87381);
    engine.ActiveSound.soundType = 3;
    SetNoteFrequency(0);
    EXPECT_EQ(engine.ActiveSound.testFrequency, 341);
    engine.ActiveSound.soundType = 9;
    SetNoteFrequency(10);
    EXPECT_EQ(engine.ActiveSound.testFrequency, 440);
}

// The reference renderer reads the same waveform tables, so a table assembled from others is
// checked against its parts here: Brol3 is the four duty patterns one after another.
TEST(SynthesisTables, Brol3IsTheFourDutyPatternsInOrder) {
    for (int step = 0; step < 32; ++step)
        EXPECT_EQ(WAVEFORM_TABLES[7][step], DUTY_PATTERNS[step / 8][step % 8]) << "step " << step;
}

TEST_F(Synthesis, NoiseGeneratorSequence) {
    engine.noise_state = 1;
    EXPECT_EQ(NoiseDraw(), 41u);
    EXPECT_EQ(NoiseDraw(), 18467u);
    EXPECT_EQ(NoiseDraw(), 6334u);
}

TEST_F(Synthesis, SelectRenderBufferFallsBackToTypeZero) {
    for (int t : {1, 2, 3}) {
        SelectRenderBuffer(t);
        EXPECT_EQ(engine.current_render_buffer, t);
    }
    for (int t : {0, 4, -1, 1000}) {
        SelectRenderBuffer(t);
        EXPECT_EQ(engine.current_render_buffer, 0);
    }
}

// ------------------------------------------------------------ exactness against reference

TEST_F(Synthesis, EveryNoteOfEveryTypeMatchesTheReference) {
    for (int t = 0; t < 4; ++t) {
        for (int note = 0; note < 256; ++note) {
            ActiveSoundState s = Sound(t, NoteFrequency(t, note));
            s.fade = 5 + note % 5;
            s.period = note % 8;
            s.pitchBend = note % 15;
            s.waveform = note % 4;
            s.waveformType = note % 8;
            s.useLength = note % 3 == 0;
            ExpectSameAsReference(s);
            if (HasFatalFailure()) return;
        }
    }
}

TEST_F(Synthesis, EveryFieldRangeMatchesTheReference) {
    const int32_t frequencies[] = {0,     1,    22,   50,        64,       440,   1024,
                                   1025,  2048, 2049, 5632,      5633,     45056, 45057,
                                   87381, -1,   -440, INT32_MIN, INT32_MAX};
    for (int t = 0; t < 4; ++t) {
        for (int32_t hz : frequencies) {
            for (int fade = 0; fade <= 14; ++fade) {
                for (int volume : {0, 1, 7, 15}) {
                    ActiveSoundState s = Sound(t, hz);
                    s.fade = fade;
                    s.initVolume = volume;
                    s.period = (fade + volume) % 8;
                    s.pitchBend = (fade * 3 + volume) % 15;
                    s.waveform = fade % 4;
                    s.waveformType = fade % 8;
                    ExpectSameAsReference(s);
                    if (HasFatalFailure()) return;
                }
            }
        }
    }
}

TEST_F(Synthesis, SweepsMatchTheReference) {
    for (int32_t hz : {64, 65, 100, 262, 440, 700, 1000, 1024, 1500, 2048}) {
        for (int period = 0; period < 8; ++period) {
            for (int bend = 0; bend <= 14; ++bend) {
                ActiveSoundState s = Sound(0, hz);
                s.period = period;
                s.pitchBend = bend;
                s.fade = 7 + period % 3;
                ExpectSameAsReference(s);
                if (HasFatalFailure()) return;
            }
        }
    }
}

// Held noise is written in bulk from the generator's bit cycle: every hold, from states at
// both ends of that cycle and elsewhere, with and without envelope steps and the length cut.
TEST_F(Synthesis, NoiseMatchesTheReferenceAtEveryHoldAndState) {
    for (int32_t hold = 1; hold <= 140; ++hold) {
        for (const uint32_t state : {0u, 1u, 0x1FFFFu, 0x20000u, 0xFFFFFFFFu, 0x9E3779B9u}) {
            ActiveSoundState s = Sound(3, SAMPLE_RATE / hold);
            s.fade = 5 + hold % 5;
            s.useLength = hold % 4 == 0;
            engine.noise_state = state + static_cast<uint32_t>(hold);
            ExpectSameAsReference(s);
            if (HasFatalFailure()) return;
        }
    }
}

TEST_F(Synthesis, HostileFieldValuesStayInBounds) {
    std::mt19937 rng(12345);
    const int32_t extremes[] = {INT32_MIN, INT32_MIN + 1, -1000000, -8, -1, 0, 1, 7, 8, 15, 16, 99,
                                100,       1000000,       INT32_MAX};
    auto pick = [&] {
        return (rng() & 1) ? extremes[rng() % std::size(extremes)]
                           : static_cast<int32_t>(rng() % 40) - 10;
    };
    const double lengths[] = {0.0, -1.0,     0.25,      1.0,   1e300,  -1e300,
                              NAN, INFINITY, -INFINITY, 1.818, 1.8181, 0.0000001};
    for (int round = 0; round < 600; ++round) {
        ActiveSoundState s{};
        s.soundType = static_cast<int32_t>(rng() % 4);
        s.testFrequency = (rng() % 3) ? pick() : static_cast<int32_t>(rng());
        s.useLength = pick();
        s.lengthSeconds = lengths[rng() % std::size(lengths)];
        s.initVolume = pick();
        s.fade = pick();
        s.period = pick();
        s.pitchBend = pick();
        s.waveform = pick();
        s.waveformType = pick();
        ExpectSameAsReference(s);
        if (HasFatalFailure()) return;
    }
}

} // namespace
