// The dialog tables and the menu: well-formed tables, the controls the code addresses with their
// kinds and places, exact texts, and the menu bar.

#include "resources/dialog_template.h"
#include "resources/dialog_units.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

struct Rect {
    int x, y, width, height;
};

// The control `id` of `dialog`; fails the test when it is missing.
const ControlTemplate& Control(const DialogTemplate& dialog, int id) {
    const ControlTemplate* control = FindControl(dialog, id);
    if (control == nullptr) {
        ADD_FAILURE() << "dialog " << dialog.id << " has no control " << id;
        static const ControlTemplate none = {0, ControlKind::Static, 0, 0, 0, 0, "", 0, 0};
        return none;
    }
    return *control;
}

void ExpectControl(const DialogTemplate& dialog, int id, ControlKind kind, Rect r) {
    const ControlTemplate& c = Control(dialog, id);
    EXPECT_EQ(c.kind, kind) << "control " << id;
    EXPECT_EQ(c.x, r.x) << "control " << id;
    EXPECT_EQ(c.y, r.y) << "control " << id;
    EXPECT_EQ(c.width, r.width) << "control " << id;
    EXPECT_EQ(c.height, r.height) << "control " << id;
}

// The unnamed control of `dialog` with text `text`, or null.
const ControlTemplate* FindByText(const DialogTemplate& dialog, const std::string& text) {
    for (int i = 0; i < dialog.count; ++i) {
        if (dialog.controls[i].text == text) return &dialog.controls[i];
    }
    return nullptr;
}

// ------------------------------------------------------------- every table is well formed

class EveryDialog : public testing::TestWithParam<int> {
  protected:
    const DialogTemplate& dialog() const { return *FindDialogTemplate(GetParam()); }
};

INSTANTIATE_TEST_SUITE_P(Dialogs, EveryDialog, testing::Values(101, 102, 105));

TEST_P(EveryDialog, IsFoundByItsIdAndNamesItsFont) {
    ASSERT_NE(FindDialogTemplate(GetParam()), nullptr);
    EXPECT_EQ(dialog().id, GetParam());
    EXPECT_STREQ(dialog().fontFamily, "Times New Roman");
    EXPECT_GT(dialog().count, 0);
}

TEST_P(EveryDialog, ControlIdsAreUnique) {
    std::set<int> seen;
    for (int i = 0; i < dialog().count; ++i) {
        const int id = dialog().controls[i].id;
        if (id == CONTROL_NO_ID) continue;
        EXPECT_GT(id, 0);
        EXPECT_TRUE(seen.insert(id).second) << "id " << id << " twice";
    }
}

TEST_P(EveryDialog, EveryControlLiesInsideTheDialog) {
    for (int i = 0; i < dialog().count; ++i) {
        const ControlTemplate& c = dialog().controls[i];
        SCOPED_TRACE("control " + std::to_string(c.id) + " \"" + c.text + "\"");
        EXPECT_GE(c.x, 0);
        EXPECT_GE(c.y, 0);
        EXPECT_GT(c.width, 0);
        EXPECT_GT(VisibleHeight(c), 0);
        EXPECT_LE(c.x + c.width, dialog().width);
        EXPECT_LE(c.y + VisibleHeight(c), dialog().height);
    }
}

TEST_P(EveryDialog, StylesFitTheKinds) {
    for (int i = 0; i < dialog().count; ++i) {
        const ControlTemplate& c = dialog().controls[i];
        SCOPED_TRACE("control " + std::to_string(c.id));
        ASSERT_NE(c.text, nullptr);
        EXPECT_EQ(c.image != 0, c.kind == ControlKind::Picture);
        const uint32_t combo = c.style & (CTL_COMBO_EDITABLE | CTL_COMBO_LIST);
        if (c.kind == ControlKind::ComboBox) {
            EXPECT_TRUE(combo == CTL_COMBO_EDITABLE || combo == CTL_COMBO_LIST);
        } else {
            EXPECT_EQ(combo | (c.style & CTL_SORTED), 0u);
        }
        if (c.kind == ControlKind::Frame) {
            EXPECT_NE(c.style & (CTL_BLACK_FRAME | CTL_ETCHED | CTL_SUNKEN), 0u);
        }
    }
}

