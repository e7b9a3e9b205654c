#pragma once

// The writer's part for lists: the list table and the words that put a paragraph in its list.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

class QTextBlock;
class QTextDocument;
class QTextList;

namespace rtf::detail {

// Each QTextList of the document becomes one list of the list table, with its own override number (\ls), so
// that it numbers on its own as it does in the editor; its indent gives the level (\ilvl).
class ListWriter {
public:
    explicit ListWriter(const QTextDocument& doc);

    bool isEmpty() const { return m_lists.isEmpty(); }
    // \listtable and \listoverridetable, for the document's header.
    void writeTables(QByteArray& out) const;
    // The paragraph words that put a block of `list` in its list: \lsN\ilvlN.
    void writeParagraphWords(QByteArray& out, const QTextList* list) const;
    // The marker an editor shows before the block, for the \listtext that readers without lists show.
    static QString marker(const QTextList* list, const QTextBlock& block);
    static int level(const QTextList* list);

private:
    QList<const QTextList*> m_lists;
    QHash<const QTextList*, int> m_number; // \ls, from 1
};

} // namespace rtf::detail
