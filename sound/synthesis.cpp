// Section index:
//   tables            duty, sweep, waveform, tone and noise tables
//   state             render buffers, loop flags, click, noise generator
//   note frequencies  SetNoteFrequency and its fallbacks
//   renderers         pulse (types 0 and 1), table waveform (type 2), noise (type 3)
//   entry points      SelectRenderBuffer, RenderSound, PrepareClick
//
// The renderers are exact to the sample: every value follows from double-precision arithmetic
// in a fixed order. Between two events (a step change, an envelope step, a sweep step, the
// length cut) every sample has the same value, so each renderer works event by event and
// fills whole runs of equal samples at once instead of computing every sample.
#include "sound/synthesis.h"

#include "sound/engine_lock.h"
#include "sound/instrument_bank.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

std::mutex sound_engine_lock;

// ---------------------------------------------------------------------------------- tables

const int8_t DUTY_PATTERNS[4][8] = {
    {-128, 127, -128, -128, -128, -128, -128, -128},
    {127, 127, -128, -128, -128, -128, -128, -128},
    {127, 127, 127, 127, -128, -128, -128, -128},
    {-128, -128, 127, 127, 127, 127, 127, 127},
};

const double SWEEP_PERIODS[8] = {0.0, 7.8, 15.6, 23.4, 31.3, 39.1, 46.9, 54.7};
const double SWEEP_SHIFTS[8] = {1, 2, 4, 8, 16, 32, 64, 128};

const int8_t WAVEFORM_TABLES[WAVEFORM_TYPE_COUNT][32] = {
    // Triangle
    {-128, -112, -96, -80, -64, -48, -32, -16, 0, 16,  32,  48,  64,  80,  96,  112,
     127,  112,  96,  80,  64,  48,  32,  16,  0, -16, -32, -48, -64, -80, -96, -112},
    // Quad
    {-128, -128, -128, -128, 127, 127, 127, 127, -128, -128, -128, -128, 127, 127, 127, 127,
     -128, -128, -128, -128, 127, 127, 127, 127, -128, -128, -128, -128, 127, 127, 127, 127},
    // Up
    {-128, -120, -112, -104, -96, -88, -80, -72, -64, -56, -48, -40, -32, -24, -16, -8,
     0,    8,    16,   24,   32,  40,  48,  56,  64,  72,  80,  88,  96,  104, 112, 120},
    // Fish
    {0, 8,  16,  24,  32,  40,  48,  56,  64,  72,  80,  88,  96,  104,  112,  120,
     0, -8, -16, -24, -32, -40, -48, -56, -64, -72, -80, -88, -96, -104, -112, -120},
    // Spec-Sin
    {-128, -103, -78, -54, -30, -7, 14, 34, 53, 71, 85, 98, 108, 117, 123, 126,
     127,  126,  123, 117, 108, 98, 85, 71, 53, 34, 14, -7, -30, -54, -78, -103},
    // Brol1, Brol2: silence
    {},
    {},
    // Brol3: the four duty patterns in order
    {-128, 127, -128, -128, -128, -128, -128, -128, 127,  127,  127, -128, -128, -128, -128, -128,
     127,  127, 127,  127,  -128, -128, -128, -128, -128, -128, 127, 127,  127,  127,  127,  127},
};

const char* const WAVEFORM_NAMES[WAVEFORM_TYPE_COUNT] = {
    "Triangle", "Quad", "Up", "Fish", "Spec-Sin", "Brol1", "Brol2", "Brol3",
};

const int32_t TONE_FREQUENCIES[TONE_TABLE_SIZE] = {
    0,
    // 1..31: the upper bank
    262,
    277,
    294,
    311,
    330,
    350,
    370,
    392,
    415,
    440,
    466,
    494,
    523,
    554,
    587,
    622,
    659,
    700,
    740,
    784,
    831,
    880,
    932,
    988,
    1047,
    1109,
    1175,
    1245,
    1319,
    1397,
    1480,
    0,
    // 33..63: the lower bank
    65,
    69,
    73,
    78,
    82,
    87,
    92,
    98,
    104,
    110,
    117,
    124,
    131,
    139,
    147,
    156,
    165,
    175,
    185,
    196,
    208,
    220,
    233,
    247,
    262,
    277,
    294,
    311,
    330,
    350,
    370,
    // 64..70
    175,
    185,
    196,
    208,
    220,
    233,
    247,
    0,
    // 72..78
    64,
    64,
    64,
    64,
    64,
    64,
    64,
    // 79..95: no note
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
};

