// The song model: cells and note names, track allocation, the confirmed editing operations and
// their copy buffers, the octave and instrument shifts, and the search for the last sound type.
#include "song_fixture.h"

namespace {

using Model = SongFixture;

void SetTracks(int position, int t0, int t1, int t2, int t3) {
    const int t[4] = {t0, t1, t2, t3};
    for (int c = 0; c < 4; ++c) song.song_positions[position][c] = static_cast<int16_t>(t[c]);
}

TEST(NoteNames, BanksAndGaps) {
    const std::pair<int, const char*> names[] = {
        {0, "00"},   {1, "C-2"},  {2, "C#2"},  {13, "C-3"}, {31, "F#4"}, {32, "00"},
        {33, "C-0"}, {63, "F#2"}, {64, "F-1"}, {70, "B-1"}, {71, "00"},  {73, "F#X"},
        {78, "B-X"}, {79, "00"},  {255, "FF"}, {256, "00"}, {-1, "00"}};
    for (auto [note, name] : names) EXPECT_STREQ(NoteName(note), name) << note;
}

TEST_F(Model, CellsOutOfRangeAreEmptyAndIgnored) {
    SetCell(3, 5, Cell{2, 40});
    EXPECT_EQ(GetCell(3, 5), (Cell{2, 40}));
    SetCell(32, 0, Cell{1, 1});
    SetCell(-1, 0, Cell{1, 1});
    SetCell(0, 64, Cell{1, 1});
    EXPECT_EQ(GetCell(32, 0), Cell{});
    EXPECT_EQ(GetCell(0, -1), Cell{});
    EXPECT_TRUE(IsEmptyCell(GetCell(31, 63)));
    EXPECT_EQ(TrackAt(64, 0), -1);
    EXPECT_EQ(TrackAt(0, 4), -1);

    // Song-file byte order: instrument then note, row by row.
    uint8_t bytes[TRACK_BYTES];
    ReadTrackBytes(3, bytes);
    EXPECT_EQ(bytes[10], 2);
    EXPECT_EQ(bytes[11], 40);
    bytes[0] = 6;
    bytes[1] = 255;
    WriteTrackBytes(9, bytes);
    EXPECT_EQ(GetCell(9, 0), (Cell{6, 255}));
    EXPECT_EQ(GetCell(9, 5), (Cell{2, 40}));
}

TEST_F(Model, AllocationHandsOutEmptyTracksInOrder) {
    play.current_channel = 2;
    ASSERT_TRUE(AllocateTrack());
    EXPECT_EQ(TrackAt(0, 2), 1);
    SetCell(1, 0, Cell{0, 10});
    play.current_channel = 3;
    ASSERT_TRUE(AllocateTrack());
    EXPECT_EQ(TrackAt(0, 3), 2);
    // A channel that already has a track keeps it.
    EXPECT_FALSE(AllocateTrack());
    EXPECT_EQ(TrackAt(0, 3), 2);

    // Track 2 is still empty, so position 1 gets it too: freedom is judged by contents.
    SetSongSize(2);
    play.current_position = 1;
    EXPECT_TRUE(AllocateTrack());
    EXPECT_EQ(TrackAt(1, 3), 2);
    EXPECT_TRUE(fake.boxes.empty());
}

TEST_F(Model, AllocationReportsFullTable) {
    for (int t = 1; t < TRACK_COUNT; ++t) SetCell(t, 63, Cell{0, 1});
    EXPECT_FALSE(AllocateTrack());
    EXPECT_EQ(TrackAt(0, 0), 0);
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, "All 32 tracks are full !!!\nNo more tracks are available.\n");
    EXPECT_EQ(fake.boxes[0].caption, "Error message");
    EXPECT_EQ(fake.boxes[0].style, 0x10);
}

