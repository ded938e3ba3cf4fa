#include "DialogAsker.h"

#include "FolderBrowseDlg.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace {

// The chooser changes the current directory to the folder of the file picked, as the
// program's file choosers always have; later relative paths resolve against it.
void followPickedFolder(const QString& path)
{
    if (!path.isEmpty())
        QDir::setCurrent(QFileInfo(path).absolutePath());
}

QString startFolder(const QString& directory)
{
    return directory.isEmpty() ? QDir::currentPath() : directory;
}

} // namespace

QString fileDialogFilter(const QString& pipeFilter)
{
    const QStringList fields = pipeFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (int at = 0; at + 1 < fields.size(); at += 2) {
        if (fields[at].isEmpty())
            break;
        QString name = fields[at];
        const qsizetype open = name.indexOf(QLatin1Char('('));
        if (open > 0)
            name = name.left(open).trimmed();
        QStringList patterns = fields[at + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            pattern = pattern.trimmed();
        // "*.*" means every file here; the chooser's "*" also matches names without a dot.
        if (patterns == QStringList{QStringLiteral("*.*")})
            patterns = {QStringLiteral("*")};
        filters.append(name + QStringLiteral(" (") + patterns.join(QLatin1Char(' '))
                       + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

Asker::Answer DialogAsker::ask(QWidget* parent, const QString& caption, const QString& text,
                               Buttons buttons, Icon icon)
{
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Error: box.setIcon(QMessageBox::Critical); break;
    }
    switch (buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Ok: return Answer::Ok;
    default: return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
}

QStringList DialogAsker::openFileNames(QWidget* parent, const QString& directory,
                                       const QString& filter)
{
    const QStringList files = QFileDialog::getOpenFileNames(
        parent, QString(), startFolder(directory), fileDialogFilter(filter));
    if (!files.isEmpty())
        followPickedFolder(files.first());
    return files;
}

QString DialogAsker::openFileName(QWidget* parent, const QString& directory,
                                  const QString& filter)
{
    const QString file = QFileDialog::getOpenFileName(parent, QString(), startFolder(directory),
                                                      fileDialogFilter(filter));
    followPickedFolder(file);
    return file;
}

QString DialogAsker::saveFileName(QWidget* parent, const QString& directory,
                                  const QString& filter)
{
    const QString file = QFileDialog::getSaveFileName(parent, QString(), startFolder(directory),
                                                      fileDialogFilter(filter));
    followPickedFolder(file);
    return file;
}

QString DialogAsker::folder(QWidget* parent, const QString& initialFolder, const QString& title)
{
    FolderBrowseDlg dialog(initialFolder, title, 0, parent);
    if (dialog.run() != FolderBrowseDlg::ResultOk)
        return QString();
    return dialog.folder();
}
