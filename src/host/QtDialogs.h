#pragma once

#include "host/Dialogs.h"

// Dialogs built from Qt's standard dialogs; the browser is the desktop's default one.
class QtDialogs final : public Dialogs {
public:
    QString ask(const QString& prompt, const QString& title = {}) override;
    void tell(const QString& message) override;
    bool confirm(const QString& question) override;
    QString chooseSaveFile(const QString& proposedPath) override;
    std::optional<Login> askLogin(const QString& site, const QString& realm) override;
    void openInBrowser(const QString& address) override;
};
