#include "ScriptedAsker.h"
#include "SettingsStore.h"
#include "TipFile.h"
#include "TipOfDayDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

// Tips a, b and c among lines that are never shown.
const QByteArray kTips = "; Tips for the test\n"
                         "tip a\n"
                         "   indented line\n"
                         "\tline after a tab\n"
                         "\n"
                         "tip b\n"
                         ";tip in a comment\n"
                         "tip c\n";
const int kAfterA = int(QByteArray("; Tips for the test\ntip a\n").size());
const int kAfterB = int(kTips.indexOf("tip b\n") + 6);
const int kAfterC = int(kTips.size());

// Value read back when a setting is absent.
constexpr int kAbsent = -12345;

} // namespace

class TipOfDayTests : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstRunShowsFirstTip();
    void closeSavesCheckBox_data();
    void closeSavesCheckBox();
    void nextTipKeepsTheBox_data();
    void nextTipKeepsTheBox();
    void wrapsAroundAfterLastTip();
    void replacedFileStartsOver();
    void escapeKeepsStartUpButMovesPosition();
    void hiddenDialogStillMovesPosition();
    void startUpStepRunsDialogWhenAsked();
    void missingFile();
    void fileWithoutTips_data();
    void fileWithoutTips();
    void storedPositions_data();
    void storedPositions();
    void carriageReturnsAndLongLines();
    void looksInCurrentDirectoryThenBesideProgram();

private:
    QString writeTips(const QByteArray& content, const QString& name = "tips.txt");
    int stored(const QString& entry) const
    {
        return store_->getProfileInt(QStringLiteral("Tip"), entry, kAbsent);
    }
    // Reads the file once so that its time stamp is on record, then sets the position.
    void setPosition(const QString& path, int position);

    QTemporaryDir configDir_;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<SettingsStore> store_;
    ScriptedAsker asker_;
};

void TipOfDayTests::initTestCase()
{
    QVERIFY(configDir_.isValid());
    qputenv("XDG_CONFIG_HOME", configDir_.path().toLocal8Bit());
}

void TipOfDayTests::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    store_ = std::make_unique<SettingsStore>();
    store_->clearSection(QStringLiteral("Tip"));
    asker_ = ScriptedAsker();
}

void TipOfDayTests::cleanup()
{
    store_.reset();
    dir_.reset();
}

