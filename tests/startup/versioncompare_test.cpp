// The rules that decide whether the site's version is offered: reading the body, what counts as a version,
// and the order of versions.
#include "startup/VersionCheck.h"
#include "startup/VersionCompare.h"

#include <QTest>

using namespace Qt::StringLiterals;

class VersionCompareTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void runningVersionIsDecimalWithoutLeadingZeros() {
        // The version the project declares, as CMake writes it.
        QCOMPARE(versioncheck::runningVersion(), QStringLiteral(MOSSPORT_VERSION));
    }

    void order_data() {
        QTest::addColumn<QString>("candidate");
        QTest::addColumn<bool>("newer");

        QTest::newRow("next revision") << u"1.0.3"_s << true;
        QTest::newRow("two-digit revision") << u"1.0.10"_s << true;
        QTest::newRow("minor, no revision") << u"1.1"_s << true;
        QTest::newRow("major alone") << u"2"_s << true;
        QTest::newRow("fourth number") << u"1.0.2.1"_s << true;
        QTest::newRow("leading zero") << u"01.0.3"_s << true;
        QTest::newRow("40 digits") << u"1000000000000000000000000000000000000000"_s << true;
        QTest::newRow("40 digits in the revision")
            << u"1.0.1000000000000000000000000000000000000000"_s << true;

        QTest::newRow("equal") << u"1.0.2"_s << false;
        QTest::newRow("equal with a zero after") << u"1.0.2.0"_s << false;
        QTest::newRow("equal with leading zeros") << u"001.000.0002"_s << false;
        QTest::newRow("40 digits of zeros then one")
            << u"0000000000000000000000000000000000000001.0.2"_s << false;
        QTest::newRow("older major") << u"0.9.9"_s << false;
        QTest::newRow("older revision") << u"1.0.1"_s << false;
        QTest::newRow("shorter and older") << u"1"_s << false;
        QTest::newRow("long revision number older in the minor")
            << u"0.99999999999999999999999999"_s << false;
    }

    void order() {
        QFETCH(QString, candidate);
        QFETCH(bool, newer);
        QCOMPARE(versioncheck::isNewer(candidate, u"1.0.2"_s), newer);
    }

    void notAVersionIsNeverOffered_data() {
        QTest::addColumn<QString>("text");

        QTest::newRow("empty") << QString();
        QTest::newRow("double dot") << u"1..2"_s;
        QTest::newRow("letter after") << u"1.0.2a"_s;
        QTest::newRow("spaces around") << u" 1.0.3 "_s;
        QTest::newRow("leading dot") << u".1.0.3"_s;
        QTest::newRow("trailing dot") << u"1.0.3."_s;
        QTest::newRow("sign") << u"+2.0.0"_s;
        QTest::newRow("prefix") << u"v2.0.0"_s;
        QTest::newRow("suffix") << u"2.0.0-beta"_s;
        QTest::newRow("two lines") << u"2.0.0\n3.0.0"_s;
        QTest::newRow("digits of another script") << u"\u0662.0.0"_s;
        QTest::newRow("full-width digits") << u"\uFF12.0.0"_s;
        QTest::newRow("html") << u"<html><head><title>404 Not Found</title></head><body>2.0</body></html>"_s;
    }

    void notAVersionIsNeverOffered() {
        QFETCH(QString, text);
        QVERIFY(!versioncheck::isVersion(text));
        QVERIFY(!versioncheck::isNewer(text, u"1.0.2"_s));
        // Not even against the lowest version there is.
        QVERIFY(!versioncheck::isNewer(text, u"0"_s));
    }

    void orderIsStrict() {
        // Over a set of versions in ascending order, each is newer than exactly those before it.
        const QStringList ascending = {u"0"_s,       u"0.0.1"_s,
                                       u"0.9.9"_s,   u"1"_s,
                                       u"1.0.1"_s,   u"1.0.2"_s,
                                       u"1.0.3"_s,   u"1.0.10"_s,
                                       u"1.0.100"_s, u"1.1"_s,
                                       u"1.10"_s,    u"2"_s,
                                       u"10"_s,      u"18446744073709551616"_s};
        for (qsizetype i = 0; i < ascending.size(); ++i) {
            for (qsizetype j = 0; j < ascending.size(); ++j) {
                QVERIFY2(versioncheck::isNewer(ascending[i], ascending[j]) == (i > j),
                         qPrintable(ascending[i] + u" against "_s + ascending[j]));
            }
        }
    }

    void bodyIsTrimmedOfLineEndsAndSpaces_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("text");

        QTest::newRow("as it should be") << QByteArray("1.0.3") << u"1.0.3"_s;
        QTest::newRow("line feed") << QByteArray("1.0.2\n") << u"1.0.2"_s;
        QTest::newRow("carriage return and line feed") << QByteArray("1.0.2\r\n") << u"1.0.2"_s;
        QTest::newRow("spaces and tabs around") << QByteArray(" \t1.0.3 \t\r\n\r\n") << u"1.0.3"_s;
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF"
                                                       "1.0.3\r\n")
                                         << u"1.0.3"_s;
        QTest::newRow("inner space kept") << QByteArray(" 1.0 .3 ") << u"1.0 .3"_s;
        QTest::newRow("only white space") << QByteArray(" \r\n\t") << QString();
        QTest::newRow("empty") << QByteArray() << QString();
        // Other white space is not a line end: it stays and makes the text no version.
        QTest::newRow("form feed kept") << QByteArray("1.0.3\f") << u"1.0.3\f"_s;
        QTest::newRow("UTF-8 text") << QByteArray("Gr\xC3\xBC\xC3\x9F"
                                                  "e\n")
                                    << u"Grüße"_s;
    }

    void bodyIsTrimmedOfLineEndsAndSpaces() {
        QFETCH(QByteArray, body);
        QFETCH(QString, text);
        QCOMPARE(versioncheck::versionText(body), text);
    }
};

QTEST_APPLESS_MAIN(VersionCompareTest)
#include "versioncompare_test.moc"
