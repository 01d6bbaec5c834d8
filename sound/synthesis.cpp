// Section index (the tables are in synthesis_tables.cpp):
//   state             the noise generator
//   note frequencies  SetNoteFrequency and its fallbacks
//   renderers         pulse (types 0 and 1), table waveform (type 2), noise (type 3)
//   entry points      SelectRenderBuffer, RenderSound, RenderClick
//
// The renderers are exact to the sample: every value follows from double-precision arithmetic
// in a fixed order. Between two events (a step change, an envelope step, a sweep step, the
// length cut) every sample has the same value, so each renderer works event by event and
// fills whole runs of equal samples at once instead of computing every sample.
#include "sound/synthesis.h"

#include "sound/instrument_bank.h"
#include "sound/noise_runs.h"
#include "sound/sound_engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

// ----------------------------------------------------------------------------------- state

uint32_t NoiseDraw() {
    engine.noise_state = engine.noise_state * NOISE_MULTIPLIER + NOISE_INCREMENT;
    return (engine.noise_state >> 16) & 0x7FFF;
}

// ------------------------------------------------------------------------ note frequencies

int32_t NoteFrequency(int32_t soundType, int note) {
    if (note < 0) return 0;
    if (soundType == 3) return NOISE_FREQUENCIES[note % NOISE_TABLE_SIZE].frequency;
    return note < TONE_TABLE_SIZE ? TONE_FREQUENCIES[note] : 0;
}

