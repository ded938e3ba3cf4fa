// The main window: its controls and texts, Add Files and Remove, the shortcut menu, the keys
// that work wherever the focus is, the About box, and the folder chooser.
#include "AboutDlg.h"
#include "Commands.h"
#include "DialogAsker.h"
#include "FolderBrowseDlg.h"
#include "LocalHttpServer.h"
#include "MainWindow.h"
#include "ProgramVersion.h"
#include "ScriptedAsker.h"
#include "SettingsStore.h"
#include "WindowRules.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

class MainWindowTests : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void captionButtonsAndStatusBar();
    void menusHoldEveryCommand();
    void listColumns();
    void addFilesSkipsDuplicatesAndSorts();
    void closingAsksOnlyAfterAChange_data();
    void closingAsksOnlyAfterAChange();
    void removeDeletesSelectedRows();
    void shortcutMenuGraying_data();
    void shortcutMenuGraying();
    void noShortcutMenuInTheButtonBand();
    void deleteAndInsertWorkWhereverTheFocusIs_data();
    void deleteAndInsertWorkWhereverTheFocusIs();
    void escapeNeverClosesTheWindow_data();
    void escapeNeverClosesTheWindow();
    void exitCtrlQAndCloseBoxClose_data();
    void exitCtrlQAndCloseBoxClose();
    void escapeInTheMenusKeepsTheWindow_data();
    void escapeInTheMenusKeepsTheWindow();
    void aboutBox();
    void aRunLeavesTheWindowFree_data();
    void aRunLeavesTheWindowFree();
    void folderChooserStartsAtTheSettingAndTakesATypedPath_data();
    void folderChooserStartsAtTheSettingAndTakesATypedPath();
    void fileChooserFilters_data();
    void fileChooserFilters();

private:
    QStringList listedNames() const;
    // Selects the rows given (and only them).
    void selectRows(const QList<int>& rows);
    QAction* action(const char* name) const
    {
        return window_->findChild<QAction*>(QString::fromLatin1(name));
    }

    std::unique_ptr<QTemporaryDir> configHome_;
    std::unique_ptr<SettingsStore> store_;
    std::unique_ptr<ScriptedAsker> asker_;
    std::unique_ptr<MainWindow> window_;
    QString startFolder_;
};

void MainWindowTests::init()
{
    startFolder_ = QDir::currentPath();
    configHome_ = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", configHome_->path().toLocal8Bit());
    store_ = std::make_unique<SettingsStore>();
    store_->writeProfileString("Directories", "Input", configHome_->path());
    asker_ = std::make_unique<ScriptedAsker>();
    window_ = std::make_unique<MainWindow>(*store_, *asker_);
}

void MainWindowTests::cleanup()
{
    window_.reset();
    QCOMPARE(asker_->unexpectedCalls, 0);
    QDir::setCurrent(startFolder_);
}

QStringList MainWindowTests::listedNames() const
{
    QStringList names;
    for (int row = 0; row < window_->pages().rowCount(); ++row)
        names.append(window_->pages().text(row, COLUMN_FILE_NAME));
    return names;
}

