#include "PropertiesSheet.h"

#include "Asker.h"
#include "PropPageCompression.h"
#include "PropPageDir.h"
#include "PropPageGeneral.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

PropertiesSheet::PropertiesSheet(AppSettings& settings, Asker& asker, QWidget* parent)
    : QDialog(parent), asker_(asker), settings_(settings), edited_(settings)
{
    setObjectName(QStringLiteral("PropertiesSheet"));
    setWindowTitle(QStringLiteral("Quillbox Properties"));
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    pages_ = {new PropPageDir(edited_.directories, asker, tabs_),
              new PropPageCompression(edited_.compression, tabs_),
              new PropPageGeneral(edited_.general, tabs_)};
    for (PropPage* page : pages_)
        tabs_->addTab(page, page->title());
    layout->addWidget(tabs_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PropertiesSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    pages_[0]->showValues();
    connect(tabs_, &QTabWidget::currentChanged, this, &PropertiesSheet::switchPage);
}

void PropertiesSheet::reportFailure(const PageFieldFailure& failure)
{
    asker_.ask(this, QCoreApplication::applicationName(), failure.message, Asker::Buttons::Ok,
               Asker::Icon::Warning);
    failure.field->setFocus();
    failure.field->selectAll();
}

void PropertiesSheet::switchPage(int index)
{
    if (index == shownPage_)
        return;
    if (const std::optional<PageFieldFailure> failure = pages_[shownPage_]->takeValues()) {
        {
            const QSignalBlocker blocker(tabs_);
            tabs_->setCurrentIndex(shownPage_);
        }
        reportFailure(*failure);
        return;
    }
    shownPage_ = index;
    pages_[shownPage_]->showValues();
}

void PropertiesSheet::accept()
{
    if (const std::optional<PageFieldFailure> failure = pages_[shownPage_]->takeValues()) {
        reportFailure(*failure);
        return;
    }
    settings_ = edited_;
    QDialog::accept();
}
