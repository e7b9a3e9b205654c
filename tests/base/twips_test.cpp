// Twips and pixels: the one conversion every window's layout goes through.
#include "base/Twips.h"

#include <QTest>

class TwipsTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void twipsArePixelsAtFifteenToOne() {
        QCOMPARE(twips::toPixels(11880), 792);
        QCOMPARE(twips::toPixels(13095), 873);
        QCOMPARE(twips::rect(120, 480, 11295, 8415), QRect(8, 32, 753, 561));
        QCOMPARE(twips::size(5550, 3510), QSize(370, 234));
        QCOMPARE(twips::fromPixels(13), 195.0);
    }

    void partsOfAPixelRoundToTheNearest() {
        QCOMPARE(twips::toPixels(7), 0);
        QCOMPARE(twips::toPixels(8), 1);
        QCOMPARE(twips::toPixels(22), 1);
        QCOMPARE(twips::toPixels(23), 2);
        QCOMPARE(twips::toPixels(-15), -1);
    }
};

QTEST_APPLESS_MAIN(TwipsTest)
#include "twips_test.moc"