const NoiseFrequency NOISE_FREQUENCIES[NOISE_TABLE_SIZE] = {
    {341, 6, 0, 7},   {410, 5, 0, 7},   {512, 4, 0, 7},   {585, 7, 0, 6},   {683, 6, 0, 6},
    {819, 5, 0, 6},   {1024, 4, 0, 6},  {1170, 7, 0, 5},  {1365, 6, 0, 5},  {1638, 5, 0, 5},
    {2048, 4, 0, 5},  {2341, 7, 0, 4},  {2731, 6, 0, 4},  {3277, 5, 0, 4},  {4096, 4, 0, 4},
    {4681, 7, 0, 3},  {5461, 6, 0, 3},  {6554, 5, 0, 3},  {8192, 4, 0, 3},  {9362, 7, 0, 2},
    {10923, 6, 0, 2}, {13107, 5, 0, 2}, {16384, 4, 0, 2}, {18725, 7, 0, 1}, {21845, 6, 0, 1},
    {26214, 5, 0, 1}, {32768, 4, 0, 1}, {37449, 7, 0, 0}, {43691, 6, 0, 0}, {52429, 5, 0, 0},
    {65536, 4, 0, 0}, {87381, 3, 0, 0},
};

// ----------------------------------------------------------------------------------- state

alignas(64) uint8_t render_buffers[4][RENDER_LENGTH + RENDER_SLACK];
uint8_t* current_render_buffer = render_buffers[0];
int loop_flags[OUTPUT_CHANNEL_COUNT];
uint8_t click_samples[CLICK_LENGTH];
uint32_t noise_state = 1;

uint32_t NoiseDraw() {
    noise_state = noise_state * 214013u + 2531011u;
    return (noise_state >> 16) & 0x7FFF;
}

// ------------------------------------------------------------------------ note frequencies

int32_t NoteFrequency(int32_t soundType, int note) {
    if (note < 0) return 0;
    if (soundType == 3) return NOISE_FREQUENCIES[note % NOISE_TABLE_SIZE].frequency;
    return note < TONE_TABLE_SIZE ? TONE_FREQUENCIES[note] : 0;
}

void SetNoteFrequency(int note) {
    ActiveSound.testFrequency = NoteFrequency(ActiveSound.soundType, note);
}

// ------------------------------------------------------------------------------ renderers

namespace {

constexpr int64_t NEVER = std::numeric_limits<int64_t>::max();
constexpr double ENVELOPE_STEP = 1.6666666666666667;
constexpr int64_t ENVELOPE_UNIT = 704; // samples per fade step and distance from 7 (1/64 s)

// A count-down: decremented after each written sample, it acts when it reaches exactly 0, so
// one loaded with 0 or less never acts. `left` is the number of samples until it acts.
struct CountDown {
    int64_t left = NEVER;
    void Load(int64_t samples) { left = samples > 0 ? samples : NEVER; }
    // Advances by `run` samples; true when it acted after the last of them.
    bool Advance(int64_t run) {
        if (left == NEVER) return false;
        left -= run;
        return left == 0;
    }
};

// The carry that lets a step of fractional length average out: each reload adds the fraction,
// and a reload that reaches 1.0 gets one sample more.
struct Carry {
    double fraction = 0.0;
    double sum = 0.0;
    int64_t Next() {
        sum += fraction;
        if (sum >= 1.0) {
            sum -= 1.0;
            return 1;
        }
        return 0;
    }
};

// A double truncated toward zero; the low 8 bits are the sample. Every value the renderers
// produce lies far inside the 64-bit range.
uint8_t SampleByte(double v) {
    if (!(std::fabs(v) < 9.0e18)) return SILENCE;
    return static_cast<uint8_t>(static_cast<int64_t>(v));
}

// Writes the buffer in runs of equal samples; a run is only written when its value ends, so
// runs of the same value that follow each other are filled at once.
class RunWriter {
  public:
    explicit RunWriter(uint8_t* buffer) : buffer_(buffer) {}
    void Set(int64_t at, uint8_t value) {
        if (value == value_) return;
        Flush(at);
        value_ = value;
    }
    void Flush(int64_t to) {
        if (to > start_) std::memset(buffer_ + start_, value_, static_cast<size_t>(to - start_));
        start_ = to;
    }
    // Ends the sound: silence from `at` to the end of the buffer.
    void SilenceFrom(int64_t at) {
        Flush(at);
        std::memset(buffer_ + at, SILENCE, static_cast<size_t>(RENDER_LENGTH - at));
        start_ = RENDER_LENGTH;
    }