void MainWindowTests::selectRows(const QList<int>& rows)
{
    QItemSelectionModel* selection = window_->pageList()->selectionModel();
    selection->clearSelection();
    for (int row : rows) {
        selection->select(window_->pages().index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

void MainWindowTests::captionButtonsAndStatusBar()
{
    QCOMPARE(window_->windowTitle(), QStringLiteral("Quillbox[*]"));
    // The input folder becomes the current directory.
    QCOMPARE(QDir::currentPath(), QDir(configHome_->path()).canonicalPath());
    const QList<QPair<const char*, const char*>> tooltips = {
        {"packButton", "Pack Web Pages"}, {"addButton", "Add Web Page"},
        {"removeButton", "Remove Web page"}, {"viewButton", "Open Packed Web Page"},
        {"openProjectButton", "Open Project"}, {"saveButton", "Save Project"},
        {"supportButton", "Support Site"}};
    for (const auto& [name, tooltip] : tooltips) {
        auto* button = window_->findChild<QToolButton*>(QString::fromLatin1(name));
        QVERIFY2(button, name);
        QCOMPARE(button->toolTip(), QString::fromLatin1(tooltip));
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);  // not tab stops
        QVERIFY(!button->icon().isNull());
    }
    QVERIFY(!window_->findChild<QLabel*>(QStringLiteral("logo"))->pixmap().isNull());
    QCOMPARE(window_->progressBar()->minimum(), 0);
    QCOMPARE(window_->progressBar()->maximum(), 100);
    for (int part = 1; part < STATUS_PART_COUNT; ++part)
        QCOMPARE(window_->statusText(part), QString());
    QVERIFY(!window_->isModified());
    QVERIFY(window_->acceptDrops());
}

void MainWindowTests::menusHoldEveryCommand()
{
    auto texts = [](const QMenu* menu) {
        QStringList items;
        for (const QAction* item : menu->actions())
            items.append(item->isSeparator() ? QStringLiteral("-") : item->text());
        return items;
    };
    QStringList titles;
    for (const QAction* menu : window_->menuBar()->actions())
        titles.append(menu->text());
    QCOMPARE(titles, (QStringList{"&File", "&Options", "&Help"}));
    const QList<QAction*> menus = window_->menuBar()->actions();
    QCOMPARE(texts(menus[0]->menu()),
             (QStringList{"&New", "&Open...", "&Save", "Sa&ve As...", "-",
                          "&Add Files...     (Ins. key)", "Add/Modify &Internet Address...",
                          "Import &Directory Tree...", "&Remove Files   (Del. key)", "-",
                          "&Exit"}));
    QCOMPARE(texts(menus[1]->menu()),
             (QStringList{"&Pack", "S&top Packing   (Esc key)", "-", "&Edit", "&Open", "-",
                          "P&roperties..."}));
    QCOMPARE(texts(menus[1]->menu()->actions()[3]->menu()), (QStringList{"&Original", "&Packed"}));
    QCOMPARE(texts(menus[1]->menu()->actions()[4]->menu()), (QStringList{"&Original", "&Packed"}));
    QCOMPARE(texts(menus[2]->menu()).mid(0, 3), (QStringList{"&About", "&Index", "-"}));
    QVERIFY(!action("helpVersion")->isEnabled());
    QCOMPARE(texts(window_->shortcutMenu()),
             (QStringList{"&Remove    (Del. key)", "&Add File...  (Ins key)",
                          "Add/Modify &Internet Address...", "&Edit", "&Open", "-",
                          "&Pack Page"}));
    // Items of the commands this window carries out are enabled.
    for (const char* name : {"fileAddFiles", "fileInternetAddress", "fileImportTree",
                             "fileRemove", "fileExit", "optionsProperties", "helpAbout"})
        QVERIFY2(action(name)->isEnabled(), name);
}

void MainWindowTests::listColumns()
{
    QTreeView* list = window_->pageList();
    QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    // No heading is cut off in the system font, sort mark included.
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    for (int column = 0; column < COLUMN_COUNT; ++column) {
        list->sortByColumn(column, Qt::AscendingOrder);
        QVERIFY2(list->header()->sectionSize(column) >= list->header()->sectionSizeHint(column),
                 qPrintable(QString::number(column)));
    }
}

void MainWindowTests::addFilesSkipsDuplicatesAndSorts()
{
    asker_->fileSelections.enqueue({"/site/c.html", "/site/A.htm"});
    asker_->fileSelections.enqueue({"/site/A.htm", "/site/b.html", "/site/sub/../b.html"});
    action("fileAddFiles")->trigger();
    QCOMPARE(asker_->chooserDirectories, QStringList{QDir::currentPath()});
    QCOMPARE(asker_->chooserFilters,
             QStringList{"Web Pages (*.htm;*.html)|*.htm; *.html|All Files (*.*)|*.*||"});
    QVERIFY(window_->isModified());
    window_->findChild<QToolButton*>(QStringLiteral("addButton"))->click();
    QCOMPARE(listedNames(), (QStringList{"/site/A.htm", "/site/b.html", "/site/c.html"}));
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(window_->pages().text(row, COLUMN_RATIO), QStringLiteral("-"));
        QCOMPARE(window_->pages().text(row, COLUMN_ORIGINAL_SIZE), QStringLiteral("."));
        QCOMPARE(window_->pages().pageRow(row).image, int(IMAGE_LOCAL));
    }
}

void MainWindowTests::closingAsksOnlyAfterAChange_data()
{
    QTest::addColumn<QStringList>("listed");   // rows before the command, unmodified
    QTest::addColumn<QString>("command");      // "insert", "add" or "remove"
    QTest::addColumn<QStringList>("picked");   // the chooser's answer; empty: cancelled
    QTest::addColumn<bool>("modified");
    QTest::newRow("Ins, chooser cancelled") << QStringList{} << "insert" << QStringList{}
                                            << false;
    QTest::newRow("Add Files, only listed pages picked")
        << QStringList{"/s/a.html"} << "add" << QStringList{"/s/a.html"} << false;
    QTest::newRow("Remove with no row selected")
        << QStringList{"/s/a.html"} << "remove" << QStringList{} << false;
    QTest::newRow("Ins, a page picked") << QStringList{} << "insert"
                                        << QStringList{"/s/b.html"} << true;
}

void MainWindowTests::closingAsksOnlyAfterAChange()
{
    QFETCH(QStringList, listed);
    QFETCH(QString, command);
    QFETCH(QStringList, picked);
    QFETCH(bool, modified);
    for (const QString& name : listed)
        window_->pages().addPage(name, IMAGE_LOCAL);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    if (command == "insert") {
        asker_->fileSelections.enqueue(picked);
        QTest::keyClick(window_->pageList(), Qt::Key_Insert);
    } else if (command == "add") {
        asker_->fileSelections.enqueue(picked);
        action("fileAddFiles")->trigger();
    } else {
        action("fileRemove")->trigger();
    }
    QCOMPARE(window_->isModified(), modified);
    if (modified)
        asker_->answers.enqueue(Asker::Answer::No);
    window_->close();
    QVERIFY(!window_->isVisible());
    QCOMPARE(asker_->questionTexts(),
             modified ? QStringList{"Save untitled project ?"} : QStringList{});
}

void MainWindowTests::removeDeletesSelectedRows()
{
    asker_->fileSelections.enqueue({"/a", "/b", "/c", "/d"});
    window_->addFiles();
    window_->setModified(false);
    window_->removeFiles();  // nothing selected: nothing changes
    QCOMPARE(window_->pages().rowCount(), 4);
    QVERIFY(!window_->isModified());
    selectRows({0, 2, 3});
    window_->findChild<QToolButton*>(QStringLiteral("removeButton"))->click();
    QCOMPARE(listedNames(), QStringList{"/b"});
}

void MainWindowTests::shortcutMenuGraying_data()
{
    QTest::addColumn<QString>("selected");  // empty for no row
    QTest::addColumn<bool>("remove");
    QTest::addColumn<bool>("addFile");
    QTest::addColumn<bool>("internetAddress");
    QTest::newRow("no row") << "" << false << true << true;
    QTest::newRow("local row") << "/site/a.html" << true << false << false;
    QTest::newRow("internet row") << "HTTP://example.org/" << true << false << true;
}

void MainWindowTests::shortcutMenuGraying()
{
    QFETCH(QString, selected);
    QFETCH(bool, remove);
    QFETCH(bool, addFile);
    QFETCH(bool, internetAddress);
    if (!selected.isEmpty()) {
        window_->pages().addPage(selected, IMAGE_LOCAL);
        selectRows({0});
    }
    window_->show();
    const QPoint overList = window_->pageList()->viewport()->mapToGlobal(QPoint(20, 20));
    QVERIFY(window_->requestShortcutMenu(overList));
    QVERIFY(window_->shortcutMenu()->isVisible());
    QCOMPARE(action("shortcutRemove")->isEnabled(), remove);
    QCOMPARE(action("shortcutAddFile")->isEnabled(), addFile);
    QCOMPARE(action("shortcutInternetAddress")->isEnabled(), internetAddress);
    if (selected.isEmpty()) {
        for (const char* name : {"shortcutPackPage", "shortcutEditOriginal", "shortcutEditPacked",
                                 "shortcutOpenOriginal", "shortcutOpenPacked"})
            QVERIFY2(!action(name)->isEnabled(), name);
    }
    window_->shortcutMenu()->hide();
}

void MainWindowTests::noShortcutMenuInTheButtonBand()
{
    window_->show();
    QWidget* client = window_->clientArea();
    const int bandBottom = window_->buttonBand()->geometry().bottom();
    QVERIFY(!window_->requestShortcutMenu(client->mapToGlobal(QPoint(300, bandBottom))));
    QVERIFY(!window_->shortcutMenu()->isVisible());
    QVERIFY(window_->requestShortcutMenu(client->mapToGlobal(QPoint(300, bandBottom + 1))));
    window_->shortcutMenu()->hide();
    // A right-click on a picture button shows nothing; one on the list shows the menu.
    auto* packButton = window_->findChild<QToolButton*>(QStringLiteral("packButton"));
    QContextMenuEvent onButton(QContextMenuEvent::Mouse, QPoint(5, 5),
                               packButton->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(packButton, &onButton);
    QVERIFY(!window_->shortcutMenu()->isVisible());
    QWidget* viewport = window_->pageList()->viewport();
    QContextMenuEvent onList(QContextMenuEvent::Mouse, QPoint(30, 30),
                             viewport->mapToGlobal(QPoint(30, 30)));
    QApplication::sendEvent(viewport, &onList);
    QVERIFY(window_->shortcutMenu()->isVisible());
    window_->shortcutMenu()->hide();
    // The keyboard asks for the menu inside the list, below the band.
    QTest::keyClick(window_->pageList(), Qt::Key_F10, Qt::ShiftModifier);
    QVERIFY(window_->shortcutMenu()->isVisible());
    window_->shortcutMenu()->hide();
}

void MainWindowTests::deleteAndInsertWorkWhereverTheFocusIs_data()
{
    QTest::addColumn<QString>("focus");
    QTest::newRow("page list") << "pageList";
    QTest::newRow("progress bar") << "progressBar";
    QTest::newRow("window itself") << "MainWindow";
}

void MainWindowTests::deleteAndInsertWorkWhereverTheFocusIs()
{
    QFETCH(QString, focus);
    QWidget* target = focus == "MainWindow" ? window_.get()
                                            : window_->findChild<QWidget*>(focus);
    QVERIFY(target);
    asker_->fileSelections.enqueue({"/x/one.html", "/x/two.html"});
    QTest::keyClick(target, Qt::Key_Insert);
    QCOMPARE(listedNames(), (QStringList{"/x/one.html", "/x/two.html"}));
    selectRows({1});
    window_->setModified(false);
    QTest::keyClick(target, Qt::Key_Delete);
    QCOMPARE(listedNames(), QStringList{"/x/one.html"});
    QVERIFY(window_->isModified());
    QCOMPARE(asker_->chooserDirectories.size(), 1);  // one chooser per key press
}

void MainWindowTests::escapeNeverClosesTheWindow_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<bool>("modified");
    QTest::newRow("page list, unmodified") << "pageList" << false;
    QTest::newRow("page list, modified") << "pageList" << true;
    QTest::newRow("progress bar, modified") << "progressBar" << true;
    QTest::newRow("window itself, unmodified") << "MainWindow" << false;
}

void MainWindowTests::escapeNeverClosesTheWindow()
{
    QFETCH(QString, focus);
    QFETCH(bool, modified);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    window_->setModified(modified);
    QWidget* target = focus == "MainWindow" ? window_.get()
                                            : window_->findChild<QWidget*>(focus);
    QTest::keyClick(target, Qt::Key_Escape);
    QTest::keyClick(target, Qt::Key_Return);
    QVERIFY(window_->isVisible());
    QVERIFY(asker_->questions.isEmpty());
    QCOMPARE(window_->isModified(), modified);
}

void MainWindowTests::exitCtrlQAndCloseBoxClose_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("File > Exit") << "exit";
    QTest::newRow("Ctrl+Q") << "ctrl+q";
    QTest::newRow("close box") << "close box";
}

