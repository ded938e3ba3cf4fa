// What the command line and the recent-file list contribute to start-up.
#pragma once

#include <QStringList>

class SettingsStore;

// Whether a tip may be shown at start-up: false when a switch ("-" or "/" followed by the
// name) is "Embedding" or "Automation", letter case ignored. `arguments` excludes the program.
bool showsSplash(const QStringList& arguments);

// The four-entry recent-file list: read at start-up, written back unchanged at exit.
class RecentFileList {
public:
    static constexpr int kEntryCount = 4;

    // Reads "Recent File List"/"File1" to "File4".
    void read(const SettingsStore& store);
    // Clears the section and rewrites the non-empty entries.
    void write(SettingsStore& store) const;

    const QStringList& entries() const { return entries_; }

private:
    QStringList entries_;
};
