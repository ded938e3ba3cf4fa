// The packing run over rows of local pages: method flags, the overwrite questions, row texts
// and images, totals, progress and the run report. Pages are packed by the real engine unless
// a case needs to count or fail conversions.
#include "EngineConverter.h"
#include "PackRun.h"
#include "PageListModel.h"
#include "engine.h"
#include "served_size.h"
#include "ScriptedAsker.h"

#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <QScopeGuard>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include <unistd.h>

using Answer = Asker::Answer;

class PackRunTests : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void flagsForEveryMethodAndStripping_data();
    void flagsForEveryMethodAndStripping();
    void ratios_data();
    void ratios();
    void packsIntoTheOutputFolder();
    void overwriteQuestions_data();
    void overwriteQuestions();
    void declinedRowStaysAsItWas();
    void questionMarkNameAsksAboutTheFileWritten();
    void outputInThePagesOwnFolder_data();
    void outputInThePagesOwnFolder();
    void cancelStopsTheRun();
    void alreadyPackedPageIsCopied();
    void failuresKeepTheRunGoing();
    void missingOutputFolder_data();
    void missingOutputFolder();
    void failingRowKeepsTheOldOutput_data();
    void failingRowKeepsTheOldOutput();
    void importedPagesKeepTheirPlaceInTheTree();
    void secondRowForOneOutputIsRefused_data();
    void secondRowForOneOutputIsRefused();
    void internetRowWithoutPackerFails();
    void internetRowsUseTheirPacker();
    void unwritableReportWarnsOnce();
    void reportGoesIntoTheOutputFolder();
    void singleRowAddsToTheTotals();
    void stopFinishesThePagesInProgress();
    void readOnlyFolders();
    void ratioFollowsTheServedSetting();

private:
    // Writes a page of `size` bytes in the input folder and lists it.
    QString addPage(const QString& name, int size, const QByteArray& start = "<html><body>",
                    const QString& importedFrom = QString());
    QStringList reportLines() const;
    PackRun makeRun(LocalConverter convert = {});

    std::unique_ptr<QTemporaryDir> folder_;
    QString input_, output_, report_;
    AppSettings settings_;
    PageListModel pages_;
    ScriptedAsker asker_;
    EngineConverter engine_;
    QList<int> progress_;
    QList<ConvertRequest> requests_;
    std::mutex requestsTurn_;  // requests_ is filled by the workers
};

void PackRunTests::initTestCase()
{
    // Run as an ordinary user, for whom rights are what they say; every file used is made by
    // the tests themselves in the temporary folder.
    if (geteuid() == 0 && setgid(65534) == 0)
        QVERIFY(setuid(65534) == 0);
}

void PackRunTests::init()
{
    folder_ = std::make_unique<QTemporaryDir>();
    input_ = folder_->path() + "/in";
    output_ = folder_->path() + "/out";
    report_ = folder_->path() + "/quillboxfilelist.txt";
    QDir().mkpath(input_);
    QDir().mkpath(output_);
    settings_ = AppSettings();
    settings_.directories.outputFolder = output_;
    settings_.directories.overwriteWarning = 1;
    settings_.packMethod = 1;
    settings_.compression.noComments = 1;
    settings_.compression.decompOutputSize = 400;
    settings_.compression.maxTokens = 127;
    pages_.clear();
    asker_ = ScriptedAsker();
    progress_.clear();
    requests_.clear();
}

QString PackRunTests::addPage(const QString& name, int size, const QByteArray& start,
                              const QString& importedFrom)
{
    QByteArray text = start;
    static const QByteArray words = "<p>The quick brown fox jumps over the lazy dog again. ";
    while (text.size() < size)
        text += words;
    text.truncate(size);
    const QString path = input_ + "/" + name;
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text);
    file.close();
    pages_.addPage(path, IMAGE_LOCAL, importedFrom);
    return path;
}

QStringList PackRunTests::reportLines() const
{
    QFile file(report_);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList lines = QString::fromLocal8Bit(file.readAll()).split('\n');
    lines.removeLast();  // after the last line end
    return lines;
}

PackRun PackRunTests::makeRun(LocalConverter convert)
{
    // By default every worker packs with an engine of its own, as in the program.
    PackRun run = convert ? PackRun(settings_, pages_, asker_, std::move(convert))
                          : PackRun(settings_, pages_, asker_, [this](const std::atomic<bool>&) {
                                auto engine = std::make_shared<EngineConverter>();
                                PagePackers packers;
                                packers.convert = [this, engine](ConvertRequest& request) {
                                    {
                                        const std::lock_guard lock(requestsTurn_);
                                        requests_.append(request);
                                    }
                                    return engine->convert(request);
                                };
                                return packers;
                            });
    run.showProgress = [this](int percent) { progress_.append(percent); };
    return run;
}