void MainWindowTests::exitCtrlQAndCloseBoxClose()
{
    QFETCH(QString, how);
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    if (how == "exit")
        action("fileExit")->trigger();
    else if (how == "ctrl+q")
        QTest::keyClick(window_->pageList(), Qt::Key_Q, Qt::ControlModifier);
    else
        window_->close();
    QVERIFY(!window_->isVisible());
    QVERIFY(asker_->questions.isEmpty());  // nothing was modified
}

void MainWindowTests::escapeInTheMenusKeepsTheWindow_data()
{
    QTest::addColumn<bool>("openMenu");
    QTest::newRow("menu bar in keyboard mode") << false;
    QTest::newRow("open menu") << true;
}

void MainWindowTests::escapeInTheMenusKeepsTheWindow()
{
    QFETCH(bool, openMenu);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    window_->setModified(true);  // a close would ask to save first
    QMenuBar* bar = window_->menuBar();
    QWidget* target = bar;
    if (openMenu) {
        auto* file = bar->actions().first()->menu();
        file->popup(window_->mapToGlobal(QPoint(10, 10)));
        QTRY_VERIFY(file->isVisible());
        target = file;
    } else {
        // Alt alone hands the keyboard to the menu bar.
        QTest::keyClick(window_->pageList(), Qt::Key_Alt);
        QTRY_VERIFY(bar->hasFocus());
    }
    QTest::keyClick(target, Qt::Key_Escape);
    // Escape left the menus; the window neither closed nor asked to save.
    QVERIFY(window_->isVisible());
    QVERIFY(asker_->questions.isEmpty());
    // And the menus saw it: the menu closed, or the menu bar gave the keyboard back.
    if (openMenu)
        QTRY_VERIFY(!target->isVisible());
    else
        QTRY_VERIFY(!bar->hasFocus());
}

