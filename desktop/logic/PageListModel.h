// The page list: the only store of the desktop program's pages.
//
// Each row holds five display texts and a status image, as the list shows them; the commands
// read the texts back from here. Rows are kept in the order of the sort column (File Name,
// ascending and letter case ignored, until the user sorts by another), so a new row lands at its
// sorted place. Sorting moves whole rows: their texts, image and folder stay together.
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QPixmap>
#include <QString>

#include <array>

enum PageColumn {
    COLUMN_FILE_NAME, COLUMN_RATIO, COLUMN_ORIGINAL_SIZE, COLUMN_PACKED_SIZE, COLUMN_OUTPUT_NAME,
    COLUMN_COUNT
};

// Indices of the status image strip.
enum RowImage {
    IMAGE_LOCAL = 0,             // local page, not packed yet
    IMAGE_INTERNET = 1,          // internet page, not packed yet
    IMAGE_LOCAL_PACKED = 2,
    IMAGE_INTERNET_PACKED = 3,
    IMAGE_LOCAL_FAILED = 4,
    IMAGE_INTERNET_FAILED = 5,
    IMAGE_LOCAL_UNCHANGED = 6,   // packed size within one byte of the original (already packed)
    IMAGE_STRIP_COUNT = 7,       // an index past the strip shows no image
};

// One row as the list shows it.
struct PageRow {
    QString texts[COLUMN_COUNT];
    int image = IMAGE_LOCAL;
    // The folder of the imported tree the page came from; empty for a page added by itself.
    // Known only while the program runs: projects save the File Name alone.
    QString importedFrom;
};

// Heading, alignment and first width of each column.
struct PageColumnDefinition {
    const char* heading;
    Qt::Alignment alignment;
    int width;
};
const std::array<PageColumnDefinition, COLUMN_COUNT>& pageColumns();

// What tells one listed file from another: the canonical path of a file that exists, the
// cleaned absolute path of one that does not, an internet address as it is.
QString sameFileKey(const QString& fileName);

class PageListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // The row's status image index, for tests and the commands that read it back.
    static constexpr int ImageIndexRole = Qt::UserRole + 1;

    explicit PageListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    // Orders the rows by `column`: File Name and Output Name as text with letter case ignored,
    // Ratio and the sizes by their numbers (rows without one first). Rows that sort equal keep
    // their order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    int sortColumn() const { return sortColumn_; }
    Qt::SortOrder sortOrder() const { return sortOrder_; }

    // Inserts a new page at its sorted place with Ratio "-" and Original Size "."; returns
    // its row. A page of an imported tree that lies inside `importedFrom` records that folder.
    int addPage(const QString& fileName, int image, const QString& importedFrom = QString());
    // The first row whose File Name is the same file as `fileName` (the same canonical path,
    // or the same address), or -1.
    int findFileName(const QString& fileName) const;
    // Removes the rows given, in any order; duplicates are ignored.
    void removePageRows(QList<int> rows);
    // Removes every row.
    void clear();

    const PageRow& pageRow(int row) const { return rows_.at(row); }
    QString text(int row, int column) const { return rows_.at(row).texts[column]; }
    void setText(int row, int column, const QString& text);
    void setImage(int row, int image);

    // Cuts the status image strip (seven 11 by 11 images side by side, in device-independent
    // pixels) into the row images.
    void setImageStrip(const QPixmap& strip);

private:
    // Whether `a` sorts before `b` by the current sort column and order.
    bool sortsBefore(const PageRow& a, const PageRow& b) const;

    QList<PageRow> rows_;
    QList<QPixmap> images_;
    int sortColumn_ = COLUMN_FILE_NAME;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};
