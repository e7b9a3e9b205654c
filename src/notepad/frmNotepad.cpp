#include "notepad/frmNotepad.h"

#include "app/Folders.h"
#include "app/Look.h"
#include "app/Menus.h"
#include "app/Program.h"
#include "base/Twips.h"
#include "host/Dialogs.h"
#include "notepad/NoteName.h"
#include "notepad/RichTextBox.h"

#include <QFileInfo>
#include <QListWidget>
#include <QMenuBar>
#include <QScrollBar>
#include <QSet>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Above this many added and removed names the list is filled afresh rather than edited row by row.
constexpr qsizetype rowByRowLimit = 64;

// A reason as the system words it, made to end a sentence.
QString asClause(QString reason) {
    while (reason.endsWith(u'.'))
        reason.chop(1);
    return reason;
}

// A file size for people: megabytes (of 1,048,576 bytes) with one decimal where it is not whole.
QString megabytes(qint64 bytes) {
    const qint64 tenths = (bytes * 10 + 512 * 1024) / (1024 * 1024);
    return tenths % 10 == 0 ? u"%1 MB"_s.arg(tenths / 10) : u"%1.%2 MB"_s.arg(tenths / 10).arg(tenths % 10);
}

} // namespace

frmNotepad::frmNotepad(Program& program)
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , client(new QWidget(this))
    , fileList(new QListWidget(client))
    , rtfNotepad(new RichTextBox(client, program.host.desktop))
    , tmrNotes(new QTimer(this))
    , m_program(program) {
    setObjectName(u"frmNotepad"_s);
    setWindowTitle(u"Mossport Notepad"_s);

    look::setFixedClientArea(this, client, twips::size(9285, 4815));

    fileList->setObjectName(u"fileList"_s);
    fileList->setGeometry(twips::rect(120, 120, 1215, 4515));
    fileList->setSelectionMode(QAbstractItemView::SingleSelection);
    fileList->setUniformItemSizes(true);

    rtfNotepad->setObjectName(u"rtfNotepad"_s);
    rtfNotepad->setGeometry(twips::rect(1440, 120, 7695, 4575));
    rtfNotepad->setFont(look::tahoma());

    // The note comes first in the tab order and has the keyboard focus when the window opens.
    setTabOrder(rtfNotepad, fileList);
    rtfNotepad->setFocus();

    tmrNotes->setObjectName(u"tmrNotes"_s);
    tmrNotes->setInterval(2000);
    tmrNotes->start();

    mnuFile = menus::addMenu(menus::menuBarOf(this), "mnuFile", u"File"_s);
    mnuSave = menus::addCommand(mnuFile, "mnuSave", u"Save"_s, this, &frmNotepad::mnuSave_Click);
    mnuSaves = menus::addCommand(mnuFile, "mnuSaves", u"Save As"_s, this, &frmNotepad::mnuSaves_Click);

    connect(fileList, &QListWidget::itemDoubleClicked, this, &frmNotepad::fileList_DblClick);
    connect(tmrNotes, &QTimer::timeout, this, &frmNotepad::tmrNotes_Timer);
}

QString frmNotepad::notesFolder() const {
    return folders::notes(m_program.host.programFolder);
}

void frmNotepad::Form_Load() {
    m_listing.emplace(notesFolder());
    if (m_listing->refresh())
        showNames();
}

void frmNotepad::tmrNotes_Timer() {
    if (m_listing && m_listing->refresh())
        showNames();
}

