#include "PropPageGeneral.h"

#include "FieldValidation.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

PropPageGeneral::PropPageGeneral(GeneralSettings& values, QWidget* parent)
    : PropPage(parent), values_(values)
{
    setObjectName(QStringLiteral("PropPageGeneral"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Editor for HTML source"), this));
    editor_ = new QLineEdit(this);
    editor_->setObjectName(QStringLiteral("editor"));
    layout->addWidget(editor_);
    noStartupTips_ = new QCheckBox(QStringLiteral("No startup tips."), this);
    noStartupTips_->setObjectName(QStringLiteral("noStartupTips"));
    layout->addWidget(noStartupTips_);
    layout->addStretch(1);
}

void PropPageGeneral::showValues()
{
    // Typing stops at the limit; a longer text that came from the store is shown whole and
    // refused when the page is left.
    editor_->setMaxLength(values_.editor.size() <= kEditorMaximum ? kEditorMaximum : 32767);
    editor_->setText(values_.editor);
    showCheckValue(noStartupTips_, values_.noStartupTips);
}

std::optional<PageFieldFailure> PropPageGeneral::takeValues()
{
    const FieldCheck length = checkTextLength(editor_->text(), kEditorMaximum);
    if (!length.ok)
        return PageFieldFailure{editor_, length.message};
    values_.editor = editor_->text();
    values_.noStartupTips = takenCheckValue(noStartupTips_);
    return std::nullopt;
}
