// make-examples DIR: writes the example songs and the starter sound bank into DIR.
//
//   melody.son     a pulse lead with a triangle bass, off-beat plucks and noise drums; loops
//   arpeggios.son  table-waveform arpeggios over a pulse bass, with a pattern break; ends
//   effects.son    pitch sweeps, zaps and noise effects, one after another; ends with a stop
//   starter.fms    the sixteen instruments all three songs use
//
// Each song is built in memory through the editor's own song and instrument calls and saved by
// the same writers as Save Song and the sound editor's bank save, so the files are exactly what
// the editor itself would write. The output is the same on every run. After changing a song
// here, run it again, listen to the result (tavomix-render) and commit the files with the
// change; examples/README.md has the commands.
#include "files/song_file.h"
#include "files/sound_bank_file.h"
#include "song/song_model.h"
#include "song/song_state.h"
#include "sound/instrument_bank.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace {

// ------------------------------------------------------------------------- the instruments

// The starter bank, in bank order; the songs name instruments by these.
enum Slot : uint8_t {
    LeadSquare,
    LeadThin,
    PluckPulse,
    BassPulse,
    BassTriangle,
    ArpTable,
    ArpQuad,
    SawBlip,
    Kick,
    Snare,
    HatClosed,
    HatOpen,
    SweepUp,
    SweepDown,
    Laser,
    Explosion,
};

struct Sound {
    const char* name;
    int type;          // 0 pulse with sweep, 1 pulse, 2 table waveform, 3 noise
    int testFrequency; // Hz, what the sound editor plays
    int volume;        // initVolume, 0..15
    int fade;          // 7 steady, above 7 fades out
    int hundredths;    // the sound is cut after this long; 0: it lasts as its envelope does
    int duty;          // waveform of types 0 and 1: 0 12.5 %, 1 25 %, 2 50 %, 3 75 %
    int table;         // waveformType of type 2
    int period;        // sweep step interval of type 0, 1..7; 0 does not sweep
    int bend;          // sweep of type 0: 7 none, below sweeps down, above up
};

// Every sound starts at its full level at once (none fades in). The levels leave room for four
// voices together; the table voice (type 2) has no volume of its own and always plays at full
// scale.
constexpr Sound kStarterBank[INSTRUMENT_COUNT] = {
    {"Lead square", 1, 523, 10, 10, 0, 2, 0, 0, 7},   // 50 % pulse, dies away in half a second
    {"Lead thin", 1, 523, 10, 7, 0, 1, 0, 0, 7},      // 25 % pulse, held until the next note
    {"Pluck pulse", 0, 330, 7, 8, 0, 1, 0, 0, 7},     // a tenth of a second, quiet, under a lead
    {"Bass pulse", 0, 110, 11, 9, 0, 2, 0, 0, 7},     // dies away in a third of a second
    {"Bass triangle", 2, 131, 15, 7, 30, 0, 0, 0, 7}, // cut after 0.3 s
    {"Arp table", 2, 440, 15, 7, 0, 0, 4, 0, 7},      // Spec-Sin, held until the next note
    {"Arp quad", 2, 131, 15, 7, 0, 0, 1, 0, 7},       // Quad: four squares, two octaves up
    {"Saw blip", 2, 440, 15, 7, 10, 0, 2, 0, 7},      // Up, a tenth of a second
    {"Kick", 3, 410, 12, 8, 10, 0, 0, 0, 7},          // play at noise note 1
    {"Snare", 3, 3277, 10, 8, 18, 0, 0, 0, 7},        // noise note 13
    {"Hat closed", 3, 21845, 8, 8, 4, 0, 0, 0, 7},    // noise note 24
    {"Hat open", 3, 16384, 8, 9, 25, 0, 0, 0, 7},     // noise note 22
    {"Sweep up", 0, 262, 12, 7, 90, 2, 0, 5, 13},     // from C4 it takes 0.85 s to reach 1 kHz
    {"Sweep down", 0, 988, 12, 12, 0, 2, 0, 6, 2},    // from B5 toward 64 Hz, gone in 0.95 s
    {"Laser", 0, 988, 12, 8, 15, 2, 0, 3, 4},         // B5 to 64 Hz in an eighth of a second
    {"Explosion", 3, 410, 15, 13, 0, 0, 0, 0, 7},     // dies away in 1.4 s
};

