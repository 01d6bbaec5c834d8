// The sound editor through the fake platform: opening, the labels and the enable table per sound
// type, the scroll bars, renaming, switching instruments, playing, closing from the main window,
// the waveform display, and the working copy that the sequencer cannot disturb.
#include "shell/sound_editor_window.h"

#include "platform/fake_platform.h"
#include "resources/resource_ids.h"
#include "shell/main_window.h"
#include "shell/pattern_view.h"
#include "song/song_model.h"
#include "sound/audio_output.h"
#include "sound/sound_engine.h"
#include "sound/synthesis.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr int D = DIALOG_SOUND_EDITOR;
constexpr int kWidth = 500, kHeight = 50;

// Runs the events of a modal dialog: opening, then what the test does, then the close box.
class ModalFake : public FakePlatform {
  public:
    std::function<void()> whileOpen;
    void RunModalDialog(int dialog, DialogEvents* events) override {
        FakePlatform::RunModalDialog(dialog, events);
        if (whileOpen) whileOpen();
        if (events) events->OnClose();
    }
};

class SoundEditorTest : public ::testing::Test {
  protected:
    ModalFake fake;

    void SetUp() override {
        InstallFake(&fake);
        ResetSong();
        song.song_modified = 0;
        {
            const EngineLockGuard lock(sound_engine_lock);
            InitSoundBank();
        }
        StartAudio();
        fake.control(D, EDITOR_DISPLAY).pixelWidth = kWidth;
        fake.control(D, EDITOR_DISPLAY).pixelHeight = kHeight;
    }
    void TearDown() override {
        sound_editor_open = 0;
        InstallFake(nullptr);
    }

    void Open() { sound_editor().OnInit(); }
    FakePlatform::Control& control(int id) { return fake.control(D, id); }
    std::string text(int id) { return control(id).text; }
    bool enabled(int id) { return control(id).enabled; }
    void Click(int id) { sound_editor().OnCommand(id, CMD_CLICKED); }
    void Scroll(int id, int code, int position = 0) { sound_editor().OnScroll(id, code, position); }
    void ChooseType(int t) {
        control(EDITOR_SOUND_TYPE_1 + t).checked = true;
        Click(EDITOR_SOUND_TYPE_1 + t);
    }
    void Choose(int instrument) {
        control(EDITOR_INSTRUMENT_LIST).selection = instrument;
        sound_editor().OnCommand(EDITOR_INSTRUMENT_LIST, CMD_COMBO_CHOSEN);
    }
};

// ------------------------------------------------------------------------- opening and labels

TEST_F(SoundEditorTest, OpeningFillsTheListsAndShowsAFreshInstrument) {
    current_instrument = 2;
    Open();
    EXPECT_EQ(sound_editor_open, 1);
    EXPECT_TRUE(sound_editor().IsOpen());
    EXPECT_EQ(control(EDITOR_WAVEFORM_TYPE_LIST).entries,
              (std::vector<std::string>{"Triangle", "Quad", "Up", "Fish", "Spec-Sin", "Brol1",
                                        "Brol2", "Brol3"}));
    EXPECT_EQ(control(EDITOR_WAVEFORM_TYPE_LIST).selection, 0);
    ASSERT_EQ(control(EDITOR_INSTRUMENT_LIST).entries.size(), 16u);
    EXPECT_EQ(control(EDITOR_INSTRUMENT_LIST).entries[15], "dummy 15");
    EXPECT_EQ(control(EDITOR_INSTRUMENT_LIST).selection, 2);
    EXPECT_EQ(text(EDITOR_INSTRUMENT_LIST), "dummy 2");

    EXPECT_EQ(text(EDITOR_INIT_VOLUME_TEXT), "Init Volume : 0");
    EXPECT_EQ(text(EDITOR_FADE_TEXT), "Fade : -7");
    EXPECT_EQ(text(EDITOR_PITCH_BEND_TEXT), "Pitch Bend : -7");
    EXPECT_EQ(text(EDITOR_PERIOD_TEXT), "Period : 0");
    EXPECT_EQ(text(EDITOR_LENGTH_TEXT), "Snd Len : 0.25 sec");
    EXPECT_EQ(text(EDITOR_WAVEFORM_TEXT), "0");
    EXPECT_EQ(text(EDITOR_TEST_FREQUENCY), "128");
    EXPECT_TRUE(control(EDITOR_SOUND_TYPE_1).checked);
    EXPECT_FALSE(control(EDITOR_USE_LENGTH).checked);

    const int ranges[][3] = {{1121, 0, 15}, {1122, 0, 14}, {1125, 0, 99},
                             {1130, 0, 7},  {1131, 0, 14}, {1219, 0, 3}};
    for (const auto& r : ranges) {
        EXPECT_EQ(control(r[0]).minimum, r[1]) << r[0];
        EXPECT_EQ(control(r[0]).maximum, r[2]) << r[0];
    }
    EXPECT_EQ(control(EDITOR_LENGTH_BAR).position, 25);

    // The fade bar at its right end shows 7.
    Scroll(EDITOR_FADE_BAR, SB_THUMBPOSITION, 14);
    EXPECT_EQ(text(EDITOR_FADE_TEXT), "Fade : 7");
    Scroll(EDITOR_FADE_BAR, SB_LINEDOWN);
    EXPECT_EQ(control(EDITOR_FADE_BAR).position, 14);
}