void frmNotepad::showNames() {
    const QStringList& names = m_listing->names();

    // What the user looks at stays in view: the first row shown, unless the list is at its top, where a new
    // name sorted above the old first one should come into sight.
    const QScrollBar* bar = fileList->verticalScrollBar();
    const QListWidgetItem* top = bar->value() > bar->minimum() ? fileList->itemAt(0, 0) : nullptr;
    const QString topName = top ? top->text() : QString();

    const QList<QListWidgetItem*> selected = fileList->selectedItems();
    const QString selectedName = selected.isEmpty() ? QString() : selected.first()->text();

    const QSet<QString> present(names.cbegin(), names.cend());
    QStringList gone;
    for (int row = 0; row < fileList->count(); ++row) {
        if (!present.contains(fileList->item(row)->text()))
            gone.append(fileList->item(row)->text());
    }
    const qsizetype added = names.size() - (fileList->count() - gone.size());

    if (gone.size() + added > rowByRowLimit) {
        const QListWidgetItem* current = fileList->currentItem();
        const QString currentName = current ? current->text() : QString();
        const bool wasSelected = current && current->isSelected();
        fileList->clear();
        fileList->addItems(names);
        if (const qsizetype row = names.indexOf(currentName); !currentName.isEmpty() && row >= 0) {
            fileList->setCurrentRow(int(row), wasSelected ? QItemSelectionModel::ClearAndSelect
                                                          : QItemSelectionModel::NoUpdate);
        }
    } else {
        // Row by row, so that the rows that stay keep their selection. Both lists are in the listing's
        // order, so once the gone names are out the new ones only need to go in between.
        for (int row = fileList->count() - 1; row >= 0 && !gone.isEmpty(); --row) {
            if (!present.contains(fileList->item(row)->text()))
                delete fileList->takeItem(row);
        }
        for (int row = 0; row < names.size(); ++row) {
            if (row >= fileList->count() || fileList->item(row)->text() != names.at(row))
                fileList->insertItem(row, names.at(row));
        }
    }

    // The list moves the selection to a neighbour when the selected name goes; the user did not choose that.
    if (!selectedName.isEmpty() && !present.contains(selectedName))
        fileList->clearSelection();

    if (const qsizetype row = names.indexOf(topName); !topName.isEmpty() && row >= 0)
        fileList->scrollToItem(fileList->item(int(row)), QAbstractItemView::PositionAtTop);
}

void frmNotepad::fileList_DblClick() {
    const QList<QListWidgetItem*> selected = fileList->selectedItems();
    if (selected.isEmpty())
        return;
    const QString name = selected.first()->text();
    const RichTextBox::Result result = rtfNotepad->loadFile(notesFolder() + name);
    if (result.status == RichTextBox::Result::NotRichText)
        m_program.host.dialogs->tell(u"%1 is not a Rich Text Format document."_s.arg(name));
    else if (result.status == RichTextBox::Result::TooLarge)
        m_program.host.dialogs->tell(
            u"%1 is %2, too large to open: the notepad opens notes of up to %3."_s.arg(
                name, megabytes(result.size), megabytes(RichTextBox::largestNote)));
    else if (!result.ok())
        m_program.host.dialogs->tell(u"%1 cannot be read: %2."_s.arg(name, asClause(result.reason)));
}

void frmNotepad::mnuSave_Click() {
    const QString current = rtfNotepad->fileName();
    if (current.isEmpty()) {
        m_program.host.dialogs->tell(u"You must click Save As to save a new file."_s);
        return;
    }
    save(current);
}

void frmNotepad::mnuSaves_Click() {
    Dialogs& dialogs = *m_program.host.dialogs;
    const QString typed = dialogs.ask(u"Please enter a filename."_s);
    if (typed.isEmpty()) {
        dialogs.tell(u"You must enter a filename!"_s);
        return;
    }
    const QString folder = notesFolder();
    if (!notes::isUsableName(typed, notes::maxFileNameBytes(folder))) {
        dialogs.tell(u"That name cannot be used for a note."_s);
        return;
    }
    const QString fileName = notes::fileNameFor(typed);
    const QString path = folder + fileName;
    // Another note is never replaced without a question; a dangling link counts as a note too.
    const QFileInfo existing(path);
    const bool noteExists = existing.exists() ? existing.isFile() : existing.isSymLink();
    if (noteExists && !dialogs.confirm(u"A note named %1 already exists. Replace it?"_s.arg(fileName)))
        return;
    save(path);
}

void frmNotepad::save(const QString& path) {
    const RichTextBox::Result result = rtfNotepad->saveFile(path);
    if (!result.ok()) {
        m_program.host.dialogs->tell(
            u"%1 could not be saved: %2."_s.arg(QFileInfo(path).fileName(), asClause(result.reason)));
    }
}
