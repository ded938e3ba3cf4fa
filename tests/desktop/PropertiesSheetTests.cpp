// The Properties sheet: what it shows, the radio buttons, the checks made when a page is left
// or OK is pressed, and what OK and Cancel leave in the store and in memory.
#include "AppSettings.h"
#include "MainWindow.h"
#include "PropPage.h"
#include "PropertiesSheet.h"
#include "ScriptedAsker.h"
#include "SettingsStore.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

// Clicks a radio button on its indicator, where a click counts.
void clickRadio(QRadioButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

class PropertiesSheetTests : public QObject {
    Q_OBJECT

private slots:
    void init();
    void defaultsAreShown();
    void pagesComeInOrder();
    void radioButtonsUncheckEachOther();
    void storedMethodOutsideTheRangeChecksNone();
    void leavingAPageChecksItsFields_data();
    void leavingAPageChecksItsFields();
    void okChecksThePageOnShow();
    void longEditorFromTheStoreIsRefused();
    void okWritesTheSettings();
    void okWithoutVisitingCompressionKeepsThePackMethod();
    void cancelLeavesEverySetting_data();
    void cancelLeavesEverySetting();
    void packAfterCancelUsesTheFolderFromBefore();
    void browseFillsTheFolder();

private:
    // Runs the Properties command of `window` and lets `answer` work the sheet once it shows.
    void runProperties(MainWindow& window, const std::function<void(PropertiesSheet*)>& answer);
    template <typename T> static T* control(QWidget* page, const char* name)
    {
        T* found = page->findChild<T*>(QString::fromLatin1(name));
        Q_ASSERT(found);
        return found;
    }

    std::unique_ptr<QTemporaryDir> configHome_;
    std::unique_ptr<SettingsStore> store_;
    const TextDefaults defaults_{QStringLiteral("/tmp/out"), QStringLiteral("kate")};
};

void PropertiesSheetTests::init()
{
    configHome_ = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", configHome_->path().toLocal8Bit());
    store_ = std::make_unique<SettingsStore>();
}

void PropertiesSheetTests::runProperties(MainWindow& window,
                                         const std::function<void(PropertiesSheet*)>& answer)
{
    bool answered = false;
    QTimer::singleShot(0, this, [&] {
        auto* sheet = qobject_cast<PropertiesSheet*>(QApplication::activeModalWidget());
        QVERIFY(sheet);
        answered = true;
        answer(sheet);
    });
    window.findChild<QAction*>(QStringLiteral("optionsProperties"))->trigger();
    QVERIFY(answered);
}

void PropertiesSheetTests::defaultsAreShown()
{
    AppSettings settings = loadSettings(*store_, defaults_);
    ScriptedAsker asker;
    PropertiesSheet sheet(settings, asker);
    QWidget* directories = sheet.page(0);
    QCOMPARE(control<QLineEdit>(directories, "inputFolder")->text(), QStringLiteral("."));
    QCOMPARE(control<QLineEdit>(directories, "outputFolder")->text(), QStringLiteral("/tmp/out"));
    QVERIFY(control<QCheckBox>(directories, "overwriteWarning")->isChecked());

    sheet.tabs()->setCurrentIndex(1);
    QWidget* compression = sheet.page(1);
    QVERIFY(control<QRadioButton>(compression, "methodBest")->isChecked());
    QVERIFY(!control<QRadioButton>(compression, "methodJavaScript")->isChecked());
    QVERIFY(!control<QRadioButton>(compression, "methodPlain")->isChecked());
    QVERIFY(!control<QCheckBox>(compression, "noMeta")->isChecked());
    QVERIFY(control<QCheckBox>(compression, "noComments")->isChecked());
    QVERIFY(control<QCheckBox>(compression, "noJScript")->isHidden());
    QVERIFY(control<QCheckBox>(compression, "optimumPack")->isHidden());
    QCOMPARE(control<QLineEdit>(compression, "decompOutputSize")->text(), QStringLiteral("400"));
    QCOMPARE(control<QLineEdit>(compression, "maxTokens")->text(), QStringLiteral("127"));

    sheet.tabs()->setCurrentIndex(2);
    QWidget* general = sheet.page(2);
    QCOMPARE(control<QLineEdit>(general, "editor")->text(), QStringLiteral("kate"));
    QCOMPARE(control<QLineEdit>(general, "editor")->maxLength(), 60);
    QVERIFY(control<QCheckBox>(general, "noStartupTips")->isChecked());
    QCOMPARE(asker.questions.size(), 0);
}

void PropertiesSheetTests::pagesComeInOrder()
{
    AppSettings settings = loadSettings(*store_, defaults_);
    ScriptedAsker asker;
    PropertiesSheet sheet(settings, asker);
    QCOMPARE(sheet.windowTitle(), QStringLiteral("Quillbox Properties"));
    QCOMPARE(sheet.tabs()->count(), 3);
    QCOMPARE(sheet.tabs()->tabText(0), QStringLiteral("Directories"));
    QCOMPARE(sheet.tabs()->tabText(1), QStringLiteral("Compression"));
    QCOMPARE(sheet.tabs()->tabText(2), QStringLiteral("General"));
    QCOMPARE(sheet.tabs()->currentIndex(), 0);
}

void PropertiesSheetTests::radioButtonsUncheckEachOther()
{
    AppSettings settings = loadSettings(*store_, defaults_);
    ScriptedAsker asker;
    PropertiesSheet sheet(settings, asker);
    sheet.tabs()->setCurrentIndex(1);
    sheet.show();
    QWidget* compression = sheet.page(1);
    auto* best = control<QRadioButton>(compression, "methodBest");
    auto* javaScript = control<QRadioButton>(compression, "methodJavaScript");
    auto* plain = control<QRadioButton>(compression, "methodPlain");
    clickRadio(plain);
    QCOMPARE((QList<bool>{best->isChecked(), javaScript->isChecked(), plain->isChecked()}),
             (QList<bool>{false, false, true}));
    // Clicking the checked button again leaves it checked.
    clickRadio(plain);
    QVERIFY(plain->isChecked());
    clickRadio(javaScript);
    QCOMPARE((QList<bool>{best->isChecked(), javaScript->isChecked(), plain->isChecked()}),
             (QList<bool>{false, true, false}));
    // Leaving the page turns the states into 0 (checked) and -1; OK hands them over.
    sheet.tabs()->setCurrentIndex(2);
    sheet.accept();
    QCOMPARE(settings.compression.radioStates, (std::array<int, 3>{-1, 0, -1}));
    QCOMPARE(settings.packMethod, 1);  // changes only on OK
}

void PropertiesSheetTests::storedMethodOutsideTheRangeChecksNone()
{
    store_->writeProfileInt("Settings", "PackMethod", 4);
    AppSettings settings = loadSettings(*store_, defaults_);
    ScriptedAsker asker;
    PropertiesSheet sheet(settings, asker);
    sheet.tabs()->setCurrentIndex(1);
    for (const char* name : {"methodBest", "methodJavaScript", "methodPlain"})
        QVERIFY(!control<QRadioButton>(sheet.page(1), name)->isChecked());
}

void PropertiesSheetTests::leavingAPageChecksItsFields_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const QString bufferRange = QStringLiteral("Please enter an integer between 200 and 9000.");
    const QString tokenRange = QStringLiteral("Please enter an integer between 0 and 256.");
    QTest::newRow("buffer 199") << "decompOutputSize" << "199" << bufferRange;
    QTest::newRow("buffer 9001") << "decompOutputSize" << "9001" << bufferRange;
    QTest::newRow("buffer empty") << "decompOutputSize" << ""
                                  << "Please enter a positive integer.";
    QTest::newRow("tokens 257") << "maxTokens" << "257" << tokenRange;
    QTest::newRow("tokens empty") << "maxTokens" << "" << "Please enter an integer.";
    QTest::newRow("buffer 200 passes") << "decompOutputSize" << "200" << "";
    QTest::newRow("buffer 9000 passes") << "decompOutputSize" << "9000" << "";
    QTest::newRow("tokens 0 passes") << "maxTokens" << "0" << "";
    QTest::newRow("tokens 256 passes") << "maxTokens" << "256" << "";
}

