// A small HTTP/1.1 server on 127.0.0.1 for download tests: each path has a route that says
// what to send, in how many parts, with what pauses, or to stay silent.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>

// What the test server does for one path.
struct Route {
    int status = 200;
    QByteArray body;
    int parts = 1;               // the body is sent in this many pieces...
    int pauseMs = 0;             // ...with this pause before each piece after the first
    bool silent = false;         // accepts the request and never answers
    int stallAfterParts = -1;    // stops sending (keeping the connection) after this many parts
    bool contentLength = true;   // false: the end of the page is the closed connection
    QByteArray location;         // a redirect target
};

inline Route servedPage(const QByteArray& body, int status = 200)
{
    Route route;
    route.status = status;
    route.body = body;
    return route;
}

inline Route inParts(Route route, int parts, int pauseMs)
{
    route.parts = parts;
    route.pauseMs = pauseMs;
    return route;
}

inline Route withoutLength(Route route)
{
    route.contentLength = false;
    return route;
}

// A page of `size` bytes of ordinary markup, without zero bytes.
inline QByteArray makePage(qsizetype size)
{
    QByteArray page = "<html><head><title>Test page</title></head><body>\n";
    int line = 0;
    while (page.size() < size)
        page += "<p>Line " + QByteArray::number(line++) + " of a page for the download.</p>\n";
    page.truncate(size);
    return page;
}

// Serves the routes it is given, one request per connection.
class LocalHttpServer : public QObject {
public:
    QHash<QByteArray, Route> routes;
    QList<QByteArray> requests;
    std::function<void()> onRequest;  // runs once a request has been read

    bool start()
    {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            }
        });
        return server_.listen(QHostAddress::LocalHost);
    }
    QString url(const QByteArray& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2")
            .arg(server_.serverPort())
            .arg(QString::fromLatin1(path));
    }
    void stop() { server_.close(); }

private:
    void read(QTcpSocket* socket)
    {
        QByteArray& request = pending_[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        requests.append(request);
        const QByteArray path = request.split(' ').value(1);
        if (onRequest)
            onRequest();
        const Route route = routes.value(path, servedPage("<html>Not here</html>", 404));
        if (route.silent)
            return;

        QByteArray head = "HTTP/1.1 " + QByteArray::number(route.status) + " "
            + (route.status == 200 ? "OK" : route.status == 302 ? "Found" : "Not Found")
            + "\r\nContent-Type: text/html\r\nConnection: close\r\n";
        if (route.contentLength)
            head += "Content-Length: " + QByteArray::number(route.body.size()) + "\r\n";
        if (!route.location.isEmpty())
            head += "Location: " + route.location + "\r\n";
        socket->write(head + "\r\n");
        sendPart(socket, route, 0);
    }

    void sendPart(QPointer<QTcpSocket> socket, const Route& route, int part)
    {
        if (!socket)
            return;
        if (part == route.stallAfterParts)
            return;
        if (part == route.parts) {
            socket->disconnectFromHost();
            return;
        }
        const qsizetype size = (route.body.size() + route.parts - 1) / route.parts;
        socket->write(route.body.mid(part * size, size));
        socket->flush();
        QTimer::singleShot(route.pauseMs, this, [this, socket, route, part] {
            sendPart(socket, route, part + 1);
        });
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> pending_;
};

Q_DECLARE_METATYPE(Route)

// The loopback server is never reached through a proxy, whatever the environment says.
inline void bypassProxies()
{
    for (const char* name : {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY",
                             "HTTPS_PROXY", "ALL_PROXY"})
        qunsetenv(name);
    qputenv("no_proxy", "127.0.0.1,localhost");
}
