#pragma once

#include "host/Host.h"

#include <memory>

class WebProfile;

// The real components, owned together; host() hands them out. The web profile is opened on first use;
// every window with a web page must be gone before this is destroyed.
class RealHost final {
public:
    explicit RealHost(const QString& programFolder);
    ~RealHost();
    RealHost(const RealHost&) = delete;
    RealHost& operator=(const RealHost&) = delete;

    const Host& host() const { return m_host; }

private:
    WebProfile& webProfile();

    std::unique_ptr<Dialogs> m_dialogs;
    std::unique_ptr<Http> m_http;
    std::unique_ptr<Desktop> m_desktop;
    std::unique_ptr<ScreenPortal> m_screenPortal;
    std::unique_ptr<WebProfile> m_webProfile;
    Host m_host;
};
