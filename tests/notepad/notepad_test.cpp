// The notepad window as a user drives it: real note files in a temporary program folder, the real rich-text
// box and RTF library, prompts and messages answered by the fake dialogs.
#include "Controls.h"
#include "Fakes.h"
#include "FileSizeLimit.h"
#include "app/Program.h"
#include "notepad/RichTextBox.h"
#include "notepad/frmNotepad.h"
#include "rtf/Rtf.h"

#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A note as a word processor writes it: a font table, a bold run, two paragraphs.
const QByteArray questLog = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\f0\\fs20 Quest log: "
                            "{\\b Dragon Slayer}\\par Cook's Assistant\\par}";
const QString questLogText = u"Quest log: Dragon Slayer\nCook's Assistant"_s;
const QByteArray shoppingList = "{\\rtf1\\ansi Shopping: {\\i lobsters}, runes\\par}";
const QString shoppingListText = u"Shopping: lobsters, runes"_s;

const QString mustSaveAs = u"You must click Save As to save a new file."_s;
const QString mustEnterName = u"You must enter a filename!"_s;
const QString unusableName = u"That name cannot be used for a note."_s;

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.errorString()));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The text of an RTF file on disk, as the reader sees it; empty when the file is missing or not RTF.
QString noteText(const QString& path) {
    return rtf::readPlainText(readFile(path)).value_or(QString());
}

// Every file under a folder, as paths relative to it.
QStringList filesUnder(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(folder).relativeFilePath(it.next()));
    files.sort();
    return files;
}

QStringList shownNames(const QListWidget* list) {
    QStringList names;
    for (int row = 0; row < list->count(); ++row)
        names.append(list->item(row)->text());
    return names;
}

// Stands in for the game window, which keeps the program running while side windows come and go.
class StandInWindow final : public QWidget {
public:
    explicit StandInWindow(Program&) {}
};

} // namespace

class NotepadTest final : public QObject {
    Q_OBJECT

    // One program with the notepad open, over a fresh program folder.
    struct Session {
        FakeHost fake;
        Program program{fake.host()};
        frmNotepad* window = nullptr;

        Session() {
            QVERIFY(program.windows.get<StandInWindow>());
            window = program.windows.show<frmNotepad>();
            QVERIFY(window);
            QVERIFY(QTest::qWaitForWindowExposed(window));
        }
        QString notes() const { return fake.programFolder.path() + u"/notes/"_s; }
        QString note(const QString& name) const { return notes() + name; }
        FakeDialogs& dialogs() { return fake.dialogs; }
        QString text() const { return control<RichTextBox>(window, "rtfNotepad")->toPlainText(); }

        // Double-clicks the named entry of the file list, as the user does.
        void open(const QString& name) {
            const QList<QListWidgetItem*> found =
                control<QListWidget>(window, "fileList")->findItems(name, Qt::MatchExactly);
            QVERIFY2(found.size() == 1, qPrintable(name));
            control<QListWidget>(window, "fileList")->scrollToItem(found.first());
            const QPoint centre =
                control<QListWidget>(window, "fileList")->visualItemRect(found.first()).center();
            // A double-click is a click followed by the double-click event; QTest sends only the latter.
            QTest::mouseClick(control<QListWidget>(window, "fileList")->viewport(), Qt::LeftButton, {},
                              centre);
            QTest::mouseDClick(control<QListWidget>(window, "fileList")->viewport(), Qt::LeftButton, {},
                               centre);
        }
        void typeAtEnd(const QString& text) {
            control<RichTextBox>(window, "rtfNotepad")->moveCursor(QTextCursor::End);
            QTest::keyClicks(control<RichTextBox>(window, "rtfNotepad"), text);
        }
        void saveAs(const QString& answer) {
            dialogs().answers.enqueue(answer);
            control<QAction>(window, "mnuSaves")->trigger();
        }
    };

private Q_SLOTS:
    void init() {
        QVERIFY(QTest::qWaitFor([] { return QApplication::activeModalWidget() == nullptr; }));
    }

