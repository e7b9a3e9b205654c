// Hiding into a real notification area: the test runs on its own display with a notification area (trayer)
// started by with-trayer.sh, and clicks the icon through the X server as a user would.
#include "Controls.h"
#include "Fakes.h"
#include "app/Program.h"
#include "gamewindow/frmMain.h"
#include "host/QtTrayIcon.h"

#include <QApplication>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The window the notification area docks for our icon.
QWidget* dockedIcon() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && QByteArray(widget->metaObject()->className()) == "QSystemTrayIconSys")
            return widget;
    }
    return nullptr;
}

} // namespace

class TrayTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("MOSSPORT_TRAYER"))
            QSKIP("needs the notification area that with-trayer.sh starts");
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
    }

    void aClickOnTheIconBringsTheWindowBack() {
        FakeHost fakes;
        Host host = fakes.host();
        host.makeTrayIcon = [](const QIcon& icon, QObject* parent) -> TrayIcon* {
            return new QtTrayIcon(icon, parent);
        };
        Program program(host);
        frmMain* game = program.windows.show<frmMain>();
        QVERIFY(QTest::qWaitForWindowExposed(game));

        control<QAction>(game, "mnuHide")->trigger();
        QVERIFY(!game->isVisible());
        QVERIFY(fakes.dialogs.told.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(dockedIcon() && dockedIcon()->isVisible(), 10000);
        QWidget* icon = dockedIcon();
        QVERIFY(QTest::qWaitForWindowExposed(icon));
        QVERIFY(icon->toolTip().isEmpty());

        const QPoint centre = icon->mapToGlobal(icon->rect().center());
        QCOMPARE(QProcess::execute(u"xdotool"_s, {u"mousemove"_s, QString::number(centre.x()),
                                                  QString::number(centre.y()), u"click"_s, u"1"_s}),
                 0);
        QTRY_VERIFY_WITH_TIMEOUT(game->isVisible(), 10000);
        QTRY_VERIFY(!dockedIcon());
        QVERIFY(!program.windows.hasEnded());
    }
};

QTEST_MAIN(TrayTest)
#include "tray_test.moc"
