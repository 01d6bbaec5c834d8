// The examples in examples/: each song loads and renders, as tavomix-render renders it, to the
// length, levels and pitches its summary in golden/ records, without reaching full scale; the
// starter bank loads with the instrument names its summary lists.
//
// A song's summary is its frame count, then for every second of the render (the last may be
// short) the RMS level and the pitch measured from rising crossings of the mean. Levels may
// move by 2 % and pitches by 1 % (OpenAL's resampler stands between the voices and the mix);
// a changed tempo, length, instrument or run of notes does not pass. After an intended change,
// TAVOMIX_REGENERATE_GOLDEN=1 rewrites the summaries (examples/README.md); read their
// difference before committing it.
#include "files/song_file.h"
#include "files/sound_bank_file.h"
#include "files/wav_export.h"

#include "export_test_support.h"

#include <cmath>
#include <cstdio>
#include <sstream>

namespace {

constexpr int kRate = 48000;
const char* const kSongs[] = {"melody", "arpeggios", "effects"};

struct Second {
    double rms = 0, hz = 0;
};
struct Summary {
    int64_t frames = 0;
    std::vector<Second> seconds;
};

Summary Measure(const std::vector<int16_t>& mix) {
    Summary s;
    s.frames = static_cast<int64_t>(mix.size());
    for (size_t from = 0; from < mix.size(); from += kRate) {
        const size_t count = std::min<size_t>(kRate, mix.size() - from);
        double squares = 0;
        for (size_t i = from; i < from + count; ++i) squares += double(mix[i]) * mix[i];
        s.seconds.push_back(
            {std::sqrt(squares / static_cast<double>(count)), MeasureHz(mix, from, count, kRate)});
    }
    return s;
}

std::string Format(const Summary& s) {
    std::string text = "frames " + std::to_string(s.frames) + "\n";
    char line[80];
    for (size_t k = 0; k < s.seconds.size(); ++k) {
        std::snprintf(line, sizeof line, "second %zu rms %.0f hz %.1f\n", k, s.seconds[k].rms,
                      s.seconds[k].hz);
        text += line;
    }
    return text;
}

Summary Parse(const std::string& text) {
    Summary s;
    std::istringstream in(text);
    std::string word;
    in >> word >> s.frames;
    size_t k = 0;
    Second second;
    while (in >> word >> k >> word >> second.rms >> word >> second.hz) s.seconds.push_back(second);
    return s;
}

std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadAll(path);
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& path, const std::string& text) {
    WriteAll(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string Golden(const std::string& name) {
    return std::string(TAVOMIX_GOLDEN_DIR) + "/" + name + ".summary";
}

class Examples : public ExportFixture {};

TEST_F(Examples, SongsRenderAsTheirSummariesSayAndTheBankKeepsItsNames) {
    const bool regenerate = std::getenv("TAVOMIX_REGENERATE_GOLDEN") != nullptr;
    for (const std::string name : kSongs) {
        SCOPED_TRACE(name);
        ASSERT_EQ(LoadSongFile(std::string(TAVOMIX_EXAMPLES_DIR) + "/" + name + ".son"),
                  SongFileResult::Done);
        std::vector<int16_t> mix;
        const WavSink sink = [&](const int16_t* s, int n) {
            mix.insert(mix.end(), s, s + n);
            return true;
        };
        ASSERT_EQ(RenderSong(mixer, {1, kRate}, {}, sink), WavExportResult::Done);
        EXPECT_LT(Peak(mix, 0, mix.size()), 32767) << "the mix reaches full scale";
        const Summary got = Measure(mix);
        if (regenerate) {
            WriteText(Golden(name), Format(got));
            continue;
        }
        const Summary want = Parse(ReadText(Golden(name)));
        ASSERT_FALSE(want.seconds.empty()) << "missing or unreadable " << Golden(name);
        EXPECT_EQ(got.frames, want.frames);
        ASSERT_EQ(got.seconds.size(), want.seconds.size());
        for (size_t k = 0; k < want.seconds.size(); ++k) {
            const Second &g = got.seconds[k], &w = want.seconds[k];
            EXPECT_NEAR(g.rms, w.rms, 0.02 * w.rms + 10) << "level in second " << k;
            EXPECT_NEAR(g.hz, w.hz, 0.01 * w.hz + 0.5) << "pitch in second " << k;
        }
    }

    InitSoundBank();
    ASSERT_EQ(ReadSoundBankFile(std::string(TAVOMIX_EXAMPLES_DIR) + "/starter.fms"),
              SongFileResult::Done);
    std::string names;
    for (int k = 0; k < INSTRUMENT_COUNT; ++k)
        names += std::to_string(k) + " " + SoundBank[k].name + "\n";
    if (regenerate) {
        WriteText(Golden("starter"), names);
        GTEST_SKIP() << "regenerated the summaries in " << TAVOMIX_GOLDEN_DIR;
    }
    EXPECT_EQ(names, ReadText(Golden("starter")));
}

} // namespace
