// Screenshots: the file name rules, and whole captures through the real screen and the real clipboard of the
// virtual display, into a temporary program folder, with a clock the test sets.
#include "Controls.h"
#include "Fakes.h"
#include "FileSizeLimit.h"
#include "app/Program.h"
#include "gamewindow/Screenshot.h"
#include "gamewindow/ScreenshotName.h"
#include "gamewindow/frmMain.h"
#include "host/QtDesktop.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
#include <QMimeData>
#include <QQueue>
#include <QScreen>
#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The real screen, clipboard and beep, with a clock the test sets and a count of beeps. Each reading of the
// clock takes the next queued time; the last one stays.
class ScreenDesktop final : public Desktop {
public:
    QImage grabScreen() override { return blind ? QImage() : m_real.grabScreen(); }
    void clearClipboard() override { m_real.clearClipboard(); }
    void setClipboardImage(const QImage& image) override { m_real.setClipboardImage(image); }
    QImage clipboardImage() const override { return m_real.clipboardImage(); }
    void beep() override {
        ++beeps;
        m_real.beep();
    }
    QDateTime now() const override {
        ++readings;
        return clock.size() > 1 ? clock.dequeue() : clock.head();
    }
    void flushPointerChange() override { m_real.flushPointerChange(); }

    void setClock(const QDateTime& time) {
        clock.clear();
        clock.enqueue(time);
    }

    // A screen that gives no picture.
    bool blind = false;
    mutable QQueue<QDateTime> clock;
    mutable int readings = 0;
    int beeps = 0;

private:
    QtDesktop m_real;
};

QDateTime at(int hour, int minute, int second, QDate date = QDate(2007, 6, 5)) {
    return QDateTime(date, QTime(hour, minute, second));
}

// Every entry of a folder, hidden ones included, so that a left-over temporary file shows.
QStringList entries(const QString& folder) {
    QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

QByteArray headOf(const QString& path, qint64 size) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(size) : QByteArray();
}

