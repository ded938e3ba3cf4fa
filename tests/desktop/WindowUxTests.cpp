// The main window as a desktop user meets it: every control visible at the least size, the
// standard keys and mnemonics, Enter and double-click, drag and drop, sorting, the unsaved mark,
// what is remembered across a restart, one version everywhere, and what is said when a program
// is missing.
#include "AboutDlg.h"
#include "Commands.h"
#include "MainWindow.h"
#include "ProgramVersion.h"
#include "ProjectFile.h"
#include "PropertiesSheet.h"
#include "ScriptedAsker.h"
#include "SettingsStore.h"
#include "ViewCommands.h"
#include "WindowRules.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QtTest>

namespace {

class FakeLauncher : public Launcher {
public:
    QStringList opened;
    bool documentsOpen = true;
    bool openDocument(const QString& target) override
    {
        opened.append(target);
        return documentsOpen;
    }
    bool startProgram(const QString&, const QStringList&) override { return true; }
};

void writeFile(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<p>page</p>\n");
}

} // namespace

class WindowUxTests : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void leastSizeKeepsEveryControlVisible_data();
    void leastSizeKeepsEveryControlVisible();
    void standardKeysRunTheirCommands_data();
    void standardKeysRunTheirCommands();
    void mnemonicsAreDistinctInEachMenu();
    void enterAndDoubleClickViewTheRow_data();
    void enterAndDoubleClickViewTheRow();
    void dropAddsPagesAndFolders_data();
    void dropAddsPagesAndFolders();
    void headerClickSortsWholeRows_data();
    void headerClickSortsWholeRows();
    void titleMarksUnsavedChanges();
    void windowStateSurvivesARestart_data();
    void windowStateSurvivesARestart();
    void versionIsTheSameEverywhere_data();
    void versionIsTheSameEverywhere();
    void missingProgramsAreNamed_data();
    void missingProgramsAreNamed();

private:
    void newWindow();
    void showActive();
    void selectRow(int row);
    QStringList listedNames() const;
    QAction* action(const char* name) const
    {
        return window_->findChild<QAction*>(QString::fromLatin1(name));
    }

    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<SettingsStore> store_;
    std::unique_ptr<ScriptedAsker> asker_;
    std::unique_ptr<MainWindow> window_;
    FakeLauncher launcher_;
    QString startFolder_;
};

void WindowUxTests::init()
{
    startFolder_ = QDir::currentPath();
    folder_ = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", (folder_->path() + "/config").toLocal8Bit());
    store_ = std::make_unique<SettingsStore>();
    store_->writeProfileString("Directories", "Input", folder_->path());
    store_->writeProfileString("Directories", "Output", folder_->path() + "/out");
    asker_ = std::make_unique<ScriptedAsker>();
    newWindow();
}

void WindowUxTests::cleanup()
{
    if (window_)
        window_->setModified(false);
    window_.reset();
    QCOMPARE(asker_->unexpectedCalls, 0);
    QDir::setCurrent(startFolder_);
}

void WindowUxTests::newWindow()
{
    window_ = std::make_unique<MainWindow>(*store_, *asker_);
    launcher_ = FakeLauncher();
    window_->setLauncher(&launcher_);
}

void WindowUxTests::showActive()
{
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
}