TEST(DialogLookup, UnknownIdsFindNothing) {
    EXPECT_EQ(FindDialogTemplate(103), nullptr);
    EXPECT_EQ(FindDialogTemplate(106), nullptr);
    EXPECT_EQ(FindControl(MAIN_DIALOG, 9999), nullptr);
    EXPECT_EQ(FindControl(MAIN_DIALOG, CONTROL_NO_ID), nullptr);
}

// ------------------------------------------------------------------------- main window 105

TEST(MainWindow, HasItsCaptionSizeFontStyleAndMenu) {
    EXPECT_STREQ(MAIN_DIALOG.caption, "Music Editing System.");
    EXPECT_EQ(MAIN_DIALOG.width, 307);
    EXPECT_EQ(MAIN_DIALOG.height, 168);
    EXPECT_EQ(MAIN_DIALOG.pointSize, 12);
    EXPECT_EQ(MAIN_DIALOG.menu, 106);
    EXPECT_EQ(MAIN_DIALOG.style, DLG_CENTRED | DLG_SYSTEM_MENU | DLG_MINIMISE | DLG_SUNKEN_EDGE);
}

TEST(MainWindow, PatternViewHasTwelveCentredBoxesPerChannelColumn) {
    const int above[4] = {1050, 1053, 1054, 1055};
    const int current[4] = {1051, 1059, 1060, 1061};
    const int below[4] = {1052, 1056, 1057, 1058};
    const int boxX[4] = {155, 191, 226, 261};
    const int comboX[4] = {154, 190, 226, 261};
    const int muteX[4] = {174, 210, 246, 281};
    for (int ch = 0; ch < 4; ++ch) {
        SCOPED_TRACE("channel " + std::to_string(ch + 1));
        ExpectControl(MAIN_DIALOG, above[ch], ControlKind::Static, {boxX[ch], 29, 32, 36});
        ExpectControl(MAIN_DIALOG, current[ch], ControlKind::Static, {boxX[ch], 68, 32, 12});
        ExpectControl(MAIN_DIALOG, below[ch], ControlKind::Static, {boxX[ch], 83, 32, 36});
        EXPECT_EQ(Control(MAIN_DIALOG, above[ch]).style, CTL_CENTRED | CTL_SUNKEN);
        EXPECT_EQ(Control(MAIN_DIALOG, current[ch]).style, CTL_CENTRED);
        EXPECT_EQ(Control(MAIN_DIALOG, below[ch]).style, CTL_CENTRED | CTL_SUNKEN);

        const ControlTemplate& tracks = Control(MAIN_DIALOG, 1231 + ch);
        EXPECT_EQ(tracks.kind, ControlKind::ComboBox);
        EXPECT_EQ(tracks.x, comboX[ch]);
        EXPECT_EQ(tracks.y, 10);
        EXPECT_EQ(tracks.width, 19);
        EXPECT_EQ(tracks.style, CTL_COMBO_LIST | CTL_SORTED);
        ExpectControl(MAIN_DIALOG, 1257 + ch, ControlKind::BitmapButton, {muteX[ch], 10, 14, 10});
    }
    ExpectControl(MAIN_DIALOG, 1102, ControlKind::Static, {143, 30, 9, 87});
    ExpectControl(MAIN_DIALOG, 1242, ControlKind::Static, {7, 87, 130, 11});
}

