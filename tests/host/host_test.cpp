// The real outside components: the web view over the real web engine on pages served on 127.0.0.1, and the
// prompts and messages as the user sees them.
#include "Fakes.h"
#include "LoopbackServer.h"
#include "Modal.h"
#include "host/QtDialogs.h"
#include "host/QtWebView.h"
#include "host/WebProfile.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineProfile>
#include <QWebEngineView>

using namespace Qt::StringLiterals;

class HostTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        m_server.addPage(u"/news.html"_s, "<html><head><title>News</title></head><body>news</body></html>");
        m_server.addPage(u"/untitled.html"_s, "<html><body>no title here</body></html>");
        // Pages that act on a click anywhere in them, and say what came of it in their titles.
        const QByteArray clickable = "<html><body style='margin:0'><div style='height:100vh'></div><script>"
                                     "document.title = 'ready';";
        m_server.addPage(u"/lock.html"_s,
                         clickable + "document.onclick = () => document.body.requestPointerLock();"
                                     "document.onpointerlockchange = () => document.title = "
                                     "document.pointerLockElement ? 'locked' : 'unlocked';"
                                     "document.onpointerlockerror = () => document.title = 'refused';"
                                     "</script></body></html>");
        m_server.addPage(u"/notify.html"_s,
                         clickable +
                             "let asked = 0; document.onclick = () => "
                             "document.title = 'clicked'; Notification.requestPermission().then(answer => "
                             "document.title = answer + ' ' + ++asked);"
                             "</script></body></html>");
        m_server.addPage(u"/dialogs.html"_s,
                         clickable +
                             "document.onclick = () => eval(decodeURIComponent(location.hash.slice(1)));"
                             "</script><input type=file id=upload onchange=\"document.title = 'file ' + "
                             "this.files[0].name\"></body></html>");
    }

    void theViewReportsTheShownPagesTitle() {
        QtWebView view(m_profile, m_dialogs);
        view.resize(400, 300);
        view.show();
        QSignalSpy titles(&view, &WebView::TitleChange);
        view.Navigate(m_server.address(u"/news.html"_s));
        QTRY_COMPARE_WITH_TIMEOUT(view.LocationName(), u"News"_s, 20000);
        QTRY_VERIFY(!titles.isEmpty() && titles.last().first().toString() == u"News"_s);
        QCOMPARE(m_server.requestCount(u"/news.html"_s), 1);

        // A page without a title is named by its address.
        const QUrl untitled(m_server.address(u"/untitled.html"_s));
        view.Navigate(untitled.toString());
        QTRY_COMPARE_WITH_TIMEOUT(view.engineView()->url(), untitled, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(view.LocationName().contains(u"/untitled.html"_s), 20000);
    }

    void typedTextBecomesAnAddress() {
        QtWebView view(m_profile, m_dialogs);
        // No scheme: the view makes an http address of it.
        view.Navigate(u"127.0.0.1:%1/news.html"_s.arg(m_server.port()));
        QTRY_COMPARE_WITH_TIMEOUT(view.LocationName(), u"News"_s, 20000);
    }

    void aNegativeLengthIsRefusedAndTheSizeKept() {
        QtWebView view(m_profile, m_dialogs);
        QVERIFY(view.setWidthTwips(3000));
        QVERIFY(view.setHeightTwips(1500));
        QCOMPARE(view.size(), QSize(200, 100));
        QVERIFY(!view.setWidthTwips(-15));
        QVERIFY(!view.setHeightTwips(-0.5));
        QCOMPARE(view.size(), QSize(200, 100));
        QVERIFY(view.setHeightTwips(0));
        QCOMPARE(view.size(), QSize(200, 0));
        QCOMPARE(view.widthTwips(), 3000.0);
    }

    // The engine grants pointer lock only after a click, and takes it back on Escape.
    void pointerLockIsGrantedAfterAClick() {
        QtWebView view(m_profile, m_dialogs);
        QVERIFY(shownPage(view, u"/lock.html"_s));
        QVERIFY(clickAsAUser(view));
        QTRY_COMPARE_WITH_TIMEOUT(view.LocationName(), u"locked"_s, 10000);
        QTest::keyClick(view.engineView()->focusProxy(), Qt::Key_Escape);
        QTRY_COMPARE_WITH_TIMEOUT(view.LocationName(), u"unlocked"_s, 10000);
        QVERIFY(m_dialogs.confirmed.isEmpty());
    }

    void aSiteAsksBeforeItMayUseAFeature_data() {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("answer");
        QTest::newRow("yes") << true << u"granted"_s;
        QTest::newRow("no") << false << u"denied"_s;
    }
    void aSiteAsksBeforeItMayUseAFeature() {
        QFETCH(bool, yes);
        QFETCH(QString, answer);
        // Answers are kept per profile, so each row starts afresh.
        WebProfile profile{WebProfile::Folders{}};
        FakeDialogs dialogs;
        dialogs.confirmAnswers.enqueue(yes);
        QtWebView view(profile, dialogs);
        QVERIFY(shownPage(view, u"/notify.html"_s));
        QVERIFY(clickAsAUser(view));
        QTRY_COMPARE_WITH_TIMEOUT(view.LocationName(), answer + u" 1"_s, 10000);
        QCOMPARE(dialogs.confirmed,
                 QStringList{u"127.0.0.1:%1 wants to show notifications. Allow it?"_s.arg(m_server.port())});

        // Asked again, in another view too: the answer holds without a second question.
        QtWebView other(profile, dialogs);
        QVERIFY(shownPage(other, u"/notify.html"_s));
        QVERIFY(clickAsAUser(other));
        QTRY_COMPARE_WITH_TIMEOUT(other.LocationName(), answer + u" 1"_s, 10000);
        QCOMPARE(dialogs.confirmed.size(), 1);
    }

    void aPasswordPageAsksForALogin_data() {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("asked");
        QTest::newRow("right") << QStringList{u"zezima"_s, u"pa ss"_s} << u"welcome"_s << 1;
        QTest::newRow("Cancel") << QStringList{} << u"denied"_s << 1;
        QTest::newRow("wrong, then Cancel") << QStringList{u"zezima"_s, u"guess"_s} << u"denied"_s << 2;
    }
    void aPasswordPageAsksForALogin() {
        QFETCH(QStringList, typed);
        QFETCH(QString, shown);
        QFETCH(int, asked);
        LoopbackServer site([](QTcpSocket& connection, const LoopbackServer::Request& request) {
            const bool right =
                request.head.contains("\r\nAuthorization: Basic " + QByteArray("zezima:pa ss").toBase64());
            connection.write(right ? answers::rawHtml(200, "<title>welcome</title>")
                                   : answers::rawHtml(401, "<title>denied</title>",
                                                      "WWW-Authenticate: Basic realm=\"Game accounts\"\r\n"));
            connection.disconnectFromHost();
        });
        // The engine remembers a login for its profile while it runs, so each row has a profile of its own.
        WebProfile profile{WebProfile::Folders{}};
        FakeDialogs dialogs;
        if (!typed.isEmpty())
            dialogs.logins.enqueue(Dialogs::Login{typed.at(0), typed.at(1)});
        QtWebView view(profile, dialogs);
        view.Navigate(site.address(u"/account"_s));
        QTRY_COMPARE_WITH_TIMEOUT(view.LocationName(), shown, 20000);
        QCOMPARE(dialogs.loginsAsked.size(), asked);
        QCOMPARE(dialogs.loginsAsked.first().site, u"127.0.0.1:%1"_s.arg(site.port()));
        QCOMPARE(dialogs.loginsAsked.first().realm, u"Game accounts"_s);
    }

    // Nothing accepts a certificate the engine does not trust: the page never shows.
    void aSiteWithABadCertificateIsRefused() {
        QTemporaryDir folder;
        const QString key = folder.filePath(u"key.pem"_s);
        const QString certificate = folder.filePath(u"certificate.pem"_s);
        QProcess openssl;
        openssl.setStandardErrorFile(QProcess::nullDevice());
        openssl.start(u"openssl"_s,
                      {u"req"_s, u"-x509"_s, u"-newkey"_s, u"rsa:2048"_s, u"-nodes"_s, u"-days"_s, u"1"_s,
                       u"-subj"_s, u"/CN=127.0.0.1"_s, u"-keyout"_s, key, u"-out"_s, certificate});
        const bool made = openssl.waitForFinished(30000) && openssl.exitCode() == 0;
        if (!made)
            QSKIP("needs openssl to make a certificate");
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        QFile keyFile(key);
        QFile certificateFile(certificate);
        QVERIFY(keyFile.open(QIODevice::ReadOnly) && certificateFile.open(QIODevice::ReadOnly));
        tls.setPrivateKey(QSslKey(&keyFile, QSsl::Rsa));
        tls.setLocalCertificate(QSslCertificate(&certificateFile));
        QSslServer site;
        site.setSslConfiguration(tls);
        int handshakes = 0;
        connect(&site, &QSslServer::startedEncryptionHandshake, this, [&handshakes] { ++handshakes; });
        connect(&site, &QTcpServer::pendingConnectionAvailable, this, [&site] {
            while (QTcpSocket* connection = site.nextPendingConnection()) {
                connect(connection, &QTcpSocket::readyRead, connection, [connection] {
                    connection->write(answers::rawHtml(200, "<title>secret</title>"));
                    connection->disconnectFromHost();
                });
            }
        });
        QVERIFY(site.listen(QHostAddress::LocalHost));

        QtWebView view(m_profile, m_dialogs);
        QSignalSpy loads(view.engineView(), &QWebEngineView::loadFinished);
        QSignalSpy errors(view.engineView()->page(), &QWebEnginePage::certificateError);
        view.Navigate(u"https://127.0.0.1:%1/"_s.arg(site.serverPort()));
        QTRY_VERIFY_WITH_TIMEOUT(!loads.isEmpty(), 20000);
        QVERIFY(handshakes > 0);
        QCOMPARE(errors.size(), 1);
        QCOMPARE(loads.first().first().toBool(), false);
        QVERIFY(view.LocationName() != u"secret"_s);
    }

    // The engine's own dialogs for a page's alert, confirm and prompt, and an upload field's file chooser.
    void aPagesOwnDialogsWork_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QString>("shown");
        QTest::newRow("alert") << u"alert('Hello'); document.title = 'after alert'"_s << true
                               << u"after alert"_s;
        QTest::newRow("confirm, OK") << u"document.title = 'confirm ' + confirm('Sure?')"_s << true
                                     << u"confirm true"_s;
        QTest::newRow("confirm, Cancel")
            << u"document.title = 'confirm ' + confirm('Sure?')"_s << false << u"confirm false"_s;
        QTest::newRow("prompt") << u"document.title = 'prompt ' + prompt('Name?', '')"_s << true
                                << u"prompt zezima"_s;
        QTest::newRow("file chooser")
            << u"document.getElementById('upload').click()"_s << true << u"file notes.txt"_s;
    }
    void aPagesOwnDialogsWork() {
        QFETCH(QString, script);
        QFETCH(bool, accept);
        QFETCH(QString, shown);
        QTemporaryDir folder;
        QFile upload(folder.filePath(u"notes.txt"_s));
        QVERIFY(upload.open(QIODevice::WriteOnly));
        upload.close();
        QtWebView view(m_profile, m_dialogs);
        QVERIFY(shownPage(view, u"/dialogs.html#"_s + QString::fromLatin1(QUrl::toPercentEncoding(script))));
        onNextModal([&](QWidget* modal) {
            if (auto* chooser = qobject_cast<QFileDialog*>(modal)) {
                chooser->selectFile(upload.fileName());
                static_cast<QDialog*>(chooser)->accept();
                return;
            }
            if (auto* input = modal->findChild<QLineEdit*>())
                QTest::keyClicks(input, u"zezima"_s);
            QTest::keyClick(modal, accept ? Qt::Key_Return : Qt::Key_Escape);
        });
        QVERIFY(clickAsAUser(view));
        QTRY_COMPARE_WITH_TIMEOUT(view.LocationName(), shown, 20000);
    }

    void askReturnsWhatWasTypedOnOk() {
        QtDialogs dialogs;
        QString title;
        QString label;
        QString defaultText = u"(none)"_s;
        onNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QInputDialog*>(modal);
            auto* field = modal->findChild<QLineEdit*>();
            if (!dialog || !field)
                return modal->close(), void();
            title = dialog->windowTitle();
            label = dialog->labelText();
            defaultText = field->text();
            QTest::keyClicks(field, u"yes"_s);
            dialog->accept();
        });
        QCOMPARE(dialogs.ask(u"Type yes to exit."_s, u"Exit Mossport?"_s), u"yes"_s);
        QCOMPARE(title, u"Exit Mossport?"_s);
        QCOMPARE(label, u"Type yes to exit."_s);
        QCOMPARE(defaultText, QString());
    }

    void askWithoutTitleCarriesTheApplicationsTitleAndCancelGivesNothing() {
        QtDialogs dialogs;
        QString title;
        onNextModal([&](QWidget* modal) {
            title = modal->windowTitle();
            QTest::keyClicks(modal->findChild<QLineEdit*>(), u"typed but cancelled"_s);
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        QCOMPARE(dialogs.ask(u"Please enter a filename."_s), QString());
        QCOMPARE(title, u"Mossport"_s);

        onNextModal([](QWidget* modal) { modal->close(); });
        QCOMPARE(dialogs.ask(u"Please enter a filename."_s), QString());
    }

    void tellShowsTheMessageWithOkAloneAndNoIcon() {
        QtDialogs dialogs;
        QString title;
        QString text;
        int buttons = 0;
        QMessageBox::Icon icon = QMessageBox::Critical;
        onNextModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box)
                return modal->close(), void();
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = int(box->buttons().size());
            box->button(QMessageBox::Ok)->click();
        });
        dialogs.tell(u"You must enter a filename!"_s);
        QCOMPARE(title, u"Mossport"_s);
        QCOMPARE(text, u"You must enter a filename!"_s);
        QCOMPARE(icon, QMessageBox::NoIcon);
        QCOMPARE(buttons, 1);
    }

    void confirmIsYesOnlyForYes() {
        QtDialogs dialogs;
        onNextModal(
            [](QWidget* modal) { qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click(); });
        QVERIFY(dialogs.confirm(u"Replace it?"_s));
        onNextModal(
            [](QWidget* modal) { qobject_cast<QMessageBox*>(modal)->button(QMessageBox::No)->click(); });
        QVERIFY(!dialogs.confirm(u"Replace it?"_s));
        onNextModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
        QVERIFY(!dialogs.confirm(u"Replace it?"_s));
    }

    // The save dialog starts at the proposed folder and name, and leaves the question about an existing file
    // to its caller.
    void chooseSaveFileProposesThePathAndAsksNothingMore() {
        QTemporaryDir folder;
        const QString proposed = folder.filePath(u"scores.bin"_s);
        QFile existing(proposed);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();
        QtDialogs dialogs;
        QString shownFolder;
        QString shownName;
        onNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            auto* name = modal->findChild<QLineEdit*>(u"fileNameEdit"_s);
            if (!dialog || !name)
                return modal->close(), void();
            shownFolder = dialog->directory().absolutePath();
            shownName = name->text();
            QTest::keyClick(name, Qt::Key_Return);
        });
        QCOMPARE(dialogs.chooseSaveFile(proposed), proposed);
        QCOMPARE(shownFolder, folder.path());
        QCOMPARE(shownName, u"scores.bin"_s);

        onNextModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
        QCOMPARE(dialogs.chooseSaveFile(proposed), QString());
    }

    void askLoginNamesTheSiteAndRealmAndMasksThePassword() {
        QtDialogs dialogs;
        QString text;
        QLineEdit::EchoMode echo = QLineEdit::Normal;
        onNextModal([&](QWidget* modal) {
            auto* user = modal->findChild<QLineEdit*>(u"txtUser"_s);
            auto* password = modal->findChild<QLineEdit*>(u"txtPassword"_s);
            auto* label = modal->findChild<QLabel*>(u"lblLogin"_s);
            if (!user || !password || !label)
                return modal->close(), void();
            text = label->text();
            echo = password->echoMode();
            QTest::keyClicks(user, u"zezima"_s);
            QTest::keyClicks(password, u"pa ss"_s);
            QTest::keyClick(password, Qt::Key_Return);
        });
        const auto login = dialogs.askLogin(u"127.0.0.1:8080"_s, u"Game accounts"_s);
        QVERIFY(login);
        QCOMPARE(login->user, u"zezima"_s);
        QCOMPARE(login->password, u"pa ss"_s);
        QVERIFY(text.contains(u"127.0.0.1:8080"_s));
        QVERIFY(text.contains(u"Game accounts"_s));
        QCOMPARE(echo, QLineEdit::Password);

        onNextModal([](QWidget* modal) {
            QTest::keyClicks(modal->findChild<QLineEdit*>(u"txtUser"_s), u"typed but cancelled"_s);
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        QVERIFY(!dialogs.askLogin(u"127.0.0.1:8080"_s, u"Game accounts"_s));
    }

private:
    // Clicks into the view through the X server, as a user's click comes: the engine lets a page lock the
    // pointer only after such a click, which also gives the window the focus.
    static bool clickAsAUser(const QWidget& view) {
        const QPoint at = view.mapToGlobal(QPoint(100, 100));
        return QProcess::execute(u"xdotool"_s, {u"mousemove"_s, QString::number(at.x()),
                                                QString::number(at.y()), u"click"_s, u"1"_s}) == 0;
    }

    // Shows the page at this path in the view, and waits until it is ready for a click.
    bool shownPage(QtWebView& view, const QString& path) {
        view.resize(400, 300);
        view.show();
        view.activateWindow();
        if (!QTest::qWaitForWindowExposed(&view))
            return false;
        view.Navigate(m_server.address(path));
        return QTest::qWaitFor([&] { return view.LocationName() == u"ready"_s; }, 20000);
    }

    LoopbackServer m_server;
    WebProfile m_profile{WebProfile::Folders{}};
    FakeDialogs m_dialogs;
};

QTEST_MAIN(HostTest)
#include "host_test.moc"
