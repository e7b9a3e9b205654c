// The portable program folder as one archive, made by CPack from the built tree, and the desktop files it
// carries, checked by the desktop's own validators where they are installed.
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Run {
    int exitCode = -1;
    QString output;
};

Run run(const QString& program, const QStringList& arguments, const QString& folder = {}) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(240000)) {
        process.kill();
        process.waitForFinished();
        result.output = u"did not end: "_s + program;
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = QString::fromLocal8Bit(process.readAll());
    return result;
}

} // namespace

class PackageTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    // The unpacked archive's one top folder.
    QString m_top;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        const Run packed =
            run(u"cpack"_s, {u"-G"_s, u"TGZ"_s, u"--config"_s, QStringLiteral(MOSSPORT_CPACK_CONFIG), u"-B"_s,
                             m_dir.filePath(u"out"_s)});
        QVERIFY2(packed.exitCode == 0, qPrintable(packed.output));
        const QStringList archives = QDir(m_dir.filePath(u"out"_s)).entryList({u"*.tar.gz"_s}, QDir::Files);
        QCOMPARE(archives, QStringList{u"mossport-" MOSSPORT_VERSION ".tar.gz"_s});
        QVERIFY(QDir().mkpath(m_dir.filePath(u"home"_s)));
        const Run unpacked = run(u"tar"_s, {u"-xzf"_s, m_dir.filePath(u"out/"_s + archives.first()), u"-C"_s,
                                            m_dir.filePath(u"home"_s)});
        QVERIFY2(unpacked.exitCode == 0, qPrintable(unpacked.output));
        const QStringList tops =
            QDir(m_dir.filePath(u"home"_s)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        QCOMPARE(tops, QStringList{u"mossport-" MOSSPORT_VERSION ""_s});
        m_top = m_dir.filePath(u"home/"_s + tops.first());
    }

    // The program folder as the program expects it: the programs beside empty screenshots/ and notes/.
    void theArchiveHoldsTheProgramFolder() {
        for (const QString& program : {u"mossport"_s, u"mossport-rtf"_s}) {
            const QFileInfo file(m_top + u'/' + program);
            QVERIFY2(file.isFile() && file.isExecutable(), qPrintable(program));
        }
        for (const QString& folder : {u"screenshots"_s, u"notes"_s}) {
            const QDir dir(m_top + u'/' + folder);
            QVERIFY2(dir.exists(), qPrintable(folder));
            QVERIFY(dir.isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
        }
        // Nothing of the tests or benchmarks comes along.
        QStringList files;
        QDirIterator it(m_top, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files.append(QDir(m_top).relativeFilePath(it.next()));
        files.sort();
        QStringList expected = {u"mossport"_s, u"mossport-rtf"_s, u"share/applications/mossport.desktop"_s,
                                u"share/metainfo/com.brambleden.Mossport.metainfo.xml"_s};
        for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
            expected.append(u"share/icons/hicolor/%1x%1/apps/mossport.png"_s.arg(size));
        expected.sort();
        QCOMPARE(files, expected);
    }

    void eachIconHasTheSizeItsFolderNames() {
        QDirIterator it(m_top + u"/share/icons/hicolor"_s, {u"mossport.png"_s}, QDir::Files,
                        QDirIterator::Subdirectories);
        int icons = 0;
        while (it.hasNext()) {
            const QString path = it.next();
            const QString folder = QFileInfo(path).dir().dirName() == u"apps"_s
                                       ? QFileInfo(QFileInfo(path).absolutePath()).dir().dirName()
                                       : QString();
            const int size = folder.section(u'x', 0, 0).toInt();
            QImageReader reader(path);
            QCOMPARE(reader.format(), QByteArray("png"));
            QCOMPARE(reader.size(), QSize(size, size));
            ++icons;
        }
        QCOMPARE(icons, 8);
    }

    void theDesktopEntryIsValid() {
        if (QStandardPaths::findExecutable(u"desktop-file-validate"_s).isEmpty())
            QSKIP("needs desktop-file-validate (Debian package desktop-file-utils)");
        const Run checked =
            run(u"desktop-file-validate"_s, {m_top + u"/share/applications/mossport.desktop"_s});
        QVERIFY2(checked.exitCode == 0 && checked.output.trimmed().isEmpty(), qPrintable(checked.output));
    }

    void theMetainfoIsValid() {
        if (QStandardPaths::findExecutable(u"appstreamcli"_s).isEmpty())
            QSKIP("needs appstreamcli (Debian package appstream)");
        const Run checked =
            run(u"appstreamcli"_s, {u"validate"_s, u"--no-net"_s,
                                    m_top + u"/share/metainfo/com.brambleden.Mossport.metainfo.xml"_s});
        QVERIFY2(checked.exitCode == 0, qPrintable(checked.output));
    }
};

QTEST_GUILESS_MAIN(PackageTest)
#include "package_test.moc"
