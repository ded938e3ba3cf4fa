// The main window: the page list, the picture buttons, the menus, the status bar, and every
// command of the program, one slot per command.
#pragma once

#include "AppSettings.h"
#include "PackRun.h"
#include "PageListModel.h"
#include "WaitCursor.h"

#include <QMainWindow>

#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class Launcher;
class QAction;
class QFrame;
class QLabel;
class QMenu;
class QMimeData;
class QProgressBar;
class QToolButton;
class QTreeView;
class SettingsStore;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // Loads the settings from `store`; `asker` answers every question and file chooser.
    MainWindow(SettingsStore& store, Asker& asker, QWidget* parent = nullptr);
    ~MainWindow() override;

    PageListModel& pages() { return pages_; }
    QTreeView* pageList() const { return pageList_; }
    AppSettings& settings() { return settings_; }
    QWidget* clientArea() const { return client_; }
    QMenu* shortcutMenu() const { return shortcutMenu_; }
    QProgressBar* progressBar() const { return progress_; }
    // The band of picture buttons above the list.
    QWidget* buttonBand() const { return band_; }

    bool isModified() const { return modified_; }
    // Marks the list as changed since it was last saved, or not; the title shows the mark.
    void setModified(bool modified);
    QString projectPath() const { return projectPath_; }
    const RunTotals& runTotals() const { return totals_; }

    // Replaces what each worker of a run packs with (by default an engine of its own).
    void setPackers(PackersFactory makePackers) { makePackers_ = std::move(makePackers); }
    // Replaces the engine for local pages by one function every worker calls in turn (tests
    // count and fake conversions).
    void setConverter(LocalConverter convert) { makePackers_ = oneCallAtATime(std::move(convert)); }
    // Whether a packing run is going on; the window takes input meanwhile.
    bool isPacking() const;
    // Waits for the packing run to end, if one is going on.
    void waitForRun();
    // Replaces the desktop's document opener and program starter.
    void setLauncher(Launcher* launcher) { launcher_ = launcher; }
    // Asks for an internet address, starting from the one given: the confirmed address with
    // its scheme, or nothing when cancelled. The window uses the Add/Modify Web Page dialog.
    using AddressEditor = std::function<std::optional<QString>(const QString& address)>;
    void setAddressEditor(AddressEditor editAddress) { editAddress_ = std::move(editAddress); }
    // Where the tip of the day looks for its tips file.
    void setTipsLocations(const QStringList& locations) { tipsLocations_ = locations; }

    // The project reader: adds the entries of a project or list file to the list. Returns 0,
    // or -1 after telling the user that the file is damaged ("Incorrect File Format", its path
    // and what is wrong) or cannot be read; the list is then left as it was.
    int readProject(const QString& path);
    // The query-save step: true when the caller may go on (replace the project or end).
    bool maybeSave();

    QString statusText(int part) const;
    void setStatusText(int part, const QString& text);

    // Rows selected in the list, in ascending order.
    QList<int> selectedRows() const;
    // The first selected row, or -1.
    int firstSelectedRow() const;

    // The shortcut-menu step for a point in screen coordinates: grays the items for the
    // selection and shows the menu unless the point lies in the picture buttons' band.
    // Returns whether the menu was shown.
    bool requestShortcutMenu(const QPoint& globalPos);
    // Where a keyboard request (Shift+F10, the menu key) shows the menu, on screen.
    QPoint keyboardMenuPoint() const;

    // Adds dropped files as Add Files does and dropped folders as Import Directory Tree does.
    void addDroppedPaths(const QStringList& paths);
    // The local files and folders a drag carries.
    static QStringList droppedPaths(const QMimeData* data);

public slots:
    // Runs the command with this id, as a menu item, a picture button or a key issues it.
    void runCommand(int command);

    void addFiles();
    void removeFiles();
    void packAll();
    void packSelected();
    // Ends the packing run after the pages in progress.
    void stopPacking();
    void addInternetAddress();
    void editOriginal();
    void editPacked();
    void openOriginal();
    void openPacked();
    void showProperties();
    void newProject();
    void openProject();
    void saveProject();
    void saveProjectAs();
    void importDirectoryTree();
    void showTipOfTheDay();
    void exitProgram();
    void showAbout();
    void showHelp();
    void openSupportSite();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createControls();
    void createMenus();
    void createShortcutMenu();
    // Adds an item issuing `command` to `menu`.
    QAction* addCommand(QMenu* menu, const QString& text, int command, const QString& name);
    // Shows `title` with the unsaved-changes mark.
    void showTitle(const QString& title);
    // The window's size and place, the columns' widths and the sort, as the last run left them.
    void restoreWindowState();
    void saveWindowState();
    // Handles the keys the window answers wherever the focus is; true when swallowed.
    bool preTranslateKey(QKeyEvent* event);
    // A packing run over this window's list, showing progress here.
    std::unique_ptr<PackRun> makePackRun();
    // Grays what a run refuses, or ungrays it.
    void showPacking(bool packing);
    void packingEnded();
    // Opens or edits column 0 or 4 of the first selected row: 0 when done, -1 when there was
    // nothing to open, -2 after telling the user what is missing or failed.
    int viewSelected(int column, bool editing);
    // Opens a page or document with the desktop's program, or says what to install.
    void openDocument(const QString& target);
    void tellOpenerMissing(const QString& target);
    // The entries of a project or list file, or nothing after telling the user why not.
    std::optional<QStringList> projectEntries(const QString& path);
    // Lists the entries; those of an imported tree remember its folder.
    void addProjectEntries(const QStringList& entries, const QString& importedFrom = QString());
    // Writes the list to `path` as a project; false after telling the user why it failed.
    bool writeProject(const QString& path);
    // Saves the list as the project `chosen` (".qbx" added where missing); the window takes
    // that path, title and an unmodified state only when the write succeeded.
    bool saveProjectTo(const QString& chosen);
    // Starts the run totals over and empties their three parts of the status bar.
    void clearRunTotals();

    SettingsStore& store_;
    ArrowCursorAsker asker_;  // the caller's Asker, shown without the wait cursor
    AppSettings settings_;
    PageListModel pages_;
    bool modified_ = false;
    QString projectPath_;
    RunTotals totals_;           // bytes before and after packing, over the last runs
    PackersFactory makePackers_;
    AddressEditor editAddress_;
    QStringList tipsLocations_;
    std::unique_ptr<Launcher> desktopLauncher_;
    Launcher* launcher_ = nullptr;

    QWidget* client_ = nullptr;
    QFrame* separator_ = nullptr;
    QWidget* band_ = nullptr;
    QToolButton* supportButton_ = nullptr;
    QToolButton* stopButton_ = nullptr;
    QLabel* progressLabel_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QTreeView* pageList_ = nullptr;
    QList<QLabel*> statusParts_;
    QMenu* shortcutMenu_ = nullptr;
    // Last: it uses the list and the asker, and waits for its workers when it goes.
    std::unique_ptr<PackRun> run_;
};
