#pragma once

#include <QString>
#include <functional>

class QDateTime;
class QLocale;

// The rules that name a screenshot file; pure, so that they can be checked without a screen.
namespace screenshot {

// The file name for a capture at `when`: "MMM DD YY H MM SS.png", e.g. "Jun 05 07 9 05 07.png" for
// 9:05:07 on 5 June 2007. The month abbreviation comes from `locale`; the numbers are always ASCII digits:
// day, year, minutes and seconds with two digits, the hour (0 to 23) without a leading zero. Date and time
// come from the one reading, so a capture at midnight cannot mix two days.
QString fileName(const QDateTime& when, const QLocale& locale);

// `name` itself when `taken` says it is free, else the first free of "stem (2).png", "stem (3).png", ...,
// so that a capture never replaces an earlier one.
QString freeFileName(const QString& name, const std::function<bool(const QString& name)>& taken);

} // namespace screenshot
