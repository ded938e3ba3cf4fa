// The page list model: sorted rows, duplicates, removal, columns and images.
#include "PageListModel.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class PageListModelTests : public QObject {
    Q_OBJECT

private slots:
    void rowsStaySortedIgnoringCase_data();
    void rowsStaySortedIgnoringCase();
    void newRowShowsUnpackedTexts();
    void findsTheSameFile_data();
    void findsTheSameFile();
    void removeRowsInAnyOrder();
    void columnsHaveHeadingsAlignmentAndWidths();
    void imagesComeFromTheStrip();
    void textChangesAreSignalled();

private:
    static QStringList fileNames(const PageListModel& model);
};

QStringList PageListModelTests::fileNames(const PageListModel& model)
{
    QStringList names;
    for (int row = 0; row < model.rowCount(); ++row)
        names.append(model.text(row, COLUMN_FILE_NAME));
    return names;
}

void PageListModelTests::rowsStaySortedIgnoringCase_data()
{
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("reverse order") << QStringList{"/c.htm", "/b.htm", "/a.htm"}
                                   << QStringList{"/a.htm", "/b.htm", "/c.htm"};
    QTest::newRow("letter case ignored") << QStringList{"/b.htm", "/C.htm", "/A.htm"}
                                         << QStringList{"/A.htm", "/b.htm", "/C.htm"};
    QTest::newRow("internet and local") << QStringList{"http://z.org", "/home/x.html",
                                                       "HTTP://a.org"}
                                        << QStringList{"/home/x.html", "HTTP://a.org",
                                                       "http://z.org"};
    QTest::newRow("equal names keep their order")
        << QStringList{"http://a.org", "HTTP://A.ORG", "http://A.org"}
        << QStringList{"http://a.org", "HTTP://A.ORG", "http://A.org"};
}

void PageListModelTests::rowsStaySortedIgnoringCase()
{
    QFETCH(QStringList, added);
    QFETCH(QStringList, expected);
    PageListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (const QString& name : added)
        model.addPage(name, IMAGE_LOCAL);
    QCOMPARE(fileNames(model), expected);
}

void PageListModelTests::newRowShowsUnpackedTexts()
{
    PageListModel model;
    const int row = model.addPage(QStringLiteral("/p/index.html"), IMAGE_INTERNET);
    QCOMPARE(row, 0);
    QCOMPARE(model.text(row, COLUMN_RATIO), QStringLiteral("-"));
    QCOMPARE(model.text(row, COLUMN_ORIGINAL_SIZE), QStringLiteral("."));
    QCOMPARE(model.text(row, COLUMN_PACKED_SIZE), QString());
    QCOMPARE(model.text(row, COLUMN_OUTPUT_NAME), QString());
    QCOMPARE(model.data(model.index(row, 0), PageListModel::ImageIndexRole).toInt(),
             int(IMAGE_INTERNET));
    QCOMPARE(model.addPage(QStringLiteral("/a.html"), IMAGE_LOCAL), 0);
    QCOMPARE(model.addPage(QStringLiteral("/z.html"), IMAGE_LOCAL), 2);
}

void PageListModelTests::findsTheSameFile_data()
{
    // Files small.html, Small.html and sub/page.html exist; the row's name is listed, the other
    // is looked for.
    QTest::addColumn<QString>("listed");
    QTest::addColumn<QString>("lookedFor");
    QTest::addColumn<bool>("found");
    QTest::newRow("the same path") << "small.html" << "small.html" << true;
    QTest::newRow("other letter case") << "small.html" << "Small.html" << false;
    QTest::newRow("through a dot-dot step") << "sub/page.html" << "sub/../sub/page.html" << true;
    QTest::newRow("through a link") << "sub/page.html" << "link/page.html" << true;
    QTest::newRow("another file") << "small.html" << "sub/page.html" << false;
    QTest::newRow("missing, same path") << "gone.html" << "./gone.html" << true;
    QTest::newRow("missing, other case") << "gone.html" << "Gone.html" << false;
    QTest::newRow("the same address") << "http://example.org/a" << "http://example.org/a" << true;
}

