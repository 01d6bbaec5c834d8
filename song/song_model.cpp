#include "song/song_model.h"

#include "platform/desktop.h"
#include "sound/instrument_bank.h"

#include <array>
#include <cstdio>
#include <cstring>

SongState song;
PlayState play;
StoredSettings settings;

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

const char* const kTrackWarning = "Track Data Warning.";
const char* const kSongWarning = "Song Data Warning.";
const char* const kErrorCaption = "Error message";

void NoDisplay() {}

bool Confirm(const char* text, const char* caption, int style) {
    return desktop().MessageBox(text, caption, style);
}

void ShowError(const char* text) {
    desktop().MessageBox(text, kErrorCaption, MB_ERROR_OK);
}

bool ValidTrack(int t) {
    return t >= 0 && t < TRACK_COUNT;
}

uint16_t Pack(Cell c) {
    return static_cast<uint16_t>(c.instrument | (c.note << 8));
}
Cell Unpack(uint16_t v) {
    return Cell{static_cast<uint8_t>(v & 0xFF), static_cast<uint8_t>(v >> 8)};
}

// Names: letter, '-' or '#', octave digit; the chromatic order starts at C.
using NameTable = std::array<std::array<char, 4>, NOTE_NAME_COUNT>;

constexpr void PutRun(NameTable& names, int first, int count, int firstSemitone, char octave0) {
    constexpr char kLetters[] = "CCDDEFFGGAAB";
    constexpr char kSigns[] = "-#-#--#-#-#-";
    for (int i = 0; i < count; ++i) {
        const int s = firstSemitone + i;
        names[first + i] = {kLetters[s % 12], kSigns[s % 12], static_cast<char>(octave0 + s / 12),
                            '\0'};
    }
}

constexpr NameTable MakeNoteNames() {
    NameTable names{};
    for (auto& n : names) n = {'0', '0', '\0', '\0'};
    PutRun(names, 1, 31, 0, '2');  // upper bank C-2 .. F#4
    PutRun(names, 33, 31, 0, '0'); // lower bank C-0 .. F#2
    PutRun(names, 64, 7, 5, '1');  // F-1 .. B-1
    PutRun(names, 72, 7, 5, 'X');  // F-X .. B-X
    names[NOTE_COMMAND] = {'F', 'F', '\0', '\0'};
    return names;
}

constexpr NameTable kNoteNames = MakeNoteNames();

bool TrackIsEmpty(int t) {
    for (int r = 0; r < TRACK_ROWS; ++r)
        if (song.tracks[t][r].load(kRelaxed) != 0) return false;
    return true;
}

void EmptyTrack(int t) {
    for (int r = 0; r < TRACK_ROWS; ++r) song.tracks[t][r].store(0, kRelaxed);
}

// The note bytes of one octave shift, pass by pass; commands (255) never match a range.
uint8_t Normalise(uint8_t n) {
    if (n >= 64 && n <= 70) n = static_cast<uint8_t>(n - 14);
    if (n >= 57 && n <= 63) n = static_cast<uint8_t>(n - 56);
    return n;
}

bool BlocksShift(uint8_t n, bool up) {
    if (up) return n >= 20 && n <= 31;
    return (n >= 33 && n <= 44) || n > 56;
}

uint8_t Shift(uint8_t n, bool up) {
    int v = n;
    if (up) {
        if ((v >= 33 && v <= 44) || (v >= 1 && v <= 19))
            v += 12;
        else if (v >= 45 && v <= 56)
            v -= 44;
        else if (v >= 71 && v <= 78)
            v -= 31;
    } else {
        if (v >= 13 && v <= 31)
            v -= 12;
        else if (v >= 1 && v <= 12)
            v += 44;
        else if (v >= 45 && v <= 56)
            v -= 12;
    }
    return static_cast<uint8_t>(v);
}

} // namespace

SongDisplay song_display = {NoDisplay, NoDisplay, NoDisplay, NoDisplay, NoDisplay,
                            NoDisplay, NoDisplay, NoDisplay, NoDisplay};

void ResetSongDisplay() {
    song_display = {NoDisplay, NoDisplay, NoDisplay, NoDisplay, NoDisplay,
                    NoDisplay, NoDisplay, NoDisplay, NoDisplay};
}

Cell GetCell(int track, int row) {
    if (!ValidTrack(track) || row < 0 || row >= TRACK_ROWS) return Cell{};
    return Unpack(song.tracks[track][row].load(kRelaxed));
}

