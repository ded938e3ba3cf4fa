// The settings record: the field checks, the defaults, the pack method's radio states and
// what a confirmed sheet writes.
#include "AppSettings.h"
#include "FieldValidation.h"
#include "SettingsStore.h"

#include <QTemporaryDir>
#include <QtTest>

class SettingsRecordTests : public QObject {
    Q_OBJECT

private slots:
    void init();
    void bufferSizeField_data();
    void bufferSizeField();
    void maximumTokensField_data();
    void maximumTokensField();
    void editorLength();
    void tableHoldsEverySetting();
    void emptyStoreGivesDefaults();
    void storedValuesAreLoaded();
    void storedPackMethodSelectsItsButton_data();
    void storedPackMethodSelectsItsButton();
    void chosenPackMethod_data();
    void chosenPackMethod();
    void writesFollowTheSheetOrderWithoutMaxTokens();
    void saveRoundTripKeepsStoredMaxTokens();
    void servedSetting_data();
    void servedSetting();

private:
    std::unique_ptr<QTemporaryDir> configHome_;
    const TextDefaults defaults_{QStringLiteral("/tmp/out"), QStringLiteral("kate")};
};

void SettingsRecordTests::init()
{
    configHome_ = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", configHome_->path().toLocal8Bit());
}

void SettingsRecordTests::bufferSizeField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    const QString notANumber = QStringLiteral("Please enter a positive integer.");
    const QString range = QStringLiteral("Please enter an integer between 200 and 9000.");
    // Boundaries.
    QTest::newRow("199") << "199" << false << range;
    QTest::newRow("200") << "200" << true << "";
    QTest::newRow("9000") << "9000" << true << "";
    QTest::newRow("9001") << "9001" << false << range;
    QTest::newRow("0") << "0" << false << range;
    QTest::newRow("huge") << "99999999999999" << false << range;
    // Not a number.
    QTest::newRow("empty") << "" << false << notANumber;
    QTest::newRow("blanks only") << "   " << false << notANumber;
    QTest::newRow("negative") << "-400" << false << notANumber;
    QTest::newRow("trailing letter") << "400k" << false << notANumber;
    QTest::newRow("inner blank") << "4 00" << false << notANumber;
    // Blanks and tabs around the number are allowed.
    QTest::newRow("surrounding blanks") << " \t400 \t" << true << "";
    QTest::newRow("leading zeros") << "00400" << true << "";
    // Only the first 31 characters count.
    QTest::newRow("text after 31 characters") << QString(28, ' ') + "400" + "junk" << true << "";
}

void SettingsRecordTests::bufferSizeField()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    const FieldCheck check = checkUnsignedField(text, 200, 9000);
    QCOMPARE(check.ok, ok);
    QCOMPARE(check.message, message);
    if (ok)
        QCOMPARE(check.value, text.left(31).trimmed().toLongLong());
}

void SettingsRecordTests::maximumTokensField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    const QString notANumber = QStringLiteral("Please enter an integer.");
    const QString range = QStringLiteral("Please enter an integer between 0 and 256.");
    QTest::newRow("0") << "0" << true << "";
    QTest::newRow("256") << "256" << true << "";
    QTest::newRow("257") << "257" << false << range;
    QTest::newRow("-1") << "-1" << false << range;
    QTest::newRow("empty") << "" << false << notANumber;
    QTest::newRow("letters") << "abc" << false << notANumber;
    QTest::newRow("minus zero") << "-0" << false << notANumber;
    QTest::newRow("127 with blanks") << " 127 " << true << "";
}

void SettingsRecordTests::maximumTokensField()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    const FieldCheck check = checkSignedField(text, 0, 256);
    QCOMPARE(check.ok, ok);
    QCOMPARE(check.message, message);
}

void SettingsRecordTests::editorLength()
{
    QVERIFY(checkTextLength(QString(60, 'e'), 60).ok);
    const FieldCheck tooLong = checkTextLength(QString(61, 'e'), 60);
    QVERIFY(!tooLong.ok);
    QCOMPARE(tooLong.message, QStringLiteral("Please enter no more than 60 characters."));
    QVERIFY(checkTextLength(QString(), 60).ok);
}

