#pragma once

#include <QMainWindow>

class Program;
class WebView;

// The companion browser window.
class frmBrowser final : public QMainWindow {
    Q_OBJECT
public:
    explicit frmBrowser(Program& program);

    WebView* wbBrowser;

private:
    Program& m_program;
};
