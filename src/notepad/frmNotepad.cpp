#include "notepad/frmNotepad.h"

#include "app/Program.h"

using namespace Qt::StringLiterals;

frmNotepad::frmNotepad(Program& program)
    : QMainWindow(nullptr)
    , m_program(program) {
    setObjectName(u"frmNotepad"_s);
    setWindowTitle(u"Mossport Notepad"_s);
}