void SetNoteFrequency(int note) {
    engine.ActiveSound.testFrequency = NoteFrequency(engine.ActiveSound.soundType, note);
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

// Writes `length` (> 0) samples of `value`. Short runs are written as two 8-byte words: the
// bytes past the run's end are overwritten by the runs that follow, or land in the buffer's
// slack.
void FillRun(uint8_t* at, uint8_t value, int64_t length) {
    if (length > 16) {
        std::memset(at, value, static_cast<size_t>(length));
    } else {
        const uint64_t word = 0x0101010101010101ull * value;
        std::memcpy(at, &word, 8);
        std::memcpy(at + 8, &word, 8);
    }
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
        if (to > start_) FillRun(buffer_ + start_, value_, to - start_);
        start_ = to;
    }
    // For callers that wrote up to `at` themselves: the run in progress starts there.
    void Restart(int64_t at, uint8_t value) {
        start_ = at;
        value_ = value;
    }
    uint8_t* data() { return buffer_; }
    // Writes everything before `at`, then repeats the `period` samples before `at` until
    // `length` more samples are written. The run in progress goes on after them.
    void RepeatPeriod(int64_t at, int64_t period, int64_t length) {
        Flush(at);
        int64_t done = 0;
        int64_t source = period; // how far back a whole number of periods is already written
        while (done < length) {
            const int64_t chunk = std::min(source, length - done);
            std::memcpy(buffer_ + at + done, buffer_ + at + done - source,
                        static_cast<size_t>(chunk));
            done += chunk;
            source = (source + chunk) / period * period;
        }
        start_ = at + length;
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
int64_t LengthCut() REQUIRES(sound_engine_lock) {
    if (!engine.ActiveSound.useLength) return RENDER_LENGTH;
    const double limit = engine.ActiveSound.lengthSeconds * SAMPLE_RATE;
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
        amplitude = static_cast<double>(engine.ActiveSound.initVolume) * 25 * 0.06666666666666667;
        const int64_t distance = std::abs(int64_t{engine.ActiveSound.fade} - 7);
        interval = distance * ENVELOPE_UNIT;
        fadeOut = engine.ActiveSound.fade >= 7;
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

bool EnvelopeLoops() REQUIRES(sound_engine_lock) {
    return engine.ActiveSound.fade <= 7 && engine.ActiveSound.useLength == 0;
}

const int8_t SILENT_PATTERN[32] = {};

// The pitch sweep of sound type 0. `period` 0 (or out of range) never sweeps.
struct Sweep {
    CountDown countDown;
    Carry carry;
    double whole = 0;  // whole samples of a sweep step
    double pitch = 0;  // Hz
    double shift = 1;  // 2^|pitchBend - 7|
    int64_t power = 0; // |pitchBend - 7|
    int32_t bend = 7;

    Sweep(bool enabled, int32_t frequency) REQUIRES(sound_engine_lock)
        : pitch(frequency), bend(engine.ActiveSound.pitchBend) {
        double length = 0.0;
        if (enabled && engine.ActiveSound.period > 0 && engine.ActiveSound.period < 8)
            length = SWEEP_PERIODS[engine.ActiveSound.period] * 5.632;
        whole = std::trunc(length);
        carry = {length - whole, length - whole};
        countDown.Load(static_cast<int64_t>(whole));
        power = std::abs(int64_t{bend} - 7);
        shift = power < 8 ? SWEEP_SHIFTS[power]
                          : std::ldexp(1.0, static_cast<int>(std::min<int64_t>(power, 2000)));
    }
    // One sweep step: reloads, moves the pitch and returns the new samples per cycle, held at
    // 704 at most; 0 when the cycle fell below 44 samples and the sound ends.
    double Step() {
        countDown.Load(static_cast<int64_t>(whole) + carry.Next());
        if (power != 0) {
            const double d = pitch / (2 * shift);
            if (bend < 7)
                pitch = pitch - d;
            else if (bend > 7)
                pitch = pitch + d;
        }
        const double cycle = SAMPLE_RATE / pitch;
        if (cycle > 704) return 704.0;
        return cycle < 44 ? 0.0 : cycle;
    }
};

// Where the last pulse cycle began and the state that decides every sample of a cycle. When a
// cycle begins in the same state as the one before, the pulse repeats itself exactly until the
// next envelope step or a sweep step that changes the cycle, so those whole cycles are copied
// instead of stepped through.
struct CycleStart {
    int64_t at = -1;
    double amplitude = 0, cycle = 0, carry = 0;
    int64_t stepLeft = 0;
};

// Called where a pulse cycle begins (step 0, its length already loaded). Returns how many
// samples of whole repeated cycles it wrote at `at`; the sweep steps inside them are taken.
int64_t RepeatPulseCycles(RunWriter& out, CycleStart& last, int64_t at, int64_t cut,
                          Envelope& envelope, Sweep& sweep, double cycle, double carry,
                          int64_t stepLeft) {
    const bool same = last.at >= 0 && last.amplitude == envelope.amplitude && last.cycle == cycle &&
                      last.carry == carry && last.stepLeft == stepLeft;
    const int64_t period = at - last.at;
    last = {at, envelope.amplitude, cycle, carry, stepLeft};
    if (!same) return 0;
    // Room before the cut and before the next envelope step acts.
    int64_t room = std::min({int64_t{RENDER_LENGTH} - at, cut - at, envelope.countDown.left - 1});
    // Sweep steps that leave the cycle as it is may fall inside; the first that changes it
    // bounds the room.
    Sweep trial = sweep;
    for (int64_t offset = 0;
         trial.countDown.left != NEVER && offset + trial.countDown.left <= room;) {
        offset += trial.countDown.left;
        if (trial.Step() != cycle) room = offset - 1;
    }
    const int64_t length = room / period * period;
    if (length <= 0) return 0;
    out.RepeatPeriod(at, period, length);
    if (envelope.countDown.left != NEVER) envelope.countDown.left -= length;
    for (int64_t offset = 0; sweep.countDown.left != NEVER;) {
        if (offset + sweep.countDown.left > length) {
            sweep.countDown.left -= length - offset;
            break;
        }
        offset += sweep.countDown.left;
        sweep.Step();
    }
    last.at = at + length;
    return length;
}

// Sound types 0 and 1: a pulse wave with volume envelope; type 0 adds the pitch sweep and its
// limits of 704 and 22 samples per cycle.
void RenderPulse(uint8_t* buffer, int32_t frequency, bool withSweep) REQUIRES(sound_engine_lock) {
    const int32_t n = SAMPLE_RATE / frequency;
    const int8_t* duty = (engine.ActiveSound.waveform >= 0 && engine.ActiveSound.waveform < 4)
                             ? DUTY_PATTERNS[engine.ActiveSound.waveform]
                             : SILENT_PATTERN;
    Envelope envelope;
    double cycle = n; // samples per cycle
    if (withSweep) {
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
    Sweep sweep(withSweep, frequency);

    RunWriter out(buffer);
    CycleStart lastCycle;
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
                                      sweep.countDown.left, stepCountDown.left});
        i += run;
        // The events that act after sample i - 1, in their order.
        if (envelope.countDown.Advance(run) && !envelope.Step()) {
            out.SilenceFrom(i - 1);
            return;
        }
        if (sweep.countDown.Advance(run)) {
            cycle = sweep.Step();
            if (cycle == 0.0) {
                out.SilenceFrom(i - 1);
                return;
            }
        }
        if (stepCountDown.Advance(run)) {
            step = (step + 1) % 8;
            stepCountDown.Load(static_cast<int64_t>(std::trunc(cycle * 0.125)) + stepCarry.Next());
            if (step == 0) {
                if (i < RENDER_LENGTH) out.Set(i, level());
                i += RepeatPulseCycles(out, lastCycle, i, cut, envelope, sweep, cycle,
                                       stepCarry.sum, stepCountDown.left);
            }
        }
        if (i >= RENDER_LENGTH) break;
        out.Set(i, level());
    }
    out.Flush(RENDER_LENGTH);
}

// Sound type 2: one of eight 32-step tables, full scale, no envelope.
//
// The step carry is exact here: with at least one sample per step the fraction q is a multiple
// of 2^-52 below 1, so the accumulator is integer arithmetic on that grid. A cycle of 32 steps
// is then decided by the accumulator at its start, and only 33 different cycles can occur (the
// accumulator's range splits at the 32 points where one of the cycle's carries changes). Each
// kind of cycle is stepped through once and copied from there on.
void RenderTable(uint8_t* buffer, int32_t frequency) REQUIRES(sound_engine_lock) {
    engine.loop_flags[2] = engine.ActiveSound.useLength == 0;
    const int8_t* wave = (engine.ActiveSound.waveformType >= 0 &&
                          engine.ActiveSound.waveformType < WAVEFORM_TYPE_COUNT)
                             ? WAVEFORM_TABLES[engine.ActiveSound.waveformType]
                             : SILENT_PATTERN;
    // 64-bit so that no frequency overflows the step arithmetic.
    const int64_t n = SAMPLE_RATE / (int64_t{frequency} * 32);
    const double q = SAMPLE_RATE / (frequency * 32.0) - static_cast<double>(n);
    const int64_t cut = LengthCut();
    const int64_t end = std::min<int64_t>(cut, RENDER_LENGTH);

    // A step count-down loaded with 0 or less never acts: the first level holds throughout.
    if (n <= 0) {
        std::memset(buffer, static_cast<uint8_t>(wave[0] + 128), static_cast<size_t>(end));
        std::memset(buffer + end, SILENCE, static_cast<size_t>(RENDER_LENGTH - end));
        return;
    }

    constexpr uint64_t ONE = uint64_t{1} << 52; // 1.0 on the accumulator's grid
    const uint64_t Q = static_cast<uint64_t>(std::ldexp(q, 52));

    int64_t i = 0;
    // Writes one step of `length` samples at level p, stopping at `end`.
    auto put = [&](int64_t length, int p) {
        const int64_t stop = std::min(i + length, end);
        FillRun(buffer + i, static_cast<uint8_t>(wave[p] + 128), stop - i);
        i = stop;
    };
    uint64_t sum = Q;
    auto reload = [&] {
        sum += Q;
        const uint64_t carry = sum >= ONE;
        sum -= carry * ONE;
        return n + static_cast<int64_t>(carry);
    };

    // The first cycle: its first step has no carry.
    put(n, 0);
    for (int p = 1; p < 32 && i < end; ++p) put(reload(), p);

    // The accumulator values at which a cycle's carries change, sorted.
    uint64_t splits[32];
    for (uint64_t j = 1; j <= 32; ++j) splits[j - 1] = (ONE - (j * Q) % ONE) % ONE;
    std::sort(std::begin(splits), std::end(splits));
    int64_t seenAt[33];
    std::fill(std::begin(seenAt), std::end(seenAt), -1);

    while (i < end) {
        const auto kind = std::upper_bound(std::begin(splits), std::end(splits), sum) - splits;
        const int64_t length = 32 * n + static_cast<int64_t>((sum + 32 * Q) >> 52);
        if (seenAt[kind] >= 0 && i + length <= end) {
            std::memcpy(buffer + i, buffer + seenAt[kind], static_cast<size_t>(length));
            i += length;
            sum = (sum + 32 * Q) & (ONE - 1);
            continue;
        }
        if (i + length <= end) seenAt[kind] = i;
        for (int p = 0; p < 32 && i < end; ++p) put(reload(), p);
    }
    std::memset(buffer + end, SILENCE, static_cast<size_t>(RENDER_LENGTH - end));
}

// Sound type 3: levels drawn from the noise generator, held for 45056 / F samples each.
void RenderNoise(uint8_t* buffer, int32_t frequency) REQUIRES(sound_engine_lock) {
    const int32_t hold = SAMPLE_RATE / frequency;
    NoiseCursor noise(engine.noise_state);
    Envelope envelope;
    double level = 128 + (noise.Draw() & 127) * envelope.amplitude * 0.04;
    CountDown holdCountDown;
    holdCountDown.Load(hold);

    RunWriter out(buffer);
    const int64_t cut = LengthCut();
    int64_t i = 0;
    out.Set(0, SampleByte(level));
    for (;;) {
        if (i >= cut) {
            out.SilenceFrom(i);
            engine.noise_state = noise.state;
            return;
        }
        // Hold steps that act before the next envelope step, the cut and the end share one
        // amplitude, so each draw only picks one of two levels: write them straight off.
        const int64_t stop =
            std::min({int64_t{RENDER_LENGTH}, cut,
                      envelope.countDown.left == NEVER ? NEVER : i + envelope.countDown.left});
        if (holdCountDown.left != NEVER && i + holdCountDown.left < stop) {
            const double swing = envelope.amplitude * 5.08;
            const uint8_t low = SampleByte(128 - swing), high = SampleByte(128 + swing);
            const int64_t from = i;
            i += holdCountDown.left;
            out.Flush(i);
            // The whole runs before `stop` come from the generator in bulk; the draw after them
            // starts a run that `stop` ends.
            const int64_t runs = (stop - 1 - i) / hold;
            const bool odd = noise.WriteRuns(out.data() + i, runs, hold, low, high);
            i += runs * hold;
            level = odd ? 128 - swing : 128 + swing;
            holdCountDown.Load(hold);
            if (envelope.countDown.left != NEVER) envelope.countDown.left -= i - from;
            out.Restart(i, SampleByte(level));
            continue;
        }
        const int64_t run = std::min(
            {int64_t{RENDER_LENGTH} - i, cut - i, envelope.countDown.left, holdCountDown.left});
        i += run;
        if (envelope.countDown.Advance(run) && !envelope.Step()) {
            out.SilenceFrom(i - 1);
            engine.noise_state = noise.state;
            return;
        }
        if (holdCountDown.Advance(run)) {
            const double swing = envelope.amplitude * 5.08;
            level = (noise.Draw() & 1) ? 128 - swing : 128 + swing;
            holdCountDown.Load(hold);
        }
        if (i >= RENDER_LENGTH) break;
        out.Set(i, SampleByte(level));
    }
    out.Flush(RENDER_LENGTH);
    engine.noise_state = noise.state;
}

void Render(int t, uint8_t* buffer) REQUIRES(sound_engine_lock) {
    if (engine.ActiveSound.testFrequency == 0) engine.ActiveSound.testFrequency = 1;
    const int32_t frequency = engine.ActiveSound.testFrequency;
    engine.loop_flags[t] = 0;
    switch (t) {
    case 0:
    case 1:
        engine.loop_flags[t] = EnvelopeLoops();
        RenderPulse(buffer, frequency, t == 0);
        break;
    case 2: RenderTable(buffer, frequency); break;
    case 3:
        engine.loop_flags[t] = EnvelopeLoops();
        RenderNoise(buffer, frequency);
        break;
    }
}

} // namespace

// --------------------------------------------------------------------------- entry points

void SelectRenderBuffer(int t) {
    engine.current_render_buffer = (t == 1 || t == 2 || t == 3) ? t : 0;
}

void RenderSound(int t) {
    if (t < 0 || t >= SOUND_TYPE_COUNT || SoundTypeStarted(t)) return;
    Render(t, CurrentRenderBuffer());
}

void RenderClick() {
    engine.ActiveSound.initVolume = 15;
    engine.ActiveSound.fade = 8;
    engine.ActiveSound.testFrequency = 700;
    engine.ActiveSound.lengthSeconds = 0.04;
    engine.ActiveSound.waveformType = 0;
    engine.ActiveSound.soundType = 2;
    engine.ActiveSound.useLength = 1;
    Render(2, CurrentRenderBuffer());
    std::memcpy(engine.click_samples, CurrentRenderBuffer(), CLICK_LENGTH);
}