    void theWindowAsDesigned() {
        Session s;
        frmNotepad* w = s.window;
        QCOMPARE(w->windowTitle(), u"Mossport Notepad"_s);
        QCOMPARE(control<QWidget>(w, "client")->size(), QSize(619, 321));
        QCOMPARE(w->minimumSize(), w->maximumSize());
        QVERIFY(!(w->windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));
        QCOMPARE(w->focusWidget(), control<RichTextBox>(w, "rtfNotepad"));
        QCOMPARE(control<QTimer>(w, "tmrNotes")->interval(), 2000);
        QVERIFY(control<QTimer>(w, "tmrNotes")->isActive());
        QCOMPARE(control<QMenu>(w, "mnuFile")->title(), u"File"_s);
        QCOMPARE(control<QMenu>(w, "mnuFile")->actions(),
                 (QList<QAction*>{control<QAction>(w, "mnuSave"), control<QAction>(w, "mnuSaves")}));
        QCOMPARE(control<QAction>(w, "mnuSave")->text(), u"Save"_s);
        QCOMPARE(control<QAction>(w, "mnuSaves")->text(), u"Save As"_s);
    }

    // The two refusals: each shows its message and leaves the note, the current file and the folder alone.
    void theRefusals() {
        Session s;
        s.typeAtEnd(u"unsaved"_s);
        control<QAction>(s.window, "mnuSave")->trigger();
        QCOMPARE(s.dialogs().told, QStringList{mustSaveAs});

        s.saveAs(QString()); // Cancel or an empty answer
        QCOMPARE(s.dialogs().asked.size(), 1);
        QCOMPARE(s.dialogs().asked.first().prompt, u"Please enter a filename."_s);
        QVERIFY(s.dialogs().asked.first().title.isEmpty());
        QCOMPARE(s.dialogs().told, (QStringList{mustSaveAs, mustEnterName}));

        QCOMPARE(s.text(), u"unsaved"_s);
        QVERIFY(control<RichTextBox>(s.window, "rtfNotepad")->fileName().isEmpty());
        QVERIFY(filesUnder(s.fake.programFolder.path()).isEmpty());
    }