TEST_F(Model, ClearTrackAsksWithTheTrackNumber) {
    SetTracks(0, 0, 7, 0, 0);
    play.current_channel = 1;
    SetCell(7, 3, Cell{1, 20});
    fake.answers = {false};
    EXPECT_FALSE(ClearTrack());
    EXPECT_EQ(GetCell(7, 3), (Cell{1, 20}));
    EXPECT_EQ(song.song_modified, 0);

    EXPECT_TRUE(ClearTrack());
    EXPECT_TRUE(IsEmptyCell(GetCell(7, 3)));
    EXPECT_EQ(song.song_modified, 1);
    EXPECT_EQ(DisplayCalls::titles, 1);
    ASSERT_EQ(fake.boxes.size(), 2u);
    EXPECT_EQ(fake.boxes[1].text, "This will erase Track nr: 7\n\nAre you sure to Clear track ?");
    EXPECT_EQ(fake.boxes[1].caption, "Track Data Warning.");
    EXPECT_EQ(fake.boxes[1].style, 0x41);
}

TEST_F(Model, TrackCopyAndPaste) {
    EXPECT_FALSE(PasteTrack());
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, "Track copy buffer is empty !!!");
    EXPECT_EQ(fake.boxes[0].caption, "Error message");

    SetTracks(0, 4, 5, 0, 0);
    SetCell(4, 0, Cell{3, 12});
    SetCell(4, 63, Cell{5, 255});
    CopyTrack();
    EXPECT_EQ(song.song_modified, 0);
    SetCell(4, 0, Cell{}); // the buffer is a copy, not a reference

    play.current_channel = 1;
    SetCell(5, 10, Cell{1, 1});
    fake.answers = {false};
    EXPECT_FALSE(PasteTrack());
    EXPECT_EQ(GetCell(5, 10), (Cell{1, 1}));
    EXPECT_EQ(fake.boxes.back().text,
              "This will replace Track nr: 5\n\nAre you sure to overwrite this track ?");

    EXPECT_TRUE(PasteTrack());
    EXPECT_EQ(GetCell(5, 0), (Cell{3, 12}));
    EXPECT_EQ(GetCell(5, 63), (Cell{5, 255}));
    EXPECT_TRUE(IsEmptyCell(GetCell(5, 10)));
    EXPECT_EQ(song.song_modified, 1);
}

TEST_F(Model, PatternCopyAndPasteShareTracks) {
    EXPECT_FALSE(PastePattern());
    EXPECT_EQ(fake.boxes.at(0).text, "Pattern copy buffer is empty !!!");

    SetSongSize(3);
    SetTracks(0, 1, 2, 3, 4);
    CopyPattern();
    SetCurrentPosition(2);
    fake.answers = {false};
    EXPECT_FALSE(PastePattern());
    EXPECT_EQ(TrackAt(2, 0), 0);
    EXPECT_TRUE(PastePattern());
    EXPECT_EQ(fake.boxes.back().text, "This will replace the\ncurrent Song Pattern !!\n\nAre you "
                                      "sure to overwrite this Song Pattern ?");
    EXPECT_EQ(fake.boxes.back().caption, "Track Data Warning.");
    for (int c = 0; c < 4; ++c) EXPECT_EQ(TrackAt(2, c), c + 1);
    EXPECT_EQ(song.song_modified, 1);
}

