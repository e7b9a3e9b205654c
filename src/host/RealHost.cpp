#include "host/RealHost.h"

#include "host/DBusScreenPortal.h"
#include "host/QtDesktop.h"
#include "host/QtDialogs.h"
#include "host/QtHttp.h"
#include "host/QtTrayIcon.h"
#include "host/QtWebView.h"
#include "host/WebProfile.h"

RealHost::RealHost(const QString& programFolder)
    : m_dialogs(std::make_unique<QtDialogs>())
    , m_http(std::make_unique<QtHttp>())
    , m_desktop(std::make_unique<QtDesktop>())
    , m_screenPortal(std::make_unique<DBusScreenPortal>([] { return QDBusConnection::sessionBus(); })) {
    m_host.makeWebView = [this](QWidget* parent) -> WebView* {
        return new QtWebView(webProfile(), *m_dialogs, parent);
    };
    m_host.makeTrayIcon = [](const QIcon& icon, QObject* parent) -> TrayIcon* {
        return new QtTrayIcon(icon, parent);
    };
    m_host.dialogs = m_dialogs.get();
    m_host.http = m_http.get();
    m_host.desktop = m_desktop.get();
    m_host.screenPortal = m_screenPortal.get();
    m_host.warmUpWebViews = [this] {
        webProfile().prepareView();
    };
    m_host.programFolder = programFolder;
}

RealHost::~RealHost() = default;

WebProfile& RealHost::webProfile() {
    if (!m_webProfile)
        m_webProfile = std::make_unique<WebProfile>(WebProfile::userFolders());
    return *m_webProfile;
}
