// The main window's project, packing and view commands with scripted answers: query-save
// paths, Open and Save As, failures, status totals, and the packed page's fallback question.
#include "MainWindow.h"
#include "ProgramVersion.h"
#include "ScriptedAsker.h"
#include "SettingsStore.h"
#include "ViewCommands.h"
#include "WaitCursor.h"

#include <QAction>
#include <QGuiApplication>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

using Answer = Asker::Answer;

namespace {
// The lines of a text file, without the one after the last line end.
QStringList readProjectLines(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly | QIODevice::Text);
    QStringList lines = QString::fromLocal8Bit(file.readAll()).split('\n');
    lines.removeLast();
    return lines;
}

class RecordingLauncher : public Launcher {
public:
    QStringList opened;
    QList<QStringList> started;
    bool openDocument(const QString& target) override
    {
        opened.append(target);
        return true;
    }
    bool startProgram(const QString& program, const QStringList& arguments) override
    {
        started.append(QStringList{program} + arguments);
        return false;  // as if the editor were missing
    }
};
} // namespace

class ProjectCommandsTests : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void projectRoundTrip();
    void saveAsAppendsTheExtension();
    void untitledModifiedNewAsksAndStops();
    void titledModifiedOpenSavesThenChooses();
    void cancelKeepsEverything();
    void exitAfterSavingCloses_data();
    void exitAfterSavingCloses();
    void closingAsksToSave_data();
    void closingAsksToSave();
    void damagedOrUnreadableProjectKeepsTheList_data();
    void damagedOrUnreadableProjectKeepsTheList();
    void failedSaveKeepsTheListModified_data();
    void failedSaveKeepsTheListModified();
    void newClearsTotalsAndFlag();
    void statusTotalsAreThoseOfTheLastRun_data();
    void statusTotalsAreThoseOfTheLastRun();
    void packButtonFillsStatusAndRestoresTheFolder();
    void questionsOfTheRunShowNoWaitCursor();
    void cursorLiftPutsBackEveryCursor();
    void openPackedFallsBackToTheOriginal();
    void editorThatCannotStartIsReported();
    void helpAndSupportOpenTheirDocuments();

private:
    QStringList listedNames() const;
    void addRows(const QStringList& names);
    QAction* action(const char* name) const
    {
        return window_->findChild<QAction*>(QString::fromLatin1(name));
    }

    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<SettingsStore> store_;
    std::unique_ptr<ScriptedAsker> asker_;
    std::unique_ptr<MainWindow> window_;
    RecordingLauncher launcher_;
    QString startFolder_;
};

void ProjectCommandsTests::init()
{
    startFolder_ = QDir::currentPath();
    folder_ = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", (folder_->path() + "/config").toLocal8Bit());
    store_ = std::make_unique<SettingsStore>();
    store_->writeProfileString("Directories", "Input", folder_->path());
    store_->writeProfileString("Directories", "Output", folder_->path() + "/out");
    store_->writeProfileInt("Settings", "ConfirmWrite", 0);
    QDir().mkpath(folder_->path() + "/out");
    asker_ = std::make_unique<ScriptedAsker>();
    window_ = std::make_unique<MainWindow>(*store_, *asker_);
    launcher_ = RecordingLauncher();
    window_->setLauncher(&launcher_);
}

void ProjectCommandsTests::cleanup()
{
    QCOMPARE(asker_->unexpectedCalls, 0);
    window_.reset();
    QDir::setCurrent(startFolder_);
}

QStringList ProjectCommandsTests::listedNames() const
{
    QStringList names;
    for (int row = 0; row < window_->pages().rowCount(); ++row)
        names.append(window_->pages().text(row, COLUMN_FILE_NAME));
    return names;
}

void ProjectCommandsTests::addRows(const QStringList& names)
{
    asker_->fileSelections.enqueue(names);
    window_->addFiles();
}

