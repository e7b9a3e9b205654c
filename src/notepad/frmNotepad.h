#pragma once

#include "notepad/FileListing.h"

#include <QMainWindow>

#include <optional>

class Program;
class QAction;
class QListWidget;
class QMenu;
class QTimer;
class RichTextBox;

// The notepad: the files of the notes folder on the left, one note in a rich-text box on the right. A
// double-click opens a note, the File menu saves it back or under a new name, and a timer keeps the list up
// to date with the folder.
class frmNotepad final : public QMainWindow {
    Q_OBJECT
public:
    explicit frmNotepad(Program& program);

private:
    // The controls, named as designed; tests find them by these object names.
    QWidget* client;
    QListWidget* fileList;
    RichTextBox* rtfNotepad;
    QTimer* tmrNotes;

    QMenu* mnuFile;
    QAction* mnuSave;
    QAction* mnuSaves;

private Q_SLOTS:
    void Form_Load();
    void fileList_DblClick();
    void mnuSave_Click();
    void mnuSaves_Click();
    void tmrNotes_Timer();

private:
    QString notesFolder() const;
    // Shows the listing's names in the file list, keeping the selection and what the user scrolled to.
    void showNames();
    // Saves the note to the path, telling the user when that fails.
    void save(const QString& path);

    Program& m_program;
    std::optional<FileListing> m_listing;
};
