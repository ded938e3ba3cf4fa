#include "PropPageCompression.h"

#include "FieldValidation.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {

// Limits of the two numbers.
constexpr qint64 kBufferSizeMinimum = 200, kBufferSizeMaximum = 9000;
constexpr qint64 kTokensMinimum = 0, kTokensMaximum = 256;

QLineEdit* makeNumberEdit(const QString& name, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setAlignment(Qt::AlignRight);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")),
                                                       edit));
    edit->setMaximumWidth(80);
    return edit;
}

} // namespace

PropPageCompression::PropPageCompression(CompressionSettings& values, QWidget* parent)
    : PropPage(parent), values_(values)
{
    setObjectName(QStringLiteral("PropPageCompression"));
    auto* layout = new QVBoxLayout(this);
    auto* frame = new QGroupBox(QStringLiteral(" Pack Settings"), this);
    auto* frameLayout = new QVBoxLayout(frame);
    const char* const methodTexts[] = {"Best packing method", "JavaScript Only", "No JavaScript"};
    const char* const methodNames[] = {"methodBest", "methodJavaScript", "methodPlain"};
    for (int button = 0; button < 3; ++button) {
        methods_[button] = new QRadioButton(QString::fromLatin1(methodTexts[button]), frame);
        methods_[button]->setObjectName(QString::fromLatin1(methodNames[button]));
        methods_[button]->setAutoExclusive(false);
        frameLayout->addWidget(methods_[button]);
        connect(methods_[button], &QRadioButton::clicked, this,
                [this, button] { chooseMethod(button); });
    }
    noJScript_ = new QCheckBox(QStringLiteral("Remove Embedded JavaScript"), frame);
    noJScript_->setObjectName(QStringLiteral("noJScript"));
    noJScript_->hide();
    noMeta_ = new QCheckBox(QStringLiteral("Remove all Meta Tags"), frame);
    noMeta_->setObjectName(QStringLiteral("noMeta"));
    optimumPack_ = new QCheckBox(QStringLiteral("Strip All Other Unneeded Tags"), frame);
    optimumPack_->setObjectName(QStringLiteral("optimumPack"));
    optimumPack_->hide();
    noComments_ = new QCheckBox(QStringLiteral("Remove Comments from HTML source"), frame);
    noComments_->setObjectName(QStringLiteral("noComments"));
    for (QCheckBox* box : {noJScript_, noMeta_, optimumPack_, noComments_})
        frameLayout->addWidget(box);
    layout->addWidget(frame);

    auto* numbers = new QFormLayout;
    decompOutputSize_ = makeNumberEdit(QStringLiteral("decompOutputSize"), this);
    numbers->addRow(QStringLiteral("Decompression Buffer Size"), decompOutputSize_);
    maxTokens_ = makeNumberEdit(QStringLiteral("maxTokens"), this);
    numbers->addRow(QStringLiteral("Maximum Tokens"), maxTokens_);
    // Best packing keeps the method whose page is smaller as the web server sends it.
    served_ = new QComboBox(this);
    served_->setObjectName(QStringLiteral("served"));
    served_->addItem(QStringLiteral("As it is"), QStringLiteral("raw"));
    served_->addItem(QStringLiteral("Compressed by gzip"), QStringLiteral("gzip"));
    served_->addItem(QStringLiteral("Compressed by brotli"), QStringLiteral("br"));
    served_->setToolTip(QStringLiteral(
        "How the web server sends the pages: the method whose page is smaller that way is kept,\n"
        "and the Ratio column compares the sizes that way"));
    numbers->addRow(QStringLiteral("Pages Served"), served_);
    layout->addLayout(numbers);
    layout->addStretch(1);
}

void PropPageCompression::chooseMethod(int button)
{
    for (int other = 0; other < 3; ++other)
        methods_[other]->setChecked(other == button);
}

void PropPageCompression::showValues()
{
    for (int button = 0; button < 3; ++button)
        methods_[button]->setChecked(values_.radioStates[button] != -1);
    showCheckValue(noJScript_, values_.noJScript);
    showCheckValue(noMeta_, values_.noMeta);
    showCheckValue(optimumPack_, values_.optimumPack);
    showCheckValue(noComments_, values_.noComments);
    decompOutputSize_->setText(QString::number(values_.decompOutputSize));
    maxTokens_->setText(QString::number(values_.maxTokens));
    served_->setCurrentIndex(std::max(0, served_->findData(values_.served)));
}

std::optional<PageFieldFailure> PropPageCompression::takeValues()
{
    for (int button = 0; button < 3; ++button)
        values_.radioStates[button] = methods_[button]->isChecked() ? 0 : -1;
    values_.noJScript = takenCheckValue(noJScript_);
    values_.noMeta = takenCheckValue(noMeta_);
    values_.optimumPack = takenCheckValue(optimumPack_);
    values_.noComments = takenCheckValue(noComments_);
    values_.served = served_->currentData().toString();

    const FieldCheck bufferSize =
        checkUnsignedField(decompOutputSize_->text(), kBufferSizeMinimum, kBufferSizeMaximum);
    if (!bufferSize.ok)
        return PageFieldFailure{decompOutputSize_, bufferSize.message};
    values_.decompOutputSize = static_cast<unsigned>(bufferSize.value);

    const FieldCheck tokens = checkSignedField(maxTokens_->text(), kTokensMinimum, kTokensMaximum);
    if (!tokens.ok)
        return PageFieldFailure{maxTokens_, tokens.message};
    values_.maxTokens = static_cast<int>(tokens.value);
    return std::nullopt;
}
