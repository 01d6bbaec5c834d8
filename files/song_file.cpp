#include "files/song_file.h"

#include "files/dialog_folders.h"
#include "files/file_io.h"
#include "lib/XQ_COMPRESS/src/Lzss.h"
#include "lib/XQ_COMPRESS/src/XQ_Compress.h"
#include "platform/desktop.h"
#include "song/sequencer.h"
#include "song/song_model.h"
#include "sound/instrument_bank.h"
#include "sound/sound_engine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr char SONG_DIALOG_FILTER[] = ".SON Song file (*.SON)";
constexpr char SONG_DIALOG_PATTERN[] = "*.son";

// The fields of a song state, checked and ready to be taken.
struct CheckedSongState {
    int32_t tempo, sizeLessOne, reserved;
    uint8_t tracks[TRACK_COUNT][TRACK_BYTES];
    int16_t positions[STORED_POSITION_COUNT][CHANNEL_COUNT];
    Instrument bank[INSTRUMENT_COUNT];
};

// Reads and checks a state; false when a field is out of the range the song model allows.
bool DecodeSongState(const uint8_t* in, CheckedSongState& s) {
    s.tempo = GetI32(in);
    s.sizeLessOne = GetI32(in + 4);
    s.reserved = GetI32(in + 8);
    if (s.tempo < 1 || s.tempo > 60) return false;
    if (s.sizeLessOne < 0 || s.sizeLessOne >= POSITION_COUNT) return false;
    std::memcpy(s.tracks, in + SONG_STATE_TRACKS, sizeof s.tracks);
    for (int p = 0; p < STORED_POSITION_COUNT; ++p) {
        for (int c = 0; c < CHANNEL_COUNT; ++c) {
            const int16_t t = GetI16(in + SONG_STATE_POSITIONS + 8 * p + 2 * c);
            if (t < 0 || t >= TRACK_COUNT) return false;
            s.positions[p][c] = t;
        }
    }
    for (int k = 0; k < INSTRUMENT_COUNT; ++k)
        DecodeInstrument(in + SONG_STATE_BANK + INSTRUMENT_RECORD_SIZE * k, s.bank[k]);
    return true;
}

void TakeSongState(const CheckedSongState& s, bool loop) {
    song.song_loop = loop ? 1 : 0;
    song.tempo = NormaliseTempo(s.tempo);
    song.song_size = s.sizeLessOne + 1;
    song.song_reserved = s.reserved;
    for (int t = 0; t < TRACK_COUNT; ++t) WriteTrackBytes(t, s.tracks[t]);
    for (int p = 0; p < STORED_POSITION_COUNT; ++p)
        for (int c = 0; c < CHANNEL_COUNT; ++c) song.song_positions[p][c] = s.positions[p][c];
    const EngineLockGuard lock(sound_engine_lock);
    for (int k = 0; k < INSTRUMENT_COUNT; ++k) SoundBank[k] = s.bank[k];
}

void SetSongName(const std::string& path) {
    std::snprintf(song.song_name, sizeof song.song_name, "%s", path.c_str());
}

} // namespace

void EncodeSongState(uint8_t out[SONG_STATE_SIZE]) {
    PutI32(out, song.tempo);
    PutI32(out + 4, song.song_size.load() - 1);
    PutI32(out + 8, song.song_reserved);
    for (int t = 0; t < TRACK_COUNT; ++t)
        ReadTrackBytes(t, out + SONG_STATE_TRACKS + TRACK_BYTES * t);
    for (int p = 0; p < STORED_POSITION_COUNT; ++p)
        for (int c = 0; c < CHANNEL_COUNT; ++c)
            PutI16(out + SONG_STATE_POSITIONS + 8 * p + 2 * c, song.song_positions[p][c].load());
    const EngineLockGuard lock(sound_engine_lock);
    for (int k = 0; k < INSTRUMENT_COUNT; ++k)
        EncodeInstrument(SoundBank[k], out + SONG_STATE_BANK + INSTRUMENT_RECORD_SIZE * k);
}

int32_t NormaliseTempo(int32_t t) {
    if (t < 1 || t > 60) return t;
    const int16_t q = static_cast<int16_t>(60 / t);
    return 60 / q;
}

bool PackSongFile(std::vector<uint8_t>& out) {
    std::vector<uint8_t> state(SONG_STATE_SIZE);
    EncodeSongState(state.data());
    std::unique_ptr<xq::PackedBlock, void (*)(xq::PackedBlock*)> block(
        xq::CompressBlock(state.data(), SONG_STATE_SIZE, xq::METHOD_LZSS), xq::FreeBlock);
    if (!block) return false;
    const uint8_t header[SONG_FILE_HEADER_SIZE] = {
        'T', 'V', static_cast<uint8_t>(song.song_loop ? 'S' : 'X'), 1};
    // The container writes to a stream; a memory stream gives its bytes.
    char* bytes = nullptr;
    size_t size = 0;
    std::FILE* f = open_memstream(&bytes, &size);
    if (!f) return false;
    bool ok =
        std::fwrite(header, 1, sizeof header, f) == sizeof header && xq::WriteBlock(block.get(), f);
    ok = std::fclose(f) == 0 && ok;
    if (ok) out.assign(bytes, bytes + size);
    std::free(bytes);
    return ok;
}

