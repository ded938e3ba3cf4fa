#include "MainWindow.h"

#include "AboutDlg.h"
#include "Asker.h"
#include "Commands.h"
#include "DesktopLauncher.h"
#include "EngineConverter.h"
#include "PathRules.h"
#include "ProjectFile.h"
#include "PropertiesSheet.h"
#include "SettingsStore.h"
#include "PageListDelegate.h"
#include "ProgramVersion.h"
#include "TipOfDayDlg.h"
#include "TreeListFile.h"
#include "ViewCommands.h"
#include "WaitCursor.h"
#include "WebPageDlg.h"
#include "WindowRules.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMimeData>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>

// The images live in this static library; the program has to register them itself.
static void registerImages()
{
    Q_INIT_RESOURCE(quillwin);
}

namespace {

// One picture button of the band.
struct PictureButton {
    int command;
    const char* name;
    const char* image;
    const char* tooltip;
    bool right;  // after the logo
};

constexpr PictureButton kPictureButtons[] = {
    {CMD_PACK_BUTTON, "packButton", ":/images/pack.png", "Pack Web Pages", false},
    {CMD_ADD_BUTTON, "addButton", ":/images/add.png", "Add Web Page", false},
    {CMD_REMOVE, "removeButton", ":/images/remove.png", "Remove Web page", false},
    {CMD_VIEW_BUTTON, "viewButton", ":/images/view.png", "Open Packed Web Page", false},
    {CMD_OPEN_BUTTON, "openProjectButton", ":/images/openproject.png", "Open Project", true},
    {CMD_SAVE, "saveButton", ":/images/closeproject.png", "Save Project", true},
};

// A picture button's artwork at both scales, its words light on a dark palette.
QIcon pictureIcon(const QString& path)
{
    const QPalette palette = QApplication::palette();
    const bool dark = isDarkWindow(palette.color(QPalette::Window));
    const QColor light = palette.color(QPalette::WindowText);
    QIcon icon;
    for (const int scale : {1, 2}) {
        QString file = path;
        if (scale == 2)
            file.insert(file.lastIndexOf(QLatin1Char('.')), QStringLiteral("@2x"));
        const QImage picture(file);
        if (picture.isNull())
            continue;
        QPixmap pixmap = QPixmap::fromImage(pictureForPalette(picture, dark, light));
        pixmap.setDevicePixelRatio(scale);
        icon.addPixmap(pixmap);
    }
    return icon;
}

// The pictures' size on screen; Qt takes the "@2x" images on scaled screens.
constexpr QSize kPictureSize(43, 43);

// Settings of the window itself, beside the program's settings.
const QString kWindowSection = QStringLiteral("Window");
const QString kGeometryKey = QStringLiteral("Geometry");
const QString kHeaderKey = QStringLiteral("Columns");

// The desktop's keys for `key`, or `fallback` where the desktop has none.
QList<QKeySequence> withFallback(QKeySequence::StandardKey key, const QKeySequence& fallback)
{
    QList<QKeySequence> keys = QKeySequence::keyBindings(key);
    if (keys.isEmpty())
        keys.append(fallback);
    return keys;
}

const QString kAddFilesFilter =
    QStringLiteral("Web Pages (*.htm;*.html)|*.htm; *.html|All Files (*.*)|*.*||");

} // namespace