void ProjectCommandsTests::projectRoundTrip()
{
    addRows({"/site/b.html", "/site/a.html"});
    window_->pages().addPage(QStringLiteral("https://example.org/"), IMAGE_INTERNET);
    window_->pages().setText(0, COLUMN_RATIO, QStringLiteral("40%"));
    const QString path = folder_->path() + "/three.qbx";
    asker_->fileNames.enqueue(path);
    action("fileSaveAs")->trigger();
    QVERIFY(!window_->isModified());
    QCOMPARE(window_->windowTitle(), QStringLiteral("Quillbox [three.qbx][*]"));

    asker_->fileNames.enqueue(path);
    window_->findChild<QToolButton*>(QStringLiteral("openProjectButton"))->click();
    QCOMPARE(listedNames(), (QStringList{"/site/a.html", "/site/b.html", "https://example.org/"}));
    QCOMPARE(window_->pages().text(0, COLUMN_RATIO), QStringLiteral("-"));
    QCOMPARE(window_->pages().text(0, COLUMN_ORIGINAL_SIZE), QStringLiteral("."));
    QCOMPARE(window_->pages().pageRow(0).image, int(IMAGE_LOCAL));
    QCOMPARE(window_->pages().pageRow(2).image, int(IMAGE_INTERNET));
    QVERIFY(!window_->isModified());
    QCOMPARE(window_->projectPath(), QDir::toNativeSeparators(path));
}

void ProjectCommandsTests::saveAsAppendsTheExtension()
{
    addRows({"/a.html"});
    const QString chosen = folder_->path() + "/proj";
    asker_->fileNames.enqueue(chosen);
    action("fileSaveAs")->trigger();
    QVERIFY(QFileInfo::exists(chosen + ".qbx"));
    QVERIFY(!QFileInfo::exists(chosen));
    QCOMPARE(window_->windowTitle(), QStringLiteral("Quillbox [proj.qbx][*]"));
    // The next prompt names the path as chosen, without the extension.
    window_->setModified(true);
    asker_->answers.enqueue(Answer::Cancel);
    action("fileNew")->trigger();
    QCOMPARE(asker_->questionTexts(),
             QStringList{"Save changes to " + QDir::toNativeSeparators(chosen) + " ?"});
    QCOMPARE(listedNames(), QStringList{"/a.html"});
}

void ProjectCommandsTests::untitledModifiedNewAsksAndStops()
{
    addRows({"/a.html"});
    asker_->answers.enqueue(Answer::Yes);
    asker_->fileNames.enqueue(QString());  // the Save As chooser is cancelled
    action("fileNew")->trigger();
    QCOMPARE(asker_->questionTexts(), QStringList{"Save untitled project ?"});
    QCOMPARE(asker_->questions[0].buttons, Asker::Buttons::YesNoCancel);
    QCOMPARE(asker_->questions[0].caption, QStringLiteral("Warning"));
    QCOMPARE(asker_->chooserFilters,
             (QStringList{"Web Pages (*.htm;*.html)|*.htm; *.html|All Files (*.*)|*.*||",
                          "Quillbox Archives (*.qbx)|*.qbx|All Files (*.*)|*.*||"}));
    QCOMPARE(listedNames(), QStringList{"/a.html"});  // New did not happen
    // No: New goes ahead.
    asker_->answers.enqueue(Answer::No);
    action("fileNew")->trigger();
    QVERIFY(listedNames().isEmpty());
}

void ProjectCommandsTests::titledModifiedOpenSavesThenChooses()
{
    const QString first = folder_->path() + "/first.qbx";
    const QString second = folder_->path() + "/second.qbx";
    QFile other(second);
    other.open(QIODevice::WriteOnly);
    other.write("Quillbox1.0\n/other.html\n");
    other.close();
    addRows({"/a.html"});
    asker_->fileNames.enqueue(first);
    window_->saveProjectAs();
    addRows({"/b.html"});
    asker_->answers.enqueue(Answer::Yes);
    asker_->fileNames.enqueue(second);
    action("fileOpen")->trigger();
    QCOMPARE(asker_->questionTexts(),
             QStringList{"Save changes to " + QDir::toNativeSeparators(first) + " ?"});
    QCOMPARE(readProjectLines(first), (QStringList{"Quillbox1.0", "/a.html", "/b.html"}));
    QCOMPARE(listedNames(), QStringList{"/other.html"});
    QCOMPARE(window_->windowTitle(), QStringLiteral("Quillbox [second.qbx][*]"));
}