void FillStarterBank() {
    for (int k = 0; k < INSTRUMENT_COUNT; ++k) {
        const Sound& s = kStarterBank[k];
        Instrument& in = SoundBank[k];
        in = Instrument{};
        std::snprintf(in.name, sizeof in.name, "%s", s.name);
        in.soundType = s.type;
        in.testFrequency = s.testFrequency;
        in.soundLength = s.hundredths;
        in.lengthSeconds = s.hundredths * 0.01;
        in.useLength = s.hundredths > 0;
        in.initVolume = s.volume;
        in.fade = s.fade;
        in.period = s.period;
        in.pitchBend = s.bend;
        in.waveform = s.duty;
        in.waveformType = s.table;
    }
}

// -------------------------------------------------------------------------- writing tracks

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "make-examples: %s\n", what.c_str());
    std::exit(1);
}

void Put(int track, int row, Cell cell) {
    if (track < 1 || track >= TRACK_COUNT || row < 0 || row >= TRACK_ROWS)
        Fail("no row " + std::to_string(row) + " in track " + std::to_string(track));
    SetCell(track, row, cell);
}

// The words of `text`, between spaces and bar lines ("|").
std::vector<std::string_view> Tokens(std::string_view text) {
    std::vector<std::string_view> tokens;
    size_t at = 0;
    while (at < text.size()) {
        if (text[at] == ' ' || text[at] == '|') {
            ++at;
            continue;
        }
        const size_t end = std::min(text.find_first_of(" |", at), text.size());
        tokens.push_back(text.substr(at, end - at));
        at = end;
    }
    return tokens;
}

// The note number of a name such as "C4" or "F#5". Octaves 2 and 3 are the lower keyboard
// bank (C2 is note 33), octaves 4 to 6 the upper one (C4 is note 1, F#6 note 31).
int NoteNumber(std::string_view name) {
    static constexpr std::string_view kLetters = "C D EF G A B";
    const size_t letter = name.empty() ? std::string_view::npos : kLetters.find(name[0]);
    const bool sharp = name.size() == 3 && name[1] == '#';
    const char octave = name.empty() ? '\0' : name.back();
    if (letter == std::string_view::npos || name[0] == ' ' || name.size() != (sharp ? 3u : 2u) ||
        (sharp && (name[0] == 'E' || name[0] == 'B')) || octave < '2' || octave > '6')
        Fail("not a note: " + std::string(name));
    const int semitone = static_cast<int>(letter) + (sharp ? 1 : 0);
    const int note =
        octave <= '3' ? 33 + 12 * (octave - '2') + semitone : 1 + 12 * (octave - '4') + semitone;
    if (note > 31 && octave > '3') Fail("above F#6: " + std::string(name));
    return note;
}

// One token of a track (WriteTrack) as a cell.
Cell TokenCell(std::string_view token, uint8_t instrument) {
    if (token == ".") return {};
    if (token == "break") return {CMD_PATTERN_BREAK, NOTE_COMMAND};
    if (token == "stop") return {CMD_STOP_MUSIC, NOTE_COMMAND};
    if (token.size() == 4 && token.substr(0, 3) == "off" && token[3] >= '0' && token[3] <= '3')
        return {static_cast<uint8_t>(token[3] - '0'), NOTE_COMMAND};
    const size_t at = token.find('@');
    if (at != std::string_view::npos) {
        const std::string number(token.substr(at + 1));
        const int k = std::atoi(number.c_str());
        if (number.empty() || k < 0 || k >= INSTRUMENT_COUNT) Fail("no instrument " + number);
        instrument = static_cast<uint8_t>(k);
        token = token.substr(0, at);
    }
    int note = 0;
    if (!token.empty() && token[0] >= '0' && token[0] <= '9') {
        note = std::atoi(std::string(token).c_str());
        if (note < 1 || note > 78) Fail("no note " + std::string(token));
    } else {
        note = NoteNumber(token);
    }
    return {instrument, static_cast<uint8_t>(note)};
}