  private:
    uint8_t* buffer_;
    int64_t start_ = 0;
    uint8_t value_ = SILENCE;
};

// The first sample index that is not produced because of "Use Length", or RENDER_LENGTH.
// Samples 0 .. floor(lengthSeconds * 45056) are sound.
int64_t LengthCut() {
    if (!ActiveSound.useLength) return RENDER_LENGTH;
    const double limit = ActiveSound.lengthSeconds * SAMPLE_RATE;
    if (std::isnan(limit) || limit >= RENDER_LENGTH) return RENDER_LENGTH;
    if (limit < 0) return 0;
    return static_cast<int64_t>(std::floor(limit)) + 1;
}

// The volume envelope of sound types 0, 1 and 3.
struct Envelope {
    double amplitude; // 0..25 once the envelope has acted
    int64_t interval; // samples between steps
    bool fadeOut;
    CountDown countDown;

    Envelope() {
        amplitude = static_cast<double>(ActiveSound.initVolume) * 25 * 0.06666666666666667;
        const int64_t distance = std::abs(int64_t{ActiveSound.fade} - 7);
        interval = distance * ENVELOPE_UNIT;
        fadeOut = ActiveSound.fade >= 7;
        countDown.Load(interval);
    }
    // One envelope step; false when a fade-out reached exactly 0 and the sound ends.
    bool Step() {
        if (fadeOut) {
            amplitude -= ENVELOPE_STEP;
            if (amplitude == 0.0) return false;
        } else {
            amplitude += ENVELOPE_STEP;
        }
        amplitude = std::clamp(amplitude, 0.0, 25.0);
        countDown.Load(interval);
        return true;
    }
};

bool EnvelopeLoops() {
    return ActiveSound.fade <= 7 && ActiveSound.useLength == 0;
}

const int8_t SILENT_PATTERN[32] = {};

// Sound types 0 and 1: a pulse wave with volume envelope; type 0 adds the pitch sweep and its
// limits of 704 and 22 samples per cycle.
void RenderPulse(uint8_t* buffer, int32_t frequency, bool sweep) {
    const int32_t n = SAMPLE_RATE / frequency;
    const int8_t* duty = (ActiveSound.waveform >= 0 && ActiveSound.waveform < 4)
                             ? DUTY_PATTERNS[ActiveSound.waveform]
                             : SILENT_PATTERN;
    Envelope envelope;
    double cycle = n; // samples per cycle
    if (sweep) {
        if (n > 704) {
            cycle = 704.0;
        } else if (n < 22) {
            std::memset(buffer, SILENCE, RENDER_LENGTH);
            return;
        }
    }

    const double firstStep = std::trunc(n / 8.0);
    Carry stepCarry{n / 8.0 - firstStep, n / 8.0 - firstStep};
    CountDown stepCountDown;
    stepCountDown.Load(static_cast<int64_t>(firstStep));
    int step = 0;

    // The sweep: `period` 0 (or out of range) never sweeps.
    double sweepLength = 0.0;
    if (sweep && ActiveSound.period > 0 && ActiveSound.period < 8)
        sweepLength = SWEEP_PERIODS[ActiveSound.period] * 5.632;
    const double sweepWhole = std::trunc(sweepLength);
    Carry sweepCarry{sweepLength - sweepWhole, sweepLength - sweepWhole};
    CountDown sweepCountDown;
    sweepCountDown.Load(static_cast<int64_t>(sweepWhole));
    const int64_t shiftPower = std::abs(int64_t{ActiveSound.pitchBend} - 7);
    const double shift =
        shiftPower < 8 ? SWEEP_SHIFTS[shiftPower]
                       : std::ldexp(1.0, static_cast<int>(std::min<int64_t>(shiftPower, 2000)));
    double pitch = frequency;

    RunWriter out(buffer);
    auto level = [&] { return SampleByte(duty[step] * envelope.amplitude * 0.04 + 128); };
    const int64_t cut = LengthCut();
    int64_t i = 0;
    out.Set(0, level());
    for (;;) {
        if (i >= cut) {
            out.SilenceFrom(i);
            return;
        }
        const int64_t run = std::min({int64_t{RENDER_LENGTH} - i, cut - i, envelope.countDown.left,
                                      sweepCountDown.left, stepCountDown.left});
        i += run;
        // The events that act after sample i - 1, in their order.
        if (envelope.countDown.Advance(run) && !envelope.Step()) {
            out.SilenceFrom(i - 1);
            return;
        }
        if (sweepCountDown.Advance(run)) {
            sweepCountDown.Load(static_cast<int64_t>(sweepWhole) + sweepCarry.Next());
            if (shiftPower != 0) {
                const double d = pitch / (2 * shift);
                if (ActiveSound.pitchBend < 7)
                    pitch = pitch - d;
                else if (ActiveSound.pitchBend > 7)
                    pitch = pitch + d;
            }
            cycle = SAMPLE_RATE / pitch;
            if (cycle > 704) {
                cycle = 704.0;
            } else if (cycle < 44) {
                out.SilenceFrom(i - 1);
                return;
            }
        }
        if (stepCountDown.Advance(run)) {
            step = (step + 1) % 8;
            stepCountDown.Load(static_cast<int64_t>(std::trunc(cycle * 0.125)) + stepCarry.Next());
        }
        if (i >= RENDER_LENGTH) break;
        out.Set(i, level());
    }
    out.Flush(RENDER_LENGTH);
}

// Sound type 2: one of eight 32-step tables, full scale, no envelope.
void RenderTable(uint8_t* buffer, int32_t frequency) {
    loop_flags[2] = ActiveSound.useLength == 0;
    const int8_t* wave =
        (ActiveSound.waveformType >= 0 && ActiveSound.waveformType < WAVEFORM_TYPE_COUNT)
            ? WAVEFORM_TABLES[ActiveSound.waveformType]
            : SILENT_PATTERN;
    // 64-bit so that no frequency overflows the step arithmetic.
    const int64_t n = SAMPLE_RATE / (int64_t{frequency} * 32);
    const double q = SAMPLE_RATE / (frequency * 32.0) - static_cast<double>(n);
    Carry carry{q, q};
    CountDown stepCountDown;
    stepCountDown.Load(n);
    int p = 0;

    RunWriter out(buffer);
    const int64_t cut = LengthCut();
    int64_t i = 0;
    out.Set(0, static_cast<uint8_t>(wave[p] + 128));
    for (;;) {
        if (i >= cut) {
            out.SilenceFrom(i);
            return;
        }
        const int64_t run = std::min({int64_t{RENDER_LENGTH} - i, cut - i, stepCountDown.left});
        i += run;
        if (stepCountDown.Advance(run)) {
            p = (p + 1) % 32;
            stepCountDown.Load(n + carry.Next());
        }
        if (i >= RENDER_LENGTH) break;
        out.Set(i, static_cast<uint8_t>(wave[p] + 128));
    }
    out.Flush(RENDER_LENGTH);
}

// Sound type 3: levels drawn from the noise generator, held for 45056 / F samples each.
void RenderNoise(uint8_t* buffer, int32_t frequency) {
    const int32_t hold = SAMPLE_RATE / frequency;
    Envelope envelope;
    double level = 128 + (NoiseDraw() & 127) * envelope.amplitude * 0.04;
    CountDown holdCountDown;
    holdCountDown.Load(hold);

    RunWriter out(buffer);
    const int64_t cut = LengthCut();
    int64_t i = 0;
    out.Set(0, SampleByte(level));
    for (;;) {
        if (i >= cut) {
            out.SilenceFrom(i);
            return;
        }
        const int64_t run = std::min(
            {int64_t{RENDER_LENGTH} - i, cut - i, envelope.countDown.left, holdCountDown.left});
        i += run;
        if (envelope.countDown.Advance(run) && !envelope.Step()) {
            out.SilenceFrom(i - 1);
            return;
        }
        if (holdCountDown.Advance(run)) {
            const double swing = envelope.amplitude * 5.08;
            level = (NoiseDraw() & 1) ? 128 - swing : 128 + swing;
            holdCountDown.Load(hold);
        }
        if (i >= RENDER_LENGTH) break;
        out.Set(i, SampleByte(level));
    }
    out.Flush(RENDER_LENGTH);
}

void Render(int t, uint8_t* buffer) {
    if (ActiveSound.testFrequency == 0) ActiveSound.testFrequency = 1;
    const int32_t frequency = ActiveSound.testFrequency;
    loop_flags[t] = 0;
    switch (t) {
    case 0:
    case 1:
        loop_flags[t] = EnvelopeLoops();
        RenderPulse(buffer, frequency, t == 0);
        break;
    case 2: RenderTable(buffer, frequency); break;
    case 3:
        loop_flags[t] = EnvelopeLoops();
        RenderNoise(buffer, frequency);
        break;
    }
}

} // namespace

// --------------------------------------------------------------------------- entry points

void SelectRenderBuffer(int t) {
    current_render_buffer = render_buffers[(t == 1 || t == 2 || t == 3) ? t : 0];
}

void RenderSound(int t) {
    if (t < 0 || t >= SOUND_TYPE_COUNT || SoundTypeStarted(t)) return;
    Render(t, current_render_buffer);
}

void PrepareClick() {
    ActiveSound.initVolume = 15;
    ActiveSound.fade = 8;
    ActiveSound.testFrequency = 700;
    ActiveSound.lengthSeconds = 0.04;
    ActiveSound.waveformType = 0;
    ActiveSound.soundType = 2;
    ActiveSound.useLength = 1;
    Render(2, current_render_buffer);
    std::memcpy(click_samples, current_render_buffer, CLICK_LENGTH);
}
