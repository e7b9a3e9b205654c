#pragma once

#include "app/Windows.h"
#include "host/Host.h"

// The two program-wide version strings: the running copy's version text and the text the maker's site names.
// The splash window's load step writes them, once.
struct modMossport {
    QString strVersion;
    QString strNewVersion;
};

// What every window reaches: the outside components, the window registry and the program-wide data.
class Program final {
public:
    explicit Program(Host host)
        : host(std::move(host))
        , windows(*this) {}
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    const Host host;
    Windows windows;
    modMossport mod;
};