void PropertiesSheetTests::leavingAPageChecksItsFields()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, message);
    AppSettings settings = loadSettings(*store_, defaults_);
    ScriptedAsker asker;
    asker.answers.enqueue(Asker::Answer::Ok);
    PropertiesSheet sheet(settings, asker);
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    sheet.tabs()->setCurrentIndex(1);
    auto* edit = control<QLineEdit>(sheet.page(1), field.toLatin1().constData());
    edit->setText(text);
    sheet.tabs()->setCurrentIndex(2);
    if (message.isEmpty()) {
        QCOMPARE(asker.questions.size(), 0);
        QCOMPARE(sheet.tabs()->currentIndex(), 2);
        sheet.accept();
        const qint64 taken = field == "maxTokens" ? settings.compression.maxTokens
                                                  : qint64(settings.compression.decompOutputSize);
        QCOMPARE(taken, text.toLongLong());
        return;
    }
    QCOMPARE(asker.questionTexts(), QStringList{message});
    QCOMPARE(asker.questions.first().icon, Asker::Icon::Warning);
    QCOMPARE(sheet.tabs()->currentIndex(), 1);  // the page stays on show
    QCOMPARE(edit->selectedText(), text);
    QCOMPARE(settings.compression.maxTokens, 127);
    QCOMPARE(settings.compression.decompOutputSize, 400u);
}

