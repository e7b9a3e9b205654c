#include "startup/frmSplash.h"

#include "app/ClickableLabel.h"
#include "app/Look.h"
#include "app/Program.h"
#include "app/Sites.h"
#include "base/Twips.h"
#include "gamewindow/frmMain.h"
#include "host/Dialogs.h"
#include "startup/VersionCheck.h"
#include "startup/VersionCompare.h"
#include "startup/frmUpdate.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>

using namespace Qt::StringLiterals;

frmSplash::frmSplash(Program& program)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint)
    , lblURL1(new ClickableLabel(this))
    , Label1(new QLabel(this))
    , Label2(new QLabel(this))
    , lblVersion(new QLabel(this))
    , tmrSplash(new QTimer(this))
    , m_program(program)
    , m_picture(u":/splash.jpg"_s) {
    setObjectName(u"frmSplash"_s);
    setWindowTitle(u"Form1"_s);
    setFixedSize(twips::size(5550, 3510));
    look::paintBackground(this);

    struct LabelDesign {
        QLabel* label;
        const char* name;
        QString text;
        QRect place;
        QColor colour;
        QFont font;
        Qt::Alignment alignment;
    };
    const LabelDesign labels[] = {
        {lblURL1, "lblURL1", sites::makerHomePage() + u'/', twips::rect(1440, 2040, 2625, 195), Qt::white,
         look::tahoma(), Qt::AlignHCenter | Qt::AlignTop},
        {Label1, "Label1", u"Mossport"_s, twips::rect(1440, 1200, 2655, 630), Qt::white,
         look::tahoma(26.25, true), Qt::AlignLeft | Qt::AlignTop},
        {Label2, "Label2", u"by Penwick"_s, twips::rect(1440, 1800, 2655, 255), Qt::white, look::tahoma(),
         Qt::AlignHCenter | Qt::AlignTop},
        {lblVersion, "lblVersion", u"Version info here."_s, twips::rect(120, 3240, 5295, 255),
         QColor(128, 128, 128), look::tahoma(), Qt::AlignHCenter | Qt::AlignTop},
    };
    for (const LabelDesign& design : labels) {
        design.label->setObjectName(QString::fromLatin1(design.name));
        look::styleLabel(design.label, design.colour, design.font);
        design.label->setText(design.text);
        design.label->setAlignment(design.alignment);
        design.label->setGeometry(design.place);
    }
    // "Mossport" sizes itself to its text, from its designed top-left corner.
    Label1->adjustSize();

    tmrSplash->setObjectName(u"tmrSplash"_s);
    tmrSplash->setInterval(3000);
    tmrSplash->setTimerType(Qt::PreciseTimer);
    connect(tmrSplash, &QTimer::timeout, this, &frmSplash::tmrSplash_Timer);
    connect(lblURL1, &ClickableLabel::clicked, this, &frmSplash::lblURL1_Click);

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void frmSplash::Form_Load() {
    const QString current = versioncheck::runningVersion();
    const QString newest = versioncheck::fetchNewestVersion(*m_program.host.http);
    // The program-wide version strings are written here and nowhere else.
    m_program.mod = {current, newest};
    lblVersion->setText(u"Version: "_s + current);
    if (versioncheck::isNewer(newest, current)) {
        // The update offer takes the splash window's place before it is ever seen.
        m_program.windows.unload(this);
        if (frmUpdate* update = m_program.windows.get<frmUpdate>()) {
            update->showVersions(current, newest);
            Windows::show(update);
        }
    }
}

void frmSplash::tmrSplash_Timer() {
    m_program.windows.unload(this);
    m_program.windows.show<frmMain>();
}

void frmSplash::lblURL1_Click() {
    m_program.host.dialogs->openInBrowser(sites::makerHomePage());
}

void frmSplash::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
    if (!m_painted) {
        m_painted = true;
        // Once the splash is on the screen, prepare the web engine, so that the game window follows the
        // splash without the engine's cold start.
        QTimer::singleShot(0, this, [this] { m_program.host.warmUpWebViews(); });
    }
}

void frmSplash::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The three seconds count from the moment the splash is on the screen, after the version check, so the
    // user always sees it for the whole interval and the timer's handler can only run after the load step.
    if (!m_timerStarted) {
        m_timerStarted = true;
        tmrSplash->start();
    }
}