MainWindow::MainWindow(SettingsStore& store, Asker& asker, QWidget* parent)
    : QMainWindow(parent), store_(store), asker_(asker), settings_(loadSettings(store)),
      pages_(this), desktopLauncher_(std::make_unique<DesktopLauncher>())
{
    // Each worker of a run packs with an engine of its own, made and ended on its thread.
    makePackers_ = [](const std::atomic<bool>& stopping) {
        auto engine = std::make_shared<EngineConverter>();
        engine->setStopFlag(&stopping);
        PagePackers packers;
        packers.convert = [engine](ConvertRequest& request) { return engine->convert(request); };
        packers.packInternet = [engine](const QString& address, const QString& outputFolder,
                                        int flags, int outputChunk, int codeCharLimit,
                                        const QString& served) {
            return engine->packInternet(address, outputFolder, flags, outputChunk,
                                        codeCharLimit, served);
        };
        return packers;
    };
    launcher_ = desktopLauncher_.get();
    editAddress_ = [this](const QString& address) {
        return WebPageDlg::editAddress(asker_, address, this);
    };
    tipsLocations_ = TipFile::defaultLocations();
    registerImages();
    setObjectName(QStringLiteral("MainWindow"));
    showTitle(projectTitle(QString()));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/images/quillwin%1.png").arg(size));
    setWindowIcon(icon);
    // Pages and folders dropped from a file manager join the list.
    setAcceptDrops(true);

    createControls();
    createMenus();
    createShortcutMenu();
    setStatusText(0, statusVersionText());
    setModified(false);
    QDir::setCurrent(settings_.directories.inputFolder);

    resize(QSize(900, 520).expandedTo(minimumSizeHint()));
    restoreWindowState();
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow()
{
    qApp->removeEventFilter(this);
}

void MainWindow::createControls()
{
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("clientArea"));
    setCentralWidget(client_);
    auto* clientLayout = new QVBoxLayout(client_);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->setSpacing(0);

    separator_ = new QFrame(client_);
    separator_->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    clientLayout->addWidget(separator_);

    band_ = new QWidget(client_);
    band_->setObjectName(QStringLiteral("buttonBand"));
    auto* bandLayout = new QHBoxLayout(band_);
    bandLayout->setContentsMargins(2, 2, 2, 2);
    bandLayout->setSpacing(2);
    clientLayout->addWidget(band_);

    auto addPicture = [this, bandLayout](const PictureButton& picture) {
        auto* button = new QToolButton(band_);
        button->setObjectName(QString::fromLatin1(picture.name));
        button->setIcon(pictureIcon(QString::fromLatin1(picture.image)));
        button->setIconSize(kPictureSize);
        button->setToolTip(QString::fromLatin1(picture.tooltip));
        button->setFocusPolicy(Qt::NoFocus);
        const int command = picture.command;
        connect(button, &QToolButton::clicked, this, [this, command] { runCommand(command); });
        bandLayout->addWidget(button);
    };
    for (const PictureButton& picture : kPictureButtons) {
        if (!picture.right)
            addPicture(picture);
    }

    auto* logo = new QLabel(band_);
    logo->setObjectName(QStringLiteral("logo"));
    logo->setPixmap(QIcon(QStringLiteral(":/images/logo.png"))
                        .pixmap(QSize(171, 50), devicePixelRatioF()));
    logo->setAlignment(Qt::AlignCenter);
    bandLayout->addWidget(logo, 1);

    for (const PictureButton& picture : kPictureButtons) {
        if (picture.right)
            addPicture(picture);
    }

    auto* progressBox = new QGridLayout;
    progressBox->setSpacing(2);
    progressLabel_ = new QLabel(QStringLiteral("Progress"), band_);
    progressBox->addWidget(progressLabel_, 0, 0, Qt::AlignBottom);
    progress_ = new QProgressBar(band_);
    progress_->setObjectName(QStringLiteral("progressBar"));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progress_->setMinimumWidth(progressLabel_->sizeHint().width() * 2);
    progressBox->addWidget(progress_, 1, 0, Qt::AlignTop);

    stopButton_ = new QToolButton(band_);
    stopButton_->setObjectName(QStringLiteral("stopButton"));
    stopButton_->setAutoRaise(true);
    stopButton_->setIcon(style()->standardIcon(QStyle::SP_BrowserStop));
    stopButton_->setToolTip(QStringLiteral("Stop Packing (Esc key)"));
    stopButton_->setFocusPolicy(Qt::NoFocus);
    stopButton_->setEnabled(false);
    connect(stopButton_, &QToolButton::clicked, this, [this] { runCommand(CMD_STOP); });
    progressBox->addWidget(stopButton_, 1, 1, Qt::AlignTop);
    bandLayout->addSpacing(4);
    bandLayout->addLayout(progressBox);

    supportButton_ = new QToolButton(band_);
    supportButton_->setObjectName(QStringLiteral("supportButton"));
    supportButton_->setAutoRaise(true);
    supportButton_->setIcon(QIcon(QStringLiteral(":/images/globe.png")));
    supportButton_->setIconSize(QSize(40, 40));
    supportButton_->setToolTip(QStringLiteral("Support Site"));
    supportButton_->setFocusPolicy(Qt::NoFocus);
    connect(supportButton_, &QToolButton::clicked, this, [this] { runCommand(CMD_SUPPORT); });
    bandLayout->addWidget(supportButton_);

    QIcon strip(QStringLiteral(":/images/rowimages.png"));
    pages_.setImageStrip(strip.pixmap(QSize(77, 11), devicePixelRatioF()));
    pageList_ = new QTreeView(client_);
    pageList_->setObjectName(QStringLiteral("pageList"));
    pageList_->setModel(&pages_);
    pageList_->setItemDelegate(new PageListDelegate(pageList_));
    pageList_->setRootIsDecorated(false);
    pageList_->setItemsExpandable(false);
    pageList_->setUniformRowHeights(true);
    pageList_->setAllColumnsShowFocus(true);
    pageList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    pageList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    pageList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pageList_->setIconSize(QSize(11, 11));
    pageList_->header()->setStretchLastSection(true);
    pageList_->header()->setSectionsMovable(false);
    // Each column at least as wide as its heading in the system font, with the sort mark the
    // heading shows when the list is sorted by it.
    pageList_->header()->setSortIndicatorShown(true);
    for (int column = 0; column < COLUMN_COUNT; ++column) {
        pageList_->header()->setSortIndicator(column, Qt::AscendingOrder);
        pageList_->setColumnWidth(column, std::max(pageColumns()[column].width,
                                                   pageList_->header()->sectionSizeHint(column)));
    }
    // A click on a heading sorts by that column; the model keeps its rows in that order.
    pageList_->header()->setSortIndicator(COLUMN_FILE_NAME, Qt::AscendingOrder);
    pageList_->setSortingEnabled(true);
    // At the window's least width the columns still fit, beside a vertical scroll bar, so the
    // list only scrolls sideways when the user widens a column.
    int columnsWidth = 0;
    for (int column = 0; column < COLUMN_COUNT; ++column)
        columnsWidth += pageList_->columnWidth(column);
    pageList_->setMinimumWidth(columnsWidth + 2 * pageList_->frameWidth()
                               + style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    clientLayout->addWidget(pageList_, 1);
    // Enter or a double-click on a row opens its packed page, as the View button does.
    connect(pageList_, &QTreeView::activated, this, [this] { runCommand(CMD_OPEN_PACKED); });

    // The parts take the room their texts need; the last one fills the rest of the bar.
    statusBar()->setObjectName(QStringLiteral("statusBar"));
    // The window manager's frame resizes the window; a grip would only take room from the parts.
    statusBar()->setSizeGripEnabled(false);
    for (int part = 0; part < STATUS_PART_COUNT; ++part) {
        auto* label = new QLabel(statusBar());
        label->setObjectName(QStringLiteral("statusPart%1").arg(part));
        if (!STATUS_PART_BORDERLESS[part])
            label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        label->setContentsMargins(3, 0, 3, 0);
        statusBar()->addWidget(label, part == STATUS_PART_COUNT - 1 ? 1 : 0);
        statusParts_.append(label);
        setStatusText(part, QString());
    }
}

QAction* MainWindow::addCommand(QMenu* menu, const QString& text, int command,
                                const QString& name)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    action->setData(command);
    connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
    return action;
}