void PropertiesSheetTests::okChecksThePageOnShow()
{
    AppSettings settings = loadSettings(*store_, defaults_);
    ScriptedAsker asker;
    asker.answers.enqueue(Asker::Answer::Ok);
    PropertiesSheet sheet(settings, asker);
    sheet.tabs()->setCurrentIndex(1);
    control<QLineEdit>(sheet.page(1), "decompOutputSize")->setText("9001");
    sheet.accept();
    QCOMPARE(sheet.result(), int(QDialog::Rejected));  // not closed
    QCOMPARE(asker.questionTexts(),
             QStringList{"Please enter an integer between 200 and 9000."});
    control<QLineEdit>(sheet.page(1), "decompOutputSize")->setText("9000");
    sheet.accept();
    QCOMPARE(sheet.result(), int(QDialog::Accepted));
    QCOMPARE(settings.compression.decompOutputSize, 9000u);
}

void PropertiesSheetTests::longEditorFromTheStoreIsRefused()
{
    const QString longEditor = QString(61, 'e');
    store_->writeProfileString("Settings", "Editor", longEditor);
    AppSettings settings = loadSettings(*store_, defaults_);
    ScriptedAsker asker;
    asker.answers.enqueue(Asker::Answer::Ok);
    PropertiesSheet sheet(settings, asker);
    sheet.tabs()->setCurrentIndex(2);
    QCOMPARE(control<QLineEdit>(sheet.page(2), "editor")->text(), longEditor);
    sheet.tabs()->setCurrentIndex(0);
    QCOMPARE(asker.questionTexts(), QStringList{"Please enter no more than 60 characters."});
    QCOMPARE(sheet.tabs()->currentIndex(), 2);
}

