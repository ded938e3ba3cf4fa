// The Add/Modify Web Page dialog: one internet address, at most 90 characters.
#pragma once

#include <QDialog>
#include <QString>

#include <optional>

class Asker;
class QLineEdit;

class WebPageDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int maxAddressLength = 90;

    // Opens with `address` in the field; an address longer than the limit is kept as it is,
    // and confirming it shows the length message.
    explicit WebPageDlg(Asker& asker, const QString& address = QString(),
                        QWidget* parent = nullptr);

    QString address() const;

    // Shows the dialog for `address` and returns the confirmed address with "http://" put in
    // front when it has no web scheme; nothing when the dialog was cancelled.
    static std::optional<QString> editAddress(Asker& asker, const QString& address,
                                              QWidget* parent = nullptr);

public slots:
    void accept() override;

private:
    Asker& asker_;
    QLineEdit* addressEdit_;
};