void PageListModelTests::findsTheSameFile()
{
    QFETCH(QString, listed);
    QFETCH(QString, lookedFor);
    QFETCH(bool, found);
    QTemporaryDir folder;
    const QString base = folder.path() + "/";
    QVERIFY(QDir().mkpath(base + "sub"));
    for (const char* name : {"small.html", "Small.html", "sub/page.html"}) {
        QFile file(base + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<p>page</p>");
    }
    QVERIFY(QFile::link(base + "sub", base + "link"));
    const auto path = [&](const QString& name) {
        return name.startsWith("http:") ? name : base + name;
    };

    PageListModel model;
    model.addPage(path("other.html"), IMAGE_LOCAL);
    const int row = model.addPage(path(listed), IMAGE_LOCAL);
    QCOMPARE(model.findFileName(path(lookedFor)), found ? row : -1);
}

void PageListModelTests::removeRowsInAnyOrder()
{
    PageListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (const char* name : {"/a", "/b", "/c", "/d", "/e"})
        model.addPage(QString::fromLatin1(name), IMAGE_LOCAL);
    model.removePageRows({3, 0, 3, 1});
    QCOMPARE(fileNames(model), (QStringList{"/c", "/e"}));
    model.removePageRows({});
    QCOMPARE(model.rowCount(), 2);
    model.clear();
    QCOMPARE(model.rowCount(), 0);
}

void PageListModelTests::columnsHaveHeadingsAlignmentAndWidths()
{
    PageListModel model;
    QStringList headings;
    QList<int> widths;
    for (int column = 0; column < COLUMN_COUNT; ++column) {
        headings.append(model.headerData(column, Qt::Horizontal).toString());
        widths.append(pageColumns()[column].width);
    }
    QCOMPARE(headings, (QStringList{"File Name", "Ratio", "Original Size", "Packed Size",
                                    "Output Name"}));
    QCOMPARE(widths, (QList<int>{320, 50, 72, 72, 108}));
    model.addPage(QStringLiteral("/a"), IMAGE_LOCAL);
    auto horizontal = [&model](int column) {
        return model.data(model.index(0, column), Qt::TextAlignmentRole).value<Qt::Alignment>()
             & Qt::AlignHorizontal_Mask;
    };
    QCOMPARE(horizontal(COLUMN_FILE_NAME), Qt::AlignLeft);
    QCOMPARE(horizontal(COLUMN_RATIO), Qt::AlignHCenter);
    QCOMPARE(horizontal(COLUMN_ORIGINAL_SIZE), Qt::AlignRight);
    QCOMPARE(horizontal(COLUMN_PACKED_SIZE), Qt::AlignRight);
    QCOMPARE(horizontal(COLUMN_OUTPUT_NAME), Qt::AlignLeft);
}

void PageListModelTests::imagesComeFromTheStrip()
{
    // A strip whose seven images are told apart by their colour.
    QImage strip(77, 11, QImage::Format_RGB32);
    for (int image = 0; image < IMAGE_STRIP_COUNT; ++image) {
        for (int x = 0; x < 11; ++x)
            for (int y = 0; y < 11; ++y)
                strip.setPixel(image * 11 + x, y, qRgb(image * 30, 0, 0));
    }
    PageListModel model;
    model.setImageStrip(QPixmap::fromImage(strip));
    model.addPage(QStringLiteral("/a"), IMAGE_LOCAL_UNCHANGED);
    const QPixmap shown = model.data(model.index(0, 0), Qt::DecorationRole).value<QPixmap>();
    QCOMPARE(shown.size(), QSize(11, 11));
    QCOMPARE(shown.toImage().pixel(5, 5), qRgb(6 * 30, 0, 0));
    // A failed internet page shows its outcome plus 2; 8 is past the strip and shows nothing.
    model.setImage(0, IMAGE_INTERNET_FAILED);
    QCOMPARE(model.data(model.index(0, 0), Qt::DecorationRole).value<QPixmap>().toImage().pixel(5, 5),
             qRgb(5 * 30, 0, 0));
    model.setImage(0, 8);
    QVERIFY(!model.data(model.index(0, 0), Qt::DecorationRole).isValid());
    QVERIFY(!model.data(model.index(0, 1), Qt::DecorationRole).isValid());
}

void PageListModelTests::textChangesAreSignalled()
{
    PageListModel model;
    model.addPage(QStringLiteral("/a"), IMAGE_LOCAL);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.setText(0, COLUMN_RATIO, QStringLiteral("42%"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(0).toModelIndex(), model.index(0, COLUMN_RATIO));
    QCOMPARE(model.data(model.index(0, COLUMN_RATIO)).toString(), QStringLiteral("42%"));
}

QTEST_MAIN(PageListModelTests)
#include "PageListModelTests.moc"