void PropertiesSheetTests::okWritesTheSettings()
{
    ScriptedAsker asker;
    MainWindow window(*store_, asker);
    runProperties(window, [](PropertiesSheet* sheet) {
        control<QLineEdit>(sheet->page(0), "outputFolder")->setText("/var/out");
        control<QCheckBox>(sheet->page(0), "overwriteWarning")->setChecked(false);
        sheet->tabs()->setCurrentIndex(1);
        clickRadio(control<QRadioButton>(sheet->page(1), "methodPlain"));
        control<QCheckBox>(sheet->page(1), "noMeta")->setChecked(true);
        control<QLineEdit>(sheet->page(1), "maxTokens")->setText("50");
        control<QLineEdit>(sheet->page(1), "decompOutputSize")->setText("1000");
        sheet->tabs()->setCurrentIndex(2);
        control<QLineEdit>(sheet->page(2), "editor")->setText("mousepad");
        control<QCheckBox>(sheet->page(2), "noStartupTips")->setChecked(false);
        sheet->accept();
    });
    QCOMPARE(window.settings().packMethod, 3);
    QCOMPARE(window.settings().compression.maxTokens, 50);  // held in memory
    SettingsStore reread;
    QCOMPARE(reread.getProfileString("Directories", "Output", ""), QStringLiteral("/var/out"));
    QCOMPARE(reread.getProfileInt("Settings", "ConfirmWrite", -1), 0);
    QCOMPARE(reread.getProfileInt("Settings", "PackMethod", -1), 3);
    QCOMPARE(reread.getProfileInt("Settings", "NoMeta", -1), 1);
    QCOMPARE(reread.getProfileInt("Settings", "DecompOutputSize", -1), 1000);
    QCOMPARE(reread.getProfileString("Settings", "Editor", ""), QStringLiteral("mousepad"));
    QCOMPARE(reread.getProfileInt("Tip", "StartUp", -1), 0);
    QCOMPARE(reread.getProfileInt("Settings", "MaxTokens", -1), -1);  // never written
    QCOMPARE(loadSettings(reread, defaults_).compression.maxTokens, 127);
}

void PropertiesSheetTests::okWithoutVisitingCompressionKeepsThePackMethod()
{
    store_->writeProfileInt("Settings", "PackMethod", 4);
    ScriptedAsker asker;
    MainWindow window(*store_, asker);
    runProperties(window, [](PropertiesSheet* sheet) { sheet->accept(); });
    SettingsStore reread;
    QCOMPARE(reread.getProfileInt("Settings", "PackMethod", -1), 4);
    QCOMPARE(reread.getProfileInt("Settings", "NoComments", -1), 1);
    QCOMPARE(reread.getProfileString("Directories", "Input", ""), QStringLiteral("."));
}

namespace {
// What the settings would store, and the values held in memory only, as text.
QStringList describe(const AppSettings& settings, bool withRadioStates = true)
{
    QStringList lines;
    for (const SettingWrite& write : settingsWrites(settings))
        lines.append(write.section + "/" + write.key + "=" + write.value.toString());
    lines.append(QString::number(settings.packMethod));
    lines.append(QString::number(settings.compression.maxTokens));
    if (withRadioStates) {
        for (int state : settings.compression.radioStates)
            lines.append(QString::number(state));
    }
    return lines;
}
} // namespace

void PropertiesSheetTests::cancelLeavesEverySetting_data()
{
    QTest::addColumn<int>("changedPage");
    QTest::addColumn<int>("pageAtCancel");
    QTest::newRow("output folder, cancelled on Compression") << 0 << 1;
    QTest::newRow("output folder, cancelled on General") << 0 << 2;
    QTest::newRow("output folder, cancelled on its page") << 0 << 0;
    QTest::newRow("pack method and numbers, cancelled on General") << 1 << 2;
    QTest::newRow("pack method and numbers, cancelled on Directories") << 1 << 0;
    QTest::newRow("editor and tips, cancelled on Directories") << 2 << 0;
}