TEST_F(SoundEditorTest, OpeningLoadsTheCurrentInstrumentEvenWhileAStartedFlagIsSet) {
    SoundBank[0].initVolume = 9;
    engine.ActiveSound.initVolume = 3;
    engine.sound_started[0] = 1;
    Open();
    EXPECT_EQ(text(EDITOR_INIT_VOLUME_TEXT), "Init Volume : 9");
}

// ------------------------------------------------------------------------- the enable table

TEST_F(SoundEditorTest, EachSoundTypeEnablesItsControls) {
    Open();
    // init volume, fade, period, pitch bend, waveform, waveform type: on per type 0..3
    const int rows[][2] = {{1121, 1123}, {1122, 1124}, {1130, 1128},
                           {1131, 1129}, {1219, 1220}, {1221, 1222}};
    const bool table[6][4] = {{true, true, false, true},   {true, true, false, true},
                              {true, false, false, false}, {true, false, false, false},
                              {true, true, false, false},  {false, false, true, false}};
    for (int t = 3; t >= 0; --t) {
        ChooseType(t);
        for (int r = 0; r < 6; ++r) {
            EXPECT_EQ(enabled(rows[r][0]), table[r][t]) << rows[r][0] << " type " << t;
            EXPECT_EQ(enabled(rows[r][1]), table[r][t]) << rows[r][1] << " type " << t;
        }
        for (int id : {1125, 1126, 1138, 1139, 1218, 1118, 1212, 1213, 1214, 1215})
            EXPECT_TRUE(enabled(id)) << id << " type " << t;
        for (int u = 0; u < 4; ++u) EXPECT_EQ(control(1212 + u).checked, u == t);
        EXPECT_EQ(engine.ActiveSound.soundType, t);
    }
}

TEST_F(SoundEditorTest, SoundLengthIsHeldAt25ExceptForTheTableWaveform) {
    Open();
    for (int t : {0, 1, 3}) {
        ChooseType(t);
        Scroll(EDITOR_LENGTH_BAR, SB_THUMBTRACK, 60);
        EXPECT_EQ(text(EDITOR_LENGTH_TEXT), "Snd Len : 0.25 sec") << t;
        EXPECT_EQ(control(EDITOR_LENGTH_BAR).position, 25) << t;
    }
    ChooseType(2);
    Scroll(EDITOR_LENGTH_BAR, SB_THUMBTRACK, 60);
    EXPECT_EQ(text(EDITOR_LENGTH_TEXT), "Snd Len : 0.60 sec");
    EXPECT_EQ(control(EDITOR_LENGTH_BAR).position, 60);
    // Leaving type 2 takes the length back to 25.
    ChooseType(0);
    EXPECT_EQ(text(EDITOR_LENGTH_TEXT), "Snd Len : 0.25 sec");
}

