#include "startup/VersionCompare.h"

#include <QList>
#include <QStringDecoder>

namespace versioncheck {

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// A number's digits without its leading zeros; "0" and "" both become "".
QStringView significant(QStringView number) {
    qsizetype start = 0;
    while (start < number.size() && number[start] == u'0')
        ++start;
    return number.mid(start);
}

// Compares two digit strings by value, however long they are: -1, 0 or 1.
int compareNumbers(QStringView a, QStringView b) {
    a = significant(a);
    b = significant(b);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    const int order = a.compare(b);
    return (order > 0) - (order < 0);
}

} // namespace

QString versionText(QByteArrayView body) {
    // The decoder drops a leading byte-order mark, which some editors write before the text.
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(body);
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isBlank(text[start]))
        ++start;
    while (end > start && isBlank(text[end - 1]))
        --end;
    return text.mid(start, end - start);
}

bool isVersion(QStringView text) {
    bool numberStarted = false;
    for (const QChar c : text) {
        if (isDigit(c))
            numberStarted = true;
        else if (c == u'.' && numberStarted)
            numberStarted = false;
        else
            return false;
    }
    // Also refuses the empty text and a trailing dot.
    return numberStarted;
}

bool isNewer(QStringView candidate, QStringView running) {
    if (!isVersion(candidate) || !isVersion(running))
        return false;
    const QList<QStringView> offered = candidate.split(u'.');
    const QList<QStringView> own = running.split(u'.');
    for (qsizetype i = 0; i < qMax(offered.size(), own.size()); ++i) {
        const QStringView a = i < offered.size() ? offered[i] : QStringView();
        const QStringView b = i < own.size() ? own[i] : QStringView();
        if (const int order = compareNumbers(a, b); order != 0)
            return order > 0;
    }
    return false;
}

} // namespace versioncheck