void ProjectCommandsTests::cancelKeepsEverything()
{
    addRows({"/a.html"});
    asker_->answers.enqueue(Answer::Cancel);
    action("fileOpen")->trigger();
    QCOMPARE(asker_->chooserDirectories.size(), 1);  // only the Add Files chooser
    QCOMPARE(listedNames(), QStringList{"/a.html"});
    QVERIFY(window_->isModified());
    // Closing asks once, and Cancel keeps the window.
    window_->show();
    asker_->answers.enqueue(Answer::Cancel);
    action("fileExit")->trigger();
    QVERIFY(window_->isVisible());
    QCOMPARE(asker_->questions.size(), 2);
}

void ProjectCommandsTests::exitAfterSavingCloses_data()
{
    QTest::addColumn<bool>("titled");
    QTest::addColumn<QString>("save");  // "written", "cancelled" or "failed"
    QTest::addColumn<bool>("closed");
    QTest::newRow("untitled, saved") << false << "written" << true;
    QTest::newRow("untitled, chooser cancelled") << false << "cancelled" << false;
    QTest::newRow("untitled, write failed") << false << "failed" << false;
    QTest::newRow("titled, saved") << true << "written" << true;
    QTest::newRow("titled, write failed") << true << "failed" << false;
}

void ProjectCommandsTests::exitAfterSavingCloses()
{
    QFETCH(bool, titled);
    QFETCH(QString, save);
    QFETCH(bool, closed);
    const QString folder = folder_->path() + "/projects";
    QVERIFY(QDir().mkpath(folder));
    const QString project = folder + "/list.qbx";
    addRows({"/a.html"});
    if (titled) {
        asker_->fileNames.enqueue(project);
        window_->saveProjectAs();
        addRows({"/b.html"});
    }
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    asker_->answers.enqueue(Answer::Yes);
    if (!titled)
        asker_->fileNames.enqueue(save == "cancelled" ? QString() : project);
    if (save == "failed") {
        QVERIFY(QDir(folder).removeRecursively());
        asker_->answers.enqueue(Answer::Ok);  // the write error
    }
    action("fileExit")->trigger();

    QCOMPARE(window_->isVisible(), !closed);
    QCOMPARE(window_->isModified(), !closed);
    const QStringList expected = titled ? QStringList{"Quillbox1.0", "/a.html", "/b.html"}
                                        : QStringList{"Quillbox1.0", "/a.html"};
    if (save == "written")
        QCOMPARE(readProjectLines(project), expected);
    else if (!titled)
        QVERIFY(!QFileInfo::exists(project));
    QCOMPARE(asker_->questions.size(), save == "failed" ? 2 : 1);
}

void ProjectCommandsTests::closingAsksToSave_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("titled");
    QTest::newRow("Ctrl+Q, untitled") << "ctrl+q" << false;
    QTest::newRow("Ctrl+Q, titled") << "ctrl+q" << true;
    QTest::newRow("File > Exit, titled") << "exit" << true;
    QTest::newRow("close box, untitled") << "close box" << false;
    QTest::newRow("close box, titled") << "close box" << true;
}

