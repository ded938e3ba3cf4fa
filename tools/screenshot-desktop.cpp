// Shows the desktop program's main window with a few sample pages packed, as a user sees it
// after a run, and saves a picture of it. Used by tools/screenshot-desktop.sh:
//   quillwin_screenshot [--during-run] OUTPUT.png OUTPUT_FOLDER PAGE...
// A PAGE may be an internet address. With --during-run the picture is taken while the run goes
// on (pages from a server that does not answer keep it going), then the run is stopped.
#include "DialogAsker.h"
#include "MainWindow.h"
#include "SettingsStore.h"

#include <QApplication>
#include <QDir>
#include <QItemSelectionModel>
#include <QTimer>
#include <QTreeView>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Quillwin"));
    QStringList arguments = app.arguments();
    const bool duringRun = arguments.value(1) == QLatin1String("--during-run");
    if (duringRun)
        arguments.removeAt(1);
    if (arguments.size() < 4)
        return 2;
    SettingsStore store;
    store.writeProfileString(QStringLiteral("Directories"), QStringLiteral("Output"), arguments[2]);
    store.writeProfileInt(QStringLiteral("Settings"), QStringLiteral("ConfirmWrite"), 0);
    DialogAsker asker;
    MainWindow window(store, asker);
    for (const QString& page : arguments.mid(3)) {
        if (page.startsWith(QLatin1String("http")))
            window.pages().addPage(page, IMAGE_INTERNET);
        else
            window.pages().addPage(QDir::toNativeSeparators(QFileInfo(page).absoluteFilePath()),
                                   IMAGE_LOCAL);
    }
    window.show();
    window.packAll();
    window.pageList()->selectionModel()->select(
        window.pages().index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    int status = 1;
    QTimer::singleShot(1000, &window, [&] {
        status = window.grab().save(arguments[1]) ? 0 : 1;
        if (duringRun && !window.isPacking())
            status = 3;  // the run had ended: the picture does not show what was asked
        window.stopPacking();
        window.setModified(false);
        window.close();
    });
    app.exec();
    return status;
}