void PropertiesSheetTests::cancelLeavesEverySetting()
{
    QFETCH(int, changedPage);
    QFETCH(int, pageAtCancel);
    ScriptedAsker asker;
    MainWindow window(*store_, asker);
    const QString storeFile = store_->location();
    const QStringList before = describe(window.settings());
    const QStringList beforeStored = describe(window.settings(), false);
    runProperties(window, [&](PropertiesSheet* sheet) {
        sheet->tabs()->setCurrentIndex(changedPage);
        QWidget* page = sheet->page(changedPage);
        if (changedPage == 0) {
            control<QLineEdit>(page, "outputFolder")->setText("/changed");
            control<QLineEdit>(page, "inputFolder")->setText("/changed/in");
            control<QCheckBox>(page, "overwriteWarning")->click();
        } else if (changedPage == 1) {
            clickRadio(control<QRadioButton>(page, "methodJavaScript"));
            control<QCheckBox>(page, "noComments")->click();
            control<QLineEdit>(page, "maxTokens")->setText("9");
            control<QLineEdit>(page, "decompOutputSize")->setText("300");
        } else {
            control<QLineEdit>(page, "editor")->setText("other-editor");
            control<QCheckBox>(page, "noStartupTips")->click();
        }
        sheet->tabs()->setCurrentIndex(pageAtCancel);
        sheet->tabs()->setCurrentIndex((pageAtCancel + 1) % 3);  // every page left once more
        sheet->tabs()->setCurrentIndex(pageAtCancel);
        sheet->reject();
    });
    QCOMPARE(describe(window.settings()), before);
    QVERIFY(!QFile::exists(storeFile));
    // The sheet opens again on the values from before, and OK keeps them (the pack method
    // button it shows checked now marks the method as chosen on the page).
    runProperties(window, [](PropertiesSheet* sheet) {
        QVERIFY(control<QLineEdit>(sheet->page(0), "outputFolder")->text() != "/changed");
        sheet->tabs()->setCurrentIndex(1);
        QVERIFY(!control<QRadioButton>(sheet->page(1), "methodJavaScript")->isChecked());
        sheet->tabs()->setCurrentIndex(2);
        QVERIFY(control<QLineEdit>(sheet->page(2), "editor")->text() != "other-editor");
        sheet->accept();
    });
    QCOMPARE(describe(window.settings(), false), beforeStored);
    QCOMPARE(describe(loadSettings(SettingsStore()), false), beforeStored);
}

void PropertiesSheetTests::packAfterCancelUsesTheFolderFromBefore()
{
    const QString kept = configHome_->path() + "/kept";
    const QString cancelled = configHome_->path() + "/cancelled";
    QVERIFY(QDir().mkpath(kept));
    QVERIFY(QDir().mkpath(cancelled));
    const QString page = configHome_->path() + "/page.html";
    QFile file(page);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<html><body>a page</body></html>");
    file.close();
    store_->writeProfileString("Directories", "Output", kept);
    store_->writeProfileString("Directories", "Input", configHome_->path());
    ScriptedAsker asker;
    MainWindow window(*store_, asker);
    window.pages().addPage(page, IMAGE_LOCAL);
    runProperties(window, [&](PropertiesSheet* sheet) {
        control<QLineEdit>(sheet->page(0), "outputFolder")->setText(cancelled);
        sheet->tabs()->setCurrentIndex(1);
        sheet->reject();
    });
    QStringList outputs;
    window.setConverter([&](ConvertRequest& request) {
        outputs.append(QFileInfo(request.output).absolutePath());
        return 0L;
    });
    window.packAll();
    window.waitForRun();
    QCOMPARE(outputs, QStringList{kept});
    QDir::setCurrent(QDir::tempPath());
}

void PropertiesSheetTests::browseFillsTheFolder()
{
    AppSettings settings = loadSettings(*store_, defaults_);
    ScriptedAsker asker;
    asker.folders.enqueue(QStringLiteral("/chosen/out"));
    asker.folders.enqueue(QString());  // cancelled
    PropertiesSheet sheet(settings, asker);
    auto* output = control<QLineEdit>(sheet.page(0), "outputFolder");
    output->setText(QStringLiteral("/typed"));
    control<QPushButton>(sheet.page(0), "browseOutput")->click();
    QCOMPARE(asker.folderStarts, QStringList{"/typed"});
    QCOMPARE(asker.folderTitles, QStringList{"Current Selection"});
    QCOMPARE(output->text(), QStringLiteral("/chosen/out"));
    control<QPushButton>(sheet.page(0), "browseInput")->click();
    QCOMPARE(control<QLineEdit>(sheet.page(0), "inputFolder")->text(), QStringLiteral("."));
    QCOMPARE(settings.directories.outputFolder, QStringLiteral("/tmp/out"));  // until OK
    sheet.accept();
    QCOMPARE(settings.directories.outputFolder, QStringLiteral("/chosen/out"));
    QCOMPARE(settings.directories.inputFolder, QStringLiteral("."));
}

QTEST_MAIN(PropertiesSheetTests)
#include "PropertiesSheetTests.moc"
