// The HTTP transfer against a real server on 127.0.0.1: what a good answer gives, and that every kind of bad
// answer (error status, cut short, too long, redirected too often or elsewhere) is a failed fetch. The time
// limit and the memory taken are measured over the whole start-up, in versioncheck_test.
#include "LoopbackServer.h"
#include "host/QtHttp.h"

#include <QElapsedTimer>
#include <QNetworkProxy>
#include <QTest>

using namespace Qt::StringLiterals;

using Body = std::optional<QByteArray>;
Q_DECLARE_METATYPE(Body)

class HttpTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        // These requests go straight to the loopback server, whatever proxy the machine names.
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    }

    void answers_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<Body>("body");

        const Body failed;
        QTest::newRow("version") << answers::raw(200, "1.0.3") << Body("1.0.3");
        // The fetch hands over the body as it is; reading it as a version is not its business.
        QTest::newRow("line end kept") << answers::raw(200, "1.0.2\r\n") << Body("1.0.2\r\n");
        QTest::newRow("binary") << answers::raw(200, QByteArray("\0\xFF\r\n", 4))
                                << Body(QByteArray("\0\xFF\r\n", 4));
        QTest::newRow("empty") << answers::raw(200, {}) << Body(QByteArray());
        QTest::newRow("no content") << answers::raw(204, {}) << Body(QByteArray());

        // Error pages are failures even when their body looks like a version.
        QTest::newRow("404 with a version as body") << answers::raw(404, "2.0.0") << failed;
        QTest::newRow("500") << answers::raw(500, "2.0.0") << failed;
        QTest::newRow("redirect without an address") << answers::raw(302, "2.0.0") << failed;
        QTest::newRow("1xx only") << QByteArray("HTTP/1.1 199 Odd\r\nContent-Length: 5\r\n\r\n2.0.0")
                                  << failed;
        QTest::newRow("body cut short")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n2.0.0") << failed;
        QTest::newRow("not HTTP") << QByteArray("2.0.0\r\n\r\n") << failed;
        QTest::newRow("closed without a word") << QByteArray() << failed;

        const QByteArray atCap(QtHttp::maxBodyBytes, '7');
        const QByteArray pastCap(QtHttp::maxBodyBytes + 1, '7');
        const QByteArray noLength = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n";
        const auto chunked = [](const QByteArray& body) {
            return "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" +
                   QByteArray::number(body.size(), 16) + "\r\n" + body + "\r\n0\r\n\r\n";
        };
        QTest::newRow("at the cap") << answers::raw(200, atCap) << Body(atCap);
        QTest::newRow("at the cap, no length") << noLength + atCap << Body(atCap);
        QTest::newRow("at the cap, chunked") << chunked(atCap) << Body(atCap);
        QTest::newRow("one past the cap") << answers::raw(200, pastCap) << failed;
        QTest::newRow("one past the cap, no length") << noLength + pastCap << failed;
        QTest::newRow("one past the cap, chunked") << chunked(pastCap) << failed;
        QTest::newRow("long length declared")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 104857600\r\n\r\n1.0.3") << failed;
    }

    void answers() {
        QFETCH(QByteArray, answer);
        QFETCH(Body, body);
        LoopbackServer server(answers::bytes(answer));
        QtHttp http;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(http.get(server.address(u"/mossport/version.kel"_s)), body);
        QVERIFY2(clock.elapsed() < QtHttp::timeLimitMs,
                 "an answer that has arrived should not wait for the limit");
        // A connection closed before an answer is tried again, as any client does.
        QVERIFY(!server.requests().isEmpty());
        QCOMPARE(server.requests()[0].method, QByteArray("GET"));
        QCOMPARE(server.requests()[0].target, QByteArray("/mossport/version.kel"));
    }

    void redirects_data() {
        QTest::addColumn<QByteArray>("firstLocation");
        QTest::addColumn<int>("requests");
        QTest::addColumn<bool>("taken");

        // "/start" redirects to the address in the first column; /hop/N redirects to /hop/N-1, and /hop/0
        // answers.
        QTest::newRow("one") << QByteArray("/hop/0") << 2 << true;
        QTest::newRow("three, the most followed") << QByteArray("/hop/2") << 4 << true;
        QTest::newRow("four") << QByteArray("/hop/3") << 4 << false;
        QTest::newRow("relative address") << QByteArray("hop/0") << 2 << true;
        QTest::newRow("whole address") << QByteArray("http://127.0.0.1:%1/hop/0") << 2 << true;
        QTest::newRow("to itself") << QByteArray("/start") << 4 << false;
        QTest::newRow("to a file") << QByteArray("file:///etc/hostname") << 1 << false;
        QTest::newRow("to ftp") << QByteArray("ftp://127.0.0.1/version.kel") << 1 << false;
        QTest::newRow("to data") << QByteArray("data:text/plain,9.9.9") << 1 << false;
    }

    void redirects() {
        QFETCH(QByteArray, firstLocation);
        QFETCH(int, requests);
        QFETCH(bool, taken);
        // Answers on connections that stay open, as most servers do.
        LoopbackServer server(
            [&firstLocation](QTcpSocket& connection, const LoopbackServer::Request& request) {
                QByteArray answer;
                if (request.target == "/start")
                    answer = answers::raw(302, {}, "Location: " + firstLocation + "\r\n");
                else if (request.target == "/hop/0")
                    answer = answers::raw(200, "1.0.3");
                else if (request.target.startsWith("/hop/"))
                    answer = answers::raw(301, "Moved",
                                          "Location: /hop/" +
                                              QByteArray::number(request.target.mid(5).toInt() - 1) + "\r\n");
                else
                    answer = answers::raw(404, {});
                connection.write(answer.replace("Connection: close", "Connection: keep-alive"));
            });
        firstLocation.replace("%1", QByteArray::number(server.port()));
        QtHttp http;
        QCOMPARE(http.get(server.address(u"/start"_s)), taken ? Body("1.0.3") : Body());
        QCOMPARE(server.requests().size(), requests);
    }

    void onlyWebAddressesAreFetched_data() {
        QTest::addColumn<QString>("address");

        QTest::newRow("empty") << QString();
        QTest::newRow("local file") << u"file:///etc/hostname"_s;
        QTest::newRow("data") << u"data:text/plain,9.9.9"_s;
        QTest::newRow("no host") << u"http:///mossport/version.kel"_s;
    }

    void onlyWebAddressesAreFetched() {
        QFETCH(QString, address);
        QtHttp http;
        QCOMPARE(http.get(address), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(HttpTest)
#include "http_test.moc"
