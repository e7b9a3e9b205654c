#pragma once

#include <QMainWindow>

class Program;
class WebView;

// The highscores lookup window.
class frmHighscores final : public QMainWindow {
    Q_OBJECT
public:
    explicit frmHighscores(Program& program);

    WebView* wbHighscores;

private:
    Program& m_program;
};
