// Commands that fill the page list beyond Add Files: Add/Modify Internet Address (with a
// scripted address and with the real dialog), Import Directory Tree over a temporary tree, and
// the tip of the day, by command and at start-up.
#include "Commands.h"
#include "DesktopApp.h"
#include "MainWindow.h"
#include "ModalDialogs.h"
#include "ScriptedAsker.h"
#include "SettingsStore.h"
#include "TipOfDayDlg.h"
#include "TreeListFile.h"
#include "WebPageDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include <functional>
#include <memory>
#include <optional>

namespace {

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
}

// A page row's texts and image, as one line for comparisons.
QString describeRow(const PageListModel& pages, int row)
{
    QStringList parts;
    for (int column = 0; column < COLUMN_COUNT; ++column)
        parts.append(pages.text(row, column));
    parts.append(QString::number(pages.pageRow(row).image));
    return parts.join(QLatin1Char('|'));
}

constexpr int kAbsent = -12345;

} // namespace

class ListCommandsTests : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void internetAddress_data();
    void internetAddress();
    void internetAddressThroughTheDialog_data();
    void internetAddressThroughTheDialog();
    void longAddressIsRefusedUntilCancel();
    void shortcutMenuReachesTheCommand();

    void importAddsThePagesOfTheTree();
    void importedTreeIsPackedInPlace();
    void importStops_data();
    void importStops();
    void treeListFileIsTemporary();

    void tipCommandShowsTheDialog();
    void tipAtStartUp_data();
    void tipAtStartUp();

private:
    QStringList listedNames() const;
    void selectRow(int row);
    // A tree with a.html, b.HTM and c.txt, and sub/d.htm; returns its folder.
    QString makeTree();
    int storedTip(const QString& entry) const
    {
        return store_->getProfileInt(QStringLiteral("Tip"), entry, kAbsent);
    }

    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<SettingsStore> store_;
    std::unique_ptr<ScriptedAsker> asker_;
    std::unique_ptr<MainWindow> window_;
    QString startFolder_;
};

void ListCommandsTests::init()
{
    startFolder_ = QDir::currentPath();
    folder_ = std::make_unique<QTemporaryDir>();
    QVERIFY(folder_->isValid());
    qputenv("XDG_CONFIG_HOME", (folder_->path() + "/config").toLocal8Bit());
    QVERIFY(QDir().mkpath(folder_->path() + "/input"));
    store_ = std::make_unique<SettingsStore>();
    store_->writeProfileString("Directories", "Input", folder_->path() + "/input");
    asker_ = std::make_unique<ScriptedAsker>();
    window_ = std::make_unique<MainWindow>(*store_, *asker_);
}

void ListCommandsTests::cleanup()
{
    window_.reset();
    QCOMPARE(asker_->unexpectedCalls, 0);
    QDir::setCurrent(startFolder_);
}

QStringList ListCommandsTests::listedNames() const
{
    QStringList names;
    for (int row = 0; row < window_->pages().rowCount(); ++row)
        names.append(window_->pages().text(row, COLUMN_FILE_NAME));
    return names;
}

