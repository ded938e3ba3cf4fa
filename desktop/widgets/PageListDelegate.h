// Draws the page list's cells as usual and, for a text cut off by its column, shows the whole
// text as the cell's tooltip.
#pragma once

#include <QStyledItemDelegate>

class PageListDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Whether the cell at `index`, drawn in `option.rect`, cuts its text off.
    bool cutsText(const QStyleOptionViewItem& option, const QModelIndex& index) const;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};