void PackRunTests::flagsForEveryMethodAndStripping_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("noMeta");
    QTest::addColumn<int>("noComments");
    QTest::addColumn<int>("flags");
    QTest::newRow("best, both") << 1 << 1 << 1 << 15;
    QTest::newRow("best, none") << 1 << 0 << 0 << 3;
    QTest::newRow("best, comments") << 1 << 0 << 1 << 11;
    QTest::newRow("javascript, meta") << 2 << 1 << 0 << 6;
    QTest::newRow("javascript, both") << 2 << 1 << 1 << 14;
    QTest::newRow("plain, none") << 3 << 0 << 0 << 1;
    QTest::newRow("plain, comments") << 3 << 0 << 1 << 9;
}

void PackRunTests::flagsForEveryMethodAndStripping()
{
    QFETCH(int, method);
    QFETCH(int, noMeta);
    QFETCH(int, noComments);
    QFETCH(int, flags);
    QCOMPARE(methodFlags(method, noMeta, noComments), flags);
    // The run passes them, with the two numbers, for every page.
    settings_.packMethod = method;
    settings_.compression.noMeta = noMeta;
    settings_.compression.noComments = noComments;
    settings_.compression.maxTokens = 50;
    addPage("a.html", 300);
    RunTotals totals;
    makeRun().packAll(totals, report_);
    QCOMPARE(requests_.size(), 1);
    QCOMPARE(requests_[0].flags, flags);
    QCOMPARE(requests_[0].outputChunk, 400);
    QCOMPARE(requests_[0].codeCharLimit, 50);
    QCOMPARE(requests_[0].bound, NO_BOUND);  // read whole, never cut
}

void PackRunTests::ratios_data()
{
    QTest::addColumn<qint64>("original");
    QTest::addColumn<qint64>("packed");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("run");
    QTest::newRow("60 per cent") << qint64(1000) << qint64(400) << "60%" << "Ratio : 60%";
    QTest::newRow("truncated") << qint64(3) << qint64(1) << "66%" << "Ratio : 67%";
    QTest::newRow("grew") << qint64(100) << qint64(101) << "-1%" << "Ratio : -1%";
    QTest::newRow("empty page") << qint64(0) << qint64(0) << "0%" << "";
    QTest::newRow("beyond 2 GB") << qint64(6000000000) << qint64(3000000000) << "50%"
                                 << "Ratio : 50%";
}

void PackRunTests::ratios()
{
    QFETCH(qint64, original);
    QFETCH(qint64, packed);
    QFETCH(QString, row);
    QFETCH(QString, run);
    QCOMPARE(ratioText(original, packed), row);
    QCOMPARE(runRatioText({original, packed}), run);
    QCOMPARE(runOriginalText({original, packed}), QStringLiteral("Original : %1").arg(original));
    QCOMPARE(runPackedText({original, packed}), QStringLiteral("Packed : %1").arg(packed));
}

void PackRunTests::packsIntoTheOutputFolder()
{
    const QString a = addPage("a.html", 2000);
    const QString b = addPage("b.html", 3000);
    RunTotals totals{5, 5};
    QList<int> shownRows;
    PackRun run = makeRun();
    run.showRow = [&shownRows](int row, const RunTotals&) { shownRows.append(row); };
    run.packAll(totals, report_);
    QCOMPARE(asker_.questions.size(), 0);
    std::sort(shownRows.begin(), shownRows.end());  // the pages finish in any order
    QCOMPARE(shownRows, (QList<int>{0, 1}));
    QCOMPARE(progress_, (QList<int>{50, 100, 0}));
    qint64 packedTotal = 0;
    for (int row = 0; row < 2; ++row) {
        const QString out = QDir::toNativeSeparators(output_ + (row ? "/b.html" : "/a.html"));
        const qint64 packed = QFileInfo(out).size();
        const qint64 original = row ? 3000 : 2000;
        QVERIFY(packed > 0 && packed < original);
        QCOMPARE(pages_.text(row, COLUMN_OUTPUT_NAME), out);
        QCOMPARE(pages_.text(row, COLUMN_ORIGINAL_SIZE), QString::number(original));
        QCOMPARE(pages_.text(row, COLUMN_PACKED_SIZE), QString::number(packed));
        QCOMPARE(pages_.text(row, COLUMN_RATIO), ratioText(original, packed));
        QCOMPARE(pages_.pageRow(row).image, int(IMAGE_LOCAL_PACKED));
        packedTotal += packed;
    }
    QCOMPARE(totals.original, qint64(5000));
    QCOMPARE(totals.packed, packedTotal);
    QCOMPARE(reportLines(),
             (QStringList{a + " " + pages_.text(0, 1) + " 2000 " + pages_.text(0, 3),
                          b + " " + pages_.text(1, 1) + " 3000 " + pages_.text(1, 3)}));
}