TEST_F(SoundEditorTest, ADisabledScrollBarDoesNotReact) {
    Open();
    Scroll(EDITOR_PERIOD_BAR, SB_THUMBPOSITION, 5);
    EXPECT_EQ(text(EDITOR_PERIOD_TEXT), "Period : 5");
    ChooseType(1);
    ASSERT_FALSE(enabled(EDITOR_PERIOD_BAR));
    Scroll(EDITOR_PERIOD_BAR, SB_LINEDOWN);
    Scroll(EDITOR_PERIOD_BAR, SB_THUMBTRACK, 1);
    EXPECT_EQ(text(EDITOR_PERIOD_TEXT), "Period : 5");
    EXPECT_EQ(control(EDITOR_PERIOD_BAR).position, 5);
    // Page steps and the end of a scroll leave an enabled bar as it was.
    Scroll(EDITOR_INIT_VOLUME_BAR, SB_LINEDOWN);
    Scroll(EDITOR_INIT_VOLUME_BAR, SB_PAGEDOWN);
    Scroll(EDITOR_INIT_VOLUME_BAR, SB_ENDSCROLL);
    EXPECT_EQ(text(EDITOR_INIT_VOLUME_TEXT), "Init Volume : 1");
    Scroll(EDITOR_INIT_VOLUME_BAR, SB_THUMBTRACK, 99);
    EXPECT_EQ(text(EDITOR_INIT_VOLUME_TEXT), "Init Volume : 15");
}

// ------------------------------------------------------------------------- names and switching

TEST_F(SoundEditorTest, ARenamedInstrumentShowsInTheListBeforeItIsStored) {
    Open();
    control(EDITOR_INSTRUMENT_LIST).text = "Bass line";
    sound_editor().OnCommand(EDITOR_INSTRUMENT_LIST, CMD_COMBO_OPENED);
    EXPECT_EQ(control(EDITOR_INSTRUMENT_LIST).entries[0], "Bass line");
    EXPECT_EQ(control(EDITOR_INSTRUMENT_LIST).entries.size(), 16u);
    EXPECT_EQ(control(EDITOR_INSTRUMENT_LIST).selection, 0);
    EXPECT_EQ(text(EDITOR_INSTRUMENT_LIST), "Bass line");
    EXPECT_STREQ(SoundBank[0].name, "dummy 0");
}

TEST_F(SoundEditorTest, ChoosingAnotherInstrumentStoresTheEditsAndLoadsIt) {
    SoundBank[3].soundType = 2;
    SoundBank[3].waveformType = 4;
    Open();
    Scroll(EDITOR_INIT_VOLUME_BAR, SB_THUMBPOSITION, 12);
    control(EDITOR_INSTRUMENT_LIST).text = std::string(40, 'n'); // 9 more than a name holds
    control(EDITOR_TEST_FREQUENCY).text = "440";
    Choose(3);
    EXPECT_EQ(SoundBank[0].initVolume, 12);
    EXPECT_EQ(SoundBank[0].testFrequency, 440);
    EXPECT_EQ(std::string(SoundBank[0].name), std::string(31, 'n'));
    EXPECT_EQ(current_instrument, 3);
    EXPECT_EQ(song.song_modified, 1);
    EXPECT_EQ(text(EDITOR_INSTRUMENT_LIST), "dummy 3");
    EXPECT_EQ(text(EDITOR_INIT_VOLUME_TEXT), "Init Volume : 0");
    EXPECT_EQ(control(EDITOR_WAVEFORM_TYPE_LIST).selection, 4);
    EXPECT_TRUE(control(EDITOR_SOUND_TYPE_1 + 2).checked);
    EXPECT_TRUE(enabled(EDITOR_WAVEFORM_TYPE_LIST));

    // A list that already put the chosen entry into the name field keeps the name typed before
    // the list opened.
    control(EDITOR_INSTRUMENT_LIST).text = "Lead";
    sound_editor().OnCommand(EDITOR_INSTRUMENT_LIST, CMD_COMBO_OPENED);
    control(EDITOR_INSTRUMENT_LIST).text = "dummy 7";
    Choose(7);
    EXPECT_STREQ(SoundBank[3].name, "Lead");
    EXPECT_STREQ(SoundBank[7].name, "dummy 7");
}

TEST_F(SoundEditorTest, TheTestFrequencyFieldIsReadAsADecimalNumber) {
    Open();
    const std::pair<const char*, int> cases[] = {
        {"440", 440}, {"  -12x", -12}, {"abc", 0}, {"", 0}, {"99999999999", 2147483647}};
    for (const auto& [typed, expected] : cases) {
        control(EDITOR_TEST_FREQUENCY).text = typed;
        Click(EDITOR_USE_LENGTH);
        EXPECT_EQ(text(EDITOR_TEST_FREQUENCY), std::to_string(expected)) << typed;
    }
}

