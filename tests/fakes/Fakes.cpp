#include "Fakes.h"

#include <QDir>

using namespace Qt::StringLiterals;

FakeHost::FakeHost(bool trayAvailable)
    : m_trayAvailable(trayAvailable) {
    QDir folder(programFolder.path());
    folder.mkdir(u"screenshots"_s);
    folder.mkdir(u"notes"_s);
    desktop.clock = QDateTime(QDate(2007, 6, 5), QTime(14, 3, 9));
}

Host FakeHost::host() {
    Host host;
    host.makeWebView = [views = m_webViews](QWidget* parent) -> WebView* {
        auto* view = new FakeWebView(parent);
        views->append(view);
        return view;
    };
    host.makeTrayIcon = [icon = m_trayIcon, available = m_trayAvailable](const QIcon&,
                                                                         QObject* parent) -> TrayIcon* {
        auto* tray = new FakeTrayIcon(available, parent);
        *icon = tray;
        return tray;
    };
    host.dialogs = &dialogs;
    host.http = &http;
    host.desktop = &desktop;
    host.programFolder = programFolder.path();
    return host;
}

QList<FakeWebView*> FakeHost::webViews() const {
    QList<FakeWebView*> views;
    for (const QPointer<FakeWebView>& view : *m_webViews) {
        if (view)
            views.append(view);
    }
    return views;
}

FakeWebView* FakeHost::lastWebView() const {
    const QList<FakeWebView*> views = webViews();
    return views.isEmpty() ? nullptr : views.last();
}

FakeTrayIcon* FakeHost::lastTrayIcon() const {
    return *m_trayIcon;
}