void SettingsRecordTests::tableHoldsEverySetting()
{
    QStringList names;
    for (const SettingDefinition& definition : settingDefinitions())
        names.append(QString::fromLatin1(definition.section) + "/" + definition.key);
    QCOMPARE(names, (QStringList{
        "Directories/Input", "Directories/Output", "Settings/PackMethod", "Settings/Editor",
        "Settings/ConfirmWrite", "Settings/OptimumPack", "Settings/NoMeta", "Settings/NoComments",
        "Settings/GenKeywords", "Tip/Startup", "Settings/NoJScript", "Settings/MaxTokens",
        "Settings/DecompOutputSize", "Directories/CreateDirectories", "Settings/Served"}));
}

void SettingsRecordTests::emptyStoreGivesDefaults()
{
    SettingsStore store;
    const AppSettings settings = loadSettings(store, defaults_);
    QCOMPARE(settings.directories.inputFolder, QStringLiteral("."));
    QCOMPARE(settings.directories.outputFolder, QStringLiteral("/tmp/out"));
    QCOMPARE(settings.directories.overwriteWarning, 1);
    QCOMPARE(settings.directories.createDirectories, 1);
    QCOMPARE(settings.packMethod, 1);
    QCOMPARE(settings.compression.radioStates, (std::array<int, 3>{1, -1, -1}));
    QCOMPARE(settings.compression.noJScript, 0);
    QCOMPARE(settings.compression.noMeta, 0);
    QCOMPARE(settings.compression.optimumPack, 1);
    QCOMPARE(settings.compression.noComments, 1);
    QCOMPARE(settings.compression.decompOutputSize, 400u);
    QCOMPARE(settings.compression.maxTokens, 127);
    QCOMPARE(settings.general.editor, QStringLiteral("kate"));
    QCOMPARE(settings.general.genKeywords, 0);
    QCOMPARE(settings.general.noStartupTips, 1);
}

void SettingsRecordTests::storedValuesAreLoaded()
{
    SettingsStore store;
    store.writeProfileString("Directories", "Input", "/in");
    store.writeProfileString("Directories", "Output", "/out");
    store.writeProfileString("Settings", "Editor", "gedit");
    store.writeProfileInt("Settings", "ConfirmWrite", 0);
    store.writeProfileInt("Settings", "NoMeta", 1);
    store.writeProfileInt("Settings", "NoComments", 0);
    store.writeProfileInt("Settings", "MaxTokens", 50);
    store.writeProfileInt("Settings", "DecompOutputSize", 9000);
    store.writeProfileInt("Tip", "StartUp", 0);  // the tip dialog's spelling
    const AppSettings settings = loadSettings(store, defaults_);
    QCOMPARE(settings.directories.inputFolder, QStringLiteral("/in"));
    QCOMPARE(settings.directories.outputFolder, QStringLiteral("/out"));
    QCOMPARE(settings.general.editor, QStringLiteral("gedit"));
    QCOMPARE(settings.directories.overwriteWarning, 0);
    QCOMPARE(settings.compression.noMeta, 1);
    QCOMPARE(settings.compression.noComments, 0);
    QCOMPARE(settings.compression.maxTokens, 50);
    QCOMPARE(settings.compression.decompOutputSize, 9000u);
    QCOMPARE(settings.general.noStartupTips, 0);
}

void SettingsRecordTests::storedPackMethodSelectsItsButton_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<QList<int>>("states");
    QTest::newRow("best") << 1 << QList<int>{1, -1, -1};
    QTest::newRow("javascript") << 2 << QList<int>{-1, 1, -1};
    QTest::newRow("plain") << 3 << QList<int>{-1, -1, 1};
    QTest::newRow("0 selects none") << 0 << QList<int>{-1, -1, -1};
    QTest::newRow("4 selects none") << 4 << QList<int>{-1, -1, -1};
}

void SettingsRecordTests::storedPackMethodSelectsItsButton()
{
    QFETCH(int, stored);
    QFETCH(QList<int>, states);
    SettingsStore store;
    store.writeProfileInt("Settings", "PackMethod", stored);
    const AppSettings settings = loadSettings(store, defaults_);
    QCOMPARE(settings.packMethod, stored);
    const auto& radio = settings.compression.radioStates;
    QCOMPARE((QList<int>{radio[0], radio[1], radio[2]}), states);
}

