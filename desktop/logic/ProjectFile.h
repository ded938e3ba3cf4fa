// Project files (".qbx"): the header line "Quillbox1.0", then the File Name of every row, one
// per line. The engine's list file has the same layout, so the reader loads it too.
#pragma once

#include <QString>
#include <QStringList>

inline constexpr char PROJECT_HEADER[] = "Quillbox1.0";
inline constexpr char PROJECT_FILTER[] = "Quillbox Archives (*.qbx)|*.qbx|All Files (*.*)|*.*||";

struct ProjectReadResult {
    enum Status { Read, Damaged, CannotOpen };
    Status status = CannotOpen;
    QStringList entries;  // the non-empty lines after the header; none unless Read
    QString error;        // why the file could not be read, or what is wrong with it
};

// Reads a project or list file: lines end in LF or CR LF, the last may have no line end,
// empty lines are skipped, the header must match exactly. A file without the header, or with
// a line holding a NUL byte, is damaged.
ProjectReadResult readProjectFile(const QString& path);

// Writes `entries` under the header, each line ending in the platform's line end, replacing
// the file only once it is complete. Returns an empty text, or why it failed.
QString writeProjectFile(const QString& path, const QStringList& entries);

// The path Save writes: `projectPath` with ".qbx" appended unless it ends in exactly ".qbx".
QString projectSavePath(const QString& projectPath);

// The window title: "Quillbox", or "Quillbox [" + file name + "]" for a project.
QString projectTitle(const QString& projectPath);