void MainWindow::createMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    addCommand(file, QStringLiteral("&New"), CMD_NEW, QStringLiteral("fileNew"))
        ->setShortcuts(withFallback(QKeySequence::New, QKeySequence(Qt::CTRL | Qt::Key_N)));
    addCommand(file, QStringLiteral("&Open..."), CMD_OPEN, QStringLiteral("fileOpen"))
        ->setShortcuts(withFallback(QKeySequence::Open, QKeySequence(Qt::CTRL | Qt::Key_O)));
    addCommand(file, QStringLiteral("&Save"), CMD_SAVE, QStringLiteral("fileSave"))
        ->setShortcuts(withFallback(QKeySequence::Save, QKeySequence(Qt::CTRL | Qt::Key_S)));
    addCommand(file, QStringLiteral("Sa&ve As..."), CMD_SAVE_AS, QStringLiteral("fileSaveAs"))
        ->setShortcuts(
            withFallback(QKeySequence::SaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)));
    file->addSeparator();
    addCommand(file, QStringLiteral("&Add Files...     (Ins. key)"), CMD_ADD_FILES,
               QStringLiteral("fileAddFiles"));
    addCommand(file, QStringLiteral("Add/Modify &Internet Address..."), CMD_INTERNET_ADDRESS,
               QStringLiteral("fileInternetAddress"));
    addCommand(file, QStringLiteral("Import &Directory Tree..."), CMD_IMPORT_TREE,
               QStringLiteral("fileImportTree"));
    addCommand(file, QStringLiteral("&Remove Files   (Del. key)"), CMD_REMOVE,
               QStringLiteral("fileRemove"));
    file->addSeparator();
    // Ctrl+Q everywhere, beside the desktop's own key for Quit where it has another.
    QList<QKeySequence> quitKeys = QKeySequence::keyBindings(QKeySequence::Quit);
    if (!quitKeys.contains(QKeySequence(Qt::CTRL | Qt::Key_Q)))
        quitKeys.prepend(QKeySequence(Qt::CTRL | Qt::Key_Q));
    addCommand(file, QStringLiteral("&Exit"), CMD_EXIT, QStringLiteral("fileExit"))
        ->setShortcuts(quitKeys);

    QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
    addCommand(options, QStringLiteral("&Pack"), CMD_PACK, QStringLiteral("optionsPack"));
    addCommand(options, QStringLiteral("S&top Packing   (Esc key)"), CMD_STOP,
               QStringLiteral("optionsStop"))
        ->setEnabled(false);
    options->addSeparator();
    QMenu* edit = options->addMenu(QStringLiteral("&Edit"));
    addCommand(edit, QStringLiteral("&Original"), CMD_EDIT_ORIGINAL,
               QStringLiteral("optionsEditOriginal"));
    addCommand(edit, QStringLiteral("&Packed"), CMD_EDIT_PACKED,
               QStringLiteral("optionsEditPacked"));
    QMenu* open = options->addMenu(QStringLiteral("&Open"));
    addCommand(open, QStringLiteral("&Original"), CMD_OPEN_ORIGINAL,
               QStringLiteral("optionsOpenOriginal"));
    addCommand(open, QStringLiteral("&Packed"), CMD_OPEN_PACKED,
               QStringLiteral("optionsOpenPacked"));
    options->addSeparator();
    addCommand(options, QStringLiteral("P&roperties..."), CMD_PROPERTIES,
               QStringLiteral("optionsProperties"))
        ->setShortcuts(withFallback(QKeySequence::Preferences,
                                    QKeySequence(Qt::CTRL | Qt::Key_Comma)));

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    addCommand(help, QStringLiteral("&About"), CMD_ABOUT, QStringLiteral("helpAbout"));
    addCommand(help, QStringLiteral("&Index"), CMD_HELP_INDEX, QStringLiteral("helpIndex"))
        ->setShortcuts(withFallback(QKeySequence::HelpContents, QKeySequence(Qt::Key_F1)));
    help->addSeparator();
    QAction* version = help->addAction(helpVersionText());
    version->setObjectName(QStringLiteral("helpVersion"));
    version->setEnabled(false);
}