void WindowUxTests::selectRow(int row)
{
    window_->pageList()->selectionModel()->select(
        window_->pages().index(row, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QStringList WindowUxTests::listedNames() const
{
    QStringList names;
    for (int row = 0; row < window_->pages().rowCount(); ++row)
        names.append(window_->pages().text(row, COLUMN_FILE_NAME));
    return names;
}

void WindowUxTests::leastSizeKeepsEveryControlVisible_data()
{
    QTest::addColumn<QString>("totals");  // text of the three totals parts; empty for none
    QTest::newRow("before a run") << "";
    QTest::newRow("after a long run") << "Packed : 9999999999 bytes";
}

void WindowUxTests::leastSizeKeepsEveryControlVisible()
{
    QFETCH(QString, totals);
    for (int part = 3; part <= 5; ++part)
        window_->setStatusText(part, totals);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    // As small as the window lets itself be made, once its layouts have seen the texts.
    QCoreApplication::processEvents();
    window_->resize(1, 1);
    QCoreApplication::processEvents();
    QTRY_COMPARE(window_->size(), window_->minimumSize());
    const QRect inside = window_->rect();
    QList<QWidget*> controls;
    for (const char* name : {"packButton", "addButton", "removeButton", "viewButton", "logo",
                             "openProjectButton", "saveButton", "progressBar", "stopButton",
                             "supportButton", "pageList"})
        controls.append(window_->findChild<QWidget*>(QString::fromLatin1(name)));
    for (int part = 0; part < STATUS_PART_COUNT; ++part)
        controls.append(window_->findChild<QWidget*>(QStringLiteral("statusPart%1").arg(part)));
    QList<QRect> placed;
    for (QWidget* control : controls) {
        QVERIFY(control);
        const QString name = control->objectName();
        QVERIFY2(control->isVisible(), qPrintable(name));
        const QRect rect(control->mapTo(window_.get(), QPoint(0, 0)), control->size());
        QVERIFY2(inside.contains(rect), qPrintable(name));
        const bool gap = name.startsWith(QStringLiteral("statusPart"))
                      && STATUS_PART_BORDERLESS.at(name.mid(10).toInt());
        if (!gap)
            QVERIFY2(!rect.isEmpty(), qPrintable(name));
        // No control covers another.
        for (const QRect& other : placed)
            QVERIFY2(!rect.intersects(other), qPrintable(name));
        placed.append(rect);
    }
    // Every status part shows its whole text.
    for (int part = 0; part < STATUS_PART_COUNT; ++part) {
        auto* label = window_->findChild<QLabel*>(QStringLiteral("statusPart%1").arg(part));
        QVERIFY2(label->contentsRect().width()
                     >= label->fontMetrics().horizontalAdvance(label->text()),
                 qPrintable(label->objectName()));
    }
    // The list needs no sideways scroll bar at the least size.
    QVERIFY(!window_->pageList()->horizontalScrollBar()->isVisible());
}

void WindowUxTests::standardKeysRunTheirCommands_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("standardKey");
    QTest::addColumn<QString>("effect");
    QTest::newRow("New") << "fileNew" << int(QKeySequence::New) << "asks to save";
    QTest::newRow("Open") << "fileOpen" << int(QKeySequence::Open) << "asks to save";
    QTest::newRow("Save") << "fileSave" << int(QKeySequence::Save) << "save chooser";
    QTest::newRow("Save As") << "fileSaveAs" << int(QKeySequence::SaveAs) << "save chooser";
    QTest::newRow("Help") << "helpIndex" << int(QKeySequence::HelpContents) << "help";
    QTest::newRow("Preferences") << "optionsProperties" << int(QKeySequence::Preferences)
                                 << "properties";
    QTest::newRow("Quit") << "fileExit" << int(QKeySequence::Quit) << "asks to save";
}

void WindowUxTests::standardKeysRunTheirCommands()
{
    QFETCH(QString, item);
    QFETCH(int, standardKey);
    QFETCH(QString, effect);
    QAction* command = action(qPrintable(item));
    // The desktop's own keys are there (some desktops have none for some commands).
    for (const QKeySequence& key :
         QKeySequence::keyBindings(QKeySequence::StandardKey(standardKey)))
        QVERIFY2(command->shortcuts().contains(key), qPrintable(key.toString()));
    QVERIFY(!command->shortcuts().isEmpty());
    for (const QKeySequence& key : command->shortcuts()) {
        window_->pages().addPage(QStringLiteral("/site/a.html"), IMAGE_LOCAL);
        window_->setModified(true);
        showActive();
        asker_->questions.clear();
        asker_->chooserDirectories.clear();
        launcher_.opened.clear();
        bool sheetShown = false;
        if (effect == "properties") {
            QTimer::singleShot(0, this, [&sheetShown] {
                auto* sheet = qobject_cast<PropertiesSheet*>(QApplication::activeModalWidget());
                sheetShown = sheet != nullptr;
                if (sheet)
                    sheet->reject();
            });
        }
        asker_->answers.enqueue(Asker::Answer::Cancel);  // for the save question
        if (effect == "save chooser")
            asker_->fileNames.enqueue(QString());  // the chooser is cancelled
        QTest::keySequence(window_->pageList(), key);
        const QString shown = key.toString();
        if (effect == "asks to save") {
            QCOMPARE(asker_->questionTexts(), QStringList{"Save untitled project ?"});
            QVERIFY2(window_->isVisible(), qPrintable(shown));  // Cancel keeps everything
        } else {
            asker_->answers.clear();
        }
        if (effect == "save chooser")
            QCOMPARE(asker_->chooserDirectories.size(), 1);
        if (effect == "help") {
            QCOMPARE(launcher_.opened.size(), 1);
            QVERIFY(launcher_.opened.first().endsWith("QuillboxDoc.html"));
        }
        if (effect == "properties")
            QVERIFY2(sheetShown, qPrintable(shown));
        QCOMPARE(window_->pages().rowCount(), 1);
        window_->pages().clear();
    }
}

void WindowUxTests::mnemonicsAreDistinctInEachMenu()
{
    QList<QList<QAction*>> menus{window_->menuBar()->actions(), window_->shortcutMenu()->actions()};
    for (QMenu* menu : window_->findChildren<QMenu*>())
        menus.append(menu->actions());
    for (const QList<QAction*>& items : menus) {
        QSet<QChar> letters;
        for (const QAction* item : items) {
            const QString text = item->text();
            const qsizetype at = text.indexOf(QLatin1Char('&'));
            if (at < 0 || at + 1 >= text.size())
                continue;
            const QChar letter = text.at(at + 1).toLower();
            QVERIFY2(!letters.contains(letter), qPrintable(text));
            letters.insert(letter);
        }
    }
}

void WindowUxTests::enterAndDoubleClickViewTheRow_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Return") << "return";
    QTest::newRow("Enter") << "enter";
    QTest::newRow("double-click") << "double-click";
}

void WindowUxTests::enterAndDoubleClickViewTheRow()
{
    QFETCH(QString, how);
    window_->pages().addPage(QStringLiteral("/site/a.html"), IMAGE_LOCAL);
    window_->pages().addPage(QStringLiteral("/site/b.html"), IMAGE_LOCAL);
    window_->pages().setText(1, COLUMN_OUTPUT_NAME, QStringLiteral("/out/b.html"));
    showActive();
    QTreeView* list = window_->pageList();
    list->setFocus();
    list->setCurrentIndex(window_->pages().index(1, 0));
    selectRow(1);
    if (how == "return")
        QTest::keyClick(list, Qt::Key_Return);
    else if (how == "enter")
        QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
    else {
        // A double-click is a click, then a second press that the system reports as double.
        const QPoint row = list->visualRect(window_->pages().index(1, 0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row);
    }
    QCOMPARE(launcher_.opened, QStringList{"/out/b.html"});
}

void WindowUxTests::dropAddsPagesAndFolders_data()
{
    // Paths relative to a folder holding a.html, b.htm, notes.txt and the tree
    // site/x.html, site/sub/y.HTML, site/readme.txt.
    QTest::addColumn<QStringList>("dropped");
    QTest::addColumn<QStringList>("listed");  // relative to the folder, in list order
    QTest::newRow("one page") << QStringList{"a.html"} << QStringList{"a.html"};
    QTest::newRow("a page twice and another")
        << QStringList{"b.htm", "a.html", "b.htm"} << QStringList{"a.html", "b.htm"};
    QTest::newRow("a folder, as Import Directory Tree")
        << QStringList{"site"} << QStringList{"site/sub/y.HTML", "site/x.html"};
    QTest::newRow("pages and a folder")
        << QStringList{"site", "a.html"}
        << QStringList{"a.html", "site/sub/y.HTML", "site/x.html"};
    QTest::newRow("a page that is not there") << QStringList{"gone.html"} << QStringList{};
}

void WindowUxTests::dropAddsPagesAndFolders()
{
    QFETCH(QStringList, dropped);
    QFETCH(QStringList, listed);
    const QString root = folder_->path() + "/pages";
    for (const char* name : {"a.html", "b.htm", "notes.txt", "site/x.html", "site/sub/y.HTML",
                             "site/readme.txt"})
        writeFile(root + "/" + name);
    QList<QUrl> urls;
    for (const QString& name : dropped)
        urls.append(QUrl::fromLocalFile(root + "/" + name));
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = window_->pageList()->geometry().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &drop);
    QStringList expected;
    for (const QString& name : listed)
        expected.append(QDir::toNativeSeparators(root + "/" + name));
    QCOMPARE(listedNames(), expected);
    QCOMPARE(window_->isModified(), !listed.isEmpty());

    // Addresses that are no local files are not taken.
    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("https://example.org/page.html"))});
    QDragEnterEvent refused(at, Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
    refused.ignore();
    QApplication::sendEvent(window_.get(), &refused);
    QVERIFY(!refused.isAccepted());
}

