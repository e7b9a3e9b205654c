#pragma once

#include <QMainWindow>

class Program;
class QAction;
class QComboBox;
class WebView;

// The highscores lookup: a player's highscores page in a web view, and a name box that looks up further
// names on Enter and keeps them in its list for picking again.
class frmHighscores final : public QMainWindow {
    Q_OBJECT
public:
    explicit frmHighscores(Program& program);

    // Shows this player's highscores and names the player in the caption; the name box's list stays as it is.
    void showPlayer(const QString& name);

private:
    // The controls, named as designed; tests find them by these object names.
    QWidget* client;
    WebView* wbHighscores;
    QComboBox* cboUsername;
    QAction* mnuClose;

private Q_SLOTS:
    // A character typed into the name box, as its character code; Enter (13) looks the typed name up.
    void cboUsername_KeyPress(int KeyAscii);
    void mnuClose_Click();
    // The shown page asked for a new window: the address opens in the browser window.
    void wbHighscores_NewWindow(const QString& address);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Program& m_program;
};
