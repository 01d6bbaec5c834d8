// The dialog tables and the menu: well-formed tables, the controls the code addresses with their
// kinds and places, exact texts, and the menu bar.

#include "resources/dialog_template.h"
#include "resources/dialog_units.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace {

using enum ControlKind;

// Checks that control `id` of `dialog` exists with `kind` and, when given, its rectangle.
void ExpectControl(const DialogTemplate& dialog, int id, ControlKind kind, int x = -1, int y = -1,
                   int width = -1, int height = -1) {
    const ControlTemplate* c = FindControl(dialog, id);
    ASSERT_NE(c, nullptr) << "dialog " << dialog.id << " has no control " << id;
    EXPECT_EQ(c->kind, kind) << id;
    if (x < 0) return;
    EXPECT_EQ(c->x, x) << id;
    EXPECT_EQ(c->y, y) << id;
    EXPECT_EQ(c->width, width) << id;
    if (height >= 0) {
        EXPECT_EQ(c->height, height) << id;
    }
}

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

INSTANTIATE_TEST_SUITE_P(Dialogs, EveryDialog, testing::Values(101, 102, 103, 104, 105));

TEST_P(EveryDialog, IsFoundByIdWithUniqueControlIdsAllInsideIt) {
    ASSERT_NE(FindDialogTemplate(GetParam()), nullptr);
    EXPECT_EQ(dialog().id, GetParam());
    EXPECT_STREQ(dialog().fontFamily, "Times New Roman");
    std::set<int> seen;
    for (int i = 0; i < dialog().count; ++i) {
        const ControlTemplate& c = dialog().controls[i];
        SCOPED_TRACE("control " + std::to_string(c.id) + " \"" + c.text + "\"");
        if (c.id != CONTROL_NO_ID) {
            EXPECT_TRUE(seen.insert(c.id).second) << "id twice";
        }
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
        EXPECT_EQ(c.image != 0, c.kind == Picture);
        const uint32_t combo = c.style & (CTL_COMBO_EDITABLE | CTL_COMBO_LIST);
        if (c.kind == ComboBox) {
            EXPECT_TRUE(combo == CTL_COMBO_EDITABLE || combo == CTL_COMBO_LIST);
        } else {
            EXPECT_EQ(combo | (c.style & CTL_SORTED), 0u);
        }
        if (c.kind == Frame) {
            EXPECT_NE(c.style & (CTL_BLACK_FRAME | CTL_ETCHED | CTL_SUNKEN), 0u);
        }
    }
}

TEST(DialogLookup, UnknownIdsFindNothing) {
    EXPECT_EQ(FindDialogTemplate(106), nullptr);
    EXPECT_EQ(FindControl(MAIN_DIALOG, 9999), nullptr);
    EXPECT_EQ(FindControl(MAIN_DIALOG, CONTROL_NO_ID), nullptr);
}

// ------------------------------------------------------------------------- main window 105

TEST(MainWindow, HasItsCaptionSizeFontAndMenu) {
    EXPECT_STREQ(MAIN_DIALOG.caption, "Music Editing System.");
    EXPECT_EQ(MAIN_DIALOG.width, 307);
    EXPECT_EQ(MAIN_DIALOG.height, 168);
    EXPECT_EQ(MAIN_DIALOG.pointSize, 12);
    EXPECT_EQ(MAIN_DIALOG.menu, 106);
}

TEST(MainWindow, PatternViewColumnsHoldTheirBoxesSelectorAndMuteButton) {
    const int above[4] = {1050, 1053, 1054, 1055}, current[4] = {1051, 1059, 1060, 1061};
    const int below[4] = {1052, 1056, 1057, 1058}, boxX[4] = {155, 191, 226, 261};
    const int comboX[4] = {154, 190, 226, 261}, muteX[4] = {174, 210, 246, 281};
    for (int ch = 0; ch < 4; ++ch) {
        SCOPED_TRACE("channel " + std::to_string(ch + 1));
        ExpectControl(MAIN_DIALOG, above[ch], Static, boxX[ch], 29, 32, 36);
        ExpectControl(MAIN_DIALOG, current[ch], Static, boxX[ch], 68, 32, 12);
        ExpectControl(MAIN_DIALOG, below[ch], Static, boxX[ch], 83, 32, 36);
        EXPECT_EQ(FindControl(MAIN_DIALOG, above[ch])->style, CTL_CENTRED | CTL_SUNKEN);
        EXPECT_EQ(FindControl(MAIN_DIALOG, current[ch])->style, CTL_CENTRED);
        ExpectControl(MAIN_DIALOG, 1231 + ch, ComboBox, comboX[ch], 10, 19);
        EXPECT_EQ(FindControl(MAIN_DIALOG, 1231 + ch)->style, CTL_COMBO_LIST | CTL_SORTED);
        ExpectControl(MAIN_DIALOG, 1257 + ch, BitmapButton, muteX[ch], 10, 14, 10);
    }
    ExpectControl(MAIN_DIALOG, 1102, Static, 143, 30, 9, 87);
    ExpectControl(MAIN_DIALOG, 1242, Static, 7, 87, 130, 11);
}