void PackRunTests::overwriteQuestions_data()
{
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<QStringList>("asked");  // "o" overwrite question, "a" all-files question
    QTest::addColumn<int>("converted");
    QTest::newRow("yes to all after the second")
        << QList<Answer>{Answer::Yes, Answer::Yes, Answer::Yes} << QStringList{"o", "o", "a"} << 5;
    QTest::newRow("no to all keeps asking")
        << QList<Answer>{Answer::Yes, Answer::Yes, Answer::No, Answer::Yes, Answer::Yes,
                         Answer::Yes}
        << QStringList{"o", "o", "a", "o", "o", "o"} << 5;
    QTest::newRow("no to the first, then yes to all")
        << QList<Answer>{Answer::No, Answer::Yes, Answer::Yes, Answer::Yes}
        << QStringList{"o", "o", "o", "a"} << 4;
}

void PackRunTests::overwriteQuestions()
{
    QFETCH(QList<Answer>, answers);
    QFETCH(QStringList, asked);
    QFETCH(int, converted);
    for (const char* name : {"p1.html", "p2.html", "p3.html", "p4.html", "p5.html"}) {
        addPage(name, 500);
        QFile existing(output_ + "/" + name);
        existing.open(QIODevice::WriteOnly);
        existing.write("old");
    }
    for (Answer answer : answers)
        asker_.answers.enqueue(answer);
    RunTotals totals;
    makeRun().packAll(totals, report_);
    QStringList kinds;
    for (const ScriptedAsker::Question& question : asker_.questions) {
        QCOMPARE(question.caption, QStringLiteral("Warning"));
        QCOMPARE(question.icon, Asker::Icon::Warning);
        if (question.text == "Do you want to overwrite all further files ") {
            kinds.append("a");
            QCOMPARE(question.buttons, Asker::Buttons::YesNo);
        } else {
            QVERIFY(question.text.startsWith("Overwrite file " + QDir::toNativeSeparators(output_)));
            QVERIFY(question.text.endsWith(".html ?"));
            QCOMPARE(question.buttons, Asker::Buttons::YesNoCancel);
            kinds.append("o");
        }
    }
    QCOMPARE(kinds, asked);
    QCOMPARE(requests_.size(), converted);
    QCOMPARE(asker_.unexpectedCalls, 0);
    QCOMPARE(reportLines().size(), converted);
}

void PackRunTests::declinedRowStaysAsItWas()
{
    addPage("a.html", 500);
    addPage("b.html", 500);
    QFile existing(output_ + "/a.html");
    existing.open(QIODevice::WriteOnly);
    existing.write("old");
    existing.close();
    asker_.answers.enqueue(Answer::No);
    RunTotals totals;
    makeRun().packAll(totals, report_);
    QCOMPARE(pages_.text(0, COLUMN_RATIO), QStringLiteral("-"));
    QCOMPARE(pages_.text(0, COLUMN_OUTPUT_NAME), QString());
    QCOMPARE(pages_.pageRow(0).image, int(IMAGE_LOCAL));
    QCOMPARE(existing.size(), qint64(3));
    QCOMPARE(reportLines().size(), 1);
    QVERIFY(reportLines().first().startsWith(pages_.text(1, COLUMN_FILE_NAME)));
}

void PackRunTests::questionMarkNameAsksAboutTheFileWritten()
{
    // The converter writes "a?.html" as "a_.html", which is already there.
    addPage("a?.html", 500);
    const QString written = QDir::toNativeSeparators(output_ + "/a_.html");
    QFile existing(written);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("old");
    existing.close();
    asker_.answers.enqueue(Answer::No);
    RunTotals totals;
    makeRun().packAll(totals, report_);
    QCOMPARE(asker_.questionTexts(), QStringList{"Overwrite file " + written + " ?"});
    QVERIFY(requests_.isEmpty());
    QCOMPARE(existing.size(), qint64(3));

    // Yes: the row names the file written.
    asker_ = ScriptedAsker();
    asker_.answers.enqueue(Answer::Yes);
    makeRun().packAll(totals, report_);
    QCOMPARE(asker_.questions.size(), 1);
    QCOMPARE(requests_.size(), 1);
    QCOMPARE(pages_.text(0, COLUMN_OUTPUT_NAME), written);
    QVERIFY(existing.size() > 3);
    QVERIFY(!QFileInfo::exists(output_ + "/a?.html"));
}

void PackRunTests::outputInThePagesOwnFolder_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("no") << Answer::No << false;
    QTest::newRow("cancel") << Answer::Cancel << false;
    QTest::newRow("yes") << Answer::Yes << true;
}

