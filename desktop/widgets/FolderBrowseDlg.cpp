#include "FolderBrowseDlg.h"

#include <QDir>
#include <QFileInfo>

FolderBrowseDlg::FolderBrowseDlg(const QString& initialFolder, QWidget* owner, int flags)
    : FolderBrowseDlg(initialFolder, QStringLiteral("Current Selection"), flags, owner)
{
}

FolderBrowseDlg::FolderBrowseDlg(const QString& initialFolder, const QString& title, int,
                                 QWidget* owner)
    : QFileDialog(owner, title), initialFolder_(initialFolder), result_(initialFolder)
{
    setObjectName(QStringLiteral("FolderBrowseDlg"));
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly);
    setAcceptMode(QFileDialog::AcceptOpen);
    // A relative setting such as "." starts where it leads from the current folder.
    const QFileInfo start(initialFolder.isEmpty() ? QDir::currentPath() : initialFolder);
    setDirectory(start.isDir() ? start.absoluteFilePath() : QDir::currentPath());
}

int FolderBrowseDlg::run()
{
    result_ = initialFolder_;
    if (exec() != QDialog::Accepted || selectedFiles().isEmpty())
        return ResultCancel;
    const QString chosen = QDir::cleanPath(selectedFiles().first());
    if (!QFileInfo(chosen).isDir())
        return ResultCancel;
    result_ = QDir::toNativeSeparators(chosen);
    return ResultOk;
}
