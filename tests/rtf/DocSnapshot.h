#pragma once

// A comparable picture of a QTextDocument: each paragraph's text and formatting and every character's
// formatting, as far as RTF carries them. Lengths are in twips so that pixel values that RTF rounds compare
// equal.

#include <QList>
#include <QString>

class QTextDocument;

namespace rtftest {

struct CharSnapshot {
    QString family; // the character's font family, or the document's default
    int halfPoints = 0;
    bool bold = false;
    bool italic = false;
    int underline = 0;
    bool strike = false;
    int vertical = 0;
    int caps = 0;
    QString foreground; // "#rrggbb" or empty
    QString background;
    QString href;
    bool image = false;
    int imageWidth = 0; // twips
    int imageHeight = 0;

    friend bool operator==(const CharSnapshot&, const CharSnapshot&) = default;
    QString describe() const;
};

struct BlockSnapshot {
    QString text;
    int align = 0;
    int left = 0;
    int right = 0;
    int firstLine = 0;
    int before = 0;
    int after = 0;
    QList<CharSnapshot> chars;

    friend bool operator==(const BlockSnapshot&, const BlockSnapshot&) = default;
};

QList<BlockSnapshot> snapshot(const QTextDocument& doc);

// Empty when the snapshots are equal, else a description of the first difference.
QString firstDifference(const QList<BlockSnapshot>& expected, const QList<BlockSnapshot>& actual);

} // namespace rtftest
