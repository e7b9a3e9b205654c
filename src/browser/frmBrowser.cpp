#include "browser/frmBrowser.h"

#include "app/Program.h"
#include "host/WebView.h"

using namespace Qt::StringLiterals;

frmBrowser::frmBrowser(Program& program)
    : QMainWindow(nullptr)
    , wbBrowser(program.host.makeWebView(this))
    , m_program(program) {
    setObjectName(u"frmBrowser"_s);
    setWindowTitle(u"Mossport Browser"_s);
    wbBrowser->setObjectName(u"wbBrowser"_s);
    setCentralWidget(wbBrowser);
}