void MainWindow::createShortcutMenu()
{
    shortcutMenu_ = new QMenu(this);
    shortcutMenu_->setObjectName(QStringLiteral("shortcutMenu"));
    addCommand(shortcutMenu_, QStringLiteral("&Remove    (Del. key)"), CMD_REMOVE,
               QStringLiteral("shortcutRemove"));
    addCommand(shortcutMenu_, QStringLiteral("&Add File...  (Ins key)"), CMD_ADD_FILES,
               QStringLiteral("shortcutAddFile"));
    addCommand(shortcutMenu_, QStringLiteral("Add/Modify &Internet Address..."),
               CMD_INTERNET_ADDRESS, QStringLiteral("shortcutInternetAddress"));
    QMenu* edit = shortcutMenu_->addMenu(QStringLiteral("&Edit"));
    addCommand(edit, QStringLiteral("&Original"), CMD_EDIT_ORIGINAL,
               QStringLiteral("shortcutEditOriginal"));
    addCommand(edit, QStringLiteral("&Packed"), CMD_EDIT_PACKED,
               QStringLiteral("shortcutEditPacked"));
    QMenu* open = shortcutMenu_->addMenu(QStringLiteral("&Open"));
    addCommand(open, QStringLiteral("&Original"), CMD_OPEN_ORIGINAL,
               QStringLiteral("shortcutOpenOriginal"));
    addCommand(open, QStringLiteral("&Packed"), CMD_OPEN_PACKED,
               QStringLiteral("shortcutOpenPacked"));
    shortcutMenu_->addSeparator();
    addCommand(shortcutMenu_, QStringLiteral("&Pack Page"), CMD_PACK_PAGE,
               QStringLiteral("shortcutPackPage"));
}

void MainWindow::runCommand(int command)
{
    // Input during a run acts at once or not at all: it is never kept for later.
    if (isPacking() && !allowedWhilePacking(command))
        return;
    switch (command) {
    case CMD_ADD_FILES:
    case CMD_ADD_BUTTON: addFiles(); break;
    case CMD_REMOVE: removeFiles(); break;
    case CMD_PACK_BUTTON:
    case CMD_PACK: packAll(); break;
    case CMD_PACK_PAGE: packSelected(); break;
    case CMD_STOP: stopPacking(); break;
    case CMD_INTERNET_ADDRESS: addInternetAddress(); break;
    case CMD_EDIT_ORIGINAL: editOriginal(); break;
    case CMD_EDIT_PACKED: editPacked(); break;
    case CMD_OPEN_ORIGINAL: openOriginal(); break;
    case CMD_OPEN_PACKED:
    case CMD_VIEW_BUTTON: openPacked(); break;
    case CMD_PROPERTIES: showProperties(); break;
    case CMD_NEW: newProject(); break;
    case CMD_OPEN:
    case CMD_OPEN_BUTTON: openProject(); break;
    case CMD_SAVE: saveProject(); break;
    case CMD_SAVE_AS: saveProjectAs(); break;
    case CMD_IMPORT_TREE: importDirectoryTree(); break;
    case CMD_EXIT: exitProgram(); break;
    case CMD_ABOUT: showAbout(); break;
    case CMD_SHOW_TIP: showTipOfTheDay(); break;
    case CMD_HELP_INDEX: showHelp(); break;
    case CMD_SUPPORT: openSupportSite(); break;
    default: break;
    }
}

