// The per-user settings store: defaults, round trips, case-insensitive names, damaged files.
#include "ProgramVersion.h"
#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class SettingsStoreTests : public QObject {
    Q_OBJECT

private slots:
    void init();
    void missingStoreYieldsDefaults();
    void storeLivesUnderTheProductTree();
    void earlierStoreIsFound_data();
    void earlierStoreIsFound();
    void theOldStoreIsReadUntilTheNewOneExists();
    void valuesRoundTrip();
    void namesIgnoreCase_data();
    void namesIgnoreCase();
    void mixedCaseNamesInTheFileAreOneValue();
    void damagedStoreYieldsDefaultsAndIsReplaced();
    void textInAnIntegerValueYieldsTheDefault();
    void handWrittenTextWithCommas_data();
    void handWrittenTextWithCommas();
    void entriesAndClearSection();

private:
    // Writes `text` as the store file of the application "Quillwin".
    void writeStoreFile(const QByteArray& text);

    std::unique_ptr<QTemporaryDir> configHome_;
};

void SettingsStoreTests::init()
{
    configHome_ = std::make_unique<QTemporaryDir>();
    QVERIFY(configHome_->isValid());
    qputenv("XDG_CONFIG_HOME", configHome_->path().toLocal8Bit());
}

void SettingsStoreTests::writeStoreFile(const QByteArray& text)
{
    const QString folder =
        configHome_->path() + QStringLiteral("/Orvane/Quillbox/") + programVersion();
    QVERIFY(QDir().mkpath(folder));
    QFile file(folder + QStringLiteral("/Quillwin.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

void SettingsStoreTests::missingStoreYieldsDefaults()
{
    SettingsStore store;
    QCOMPARE(store.getProfileInt("Settings", "PackMethod", 1), 1);
    QCOMPARE(store.getProfileInt("Settings", "MaxTokens", 127), 127);
    QCOMPARE(store.getProfileString("Directories", "Input", "."), QStringLiteral("."));
    QVERIFY(store.entries("Recent File List").isEmpty());
    QVERIFY(!QFile::exists(store.location()));  // reading creates nothing
}

void SettingsStoreTests::storeLivesUnderTheProductTree()
{
    SettingsStore store(QStringLiteral("Quillwin"));
    QCOMPARE(store.location(), configHome_->path() + QStringLiteral("/Orvane/Quillbox/")
                                   + programVersion() + QStringLiteral("/Quillwin.ini"));
    SettingsStore other(QStringLiteral("Renamed"));
    QVERIFY(other.location().endsWith(programVersion() + QStringLiteral("/Renamed.ini")));
}

void SettingsStoreTests::earlierStoreIsFound_data()
{
    QTest::addColumn<QStringList>("folders");  // version folders holding a Quillwin.ini
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("found");        // empty: none
    QTest::newRow("the old beta's store") << QStringList{"0.9b"} << "1.0.0" << "0.9b";
    QTest::newRow("the latest earlier one")
        << QStringList{"0.8", "0.9b", "0.9a", "1.0.0", "2.0"} << "1.1.0" << "1.0.0";
    QTest::newRow("letters tell builds of one version apart")
        << QStringList{"0.9a", "0.9b"} << "1.0.0" << "0.9b";
    QTest::newRow("only later versions") << QStringList{"2.0", "1.0.1"} << "1.0.0" << "";
    QTest::newRow("the same version is not earlier") << QStringList{"1.0.0"} << "1.0.0" << "";
    QTest::newRow("folders not named after a version") << QStringList{"backup"} << "1.0.0" << "";
}

void SettingsStoreTests::earlierStoreIsFound()
{
    QFETCH(QStringList, folders);
    QFETCH(QString, version);
    QFETCH(QString, found);
    const QString root = configHome_->path() + QStringLiteral("/stores");
    for (const QString& folder : folders) {
        QVERIFY(QDir().mkpath(root + "/" + folder));
        QFile file(root + "/" + folder + "/Quillwin.ini");
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QDir().mkpath(root + "/0.1"));  // a folder without the file
    QCOMPARE(earlierStoreFile(root, QStringLiteral("Quillwin.ini"), version),
             found.isEmpty() ? QString() : root + "/" + found + "/Quillwin.ini");
}

void SettingsStoreTests::theOldStoreIsReadUntilTheNewOneExists()
{
    const QString old = configHome_->path() + QStringLiteral("/Orvane/Quillbox/0.9b");
    QVERIFY(QDir().mkpath(old));
    {
        QFile file(old + QStringLiteral("/Quillwin.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Settings]\nEditor=kate\n[Directories]\nOutput=/srv/packed\n");
    }
    {
        SettingsStore store;
        QCOMPARE(store.getProfileString("Settings", "Editor", "none"), QStringLiteral("kate"));
        QVERIFY(store.writeProfileString("Directories", "Output", "/srv/new"));
        QVERIFY(!store.location().contains(QStringLiteral("0.9b")));
    }
    // The new store keeps the change and the values carried over; the old one is untouched.
    SettingsStore again;
    QCOMPARE(again.getProfileString("Directories", "Output", "none"), QStringLiteral("/srv/new"));
    QCOMPARE(again.getProfileString("Settings", "Editor", "none"), QStringLiteral("kate"));
    QSettings previous(old + QStringLiteral("/Quillwin.ini"), QSettings::IniFormat);
    QCOMPARE(previous.value("Directories/Output").toString(), QStringLiteral("/srv/packed"));
}

void SettingsStoreTests::valuesRoundTrip()
{
    {
        SettingsStore store;
        QVERIFY(store.writeProfileInt("Settings", "PackMethod", 3));
        QVERIFY(store.writeProfileInt("Settings", "DecompOutputSize", 9000));
        QVERIFY(store.writeProfileInt("Settings", "Negative", -5));
        QVERIFY(store.writeProfileString("Directories", "Output", "C:\\Temp\\out dir"));
        QVERIFY(store.writeProfileString("Settings", "Editor", "kate --new"));
        QVERIFY(store.writeProfileString("Recent File List", "File1", "/home/a b/x.qbx"));
    }
    SettingsStore store;  // a new object reads the file afresh
    QCOMPARE(store.getProfileInt("Settings", "PackMethod", 1), 3);
    QCOMPARE(store.getProfileInt("Settings", "DecompOutputSize", 400), 9000);
    QCOMPARE(store.getProfileInt("Settings", "Negative", 0), -5);
    QCOMPARE(store.getProfileString("Directories", "Output", ""), QStringLiteral("C:\\Temp\\out dir"));
    QCOMPARE(store.getProfileString("Settings", "Editor", ""), QStringLiteral("kate --new"));
    QCOMPARE(store.getProfileString("Recent File List", "File1", ""),
             QStringLiteral("/home/a b/x.qbx"));
}

void SettingsStoreTests::namesIgnoreCase_data()
{
    QTest::addColumn<QString>("writtenSection");
    QTest::addColumn<QString>("writtenEntry");
    QTest::addColumn<QString>("readSection");
    QTest::addColumn<QString>("readEntry");
    QTest::newRow("tip start-up") << "Tip" << "StartUp" << "Tip" << "Startup";
    QTest::newRow("section case") << "Settings" << "NoMeta" << "SETTINGS" << "nometa";
    QTest::newRow("spaced section") << "Recent File List" << "File1" << "recent file list" << "FILE1";
}

void SettingsStoreTests::namesIgnoreCase()
{
    QFETCH(QString, writtenSection);
    QFETCH(QString, writtenEntry);
    QFETCH(QString, readSection);
    QFETCH(QString, readEntry);
    {
        SettingsStore store;
        QVERIFY(store.writeProfileInt(writtenSection, writtenEntry, 7));
        // Writing under the other spelling replaces the value instead of adding a second one.
        QVERIFY(store.writeProfileInt(readSection, readEntry, 8));
        QCOMPARE(store.entries(writtenSection), QStringList{writtenEntry});
    }
    SettingsStore store;
    QCOMPARE(store.getProfileInt(readSection, readEntry, 0), 8);
    QCOMPARE(store.getProfileInt(writtenSection, writtenEntry, 0), 8);
}

void SettingsStoreTests::mixedCaseNamesInTheFileAreOneValue()
{
    writeStoreFile("[tip]\nStartUp=1\n[SETTINGS]\npackmethod=2\n");
    SettingsStore store;
    QCOMPARE(store.getProfileInt("Tip", "Startup", 0), 1);
    QCOMPARE(store.getProfileInt("Settings", "PackMethod", 1), 2);
    QVERIFY(store.writeProfileInt("Tip", "Startup", 0));
    SettingsStore reread;
    QCOMPARE(reread.getProfileInt("TIP", "STARTUP", 5), 0);
    QCOMPARE(reread.entries("Tip"), QStringList{QStringLiteral("StartUp")});
}

void SettingsStoreTests::damagedStoreYieldsDefaultsAndIsReplaced()
{
    writeStoreFile("[Settings\nPackMethod=3\n\x01\x02=\"\n[Tip]\nStartUp=1\n");
    {
        SettingsStore store;
        QCOMPARE(store.getProfileInt("Settings", "PackMethod", 1), 1);
        QCOMPARE(store.getProfileInt("Tip", "StartUp", 0), 0);
        QVERIFY(store.entries("Tip").isEmpty());
        QVERIFY(store.writeProfileInt("Settings", "NoMeta", 1));
    }
    SettingsStore store;
    QCOMPARE(store.getProfileInt("Settings", "NoMeta", 0), 1);
    QCOMPARE(store.getProfileInt("Settings", "PackMethod", 1), 1);
}

void SettingsStoreTests::textInAnIntegerValueYieldsTheDefault()
{
    writeStoreFile("[Settings]\nMaxTokens=many\nDecompOutputSize= 300 \n");
    SettingsStore store;
    QCOMPARE(store.getProfileInt("Settings", "MaxTokens", 127), 127);
    QCOMPARE(store.getProfileInt("Settings", "DecompOutputSize", 400), 300);
}

void SettingsStoreTests::handWrittenTextWithCommas_data()
{
    QTest::addColumn<QByteArray>("line");  // as written by hand under [Settings]
    QTest::addColumn<QString>("text");     // what the Editor setting reads as
    QTest::newRow("two editors") << QByteArray("Editor=gedit, kate") << "gedit, kate";
    QTest::newRow("options after a comma") << QByteArray("Editor=kate --new, --line 3")
                                           << "kate --new, --line 3";
    QTest::newRow("three parts") << QByteArray("Editor=x, y, z") << "x, y, z";
    QTest::newRow("quoted") << QByteArray("Editor=\"gedit, kate\"") << "gedit, kate";
    QTest::newRow("no comma") << QByteArray("Editor=kate --new") << "kate --new";
}

void SettingsStoreTests::handWrittenTextWithCommas()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, text);
    writeStoreFile("[Settings]\n" + line + "\nPackMethod=2\n");
    SettingsStore store;
    QCOMPARE(store.getProfileString("Settings", "Editor", "default"), text);
    QCOMPARE(store.getProfileInt("Settings", "PackMethod", 1), 2);
    // Written back, the text survives a round trip unchanged.
    QVERIFY(store.writeProfileString("Settings", "Editor", text));
    SettingsStore reread;
    QCOMPARE(reread.getProfileString("Settings", "Editor", "default"), text);
}

void SettingsStoreTests::entriesAndClearSection()
{
    SettingsStore store;
    QVERIFY(store.writeProfileString("Recent File List", "File1", "a.qbx"));
    QVERIFY(store.writeProfileString("Recent File List", "File2", "b.qbx"));
    QVERIFY(store.writeProfileInt("Settings", "NoMeta", 1));
    QCOMPARE(store.entries("Recent File List"),
             (QStringList{QStringLiteral("File1"), QStringLiteral("File2")}));
    store.clearSection("RECENT FILE LIST");
    QVERIFY(store.entries("Recent File List").isEmpty());
    SettingsStore reread;
    QVERIFY(reread.entries("Recent File List").isEmpty());
    QCOMPARE(reread.getProfileInt("Settings", "NoMeta", 0), 1);
}

QTEST_GUILESS_MAIN(SettingsStoreTests)
#include "SettingsStoreTests.moc"