TEST_F(SoundEditorTest, WaveformTypeChoiceMarksTheSongModified) {
    Open();
    ChooseType(2);
    EXPECT_EQ(song.song_modified, 0);
    control(EDITOR_WAVEFORM_TYPE_LIST).selection = 6;
    sound_editor().OnCommand(EDITOR_WAVEFORM_TYPE_LIST, CMD_COMBO_CHOSEN);
    EXPECT_EQ(song.song_modified, 1);
    control(EDITOR_USE_LENGTH).checked = true;
    Click(EDITOR_USE_LENGTH);
    Click(EDITOR_PLAY);
    sound_editor().OnClose();
    EXPECT_EQ(SoundBank[0].waveformType, 6);
    EXPECT_EQ(SoundBank[0].useLength, 1);
}

// ------------------------------------------------------------------------- play and stop

TEST_F(SoundEditorTest, PlayRestartsTheSoundAndStopStopsIt) {
    Open();
    ChooseType(1);
    Scroll(EDITOR_INIT_VOLUME_BAR, SB_THUMBPOSITION, 15);
    Click(EDITOR_PLAY);
    EXPECT_EQ(fake.voices[1].plays, 1);
    EXPECT_EQ(engine.sound_started[1], 1);
    Click(EDITOR_PLAY); // the flag set by the first play does not hold back the second
    EXPECT_EQ(fake.voices[1].plays, 2);
    EXPECT_EQ(fake.voices[1].fills, 2);
    EXPECT_TRUE(fake.voices[1].playing);
    Click(EDITOR_STOP);
    EXPECT_FALSE(fake.voices[1].playing);
    // Enter (1), Escape (2) and anything else do nothing.
    Click(1);
    Click(2);
    EXPECT_TRUE(sound_editor().IsOpen());
}

// ------------------------------------------------------------------------- closing

TEST_F(SoundEditorTest, ClosingStoresTheEditsAndTheMainWindowMarksTheSong) {
    main_window().OnInit();
    song.song_modified = 0;
    UpdateTitle();
    fake.whileOpen = [this] {
        Scroll(EDITOR_FADE_BAR, SB_THUMBPOSITION, 10);
        control(EDITOR_INSTRUMENT_LIST).text = "pad";
        EXPECT_EQ(SoundBank[0].fade, 0); // not stored yet
    };
    main_window().OnCommand(CMD_SOUND_EDITOR, CMD_CLICKED);
    EXPECT_EQ(SoundBank[0].fade, 10);
    EXPECT_STREQ(SoundBank[0].name, "pad");
    EXPECT_EQ(sound_editor_open, 0);
    EXPECT_FALSE(sound_editor().IsOpen());
    EXPECT_EQ(song.song_modified, 1);
    EXPECT_EQ(fake.titles[MAIN_WINDOW], "Music Editor V2.10[Noname*]");
    EXPECT_EQ(fake.control(MAIN_WINDOW, INSTRUMENT_SELECTOR).entries[0], "(0)pad[1]");

    // The editor's close alone does not mark the song.
    song.song_modified = 0;
    Open();
    sound_editor().OnClose();
    EXPECT_EQ(song.song_modified, 0);
    ResetSongDisplay();
}

TEST_F(SoundEditorTest, TheSequencerLoadingAnotherInstrumentDoesNotDisturbTheEdit) {
    SoundBank[5].initVolume = 4;
    std::snprintf(SoundBank[5].name, INSTRUMENT_NAME_SIZE, "%s", "drum");
    Open();
    Scroll(EDITOR_FADE_BAR, SB_THUMBPOSITION, 11);
    {
        const EngineLockGuard lock(sound_engine_lock);
        LoadActiveSound(5); // as the tick does for a song note
    }
    Scroll(EDITOR_INIT_VOLUME_BAR, SB_LINEDOWN);
    EXPECT_EQ(text(EDITOR_INIT_VOLUME_TEXT), "Init Volume : 1");
    EXPECT_EQ(text(EDITOR_FADE_TEXT), "Fade : 4");

    // MIDI data stores the edited sound, not what the sequencer left in the working copy.
    {
        const EngineLockGuard lock(sound_engine_lock);
        LoadActiveSound(5);
    }
    main_window().OnMidi(0xB0, 1, 1);
    EXPECT_EQ(SoundBank[0].fade, 11);
    EXPECT_EQ(SoundBank[0].initVolume, 1);
    EXPECT_STREQ(SoundBank[0].name, "dummy 0");

    // A MIDI instrument change while the editor is open: closing stores into the instrument
    // the editor edits.
    current_instrument = 5;
    sound_editor().OnClose();
    EXPECT_EQ(SoundBank[5].initVolume, 4);
    EXPECT_STREQ(SoundBank[5].name, "drum");
}