TEST(MainWindow, ButtonsStandWhereTheCommandsFindThem) {
    const int transport[4] = {1089, 1088, 1087, 1111};
    const int transportX[4] = {155, 176, 197, 218};
    for (int i = 0; i < 4; ++i) {
        ExpectControl(MAIN_DIALOG, transport[i], ControlKind::BitmapButton,
                      {transportX[i], 143, 20, 12});
    }
    const int modes[3] = {1272, 1261, 1262};
    const int modesX[3] = {244, 261, 278};
    for (int i = 0; i < 3; ++i) {
        ExpectControl(MAIN_DIALOG, modes[i], ControlKind::BitmapButton, {modesX[i], 143, 16, 12});
    }
    const int editing[6] = {1118, 1117, 1115, 1116, 1119, 1120};
    const int editingX[6] = {7, 32, 53, 74, 95, 116};
    for (int i = 0; i < 6; ++i) {
        ExpectControl(MAIN_DIALOG, editing[i], ControlKind::BitmapButton,
                      {editingX[i], 66, 20, 18});
    }
    ExpectControl(MAIN_DIALOG, 1263, ControlKind::BitmapButton, {111, 12, 23, 19});
    EXPECT_STREQ(Control(MAIN_DIALOG, 1261).text, "Lower");
    EXPECT_STREQ(Control(MAIN_DIALOG, 1262).text, "Tick");
}

TEST(MainWindow, SongInformationTextsSitBesideTheirScrollBars) {
    const int texts[6] = {1082, 1081, 1113, 1274, 1275, 1276};
    const int textY[6] = {106, 114, 123, 132, 141, 149};
    const int bars[6] = {1238, 1237, 1236, 1239, 1241, 1243};
    const int barY[6] = {106, 115, 124, 133, 142, 151};
    for (int i = 0; i < 6; ++i) {
        const ControlTemplate& text = Control(MAIN_DIALOG, texts[i]);
        EXPECT_EQ(text.kind, ControlKind::Static) << texts[i];
        EXPECT_EQ(text.x, 10) << texts[i];
        EXPECT_EQ(text.y, textY[i]) << texts[i];
        EXPECT_LE(text.x + text.width, 89) << texts[i] << " runs into its scroll bar";
        ExpectControl(MAIN_DIALOG, bars[i], ControlKind::ScrollBarH, {89, barY[i], 44, 8});
    }
    // The focus parks on 1082, which the template names as below.
    EXPECT_STREQ(Control(MAIN_DIALOG, 1082).text, "Song size xxx patterns.");
    const ControlTemplate* group = FindByText(MAIN_DIALOG, "Song information");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->kind, ControlKind::GroupBox);
}

TEST(MainWindow, InstrumentSelectorMetersAndPictures) {
    const ControlTemplate& instrument = Control(MAIN_DIALOG, 1240);
    EXPECT_EQ(instrument.kind, ControlKind::ComboBox);
    EXPECT_EQ(instrument.style, CTL_COMBO_EDITABLE); // entries stay in the order added
    EXPECT_EQ(instrument.x, 206);
    EXPECT_EQ(instrument.y, 126);
    EXPECT_EQ(instrument.width, 87);
    const ControlTemplate* label = FindByText(MAIN_DIALOG, "Current Intrument");
    ASSERT_NE(label, nullptr);
    EXPECT_LE(label->x + label->width, instrument.x);

    for (int ch = 0; ch < 4; ++ch) {
        ExpectControl(MAIN_DIALOG, 1267 + ch, ControlKind::Frame, {72 + 8 * ch, 14, 6, 20});
        EXPECT_EQ(Control(MAIN_DIALOG, 1267 + ch).style, CTL_BLACK_FRAME);
    }

    struct Picture {
        int image, x, y;
    };
    for (Picture p : {Picture{138, 7, 8}, Picture{145, 59, 13}, Picture{144, 57, 56}}) {
        int found = 0;
        for (int i = 0; i < MAIN_DIALOG.count; ++i) {
            const ControlTemplate& c = MAIN_DIALOG.controls[i];
            if (c.kind == ControlKind::Picture && c.image == p.image) {
                ++found;
                EXPECT_EQ(c.x, p.x) << "bitmap " << p.image;
                EXPECT_EQ(c.y, p.y) << "bitmap " << p.image;
            }
        }
        EXPECT_EQ(found, 1) << "bitmap " << p.image;
    }
}

TEST(MainWindow, EveryControlWithATooltipExists) {
    for (int id : {1263, 1089, 1088, 1087, 1111, 1261, 1262, 1257, 1258, 1259, 1260, 1117, 1115,
                   1116, 1118, 1272, 1240, 1119, 1120}) {
        EXPECT_NE(FindControl(MAIN_DIALOG, id), nullptr) << id;
    }
}

