#pragma once

// Fakes of the outside components, for window tests that need no real web engine, dialog, screen or network.

#include "host/Desktop.h"
#include "host/Dialogs.h"
#include "host/Host.h"
#include "host/Http.h"
#include "host/TrayIcon.h"
#include "host/WebView.h"

#include <QDateTime>
#include <QList>
#include <QPointer>
#include <QQueue>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <optional>

// Records navigations; the title is whatever the test sets with showPage().
class FakeWebView final : public WebView {
    Q_OBJECT
public:
    using WebView::WebView;

    void Navigate(const QString& address) override { navigations.append(address); }
    QString LocationName() const override { return m_title; }
    void setFullScreenAllowed(bool allowed) override { fullScreenAllowed = allowed; }

    // Pretends a page with this title is now shown.
    void showPage(const QString& title) {
        m_title = title;
        Q_EMIT TitleChange(title);
    }
    QString lastNavigation() const { return navigations.isEmpty() ? QString() : navigations.last(); }

    QStringList navigations;
    bool fullScreenAllowed = false;

private:
    QString m_title;
};

// A download that a page offers, answered by whoever takes it; it never transfers anything.
class FakeWebDownload final : public WebDownload {
    Q_OBJECT
public:
    explicit FakeWebDownload(const QString& suggested)
        : m_suggested(suggested) {}

    QString suggestedFileName() const override { return m_suggested; }
    qint64 receivedBytes() const override { return 0; }
    qint64 totalBytes() const override { return -1; }
    State state() const override { return m_state; }
    QString failureReason() const override { return {}; }
    void accept(const QString& path) override {
        acceptedPath = path;
        m_state = State::InProgress;
    }
    void cancel() override { m_state = State::Cancelled; }

    QString acceptedPath;

private:
    QString m_suggested;
    State m_state = State::Requested;
};

// Answers prompts from a queue (an empty queue answers as Cancel) and records everything it is asked.
class FakeDialogs final : public Dialogs {
public:
    struct Asked {
        QString prompt;
        QString title;
    };
    struct LoginAsked {
        QString site;
        QString realm;
    };

    QString ask(const QString& prompt, const QString& title = {}) override {
        asked.append({prompt, title});
        return answers.isEmpty() ? QString() : answers.dequeue();
    }
    void tell(const QString& message) override { told.append(message); }
    bool confirm(const QString& question) override {
        confirmed.append(question);
        return confirmAnswers.isEmpty() ? false : confirmAnswers.dequeue();
    }
    QString chooseSaveFile(const QString& proposedPath) override {
        proposedSaves.append(proposedPath);
        return saveAnswers.isEmpty() ? QString() : saveAnswers.dequeue();
    }
    std::optional<Login> askLogin(const QString& site, const QString& realm) override {
        loginsAsked.append({site, realm});
        return logins.isEmpty() ? std::nullopt : logins.dequeue();
    }
    void openInBrowser(const QString& address) override { opened.append(address); }

    QQueue<QString> answers;
    // Paths chooseSaveFile() answers with; an empty queue answers as Cancel.
    QQueue<QString> saveAnswers;
    QStringList proposedSaves;
    QQueue<bool> confirmAnswers;
    // Answers to askLogin; nothing queued answers as Cancel.
    QQueue<std::optional<Login>> logins;
    // The site and realm of every login asked for.
    QList<LoginAsked> loginsAsked;
    QList<Asked> asked;
    QStringList told;
    QStringList confirmed;
    QStringList opened;
};

class FakeTrayIcon final : public TrayIcon {
    Q_OBJECT
public:
    explicit FakeTrayIcon(bool available, QObject* parent = nullptr)
        : TrayIcon(parent)
        , m_available(available) {}

    bool isAvailable() const override { return m_available; }
    void show() override {
        m_visible = true;
        ++shows;
    }
    void hide() override { m_visible = false; }
    bool isVisible() const override { return m_visible; }
    // What a click on the icon does.
    void click() { Q_EMIT activated(); }

    int shows = 0;

private:
    bool m_available;
    bool m_visible = false;
};

class FakeHttp final : public Http {
public:
    std::optional<QByteArray> get(const QString& address) override {
        requests.append(address);
        return body;
    }
    std::optional<QByteArray> body;
    QStringList requests;
};

// A screen of one colour, a clipboard in memory, a counted beep and a clock the test sets.
class FakeDesktop final : public Desktop {
public:
    QImage grabScreen() override { return screen; }
    void clearClipboard() override { clipboard = QImage(); }
    void setClipboardImage(const QImage& image) override { clipboard = image; }
    QImage clipboardImage() const override { return clipboard; }
    void beep() override { ++beeps; }
    QDateTime now() const override { return clock; }
    void flushPointerChange() override {}

    QImage screen;
    QImage clipboard;
    int beeps = 0;
    QDateTime clock;
};

// A Host made of fakes, with a temporary program folder holding empty screenshots/ and notes/ folders.
class FakeHost {
public:
    explicit FakeHost(bool trayAvailable = true);

    Host host();
    // The fake web views made so far, in creation order, and the newest one.
    QList<FakeWebView*> webViews() const;
    FakeWebView* lastWebView() const;
    FakeTrayIcon* lastTrayIcon() const;

    FakeDialogs dialogs;
    FakeHttp http;
    FakeDesktop desktop;
    QTemporaryDir programFolder;

private:
    bool m_trayAvailable;
    // Shared with the factories handed out in host(), which may outlive a copy of the Host.
    std::shared_ptr<QList<QPointer<FakeWebView>>> m_webViews =
        std::make_shared<QList<QPointer<FakeWebView>>>();
    std::shared_ptr<QPointer<FakeTrayIcon>> m_trayIcon = std::make_shared<QPointer<FakeTrayIcon>>();
};
