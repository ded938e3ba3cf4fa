// The About box "About Quillwin": the logo, the name and version, what the program does, the
// licence, and a Close button.
#pragma once

#include <QDialog>

class AboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit AboutDlg(QWidget* parent = nullptr);
};
