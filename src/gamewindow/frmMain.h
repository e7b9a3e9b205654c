#pragma once

#include "gamewindow/PlayClock.h"

#include <QMainWindow>

class Program;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class TrayIcon;
class WebView;

// The game window: the product page in a web view, the sidebar with the play-time clock and "Close RS",
// and the menus that reach every other window and command. Closing it ends the program.
class frmMain final : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(Program& program);

    // The client area's widths with the sidebar out of sight and in sight, in twips.
    static constexpr int narrowClientWidth = 11880;
    static constexpr int wideClientWidth = 13095;

private:
    // The controls, named as designed; tests find them by these object names.
    QWidget* client;
    WebView* wbApplet;
    QLabel* picSC;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* lblHours;
    QLabel* Label3;
    QLabel* lblMinutes;
    QLabel* Label4;
    QLabel* lblSeconds;
    QPushButton* cmdPR;
    QPushButton* cmdClosers;
    QTimer* tmrPlay;
    TrayIcon* sysIcon;

    QMenu* mnuFile;
    QAction* mnuSidebar;
    QAction* mnuNotepad;
    QAction* mnuBrowser;
    QAction* mnuScreenshot;
    QAction* mnuHide;
    QAction* mnuQuit;
    QMenu* mnuRunescape;
    QAction* mnuHighscores;
    QAction* mnuForums;
    QAction* mnuBrambleden;
    QAction* mnuTScreenshot;

private Q_SLOTS:
    void Form_Load();
    void cmdClosers_Click();
    void mnuQuit_Click();
    void mnuNotepad_Click();
    void mnuBrowser_Click();
    void mnuForums_Click();
    void mnuBrambleden_Click();
    void mnuHighscores_Click();
    void mnuScreenshot_Click();
    void mnuTScreenshot_Click();
    void mnuSidebar_Click();
    void mnuHide_Click();
    void sysIcon_Activated();
    void cmdPR_Click();
    void tmrPlay_Timer();
    // The game page asked for a new window: the address opens in the browser window.
    void wbApplet_NewWindow(const QString& address);

protected:
    // Form_Unload: closing the game window ends the program at once, without a question.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    // Shows the play time in the figures in sight; a hidden figure is brought up to date when it comes into
    // sight.
    void showPlayTime();
    void showFiguresInSight();
    void takeScreenshot();

    Program& m_program;
    PlayTime m_playTime;
};
