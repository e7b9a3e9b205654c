#include "browser/frmBrowser.h"

#include "app/Keys.h"
#include "app/Look.h"
#include "app/Menus.h"
#include "app/Program.h"
#include "app/Sites.h"
#include "base/Twips.h"
#include "browser/ResizeRule.h"
#include "host/WebView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>

using namespace Qt::StringLiterals;

namespace {

const QString caption = u"Mossport Browser"_s;
const QString hint = u"Enter the website you wish to visit here"_s;

} // namespace

frmBrowser::frmBrowser(Program& program)
    : QMainWindow(nullptr)
    , client(new QWidget(this))
    , wbBrowser(program.host.makeWebView(client))
    , txtURL(new QLineEdit(client)) {
    setObjectName(u"frmBrowser"_s);
    setWindowTitle(caption);

    client->setObjectName(u"client"_s);
    look::paintBackground(client);
    setCentralWidget(client);

    wbBrowser->setObjectName(u"wbBrowser"_s);
    wbBrowser->setGeometry(twips::rect(120, 480, 11295, 8415));

    // The address box starts with a grey hint; the first click on it clears the hint.
    txtURL->setObjectName(u"txtURL"_s);
    txtURL->setGeometry(twips::rect(120, 120, 11295, 285));
    txtURL->setText(hint);
    QPalette grey = txtURL->palette();
    grey.setColor(QPalette::Text, QColor(128, 128, 128));
    txtURL->setPalette(grey);

    // The web view comes first and has the focus when the window opens.
    setTabOrder(wbBrowser, txtURL);
    wbBrowser->setFocus();

    buildMenus();
    // The window opens with the designed client area below its menu bar.
    resize(twips::size(designedClientWidth, designedClientHeight) + QSize(0, menuBar()->sizeHint().height()));

    client->installEventFilter(this);
    txtURL->installEventFilter(this);
    connect(wbBrowser, &WebView::TitleChange, this, &frmBrowser::wbBrowser_TitleChange);
    connect(wbBrowser, &WebView::NewWindow, this, &frmBrowser::wbBrowser_NewWindow);
    connect(wbBrowser, &WebView::DownloadRequested, &program.downloads, &Downloads::save);
    // A page may fill the screen (a video, a game); the window itself stays as it is meanwhile.
    wbBrowser->setFullScreenAllowed(true);
}

void frmBrowser::buildMenus() {
    QMenuBar* bar = menus::menuBarOf(this);
    using menus::addCommand;

    mnuRunescape = menus::addMenu(bar, "mnuRunescape", u"Runescape"_s);
    mnuHomepage =
        addCommand(mnuRunescape, "mnuHomepage", u"Homepage"_s, this, &frmBrowser::mnuHomepage_Click);
    mnuForums = addCommand(mnuRunescape, "mnuForums", u"Forums"_s, this, &frmBrowser::mnuForums_Click);
    mnuMCenter =
        addCommand(mnuRunescape, "mnuMCenter", u"Message Center"_s, this, &frmBrowser::mnuMCenter_Click);

    mnuOther = menus::addMenu(bar, "mnuOther", u"Other"_s);
    mnuBrambleden =
        addCommand(mnuOther, "mnuBrambleden", u"Brambleden"_s, this, &frmBrowser::mnuBrambleden_Click);
    mnuBrambledenForum = addCommand(mnuOther, "mnuBrambledenForum", u"Brambleden Forum"_s, this,
                                    &frmBrowser::mnuBrambledenForum_Click);
}

bool frmBrowser::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client && event->type() == QEvent::Resize) {
        // A widget gets its first resize event when it is first shown, so this also lays out the new window.
        Form_Resize();
    } else if (watched == txtURL) {
        // Nothing here consumes the event: the box still gets every click and key.
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            m_urlPressed = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
            break;
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const bool click = m_urlPressed && mouse->button() == Qt::LeftButton &&
                               txtURL->rect().contains(mouse->position().toPoint());
            m_urlPressed = false;
            if (click)
                txtURL_Click();
            break;
        }
        case QEvent::KeyPress:
            if (const int code = keys::characterCode(static_cast<QKeyEvent*>(event)); code >= 0)
                txtURL_KeyPress(code);
            break;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmBrowser::changeEvent(QEvent* event) {
    // Minimising and restoring need not resize the client area, yet the layout must follow them.
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
    QMainWindow::changeEvent(event);
}

void frmBrowser::Form_Resize() {
    // A minimised window has no client area: both lengths come out negative, so nothing changes.
    const QSize area = isMinimized() ? QSize(0, 0) : client->size();
    const browser::ViewSize size =
        browser::resizeRule(twips::fromPixels(area.width()), twips::fromPixels(area.height()));
    // Each step on its own: a length that cannot be applied leaves that dimension as it was.
    if (size.height)
        wbBrowser->setHeightTwips(*size.height);
    if (size.width)
        wbBrowser->setWidthTwips(*size.width);
}

void frmBrowser::openAddress(const QString& address) {
    wbBrowser->Navigate(address);
}

void frmBrowser::wbBrowser_NewWindow(const QString& address) {
    openAddress(address);
}

void frmBrowser::mnuHomepage_Click() {
    openAddress(sites::gameHomePage());
}

void frmBrowser::mnuForums_Click() {
    openAddress(sites::gameForumsPage());
}

void frmBrowser::mnuMCenter_Click() {
    openAddress(sites::messageCenterPage());
}

void frmBrowser::mnuBrambleden_Click() {
    openAddress(sites::makerFrontPage());
}

void frmBrowser::mnuBrambledenForum_Click() {
    openAddress(sites::makerForumPage());
}

void frmBrowser::txtURL_Click() {
    if (txtURL->text() != hint)
        return;
    txtURL->clear();
    QPalette normal = txtURL->palette();
    normal.setColor(QPalette::Text, QApplication::palette(txtURL).color(QPalette::WindowText));
    txtURL->setPalette(normal);
}

void frmBrowser::txtURL_KeyPress(int KeyAscii) {
    // The text goes to the web view as typed, the hint included: the view makes an address of it.
    if (KeyAscii == 13)
        openAddress(txtURL->text());
}

void frmBrowser::wbBrowser_TitleChange(const QString&) {
    // The caption names the page the view reports, whatever the event carried; the address box stays.
    setWindowTitle(look::literalTitle(caption + u" ["_s + wbBrowser->LocationName() + u']'));
}