QImage asRgb(const QImage& image) {
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace

class ScreenshotTest final : public QObject {
    Q_OBJECT

private:
    // The parts of one capture: fakes for the dialogs, the real desktop, a picSC of its own.
    struct Capture {
        Capture() {
            host = fakes.host();
            host.desktop = &desktop;
            desktop.setClock(at(14, 3, 9));
        }
        QString folder() const { return host.programFolder + u"/screenshots"_s; }
        QString file(const QString& name) const { return folder() + u'/' + name; }
        void take() { screenshot::take(host, &picSC); }

        FakeHost fakes;
        ScreenDesktop desktop;
        Host host;
        QLabel picSC;
    };

    // What a capture that worked leaves: the named file, a PNG of the whole screen that equals the
    // clipboard's picture and picSC's, one beep and no message.
    static void verifyCaptured(const Capture& capture, const QString& path, int beeps) {
        QVERIFY2(QFileInfo(path).isFile(), qPrintable(path));
        QCOMPARE(headOf(path, 8), QByteArray("\x89PNG\r\n\x1a\n"));
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("png"));
        const QImage saved = reader.read();
        QVERIFY2(!saved.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(saved.size(), QGuiApplication::primaryScreen()->virtualGeometry().size());

        const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
        QVERIFY(clipboard && clipboard->hasImage());
        QVERIFY(asRgb(QGuiApplication::clipboard()->image()) == asRgb(saved));
        QVERIFY(asRgb(capture.picSC.pixmap().toImage()) == asRgb(saved));

        QCOMPARE(capture.desktop.beeps, beeps);
        QCOMPARE(capture.fakes.dialogs.told, QStringList());
    }

private Q_SLOTS:
    void theNameFollowsTheDateAndTime_data() {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("name");
        QTest::newRow("afternoon") << at(14, 3, 9) << u"Jun 05 07 14 03 09.png"_s;
        QTest::newRow("morning: no leading zero for the hour") << at(9, 5, 7) << u"Jun 05 07 9 05 07.png"_s;
        QTest::newRow("midnight") << at(0, 0, 0) << u"Jun 05 07 0 00 00.png"_s;
        QTest::newRow("last second of a century")
            << at(23, 59, 59, QDate(1999, 12, 31)) << u"Dec 31 99 23 59 59.png"_s;
        QTest::newRow("year 2000") << at(10, 0, 0, QDate(2000, 1, 1)) << u"Jan 01 00 10 00 00.png"_s;
        QTest::newRow("two-digit day") << at(12, 30, 45, QDate(2010, 3, 17)) << u"Mar 17 10 12 30 45.png"_s;
    }
    void theNameFollowsTheDateAndTime() {
        QFETCH(QDateTime, when);
        QFETCH(QString, name);
        QCOMPARE(screenshot::fileName(when, QLocale(QLocale::English, QLocale::UnitedStates)), name);
    }

    void theMonthComesFromTheLocaleAndTheDigitsStayAscii() {
        const QDateTime when = at(9, 5, 7, QDate(2007, 5, 5));
        QCOMPARE(screenshot::fileName(when, QLocale(QLocale::German, QLocale::Germany)),
                 u"Mai 05 07 9 05 07.png"_s);
        // A locale with digits of its own still gives names in ASCII digits.
        const QLocale arabic(QLocale::Arabic, QLocale::Egypt);
        QVERIFY(arabic.toString(5) != u"5"_s);
        const QString name = screenshot::fileName(when, arabic);
        // May, as this locale abbreviates it.
        QCOMPARE(name, u"\u0645\u0627\u064A\u0648 05 07 9 05 07.png"_s);
        QVERIFY(!name.startsWith(u"May"_s));
    }

    void aTakenNameGetsTheFirstFreeNumber_data() {
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QString>("name");
        const QString base = u"Jun 05 07 14 03 09.png"_s;
        QTest::newRow("free") << QStringList() << base;
        QTest::newRow("only a numbered one taken") << QStringList({u"Jun 05 07 14 03 09 (2).png"_s}) << base;
        QTest::newRow("taken once") << QStringList({base}) << u"Jun 05 07 14 03 09 (2).png"_s;
        QTest::newRow("taken twice") << QStringList({base, u"Jun 05 07 14 03 09 (2).png"_s})
                                     << u"Jun 05 07 14 03 09 (3).png"_s;
        QTest::newRow("a gap is filled")
            << QStringList({base, u"Jun 05 07 14 03 09 (3).png"_s}) << u"Jun 05 07 14 03 09 (2).png"_s;
    }
    void aTakenNameGetsTheFirstFreeNumber() {
        QFETCH(QStringList, taken);
        QFETCH(QString, name);
        const QSet<QString> names(taken.cbegin(), taken.cend());
        QCOMPARE(screenshot::freeFileName(u"Jun 05 07 14 03 09.png"_s,
                                          [&names](const QString& n) { return names.contains(n); }),
                 name);
    }

    void aCaptureSavesTheWholeScreenAsPngAndLeavesItOnTheClipboard() {
        // Something to recognise on the screen, away from the corner where other windows land.
        QWidget marker(nullptr, Qt::FramelessWindowHint);
        marker.setAutoFillBackground(true);
        marker.setPalette(QPalette(Qt::magenta));
        const QRect markerArea(1700, 880, 200, 180);
        marker.setGeometry(markerArea);
        marker.show();
        marker.raise();
        QVERIFY(QTest::qWaitForWindowExposed(&marker));
        QtDesktop screen;
        QTRY_COMPARE(screen.grabScreen().pixel(markerArea.center()), QColor(Qt::magenta).rgb());

        Capture capture;
        QGuiApplication::clipboard()->setText(u"what the clipboard held before"_s);
        capture.take();

        const QString path = capture.file(u"Jun 05 07 14 03 09.png"_s);
        verifyCaptured(capture, path, 1);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(QImage(path).pixel(markerArea.center()), QColor(Qt::magenta).rgb());
        QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasText());
        // Nothing but the file: no temporary file is left behind.
        QCOMPARE(entries(capture.folder()), QStringList({u"Jun 05 07 14 03 09.png"_s}));
        // Compressed, not stored: raw pixels alone would take width * height * 3 bytes.
        const QSize size = QImage(path).size();
        QVERIFY(QFileInfo(path).size() < qint64(size.width()) * size.height() * 3 / 2);
    }

    void capturesInTheSameSecondKeepEveryFile() {
        Capture capture;
        for (int i = 0; i < 3; ++i)
            capture.take();
        const QStringList names = {u"Jun 05 07 14 03 09 (2).png"_s, u"Jun 05 07 14 03 09 (3).png"_s,
                                   u"Jun 05 07 14 03 09.png"_s};
        QCOMPARE(entries(capture.folder()), names);
        // The third capture is the one the clipboard holds now.
        verifyCaptured(capture, capture.file(u"Jun 05 07 14 03 09 (3).png"_s), 3);
        if (QTest::currentTestFailed())
            return;
        for (const QString& name : names)
            QCOMPARE(QImageReader(capture.file(name)).format(), QByteArray("png"));
    }

    void aNameTakenByAFolderIsNotTouched() {
        Capture capture;
        QVERIFY(QDir(capture.folder()).mkdir(u"Jun 05 07 14 03 09.png"_s));
        capture.take();
        verifyCaptured(capture, capture.file(u"Jun 05 07 14 03 09 (2).png"_s), 1);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(QFileInfo(capture.file(u"Jun 05 07 14 03 09.png"_s)).isDir());
    }

    void aCaptureAtMidnightReadsTheClockOnce() {
        // A clock that moves on between readings: the last instant of 4 June, then the first of 5 June.
        Capture capture;
        capture.desktop.setClock(QDateTime(QDate(2007, 6, 4), QTime(23, 59, 59, 999)));
        capture.desktop.clock.enqueue(at(0, 0, 0));
        capture.take();
        QCOMPARE(capture.desktop.readings, 1);
        QCOMPARE(entries(capture.folder()), QStringList({u"Jun 04 07 23 59 59.png"_s}));
        verifyCaptured(capture, capture.file(u"Jun 04 07 23 59 59.png"_s), 1);
    }

    void withoutTheScreenshotsFolderNothingIsWritten_data() {
        QTest::addColumn<bool>("fileInItsPlace");
        QTest::newRow("missing") << false;
        QTest::newRow("a file in its place") << true;
    }
    void withoutTheScreenshotsFolderNothingIsWritten() {
        QFETCH(bool, fileInItsPlace);
        Capture capture;
        QVERIFY(QDir(capture.folder()).removeRecursively());
        if (fileInItsPlace) {
            QFile file(capture.folder());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("not a folder");
        }
        const QStringList before = entries(capture.host.programFolder);
        capture.take();

        QCOMPARE(capture.fakes.dialogs.told,
                 QStringList({u"The screenshot could not be saved: the folder "_s + capture.folder() +
                              u" does not exist."_s}));
        QCOMPARE(capture.desktop.beeps, 0);
        // The program does not make the folder, and a file in its place stays as it was.
        QCOMPARE(entries(capture.host.programFolder), before);
        if (fileInItsPlace)
            QCOMPARE(headOf(capture.folder(), 100), QByteArray("not a folder"));
    }

    void aFolderThatTakesNoFilesIsReported() {
        // Even root cannot make a file in /proc, so it stands in for a folder the program may not write to.
        if (!QFileInfo(u"/proc/self"_s).isDir())
            QSKIP("needs /proc: a folder where no user can create a file");
        Capture capture;
        QVERIFY(QDir(capture.folder()).removeRecursively());
        QVERIFY(QFile::link(u"/proc"_s, capture.folder()));
        capture.take();

        const QString path = capture.file(u"Jun 05 07 14 03 09.png"_s);
        QCOMPARE(capture.fakes.dialogs.told.size(), 1);
        const QString message = capture.fakes.dialogs.told.first();
        QVERIFY2(message.startsWith(u"The screenshot could not be saved as "_s + path + u": "_s),
                 qPrintable(message));
        QVERIFY2(message.size() > (u"The screenshot could not be saved as "_s + path + u": ."_s).size(),
                 "the message gives the reason");
        QCOMPARE(capture.desktop.beeps, 0);
        QVERIFY(!QFileInfo::exists(path));
    }

    // The disk filling up during the save, at the first byte or half-way through the picture: no file, no
    // beep, and a message with the system's reason.
    void aSaveThatFailsLeavesNoFileAndNoBeep_data() {
        QTest::addColumn<int>("room");
        QTest::newRow("at the first byte") << 0;
        QTest::newRow("half-way") << 4096;
    }
    void aSaveThatFailsLeavesNoFileAndNoBeep() {
        QFETCH(int, room);
        Capture capture;
        {
            FileSizeLimit limit{rlim_t(room)};
            QVERIFY(limit.active());
            capture.take();
        }
        const QString path = capture.file(u"Jun 05 07 14 03 09.png"_s);
        QCOMPARE(capture.fakes.dialogs.told,
                 QStringList({u"The screenshot could not be saved as %1: File too large."_s.arg(path)}));
        QCOMPARE(capture.desktop.beeps, 0);
        QCOMPARE(entries(capture.folder()), QStringList());

        // With room again the next capture is saved whole.
        capture.fakes.dialogs.told.clear();
        capture.take();
        verifyCaptured(capture, path, 1);
    }

    void withoutAPictureOrAPortalNothingIsWritten() {
        // A screen that gives no picture, and no screenshot service to ask for one.
        Capture capture;
        capture.desktop.blind = true;
        QGuiApplication::clipboard()->setText(u"what the clipboard held before"_s);
        capture.take();

        QCOMPARE(capture.fakes.dialogs.told,
                 QStringList(
                     {u"The screenshot could not be taken: this desktop offers no screenshot service."_s}));
        QCOMPARE(capture.desktop.beeps, 0);
        QCOMPARE(entries(capture.folder()), QStringList());
        // Nothing was taken, so the clipboard keeps what it held.
        QCOMPARE(QGuiApplication::clipboard()->text(), u"what the clipboard held before"_s);
    }

    void aPicscGoneWhileEventsRunEndsTheCapture() {
        // The window that holds picSC may close while pending events run; the capture then stops quietly.
        Capture capture;
        auto* picSC = new QLabel;
        QObject context;
        QMetaObject::invokeMethod(
            &context, [picSC] { delete picSC; }, Qt::QueuedConnection);
        screenshot::take(capture.host, picSC);

        QCOMPARE(capture.fakes.dialogs.told, QStringList());
        QCOMPARE(capture.desktop.beeps, 0);
        QCOMPARE(entries(capture.folder()), QStringList());
    }

    void bothTakeSsCommandsCaptureAlike() {
        FakeHost fakes;
        ScreenDesktop desktop;
        Host host = fakes.host();
        host.desktop = &desktop;
        Program program(host);
        frmMain* game = program.windows.get<frmMain>();
        QVERIFY(game);

        const QString folder = host.programFolder + u"/screenshots/"_s;
        struct Command {
            QAction* action;
            QDateTime when;
            QString name;
        };
        const Command commands[] = {
            {control<QAction>(game, "mnuScreenshot"), at(9, 5, 7), u"Jun 05 07 9 05 07.png"_s},
            {control<QAction>(game, "mnuTScreenshot"), at(9, 5, 8), u"Jun 05 07 9 05 08.png"_s},
        };
        int beeps = 0;
        for (const Command& command : commands) {
            desktop.setClock(command.when);
            QGuiApplication::clipboard()->setText(u"before"_s);
            command.action->trigger();
            ++beeps;

            const QString path = folder + command.name;
            QVERIFY2(QFileInfo(path).isFile(), qPrintable(path));
            QCOMPARE(QImageReader(path).format(), QByteArray("png"));
            const QImage saved(path);
            QCOMPARE(saved.size(), QGuiApplication::primaryScreen()->virtualGeometry().size());
            QVERIFY(asRgb(QGuiApplication::clipboard()->image()) == asRgb(saved));
            QVERIFY(asRgb(control<QLabel>(game, "picSC")->pixmap().toImage()) == asRgb(saved));
            QVERIFY(!control<QLabel>(game, "picSC")->isVisible());
            QCOMPARE(desktop.beeps, beeps);
        }
        QCOMPARE(entries(folder), QStringList({commands[0].name, commands[1].name}));
        QCOMPARE(fakes.dialogs.told, QStringList());
    }
};

int main(int argc, char** argv) {
    // The names are checked in the English month names of the C locale, whatever the machine's locale is.
    qputenv("LC_ALL", "C.UTF-8");
    QApplication app(argc, argv);
    ScreenshotTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "screenshot_test.moc"
