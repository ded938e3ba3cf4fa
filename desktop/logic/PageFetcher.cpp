#include "PageFetcher.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <memory>

namespace {

// True while a download runs; its event loop must not start a second one.
bool downloadRunning = false;

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
    bool complete = false;  // the limit or a zero byte was reached: the rest is not wanted

    // Takes what arrived, up to the limit; the page may come in any number of parts.
    const auto takeArrived = [&] {
        if (complete)
            return;
        page += reply->read(options.limit - page.size());
        const qsizetype zero = page.indexOf('\0');
        if (zero >= 0)
            page.truncate(zero);
        if (zero >= 0 || page.size() >= options.limit) {
            complete = true;
            reply->abort();
        }
    };

    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, takeArrived);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (complete)
        return page;

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
    return page;
}
