#include "FolderBrowseDlg.h"

#include "PathRules.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// The folder as the chooser returns it: native separators, no trailing separator except at
// a drive or file system root.
QString chosenPath(const QString& path)
{
    QString clean = QDir::cleanPath(path);
    return QDir::toNativeSeparators(clean);
}

} // namespace

FolderBrowseDlg::FolderBrowseDlg(const QString& initialFolder, QWidget* owner, int flags)
    : FolderBrowseDlg(initialFolder, QStringLiteral("Current Selection"), flags, owner)
{
}

FolderBrowseDlg::FolderBrowseDlg(const QString& initialFolder, const QString& title, int flags,
                                 QWidget* owner)
    : QDialog(owner), initialFolder_(initialFolder), result_(initialFolder), title_(title),
      flags_(flags)
{
    setObjectName(QStringLiteral("FolderBrowseDlg"));
    setWindowTitle(QStringLiteral("Browse for Folder"));
    buildControls();
}

void FolderBrowseDlg::buildControls()
{
    auto* layout = new QVBoxLayout(this);
    auto* titleLabel = new QLabel(title_, this);
    titleLabel->setObjectName(QStringLiteral("title"));
    titleLabel->setWordWrap(true);
    layout->addWidget(titleLabel);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    layout->addWidget(status_);

    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    model_->setRootPath(QString());
    tree_ = new QTreeView(this);
    tree_->setObjectName(QStringLiteral("folderTree"));
    tree_->setModel(model_);
    tree_->setHeaderHidden(true);
    for (int column = 1; column < model_->columnCount(); ++column)
        tree_->hideColumn(column);
    layout->addWidget(tree_, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &FolderBrowseDlg::selectionChanged);
    resize(340, 400);
}

QString FolderBrowseDlg::statusText() const
{
    return status_->text();
}

void FolderBrowseDlg::selectFolder(const QString& path)
{
    const QModelIndex index = model_->index(QDir(path).absolutePath());
    if (!index.isValid())
        return;
    tree_->setCurrentIndex(index);
    tree_->scrollTo(index);
}

void FolderBrowseDlg::selectionChanged()
{
    const QModelIndex current = tree_->currentIndex();
    if (!current.isValid())
        return;
    result_ = chosenPath(model_->filePath(current));
    status_->setText(shortenedPath(result_));
}

int FolderBrowseDlg::run()
{
    result_ = initialFolder_;
    status_->setText(shortenedPath(initialFolder_));
    selectFolder(initialFolder_);
    const bool chosen = exec() == QDialog::Accepted;
    if (!chosen || result_.isEmpty() || !QFileInfo(result_).isDir())
        return ResultCancel;
    return ResultOk;
}
