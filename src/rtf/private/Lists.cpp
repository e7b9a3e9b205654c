#include "Lists.h"

#include "Interpreter.h"
#include "Tokenizer.h"

#include <QTextCursor>
#include <QTextList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace rtf::detail {

namespace {

// \levelnfc and the \pn words: the numbering style of a level.
QTextListFormat::Style styleOfNumberFormat(int nfc) {
    switch (nfc) {
    case 1:
        return QTextListFormat::ListUpperRoman;
    case 2:
        return QTextListFormat::ListLowerRoman;
    case 3:
        return QTextListFormat::ListUpperAlpha;
    case 4:
        return QTextListFormat::ListLowerAlpha;
    case 23:
    case 255:
        return QTextListFormat::ListDisc;
    default:
        return QTextListFormat::ListDecimal;
    }
}

bool isBullet(QTextListFormat::Style style) {
    return style == QTextListFormat::ListDisc || style == QTextListFormat::ListCircle ||
           style == QTextListFormat::ListSquare;
}

// The bullet a level's text draws: a hollow circle ("o" in the fonts writers use for it), a square (the
// square of the dingbat fonts, "\'a7" in Wingdings) or, for everything else, a disc.
QTextListFormat::Style bulletStyle(QStringView text) {
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'o':
        case 0x25E6:
        case 0x25CB:
            return QTextListFormat::ListCircle;
        case 0x00A7:
        case 0x25AA:
        case 0x25A0:
        case 0xF0A7:
            return QTextListFormat::ListSquare;
        default:
            break;
        }
    }
    return QTextListFormat::ListDisc;
}

// The characters of the rest of a group's text, up to and with its "}", with \'hh as the byte's Latin-1
// character and \uN as its character; the text of nested groups is left out.
QString groupText(Tokenizer& tokens) {
    QString text;
    int depth = 1;
    int skip = 0;
    while (depth > 0) {
        const Token t = tokens.next();
        switch (t.kind) {
        case Token::Kind::End:
            return text;
        case Token::Kind::GroupOpen:
            ++depth;
            break;
        case Token::Kind::GroupClose:
            --depth;
            break;
        case Token::Kind::ControlWord:
            if (const ControlWord* word = findControlWord(t.text);
                depth == 1 && word && word->op == Op::UnicodeCharacter && t.hasParam) {
                text.append(QChar(char16_t(t.value < 0 ? t.value + 65536 : t.value)));
                skip = 1;
            }
            break;
        case Token::Kind::HexByte:
            if (depth == 1 && t.value >= 0) {
                if (skip > 0)
                    --skip;
                else
                    text.append(QChar(char16_t(t.value)));
            }
            break;
        case Token::Kind::Text:
            if (depth == 1) {
                std::string_view s = t.text;
                const size_t skipped = std::min<size_t>(size_t(skip), s.size());
                s.remove_prefix(skipped);
                skip -= int(skipped);
                text.append(QLatin1StringView(s.data(), qsizetype(s.size())));
            }
            break;
        default:
            break;
        }
    }
    return text;
}

// \leveltext: a length, then the text with the placeholder of each level's number as a byte below 9.
void readLevelText(Tokenizer& tokens, ListLevel& level) {
    QString text = groupText(tokens);
    if (text.isEmpty())
        return;
    const int length = std::min<int>(text.at(0).unicode(), int(text.size() - 1));
    text = text.mid(1, length);
    qsizetype first = -1;
    qsizetype last = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).unicode() < kListLevels) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    if (isBullet(level.style)) {
        level.style = bulletStyle(text);
        return;
    }
    if (first < 0)
        return;
    // The editor shows one number; a level that shows its parents' numbers too ("1.2.") keeps the text
    // around them.
    level.prefix = text.left(first);
    level.suffix = text.mid(last + 1);
}

// Reads a list group, which starts at its "{" and ends with its "}": calls `onWord(tokens, token, word,
// depth)` for each control word, at `depth` 1 in the group itself, which returns true when it read the rest
// of its group with groupText(), and `onClose(depth)` as a group at `depth` ends.
template <typename OnWord, typename OnClose>
void readWords(std::string_view group, OnWord onWord, OnClose onClose) {
    Tokenizer tokens(group.data(), group.data() + group.size());
    int depth = 0;
    for (Token t = tokens.next(); t.kind != Token::Kind::End; t = tokens.next()) {
        if (t.kind == Token::Kind::GroupOpen) {
            ++depth;
        } else if (t.kind == Token::Kind::GroupClose) {
            onClose(depth);
            if (--depth <= 0)
                return;
        } else if (t.kind == Token::Kind::ControlWord && onWord(tokens, t, findListWord(t.text), depth)) {
            --depth; // the word's group has ended
        }
    }
}

} // namespace

const ListLevel* ListDefinitions::level(int list, int level) const {
    if (list < 0) {
        const size_t index = size_t(-list - 1);
        return index < numberings.size() ? &numberings[index] : nullptr;
    }
    const auto id = overrides.constFind(list - 1);
    if (id == overrides.cend())
        return nullptr;
    const auto levels = lists.constFind(*id);
    if (levels == lists.cend())
        return nullptr;
    return &(*levels)[size_t(std::clamp(level, 0, kListLevels - 1))];
}