    void saveAsNamesTheNoteAsTyped_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("file");
        QTest::newRow("name") << u"quests"_s << u"quests.rtf"_s;
        QTest::newRow("name ending in .rtf") << u"quests.rtf"_s << u"quests.rtf.rtf"_s;
        QTest::newRow("spaces kept") << u" my quests "_s << u" my quests .rtf"_s;
        QTest::newRow("hidden") << u".plan"_s << u".plan.rtf"_s;
        QTest::newRow("non-Latin") << u"заметки"_s << u"заметки.rtf"_s;
        QTest::newRow("longest") << QString(251, u'q') << QString(251, u'q') + u".rtf"_s;
    }
    void saveAsNamesTheNoteAsTyped() {
        QFETCH(QString, typed);
        QFETCH(QString, file);
        Session s;
        s.typeAtEnd(u"Buy feathers"_s);
        s.saveAs(typed);
        QVERIFY(s.dialogs().told.isEmpty());
        QVERIFY(s.dialogs().confirmed.isEmpty());
        QCOMPARE(filesUnder(s.fake.programFolder.path()), QStringList{u"notes/"_s + file});
        QCOMPARE(noteText(s.note(file)), u"Buy feathers"_s);
        QCOMPARE(control<RichTextBox>(s.window, "rtfNotepad")->fileName(), s.note(file));
    }

    void saveAsRefusesNamesThatLeaveTheFolderOrCannotBeFiles_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("parent folder") << u"../x"_s;
        QTest::newRow("sub-folder") << u"a/b"_s;
        QTest::newRow("dot-dot") << u".."_s;
        QTest::newRow("too long in bytes") << QString(126, u'é');
    }
    void saveAsRefusesNamesThatLeaveTheFolderOrCannotBeFiles() {
        QFETCH(QString, typed);
        Session s;
        QDir(s.notes()).mkdir(u"a"_s);
        writeFile(s.note(u"old.rtf"_s), shoppingList);
        handle(s.window, "tmrNotes_Timer");
        s.open(u"old.rtf"_s);
        s.typeAtEnd(u" and more"_s);

        s.saveAs(typed);
        QCOMPARE(s.dialogs().told, QStringList{unusableName});
        QVERIFY(s.dialogs().confirmed.isEmpty());
        QCOMPARE(filesUnder(s.fake.programFolder.path()), QStringList{u"notes/old.rtf"_s});
        QCOMPARE(readFile(s.note(u"old.rtf"_s)), shoppingList);
        QCOMPARE(control<RichTextBox>(s.window, "rtfNotepad")->fileName(), s.note(u"old.rtf"_s));
    }

    void saveAsOntoAnExistingNoteAsksFirst() {
        Session s;
        writeFile(s.note(u"quests.rtf"_s), questLog);
        s.typeAtEnd(u"Fresh start"_s);

        s.dialogs().confirmAnswers.enqueue(false);
        s.saveAs(u"quests"_s);
        QCOMPARE(s.dialogs().confirmed,
                 QStringList{u"A note named quests.rtf already exists. Replace it?"_s});
        QCOMPARE(readFile(s.note(u"quests.rtf"_s)), questLog);
        QVERIFY(control<RichTextBox>(s.window, "rtfNotepad")->fileName().isEmpty());
        QVERIFY(s.dialogs().told.isEmpty());

        s.dialogs().confirmAnswers.enqueue(true);
        s.saveAs(u"quests"_s);
        QCOMPARE(s.dialogs().confirmed.size(), 2);
        QCOMPARE(noteText(s.note(u"quests.rtf"_s)), u"Fresh start"_s);
        QCOMPARE(filesUnder(s.notes()), QStringList{u"quests.rtf"_s});
    }

    // A folder, a pipe or a socket holding the name is no note: nothing to ask about, the save says why it
    // failed, and what was there stays.
    void saveAsNeverReplacesWhatIsNotAFile() {
        Session s;
        writeFile(s.note(u"quests.rtf"_s), questLog);
        handle(s.window, "tmrNotes_Timer");
        s.open(u"quests.rtf"_s);
        QVERIFY(QDir(s.notes()).mkdir(u"maps.rtf"_s));
        QCOMPARE(::mkfifo(QFile::encodeName(s.note(u"pipe.rtf"_s)).constData(), 0600), 0);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray socketPath = QFile::encodeName(s.note(u"socket.rtf"_s));
        QVERIFY(size_t(socketPath.size()) < sizeof address.sun_path);
        std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
        const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        QVERIFY(bound);

        s.saveAs(u"maps"_s);
        s.saveAs(u"pipe"_s);
        s.saveAs(u"socket"_s);
        QVERIFY(s.dialogs().confirmed.isEmpty());
        QCOMPARE(s.dialogs().told,
                 (QStringList{u"maps.rtf could not be saved: it is a folder."_s,
                              u"pipe.rtf could not be saved: it is not a regular file."_s,
                              u"socket.rtf could not be saved: it is not a regular file."_s}));
        QVERIFY(QFileInfo(s.note(u"maps.rtf"_s)).isDir());
        QVERIFY(QFileInfo(s.note(u"pipe.rtf"_s)).exists() && !QFileInfo(s.note(u"pipe.rtf"_s)).isFile());
        QVERIFY(QFileInfo(s.note(u"socket.rtf"_s)).exists() && !QFileInfo(s.note(u"socket.rtf"_s)).isFile());
        QCOMPARE(control<RichTextBox>(s.window, "rtfNotepad")->fileName(), s.note(u"quests.rtf"_s));
        QCOMPARE(readFile(s.note(u"quests.rtf"_s)), questLog);
    }

    // Save writes where the note came from; after Save As, where it went, never over the note opened before.
    void saveWritesToTheCurrentFile() {
        Session s;
        writeFile(s.note(u"quests.rtf"_s), questLog);
        handle(s.window, "tmrNotes_Timer");
        s.open(u"quests.rtf"_s);
        QCOMPARE(s.text(), questLogText);
        QCOMPARE(control<RichTextBox>(s.window, "rtfNotepad")->fileName(), s.note(u"quests.rtf"_s));

        s.typeAtEnd(u" (done)"_s);
        control<QAction>(s.window, "mnuSave")->trigger();
        QCOMPARE(noteText(s.note(u"quests.rtf"_s)), questLogText + u" (done)"_s);
        // What the other program wrote comes back with its formatting.
        QTextDocument saved;
        QVERIFY(rtf::read(readFile(s.note(u"quests.rtf"_s)), saved));
        QTextCursor dragon = saved.find(u"Dragon"_s);
        QCOMPARE(dragon.charFormat().fontWeight(), int(QFont::Bold));

        s.saveAs(u"copy"_s);
        const QByteArray original = readFile(s.note(u"quests.rtf"_s));
        s.typeAtEnd(u" and Ernest"_s);
        control<QAction>(s.window, "mnuSave")->trigger();
        QCOMPARE(noteText(s.note(u"copy.rtf"_s)), questLogText + u" (done) and Ernest"_s);
        QCOMPARE(readFile(s.note(u"quests.rtf"_s)), original);
        QVERIFY(s.dialogs().told.isEmpty());
    }

    // Opening replaces the note without a question, saved or not, and the load cannot be undone away.
    void openingReplacesTheNote() {
        Session s;
        writeFile(s.note(u"quests.rtf"_s), questLog);
        writeFile(s.note(u"shopping.rtf"_s), shoppingList);
        handle(s.window, "tmrNotes_Timer");
        s.open(u"quests.rtf"_s);
        s.typeAtEnd(u" unsaved"_s);
        s.open(u"shopping.rtf"_s);
        QCOMPARE(s.text(), shoppingListText);
        QCOMPARE(control<RichTextBox>(s.window, "rtfNotepad")->fileName(), s.note(u"shopping.rtf"_s));
        // A note without fonts of its own shows in the box's font.
        const QFont shown = control<RichTextBox>(s.window, "rtfNotepad")->document()->defaultFont();
        QCOMPARE(shown.family(), u"Tahoma"_s);
        QCOMPARE(shown.pointSizeF(), 8.25);
        QCOMPARE(shown.weight(), QFont::Normal);
        QVERIFY(s.dialogs().confirmed.isEmpty() && s.dialogs().told.isEmpty());
        QCOMPARE(readFile(s.note(u"quests.rtf"_s)), questLog);

        control<RichTextBox>(s.window, "rtfNotepad")->undo();
        QCOMPARE(s.text(), shoppingListText);

        // A single click only selects.
        handle(s.window, "tmrNotes_Timer");
        const QListWidgetItem* quests =
            control<QListWidget>(s.window, "fileList")->findItems(u"quests.rtf"_s, Qt::MatchExactly).first();
        QTest::mouseClick(control<QListWidget>(s.window, "fileList")->viewport(), Qt::LeftButton, {},
                          control<QListWidget>(s.window, "fileList")->visualItemRect(quests).center());
        QVERIFY(quests->isSelected());
        QCOMPARE(s.text(), shoppingListText);
    }

    // A file that cannot be opened as a note says so and leaves the editor and the current file as they were.
    void aFileThatIsNoNoteIsRefused() {
        Session s;
        writeFile(s.note(u"quests.rtf"_s), questLog);
        writeFile(s.note(u"quests.txt"_s), "Quest log: Dragon Slayer\n");
        writeFile(s.note(u"empty.rtf"_s), {});
        writeFile(s.note(u"gone.rtf"_s), questLog);
        writeFile(s.note(u"folder.rtf"_s), questLog);
        writeFile(s.note(u"huge.rtf"_s), questLog);
        // An RTF file of 314.2 MB, made without writing its bytes.
        QVERIFY(QFile::resize(s.note(u"huge.rtf"_s), 314 * 1024 * 1024 + 200 * 1024));
        handle(s.window, "tmrNotes_Timer");
        s.open(u"quests.rtf"_s);
        s.typeAtEnd(u" edited"_s);
        // Listed, then taken away or replaced by a folder before the double-click.
        QVERIFY(QFile::remove(s.note(u"gone.rtf"_s)));
        QVERIFY(QFile::remove(s.note(u"folder.rtf"_s)));
        QVERIFY(QDir(s.notes()).mkdir(u"folder.rtf"_s));

        s.open(u"quests.txt"_s);
        s.open(u"empty.rtf"_s);
        s.open(u"gone.rtf"_s);
        s.open(u"folder.rtf"_s);
        s.open(u"huge.rtf"_s);
        QCOMPARE(s.dialogs().told, (QStringList{
                                       u"quests.txt is not a Rich Text Format document."_s,
                                       u"empty.rtf is not a Rich Text Format document."_s,
                                       u"gone.rtf cannot be read: No such file or directory."_s,
                                       u"folder.rtf cannot be read: it is a folder."_s,
                                       u"huge.rtf is 314.2 MB, too large to open: the notepad opens notes of "
                                       "up to 64 MB."_s,
                                   }));
        QCOMPARE(s.text(), questLogText + u" edited"_s);
        QCOMPARE(control<RichTextBox>(s.window, "rtfNotepad")->fileName(), s.note(u"quests.rtf"_s));
    }

    // A save that cannot be made is never silent, names the file and the reason, and writes nothing.
    void aFailedSaveSaysWhich() {
        Session s;
        writeFile(s.note(u"quests.rtf"_s), questLog);
        handle(s.window, "tmrNotes_Timer");
        s.open(u"quests.rtf"_s);
        const QString program = s.fake.programFolder.path();
        QVERIFY(QDir(program).rename(u"notes"_s, u"moved"_s));

        control<QAction>(s.window, "mnuSave")->trigger();
        s.saveAs(u"new"_s);
        // A file where the folder should be.
        writeFile(program + u"/notes"_s, "not a folder");
        control<QAction>(s.window, "mnuSave")->trigger();
        const QString folder = QDir::toNativeSeparators(program + u"/notes"_s);
        QCOMPARE(s.dialogs().told,
                 (QStringList{u"quests.rtf could not be saved: the folder %1 does not exist."_s.arg(folder),
                              u"new.rtf could not be saved: the folder %1 does not exist."_s.arg(folder),
                              u"quests.rtf could not be saved: %1 is not a folder."_s.arg(folder)}));
        QCOMPARE(filesUnder(program), (QStringList{u"moved/quests.rtf"_s, u"notes"_s}));
        QCOMPARE(control<RichTextBox>(s.window, "rtfNotepad")->fileName(), s.note(u"quests.rtf"_s));
    }

    // The disk filling up half-way: the note on disk stays whole and no half-written file is left.
    void aSaveThatFailsHalfWayLeavesTheOldNoteWhole() {
        Session s;
        writeFile(s.note(u"quests.rtf"_s), questLog);
        handle(s.window, "tmrNotes_Timer");
        s.open(u"quests.rtf"_s);
        control<RichTextBox>(s.window, "rtfNotepad")->moveCursor(QTextCursor::End);
        control<RichTextBox>(s.window, "rtfNotepad")->insertPlainText(QString(20000, u'x'));
        {
            FileSizeLimit limit(4096);
            QVERIFY(limit.active());
            control<QAction>(s.window, "mnuSave")->trigger();
        }
        QCOMPARE(s.dialogs().told.size(), 1);
        QVERIFY2(s.dialogs().told.first().startsWith(u"quests.rtf could not be saved: File too large"_s),
                 qPrintable(s.dialogs().told.first()));
        QCOMPARE(readFile(s.note(u"quests.rtf"_s)), questLog);
        QCOMPARE(filesUnder(s.notes()), QStringList{u"quests.rtf"_s});

        // With room again the same Save goes through.
        control<QAction>(s.window, "mnuSave")->trigger();
        QCOMPARE(s.dialogs().told.size(), 1);
        QVERIFY(noteText(s.note(u"quests.rtf"_s)).endsWith(QString(20000, u'x')));
    }

    // The list shows the folder's files at load, and what changes in the folder at the next tick, not before.
    void theListFollowsTheFolderAtEachTick() {
        FakeHost fake;
        const QString notes = fake.programFolder.path() + u"/notes/"_s;
        writeFile(notes + u"quests.rtf"_s, questLog);
        writeFile(notes + u"Map.png"_s, "\x89PNG");
        QDir(notes).mkdir(u"old notes"_s);
        Program program(fake.host());
        frmNotepad* w = program.windows.show<frmNotepad>();
        QCOMPARE(shownNames(control<QListWidget>(w, "fileList")),
                 (QStringList{u"Map.png"_s, u"quests.rtf"_s}));

        fake.dialogs.answers.enqueue(u"agility"_s);
        control<QAction>(w, "mnuSaves")->trigger();
        writeFile(notes + u".todo"_s, "x");
        QVERIFY(QFile::remove(notes + u"Map.png"_s));
        QCOMPARE(shownNames(control<QListWidget>(w, "fileList")),
                 (QStringList{u"Map.png"_s, u"quests.rtf"_s}));

        handle(w, "tmrNotes_Timer");
        QCOMPARE(shownNames(control<QListWidget>(w, "fileList")),
                 (QStringList{u".todo"_s, u"agility.rtf"_s, u"quests.rtf"_s}));
    }

    void theListKeepsSelectionAndScrollThroughARefresh_data() {
        QTest::addColumn<int>("added");
        QTest::newRow("a few changes") << 3;
        QTest::newRow("many changes") << 150;
    }
    void theListKeepsSelectionAndScrollThroughARefresh() {
        QFETCH(int, added);
        Session s;
        for (int i = 1; i <= 200; ++i)
            writeFile(s.note(u"note%1.rtf"_s.arg(i, 3, 10, QChar(u'0'))), shoppingList);
        handle(s.window, "tmrNotes_Timer");
        QListWidget* list = control<QListWidget>(s.window, "fileList");
        QCOMPARE(list->count(), 200);

        const auto item = [list](const QString& name) {
            return list->findItems(name, Qt::MatchExactly).value(0);
        };
        list->setCurrentItem(item(u"note120.rtf"_s));
        list->scrollToItem(item(u"note100.rtf"_s), QAbstractItemView::PositionAtTop);
        QCOMPARE(list->itemAt(0, 0)->text(), u"note100.rtf"_s);

        // New names above the view, inside it and below it; a name gone from above the view.
        for (int i = 0; i < added; ++i) {
            writeFile(s.note(u"aaa%1.rtf"_s.arg(i)), shoppingList);
            writeFile(s.note(u"note110-%1.rtf"_s.arg(i)), shoppingList);
            writeFile(s.note(u"zzz%1.rtf"_s.arg(i)), shoppingList);
        }
        QVERIFY(QFile::remove(s.note(u"note010.rtf"_s)));
        handle(s.window, "tmrNotes_Timer");

        QCOMPARE(list->count(), 199 + 3 * added);
        QCOMPARE(list->selectedItems().size(), 1);
        QCOMPARE(list->selectedItems().first()->text(), u"note120.rtf"_s);
        QCOMPARE(list->currentItem()->text(), u"note120.rtf"_s);
        QCOMPARE(list->itemAt(0, 0)->text(), u"note100.rtf"_s);

        // The selected note itself going away leaves nothing selected rather than a neighbour.
        QVERIFY(QFile::remove(s.note(u"note120.rtf"_s)));
        handle(s.window, "tmrNotes_Timer");
        QVERIFY(list->selectedItems().isEmpty());
        QCOMPARE(list->itemAt(0, 0)->text(), u"note100.rtf"_s);
    }

    // At the top of the list a new first name comes into sight rather than being scrolled past.
    void aNewFirstNameShowsAtTheTop() {
        Session s;
        for (int i = 1; i <= 50; ++i)
            writeFile(s.note(u"note%1.rtf"_s.arg(i, 2, 10, QChar(u'0'))), shoppingList);
        handle(s.window, "tmrNotes_Timer");
        writeFile(s.note(u"aaa.rtf"_s), shoppingList);
        handle(s.window, "tmrNotes_Timer");
        QCOMPARE(control<QListWidget>(s.window, "fileList")->itemAt(0, 0)->text(), u"aaa.rtf"_s);
    }

    void aTickWithoutChangesLeavesTheListAlone() {
        Session s;
        for (int i = 0; i < 30; ++i)
            writeFile(s.note(u"n%1"_s.arg(i)), {});
        handle(s.window, "tmrNotes_Timer");
        QListWidget* list = control<QListWidget>(s.window, "fileList");
        list->setCurrentRow(20);
        list->verticalScrollBar()->setValue(5);
        const QAbstractItemModel* model = list->model();
        QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
        QSignalSpy reset(model, &QAbstractItemModel::modelReset);
        QSignalSpy layout(model, &QAbstractItemModel::layoutChanged);
        QSignalSpy selection(list->selectionModel(), &QItemSelectionModel::selectionChanged);

        // A note's content changing is no change to the list.
        writeFile(s.note(u"n3"_s), questLog);
        for (int tick = 0; tick < 3; ++tick)
            handle(s.window, "tmrNotes_Timer");
        QCOMPARE(inserted.size() + removed.size() + changed.size() + reset.size() + layout.size(), 0);
        QCOMPARE(selection.size(), 0);
        QCOMPARE(list->currentRow(), 20);
        QCOMPARE(list->verticalScrollBar()->value(), 5);
    }

    // Closing drops the unsaved note without a question; the next Notepad command starts afresh.
    void closingDropsTheNote() {
        Session s;
        writeFile(s.note(u"quests.rtf"_s), questLog);
        handle(s.window, "tmrNotes_Timer");
        s.open(u"quests.rtf"_s);
        s.typeAtEnd(u" unsaved"_s);
        QPointer<frmNotepad> old = s.window;
        s.window->close();
        QTRY_VERIFY(old.isNull());
        QVERIFY(s.dialogs().told.isEmpty() && s.dialogs().confirmed.isEmpty() && s.dialogs().asked.isEmpty());
        QCOMPARE(readFile(s.note(u"quests.rtf"_s)), questLog);

        frmNotepad* again = s.program.windows.show<frmNotepad>();
        QVERIFY(control<RichTextBox>(again, "rtfNotepad")->toPlainText().isEmpty());
        QCOMPARE(shownNames(control<QListWidget>(again, "fileList")), QStringList{u"quests.rtf"_s});
        control<QAction>(again, "mnuSave")->trigger();
        QCOMPARE(s.dialogs().told, QStringList{mustSaveAs});
    }
};

QTEST_MAIN(NotepadTest)
#include "notepad_test.moc"