void PackRunTests::outputInThePagesOwnFolder()
{
    QFETCH(Answer, answer);
    QFETCH(bool, replaced);
    // The window runs with the input folder as the current directory; "." writes over the page.
    const QString page = addPage("page.html", 3000);
    QFile source(page);
    QVERIFY(source.open(QIODevice::ReadOnly));
    const QByteArray original = source.readAll();
    source.close();
    // What the engine makes of the page, packed elsewhere for comparison.
    ConvertRequest expected{page, output_ + "/expected.html", 3000, methodFlags(1, 0, 1), 400, 127, {}};
    QVERIFY(engine_.convert(expected) > 0);
    QFile expectedFile(expected.output);
    QVERIFY(expectedFile.open(QIODevice::ReadOnly));
    const QByteArray packed = expectedFile.readAll();
    QVERIFY(packed.size() < original.size());

    const QString startFolder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(input_));
    settings_.directories.outputFolder = QStringLiteral(".");
    asker_.answers.enqueue(answer);
    RunTotals totals;
    makeRun().packAll(totals, report_);
    QDir::setCurrent(startFolder);

    // The question comes before anything is written.
    QCOMPARE(asker_.questionTexts(),
             QStringList{"Overwrite file " + QDir::toNativeSeparators("./page.html") + " ?"});
    QCOMPARE(requests_.size(), replaced ? 1 : 0);
    QVERIFY(source.open(QIODevice::ReadOnly));
    QCOMPARE(source.readAll(), replaced ? packed : original);
    QCOMPARE(QDir(input_).entryList(QDir::Files), QStringList{"page.html"});
}

void PackRunTests::cancelStopsTheRun()
{
    addPage("a.html", 500);
    addPage("b.html", 500);
    addPage("c.html", 500);
    QFile existing(output_ + "/b.html");
    existing.open(QIODevice::WriteOnly);
    existing.write("old");
    existing.close();
    asker_.answers.enqueue(Answer::Cancel);
    RunTotals totals;
    makeRun().packAll(totals, report_);
    QCOMPARE(requests_.size(), 1);
    QCOMPARE(reportLines().size(), 1);
    QCOMPARE(pages_.text(2, COLUMN_OUTPUT_NAME), QString());
    QCOMPARE(progress_.last(), 0);
}

void PackRunTests::alreadyPackedPageIsCopied()
{
    const QByteArray packed = "<!--Quillbox--><script>var s='already packed'</script>";
    addPage("done.html", 600, packed);
    RunTotals totals;
    makeRun().packAll(totals, report_);
    QCOMPARE(pages_.pageRow(0).image, int(IMAGE_LOCAL_UNCHANGED));
    QCOMPARE(pages_.text(0, COLUMN_PACKED_SIZE), QStringLiteral("600"));
    QCOMPARE(pages_.text(0, COLUMN_RATIO), QStringLiteral("0%"));
}

void PackRunTests::failuresKeepTheRunGoing()
{
    // A page holding zero bytes fails; a page far above the old 100000-byte limit packs whole.
    addPage("binary.html", 800, QByteArray("<\0h\0t\0m\0l\0>\0", 12));
    addPage("large.html", 150000);
    pages_.addPage(input_ + "/missing.html", IMAGE_LOCAL);
    addPage("small.html", 800);
    RunTotals totals;
    makeRun().packAll(totals, report_);
    const QString error = QString::fromLatin1(ROW_ERROR_TEXT);
    QCOMPARE(pages_.text(0, COLUMN_OUTPUT_NAME),
             error + QDir::toNativeSeparators(output_ + "/binary.html")
                 + " : page holds zero bytes");
    QCOMPARE(pages_.text(2, COLUMN_OUTPUT_NAME),
             error + QDir::toNativeSeparators(output_ + "/missing.html")
                 + " : cannot read page: " + QString::fromLocal8Bit(std::strerror(ENOENT)));
    QCOMPARE(pages_.pageRow(0).image, int(IMAGE_LOCAL_FAILED));
    QCOMPARE(pages_.pageRow(1).image, int(IMAGE_LOCAL_PACKED));
    QCOMPARE(pages_.pageRow(2).image, int(IMAGE_LOCAL_FAILED));
    QCOMPARE(pages_.pageRow(3).image, int(IMAGE_LOCAL_PACKED));
    QVERIFY(!QFile::exists(output_ + "/binary.html"));
    QVERIFY(QFileInfo(output_ + "/large.html").size() > 1000);
    // Failed rows write their unchanged columns.
    const QStringList lines = reportLines();
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], pages_.text(0, COLUMN_FILE_NAME) + " - . ");
    QCOMPARE(lines[2], pages_.text(2, COLUMN_FILE_NAME) + " - . ");
    QCOMPARE(totals.original, qint64(150800));
    QCOMPARE(progress_, (QList<int>{25, 50, 75, 100, 0}));
}

void PackRunTests::missingOutputFolder_data()
{
    QTest::addColumn<int>("createDirectories");
    QTest::newRow("Create new directories off: every row fails") << 0;
    QTest::newRow("Create new directories on: the folder is made") << 1;
}