// The bitmaps were drawn for base units 9 x 18: each must fit its button there.
TEST(MainWindow, ButtonBitmapsFitTheirButtonsAtTheReferenceFont) {
    struct Fit {
        int id, width, height; // largest bitmap shown on the button, in pixels
    };
    for (Fit f : {Fit{1087, 25, 24}, Fit{1088, 26, 24}, Fit{1111, 30, 24}, Fit{1089, 25, 24},
                  Fit{1115, 35, 38}, Fit{1117, 35, 40}, Fit{1116, 35, 38}, Fit{1257, 20, 20},
                  Fit{1261, 25, 24}, Fit{1262, 25, 24}, Fit{1118, 38, 38}, Fit{1263, 25, 24},
                  Fit{1272, 26, 24}, Fit{1119, 35, 38}, Fit{1120, 35, 38}}) {
        const PixelRect r = ControlRectToPixels(Control(MAIN_DIALOG, f.id), REFERENCE_BASE_UNITS);
        EXPECT_GE(r.width, f.width) << f.id;
        EXPECT_GE(r.height, f.height) << f.id;
    }
}

// ----------------------------------------------------------------------------- About box 102

TEST(AboutBox, HasItsFrameFourLinesAndTheVersionStatic) {
    EXPECT_STREQ(ABOUT_DIALOG.caption, "About");
    EXPECT_EQ(ABOUT_DIALOG.width, 268);
    EXPECT_EQ(ABOUT_DIALOG.height, 81);
    EXPECT_EQ(ABOUT_DIALOG.pointSize, 11);
    EXPECT_EQ(ABOUT_DIALOG.menu, 0);
    EXPECT_EQ(Control(ABOUT_DIALOG, 1266).kind, ControlKind::Static);
    int frames = 0, lines = 0;
    for (int i = 0; i < ABOUT_DIALOG.count; ++i) {
        const ControlTemplate& c = ABOUT_DIALOG.controls[i];
        if (c.kind == ControlKind::Frame) ++frames;
        if (c.kind == ControlKind::Static && c.id == CONTROL_NO_ID && c.text[0] != '\0') ++lines;
    }
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(lines, 4);
}

// -------------------------------------------------------------------------- sound editor 101

TEST(SoundEditor, HasItsCaptionSizeAndFont) {
    EXPECT_STREQ(SOUND_EDITOR_DIALOG.caption, "FM Sounds Editor");
    EXPECT_EQ(SOUND_EDITOR_DIALOG.width, 325);
    EXPECT_EQ(SOUND_EDITOR_DIALOG.height, 151);
    EXPECT_EQ(SOUND_EDITOR_DIALOG.pointSize, 11);
    EXPECT_NE(SOUND_EDITOR_DIALOG.style & DLG_MODAL, 0u);
}

TEST(SoundEditor, ControlsTheEditorAddressesHaveTheirKindsAndPlaces) {
    using enum ControlKind;
    const DialogTemplate& d = SOUND_EDITOR_DIALOG;
    ExpectControl(d, 1118, ComboBox, {48, 7, 92, 103});
    ExpectControl(d, 1221, ComboBox, {86, 71, 84, 47});
    EXPECT_EQ(Control(d, 1118).style & CTL_COMBO_EDITABLE, CTL_COMBO_EDITABLE);
    EXPECT_EQ(Control(d, 1221).style & (CTL_COMBO_EDITABLE | CTL_SORTED), CTL_COMBO_EDITABLE);
    ExpectControl(d, 1121, ScrollBarH, {15, 42, 55, 11});
    ExpectControl(d, 1122, ScrollBarH, {78, 42, 54, 11});
    ExpectControl(d, 1125, ScrollBarH, {212, 8, 54, 11});
    ExpectControl(d, 1130, ScrollBarH, {196, 42, 55, 11});
    ExpectControl(d, 1131, ScrollBarH, {259, 42, 54, 11});
    ExpectControl(d, 1219, ScrollBarH, {144, 42, 38, 11});
    ExpectControl(d, 1126, CheckBox, {269, 8, 49, 10});
    for (int i = 0; i < 4; ++i) {
        ExpectControl(d, 1212 + i, RadioButton, {12, 70 + 9 * i, 61, 10});
        EXPECT_EQ(Control(d, 1212 + i).text, "Sound Type " + std::to_string(i + 1));
    }
    ExpectControl(d, 1138, PushButton, {240, 94, 38, 14});
    ExpectControl(d, 1139, PushButton, {279, 94, 38, 14});
    ExpectControl(d, 1218, Edit, {279, 65, 40, 12});
    ExpectControl(d, 1222, GroupBox, {80, 60, 99, 48});
    ExpectControl(d, 1132, Frame, {7, 111, 311, 33});
    for (int id : {1123, 1124, 1127, 1128, 1129, 1220}) EXPECT_EQ(Control(d, id).kind, Static);
}

