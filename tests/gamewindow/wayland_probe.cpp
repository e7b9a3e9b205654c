// The screenshot capture with the program's real screen, clipboard, beep and screenshot portal, in one
// window titled "Mossport capture probe" whose F1 takes a screenshot into the program folder given as the
// only argument. Run inside a desktop session by wayland_test. Exits with 0 after the second beep (the
// second picture replaces the first on the clipboard), and with 1, printing the message, when the capture
// tells of a failure.
#include "gamewindow/Screenshot.h"
#include "host/Desktop.h"
#include "host/Dialogs.h"
#include "host/RealHost.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeySequence>
#include <QLabel>
#include <QShortcut>
#include <QTimer>
#include <QWidget>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// Ends the probe at the second beep, the capture's sign of success.
class EndAtBeep final : public Desktop {
public:
    explicit EndAtBeep(Desktop& real)
        : m_real(real) {}
    QImage grabScreen() override { return m_real.grabScreen(); }
    void clearClipboard() override { m_real.clearClipboard(); }
    void setClipboardImage(const QImage& image) override { m_real.setClipboardImage(image); }
    QImage clipboardImage() const override { return m_real.clipboardImage(); }
    void beep() override {
        m_real.beep();
        std::printf("beep: %lld ms after F1\n", sinceF1.elapsed());
        std::fflush(stdout);
        if (++m_beeps == 2)
            QApplication::exit(0);
    }
    QDateTime now() const override { return m_real.now(); }
    void flushPointerChange() override { m_real.flushPointerChange(); }

    QElapsedTimer sinceF1;

private:
    Desktop& m_real;
    int m_beeps = 0;
};

// Ends the probe at any message, printing it.
class EndAtMessage final : public Dialogs {
public:
    QString ask(const QString&, const QString&) override { return {}; }
    void tell(const QString& message) override {
        std::fprintf(stderr, "told: %s\n", qPrintable(message));
        QApplication::exit(1);
    }
    bool confirm(const QString&) override { return false; }
    QString chooseSaveFile(const QString&) override { return {}; }
    std::optional<Login> askLogin(const QString&, const QString&) override { return std::nullopt; }
    void openInBrowser(const QString&) override {}
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: wayland_probe PROGRAM_FOLDER\n", stderr);
        return 2;
    }
    std::printf("platform %s\n", qPrintable(QGuiApplication::platformName()));
    RealHost real(QString::fromLocal8Bit(argv[1]));
    Host host = real.host();
    EndAtBeep desktop(*host.desktop);
    EndAtMessage dialogs;
    host.desktop = &desktop;
    host.dialogs = &dialogs;

    QWidget window;
    window.setWindowTitle(u"Mossport capture probe"_s);
    window.resize(400, 300);
    auto* picSC = new QLabel(&window);
    picSC->hide();
    QObject::connect(new QShortcut(QKeySequence(Qt::Key_F1), &window), &QShortcut::activated, &window,
                     [&host, &desktop, picSC] {
                         desktop.sinceF1.start();
                         std::puts("F1");
                         std::fflush(stdout);
                         screenshot::take(host, picSC);
                     });
    window.show();
    std::puts("shown");
    std::fflush(stdout);
    return QApplication::exec();
}
