#include "highscores/frmHighscores.h"

#include "app/Keys.h"
#include "app/Look.h"
#include "app/Menus.h"
#include "app/Program.h"
#include "base/Twips.h"
#include "browser/frmBrowser.h"
#include "highscores/Lookup.h"
#include "host/WebView.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QMenuBar>

using namespace Qt::StringLiterals;

frmHighscores::frmHighscores(Program& program)
    : QMainWindow(nullptr,
                  Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , client(new QWidget(this))
    , wbHighscores(program.host.makeWebView(client))
    , cboUsername(new QComboBox(client))
    , m_program(program) {
    setObjectName(u"frmHighscores"_s);
    setWindowTitle(highscores::title());

    // A fixed tool window: the client area below the menu bar has the designed size and nothing moves.
    look::setFixedClientArea(this, client, twips::size(7710, 9345));

    wbHighscores->setObjectName(u"wbHighscores"_s);
    wbHighscores->setGeometry(twips::rect(120, 120, 7455, 8655));

    // The list holds exactly what the Enter handler appends, in that order: the combo box neither inserts
    // on Enter by itself nor completes the typed text from the list.
    cboUsername->setObjectName(u"cboUsername"_s);
    cboUsername->setEditable(true);
    cboUsername->setInsertPolicy(QComboBox::NoInsert);
    cboUsername->setCompleter(nullptr);
    cboUsername->setFont(look::tahoma());
    cboUsername->setGeometry(twips::rect(120, 8880, 2895, 315));

    // The web view comes first and has the focus when the window opens.
    setTabOrder(wbHighscores, cboUsername);
    wbHighscores->setFocus();

    mnuClose = menus::addCommand(menus::menuBarOf(this), "mnuClose", u"Close"_s, this,
                                 &frmHighscores::mnuClose_Click);

    // The combo box itself keeps the focus while its text field is edited, so it sees every key first.
    cboUsername->installEventFilter(this);
    connect(wbHighscores, &WebView::NewWindow, this, &frmHighscores::wbHighscores_NewWindow);
    connect(wbHighscores, &WebView::DownloadRequested, &program.downloads, &Downloads::save);
    // The lookup shows a table of figures: a page there never fills the screen.
    wbHighscores->setFullScreenAllowed(false);
}

bool frmHighscores::eventFilter(QObject* watched, QEvent* event) {
    // The key is not consumed: the combo box still gets it.
    if (watched == cboUsername && event->type() == QEvent::KeyPress) {
        if (const int code = keys::characterCode(static_cast<QKeyEvent*>(event)); code >= 0)
            cboUsername_KeyPress(code);
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmHighscores::cboUsername_KeyPress(int KeyAscii) {
    if (KeyAscii != 13)
        return;
    // Any name is looked up and listed, an empty one or one already listed included.
    const QString name = cboUsername->currentText();
    showPlayer(name);
    cboUsername->addItem(name);
}

void frmHighscores::showPlayer(const QString& name) {
    wbHighscores->Navigate(highscores::lookupAddress(name));
    setWindowTitle(look::literalTitle(highscores::caption(name)));
}

void frmHighscores::mnuClose_Click() {
    m_program.windows.unload(this);
}

void frmHighscores::wbHighscores_NewWindow(const QString& address) {
    if (frmBrowser* browser = m_program.windows.show<frmBrowser>())
        browser->openAddress(address);
}