// Writes `rows` into `track` from `firstRow`, one token for each row in turn; "|" marks a bar
// line and takes no row. A token is
//   .             nothing
//   C4 .. F#6     a note of `instrument`; "C5@3" plays it with instrument 3 instead
//   12            a note by its number (the notes of a noise instrument), also with "@k"
//   off0 .. off3  stops the voice of that sound type
//   break         goes on at row 0 of the next position
//   stop          stops the music
void WriteTrack(int track, uint8_t instrument, std::string_view rows, int firstRow = 0) {
    int row = firstRow;
    for (std::string_view token : Tokens(rows)) Put(track, row++, TokenCell(token, instrument));
}

// Noise drums, one character a row: k kick, s snare, h closed hat, o open hat, . nothing;
// spaces and "|" take no row.
void WriteDrums(int track, std::string_view rows) {
    int row = 0;
    for (char c : rows) {
        switch (c) {
        case ' ':
        case '|': continue;
        case 'k': Put(track, row, {Kick, 1}); break;
        case 's': Put(track, row, {Snare, 13}); break;
        case 'h': Put(track, row, {HatClosed, 24}); break;
        case 'o': Put(track, row, {HatOpen, 22}); break;
        case '.': break;
        default: Fail(std::string("not a drum: ") + c);
        }
        ++row;
    }
}

// An arpeggio of `chord` (note names) over `rows` rows from `firstRow`: one note every `step`
// rows, taking the chord's notes in `order` (their indexes, from 0) round and round.
void WriteArpeggio(int track, uint8_t instrument, int firstRow, int rows, int step,
                   std::string_view chord, std::string_view order) {
    const std::vector<std::string_view> notes = Tokens(chord);
    size_t next = 0;
    for (int row = firstRow; row < firstRow + rows; row += step) {
        const size_t index = static_cast<size_t>(order[next++ % order.size()] - '0');
        if (index >= notes.size()) Fail("no note " + std::to_string(index) + " in the chord");
        Put(track, row, {instrument, static_cast<uint8_t>(NoteNumber(notes[index]))});
    }
}

void UsePosition(int position, int ch0, int ch1, int ch2, int ch3) {
    const int tracks[CHANNEL_COUNT] = {ch0, ch1, ch2, ch3};
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        song.song_positions[position][c] = static_cast<int16_t>(tracks[c]);
}

// ------------------------------------------------------------------------------- the songs
// The channels keep to one sound type each within a song, so no note hides another.

