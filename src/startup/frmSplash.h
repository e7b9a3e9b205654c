#pragma once

#include <QPixmap>
#include <QWidget>

class ClickableLabel;
class Program;
class QLabel;
class QTimer;

// The splash window: product name, author, the maker's site and the running version, for three seconds,
// before the game window. Its load step runs the version check, which may replace it by the update offer.
class frmSplash final : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(Program& program);

private:
    // The controls, named as designed; tests find them by these object names.
    ClickableLabel* lblURL1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* lblVersion;
    QTimer* tmrSplash;

private Q_SLOTS:
    void Form_Load();
    void tmrSplash_Timer();
    void lblURL1_Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    Program& m_program;
    QPixmap m_picture;
    bool m_timerStarted = false;
    bool m_painted = false;
};
