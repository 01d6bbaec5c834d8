#include "files/wav_export.h"

#include "files/file_io.h"
#include "platform/voices.h"
#include "song/sequencer.h"
#include "song/song_model.h"
#include "sound/audio_output.h"
#include "sound/instrument_bank.h"
#include "sound/sound_engine.h"
#include "sound/synthesis.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr int kChunkFrames = 1024;
// A WAV file's sizes are 32-bit: the data may not pass 4 GiB less the rest of the header.
constexpr int64_t kMaxFrames = (int64_t{0xFFFFFFFF} - (WAV_HEADER_SIZE - 8)) / 2;
// The noise generator's state for every render: its value at program start.
constexpr uint32_t kRenderNoiseState = 1;

// Everything the tick and the render change, taken on construction and put back on destruction:
// the play state, the sound engine's state and the unsaved mark.
class SavedPlayState {
  public:
    SavedPlayState() : play_(play), modified_(song.song_modified) {
        const EngineLockGuard lock(sound_engine_lock);
        *engine_ = engine;
    }
    ~SavedPlayState() {
        const EngineLockGuard lock(sound_engine_lock);
        engine = *engine_;
        play = play_;
        song.song_modified = modified_;
    }
    SavedPlayState(const SavedPlayState&) = delete;
    SavedPlayState& operator=(const SavedPlayState&) = delete;

  private:
    PlayState play_;
    int modified_;
    std::unique_ptr<SoundEngineState> engine_ = std::make_unique<SoundEngineState>();
};

// Plays the voices into the mixer for a scope and puts the live ones back.
class VoicesSwap {
  public:
    explicit VoicesSwap(Voices* v) : previous_(InstalledVoices()) { SetVoices(v); }
    ~VoicesSwap() { SetVoices(previous_); }
    VoicesSwap(const VoicesSwap&) = delete;
    VoicesSwap& operator=(const VoicesSwap&) = delete;

  private:
    Voices* previous_;
};

// Closes the mixer at the end of a scope.
class MixerOpen {
  public:
    explicit MixerOpen(MixingVoices& m) : mixer_(m) {}
    ~MixerOpen() { mixer_.Close(); }
    MixerOpen(const MixerOpen&) = delete;
    MixerOpen& operator=(const MixerOpen&) = delete;

  private:
    MixingVoices& mixer_;
};

// The state song play starts from, with the warm-up over, the metronome and count-down off and
// every channel heard, so that the first tick plays row 0 of position 0.
void SetUpRenderPlay() {
    play.warmup_ticks.store(WARMUP_TICKS, kRelaxed);
    play.metronome_enabled.store(0, kRelaxed);
    play.metronome_count.store(0, kRelaxed);
    play.countdown_left.store(0, kRelaxed);
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        play.channel_muted[c].store(0, kRelaxed);
        play.channel_level[c].store(0, kRelaxed);
    }
    play.current_position.store(0, kRelaxed);
    play.current_row.store(0, kRelaxed);
    play.play_armed.store(1, kRelaxed);
    play.song_play.store(1, kRelaxed);
    play.playing.store(1, kRelaxed);
}

// Mixes and hands on samples up to a frame count, in chunks.
class Mixdown {
  public:
    Mixdown(MixingVoices& mixer, const WavSink& sink) : mixer_(mixer), sink_(sink) {}
    // Frames mixed so far.
    int64_t frames() const { return frames_; }
    // Mixes up to frame `end`; a result other than Done when the sink fails or the file would
    // grow too long.
    WavExportResult MixTo(int64_t end) {
        while (frames_ < end) {
            const int n = static_cast<int>(std::min<int64_t>(kChunkFrames, end - frames_));
            if (frames_ + n > kMaxFrames) return WavExportResult::TooLong;
            {
                const EngineLockGuard lock(sound_engine_lock);
                mixer_.Mix(chunk_, n);
            }
            frames_ += n;
            if (!sink_(chunk_, n)) return WavExportResult::WriteFailed;
        }
        return WavExportResult::Done;
    }

