// The Compression page: pack method, stripping options and the two engine numbers.
#pragma once

#include "AppSettings.h"
#include "PropPage.h"

#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

class PropPageCompression : public PropPage {
    Q_OBJECT

public:
    explicit PropPageCompression(CompressionSettings& values, QWidget* parent = nullptr);

    QString title() const override { return QStringLiteral("Compression"); }
    void showValues() override;
    std::optional<PageFieldFailure> takeValues() override;

private:
    // Checks `button` and clears the other two: each button is its own group.
    void chooseMethod(int button);

    CompressionSettings& values_;
    std::array<QRadioButton*, 3> methods_{};
    QCheckBox* noJScript_;
    QCheckBox* noMeta_;
    QCheckBox* optimumPack_;
    QCheckBox* noComments_;
    QLineEdit* decompOutputSize_;
    QLineEdit* maxTokens_;
    QComboBox* served_;
};
