// Conversion of dialog units to pixels. A dialog's layout is given in dialog units, which scale
// with the dialog font: a horizontal unit is a quarter of the font's average character width and
// a vertical unit an eighth of its height. Building every widget through these functions makes
// the whole window grow with the font; with Qt's logical pixels it also follows the screen's
// device-pixel ratio.
//
// The rule, for a value v in dialog units and the font's base units (average character width
// cw, height ch, both in pixels):
//   x pixels = v * cw / 4,  y pixels = v * ch / 8,  rounded to the nearest integer, halves away
//   from zero.
// A rectangle's left, top, width and height are each converted on their own, so every control
// has the same pixel size wherever it stands.
//
// Pure functions without state: safe from any thread.
#pragma once

#include "resources/dialog_template.h"

// The dialog font's metrics in pixels.
struct DialogBaseUnits {
    int charWidth;  // average character width (see AverageCharWidth)
    int charHeight; // font height: ascent plus descent (see FontHeight)
};

// Base units of the dialog font "Times New Roman" 12 point on a 96-dpi screen, for which the
// bitmaps were drawn: at these metrics a dialog unit is 2.25 px both ways and every button
// bitmap fits its button. An image scales by charWidth / 9 across and charHeight / 18 down.
constexpr DialogBaseUnits REFERENCE_BASE_UNITS = {9, 18};

// The text whose rendered width gives the average character width: the 52 letters.
constexpr const char AVERAGE_WIDTH_SAMPLE[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Average character width from the width in pixels of AVERAGE_WIDTH_SAMPLE: (w / 26 + 1) / 2 in
// integers, the width of one letter rounded to the nearest pixel. Never below 1.
int AverageCharWidth(int sampleWidthPx);

// Font height in whole pixels from the exact ascent plus descent (fractional metrics): rounded
// up, as the font's cell must hold both. Never below 1.
int FontHeight(double exactAscentPlusDescent);

// Horizontal and vertical dialog units to pixels.
int DialogXToPixels(int units, DialogBaseUnits base);
int DialogYToPixels(int units, DialogBaseUnits base);

struct PixelRect {
    int x, y, width, height;
};

// A rectangle in dialog units to pixels, each of its four numbers converted on its own.
PixelRect DialogRectToPixels(int x, int y, int width, int height, DialogBaseUnits base);
// A control's rectangle in pixels, with its visible height (a combo box's closed height).
PixelRect ControlRectToPixels(const ControlTemplate& control, DialogBaseUnits base);
// A dialog's client area in pixels (x and y are 0).
PixelRect DialogClientToPixels(const DialogTemplate& dialog, DialogBaseUnits base);
