#include "TreeListFile.h"

#include "file_lists.h"

#include <QDir>
#include <QFile>

TreeListFile::TreeListFile(const QString& folder)
    : file_(QDir::temp().filePath(QStringLiteral("quillbox-import-XXXXXX.tmp")))
{
    // Opening makes a file with a name no other program uses; the walk then writes it anew.
    if (!file_.open())
        return;
    file_.close();
    const std::string listName = QFile::encodeName(file_.fileName()).toStdString();
    const std::string start = QFile::encodeName(QDir::toNativeSeparators(folder)).toStdString();
    if (!writeFileList(start, listName).empty())
        written_ = file_.fileName();
}
