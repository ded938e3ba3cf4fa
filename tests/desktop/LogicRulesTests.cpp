// Rules of the desktop program that need no window: addresses, paths, switches, layout,
// shortcut-menu graying and the recent-file list.
#include "PathRules.h"
#include "PlatformDefaults.h"
#include "SettingsStore.h"
#include "StartupOptions.h"
#include "WindowRules.h"

#include <QTemporaryDir>
#include <QtTest>

class LogicRulesTests : public QObject {
    Q_OBJECT

private slots:
    void picturesForThePalette_data();
    void picturesForThePalette();
    void internetAddresses_data();
    void internetAddresses();
    void shortenedPaths_data();
    void shortenedPaths();
    void fileNames_data();
    void fileNames();
    void splashSwitches_data();
    void splashSwitches();
    void shortcutMenuBand();
    void shortcutMenuGraying_data();
    void shortcutMenuGraying();
    void editorDefault_data();
    void editorDefault();
    void recentFileListIsWrittenBackUnchanged();
};

void LogicRulesTests::internetAddresses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    QTest::newRow("http") << "http://example.org/a.html" << true;
    QTest::newRow("https") << "https://example.org/" << true;
    QTest::newRow("upper case secure") << "HTTPS://EXAMPLE.ORG" << true;
    QTest::newRow("mixed case") << "Http://x" << true;
    QTest::newRow("scheme only") << "http://" << true;
    QTest::newRow("ftp") << "ftp://example.org" << false;
    QTest::newRow("missing slash") << "http:/example.org" << false;
    QTest::newRow("leading blank") << " http://example.org" << false;
    QTest::newRow("local path") << "/home/user/http://x.html" << false;
    QTest::newRow("windows path") << "C:\\pages\\index.htm" << false;
    QTest::newRow("empty") << "" << false;
}

void LogicRulesTests::internetAddresses()
{
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(isInternetAddress(text), expected);
}

void LogicRulesTests::shortenedPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    const QString thirtyFive = QStringLiteral("/home/user/pages/site/sub/dir/abcde");  // 35
    QTest::newRow("short") << "/tmp" << "/tmp";
    QTest::newRow("exactly 35") << thirtyFive << thirtyFive;
    QTest::newRow("36") << thirtyFive + "f" << thirtyFive + "...";
    QTest::newRow("long") << thirtyFive + "/more/and/more" << thirtyFive + "...";
    QTest::newRow("empty") << "" << "";
}

void LogicRulesTests::shortenedPaths()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(shortenedPath(path), expected);
}

void LogicRulesTests::fileNames_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("unix") << "/a/b/c.qbx" << "c.qbx";
    QTest::newRow("windows") << "C:\\a\\b.qbx" << "b.qbx";
    QTest::newRow("mixed") << "C:\\a/b\\c.htm" << "c.htm";
    QTest::newRow("bare") << "proj" << "proj";
}

void LogicRulesTests::fileNames()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(fileNameOf(path), expected);
}

void LogicRulesTests::splashSwitches_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("expected");
    QTest::newRow("none") << QStringList{} << true;
    QTest::newRow("slash Embedding") << QStringList{"/Embedding"} << false;
    QTest::newRow("dash automation lower") << QStringList{"-automation"} << false;
    QTest::newRow("upper") << QStringList{"/EMBEDDING"} << false;
    QTest::newRow("among others") << QStringList{"page.qbx", "-x", "/Automation"} << false;
    QTest::newRow("no switch mark") << QStringList{"Embedding"} << true;
    QTest::newRow("longer name") << QStringList{"/Embeddings"} << true;
    QTest::newRow("other switch") << QStringList{"-Unregister"} << true;
}

void LogicRulesTests::splashSwitches()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, expected);
    QCOMPARE(showsSplash(arguments), expected);
}

void LogicRulesTests::shortcutMenuBand()
{
    // The band's rows, wherever the layout puts its bottom, show no menu; the list's do.
    for (int bandBottom : {0, 49, 69}) {
        QVERIFY(!showsShortcutMenuAt(-10, bandBottom));
        QVERIFY(!showsShortcutMenuAt(bandBottom, bandBottom));
        QVERIFY(showsShortcutMenuAt(bandBottom + 1, bandBottom));
    }
}

void LogicRulesTests::shortcutMenuGraying_data()
{
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("internet");
    // remove, addFile, internetAddress, edit, open, packPage
    QTest::addColumn<QList<bool>>("enabled");
    QTest::newRow("no row") << false << false
                            << QList<bool>{false, true, true, false, false, false};
    QTest::newRow("local row") << true << false
                               << QList<bool>{true, false, false, true, true, true};
    QTest::newRow("internet row") << true << true
                                  << QList<bool>{true, false, true, true, true, true};
}