QString MainWindow::statusText(int part) const
{
    return statusParts_.at(part)->text();
}

void MainWindow::setStatusText(int part, const QString& text)
{
    // The bar squeezes its parts when the window is narrow; each keeps room for its text.
    QLabel* label = statusParts_.at(part);
    label->setText(text);
    const int least =
        STATUS_PART_BORDERLESS[part] ? 0 : label->fontMetrics().averageCharWidth() * 6;
    label->setMinimumWidth(std::max(least, label->sizeHint().width()));
    // The window's least width takes the bar's own least width only as a set minimum; the
    // bar's inner layouts keep their old measure until told.
    for (QLayout* layout : statusBar()->findChildren<QLayout*>())
        layout->invalidate();
    statusBar()->layout()->activate();
    statusBar()->setMinimumWidth(statusBar()->minimumSizeHint().width());
}

QList<int> MainWindow::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : pageList_->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int MainWindow::firstSelectedRow() const
{
    const QList<int> rows = selectedRows();
    return rows.isEmpty() ? -1 : rows.first();
}

void MainWindow::addFiles()
{
    const QStringList picked = asker_.openFileNames(this, QDir::currentPath(), kAddFilesFilter);
    for (const QString& path : picked) {
        const QString fileName = QDir::toNativeSeparators(path);
        if (pages_.findFileName(fileName) >= 0)
            continue;
        pages_.addPage(fileName, IMAGE_LOCAL);
        setModified(true);
    }
}

void MainWindow::removeFiles()
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    pages_.removePageRows(rows);
    setModified(true);
}

std::unique_ptr<PackRun> MainWindow::makePackRun()
{
    auto run = std::make_unique<PackRun>(settings_, pages_, asker_, makePackers_);
    run->questionParent = this;
    run->showProgress = [this](int percent) { progress_->setValue(percent); };
    run->showRow = [this](int row, const RunTotals& totals) {
        pageList_->scrollTo(pages_.index(row, 0));
        // All three parts show this run: no ratio while nothing was packed yet.
        totals_ = totals;
        setStatusText(3, runRatioText(totals));
        setStatusText(4, runOriginalText(totals));
        setStatusText(5, runPackedText(totals));
    };
    run->finished = [this] { packingEnded(); };
    return run;
}

bool MainWindow::isPacking() const
{
    return run_ && run_->isRunning();
}

void MainWindow::waitForRun()
{
    if (run_)
        run_->waitForEnd();
}

void MainWindow::showPacking(bool packing)
{
    for (const char* name : {"packButton", "addButton", "removeButton", "openProjectButton"})
        band_->findChild<QToolButton*>(QString::fromLatin1(name))->setEnabled(!packing);
    for (QAction* action : menuBar()->findChildren<QAction*>()) {
        if (action->data().isValid())
            action->setEnabled(allowedWhilePacking(action->data().toInt()) || !packing);
    }
    findChild<QAction*>(QStringLiteral("optionsStop"))->setEnabled(packing);
    stopButton_->setEnabled(packing);
    // The run finds its rows by their place: no sorting until it ends.
    pageList_->header()->setSectionsClickable(!packing);
    setAcceptDrops(!packing);
}

void MainWindow::packAll()
{
    if (isPacking())
        return;  // one run at a time
    clearRunTotals();  // a run that processes no row leaves nothing of the one before
    run_ = makePackRun();
    showPacking(true);
    // The questions come first; the pages are then packed while the window goes on.
    run_->startAll();
}

void MainWindow::packSelected()
{
    if (isPacking())
        return;
    run_ = makePackRun();
    showPacking(true);
    run_->startSelected(firstSelectedRow(), totals_);
}

void MainWindow::stopPacking()
{
    if (isPacking())
        run_->stop();
}

void MainWindow::packingEnded()
{
    totals_ = run_->totals();
    showPacking(false);
}