void MainWindowTests::aRunLeavesTheWindowFree_data()
{
    QTest::addColumn<QString>("stopBy");
    QTest::newRow("Stop button") << "stopButton";
    QTest::newRow("Esc key") << "Esc";
    QTest::newRow("Options menu") << "optionsStop";
}

void MainWindowTests::aRunLeavesTheWindowFree()
{
    QFETCH(QString, stopBy);
    // A page whose server takes the request and never answers.
    bypassProxies();
    LocalHttpServer server;
    QVERIFY(server.start());
    Route silent;
    silent.silent = true;
    server.routes.insert("/never.html", silent);
    const QString output = configHome_->path() + "/out";
    QVERIFY(QDir().mkpath(output));
    window_->settings().directories.outputFolder = output;
    window_->pages().addPage(server.url("/never.html"), IMAGE_INTERNET);

    auto* stopButton = window_->findChild<QToolButton*>(QStringLiteral("stopButton"));
    QVERIFY(!stopButton->isEnabled());
    window_->runCommand(CMD_PACK);
    QVERIFY(window_->isPacking());
    QVERIFY(stopButton->isEnabled());
    QVERIFY(!action("optionsPack")->isEnabled());
    // The window's thread is free: the server, which runs on it, receives the request.
    QTRY_COMPARE(server.requests.size(), 1);
    // Input during the run that would change the list is refused at once...
    selectRows({0});
    QTest::keyClick(window_->pageList(), Qt::Key_Delete);
    QCOMPARE(window_->pages().rowCount(), 1);

    // ...and Stop gives the download up long before its 30 s time-out.
    if (stopBy == "Esc")
        QTest::keyClick(window_->pageList(), Qt::Key_Escape);
    else if (stopBy == "stopButton")
        stopButton->click();
    else
        action(qPrintable(stopBy))->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!window_->isPacking(), 5000);
    QVERIFY(!stopButton->isEnabled());
    QVERIFY(action("optionsPack")->isEnabled());
    // The row is as it was and nothing but the empty report was written.
    QCOMPARE(window_->pages().pageRow(0).image, int(IMAGE_INTERNET));
    QCOMPARE(window_->pages().text(0, COLUMN_OUTPUT_NAME), QString());
    QCOMPARE(QDir(output).entryList(QDir::Files), QStringList{"quillboxfilelist.txt"});
    QCOMPARE(QFileInfo(output + "/quillboxfilelist.txt").size(), 0);
    // The refused key did not come back later; now it acts.
    QTest::qWait(50);
    QCOMPARE(window_->pages().rowCount(), 1);
    QTest::keyClick(window_->pageList(), Qt::Key_Delete);
    QCOMPARE(window_->pages().rowCount(), 0);
}