void ProjectCommandsTests::closingAsksToSave()
{
    QFETCH(QString, how);
    QFETCH(bool, titled);
    const QString project = folder_->path() + "/kept.qbx";
    addRows({"/a.html"});
    if (titled) {
        asker_->fileNames.enqueue(project);
        window_->saveProjectAs();
        addRows({"/b.html"});
    }
    QVERIFY(window_->isModified());
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    auto closeWindow = [&] {
        if (how == "ctrl+q")
            QTest::keyClick(window_->pageList(), Qt::Key_Q, Qt::ControlModifier);
        else if (how == "exit")
            action("fileExit")->trigger();
        else
            window_->close();  // what the close box asks for
    };
    const QString question = titled ? "Save changes to " + QDir::toNativeSeparators(project) + " ?"
                                    : QStringLiteral("Save untitled project ?");

    // Cancel: the window stays, with its list and modified flag.
    asker_->answers.enqueue(Answer::Cancel);
    closeWindow();
    QCOMPARE(asker_->questionTexts(), QStringList{question});
    QCOMPARE(asker_->questions[0].buttons, Asker::Buttons::YesNoCancel);
    QVERIFY(window_->isVisible());
    QVERIFY(window_->isModified());
    QCOMPARE(listedNames().size(), titled ? 2 : 1);

    // No: the window closes without saving.
    asker_->answers.enqueue(Answer::No);
    closeWindow();
    QCOMPARE(asker_->questionTexts(), (QStringList{question, question}));
    QVERIFY(!window_->isVisible());
    if (titled)
        QCOMPARE(readProjectLines(project), (QStringList{"Quillbox1.0", "/a.html"}));
}

void ProjectCommandsTests::damagedOrUnreadableProjectKeepsTheList_data()
{
    QTest::addColumn<QString>("file");     // "absent", "folder", or the bytes to write
    QTest::addColumn<bool>("modified");    // the list on show was changed since it was saved
    QTest::addColumn<QString>("begins");
    const QString incorrect = QStringLiteral("Incorrect File Format\n");
    QTest::newRow("wrong header") << "QUILLBOX1.0\n/x.html\n" << false << incorrect;
    QTest::newRow("wrong header, list modified") << "QUILLBOX1.0\n/x.html\n" << true
                                                 << incorrect;
    QTest::newRow("empty file") << "" << false << incorrect;
    QTest::newRow("binary line") << QStringLiteral("Quillbox1.0\n/x.html\n/y") + QChar(0)
                                 << true << incorrect;
    QTest::newRow("absent file") << "absent" << false << "Cannot read ";
    QTest::newRow("a folder") << "folder" << true << "Cannot read ";
}

void ProjectCommandsTests::damagedOrUnreadableProjectKeepsTheList()
{
    QFETCH(QString, file);
    QFETCH(bool, modified);
    QFETCH(QString, begins);
    const QString kept = folder_->path() + "/kept.qbx";
    addRows({"/a.html"});
    asker_->fileNames.enqueue(kept);
    window_->saveProjectAs();
    if (modified) {
        addRows({"/b.html"});
        asker_->answers.enqueue(Answer::No);  // not saved before opening
    }
    const QString opened = folder_->path() + "/opened.qbx";
    if (file == "folder") {
        QVERIFY(QDir().mkdir(opened));
    } else if (file != "absent") {
        QFile bytes(opened);
        QVERIFY(bytes.open(QIODevice::WriteOnly));
        bytes.write(file.toLatin1());
    }
    const QStringList listBefore = listedNames();
    const QString titleBefore = window_->windowTitle();
    asker_->answers.enqueue(Answer::Ok);
    asker_->fileNames.enqueue(opened);
    action("fileOpen")->trigger();

    const ScriptedAsker::Question told = asker_->questions.last();
    QVERIFY2(told.text.startsWith(begins), qPrintable(told.text));
    QVERIFY2(told.text.contains(QDir::toNativeSeparators(opened) + ": "), qPrintable(told.text));
    QVERIFY(!told.text.endsWith(": "));  // a reason follows the name
    QCOMPARE(told.caption, QStringLiteral("Error"));
    QCOMPARE(told.icon, Asker::Icon::Error);
    QCOMPARE(listedNames(), listBefore);
    QCOMPARE(window_->windowTitle(), titleBefore);
    QCOMPARE(window_->projectPath(), QDir::toNativeSeparators(kept));
    QCOMPARE(window_->isModified(), modified);
}

void ProjectCommandsTests::failedSaveKeepsTheListModified_data()
{
    QTest::addColumn<bool>("titled");
    QTest::newRow("untitled") << false;
    QTest::newRow("titled") << true;
}

