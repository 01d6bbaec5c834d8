#include "shell/pattern_view.h"

#include "shell/settings_file.h"
#include "song/sequencer.h"
#include "sound/instrument_bank.h"

#include <cstdio>

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr int kBoxRows = 4; // rows above and below the cursor row

void SetText(int id, const std::string& text) {
    desktop().SetControlText(MAIN_WINDOW, id, text);
}

int ClampRow(int row) {
    return row < 0 ? 0 : (row >= TRACK_ROWS ? TRACK_ROWS - 1 : row);
}

void CurrentTracks(int out[CHANNEL_COUNT]) {
    const int p = play.current_position.load(kRelaxed);
    for (int c = 0; c < CHANNEL_COUNT; ++c) out[c] = TrackAt(p, c);
}

// Lines for rows first..first+3: the cell text or, outside the track, an empty line.
std::string BoxLines(int track, int first) {
    std::string text;
    for (int r = first; r < first + kBoxRows; ++r) {
        if (r >= 0 && r < TRACK_ROWS) text += CellText(GetCell(track, r));
        text += '\n';
    }
    return text;
}

struct ToolTip {
    int id;
    const char* text;
};

// The metronome hint ends with a superscript two in UTF-8.
constexpr ToolTip kToolTips[] = {
    {COUNTDOWN_BUTTON, "CountDown Status."},
    {BUTTON_RECORD, "Toggles Record ON/OFF. <SPACE>"},
    {BUTTON_STOP, "Stops Music when playing. <ENTER>"},
    {BUTTON_PLAY_SONG, "Starts Music playing. <ENTER>"},
    {BUTTON_PLAY_PATTERN, "Starts Pattern playing. <BACK SPACE>"},
    {BUTTON_OCTAVE, "Toggles Between Octaves. <TAB>"},
    {BUTTON_METRONOME, "Toggles Metronome ON/OFF. <\xC2\xB2>"},
    {MUTE_BUTTON[0], "Toggles Channel 1 output ON/OFF. <F5>"},
    {MUTE_BUTTON[1], "Toggles Channel 2 output ON/OFF. <F6>"},
    {MUTE_BUTTON[2], "Toggles Channel 3 output ON/OFF. <F7>"},
    {MUTE_BUTTON[3], "Toggles Channel 4 output ON/OFF. <F8>"},
    {BUTTON_CLEAR_TRACK, "Clear Current Track. <>"},
    {BUTTON_COPY_TRACK, "Copy Current Track to Memory. <Ctrl-C>"},
    {BUTTON_PASTE_TRACK, "Paste Memory to Current Track. <Ctrl-V>"},
    {BUTTON_SOUND_EDITOR, "Goto Instrument Creation Window. <>"},
    {BUTTON_LOOP, "Song looping on/off. <>"},
    {INSTRUMENT_SELECTOR, "Currently used Instrument."},
    {BUTTON_COPY_PATTERN, "Copy Current Pattern Data to Memory. <Shift-C>"},
    {BUTTON_PASTE_PATTERN, "Paste Memory Data to Current Pattern. <Shift-V>"},
    {0, " "}, // the table's last entry names no control and is skipped
};

} // namespace

std::string CellText(Cell cell) {
    char text[16];
    std::snprintf(text, sizeof text, "%s:00:%x", NoteName(cell.note), cell.instrument);
    return text;
}

std::string UpperBoxText(int track, int row) {
    row = ClampRow(row);
    return row == 0 ? std::string() : BoxLines(track, row - kBoxRows);
}

std::string LowerBoxText(int track, int row) {
    row = ClampRow(row);
    return row == TRACK_ROWS - 1 ? std::string() : BoxLines(track, row + 1);
}

std::string RowNumbersText(int row) {
    row = ClampRow(row);
    std::string text;
    for (int r = row - kBoxRows; r < row; ++r) {
        if (r >= 0) text += std::to_string(r + 1);
        text += '\n';
    }
    text += '\n' + std::to_string(row + 1);
    if (row + 1 < TRACK_ROWS) {
        text += '\n';
        for (int r = row + 1; r <= row + kBoxRows && r < TRACK_ROWS; ++r)
            text += '\n' + std::to_string(r + 1);
    }
    return text;
}

std::string CellStatusText(Cell cell) {
    char text[128];
    if (IsEmptyCell(cell)) return "No note or command...";
    if (IsCommandCell(cell)) {
        if (cell.instrument <= CMD_STOP_SOUND_TYPE_LAST) {
            std::snprintf(text, sizeof text, "Stopping Instrument on sound type %d.",
                          cell.instrument + 1);
            return text;
        }
        if (cell.instrument == CMD_PATTERN_BREAK) return "Restart pattern from this point.";
        if (cell.instrument == CMD_STOP_MUSIC) return "Stop music at this point.";
        return "No note or command...";
    }
    if (cell.instrument >= INSTRUMENT_COUNT) {
        // A cell from a file may name an instrument the bank does not have.
        std::snprintf(text, sizeof text, "Instr : (%x) ?[?] - Note %s.", cell.instrument,
                      NoteName(cell.note));
        return text;
    }
    const Instrument& k = SoundBank[cell.instrument];
    std::snprintf(text, sizeof text, "Instr : (%x) %.*s[%d] - Note %s.", cell.instrument,
                  INSTRUMENT_NAME_SIZE - 1, k.name, static_cast<int>(k.soundType) + 1,
                  NoteName(cell.note));
    return text;
}

