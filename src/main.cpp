// Mossport starts with its splash window; everything after that is driven by the windows.
#include "app/Look.h"
#include "app/Program.h"
#include "host/RealHost.h"
#include "startup/frmSplash.h"

#include <QApplication>
#include <QLoggingCategory>
#include <unistd.h>

using namespace Qt::StringLiterals;

int main(int argc, char** argv) {
    // The web engine refuses to run as root with its sandbox on; it reads this before the application exists.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The web engine reports its whole configuration at start, and the image readers complain about a note's
    // damaged picture; neither is of use to the user.
    QLoggingCategory::setFilterRules(u"qt.webenginecontext.info=false\nqt.gui.imageio*=false"_s);
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Mossport"_s);
    // The game window may be hidden in the notification area with no window on the screen: the program ends
    // only when its windows say so.
    QApplication::setQuitOnLastWindowClosed(false);
    look::registerTahoma();

    RealHost host(QCoreApplication::applicationDirPath());
    Program program(host.host());
    QObject::connect(&program.windows, &Windows::programEnded, &app, [] { QApplication::exit(0); });
    program.windows.show<frmSplash>();
    return QApplication::exec();
}
