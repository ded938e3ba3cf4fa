#include "InternetPagePacker.h"
#include "LocalHttpServer.h"
#include "engine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>

namespace {

// A whole page of about `size` bytes, with words that repeat as real pages do.
QByteArray wholePage(qsizetype size)
{
    QByteArray page = "<html><head><title>Packed from the net</title></head><body>\n";
    const char* words[] = {"compaction", "browser", "page", "smaller", "packing", "quill"};
    int line = 0;
    while (page.size() < size - 40) {
        page += "<p>The " + QByteArray(words[line % 6]) + " line " + QByteArray::number(line)
            + " tells the " + QByteArray(words[(line * 5) % 6]) + " about the "
            + QByteArray(words[(line + 3) % 6]) + ".</p>\n";
        ++line;
    }
    return page + "</body></html>\n";
}

// A page with a keywords META tag and a comment, for the stripping settings.
QByteArray pageWithMetaAndComment()
{
    return "<html><head><title>Packed from the net</title>\n"
           "<meta name=\"keywords\" content=\"quill, box\">\n</head><body>\n"
           "<!-- a note for the authors -->\n"
        + wholePage(12000).mid(61);
}

QByteArray readOutput(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class InternetPagePackerTests : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void packsIntoOutputFolder_data();
    void packsIntoOutputFolder();
    void strippingFollowsFlags_data();
    void strippingFollowsFlags();
    void failedDownloadWritesNothing();
    void missingOutputFolderFails();
    void emptyPageKeepsTheOldOutput();
    void pageWithZeroBytesIsRefused();

private:
    QString outputFor(const QByteArray& path) const;

    std::unique_ptr<LocalHttpServer> server_;
    std::unique_ptr<QTemporaryDir> output_;
    Engine engine_;  // one engine for all cases, as one program run has
};

void InternetPagePackerTests::initTestCase()
{
    bypassProxies();
    engine_.console = nullptr;
}

void InternetPagePackerTests::init()
{
    server_ = std::make_unique<LocalHttpServer>();
    QVERIFY(server_->start());
    output_ = std::make_unique<QTemporaryDir>();
    QVERIFY(output_->isValid());
}

QString InternetPagePackerTests::outputFor(const QByteArray& path) const
{
    const QString address = server_->url(path);
    QString name = address.mid(QStringLiteral("http://").size());
    name.replace(QLatin1Char('/'), QLatin1Char('%')).replace(QLatin1Char('?'), QLatin1Char('_'));
    return output_->path() + QLatin1Char('/') + name;
}

void InternetPagePackerTests::packsIntoOutputFolder_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<qint64>("originalSize");  // 0: the whole body
    QTest::addColumn<bool>("packedMarker");     // the page went through JavaScript packing

    const QByteArray page = wholePage(20000);
    QTest::newRow("best method")
        << QByteArray("/a.html") << page << 3 << "" << qint64(0) << true;
    QTest::newRow("plain")
        << QByteArray("/dir/b.htm") << page << 1 << "" << qint64(0) << false;
    QTest::newRow("JavaScript")
        << QByteArray("/c") << page << 2 << ".html" << qint64(0) << true;
    QTest::newRow("query")
        << QByteArray("/find?q=1") << page << 11 << ".html" << qint64(0) << true;
    QTest::newRow("200000 bytes, whole")
        << QByteArray("/big.html") << wholePage(200000) << 1 << "" << qint64(0) << false;
}

void InternetPagePackerTests::packsIntoOutputFolder()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, body);
    QFETCH(int, flags);
    QFETCH(QString, suffix);
    QFETCH(qint64, originalSize);
    QFETCH(bool, packedMarker);
    server_->routes.insert(path, servedPage(body));

    const InternetPackOutcome outcome =
        packInternetPage(engine_, server_->url(path), output_->path(), flags);
    QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
    QCOMPARE(outcome.originalSize, originalSize ? originalSize : qint64(body.size()));
    QCOMPARE(outcome.outputPath, outputFor(path) + suffix);
    QVERIFY(outcome.result > 0);
    QVERIFY(outcome.result < outcome.originalSize);
    const QByteArray written = readOutput(outcome.outputPath);
    QCOMPARE(written.size(), qsizetype(outcome.result));
    QCOMPARE(written.startsWith("<!--Quillbox-->"), packedMarker);
    QVERIFY(written.toLower().contains("<title>packed from the net</title>"));
}

