#include "TreeListFile.h"

#include "file_lists.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TreeListFile::TreeListFile(const QString& folder)
    : folder_(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()))
{
    const std::string start = QFile::encodeName(QDir::toNativeSeparators(folder)).toStdString();
    const std::string listName = writeFileList(start);
    if (!listName.empty())
        written_ = QFile::decodeName(QByteArray::fromStdString(listName));
}

TreeListFile::~TreeListFile()
{
    if (!written_.isEmpty())
        QFile::remove(written_);
}
