// A small song built in code for the export tests, a fake platform standing in for the editor's
// own, and helpers that read a WAV file back and measure what it holds.
#pragma once

#include "files/file_io.h"
#include "platform/fake_platform.h"
#include "platform/openal/loopback_voices.h"
#include "song/sequencer.h"
#include "song/song_model.h"
#include "sound/audio_output.h"
#include "sound/instrument_bank.h"
#include "sound/sound_engine.h"

#include <gtest/gtest.h>

#include "tests/files/file_test_support.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

constexpr Cell kStop{CMD_STOP_MUSIC, NOTE_COMMAND};
constexpr Cell kBreak{CMD_PATTERN_BREAK, NOTE_COMMAND};

class ExportFixture : public ::testing::Test {
  protected:
    FakePlatform fake;    // the editor's platform, with its (recorded) live voices
    LoopbackVoices mixer; // the export mixes through OpenAL's loopback device

    void SetUp() override {
        InstallFake(&fake);
        ResetSong();
        play.metronome_enabled = 0;
        play.warmup_ticks = WARMUP_TICKS;
        tick_timer_id = 0;
        const EngineLockGuard lock(sound_engine_lock);
        InitSoundBank();
        StartAudio();
        fake.audioLog.clear();
    }
    void TearDown() override {
        KillTickTimer();
        InstallFake(nullptr);
    }

  public:
    // Instrument k as a full-volume sound of `type` (the 50 % pulse for types 0 and 1),
    // sustained (looping) when `hundredths` is 0, else that many hundredths of a second long.
    static void SetInstrument(int k, int type, int hundredths, int pitchBend = 7) {
        Instrument& in = SoundBank[k];
        in.soundType = type;
        in.initVolume = 15;
        in.fade = 7;
        in.period = 3;
        in.pitchBend = pitchBend;
        in.waveform = 2;
        in.waveformType = 0;
        in.useLength = hundredths > 0;
        in.soundLength = hundredths;
        in.lengthSeconds = hundredths * 0.01;
    }
    static void Put(int track, int row, Cell cell) { SetCell(track, row, cell); }
    static void Use(int position, int channel, int track) {
        song.song_positions[position][channel] = static_cast<int16_t>(track);
    }
};

// The samples of a 16-bit mono WAV file as EncodeWavHeader writes it; `rate` gets its rate.
inline std::vector<int16_t> ReadWavSamples(const std::string& path, int* rate = nullptr) {
    const std::vector<uint8_t> bytes = ReadAll(path);
    if (bytes.size() < 44 || std::memcmp(bytes.data(), "RIFF", 4) != 0) return {};
    if (rate) *rate = GetI32(&bytes[24]);
    std::vector<int16_t> samples((bytes.size() - 44) / 2);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = GetI16(&bytes[44 + 2 * i]);
    return samples;
}

// Hz of a signal by its rising crossings of the mean between `from` and `from + count`.
inline double MeasureHz(const std::vector<int16_t>& s, size_t from, size_t count, int rate) {
    double mean = 0;
    for (size_t i = from; i < from + count; ++i) mean += s[i];
    mean /= static_cast<double>(count);
    long first = -1, last = -1, crossings = 0;
    for (size_t i = from + 1; i < from + count; ++i) {
        if (s[i - 1] < mean && s[i] >= mean) {
            if (first < 0) first = static_cast<long>(i);
            last = static_cast<long>(i);
            ++crossings;
        }
    }
    return crossings < 2 ? 0 : (crossings - 1) * double(rate) / double(last - first);
}

// The loudest sample in [from, to).
inline int Peak(const std::vector<int16_t>& s, size_t from, size_t to) {
    int peak = 0;
    for (size_t i = from; i < to && i < s.size(); ++i) peak = std::max(peak, std::abs(int(s[i])));
    return peak;
}
