#include "notepad/FileListing.h"

#include <QCollator>
#include <QDateTime>
#include <QFile>
#include <QLocale>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <utility>
#include <vector>

FileListing::FileListing(QString folder, Clock clock)
    : m_folder(std::move(folder))
    , m_clock(clock ? std::move(clock) : Clock([] { return QDateTime::currentMSecsSinceEpoch(); })) {
}

FileListing::Stamp FileListing::stamp() const {
    struct stat info {};
    if (::stat(QFile::encodeName(m_folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return {};
    return {true, info.st_dev, info.st_ino,
            qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

bool FileListing::refresh() {
    const Stamp now = stamp();
    // A reading taken within the granularity of the folder's time may have missed a change that left the
    // time as it was; only a reading taken clearly after it can be trusted.
    const qint64 modifiedMs = now.modifiedNs / 1'000'000;
    const bool settled = m_readAtMs - modifiedMs > stampGranularityMs;
    if (m_read && now == m_stamp && (settled || !now.exists))
        return false;

    const qint64 readAt = m_clock();
    QStringList names = now.exists ? read() : QStringList();
    m_stamp = now;
    m_readAtMs = readAt;
    m_read = true;
    // Most readings find the same names: a plain sort tells so before the costlier sort for showing.
    std::sort(names.begin(), names.end());
    if (names == m_found)
        return false;
    m_found = names;
    sort(names);
    m_names = std::move(names);
    return true;
}

QStringList FileListing::read() {
    ++m_readings;
    QStringList names;
    const QByteArray folder = QFile::encodeName(m_folder);
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return names;
    // Files of every kind the user can open: symbolic links to files count, links to folders and special
    // files (pipes, sockets, devices) do not. The entry's own type saves a look at each file where the file
    // system gives it.
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        bool isFile = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            isFile = ::fstatat(dirFd, entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
        }
        if (isFile)
            names.append(QFile::decodeName(entry->d_name));
    }
    ::closedir(dir);
    return names;
}

void FileListing::sort(QStringList& names) {
    // The user's language decides the order of letters; the C locale has no such order of its own, and the
    // common one of Unicode's collation takes its place.
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English);
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<std::pair<QCollatorSortKey, qsizetype>> keys;
    keys.reserve(size_t(names.size()));
    for (qsizetype i = 0; i < names.size(); ++i)
        keys.emplace_back(collator.sortKey(names.at(i)), i);
    // Names the collator holds equal (they differ in case alone, say) keep a fixed order between them.
    std::sort(keys.begin(), keys.end(), [&names](const auto& a, const auto& b) {
        const int order = a.first.compare(b.first);
        return order != 0 ? order < 0 : names.at(a.second) < names.at(b.second);
    });
    QStringList sorted;
    sorted.reserve(names.size());
    for (const auto& key : keys)
        sorted.append(names.at(key.second));
    names = std::move(sorted);
}
