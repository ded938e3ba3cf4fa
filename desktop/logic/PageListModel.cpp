#include "PageListModel.h"

#include "PathRules.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <optional>

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

// The number a Ratio or size text shows ("45%", "1024"), or nothing for "-", "." and the like.
std::optional<qint64> shownNumber(QString text)
{
    if (text.endsWith(QLatin1Char('%')))
        text.chop(1);
    bool ok = false;
    const qint64 number = text.toLongLong(&ok);
    return ok ? std::optional<qint64>(number) : std::nullopt;
}

// -1, 0 or 1 as `a` sorts before, with or after `b` by `column`, ascending.
int compareRows(const PageRow& a, const PageRow& b, int column)
{
    if (column == COLUMN_FILE_NAME || column == COLUMN_OUTPUT_NAME)
        return a.texts[column].compare(b.texts[column], Qt::CaseInsensitive);
    const std::optional<qint64> x = shownNumber(a.texts[column]);
    const std::optional<qint64> y = shownNumber(b.texts[column]);
    if (!x || !y)
        return int(x.has_value()) - int(y.has_value());
    return *x < *y ? -1 : *x > *y ? 1 : 0;
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

bool PageListModel::sortsBefore(const PageRow& a, const PageRow& b) const
{
    const int order = compareRows(a, b, sortColumn_);
    return sortOrder_ == Qt::AscendingOrder ? order < 0 : order > 0;
}

void PageListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= COLUMN_COUNT)
        return;
    sortColumn_ = column;
    sortOrder_ = order;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QList<int> moved(rows_.size());
    for (int row = 0; row < moved.size(); ++row)
        moved[row] = row;
    std::stable_sort(moved.begin(), moved.end(),
                     [this](int a, int b) { return sortsBefore(rows_[a], rows_[b]); });
    QList<PageRow> sorted;
    sorted.reserve(rows_.size());
    QList<int> newPlace(rows_.size());
    for (int at = 0; at < moved.size(); ++at) {
        sorted.append(rows_[moved[at]]);
        newPlace[moved[at]] = at;
    }
    rows_ = std::move(sorted);
    // The selection and the current row follow their rows.
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex& index : before)
        after.append(index.isValid() ? this->index(newPlace[index.row()], index.column())
                                     : QModelIndex());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int PageListModel::addPage(const QString& fileName, int image, const QString& importedFrom)
{
    PageRow row;
    row.texts[COLUMN_FILE_NAME] = fileName;
    row.texts[COLUMN_RATIO] = QStringLiteral("-");
    row.texts[COLUMN_ORIGINAL_SIZE] = QStringLiteral(".");
    row.image = image;
    row.importedFrom = importedFolderOf(importedFrom, fileName);
    // After the rows that sort equal, as the list control inserts.
    const auto place = std::upper_bound(
        rows_.cbegin(), rows_.cend(), row,
        [this](const PageRow& added, const PageRow& listed) { return sortsBefore(added, listed); });
    const int at = static_cast<int>(place - rows_.cbegin());
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
    // A strip drawn for a scaled screen holds more pixels per image.
    const qreal scale = strip.devicePixelRatio();
    const int side = qRound(kImageSize * scale);
    for (int image = 0; image < IMAGE_STRIP_COUNT; ++image) {
        QPixmap piece = strip.copy(image * side, 0, side, side);
        piece.setDevicePixelRatio(scale);
        images_.append(piece);
    }
    if (!rows_.isEmpty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
}
