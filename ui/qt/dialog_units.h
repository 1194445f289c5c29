// Converting dialog-template units to pixels with the base units of a font.
#pragma once

#include <QRect>

class QFontMetrics;

namespace trelvane {

/// The pixel size of one horizontal and one vertical base unit of a dialog font; a dialog unit
/// is a quarter of the horizontal and an eighth of the vertical base unit.
struct DialogUnits
{
    double baseX = 0;
    double baseY = 0;

    /// Base units of a font: the average width of the Latin letters and the line height.
    static DialogUnits FromFont(const QFontMetrics& metrics);

    /// Pixels of x dialog units across.
    int ToPixelsX(int x) const;
    /// Pixels of y dialog units down.
    int ToPixelsY(int y) const;
    /// The pixel rectangle of a template rectangle given in dialog units.
    QRect ToPixels(int x, int y, int width, int height) const;

    /// These units, widened where needed so that width dialog units hold pixels pixels.
    DialogUnits WidenedToHold(int width, int pixels) const;
};

} // namespace trelvane