void MainWindowTests::aboutBox()
{
    bool seen = false;
    QTimer::singleShot(0, this, [&seen] {
        auto* about = qobject_cast<AboutDlg*>(QApplication::activeModalWidget());
        QVERIFY(about);
        seen = true;
        QCOMPARE(about->windowTitle(), QStringLiteral("About Quillwin"));
        auto* text = about->findChild<QLabel*>(QStringLiteral("aboutText"));
        QVERIFY(text);
        QVERIFY(text->text().contains(programVersion()));
        QVERIFY(text->text().contains(QStringLiteral("licence")));
        // One button, and it closes the box.
        const QList<QAbstractButton*> buttons = about->findChildren<QAbstractButton*>();
        QCOMPARE(buttons.size(), 1);
        buttons.first()->click();
    });
    action("helpAbout")->trigger();
    QVERIFY(seen);
    QVERIFY(!QApplication::activeModalWidget());
}

void MainWindowTests::folderChooserStartsAtTheSettingAndTakesATypedPath_data()
{
    QTest::addColumn<QString>("typed");   // relative to the temporary root; empty: cancel
    QTest::addColumn<bool>("chosen");
    QTest::newRow("typed folder") << "typed/below" << true;
    QTest::newRow("cancelled") << "" << false;
}

void MainWindowTests::folderChooserStartsAtTheSettingAndTakesATypedPath()
{
    QFETCH(QString, typed);
    QFETCH(bool, chosen);
    QTemporaryDir root;
    const QString start = root.path() + "/start";
    QVERIFY(QDir().mkpath(start));
    QVERIFY(QDir().mkpath(root.path() + "/typed/below"));
    FolderBrowseDlg chooser(start, QStringLiteral("Import all htmls under directory :"), 0);
    QCOMPARE(chooser.title(), QStringLiteral("Import all htmls under directory :"));
    bool answered = false;
    QTimer::singleShot(0, this, [&] {
        answered = true;
        // The chooser opens at the folder of the setting.
        QCOMPARE(QDir(chooser.directory()).canonicalPath(), QDir(start).canonicalPath());
        if (typed.isEmpty()) {
            chooser.reject();
            return;
        }
        auto* edit = chooser.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(edit);
        edit->setText(root.path() + "/" + typed);
        QTest::keyClick(edit, Qt::Key_Return);
    });
    QCOMPARE(chooser.run(),
             int(chosen ? FolderBrowseDlg::ResultOk : FolderBrowseDlg::ResultCancel));
    QVERIFY(answered);
    QCOMPARE(chooser.folder(),
             chosen ? QDir::toNativeSeparators(root.path() + "/" + typed) : start);
}

void MainWindowTests::fileChooserFilters_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("expected");
    QTest::newRow("web pages") << "Web Pages (*.htm;*.html)|*.htm; *.html|All Files (*.*)|*.*||"
                               << "Web Pages (*.htm *.html);;All Files (*)";
    QTest::newRow("projects") << "Quillbox Archives (*.qbx)|*.qbx|All Files (*.*)|*.*||"
                              << "Quillbox Archives (*.qbx);;All Files (*)";
}

void MainWindowTests::fileChooserFilters()
{
    QFETCH(QString, filter);
    QFETCH(QString, expected);
    QCOMPARE(fileDialogFilter(filter), expected);
}

QTEST_MAIN(MainWindowTests)
#include "MainWindowTests.moc"
