// Shows the desktop program's main window with a few sample pages packed, as a user sees it
// after a run, and saves a picture of it. Used by tools/screenshot-desktop.sh:
//   quillwin_screenshot OUTPUT.png OUTPUT_FOLDER PAGE...
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
    const QStringList arguments = app.arguments();
    if (arguments.size() < 4)
        return 2;
    SettingsStore store;
    store.writeProfileString(QStringLiteral("Directories"), QStringLiteral("Output"), arguments[2]);
    store.writeProfileInt(QStringLiteral("Settings"), QStringLiteral("ConfirmWrite"), 0);
    DialogAsker asker;
    MainWindow window(store, asker);
    for (const QString& page : arguments.mid(3))
        window.pages().addPage(QDir::toNativeSeparators(QFileInfo(page).absoluteFilePath()), 0);
    window.show();
    window.packAll();
    window.pageList()->selectionModel()->select(
        window.pages().index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    int status = 1;
    QTimer::singleShot(1000, &window, [&] {
        status = window.grab().save(arguments[1]) ? 0 : 1;
        window.setModified(false);
        window.close();
    });
    app.exec();
    return status;
}
