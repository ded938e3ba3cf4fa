// Shows the desktop program's main window with a few sample pages packed, as a user sees it
// after a run, and saves a picture of it. Used by tools/screenshot-desktop.sh:
//   quillwin_screenshot [--during-run | --properties] [--dark] OUTPUT.png OUTPUT_FOLDER PAGE...
// A PAGE may be an internet address. With --during-run the picture is taken while the run goes
// on (pages from a server that does not answer keep it going), then the run is stopped; with
// --properties it shows the Properties sheet opened after the run. --dark draws the window with
// a dark palette, as a desktop in dark mode gives it. QT_SCALE_FACTOR scales it as a HiDPI
// screen does.
#include "DialogAsker.h"
#include "MainWindow.h"
#include "PropertiesSheet.h"
#include "SettingsStore.h"

#include <QApplication>
#include <QDir>
#include <QItemSelectionModel>
#include <QPalette>
#include <QStyleFactory>
#include <QTimer>
#include <QTreeView>

namespace {

QPalette darkPalette()
{
    QPalette palette;
    const QColor window(45, 45, 48), base(30, 30, 32), text(230, 230, 230);
    const QColor highlight(42, 130, 218), disabled(127, 127, 127);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, window);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::red);
    palette.setColor(QPalette::Highlight, highlight);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Light, window.lighter(150));
    palette.setColor(QPalette::Midlight, window.lighter(125));
    palette.setColor(QPalette::Mid, window.darker(120));
    palette.setColor(QPalette::Dark, window.darker(150));
    palette.setColor(QPalette::Shadow, Qt::black);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabled);
    return palette;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Quillwin"));
    QStringList arguments = app.arguments();
    bool duringRun = false;
    bool properties = false;
    while (arguments.value(1).startsWith(QLatin1String("--"))) {
        const QString option = arguments.takeAt(1);
        if (option == QLatin1String("--during-run"))
            duringRun = true;
        else if (option == QLatin1String("--properties"))
            properties = true;
        else if (option == QLatin1String("--dark")) {
            app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
            app.setPalette(darkPalette());
        } else
            return 2;
    }
    if (arguments.size() < 4)
        return 2;
    SettingsStore store;
    store.writeProfileString(QStringLiteral("Directories"), QStringLiteral("Output"), arguments[2]);
    store.writeProfileInt(QStringLiteral("Settings"), QStringLiteral("ConfirmWrite"), 0);
    store.writeProfileString(QStringLiteral("Settings"), QStringLiteral("Editor"),
                             QStringLiteral("mousepad"));
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
    PropertiesSheet sheet(window.settings(), asker, &window);
    QTimer::singleShot(1000, &window, [&] {
        if (properties) {
            sheet.show();
            QTimer::singleShot(300, &window, [&] {
                status = sheet.grab().save(arguments[1]) ? 0 : 1;
                sheet.hide();
                window.setModified(false);
                window.close();
            });
            return;
        }
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