SongFileResult WriteSongFile(const std::string& path) {
    play.warmup_ticks = 5;
    std::vector<uint8_t> bytes;
    if (!PackSongFile(bytes)) return SongFileResult::WriteFailed;
    const WriteResult written = WriteFileSafely(path, [&](std::FILE* f) {
        return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    });
    if (written == WriteResult::NotRegularFile) return SongFileResult::NotRegularFile;
    if (written != WriteResult::Done) return SongFileResult::WriteFailed;
    SetSongName(path);
    return SongFileResult::Done;
}

SongFileResult LoadSongFile(const std::string& path) {
    play.warmup_ticks = 5;
    std::vector<uint8_t> file;
    // The packed form is read at most this far, so a larger file cannot take memory.
    if (!ReadFilePrefix(path, SONG_FILE_HEADER_SIZE + SONG_FILE_MAX_PACKED, file))
        return SongFileResult::CannotOpen;
    const SongFileResult result = LoadSongBytes(file);
    if (result == SongFileResult::Done) SetSongName(path);
    return result;
}

SongFileResult LoadSongBytes(std::vector<uint8_t>& file) {
    if (file.size() > SONG_FILE_HEADER_SIZE + SONG_FILE_MAX_PACKED)
        file.resize(SONG_FILE_HEADER_SIZE + SONG_FILE_MAX_PACKED);
    if (file.size() < SONG_FILE_HEADER_SIZE || file[0] != 'T' || file[1] != 'V')
        return SongFileResult::NotASongFile;
    const bool loop = file[2] == 'S';
    uint8_t* rest = file.data() + SONG_FILE_HEADER_SIZE;
    const size_t restSize = file.size() - SONG_FILE_HEADER_SIZE;

    std::vector<uint8_t> state(SONG_STATE_SIZE);
    if (file[3] != 0) {
        xq::PackedBlock block;
        if (!xq::ReadBlockHeader(rest, restSize, &block) || block.magic != xq::BLOCK_MAGIC ||
            block.version != xq::BLOCK_VERSION || block.unpackedSize != SONG_STATE_SIZE)
            return SongFileResult::Damaged;
        const uint32_t method = block.method & ~xq::FAST_DECODE;
        if (method != xq::METHOD_STORED && method != xq::METHOD_LZSS)
            return SongFileResult::Damaged;
        if (method == xq::METHOD_STORED && block.packedSize != SONG_STATE_SIZE)
            return SongFileResult::Damaged;
        // The stream must give the whole state, no less and no more: the container's decoder
        // does not tell how much it wrote, so the guarded LZSS decoder (the one it would use)
        // is called directly, with one byte of room to catch a stream that runs on.
        if (method == xq::METHOD_STORED) {
            std::memcpy(state.data(), block.packedData, SONG_STATE_SIZE);
        } else {
            state.resize(SONG_STATE_SIZE + 1);
            if (xq::LzssDecode(block.packedData, block.packedSize, state.data(),
                               SONG_STATE_SIZE + 1) != SONG_STATE_SIZE)
                return SongFileResult::Damaged;
        }
    } else {
        if (restSize < SONG_STATE_SIZE) return SongFileResult::Damaged;
        std::memcpy(state.data(), rest, SONG_STATE_SIZE);
    }

    auto checked = std::make_unique<CheckedSongState>();
    if (!DecodeSongState(state.data(), *checked)) return SongFileResult::Damaged;
    TakeSongState(*checked, loop);
    return SongFileResult::Done;
}

SongFileResult SaveSong() {
    const std::string path = desktop().SaveFileDialog("Song Saver", SONG_DIALOG_FILTER,
                                                      SONG_DIALOG_PATTERN, SongFolder());
    if (path.empty()) {
        play.warmup_ticks = 5;
        return SongFileResult::Cancelled;
    }
    const SongFileResult result = WriteSongFile(path);
    if (result == SongFileResult::Done) RememberFileFolder(path);
    return result;
}

SongFileResult LoadSong() {
    const std::string path = desktop().OpenFileDialog("Song Loader", SONG_DIALOG_FILTER,
                                                      SONG_DIALOG_PATTERN, SongFolder());
    if (path.empty()) {
        play.warmup_ticks = 5;
        return SongFileResult::Cancelled;
    }
    const SongFileResult result = LoadSongFile(path);
    if (result == SongFileResult::Done) RememberFileFolder(path);
    return result;
}
