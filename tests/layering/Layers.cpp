#include "Layers.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace layers {

namespace {

// Each top-level folder's level; the file names without a folder (main.cpp) are the program, level 4.
const QHash<QString, int>& levels() {
    static const QHash<QString, int> table{
        {u"base"_s, 0},       {u"host"_s, 1},    {u"rtf"_s, 1},        {u"app"_s, 2},     {u"startup"_s, 3},
        {u"gamewindow"_s, 3}, {u"browser"_s, 3}, {u"highscores"_s, 3}, {u"notepad"_s, 3}, {u"rtftool"_s, 4},
    };
    return table;
}
constexpr int programLevel = 4;

// Which window opens which: the opener may include the opened window's public header.
bool opens(const QString& opener, const QString& opened) {
    static const QSet<QString> edges{u"startup>gamewindow"_s, u"gamewindow>browser"_s,
                                     u"gamewindow>highscores"_s, u"gamewindow>notepad"_s,
                                     u"highscores>browser"_s};
    return edges.contains(opener + u'>' + opened);
}

// The top-level folder of a path relative to the root; "" for a file at the top.
QString folderOf(const QString& relative) {
    const qsizetype slash = relative.indexOf(u'/');
    return slash < 0 ? QString() : relative.left(slash);
}

// The level of a top-level folder, or -1 for a folder in no layer.
int levelOf(const QString& folder) {
    return folder.isEmpty() ? programLevel : levels().value(folder, -1);
}

// The RTF library's inner parts, which only its own folder and its tests include.
const QString rtfPrivate = u"rtf/private/"_s;
const QString rtfPrivateReason = u"rtf/private/ is the RTF library's own"_s;

bool isSource(const QString& name) {
    static const QRegularExpression pattern(uR"(\.(h|hpp|c|cc|cpp|cxx)(\.in)?$)"_s);
    return pattern.match(name).hasMatch();
}

class Tree {
public:
    explicit Tree(const QString& root)
        : m_root(QDir(root)) {
        QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString relative = m_root.relativeFilePath(it.next());
            if (isSource(relative))
                m_files.append(relative);
        }
        m_files.sort();
    }

    const QStringList& files() const { return m_files; }
    // True when a file of the tree is named by this path or ends with it.
    bool holds(const QString& included) const {
        return std::any_of(m_files.cbegin(), m_files.cend(), [&included](const QString& file) {
            return file == included || file.endsWith(u'/' + included);
        });
    }
    QString absolute(const QString& relative) const { return m_root.absoluteFilePath(relative); }

    // The file an include names, relative to the root, or "" when it is not in the tree.
    QString resolve(const QString& includer, const QString& included, bool quoted) const {
        QStringList candidates;
        if (quoted)
            candidates << QDir::cleanPath(QFileInfo(includer).path() + u'/' + included);
        candidates << QDir::cleanPath(included);
        for (const QString& candidate : std::as_const(candidates)) {
            // A header made at build time from a template counts as the template.
            for (const QString& name : {candidate, candidate + u".in"_s}) {
                if (!name.startsWith(u"../"_s) && m_files.contains(name))
                    return name;
            }
        }
        // Found through another folder's include path.
        for (const QString& file : m_files) {
            if (file.endsWith(u'/' + included) || file.endsWith(u'/' + included + u".in"_s))
                return file;
        }
        return {};
    }

private:
    QDir m_root;
    QStringList m_files;
};

// Why including `target` from `source` breaks the rule, or "" when it does not.
QString judge(const QString& source, const QString& target) {
    const QString from = folderOf(source);
    const QString to = folderOf(target);
    if (target.startsWith(rtfPrivate) && from != u"rtf"_s)
        return rtfPrivateReason;
    const int fromLevel = levelOf(from);
    const int toLevel = levelOf(to);
    if (fromLevel < 0)
        return u"the folder %1 is in no layer"_s.arg(from);
    if (toLevel < 0)
        return u"the folder %1 is in no layer"_s.arg(to);
    if (from == to || toLevel < fromLevel)
        return {};
    if (toLevel > fromLevel)
        return u"%1 is a layer above %2"_s.arg(to.isEmpty() ? u"the program"_s : to, from);
    if (fromLevel == 3 && opens(from, to)) {
        static const QRegularExpression publicHeader(uR"(^[^/]+/frm[^/]*\.h$)"_s);
        if (publicHeader.match(target).hasMatch())
            return {};
        return u"only the window's public header (%1/frm*.h) may be included from %2"_s.arg(to, from);
    }
    return u"%1 and %2 are side by side in one layer"_s.arg(to.isEmpty() ? u"the program"_s : to,
                                                            from.isEmpty() ? u"the program"_s : from);
}

// Calls `judge(file, line, included, quoted)` for every include of every file in the tree; what it returns,
// when not empty, is the include's fault.
template <class Judge> QList<Violation> scan(const Tree& tree, Judge judge) {
    static const QRegularExpression include(uR"(^\s*#\s*include\s*([<"])([^>"]+)[>"])"_s);
    QList<Violation> found;
    for (const QString& source : tree.files()) {
        QFile file(tree.absolute(source));
        if (!file.open(QIODevice::ReadOnly)) {
            found.append({source, 0, QString(), u"cannot be read"_s});
            continue;
        }
        int line = 0;
        while (!file.atEnd()) {
            ++line;
            const QRegularExpressionMatch match = include.match(QString::fromUtf8(file.readLine()));
            if (!match.hasMatch())
                continue;
            const QString included = match.captured(2);
            if (const QString reason = judge(source, included, match.captured(1) == u"\""_s);
                !reason.isEmpty())
                found.append({source, line, included, reason});
        }
    }
    return found;
}

} // namespace

QList<Violation> check(const QString& sourceRoot) {
    const Tree tree(sourceRoot);
    return scan(tree, [&tree](const QString& source, const QString& included, bool quoted) {
        const QString target = tree.resolve(source, included, quoted);
        return target.isEmpty() ? QString() : judge(source, target);
    });
}

QList<Violation> checkTests(const QString& testsRoot, const QString& sourceRoot) {
    const Tree tests(testsRoot);
    const Tree sources(sourceRoot);
    return scan(tests, [&tests, &sources](const QString& test, const QString& included, bool) {
        if (folderOf(test) == u"rtf"_s || tests.holds(QDir::cleanPath(included)))
            return QString();
        const QString target = sources.resolve(QString(), included, false);
        return target.startsWith(rtfPrivate) ? rtfPrivateReason + u": only the RTF tests include it"_s
                                             : QString();
    });
}

QString describe(const Violation& violation) {
    return u"%1:%2: includes \"%3\": %4"_s.arg(violation.file)
        .arg(violation.line)
        .arg(violation.included, violation.reason);
}

} // namespace layers
