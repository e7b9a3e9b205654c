#pragma once

#include <QMainWindow>

class Program;
class QAction;
class QLineEdit;
class QMenu;
class WebView;

// The companion browser: an address box above a web view, with menus of preset pages. The web view follows
// the window's size; the address box keeps its designed place and size.
class frmBrowser final : public QMainWindow {
    Q_OBJECT
public:
    explicit frmBrowser(Program& program);

    // Shows the page at this address; what other windows call to open a page in the browser. The address box
    // stays as it is.
    void openAddress(const QString& address);

    // The client area below the menu bar as designed, in twips.
    static constexpr int designedClientWidth = 11535;
    static constexpr int designedClientHeight = 9015;

private:
    // The controls, named as designed; tests find them by these object names.
    QWidget* client;
    WebView* wbBrowser;
    QLineEdit* txtURL;

    QMenu* mnuRunescape;
    QAction* mnuHomepage;
    QAction* mnuForums;
    QAction* mnuMCenter;
    QMenu* mnuOther;
    QAction* mnuBrambleden;
    QAction* mnuBrambledenForum;

private Q_SLOTS:
    // Lays out the web view for the client area's size; runs on every resize and when first shown.
    void Form_Resize();
    void mnuHomepage_Click();
    void mnuForums_Click();
    void mnuMCenter_Click();
    void mnuBrambleden_Click();
    void mnuBrambledenForum_Click();
    // A mouse click in the address box: clears the hint.
    void txtURL_Click();
    // A character typed into the address box, as its character code; Enter (13) navigates to the text.
    void txtURL_KeyPress(int KeyAscii);
    void wbBrowser_TitleChange(const QString& title);
    // The shown page asked for a new window: the address opens in this window.
    void wbBrowser_NewWindow(const QString& address);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildMenus();

    // A left button went down in the address box and has not come up yet.
    bool m_urlPressed = false;
};