void ProjectCommandsTests::failedSaveKeepsTheListModified()
{
    QFETCH(bool, titled);
    const QString saved = folder_->path() + "/saved.qbx";
    addRows({"/a.html"});
    if (titled) {
        asker_->fileNames.enqueue(saved);
        action("fileSaveAs")->trigger();
        addRows({"/b.html"});
    }
    const QString pathBefore = window_->projectPath();
    const QString titleBefore = window_->windowTitle();
    asker_->answers.enqueue(Answer::Ok);
    asker_->fileNames.enqueue(folder_->path() + "/no/such/folder/p.qbx");
    action("fileSaveAs")->trigger();
    QCOMPARE(asker_->questions.size(), 1);
    QCOMPARE(asker_->questions[0].caption, QStringLiteral("Error"));
    QVERIFY(window_->isModified());
    QCOMPARE(window_->windowTitle(), titleBefore);
    QCOMPARE(window_->projectPath(), pathBefore);

    // The next query-save still sees the project as it was before the failed Save As.
    asker_->answers.enqueue(Answer::Cancel);
    action("fileNew")->trigger();
    QCOMPARE(asker_->questions.size(), 2);
    QCOMPARE(asker_->questions[1].text,
             titled ? "Save changes to " + QDir::toNativeSeparators(saved) + " ?"
                    : QStringLiteral("Save untitled project ?"));
    QVERIFY(window_->isModified());
    QCOMPARE(listedNames().size(), titled ? 2 : 1);
    if (titled) {
        // Save writes the project it still has, without a chooser.
        action("fileSave")->trigger();
        QCOMPARE(readProjectLines(saved), (QStringList{"Quillbox1.0", "/a.html", "/b.html"}));
        QVERIFY(!window_->isModified());
    }
}

void ProjectCommandsTests::newClearsTotalsAndFlag()
{
    addRows({"/a.html"});
    window_->setStatusText(3, QStringLiteral("Ratio : 50%"));
    window_->setStatusText(4, QStringLiteral("Original : 10"));
    window_->setStatusText(5, QStringLiteral("Packed : 5"));
    asker_->answers.enqueue(Answer::No);
    action("fileNew")->trigger();
    for (int part = 3; part <= 5; ++part)
        QCOMPARE(window_->statusText(part), QString());
    QCOMPARE(window_->statusText(0), statusVersionText());
    QVERIFY(!window_->isModified());
    action("fileNew")->trigger();  // nothing to save: no question
    QCOMPARE(asker_->questions.size(), 1);
}

void ProjectCommandsTests::statusTotalsAreThoseOfTheLastRun_data()
{
    QTest::addColumn<QStringList>("failing");  // pages the second run fails to pack
    QTest::addColumn<bool>("emptiedFirst");    // New before the second run
    QTest::addColumn<QStringList>("shown");    // parts 3 to 5 after the second run
    QTest::newRow("every row failed") << QStringList{"a.html", "b.html"} << false
                                      << QStringList{"", "Original : 0", "Packed : 0"};
    QTest::newRow("first row failed") << QStringList{"a.html"} << false
                                      << QStringList{"Ratio : 50%", "Original : 20", "Packed : 10"};
    QTest::newRow("nothing failed") << QStringList{} << false
                                    << QStringList{"Ratio : 50%", "Original : 30", "Packed : 15"};
    QTest::newRow("empty list") << QStringList{} << true << QStringList{"", "", ""};
}