  private:
    MixingVoices& mixer_;
    const WavSink& sink_;
    int64_t frames_ = 0;
    int16_t chunk_[kChunkFrames];
};

WavExportResult RenderWithMixer(MixingVoices& mixer, const WavExportOptions& options,
                                const WavProgress& progress, const WavSink& sink,
                                WavExportStats& stats) {
    if (!mixer.Open(options.rate)) return WavExportResult::NoMixer;
    const MixerOpen open(mixer);
    const VoicesSwap swap(&mixer);
    {
        const EngineLockGuard lock(sound_engine_lock);
        StartAudio(); // the live voices' sizes and volumes
        ClearStartedFlags();
        // The noise generator is shared state that every noise note advances: each render
        // starts it from the same value (and the saved state puts the editor's value back), so
        // the same song always gives the same samples.
        engine.noise_state = kRenderNoiseState;
    }
    SetUpRenderPlay();

    // The live timer's period: whole milliseconds.
    const int64_t periodMs = 1000 / std::max(song.tempo, 1);
    const int64_t expected = std::max<int64_t>(CountSongTicks(options.loops), 1);
    // Every pass ends within one visit of every row of every position.
    const int64_t tickLimit = int64_t{POSITION_COUNT} * TRACK_ROWS * options.loops;
    Mixdown mix(mixer, sink);
    int shown = 0;
    int passes = 0;
    for (;;) {
        SequencerTick();
        ++stats.ticks;
        if (!play.playing.load(kRelaxed)) break;
        // Row 0 of position 0 after a tick that was playing: the song wrapped around.
        if (play.current_position.load(kRelaxed) == 0 && play.current_row.load(kRelaxed) == 0 &&
            ++passes >= options.loops)
            break;
        if (stats.ticks >= tickLimit) break;
        const WavExportResult r = mix.MixTo(stats.ticks * periodMs * options.rate / 1000);
        if (r != WavExportResult::Done) return r;
        const int percent = static_cast<int>(std::min<int64_t>(99, stats.ticks * 100 / expected));
        if (percent > shown) {
            shown = percent;
            if (progress && !progress(percent)) return WavExportResult::Cancelled;
        }
    }
    stats.songFrames = mix.frames();

    // The tail: until every voice is silent, for at most WAV_TAIL_SECONDS.
    const int64_t tailEnd = stats.songFrames + int64_t{WAV_TAIL_SECONDS} * options.rate;
    while (mix.frames() < tailEnd && !mixer.Silent()) {
        const WavExportResult r =
            mix.MixTo(std::min<int64_t>(tailEnd, mix.frames() + kChunkFrames / 4));
        if (r != WavExportResult::Done) return r;
    }
    stats.frames = mix.frames();
    if (progress && !progress(100)) return WavExportResult::Cancelled;
    return WavExportResult::Done;
}

} // namespace

void EncodeWavHeader(uint8_t out[WAV_HEADER_SIZE], int rate, uint32_t samples) {
    const uint32_t dataBytes = samples * 2;
    std::memcpy(out, "RIFF", 4);
    PutI32(out + 4, static_cast<int32_t>(dataBytes + WAV_HEADER_SIZE - 8));
    std::memcpy(out + 8, "WAVE", 4);
    std::memcpy(out + 12, "fmt ", 4);
    PutI32(out + 16, 16);       // size of the format chunk
    PutI16(out + 20, 1);        // PCM
    PutI16(out + 22, 1);        // mono
    PutI32(out + 24, rate);     // samples per second
    PutI32(out + 28, rate * 2); // bytes per second
    PutI16(out + 32, 2);        // bytes per sample frame
    PutI16(out + 34, 16);       // bits per sample
    std::memcpy(out + 36, "data", 4);
    PutI32(out + 40, static_cast<int32_t>(dataBytes));
}