void SettingsRecordTests::chosenPackMethod_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<QList<int>>("states");
    QTest::addColumn<int>("expected");
    QTest::newRow("page never left keeps the method") << 2 << QList<int>{-1, 1, -1} << 2;
    QTest::newRow("javascript checked") << 1 << QList<int>{-1, 0, -1} << 2;
    QTest::newRow("plain checked") << 1 << QList<int>{-1, -1, 0} << 3;
    QTest::newRow("first checked wins") << 3 << QList<int>{0, 0, -1} << 1;
    QTest::newRow("none checked keeps 4") << 4 << QList<int>{-1, -1, -1} << 4;
}

void SettingsRecordTests::chosenPackMethod()
{
    QFETCH(int, current);
    QFETCH(QList<int>, states);
    QFETCH(int, expected);
    AppSettings settings;
    settings.packMethod = current;
    settings.compression.radioStates = {states[0], states[1], states[2]};
    applyChosenPackMethod(settings);
    QCOMPARE(settings.packMethod, expected);
}

void SettingsRecordTests::writesFollowTheSheetOrderWithoutMaxTokens()
{
    AppSettings settings;
    settings.directories = {QStringLiteral("/out"), QStringLiteral("/in"), 1, 0};
    settings.packMethod = 3;
    settings.general = {QStringLiteral("kate"), 0, 1};
    settings.compression.noMeta = 1;
    settings.compression.noComments = 0;
    settings.compression.optimumPack = 1;
    settings.compression.decompOutputSize = 200;
    settings.compression.maxTokens = 50;
    const QList<SettingWrite> expected = {
        {"Directories", "Input", QStringLiteral("/in")},
        {"Directories", "Output", QStringLiteral("/out")},
        {"Directories", "CreateDirectories", 0},
        {"Settings", "PackMethod", 3},
        {"Settings", "Editor", QStringLiteral("kate")},
        {"Settings", "ConfirmWrite", 1},
        {"Settings", "OptimumPack", 1},
        {"Settings", "NoMeta", 1},
        {"Settings", "GenKeywords", 0},
        {"Settings", "NoJScript", 0},
        {"Tip", "Startup", 1},
        {"Settings", "NoComments", 0},
        {"Settings", "DecompOutputSize", 200},
        {"Settings", "Served", QStringLiteral("raw")},
    };
    QCOMPARE(settingsWrites(settings), expected);
}

void SettingsRecordTests::saveRoundTripKeepsStoredMaxTokens()
{
    SettingsStore store;
    store.writeProfileInt("Settings", "MaxTokens", 90);
    AppSettings settings = loadSettings(store, defaults_);
    settings.compression.maxTokens = 50;
    settings.compression.radioStates = {-1, 0, -1};
    settings.directories.outputFolder = QStringLiteral("/elsewhere");
    settings.compression.decompOutputSize = 1234;
    saveSettings(store, settings);
    QCOMPARE(settings.packMethod, 2);

    SettingsStore reopened;
    const AppSettings reread = loadSettings(reopened, defaults_);
    QCOMPARE(reread.packMethod, 2);
    QCOMPARE(reread.directories.outputFolder, QStringLiteral("/elsewhere"));
    QCOMPARE(reread.compression.decompOutputSize, 1234u);
    QCOMPARE(reread.compression.maxTokens, 90);
    QCOMPARE(reopened.entries("Tip"), QStringList{QStringLiteral("Startup")});
}

void SettingsRecordTests::servedSetting_data()
{
    QTest::addColumn<QString>("stored");  // empty: a store of an older version, without it
    QTest::addColumn<QString>("loaded");
    QTest::newRow("older store") << QString() << "raw";
    QTest::newRow("gzip") << "gzip" << "gzip";
    QTest::newRow("brotli") << "br" << "br";
    QTest::newRow("unknown") << "zip" << "raw";
}

void SettingsRecordTests::servedSetting()
{
    QFETCH(QString, stored);
    QFETCH(QString, loaded);
    SettingsStore store;
    if (!stored.isEmpty())
        store.writeProfileString("Settings", "Served", stored);
    AppSettings settings = loadSettings(store, defaults_);
    QCOMPARE(settings.compression.served, loaded);
    // What is saved reads back the same.
    settings.compression.served = QStringLiteral("br");
    saveSettings(store, settings);
    SettingsStore reopened;
    QCOMPARE(loadSettings(reopened, defaults_).compression.served, QStringLiteral("br"));
}

QTEST_GUILESS_MAIN(SettingsRecordTests)
#include "SettingsRecordTests.moc"