void InternetPagePackerTests::strippingFollowsFlags_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("keepsMeta");
    QTest::addColumn<bool>("keepsComment");

    // Rows run on one engine in turn: each must set both options afresh.
    QTest::newRow("no meta, no comments") << (FLAG_PLAIN | FLAG_NO_META | FLAG_NO_COMMENTS)
                                          << false << false;
    QTest::newRow("keep both") << FLAG_PLAIN << true << true;
    QTest::newRow("no meta") << (FLAG_PLAIN | FLAG_NO_META) << false << true;
    QTest::newRow("no comments") << (FLAG_PLAIN | FLAG_NO_COMMENTS) << true << false;
}

void InternetPagePackerTests::strippingFollowsFlags()
{
    QFETCH(int, flags);
    QFETCH(bool, keepsMeta);
    QFETCH(bool, keepsComment);
    server_->routes.insert("/meta.html", servedPage(pageWithMetaAndComment()));

    const InternetPackOutcome outcome =
        packInternetPage(engine_, server_->url("/meta.html"), output_->path(), flags);
    QVERIFY(outcome.result > 0);
    const QByteArray written = readOutput(outcome.outputPath).toLower();
    QCOMPARE(written.contains("keywords"), keepsMeta);
    QCOMPARE(written.contains("a note for the authors"), keepsComment);
    QVERIFY(written.contains("packed from the net"));
}

void InternetPagePackerTests::failedDownloadWritesNothing()
{
    for (const QByteArray& path : {QByteArray("/missing.html"), QByteArray("/gone")}) {
        const InternetPackOutcome outcome =
            packInternetPage(engine_, server_->url(path), output_->path(), 3);
        QCOMPARE(outcome.result, -1L);
        QCOMPARE(outcome.error, QStringLiteral("HTTP 404 Not Found"));
        QCOMPARE(outcome.outputPath, outputFor(path) + (path.endsWith(".html") ? "" : ".html"));
        QVERIFY(!QFileInfo::exists(outcome.outputPath));
    }
    QVERIFY(QDir(output_->path()).isEmpty());
}

void InternetPagePackerTests::missingOutputFolderFails()
{
    const QByteArray body = wholePage(5000);
    server_->routes.insert("/a.html", servedPage(body));
    const QString folder = output_->filePath("not-there");
    const InternetPackOutcome outcome =
        packInternetPage(engine_, server_->url("/a.html"), folder, 3);
    QVERIFY(outcome.result < 1);
    QCOMPARE(outcome.error, "cannot write " + QDir::toNativeSeparators(outcome.outputPath) + ": "
                                + QString::fromLocal8Bit(std::strerror(ENOENT)));
    QCOMPARE(outcome.originalSize, qint64(body.size()));
    QVERIFY(!QFileInfo::exists(folder));
}

void InternetPagePackerTests::emptyPageKeepsTheOldOutput()
{
    server_->routes.insert("/empty.html", servedPage(QByteArray()));
    const QByteArray old = "<p>the output of an earlier run</p>";
    QFile existing(outputFor("/empty.html"));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write(old);
    existing.close();
    const InternetPackOutcome outcome =
        packInternetPage(engine_, server_->url("/empty.html"), output_->path(), 3);
    QVERIFY(outcome.result < 1);
    QCOMPARE(readOutput(outcome.outputPath), old);
}

void InternetPagePackerTests::pageWithZeroBytesIsRefused()
{
    QByteArray page = wholePage(5000);
    page[2000] = '\0';
    server_->routes.insert("/wide.html", servedPage(page));
    const InternetPackOutcome outcome =
        packInternetPage(engine_, server_->url("/wide.html"), output_->path(), 3);
    QVERIFY(outcome.result < 1);
    QCOMPARE(outcome.error, QStringLiteral("page holds zero bytes"));
    QVERIFY(!QFileInfo::exists(outcome.outputPath));
}

QTEST_GUILESS_MAIN(InternetPagePackerTests)
#include "InternetPagePackerTests.moc"
