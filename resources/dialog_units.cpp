// Dialog units to pixels: multiply, then divide rounding halves away from zero.

#include "resources/dialog_units.h"

#include <cmath>
#include <cstdint>

namespace {

// units * base / divisor, rounded to nearest with halves away from zero; 64-bit in between so
// that no product overflows.
int ScaleRounded(int units, int base, int divisor) {
    const int64_t product = int64_t{units} * base;
    const int64_t half = divisor / 2;
    const int64_t result = product >= 0 ? (product + half) / divisor : (product - half) / divisor;
    return static_cast<int>(result);
}

} // namespace

int AverageCharWidth(int sampleWidthPx) {
    const int width = (sampleWidthPx / 26 + 1) / 2;
    return width < 1 ? 1 : width;
}

int FontHeight(double exactAscentPlusDescent) {
    // A sum a hair above a whole number (floating-point noise) counts as that number.
    const double height = std::ceil(exactAscentPlusDescent - 1e-6);
    return height < 1 ? 1 : static_cast<int>(height);
}

int DialogXToPixels(int units, DialogBaseUnits base) {
    return ScaleRounded(units, base.charWidth, 4);
}

int DialogYToPixels(int units, DialogBaseUnits base) {
    return ScaleRounded(units, base.charHeight, 8);
}

PixelRect DialogRectToPixels(int x, int y, int width, int height, DialogBaseUnits base) {
    return {DialogXToPixels(x, base), DialogYToPixels(y, base), DialogXToPixels(width, base),
            DialogYToPixels(height, base)};
}

PixelRect ControlRectToPixels(const ControlTemplate& control, DialogBaseUnits base) {
    return DialogRectToPixels(control.x, control.y, control.width, VisibleHeight(control), base);
}

PixelRect DialogClientToPixels(const DialogTemplate& dialog, DialogBaseUnits base) {
    return DialogRectToPixels(0, 0, dialog.width, dialog.height, base);
}
