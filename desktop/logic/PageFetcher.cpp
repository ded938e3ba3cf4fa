#include "PageFetcher.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace {

// True while a download runs on this thread; its event loop must not start a second one.
thread_local bool downloadRunning = false;

// Asks the system for the proxy of every request, as the desktop's own settings say.
class SystemProxyFactory : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override
    {
        return systemProxyForQuery(query);
    }
};

class RunningFlag {
public:
    RunningFlag() { downloadRunning = true; }
    ~RunningFlag() { downloadRunning = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;
};

QUrl checkedUrl(const QString& address)
{
    const QUrl url(address, QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        throw FetchError("Not an internet address: " + address.toStdString());
    return url;
}

std::string tooLargeText(qsizetype limit)
{
    const qsizetype megabyte = qsizetype(1) << 20;
    const QString size = limit % megabyte == 0 ? QStringLiteral("%1 MB").arg(limit / megabyte)
                                               : QStringLiteral("%1 bytes").arg(limit);
    return (QStringLiteral("page is larger than ") + size).toStdString();
}

} // namespace

QByteArray fetchPage(const QString& address, const FetchOptions& options)
{
    if (!QCoreApplication::instance())
        throw FetchError("Downloads need the application object");
    if (downloadRunning)
        throw FetchError("Another download is in progress");
    const RunningFlag running;

    const QUrl url = checkedUrl(address);

    // A session of its own for every download, as nothing is kept between pages.
    QNetworkAccessManager manager;
    manager.setProxyFactory(new SystemProxyFactory);  // the manager owns the factory

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, options.userAgent);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // Restarted by every byte that arrives, so only a stalled transfer runs out.
    request.setTransferTimeout(options.noProgressTimeoutMs);

    std::unique_ptr<QNetworkReply> reply(manager.get(request));
    QByteArray page;
    bool tooLarge = false;  // the page outgrew the limit: the rest is not wanted

    // Takes what arrived; the page may come in any number of parts. A page announced or grown
    // beyond the limit is given up at once rather than read on.
    const auto takeArrived = [&] {
        if (tooLarge)
            return;
        const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        page += reply->read(options.limit + 1 - page.size());
        if (announced > options.limit || page.size() > options.limit) {
            tooLarge = true;
            page.clear();
            reply->abort();
        }
    };

    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, takeArrived);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // A stopped run gives the download up at once rather than after the time-out.
    bool stopped = false;
    QTimer stopWatch;
    if (options.stop) {
        QObject::connect(&stopWatch, &QTimer::timeout, &loop, [&] {
            if (options.stop->load() && !stopped) {
                stopped = true;
                reply->abort();
            }
        });
        stopWatch.start(50);
    }
    if (!reply->isFinished() && !(options.stop && options.stop->load()))
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    stopWatch.stop();

    if (stopped || (options.stop && options.stop->load() && !reply->isFinished()))
        throw FetchStopped();
    if (tooLarge)
        throw FetchError(tooLargeText(options.limit));

    // The reason in a few words: the server's status, or what went wrong on the way.
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400) {
        const QString phrase =
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        throw FetchError(QStringLiteral("HTTP %1 %2").arg(status).arg(phrase).trimmed().toStdString());
    }
    switch (reply->error()) {
    case QNetworkReply::NoError:
        break;
    case QNetworkReply::OperationCanceledError:  // the transfer time-out aborts the reply
    case QNetworkReply::TimeoutError:
        throw FetchError(QStringLiteral("no answer within %1 s")
                             .arg(options.noProgressTimeoutMs / 1000.0)
                             .toStdString());
    case QNetworkReply::ConnectionRefusedError:
        throw FetchError("connection refused");
    default:
        throw FetchError(reply->errorString().toStdString());
    }

    takeArrived();
    if (tooLarge)
        throw FetchError(tooLargeText(options.limit));
    return page;
}
