#include "StartupOptions.h"

#include "SettingsStore.h"

namespace {
const QString kSection = QStringLiteral("Recent File List");

QString entryName(int number)
{
    return QStringLiteral("File%1").arg(number);
}
} // namespace

bool showsSplash(const QStringList& arguments)
{
    for (const QString& argument : arguments) {
        if (!argument.startsWith(QLatin1Char('-')) && !argument.startsWith(QLatin1Char('/')))
            continue;
        const QString name = argument.mid(1);
        if (name.compare(QLatin1String("Embedding"), Qt::CaseInsensitive) == 0
            || name.compare(QLatin1String("Automation"), Qt::CaseInsensitive) == 0)
            return false;
    }
    return true;
}

void RecentFileList::read(const SettingsStore& store)
{
    entries_.clear();
    for (int number = 1; number <= kEntryCount; ++number)
        entries_.append(store.getProfileString(kSection, entryName(number), QString()));
}

void RecentFileList::write(SettingsStore& store) const
{
    store.clearSection(kSection);
    for (int number = 1; number <= entries_.size(); ++number) {
        if (!entries_[number - 1].isEmpty())
            store.writeProfileString(kSection, entryName(number), entries_[number - 1]);
    }
}
