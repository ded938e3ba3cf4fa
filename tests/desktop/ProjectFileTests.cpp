// Project files and the view commands' rules: reading, writing, names and titles; opening and
// editing a row through a fake launcher.
#include "PageListModel.h"
#include "ProjectFile.h"
#include "ViewCommands.h"

#include <QTemporaryDir>
#include <QtTest>

// Records what would have been opened or started.
class FakeLauncher : public Launcher {
public:
    QStringList opened;
    QList<QStringList> started;  // program, then its arguments
    bool programsStart = true;
    bool documentsOpen = true;  // false: the desktop has no opener

    bool openDocument(const QString& target) override
    {
        opened.append(target);
        return documentsOpen;
    }
    bool startProgram(const QString& program, const QStringList& arguments) override
    {
        started.append(QStringList{program} + arguments);
        return programsStart;
    }
};

class ProjectFileTests : public QObject {
    Q_OBJECT

private slots:
    void init();
    void readsLineEndsAndSkipsEmptyLines_data();
    void readsLineEndsAndSkipsEmptyLines();
    void damagedFilesSayWhat_data();
    void damagedFilesSayWhat();
    void unreadableFileSaysWhy();
    void writeThenReadGivesTheSameEntries();
    void writeFailureSaysWhy();
    void savePathsAndTitles_data();
    void savePathsAndTitles();
    void viewRowOpensAndEdits_data();
    void viewRowOpensAndEdits();
    void editorThatCannotStart();
    void editorCommandsWithBlanks_data();
    void editorCommandsWithBlanks();
    void supportAndHelpAddresses();

private:
    QString writeFile(const QByteArray& bytes);
    std::unique_ptr<QTemporaryDir> folder_;
};

void ProjectFileTests::init()
{
    folder_ = std::make_unique<QTemporaryDir>();
}

QString ProjectFileTests::writeFile(const QByteArray& bytes)
{
    const QString path = folder_->path() + "/project.qbx";
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

void ProjectFileTests::readsLineEndsAndSkipsEmptyLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("lf") << QByteArray("Quillbox1.0\n/a.html\nhttp://x.org\n")
                        << QStringList{"/a.html", "http://x.org"};
    QTest::newRow("cr lf") << QByteArray("Quillbox1.0\r\n/a.html\r\nhttp://x.org\r\n")
                           << QStringList{"/a.html", "http://x.org"};
    QTest::newRow("no last line end") << QByteArray("Quillbox1.0\n/a.html\n/b.html")
                                      << QStringList{"/a.html", "/b.html"};
    QTest::newRow("empty lines") << QByteArray("Quillbox1.0\n\n/a.html\r\n\r\n\n/b.html\n\n")
                                 << QStringList{"/a.html", "/b.html"};
    QTest::newRow("header only") << QByteArray("Quillbox1.0") << QStringList{};
    QTest::newRow("duplicates stay") << QByteArray("Quillbox1.0\n/a.html\n/a.html\n")
                                     << QStringList{"/a.html", "/a.html"};
    QTest::newRow("long line") << QByteArray("Quillbox1.0\n/" + QByteArray(5000, 'x') + "\n")
                               << QStringList{"/" + QString(5000, 'x')};
}

void ProjectFileTests::readsLineEndsAndSkipsEmptyLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, entries);
    const ProjectReadResult read = readProjectFile(writeFile(bytes));
    QCOMPARE(read.status, ProjectReadResult::Read);
    QCOMPARE(read.entries, entries);
}

void ProjectFileTests::damagedFilesSayWhat_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("told");  // a part of the reason given
    const QString header = QStringLiteral("first line");
    QTest::newRow("other case") << QByteArray("quillbox1.0\n/a.html\n") << header;
    QTest::newRow("empty first line") << QByteArray("\nQuillbox1.0\n/a.html\n") << header;
    QTest::newRow("empty file") << QByteArray() << "empty";
    QTest::newRow("trailing blank") << QByteArray("Quillbox1.0 \n/a.html\n") << header;
    QTest::newRow("other version") << QByteArray("Quillbox1.1\n") << header;
    QTest::newRow("binary garbage") << QByteArray("\x89PNG\r\n\x1a\n\0\0", 10) << header;
    QTest::newRow("binary after the header")
        << QByteArray("Quillbox1.0\n/a.html\n/b\0\x01\x02\n/c.html\n", 34) << "line 3";
}

void ProjectFileTests::damagedFilesSayWhat()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, told);
    const ProjectReadResult read = readProjectFile(writeFile(bytes));
    QCOMPARE(read.status, ProjectReadResult::Damaged);
    QVERIFY(read.entries.isEmpty());
    QVERIFY2(read.error.contains(told), qPrintable(read.error));
}

void ProjectFileTests::unreadableFileSaysWhy()
{
    const ProjectReadResult read = readProjectFile(folder_->path() + "/absent.qbx");
    QCOMPARE(read.status, ProjectReadResult::CannotOpen);
    QVERIFY(!read.error.isEmpty());
}