QString TipOfDayTests::writeTips(const QByteArray& content, const QString& name)
{
    const QString path = dir_->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TipOfDayTests::setPosition(const QString& path, int position)
{
    { TipFile primer(*store_, asker_, {path}); }
    store_->writeProfileInt(QStringLiteral("Tip"), QStringLiteral("FilePos"), position);
}

void TipOfDayTests::firstRunShowsFirstTip()
{
    const QString path = writeTips(kTips);
    {
        TipOfDayDlg dialog(*store_, asker_, {path});
        QVERIFY(dialog.showAtStartUp());
        QCOMPARE(dialog.findChild<QLabel*>("tipText")->text(), QStringLiteral("tip a"));
        QVERIFY(dialog.findChild<QCheckBox*>("showTipsBox")->isChecked());
        QVERIFY(dialog.findChild<QPushButton*>("nextTipButton")->isEnabled());
        dialog.show();
        QTest::mouseClick(dialog.findChild<QPushButton*>("closeButton"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    QCOMPARE(stored("StartUp"), 0);
    QCOMPARE(stored("FilePos"), kAfterA);
    QVERIFY(!store_->getProfileString("Tip", "TimeStamp", QString()).isEmpty());
    QVERIFY(asker_.questions.isEmpty());
}

void TipOfDayTests::closeSavesCheckBox_data()
{
    QTest::addColumn<int>("storedBefore");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<int>("storedAfter");

    QTest::newRow("first run, kept checked") << kAbsent << true << 0;
    QTest::newRow("first run, unchecked") << kAbsent << false << 1;
    QTest::newRow("shown, unchecked") << 0 << false << 1;
    QTest::newRow("not at start-up, checked") << 1 << true << 0;
    QTest::newRow("not at start-up, left") << 1 << false << 1;
}

void TipOfDayTests::closeSavesCheckBox()
{
    QFETCH(int, storedBefore);
    QFETCH(bool, checked);
    QFETCH(int, storedAfter);
    if (storedBefore != kAbsent)
        store_->writeProfileInt("Tip", "StartUp", storedBefore);

    const QString path = writeTips(kTips);
    {
        TipOfDayDlg dialog(*store_, asker_, {path});
        QCOMPARE(dialog.showAtStartUp(), storedBefore == kAbsent || storedBefore == 0);
        dialog.show();
        dialog.findChild<QCheckBox*>("showTipsBox")->setChecked(checked);
        QTest::mouseClick(dialog.findChild<QPushButton*>("closeButton"), Qt::LeftButton);
    }
    QCOMPARE(stored("StartUp"), storedAfter);
    // "Startup" of the Properties sheet is the same value.
    QCOMPARE(store_->getProfileInt("Tip", "Startup", kAbsent), storedAfter);
}

void TipOfDayTests::nextTipKeepsTheBox_data()
{
    QTest::addColumn<int>("storedBefore");
    QTest::addColumn<bool>("checked");  // what the user makes of the box before Next Tip
    QTest::addColumn<int>("nextPresses");
    QTest::addColumn<int>("storedAfter");

    QTest::newRow("first run, unticked, one Next") << kAbsent << false << 1 << 1;
    QTest::newRow("shown, unticked, wrapping Nexts") << 0 << false << 4 << 1;
    QTest::newRow("not at start-up, ticked, one Next") << 1 << true << 1 << 0;
    QTest::newRow("not at start-up, left unticked") << 1 << false << 2 << 1;
}

void TipOfDayTests::nextTipKeepsTheBox()
{
    QFETCH(int, storedBefore);
    QFETCH(bool, checked);
    QFETCH(int, nextPresses);
    QFETCH(int, storedAfter);
    if (storedBefore != kAbsent)
        store_->writeProfileInt("Tip", "StartUp", storedBefore);
    const QString path = writeTips(kTips);
    {
        TipOfDayDlg dialog(*store_, asker_, {path});
        dialog.show();
        auto* box = dialog.findChild<QCheckBox*>("showTipsBox");
        auto* label = dialog.findChild<QLabel*>("tipText");
        if (box->isChecked() != checked)
            QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->isChecked(), checked);
        for (int press = 0; press < nextPresses; ++press) {
            const QString before = label->text();
            QTest::mouseClick(dialog.findChild<QPushButton*>("nextTipButton"), Qt::LeftButton);
            QVERIFY(label->text() != before);
            QCOMPARE(box->isChecked(), checked);
        }
        QTest::mouseClick(dialog.findChild<QPushButton*>("closeButton"), Qt::LeftButton);
    }
    QCOMPARE(stored("StartUp"), storedAfter);
}

void TipOfDayTests::wrapsAroundAfterLastTip()
{
    const QString path = writeTips(kTips);
    setPosition(path, kAfterB);

    TipFile tips(*store_, asker_, {path});
    QCOMPARE(tips.tipText(), QStringLiteral("tip c\n"));
    const QStringList expected = {"tip a\n", "tip b\n", "tip c\n", "tip a\n"};
    for (const QString& tip : expected) {
        tips.nextTip();
        QCOMPARE(tips.tipText(), tip);
    }
    QVERIFY(asker_.questions.isEmpty());
}

void TipOfDayTests::replacedFileStartsOver()
{
    const QString path = writeTips(kTips);
    setPosition(path, kAfterB);
    const QString oldStamp = store_->getProfileString("Tip", "TimeStamp", QString());

    // The time stamp counts whole seconds.
    QTest::qWait(1100);
    QFile::remove(path);
    // The old position lands inside the second line of the new file.
    const QByteArray secondTip = "second new tip, a line long enough to hold the old position\n";
    const QByteArray replacement = "first new tip\n" + secondTip + "third new tip\n";
    const qsizetype secondLineEnd = replacement.indexOf('\n', replacement.indexOf('\n') + 1);
    QVERIFY(kAfterB > replacement.indexOf('\n') + 1 && kAfterB < secondLineEnd);
    writeTips(replacement);
    {
        TipFile tips(*store_, asker_, {path});
        QCOMPARE(tips.tipText(), QStringLiteral("first new tip\n"));
    }
    QVERIFY(store_->getProfileString("Tip", "TimeStamp", QString()) != oldStamp);
    QCOMPARE(stored("FilePos"), int(QByteArray("first new tip\n").size()));

    // The new stamp is on record: the next showing goes on.
    TipFile tips(*store_, asker_, {path});
    QCOMPARE(tips.tipText(), QString::fromLatin1(secondTip));
}

void TipOfDayTests::escapeKeepsStartUpButMovesPosition()
{
    const QString path = writeTips(kTips);
    for (const int before : {kAbsent, 0}) {
        if (before != kAbsent)
            store_->writeProfileInt("Tip", "StartUp", before);
        const int positionBefore = stored("FilePos");
        {
            TipOfDayDlg dialog(*store_, asker_, {path});
            dialog.show();
            dialog.findChild<QCheckBox*>("showTipsBox")->setChecked(false);
            QTest::keyClick(&dialog, Qt::Key_Escape);
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
        }
        QCOMPARE(stored("StartUp"), before);
        QVERIFY(stored("FilePos") != positionBefore);
    }
    QCOMPARE(stored("FilePos"), kAfterB);
}

void TipOfDayTests::hiddenDialogStillMovesPosition()
{
    const QString path = writeTips(kTips);
    store_->writeProfileInt("Tip", "StartUp", 1);
    // Never shown: offerAtStartUp would block on a modal dialog nobody answers.
    const QList<int> positions = {kAfterA, kAfterB, kAfterC, kAfterA};
    for (const int position : positions) {
        TipOfDayDlg::offerAtStartUp(*store_, asker_, {path});
        QCOMPARE(stored("FilePos"), position);
    }
    QCOMPARE(stored("StartUp"), 1);
}

void TipOfDayTests::startUpStepRunsDialogWhenAsked()
{
    const QString path = writeTips(kTips);
    QString shownTip;
    bool closed = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* dialog = qobject_cast<TipOfDayDlg*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll.stop();
        shownTip = dialog->findChild<QLabel*>("tipText")->text();
        dialog->findChild<QCheckBox*>("showTipsBox")->setChecked(false);
        QTest::mouseClick(dialog->findChild<QPushButton*>("closeButton"), Qt::LeftButton);
        closed = true;
    });
    poll.start(20);
    TipOfDayDlg::offerAtStartUp(*store_, asker_, {path});
    QVERIFY(closed);
    QCOMPARE(shownTip, QStringLiteral("tip a"));
    QCOMPARE(stored("StartUp"), 1);
    QCOMPARE(stored("FilePos"), kAfterA);
}

void TipOfDayTests::missingFile()
{
    {
        TipOfDayDlg dialog(*store_, asker_, {dir_->filePath("tips.txt")});
        QCOMPARE(dialog.findChild<QLabel*>("tipText")->text(),
                 QStringLiteral("Tips file does not exist in the prescribed directory"));
        QVERIFY(!dialog.findChild<QPushButton*>("nextTipButton")->isEnabled());
        QVERIFY(dialog.showAtStartUp());
    }
    QCOMPARE(stored("FilePos"), kAbsent);
    QVERIFY(asker_.questions.isEmpty());
}

void TipOfDayTests::fileWithoutTips_data()
{
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("comments only") << QByteArray("; one\n;two\n");
    QTest::newRow("blank and indented") << QByteArray("\n\n  indented\n\ttabbed\n \n");
    QTest::newRow("no line end") << QByteArray(";comment without line end");
}

void TipOfDayTests::fileWithoutTips()
{
    QFETCH(QByteArray, content);
    const QString path = writeTips(content);
    TipOfDayDlg dialog(*store_, asker_, {path});
    auto* label = dialog.findChild<QLabel*>("tipText");
    QCOMPARE(label->text(), TipFile::noTipsText);
    QTest::mouseClick(dialog.findChild<QPushButton*>("nextTipButton"), Qt::LeftButton);
    QCOMPARE(label->text(), TipFile::noTipsText);
    QVERIFY(asker_.questions.isEmpty());
}

void TipOfDayTests::storedPositions_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("tip");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("start") << 0 << "tip a\n" << QStringList();
    QTest::newRow("after a") << kAfterA << "tip b\n" << QStringList();
    QTest::newRow("at the end") << kAfterC << "tip a\n" << QStringList();
    QTest::newRow("beyond the end") << 99999 << "tip a\n" << QStringList();
    QTest::newRow("negative") << -5 << ""
                              << QStringList{QStringLiteral("Trouble reading the tips file")};
}

