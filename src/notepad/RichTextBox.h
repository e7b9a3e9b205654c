#pragma once

#include <QString>
#include <QTextEdit>

class Desktop;
class LayoutPacer;
class QMimeData;
class QTextDocument;

// The rich-text editing control: a text edit whose whole content is read from and written to Rich Text Format
// files. The user types and edits; pasted rich text keeps its formatting; the control offers no formatting
// commands of its own. It remembers the file it last loaded or saved as its file name.
class RichTextBox : public QTextEdit {
    Q_OBJECT
public:
    // What a load or a save came to. On failure `reason` says why, in words fit to show the user.
    struct Result {
        enum Status { Done, CannotRead, NotRichText, TooLarge, CannotWrite };
        Status status = Done;
        QString reason;
        qint64 size = 0; // the file's size in bytes, for TooLarge

        bool ok() const { return status == Done; }
    };

    // The largest note the box opens, in bytes. A note takes about five times its size in memory once read
    // and about a second per 15 MB to open; at 64 MiB that is some 330 MB and a few seconds, while notes with
    // photos in them are a few MB. Past it, a file is most likely not a note, and opening it would hold the
    // window up for long with no way to stop it.
    static constexpr qint64 largestNote = 64 * 1024 * 1024;

    // The desktop, where given, shows the wait pointer at once while the box reads or writes.
    explicit RichTextBox(QWidget* parent = nullptr, Desktop* desktop = nullptr);

    // Replaces the whole content with the RTF document in the file and makes the file the control's file
    // name; the load itself cannot be undone. A file that cannot be read, is not an RTF document or is larger
    // than largestNote changes nothing. The mouse pointer shows that the box is busy while it reads or
    // writes.
    Result loadFile(const QString& path);
    // Writes the whole content to the file as an RTF document. The file is replaced atomically: a save that
    // fails leaves any earlier file of that name whole. A save that works makes the file the control's file
    // name.
    Result saveFile(const QString& path);
    // The full path of the file last loaded or saved; empty before either.
    QString fileName() const { return m_fileName; }

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    void adoptImages(QTextDocument& pasted);

    Desktop* m_desktop;
    QString m_fileName;
    int m_pastedImages = 0;
    LayoutPacer* m_pacer;
};
