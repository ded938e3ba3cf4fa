// The Directories page: input and output folders, making a missing output folder, and the
// overwrite warning.
#pragma once

#include "AppSettings.h"
#include "PropPage.h"

class Asker;
class QCheckBox;
class QLineEdit;
class QPushButton;

class PropPageDir : public PropPage {
    Q_OBJECT

public:
    PropPageDir(DirectorySettings& values, Asker& asker, QWidget* parent = nullptr);

    QString title() const override { return QStringLiteral("Directories"); }
    void showValues() override;
    std::optional<PageFieldFailure> takeValues() override;

private:
    // Lets the user choose the folder of `edit` and stores it in `member` when chosen.
    void browseFolder(QLineEdit* edit, QString& member);

    DirectorySettings& values_;
    Asker& asker_;
    QLineEdit* inputFolder_;
    QLineEdit* outputFolder_;
    QCheckBox* createDirectories_;
    QCheckBox* overwriteWarning_;
};
