#pragma once

#include "host/Host.h"

#include <memory>

// The real components, owned together; host() hands them out.
class RealHost final {
public:
    explicit RealHost(const QString& programFolder);
    ~RealHost();
    RealHost(const RealHost&) = delete;
    RealHost& operator=(const RealHost&) = delete;

    const Host& host() const { return m_host; }

private:
    std::unique_ptr<Dialogs> m_dialogs;
    std::unique_ptr<Http> m_http;
    std::unique_ptr<Desktop> m_desktop;
    std::unique_ptr<ScreenPortal> m_screenPortal;
    Host m_host;
};
