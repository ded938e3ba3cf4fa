#include "AboutDlg.h"

#include "ProgramVersion.h"

#include <QDialogButtonBox>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

AboutDlg::AboutDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutDlg"));
    setWindowTitle(QStringLiteral("About Quillwin"));
    auto* layout = new QVBoxLayout(this);
    auto* logo = new QLabel(this);
    logo->setPixmap(QIcon(QStringLiteral(":/images/about.png"))
                        .pixmap(QSize(260, 250), devicePixelRatioF()));
    logo->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo);

    auto* text = new QLabel(this);
    text->setObjectName(QStringLiteral("aboutText"));
    text->setTextFormat(Qt::RichText);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignCenter);
    text->setText(
        QStringLiteral("<h3>Quillwin %1</h3>"
                       "<p>Packs web pages into smaller ones that show the same: scripts, "
                       "markup and text are compacted, and a small decoder unpacks them in "
                       "the browser.</p>"
                       "<p>Copyright &copy; 1999-2026 the Quillbox developers.<br>"
                       "Free software under the MIT licence: use, copy, change and share it; "
                       "it comes without any warranty.</p>")
            .arg(programVersion().toHtmlEscaped()));
    layout->addWidget(text);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
