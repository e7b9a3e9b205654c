#pragma once

#include "Model.h"

#include <QHash>
#include <QTextCharFormat>
#include <QTextCursor>

class QTextDocument;

namespace rtf::detail {

// Builds a QTextDocument through one cursor; paragraph breaks are made lazily so that the paragraph mark that
// ends the document adds no empty paragraph.
class DocumentSink final : public Sink {
public:
    DocumentSink(QTextDocument& doc, const Tables& tables);

    void text(const QString& text, const CharProps& props) override;
    void endParagraph(const ParaProps& props) override;
    void image(const Picture& picture, const CharProps& props) override;
    void finish(const ParaProps* lastParagraph) override;

private:
    void breakIfPending();
    void applyBlockFormat(const ParaProps& props);
    QTextCharFormat charFormat(const CharProps& props);
    QTextCharFormat makeFormat(const CharProps& props) const;
    QColor color(int index) const;

    QTextDocument& m_doc;
    QTextCursor m_cursor;
    const Tables& m_tables;
    QHash<CharProps, QTextCharFormat> m_formats;
    CharProps m_lastProps;
    QTextCharFormat m_lastFormat;
    bool m_haveLast = false;
    bool m_pendingBreak = false;
    int m_images = 0;
    QString m_defaultFamily;
    int m_defaultHalfPoints = 0; // the default font's size in whole half-points, 0 when it has none
};

} // namespace rtf::detail
