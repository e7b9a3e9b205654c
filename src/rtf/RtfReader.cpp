#include "Rtf.h"

#include "private/DocumentSink.h"
#include "private/Interpreter.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using namespace Qt::StringLiterals;

namespace rtf {

namespace detail {

namespace {

constexpr char16_t kLineSeparator = 0x2028;
constexpr char16_t kObjectReplacement = 0xFFFC;

class PlainTextSink final : public Sink {
public:
    explicit PlainTextSink(qsizetype expectedSize) { m_text.reserve(expectedSize); }

    void text(const QString& text, const CharProps&) override {
        breakIfPending();
        m_text.append(text);
    }
    void endParagraph(const ParaProps&) override {
        breakIfPending();
        m_pendingBreak = true;
    }
    void image(const Picture&, const CharProps&) override { breakIfPending(); }
    void finish(const ParaProps* lastParagraph) override {
        if (lastParagraph)
            breakIfPending();
    }

    QString take() {
        m_text.replace(QChar(kLineSeparator), u'\n');
        return std::move(m_text);
    }

private:
    void breakIfPending() {
        if (m_pendingBreak) {
            m_text.append(u'\n');
            m_pendingBreak = false;
        }
    }

    QString m_text;
    bool m_pendingBreak = false;
};

} // namespace

} // namespace detail

bool isRtf(const QByteArray& bytes) {
    qsizetype i = 0;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        i = 3;
    while (i < bytes.size()) {
        const char c = bytes.at(i);
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\f' && c != '\v')
            break;
        ++i;
    }
    return QByteArrayView(bytes).sliced(i).startsWith("{\\rtf");
}

bool read(const QByteArray& bytes, QTextDocument& doc) {
    if (!isRtf(bytes))
        return false;
    const bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false); // also forgets the previous note's undo history
    // Clearing inside the edit block makes the whole load one change from an empty document, which a
    // QTextEdit's layout then does lazily, as for setPlainText(), instead of at once.
    QTextCursor editBlock(&doc);
    editBlock.beginEditBlock();
    doc.clear();
    detail::Tables tables;
    {
        detail::DocumentSink sink(doc, tables);
        detail::parse(bytes, sink, tables);
    }
    editBlock.endEditBlock();
    doc.setMetaInformation(QTextDocument::DocumentTitle, tables.title);
    doc.setUndoRedoEnabled(undo);
    doc.setModified(false);
    return true;
}

std::optional<QString> readPlainText(const QByteArray& bytes) {
    if (!isRtf(bytes))
        return std::nullopt;
    detail::Tables tables;
    detail::PlainTextSink sink(bytes.size() / 2);
    detail::parse(bytes, sink, tables);
    return sink.take();
}

QString plainText(const QTextDocument& doc) {
    QString text;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (block != doc.begin())
            text.append(u'\n');
        QString line = block.text();
        line.remove(QChar(detail::kObjectReplacement));
        line.replace(QChar(detail::kLineSeparator), u'\n');
        text.append(line);
    }
    return text;
}

} // namespace rtf