// C major at 150 beats a minute, four rows a beat, a bar of 16 rows: A (C Am F G), the same
// ending on a turn, B (F G Em Am) and the turn again, then round to the start. Channel 0 the
// lead (type 1), 1 off-beat plucks (type 0), 2 the bass (type 2), 3 the drums (type 3).
void BuildMelody() {
    song.tempo = 10;
    song.song_loop = 1;
    song.song_size = 4;

    const std::string_view opening = "E5 . . . G5 . E5 . D5 . . . C5 . . . |"
                                     "A4 . . . C5 . E5 . A5 . . . . . G5 . |";
    WriteTrack(1, LeadSquare,
               std::string(opening) + "F5 . . . E5 . D5 . C5 . . . A4 . . . |"
                                      "B4 . . . D5 . . . G5 . . . . . . .");
    WriteTrack(2, LeadSquare,
               std::string(opening) + "F5 . A5 . G5 . F5 . E5 . . . D5 . . . |"
                                      "D5 . . . B4 . . . G4 . . . . . . .");
    WriteTrack(3, LeadSquare,
               "A5 . . . . . G5 . F5 . . . E5 . . . | D5 . . . . . E5 . F5 . . . G5 . . . |"
               "E5 . . . . . D5 . B4 . . . G4 . . . | A4 . . . B4 . . . C5 . . . D5 . . .");

    WriteTrack(4, BassTriangle,
               "C3 . . . . . C3 . G3 . . . C3 . G3 . | A2 . . . . . A2 . E3 . . . A2 . E3 . |"
               "F2 . . . . . F2 . C3 . . . F2 . C3 . | G2 . . . . . G2 . D3 . . . G2 . D3 .");
    WriteTrack(5, BassTriangle,
               "F2 . . . . . F2 . C3 . . . F2 . C3 . | G2 . . . . . G2 . D3 . . . G2 . D3 . |"
               "E2 . . . . . E2 . B2 . . . E2 . B2 . | A2 . . . . . A2 . E3 . . . G2 . E3 .");

    WriteTrack(6, PluckPulse,
               ". . E4 . . . G4 . . . E4 . . . G4 . | . . E4 . . . A4 . . . E4 . . . A4 . |"
               ". . F4 . . . A4 . . . F4 . . . A4 . | . . D4 . . . G4 . . . D4 . . . B3 .");
    WriteTrack(7, PluckPulse,
               ". . F4 . . . A4 . . . F4 . . . A4 . | . . D4 . . . G4 . . . D4 . . . G4 . |"
               ". . E4 . . . G4 . . . E4 . . . B3 . | . . E4 . . . A4 . . . C4 . . . E4 .");

    WriteDrums(8, "k.h.s.h.k.h.s.h. | k.h.s.h.k.h.s.h. | k.h.s.h.k.h.s.h. | k.h.s.h.k.h.s.o.");
    WriteDrums(9, "k.h.s.h.k.h.s.h. | k.h.s.h.kkh.s.o. | k.h.s.h.k.h.s.h. | k.h.s.h.k.s.ssss");

    UsePosition(0, 1, 0, 4, 8); // the tune, no plucks yet
    UsePosition(1, 2, 6, 4, 9);
    UsePosition(2, 3, 7, 5, 8);
    UsePosition(3, 2, 6, 4, 9);
}

// A minor, one row a 32nd note: every chord of two beats is broken into its notes on the table
// voice. 0: the arpeggios alone (Am F C G); 1: with bass and hats; 2: a brighter table, a slow
// tune on top, and a pattern break after three chords (F G Am); 3: F G E and a slowing Am, after
// which the table and the tune are stopped. Channel 0 the table (type 2), 1 the tune (type 1),
// 2 the bass (type 0), 3 the hats (type 3).
void BuildArpeggios() {
    song.tempo = 15;
    song.song_loop = 0;
    song.song_size = 4;

    constexpr std::string_view Am = "A4 C5 E5 A5", F = "F4 A4 C5 F5", C = "C5 E5 G5 C6",
                               G = "G4 B4 D5 G5", E = "E4 G#4 B4 E5";
    const std::string_view firstFour[] = {Am, F, C, G};
    for (int i = 0; i < 4; ++i) {
        WriteArpeggio(1, ArpTable, 16 * i, 16, 1, firstFour[i], "0123");
        WriteArpeggio(2, ArpTable, 16 * i, 16, 1, firstFour[i], "01233210");
    }
    // Arp quad sounds two octaves above the note it is given.
    WriteArpeggio(3, ArpQuad, 0, 16, 1, "F2 A2 C3 F3", "0123");
    WriteArpeggio(3, ArpQuad, 16, 16, 1, "G2 B2 D3 G3", "0123");
    WriteArpeggio(3, ArpQuad, 32, 15, 1, "A2 C3 E3 A3", "0123");
    WriteTrack(3, ArpQuad, "break", 47);
    WriteArpeggio(4, ArpTable, 0, 16, 1, F, "01233210");
    WriteArpeggio(4, ArpTable, 16, 16, 1, G, "01233210");
    WriteArpeggio(4, ArpTable, 32, 16, 2, E, "0123");
    WriteTrack(4, ArpTable, "A4 . C5 . E5 . A5 . . . . . . . off2", 48);

    WriteTrack(5, LeadThin,
               "A5 . . . . . . . C6 . . . . . . . | B5 . . . . . . . D6 . . . . . . . |"
               "C6 . . . . . . . E6");
    WriteTrack(6, LeadThin,
               "C6 . . . . . . . . . . . . . . . | B5 . . . . . . . . . . . . . . . |"
               "G#5 . . . . . . . . . . . . . . . | A5 . . . . . . . . . . . . . off1");

    WriteTrack(7, BassPulse,
               "A2 . . . . . . . A3 . . . . . . . | F2 . . . . . . . F3 . . . . . . . |"
               "C3 . . . . . . . C3 . . . . . . . | G2 . . . . . . . G3 . . . . . . .");
    WriteTrack(8, BassPulse,
               "F2 . . . . . . . F3 . . . . . . . | G2 . . . . . . . G3 . . . . . . . |"
               "A2 . . . . . . . A3 . . . . . . .");
    WriteTrack(9, BassPulse,
               "F2 . . . . . . . F3 . . . . . . . | G2 . . . . . . . G3 . . . . . . . |"
               "E2 . . . . . . . E3 . . . . . . . | A2");

    WriteDrums(10, "....h.......h... | ....h.......h... | ....h.......h... | ....h.......h...");

    UsePosition(0, 1, 0, 0, 0);
    UsePosition(1, 2, 0, 7, 10);
    UsePosition(2, 3, 5, 8, 10);
    UsePosition(3, 4, 6, 9, 0);
}