// ------------------------------------------------------------------------- waveform display

TEST_F(SoundEditorTest, TheDisplayDrawsOneColumnPer178Samples) {
    std::vector<uint8_t> samples(RENDER_LENGTH, 128);
    samples[0] = 255;         // above the top: held at row 0
    samples[178] = 0;         // row 50 lies below the display and is not drawn
    samples[178 * 2] = 200;   // 50 - 200 / 5 = 10
    samples[178 * 460] = 250; // the last column inside the render
    std::vector<Rgb> px(size_t(kWidth) * kHeight);
    DrawWaveform(samples.data(), kWidth, kHeight, px.data());
    auto at = [&](int x, int y) { return px[size_t(y) * kWidth + size_t(x)]; };
    EXPECT_EQ(at(0, 0), DISPLAY_SAMPLE);
    EXPECT_EQ(at(1, 25), DISPLAY_CENTRE_LINE);
    for (int y = 0; y < kHeight; ++y)
        EXPECT_EQ(at(1, y), y == 25 ? DISPLAY_CENTRE_LINE : DISPLAY_BACKGROUND) << y;
    EXPECT_EQ(at(2, 10), DISPLAY_SAMPLE);
    EXPECT_EQ(at(3, 25), DISPLAY_SAMPLE); // silence: 50 - 128 / 5 = 25
    EXPECT_EQ(at(460, 0), DISPLAY_SAMPLE);
    EXPECT_EQ(at(461, 25), DISPLAY_SAMPLE); // past the render: the centre
    EXPECT_EQ(at(499, 25), DISPLAY_SAMPLE);
    int grey = 0;
    for (Rgb c : px) grey += c == DISPLAY_SAMPLE;
    EXPECT_EQ(grey, kWidth - 1);

    // A display taller than 256 pixels has no scale: every column sits on the centre line.
    std::vector<Rgb> tall(10 * 300);
    DrawWaveform(samples.data(), 10, 300, tall.data());
    EXPECT_EQ(tall[150 * 10 + 0], DISPLAY_SAMPLE);
    // One pixel high: the scale is 128.
    Rgb one[4];
    DrawWaveform(samples.data(), 4, 1, one);
    EXPECT_EQ(one[0], DISPLAY_SAMPLE);      // 1 - 255 / 128 = 0
    EXPECT_EQ(one[1], DISPLAY_CENTRE_LINE); // 1 - 0 / 128 = 1: below, not drawn
    EXPECT_EQ(one[3], DISPLAY_SAMPLE);      // 1 - 128 / 128 = 0
}

TEST_F(SoundEditorTest, TheEditorPaintsTheRenderAtTheDisplaySize) {
    Open();
    const auto& display = control(EDITOR_DISPLAY);
    EXPECT_EQ(display.paintedWidth, kWidth);
    EXPECT_EQ(display.paintedHeight, kHeight);
    const int before = display.paints;
    Scroll(EDITOR_INIT_VOLUME_BAR, SB_THUMBPOSITION, 15);
    EXPECT_GT(display.paints, before);
    std::vector<Rgb> expected(size_t(kWidth) * kHeight);
    DrawWaveform(engine.render_buffers[0], kWidth, kHeight, expected.data());
    EXPECT_EQ(display.pixels, expected);
    int above = 0; // a loud pulse reaches well away from the centre
    for (int x = 0; x < kWidth; ++x)
        for (int y = 0; y < 20; ++y)
            above += display.pixels[size_t(y) * kWidth + x] == DISPLAY_SAMPLE;
    EXPECT_GT(above, 0);
}

} // namespace
