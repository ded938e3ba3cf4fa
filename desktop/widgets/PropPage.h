// A page of the Properties sheet: copies values between its members and its controls.
#pragma once

#include <QString>
#include <QWidget>

#include <optional>

class QCheckBox;
class QLineEdit;

// A field the page refused, with the message to show.
struct PageFieldFailure {
    QLineEdit* field = nullptr;
    QString message;
};

class PropPage : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;

    // The page's title on its tab.
    virtual QString title() const = 0;
    // Members to controls; runs whenever the page is shown.
    virtual void showValues() = 0;
    // Controls to members, field by field; stops at the first field that fails its check.
    virtual std::optional<PageFieldFailure> takeValues() = 0;
};

// Shows a stored flag in a check box: 1 checked, 2 partly checked, 0 clear; any other value
// is first replaced by 0.
void showCheckValue(QCheckBox* box, int& flag);
// The flag a check box gives: 1 checked, 2 partly checked, 0 clear.
int takenCheckValue(const QCheckBox* box);
