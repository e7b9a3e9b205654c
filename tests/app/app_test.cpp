// The pieces every window shares: the window registry and the end of the program, titles, folders and
// the typed confirmation.
#include "Fakes.h"
#include "app/Confirmation.h"
#include "app/Folders.h"
#include "app/Look.h"
#include "app/Program.h"

#include <QCloseEvent>
#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

// A window that counts its loads and close events. Its load step is a private slot, as in every window.
class CountingWindow : public QWidget {
    Q_OBJECT
public:
    explicit CountingWindow(Program& program)
        : m_program(program) {
        ++created;
    }
    void closeEvent(QCloseEvent* event) override {
        ++closeEvents;
        QWidget::closeEvent(event);
    }

    static inline int created = 0;
    static inline int loads = 0;
    static inline int closeEvents = 0;
    static inline bool unloadWhileLoading = false;

    static void reset() {
        created = loads = closeEvents = 0;
        unloadWhileLoading = false;
    }

protected:
    Program& m_program;

private Q_SLOTS:
    void Form_Load() {
        ++loads;
        if (unloadWhileLoading)
            m_program.windows.unload(this);
    }
};

class OtherWindow final : public CountingWindow {
public:
    using CountingWindow::CountingWindow;
};

// A window without a load step.
class PlainWindow final : public QWidget {
public:
    explicit PlainWindow(Program&) {}
};

} // namespace

class AppTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { CountingWindow::reset(); }

    void aWindowIsCreatedAndLoadedOnFirstUseOnly() {
        FakeHost fakes;
        Program program(fakes.host());
        QVERIFY(!program.windows.find<CountingWindow>());
        CountingWindow* first = program.windows.get<CountingWindow>();
        QVERIFY(first);
        QCOMPARE(program.windows.get<CountingWindow>(), first);
        QCOMPARE(program.windows.show<CountingWindow>(), first);
        QCOMPARE(CountingWindow::created, 1);
        QCOMPARE(CountingWindow::loads, 1);
        QVERIFY(first->isVisible());
        QVERIFY(!first->parentWidget());
        // Different window classes are different windows.
        QVERIFY(program.windows.get<PlainWindow>());
        QCOMPARE(program.windows.count(), 2);
    }

    void aClosedWindowIsForgottenAtOnceAndMadeAfreshNextTime() {
        FakeHost fakes;
        Program program(fakes.host());
        program.windows.show<PlainWindow>(); // keeps the program running
        QPointer<CountingWindow> first = program.windows.show<CountingWindow>();
        QVERIFY(first->close());
        // Forgotten before it is destroyed, so the next use cannot get the dying window.
        QVERIFY(!program.windows.find<CountingWindow>());
        CountingWindow* second = program.windows.show<CountingWindow>();
        QVERIFY(second != first.data());
        QCOMPARE(CountingWindow::loads, 2);
        QTRY_VERIFY(first.isNull());
        QVERIFY(!program.windows.hasEnded());
    }

    void aWindowThatClosesItselfWhileLoadingIsNeverShown() {
        FakeHost fakes;
        Program program(fakes.host());
        program.windows.show<PlainWindow>();
        CountingWindow::unloadWhileLoading = true;
        QVERIFY(!program.windows.show<CountingWindow>());
        QCOMPARE(CountingWindow::loads, 1);
        QVERIFY(!program.windows.find<CountingWindow>());
    }

    void endingTheProgramDestroysEveryWindowWithoutCloseHandling() {
        FakeHost fakes;
        Program program(fakes.host());
        QPointer<CountingWindow> one = program.windows.show<CountingWindow>();
        QPointer<OtherWindow> two = program.windows.show<OtherWindow>();
        two->hide(); // a hidden window goes too
        QSignalSpy ended(&program.windows, &Windows::programEnded);
        program.windows.endProgram();
        QCOMPARE(ended.count(), 1);
        QVERIFY(!one->isVisible());
        QCOMPARE(program.windows.count(), 0);
        QTRY_VERIFY(one.isNull() && two.isNull());
        QCOMPARE(CountingWindow::closeEvents, 0);
        // Ending twice ends once.
        program.windows.endProgram();
        QCOMPARE(ended.count(), 1);
    }

    void theProgramEndsWhenNoWindowIsLeftAfterAHandler() {
        FakeHost fakes;
        Program program(fakes.host());
        QSignalSpy ended(&program.windows, &Windows::programEnded);
        CountingWindow* only = program.windows.show<CountingWindow>();

        // Closing the only window and showing another in the same handler keeps the program running.
        only->close();
        program.windows.show<OtherWindow>();
        QCoreApplication::processEvents();
        QCOMPARE(ended.count(), 0);

        // Closing the last one ends it.
        program.windows.find<OtherWindow>()->close();
        QTRY_COMPARE(ended.count(), 1);
        QVERIFY(program.windows.hasEnded());
    }

    void titlesShowOutsideTextExactly_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << u"Mossport Browser [News]"_s;
        QTest::newRow("placeholder") << u"Runescape Highscores [[*]]"_s;
        QTest::newRow("two placeholders") << u"[*] and [*][*]"_s;
        QTest::newRow("empty") << QString();
    }
    void titlesShowOutsideTextExactly() {
        QFETCH(QString, text);
        QWidget window;
        window.setWindowTitle(look::literalTitle(text));
        window.show();
        QVERIFY(window.windowHandle());
        QCOMPARE(window.windowHandle()->title(), text);
    }

    void foldersLieInTheProgramFolder() {
        QCOMPARE(folders::screenshots(u"/opt/mossport"_s), u"/opt/mossport/screenshots/"_s);
        QCOMPARE(folders::notes(u"/opt/mossport"_s), QDir::toNativeSeparators(u"/opt/mossport/notes/"_s));
    }

    void onlyExactlyYesConfirms_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("yes") << u"yes"_s << true;
        QTest::newRow("Yes") << u"Yes"_s << false;
        QTest::newRow("YES") << u"YES"_s << false;
        QTest::newRow("leading space") << u" yes"_s << false;
        QTest::newRow("trailing space") << u"yes "_s << false;
        QTest::newRow("cancel") << QString() << false;
        QTest::newRow("y") << u"y"_s << false;
    }
    void onlyExactlyYesConfirms() {
        QFETCH(QString, answer);
        QFETCH(bool, confirmed);
        QCOMPARE(confirmation::isYes(answer), confirmed);
    }
};

QTEST_MAIN(AppTest)
#include "app_test.moc"
