// Per-user settings store: sections of named integer and text values.
//
// On Linux an INI file at $XDG_CONFIG_HOME (default ~/.config)/Orvane/Quillbox/<version>/
// <application name>.ini, started from the latest earlier version's file (such as 0.9b's) when
// it does not exist yet; on Windows the registry tree
// Software\Orvane\Quillbox\<version>\<application name>.
// Section and value names compare without regard to letter case, as the registry does. A missing
// value, or a store that cannot be read, yields the caller's default; a failed write is ignored.
#pragma once

#include <QString>
#include <QStringList>

#include <QVariant>

#include <memory>

class QSettings;

// The store file `fileName` of the latest version before `version` under `root` (whose folders
// are named after versions, such as "0.9b"), or empty when there is none.
QString earlierStoreFile(const QString& root, const QString& fileName, const QString& version);

class SettingsStore {
public:
    // Opens the store of `applicationName` (the program's file name without extension).
    explicit SettingsStore(const QString& applicationName = QStringLiteral("Quillwin"));
    ~SettingsStore();

    int getProfileInt(const QString& section, const QString& entry, int defaultValue) const;
    QString getProfileString(const QString& section, const QString& entry,
                             const QString& defaultValue) const;
    bool writeProfileInt(const QString& section, const QString& entry, int value);
    bool writeProfileString(const QString& section, const QString& entry, const QString& value);

    // The names of the values in `section`, as stored.
    QStringList entries(const QString& section) const;
    // Removes every value of `section`.
    void clearSection(const QString& section);
    // Where the store lives (the INI file's path on Linux).
    QString location() const;

private:
    // The stored spelling of `section`, or `section` when it is not stored yet.
    QString storedSection(const QString& section) const;
    // The stored "section/entry" key matching both names ignoring case.
    QString storedKey(const QString& section, const QString& entry) const;
    // The stored value, or an invalid variant when it is missing or the store is unreadable.
    QVariant readValue(const QString& section, const QString& entry) const;
    // Stores `value`; returns false when the store could not be written.
    bool writeValue(const QString& section, const QString& entry, const QVariant& value);

    std::unique_ptr<QSettings> settings_;
    QString applicationName_;
    bool unreadable_ = false;  // the file exists but could not be read or parsed
};
