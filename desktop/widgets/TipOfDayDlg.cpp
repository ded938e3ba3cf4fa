#include "TipOfDayDlg.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kHeading = QStringLiteral("Did you know...");

// A light bulb: a glowing glass globe over a grey screw base, with a few rays.
QPixmap drawBulb(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 32.0;
    painter.scale(unit, unit);

    painter.setPen(QPen(QColor(250, 190, 30), 1.4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(16, 1), QPointF(16, 3.5));
    painter.drawLine(QPointF(5, 5), QPointF(7, 7));
    painter.drawLine(QPointF(27, 5), QPointF(25, 7));
    painter.drawLine(QPointF(2, 14), QPointF(4.5, 14));
    painter.drawLine(QPointF(30, 14), QPointF(27.5, 14));

    QPainterPath glass;
    glass.moveTo(12.5, 23);
    glass.cubicTo(12.5, 19, 8, 17.5, 8, 13);
    glass.cubicTo(8, 8.5, 11.5, 5.5, 16, 5.5);
    glass.cubicTo(20.5, 5.5, 24, 8.5, 24, 13);
    glass.cubicTo(24, 17.5, 19.5, 19, 19.5, 23);
    glass.closeSubpath();
    QRadialGradient glow(QPointF(14, 11), 11);
    glow.setColorAt(0, QColor(255, 255, 210));
    glow.setColorAt(1, QColor(255, 215, 60));
    painter.setBrush(glow);
    painter.setPen(QPen(QColor(170, 120, 0), 1.0));
    painter.drawPath(glass);

    painter.setPen(QPen(QColor(200, 130, 0), 0.8));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(QPolygonF({QPointF(14, 22), QPointF(14, 15), QPointF(15, 13.5),
                                    QPointF(16, 15), QPointF(17, 13.5), QPointF(18, 15),
                                    QPointF(18, 22)}));

    painter.setPen(QPen(QColor(90, 90, 90), 0.8));
    painter.setBrush(QColor(170, 170, 170));
    painter.drawRoundedRect(QRectF(12.5, 23, 7, 2.2), 0.8, 0.8);
    painter.drawRoundedRect(QRectF(12.5, 25.2, 7, 2.2), 0.8, 0.8);
    painter.setBrush(QColor(80, 80, 80));
    painter.drawRoundedRect(QRectF(14, 27.4, 4, 2), 1, 1);
    return pixmap;
}

// A stand-in for the program's logo: a small box with a quill over it, and the name beside it.
QPixmap drawLogo(const QFont& baseFont)
{
    const QSize size(200, 40);
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    painter.setPen(QPen(QColor(60, 40, 20), 1.2));
    painter.setBrush(QColor(205, 160, 95));
    painter.drawRect(QRectF(4, 18, 24, 18));
    painter.setBrush(QColor(225, 185, 120));
    painter.drawPolygon(QPolygonF({QPointF(4, 18), QPointF(10, 12), QPointF(34, 12),
                                   QPointF(28, 18)}));
    painter.drawPolygon(QPolygonF({QPointF(28, 18), QPointF(34, 12), QPointF(34, 30),
                                   QPointF(28, 36)}));

    QPainterPath quill;
    quill.moveTo(16, 24);
    quill.cubicTo(22, 12, 32, 4, 42, 2);
    quill.cubicTo(38, 10, 30, 18, 16, 24);
    painter.setBrush(QColor(250, 250, 250));
    painter.setPen(QPen(QColor(40, 60, 110), 1.0));
    painter.drawPath(quill);
    painter.drawLine(QPointF(16, 24), QPointF(38, 5));

    QFont font = baseFont;
    font.setBold(true);
    font.setPointSizeF(baseFont.pointSizeF() * 1.8);
    painter.setFont(font);
    painter.setPen(QColor(30, 50, 110));
    painter.drawText(QRectF(48, 0, size.width() - 48, size.height()),
                     Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Quillbox"));
    return pixmap;
}

// The bulb at the top left of a white band, with the heading beside it, vertically centred
// on the bulb.
class TipHeading : public QWidget {
public:
    explicit TipHeading(QWidget* parent) : QWidget(parent), bulb_(drawBulb(40))
    {
        QFont font = this->font();
        font.setBold(true);
        font.setPointSizeF(font.pointSizeF() * 1.4);
        setFont(font);
        setMinimumSize(bulb_.width() + fontMetrics().horizontalAdvance(kHeading) + 24,
                       bulb_.height() + 8);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.drawPixmap(4, 4, bulb_);
        const QRect textArea(bulb_.width() + 16, 4, width() - bulb_.width() - 16,
                             bulb_.height());
        painter.setPen(Qt::black);
        painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         kHeading);
    }

private:
    QPixmap bulb_;
};

// The tip line as shown: without its line end.
QString displayedTip(QString text)
{
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

} // namespace

TipOfDayDlg::TipOfDayDlg(SettingsStore& store, Asker& asker, const QStringList& tipsLocations,
                         QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      tips_(store, asker, tipsLocations),
      tipLabel_(new QLabel(this)),
      startUpBox_(new QCheckBox(QStringLiteral("&Show Tips on StartUp"), this)),
      nextButton_(new QPushButton(QStringLiteral("&Next Tip"), this))
{
    setWindowTitle(kHeading);

    // The program's logo from its resources; a drawn one where they are not linked in.
    auto* logo = new QLabel(this);
    const QPixmap logoPicture(QStringLiteral(":/images/logo.png"));
    logo->setPixmap(logoPicture.isNull() ? drawLogo(font()) : logoPicture);

    // The black frame holds the bulb band, the tip on white and a white strip under it.
    auto* tipFrame = new QFrame(this);
    tipFrame->setFrameShape(QFrame::Box);
    tipFrame->setLineWidth(1);
    QPalette framePalette = tipFrame->palette();
    framePalette.setColor(QPalette::WindowText, Qt::black);
    framePalette.setColor(QPalette::Window, Qt::white);
    tipFrame->setPalette(framePalette);
    tipFrame->setAutoFillBackground(true);

    tipLabel_->setObjectName(QStringLiteral("tipText"));
    tipLabel_->setWordWrap(true);
    tipLabel_->setTextFormat(Qt::PlainText);
    tipLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    tipLabel_->setMinimumSize(340, 90);
    tipLabel_->setMargin(8);
    auto* whiteStrip = new QWidget(tipFrame);
    whiteStrip->setFixedHeight(10);

    auto* frameLayout = new QVBoxLayout(tipFrame);
    frameLayout->setContentsMargins(1, 1, 1, 1);
    frameLayout->setSpacing(0);
    frameLayout->addWidget(new TipHeading(tipFrame));
    frameLayout->addWidget(tipLabel_, 1);
    frameLayout->addWidget(whiteStrip);

    startUpBox_->setObjectName(QStringLiteral("showTipsBox"));
    nextButton_->setObjectName(QStringLiteral("nextTipButton"));
    nextButton_->setAutoDefault(false);
    auto* closeButton = new QPushButton(QStringLiteral("&Close"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setDefault(true);
    connect(nextButton_, &QPushButton::clicked, this, &TipOfDayDlg::showNextTip);
    connect(closeButton, &QPushButton::clicked, this, &TipOfDayDlg::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(startUpBox_);
    buttons->addStretch();
    buttons->addWidget(nextButton_);
    buttons->addWidget(closeButton);

    // Without a title bar the dialog draws its own edge.
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setLineWidth(2);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->addWidget(logo, 0, Qt::AlignLeft);
    panelLayout->addWidget(tipFrame, 1);
    panelLayout->addLayout(buttons);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(panel);

    nextButton_->setEnabled(tips_.hasFile());
    showValues();
}

void TipOfDayDlg::showValues()
{
    tipLabel_->setText(displayedTip(tips_.tipText()));
    startUpBox_->setChecked(tips_.showAtStartUp());
}

void TipOfDayDlg::showNextTip()
{
    // Only the tip changes: the check box keeps what the user made of it.
    tips_.nextTip();
    tipLabel_->setText(displayedTip(tips_.tipText()));
}

void TipOfDayDlg::accept()
{
    tips_.saveShowAtStartUp(startUpBox_->isChecked());
    QDialog::accept();
}

void TipOfDayDlg::offerAtStartUp(SettingsStore& store, Asker& asker,
                                 const QStringList& tipsLocations)
{
    TipOfDayDlg dialog(store, asker, tipsLocations);
    if (dialog.showAtStartUp())
        dialog.exec();
}