void WindowUxTests::headerClickSortsWholeRows_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("clicks");            // 1 ascending, 2 descending
    QTest::addColumn<QStringList>("expected");  // File Names in the sorted order
    QTest::addColumn<int>("newAt");             // where a new, unpacked /d.html joins
    // Rows without a number sort first going up, last going down; ties keep their order.
    QTest::newRow("Ratio") << int(COLUMN_RATIO) << 1
                           << QStringList{"/c.html", "/a.html", "/b.html"} << 1;
    QTest::newRow("Original Size, twice") << int(COLUMN_ORIGINAL_SIZE) << 2
                                          << QStringList{"/a.html", "/b.html", "/c.html"} << 3;
    QTest::newRow("Packed Size") << int(COLUMN_PACKED_SIZE) << 1
                                 << QStringList{"/c.html", "/b.html", "/a.html"} << 1;
    QTest::newRow("Output Name, letter case ignored")
        << int(COLUMN_OUTPUT_NAME) << 1 << QStringList{"/c.html", "/b.html", "/a.html"} << 1;
    // The list starts sorted by File Name going up: one click turns it round.
    QTest::newRow("File Name") << int(COLUMN_FILE_NAME) << 1
                               << QStringList{"/c.html", "/b.html", "/a.html"} << 0;
}

