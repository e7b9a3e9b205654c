// Idle cost of the game window: the processor time that Mossport's game window takes while it shows a page,
// narrow as it starts, with the play-time clock running, against a bare QWebEngineView of the same size on
// the same page. Each runs in a process of its own, side by side in the same run, so that the machine's load
// falls on each alike; beside them run the game window with its sidebar shown, the game window with no page
// (for its memory) and, where given, the game window of another build. The page is served on 127.0.0.1 by
// this process.
//
//   xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" build-test/bin/idle_bench [SECONDS]
//   [OTHER_IDLE_BENCH]
//
// SECONDS (60 unless given) is how long the processor time is counted, after every window has shown its page
// and settled for 5 s. The processor time is that of every thread of each main process, counted by
// `perf stat -e task-clock -p PID` (Debian package linux-perf): the kernel's clock ticks charge a process
// that wakes on a timer a whole tick now and then, which is coarser than the differences measured here. The
// web engine's helper processes are the same for every window and are left out. OTHER_IDLE_BENCH is the
// idle_bench of another build (a baseline): its game window runs as one more process of the same run.
// Prints per process: task-clock in ms, the share of one core, the resident memory of the main process and
// of all its processes (summed, so libraries they share count more than once). Exits with 1 when Mossport's
// narrow game window takes more than 0.1% of a core above the bare view.
#include "app/Look.h"
#include "app/Program.h"
#include "gamewindow/frmMain.h"
#include "host/RealHost.h"
#include "host/WebView.h"

#include <Controls.h>
#include <LoopbackServer.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kSettleMs = 5000;
constexpr double kAllowedExtraPercent = 0.1;