bool ListBuilder::add(QTextCursor& cursor, int list, int level) {
    level = std::clamp(level, 0, kListLevels - 1);
    const ListLevel* definition = m_definitions.level(list, level);
    if (!definition)
        return false;
    for (auto it = m_current.begin(); it != m_current.end();) {
        if (it.key().first == list && it.key().second > level)
            it = m_current.erase(it);
        else
            ++it;
    }
    const QPair<int, int> key(list, level);
    if (QTextList* current = m_current.value(key)) {
        current->add(cursor.block());
        return true;
    }
    QTextListFormat format;
    format.setStyle(definition->style);
    format.setIndent(level + 1);
    format.setNumberPrefix(definition->prefix);
    format.setNumberSuffix(definition->suffix);
    m_current.insert(key, cursor.createList(format));
    return true;
}

void readListTable(std::string_view group, ListDefinitions& lists) {
    std::array<ListLevel, kListLevels> levels;
    int levelCount = 0;
    int listDepth = -1;
    int levelDepth = -1;
    const auto onWord = [&](Tokenizer& tokens, const Token& t, ListWord word, int depth) {
        const bool inLevel = levelDepth >= 0 && levelCount >= 1 && levelCount <= kListLevels;
        if (word == ListWord::List) {
            listDepth = depth;
            levels = {};
            levelCount = 0;
        } else if (word == ListWord::Level && listDepth >= 0) {
            levelDepth = depth;
            ++levelCount;
        } else if (word == ListWord::NumberFormat && inLevel && t.hasParam) {
            levels[size_t(levelCount - 1)].style = styleOfNumberFormat(t.value);
        } else if (word == ListWord::LevelText && inLevel) {
            readLevelText(tokens, levels[size_t(levelCount - 1)]);
            return true;
        } else if (word == ListWord::LevelNumbers || word == ListWord::ListName) {
            groupText(tokens);
            return true;
        } else if (word == ListWord::ListId && listDepth >= 0 && depth == listDepth && t.hasParam) {
            lists.lists.insert(t.value, levels);
        }
        return false;
    };
    readWords(group, onWord, [&](int depth) {
        if (depth == levelDepth)
            levelDepth = -1;
        if (depth == listDepth)
            listDepth = -1;
    });
}

void readListOverrideTable(std::string_view group, ListDefinitions& lists) {
    int listId = 0;
    const auto onWord = [&](Tokenizer&, const Token& t, ListWord word, int) {
        if (word == ListWord::Override)
            listId = 0;
        else if (word == ListWord::ListId && t.hasParam)
            listId = t.value;
        else if (word == ListWord::OverrideNumber && t.hasParam && listId != 0)
            lists.overrides.insert(t.value, listId);
        return false;
    };
    readWords(group, onWord, [](int) {});
}

int readParagraphNumbering(std::string_view group, ListDefinitions& lists, int& level) {
    ListLevel numbering;
    numbering.style = QTextListFormat::ListDecimal;
    level = 0;
    bool bullet = false;
    QString before;
    const auto onWord = [&](Tokenizer& tokens, const Token& t, ListWord word, int) {
        if (word == ListWord::NumberingBullet) {
            bullet = true;
        } else if (word == ListWord::NumberingLevel && t.hasParam) {
            level = std::clamp(t.value - 1, 0, kListLevels - 1);
        } else if (word == ListWord::UpperRoman) {
            numbering.style = QTextListFormat::ListUpperRoman;
        } else if (word == ListWord::LowerRoman) {
            numbering.style = QTextListFormat::ListLowerRoman;
        } else if (word == ListWord::UpperLetter) {
            numbering.style = QTextListFormat::ListUpperAlpha;
        } else if (word == ListWord::LowerLetter) {
            numbering.style = QTextListFormat::ListLowerAlpha;
        } else if (word == ListWord::NumberingBefore) {
            before = groupText(tokens);
            return true;
        } else if (word == ListWord::NumberingAfter) {
            numbering.suffix = groupText(tokens);
            return true;
        }
        return false;
    };
    readWords(group, onWord, [](int) {});
    if (bullet) {
        numbering.style = bulletStyle(before);
        numbering.suffix.clear();
    } else {
        numbering.prefix = before;
    }
    // Paragraphs numbered alike in a row are one list.
    if (!lists.numberings.empty() &&
        (lists.numberings.back() == numbering || lists.numberings.size() > 10000))
        return -int(lists.numberings.size());
    lists.numberings.push_back(numbering);
    return -int(lists.numberings.size());
}

// The interpreter's part: list groups are read whole, a marker is held until its paragraph shows whether it
// is in a list that the editor shows with its own marker.
void Interpreter::readListGroup(Op op) {
    const char* start = top().start;
    const bool ownGroup = m_destinationStartsGroup;
    skipGroup();
    if (!start)
        return;
    const std::string_view group(start, size_t(m_tokens.position() - start));
    switch (op) {
    case Op::ListTable:
        readListTable(group, m_tables.lists);
        break;
    case Op::ListOverrideTable:
        readListOverrideTable(group, m_tables.lists);
        break;
    default: {
        // \pn numbers the paragraph of the group around its own group. Where it does not start its group,
        // the rest of the group it came in was its group, and that group's paragraph ended with it.
        if (!ownGroup)
            break;
        int level = 0;
        ParaProps& para = top().para;
        para.numbering = readParagraphNumbering(group, m_tables.lists, level);
        if (para.list == 0)
            para.level = level;
        break;
    }
    }
}

bool Interpreter::isListed(const ParaProps& para) const {
    return (para.list != 0 && m_tables.lists.level(para.list, para.level)) ||
           (para.numbering != 0 && m_tables.lists.level(para.numbering, 0));
}

void Interpreter::emitListText() {
    const QString marker = withValidSurrogates(std::exchange(m_listText, QString()));
    if (marker.isEmpty() || isListed(top().para))
        return;
    m_text.listMarker(marker, m_listTextProps);
}

} // namespace rtf::detail
