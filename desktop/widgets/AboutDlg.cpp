#include "AboutDlg.h"

#include <QLabel>
#include <QVBoxLayout>

AboutDlg::AboutDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutDlg"));
    setWindowTitle(QStringLiteral("About Quillwin"));
    // 201 by 181 dialog units.
    setFixedSize(302, 294);
    auto* layout = new QVBoxLayout(this);
    auto* logo = new QLabel(this);
    logo->setPixmap(QPixmap(QStringLiteral(":/images/about.png")));
    logo->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo);
}