TEST_F(Model, NewSongEmptiesTracksButKeepsLayout) {
    SetSongSize(5);
    SetTracks(4, 9, 8, 7, 6);
    SetCell(9, 0, Cell{1, 1});
    play.current_position = 4;
    play.current_row = 12;
    play.current_channel = 2;
    current_instrument = 3;
    song.tempo = 20;
    song.song_loop = 0;
    CopyTrack();
    song.song_modified = 1;

    fake.answers = {false};
    EXPECT_FALSE(NewSong());
    EXPECT_EQ(GetCell(9, 0), (Cell{1, 1}));
    EXPECT_EQ(fake.boxes.at(0).caption, "Song Data Warning.");
    EXPECT_EQ(fake.boxes.at(0).style, 0x31);
    EXPECT_EQ(DisplayCalls::settings, 0);

    EXPECT_TRUE(NewSong());
    EXPECT_TRUE(IsEmptyCell(GetCell(9, 0)));
    EXPECT_EQ(TrackAt(4, 0), 9);
    EXPECT_EQ(song.song_size, 5);
    EXPECT_EQ(play.current_row, 12);
    EXPECT_EQ(play.current_position, 0);
    EXPECT_EQ(play.current_channel, 0);
    EXPECT_EQ(current_instrument, 0);
    EXPECT_EQ(song.tempo, 10);
    EXPECT_EQ(song.song_loop, 1);
    EXPECT_EQ(song.song_modified, 0);
    EXPECT_EQ(song.track_clipboard_full, 1);
    EXPECT_EQ(DisplayCalls::settings, 1); // the window restarts the tick timer at tempo 10
    EXPECT_EQ(DisplayCalls::redraws, 1);
    EXPECT_EQ(DisplayCalls::selectors, 1);

    // An unmodified song is replaced without a question.
    EXPECT_TRUE(NewSong());
    EXPECT_EQ(fake.boxes.size(), 2u);
}

TEST_F(Model, SelectorsAndScrollValuesStayInRange) {
    const int picks[4] = {3, -1, 31, 32};
    SetTracks(0, 0, 5, 0, 6);
    SetPositionTracks(picks);
    EXPECT_EQ(TrackAt(0, 0), 3);
    EXPECT_EQ(TrackAt(0, 1), 5);
    EXPECT_EQ(TrackAt(0, 2), 31);
    EXPECT_EQ(TrackAt(0, 3), 6);
    EXPECT_EQ(song.song_modified, 1);

    SetCurrentInstrument(16);
    EXPECT_EQ(current_instrument, 0);

    SetSongSize(12);
    SetCurrentPosition(11);
    SetSongSize(99);
    EXPECT_EQ(song.song_size, 64);
    EXPECT_EQ(play.current_position, 0);
    SetSongSize(3);
    SetCurrentPosition(3);
    EXPECT_EQ(play.current_position, 2);
    SetCurrentPosition(-4);
    EXPECT_EQ(play.current_position, 0);
}

// Fills the current track (track 1) from a list of note bytes, instrument 2 each.
void FillNotes(std::initializer_list<int> notes) {
    song.song_positions[0][0] = 1;
    int r = 0;
    for (int n : notes) SetCell(1, r++, Cell{2, static_cast<uint8_t>(n)});
}
int NoteAt(int row) {
    return GetCell(1, row).note;
}

TEST_F(Model, OctaveShiftMovesBetweenBanks) {
    FillNotes({56, 1, 19, 33, 44, 72, 57, 64, 0});
    ShiftTrackOctave(true);
    EXPECT_EQ(NoteAt(0), 12); // B-1 -> B-2
    EXPECT_EQ(NoteAt(1), 13);
    EXPECT_EQ(NoteAt(2), 31);
    EXPECT_EQ(NoteAt(3), 45);
    EXPECT_EQ(NoteAt(4), 56);
    EXPECT_EQ(NoteAt(5), 41);
    EXPECT_EQ(NoteAt(6), 13); // 57 normalised to 1, then up
    EXPECT_EQ(NoteAt(7), 6);  // 64 normalised to 50, then into the upper bank
    EXPECT_EQ(NoteAt(8), 0);
    EXPECT_EQ(GetCell(1, 0).instrument, 2);
    EXPECT_EQ(song.song_modified, 1);

    FillNotes({1, 13, 25, 31, 45, 56, 0});
    ShiftTrackOctave(false);
    EXPECT_EQ(NoteAt(0), 45); // C-2 -> C-1
    EXPECT_EQ(NoteAt(1), 1);
    EXPECT_EQ(NoteAt(2), 13);
    EXPECT_EQ(NoteAt(3), 19);
    EXPECT_EQ(NoteAt(4), 33);
    EXPECT_EQ(NoteAt(5), 44);
}