TEST(MainWindow, ButtonsMetersAndSelectorStandWhereTheCodeFindsThem) {
    for (int id : {1089, 1088, 1087, 1111, 1272, 1261, 1262, 1118, 1117, 1115, 1116, 1119, 1120})
        ExpectControl(MAIN_DIALOG, id, BitmapButton);
    ExpectControl(MAIN_DIALOG, 1087, BitmapButton, 197, 143, 20, 12);
    ExpectControl(MAIN_DIALOG, 1262, BitmapButton, 278, 143, 16, 12);
    ExpectControl(MAIN_DIALOG, 1120, BitmapButton, 116, 66, 20, 18);
    ExpectControl(MAIN_DIALOG, 1263, BitmapButton, 111, 12, 23, 19);
    EXPECT_STREQ(FindControl(MAIN_DIALOG, 1261)->text, "Lower");
    EXPECT_STREQ(FindControl(MAIN_DIALOG, 1262)->text, "Tick");
    for (int ch = 0; ch < 4; ++ch) {
        ExpectControl(MAIN_DIALOG, 1267 + ch, Frame, 72 + 8 * ch, 14, 6, 20);
        EXPECT_EQ(FindControl(MAIN_DIALOG, 1267 + ch)->style, CTL_BLACK_FRAME);
    }
    // The instrument entries must stay in the order they were added: not sorted.
    ExpectControl(MAIN_DIALOG, 1240, ComboBox, 206, 126, 87);
    EXPECT_EQ(FindControl(MAIN_DIALOG, 1240)->style, CTL_COMBO_EDITABLE);
    const ControlTemplate* label = FindByText(MAIN_DIALOG, "Current Intrument");
    ASSERT_NE(label, nullptr);
    EXPECT_LE(label->x + label->width, 206);
}

TEST(MainWindow, SongInformationTextsSitBesideTheirScrollBars) {
    const int texts[6] = {1082, 1081, 1113, 1274, 1275, 1276};
    const int textY[6] = {106, 114, 123, 132, 141, 149};
    const int bars[6] = {1238, 1237, 1236, 1239, 1241, 1243};
    for (int i = 0; i < 6; ++i) {
        ExpectControl(MAIN_DIALOG, texts[i], Static);
        const ControlTemplate& text = *FindControl(MAIN_DIALOG, texts[i]);
        EXPECT_EQ(text.x, 10) << texts[i];
        EXPECT_EQ(text.y, textY[i]) << texts[i];
        EXPECT_LE(text.x + text.width, 89) << texts[i] << " runs into its scroll bar";
        ExpectControl(MAIN_DIALOG, bars[i], ScrollBarH, 89, 106 + 9 * i, 44, 8);
    }
    // The keyboard focus is parked on 1082.
    EXPECT_STREQ(FindControl(MAIN_DIALOG, 1082)->text, "Song size xxx patterns.");
    ASSERT_NE(FindByText(MAIN_DIALOG, "Song information"), nullptr);
    EXPECT_EQ(FindByText(MAIN_DIALOG, "Song information")->kind, GroupBox);
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
    for (Fit f : {Fit{1111, 30, 24}, Fit{1088, 26, 24}, Fit{1117, 35, 40}, Fit{1257, 20, 20},
                  Fit{1118, 38, 38}, Fit{1263, 25, 24}, Fit{1272, 26, 24}, Fit{1119, 35, 38}}) {
        const PixelRect r =
            ControlRectToPixels(*FindControl(MAIN_DIALOG, f.id), REFERENCE_BASE_UNITS);
        EXPECT_GE(r.width, f.width) << f.id;
        EXPECT_GE(r.height, f.height) << f.id;
    }
}

// ------------------------------------------------------------------ About box 102 and 101

TEST(AboutBox, HasItsFrameFourLinesAndTheVersionStatic) {
    EXPECT_STREQ(ABOUT_DIALOG.caption, "About");
    EXPECT_EQ(ABOUT_DIALOG.width, 268);
    EXPECT_EQ(ABOUT_DIALOG.height, 81);
    EXPECT_EQ(ABOUT_DIALOG.pointSize, 11);
    ExpectControl(ABOUT_DIALOG, 1266, Static);
    int frames = 0, lines = 0;
    for (int i = 0; i < ABOUT_DIALOG.count; ++i) {
        const ControlTemplate& c = ABOUT_DIALOG.controls[i];
        frames += c.kind == Frame;
        lines += c.kind == Static && c.id == CONTROL_NO_ID && c.text[0] != '\0';
    }
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(lines, 4);
}

