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

    // Shows the running copy's version and the newer one that the maker's site names.
    void showVersions(const QString& current, const QString& newest);

private:
    // The controls, named as designed; tests find them by these object names.
    QWidget* shpCover;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* lblVersion;
    QLabel* Label3;
    QLabel* lblNewVersion;
    QPushButton* cmdUpdate;
    QPushButton* cmdLater;

private Q_SLOTS:
    void cmdUpdate_Click();
    void cmdLater_Click();

private:
    Program& m_program;
};
