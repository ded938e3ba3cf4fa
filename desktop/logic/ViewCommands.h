// Opening and editing pages, the help document and the support page.
#pragma once

#include <QString>
#include <QStringList>

class PageListModel;

// Opens documents and starts programs; the program uses the desktop's, tests a fake.
class Launcher {
public:
    virtual ~Launcher() = default;
    // Opens a local file or an internet address with the program the desktop associates.
    virtual bool openDocument(const QString& pathOrAddress) = 0;
    // Starts `program` (found along the search path) without waiting for it.
    virtual bool startProgram(const QString& program, const QStringList& arguments) = 0;
};

// Address of the support server, under which the support page lies; empty while none is
// configured, and the support button then opens the help document.
inline constexpr char SUPPORT_SERVER[] = "";
// What the support button opens: the support page under `server`, or without a server the
// help document of a program in `programFolder`.
QString supportTarget(const QString& server, const QString& programFolder);

// The message shown when nothing could open `target` (a page, the help document).
QString openerMissingMessage(const QString& target);
// The message shown by the Edit commands when no editor is set or found.
QString editorMissingMessage();

// Where the help document lies for a program in `programFolder`: its help folder, or the
// installed data folder beside the program's bin folder.
QString helpDocumentPath(const QString& programFolder);

enum class ViewResult {
    Done,           // the page was opened or the editor started
    Nothing,        // nothing to open: no row, no page, an internet original to edit
    EditorFailed,   // the editor could not be started
    OpenerMissing,  // the desktop has no program to open the page with
    EditorMissing,  // no editor is set
};

// Opens (`editing` false) or edits with `editor` the text of `column` (0 original, 4 packed) of `row`.
// A packed page that was never made, or failed, is neither opened nor edited. An `editor`
// naming an existing program as a whole is started as that program; any other text is split
// into a program and its options.
ViewResult viewRow(const PageListModel& pages, int row, int column, bool editing,
                   const QString& editor, Launcher& launcher);

// True when `text`, whole, names a program that can be started: a path to an executable
// file, or a bare name found along the search path.
bool namesExistingProgram(const QString& text);
