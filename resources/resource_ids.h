// Resource ids: every dialog, menu, menu command, control and bitmap id of the program, one name
// each. The dialog templates, the logic and the tests all use these names. Control ids are per
// dialog, so two controls of different dialogs may share a number (1118, 1218).
//
// Sections: main window 105 and menu 106 | sound editor 101 | About box 102 | bitmaps | Keys
// window 103 | pattern window 104.
//
// This header is the lowest layer: it includes nothing. Constants only, safe from any thread.
#pragma once

// ------------------------------------------------------------ main window 105 and menu 106

constexpr int MAIN_WINDOW = 105; // modeless main window
constexpr int MENU_MAIN = 106;   // menu bar of the main window

// Menu commands.
constexpr int CMD_QUIT = 1201;
constexpr int CMD_NEW_SONG = 1203;
constexpr int CMD_UNDO = 1204; // Edit menu
constexpr int CMD_REDO = 1205;
constexpr int CMD_SAVE_SONG = 1206;
constexpr int CMD_LOAD_SONG = 1207;
constexpr int CMD_EXPORT_WAV = 1208;
constexpr int CMD_AZERTY_KEYS = 1209; // note keys from the A key (keyboard_layout 0)
constexpr int CMD_QWERTY_KEYS = 1210; // note keys from the Q key (keyboard_layout 1)
constexpr int CMD_SOUND_EDITOR = 1211;
constexpr int CMD_SAVE_SAMPLES = 1216;
constexpr int CMD_LOAD_SAMPLES = 1217;
constexpr int CMD_ABOUT = 1218;
constexpr int CMD_KEYS = 1280;           // About menu: the Keys window
constexpr int CMD_PATTERN_WINDOW = 1281; // Program menu: the pattern window on or off
// Program menu, "MIDI Input": connect every keyboard, connect none, or one port. The port items
// are slots filled with the names of the ports there are; an item without a text is hidden.
constexpr int CMD_MIDI_AUTOMATIC = 1290;
constexpr int CMD_MIDI_NONE = 1291;
constexpr int CMD_MIDI_PORT_FIRST = 1400;
constexpr int MIDI_PORT_SLOTS = 32;
// Program menu, "Audio latency": the output device's period (shell/sound_status.h).
constexpr int CMD_AUDIO_LATENCY_LOW = 1295;
constexpr int CMD_AUDIO_LATENCY_NORMAL = 1296;
constexpr int CMD_AUDIO_LATENCY_SAFE = 1297;

// Pattern view, one control per channel, channel 1 first.
constexpr int UPPER_BOX[] = {1050, 1053, 1054, 1055};      // rows r-4 .. r-1 above the cursor row r
constexpr int CURSOR_BOX[] = {1051, 1059, 1060, 1061};     // the cursor row r
constexpr int LOWER_BOX[] = {1052, 1056, 1057, 1058};      // rows r+1 .. r+4
constexpr int TRACK_SELECTOR[] = {1231, 1232, 1233, 1234}; // the channel's track at this position
constexpr int MUTE_BUTTON[] = {1257, 1258, 1259, 1260};    // the channel's output on or off
constexpr int LEVEL_METER[] = {1267, 1268, 1269, 1270};    // frames the code paints into
constexpr int ROW_NUMBERS = 1102;                          // the column beside the boxes

// Buttons.
constexpr int BUTTON_PLAY_SONG = 1087;
constexpr int BUTTON_STOP = 1088;
constexpr int BUTTON_RECORD = 1089; // record mode on or off
constexpr int BUTTON_PLAY_PATTERN = 1111;
constexpr int BUTTON_COPY_TRACK = 1115;
constexpr int BUTTON_PASTE_TRACK = 1116;
constexpr int BUTTON_CLEAR_TRACK = 1117;
constexpr int BUTTON_SOUND_EDITOR = 1118; // opens dialog 101
constexpr int BUTTON_COPY_PATTERN = 1119;
constexpr int BUTTON_PASTE_PATTERN = 1120;
constexpr int BUTTON_OCTAVE = 1261;    // octave toggle
constexpr int BUTTON_METRONOME = 1262; // metronome on or off
constexpr int COUNTDOWN_BUTTON = 1263; // the count-down display
constexpr int BUTTON_LOOP = 1272;      // song looping on or off

// Song information: each setting's text and its scroll bar.
constexpr int SONG_SIZE_TEXT = 1082; // also where the keyboard focus is parked
constexpr int SONG_POSITION_TEXT = 1081;
constexpr int TEMPO_TEXT = 1113;
constexpr int CURSOR_STEP_TEXT = 1274;
constexpr int METRONOME_STEP_TEXT = 1275;
constexpr int COUNTDOWN_TEXT = 1276;
constexpr int SCROLL_SONG_SIZE = 1238;
constexpr int SCROLL_POSITION = 1237;
constexpr int SCROLL_TEMPO = 1236;
constexpr int SCROLL_CURSOR_STEP = 1239;
constexpr int SCROLL_METRONOME_STEP = 1241;
constexpr int SCROLL_COUNTDOWN = 1243;

// The rest.
constexpr int INSTRUMENT_SELECTOR = 1240; // the current instrument
constexpr int STATUS_LINE = 1242;         // the cursor cell in words

// -------------------------------------------------------------------------- sound editor 101

constexpr int DIALOG_SOUND_EDITOR = 101; // modal