WavExportResult RenderSong(MixingVoices& mixer, const WavExportOptions& options,
                           const WavProgress& progress, const WavSink& sink,
                           WavExportStats* stats) {
    if (options.loops < 1 || options.loops > WAV_MAX_LOOPS || options.rate < 8000 ||
        options.rate > 192000)
        return WavExportResult::BadOptions;
    // No live tick may move the song while the render runs it.
    const bool timerWasRunning = tick_timer_id != 0;
    KillTickTimer();
    WavExportStats measured;
    WavExportResult result;
    {
        const SavedPlayState saved;
        result = RenderWithMixer(mixer, options, progress, sink, measured);
    }
    if (timerWasRunning) RestartTickTimer();
    if (stats) *stats = measured;
    return result;
}

WavExportResult RenderSongToWav(MixingVoices& mixer, const std::string& path,
                                const WavExportOptions& options, const WavProgress& progress,
                                WavExportStats* stats) {
    WavExportResult result = WavExportResult::WriteFailed;
    const WriteResult written = WriteFileSafely(path, [&](std::FILE* f) {
        uint8_t header[WAV_HEADER_SIZE];
        EncodeWavHeader(header, options.rate, 0); // sizes filled in at the end
        if (std::fwrite(header, 1, sizeof header, f) != sizeof header) return false;
        uint32_t samples = 0;
        std::vector<uint8_t> bytes;
        const WavSink sink = [&](const int16_t* s, int count) {
            bytes.resize(static_cast<size_t>(count) * 2);
            for (int i = 0; i < count; ++i) PutI16(&bytes[2 * static_cast<size_t>(i)], s[i]);
            samples += static_cast<uint32_t>(count);
            return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        };
        result = RenderSong(mixer, options, progress, sink, stats);
        if (result != WavExportResult::Done) return false;
        EncodeWavHeader(header, options.rate, samples);
        return std::fseek(f, 0, SEEK_SET) == 0 &&
               std::fwrite(header, 1, sizeof header, f) == sizeof header;
    });
    if (written == WriteResult::NotRegularFile) return WavExportResult::NotRegularFile;
    if (result == WavExportResult::Done && written != WriteResult::Done)
        result = WavExportResult::WriteFailed;
    return result;
}

const char* WavExportMessage(WavExportResult result) {
    switch (result) {
    case WavExportResult::Done: return "The song was exported.";
    case WavExportResult::Cancelled: return "The export was cancelled.";
    case WavExportResult::BadOptions:
        return "The export options are out of range (loops 1..99, rate 8000..192000 Hz).";
    case WavExportResult::NoMixer: return "No offline audio mixer is available for the export.";
    case WavExportResult::TooLong: return "The song is too long for a WAV file.";
    case WavExportResult::WriteFailed: return "The WAV file could not be written.";
    case WavExportResult::NotRegularFile: return NOT_REGULAR_FILE_MESSAGE;
    }
    return "The export failed.";
}

int64_t CountSongTicks(int loops) {
    const int size = std::clamp<int>(song.song_size.load(kRelaxed), 1, POSITION_COUNT);
    const bool looping = song.song_loop.load(kRelaxed) == 1;
    const int64_t limit = int64_t{POSITION_COUNT} * TRACK_ROWS * std::max(loops, 1);
    int64_t ticks = 0;
    int position = 0, row = 0, passes = 0;
    while (ticks < limit) {
        ++ticks;
        // The first pattern break or stop command in the channel order 3, 2, 1, 0 ends the row.
        uint8_t command = 0;
        for (int channel = CHANNEL_COUNT - 1; channel >= 0 && command == 0; --channel) {
            const Cell cell = GetCell(TrackAt(position, channel), row);
            if (IsCommandCell(cell) &&
                (cell.instrument == CMD_PATTERN_BREAK || cell.instrument == CMD_STOP_MUSIC))
                command = cell.instrument;
        }
        if (command == CMD_STOP_MUSIC) break;
        if (command != CMD_PATTERN_BREAK && ++row < TRACK_ROWS) continue;
        row = 0;
        if (++position < size) continue;
        if (!looping || ++passes >= loops) break;
        position = 0;
    }
    return ticks;
}
