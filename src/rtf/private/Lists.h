#pragma once

// Lists as RTF defines them: the list table (\listtable), the overrides that paragraphs name with \ls
// (\listoverridetable), and the older paragraph numbering of \pn. The interpreter hands each of these groups
// here whole; the document sink asks for the level of a paragraph's list.

#include <QHash>
#include <QPair>
#include <QString>
#include <QTextListFormat>

#include <array>
#include <string_view>
#include <vector>

class QTextCursor;
class QTextList;

namespace rtf::detail {

inline constexpr int kListLevels = 9;
inline constexpr int kMaxListOverride = 1'000'000;
// The indent of one list level in twips (the editor's indent width, 40 pixels), and how far a list item's
// first line starts before its text, where the marker stands.
inline constexpr int kListLevelIndent = 600;
inline constexpr int kListMarkerHang = 360;

// What the editor can show of a list level: its numbering style and the text around the number.
struct ListLevel {
    QTextListFormat::Style style = QTextListFormat::ListDisc;
    QString prefix;
    QString suffix;

    friend bool operator==(const ListLevel&, const ListLevel&) = default;
};

struct ListDefinitions {
    QHash<int, std::array<ListLevel, kListLevels>> lists; // by \listid
    QHash<int, int> overrides;                            // \ls -> \listid
    std::vector<ListLevel> numberings;                    // \pn groups, as ParaProps::list -1, -2, ...

    // The level `level` of the list a paragraph names (ParaProps::list, \ls + 1, or ParaProps::numbering);
    // null when the document does not define it.
    const ListLevel* level(int list, int level) const;
};

// Makes paragraphs items of the editor's lists as the sink adds them. Each level of an RTF list is a
// QTextList of its own, indented by the level; a level's numbering starts again after an item of a higher
// level, as word processors number them.
class ListBuilder {
public:
    explicit ListBuilder(const ListDefinitions& definitions)
        : m_definitions(definitions) {}

    // Makes the cursor's block an item of the list `list` (\ls, or a \pn numbering when negative) at `level`.
    // False, changing nothing, when the document does not define that list.
    bool add(QTextCursor& cursor, int list, int level);

private:
    const ListDefinitions& m_definitions;
    QHash<QPair<int, int>, QTextList*> m_current; // by list and level
};

// Each reads one whole group, from its "{" to its "}".
void readListTable(std::string_view group, ListDefinitions& lists);
void readListOverrideTable(std::string_view group, ListDefinitions& lists);
// A \pn group: adds its numbering and returns the ParaProps::list value that names it; `level` receives the
// level it gives (0 for body text).
int readParagraphNumbering(std::string_view group, ListDefinitions& lists, int& level);

} // namespace rtf::detail
