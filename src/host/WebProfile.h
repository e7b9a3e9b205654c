#pragma once

#include <QHash>
#include <QLockFile>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWebEnginePage>
#include <memory>
#include <optional>

class QWebEngineProfile;
class QWebEngineView;

// The one web profile every view of the program shares, so that a login made in one view holds in all.
// It keeps cookies, local storage and the HTTP cache in the user's own data and cache folders, readable by
// that user alone. Only one running copy may use that store: a copy that finds it locked by another running
// copy keeps everything in memory instead, and so does one given no folders. Every page on the profile must
// be gone before it is destroyed; destroying it is what writes the last cookies out.
class WebProfile final {
public:
    struct Folders {
        // Cookies and local storage.
        QString data;
        // The HTTP cache.
        QString cache;
    };
    // The user's folders for the program: its data and cache locations, each with a "web" folder inside.
    static Folders userFolders();
    // The most the HTTP cache keeps on disk.
    static constexpr int cacheBytes = 50 * 1024 * 1024;

    explicit WebProfile(const Folders& folders);
    ~WebProfile();
    WebProfile(const WebProfile&) = delete;
    WebProfile& operator=(const WebProfile&) = delete;

    QWebEngineProfile* engineProfile() const { return m_profile.get(); }
    // False when another running copy holds the store and this copy keeps nothing.
    bool isPersistent() const { return m_persistent; }

    // A view on this profile: the one prepared by prepareView() if there is one, else a new one.
    QWebEngineView* takeView();
    // Builds one view ahead of need, so that the first window with a web view opens without the engine's
    // cold start.
    void prepareView();

    // The user's answer to a site's request for a feature, while the program runs.
    std::optional<bool> answer(const QUrl& origin, QWebEnginePage::Feature feature) const;
    void rememberAnswer(const QUrl& origin, QWebEnginePage::Feature feature, bool allowed);

private:
    QLockFile m_lock;
    bool m_persistent = false;
    std::unique_ptr<QWebEngineProfile> m_profile;
    QPointer<QWebEngineView> m_spareView;
    QHash<QString, bool> m_answers;
};
