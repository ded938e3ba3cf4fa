#include "PropPageDir.h"

#include "Asker.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

PropPageDir::PropPageDir(DirectorySettings& values, Asker& asker, QWidget* parent)
    : PropPage(parent), values_(values), asker_(asker)
{
    setObjectName(QStringLiteral("PropPageDir"));
    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Default Input Directory"), this), 0, 0, 1, 2);
    inputFolder_ = new QLineEdit(this);
    inputFolder_->setObjectName(QStringLiteral("inputFolder"));
    layout->addWidget(inputFolder_, 1, 0);
    auto* browseInput = new QPushButton(QStringLiteral("Browse ..."), this);
    browseInput->setObjectName(QStringLiteral("browseInput"));
    layout->addWidget(browseInput, 1, 1);

    layout->addWidget(new QLabel(QStringLiteral("Output Directory ('.' overwrites existing files)"),
                                 this), 2, 0, 1, 2);
    outputFolder_ = new QLineEdit(this);
    outputFolder_->setObjectName(QStringLiteral("outputFolder"));
    layout->addWidget(outputFolder_, 3, 0);
    auto* browseOutput = new QPushButton(QStringLiteral("Browse ..."), this);
    browseOutput->setObjectName(QStringLiteral("browseOutput"));
    layout->addWidget(browseOutput, 3, 1);

    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* frameLayout = new QVBoxLayout(frame);
    createDirectories_ = new QCheckBox(QStringLiteral("Create new directories"), frame);
    createDirectories_->setObjectName(QStringLiteral("createDirectories"));
    createDirectories_->setToolTip(
        QStringLiteral("Make the output directory when it does not exist yet"));
    frameLayout->addWidget(createDirectories_);
    overwriteWarning_ = new QCheckBox(QStringLiteral("Warn if output file already exists."), frame);
    overwriteWarning_->setObjectName(QStringLiteral("overwriteWarning"));
    frameLayout->addWidget(overwriteWarning_);
    layout->addWidget(frame, 4, 0, 1, 2);
    layout->setRowStretch(5, 1);

    connect(browseInput, &QPushButton::clicked, this,
            [this] { browseFolder(inputFolder_, values_.inputFolder); });
    connect(browseOutput, &QPushButton::clicked, this,
            [this] { browseFolder(outputFolder_, values_.outputFolder); });
}

void PropPageDir::showValues()
{
    inputFolder_->setText(values_.inputFolder);
    outputFolder_->setText(values_.outputFolder);
    showCheckValue(createDirectories_, values_.createDirectories);
    showCheckValue(overwriteWarning_, values_.overwriteWarning);
}

std::optional<PageFieldFailure> PropPageDir::takeValues()
{
    values_.inputFolder = inputFolder_->text();
    values_.outputFolder = outputFolder_->text();
    values_.createDirectories = takenCheckValue(createDirectories_);
    values_.overwriteWarning = takenCheckValue(overwriteWarning_);
    return std::nullopt;
}

void PropPageDir::browseFolder(QLineEdit* edit, QString& member)
{
    member = edit->text();
    const QString chosen = asker_.folder(this, member, QStringLiteral("Current Selection"));
    if (chosen.isEmpty())
        return;
    member = chosen;
    edit->setText(chosen);
}
