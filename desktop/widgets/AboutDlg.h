// The About box "About Quillwin": the product logo, no buttons; it closes with its close box
// or Escape.
#pragma once

#include <QDialog>

class AboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit AboutDlg(QWidget* parent = nullptr);
};
