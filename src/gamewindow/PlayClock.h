#pragma once

#include <QtGlobal>

// The play-time count: hours without limit, minutes and seconds from 0 to 59.
struct PlayTime {
    quint64 hours = 0;
    int minutes = 0;
    int seconds = 0;

    friend bool operator==(const PlayTime&, const PlayTime&) = default;
};

// One tick adds exactly one second, carrying 60 seconds into a minute and 60 minutes into an hour at once.
constexpr PlayTime addOneSecond(PlayTime time) {
    if (++time.seconds == 60) {
        time.seconds = 0;
        if (++time.minutes == 60) {
            time.minutes = 0;
            ++time.hours;
        }
    }
    return time;
}
