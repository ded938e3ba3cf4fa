#include "WebPageDlg.h"

#include "Asker.h"
#include "InternetOutputName.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

#include <algorithm>

namespace {

// A small globe: a blue sphere with two meridians and three parallels.
QPixmap drawGlobe(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF sphere(1.5, 1.5, size - 3.0, size - 3.0);

    QRadialGradient sea(sphere.center() - QPointF(size / 6.0, size / 6.0), size * 0.7);
    sea.setColorAt(0, QColor(120, 190, 255));
    sea.setColorAt(1, QColor(20, 80, 170));
    painter.setBrush(sea);
    painter.setPen(QPen(QColor(10, 50, 120), 1.2));
    painter.drawEllipse(sphere);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(230, 240, 255), 1.0));
    const QPointF centre = sphere.center();
    const qreal radius = sphere.width() / 2;
    painter.drawEllipse(centre, radius * 0.45, radius);
    painter.drawLine(QPointF(centre.x(), sphere.top()), QPointF(centre.x(), sphere.bottom()));
    painter.drawLine(QPointF(sphere.left(), centre.y()), QPointF(sphere.right(), centre.y()));
    const qreal offset = radius * 0.55;
    const qreal halfChord = radius * 0.83;
    painter.drawLine(QPointF(centre.x() - halfChord, centre.y() - offset),
                     QPointF(centre.x() + halfChord, centre.y() - offset));
    painter.drawLine(QPointF(centre.x() - halfChord, centre.y() + offset),
                     QPointF(centre.x() + halfChord, centre.y() + offset));
    return pixmap;
}

} // namespace

WebPageDlg::WebPageDlg(Asker& asker, const QString& address, QWidget* parent)
    : QDialog(parent), asker_(asker), addressEdit_(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("Add/Modify Web Page"));

    auto* label = new QLabel(QStringLiteral("Internet Address"), this);
    label->setBuddy(addressEdit_);
    auto* globe = new QLabel(this);
    const QPixmap globePicture(QStringLiteral(":/images/globe.png"));
    globe->setPixmap(globePicture.isNull()
                         ? drawGlobe(32)
                         : globePicture.scaled(32, 32, Qt::KeepAspectRatio,
                                               Qt::SmoothTransformation));

    addressEdit_->setObjectName(QStringLiteral("addressEdit"));
    // The field takes at most 90 characters from the keyboard, but keeps a longer address
    // given to it so that OK can say what is wrong instead of cutting it silently.
    addressEdit_->setMaxLength(std::max<int>(maxAddressLength, address.size()));
    addressEdit_->setText(address);
    addressEdit_->setMinimumWidth(fontMetrics().averageCharWidth() * 60);

    auto* okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setDefault(true);
    auto* cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    connect(okButton, &QPushButton::clicked, this, &WebPageDlg::accept);
    connect(cancelButton, &QPushButton::clicked, this, &WebPageDlg::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(okButton);
    buttons->addStretch();
    buttons->addWidget(cancelButton);

    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0, Qt::AlignBottom | Qt::AlignLeft);
    layout->addWidget(globe, 0, 1, Qt::AlignTop | Qt::AlignRight);
    layout->addWidget(addressEdit_, 1, 0, 1, 2);
    layout->addLayout(buttons, 2, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString WebPageDlg::address() const
{
    return addressEdit_->text();
}

void WebPageDlg::accept()
{
    if (addressEdit_->text().size() > maxAddressLength) {
        QString caption = QCoreApplication::applicationName();
        if (caption.isEmpty())
            caption = QStringLiteral("Quillwin");
        asker_.ask(this, caption,
                   QStringLiteral("Please enter no more than %1 characters.")
                       .arg(maxAddressLength),
                   Asker::Buttons::Ok, Asker::Icon::Warning);
        addressEdit_->setFocus();
        addressEdit_->selectAll();
        return;
    }
    QDialog::accept();
}

std::optional<QString> WebPageDlg::editAddress(Asker& asker, const QString& address,
                                               QWidget* parent)
{
    WebPageDlg dialog(asker, address, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return addressWithScheme(dialog.address());
}