void PackRunTests::missingOutputFolder()
{
    QFETCH(int, createDirectories);
    settings_.directories.createDirectories = createDirectories;
    settings_.directories.outputFolder = folder_->path() + "/nowhere/below";
    addPage("a.html", 500);
    addPage("b.html", 500);
    RunTotals totals;
    if (createDirectories) {
        // The report goes into the folder made for the run, with both rows.
        makeRun().packAll(totals);
        QVERIFY(QFileInfo(settings_.directories.outputFolder).isDir());
        for (int row = 0; row < 2; ++row)
            QCOMPARE(pages_.pageRow(row).image, int(IMAGE_LOCAL_PACKED));
        report_ = settings_.directories.outputFolder + "/" + RUN_REPORT_FILE;
        QCOMPARE(reportLines().size(), 2);
        QCOMPARE(totals.original, qint64(1000));
        return;
    }
    makeRun().packAll(totals, report_);
    for (int row = 0; row < 2; ++row) {
        const QString out = QDir::toNativeSeparators(settings_.directories.outputFolder
                                                     + (row ? "/b.html" : "/a.html"));
        QCOMPARE(pages_.text(row, COLUMN_OUTPUT_NAME),
                 QString::fromLatin1(ROW_ERROR_TEXT) + out + " : cannot write " + out + ": "
                     + QString::fromLocal8Bit(std::strerror(ENOENT)));
    }
    QVERIFY(!QFileInfo::exists(folder_->path() + "/nowhere"));
    QCOMPARE(totals.original, qint64(0));
}

void PackRunTests::failingRowKeepsTheOldOutput_data()
{
    QTest::addColumn<QByteArray>("page");  // empty: the page is not there
    QTest::addColumn<bool>("exists");
    QTest::addColumn<int>("overwriteWarning");
    QTest::addColumn<QString>("reason");
    const QString missing = "cannot read page: " + QString::fromLocal8Bit(std::strerror(ENOENT));
    QTest::newRow("empty page") << QByteArray() << true << 0 << "page holds zero bytes";
    QTest::newRow("empty page, asking") << QByteArray() << true << 1 << "page holds zero bytes";
    QTest::newRow("zero bytes inside")
        << QByteArray("<p>\0\0</p>", 10) << true << 0 << "page holds zero bytes";
    QTest::newRow("missing page") << QByteArray() << false << 0 << missing;
}

void PackRunTests::failingRowKeepsTheOldOutput()
{
    QFETCH(QByteArray, page);
    QFETCH(bool, exists);
    QFETCH(int, overwriteWarning);
    QFETCH(QString, reason);
    settings_.directories.overwriteWarning = overwriteWarning;
    const QString source = input_ + "/page.html";
    if (exists) {
        QFile file(source);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(page);
    }
    pages_.addPage(source, IMAGE_LOCAL);
    const QByteArray old = "<p>the output of an earlier run</p>";
    QFile output(output_ + "/page.html");
    QVERIFY(output.open(QIODevice::WriteOnly));
    output.write(old);
    output.close();

    RunTotals totals;
    makeRun().packAll(totals, report_);
    QCOMPARE(pages_.text(0, COLUMN_OUTPUT_NAME),
             QString::fromLatin1(ROW_ERROR_TEXT) + QDir::toNativeSeparators(output.fileName())
                 + " : " + reason);
    QCOMPARE(pages_.pageRow(0).image, int(IMAGE_LOCAL_FAILED));
    QCOMPARE(asker_.questions.size(), 0);
    QVERIFY(output.open(QIODevice::ReadOnly));
    QCOMPARE(output.readAll(), old);
}

void PackRunTests::importedPagesKeepTheirPlaceInTheTree()
{
    // index.html at the tree's top and in two of its folders, and one added by itself.
    for (const char* folder : {"/site", "/site/sub", "/site/sub/deeper", "/other"})
        QVERIFY(QDir().mkpath(input_ + folder));
    const QString lone = addPage("other/index.html", 700);
    for (const char* name : {"site/index.html", "site/sub/index.html", "site/sub/deeper/index.html"})
        addPage(name, 900, "<html><body>", input_ + "/site");
    RunTotals totals;
    makeRun().packAll(totals, report_);

    // Rows: other/index.html, then the tree's pages in order.
    const QStringList outputs = {"/index.html", "/index.html", "/sub/deeper/index.html",
                                 "/sub/index.html"};
    for (int row = 2; row < 4; ++row) {
        const QString out = QDir::toNativeSeparators(output_ + outputs[row]);
        QCOMPARE(pages_.text(row, COLUMN_OUTPUT_NAME), out);
        QCOMPARE(pages_.pageRow(row).image, int(IMAGE_LOCAL_PACKED));
        QVERIFY(QFileInfo(out).size() > 0);
    }
    // The tree's top page aims at the file the lone page wrote first.
    QCOMPARE(pages_.text(0, COLUMN_FILE_NAME), lone);
    QCOMPARE(pages_.text(0, COLUMN_OUTPUT_NAME), QDir::toNativeSeparators(output_ + "/index.html"));
    QCOMPARE(pages_.pageRow(1).image, int(IMAGE_LOCAL_FAILED));
    QVERIFY(pages_.text(1, COLUMN_OUTPUT_NAME).contains("row 1, " + lone));
    QCOMPARE(requests_.size(), 3);
    QCOMPARE(totals.original, qint64(700 + 900 + 900));
}

