#include "host/QtHttp.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

bool isWebAddress(const QUrl& url) {
    return url.isValid() && (url.scheme() == u"http"_s || url.scheme() == u"https"_s) &&
           !url.host().isEmpty();
}

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

struct Answer {
    // False on any error: no connection, an error the transfer reports, the size cap or the deadline.
    bool arrived = false;
    int status = 0;
    QByteArray body;
    // Where a redirect points, as sent (possibly relative).
    QUrl redirectTarget;
};

// One request and its answer, read as it arrives and cut off past the size cap or when `deadline` fires.
Answer exchange(QNetworkAccessManager& manager, const QUrl& url, QTimer& deadline) {
    QNetworkRequest request(url);
    // Redirects come back here and are checked before they are followed.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // Asking for the body as it is makes the size cap a cap on what arrives: nothing compressed gets
    // expanded.
    request.setRawHeader("Accept-Encoding", "identity");
    const std::unique_ptr<QNetworkReply> owned(manager.get(request));
    QNetworkReply* const reply = owned.get();
    // Qt holds back little more than the cap between reads.
    reply->setReadBufferSize(QtHttp::maxBodyBytes + 1);

    Answer answer;
    bool cutOff = false;
    const auto cutOffNow = [&cutOff, reply] {
        cutOff = true;
        reply->abort();
    };
    const auto take = [&answer, reply, cutOffNow] {
        answer.body += reply->read(QtHttp::maxBodyBytes + 1 - answer.body.size());
        if (answer.body.size() > QtHttp::maxBodyBytes)
            cutOffNow();
    };

    QEventLoop loop;
    QObject::connect(&deadline, &QTimer::timeout, reply, cutOffNow);
    // A declared length past the cap fails before any of the body is taken in.
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, cutOffNow] {
        if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > QtHttp::maxBodyBytes)
            cutOffNow();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, take);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // No window is on the screen while the start-up waits; user input stays queued until after the fetch.
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!cutOff)
        take();

    // A body shorter than its declared length was cut short, whatever the reply says. Qt does not always say
    // so: while a body waits to be read, the read buffer's size keeps Qt from reading more of it; when the
    // connection closes meanwhile, Qt resumes after our read, finds the connection closed with nothing
    // left to read, and takes that for the end of a body sent without a length.
    const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
    const bool whole = !declared.isValid() || answer.body.size() == declared.toLongLong();
    // A local loop that returned early (the application is quitting) leaves the reply unfinished: no answer.
    answer.arrived = reply->isFinished() && !cutOff && reply->error() == QNetworkReply::NoError && whole;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.redirectTarget = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    return answer;
}

} // namespace

std::optional<QByteArray> QtHttp::get(const QString& address) {
    QUrl url(address);
    if (!isWebAddress(url))
        return std::nullopt;

    // A manager of its own for the one fetch: no connection, cookie or other state outlives it.
    QNetworkAccessManager manager;
    // One deadline for the whole exchange, redirects included.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    deadline.start(timeLimitMs);

    for (int redirects = 0;; ++redirects) {
        const Answer answer = exchange(manager, url, deadline);
        if (!answer.arrived)
            return std::nullopt;
        if (!isRedirect(answer.status))
            return answer.status >= 200 && answer.status <= 299 ? std::optional(answer.body) : std::nullopt;
        if (redirects == maxRedirects || !answer.redirectTarget.isValid())
            return std::nullopt;
        url = url.resolved(answer.redirectTarget);
        if (!isWebAddress(url))
            return std::nullopt;
    }
}