void MainWindow::addInternetAddress()
{
    // With a row selected the command changes that row, which must be an internet page;
    // without one it adds a row. The same address may be listed any number of times.
    const int selected = firstSelectedRow();
    QString address;
    if (selected >= 0) {
        address = pages_.text(selected, COLUMN_FILE_NAME);
        if (!isInternetAddress(address))
            return;
    }
    const std::optional<QString> edited = editAddress_(address);
    if (!edited)
        return;
    // A changed address is a new page: the old row and its results go.
    if (selected >= 0)
        pages_.removePageRows({selected});
    pages_.addPage(*edited, IMAGE_INTERNET);
    setModified(true);
}

int MainWindow::viewSelected(int column, bool editing)
{
    const QString& editor = settings_.general.editor;
    const int row = firstSelectedRow();
    const ViewResult result = viewRow(pages_, row, column, editing, editor, *launcher_);
    switch (result) {
    case ViewResult::EditorFailed:
        asker_.ask(this, QStringLiteral("Warning"),
                   QStringLiteral("The editor \"%1\" could not be started.").arg(editor),
                   Asker::Buttons::Ok, Asker::Icon::Warning);
        break;
    case ViewResult::EditorMissing:
        asker_.ask(this, QStringLiteral("Warning"), editorMissingMessage(), Asker::Buttons::Ok,
                   Asker::Icon::Warning);
        break;
    case ViewResult::OpenerMissing:
        tellOpenerMissing(pages_.text(row, column));
        break;
    case ViewResult::Done:
    case ViewResult::Nothing:
        break;
    }
    return result == ViewResult::Done ? 0 : result == ViewResult::Nothing ? -1 : -2;
}

void MainWindow::tellOpenerMissing(const QString& target)
{
    asker_.ask(this, QStringLiteral("Warning"), openerMissingMessage(target), Asker::Buttons::Ok,
               Asker::Icon::Warning);
}

void MainWindow::openDocument(const QString& target)
{
    if (!launcher_->openDocument(target))
        tellOpenerMissing(target);
}

void MainWindow::editOriginal()
{
    viewSelected(COLUMN_FILE_NAME, true);
}

void MainWindow::editPacked()
{
    viewSelected(COLUMN_OUTPUT_NAME, true);
}

void MainWindow::openOriginal()
{
    viewSelected(COLUMN_FILE_NAME, false);
}

void MainWindow::openPacked()
{
    if (viewSelected(COLUMN_OUTPUT_NAME, false) != -1 || firstSelectedRow() < 0)
        return;
    const Asker::Answer answer = asker_.ask(
        this, QStringLiteral("Warning"),
        QStringLiteral("No packed html generated yet.\nDo you wish to open original page?"),
        Asker::Buttons::YesNo, Asker::Icon::Question);
    if (answer == Asker::Answer::Yes)
        viewSelected(COLUMN_FILE_NAME, false);
}

void MainWindow::showHelp()
{
    openDocument(helpDocumentPath(QCoreApplication::applicationDirPath()));
}

void MainWindow::openSupportSite()
{
    openDocument(supportTarget(QString::fromLatin1(SUPPORT_SERVER),
                               QCoreApplication::applicationDirPath()));
}

void MainWindow::clearRunTotals()
{
    totals_ = RunTotals();
    for (int part = 3; part <= 5; ++part)
        setStatusText(part, QString());
}

bool MainWindow::maybeSave()
{
    if (!modified_)
        return true;
    if (projectPath_.isEmpty()) {
        const Asker::Answer answer =
            asker_.ask(this, QStringLiteral("Warning"), QStringLiteral("Save untitled project ?"),
                       Asker::Buttons::YesNoCancel, Asker::Icon::Warning);
        if (answer == Asker::Answer::Yes) {
            saveProjectAs();
            return !modified_;  // a cancelled or failed Save As keeps the list on show
        }
        return answer == Asker::Answer::No;
    }
    const Asker::Answer answer = asker_.ask(
        this, QStringLiteral("Warning"),
        QStringLiteral("Save changes to ") + projectPath_ + QStringLiteral(" ?"),
        Asker::Buttons::YesNoCancel, Asker::Icon::Warning);
    if (answer == Asker::Answer::Cancel)
        return false;
    if (answer == Asker::Answer::Yes) {
        saveProject();
        return !modified_;  // a save that failed keeps the list on show
    }
    return true;
}

void MainWindow::newProject()
{
    if (!maybeSave())
        return;
    showTitle(projectTitle(QString()));
    pages_.clear();
    projectPath_.clear();
    clearRunTotals();
    setModified(false);
}

std::optional<QStringList> MainWindow::projectEntries(const QString& path)
{
    const ProjectReadResult read = readProjectFile(path);
    if (read.status == ProjectReadResult::Read)
        return read.entries;
    const QString shownPath = QDir::toNativeSeparators(path);
    const QString message =
        read.status == ProjectReadResult::Damaged
            ? QStringLiteral("Incorrect File Format\n%1: %2").arg(shownPath, read.error)
            : QStringLiteral("Cannot read %1: %2").arg(shownPath, read.error);
    asker_.ask(this, QStringLiteral("Error"), message, Asker::Buttons::Ok, Asker::Icon::Error);
    return std::nullopt;
}

