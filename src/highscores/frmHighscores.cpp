#include "highscores/frmHighscores.h"

#include "app/Program.h"
#include "host/WebView.h"

using namespace Qt::StringLiterals;

frmHighscores::frmHighscores(Program& program)
    : QMainWindow(nullptr)
    , wbHighscores(program.host.makeWebView(this))
    , m_program(program) {
    setObjectName(u"frmHighscores"_s);
    setWindowTitle(u"Runescape Highscores"_s);
    wbHighscores->setObjectName(u"wbHighscores"_s);
    setCentralWidget(wbHighscores);
}