TEST(SoundEditor, TextsAreExact) {
    const DialogTemplate& d = SOUND_EDITOR_DIALOG;
    EXPECT_STREQ(Control(d, 1123).text, "Init Volume :");
    EXPECT_STREQ(Control(d, 1129).text, "Pitch Bend :");
    EXPECT_STREQ(Control(d, 1126).text, "Use Length");
    EXPECT_STREQ(Control(d, 1138).text, "Play Snd");
    EXPECT_STREQ(Control(d, 1222).text, "Waveform type");
    const ControlTemplate* label = FindByText(d, "Test Frequency "); // with its trailing blank
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->x, 223);
    for (const char* group : {"Volume", "Frequency", "Static", "Waveform"}) {
        const ControlTemplate* c = FindByText(d, group);
        ASSERT_NE(c, nullptr) << group;
        EXPECT_EQ(c->kind, ControlKind::GroupBox) << group;
    }
}

// ------------------------------------------------------------------------------- menu 106

TEST(MainMenu, IsExactlyAsTabled) {
    const MenuTemplate& menu = MainMenu();
    EXPECT_EQ(menu.id, 106);
    ASSERT_EQ(menu.count, 3);
    struct Item {
        int id; // 0: separator
        const char* text;
    };
    const Item program[] = {
        {1211, "Sound Editor"}, {0, ""}, {1203, "New Song"}, {0, ""}, {1206, "Save Song"},
        {1207, "Load Song"},    {0, ""}, {1201, "Quit"}};
    const Item samples[] = {{1216, "Save Samples"}, {1217, "Load Samples"}};
    const Item about[] = {{1218, "About"}};
    struct Popup {
        const char* text;
        const Item* items;
        int count;
    };
    const Popup popups[3] = {{"Program", program, 8}, {"Samples", samples, 2}, {"About", about, 1}};
    for (int p = 0; p < 3; ++p) {
        const MenuItem& popup = menu.popups[p];
        EXPECT_EQ(popup.kind, MenuItemKind::Popup);
        EXPECT_STREQ(popup.text, popups[p].text);
        ASSERT_EQ(popup.count, popups[p].count) << popups[p].text;
        for (int i = 0; i < popup.count; ++i) {
            const MenuItem& item = popup.items[i];
            const Item& want = popups[p].items[i];
            EXPECT_EQ(item.kind, want.id == 0 ? MenuItemKind::Separator : MenuItemKind::Command);
            EXPECT_EQ(item.id, want.id);
            EXPECT_STREQ(item.text, want.text);
        }
    }
}

TEST(MainMenu, CommandsAreFoundByIdAndPopupsAndSeparatorsAreNot) {
    const MenuItem* quit = FindMenuCommand(MainMenu(), 1201);
    ASSERT_NE(quit, nullptr);
    EXPECT_STREQ(quit->text, "Quit");
    ASSERT_NE(FindMenuCommand(MainMenu(), 1218), nullptr);
    EXPECT_STREQ(FindMenuCommand(MainMenu(), 1218)->text, "About");
    EXPECT_EQ(FindMenuCommand(MainMenu(), 0), nullptr);
    EXPECT_EQ(FindMenuCommand(MainMenu(), 1202), nullptr);
}

} // namespace