void PackRunTests::secondRowForOneOutputIsRefused_data()
{
    QTest::addColumn<QStringList>("names");   // pages written and listed in this order
    QTest::addColumn<QList<int>>("refused");  // rows refused
    QTest::addColumn<QList<int>>("earlier");  // the row named by each refusal, counted from 1
    QTest::newRow("one name in two folders")
        << QStringList{"a/page.html", "b/page.html"} << QList<int>{1} << QList<int>{1};
    QTest::newRow("three times")
        << QStringList{"a/page.html", "b/page.html", "c/page.html"} << QList<int>{1, 2}
        << QList<int>{1, 1};
    QTest::newRow("names differing in case")
        << QStringList{"a/page.html", "b/Page.html"} << QList<int>{} << QList<int>{};
    QTest::newRow("the same page twice")
        << QStringList{"a/page.html", "a/page.html"} << QList<int>{1} << QList<int>{1};
}

void PackRunTests::secondRowForOneOutputIsRefused()
{
    QFETCH(QStringList, names);
    QFETCH(QList<int>, refused);
    QFETCH(QList<int>, earlier);
    for (const QString& name : names) {
        QVERIFY(QDir().mkpath(QFileInfo(input_ + "/" + name).path()));
        addPage(name, 800);
    }
    RunTotals totals;
    makeRun().packAll(totals, report_);
    QCOMPARE(requests_.size(), names.size() - refused.size());
    QCOMPARE(asker_.questions.size(), 0);
    for (int row = 0; row < pages_.rowCount(); ++row) {
        const int at = int(refused.indexOf(row));
        const QString shown = pages_.text(row, COLUMN_OUTPUT_NAME);
        QCOMPARE(shown.startsWith(QString::fromLatin1(ROW_ERROR_TEXT)), at >= 0);
        if (at >= 0) {
            const int named = earlier[at];
            QVERIFY2(shown.contains(QStringLiteral("row %1, %2")
                                        .arg(named)
                                        .arg(pages_.text(named - 1, COLUMN_FILE_NAME))),
                     qPrintable(shown));
        }
    }
    // The file holds the first row's page.
    QCOMPARE(QFileInfo(pages_.text(0, COLUMN_OUTPUT_NAME)).size(),
             pages_.text(0, COLUMN_PACKED_SIZE).toLongLong());
}

void PackRunTests::internetRowWithoutPackerFails()
{
    pages_.addPage(QStringLiteral("http://example.org/a/page"), IMAGE_INTERNET);
    RunTotals totals;
    makeRun().packAll(totals, report_);
    QCOMPARE(pages_.pageRow(0).image, int(IMAGE_INTERNET_FAILED));
    QVERIFY(pages_.text(0, COLUMN_OUTPUT_NAME).startsWith(QString::fromLatin1(ROW_ERROR_TEXT)));
    QVERIFY(requests_.isEmpty());
    QCOMPARE(asker_.questions.size(), 0);
}

void PackRunTests::internetRowsUseTheirPacker()
{
    pages_.addPage(QStringLiteral("http://example.org/a"), IMAGE_INTERNET);
    pages_.addPage(QStringLiteral("http://example.org/b"), IMAGE_INTERNET);
    settings_.compression.noMeta = 1;
    QStringList calls;
    settings_.compression.served = QStringLiteral("br");
    PackRun run(settings_, pages_, asker_, {}, [&](const QString& address, const QString& folder,
                                                 int flags, int outputChunk, int limit,
                                                 const QString& served) {
        calls.append(QStringLiteral("%1 %2 %3 %4 %5")
                         .arg(address).arg(flags).arg(outputChunk).arg(limit).arg(served));
        const QString path = folder + "/" + address.section('/', -1) + ".html";
        if (address.endsWith('b'))
            return InternetPackResult{-1, path, 0, "HTTP 404 Not Found"};
        QFile out(path);
        out.open(QIODevice::WriteOnly);
        out.write(QByteArray(600, 'x'));  // already there: replaced without a question
        return InternetPackResult{600, path, 1000, {}, false, 500, 400};
    });
    run.showProgress = [this](int percent) { progress_.append(percent); };
    QFile existing(output_ + "/a.html");
    existing.open(QIODevice::WriteOnly);
    existing.close();
    RunTotals totals;
    run.packAll(totals, report_);
    calls.sort();  // the two pages may be packed in either order
    QCOMPARE(calls, (QStringList{"http://example.org/a 15 400 127 br",
                                 "http://example.org/b 15 400 127 br"}));
    QCOMPARE(asker_.questions.size(), 0);
    QCOMPARE(pages_.pageRow(0).image, int(IMAGE_INTERNET_PACKED));
    QCOMPARE(pages_.text(0, COLUMN_RATIO), QStringLiteral("20%"));  // of the sizes after brotli
    QCOMPARE(pages_.text(0, COLUMN_ORIGINAL_SIZE), QStringLiteral("1000"));
    QCOMPARE(pages_.pageRow(1).image, int(IMAGE_INTERNET_FAILED));
    QCOMPARE(pages_.text(1, COLUMN_OUTPUT_NAME),
             QString::fromLatin1(ROW_ERROR_TEXT) + output_ + "/b.html : HTTP 404 Not Found");
    QCOMPARE(progress_, (QList<int>{50, 100, 0}));
}

