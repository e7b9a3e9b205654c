#include "host/WebProfile.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QWebEngineProfile>
#include <QWebEngineView>

using namespace Qt::StringLiterals;

namespace {

constexpr QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

// Makes the folder if it is missing and leaves it open to its owner alone, whatever mode it had.
bool makePrivateFolder(const QString& path) {
    return QDir().mkpath(path) && QFile::setPermissions(path, ownerOnly);
}

} // namespace

WebProfile::Folders WebProfile::userFolders() {
    return {QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
            QStandardPaths::writableLocation(QStandardPaths::CacheLocation)};
}

WebProfile::WebProfile(const Folders& folders)
    : m_lock(folders.data + u"/web.lock"_s) {
    const QString store = folders.data + u"/web"_s;
    const QString cache = folders.cache + u"/web"_s;
    // A lock is never taken for stale because of its age: the copy that holds it may run for days. One left
    // by a copy that has died is taken over.
    m_lock.setStaleLockTime(0);
    m_persistent = !folders.data.isEmpty() && !folders.cache.isEmpty() && makePrivateFolder(folders.data) &&
                   makePrivateFolder(folders.cache) && m_lock.tryLock(0) && makePrivateFolder(store) &&
                   makePrivateFolder(cache);
    if (!m_persistent) {
        // Off the record: nothing is written, and another copy's store is left alone.
        m_profile = std::make_unique<QWebEngineProfile>();
        return;
    }
    m_profile = std::make_unique<QWebEngineProfile>(u"mossport"_s);
    m_profile->setPersistentStoragePath(store);
    m_profile->setCachePath(cache);
    m_profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    m_profile->setHttpCacheMaximumSize(cacheBytes);
    // Session cookies end with the program, as in a browser; cookies with an expiry date are kept.
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
}

WebProfile::~WebProfile() {
    delete m_spareView.data();
    // Destroying the profile writes its cookies out; the lock goes after it.
    m_profile.reset();
}

QWebEngineView* WebProfile::takeView() {
    if (m_spareView) {
        QWebEngineView* view = m_spareView;
        m_spareView = nullptr;
        return view;
    }
    return new QWebEngineView(m_profile.get());
}

void WebProfile::prepareView() {
    if (!m_spareView) {
        m_spareView = new QWebEngineView(m_profile.get());
        // Making the page starts the engine itself (its browser side and the profile's store), the costly
        // part.
        m_spareView->page();
    }
}

std::optional<bool> WebProfile::answer(const QUrl& origin, QWebEnginePage::Feature feature) const {
    const auto found = m_answers.constFind(origin.toString() + u' ' + QString::number(int(feature)));
    if (found == m_answers.constEnd())
        return std::nullopt;
    return *found;
}

void WebProfile::rememberAnswer(const QUrl& origin, QWebEnginePage::Feature feature, bool allowed) {
    m_answers.insert(origin.toString() + u' ' + QString::number(int(feature)), allowed);
}
