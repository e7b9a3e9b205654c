#pragma once

#include <QWidget>

class Program;
class QLabel;
class QPushButton;

// The update offer: tells the user that a newer version exists and offers the download or the game.
class frmUpdate final : public QWidget {
    Q_OBJECT
public:
    explicit frmUpdate(Program& program);

    QWidget* shpCover;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* lblVersion;
    QLabel* Label3;
    QLabel* lblNewVersion;
    QPushButton* cmdUpdate;
    QPushButton* cmdLater;

public Q_SLOTS:
    void Form_Load();
    void cmdUpdate_Click();
    void cmdLater_Click();

private:
    Program& m_program;
};
