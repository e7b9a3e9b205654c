#include "gamewindow/frmMain.h"

#include "app/Confirmation.h"
#include "app/Look.h"
#include "app/Menus.h"
#include "app/Program.h"
#include "app/Sites.h"
#include "base/Twips.h"
#include "browser/frmBrowser.h"
#include "gamewindow/Screenshot.h"
#include "highscores/frmHighscores.h"
#include "host/Dialogs.h"
#include "host/TrayIcon.h"
#include "host/WebView.h"
#include "notepad/frmNotepad.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

using namespace Qt::StringLiterals;

frmMain::frmMain(Program& program)
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint)
    , client(new QWidget(this))
    , wbApplet(program.host.makeWebView(client))
    , picSC(new QLabel(client))
    , Label1(new QLabel(client))
    , Label2(new QLabel(client))
    , lblHours(new QLabel(client))
    , Label3(new QLabel(client))
    , lblMinutes(new QLabel(client))
    , Label4(new QLabel(client))
    , lblSeconds(new QLabel(client))
    , cmdPR(new QPushButton(client))
    , cmdClosers(new QPushButton(client))
    , tmrPlay(new QTimer(this))
    , sysIcon(program.host.makeTrayIcon(QIcon(u":/tray.png"_s), this))
    , m_program(program) {
    setObjectName(u"frmMain"_s);
    setWindowTitle(u"Mossport - by Penwick"_s);
    setWindowIcon(QIcon(u":/mossport.png"_s));

    // Only the sidebar command changes the client area's size.
    look::setFixedClientArea(this, client, twips::size(narrowClientWidth, 8415));

    wbApplet->setObjectName(u"wbApplet"_s);
    wbApplet->setGeometry(twips::rect(120, 120, 11655, 8175));

    picSC->setObjectName(u"picSC"_s);
    picSC->setGeometry(twips::rect(720, 120, 255, 255));
    picSC->hide();

    // The sidebar: everything from 12000 twips to the right, out of sight until the window is widened.
    look::placeAutoSizedLabels({
        {Label1, "Label1", u"Play Time:"_s, {12000, 3840}, true},
        {Label2, "Label2", u"Hours:"_s, {12000, 4080}, true},
        {lblHours, "lblHours", u"0"_s, {12600, 4080}},
        {Label3, "Label3", u"Minutes:"_s, {12000, 4320}, true},
        {lblMinutes, "lblMinutes", u"0"_s, {12840, 4320}},
        {Label4, "Label4", u"Seconds:"_s, {12000, 4560}, true},
        {lblSeconds, "lblSeconds", u"0"_s, {12840, 4560}},
    });

    cmdPR->setObjectName(u"cmdPR"_s);
    cmdPR->setText(u"Pause"_s);
    cmdPR->setFont(look::tahoma());
    cmdPR->setGeometry(twips::rect(12000, 4920, 855, 255));
    cmdClosers->setObjectName(u"cmdClosers"_s);
    cmdClosers->setText(u"Close RS"_s);
    cmdClosers->setFont(look::tahoma());
    cmdClosers->setGeometry(twips::rect(12000, 5160, 855, 255));
    setTabOrder(wbApplet, cmdPR);
    setTabOrder(cmdPR, cmdClosers);

    // The clock's figures change every second. With the web view in it, every repaint of the window is a
    // composition of the whole window, which costs far more than the figures themselves. Out of the client
    // area, where the narrow window cuts them off, the figures are hidden, so that their changes repaint
    // nothing at all.
    client->installEventFilter(this);
    showFiguresInSight();

    tmrPlay->setObjectName(u"tmrPlay"_s);
    tmrPlay->setInterval(1000);
    tmrPlay->start();

    sysIcon->setObjectName(u"sysIcon"_s);

    buildMenus();

    connect(cmdPR, &QPushButton::clicked, this, &frmMain::cmdPR_Click);
    connect(cmdClosers, &QPushButton::clicked, this, &frmMain::cmdClosers_Click);
    connect(tmrPlay, &QTimer::timeout, this, &frmMain::tmrPlay_Timer);
    connect(wbApplet, &WebView::NewWindow, this, &frmMain::wbApplet_NewWindow);
    connect(sysIcon, &TrayIcon::activated, this, &frmMain::sysIcon_Activated);
}