constexpr int EDITOR_INSTRUMENT_LIST = 1118; // combo box; its edit field holds the name
constexpr int EDITOR_INIT_VOLUME_BAR = 1121;
constexpr int EDITOR_FADE_BAR = 1122;
constexpr int EDITOR_INIT_VOLUME_TEXT = 1123;
constexpr int EDITOR_FADE_TEXT = 1124;
constexpr int EDITOR_LENGTH_BAR = 1125;
constexpr int EDITOR_USE_LENGTH = 1126; // check box "Use Length"
constexpr int EDITOR_LENGTH_TEXT = 1127;
constexpr int EDITOR_PERIOD_TEXT = 1128;
constexpr int EDITOR_PITCH_BEND_TEXT = 1129;
constexpr int EDITOR_PERIOD_BAR = 1130;
constexpr int EDITOR_PITCH_BEND_BAR = 1131;
constexpr int EDITOR_DISPLAY = 1132; // the waveform display, a frame the code paints into
constexpr int EDITOR_PLAY = 1138;
constexpr int EDITOR_STOP = 1139;
constexpr int EDITOR_SOUND_TYPE_1 = 1212;   // radio buttons 1212..1215: sound types 0..3
constexpr int EDITOR_TEST_FREQUENCY = 1218; // edit field
constexpr int EDITOR_WAVEFORM_BAR = 1219;
constexpr int EDITOR_WAVEFORM_TEXT = 1220;
constexpr int EDITOR_WAVEFORM_TYPE_LIST = 1221;
constexpr int EDITOR_WAVEFORM_TYPE_GROUP = 1222; // group box around the list, enabled with it

// ----------------------------------------------------------------------------- About box 102

constexpr int DIALOG_ABOUT = 102;        // modeless
constexpr int DIALOG_KEYS = 103;         // modeless: the note and command keys
constexpr int ABOUT_VERSION_TEXT = 1266; // receives the version line when the box opens

// ------------------------------------------------------------------------------------ bitmaps

// Bitmaps of the main window's buttons, one SVG file each under resources/bitmaps/ named by id.
constexpr int BITMAP_PLAY_SONG = 111;
constexpr int BITMAP_STOP = 112;
constexpr int BITMAP_PLAY_PATTERN = 113;
constexpr int BITMAP_RECORD_OFF = 114;
constexpr int BITMAP_RECORD_ON = 115;
constexpr int BITMAP_COPY_TRACK = 116;
constexpr int BITMAP_CLEAR_TRACK = 117;
constexpr int BITMAP_PASTE_TRACK = 118;
constexpr int BITMAP_SPEAKER_ON = 119;  // channel sounding
constexpr int BITMAP_SPEAKER_OFF = 120; // channel muted
constexpr int BITMAP_OCTAVE_LOW = 121;
constexpr int BITMAP_OCTAVE_HIGH = 122;
constexpr int BITMAP_METRONOME_ON = 123;
constexpr int BITMAP_METRONOME_OFF = 124;
constexpr int BITMAP_SOUND_EDITOR = 125;
constexpr int BITMAP_COUNTDOWN_5 = 126; // the count-down display showing "5"
constexpr int BITMAP_COUNTDOWN_4 = 127;
constexpr int BITMAP_COUNTDOWN_3 = 128;
constexpr int BITMAP_COUNTDOWN_2 = 129;
constexpr int BITMAP_COUNTDOWN_1 = 130;
constexpr int BITMAP_COUNTDOWN_BLANK = 131; // all segments dark
constexpr int BITMAP_LOOP_ON = 133;
constexpr int BITMAP_LOOP_OFF = 134;
constexpr int BITMAP_COPY_PATTERN = 141;
constexpr int BITMAP_PASTE_PATTERN = 142;

// Count-down n (1..6) shows bitmap COUNTDOWN_BITMAP_BASE - n: "5" for 6 down to the blank for 1.
constexpr int COUNTDOWN_BITMAP_BASE = BITMAP_COUNTDOWN_BLANK + 1;

// Pictures of the main window, decoration only.
constexpr int BITMAP_SOUND_CHIP = 138;      // top left
constexpr int BITMAP_CLEF = 145;            // clef and staff behind the level meters
constexpr int BITMAP_TITLE_LETTERING = 144; // the words "Music Editing System."

// The window and program icon, resources/bitmaps/icon.svg: named by this text, not a number.
constexpr const char BITMAP_ICON[] = "icon";

// ------------------------------------------------------------------ Keys window 103
// Key caps in four rows of up to ten, laid out as on the keyboard: row r, column c is
// KEYS_CAP_FIRST + 10 * r + c. Each shows the key and the note it plays.
constexpr int KEYS_CAP_FIRST = 1301;
constexpr int KEYS_ROWS = 4, KEYS_COLUMNS = 10;
constexpr int KEYS_LAYOUT_TEXT = 1341;   // which note layout the caps show
constexpr int KEYS_COMMANDS_LEFT = 1342; // the command keys and what each does, two columns
constexpr int KEYS_COMMANDS_RIGHT = 1343;

// ---------------------------------------------------------------- pattern window 104
// A resizable window beside the main window: the whole pattern at the song position as a grid
// the code paints, the cursor and the playing row marked.
constexpr int DIALOG_PATTERN = 104; // modeless, resizable
constexpr int PATTERN_GRID = 1350;  // the grid; it fills the window
