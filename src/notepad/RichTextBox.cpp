#include "notepad/RichTextBox.h"

#include "base/WholeFile.h"
#include "host/Desktop.h"
#include "notepad/LayoutPacer.h"
#include "rtf/Kept.h"
#include "rtf/Rtf.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextImageFormat>
#include <QUrl>

#include <array>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The clipboard formats that carry RTF. Desktop programs name it differently; the bytes are checked before
// they are read, so a format that turns out to hold something else is passed over.
const std::array<QString, 3> rtfMimeTypes = {u"text/rtf"_s, u"application/rtf"_s, u"text/richtext"_s};

QByteArray rtfFrom(const QMimeData* source) {
    for (const QString& type : rtfMimeTypes) {
        if (!source->hasFormat(type))
            continue;
        QByteArray bytes = source->data(type);
        if (rtf::isRtf(bytes))
            return bytes;
    }
    return {};
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Reads the start of the file, up to the first few bytes after the optional byte order mark and white space:
// enough to tell an RTF document from anything else without reading a large file of another kind whole.
QByteArray readStart(QFile& file) {
    constexpr qsizetype chunk = 4096;
    constexpr qsizetype signature = 5; // "{\rtf"
    QByteArray head;
    qsizetype content = 0;
    while (true) {
        const QByteArray more = file.read(chunk);
        if (more.isEmpty())
            return head;
        head += more;
        if (content == 0 && head.startsWith("\xEF\xBB\xBF"))
            content = 3;
        while (content < head.size() && isBlank(head.at(content)))
            ++content;
        if (head.size() - content >= signature)
            return head;
    }
}

// Shows the wait cursor while it lives. A large note takes seconds to read or write, with the window's events
// held up meanwhile, so the cursor is handed to the window system at once rather than at the next turn of the
// event loop. Only that request is flushed: a turn of the event loop here would first run whatever work is
// waiting (the previous note's deletion, the rest of its layout) and hold the note up by as much. Without a
// desktop the pointer changes at the next turn of the event loop.
class BusyCursor {
public:
    explicit BusyCursor(Desktop* desktop) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (desktop)
            desktop->flushPointerChange();
    }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace

RichTextBox::RichTextBox(QWidget* parent, Desktop* desktop)
    : QTextEdit(parent)
    , m_desktop(desktop)
    , m_pacer(new LayoutPacer(std::chrono::milliseconds(20), this)) {
    setAcceptRichText(true);
    // Next to a footnote's mark or another kept group, the text edit would type in the mark's format; what
    // is typed there is the user's own text, not part of the mark.
    connect(this, &QTextEdit::currentCharFormatChanged, this, [this](const QTextCharFormat& format) {
        if (rtf::isKept(format) && !textCursor().hasSelection())
            setCurrentCharFormat(rtf::withoutKept(format));
    });
}

RichTextBox::Result RichTextBox::loadFile(const QString& path) {
    const QFileInfo info(path);
    // Opening a pipe or a device would wait for a writer or never end; only plain files are read.
    if (info.isDir())
        return {Result::CannotRead, u"it is a folder"_s};
    if (info.exists() && !info.isFile())
        return {Result::CannotRead, u"it is not a regular file"_s};
    if (info.size() > largestNote)
        return {Result::TooLarge, {}, info.size()};

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {Result::CannotRead, file.errorString()};
    QByteArray bytes = readStart(file);
    if (file.error() != QFileDevice::NoError)
        return {Result::CannotRead, file.errorString()};
    if (!rtf::isRtf(bytes))
        return {Result::NotRichText, {}};
    const BusyCursor busy(m_desktop);
    bytes += file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {Result::CannotRead, file.errorString()};

    // The note is read into a document of its own and then handed to the box: laid out from scratch, a
    // document is laid out a screenful at a time, where a document changed in place under the box would be
    // laid out whole before the box shows anything. A fresh document also has no undo step for the load,
    // so the first undo cannot empty the note. The old document goes once the new one is on the screen.
    auto* doc = new QTextDocument(this);
    doc->setDefaultFont(font());
    rtf::read(bytes, *doc);
    doc->setModified(false);
    // The box's first document belongs to the text edit, which deletes it in the swap.
    QTextDocument* old = document();
    const bool ours = old->parent() == this;
    if (ours)
        old->setParent(nullptr);
    setDocument(doc);
    // The rest of a long note is laid out in the background in slices short enough to keep the window
    // answering.
    m_pacer->watch(doc);
    if (ours)
        old->deleteLater();
    m_fileName = path;
    return {};
}

RichTextBox::Result RichTextBox::saveFile(const QString& path) {
    // The system's words for a missing folder ("No such file or directory") do not say which one is missing.
    const QFileInfo folder(QFileInfo(path).absolutePath());
    const QString folderName = QDir::toNativeSeparators(folder.filePath());
    if (!folder.exists())
        return {Result::CannotWrite, u"the folder %1 does not exist"_s.arg(folderName)};
    if (!folder.isDir())
        return {Result::CannotWrite, u"%1 is not a folder"_s.arg(folderName)};

    // Saving puts a new file in place of the old one: where a folder, a pipe or a socket holds the name, that
    // would replace it (or wait on it), so only a regular file or a free name is written.
    const QFileInfo target(path);
    if (target.isDir())
        return {Result::CannotWrite, u"it is a folder"_s};
    if (target.exists() && !target.isFile())
        return {Result::CannotWrite, u"it is not a regular file"_s};

    const BusyCursor busy(m_desktop);
    QString reason;
    if (!files::writeWhole(path, rtf::write(*document()), reason))
        return {Result::CannotWrite, reason};

    document()->setModified(false);
    m_fileName = path;
    return {};
}

bool RichTextBox::canInsertFromMimeData(const QMimeData* source) const {
    return QTextEdit::canInsertFromMimeData(source) || !rtfFrom(source).isEmpty();
}

void RichTextBox::insertFromMimeData(const QMimeData* source) {
    // The text edit takes its own rich text and HTML with their formatting; RTF from programs that offer
    // nothing else is read here, so that its formatting is kept too.
    const bool takenAsRichText = source->hasFormat(u"application/x-qrichtext"_s) || source->hasHtml();
    if (!takenAsRichText) {
        const QByteArray bytes = rtfFrom(source);
        QTextDocument pasted;
        // Pasted text in the note's own font and size is read as text without formatting of its own.
        pasted.setDefaultFont(document()->defaultFont());
        if (!bytes.isEmpty() && rtf::read(bytes, pasted)) {
            adoptImages(pasted);
            textCursor().insertFragment(QTextDocumentFragment(&pasted));
            ensureCursorVisible();
            return;
        }
    }
    QTextEdit::insertFromMimeData(source);
}

void RichTextBox::adoptImages(QTextDocument& pasted) {
    // A picture is kept in its document as a resource, under a name only that document knows (and that may
    // be the name of another picture in the note). Each one moves into the note under a name of its own.
    struct Picture {
        int position;
        int length;
        QTextImageFormat format;
    };
    std::vector<Picture> pictures;
    for (QTextBlock block = pasted.begin(); block.isValid(); block = block.next()) {
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().isImageFormat())
                pictures.push_back(
                    {fragment.position(), fragment.length(), fragment.charFormat().toImageFormat()});
        }
    }
    for (Picture& picture : pictures) {
        const QVariant data = pasted.resource(QTextDocument::ImageResource, QUrl(picture.format.name()));
        const QString name = u"pasted-image:%1"_s.arg(++m_pastedImages);
        document()->addResource(QTextDocument::ImageResource, QUrl(name), data);
        picture.format.setName(name);
        QTextCursor cursor(&pasted);
        cursor.setPosition(picture.position);
        cursor.setPosition(picture.position + picture.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(picture.format);
    }
}
