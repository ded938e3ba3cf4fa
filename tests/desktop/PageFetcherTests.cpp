#include "LocalHttpServer.h"
#include "PageFetcher.h"

#include <QElapsedTimer>
#include <QTest>

namespace {

// Why fetching `address` failed; "fetched" when it did not.
QString fetchFailure(const QString& address, const FetchOptions& options = {})
{
    try {
        fetchPage(address, options);
    } catch (const FetchError& failure) {
        return QString::fromUtf8(failure.what());
    }
    return QStringLiteral("fetched");
}

} // namespace

class PageFetcherTests : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void downloads_data();
    void downloads();
    void guardAgainstHugePages_data();
    void guardAgainstHugePages();
    void failures_data();
    void failures();
    void stalledServerTimesOut();
    void sendsProgramName();
    void refusedConnectionFails();
    void refusesSecondDownloadDuringOne();

private:
    std::unique_ptr<LocalHttpServer> server_;
};

void PageFetcherTests::initTestCase()
{
    bypassProxies();
}

void PageFetcherTests::init()
{
    server_ = std::make_unique<LocalHttpServer>();
    QVERIFY(server_->start());
}

void PageFetcherTests::cleanup()
{
    server_.reset();
}

void PageFetcherTests::downloads_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray small = makePage(5000);
    const QByteArray large = makePage(80000);
    QByteArray withZero = makePage(3000);
    withZero[120] = '\0';

    // Pages are read whole, whatever their size, zero bytes and all.
    QTest::newRow("small page") << servedPage(small) << 30000 << small;
    QTest::newRow("empty page") << servedPage("") << 30000 << QByteArray();
    QTest::newRow("80000 bytes") << servedPage(large) << 30000 << large;
    QTest::newRow("80000 bytes, no length") << withoutLength(servedPage(large)) << 30000 << large;
    QTest::newRow("zero byte") << servedPage(withZero) << 30000 << withZero;
    QTest::newRow("three megabytes, no length")
        << withoutLength(servedPage(makePage(3 << 20))) << 30000 << makePage(3 << 20);

    // Pages that come in parts are read to their end; the time-out counts only silence, so a
    // slow page that takes longer than the time-out as a whole still arrives in full.
    QTest::newRow("ten parts")
        << inParts(servedPage(makePage(40000)), 10, 20) << 30000 << makePage(40000);
    QTest::newRow("parts, no length")
        << withoutLength(inParts(servedPage(makePage(20000)), 4, 50)) << 30000 << makePage(20000);
    QTest::newRow("slow but steady")
        << inParts(servedPage(small), 5, 400) << 1000 << small;
    QTest::newRow("large page in parts")
        << inParts(servedPage(large), 8, 10) << 30000 << large;
}

void PageFetcherTests::guardAgainstHugePages_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<qsizetype>("limit");  // 0: the program's own
    QTest::addColumn<QString>("result");

    const qsizetype megabyte = 1 << 20;
    const QByteArray justRight = makePage(megabyte);
    const QByteArray tooLarge = makePage(megabyte + 1);
    QTest::newRow("at the limit") << servedPage(justRight) << megabyte << "fetched";
    QTest::newRow("a byte over") << servedPage(tooLarge) << megabyte << "page is larger than 1 MB";
    QTest::newRow("a byte over, no length")
        << withoutLength(servedPage(tooLarge)) << megabyte << "page is larger than 1 MB";
    QTest::newRow("over in parts, no length")
        << withoutLength(inParts(servedPage(tooLarge), 5, 10)) << megabyte
        << "page is larger than 1 MB";
    QTest::newRow("limit in bytes")
        << servedPage(makePage(1001)) << qsizetype(1000) << "page is larger than 1000 bytes";
    QTest::newRow("over 64 MB")
        << servedPage(QByteArray(64 * megabyte + 1, 'x')) << qsizetype(0)
        << "page is larger than 64 MB";
}

