#include "host/QtDialogs.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QUrl>

using namespace Qt::StringLiterals;

QString Dialogs::applicationTitle() {
    return u"Mossport"_s;
}

QString QtDialogs::ask(const QString& prompt, const QString& title) {
    QInputDialog dialog;
    dialog.setObjectName(u"askDialog"_s);
    dialog.setWindowTitle(title.isEmpty() ? applicationTitle() : title);
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(QString());
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.textValue();
}

void QtDialogs::tell(const QString& message) {
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), message, QMessageBox::Ok);
    box.setObjectName(u"tellDialog"_s);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool QtDialogs::confirm(const QString& question) {
    QMessageBox box(QMessageBox::Question, applicationTitle(), question, QMessageBox::Yes | QMessageBox::No);
    box.setObjectName(u"confirmDialog"_s);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString QtDialogs::chooseSaveFile(const QString& proposedPath) {
    const QFileInfo proposed(proposedPath);
    QFileDialog dialog(nullptr, applicationTitle(), proposed.absolutePath());
    dialog.setObjectName(u"saveFileDialog"_s);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The one question about replacing a file is the caller's, worded like the program's other ones.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.selectFile(proposed.fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

std::optional<Dialogs::Login> QtDialogs::askLogin(const QString& site, const QString& realm) {
    QDialog dialog;
    dialog.setObjectName(u"loginDialog"_s);
    dialog.setWindowTitle(applicationTitle());
    auto* layout = new QFormLayout(&dialog);
    auto* text =
        new QLabel(u"%1 asks for a user name and a password.\nRealm: %2"_s.arg(site, realm), &dialog);
    text->setObjectName(u"lblLogin"_s);
    text->setTextFormat(Qt::PlainText);
    layout->addRow(text);
    auto* user = new QLineEdit(&dialog);
    user->setObjectName(u"txtUser"_s);
    layout->addRow(u"User name:"_s, user);
    auto* password = new QLineEdit(&dialog);
    password->setObjectName(u"txtPassword"_s);
    password->setEchoMode(QLineEdit::Password);
    layout->addRow(u"Password:"_s, password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return Login{user->text(), password->text()};
}

void QtDialogs::openInBrowser(const QString& address) {
    QDesktopServices::openUrl(QUrl(address));
}
