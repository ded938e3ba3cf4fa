#include "PageListModel.h"

#include "PathRules.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

constexpr std::array<PageColumnDefinition, COLUMN_COUNT> kColumns = {{
    {"File Name", Qt::AlignLeft | Qt::AlignVCenter, 320},
    {"Ratio", Qt::AlignHCenter | Qt::AlignVCenter, 50},
    {"Original Size", Qt::AlignRight | Qt::AlignVCenter, 72},
    {"Packed Size", Qt::AlignRight | Qt::AlignVCenter, 72},
    {"Output Name", Qt::AlignLeft | Qt::AlignVCenter, 108},
}};

constexpr int kImageSize = 11;

// `folder`, cleaned, when `path` lies inside it; empty otherwise.
QString importedFolderOf(const QString& importedFrom, const QString& path)
{
    if (importedFrom.isEmpty())
        return QString();
    const QString folder = QDir::cleanPath(QFileInfo(importedFrom).absoluteFilePath());
    if (isInternetAddress(path) || isInternetAddress(path))
        return QString();
    const QString relative = QDir(folder).relativeFilePath(QDir::fromNativeSeparators(path));
    if (relative == QLatin1String("..") || relative.startsWith(QLatin1String("../"))
        || QDir::isAbsolutePath(relative))
        return QString();
    return folder;
}

} // namespace

const std::array<PageColumnDefinition, COLUMN_COUNT>& pageColumns()
{
    return kColumns;
}

PageListModel::PageListModel(QObject* parent) : QAbstractTableModel(parent) {}

int PageListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int PageListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : COLUMN_COUNT;
}

QVariant PageListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const PageRow& row = rows_.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return row.texts[index.column()];
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(kColumns[index.column()].alignment);
    case Qt::DecorationRole:
        if (index.column() == COLUMN_FILE_NAME && row.image >= 0 && row.image < images_.size())
            return images_.at(row.image);
        return {};
    case ImageIndexRole:
        return row.image;
    default:
        return {};
    }
}

QVariant PageListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= COLUMN_COUNT)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(kColumns[section].heading);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(kColumns[section].alignment);
    return {};
}

bool PageListModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || count < 1 || row + count > rows_.size())
        return false;
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    rows_.remove(row, count);
    endRemoveRows();
    return true;
}

int PageListModel::addPage(const QString& fileName, int image, const QString& importedFrom)
{
    // After the rows that sort equal, as the list control inserts.
    const auto place = std::upper_bound(
        rows_.cbegin(), rows_.cend(), fileName, [](const QString& name, const PageRow& row) {
            return name.compare(row.texts[COLUMN_FILE_NAME], Qt::CaseInsensitive) < 0;
        });
    const int at = static_cast<int>(place - rows_.cbegin());
    PageRow row;
    row.texts[COLUMN_FILE_NAME] = fileName;
    row.texts[COLUMN_RATIO] = QStringLiteral("-");
    row.texts[COLUMN_ORIGINAL_SIZE] = QStringLiteral(".");
    row.image = image;
    row.importedFrom = importedFolderOf(importedFrom, fileName);
    beginInsertRows(QModelIndex(), at, at);
    rows_.insert(at, row);
    endInsertRows();
    return at;
}

QString sameFileKey(const QString& fileName)
{
    if (fileName.isEmpty() || isInternetAddress(fileName))
        return fileName;
    // Links and "." or ".." steps lead to the one file they name; a file that is not there
    // (yet) is known by its cleaned absolute path.
    const QFileInfo info(fileName);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

int PageListModel::findFileName(const QString& fileName) const
{
    // Names are compared as the file system compares them: letter case counts, except on
    // Windows.
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity kCase = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity kCase = Qt::CaseSensitive;
#endif
    const QString key = sameFileKey(fileName);
    for (int row = 0; row < rows_.size(); ++row) {
        if (sameFileKey(rows_[row].texts[COLUMN_FILE_NAME]).compare(key, kCase) == 0)
            return row;
    }
    return -1;
}

void PageListModel::removePageRows(QList<int> rows)
{
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int row : rows)
        removeRows(row, 1);
}

void PageListModel::clear()
{
    if (rows_.isEmpty())
        return;
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void PageListModel::setText(int row, int column, const QString& text)
{
    rows_[row].texts[column] = text;
    const QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

void PageListModel::setImage(int row, int image)
{
    rows_[row].image = image;
    const QModelIndex changed = index(row, COLUMN_FILE_NAME);
    emit dataChanged(changed, changed, {Qt::DecorationRole, ImageIndexRole});
}

void PageListModel::setImageStrip(const QPixmap& strip)
{
    images_.clear();
    for (int image = 0; image < IMAGE_STRIP_COUNT; ++image)
        images_.append(strip.copy(image * kImageSize, 0, kImageSize, kImageSize));
    if (!rows_.isEmpty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
}