void ListCommandsTests::selectRow(int row)
{
    QItemSelectionModel* selection = window_->pageList()->selectionModel();
    selection->clearSelection();
    if (row >= 0) {
        selection->select(window_->pages().index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

QString ListCommandsTests::makeTree()
{
    const QString tree = folder_->path() + "/tree";
    if (!QDir().mkpath(tree + "/sub"))
        qFatal("cannot make the tree");
    writeFile(tree + "/a.html", "<p>a</p>");
    writeFile(tree + "/b.HTM", "<p>b</p>");
    writeFile(tree + "/c.txt", "not a page");
    writeFile(tree + "/sub/d.htm", "<p>d</p>");
    return tree;
}

void ListCommandsTests::internetAddress_data()
{
    QTest::addColumn<QStringList>("rows");       // rows before the command
    QTest::addColumn<QString>("selected");       // the row selected, empty for none
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QString>("answer");         // what the dialog gives when confirmed
    QTest::addColumn<QStringList>("asked");      // addresses the dialog opened with
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("modified");

    const QString local = QStringLiteral("/site/a.html");
    QTest::newRow("add to an empty list")
        << QStringList{} << "" << true << "http://a.org/" << QStringList{""}
        << QStringList{"http://a.org/"} << true;
    QTest::newRow("add beside a local page")
        << QStringList{local} << "" << true << "https://b.org/x.htm" << QStringList{""}
        << QStringList{local, "https://b.org/x.htm"} << true;
    QTest::newRow("the same address twice gives two rows")
        << QStringList{"http://a.org/"} << "" << true << "http://a.org/" << QStringList{""}
        << QStringList{"http://a.org/", "http://a.org/"} << true;
    QTest::newRow("add cancelled")
        << QStringList{local} << "" << false << "" << QStringList{""} << QStringList{local}
        << false;
    QTest::newRow("modify replaces the row")
        << QStringList{local, "http://m.org/"} << "http://m.org/" << true << "http://n.org/"
        << QStringList{"http://m.org/"} << QStringList{local, "http://n.org/"} << true;
    QTest::newRow("modified address moves to its sorted place")
        << QStringList{"http://b.org/", "http://m.org/"} << "http://m.org/" << true
        << "http://a.org/" << QStringList{"http://m.org/"}
        << QStringList{"http://a.org/", "http://b.org/"} << true;
    QTest::newRow("modify cancelled")
        << QStringList{"http://m.org/"} << "http://m.org/" << false << ""
        << QStringList{"http://m.org/"} << QStringList{"http://m.org/"} << false;
    QTest::newRow("secure address in capitals")
        << QStringList{"HTTPS://M.ORG/"} << "HTTPS://M.ORG/" << true << "HTTPS://N.ORG/"
        << QStringList{"HTTPS://M.ORG/"} << QStringList{"HTTPS://N.ORG/"} << true;
    QTest::newRow("local row selected does nothing")
        << QStringList{local, "http://m.org/"} << local << true << "http://n.org/"
        << QStringList{} << QStringList{local, "http://m.org/"} << false;
}

void ListCommandsTests::internetAddress()
{
    QFETCH(QStringList, rows);
    QFETCH(QString, selected);
    QFETCH(bool, confirm);
    QFETCH(QString, answer);
    QFETCH(QStringList, asked);
    QFETCH(QStringList, expected);
    QFETCH(bool, modified);

    PageListModel& pages = window_->pages();
    for (const QString& name : rows)
        pages.addPage(name, name.startsWith('/') ? IMAGE_LOCAL : IMAGE_INTERNET);
    // Every row looks packed, so a replaced row shows whether its results went with it.
    for (int row = 0; row < pages.rowCount(); ++row) {
        pages.setText(row, COLUMN_RATIO, "40%");
        pages.setText(row, COLUMN_ORIGINAL_SIZE, "1000");
        pages.setText(row, COLUMN_PACKED_SIZE, "600");
        pages.setText(row, COLUMN_OUTPUT_NAME, "/out/page.html");
        pages.setImage(row, pages.pageRow(row).image + 2);
    }
    QStringList before;
    for (int row = 0; row < pages.rowCount(); ++row)
        before.append(describeRow(pages, row));
    selectRow(selected.isEmpty() ? -1 : pages.findFileName(selected));

    QStringList editorInputs;
    window_->setAddressEditor([&](const QString& address) -> std::optional<QString> {
        editorInputs.append(address);
        if (!confirm)
            return std::nullopt;
        return answer;
    });
    window_->runCommand(CMD_INTERNET_ADDRESS);

    QCOMPARE(editorInputs, asked);
    QCOMPARE(listedNames(), expected);
    QCOMPARE(window_->isModified(), modified);
    // Rows left alone keep their results; the row made by the command is fresh.
    QStringList after;
    for (int row = 0; row < pages.rowCount(); ++row)
        after.append(describeRow(pages, row));
    int fresh = 0;
    for (const QString& row : after) {
        if (before.contains(row))
            continue;
        QVERIFY2(row.endsWith("|-|.|||1"), qPrintable(row));
        ++fresh;
    }
    QCOMPARE(fresh, modified ? 1 : 0);
}

void ListCommandsTests::internetAddressThroughTheDialog_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("listed");
    QTest::newRow("no scheme") << "example.org/page.html" << "http://example.org/page.html";
    QTest::newRow("web scheme kept") << "http://example.org/" << "http://example.org/";
    QTest::newRow("secure scheme in capitals kept") << "HTTPS://Example.org/" << "HTTPS://Example.org/";
    QTest::newRow("another scheme") << "ftp://example.org/" << "http://ftp://example.org/";
    QTest::newRow("empty") << "" << "http://";
}

void ListCommandsTests::internetAddressThroughTheDialog()
{
    QFETCH(QString, typed);
    QFETCH(QString, listed);
    window_->show();
    QString shownAddress = QStringLiteral("(not shown)");
    whenModalOpens<WebPageDlg>(this, [&](WebPageDlg& dialog) {
        auto* edit = dialog.findChild<QLineEdit*>("addressEdit");
        shownAddress = edit->text();
        edit->clear();
        QTest::keyClicks(edit, typed);
        QTest::mouseClick(dialog.findChild<QPushButton*>("okButton"), Qt::LeftButton);
    });
    window_->findChild<QAction*>("fileInternetAddress")->trigger();
    QCOMPARE(shownAddress, QString());
    QCOMPARE(listedNames(), QStringList{listed});
    QCOMPARE(window_->pages().pageRow(0).image, int(IMAGE_INTERNET));
    QVERIFY(window_->isModified());
}

void ListCommandsTests::longAddressIsRefusedUntilCancel()
{
    const QString longAddress = "http://example.org/" + QString(76, QLatin1Char('p'));
    QCOMPARE(longAddress.size(), 95);
    window_->pages().addPage(longAddress, IMAGE_INTERNET);
    selectRow(0);
    window_->show();
    asker_->answers.enqueue(Asker::Answer::Ok);
    bool stayedOpen = false;
    whenModalOpens<WebPageDlg>(this, [&](WebPageDlg& dialog) {
        QTest::mouseClick(dialog.findChild<QPushButton*>("okButton"), Qt::LeftButton);
        stayedOpen = dialog.isVisible();
        QTest::mouseClick(dialog.findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    });
    window_->runCommand(CMD_INTERNET_ADDRESS);
    QVERIFY(stayedOpen);
    QCOMPARE(asker_->questionTexts(),
             QStringList{"Please enter no more than 90 characters."});
    QCOMPARE(listedNames(), QStringList{longAddress});
    QVERIFY(!window_->isModified());
}

void ListCommandsTests::shortcutMenuReachesTheCommand()
{
    window_->pages().addPage("http://m.org/", IMAGE_INTERNET);
    selectRow(0);
    QStringList editorInputs;
    window_->setAddressEditor([&](const QString& address) -> std::optional<QString> {
        editorInputs.append(address);
        return QStringLiteral("http://n.org/");
    });
    auto* item = window_->shortcutMenu()->findChild<QAction*>("shortcutInternetAddress");
    QVERIFY(item);
    item->trigger();
    QCOMPARE(editorInputs, QStringList{"http://m.org/"});
    QCOMPARE(listedNames(), QStringList{"http://n.org/"});
}

void ListCommandsTests::importAddsThePagesOfTheTree()
{
    const QString tree = makeTree();
    window_->pages().addPage("/kept/page.html", IMAGE_LOCAL);
    QDir::setCurrent(folder_->path() + "/input");

    asker_->folders.enqueue(tree);
    asker_->answers.enqueue(Asker::Answer::Yes);
    window_->findChild<QAction*>("fileImportTree")->trigger();

    QCOMPARE(asker_->folderTitles, QStringList{"Import all htmls under directory :"});
    QCOMPARE(asker_->folderStarts, QStringList{folder_->path() + "/input"});
    QCOMPARE(asker_->questions.size(), 1);
    QCOMPARE(asker_->questions[0].caption, QStringLiteral("Warning"));
    QCOMPARE(asker_->questions[0].text,
             QStringLiteral("This may take some time.\nDo you wish to continue ?"));
    QCOMPARE(asker_->questions[0].buttons, Asker::Buttons::YesNo);
    QCOMPARE(asker_->questions[0].icon, Asker::Icon::Question);

    const QString a = QDir::toNativeSeparators(tree + "/a.html");
    const QString b = QDir::toNativeSeparators(tree + "/b.HTM");
    const QString d = QDir::toNativeSeparators(tree + "/sub/d.htm");
    QStringList expected = {"/kept/page.html", a, b, d};
    expected.sort(Qt::CaseInsensitive);
    QCOMPARE(listedNames(), expected);
    for (int row = 0; row < window_->pages().rowCount(); ++row) {
        QCOMPARE(window_->pages().pageRow(row).image, int(IMAGE_LOCAL));
        QCOMPARE(window_->pages().text(row, COLUMN_RATIO), QStringLiteral("-"));
    }
    QVERIFY(window_->isModified());
    QCOMPARE(window_->windowTitle(), QStringLiteral("Quillbox[*]"));
    // The list file is the program's own temporary file: nothing is left in the current folder
    // or beside the tree.
    QCOMPARE(QDir::current().entryList(QDir::Files), QStringList{});
    QVERIFY(!QFileInfo::exists(tree + "/quillboxtmpoutput.tmp"));

    // A second import lists every page again.
    asker_->folders.enqueue(tree);
    asker_->answers.enqueue(Asker::Answer::Yes);
    window_->runCommand(CMD_IMPORT_TREE);
    QStringList twice = {"/kept/page.html", a, a, b, b, d, d};
    twice.sort(Qt::CaseInsensitive);
    QCOMPARE(listedNames(), twice);
}

void ListCommandsTests::importedTreeIsPackedInPlace()
{
    const QString tree = makeTree();
    writeFile(tree + "/sub/a.html", "<p>another a</p>");
    const QString output = folder_->path() + "/out";
    QVERIFY(QDir().mkpath(output));
    window_->settings().directories.outputFolder = output;
    window_->settings().directories.overwriteWarning = 0;
    window_->setConverter([](ConvertRequest& request) {
        QFile out(request.output);
        if (!out.open(QIODevice::WriteOnly))
            return -1L;
        out.write(QFile::encodeName(request.input));
        return long(out.size());
    });
    asker_->folders.enqueue(tree);
    asker_->answers.enqueue(Asker::Answer::Yes);
    window_->runCommand(CMD_IMPORT_TREE);
    window_->runCommand(CMD_PACK);
    window_->waitForRun();

    for (const char* name : {"/a.html", "/b.HTM", "/sub/a.html", "/sub/d.htm"}) {
        QFile packed(output + name);
        QVERIFY2(packed.open(QIODevice::ReadOnly), name);
        QCOMPARE(QFile::decodeName(packed.readAll()), QDir::toNativeSeparators(tree + name));
    }
}

void ListCommandsTests::importStops_data()
{
    QTest::addColumn<bool>("folderChosen");
    QTest::addColumn<Asker::Answer>("answer");
    QTest::addColumn<bool>("emptyFolder");
    QTest::addColumn<int>("questions");
    QTest::addColumn<bool>("modified");
    QTest::newRow("folder chooser cancelled") << false << Asker::Answer::Yes << false << 0 << false;
    QTest::newRow("answer No") << true << Asker::Answer::No << false << 1 << false;
    QTest::newRow("folder without pages") << true << Asker::Answer::Yes << true << 1 << true;
}

void ListCommandsTests::importStops()
{
    QFETCH(bool, folderChosen);
    QFETCH(Asker::Answer, answer);
    QFETCH(bool, emptyFolder);
    QFETCH(int, questions);
    QFETCH(bool, modified);

    const QString tree = makeTree();
    const QString empty = folder_->path() + "/empty";
    QVERIFY(QDir().mkpath(empty));
    window_->pages().addPage("/kept/page.html", IMAGE_LOCAL);
    if (folderChosen)
        asker_->folders.enqueue(emptyFolder ? empty : tree);
    else
        asker_->folders.enqueue(QString());
    if (questions > 0)
        asker_->answers.enqueue(answer);
    window_->runCommand(CMD_IMPORT_TREE);
    QCOMPARE(asker_->questions.size(), questions);
    QCOMPARE(listedNames(), QStringList{"/kept/page.html"});
    QCOMPARE(window_->isModified(), modified);
}

void ListCommandsTests::treeListFileIsTemporary()
{
    const QString tree = makeTree();
    QString listPath;
    {
        const TreeListFile list(tree);
        listPath = list.fileName();
        QVERIFY(!listPath.isEmpty());
        QCOMPARE(QFileInfo(listPath).absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
        QFile file(listPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.value(0), QByteArray("Quillbox1.0"));
        QStringList listed;
        for (qsizetype at = 1; at < lines.size(); ++at) {
            if (!lines[at].isEmpty())
                listed.append(QFile::decodeName(lines[at]));
        }
        listed.sort();
        QCOMPARE(listed, (QStringList{QDir::toNativeSeparators(tree + "/a.html"),
                                      QDir::toNativeSeparators(tree + "/b.HTM"),
                                      QDir::toNativeSeparators(tree + "/sub/d.htm")}));
        // Two imports at once do not share a file.
        const TreeListFile other(tree);
        QVERIFY(other.fileName() != listPath);
    }
    QVERIFY(!QFileInfo::exists(listPath));
}

void ListCommandsTests::tipCommandShowsTheDialog()
{
    const QString tips = folder_->path() + "/tips.txt";
    writeFile(tips, "; comment\nfirst tip\nsecond tip\n");
    store_->writeProfileInt("Tip", "StartUp", 0);
    window_ = std::make_unique<MainWindow>(*store_, *asker_);
    window_->setTipsLocations({tips});
    QCOMPARE(window_->settings().general.noStartupTips, 0);
    window_->show();

    QString shown = QStringLiteral("(not shown)");
    whenModalOpens<TipOfDayDlg>(this, [&](TipOfDayDlg& dialog) {
        shown = dialog.findChild<QLabel*>("tipText")->text();
        dialog.findChild<QCheckBox*>("showTipsBox")->setChecked(false);
        QTest::mouseClick(dialog.findChild<QPushButton*>("closeButton"), Qt::LeftButton);
    });
    window_->runCommand(CMD_SHOW_TIP);
    QCOMPARE(shown, QStringLiteral("first tip"));
    QCOMPARE(storedTip("StartUp"), 1);
    QCOMPARE(storedTip("FilePos"), int(QByteArray("; comment\nfirst tip\n").size()));
    // The window's own record follows, so the Properties sheet shows and keeps the choice.
    QCOMPARE(window_->settings().general.noStartupTips, 1);

    // The command shows the dialog whatever the start-up choice; this time it continues.
    whenModalOpens<TipOfDayDlg>(this, [&](TipOfDayDlg& dialog) {
        shown = dialog.findChild<QLabel*>("tipText")->text();
        dialog.reject();
    });
    window_->runCommand(CMD_SHOW_TIP);
    QCOMPARE(shown, QStringLiteral("second tip"));
    QCOMPARE(storedTip("StartUp"), 1);
}

void ListCommandsTests::tipAtStartUp_data()
{
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<int>("startUp");  // stored "Tip"/"StartUp"; kAbsent for none
    QTest::addColumn<bool>("shown");
    QTest::addColumn<bool>("positionMoves");
    QTest::newRow("first run") << QStringList{} << kAbsent << true << true;
    QTest::newRow("tips switched on") << QStringList{"page.qbx"} << 0 << true << true;
    QTest::newRow("tips switched off: built, not shown") << QStringList{} << 1 << false << true;
    QTest::newRow("/Embedding") << QStringList{"/Embedding"} << kAbsent << false << false;
    QTest::newRow("-automation") << QStringList{"-automation"} << 0 << false << false;
    QTest::newRow("other switch") << QStringList{"/Other"} << kAbsent << true << true;
}

void ListCommandsTests::tipAtStartUp()
{
    QFETCH(QStringList, switches);
    QFETCH(int, startUp);
    QFETCH(bool, shown);
    QFETCH(bool, positionMoves);

    window_.reset();  // start-up comes before the main window
    store_->clearSection("Tip");
    if (startUp != kAbsent)
        store_->writeProfileInt("Tip", "StartUp", startUp);
    const QString tips = folder_->path() + "/tips.txt";
    writeFile(tips, "only tip\n");

    bool dialogShown = false;
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [&] {
        if (auto* dialog = qobject_cast<TipOfDayDlg*>(QApplication::activeModalWidget())) {
            dialogShown = true;
            QTest::mouseClick(dialog->findChild<QPushButton*>("closeButton"), Qt::LeftButton);
        }
    });
    poll->start(20);
    DesktopApp::showTipAtStartup(switches, *store_, *asker_, {tips});
    delete poll;

    QCOMPARE(dialogShown, shown);
    QCOMPARE(storedTip("FilePos"), positionMoves ? int(QByteArray("only tip\n").size()) : kAbsent);
    QCOMPARE(storedTip("StartUp"), shown ? 0 : startUp);
    window_ = std::make_unique<MainWindow>(*store_, *asker_);
}

QTEST_MAIN(ListCommandsTests)
#include "ListCommandsTests.moc"
