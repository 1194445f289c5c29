// Dialog units: conversion to pixels and widening to hold a text.
#include "ui/qt/dialog_units.h"

#include <QTest>

using namespace trelvane;

class DialogUnitsTest : public QObject
{
    Q_OBJECT

private slots:
    void convertsWithQuarterAndEighthUnits_data();
    void convertsWithQuarterAndEighthUnits();
    void widensOnlyWhereTextNeedsIt_data();
    void widensOnlyWhereTextNeedsIt();
};

void DialogUnitsTest::convertsWithQuarterAndEighthUnits_data()
{
    QTest::addColumn<double>("baseX");
    QTest::addColumn<double>("baseY");
    QTest::addColumn<QRect>("units");
    QTest::addColumn<QRect>("pixels");
    QTest::newRow("classic 6x13 font")
        << 6.0 << 13.0 << QRect(7, 255, 70, 14) << QRect(11, 414, 105, 23);
    QTest::newRow("8x16 font") << 8.0 << 16.0 << QRect(139, 7, 301, 188)
                               << QRect(278, 14, 602, 376);
    QTest::newRow("fractional width")
        << 7.4 << 14.0 << QRect(0, 0, 447, 287) << QRect(0, 0, 827, 502);
}

void DialogUnitsTest::convertsWithQuarterAndEighthUnits()
{
    QFETCH(double, baseX);
    QFETCH(double, baseY);
    QFETCH(QRect, units);
    QFETCH(QRect, pixels);
    const DialogUnits dialogUnits{baseX, baseY};
    QCOMPARE(dialogUnits.ToPixels(units.x(), units.y(), units.width(), units.height()), pixels);
}

void DialogUnitsTest::widensOnlyWhereTextNeedsIt_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<double>("baseX");
    QTest::newRow("text fits") << 35 << 50 << 6.0;
    QTest::newRow("text exactly fits") << 40 << 60 << 6.0;
    QTest::newRow("text too wide") << 35 << 60 << 60 * 4.0 / 35;
    QTest::newRow("zero width ignored") << 0 << 60 << 6.0;
}

void DialogUnitsTest::widensOnlyWhereTextNeedsIt()
{
    QFETCH(int, width);
    QFETCH(int, pixels);
    QFETCH(double, baseX);
    const DialogUnits widened = DialogUnits{6.0, 13.0}.WidenedToHold(width, pixels);
    QCOMPARE(widened.baseX, baseX);
    QCOMPARE(widened.baseY, 13.0);
    if (width > 0)
        QVERIFY(widened.ToPixelsX(width) >= pixels);
}

QTEST_MAIN(DialogUnitsTest)
#include "dialog_units_test.moc"
