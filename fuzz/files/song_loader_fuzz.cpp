// Arbitrary bytes as a song file: the loader either refuses them or takes a song whose every
// position and size is in range, and never reads or writes outside a buffer.
#include "files/song_file.h"
#include "song/song_model.h"
#include "sound/instrument_bank.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = [] {
        ResetSong();
        InitSoundBank();
        return true;
    }();
    (void)ready;
    std::vector<uint8_t> file(data, data + size);
    if (LoadSongBytes(file) == SongFileResult::Done) {
        if (song.song_size < 1 || song.song_size > POSITION_COUNT || song.tempo < 1 ||
            song.tempo > 60)
            std::abort();
        for (int p = 0; p < STORED_POSITION_COUNT; ++p)
            for (int c = 0; c < CHANNEL_COUNT; ++c)
                if (TrackAt(p, c) < 0 || TrackAt(p, c) >= TRACK_COUNT) std::abort();
    }
    return 0;
}