void LogicRulesTests::shortcutMenuGraying()
{
    QFETCH(bool, selected);
    QFETCH(bool, internet);
    QFETCH(QList<bool>, enabled);
    const ShortcutMenuState state = shortcutMenuState(selected, internet);
    QCOMPARE((QList<bool>{state.remove, state.addFile, state.internetAddress, state.edit,
                          state.open, state.packPage}),
             enabled);
}

void LogicRulesTests::editorDefault_data()
{
    QTest::addColumn<QString>("visual");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("VISUAL wins over everything") << "emacs" << "vi" << QStringList{"xterm", "kate"}
                                                 << "emacs";
    QTest::newRow("EDITOR in the Debian terminal")
        << "" << "nano" << QStringList{"x-terminal-emulator", "xterm", "kate"}
        << "x-terminal-emulator -e nano";
    QTest::newRow("EDITOR with options in GNOME's terminal")
        << "" << "vim -p" << QStringList{"gnome-terminal"} << "gnome-terminal -- vim -p";
    QTest::newRow("EDITOR in xfce's terminal") << "" << "nano" << QStringList{"xfce4-terminal"}
                                               << "xfce4-terminal -x nano";
    QTest::newRow("EDITOR without a terminal: a desktop editor")
        << "" << "nano" << QStringList{"mousepad"} << "mousepad";
    QTest::newRow("first desktop editor in order") << "" << "" << QStringList{"kate", "gedit"}
                                                   << "gedit";
    QTest::newRow("terminal alone is no editor") << "" << "" << QStringList{"xterm"} << "";
    QTest::newRow("nothing installed") << "" << "" << QStringList{} << "";
}

void LogicRulesTests::editorDefault()
{
    QFETCH(QString, visual);
    QFETCH(QString, editor);
    QFETCH(QStringList, installed);
    QFETCH(QString, expected);
#ifdef Q_OS_WIN
    QCOMPARE(defaultEditor(), QStringLiteral("write"));
#else
    const auto find = [&installed](const QString& program) {
        return installed.contains(program) ? QStringLiteral("/usr/bin/") + program : QString();
    };
    const auto environment = [&](const char* name) {
        return QByteArray(name) == "VISUAL" ? visual
             : QByteArray(name) == "EDITOR" ? editor : QString();
    };
    QCOMPARE(defaultEditor(find, environment), expected);
    QCOMPARE(defaultOutputFolder(), QDir::tempPath());
#endif
}

void LogicRulesTests::recentFileListIsWrittenBackUnchanged()
{
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    {
        SettingsStore store;
        store.writeProfileString("Recent File List", "File1", "/a/one.qbx");
        store.writeProfileString("Recent File List", "File3", "/a/three.qbx");
        store.writeProfileString("Recent File List", "File9", "/a/stray.qbx");
    }
    RecentFileList recent;
    {
        SettingsStore store;
        recent.read(store);
        QCOMPARE(recent.entries(), (QStringList{"/a/one.qbx", "", "/a/three.qbx", ""}));
        recent.write(store);
    }
    SettingsStore store;
    QCOMPARE(store.entries("Recent File List"), (QStringList{"File1", "File3"}));
    QCOMPARE(store.getProfileString("Recent File List", "File3", ""), QStringLiteral("/a/three.qbx"));
}

void LogicRulesTests::picturesForThePalette_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<QRgb>("pixel");
    QTest::addColumn<QRgb>("shown");
    const QRgb light = qRgba(0xee, 0xee, 0xee, 0xff);
    const QRgb word = 0xff000000 | PICTURE_LABEL_COLOUR;
    QTest::newRow("word, light palette") << false << word << word;
    QTest::newRow("word, dark palette") << true << word << light;
    QTest::newRow("word's soft edge keeps its transparency")
        << true << QRgb((0x60u << 24) | PICTURE_LABEL_COLOUR) << qRgba(0xee, 0xee, 0xee, 0x60);
    QTest::newRow("drawing stays") << true << qRgba(0x7a, 0x5a, 0x22, 0xff) << qRgba(0x7a, 0x5a, 0x22, 0xff);
    QTest::newRow("transparent stays") << true << QRgb(0) << QRgb(0);
}

void LogicRulesTests::picturesForThePalette()
{
    QFETCH(bool, dark);
    QFETCH(QRgb, pixel);
    QFETCH(QRgb, shown);
    QImage picture(1, 1, QImage::Format_ARGB32);
    picture.setPixel(0, 0, pixel);
    QCOMPARE(pictureForPalette(picture, dark, QColor(0xee, 0xee, 0xee)).pixel(0, 0), shown);
    QVERIFY(isDarkWindow(QColor(0x20, 0x20, 0x20)));
    QVERIFY(!isDarkWindow(QColor(0xef, 0xef, 0xef)));
}

QTEST_GUILESS_MAIN(LogicRulesTests)
#include "LogicRulesTests.moc"