// One effect after another at ten rows a second. Channel 0 the sweeps and zaps (type 0),
// 1 a pick-up jingle (type 1), 3 the noise (type 3). Ends with a stop.
void BuildEffects() {
    song.tempo = 10;
    song.song_loop = 0;
    song.song_size = 2;

    // Rising whoops from two notes, a falling tone, a burst of zaps, a bomb that falls and
    // lands.
    WriteTrack(1, SweepUp,
               "C4 . . . . . . . . . | G4 . . . . . . . . . |"
               "B5@13 . . . . . . . . . . . | B5@14 . A5@14 . B5@14 . G5@14 . . . . . . . . . |"
               ". . . . | B5@13");
    WriteTrack(2, Explosion, "1", 40);
    WriteTrack(2, Explosion, "4", 62);

    // A rattle that speeds up, a rising chord of whoops, steam, a pick-up, a last zap and a
    // blast, then the stop.
    WriteTrack(3, SweepUp,
               ". . . . . . . . . . . . . . . . . . . . | C4 . E4 . G4 . . . . . . . . . . . |"
               ". . . . . . . . . . . . . . . . | B5@14 . . . . . . . . . stop");
    WriteTrack(4, Snare,
               "8 . . . 10 . . . 12 . . 14 . . 16 . 18 . 20 21 | . . . . . . . . . . . . |"
               "28@11 . 26@11 . 24@11 . . . . . . . . . | 1@15");
    WriteTrack(5, LeadSquare, "B5 E6 . off1", 40);

    UsePosition(0, 1, 0, 0, 2);
    UsePosition(1, 3, 5, 0, 4);
}

// ------------------------------------------------------------------------------- writing

void SaveSong(const std::string& path, void (*build)()) {
    ResetSong();
    FillStarterBank();
    build();
    if (WriteSongFile(path) != SongFileResult::Done) Fail("cannot write " + path);
    std::printf("%s\n", path.c_str());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-examples DIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    SaveSong((dir / "melody.son").string(), BuildMelody);
    SaveSong((dir / "arpeggios.son").string(), BuildArpeggios);
    SaveSong((dir / "effects.son").string(), BuildEffects);
    FillStarterBank();
    const std::string bank = (dir / "starter.fms").string();
    if (WriteSoundBankFile(bank) != SongFileResult::Done) Fail("cannot write " + bank);
    std::printf("%s\n", bank.c_str());
    return 0;
}
