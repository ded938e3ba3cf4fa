#include "DesktopApp.h"

#include "MainWindow.h"
#include "SettingsStore.h"
#include "TipOfDayDlg.h"

#include <QFileInfo>

DesktopApp::DesktopApp(int& argc, char** argv) : QApplication(argc, argv)
{
    // The store and the message captions are named after the executable ("Quillwin").
    setApplicationName(QFileInfo(QString::fromLocal8Bit(argv[0])).completeBaseName());
}

DesktopApp::~DesktopApp() = default;

bool DesktopApp::initInstance()
{
    store_ = std::make_unique<SettingsStore>(applicationName());
    recentFiles_.read(*store_);

    QStringList switches = arguments();
    switches.removeFirst();
    // Before the main window: its settings then hold the start-up choice made in the tip.
    showTipAtStartup(switches, *store_, asker_);

    // The network layer needs no start-up step on this toolkit: pages are fetched when a
    // packing run reaches them.
    {
        MainWindow window(*store_, asker_);
        window.show();
        exec();
    }

    recentFiles_.write(*store_);
    return false;
}

void DesktopApp::showTipAtStartup(const QStringList& switches, SettingsStore& store,
                                  Asker& asker, const QStringList& tipsLocations)
{
    if (showsSplash(switches))
        TipOfDayDlg::offerAtStartUp(store, asker, tipsLocations);
}
