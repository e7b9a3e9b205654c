// One session of the program for the web profile's tests, built as main() builds the program: the real host,
// the window registry, the game window. Its game view loads ADDRESS; once the page's title starts with
// "done:", the session prints that title and ends the way ENDING says: "quit" (the File menu's "Quit",
// answered yes), "close" (the game window's close box) or "update" ("Update Now" on the update window).
// With "hold" it first waits until its standard input closes, then quits.
//   webprofile_session ADDRESS ENDING [hold]
#include "Controls.h"
#include "Fakes.h"
#include "app/Program.h"
#include "gamewindow/frmMain.h"
#include "host/RealHost.h"
#include "startup/frmUpdate.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <cstdio>
#include <unistd.h>

using namespace Qt::StringLiterals;

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Mossport"_s);
    QApplication::setQuitOnLastWindowClosed(false);
    const QString address = QString::fromLocal8Bit(argv[1]);
    const QString ending = QString::fromLocal8Bit(argv[2]);
    const bool hold = argc > 3 && QByteArray(argv[3]) == "hold";

    QTemporaryDir programFolder;
    RealHost real(programFolder.path());
    // The real host, but for the prompts, which answer yes, and the version check, which nobody makes.
    FakeDialogs dialogs;
    dialogs.answers.enqueue(u"yes"_s);
    FakeHttp http;
    Host host = real.host();
    host.dialogs = &dialogs;
    host.http = &http;
    Program program(host);
    QObject::connect(&program.windows, &Windows::programEnded, &app, [] { QApplication::exit(0); });

    frmMain* game = program.windows.show<frmMain>();
    auto end = [&program, game, ending] {
        if (ending == u"close"_s)
            game->close();
        else if (ending == u"update"_s)
            control<QPushButton>(program.windows.show<frmUpdate>(), "cmdUpdate")->click();
        else
            control<QAction>(game, "mnuQuit")->trigger();
    };
    QSocketNotifier input(0, QSocketNotifier::Read);
    input.setEnabled(false);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&input, game] {
        char byte;
        if (::read(0, &byte, 1) <= 0) {
            input.setEnabled(false);
            control<QAction>(game, "mnuQuit")->trigger();
        }
    });
    bool done = false;
    QObject::connect(control<WebView>(game, "wbApplet"), &WebView::TitleChange, &app,
                     [&, hold](const QString& title) {
                         if (done || !title.startsWith(u"done:"_s))
                             return;
                         done = true;
                         std::printf("%s\n", qPrintable(title));
                         std::fflush(stdout);
                         if (hold)
                             input.setEnabled(true);
                         else
                             end();
                     });
    control<WebView>(game, "wbApplet")->Navigate(address);
    return QApplication::exec();
}
