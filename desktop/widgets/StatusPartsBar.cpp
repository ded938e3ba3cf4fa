#include "StatusPartsBar.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

StatusPartsBar::StatusPartsBar(std::vector<int> rightEdges, std::vector<bool> borderless,
                               QWidget* parent)
    : QWidget(parent), edges_(std::move(rightEdges)), borderless_(std::move(borderless))
{
    for (size_t part = 0; part < edges_.size(); ++part)
        texts_.append(QString());
}

void StatusPartsBar::setPartText(int part, const QString& text)
{
    texts_[part] = text;
    update(partRect(part));
}

QRect StatusPartsBar::partRect(int part) const
{
    const int left = part == 0 ? 0 : edges_[part - 1] + 2;
    const int right = edges_[part] < 0 ? width() : edges_[part];
    return QRect(left, 2, std::max(0, right - left), height() - 2);
}

QSize StatusPartsBar::sizeHint() const
{
    return QSize(edges_.empty() ? 100 : edges_.back(), fontMetrics().height() + 8);
}

void StatusPartsBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    for (int part = 0; part < partCount(); ++part) {
        const QRect rect = partRect(part);
        if (rect.width() <= 0)
            continue;
        if (!borderless_[part]) {
            // A thin sunken frame, as status bar panes have.
            painter.setPen(palette().color(QPalette::Dark));
            painter.drawLine(rect.topLeft(), rect.topRight());
            painter.drawLine(rect.topLeft(), rect.bottomLeft());
            painter.setPen(palette().color(QPalette::Light));
            painter.drawLine(rect.bottomLeft(), rect.bottomRight());
            painter.drawLine(rect.topRight(), rect.bottomRight());
        }
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect.adjusted(3, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft,
                         texts_[part]);
    }
}