void WindowUxTests::headerClickSortsWholeRows()
{
    QFETCH(int, column);
    QFETCH(int, clicks);
    QFETCH(QStringList, expected);
    QFETCH(int, newAt);
    PageListModel& pages = window_->pages();
    // name, ratio, original, packed, output, image
    const QList<QStringList> rows = {{"/a.html", "40%", "1000", "600", "/out/z.html", "2"},
                                     {"/b.html", "90%", "200", "20", "/out/Y.html", "3"},
                                     {"/c.html", "-", ".", "", "", "0"}};
    for (const QStringList& row : rows) {
        const int at = pages.addPage(row[0], row[5].toInt());
        for (int text = 1; text < COLUMN_COUNT; ++text)
            pages.setText(at, text, row[text]);
    }
    showActive();
    selectRow(pages.findFileName(QStringLiteral("/b.html")));
    QHeaderView* header = window_->pageList()->header();
    const QPoint heading(header->sectionViewportPosition(column) + 5, header->height() / 2);
    for (int click = 0; click < clicks; ++click)
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, heading);
    QCOMPARE(listedNames(), expected);
    // Every row still holds its own texts and image.
    for (const QStringList& row : rows) {
        const int at = pages.findFileName(row[0]);
        for (int text = 1; text < COLUMN_COUNT; ++text)
            QCOMPARE(pages.text(at, text), row[text]);
        QCOMPARE(pages.pageRow(at).image, row[5].toInt());
    }
    // The selection followed its row, and a new row joins at its sorted place.
    QCOMPARE(window_->selectedRows(), QList<int>{int(pages.findFileName("/b.html"))});
    QCOMPARE(pages.addPage(QStringLiteral("/d.html"), IMAGE_LOCAL), newAt);
    expected.insert(newAt, QStringLiteral("/d.html"));
    QCOMPARE(listedNames(), expected);
}

void WindowUxTests::titleMarksUnsavedChanges()
{
    showActive();
    QVERIFY(!window_->isWindowModified());
    asker_->fileSelections.enqueue({"/site/a.html"});
    action("fileAddFiles")->trigger();
    QVERIFY(window_->isWindowModified());
    QVERIFY(window_->windowTitle().contains(QStringLiteral("[*]")));
    const QString project = folder_->path() + "/list.qbx";
    asker_->fileNames.enqueue(project);
    action("fileSave")->trigger();
    QVERIFY(QFileInfo::exists(project));
    QVERIFY(!window_->isWindowModified());
}

void WindowUxTests::windowStateSurvivesARestart_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("nameWidth");
    QTest::addColumn<int>("sortColumn");
    QTest::addColumn<int>("sortOrder");
    QTest::newRow("wide, by packed size, descending")
        << QSize(1000, 640) << 420 << int(COLUMN_PACKED_SIZE) << int(Qt::DescendingOrder);
    QTest::newRow("tall, by ratio") << QSize(820, 760) << 250 << int(COLUMN_RATIO)
                                    << int(Qt::AscendingOrder);
}

