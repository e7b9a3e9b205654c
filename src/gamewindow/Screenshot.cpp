#include "gamewindow/Screenshot.h"

#include "app/Folders.h"
#include "base/WholeFile.h"
#include "gamewindow/ScreenshotName.h"
#include "host/Desktop.h"
#include "host/Dialogs.h"
#include "host/Host.h"
#include "host/ScreenPortal.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace screenshot {

namespace {

// Shows the picture in picSC, writes it into the screenshots folder and beeps once the file is written.
void keep(const Host& host, QLabel& picSC, const QImage& picture) {
    picSC.setPixmap(QPixmap::fromImage(picture));

    const QString folder = folders::screenshots(host.programFolder);
    if (!QFileInfo(folder).isDir()) {
        // The build and the install make the folder; the program never does.
        host.dialogs->tell(u"The screenshot could not be saved: the folder %1 does not exist."_s.arg(
            QDir::toNativeSeparators(folder.chopped(1))));
        return;
    }
    const QString name =
        freeFileName(fileName(host.desktop->now(), QLocale::system()), [&folder](const QString& n) {
            const QFileInfo file(folder + n);
            return file.exists() || file.isSymLink();
        });
    const QString path = folder + name;
    QString error;
    if (!savePng(picture, path, error)) {
        host.dialogs->tell(
            u"The screenshot could not be saved as %1: %2."_s.arg(QDir::toNativeSeparators(path), error));
        return;
    }
    host.desktop->beep();
}

// Where the program cannot read the screen, the desktop's screenshot service is asked, and the picture goes
// on when it answers. The window stays usable meanwhile; a second request while one is open does nothing,
// and a picSC gone by the answer (its window closed) ends the capture quietly.
void askTheDesktop(const Host& host, QLabel* picSC) {
    if (!host.screenPortal) {
        host.dialogs->tell(
            u"The screenshot could not be taken: this desktop offers no screenshot service."_s);
        return;
    }
    host.screenPortal->request(picSC, [host, picSC](const ScreenPortal::Answer& answer) {
        if (answer.picture.isNull()) {
            host.dialogs->tell(u"The screenshot could not be taken: %1."_s.arg(answer.failure));
            return;
        }
        // The desktop handed the picture straight over: it goes onto the emptied clipboard as a capture
        // by hand would, and on from there.
        host.desktop->clearClipboard();
        host.desktop->setClipboardImage(answer.picture);
        keep(host, *picSC, answer.picture);
    });
}

} // namespace

void take(const Host& host, QLabel* picSC) {
    Desktop& desktop = *host.desktop;
    const QPointer<QLabel> holder(picSC);

    const QImage screen = desktop.grabScreen();
    if (screen.isNull()) {
        askTheDesktop(host, picSC);
        return;
    }
    // The picture goes the way a user's own screen capture goes: onto an emptied clipboard, and from there
    // into picSC. Whatever the clipboard held before is gone.
    desktop.clearClipboard();
    desktop.setClipboardImage(screen);
    // Pending events run once, as they would while the platform hands the picture over; no waiting beyond.
    QCoreApplication::processEvents();
    // The game window may have gone while the events ran: then there is nothing left to capture into.
    if (!holder)
        return;

    const QImage picture = desktop.clipboardImage();
    if (picture.isNull()) {
        holder->clear();
        host.dialogs->tell(
            u"The screenshot could not be taken: the clipboard holds no picture of the screen."_s);
        return;
    }
    // picSC shows the clipboard's picture; it is written from the same image, without a copy back.
    keep(host, *holder, picture);
}

bool savePng(const QImage& picture, const QString& path, QString& error) {
    // Encoded in memory, then written whole or not at all: a failure half-way never leaves a truncated
    // picture under the screenshot's name.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    // A busy full-HD screen takes about 300 ms to encode at Qt's default level and about 110 ms at level 1,
    // for a file of about the same size; only a mostly flat screen gives a larger file, and a small one.
    writer.setCompression(pngCompression);
    if (!writer.write(picture)) {
        error = writer.errorString();
        return false;
    }
    return files::writeWhole(path, bytes, error);
}

} // namespace screenshot