void frmMain::buildMenus() {
    QMenuBar* bar = menus::menuBarOf(this);
    using menus::addCommand;

    mnuFile = menus::addMenu(bar, "mnuFile", u"File"_s);
    mnuSidebar = addCommand(mnuFile, "mnuSidebar", u"Sidebar"_s, this, &frmMain::mnuSidebar_Click);
    mnuNotepad = addCommand(mnuFile, "mnuNotepad", u"Notepad"_s, this, &frmMain::mnuNotepad_Click);
    mnuBrowser = addCommand(mnuFile, "mnuBrowser", u"Browser"_s, this, &frmMain::mnuBrowser_Click);
    mnuScreenshot = addCommand(mnuFile, "mnuScreenshot", u"Take SS"_s, this, &frmMain::mnuScreenshot_Click);
    mnuScreenshot->setShortcut(Qt::Key_F1);
    mnuHide = addCommand(mnuFile, "mnuHide", u"Hide"_s, this, &frmMain::mnuHide_Click);
    mnuHide->setShortcut(Qt::Key_F3);
    mnuQuit = addCommand(mnuFile, "mnuQuit", u"Quit"_s, this, &frmMain::mnuQuit_Click);

    mnuRunescape = menus::addMenu(bar, "mnuRunescape", u"Runescape"_s);
    mnuHighscores =
        addCommand(mnuRunescape, "mnuHighscores", u"Highscores"_s, this, &frmMain::mnuHighscores_Click);
    mnuForums = addCommand(mnuRunescape, "mnuForums", u"Forums"_s, this, &frmMain::mnuForums_Click);
    mnuBrambleden =
        addCommand(mnuRunescape, "mnuBrambleden", u"Brambleden"_s, this, &frmMain::mnuBrambleden_Click);

    // "Take SS" is also a command on the menu bar itself, without a drop-down.
    mnuTScreenshot = addCommand(bar, "mnuTScreenshot", u"Take SS"_s, this, &frmMain::mnuTScreenshot_Click);
}

void frmMain::Form_Load() {
    wbApplet->Navigate(sites::productPage());
}

void frmMain::closeEvent(QCloseEvent* event) {
    event->accept();
    m_program.windows.endProgram();
}

void frmMain::cmdClosers_Click() {
    const QString answer = m_program.host.dialogs->ask(u"Type yes to close RS."_s, u"Close Runescape?"_s);
    if (confirmation::isYes(answer))
        wbApplet->Navigate(sites::productPage());
}

void frmMain::mnuQuit_Click() {
    const QString answer = m_program.host.dialogs->ask(u"Type yes to exit."_s, u"Exit Mossport?"_s);
    if (confirmation::isYes(answer))
        m_program.windows.endProgram();
}

void frmMain::mnuNotepad_Click() {
    m_program.windows.show<frmNotepad>();
}

void frmMain::mnuBrowser_Click() {
    if (frmBrowser* browser = m_program.windows.show<frmBrowser>())
        browser->openAddress(sites::productPage());
}

void frmMain::mnuForums_Click() {
    if (frmBrowser* browser = m_program.windows.show<frmBrowser>())
        browser->openAddress(sites::gameForumsPage());
}

void frmMain::wbApplet_NewWindow(const QString& address) {
    if (frmBrowser* browser = m_program.windows.show<frmBrowser>())
        browser->openAddress(address);
}

void frmMain::mnuBrambleden_Click() {
    m_program.host.dialogs->openInBrowser(sites::makerHomePage());
}

void frmMain::mnuHighscores_Click() {
    const QString name = m_program.host.dialogs->ask(u"Please enter a username to lookup:"_s);
    if (frmHighscores* highscores = m_program.windows.show<frmHighscores>())
        highscores->showPlayer(name);
}

void frmMain::mnuScreenshot_Click() {
    takeScreenshot();
}

void frmMain::mnuTScreenshot_Click() {
    takeScreenshot();
}

void frmMain::takeScreenshot() {
    screenshot::take(m_program.host, picSC);
}

void frmMain::mnuSidebar_Click() {
    // Only exactly the wide client width means the sidebar is in sight; any other width counts as hidden.
    // The window grows and shrinks on its right side: its position, left edge and height stay.
    const bool shown = client->width() == twips::toPixels(wideClientWidth);
    client->setFixedWidth(twips::toPixels(shown ? narrowClientWidth : wideClientWidth));
}

void frmMain::mnuHide_Click() {
    if (!sysIcon->isAvailable()) {
        // Hiding without an icon to come back from would lose the window.
        m_program.host.dialogs->tell(u"There is no notification area to hide Mossport into."_s);
        return;
    }
    sysIcon->show();
    hide();
}

void frmMain::sysIcon_Activated() {
    Windows::show(this);
    sysIcon->hide();
}

void frmMain::cmdPR_Click() {
    if (tmrPlay->isActive()) {
        tmrPlay->stop();
        cmdPR->setText(u"Resume"_s);
    } else {
        // Starting the timer begins a fresh interval: the first tick comes one whole second after the click.
        tmrPlay->start();
        cmdPR->setText(u"Pause"_s);
    }
}

void frmMain::tmrPlay_Timer() {
    m_playTime = addOneSecond(m_playTime);
    showPlayTime();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client && event->type() == QEvent::Resize)
        showFiguresInSight();
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::showFiguresInSight() {
    for (QLabel* figure : {lblHours, lblMinutes, lblSeconds})
        figure->setVisible(client->rect().intersects(figure->geometry()));
    // What changed while they were hidden.
    showPlayTime();
}

void frmMain::showPlayTime() {
    // Setting a label's text lays it out (font metrics, bidi, accessibility events) even while it is hidden:
    // a hidden figure keeps its old text until showFiguresInSight brings it into sight. Only the left edge of
    // a figure decides whether it is in sight, and its text never moves that.
    const auto show = [](QLabel* label, const QString& text) {
        if (!label->isHidden() && label->text() != text) {
            label->setText(text);
            label->adjustSize();
        }
    };
    show(lblSeconds, QString::number(m_playTime.seconds));
    show(lblMinutes, QString::number(m_playTime.minutes));
    show(lblHours, QString::number(m_playTime.hours));
}
