#pragma once

#include <QString>
#include <optional>

// Prompts, messages and hand-over to the user's browser. All dialogs are modal and carry the application's
// title, "Mossport", unless a caller gives a title of its own.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Asks for one line of text; the typed text on OK, the empty string on Cancel or close.
    virtual QString ask(const QString& prompt, const QString& title = {}) = 0;
    // Tells the user something; OK only, no icon.
    virtual void tell(const QString& message) = 0;
    // Asks a Yes/No question; true for Yes, false for No or close.
    virtual bool confirm(const QString& question) = 0;
    // Asks where to save a file, starting from this proposed path (its folder and name). The chosen path, or
    // the empty string on Cancel or close. It asks nothing about a file already there: the caller does.
    virtual QString chooseSaveFile(const QString& proposedPath) = 0;
    struct Login {
        QString user;
        QString password;
    };
    // Asks for a user name and a password (masked) for a site and the realm it names; nothing on Cancel or
    // close. Nothing typed is kept.
    virtual std::optional<Login> askLogin(const QString& site, const QString& realm) = 0;
    // Opens the address in the user's web browser; does not wait, and the outcome is not reported.
    virtual void openInBrowser(const QString& address) = 0;

    static QString applicationTitle();
};
