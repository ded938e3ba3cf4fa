#include "ViewCommands.h"

#include "PageListModel.h"
#include "PathRules.h"
#include "ProgramVersion.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

QString supportTarget(const QString& server, const QString& programFolder)
{
    if (server.isEmpty())
        return helpDocumentPath(programFolder);
    return server + QStringLiteral("/cgi-bin/support.pl?version=") + programVersion();
}

QString openerMissingMessage(const QString& target)
{
    return QStringLiteral("No program could open %1.\n\nInstall a web browser and the "
                          "xdg-utils package (it provides xdg-open), then try again.")
        .arg(QDir::toNativeSeparators(target));
}

QString editorMissingMessage()
{
    return QStringLiteral("No editor for HTML source is set, and none was found.\n\nInstall "
                          "a text editor (such as gedit, kate or mousepad), or name one in "
                          "Options, Properties, General.");
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

ViewResult viewRow(const PageListModel& pages, int row, int column, bool editing,
                   const QString& editor, Launcher& launcher)
{
    if (row < 0 || row >= pages.rowCount())
        return ViewResult::Nothing;
    const QString text = pages.text(row, column);
    // Column 4 holds the error text, starting with "*", after a failure.
    if (text.isEmpty() || text.startsWith(QLatin1Char('*')))
        return ViewResult::Nothing;
    if (!editing) {
        // What the associated program makes of the page is its own affair.
        return launcher.openDocument(text) ? ViewResult::Done : ViewResult::OpenerMissing;
    }
    if (isInternetAddress(text))
        return ViewResult::Nothing;
    if (editor.trimmed().isEmpty())
        return ViewResult::EditorMissing;
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
