// The folder chooser: a folder tree with a title above it and a status line below that
// shows the selected folder, shortened.
#pragma once

#include <QDialog>
#include <QString>

class QFileSystemModel;
class QLabel;
class QTreeView;

class FolderBrowseDlg : public QDialog {
    Q_OBJECT

public:
    enum Result { ResultOk = 1, ResultCancel = 2 };

    // Title "Current Selection".
    FolderBrowseDlg(const QString& initialFolder, QWidget* owner = nullptr, int flags = 0);
    FolderBrowseDlg(const QString& initialFolder, const QString& title, int flags,
                    QWidget* owner = nullptr);

    // Runs the chooser modally; ResultOk when a folder of the file system was chosen.
    int run();
    // The chosen folder (the initial folder until another is selected).
    QString folder() const { return result_; }

    QString title() const { return title_; }
    QString statusText() const;
    // Selects `path` in the tree as the user would.
    void selectFolder(const QString& path);

private:
    void buildControls();
    void selectionChanged();

    QString initialFolder_;
    QString result_;
    QString title_;
    int flags_ = 0;  // the caller's option flags; kept for callers that pass any
    QFileSystemModel* model_ = nullptr;
    QTreeView* tree_ = nullptr;
    QLabel* status_ = nullptr;
};