void PackRunTests::unwritableReportWarnsOnce()
{
    addPage("a.html", 500);
    addPage("b.html", 500);
    asker_.answers.enqueue(Answer::Ok);
    RunTotals totals;
    makeRun().packAll(totals, folder_->path() + "/no/such/folder/quillboxfilelist.txt");
    QCOMPARE(asker_.questions.size(), 1);
    QVERIFY(asker_.questions[0].text.startsWith("The run report "));
    QCOMPARE(requests_.size(), 2);
    QCOMPARE(pages_.pageRow(1).image, int(IMAGE_LOCAL_PACKED));
}

void PackRunTests::reportGoesIntoTheOutputFolder()
{
    // The window runs in the folder of the last page picked; the report is not left there.
    const QString a = addPage("a.html", 500);
    const QString startFolder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(input_));
    RunTotals totals;
    makeRun().packAll(totals);
    QDir::setCurrent(startFolder);
    QVERIFY(!QFileInfo::exists(input_ + "/" + RUN_REPORT_FILE));
    report_ = output_ + "/" + RUN_REPORT_FILE;
    QCOMPARE(reportLines(), QStringList{a + " " + pages_.text(0, COLUMN_RATIO) + " 500 "
                                        + pages_.text(0, COLUMN_PACKED_SIZE)});
}

void PackRunTests::singleRowAddsToTheTotals()
{
    addPage("a.html", 500);
    addPage("b.html", 700);
    RunTotals totals{100, 50};
    int conversions = 0;
    PackRun run = makeRun([&conversions](ConvertRequest& request) {
        ++conversions;
        QFile out(request.output);
        out.open(QIODevice::WriteOnly);
        out.write(QByteArray(300, 'x'));
        return 300L;
    });
    run.packSelected(1, totals);
    QCOMPARE(conversions, 1);
    QCOMPARE(totals.original, qint64(800));
    QCOMPARE(totals.packed, qint64(350));
    QCOMPARE(pages_.text(1, COLUMN_RATIO), QStringLiteral("57%"));  // 57.1 truncated
    QCOMPARE(pages_.text(0, COLUMN_RATIO), QStringLiteral("-"));
    QVERIFY(!QFileInfo::exists(report_));
    QCOMPARE(progress_, (QList<int>{100, 0}));
}

void PackRunTests::stopFinishesThePagesInProgress()
{
    for (const char* name : {"a.html", "b.html", "c.html", "d.html"})
        addPage(name, 800);
    // Each worker holds its first page until both are inside: the pages are packed side by
    // side, each worker with an engine of its own.
    std::mutex turn;
    std::condition_variable changed;
    int inside = 0;
    bool open = false;
    std::atomic<int> engines = 0;
    PackRun run(settings_, pages_, asker_, [&](const std::atomic<bool>&) {
        ++engines;
        auto engine = std::make_shared<EngineConverter>();
        PagePackers packers;
        packers.convert = [&, engine](ConvertRequest& request) {
            std::unique_lock lock(turn);
            ++inside;
            changed.notify_all();
            changed.wait(lock, [&] { return open; });
            lock.unlock();
            return engine->convert(request);
        };
        return packers;
    });
    const auto openGate = [&] {
        const std::lock_guard lock(turn);
        open = true;
        changed.notify_all();
    };
    const auto alwaysOpen = qScopeGuard(openGate);  // a failing check must not leave them held
    run.workers = 2;
    run.showProgress = [this](int percent) { progress_.append(percent); };
    run.startAll(report_);
    {
        std::unique_lock lock(turn);
        QVERIFY(changed.wait_for(lock, std::chrono::seconds(20), [&] { return inside == 2; }));
    }
    QVERIFY(run.isRunning());
    run.stop();
    openGate();
    run.waitForEnd();

    QVERIFY(!run.isRunning());
    QVERIFY(run.wasStopped());
    QCOMPARE(engines.load(), 2);
    QCOMPARE(inside, 2);
    // The two pages in progress were finished and shown; the others were not started.
    for (int row = 0; row < 4; ++row) {
        const QString out = output_ + "/" + QFileInfo(pages_.text(row, COLUMN_FILE_NAME)).fileName();
        QCOMPARE(QFileInfo::exists(out), row < 2);
        QCOMPARE(pages_.pageRow(row).image, int(row < 2 ? IMAGE_LOCAL_PACKED : IMAGE_LOCAL));
        QCOMPARE(pages_.text(row, COLUMN_PACKED_SIZE),
                 row < 2 ? QString::number(QFileInfo(out).size()) : QString());
    }
    QCOMPARE(reportLines().size(), 2);
    QCOMPARE(progress_, (QList<int>{25, 50, 0}));
}