void TipOfDayTests::storedPositions()
{
    QFETCH(int, position);
    QFETCH(QString, tip);
    QFETCH(QStringList, messages);
    const QString path = writeTips(kTips);
    setPosition(path, position);
    for (qsizetype n = 0; n < messages.size(); ++n)
        asker_.answers.enqueue(Asker::Answer::Ok);
    {
        TipFile tips(*store_, asker_, {path});
        QCOMPARE(tips.tipText(), tip);
        QCOMPARE(asker_.questionTexts(), messages);
        QCOMPARE(asker_.unexpectedCalls, 0);
    }
    // The position saved is a real one, so the next showing reads the file again.
    QVERIFY(stored("FilePos") >= 0);
    TipFile again(*store_, asker_, {path});
    QVERIFY(!again.tipText().isEmpty());
}

void TipOfDayTests::carriageReturnsAndLongLines()
{
    const QByteArray longLine(1500, 'x');
    const QString path = writeTips("first\r\n\r\n;note\r\n" + longLine + "\r\nlast\r\n");
    TipFile tips(*store_, asker_, {path});
    QCOMPARE(tips.tipText(), QStringLiteral("first\n"));
    // A line longer than one read goes on in the next read.
    tips.nextTip();
    QCOMPARE(tips.tipText(), QString(999, QLatin1Char('x')));
    tips.nextTip();
    QCOMPARE(tips.tipText(), QString(501, QLatin1Char('x')) + QLatin1Char('\n'));
    tips.nextTip();
    QCOMPARE(tips.tipText(), QStringLiteral("last\n"));
}

