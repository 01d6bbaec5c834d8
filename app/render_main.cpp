// tavomix-render: renders a song file to a WAV file without opening the audio device.
//
//   tavomix-render SONG.son OUT.wav [--loops N] [--rate 44100|48000]
//
// OUT.wav is written beside its final name and put in place only when complete; a name that is
// a device (even /dev/null), a pipe or a folder is refused.
//
// Exit codes: 0 written, 1 the song was refused or the WAV could not be made, 2 bad usage.
#include "files/song_file.h"
#include "files/wav_export.h"
#include "platform/openal/loopback_voices.h"
#include "song/song_model.h"
#include "sound/instrument_bank.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr const char* kUsage =
    "usage: tavomix-render SONG.son OUT.wav [--loops N] [--rate 44100|48000]\n"
    "  --loops N   passes of a looping song, 1..99 (default 1)\n"
    "  --rate R    samples per second, 44100 or 48000 (default 48000)\n";

int Usage(const char* problem) {
    std::fprintf(stderr, "tavomix-render: %s\n%s", problem, kUsage);
    return 2;
}

// A whole decimal number in [low, high], or -1.
int ParseNumber(const std::string& text, int low, int high) {
    if (text.empty() || text.size() > 6) return -1;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value >= low && value <= high ? value : -1;
}

const char* LoadProblem(SongFileResult result) {
    switch (result) {
    case SongFileResult::CannotOpen: return "cannot open the song file";
    case SongFileResult::NotASongFile: return "not a song file (it does not begin with \"TV\")";
    case SongFileResult::Damaged:
        return "the song file is damaged (contents out of range or cut short); nothing rendered";
    default: return "the song file could not be loaded";
    }
}

} // namespace

int main(int argc, char** argv) {
    std::string song, out;
    WavExportOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--loops" || arg == "--rate") {
            if (i + 1 >= argc) return Usage((arg + " needs a value").c_str());
            const std::string value = argv[++i];
            if (arg == "--loops") {
                options.loops = ParseNumber(value, 1, WAV_MAX_LOOPS);
                if (options.loops < 0) return Usage("--loops takes a number from 1 to 99");
            } else {
                options.rate = ParseNumber(value, 0, 999999);
                if (options.rate != 44100 && options.rate != 48000)
                    return Usage("--rate takes 44100 or 48000");
            }
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage(("unknown option " + arg).c_str());
        } else if (song.empty()) {
            song = arg;
        } else if (out.empty()) {
            out = arg;
        } else {
            return Usage("too many file names");
        }
    }
    if (out.empty()) return Usage("a song file and an output file are needed");

    ResetSong();
    InitSoundBank();
    const SongFileResult loaded = LoadSongFile(song);
    if (loaded != SongFileResult::Done) {
        std::fprintf(stderr, "tavomix-render: %s: %s\n", song.c_str(), LoadProblem(loaded));
        return 1;
    }

    // The percentage appears only once the render has taken a second.
    const auto start = std::chrono::steady_clock::now();
    bool shown = false;
    const WavProgress progress = [&](int percent) {
        if (!shown && std::chrono::steady_clock::now() - start < std::chrono::seconds(1))
            return true;
        shown = true;
        std::fprintf(stderr, "\rtavomix-render: %3d%%", percent);
        std::fflush(stderr);
        return true;
    };
    LoopbackVoices mixer;
    const WavExportResult result = RenderSongToWav(mixer, out, options, progress);
    if (shown) std::fputc('\n', stderr);
    if (result != WavExportResult::Done) {
        std::fprintf(stderr, "tavomix-render: %s: %s\n", out.c_str(), WavExportMessage(result));
        return 1;
    }
    return 0;
}