void PackRunTests::ratioFollowsTheServedSetting()
{
    // A page that JavaScript packing makes smaller as it is, but not after gzip.
    QFile article(QStringLiteral(QUILLBOX_TEST_DATA "/pages/article.html"));
    QVERIFY(article.open(QIODevice::ReadOnly));
    const QByteArray text = article.readAll();
    addPage("article.html", int(text.size()), text);
    RunTotals totals;
    makeRun().packAll(totals, report_);
    QCOMPARE(pages_.text(0, COLUMN_RATIO), ratioText(text.size(), pages_.text(0, COLUMN_PACKED_SIZE).toLongLong()));
    const qint64 packedRaw = pages_.text(0, COLUMN_PACKED_SIZE).toLongLong();

    settings_.compression.served = QStringLiteral("gzip");
    settings_.directories.overwriteWarning = 0;
    makeRun().packAll(totals, report_);
    QFile output(output_ + "/article.html");
    QVERIFY(output.open(QIODevice::ReadOnly));
    const QByteArray written = output.readAll();
    const auto gzipped = [](const QByteArray& bytes) {
        return qint64(gzipBytes(std::string_view(bytes.constData(), size_t(bytes.size()))).size());
    };
    // Plain compaction travels smaller: it is kept though larger as it is, and the ratio is
    // that of the sizes after gzip; the size columns stay those of the files.
    QVERIFY(written.size() > packedRaw);
    QVERIFY(!written.startsWith("<!--Quillbox-->"));
    QCOMPARE(pages_.text(0, COLUMN_PACKED_SIZE), QString::number(written.size()));
    QCOMPARE(pages_.text(0, COLUMN_RATIO), ratioText(gzipped(text), gzipped(written)));
}

void PackRunTests::readOnlyFolders()
{
    if (geteuid() == 0)
        QSKIP("root may write into any folder");
    const QFileDevice::Permissions readOnly =
        QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadUser | QFileDevice::ExeUser;
    const QFileDevice::Permissions writable = readOnly | QFileDevice::WriteOwner | QFileDevice::WriteUser;
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(input_, writable);
        QFile::setPermissions(output_, writable);
    });
    // The window runs in the folder of the pages, here read-only: nothing is asked or written
    // there, the report goes to the output folder.
    addPage("a.html", 500);
    QVERIFY(QFile::setPermissions(input_, readOnly));
    const QString startFolder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(input_));
    RunTotals totals;
    makeRun().packAll(totals);
    QDir::setCurrent(startFolder);
    QCOMPARE(asker_.questions.size(), 0);
    QCOMPARE(pages_.pageRow(0).image, int(IMAGE_LOCAL_PACKED));
    QVERIFY(QFileInfo::exists(output_ + "/" + RUN_REPORT_FILE));
    QCOMPARE(QDir(input_).entryList(QDir::Files), QStringList{"a.html"});

    // A read-only output folder: one warning for the report, and the row says why it failed
    // and leaves the earlier output as it was.
    QFile earlier(output_ + "/a.html");
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    const QByteArray packed = earlier.readAll();
    earlier.close();
    QVERIFY(QFile::remove(output_ + "/" + RUN_REPORT_FILE));
    QVERIFY(QFile::setPermissions(output_, readOnly));
    settings_.directories.overwriteWarning = 0;
    asker_.answers.enqueue(Answer::Ok);
    makeRun().packAll(totals);
    QCOMPARE(asker_.questions.size(), 1);
    QVERIFY(asker_.questions[0].text.startsWith("The run report "));
    const QString out = QDir::toNativeSeparators(earlier.fileName());
    QCOMPARE(pages_.text(0, COLUMN_OUTPUT_NAME),
             QString::fromLatin1(ROW_ERROR_TEXT) + out + " : cannot write " + out + ": "
                 + QString::fromLocal8Bit(std::strerror(EACCES)));
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll(), packed);
}

QTEST_GUILESS_MAIN(PackRunTests)
#include "PackRunTests.moc"