void WindowUxTests::windowStateSurvivesARestart()
{
    QFETCH(QSize, size);
    QFETCH(int, nameWidth);
    QFETCH(int, sortColumn);
    QFETCH(int, sortOrder);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    window_->resize(size);
    QTRY_COMPARE(window_->size(), size);
    window_->pageList()->setColumnWidth(COLUMN_FILE_NAME, nameWidth);
    window_->pageList()->sortByColumn(sortColumn, Qt::SortOrder(sortOrder));
    QVERIFY(window_->close());
    window_.reset();

    // The next start, with a list that was never sorted by hand.
    newWindow();
    window_->pages().addPage(QStringLiteral("/b.html"), IMAGE_LOCAL);
    window_->pages().addPage(QStringLiteral("/a.html"), IMAGE_LOCAL);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QCOMPARE(window_->size(), size);
    QCOMPARE(window_->pageList()->columnWidth(COLUMN_FILE_NAME), nameWidth);
    QCOMPARE(window_->pageList()->header()->sortIndicatorSection(), sortColumn);
    QCOMPARE(int(window_->pageList()->header()->sortIndicatorOrder()), sortOrder);
    QCOMPARE(window_->pages().sortColumn(), sortColumn);
    QCOMPARE(int(window_->pages().sortOrder()), sortOrder);
}

void WindowUxTests::versionIsTheSameEverywhere_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("status bar") << "status bar";
    QTest::newRow("Help menu") << "help menu";
    QTest::newRow("About box") << "about";
    QTest::newRow("settings path") << "settings";
}

void WindowUxTests::versionIsTheSameEverywhere()
{
    QFETCH(QString, where);
    const QString version = programVersion();
    QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$")).match(version).hasMatch());
    QString shown;
    if (where == "status bar") {
        shown = window_->statusText(0);
    } else if (where == "help menu") {
        shown = action("helpVersion")->text();
    } else if (where == "about") {
        AboutDlg about(window_.get());
        shown = about.findChild<QLabel*>(QStringLiteral("aboutText"))->text();
    } else {
        shown = store_->location();
        QVERIFY(shown.contains(QStringLiteral("/") + version + QStringLiteral("/")));
    }
    // The whole version, not a part of a longer one.
    const QRegularExpression whole(QStringLiteral("(^|[^\\d.])")
                                   + QRegularExpression::escape(version)
                                   + QStringLiteral("($|[^\\d.])"));
    QVERIFY2(whole.match(shown).hasMatch(), qPrintable(shown));
    // No other version is shown beside it.
    QRegularExpression anyVersion(QStringLiteral("\\d+\\.\\d+[.\\da-z]*"));
    for (const QRegularExpressionMatch& match : anyVersion.globalMatch(shown))
        QCOMPARE(match.captured(), version);
}

void WindowUxTests::missingProgramsAreNamed_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("named");  // what the message tells the user to install or set
    QTest::newRow("F1 without a browser") << "help" << "xdg-utils";
    QTest::newRow("globe without a browser") << "support" << "xdg-utils";
    QTest::newRow("View without a browser") << "view" << "xdg-utils";
    QTest::newRow("Edit without an editor") << "edit" << "text editor";
}

void WindowUxTests::missingProgramsAreNamed()
{
    QFETCH(QString, command);
    QFETCH(QString, named);
    launcher_.documentsOpen = false;
    window_->settings().general.editor.clear();
    window_->pages().addPage(QStringLiteral("/site/a.html"), IMAGE_LOCAL);
    window_->pages().setText(0, COLUMN_OUTPUT_NAME, QStringLiteral("/out/a.html"));
    selectRow(0);
    asker_->answers.enqueue(Asker::Answer::Ok);
    const int id = command == "help"      ? CMD_HELP_INDEX
                 : command == "support"   ? CMD_SUPPORT
                 : command == "view"      ? CMD_VIEW_BUTTON
                                          : CMD_EDIT_ORIGINAL;
    window_->runCommand(id);
    QCOMPARE(asker_->questions.size(), 1);
    QVERIFY2(asker_->questions[0].text.contains(named), qPrintable(asker_->questions[0].text));
    QCOMPARE(asker_->questions[0].buttons, Asker::Buttons::Ok);
}

QTEST_MAIN(WindowUxTests)
#include "WindowUxTests.moc"
