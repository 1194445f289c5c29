// Converting dialog-template units to pixels.
#include "ui/qt/dialog_units.h"

#include <QFontMetrics>
#include <QString>

#include <algorithm>

namespace trelvane {
namespace {

// The letters whose mean width the platform takes as a font's average character width.
constexpr const char* latinLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr double latinLetterCount = 52;

} // namespace

DialogUnits DialogUnits::FromFont(const QFontMetrics& metrics)
{
    const double averageWidth =
        metrics.horizontalAdvance(QString::fromLatin1(latinLetters)) / latinLetterCount;
    return {averageWidth, static_cast<double>(metrics.height())};
}

int DialogUnits::ToPixelsX(int x) const
{
    return qRound(x * baseX / 4);
}

int DialogUnits::ToPixelsY(int y) const
{
    return qRound(y * baseY / 8);
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const
{
    return {ToPixelsX(x), ToPixelsY(y), ToPixelsX(width), ToPixelsY(height)};
}

DialogUnits DialogUnits::WidenedToHold(int width, int pixels) const
{
    if (width <= 0)
        return *this;
    return {std::max(baseX, pixels * 4.0 / width), baseY};
}

} // namespace trelvane
