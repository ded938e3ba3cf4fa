#include "ViewCommands.h"

#include "PageListModel.h"
#include "PathRules.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

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
    QStringList arguments = QProcess::splitCommand(editor);
    if (arguments.isEmpty())
        return ViewResult::Nothing;
    const QString program = arguments.takeFirst();
    arguments.append(text);
    return launcher.startProgram(program, arguments) ? ViewResult::Done : ViewResult::EditorFailed;
}
