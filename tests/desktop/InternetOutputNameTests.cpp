#include "InternetOutputName.h"

#include <QTest>

class InternetOutputNameTests : public QObject {
    Q_OBJECT

private slots:
    void outputName_data();
    void outputName();
    void outputPath_data();
    void outputPath();
    void addressWithScheme_data();
    void addressWithScheme();
};

void InternetOutputNameTests::outputName_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("expected");

    // The ending tests: ".html" in any case is kept, ".htm" only as written in lower case.
    QTest::newRow("host/dir/page") << "http://host/dir/page" << "host%dir%page.html";
    QTest::newRow("lower .html") << "http://host/a.html" << "host%a.html";
    QTest::newRow("upper .HTM") << "http://HOST/A.HTM" << "HOST%A.HTM.html";
    QTest::newRow("upper .HTML") << "http://host/A.HTML" << "host%A.HTML";
    QTest::newRow("mixed .Html") << "http://host/a.Html" << "host%a.Html";
    QTest::newRow("lower .htm") << "http://host/a.htm" << "host%a.htm";
    QTest::newRow("mixed .Htm") << "http://host/a.Htm" << "host%a.Htm.html";
    QTest::newRow(".htmx") << "http://host/a.htmx" << "host%a.htmx.html";

    // Schemes: the name starts two characters after the first "/".
    QTest::newRow("https") << "https://host/x/y.html" << "host%x%y.html";
    QTest::newRow("capital scheme") << "HTTPS://Host/p" << "Host%p.html";
    QTest::newRow("host only") << "http://host" << "host.html";
    QTest::newRow("trailing slash") << "http://host/dir/" << "host%dir%.html";
    QTest::newRow("port") << "http://127.0.0.1:8080/a.html" << "127.0.0.1:8080%a.html";
    QTest::newRow("scheme only") << "http://" << ".html";

    // Separators and queries.
    QTest::newRow("backslash") << "http://host\\dir\\p.htm" << "host%dir%p.htm";
    QTest::newRow("query") << "http://host/find?q=1" << "host%find_q=1.html";
    QTest::newRow("query after .html") << "http://host/p.html?a=b?c"
                                       << "host%p.html_a=b_c.html";
    QTest::newRow("query ending .html") << "http://host/p?x=y.html" << "host%p_x=y.html";
}

void InternetOutputNameTests::outputName()
{
    QFETCH(QString, address);
    QFETCH(QString, expected);
    QCOMPARE(internetOutputName(address), expected);
}

void InternetOutputNameTests::outputPath_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("expected");

    QTest::newRow("folder")
        << "/tmp/out" << "http://host/dir/page" << "/tmp/out/host%dir%page.html";
    QTest::newRow("folder with slash") << "/tmp/out/" << "http://h/a.html" << "/tmp/out/h%a.html";
    QTest::newRow("current folder") << "." << "http://h/a.html" << "./h%a.html";
    QTest::newRow("windows folder") << "C:\\Temp\\" << "http://h/a.htm" << "C:\\Temp\\h%a.htm";
    QTest::newRow("no folder") << "" << "http://h/a.htm" << "h%a.htm";
}

void InternetOutputNameTests::outputPath()
{
    QFETCH(QString, directory);
    QFETCH(QString, address);
    QFETCH(QString, expected);
    QCOMPARE(internetOutputPath(directory, address), expected);
}

void InternetOutputNameTests::addressWithScheme_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no scheme") << "example.org/a.html" << "http://example.org/a.html";
    QTest::newRow("http kept") << "http://example.org" << "http://example.org";
    QTest::newRow("capital HTTPS kept") << "HTTPS://Example.org/X" << "HTTPS://Example.org/X";
    QTest::newRow("mixed Http kept") << "Http://a" << "Http://a";
    QTest::newRow("other scheme") << "ftp://host/f" << "http://ftp://host/f";
    QTest::newRow("half scheme") << "http:/host" << "http://http:/host";
    QTest::newRow("empty") << "" << "http://";
}

void InternetOutputNameTests::addressWithScheme()
{
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QCOMPARE(::addressWithScheme(typed), expected);
}

QTEST_APPLESS_MAIN(InternetOutputNameTests)
#include "InternetOutputNameTests.moc"