void ProjectCommandsTests::statusTotalsAreThoseOfTheLastRun()
{
    QFETCH(QStringList, failing);
    QFETCH(bool, emptiedFirst);
    QFETCH(QStringList, shown);
    QStringList pages;
    for (const auto& [name, size] : {std::pair{"a.html", 10}, std::pair{"b.html", 20}}) {
        pages.append(folder_->path() + "/" + name);
        QFile file(pages.last());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, 'p'));
    }
    addRows(pages);
    QStringList failNow;
    window_->setConverter([&](ConvertRequest& request) {
        if (failNow.contains(QFileInfo(request.input).fileName()))
            return -1L;
        const long packed = long(QFileInfo(request.input).size() / 2);
        QFile out(request.output);
        out.open(QIODevice::WriteOnly);
        out.write(QByteArray(packed, 'x'));
        return packed;
    });
    auto statusTotals = [this] {
        return QStringList{window_->statusText(3), window_->statusText(4),
                           window_->statusText(5)};
    };
    // The first run packs both pages; the second one sees the outputs and packs again.
    window_->packAll();
    window_->waitForRun();
    QCOMPARE(statusTotals(), (QStringList{"Ratio : 50%", "Original : 30", "Packed : 15"}));
    if (emptiedFirst) {
        asker_->answers.enqueue(Answer::No);
        action("fileNew")->trigger();
    }
    failNow = failing;
    window_->packAll();
    window_->waitForRun();
    QCOMPARE(statusTotals(), shown);
}

void ProjectCommandsTests::packButtonFillsStatusAndRestoresTheFolder()
{
    const QString page = folder_->path() + "/page.html";
    QFile file(page);
    file.open(QIODevice::WriteOnly);
    file.write(QByteArray("<html><body>") + QByteArray(100, ' ') + "<p>Hello   there</p>");
    file.close();
    addRows({page});
    window_->setConverter([](ConvertRequest& request) {
        QFile out(request.output);
        out.open(QIODevice::WriteOnly);
        out.write(QByteArray(28, 'x'));
        return 28L;
    });
    const QString before = QDir::currentPath();
    window_->findChild<QToolButton*>(QStringLiteral("packButton"))->click();
    window_->waitForRun();
    QCOMPARE(QDir::currentPath(), before);
    QVERIFY(QFileInfo::exists(folder_->path() + "/out/quillboxfilelist.txt"));
    // The run ratio divides in whole numbers, the row's ratio truncates at the end.
    QCOMPARE(window_->statusText(3), QStringLiteral("Ratio : 79%"));
    QCOMPARE(window_->statusText(4), QStringLiteral("Original : 132"));
    QCOMPARE(window_->statusText(5), QStringLiteral("Packed : 28"));
    QCOMPARE(window_->progressBar()->value(), 0);
    QCOMPARE(window_->pages().text(0, COLUMN_RATIO), QStringLiteral("78%"));
}

void ProjectCommandsTests::questionsOfTheRunShowNoWaitCursor()
{
    // The report cannot be written (a folder has its name), and both outputs exist: the run
    // asks four questions, each of which must show the normal pointer.
    QVERIFY(QDir(folder_->path() + "/out").mkdir("quillboxfilelist.txt"));
    for (const char* name : {"p1.html", "p2.html"}) {
        for (const QString& path : {folder_->path() + "/" + name, folder_->path() + "/out/" + name}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("<html><body>old page</body></html>");
        }
    }
    addRows({folder_->path() + "/p1.html", folder_->path() + "/p2.html"});
    window_->settings().directories.overwriteWarning = 1;
    auto currentCursor = [] {
        const QCursor* cursor = QGuiApplication::overrideCursor();
        return cursor ? int(cursor->shape()) : -1;
    };
    QList<int> cursorsAsked;
    int packed = 0;
    asker_->whileAsking = [&](const ScriptedAsker::Question&) {
        cursorsAsked.append(currentCursor());
    };
    window_->setConverter([&](ConvertRequest& request) {
        ++packed;
        QFile out(request.output);
        out.open(QIODevice::WriteOnly);
        out.write("new");
        return 3L;
    });
    for (Answer answer : {Answer::Ok, Answer::Yes, Answer::Yes, Answer::Yes})
        asker_->answers.enqueue(answer);
    window_->findChild<QToolButton*>(QStringLiteral("packButton"))->click();
    window_->waitForRun();

    QCOMPARE(asker_->questions.size(), 4);
    QVERIFY(asker_->questions[0].text.startsWith("The run report "));
    QVERIFY(asker_->questions[1].text.startsWith("Overwrite file "));
    QVERIFY(asker_->questions[2].text.startsWith("Overwrite file "));
    QCOMPARE(asker_->questions[3].text, QStringLiteral("Do you want to overwrite all further files "));
    QCOMPARE(cursorsAsked, QList<int>(4, -1));
    // The pages are packed while the window goes on with its normal pointer.
    QCOMPARE(packed, 2);
    QCOMPARE(currentCursor(), -1);
}