void PageFetcherTests::guardAgainstHugePages()
{
    QFETCH(Route, route);
    QFETCH(qsizetype, limit);
    QFETCH(QString, result);
    server_->routes.insert("/page.html", route);
    FetchOptions options;
    if (limit)
        options.limit = limit;
    QCOMPARE(fetchFailure(server_->url("/page.html"), options), result);
}

void PageFetcherTests::downloads()
{
    QFETCH(Route, route);
    QFETCH(int, timeoutMs);
    QFETCH(QByteArray, expected);
    server_->routes.insert("/page.html", route);

    FetchOptions options;
    options.noProgressTimeoutMs = timeoutMs;
    QByteArray page;
    try {
        page = fetchPage(server_->url("/page.html"), options);
    } catch (const FetchError& error) {
        QFAIL(error.what());
    }
    QCOMPARE(page.size(), expected.size());
    QCOMPARE(page, expected);
}

void PageFetcherTests::failures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");

    // The status and the phrase the server sent, which the test server words the same for
    // every failure.
    QTest::newRow("404") << "/missing.html" << "HTTP 404 Not Found";
    QTest::newRow("500") << "/broken.html" << "HTTP 500 Not Found";
    QTest::newRow("redirect to 404") << "/moved.html" << "HTTP 404 Not Found";
}

void PageFetcherTests::failures()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);
    server_->routes.insert("/broken.html", servedPage("<html>Server trouble</html>", 500));
    Route moved = servedPage("", 302);
    moved.location = "/missing.html";
    server_->routes.insert("/moved.html", moved);
    QCOMPARE(fetchFailure(server_->url(path.toLatin1())), reason);
}

void PageFetcherTests::stalledServerTimesOut()
{
    Route silent;
    silent.silent = true;
    Route stalled = inParts(servedPage(makePage(30000)), 3, 10);
    stalled.stallAfterParts = 1;
    server_->routes.insert("/silent.html", silent);
    server_->routes.insert("/stalled.html", stalled);

    FetchOptions options;
    options.noProgressTimeoutMs = 600;
    for (const QByteArray& path : {QByteArray("/silent.html"), QByteArray("/stalled.html")}) {
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(fetchFailure(server_->url(path), options), QStringLiteral("no answer within 0.6 s"));
        // It waited for the time-out rather than failing at once, and did not wait much longer.
        QVERIFY2(clock.elapsed() >= 500, path);
        QVERIFY2(clock.elapsed() < 10000, path);
    }
}

void PageFetcherTests::sendsProgramName()
{
    server_->routes.insert("/a.html", servedPage("<html>a</html>"));
    QCOMPARE(fetchPage(server_->url("/a.html")), QByteArray("<html>a</html>"));
    QCOMPARE(server_->requests.size(), 1);
    const QByteArray request = server_->requests.first();
    QVERIFY2(request.startsWith("GET /a.html HTTP/1.1\r\n"), request);
    QVERIFY2(request.contains("\r\nUser-Agent: Quillwin\r\n"), request);
}

void PageFetcherTests::refusedConnectionFails()
{
    const QString address = server_->url("/a.html");
    server_->stop();
    QCOMPARE(fetchFailure(address), QStringLiteral("connection refused"));
    QVERIFY_THROWS_EXCEPTION(FetchError, fetchPage(QStringLiteral("http://")));
    QVERIFY_THROWS_EXCEPTION(FetchError, fetchPage(QStringLiteral("ftp://127.0.0.1/a.html")));
}

void PageFetcherTests::refusesSecondDownloadDuringOne()
{
    server_->routes.insert("/a.html", servedPage("<html>a</html>"));
    bool nestedFailed = false;
    server_->onRequest = [&] {
        server_->onRequest = nullptr;
        try {
            fetchPage(server_->url("/a.html"));
        } catch (const FetchError&) {
            nestedFailed = true;
        }
    };
    QCOMPARE(fetchPage(server_->url("/a.html")), QByteArray("<html>a</html>"));
    QVERIFY(nestedFailed);
    // The guard is released afterwards.
    QCOMPARE(fetchPage(server_->url("/a.html")), QByteArray("<html>a</html>"));
}

QTEST_GUILESS_MAIN(PageFetcherTests)
#include "PageFetcherTests.moc"
