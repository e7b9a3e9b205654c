#pragma once

#include <QMainWindow>

class Program;

// The notepad window.
class frmNotepad final : public QMainWindow {
    Q_OBJECT
public:
    explicit frmNotepad(Program& program);

private:
    Program& m_program;
};