void SetCell(int track, int row, Cell cell) {
    if (!ValidTrack(track) || row < 0 || row >= TRACK_ROWS) return;
    song.tracks[track][row].store(Pack(cell), kRelaxed);
}

int TrackAt(int position, int channel) {
    if (position < 0 || position >= POSITION_COUNT || channel < 0 || channel >= CHANNEL_COUNT)
        return -1;
    return song.song_positions[position][channel].load(kRelaxed);
}

void ReadTrackBytes(int track, uint8_t out[TRACK_BYTES]) {
    for (int r = 0; r < TRACK_ROWS; ++r) {
        const Cell c = GetCell(track, r);
        out[2 * r] = c.instrument;
        out[2 * r + 1] = c.note;
    }
}

void WriteTrackBytes(int track, const uint8_t in[TRACK_BYTES]) {
    for (int r = 0; r < TRACK_ROWS; ++r) SetCell(track, r, Cell{in[2 * r], in[2 * r + 1]});
}

const char* NoteName(int note) {
    if (note < 0 || note >= NOTE_NAME_COUNT) return kNoteNames[0].data();
    return kNoteNames[note].data();
}

void ResetSong() {
    song = SongState{};
    // The play state starts cleared; the warm-up, the tick's pending requests and the
    // metronome switch are the shell's and stay as they are.
    PlayState cleared;
    cleared.warmup_ticks = play.warmup_ticks;
    cleared.countdown_image = play.countdown_image;
    cleared.keyboard_reset_pending = play.keyboard_reset_pending;
    cleared.metronome_enabled = play.metronome_enabled;
    play = cleared;
    current_instrument.store(0, kRelaxed);
}

void MarkSongModified() {
    song.song_modified = 1;
    song_display.updateTitle();
}

int CurrentTrack() {
    return TrackAt(play.current_position.load(kRelaxed), play.current_channel.load(kRelaxed) & 3);
}

bool NewSong() {
    if (song.song_modified &&
        !Confirm(
            "This action will erase the\ncurrent song...\n\nAre you sure to start a new song ?",
            kSongWarning, MB_WARNING_OK_CANCEL))
        return false;
    for (int t = 0; t < TRACK_COUNT; ++t) EmptyTrack(t);
    current_instrument.store(0, kRelaxed);
    play.current_position.store(0, kRelaxed);
    play.current_channel.store(0, kRelaxed);
    song.tempo = 10;
    song.song_loop.store(1, kRelaxed);
    song.song_modified = 0;
    song_display.redrawPatternView();
    song_display.fillSelectors();
    song_display.updateTitle();
    song_display.showSongInfo();
    song_display.refreshSettings();
    return true;
}

bool ClearTrack() {
    const int t = CurrentTrack();
    char text[96];
    std::snprintf(text, sizeof text,
                  "This will erase Track nr: %d\n\nAre you sure to Clear track ?", t);
    if (!Confirm(text, kTrackWarning, MB_QUESTION_OK_CANCEL) || !ValidTrack(t)) return false;
    EmptyTrack(t);
    MarkSongModified();
    return true;
}

void CopyTrack() {
    ReadTrackBytes(CurrentTrack(), song.track_clipboard);
    song.track_clipboard_full = 1;
}

bool PasteTrack() {
    if (!song.track_clipboard_full) {
        ShowError("Track copy buffer is empty !!!");
        return false;
    }
    const int t = CurrentTrack();
    char text[96];
    std::snprintf(text, sizeof text,
                  "This will replace Track nr: %d\n\nAre you sure to overwrite this track ?", t);
    if (!Confirm(text, kTrackWarning, MB_QUESTION_OK_CANCEL) || !ValidTrack(t)) return false;
    WriteTrackBytes(t, song.track_clipboard);
    MarkSongModified();
    return true;
}

void CopyPattern() {
    const int p = play.current_position.load(kRelaxed);
    for (int c = 0; c < CHANNEL_COUNT; ++c) song.pattern_clipboard[c] = TrackAt(p, c);
    song.pattern_clipboard_full = 1;
}

bool PastePattern() {
    if (!song.pattern_clipboard_full) {
        ShowError("Pattern copy buffer is empty !!!");
        return false;
    }
    if (!Confirm("This will replace the\ncurrent Song Pattern !!\n\nAre you sure to overwrite "
                 "this Song Pattern ?",
                 kTrackWarning, MB_QUESTION_OK_CANCEL))
        return false;
    const int p = play.current_position.load(kRelaxed);
    if (p < 0 || p >= POSITION_COUNT) return false;
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        if (ValidTrack(song.pattern_clipboard[c]))
            song.song_positions[p][c].store(static_cast<int16_t>(song.pattern_clipboard[c]),
                                            kRelaxed);
    MarkSongModified();
    return true;
}

