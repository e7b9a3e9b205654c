// The notepad's rules apart from its window: which typed names make a note, and the folder listing that
// re-reads the notes folder only when it may have changed. Real folders in a temporary directory throughout.
#include "notepad/FileListing.h"
#include "notepad/NoteName.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>

using namespace Qt::StringLiterals;

namespace {

void touch(const QString& path) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
}

struct timespec modificationTime(const QString& path) {
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mtim;
}

// Puts the folder's modification time back, as a file system with coarse time stamps leaves it after a change
// within the same tick.
void setModificationTime(const QString& path, const struct timespec& time) {
    const struct timespec times[2] = {time, time};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

} // namespace

class NotesRulesTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void typedNames_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("usable");
        QTest::newRow("plain") << u"quests"_s << true;
        QTest::newRow("already .rtf") << u"quests.rtf"_s << true;
        QTest::newRow("spaces kept") << u"  my quests "_s << true;
        QTest::newRow("hidden") << u".plan"_s << true;
        QTest::newRow("three dots") << u"..."_s << true;
        QTest::newRow("non-Latin") << u"заметки 日本"_s << true;
        QTest::newRow("parent") << u"../x"_s << false;
        QTest::newRow("sub-folder") << u"a/b"_s << false;
        QTest::newRow("backslash") << u"a\\b"_s << false;
        QTest::newRow("dot") << u"."_s << false;
        QTest::newRow("dot-dot") << u".."_s << false;
        QTest::newRow("tab") << u"a\tb"_s << false;
        QTest::newRow("new line") << u"a\nb"_s << false;
        QTest::newRow("nul") << QString::fromUtf16(u"a\0b", 3) << false;
        QTest::newRow("delete") << u"a\u007Fb"_s << false;
        QTest::newRow("C1 control") << u"a\u0085b"_s << false;
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << false;
    }
    void typedNames() {
        QFETCH(QString, typed);
        QFETCH(bool, usable);
        QCOMPARE(notes::isUsableName(typed, 255), usable);
    }

    // The length limit is the file system's, counted in encoded bytes with ".rtf" added: a name just at the
    // limit can be created there, one byte more is refused.
    void theLengthLimitIsTheFileSystems() {
        QTemporaryDir folder;
        const qsizetype limit = notes::maxFileNameBytes(folder.path());
        QVERIFY(limit >= 14);
        const QString longest(limit - 4, u'n');
        QVERIFY(notes::isUsableName(longest, limit));
        touch(folder.filePath(notes::fileNameFor(longest)));
        QVERIFY(QFile::exists(folder.filePath(notes::fileNameFor(longest))));
        QVERIFY(!notes::isUsableName(longest + u'n', limit));
        QVERIFY(!QFile(folder.filePath(notes::fileNameFor(longest + u'n'))).open(QIODevice::WriteOnly));

        // Two bytes for each "é": the limit counts bytes, not characters.
        const QString accented((limit - 4) / 2 + 1, u'é');
        QVERIFY(!notes::isUsableName(accented, limit));
        QVERIFY(notes::isUsableName(accented.chopped(1), limit));

        // Where the folder is missing the usual limit holds.
        QCOMPARE(notes::maxFileNameBytes(folder.filePath(u"missing"_s)), 255);
    }

    void listsEveryFileAndNoFolder() {
        QTemporaryDir folder;
        QDir dir(folder.path());
        for (const QString& name :
             {u"b.rtf"_s, u"A.txt"_s, u".hidden"_s, u"note10"_s, u"note2"_s, u"c"_s, u"école"_s})
            touch(dir.filePath(name));
        dir.mkdir(u"sub"_s);
        dir.mkdir(u".git"_s);
        QVERIFY(QFile::link(dir.filePath(u"c"_s), dir.filePath(u"link to c"_s)));
        QVERIFY(QFile::link(dir.filePath(u"sub"_s), dir.filePath(u"link to sub"_s)));
        QVERIFY(QFile::link(dir.filePath(u"nowhere"_s), dir.filePath(u"dangling"_s)));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(u"pipe"_s)).constData(), 0600), 0);

        FileListing listing(folder.path());
        QVERIFY(listing.refresh());
        // Neither case nor accents decide the order, and numbers go by their value.
        const QStringList expected = {u".hidden"_s, u"A.txt"_s,     u"b.rtf"_s, u"c"_s,
                                      u"école"_s,   u"link to c"_s, u"note2"_s, u"note10"_s};
        QCOMPARE(listing.names(), expected);
    }

    void aMissingFolderListsNothingUntilItAppears() {
        QTemporaryDir parent;
        const QString folder = parent.filePath(u"notes"_s);
        FileListing listing(folder);
        QVERIFY(!listing.refresh());
        QVERIFY(listing.names().isEmpty());
        QVERIFY(!listing.refresh());

        QVERIFY(QDir(parent.path()).mkdir(u"notes"_s));
        touch(folder + u"/quests.rtf"_s);
        QVERIFY(listing.refresh());
        QCOMPARE(listing.names(), QStringList{u"quests.rtf"_s});

        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(listing.refresh());
        QVERIFY(listing.names().isEmpty());
    }

    // Once the last reading lies clearly after the folder's last change, an unchanged folder is not read;
    // any change to its entries is.
    void anUnchangedFolderIsNotReadAgain() {
        QTemporaryDir folder;
        touch(folder.filePath(u"a"_s));
        qint64 now = QDateTime::currentMSecsSinceEpoch() + FileListing::stampGranularityMs + 1000;
        FileListing listing(folder.path(), [&now] { return now; });
        QVERIFY(listing.refresh());
        const int readings = listing.readings();
        for (int tick = 0; tick < 3; ++tick) {
            QVERIFY(!listing.refresh());
            QCOMPARE(listing.readings(), readings);
        }

        // A file's content is not the folder's business; a new name is.
        QFile file(folder.filePath(u"a"_s));
        QVERIFY(file.open(QIODevice::Append));
        file.write("more");
        file.close();
        QVERIFY(!listing.refresh());
        QCOMPARE(listing.readings(), readings);

        touch(folder.filePath(u"b"_s));
        QVERIFY(listing.refresh());
        QCOMPARE(listing.names(), (QStringList{u"a"_s, u"b"_s}));

        QVERIFY(QFile::rename(folder.filePath(u"a"_s), folder.filePath(u"c"_s)));
        QVERIFY(listing.refresh());
        QCOMPARE(listing.names(), (QStringList{u"b"_s, u"c"_s}));
    }

    // On a file system with coarse time stamps a file can arrive right after a reading without moving the
    // folder's time. While the reading is that recent, the folder is read again, so the file still shows.
    void aChangeWithinTheStampGranularityIsNotMissed() {
        QTemporaryDir folder;
        touch(folder.filePath(u"a"_s));
        const struct timespec before = modificationTime(folder.path());
        const qint64 changedAt = qint64(before.tv_sec) * 1000 + before.tv_nsec / 1'000'000;
        qint64 now = changedAt + 300;
        FileListing listing(folder.path(), [&now] { return now; });
        QVERIFY(listing.refresh());

        touch(folder.filePath(u"b"_s));
        setModificationTime(folder.path(), before);
        now += 2000;
        QVERIFY(listing.refresh());
        QCOMPARE(listing.names(), (QStringList{u"a"_s, u"b"_s}));

        // Read well after the change, the folder's time can be trusted again.
        now = changedAt + FileListing::stampGranularityMs + 500;
        QVERIFY(!listing.refresh());
        const int readings = listing.readings();
        QVERIFY(!listing.refresh());
        QCOMPARE(listing.readings(), readings);
    }

    // A folder put in place of the old one is another folder, whatever its time says.
    void aReplacedFolderIsReadAgain() {
        QTemporaryDir parent;
        QDir dir(parent.path());
        QVERIFY(dir.mkdir(u"notes"_s));
        QVERIFY(dir.mkdir(u"other"_s));
        touch(parent.filePath(u"notes/old"_s));
        touch(parent.filePath(u"other/new"_s));
        setModificationTime(parent.filePath(u"other"_s), modificationTime(parent.filePath(u"notes"_s)));

        qint64 now = QDateTime::currentMSecsSinceEpoch() + FileListing::stampGranularityMs + 1000;
        FileListing listing(parent.filePath(u"notes"_s), [&now] { return now; });
        QVERIFY(listing.refresh());
        QVERIFY(dir.rename(u"notes"_s, u"gone"_s));
        QVERIFY(dir.rename(u"other"_s, u"notes"_s));
        QVERIFY(listing.refresh());
        QCOMPARE(listing.names(), QStringList{u"new"_s});
    }
};

QTEST_GUILESS_MAIN(NotesRulesTest)
#include "notes_rules_test.moc"
