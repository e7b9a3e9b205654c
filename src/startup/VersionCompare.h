#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The rules that decide whether the maker's site names a newer version: pure functions over texts.
namespace versioncheck {

// The text a version file carries: its body read as UTF-8 (a leading byte-order mark dropped), without the
// spaces, tabs, carriage returns and line feeds that editors leave around it.
QString versionText(QByteArrayView body);

// A version is one or more decimal numbers (digits 0 to 9) separated by single dots, and nothing else.
bool isVersion(QStringView text);

// True when `candidate` is a version that comes after `running`. The numbers are compared from the left as
// numbers of any length (leading zeros do not count), a missing number counting as 0: 1.0.10 comes after
// 1.0.2, and 1.0.2.0 is 1.0.2. A candidate that is not a version never comes after anything.
bool isNewer(QStringView candidate, QStringView running);

} // namespace versioncheck