void SetPositionTracks(const int trackNumbers[CHANNEL_COUNT]) {
    const int p = play.current_position.load(kRelaxed);
    if (p < 0 || p >= POSITION_COUNT) return;
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        if (ValidTrack(trackNumbers[c]))
            song.song_positions[p][c].store(static_cast<int16_t>(trackNumbers[c]), kRelaxed);
    MarkSongModified();
}

void SetCurrentInstrument(int k) {
    if (k < 0 || k >= INSTRUMENT_COUNT) return;
    current_instrument.store(static_cast<int16_t>(k), kRelaxed);
    MarkSongModified();
}

void SetSongSize(int size) {
    size = size < 1 ? 1 : (size > POSITION_COUNT ? POSITION_COUNT : size);
    song.song_size.store(size, kRelaxed);
    play.current_position.store(0, kRelaxed);
}

void SetCurrentPosition(int position) {
    const int last = song.song_size.load(kRelaxed) - 1;
    position = position > last ? last : position;
    play.current_position.store(position < 0 ? 0 : position, kRelaxed);
}

bool AllocateTrack() {
    const int p = play.current_position.load(kRelaxed);
    const int c = play.current_channel.load(kRelaxed) & 3;
    if (p < 0 || p >= POSITION_COUNT || song.song_positions[p][c].load(kRelaxed) != 0) return false;
    for (int t = 1; t < TRACK_COUNT; ++t) {
        if (!TrackIsEmpty(t)) continue;
        song.song_positions[p][c].store(static_cast<int16_t>(t), kRelaxed);
        return true;
    }
    ShowError("All 32 tracks are full !!!\nNo more tracks are available.\n");
    return false;
}

void ShiftTrackOctave(bool up) {
    const int t = CurrentTrack();
    if (!ValidTrack(t)) return;
    // Pass 1 writes the normalised notes; they keep their pitch, so a refused shift leaves them.
    bool blocked = false;
    for (int r = 0; r < TRACK_ROWS; ++r) {
        Cell c = GetCell(t, r);
        c.note = Normalise(c.note);
        SetCell(t, r, c);
        blocked = blocked || BlocksShift(c.note, up);
    }
    if (!blocked) {
        for (int r = 0; r < TRACK_ROWS; ++r) {
            Cell c = GetCell(t, r);
            c.note = Shift(c.note, up);
            SetCell(t, r, c);
        }
    }
    MarkSongModified();
}

void ShiftTrackInstruments(bool up) {
    const int step = up ? 1 : INSTRUMENT_COUNT - 1; // -1 mod 16
    const int k = current_instrument.load(kRelaxed);
    const int t = CurrentTrack();
    if (ValidTrack(t)) {
        for (int r = 0; r < TRACK_ROWS; ++r) {
            Cell c = GetCell(t, r);
            if (c.instrument != k) continue;
            c.instrument = static_cast<uint8_t>((c.instrument + step) % INSTRUMENT_COUNT);
            SetCell(t, r, c);
        }
    }
    current_instrument.store(static_cast<int16_t>(((k & 15) + step) % INSTRUMENT_COUNT), kRelaxed);
    song_display.fillSelectors();
    MarkSongModified();
}

int FindLastSoundType() {
    const int size = song.song_size.load(kRelaxed);
    const int start = play.current_position.load(kRelaxed);
    const int channel = play.current_channel.load(kRelaxed) & 3;
    int p = start;
    int row = play.current_row.load(kRelaxed) - 1;
    // Every position is entered at most once, so the walk ends even when `start` lies outside
    // the song and would never be reached again.
    for (int entered = 0; entered <= POSITION_COUNT;) {
        if (row < 0) {
            p = p > 0 ? p - 1 : size - 1;
            if (p == start) return -1;
            row = TRACK_ROWS - 1;
            ++entered;
            continue;
        }
        const Cell c = GetCell(TrackAt(p, channel), row);
        if (IsCommandCell(c)) return -1;
        if (c.note != 0 && c.instrument != 0 && c.instrument < INSTRUMENT_COUNT) {
            const int type = SoundBank[c.instrument].soundType;
            if (type >= 0 && type < SOUND_TYPE_COUNT) return type;
        }
        --row;
    }
    return -1;
}
