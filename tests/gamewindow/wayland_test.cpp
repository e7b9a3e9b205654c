// The capture as a native Wayland client in a real headless desktop (sway with the screenshot portal),
// started by the shared wayland-session tool: F1 in the probe's window writes a whole 1920 x 1080 PNG, and
// does again the second time. Under the sanitizers the probe's end checks that nothing it made is left over,
// the first picture that the second replaced on the clipboard included.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString sessionTool = QStringLiteral(MOSSPORT_SHARED_DIR) + u"/tools/wayland-session"_s;
// The desktop runs as this unprivileged user: the compositor refuses to run as root.
const QString desktopUser = u"mossport-wl"_s;

// Runs inside the session, as the desktop's user: starts the probe, focuses its window, types F1, and once
// the probe has beeped types F1 again, then waits for the probe to end (at its second beep, or at a message).
const QByteArray driveScript = R"(#!/usr/bin/env bash
set -u
probe=$1 folder=$2 log=$3
"$probe" "$folder" >"$log" 2>&1 &
pid=$!
timeout 30 bash -c 'until swaymsg -t get_tree | grep -q "\"Mossport capture probe\""; do sleep 0.1; done' ||
  { echo "the probe's window did not appear"; cat "$log"; kill $pid; exit 1; }
swaymsg '[title="Mossport capture probe"] focus' >/dev/null
# The headless seat has no keyboard until wtype brings its virtual one; the program takes a key from it only
# once it has seen the keyboard arrive, so wtype waits a second before it presses F1. Each wtype brings a
# keyboard of its own.
wtype -s 1000 -k F1
timeout 60 bash -c "until grep -q '^beep' '$log' || ! kill -0 $pid 2>/dev/null; do sleep 0.1; done"
wtype -s 1000 -k F1
timeout 60 bash -c "while kill -0 $pid 2>/dev/null; do sleep 0.1; done" ||
  { echo "the probe did not end after F1"; cat "$log"; kill $pid; exit 1; }
wait $pid
rc=$?
cat "$log"
exit $rc
)";

// The sanitizer build names its leak rules in LSAN_OPTIONS as a file in the build tree, which the desktop's
// user cannot read when the checkout lies in a private folder. The rules are copied into `folder`, which that
// user can read, and the options name the copy; other options stay as they are. Empty when no file was named.
QString optionsWithReadableSuppressions(const QString& options, const QString& folder) {
    QStringList parts = options.split(u':');
    for (QString& part : parts) {
        if (!part.startsWith(u"suppressions="_s))
            continue;
        const QString copy = folder + u"/lsan.supp"_s;
        if (!QFile::copy(part.mid(13), copy))
            return {};
        QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        part = u"suppressions="_s + copy;
    }
    return parts.join(u':');
}

} // namespace

class WaylandTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void f1WritesAWholeScreenPng() {
        if (!QFileInfo(sessionTool).isExecutable())
            QSKIP(qPrintable(u"needs the headless desktop tool %1"_s.arg(sessionTool)));
        if (geteuid() != 0)
            QSKIP("needs root: the tool starts the desktop for an unprivileged user");
        for (const QString& command : {u"wtype"_s, u"swaymsg"_s, u"grim"_s, u"timeout"_s}) {
            if (QStandardPaths::findExecutable(command).isEmpty())
                QSKIP(qPrintable(u"needs %1 (Debian packages wtype, sway, grim)"_s.arg(command)));
        }

        // A program folder the desktop's user can read and write: the probe beside a screenshots folder.
        QTemporaryDir dir(QDir::tempPath() + u"/mossport-wayland-XXXXXX"_s);
        QVERIFY(dir.isValid());
        const QString folder = dir.filePath(u"program"_s);
        const QString screenshots = folder + u"/screenshots"_s;
        QVERIFY(QDir().mkpath(screenshots));
        const QString probe = folder + u"/wayland_probe"_s;
        QVERIFY(QFile::copy(QStringLiteral(MOSSPORT_WAYLAND_PROBE), probe));
        const QString script = dir.filePath(u"drive.sh"_s);
        QFile scriptFile(script);
        QVERIFY(scriptFile.open(QIODevice::WriteOnly));
        scriptFile.write(driveScript);
        scriptFile.close();
        const auto everyone = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                              QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                              QFileDevice::ExeOther;
        for (const QString& path : {dir.path(), folder, probe, script})
            QVERIFY(QFile::setPermissions(path, everyone));
        // The desktop's user writes the pictures and the probe's log.
        const QString logs = dir.filePath(u"logs"_s);
        QVERIFY(QDir().mkpath(logs));
        for (const QString& path : {screenshots, logs})
            QVERIFY(
                QFile::setPermissions(path, everyone | QFileDevice::WriteGroup | QFileDevice::WriteOther));
        const QString log = logs + u"/probe.log"_s;

        QProcess session;
        session.setProcessChannelMode(QProcess::MergedChannels);
        // The desktop's user gets a runtime folder of its own; ours belongs to root.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(u"XDG_RUNTIME_DIR"_s);
        // Nothing the probe reads may lie in the build tree: the checkout's folder may be closed to that
        // user.
        const QString leakOptions = environment.value(u"LSAN_OPTIONS"_s);
        if (leakOptions.contains(u"suppressions="_s)) {
            const QString readable = optionsWithReadableSuppressions(leakOptions, folder);
            QVERIFY2(!readable.isEmpty(), "the leak rules could not be copied beside the probe");
            environment.insert(u"LSAN_OPTIONS"_s, readable);
        }
        session.setProcessEnvironment(environment);
        session.start(sessionTool, {desktopUser, script, probe, folder, log});
        QVERIFY(session.waitForStarted());
        QVERIFY2(session.waitForFinished(150000), "the desktop session did not end");
        const QString output = QString::fromLocal8Bit(session.readAll());
        if (session.exitCode() == 2 && output.contains(u"missing packages"_s))
            QSKIP(qPrintable(output.trimmed()));
        // The session's own chatter comes first; the probe's report is at the end.
        QVERIFY2(session.exitStatus() == QProcess::NormalExit && session.exitCode() == 0,
                 qPrintable(output.right(2000)));
        QVERIFY2(output.contains(u"platform wayland"_s), qPrintable(output));
        qInfo("%s", qPrintable(output.trimmed()));

        const QStringList pictures = QDir(screenshots).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(pictures.size(), 2);
        for (const QString& name : pictures) {
            QVERIFY(name.endsWith(u".png"_s));
            const QString path = screenshots + u'/' + name;
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            QVERIFY(bytes.startsWith("\x89PNG\r\n\x1a\n"));
            // A whole PNG ends with its end chunk.
            QVERIFY(bytes.endsWith(QByteArray("IEND\xae\x42\x60\x82", 8)));
            QImageReader reader(path);
            const QImage picture = reader.read();
            QVERIFY2(!picture.isNull(), qPrintable(reader.errorString()));
            QCOMPARE(picture.size(), QSize(1920, 1080));
        }
    }
};

QTEST_GUILESS_MAIN(WaylandTest)
#include "wayland_test.moc"