// A page like a game's front page: text, a table and pictures drawn by the browser, nothing that moves.
const QByteArray kPage = R"(<!doctype html><html><head><title>Idle page</title><style>
body { font-family: sans-serif; background: #1b2a1b; color: #e0e0c0; margin: 20px }
.box { background: linear-gradient(#3a5a3a, #1b2a1b); border: 2px solid #a08040; padding: 12px; margin: 8px 0 }
td { border: 1px solid #806030; padding: 4px 10px }
</style></head><body><h1>Brambleden</h1>
<div class="box"><h2>News</h2><p>The servers are up. A new quest is out in the swamp to the south.</p></div>
<div class="box"><table><tr><td>Attack</td><td>40</td></tr><tr><td>Strength</td><td>38</td></tr>
<tr><td>Defence</td><td>35</td></tr><tr><td>Magic</td><td>52</td></tr></table></div>
<div class="box"><p>Play now: choose a world below.</p><ul><li>World 1</li><li>World 2</li><li>World 3</li></ul></div>
</body></html>)";

// ----- the windows measured, each in a process of its own -----

// The game window as the program shows it, pointed at the served page, its clock running. Without a page,
// the web view shows nothing: the main process's memory without web content.
int runMossport(int argc, char** argv, const QUrl& page, bool sidebar) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Mossport"_s);
    QApplication::setQuitOnLastWindowClosed(false);
    look::registerTahoma();
    QTemporaryDir folder;
    QDir(folder.path()).mkpath(u"notes"_s);
    QDir(folder.path()).mkpath(u"screenshots"_s);
    RealHost host(folder.path());
    Program program(host.host());
    frmMain* window = program.windows.show<frmMain>();
    if (!window)
        return 1;
    if (sidebar)
        control<QAction>(window, "mnuSidebar")->trigger();
    QObject::connect(control<WebView>(window, "wbApplet"), &WebView::TitleChange, &app,
                     [](const QString& title) {
                         if (title == u"Idle page"_s) {
                             std::printf("ready\n");
                             std::fflush(stdout);
                         }
                     });
    if (page.isEmpty()) {
        QTimer::singleShot(0, &app, [] {
            std::printf("ready\n");
            std::fflush(stdout);
        });
    } else {
        control<WebView>(window, "wbApplet")->Navigate(page.toString());
    }
    return QApplication::exec();
}

// A bare web view of the game window's web view size on the same page.
int runBare(int argc, char** argv, const QUrl& page) {
    QApplication app(argc, argv);
    QWebEngineView view;
    view.resize(777, 545);
    QObject::connect(&view, &QWebEngineView::titleChanged, &app, [](const QString& title) {
        if (title == u"Idle page"_s) {
            std::printf("ready\n");
            std::fflush(stdout);
        }
    });
    view.load(page);
    view.show();
    return QApplication::exec();
}

// ----- measuring -----

QList<QByteArray> statFields(qint64 pid) {
    QFile file(u"/proc/%1/stat"_s.arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = file.readAll();
    // The command name in parentheses may hold spaces; the fields after it are plain numbers.
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return {};
    return line.mid(close + 2).split(' ');
}

qint64 kbFrom(const QString& file, const QByteArray& key) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : in.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

// The process and every process under it (the web engine's helpers).
QList<qint64> treeOf(qint64 root) {
    QHash<qint64, QList<qint64>> children;
    for (const QString& entry : QDir(u"/proc"_s).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        const QList<QByteArray> f = number ? statFields(pid) : QList<QByteArray>();
        if (f.size() > 1)
            children[f[1].toLongLong()].append(pid);
    }
    QList<qint64> tree{root};
    for (qsizetype i = 0; i < tree.size(); ++i)
        tree += children.value(tree[i]);
    return tree;
}

// The task-clock in ms that `perf stat -x,` reports on its error output; -1 when it reports none. A process
// that never ran while counted is "<not counted>": no time at all.
double taskClockMs(const QByteArray& perfOutput) {
    for (const QByteArray& line : perfOutput.split('\n')) {
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() < 3 || fields[2] != "task-clock")
            continue;
        if (fields[0].startsWith("<not counted>"))
            return 0;
        bool number = false;
        const double ms = fields[0].toDouble(&number);
        return number ? ms : -1;
    }
    return -1;
}

struct Subject {
    QString name;
    QString program;
    QStringList arguments;
    QProcess* process = nullptr;
    QProcess* perf = nullptr;
    bool ready = false;
    double taskMs = -1;
    qint64 rssMainKb = 0;
    qint64 rssAllKb = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QT_LOGGING_RULES", "qt.webenginecontext.info=false");
    if (argc == 3 && QByteArray(argv[1]) == "--bare")
        return runBare(argc, argv, QUrl(QString::fromLatin1(argv[2])));
    if (argc == 3 && QByteArray(argv[1]) == "--mossport")
        return runMossport(argc, argv, QUrl(QString::fromLatin1(argv[2])), false);
    if (argc == 3 && QByteArray(argv[1]) == "--mossport-sidebar")
        return runMossport(argc, argv, QUrl(QString::fromLatin1(argv[2])), true);
    if (argc == 2 && QByteArray(argv[1]) == "--mossport-no-page")
        return runMossport(argc, argv, QUrl(), false);

    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 60;
    const QString baseline =
        argc > 2 ? QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath() : QString();
    if (seconds <= 0 || argc > 3 || (!baseline.isEmpty() && !QFileInfo(baseline).isExecutable())) {
        std::fprintf(stderr, "usage: idle_bench [SECONDS] [OTHER_IDLE_BENCH]\n");
        return 2;
    }
    const QString perf = QStandardPaths::findExecutable(u"perf"_s);
    if (perf.isEmpty()) {
        std::fprintf(stderr, "idle_bench: needs perf (Debian package linux-perf)\n");
        return 2;
    }
    LoopbackServer server;
    server.addPage(u"/idle.html"_s, kPage);
    const QString page = server.address(u"/idle.html"_s);

    const QString self = QCoreApplication::applicationFilePath();
    QList<Subject> subjects{
        {u"bare QWebEngineView"_s, self, {u"--bare"_s, page}},
        {u"Mossport game window"_s, self, {u"--mossport"_s, page}},
        {u"Mossport, sidebar shown"_s, self, {u"--mossport-sidebar"_s, page}},
        {u"Mossport, no page"_s, self, {u"--mossport-no-page"_s}},
    };
    if (!baseline.isEmpty())
        subjects.append({u"other build's game window"_s, baseline, {u"--mossport"_s, page}});
    int readyCount = 0;
    for (Subject& s : subjects) {
        s.process = new QProcess(&app);
        s.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(s.process, &QProcess::readyReadStandardOutput, &app, [&s, &readyCount] {
            if (!s.ready && s.process->readAllStandardOutput().contains("ready")) {
                s.ready = true;
                ++readyCount;
            }
        });
        s.process->start(s.program, s.arguments);
    }

    const auto waitFor = [](const std::function<bool()>& done, int ms) {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        return done();
    };
    bool ok = waitFor([&] { return readyCount == subjects.size(); }, 60000);
    if (ok) {
        waitFor([] { return false; }, kSettleMs);
        // Every count runs over the same seconds.
        for (Subject& s : subjects) {
            s.perf = new QProcess(&app);
            s.perf->start(perf, {u"stat"_s, u"-x,"_s, u"-e"_s, u"task-clock"_s, u"-p"_s,
                                 QString::number(s.process->processId()), u"--"_s, u"sleep"_s,
                                 QString::number(seconds)});
        }
        ok = waitFor(
            [&] {
                return std::all_of(subjects.cbegin(), subjects.cend(),
                                   [](const Subject& s) { return s.perf->state() == QProcess::NotRunning; });
            },
            (seconds + 30) * 1000);
        for (Subject& s : subjects) {
            s.taskMs = taskClockMs(s.perf->readAllStandardError());
            ok = ok && s.taskMs >= 0;
            for (const qint64 pid : treeOf(s.process->processId()))
                s.rssAllKb += kbFrom(u"/proc/%1/status"_s.arg(pid), "VmRSS:");
            s.rssMainKb = kbFrom(u"/proc/%1/status"_s.arg(s.process->processId()), "VmRSS:");
        }
        if (!ok)
            std::fprintf(stderr, "idle_bench: perf stat counted no task-clock\n");
    } else {
        std::fprintf(stderr, "idle_bench: a window never showed the page\n");
    }
    for (Subject& s : subjects) {
        s.process->terminate();
        if (!s.process->waitForFinished(10000))
            s.process->kill();
    }
    if (!ok)
        return 1;

    std::printf("idle for %d s after %d s to settle; task-clock of every thread of each main process\n",
                seconds, kSettleMs / 1000);
    std::printf("%-30s %14s %10s %14s %14s\n", "", "task-clock ms", "% of core", "main RSS MiB",
                "all RSS MiB");
    QList<double> percents;
    for (const Subject& s : subjects) {
        const double percent = 100.0 * s.taskMs / (1000.0 * seconds);
        percents.append(percent);
        std::printf("%-30s %14.1f %10.3f %14.1f %14.1f\n", qPrintable(s.name), s.taskMs, percent,
                    double(s.rssMainKb) / 1024, double(s.rssAllKb) / 1024);
    }
    const double extra = percents[1] - percents[0];
    std::printf(
        "Mossport above the bare view: %.3f%% of a core (allowed %.1f%%); with the sidebar shown %.3f%%\n",
        extra, kAllowedExtraPercent, percents[2] - percents[0]);
    if (!baseline.isEmpty())
        std::printf("other build above the bare view: %.3f%% of a core\n", percents[4] - percents[0]);
    return extra <= kAllowedExtraPercent ? 0 : 1;
}
