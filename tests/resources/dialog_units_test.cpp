// Dialog units to pixels: the rounding rule, the metrics helpers and whole rectangles.

#include "resources/dialog_units.h"

#include <gtest/gtest.h>

namespace {

TEST(DialogUnits, ScaleByAQuarterCharWidthAndAnEighthFontHeight) {
    const DialogBaseUnits base = {8, 16}; // exactly 2 px per unit both ways
    EXPECT_EQ(DialogXToPixels(0, base), 0);
    EXPECT_EQ(DialogXToPixels(307, base), 614);
    EXPECT_EQ(DialogYToPixels(168, base), 336);
    EXPECT_EQ(DialogXToPixels(4, {7, 16}), 7);  // four units are one average character
    EXPECT_EQ(DialogYToPixels(8, {8, 17}), 17); // eight units are one font height
}

TEST(DialogUnits, RoundToNearestWithHalvesAwayFromZero) {
    const DialogBaseUnits base = {9, 17};     // 2.25 px across, 2.125 px down
    EXPECT_EQ(DialogXToPixels(1, base), 2);   // 2.25
    EXPECT_EQ(DialogXToPixels(2, base), 5);   // 4.5
    EXPECT_EQ(DialogXToPixels(3, base), 7);   // 6.75
    EXPECT_EQ(DialogYToPixels(4, base), 9);   // 8.5
    EXPECT_EQ(DialogYToPixels(3, base), 6);   // 6.375
    EXPECT_EQ(DialogXToPixels(-2, base), -5); // -4.5
    EXPECT_EQ(DialogYToPixels(-3, base), -6);
    // A product beyond 32 bits does not overflow on the way.
    EXPECT_EQ(DialogXToPixels(200'000'000, {40, 16}), 2'000'000'000);
}

TEST(DialogUnits, RectanglesConvertEachNumberOnItsOwnAndCombosTakeTheirClosedHeight) {
    const PixelRect r = DialogRectToPixels(155, 29, 32, 36, {9, 18});
    EXPECT_EQ(r.x, 349); // 348.75
    EXPECT_EQ(r.y, 65);  // 65.25
    EXPECT_EQ(r.width, 72);
    EXPECT_EQ(r.height, 81);
    const ControlTemplate combo = {1, ControlKind::ComboBox, 48, 7, 92, 103, "", 0, 0};
    EXPECT_EQ(ControlRectToPixels(combo, {8, 16}).height, 2 * COMBO_CLOSED_HEIGHT);
    const ControlTemplate shortCombo = {1, ControlKind::ComboBox, 0, 0, 10, 8, "", 0, 0};
    EXPECT_EQ(VisibleHeight(shortCombo), 8);
    const ControlTemplate bar = {2, ControlKind::ScrollBarH, 0, 0, 44, 103, "", 0, 0};
    EXPECT_EQ(VisibleHeight(bar), 103);
}

TEST(DialogUnits, MainWindowAtTheReferenceFont) {
    const PixelRect client = DialogClientToPixels(MAIN_DIALOG, REFERENCE_BASE_UNITS);
    EXPECT_EQ(client.x, 0);
    EXPECT_EQ(client.y, 0);
    EXPECT_EQ(client.width, 691); // 690.75
    EXPECT_EQ(client.height, 378);
}

TEST(FontMetrics, AverageCharWidthRoundsTheLetterSampleToWholePixels) {
    EXPECT_EQ(AverageCharWidth(468), 9); // 12-point serif at 16 px: 9.0
    EXPECT_EQ(AverageCharWidth(438), 8); // 11-point serif at 15 px: 8.4
    EXPECT_EQ(AverageCharWidth(442), 9); // 8.5 rounds up
    EXPECT_EQ(AverageCharWidth(441), 8);
    EXPECT_EQ(AverageCharWidth(0), 1); // never zero: no division by zero downstream
}

TEST(FontMetrics, FontHeightRoundsExactMetricsUp) {
    EXPECT_EQ(FontHeight(17.734), 18);
    EXPECT_EQ(FontHeight(16.609), 17);
    EXPECT_EQ(FontHeight(17.0), 17);
    EXPECT_EQ(FontHeight(17.0000000001), 17); // floating-point noise above a whole number
    EXPECT_EQ(FontHeight(0.0), 1);
}

} // namespace