void TipOfDayTests::looksInCurrentDirectoryThenBesideProgram()
{
    const QString besideProgram = writeTips("tip beside the program\n", "program-tips.txt");
    const QString current = dir_->filePath("current");
    QVERIFY(QDir().mkpath(current));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(current));

    const QStringList defaults = TipFile::defaultLocations();
    QCOMPARE(defaults.value(0), QDir(current).filePath("tips.txt"));
    QCOMPARE(defaults.value(1), QCoreApplication::applicationDirPath() + "/tips.txt");

    QStringList locations = {defaults.first(), besideProgram};
    {
        TipFile tips(*store_, asker_, locations);
        QCOMPARE(tips.fileName(), besideProgram);
        QCOMPARE(tips.tipText(), QStringLiteral("tip beside the program\n"));
    }
    // Another file may carry the same time stamp to the second; start afresh.
    store_->clearSection(QStringLiteral("Tip"));
    QFile inCurrent(QDir(current).filePath("tips.txt"));
    QVERIFY(inCurrent.open(QIODevice::WriteOnly));
    inCurrent.write("tip in the current directory\n");
    inCurrent.close();
    {
        TipFile tips(*store_, asker_, locations);
        QCOMPARE(tips.tipText(), QStringLiteral("tip in the current directory\n"));
    }
    QVERIFY(QDir::setCurrent(previous));
}

QTEST_MAIN(TipOfDayTests)
#include "TipOfDayTests.moc"