TEST_F(Model, OctaveShiftRefusedLeavesTrackNormalised) {
    FillNotes({20, 57, 64, 5});
    ShiftTrackOctave(true); // G-3 has no octave above
    EXPECT_EQ(NoteAt(0), 20);
    EXPECT_EQ(NoteAt(1), 1);
    EXPECT_EQ(NoteAt(2), 50);
    EXPECT_EQ(NoteAt(3), 5);

    FillNotes({13, 5, 35});
    ShiftTrackOctave(false); // lowest octave
    EXPECT_EQ(NoteAt(0), 13);
    EXPECT_EQ(NoteAt(2), 35);

    FillNotes({13, 5});
    SetCell(1, 2, Cell{CMD_PATTERN_BREAK, NOTE_COMMAND});
    ShiftTrackOctave(false); // any command blocks the downward shift
    EXPECT_EQ(NoteAt(0), 13);
    ShiftTrackOctave(true); // upward, commands stay and the notes move
    EXPECT_EQ(NoteAt(0), 25);
    EXPECT_EQ(NoteAt(1), 17);
    EXPECT_EQ(GetCell(1, 2), (Cell{CMD_PATTERN_BREAK, NOTE_COMMAND}));
}

TEST_F(Model, InstrumentShiftRenumbersMatchingCells) {
    song.song_positions[0][0] = 1;
    SetCell(1, 0, Cell{0, 10});
    SetCell(1, 1, Cell{3, 10});
    ShiftTrackInstruments(true);
    EXPECT_EQ(GetCell(1, 0), (Cell{1, 10}));
    EXPECT_EQ(GetCell(1, 1), (Cell{3, 10}));
    EXPECT_EQ(GetCell(1, 63), (Cell{1, 0})); // empty cells hold instrument 0 too
    EXPECT_EQ(current_instrument, 1);
    EXPECT_EQ(DisplayCalls::selectors, 1);
    EXPECT_EQ(song.song_modified, 1);

    current_instrument = 0;
    SetCell(1, 5, Cell{0, 255}); // a command with code 0 is renumbered as well
    ShiftTrackInstruments(false);
    EXPECT_EQ(GetCell(1, 5), (Cell{15, 255}));
    EXPECT_EQ(current_instrument, 15);
}

TEST_F(Model, LastSoundTypeWalksBackThroughPositions) {
    SoundBank[2].soundType = 2;
    SoundBank[3].soundType = 3;
    SetSongSize(3);
    SetTracks(0, 1, 0, 0, 0);
    SetTracks(1, 2, 0, 0, 0);
    SetTracks(2, 3, 0, 0, 0);

    // Nothing but empty cells: one lap, then -1.
    play.current_position = 1;
    play.current_row = 10;
    EXPECT_EQ(FindLastSoundType(), -1);

    // Earlier in the same track; notes of instrument 0 and unknown instruments are passed over.
    SetCell(2, 3, Cell{2, 10});
    SetCell(2, 5, Cell{0, 10});
    SetCell(2, 6, Cell{20, 10});
    EXPECT_EQ(FindLastSoundType(), 2);
    // Rows at and after the cursor do not count.
    play.current_row = 3;
    EXPECT_EQ(FindLastSoundType(), -1);

    // From position 0 the walk wraps to the last position.
    SetCell(3, 40, Cell{3, 1});
    play.current_position = 0;
    play.current_row = 0;
    EXPECT_EQ(FindLastSoundType(), 3);
    // A command met first ends the search.
    SetCell(3, 50, Cell{CMD_STOP_MUSIC, NOTE_COMMAND});
    EXPECT_EQ(FindLastSoundType(), -1);

    // A cursor left outside the song still ends.
    SetCell(3, 50, Cell{});
    SetCell(3, 40, Cell{});
    SetCell(2, 3, Cell{});
    play.current_position = 40;
    EXPECT_EQ(FindLastSoundType(), -1);
}

} // namespace