void MainWindow::addProjectEntries(const QStringList& entries, const QString& importedFrom)
{
    for (const QString& entry : entries)
        pages_.addPage(entry, isInternetAddress(entry) ? IMAGE_INTERNET : IMAGE_LOCAL,
                       importedFrom);
}

int MainWindow::readProject(const QString& path)
{
    const std::optional<QStringList> entries = projectEntries(path);
    if (!entries)
        return -1;
    addProjectEntries(*entries);
    return 0;
}

void MainWindow::openProject()
{
    if (!maybeSave())
        return;
    const QString path = asker_.openFileName(this, QDir::currentPath(),
                                             QString::fromLatin1(PROJECT_FILTER));
    if (path.isEmpty())
        return;
    const QString chosen = QDir::toNativeSeparators(path);
    // The file is read whole before anything changes: one that cannot be read or is damaged
    // leaves the list, its project and its state as they were.
    const std::optional<QStringList> entries = projectEntries(chosen);
    if (!entries)
        return;
    setModified(false);
    projectPath_ = chosen;
    showTitle(projectTitle(chosen));
    pages_.clear();
    addProjectEntries(*entries);
    clearRunTotals();
}

bool MainWindow::writeProject(const QString& path)
{
    QStringList entries;
    for (int row = 0; row < pages_.rowCount(); ++row)
        entries.append(pages_.text(row, COLUMN_FILE_NAME));
    const QString error = writeProjectFile(path, entries);
    if (error.isEmpty())
        return true;
    asker_.ask(this, QStringLiteral("Error"),
               QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), error),
               Asker::Buttons::Ok, Asker::Icon::Error);
    return false;
}

bool MainWindow::saveProjectTo(const QString& chosen)
{
    const QString path = projectSavePath(chosen);
    if (!writeProject(path))
        return false;
    // Only a project that was written becomes the window's project.
    projectPath_ = chosen;
    showTitle(projectTitle(path));
    progress_->setValue(0);
    setModified(false);
    return true;
}

void MainWindow::saveProject()
{
    if (projectPath_.isEmpty()) {
        saveProjectAs();
        return;
    }
    saveProjectTo(projectPath_);
}

void MainWindow::saveProjectAs()
{
    const QString path = asker_.saveFileName(this, QDir::currentPath(),
                                             QString::fromLatin1(PROJECT_FILTER));
    if (path.isEmpty())
        return;
    saveProjectTo(QDir::toNativeSeparators(path));
}

void MainWindow::importDirectoryTree()
{
    const QString folder = asker_.folder(this, settings_.directories.inputFolder,
                                         QStringLiteral("Import all htmls under directory :"));
    if (folder.isEmpty())
        return;
    const Asker::Answer answer = asker_.ask(
        this, QStringLiteral("Warning"),
        QStringLiteral("This may take some time.\nDo you wish to continue ?"),
        Asker::Buttons::YesNo, Asker::Icon::Question);
    if (answer != Asker::Answer::Yes)
        return;
    // Set before anything is found, so an import that finds nothing still counts.
    setModified(true);
    WaitCursor wait;
    // The pages join the list as they are, even those listed already.
    const TreeListFile list(folder);
    if (list.fileName().isEmpty())
        return;
    if (const std::optional<QStringList> entries = projectEntries(list.fileName()))
        addProjectEntries(*entries, list.folder());
}

void MainWindow::showTipOfTheDay()
{
    {
        TipOfDayDlg dialog(store_, asker_, tipsLocations_, this);
        dialog.exec();
    }
    // Close may have changed the start-up choice the Properties sheet shows and writes back.
    settings_.general.noStartupTips = loadSettings(store_).general.noStartupTips;
}

void MainWindow::showProperties()
{
    PropertiesSheet sheet(settings_, asker_, this);
    if (sheet.exec() == QDialog::Accepted)
        saveSettings(store_, settings_);
}

void MainWindow::exitProgram()
{
    close();
}

void MainWindow::showAbout()
{
    AboutDlg about(this);
    about.exec();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // The pages in progress finish before the question; no further page is started.
    if (isPacking()) {
        run_->stop();
        run_->waitForEnd();
    }
    if (maybeSave()) {
        saveWindowState();
        event->accept();
    } else {
        event->ignore();
    }
}

