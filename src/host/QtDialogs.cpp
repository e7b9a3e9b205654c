#include "host/QtDialogs.h"

#include <QDesktopServices>
#include <QInputDialog>
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

void QtDialogs::openInBrowser(const QString& address) {
    QDesktopServices::openUrl(QUrl(address));
}
