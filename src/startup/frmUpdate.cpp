#include "startup/frmUpdate.h"

#include "app/Look.h"
#include "app/Program.h"
#include "app/Sites.h"
#include "base/Twips.h"
#include "gamewindow/frmMain.h"
#include "host/Dialogs.h"

#include <QLabel>
#include <QPalette>
#include <QPushButton>

using namespace Qt::StringLiterals;

frmUpdate::frmUpdate(Program& program)
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , shpCover(new QWidget(this))
    , Label1(new QLabel(this))
    , Label2(new QLabel(this))
    , lblVersion(new QLabel(this))
    , Label3(new QLabel(this))
    , lblNewVersion(new QLabel(this))
    , cmdUpdate(new QPushButton(u"Update Now"_s, this))
    , cmdLater(new QPushButton(u"Update Later"_s, this))
    , m_program(program) {
    setObjectName(u"frmUpdate"_s);
    setWindowTitle(u"Update Mossport"_s);
    setFixedSize(twips::size(4680, 2190));
    look::paintBackground(this);
    // The window's own font, which the two buttons use: the system's larger default would not fit their
    // captions into the designed 1095 twips.
    setFont(look::tahoma());

    // The light band across the top, in the system's window-background colour, under the message.
    shpCover->setObjectName(u"shpCover"_s);
    shpCover->setGeometry(twips::rect(0, 0, 4695, 735));
    QPalette cover = shpCover->palette();
    cover.setColor(QPalette::Window, cover.color(QPalette::Base));
    shpCover->setPalette(cover);
    shpCover->setAutoFillBackground(true);

    Label1->setObjectName(u"Label1"_s);
    look::styleLabel(Label1, palette().color(QPalette::Text));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setText(u"Your version of Mossport is out-of-date please update it as soon as possible."_s);
    Label1->setGeometry(twips::rect(120, 120, 4485, 435));

    look::placeAutoSizedLabels({
        {Label2, "Label2", u"Your Version:"_s, {240, 960}, true},
        {lblVersion, "lblVersion", u"asdfasdf"_s, {1440, 960}},
        {Label3, "Label3", u"Current Version:"_s, {240, 1200}, true},
        {lblNewVersion, "lblNewVersion", u"asdfasdf"_s, {1680, 1200}},
    });

    cmdUpdate->setObjectName(u"cmdUpdate"_s);
    cmdUpdate->setGeometry(twips::rect(120, 1680, 1095, 375));
    cmdUpdate->setAutoDefault(false);
    cmdLater->setObjectName(u"cmdLater"_s);
    cmdLater->setGeometry(twips::rect(3480, 1680, 1095, 375));
    cmdLater->setAutoDefault(false);
    setTabOrder(cmdUpdate, cmdLater);
    cmdUpdate->setFocus();

    connect(cmdUpdate, &QPushButton::clicked, this, &frmUpdate::cmdUpdate_Click);
    connect(cmdLater, &QPushButton::clicked, this, &frmUpdate::cmdLater_Click);
}

void frmUpdate::showVersions(const QString& current, const QString& newest) {
    lblVersion->setText(current);
    lblVersion->adjustSize();
    lblNewVersion->setText(newest);
    lblNewVersion->adjustSize();
}

void frmUpdate::cmdUpdate_Click() {
    m_program.host.dialogs->openInBrowser(sites::updateDownload());
    m_program.windows.endProgram();
}

void frmUpdate::cmdLater_Click() {
    m_program.windows.unload(this);
    m_program.windows.show<frmMain>();
}