void ProjectFileTests::writeThenReadGivesTheSameEntries()
{
    const QStringList entries{"/site/a.html", "/site/b c.htm", "https://example.org/x?y=1"};
    const QString path = folder_->path() + "/round.qbx";
    QCOMPARE(writeProjectFile(path, entries), QString());
    QFile file(path);
    file.open(QIODevice::ReadOnly);
#ifdef Q_OS_WIN
    const QByteArray lineEnd = "\r\n";
#else
    const QByteArray lineEnd = "\n";
#endif
    QCOMPARE(file.readAll(), "Quillbox1.0" + lineEnd + entries.join(lineEnd).toLocal8Bit() + lineEnd);
    QCOMPARE(readProjectFile(path).entries, entries);
}

void ProjectFileTests::writeFailureSaysWhy()
{
    QVERIFY(!writeProjectFile(folder_->path() + "/no/folder/p.qbx", {"/a"}).isEmpty());
}

void ProjectFileTests::savePathsAndTitles_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("saved");
    QTest::addColumn<QString>("title");
    QTest::newRow("no extension") << "/p/proj" << "/p/proj.qbx" << "Quillbox [proj.qbx]";
    QTest::newRow("extension") << "/p/a.qbx" << "/p/a.qbx" << "Quillbox [a.qbx]";
    QTest::newRow("upper case extension") << "/p/X.QBX" << "/p/X.QBX.qbx"
                                          << "Quillbox [X.QBX.qbx]";
    QTest::newRow("windows path") << "C:\\p\\w" << "C:\\p\\w.qbx" << "Quillbox [w.qbx]";
}

void ProjectFileTests::savePathsAndTitles()
{
    QFETCH(QString, chosen);
    QFETCH(QString, saved);
    QFETCH(QString, title);
    QCOMPARE(projectSavePath(chosen), saved);
    QCOMPARE(projectTitle(saved), title);
    QCOMPARE(projectTitle(QString()), QStringLiteral("Quillbox"));
}

void ProjectFileTests::viewRowOpensAndEdits_data()
{
    QTest::addColumn<QString>("original");
    QTest::addColumn<QString>("packed");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QStringList>("opened");
    QTest::addColumn<QStringList>("started");
    QTest::addColumn<bool>("editing");
    QTest::addColumn<bool>("opener");  // whether the desktop can open documents
    QTest::addColumn<int>("result");
    const int done = int(ViewResult::Done);
    const int nothing = int(ViewResult::Nothing);
    const QString page = QStringLiteral("/site/my page.html");
    const QString out = QStringLiteral("/out/my page.html");
    const QString error = QStringLiteral("*Error opening/writing file : /out/x.html");
    QTest::newRow("open original") << page << out << 0 << "" << QStringList{page}
                                   << QStringList{} << false << true << done;
    QTest::newRow("open packed") << page << out << 4 << "" << QStringList{out} << QStringList{}
                                 << false << true << done;
    QTest::newRow("open packed never made") << page << "" << 4 << "" << QStringList{}
                                            << QStringList{} << false << true << nothing;
    QTest::newRow("open packed failed") << page << error << 4 << "" << QStringList{}
                                        << QStringList{} << false << true << nothing;
    QTest::newRow("open internet original") << "http://x.org/" << "" << 0 << ""
                                            << QStringList{"http://x.org/"} << QStringList{}
                                            << false << true << done;
    QTest::newRow("edit original, one argument") << page << out << 0 << "write" << QStringList{}
                                                 << QStringList{"write", page} << true << true
                                                 << done;
    QTest::newRow("edit with editor options") << page << out << 4 << "kate --new"
                                              << QStringList{}
                                              << QStringList{"kate", "--new", out} << true
                                              << true << done;
    QTest::newRow("edit internet original") << "HTTP://x.org/" << "" << 0 << "kate"
                                            << QStringList{} << QStringList{} << true << true
                                            << nothing;
    QTest::newRow("edit packed internet page") << "http://x.org/a" << "/out/x.org%a.html" << 4
                                               << "kate" << QStringList{}
                                               << QStringList{"kate", "/out/x.org%a.html"}
                                               << true << true << done;
    QTest::newRow("edit packed never made") << page << "" << 4 << "kate" << QStringList{}
                                            << QStringList{} << true << true << nothing;
    QTest::newRow("edit packed failed") << page << error << 4 << "kate" << QStringList{}
                                        << QStringList{} << true << true << nothing;
    QTest::newRow("open with no opener on the desktop")
        << page << out << 4 << "" << QStringList{out} << QStringList{} << false << false
        << int(ViewResult::OpenerMissing);
    QTest::newRow("edit with no editor set") << page << out << 0 << "" << QStringList{}
                                             << QStringList{} << true << true
                                             << int(ViewResult::EditorMissing);
    QTest::newRow("edit with a blank editor setting") << page << out << 0 << "  "
                                                      << QStringList{} << QStringList{} << true
                                                      << true << int(ViewResult::EditorMissing);
}

