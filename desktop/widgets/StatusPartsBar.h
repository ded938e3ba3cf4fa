// A status bar of fixed parts, each ending at a given pixel; the last reaches the edge.
#pragma once

#include <QStringList>
#include <QWidget>

#include <vector>

class StatusPartsBar : public QWidget {
    Q_OBJECT

public:
    // `rightEdges` in pixels, -1 for the window edge; `borderless` per part.
    StatusPartsBar(std::vector<int> rightEdges, std::vector<bool> borderless,
                   QWidget* parent = nullptr);

    void setPartText(int part, const QString& text);
    QString partText(int part) const { return texts_.at(part); }
    int partCount() const { return static_cast<int>(edges_.size()); }
    // The part's rectangle in the bar.
    QRect partRect(int part) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<int> edges_;
    std::vector<bool> borderless_;
    QStringList texts_;
};
