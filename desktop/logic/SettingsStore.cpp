#include "SettingsStore.h"

#include "ProgramVersion.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QVersionNumber>

// Names are matched against those already stored without regard to letter case, so that
// "StartUp" and "Startup" reach one value as they do in the registry; a new name is stored
// as the caller spells it. A store whose file cannot be parsed reads as empty, and the first
// write replaces it.

namespace {

const QString kStoreRoot = QStringLiteral("Orvane/Quillbox");

// Returns the stored name in `names` equal to `name` ignoring case, or `name` itself.
QString matchStoredName(const QStringList& names, const QString& name)
{
    for (const QString& stored : names) {
        if (stored.compare(name, Qt::CaseInsensitive) == 0)
            return stored;
    }
    return name;
}

// Opens the store of `applicationName` in the platform's medium.
std::unique_ptr<QSettings> openSettings(const QString& applicationName)
{
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\Orvane\\Quillbox\\") + programVersion()
            + QLatin1Char('\\') + applicationName,
        QSettings::NativeFormat);
#else
    const QString root =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QLatin1Char('/') + kStoreRoot;
    const QString fileName = applicationName + QStringLiteral(".ini");
    const QString path = root + QLatin1Char('/') + programVersion() + QLatin1Char('/') + fileName;
    // A first start of this version carries the settings of the latest earlier one over; that
    // store stays as it was for the version that wrote it.
    if (!QFileInfo::exists(path)) {
        const QString earlier = earlierStoreFile(root, fileName, programVersion());
        if (!earlier.isEmpty() && QDir().mkpath(QFileInfo(path).path()))
            QFile::copy(earlier, path);
    }
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
#endif
}

} // namespace

QString earlierStoreFile(const QString& root, const QString& fileName, const QString& version)
{
    const QVersionNumber current = QVersionNumber::fromString(version);
    QVersionNumber best;
    QString found;
    for (const QString& folder : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        // "0.9b" reads as 0.9: the letter only told builds of one version apart.
        const QVersionNumber number = QVersionNumber::fromString(folder);
        const QString file = root + QLatin1Char('/') + folder + QLatin1Char('/') + fileName;
        if (number.isNull() || QVersionNumber::compare(number, current) >= 0
            || !QFileInfo(file).isFile())
            continue;
        if (found.isEmpty() || QVersionNumber::compare(number, best) > 0
            || (number == best && folder > QFileInfo(found).dir().dirName())) {
            best = number;
            found = file;
        }
    }
    return found;
}

SettingsStore::SettingsStore(const QString& applicationName)
    : settings_(openSettings(applicationName)), applicationName_(applicationName)
{
    unreadable_ = settings_->status() != QSettings::NoError;
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::storedSection(const QString& section) const
{
    return matchStoredName(settings_->childGroups(), section);
}

QString SettingsStore::storedKey(const QString& section, const QString& entry) const
{
    const QString group = storedSection(section);
    settings_->beginGroup(group);
    const QString key = matchStoredName(settings_->childKeys(), entry);
    settings_->endGroup();
    return group + QLatin1Char('/') + key;
}

QVariant SettingsStore::readValue(const QString& section, const QString& entry) const
{
    if (unreadable_)
        return {};
    return settings_->value(storedKey(section, entry));
}

bool SettingsStore::writeValue(const QString& section, const QString& entry, const QVariant& value)
{
    if (unreadable_) {
        // Starts a damaged store afresh rather than keeping what could be read of it.
        if (settings_->status() == QSettings::FormatError) {
            QFile::remove(settings_->fileName());
            settings_ = openSettings(applicationName_);
        }
        unreadable_ = settings_->status() != QSettings::NoError;
    }
    settings_->setValue(storedKey(section, entry), value);
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

int SettingsStore::getProfileInt(const QString& section, const QString& entry,
                                 int defaultValue) const
{
    const QVariant value = readValue(section, entry);
    if (!value.isValid())
        return defaultValue;
    bool isNumber = false;
    const qlonglong number = value.toString().trimmed().toLongLong(&isNumber);
    if (!isNumber)
        return defaultValue;
    // Values are 32-bit words: a stored 4294967295 reads back as -1.
    return static_cast<int>(static_cast<quint32>(number));
}

QString SettingsStore::getProfileString(const QString& section, const QString& entry,
                                        const QString& defaultValue) const
{
    const QVariant value = readValue(section, entry);
    if (!value.isValid())
        return defaultValue;
    // An unquoted value with commas, as a hand-edited file may hold, reads as a list of its
    // parts with the blanks after the commas dropped; joining them gives the text back.
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

bool SettingsStore::writeProfileInt(const QString& section, const QString& entry, int value)
{
    return writeValue(section, entry, value);
}

bool SettingsStore::writeProfileString(const QString& section, const QString& entry,
                                       const QString& value)
{
    return writeValue(section, entry, value);
}

QStringList SettingsStore::entries(const QString& section) const
{
    if (unreadable_)
        return {};
    settings_->beginGroup(storedSection(section));
    const QStringList keys = settings_->childKeys();
    settings_->endGroup();
    return keys;
}

void SettingsStore::clearSection(const QString& section)
{
    if (unreadable_)
        return;
    // A hand-edited file may hold the section under several spellings; all of them go.
    for (const QString& group : settings_->childGroups()) {
        if (group.compare(section, Qt::CaseInsensitive) == 0)
            settings_->remove(group);
    }
    settings_->sync();
}

QString SettingsStore::location() const
{
    return settings_->fileName();
}
