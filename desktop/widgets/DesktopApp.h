// The application object: selects the settings store, reads the recent-file list, offers the
// tip of the day, then runs the main window until it closes.
#pragma once

#include "DialogAsker.h"
#include "StartupOptions.h"

#include "TipFile.h"

#include <QApplication>

#include <memory>

class Asker;
class SettingsStore;

class DesktopApp : public QApplication {
    Q_OBJECT

public:
    DesktopApp(int& argc, char** argv);
    ~DesktopApp() override;

    // The start-up sequence and the main window's run; returns false, as there is nothing
    // left to run when the main window has closed.
    bool initInstance();

    // The start-up's tip step: unless a switch says the program was started for embedding or
    // automation, builds the tip of the day, which is shown when the settings ask for it.
    // `switches` are the command line's arguments after the program.
    static void showTipAtStartup(const QStringList& switches, SettingsStore& store, Asker& asker,
                                 const QStringList& tipsLocations = TipFile::defaultLocations());

private:
    std::unique_ptr<SettingsStore> store_;
    RecentFileList recentFiles_;
    DialogAsker asker_;
};
