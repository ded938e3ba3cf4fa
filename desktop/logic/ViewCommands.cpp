#include "ViewCommands.h"

#include "PageListModel.h"
#include "PathRules.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

QString supportAddress()
{
    QString date = QStringLiteral("Mar 21 1999");
    date[3] = QLatin1Char('_');
    date[6] = QLatin1Char('_');
    return QString::fromLatin1(SUPPORT_SERVER) + QStringLiteral("/cgi-bin/support.pl?verDate=")
         + date;
}

QString helpDocumentPath(const QString& programFolder)
{
    const QString besideProgram = programFolder + QStringLiteral("/help/QuillboxDoc.html");
    const QString installed =
        programFolder + QStringLiteral("/../share/quillbox/help/QuillboxDoc.html");
    if (!QFileInfo::exists(besideProgram) && QFileInfo::exists(installed))
        return QDir::cleanPath(installed);
    return besideProgram;
}

ViewResult viewRow(const PageListModel& pages, int row, int column, const QString& editor,
                   Launcher& launcher)
{
    if (row < 0 || row >= pages.rowCount())
        return ViewResult::Nothing;
    const QString text = pages.text(row, column);
    // Column 4 holds the error text, starting with "*", after a failure.
    if (text.isEmpty() || text.startsWith(QLatin1Char('*')))
        return ViewResult::Nothing;
    if (editor.isEmpty()) {
        // What the associated program makes of the page is its own affair.
        launcher.openDocument(text);
        return ViewResult::Done;
    }
    if (isInternetAddress(text))
        return ViewResult::Nothing;
    // The setting names the editor program; only a text that is no program as a whole is
    // taken as a program with options, so "/opt/My Editor/ed" needs no quotes.
    if (namesExistingProgram(editor)) {
        return launcher.startProgram(editor, {text}) ? ViewResult::Done
                                                     : ViewResult::EditorFailed;
    }
    QStringList arguments = QProcess::splitCommand(editor);
    if (arguments.isEmpty())
        return ViewResult::Nothing;
    const QString program = arguments.takeFirst();
    arguments.append(text);
    return launcher.startProgram(program, arguments) ? ViewResult::Done : ViewResult::EditorFailed;
}

bool namesExistingProgram(const QString& text)
{
    if (text.trimmed().isEmpty())
        return false;
    // A path is taken as it stands, a bare name is looked up along the search path, as the
    // program starter does.
    if (text.contains(QLatin1Char('/')) || text.contains(QLatin1Char('\\'))) {
        const QFileInfo file(text);
        return file.isFile() && file.isExecutable();
    }
    return !QStandardPaths::findExecutable(text).isEmpty();
}