void ProjectCommandsTests::cursorLiftPutsBackEveryCursor()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QGuiApplication::setOverrideCursor(Qt::CrossCursor);
    {
        const CursorLift lift;
        QVERIFY(!QGuiApplication::overrideCursor());
    }
    QVERIFY(QGuiApplication::overrideCursor());
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
    QGuiApplication::restoreOverrideCursor();
    QVERIFY(QGuiApplication::overrideCursor());
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QGuiApplication::restoreOverrideCursor();
    QVERIFY(!QGuiApplication::overrideCursor());
}

void ProjectCommandsTests::openPackedFallsBackToTheOriginal()
{
    addRows({"/site/a.html"});
    // No row selected: nothing, and no question.
    window_->findChild<QToolButton*>(QStringLiteral("viewButton"))->click();
    QVERIFY(launcher_.opened.isEmpty());
    QCOMPARE(asker_->questions.size(), 0);
    window_->pageList()->selectionModel()->select(
        window_->pages().index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    asker_->answers.enqueue(Answer::No);
    window_->findChild<QToolButton*>(QStringLiteral("viewButton"))->click();
    QCOMPARE(asker_->questionTexts(),
             QStringList{"No packed html generated yet.\nDo you wish to open original page?"});
    QCOMPARE(asker_->questions[0].icon, Asker::Icon::Question);
    QCOMPARE(asker_->questions[0].buttons, Asker::Buttons::YesNo);
    QVERIFY(launcher_.opened.isEmpty());
    asker_->answers.enqueue(Answer::Yes);
    action("optionsOpenPacked")->trigger();
    QCOMPARE(launcher_.opened, QStringList{"/site/a.html"});
    window_->pages().setText(0, COLUMN_OUTPUT_NAME, QStringLiteral("/out/a.html"));
    emit window_->pageList()->activated(window_->pages().index(0, 0));
    QCOMPARE(launcher_.opened, (QStringList{"/site/a.html", "/out/a.html"}));
    action("optionsOpenOriginal")->trigger();
    QCOMPARE(launcher_.opened.last(), QStringLiteral("/site/a.html"));
}

void ProjectCommandsTests::editorThatCannotStartIsReported()
{
    addRows({"/site/a.html"});
    window_->settings().general.editor = QStringLiteral("missing-editor");
    window_->pageList()->selectionModel()->select(
        window_->pages().index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    asker_->answers.enqueue(Answer::Ok);
    action("optionsEditOriginal")->trigger();
    QCOMPARE(launcher_.started.size(), 1);
    QCOMPARE(launcher_.started[0], (QStringList{"missing-editor", "/site/a.html"}));
    QCOMPARE(asker_->questions.size(), 1);
    QVERIFY(asker_->questions[0].text.contains("missing-editor"));
    // Edit Packed on a row never packed does nothing.
    action("optionsEditPacked")->trigger();
    QCOMPARE(launcher_.started.size(), 1);
}

void ProjectCommandsTests::helpAndSupportOpenTheirDocuments()
{
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    QTest::keyClick(window_->pageList(), Qt::Key_F1);
    QCOMPARE(launcher_.opened.size(), 1);
    QVERIFY(launcher_.opened[0].endsWith("/help/QuillboxDoc.html"));
    window_->findChild<QToolButton*>(QStringLiteral("supportButton"))->click();
    QCOMPARE(launcher_.opened.last(), supportTarget(QString::fromLatin1(SUPPORT_SERVER),
                                                     QCoreApplication::applicationDirPath()));
}

QTEST_MAIN(ProjectCommandsTests)
#include "ProjectCommandsTests.moc"
