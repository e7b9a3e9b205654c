// The real outside components: the web view over the real web engine on pages served on 127.0.0.1, and the
// prompts and messages as the user sees them.
#include "LoopbackServer.h"
#include "Modal.h"
#include "host/QtDialogs.h"
#include "host/QtWebView.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
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
    }

    void theViewReportsTheShownPagesTitle() {
        QtWebView view;
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
        QtWebView view;
        // No scheme: the view makes an http address of it.
        view.Navigate(u"127.0.0.1:%1/news.html"_s.arg(m_server.port()));
        QTRY_COMPARE_WITH_TIMEOUT(view.LocationName(), u"News"_s, 20000);
    }

    void nothingIsWrittenToDisk() {
        QtWebView view;
        QVERIFY(view.engineView()->page()->profile()->isOffTheRecord());
    }

    void aNegativeLengthIsRefusedAndTheSizeKept() {
        QtWebView view;
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

private:
    LoopbackServer m_server;
};

QTEST_MAIN(HostTest)
#include "host_test.moc"
