// The General page: the editor and the start-up tips.
#pragma once

#include "AppSettings.h"
#include "PropPage.h"

class QCheckBox;
class QLineEdit;

class PropPageGeneral : public PropPage {
    Q_OBJECT

public:
    // Longest editor command the page accepts.
    static constexpr int kEditorMaximum = 60;

    explicit PropPageGeneral(GeneralSettings& values, QWidget* parent = nullptr);

    QString title() const override { return QStringLiteral("General"); }
    void showValues() override;
    std::optional<PageFieldFailure> takeValues() override;

private:
    GeneralSettings& values_;
    QLineEdit* editor_;
    QCheckBox* noStartupTips_;
};
