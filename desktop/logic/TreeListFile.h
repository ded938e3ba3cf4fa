// The list of every page under a folder, written by the engine's directory walk into a new
// file of its own in the temporary folder, so that the project reader can load it.
#pragma once

#include <QString>

class TreeListFile {
public:
    // Walks `folder` and its subfolders and writes the list file: the header line, then the
    // full path of every ".htm" and ".html" file, letter case ignored.
    explicit TreeListFile(const QString& folder);
    // Removes the list file.
    ~TreeListFile();

    TreeListFile(const TreeListFile&) = delete;
    TreeListFile& operator=(const TreeListFile&) = delete;

    // The list file's path, or an empty text when it could not be written.
    QString fileName() const { return written_; }
    // The folder walked; its pages keep their place in it under the output folder.
    QString folder() const { return folder_; }

private:
    QString folder_;
    QString written_;
};
