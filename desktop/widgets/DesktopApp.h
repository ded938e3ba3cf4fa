// The application object: selects the settings store, reads the recent-file list, offers the
// tip of the day, then runs the main window until it closes.
#pragma once

#include "DialogAsker.h"
#include "StartupOptions.h"

#include <QApplication>

#include <memory>

class SettingsStore;

class DesktopApp : public QApplication {
    Q_OBJECT

public:
    DesktopApp(int& argc, char** argv);
    ~DesktopApp() override;

    // The start-up sequence and the main window's run; returns false, as there is nothing
    // left to run when the main window has closed.
    bool initInstance();

    // Command 111: shows the tip of the day.
    void showTipOfTheDay();

private:
    // Offers the tip of the day at start-up when the command line allows it.
    void showTipAtStartup(bool showSplash);

    std::unique_ptr<SettingsStore> store_;
    RecentFileList recentFiles_;
    DialogAsker asker_;
};
