#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <sys/types.h>

// The names of the files in one folder (files of every name, hidden ones too, and no folders), sorted for
// showing in a list. A refresh reads the folder again only when it may have changed: it first compares the
// folder's identity and modification time with those of the last reading. A file system stamps times
// coarsely (a second or two on some), so a change right after a reading can leave the time unchanged; while
// the last reading lies within that granularity of the folder's time, every refresh reads the folder again.
class FileListing final {
public:
    // Milliseconds since the epoch, on the clock file systems stamp times by.
    using Clock = std::function<qint64()>;

    // The widest time-stamp granularity among the file systems a notes folder may live on (FAT: 2 s).
    static constexpr qint64 stampGranularityMs = 2000;

    explicit FileListing(QString folder, Clock clock = {});

    const QString& folder() const { return m_folder; }
    // Brings the names up to date with the folder. True when they changed.
    bool refresh();
    // The names found by the last refresh; empty where the folder is missing or cannot be read.
    const QStringList& names() const { return m_names; }
    // How many times the folder's entries were read.
    int readings() const { return m_readings; }

    // Sorts names the way the list shows them: case-insensitively, with numbers in their numeric order.
    static void sort(QStringList& names);

private:
    struct Stamp {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        qint64 modifiedNs = 0;

        friend bool operator==(const Stamp&, const Stamp&) = default;
    };

    Stamp stamp() const;
    QStringList read();

    QString m_folder;
    Clock m_clock;
    Stamp m_stamp;
    qint64 m_readAtMs = 0;
    bool m_read = false;
    QStringList m_found; // the names in code-point order, to compare readings
    QStringList m_names; // the same names in the order shown
    int m_readings = 0;
};