QPoint MainWindow::keyboardMenuPoint() const
{
    // Inside the list, below the band where requests show nothing.
    return pageList_->viewport()->mapToGlobal(QPoint(5, 5));
}

bool MainWindow::requestShortcutMenu(const QPoint& globalPos)
{
    const QPoint client = client_->mapFromGlobal(globalPos);
    if (!showsShortcutMenuAt(client.y(), band_->geometry().bottom()))
        return false;
    const int first = firstSelectedRow();
    const ShortcutMenuState state = shortcutMenuState(
        first >= 0, first >= 0 && isInternetAddress(pages_.text(first, COLUMN_FILE_NAME)),
        isPacking());
    auto enable = [this](const char* name, bool enabled) {
        shortcutMenu_->findChild<QAction*>(QString::fromLatin1(name))->setEnabled(enabled);
    };
    enable("shortcutRemove", state.remove);
    enable("shortcutAddFile", state.addFile);
    enable("shortcutInternetAddress", state.internetAddress);
    enable("shortcutEditOriginal", state.edit);
    enable("shortcutEditPacked", state.edit);
    enable("shortcutOpenOriginal", state.open);
    enable("shortcutOpenPacked", state.open);
    enable("shortcutPackPage", state.packPage);
    shortcutMenu_->popup(globalPos);
    return true;
}

bool MainWindow::preTranslateKey(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    switch (event->key()) {
    case Qt::Key_F10:
        if (modifiers != Qt::ShiftModifier)
            return false;
        requestShortcutMenu(keyboardMenuPoint());
        return true;
    case Qt::Key_Menu:
        requestShortcutMenu(keyboardMenuPoint());
        return true;
    case Qt::Key_Delete:
        runCommand(CMD_REMOVE);
        return true;
    case Qt::Key_Insert:
        runCommand(CMD_ADD_FILES);
        return true;
    case Qt::Key_Escape:
        // Stops a run; otherwise Escape does nothing here and never closes the window.
        if (!isPacking() || modifiers != Qt::NoModifier)
            return false;
        stopPacking();
        return true;
    default:
        return false;
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ContextMenu)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this)
        return false;
    if (event->type() == QEvent::KeyPress) {
        return preTranslateKey(static_cast<QKeyEvent*>(event));
    }
    auto* request = static_cast<QContextMenuEvent*>(event);
    requestShortcutMenu(request->reason() == QContextMenuEvent::Mouse ? request->globalPos()
                                                                      : keyboardMenuPoint());
    return true;
}

void MainWindow::setModified(bool modified)
{
    modified_ = modified;
    setWindowModified(modified);
}

void MainWindow::showTitle(const QString& title)
{
    // The desktop shows "[*]" as a mark while the list has unsaved changes.
    setWindowTitle(title + QStringLiteral("[*]"));
}

void MainWindow::restoreWindowState()
{
    const QString geometry = store_.getProfileString(kWindowSection, kGeometryKey, QString());
    if (!geometry.isEmpty())
        restoreGeometry(QByteArray::fromBase64(geometry.toLatin1()));
    const QString header = store_.getProfileString(kWindowSection, kHeaderKey, QString());
    QHeaderView* columns = pageList_->header();
    if (!header.isEmpty() && columns->restoreState(QByteArray::fromBase64(header.toLatin1())))
        pageList_->sortByColumn(columns->sortIndicatorSection(), columns->sortIndicatorOrder());
}

void MainWindow::saveWindowState()
{
    store_.writeProfileString(kWindowSection, kGeometryKey,
                              QString::fromLatin1(saveGeometry().toBase64()));
    store_.writeProfileString(kWindowSection, kHeaderKey,
                              QString::fromLatin1(pageList_->header()->saveState().toBase64()));
}

QStringList MainWindow::droppedPaths(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    return paths;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!isPacking() && !droppedPaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (!isPacking() && !droppedPaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QStringList paths = droppedPaths(event->mimeData());
    if (paths.isEmpty() || isPacking())
        return;
    event->acceptProposedAction();
    addDroppedPaths(paths);
}

void MainWindow::addDroppedPaths(const QStringList& paths)
{
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            // A folder joins as Import Directory Tree adds one: every page under it.
            WaitCursor wait;
            const TreeListFile list(info.absoluteFilePath());
            if (list.fileName().isEmpty())
                continue;
            if (const std::optional<QStringList> entries = projectEntries(list.fileName())) {
                addProjectEntries(*entries, list.folder());
                setModified(true);
            }
        } else if (info.isFile()) {
            const QString fileName = QDir::toNativeSeparators(info.absoluteFilePath());
            if (pages_.findFileName(fileName) >= 0)
                continue;
            pages_.addPage(fileName, IMAGE_LOCAL);
            setModified(true);
        }
    }
}