TEST(SoundEditor, ControlsTheEditorAddressesHaveTheirKindsPlacesAndTexts) {
    const DialogTemplate& d = SOUND_EDITOR_DIALOG;
    EXPECT_STREQ(d.caption, "FM Sounds Editor");
    EXPECT_EQ(d.width, 325);
    EXPECT_EQ(d.height, 151);
    EXPECT_EQ(d.pointSize, 11);
    ExpectControl(d, 1118, ComboBox, 48, 7, 92, 103);
    ExpectControl(d, 1221, ComboBox, 86, 71, 84, 47);
    EXPECT_EQ(FindControl(d, 1221)->style & (CTL_COMBO_EDITABLE | CTL_SORTED), CTL_COMBO_EDITABLE);
    for (int id : {1121, 1122, 1125, 1130, 1131, 1219}) ExpectControl(d, id, ScrollBarH);
    ExpectControl(d, 1125, ScrollBarH, 212, 8, 54, 11);
    for (int id : {1123, 1124, 1127, 1128, 1129, 1220}) ExpectControl(d, id, Static);
    for (int i = 0; i < 4; ++i) {
        ExpectControl(d, 1212 + i, RadioButton, 12, 70 + 9 * i, 61, 10);
        EXPECT_EQ(FindControl(d, 1212 + i)->text, "Sound Type " + std::to_string(i + 1));
    }
    ExpectControl(d, 1126, CheckBox, 269, 8, 49, 10);
    ExpectControl(d, 1138, PushButton, 240, 94, 38, 14);
    ExpectControl(d, 1218, Edit, 279, 65, 40, 12);
    ExpectControl(d, 1222, GroupBox, 80, 60, 99, 48);
    ExpectControl(d, 1132, Frame, 7, 111, 311, 33);
    EXPECT_STREQ(FindControl(d, 1123)->text, "Init Volume :");
    EXPECT_STREQ(FindControl(d, 1139)->text, "Stop Snd");
    ASSERT_NE(FindByText(d, "Test Frequency "), nullptr); // with its trailing blank
    EXPECT_EQ(FindByText(d, "Static")->kind, GroupBox);   // the frame before label 1220
}

// ------------------------------------------------------------------------------- menu 106

TEST(MainMenu, IsExactlyAsTabled) {
    struct Item {
        int id; // 0: separator, -1: a submenu
        const char* text;
    };
    const Item program[] = {{1211, "Sound Editor"},
                            {1281, "Pattern Window\tF3"},
                            {0, ""},
                            {1203, "New Song"},
                            {0, ""},
                            {1206, "Save Song"},
                            {1207, "Load Song"},
                            {1208, "Export WAV..."},
                            {0, ""},
                            {1209, "AZERTY note keys"},
                            {1210, "QWERTY note keys"},
                            {-1, "MIDI Input"},
                            {-1, "Audio latency"},
                            {0, ""},
                            {1201, "Quit"}};
    const Item edit[] = {{1204, "Undo"}, {1205, "Redo"}};
    const Item samples[] = {{1216, "Save Samples"}, {1217, "Load Samples"}};
    const Item about[] = {{1280, "Keys..."}, {1218, "About"}};
    const struct {
        const char* text;
        const Item* items;
        int count;
    } popups[4] = {
        {"Program", program, 15}, {"Edit", edit, 2}, {"Samples", samples, 2}, {"About", about, 2}};

    const MenuTemplate& menu = MainMenu();
    EXPECT_EQ(menu.id, 106);
    ASSERT_EQ(menu.count, 4);
    for (int p = 0; p < 4; ++p) {
        const MenuItem& popup = menu.popups[p];
        EXPECT_EQ(popup.kind, MenuItemKind::Popup);
        EXPECT_STREQ(popup.text, popups[p].text);
        ASSERT_EQ(popup.count, popups[p].count) << popups[p].text;
        for (int i = 0; i < popup.count; ++i) {
            const Item& want = popups[p].items[i];
            EXPECT_EQ(popup.items[i].kind, want.id == 0    ? MenuItemKind::Separator
                                           : want.id == -1 ? MenuItemKind::Popup
                                                           : MenuItemKind::Command);
            EXPECT_EQ(popup.items[i].id, std::max(want.id, 0));
            EXPECT_STREQ(popup.items[i].text, want.text);
        }
    }
    // MIDI Input: Automatic, None, a line, then 32 slots the ports' names fill.
    const MenuItem& midi = menu.popups[0].items[11];
    ASSERT_EQ(midi.count, 35);
    EXPECT_STREQ(midi.items[0].text, "Automatic");
    EXPECT_STREQ(midi.items[1].text, "None");
    EXPECT_EQ(midi.items[2].kind, MenuItemKind::Separator);
    EXPECT_EQ(FindMenuCommand(menu, 1400 + 31), &midi.items[34]);
    const MenuItem& latency = menu.popups[0].items[12];
    ASSERT_EQ(latency.count, 3);
    EXPECT_STREQ(latency.items[0].text, "Low");
    EXPECT_EQ(FindMenuCommand(menu, 1297), &latency.items[2]);
    ASSERT_NE(FindMenuCommand(menu, 1201), nullptr);
    EXPECT_STREQ(FindMenuCommand(menu, 1201)->text, "Quit");
    EXPECT_EQ(FindMenuCommand(menu, 0), nullptr); // separators and popups are no commands
}

} // namespace
