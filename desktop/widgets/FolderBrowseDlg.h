// The folder chooser: the platform's (through the desktop's portal where there is one, else
// Qt's own), opened at the current folder setting, with `title` as its caption; a path may be
// typed as well as picked.
#pragma once

#include <QFileDialog>
#include <QString>

class FolderBrowseDlg : public QFileDialog {
    Q_OBJECT

public:
    enum Result { ResultOk = 1, ResultCancel = 2 };

    // Caption "Current Selection".
    FolderBrowseDlg(const QString& initialFolder, QWidget* owner = nullptr, int flags = 0);
    FolderBrowseDlg(const QString& initialFolder, const QString& title, int flags,
                    QWidget* owner = nullptr);

    // Runs the chooser modally; ResultOk when a folder of the file system was chosen.
    int run();
    // The chosen folder with native separators (the initial folder until another is chosen).
    QString folder() const { return result_; }

    QString title() const { return windowTitle(); }

private:
    QString initialFolder_;
    QString result_;
};