void RedrawPatternView(int row, int position) {
    row = ClampRow(row);
    SelectCurrentEntries();
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        const int track = TrackAt(position, c);
        SetText(UPPER_BOX[c], UpperBoxText(track, row));
        SetText(CURSOR_BOX[c], CellText(GetCell(track, row)));
        SetText(LOWER_BOX[c], LowerBoxText(track, row));
    }
    SetText(ROW_NUMBERS, RowNumbersText(row));
    ColourPatternView();
}

void ShowSongInfo() {
    SelectCurrentEntries();
    char text[64];
    std::snprintf(text, sizeof text, "Song size : %d patterns.", song.song_size.load(kRelaxed));
    SetText(SONG_SIZE_TEXT, text);
    std::snprintf(text, sizeof text, "Song position : %d.",
                  play.current_position.load(kRelaxed) + 1);
    SetText(SONG_POSITION_TEXT, text);
}

void ShowCursorCell() {
    const int track =
        TrackAt(play.current_position.load(kRelaxed), play.current_channel.load(kRelaxed) & 3);
    SetText(STATUS_LINE, CellStatusText(GetCell(track, play.current_row.load(kRelaxed))));
}

void FillSelectors(const int trackNumbers[CHANNEL_COUNT], int instrument) {
    Desktop& p = desktop();
    char text[64];
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        p.ComboReset(MAIN_WINDOW, TRACK_SELECTOR[c]);
        for (int t = 0; t < TRACK_COUNT; ++t) {
            std::snprintf(text, sizeof text, "%02d", t);
            p.ComboAdd(MAIN_WINDOW, TRACK_SELECTOR[c], text);
        }
    }
    p.ComboReset(MAIN_WINDOW, INSTRUMENT_SELECTOR);
    for (int k = 0; k < INSTRUMENT_COUNT; ++k) {
        FormatInstrumentLabel(k, text, sizeof text);
        p.ComboAdd(MAIN_WINDOW, INSTRUMENT_SELECTOR, text);
    }
    SelectEntries(trackNumbers, instrument);
}

void SelectEntries(const int trackNumbers[CHANNEL_COUNT], int instrument) {
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        desktop().ComboSelect(MAIN_WINDOW, TRACK_SELECTOR[c], trackNumbers[c]);
    desktop().ComboSelect(MAIN_WINDOW, INSTRUMENT_SELECTOR, instrument);
}

void FillCurrentSelectors() {
    int tracksNow[CHANNEL_COUNT];
    CurrentTracks(tracksNow);
    FillSelectors(tracksNow, current_instrument.load(kRelaxed));
}

void SelectCurrentEntries() {
    int tracksNow[CHANNEL_COUNT];
    CurrentTracks(tracksNow);
    SelectEntries(tracksNow, current_instrument.load(kRelaxed));
}

void ShowMuteButtons(int id) {
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        if (id == MUTE_BUTTON[c])
            play.channel_muted[c].store(!play.channel_muted[c].load(kRelaxed), kRelaxed);
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        desktop().SetControlImage(MAIN_WINDOW, MUTE_BUTTON[c],
                                  play.channel_muted[c].load(kRelaxed) ? BITMAP_SPEAKER_OFF
                                                                       : BITMAP_SPEAKER_ON);
}

void ShowOctaveButton() {
    desktop().SetControlImage(MAIN_WINDOW, BUTTON_OCTAVE,
                              settings.octave_shift ? BITMAP_OCTAVE_LOW : BITMAP_OCTAVE_HIGH);
}

void ShowMetronomeButton() {
    desktop().SetControlImage(MAIN_WINDOW, BUTTON_METRONOME,
                              play.metronome_enabled.load(kRelaxed) ? BITMAP_METRONOME_ON
                                                                    : BITMAP_METRONOME_OFF);
}

void ColourPatternView() {
    const int highlighted = play.current_channel.load(kRelaxed) & 3;
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        const Rgb background = c == highlighted ? HIGHLIGHT_BACKGROUND : NORMAL_BACKGROUND;
        desktop().SetControlColors(MAIN_WINDOW, UPPER_BOX[c], BOX_TEXT, background);
        desktop().SetControlColors(MAIN_WINDOW, CURSOR_BOX[c], CURSOR_TEXT, background);
        desktop().SetControlColors(MAIN_WINDOW, LOWER_BOX[c], BOX_TEXT, background);
    }
}

std::array<Rgb, METER_ROWS> MeterRows(int level) {
    int lit = level / 100;
    lit = lit < 1 ? 1 : (lit > METER_ROWS ? METER_ROWS : lit);
    std::array<Rgb, METER_ROWS> rows{};
    for (int r = 0; r < METER_ROWS; ++r) {
        if (r < METER_ROWS - lit)
            rows[r] = METER_OFF;
        else if (r >= 20)
            rows[r] = METER_GREEN; // rows 20..40: 21 green
        else if (r >= 7)
            rows[r] = METER_YELLOW; // rows 7..19: 13 yellow
        else
            rows[r] = METER_RED; // rows 0..6: 7 red
    }
    return rows;
}

void DrawMeters() {
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        const auto rows = MeterRows(play.channel_level[c].load(kRelaxed));
        desktop().PaintRows(MAIN_WINDOW, LEVEL_METER[c], rows.data(), METER_ROWS);
    }
}

void SetUpToolTips() {
    for (const ToolTip& tip : kToolTips)
        if (tip.id != 0) desktop().SetToolTip(MAIN_WINDOW, tip.id, tip.text);
}
