#include "gamewindow/ScreenshotName.h"

#include <QDateTime>
#include <QLocale>

using namespace Qt::StringLiterals;

namespace screenshot {

namespace {

// Two ASCII digits whatever the locale's own digits are, so that names sort and compare the same everywhere.
QString twoDigits(int value) {
    return u"%1"_s.arg(value, 2, 10, QLatin1Char('0'));
}

const QString extension = u".png"_s;

} // namespace

QString fileName(const QDateTime& when, const QLocale& locale) {
    const QDate date = when.date();
    const QTime time = when.time();
    const QString datePart = locale.monthName(date.month(), QLocale::ShortFormat) + u' ' +
                             twoDigits(date.day()) + u' ' + twoDigits((date.year() % 100 + 100) % 100) + u' ';
    const QString timePart =
        QString::number(time.hour()) + u' ' + twoDigits(time.minute()) + u' ' + twoDigits(time.second());
    return datePart + timePart + extension;
}

QString freeFileName(const QString& name, const std::function<bool(const QString& name)>& taken) {
    if (!taken(name))
        return name;
    const QString stem = name.endsWith(extension) ? name.chopped(extension.size()) : name;
    const QString suffix = name.endsWith(extension) ? extension : QString();
    // Ends: every taken name is a file in one folder, and a folder holds finitely many.
    for (qsizetype number = 2;; ++number) {
        const QString candidate = stem + u" ("_s + QString::number(number) + u')' + suffix;
        if (!taken(candidate))
            return candidate;
    }
}

} // namespace screenshot