void ProjectFileTests::viewRowOpensAndEdits()
{
    QFETCH(QString, original);
    QFETCH(QString, packed);
    QFETCH(int, column);
    QFETCH(QString, editor);
    QFETCH(QStringList, opened);
    QFETCH(QStringList, started);
    QFETCH(bool, editing);
    QFETCH(bool, opener);
    QFETCH(int, result);
    PageListModel pages;
    pages.addPage(original, IMAGE_LOCAL);
    pages.setText(0, COLUMN_OUTPUT_NAME, packed);
    FakeLauncher launcher;
    launcher.documentsOpen = opener;
    QCOMPARE(int(viewRow(pages, 0, column, editing, editor, launcher)), result);
    QCOMPARE(launcher.opened, opened);
    QCOMPARE(launcher.started.isEmpty() ? QStringList{} : launcher.started.first(), started);
    QCOMPARE(viewRow(pages, -1, column, editing, editor, launcher), ViewResult::Nothing);
}

void ProjectFileTests::editorThatCannotStart()
{
    PageListModel pages;
    pages.addPage(QStringLiteral("/a.html"), IMAGE_LOCAL);
    FakeLauncher launcher;
    launcher.programsStart = false;
    QCOMPARE(viewRow(pages, 0, 0, true, QStringLiteral("no-such-editor"), launcher),
             ViewResult::EditorFailed);
}

void ProjectFileTests::editorCommandsWithBlanks_data()
{
    // "%1" stands for a folder holding "My Editor/ed" (a program), "My Editor/notes" (a
    // file that is no program) and "bin/my ed" (a program on the search path).
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QStringList>("started");  // program, then arguments; the page comes last
    QTest::newRow("program path with a blank")
        << "%1/My Editor/ed" << QStringList{"%1/My Editor/ed"};
    QTest::newRow("program name with a blank on the search path")
        << "my ed" << QStringList{"my ed"};
    QTest::newRow("quoted program path and an option")
        << "\"%1/My Editor/ed\" --new" << QStringList{"%1/My Editor/ed", "--new"};
    QTest::newRow("program path and an option, unquoted")
        << "%1/My Editor/ed --new" << QStringList{"%1/My", "Editor/ed", "--new"};
    QTest::newRow("a file that is no program")
        << "%1/My Editor/notes" << QStringList{"%1/My", "Editor/notes"};
    QTest::newRow("absent program") << "%1/My Editor/gone" << QStringList{"%1/My", "Editor/gone"};
}

void ProjectFileTests::editorCommandsWithBlanks()
{
    QFETCH(QString, editor);
    QFETCH(QStringList, started);
    const QString root = folder_->path();
    QVERIFY(QDir().mkpath(root + "/My Editor"));
    QVERIFY(QDir().mkpath(root + "/bin"));
    for (const QString name : {"/My Editor/ed", "/My Editor/notes", "/bin/my ed"}) {
        QFile file(root + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
        file.close();
        if (!name.endsWith("notes"))
            QVERIFY(file.setPermissions(file.permissions() | QFileDevice::ExeOwner));
    }
    const QByteArray searchPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(QDir::toNativeSeparators(root + "/bin"))
                        + QDir::listSeparator().toLatin1() + searchPath);

    const QString page = QStringLiteral("/site/my page.html");
    PageListModel pages;
    pages.addPage(page, IMAGE_LOCAL);
    FakeLauncher launcher;
    const ViewResult result = viewRow(pages, 0, 0, true, editor.arg(root), launcher);
    qputenv("PATH", searchPath);
    QCOMPARE(result, ViewResult::Done);
    QCOMPARE(launcher.started.size(), 1);
    QStringList expected;
    for (const QString& part : started)
        expected.append(part.contains("%1") ? part.arg(root) : part);
    QCOMPARE(launcher.started[0], expected + QStringList{page});
}

void ProjectFileTests::supportAndHelpAddresses()
{
    // Without a support server the support button opens the help document.
    QCOMPARE(supportTarget(QString(), folder_->path()), helpDocumentPath(folder_->path()));
    QVERIFY(supportTarget(QStringLiteral("https://support.test"), folder_->path())
                .startsWith(QStringLiteral("https://support.test/")));
    QCOMPARE(helpDocumentPath(folder_->path()), folder_->path() + "/help/QuillboxDoc.html");
    // An installed program finds the document in the data folder beside its bin folder.
    const QString bin = folder_->path() + "/bin";
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(QDir().mkpath(folder_->path() + "/share/quillbox/help"));
    QFile document(folder_->path() + "/share/quillbox/help/QuillboxDoc.html");
    QVERIFY(document.open(QIODevice::WriteOnly));
    document.close();
    QCOMPARE(helpDocumentPath(bin), folder_->path() + "/share/quillbox/help/QuillboxDoc.html");
}

QTEST_GUILESS_MAIN(ProjectFileTests)
#include "ProjectFileTests.moc"
